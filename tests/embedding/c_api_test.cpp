// The C interface as hosts use it, and as careless hosts misuse it: every misuse is an error
// number with a message naming what was wrong, never a crash.
#include "brevalcore/brevalcore.h"

#include <functional>
#include <thread>

#include "tests/embedding/embedding_fixture.h"

namespace brevalcore::embedding_test {
namespace {

struct Outcome {
  int rc = 0;
  std::string result, error;
};

Outcome Call(brevalcore_handle* ctl, const char* member, std::vector<const char*> args = {}) {
  char *result = nullptr, *error = nullptr;
  Outcome out;
  out.rc = brevalcore_call(ctl, member, static_cast<int>(args.size()), args.data(), &result, &error);
  out.result = result ? result : "";
  out.error = error ? error : "";
  brevalcore_free(result);
  brevalcore_free(error);
  return out;
}

// Records every event as "Name(arg,arg)"; a test may add what the host does on each.
struct Recorder {
  std::vector<std::string> events;
  std::function<void(brevalcore_event*)> action;

  static void Handle(void* user, brevalcore_event* ev) {
    auto* self = static_cast<Recorder*>(user);
    std::string line = std::string(brevalcore_event_name(ev)) + "(";
    for (int i = 0; i < brevalcore_event_argc(ev); ++i) line += (i ? "," : "") + std::string(brevalcore_event_arg(ev, i));
    self->events.push_back(line + ")");
    if (self->action) self->action(ev);
  }
};

class CApiTest : public EmbeddingTest {
 protected:
  void TearDown() override {
    brevalcore_delete(ctl_);
    EmbeddingTest::TearDown();
  }
  brevalcore_handle* New() {
    char* error = nullptr;
    ctl_ = brevalcore_new(Path("control").c_str(), Path("data").c_str(), BREVALCORE_HEADLESS, &error);
    EXPECT_NE(ctl_, nullptr) << (error ? error : "");
    brevalcore_free(error);
    brevalcore_set_event_handler(ctl_, &Recorder::Handle, &recorder_);
    return ctl_;
  }
  // A control initialised for doctor D1 with the test package, on the banner page B12.
  brevalcore_handle* Started() {
    New();
    const std::string package = Path("package");
    EXPECT_EQ(Call(ctl_, "InitializeContext",
                   {"True", "HOST", "D1", "080", "101", "MG", "True", package.c_str(), "Software=ABC"})
                  .result,
              "True");
    EXPECT_EQ(Call(ctl_, "StartPrescription").result, "True");
    return ctl_;
  }

  brevalcore_handle* ctl_ = nullptr;
  Recorder recorder_;
};

TEST_F(CApiTest, MisuseIsAnErrorWithAMessage) {
  New();
  brevalcore_handle* deleted = brevalcore_new(nullptr, Path("data").c_str(), BREVALCORE_HEADLESS, nullptr);
  brevalcore_delete(deleted);
  const char* const nullArgv[] = {"a", nullptr};
  struct Row {
    const char* what;
    std::function<Outcome()> call;
    int rc;
    const char* message;
  } rows[] = {
      {"NULL handle", [] { return Call(nullptr, "StartPrescription"); }, 91, "the handle is NULL"},
      {"deleted handle", [&] { return Call(deleted, "StartPrescription"); }, 91, "not a live control"},
      {"unknown member", [&] { return Call(ctl_, "Prescribe"); }, 438, "\"Prescribe\" is no member of the control"},
      {"NULL member", [&] { return Call(ctl_, nullptr); }, 5, "no member name"},
      {"member not UTF-8", [&] { return Call(ctl_, "Start\xff"); }, 5, "the member name is not valid UTF-8"},
      {"too many arguments", [&] { return Call(ctl_, "StartPrescription", {"x"}); }, 450, "(1 given, 0 expected)"},
      {"get or let count", [&] { return Call(ctl_, "currentprescriptiondrug", {"a", "b"}); }, 450,
       "CurrentPrescriptionDrug: wrong number of arguments (2 given, 1 or 0 expected)"},
      {"negative argc",
       [&] {
         char* error = nullptr;
         const int rc = brevalcore_call(ctl_, "StartPrescription", -1, nullptr, nullptr, &error);
         Outcome out{rc, "", error ? error : ""};
         brevalcore_free(error);
         return out;
       },
       5, "argc is -1"},
      {"NULL argument",
       [&] {
         char* error = nullptr;
         const int rc = brevalcore_call(ctl_, "SetProblemsOfPrescription", 2, nullArgv, nullptr, &error);
         Outcome out{rc, "", error ? error : ""};
         brevalcore_free(error);
         return out;
       },
       5, "argument 2 is NULL"},
      {"argument not UTF-8", [&] { return Call(ctl_, "RemoveDrugFromPrescription", {"\xc3("}); }, 13,
       "RemoveDrugFromPrescription: argument 1 (sAIC) \"?(\" is not valid UTF-8"},
      {"not a Boolean", [&] { return Call(ctl_, "ForceFocusBack", {"yes"}); }, 13,
       "argument 1 (Value) \"yes\" is not a Boolean"},
      {"not a date", [&] { return Call(ctl_, "SetPatient", {"M", "1950-02-30", "True", ""}); }, 13,
       "argument 2 (dBirthDate) \"1950-02-30\" is not a date"},
      {"a date in the platform's own form", [&] { return Call(ctl_, "SetPatient", {"M", "12/04/1950", "1", ""}); }, 13,
       "(dBirthDate)"},
      {"price below the cent", [&] { return Call(ctl_, "AddDrugToPrescription", {"a", "A", "1", "", "12.505"}); }, 13,
       "argument 5 (nPrice) \"12.505\" is not an amount"},
      {"price with a comma", [&] { return Call(ctl_, "AddDrugToPrescription", {"a", "A", "1", "", "12,50"}); }, 13,
       "(nPrice)"},
      {"an object member", [&] { return Call(ctl_, "Patient"); }, 13, "reach its members by path, e.g. Patient.Code"},
      {"a fact of no object", [&] { return Call(ctl_, "Nobody.Name"); }, 438, "begins with no object of the control"},
      {"a fact that is not there", [&] { return Call(ctl_, "Patient.Nope"); }, 438, "PatientFacts has no member Nope"},
      {"a fact with two values", [&] { return Call(ctl_, "Patient.Name", {"a", "b"}); }, 450, "read with none"},
      {"a fact of the wrong type", [&] { return Call(ctl_, "Patient.BirthDate", {"yesterday"}); }, 13,
       "\"yesterday\" for \"Patient.BirthDate\" is not a date"},
      {"a fact holding an object", [&] { return Call(ctl_, "Patient.Problems", {"x"}); }, 13, "holds an object"},
      {"click without a page link", [&] { return Outcome{brevalcore_click(ctl_, "#SHELL?x"), "", brevalcore_last_error(ctl_)}; },
       5, "no link with href \"#SHELL?x\" on the page shown (about:blank)"},
      {"click of NULL", [&] { return Outcome{brevalcore_click(ctl_, nullptr), "", brevalcore_last_error(ctl_)}; }, 5,
       "no href"},
      {"another thread",
       [&] {
         Outcome out;
         std::thread([&] { out = Call(ctl_, "StartPrescription"); }).join();
         return out;
       },
       5, "called from a thread other than the one that created the control"},
  };
  for (const Row& row : rows) {
    const Outcome out = row.call();
    EXPECT_EQ(out.rc, row.rc) << row.what;
    EXPECT_NE(out.error.find(row.message), std::string::npos) << row.what << ": " << out.error;
  }
  // The control is still usable after all that.
  EXPECT_EQ(Call(ctl_, "IsInitialized").result, "False");
}

TEST_F(CApiTest, CreationRefusesWhatItCannotUse) {
  struct Row {
    std::string controlDir;
    unsigned flags;
    const char* message;
  } rows[] = {
      {Path("missing"), BREVALCORE_HEADLESS, "the control folder \"" },
      {Path("control/x\xff"), BREVALCORE_HEADLESS, "the control folder is not valid UTF-8"},
      {Path("control"), 6u, "brevalcore_new: unknown flags 6"},
  };
  for (const Row& row : rows) {
    char* error = nullptr;
    EXPECT_EQ(brevalcore_new(row.controlDir.c_str(), nullptr, row.flags, &error), nullptr) << row.message;
    ASSERT_NE(error, nullptr) << row.message;
    EXPECT_NE(std::string(error).find(row.message), std::string::npos) << error;
    brevalcore_free(error);
  }
  EXPECT_EQ(brevalcore_new(Path("missing").c_str(), nullptr, BREVALCORE_HEADLESS, nullptr), nullptr);  // no message wanted
  // The functions without an error channel answer NULL handles and events harmlessly.
  brevalcore_delete(nullptr);
  brevalcore_free(nullptr);
  EXPECT_EQ(brevalcore_event_name(nullptr), nullptr);
  EXPECT_EQ(brevalcore_event_argc(nullptr), -1);
  EXPECT_EQ(brevalcore_event_arg(nullptr, 0), nullptr);
  brevalcore_event_set_arg(nullptr, 1, "x");
  EXPECT_EQ(brevalcore_page(nullptr), nullptr);
  EXPECT_STRNE(brevalcore_last_error(nullptr), nullptr);
  EXPECT_EQ(brevalcore_native_view(nullptr), nullptr);
  EXPECT_EQ(brevalcore_abi_version(), 1);
}

TEST_F(CApiTest, FactsAreWrittenAndReadAsDocumentedText) {
  New();
  struct Row {
    const char* path;
    const char* value;
    const char* reads;
  } rows[] = {
      {"Patient.Name", "Zoë Rossi", "Zoë Rossi"},
      {"patient.birthdate", "1950-04-12", "1950-04-12"},
      {"Patient.BirthDate", "1950-04-12T08:30:05", "1950-04-12T08:30:05"},
      {"Patient.SSN", "1", "True"},
      {"Patient.SSN", "false", "False"},
      {"Patient.BMI", "24.5", "24.5"},
      {"Doctor.Province", "BO", "BO"},
      {"Application.EnableBanners", "True", "True"},
      {"context.Offline", "-1", "True"},
      {"Application.RemotePageParameters", "a=1", "?a=1"},  // the fact's own rule: a leading "?"
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Call(ctl_, row.path, {row.value}).rc, 0) << row.path;
    EXPECT_EQ(Call(ctl_, row.path).result, row.reads) << row.path << " = " << row.value;
  }
}

TEST_F(CApiTest, APrescriptionReachesTheHostAsEventsAndTheHostAnswersFromThem) {
  Started();
  EXPECT_EQ(std::string(brevalcore_page(ctl_)), "file://" + Path("data/Brevalcore/B12.html"));

  // The host prescribes from within the event and reports the drug back.
  recorder_.action = [&](brevalcore_event* ev) {
    if (std::string(brevalcore_event_name(ev)) != "OnCommandClickExtended") return;
    EXPECT_EQ(Call(ctl_, "AddDrugToPrescription", {brevalcore_event_arg(ev, 1), "A", "True", "", "12.50"}).result,
              "True");
  };
  EXPECT_EQ(brevalcore_click(ctl_, "#PRESCRIBE?aic1?MODE=1"), 0) << brevalcore_last_error(ctl_);
  EXPECT_EQ(brevalcore_click(ctl_, "#VOLUNTAS?abc"), 0);
  EXPECT_EQ(recorder_.events, (std::vector<std::string>{"OnCommandClickExtended(PRESCRIBE,aic1,MODE=1)", "OnClick(1)",
                                                        "OnCommandClick(VOLUNTAS,abc)", "OnClick(1)"}));
  // The drug reported from the event is in the prescription.
  EXPECT_EQ(Call(ctl_, "CurrentPrescriptionDrug", {"aic1"}).rc, 0);
  EXPECT_EQ(Call(ctl_, "CurrentPrescriptionDrug").result, "aic1");
}

TEST_F(CApiTest, OnlyByReferenceArgumentsAreAnswered) {
  Started();
  std::vector<std::string> refusals;
  recorder_.action = [&](brevalcore_event* ev) {
    if (std::string(brevalcore_event_name(ev)) != "OnRequiredDrugDescription") return;
    const struct {
      int index;
      const char* value;
      const char* refusal;
    } attempts[] = {{0, "x", "is passed by value"}, {2, "x", "does not exist (2 arguments)"},
                    {1, "\xe0\x80", "not valid UTF-8"}, {1, nullptr, "the value is NULL"}, {1, "Cobalvit", ""}};
    for (const auto& attempt : attempts) {
      brevalcore_event_set_arg(ev, attempt.index, attempt.value);
      refusals.push_back(brevalcore_last_error(ctl_));
      EXPECT_NE(refusals.back().find(attempt.refusal), std::string::npos) << refusals.back();
    }
    EXPECT_STREQ(brevalcore_event_arg(ev, 1), "Cobalvit");
  };
  // Two codes: the doctor chooses from a list, described by the host (the list is cancelled).
  EXPECT_EQ(brevalcore_click(ctl_, "#PRESCRIBE?aic1&aic2"), 0);
  ASSERT_EQ(recorder_.events.size(), 3u);
  EXPECT_EQ(recorder_.events[0], "OnRequiredDrugDescription(aic1,)");
  EXPECT_EQ(recorder_.events[1].rfind("OnRequiredDrugDescription(aic2,", 0), 0u);
  EXPECT_EQ(recorder_.events[2], "OnClick(1)");
  EXPECT_EQ(refusals.size(), 10u);
}

TEST_F(CApiTest, AHandlerMayDeleteTheControl) {
  Started();
  brevalcore_handle* ctl = ctl_;
  recorder_.action = [&](brevalcore_event* ev) {
    brevalcore_delete(ctl_);
    ctl_ = nullptr;
    // Still inside the event: the handle is gone for the host, the event is still readable.
    EXPECT_EQ(Call(ctl, "StartPrescription").rc, 91);
    EXPECT_STREQ(brevalcore_event_name(ev), "OnCommandClickExtended");
  };
  EXPECT_EQ(brevalcore_click(ctl, "#PRESCRIBE?aic1?MODE=1"), 0);
  EXPECT_EQ(recorder_.events.size(), 1u);  // no OnClick after the control went
  EXPECT_EQ(Call(ctl, "StartPrescription").rc, 91);
}

TEST_F(CApiTest, TypedCallsAreTheNamedOnes) {
  Started();
  EXPECT_EQ(brevalcore_add_drug_to_prescription(ctl_, "aic9", "A", 1, "", -1205), 0);
  EXPECT_EQ(Call(ctl_, "CurrentPrescriptionDrug", {"aic9"}).rc, 0);
  EXPECT_EQ(Call(ctl_, "CurrentPrescriptionDrug").result, "aic9");
  EXPECT_EQ(brevalcore_end_prescription(ctl_), 0);
  EXPECT_EQ(brevalcore_start_prescription(nullptr), 91);
  EXPECT_EQ(brevalcore_add_drug_to_prescription(ctl_, nullptr, "A", 1, "", 0), 5);
  EXPECT_NE(std::string(brevalcore_last_error(ctl_)).find("a text argument is NULL"), std::string::npos);
}

}  // namespace
}  // namespace brevalcore::embedding_test
