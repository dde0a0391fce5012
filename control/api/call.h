#pragma once
// The inside of brevalcore::Control: its state (api::ControlState) and the scope every public member
// runs in (api::Call). A Call checks the thread, keeps the control alive while the member runs
// (an event handler may destroy the Control), converts and checks the host's arguments, and
// decides whether the member failed: an exception, a misuse, or a failure the control reported
// under the member's own name (for InitializeContext and Initialize, any failure of the start).
#include <functional>
#include <memory>
#include <thread>

#include "brevalcore/control.h"
#include "control/banner_control.h"

namespace brevalcore::browser { class HeadlessBrowser; }

namespace brevalcore::api {

class Call;

// The inside of a Control.
struct ControlState : automation::EventSink {
  ControlState();
  ~ControlState() override;

  // automation::EventSink: the control's events, to the host's ControlEvents.
  void OnEvent(automation::DispId id, automation::StringView name, std::span<automation::Variant> args) override;
  // The control's diagnostics, to the host's handler (and to the running call's error).
  void OnDiagnostic(const rules::Diagnostic& diagnostic);
  void Tell(const Diagnostic& diagnostic);

  const std::thread::id owner;
  std::unique_ptr<browser::BrowserHost> browser;
  browser::HeadlessBrowser* headless = nullptr;  // the browser, when it is the headless one
  void* nativeView = nullptr;                    // the web view's GtkWidget
  std::function<void(void*)> setDialogParent;    // GTK dialogs only
  std::unique_ptr<ui::UserInterface> ui;
  std::unique_ptr<shell::Clock> clock;
  automation::Ref<control::BrevalcoreBanner> banner;

  ControlEvents* events = nullptr;
  std::function<void(const Diagnostic&)> diagnostics;
  Error lastError;
  int depth = 0;                 // calls running (more than one when a handler calls back)
  Call* current = nullptr;       // the innermost call
  int delivering = 0;            // events and diagnostics being delivered to the host
  bool closing = false;          // the Control was destroyed while a call or an event ran
  // With a web view, events also arrive from the host's main loop, outside any call: a Control
  // destroyed there hands its state to this, which lets it go once the loop is back.
  std::function<void(std::shared_ptr<ControlState>)> releaseLater;
};

// The control whose call runs on this thread, if any: the process-wide reports (a plug-in that
// did not load, a refused profile write) made meanwhile concern it.
ControlState*& ReportingControl();

// A drug's text arguments, converted.
struct DrugArgs {
  automation::String aic, drugClass, substance;
  automation::Currency price;
};

class Call {
 public:
  enum Mode {
    kMember,  // fails on a report that names the member
    kStart,   // InitializeContext, Initialize: fails on any failure of the start but a lost trace
  };
  Call(const std::shared_ptr<ControlState>& impl, std::u16string_view member, Mode mode = kMember);
  ~Call();
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;

  // False when the call may not run (another thread); the reason is recorded.
  explicit operator bool() const { return static_cast<bool>(impl_); }
  ControlState& impl() const { return *impl_; }
  control::BrevalcoreBanner& banner() const { return *impl_->banner; }

  // The error of the last call made on this thread.
  static const Error& LastError(const ControlState& impl);

  // Argument conversions: false, with the failure recorded, when the value is refused.
  bool Text(std::string_view text, const char* name, automation::String& out);
  bool Date(std::chrono::year_month_day date, const char* name, automation::Date& out);
  bool DrugArguments(const Drug& drug, DrugArgs& out);

  // Runs the member; false when it returned false, raised, or reported its own failure.
  bool Result(const std::function<bool()>& body);

  // A fact by path ("Doctor.Province"): read as text, or assigned from text.
  bool GetFact(std::string_view path, std::string& value);
  bool SetFact(std::string_view path, std::string_view value);
  // Presses the link with this href on the headless page.
  bool Click(std::string_view href);

  bool FailsOn(const rules::Diagnostic& diagnostic) const;
  // Records the call's failure; `tell` also tells the host's diagnostics (misuse).
  bool Fail(int number, const std::string& message, bool tell = true);

 private:
  // The fact object and member a path names; false (recorded) when it names none.
  bool ResolveFact(std::string_view path, automation::Ref<automation::Object>& object, automation::DispId& id);
  std::string Name() const;

  std::shared_ptr<ControlState> impl_;  // null when the call may not run
  std::u16string_view member_;
  Mode mode_;
  Call* outer_ = nullptr;
  ControlState* outerReporting_ = nullptr;
  bool failed_ = false;
};

}  // namespace brevalcore::api
