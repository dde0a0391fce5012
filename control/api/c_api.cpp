// The C interface: handles over brevalcore::Control, the members of the host contract called by
// name with text arguments, and events and diagnostics as plain C structures. Nothing C++
// crosses it: every entry point catches everything, and every char * handed out is malloc'd.
//
// Handles are checked against the set of live ones, so a NULL, deleted or foreign pointer is
// an error and not a crash. A handle deleted while one of its calls or events is still running
// (the host deleted it from a handler) goes when the outermost of them returns.
#include "brevalcore/brevalcore.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <unordered_set>

#include "brevalcore/control.h"
#include "control/api/members.h"
#include "platform/automation/error.h"
#include "platform/automation/text.h"

using brevalcore::Control;
using brevalcore::Diagnostic;
namespace api = brevalcore::api;
namespace err = brevalcore::automation::err;

struct brevalcore_event {
  brevalcore_handle* ctl;
  const char* name;
  std::vector<std::string> args;
  int byReference;  // the index of the by-reference argument, or -1
};

namespace {

// Turns the control's events into calls of the host's C handler.
class EventBridge : public brevalcore::ControlEvents {
 public:
  explicit EventBridge(brevalcore_handle* ctl) : ctl_(ctl) {}
  void Set(void (*fn)(void*, brevalcore_event*), void* user) {
    fn_ = fn;
    user_ = user;
  }
  void OnCommandClick(std::string_view command, std::string& param) override {
    Deliver("OnCommandClick", {std::string(command), param}, 1, &param);
  }
  void OnCommandClickExtended(std::string_view command, std::string_view param, std::string_view options) override {
    Deliver("OnCommandClickExtended", {std::string(command), std::string(param), std::string(options)}, -1, nullptr);
  }
  void OnRequiredDrugDescription(std::string_view aic, std::string& description) override {
    Deliver("OnRequiredDrugDescription", {std::string(aic), description}, 1, &description);
  }
  void OnClick(int button) override { Deliver("OnClick", {std::to_string(button)}, -1, nullptr); }
  void OnRequiredField(std::string_view field, std::string& value) override {
    Deliver("OnRequiredField", {std::string(field), value}, 1, &value);
  }

 private:
  void Deliver(const char* name, std::vector<std::string> args, int byReference, std::string* answer);

  brevalcore_handle* ctl_;
  void (*fn_)(void*, brevalcore_event*) = nullptr;
  void* user_ = nullptr;
};

}  // namespace

struct brevalcore_handle {
  explicit brevalcore_handle(std::unique_ptr<Control> c) : control(std::move(c)), events(this) {}
  std::unique_ptr<Control> control;
  EventBridge events;
  void (*diagnosticsFn)(void*, const brevalcore_diagnostic*) = nullptr;
  void* diagnosticsUser = nullptr;
  const std::thread::id owner = std::this_thread::get_id();
  std::string page;       // what brevalcore_page returned last
  std::string lastError;  // what brevalcore_last_error returns
  int active = 0;         // calls and events running
  bool deleted = false;   // deleted while active: goes when the outermost returns
};

namespace {

std::mutex liveMutex;
std::unordered_set<const brevalcore_handle*>& Live() {
  static auto* live = new std::unordered_set<const brevalcore_handle*>();  // never destroyed: hosts may exit with handles
  return *live;
}

bool IsLive(const brevalcore_handle* ctl) {
  std::lock_guard lock(liveMutex);
  return Live().count(ctl) != 0;
}

char* Copy(const std::string& text) {
  char* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy) std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

thread_local std::string foreignError;  // the reason of a refused call, for the thread that made it

// The scope of one C entry point on a handle: refuses NULL, deleted and foreign handles and
// other threads, keeps the handle while it runs, and records the outcome for
// brevalcore_last_error.
class Entry {
 public:
  Entry(brevalcore_handle* ctl, const char* function) : ctl_(ctl) {
    if (!ctl) {
      Refuse(err::kObjectVariableNotSet, std::string(function) + ": no control (the handle is NULL)");
    } else if (!IsLive(ctl) || ctl->deleted) {
      Refuse(err::kObjectVariableNotSet, std::string(function) + ": the handle is not a live control (deleted, or never created)");
    } else if (std::this_thread::get_id() != ctl->owner) {
      Refuse(err::kInvalidProcedureCall,
             std::string(function) + ": called from a thread other than the one that created the control");
    } else {
      ++ctl->active;
      entered_ = true;
    }
  }
  ~Entry() {
    if (!entered_) return;
    if (--ctl_->active == 0 && ctl_->deleted) delete ctl_;
  }
  explicit operator bool() const { return entered_; }
  int number() const { return number_; }
  const std::string& message() const { return message_; }

  // The outcome of the call, for brevalcore_last_error.
  int Done(int number, std::string message) {
    number_ = number;
    message_ = std::move(message);
    if (entered_) ctl_->lastError = number ? message_ : std::string();
    return number;
  }

 private:
  void Refuse(int number, std::string message) {
    number_ = number;
    message_ = std::move(message);
    foreignError = message_;
  }

  brevalcore_handle* ctl_;
  bool entered_ = false;
  int number_ = 0;
  std::string message_;
};

void EventBridge::Deliver(const char* name, std::vector<std::string> args, int byReference, std::string* answer) {
  if (!fn_) return;
  brevalcore_event event{ctl_, name, std::move(args), byReference};
  ++ctl_->active;  // a handler that deletes the control leaves it to the end of the event
  try {
    fn_(user_, &event);
  } catch (...) {
    // A C++ exception from a handler stops here.
  }
  if (answer && byReference >= 0) *answer = event.args[static_cast<size_t>(byReference)];
  if (--ctl_->active == 0 && ctl_->deleted) delete ctl_;
}

const char* KindName(brevalcore::DiagnosticKind kind) {
  switch (kind) {
    case brevalcore::DiagnosticKind::Script: return "Script";
    case brevalcore::DiagnosticKind::Load: return "Load";
    case brevalcore::DiagnosticKind::PackageUpdate: return "PackageUpdate";
    case brevalcore::DiagnosticKind::Trace: return "Trace";
    case brevalcore::DiagnosticKind::Call: break;
  }
  return "Call";
}

// brevalcore_call with its arguments checked; the outcome goes through `entry`.
int Call(Entry& entry, brevalcore_handle* ctl, const char* member, int argc, const char* const* argv, char** result) {
  if (!member) return entry.Done(err::kInvalidProcedureCall, "brevalcore_call: no member name (NULL)");
  if (!brevalcore::automation::IsValidUtf8(member))
    return entry.Done(err::kInvalidProcedureCall, "brevalcore_call: the member name is not valid UTF-8");
  if (argc < 0 || (argc > 0 && !argv))
    return entry.Done(err::kInvalidProcedureCall,
                      std::string(member) + ": argc is " + std::to_string(argc) + (argc < 0 ? "" : " but argv is NULL"));
  std::vector<std::string_view> args;
  for (int i = 0; i < argc; ++i) {
    if (!argv[i])
      return entry.Done(err::kInvalidProcedureCall, std::string(member) + ": argument " + std::to_string(i + 1) + " is NULL");
    args.emplace_back(argv[i]);
  }
  const api::MemberOutcome outcome = api::CallMember(*ctl->control, member, args);
  if (outcome.number == 0 && result) {
    *result = Copy(outcome.result);
    if (!*result) return entry.Done(err::kOutOfMemory, std::string(member) + ": out of memory");
  }
  return entry.Done(outcome.number, outcome.message);
}

void SetError(char** error, const std::string& message) {
  if (error) *error = message.empty() ? nullptr : Copy(message);
}

int Simple(brevalcore_handle* ctl, const char* member, std::vector<std::string> args) {
  Entry entry(ctl, member);
  if (!entry) return entry.number();
  try {
    std::vector<const char*> argv;
    for (const auto& arg : args) argv.push_back(arg.c_str());
    return Call(entry, ctl, member, static_cast<int>(argv.size()), argv.data(), nullptr);
  } catch (...) {
    return entry.Done(err::kOutOfMemory, std::string(member) + ": out of memory");
  }
}

}  // namespace

extern "C" {

int brevalcore_abi_version(void) { return BREVALCORE_ABI_VERSION; }

brevalcore_handle* brevalcore_new(const char* control_dir, const char* data_root, unsigned flags, char** error) {
  if (error) *error = nullptr;
  try {
    if (flags & ~BREVALCORE_HEADLESS) {
      SetError(error, "brevalcore_new: unknown flags " + std::to_string(flags & ~BREVALCORE_HEADLESS));
      return nullptr;
    }
    brevalcore::ControlOptions options;
    options.controlFolder = control_dir ? control_dir : "";
    options.dataRoot = data_root ? data_root : "";
    options.view = (flags & BREVALCORE_HEADLESS) ? brevalcore::View::Headless : brevalcore::View::WebView;
    std::string why;
    std::unique_ptr<Control> control = Control::Create(options, &why);
    if (!control) {
      SetError(error, "brevalcore_new: " + why);
      return nullptr;
    }
    auto* ctl = new brevalcore_handle(std::move(control));
    ctl->control->SetEvents(&ctl->events);
    {
      std::lock_guard lock(liveMutex);
      Live().insert(ctl);
    }
    return ctl;
  } catch (...) {
    SetError(error, "brevalcore_new: out of memory");
    return nullptr;
  }
}

void brevalcore_delete(brevalcore_handle* ctl) {
  if (!ctl || !IsLive(ctl) || std::this_thread::get_id() != ctl->owner) return;
  {
    std::lock_guard lock(liveMutex);
    Live().erase(ctl);
  }
  ctl->control->SetDiagnosticsHandler(nullptr);
  ctl->control->SetEvents(nullptr);
  if (ctl->active > 0) {
    ctl->deleted = true;
    return;
  }
  delete ctl;
}

void brevalcore_free(void* p) { std::free(p); }

int brevalcore_call(brevalcore_handle* ctl, const char* member, int argc, const char* const* argv, char** result,
                    char** error) {
  if (result) *result = nullptr;
  if (error) *error = nullptr;
  Entry entry(ctl, member && brevalcore::automation::IsValidUtf8(member) ? member : "brevalcore_call");
  if (!entry) {
    SetError(error, entry.message());
    return entry.number();
  }
  int number = 0;
  try {
    number = Call(entry, ctl, member, argc, argv, result);
  } catch (...) {
    number = entry.Done(err::kOutOfMemory, "brevalcore_call: out of memory");
  }
  if (number) SetError(error, entry.message());
  return number;
}

void brevalcore_set_event_handler(brevalcore_handle* ctl, void (*fn)(void* user, brevalcore_event* ev), void* user) {
  Entry entry(ctl, "brevalcore_set_event_handler");
  if (entry) ctl->events.Set(fn, user);
}

const char* brevalcore_event_name(const brevalcore_event* ev) { return ev ? ev->name : nullptr; }

int brevalcore_event_argc(const brevalcore_event* ev) { return ev ? static_cast<int>(ev->args.size()) : -1; }

const char* brevalcore_event_arg(const brevalcore_event* ev, int i) {
  if (!ev || i < 0 || static_cast<size_t>(i) >= ev->args.size()) return nullptr;
  return ev->args[static_cast<size_t>(i)].c_str();
}

void brevalcore_event_set_arg(brevalcore_event* ev, int i, const char* value) {
  if (!ev) return;
  Entry entry(ev->ctl, "brevalcore_event_set_arg");
  if (!entry) return;
  const std::string where = std::string("brevalcore_event_set_arg: ") + ev->name + " argument " + std::to_string(i);
  try {
    if (i < 0 || static_cast<size_t>(i) >= ev->args.size())
      entry.Done(err::kInvalidProcedureCall, where + " does not exist (" + std::to_string(ev->args.size()) + " arguments)");
    else if (i != ev->byReference)
      entry.Done(err::kInvalidProcedureCall, where + " is passed by value and cannot be answered");
    else if (!value)
      entry.Done(err::kInvalidProcedureCall, where + ": the value is NULL");
    else if (!brevalcore::automation::IsValidUtf8(value))
      entry.Done(err::kInvalidProcedureCall, where + ": the value is not valid UTF-8");
    else
      entry.Done(0, (ev->args[static_cast<size_t>(i)] = value, std::string()));
  } catch (...) {
    entry.Done(err::kOutOfMemory, where + ": out of memory");
  }
}

const char* brevalcore_page(const brevalcore_handle* ctl) {
  auto* mutableCtl = const_cast<brevalcore_handle*>(ctl);
  Entry entry(mutableCtl, "brevalcore_page");
  if (!entry) return nullptr;
  try {
    mutableCtl->page = ctl->control->Page();
  } catch (...) {
    mutableCtl->page.clear();
  }
  return ctl->deleted ? nullptr : ctl->page.c_str();  // a diagnostics handler may have deleted it
}

int brevalcore_click(brevalcore_handle* ctl, const char* href) {
  Entry entry(ctl, "brevalcore_click");
  if (!entry) return entry.number();
  if (!href) return entry.Done(err::kInvalidProcedureCall, "brevalcore_click: no href (NULL)");
  try {
    if (ctl->control->Click(href)) return entry.Done(0, {});
    const brevalcore::Error& error = ctl->control->LastError();
    return entry.Done(error.number ? error.number : err::kInvalidProcedureCall, error.message);
  } catch (...) {
    return entry.Done(err::kOutOfMemory, "brevalcore_click: out of memory");
  }
}

const char* brevalcore_last_error(const brevalcore_handle* ctl) {
  if (!ctl || !IsLive(ctl) || std::this_thread::get_id() != ctl->owner) return foreignError.c_str();
  return ctl->lastError.c_str();
}

void brevalcore_set_diagnostics_handler(brevalcore_handle* ctl, void (*fn)(void* user, const brevalcore_diagnostic* d),
                                        void* user) {
  Entry entry(ctl, "brevalcore_set_diagnostics_handler");
  if (!entry) return;
  ctl->diagnosticsFn = fn;
  ctl->diagnosticsUser = user;
  if (!fn) {
    ctl->control->SetDiagnosticsHandler(nullptr);
    return;
  }
  ctl->control->SetDiagnosticsHandler([ctl](const Diagnostic& d) {
    if (!ctl->diagnosticsFn) return;
    const brevalcore_diagnostic plain{KindName(d.kind), d.error ? 1 : 0, d.number,    d.procedure.c_str(),
                                      d.message.c_str(), d.file.c_str(), d.line, d.column};
    ++ctl->active;
    try {
      ctl->diagnosticsFn(ctl->diagnosticsUser, &plain);
    } catch (...) {
    }
    if (--ctl->active == 0 && ctl->deleted) delete ctl;
  });
}

int brevalcore_start_prescription(brevalcore_handle* ctl) { return Simple(ctl, "StartPrescription", {}); }

int brevalcore_end_prescription(brevalcore_handle* ctl) { return Simple(ctl, "EndPrescription", {}); }

int brevalcore_add_drug_to_prescription(brevalcore_handle* ctl, const char* aic, const char* drug_class, int ssn,
                                        const char* substance, int64_t price_cents) {
  if (!aic || !drug_class || !substance) {
    Entry entry(ctl, "AddDrugToPrescription");
    if (!entry) return entry.number();
    return entry.Done(err::kInvalidProcedureCall, "AddDrugToPrescription: a text argument is NULL");
  }
  try {
    const bool negative = price_cents < 0;
    const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(price_cents) : static_cast<uint64_t>(price_cents);
    const std::string digits = std::to_string(magnitude / 100);
    const std::string cents = std::to_string(magnitude % 100 + 100).substr(1);
    return Simple(ctl, "AddDrugToPrescription",
                  {aic, drug_class, ssn ? "True" : "False", substance, (negative ? "-" : "") + digits + "." + cents});
  } catch (...) {
    return err::kOutOfMemory;
  }
}

void brevalcore_resize(brevalcore_handle* ctl, int width, int height) {
  Entry entry(ctl, "brevalcore_resize");
  if (entry) ctl->control->Resize(width, height);
}

void brevalcore_set_container_visible(brevalcore_handle* ctl, int visible) {
  Entry entry(ctl, "brevalcore_set_container_visible");
  if (entry) ctl->control->SetContainerVisible(visible != 0);
}

void* brevalcore_native_view(const brevalcore_handle* ctl) {
  Entry entry(const_cast<brevalcore_handle*>(ctl), "brevalcore_native_view");
  return entry ? ctl->control->NativeView() : nullptr;
}

void brevalcore_set_dialog_parent(brevalcore_handle* ctl, void* gtk_window) {
  Entry entry(ctl, "brevalcore_set_dialog_parent");
  if (entry) ctl->control->SetDialogParent(gtk_window);
}

}  // extern "C"
