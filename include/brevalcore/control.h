#pragma once
// The Brevalcore banner control for C++ hosts.
//
// A host program creates one Control per prescription screen, initialises it with the doctor
// and the host application, reports each step of the prescription work-flow, and receives the
// doctor's clicks on banner links as events. Everything runs on the thread that created the
// control (the host's user-interface thread); see docs/integrators-guide.md.
//
// Strings are UTF-8 both ways. No member throws: a member that can fail returns false (or an
// empty result) and records why in LastError(); the diagnostics handler is also told of every
// script error, load failure, package update and lost trace, including those the control only
// shows the doctor in a message box.
//
// This header uses the standard library only. The library is built with GCC's libstdc++ and
// its C++11 string ABI; hosts built with another standard library use <brevalcore/brevalcore.h>.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace brevalcore {

namespace api {
struct ControlState;  // the library's own
}

// A price in euro cents: 12,50 euro is {1250}.
struct Money {
  std::int64_t cents = 0;
};

// A drug as the host reports it.
struct Drug {
  std::string aic;        // product code
  std::string drugClass;  // the class as the host reports it
  bool ssn = false;       // reimbursed by the national health service
  std::string substance;  // active substance
  Money price;
};

// Where the control shows its pages.
enum class View {
  Headless,  // no window: pages are read, not drawn; the host presses links with Click()
  WebView,   // a WebKitGTK view; needs GTK and a display (see <brevalcore/gtk.h>)
};

// Who answers the control's message boxes and forms.
enum class Dialogs {
  Automatic,       // GTK dialogs with a web view, default answers when headless
  DefaultAnswers,  // every box takes its default button, every form is cancelled
  Console,         // printed on standard output, answered on standard input
  Gtk,             // GTK dialogs (needs a display)
};

struct ControlOptions {
  // The folder of the doctors' settings files (BVC_<doctor>.INI), the trace database and the
  // updater. Empty: BREVALCORE_CONTROL_DIR, else the folder of the library itself.
  std::string controlFolder;
  // The folder that holds the banner folder "Brevalcore" shared by every host of the machine.
  // Empty: BREVALCORE_COMMON_APPDATA, else /var/lib when writable, else the temporary folder.
  std::string dataRoot;
  View view = View::Headless;
  Dialogs dialogs = Dialogs::Automatic;
  // The doctor's local date and time. Empty: the system clock in the local time zone.
  std::function<std::chrono::local_seconds()> clock;
};

// What the control tells the host besides its return values.
enum class DiagnosticKind {
  Script,         // a compile or run-time error in "banner.script"
  Load,           // a file or page the control needed could not be read or shown
  PackageUpdate,  // the outcome of the banner package update at initialisation
  Trace,          // the tracing component could not be created, or a trace was lost
  Call,           // any other failure of a call, or a misuse of this interface
};

struct Diagnostic {
  DiagnosticKind kind = DiagnosticKind::Call;
  bool error = true;      // false for outcomes that are no failure (a package unpacked)
  int number = 0;         // the platform's error number; 0 when there is none
  std::string procedure;  // the procedure that failed ("Init", "OnStartPrescription", ...)
  std::string message;    // the whole text, as the doctor's message box shows it when there is one
  std::string file;       // the script, page or package concerned, when there is one
  int line = 0;           // scripts: 1-based line and column; 0 when unknown
  int column = 0;
};

// The failure of the last call made on this thread; number 0 when it succeeded.
struct Error {
  int number = 0;
  std::string message;
  explicit operator bool() const { return number != 0; }
};

// The control's events. Override what the host handles; the others do nothing. Arguments
// passed by reference may be changed to answer the control. A handler may call the control
// (for example AddDrugToPrescription from OnCommandClickExtended) and may destroy it.
class ControlEvents {
 public:
  virtual ~ControlEvents() = default;
  // "SUBSTITUTE", "AUTOSUBSTITUTE" (param ends in "&1") or "VOLUNTAS"; param's new value is ignored.
  virtual void OnCommandClick(std::string_view /*command*/, std::string& /*param*/) {}
  // "PRESCRIBE", "PRESCRIBEPHARMA", "PRESCRIBEPARAPHARMA", "PRESCRIBEHOMEOPATHIC", "SUBSTITUTE".
  virtual void OnCommandClickExtended(std::string_view /*command*/, std::string_view /*param*/,
                                      std::string_view /*options*/) {}
  // The description of a drug, for the lists the doctor chooses from.
  virtual void OnRequiredDrugDescription(std::string_view /*aic*/, std::string& /*description*/) {}
  // Every mouse press in the page: 1 left, 2 right, 4 middle.
  virtual void OnClick(int /*button*/) {}
  // The value of a document template field the control does not know.
  virtual void OnRequiredField(std::string_view /*field*/, std::string& /*value*/) {}
};

class Control {
 public:
  // A new control, or null with the reason in `error` (a folder that does not exist, a web
  // view without a display, text that is not UTF-8).
  static std::unique_ptr<Control> Create(const ControlOptions& options, std::string* error = nullptr);
  // May be called from inside one of the control's events: the control then goes when the
  // call that raised the event returns, and raises no further event.
  ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  // ---- events, diagnostics and errors
  void SetEvents(ControlEvents* events);  // null: no events
  void SetDiagnosticsHandler(std::function<void(const Diagnostic&)> handler);
  const Error& LastError() const;

  // ---- initialisation
  // False when the start failed (missing or failing rule script, unusable package): banners
  // are then off and LastError() says why. Banners switched off by the host are no failure.
  bool InitializeContext(bool bannerActive, std::string_view applicationCode, std::string_view doctorCode,
                         std::string_view doctorRegion, std::string_view doctorAsl, std::string_view doctorBranch,
                         bool doctorSSN, std::string_view resBannersPath, std::string_view remotePageParameters);
  bool Initialize();
  bool IsInitialized() const;
  bool Destroy();

  // ---- facts: the members of the Patient, Doctor and Application objects (and of context),
  // by path, e.g. "Doctor.Province", "Patient.Id", "Application.EnableBanners". Values are
  // text as in <brevalcore/brevalcore.h>: Booleans "True"/"False", dates "YYYY-MM-DD",
  // numbers with "." as decimal separator. Fact() returns "" and records the error on failure.
  std::string Fact(std::string_view path);
  bool SetFact(std::string_view path, std::string_view value);

  // ---- prescription work-flow. A false result means the call did nothing: not initialised,
  // banners off where the call needs them, or a failure recorded in LastError().
  bool SetPatient(std::string_view gender, std::chrono::year_month_day birthDate, bool ssn,
                  std::string_view problemsICD);
  bool StartPrescription();
  bool AddDrugToPrescription(const Drug& drug);
  bool PrescribingDrug(const Drug& drug);
  bool RemoveDrugFromPrescription(std::string_view aic);
  bool AddProblemToPrescription(std::string_view icd);
  bool RemoveProblemFromPrescription(std::string_view icd);
  bool SetProblemsOfPrescription(std::string_view problemsICD);
  bool SetCurrentPrescriptionDrug(std::string_view aic);
  std::string CurrentPrescriptionDrug();
  bool EndPrescription();
  bool ClearPrescription();
  bool ShowAutoSubstituteList();
  bool BeginLoadingPrescriptionItems();
  bool EndLoadingPrescriptionItems();
  bool ForceFocusBack() const;
  void SetForceFocusBack(bool value);

  // ---- the page shown
  // Its address ("about:blank", "file:///...", the remote default page).
  std::string Page() const;
  // Presses the link with this href on the page shown, as the doctor's left button would.
  // Headless only; false when there is no such link.
  bool Click(std::string_view href);

  // ---- the container: what a window that shows the control tells it (see <brevalcore/gtk.h>)
  void Resize(int width, int height);
  void SetContainerVisible(bool visible);
  // The GtkWidget of the web view (WebView only, else null); owned by the control.
  void* NativeView() const;
  // The GtkWindow that owns the control's dialogs (may be null).
  void SetDialogParent(void* gtkWindow);

 private:
  explicit Control(std::shared_ptr<api::ControlState> state);
  std::shared_ptr<api::ControlState> impl_;
};

}  // namespace brevalcore
