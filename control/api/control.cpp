// brevalcore::Control: the public C++ face of the banner control. It owns the platform pieces
// the options ask for (headless or WebKit view, dialogs, clock), forwards each member to the
// control, converts UTF-8 and chrono values at the edge, turns the control's events into
// ControlEvents calls, and records why a call failed. Every member enters through a Call,
// which keeps the control alive while it runs (a handler may destroy the Control) and, for a
// headless view, lets the page's pending events run once the outermost call is done, as the
// host's message loop would.
#include "brevalcore/control.h"

#include <filesystem>
#include <iostream>
#include <mutex>
#include <thread>

#include "control/api/call.h"
#include "control/api/text_values.h"
#include "control/banner_control.h"
#include "platform/automation/calendar.h"
#include "platform/automation/diagnostics.h"
#include "platform/automation/error.h"
#include "platform/browser/headless_browser.h"
#include "platform/ui/console_ui.h"
#include "platform/ui/scripted_ui.h"
#ifdef BREVALCORE_WITH_WEBKIT
#include <gtk/gtk.h>

#include "platform/browser/webkit/webkit_browser_host.h"
#include "platform/ui/gtk/gtk_user_interface.h"
#endif

namespace brevalcore {

using automation::FromUtf8;
using automation::String;
using automation::ToUtf8;
using automation::Variant;
namespace err = automation::err;

namespace {

// The host's clock as the control reads time: the doctor's local date and time.
class HostClock : public shell::Clock {
 public:
  explicit HostClock(std::function<std::chrono::local_seconds()> now) : now_(std::move(now)) {}
  automation::Date Now() const override {
    const auto now = now_();
    const auto day = std::chrono::floor<std::chrono::days>(now);
    const std::chrono::year_month_day date{std::chrono::sys_days(day.time_since_epoch())};
    const std::chrono::hh_mm_ss time{now - day};
    return automation::calendar::MakeDate({static_cast<int>(date.year()), static_cast<int>(unsigned(date.month())),
                                           static_cast<int>(unsigned(date.day())), static_cast<int>(time.hours().count()),
                                           static_cast<int>(time.minutes().count()),
                                           static_cast<int>(time.seconds().count())});
  }

 private:
  std::function<std::chrono::local_seconds()> now_;
};

DiagnosticKind PublicKind(rules::DiagnosticKind kind) {
  switch (kind) {
    case rules::DiagnosticKind::Script: return DiagnosticKind::Script;
    case rules::DiagnosticKind::Load: return DiagnosticKind::Load;
    case rules::DiagnosticKind::PackageUpdate: return DiagnosticKind::PackageUpdate;
    case rules::DiagnosticKind::Trace: return DiagnosticKind::Trace;
    case rules::DiagnosticKind::Call: break;
  }
  return DiagnosticKind::Call;
}

// "" when `folder` may serve as the named folder, else why not.
std::string CheckFolder(const std::string& folder, const char* what) {
  if (folder.empty()) return {};
  if (!automation::IsValidUtf8(folder)) return std::string(what) + " is not valid UTF-8";
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) return std::string(what) + " \"" + folder + "\" is not a folder";
  return {};
}

// Counts a delivery to the host, so that a Control destroyed by the host's handler keeps its
// state until the delivery is over.
class Delivering {
 public:
  explicit Delivering(api::ControlState& state) : state_(state) { ++state_.delivering; }
  ~Delivering() { --state_.delivering; }

 private:
  api::ControlState& state_;
};

// The control being created is the one process-wide reports concern, as during its calls.
class Reporting {
 public:
  explicit Reporting(api::ControlState* state) : outer_(api::ReportingControl()) { api::ReportingControl() = state; }
  ~Reporting() { api::ReportingControl() = outer_; }

 private:
  api::ControlState* outer_;
};

// Process-wide reports still go to standard error, and to the diagnostics of the control they
// concern.
void ForwardProcessReports() {
  static std::once_flag once;
  std::call_once(once, [] {
    automation::SetDiagnosticSink([](const automation::Diagnostic& report) {
      automation::LogToStandardError(report);
      api::ControlState* control = api::ReportingControl();
      if (!control) return;
      Diagnostic diagnostic;
      diagnostic.kind = report.source == "plug-in" ? DiagnosticKind::Load : DiagnosticKind::Call;
      diagnostic.procedure = report.source;
      diagnostic.message = report.source + ": " + report.message;
      control->Tell(diagnostic);
    });
  });
}

#ifdef BREVALCORE_WITH_WEBKIT
constexpr bool kHaveWebView = true;
bool OpenDisplay() { return gtk_init_check(nullptr, nullptr); }
// Lets the state go from the main loop, after the signal handler that delivered the event.
void ReleaseFromMainLoop(std::shared_ptr<api::ControlState> state) {
  g_idle_add(
      [](gpointer data) -> gboolean {
        delete static_cast<std::shared_ptr<api::ControlState>*>(data);
        return G_SOURCE_REMOVE;
      },
      new std::shared_ptr<api::ControlState>(std::move(state)));
}
#else
constexpr bool kHaveWebView = false;
bool OpenDisplay() { return false; }
#endif

}  // namespace

// ------------------------------------------------------------------------------ state

api::ControlState::ControlState() : owner(std::this_thread::get_id()) {}

api::ControlState::~ControlState() {
  if (banner) banner->Disconnect(this);
  banner.reset();  // the control lets go of the view and the dialogs before they go
}

void api::ControlState::OnEvent(automation::DispId, automation::StringView name, std::span<Variant> args) {
  if (!events || closing) return;
  Delivering delivering(*this);
  std::vector<std::string> text;
  for (const Variant& arg : args) text.push_back(api::ResultText(arg).value_or(std::string()));
  text.resize(3);
  try {
    if (name == u"OnCommandClick") {
      events->OnCommandClick(text[0], text[1]);
    } else if (name == u"OnCommandClickExtended") {
      events->OnCommandClickExtended(text[0], text[1], text[2]);
    } else if (name == u"OnRequiredDrugDescription") {
      events->OnRequiredDrugDescription(text[0], text[1]);
    } else if (name == u"OnClick") {
      events->OnClick(args.empty() ? 0 : static_cast<int>(automation::ToLong(args[0])));
    } else if (name == u"OnRequiredField") {
      events->OnRequiredField(text[0], text[1]);
    }
  } catch (...) {
    // A host handler that throws must not unwind through the control: its answer is lost.
    Diagnostic diagnostic;
    diagnostic.procedure = ToUtf8(name);
    diagnostic.message = "The host's handler of " + diagnostic.procedure + " raised an exception";
    Tell(diagnostic);
    return;
  }
  // The by-reference argument, answered (the control ignores OnCommandClick's answer).
  if (args.size() == 2 && name != u"OnClick" && automation::IsValidUtf8(text[1])) args[1] = Variant(FromUtf8(text[1]));
}

void api::ControlState::OnDiagnostic(const rules::Diagnostic& internal) {
  Diagnostic diagnostic;
  diagnostic.kind = PublicKind(internal.kind);
  diagnostic.error = internal.error;
  diagnostic.number = internal.number;
  diagnostic.procedure = ToUtf8(internal.procedure);
  diagnostic.message = ToUtf8(internal.message);
  diagnostic.file = internal.file;
  diagnostic.line = internal.line;
  diagnostic.column = internal.column;
  if (current && current->FailsOn(internal)) current->Fail(diagnostic.number, diagnostic.message, false);
  Tell(diagnostic);
}

void api::ControlState::Tell(const Diagnostic& diagnostic) {
  if (!diagnostics || closing) return;
  Delivering delivering(*this);
  try {
    diagnostics(diagnostic);
  } catch (...) {
    // A host handler that throws must not unwind through the control.
  }
}

// ------------------------------------------------------------------------------ creation

std::unique_ptr<Control> Control::Create(const ControlOptions& options, std::string* error) {
  auto fail = [&](std::string why) -> std::unique_ptr<Control> {
    if (error) *error = std::move(why);
    return nullptr;
  };
  try {
    if (auto why = CheckFolder(options.controlFolder, "the control folder"); !why.empty()) return fail(why);
    if (auto why = CheckFolder(options.dataRoot, "the data root"); !why.empty()) return fail(why);
    const bool webView = options.view == View::WebView;
    const bool gtkDialogs = options.dialogs == Dialogs::Gtk || (options.dialogs == Dialogs::Automatic && webView);
    if ((webView || gtkDialogs) && !kHaveWebView) return fail("this library was built without the web view and GTK dialogs");
    if ((webView || gtkDialogs) && !OpenDisplay())
      return fail("the web view and GTK dialogs need a display, and none could be opened: create the control headless");

    auto impl = std::make_shared<api::ControlState>();
    control::ControlServices services;
#ifdef BREVALCORE_WITH_WEBKIT
    if (webView) {
      auto view = std::make_unique<browser::WebKitBrowserHost>();
      impl->nativeView = view->Widget();
      impl->browser = std::move(view);
      impl->releaseLater = ReleaseFromMainLoop;
    }
    if (gtkDialogs) {
      auto dialogs = std::make_unique<ui::GtkUserInterface>();
      impl->setDialogParent = [ui = dialogs.get()](void* window) { ui->SetParent(static_cast<GtkWindow*>(window)); };
      impl->ui = std::move(dialogs);
    }
#endif
    if (!impl->browser) {
      auto headless = std::make_unique<browser::HeadlessBrowser>();
      impl->headless = headless.get();
      impl->browser = std::move(headless);
    }
    if (!impl->ui) {
      if (options.dialogs == Dialogs::Console)
        impl->ui = std::make_unique<ui::ConsoleUserInterface>(std::cin, std::cout);
      else
        impl->ui = std::make_unique<ui::ScriptedUserInterface>();
    }
    if (options.clock) impl->clock = std::make_unique<HostClock>(options.clock);
    ForwardProcessReports();
    Reporting reporting(impl.get());  // plug-ins load with the first control

    services.browser = impl->browser.get();
    services.ui = impl->ui.get();
    services.clock = impl->clock.get();
    services.controlFolder = options.controlFolder;
    services.dataFolder = options.dataRoot;
    services.diagnostics = [impl = impl.get()](const rules::Diagnostic& d) { impl->OnDiagnostic(d); };
    impl->banner = automation::MakeRef<control::BrevalcoreBanner>(std::move(services));
    impl->banner->Connect(impl.get());
    return std::unique_ptr<Control>(new Control(std::move(impl)));
  } catch (const std::exception& e) {
    return fail(std::string("the control could not be created: ") + e.what());
  } catch (...) {
    return fail("the control could not be created");
  }
}

Control::Control(std::shared_ptr<api::ControlState> state) : impl_(std::move(state)) {}

Control::~Control() {
  // A call still running (this destructor was called from one of its events) keeps the
  // control alive until it returns; an event from the main loop, until the loop is back. No
  // event or diagnostic reaches the host from now on.
  if (!impl_) return;
  impl_->closing = true;
  impl_->events = nullptr;
  impl_->diagnostics = nullptr;
  if (impl_->delivering > 0 && !impl_->current && impl_->releaseLater) impl_->releaseLater(std::move(impl_));
}

// ------------------------------------------------------------------------------ members

void Control::SetEvents(ControlEvents* events) {
  api::Call call(impl_, u"SetEvents");
  if (call) call.impl().events = events;
}

void Control::SetDiagnosticsHandler(std::function<void(const Diagnostic&)> handler) {
  api::Call call(impl_, u"SetDiagnosticsHandler");
  if (call) call.impl().diagnostics = std::move(handler);
}

const Error& Control::LastError() const { return api::Call::LastError(*impl_); }

bool Control::InitializeContext(bool bannerActive, std::string_view applicationCode, std::string_view doctorCode,
                                std::string_view doctorRegion, std::string_view doctorAsl,
                                std::string_view doctorBranch, bool doctorSSN, std::string_view resBannersPath,
                                std::string_view remotePageParameters) {
  api::Call call(impl_, u"InitializeContext", api::Call::kStart);
  if (!call) return false;
  String texts[7];
  const std::pair<std::string_view, const char*> args[] = {
      {applicationCode, "sApplicationCode"}, {doctorCode, "sDoctorCode"},   {doctorRegion, "sDoctorRegion"},
      {doctorAsl, "sDoctorAsl"},             {doctorBranch, "sDoctorBranch"}, {resBannersPath, "sResBannersPath"},
      {remotePageParameters, "sRemotePageParameters"}};
  for (size_t i = 0; i < 7; ++i)
    if (!call.Text(args[i].first, args[i].second, texts[i])) return false;
  return call.Result([&] {
    return call.banner().InitializeContext(bannerActive, texts[0], texts[1], texts[2], texts[3], texts[4], doctorSSN,
                                           texts[5], texts[6]);
  });
}

bool Control::Initialize() {
  api::Call call(impl_, u"Initialize", api::Call::kStart);
  return call && call.Result([&] { return call.banner().Initialize(); });
}

bool Control::IsInitialized() const {
  api::Call call(impl_, u"IsInitialized");
  return call && call.banner().IsInitialized();
}

bool Control::Destroy() {
  api::Call call(impl_, u"Destroy");
  return call && call.Result([&] { return call.banner().Destroy(); });
}

std::string Control::Fact(std::string_view path) {
  api::Call call(impl_, u"Fact");
  std::string value;
  if (call) call.GetFact(path, value);
  return value;
}

bool Control::SetFact(std::string_view path, std::string_view value) {
  api::Call call(impl_, u"SetFact");
  return call && call.SetFact(path, value);
}

bool Control::SetPatient(std::string_view gender, std::chrono::year_month_day birthDate, bool ssn,
                         std::string_view problemsICD) {
  api::Call call(impl_, u"SetPatient");
  String sGender, sProblems;
  automation::Date date;
  if (!call || !call.Text(gender, "sGender", sGender) || !call.Text(problemsICD, "sProblemsICD", sProblems) ||
      !call.Date(birthDate, "dBirthDate", date))
    return false;
  return call.Result([&] { return !call.banner().SetPatient(sGender, date, ssn, sProblems).IsEmpty(); });
}

bool Control::StartPrescription() {
  api::Call call(impl_, u"StartPrescription");
  return call && call.Result([&] { return call.banner().StartPrescription(); });
}

bool Control::AddDrugToPrescription(const Drug& drug) {
  api::Call call(impl_, u"AddDrugToPrescription");
  api::DrugArgs args;
  return call && call.DrugArguments(drug, args) && call.Result([&] {
           return call.banner().AddDrugToPrescription(args.aic, args.drugClass, drug.ssn, args.substance, args.price);
         });
}

bool Control::PrescribingDrug(const Drug& drug) {
  api::Call call(impl_, u"PrescribingDrug");
  api::DrugArgs args;
  return call && call.DrugArguments(drug, args) && call.Result([&] {
           call.banner().PrescribingDrug(args.aic, args.drugClass, drug.ssn, args.substance, args.price);
           return true;
         });
}

bool Control::RemoveDrugFromPrescription(std::string_view aic) {
  api::Call call(impl_, u"RemoveDrugFromPrescription");
  String code;
  return call && call.Text(aic, "sAIC", code) &&
         call.Result([&] { return call.banner().RemoveDrugFromPrescription(code); });
}

bool Control::AddProblemToPrescription(std::string_view icd) {
  api::Call call(impl_, u"AddProblemToPrescription");
  String code;
  return call && call.Text(icd, "sICD", code) &&
         call.Result([&] { return !call.banner().AddProblemToPrescription(code).IsEmpty(); });
}

bool Control::RemoveProblemFromPrescription(std::string_view icd) {
  api::Call call(impl_, u"RemoveProblemFromPrescription");
  String code;
  return call && call.Text(icd, "sICD", code) &&
         call.Result([&] { return !call.banner().RemoveProblemFromPrescription(code).IsEmpty(); });
}

bool Control::SetProblemsOfPrescription(std::string_view problemsICD) {
  api::Call call(impl_, u"SetProblemsOfPrescription");
  String codes;
  return call && call.Text(problemsICD, "sProblemsICD", codes) &&
         call.Result([&] { return !call.banner().SetProblemsOfPrescription(codes).IsEmpty(); });
}

bool Control::SetCurrentPrescriptionDrug(std::string_view aic) {
  api::Call call(impl_, u"CurrentPrescriptionDrug");
  String code;
  return call && call.Text(aic, "sAIC", code) && call.Result([&] {
           call.banner().SetCurrentPrescriptionDrug(code);
           return true;
         });
}

std::string Control::CurrentPrescriptionDrug() {
  api::Call call(impl_, u"CurrentPrescriptionDrug");
  std::string code;
  if (call) call.Result([&] {
      code = ToUtf8(call.banner().CurrentPrescriptionDrug());
      return true;
    });
  return code;
}

bool Control::EndPrescription() {
  api::Call call(impl_, u"EndPrescription");
  return call && call.Result([&] { return call.banner().EndPrescription(); });
}

bool Control::ClearPrescription() {
  api::Call call(impl_, u"ClearPrescription");
  return call && call.Result([&] { return call.banner().ClearPrescription(); });
}

bool Control::ShowAutoSubstituteList() {
  api::Call call(impl_, u"ShowAutoSubstituteList");
  return call && call.Result([&] { return call.banner().ShowAutoSubstituteList(); });
}

bool Control::BeginLoadingPrescriptionItems() {
  api::Call call(impl_, u"BeginLoadingPrescriptionItems");
  return call && call.Result([&] {
           call.banner().BeginLoadingPrescriptionItems();
           return true;
         });
}

bool Control::EndLoadingPrescriptionItems() {
  api::Call call(impl_, u"EndLoadingPrescriptionItems");
  return call && call.Result([&] {
           call.banner().EndLoadingPrescriptionItems();
           return true;
         });
}

bool Control::ForceFocusBack() const {
  api::Call call(impl_, u"ForceFocusBack");
  return call && call.banner().ForceFocusBack();
}

void Control::SetForceFocusBack(bool value) {
  api::Call call(impl_, u"ForceFocusBack");
  if (call) call.banner().SetForceFocusBack(value);
}

std::string Control::Page() const {
  api::Call call(impl_, u"Page");
  return call ? ToUtf8(call.impl().browser->DocumentUrl()) : std::string();
}

bool Control::Click(std::string_view href) {
  api::Call call(impl_, u"Click");
  return call && call.Click(href);
}

void Control::Resize(int width, int height) {
  api::Call call(impl_, u"Resize");
  if (call && width >= 0 && height >= 0) call.banner().Resize(width, height);
}

void Control::SetContainerVisible(bool visible) {
  api::Call call(impl_, u"SetContainerVisible");
  if (call) call.banner().SetContainerVisible(visible);
}

void* Control::NativeView() const {
  api::Call call(impl_, u"NativeView");
  return call ? call.impl().nativeView : nullptr;
}

void Control::SetDialogParent(void* gtkWindow) {
  api::Call call(impl_, u"SetDialogParent");
  if (call && call.impl().setDialogParent) call.impl().setDialogParent(gtkWindow);
}

}  // namespace brevalcore
