#include "control/api/call.h"

#include "control/api/text_values.h"
#include "platform/automation/error.h"
#include "platform/browser/headless_browser.h"

namespace brevalcore::api {

using automation::DispId;
using automation::FromUtf8;
using automation::Object;
using automation::Ref;
using automation::String;
using automation::ToUtf8;
using automation::Variant;
namespace err = automation::err;

namespace {

// The error of a call refused because it came from another thread: that thread's own.
thread_local Error foreignThreadError;

constexpr char kWrongThread[] =
    ": called from a thread other than the one that created the control (the control is not thread-safe)";

// A path's first member: the objects of the host contract that hold facts.
Ref<Object> Root(control::BrevalcoreBanner& banner, std::u16string_view name) {
  const String lower = automation::ToLower(name);
  if (lower == u"patient") return banner.Patient();
  if (lower == u"doctor") return banner.Doctor();
  if (lower == u"application") return banner.Application();
  if (lower == u"context") return banner.context();
  return {};
}

std::vector<std::string_view> Split(std::string_view path) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (true) {
    const size_t dot = path.find('.', start);
    parts.push_back(path.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
    if (dot == std::string_view::npos) return parts;
    start = dot + 1;
  }
}

}  // namespace

ControlState*& ReportingControl() {
  static thread_local ControlState* control = nullptr;
  return control;
}

Call::Call(const std::shared_ptr<ControlState>& impl, std::u16string_view member, Mode mode)
    : member_(member), mode_(mode) {
  if (!impl) return;
  if (std::this_thread::get_id() != impl->owner) {
    foreignThreadError = {err::kInvalidProcedureCall, Name() + kWrongThread};
    return;
  }
  impl_ = impl;
  outer_ = impl_->current;
  impl_->current = this;
  outerReporting_ = ReportingControl();
  ReportingControl() = impl_.get();
  ++impl_->depth;
  impl_->lastError = {};
}

Call::~Call() {
  if (!impl_) return;
  impl_->current = outer_;
  ReportingControl() = outerReporting_;
  // The page's pending events run once the outermost call is done, as the host's message loop
  // would run them; a headless control has no other loop.
  if (impl_->depth == 1 && impl_->headless && !impl_->closing) {
    try {
      impl_->headless->RunMessageLoop();
    } catch (...) {
    }
  }
  --impl_->depth;
}

const Error& Call::LastError(const ControlState& impl) {
  return std::this_thread::get_id() == impl.owner ? impl.lastError : foreignThreadError;
}

std::string Call::Name() const { return ToUtf8(member_); }

bool Call::Fail(int number, const std::string& message, bool tell) {
  failed_ = true;
  impl_->lastError = {number, message};
  if (tell) {
    Diagnostic diagnostic;
    diagnostic.number = number;
    diagnostic.procedure = Name();
    diagnostic.message = message;
    impl_->Tell(diagnostic);
  }
  return false;
}

bool Call::FailsOn(const rules::Diagnostic& diagnostic) const {
  if (!diagnostic.error) return false;
  if (mode_ == kStart) return diagnostic.kind != rules::DiagnosticKind::Trace;
  return diagnostic.procedure == member_;
}

bool Call::Text(std::string_view text, const char* name, automation::String& out) {
  if (!automation::IsValidUtf8(text))
    return Fail(err::kInvalidProcedureCall, Name() + ": argument " + name + " is not valid UTF-8");
  out = FromUtf8(text);
  return true;
}

bool Call::Date(std::chrono::year_month_day date, const char* name, automation::Date& out) {
  const int year = static_cast<int>(date.year());
  if (!date.ok() || year < 100 || year > 9999)
    return Fail(err::kInvalidProcedureCall,
                Name() + ": argument " + name + " is not a date from 0100-01-01 to 9999-12-31");
  out = automation::calendar::MakeDate(
      {year, static_cast<int>(unsigned(date.month())), static_cast<int>(unsigned(date.day())), 0, 0, 0});
  return true;
}

bool Call::DrugArguments(const Drug& drug, DrugArgs& out) {
  // Currency keeps ten-thousandths: cents beyond this would not fit.
  constexpr int64_t kMaxCents = std::numeric_limits<int64_t>::max() / 100;
  if (drug.price.cents > kMaxCents || drug.price.cents < -kMaxCents)
    return Fail(err::kOverflow, Name() + ": argument nPrice is out of range");
  out.price = automation::Currency{drug.price.cents * 100};
  return Text(drug.aic, "sAIC", out.aic) && Text(drug.drugClass, "sClass", out.drugClass) &&
         Text(drug.substance, "sSubstance", out.substance);
}

bool Call::Result(const std::function<bool()>& body) {
  try {
    const bool result = body();
    return result && !failed_;
  } catch (const automation::AutomationError& e) {
    return Fail(e.number(), Name() + ": " + ToUtf8(e.description()));
  } catch (const std::bad_alloc&) {
    return Fail(err::kOutOfMemory, Name() + ": " + automation::ErrorText(err::kOutOfMemory));
  } catch (const std::exception& e) {
    return Fail(err::kInvalidProcedureCall, Name() + ": " + e.what());
  } catch (...) {
    return Fail(err::kInvalidProcedureCall, Name() + ": " + automation::ErrorText(err::kInvalidProcedureCall));
  }
}

bool Call::ResolveFact(std::string_view path, Ref<Object>& object, DispId& id) {
  const std::string quoted = "\"" + std::string(path) + "\"";
  if (!automation::IsValidUtf8(path)) return Fail(err::kInvalidProcedureCall, Name() + ": the path is not valid UTF-8");
  const std::vector<std::string_view> parts = Split(path);
  if (parts.size() < 2)
    return Fail(err::kNoSuchMember, Name() + ": " + quoted +
                                        " names no fact; a fact is named by its object and member, e.g. Patient.Name");
  object = Root(banner(), FromUtf8(parts.front()));
  if (!object)
    return Fail(err::kNoSuchMember,
                Name() + ": " + quoted + " begins with no object of the control (Patient, Doctor, Application, context)");
  for (size_t i = 1; i < parts.size(); ++i) {
    id = object->GetIdOfName(FromUtf8(parts[i]));
    if (id == automation::kDispIdUnknown)
      return Fail(err::kNoSuchMember, Name() + ": " + quoted + ": " + ToUtf8(object->TypeName()) + " has no member " +
                                          std::string(parts[i]));
    if (i + 1 == parts.size()) return true;
    const Variant next = object->Invoke(id, automation::kInvokeGet, {});
    if (!next.IsObject() || next.IsNothing())
      return Fail(err::kObjectRequired, Name() + ": " + quoted + ": " + std::string(parts[i]) + " holds no object");
    object = next.AsObjectRef();
  }
  return true;
}

bool Call::GetFact(std::string_view path, std::string& value) {
  return Result([&] {
    Ref<Object> object;
    DispId id = automation::kDispIdUnknown;
    if (!ResolveFact(path, object, id)) return false;
    const auto text = ResultText(object->Invoke(id, automation::kInvokeGet, {}));
    if (!text)
      return Fail(err::kTypeMismatch, Name() + ": \"" + std::string(path) + "\" holds an object, which has no text");
    value = *text;
    return true;
  });
}

bool Call::SetFact(std::string_view path, std::string_view value) {
  return Result([&] {
    Ref<Object> object;
    DispId id = automation::kDispIdUnknown;
    if (!ResolveFact(path, object, id)) return false;
    if (!automation::IsValidUtf8(value))
      return Fail(err::kInvalidProcedureCall, Name() + ": the value for \"" + std::string(path) + "\" is not valid UTF-8");
    // The text becomes a value of the type the member holds now.
    const Variant current = object->Invoke(id, automation::kInvokeGet, {});
    if (current.IsObject())
      return Fail(err::kTypeMismatch, Name() + ": \"" + std::string(path) + "\" holds an object, which text cannot replace");
    const auto converted = TextAs(value, current.type());
    if (!converted)
      return Fail(err::kTypeMismatch, Name() + ": \"" + std::string(value) + "\" for \"" + std::string(path) +
                                          "\" is not " + ExpectedForm(current.type()));
    Variant args[] = {*converted};
    object->Invoke(id, automation::kInvokePut, args);
    return true;
  });
}

bool Call::Click(std::string_view href) {
  if (!impl_->headless)
    return Fail(err::kInvalidProcedureCall,
                Name() + ": a control with a web view is clicked by the doctor; pressing links by address is for "
                         "headless controls");
  String target;
  if (!Text(href, "href", target)) return false;
  const auto& document = impl_->headless->document();
  std::shared_ptr<browser::Element> element = document ? document->FindAnchor(target, nullptr) : nullptr;
  if (!element)
    return Fail(err::kInvalidProcedureCall, Name() + ": no link with href \"" + std::string(href) +
                                                "\" on the page shown (" + ToUtf8(impl_->browser->DocumentUrl()) + ")");
  return Result([&] {
    impl_->headless->MouseDown(browser::mouse::kLeft, element);
    return true;
  });
}

}  // namespace brevalcore::api
