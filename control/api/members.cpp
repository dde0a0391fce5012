#include "control/api/members.h"

#include <functional>
#include <vector>

#include "control/api/text_values.h"
#include "platform/automation/calendar.h"
#include "platform/automation/error.h"
#include "platform/automation/text.h"

namespace brevalcore::api {

namespace err = automation::err;

namespace {

// A parameter's name as the contract declares it; its type prefix says how it is converted.
using Param = const char*;

// A refused argument or call, turned into the outcome by CallMember.
struct Refusal {
  int number;
  std::string message;
};

// The arguments of one call, converted on request; a value that is not of its parameter's type
// is refused naming the member, the parameter and the value.
class Args {
 public:
  Args(std::string_view member, const std::vector<Param>& params, std::span<const std::string_view> values)
      : member_(member), params_(params), values_(values) {}

  std::string_view Text(size_t i) const {
    if (!automation::IsValidUtf8(values_[i])) Refuse(i, "is not valid UTF-8");
    return values_[i];
  }
  bool Boolean(size_t i) const {
    const auto value = ParseBoolean(Text(i));
    if (!value) Refuse(i, "is not " + ExpectedForm(automation::VarType::Boolean));
    return *value;
  }
  // Birth dates keep their day: a time, when given, is dropped.
  std::chrono::year_month_day Date(size_t i) const {
    const auto value = ParseDate(Text(i));
    if (!value) Refuse(i, "is not " + ExpectedForm(automation::VarType::Date));
    const automation::calendar::Parts p = automation::calendar::SplitParts(*value);
    return std::chrono::year_month_day{std::chrono::year(p.year), std::chrono::month(static_cast<unsigned>(p.month)),
                                       std::chrono::day(static_cast<unsigned>(p.day))};
  }
  // Prices are in cents, so at most two decimals.
  brevalcore::Money Money(size_t i) const {
    const auto value = ParseCurrency(Text(i));
    if (!value || value->value % 100 != 0) Refuse(i, "is not an amount (digits, \".\" and at most two decimals)");
    return {value->value / 100};
  }
  Drug DrugAt(size_t first) const {
    return Drug{std::string(Text(first)), std::string(Text(first + 1)), Boolean(first + 2),
                std::string(Text(first + 3)), Money(first + 4)};
  }

 private:
  [[noreturn]] void Refuse(size_t i, const std::string& why) const {
    throw Refusal{err::kTypeMismatch, std::string(member_) + ": argument " + std::to_string(i + 1) + " (" +
                                          params_[i] + ") \"" + Printable(values_[i]) + "\" " + why};
  }
  // The value as a message may quote it: invalid UTF-8 bytes as "?", long values cut.
  static std::string Printable(std::string_view value) {
    constexpr size_t kMaxQuoted = 80;
    if (automation::IsValidUtf8(value) && value.size() <= kMaxQuoted) return std::string(value);
    std::string text;
    for (unsigned char c : value.substr(0, kMaxQuoted)) text += (c < 0x20 || c >= 0x80) ? '?' : static_cast<char>(c);
    return value.size() > kMaxQuoted ? text + "..." : text;
  }

  std::string_view member_;
  const std::vector<Param>& params_;
  std::span<const std::string_view> values_;
};

using Body = std::function<std::string(Control&, const Args&)>;

struct Member {
  const char* name;
  std::vector<Param> params;
  Body body;
};

std::string Bool(bool value) { return value ? "True" : "False"; }
// Members whose result is True or Empty.
std::string TrueOrEmpty(bool value) { return value ? "True" : ""; }

const std::vector<Param> kDrugParams = {
    "sAIC", "sClass", "lSSN", "sSubstance",
    "nPrice"};

// The host contract, in its slot order; a property's get and let are two entries of one name.
const std::vector<Member>& Members() {
  static const std::vector<Member> members = {
      {"InitializeContext",
       {"lBannerActive", "sApplicationCode", "sDoctorCode",
        "sDoctorRegion", "sDoctorAsl", "sDoctorBranch",
        "lDoctorSSN", "sResBannersPath", "sRemotePageParameters"},
       [](Control& c, const Args& a) {
         return Bool(c.InitializeContext(a.Boolean(0), a.Text(1), a.Text(2), a.Text(3), a.Text(4), a.Text(5),
                                         a.Boolean(6), a.Text(7), a.Text(8)));
       }},
      {"SetPatient",
       {"sGender", "dBirthDate", "lSSN", "sProblemsICD"},
       [](Control& c, const Args& a) { return TrueOrEmpty(c.SetPatient(a.Text(0), a.Date(1), a.Boolean(2), a.Text(3))); }},
      {"StartPrescription", {}, [](Control& c, const Args&) { return Bool(c.StartPrescription()); }},
      {"Destroy", {}, [](Control& c, const Args&) { return Bool(c.Destroy()); }},
      {"AddDrugToPrescription", kDrugParams,
       [](Control& c, const Args& a) { return Bool(c.AddDrugToPrescription(a.DrugAt(0))); }},
      {"PrescribingDrug", kDrugParams,
       [](Control& c, const Args& a) {
         c.PrescribingDrug(a.DrugAt(0));
         return std::string();
       }},
      {"RemoveDrugFromPrescription", {"sAIC"},
       [](Control& c, const Args& a) { return Bool(c.RemoveDrugFromPrescription(a.Text(0))); }},
      {"AddProblemToPrescription", {"sICD"},
       [](Control& c, const Args& a) { return TrueOrEmpty(c.AddProblemToPrescription(a.Text(0))); }},
      {"RemoveProblemFromPrescription", {"sICD"},
       [](Control& c, const Args& a) { return TrueOrEmpty(c.RemoveProblemFromPrescription(a.Text(0))); }},
      {"CurrentPrescriptionDrug", {"sAIC"},
       [](Control& c, const Args& a) {
         c.SetCurrentPrescriptionDrug(a.Text(0));
         return std::string();
       }},
      {"CurrentPrescriptionDrug", {}, [](Control& c, const Args&) { return c.CurrentPrescriptionDrug(); }},
      {"EndPrescription", {}, [](Control& c, const Args&) { return Bool(c.EndPrescription()); }},
      {"ShowAutoSubstituteList", {}, [](Control& c, const Args&) { return Bool(c.ShowAutoSubstituteList()); }},
      {"SetProblemsOfPrescription", {"sProblemsICD"},
       [](Control& c, const Args& a) { return TrueOrEmpty(c.SetProblemsOfPrescription(a.Text(0))); }},
      {"ClearPrescription", {}, [](Control& c, const Args&) { return Bool(c.ClearPrescription()); }},
      {"IsInitialized", {}, [](Control& c, const Args&) { return Bool(c.IsInitialized()); }},
      {"ForceFocusBack", {}, [](Control& c, const Args&) { return Bool(c.ForceFocusBack()); }},
      {"ForceFocusBack", {"Value"},
       [](Control& c, const Args& a) {
         c.SetForceFocusBack(a.Boolean(0));
         return std::string();
       }},
      {"BeginLoadingPrescriptionItems", {},
       [](Control& c, const Args&) {
         c.BeginLoadingPrescriptionItems();
         return std::string();
       }},
      {"EndLoadingPrescriptionItems", {},
       [](Control& c, const Args&) {
         c.EndLoadingPrescriptionItems();
         return std::string();
       }},
      {"Initialize", {}, [](Control& c, const Args&) { return Bool(c.Initialize()); }},
  };
  return members;
}

// The contract's members that hand out objects: their facts are reached by path.
constexpr const char* kObjectMembers[] = {"Patient", "Application", "Doctor", "context"};

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

std::string Counts(const std::vector<const Member*>& candidates) {
  std::string text;
  for (size_t i = 0; i < candidates.size(); ++i)
    text += (i == 0 ? "" : i + 1 == candidates.size() ? " or " : ", ") + std::to_string(candidates[i]->params.size());
  return text;
}

MemberOutcome Refused(int number, std::string message) { return {number, std::move(message), {}}; }

// The call's failure as the control recorded it; a member that returned its "nothing done"
// result without a failure succeeded.
MemberOutcome Finish(Control& control, std::string result) {
  const Error& error = control.LastError();
  if (error) return Refused(error.number, error.message);
  return {0, {}, std::move(result)};
}

MemberOutcome CallFact(Control& control, std::string_view path, std::span<const std::string_view> args) {
  if (args.size() > 1)
    return Refused(err::kWrongNumberOfArguments, std::string(path) + ": wrong number of arguments (" +
                                                     std::to_string(args.size()) +
                                                     "): a fact is read with none and assigned with one");
  if (args.empty()) {
    std::string value = control.Fact(path);
    return Finish(control, std::move(value));
  }
  control.SetFact(path, args[0]);
  return Finish(control, {});
}

}  // namespace

MemberOutcome CallMember(Control& control, std::string_view member, std::span<const std::string_view> args) {
  if (member.find('.') != std::string_view::npos) return CallFact(control, member, args);
  std::vector<const Member*> candidates;
  for (const Member& m : Members())
    if (SameName(m.name, member)) candidates.push_back(&m);
  if (candidates.empty()) {
    for (const char* object : kObjectMembers)
      if (SameName(object, member))
        return Refused(err::kTypeMismatch,
                       std::string(object) + " is an object, which has no text: reach its members by path, e.g. " +
                           object + (std::string_view(object) == "context" ? ".Offline" : ".Code"));
    return Refused(err::kNoSuchMember, "\"" + std::string(member) + "\" is no member of the control");
  }
  for (const Member* m : candidates) {
    if (m->params.size() != args.size()) continue;
    try {
      const Args converted(m->name, m->params, args);
      std::string result = m->body(control, converted);
      return Finish(control, std::move(result));
    } catch (const Refusal& refusal) {
      return Refused(refusal.number, refusal.message);
    }
  }
  return Refused(err::kWrongNumberOfArguments, std::string(candidates.front()->name) + ": wrong number of arguments (" +
                                                   std::to_string(args.size()) + " given, " + Counts(candidates) +
                                                   " expected)");
}

}  // namespace brevalcore::api
