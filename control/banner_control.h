#pragma once
// BrevalcoreBanner: the control the host embeds on its prescription screen. It keeps the
// shared context and the facts, starts the rule script "banner.script" with the three rule
// objects, runs the script's procedures at the points of the host's prescription work-flow,
// shows the banner the script chose in the web view, and raises the events of
// __BrevalcoreBanner to the host.
//
// Everything runs on the host's user-interface thread. Platform services are injected at
// creation (ControlServices); missing ones get the real Linux implementations.
#include <functional>
#include <memory>
#include <string>

#include "commands/command_host.h"
#include "platform/automation/dispatch.h"
#include "platform/browser/browser_host.h"
#include "platform/script/script_host.h"
#include "platform/shell/clock.h"
#include "platform/shell/process.h"
#include "platform/shell/shell_open.h"
#include "platform/ui/user_interface.h"
#include "rules/context.h"
#include "rules/diagnostics.h"
#include "storage/packages/update.h"

namespace brevalcore::control {

using automation::ClassInfo;
using automation::Currency;
using automation::Date;
using automation::Ref;
using automation::String;
using automation::StringView;
using automation::Variant;

using ScriptHostFactory = std::function<std::unique_ptr<script::ScriptHost>(script::ScriptServices)>;
using PackageUpdate =
    std::function<packages::UpdateOutcome(const packages::UpdateRequest&, packages::UpdateServices&)>;

// The platform services of one control. Null members are filled with the real ones: a
// headless browser (until a window system hosts the control), a user interface that answers
// every box with its default button, the system clock, processes and shell, the default object
// factories (with the bundled tracer writing in the control folder), our VBScript engine and
// the package update from the resource library.
struct ControlServices {
  browser::BrowserHost* browser = nullptr;
  ui::UserInterface* ui = nullptr;
  const shell::Clock* clock = nullptr;
  shell::ProcessService* processes = nullptr;
  shell::ShellOpener* shell = nullptr;
  automation::ObjectFactories* factories = nullptr;
  ScriptHostFactory scriptHosts;
  PackageUpdate packageUpdate;
  std::string controlFolder;  // empty: storage::GetControlFolder()
  std::string dataFolder;     // the data root that holds the banner folder; empty: storage::GetDataFolder()
  // Told of every failure report, script error, load failure, package update and lost trace.
  rules::DiagnosticSink diagnostics;
};

// Dispatch ids of the event interface __BrevalcoreBanner: part of the host contract.
namespace event_id {
inline constexpr automation::DispId kOnCommandClick = 1;
inline constexpr automation::DispId kOnRequiredDrugDescription = 2;
inline constexpr automation::DispId kOnClick = 3;
inline constexpr automation::DispId kOnRequiredField = 4;
inline constexpr automation::DispId kOnCommandClickExtended = 5;
}  // namespace event_id

class BrevalcoreBanner : public automation::DispatchObject<BrevalcoreBanner>,
                         public browser::BrowserEvents,
                         public commands::CommandHost {
 public:
  static const ClassInfo& Class();

  explicit BrevalcoreBanner(ControlServices services = {});
  ~BrevalcoreBanner() override;

  // ---- host sinks of __BrevalcoreBanner
  void Connect(automation::EventSink* sink) { events_.Connect(sink); }
  void Disconnect(automation::EventSink* sink) { events_.Disconnect(sink); }

  // ---- _BrevalcoreBanner: initialisation and accessors
  bool InitializeContext(bool lBannerActive, const String& sApplicationCode, const String& sDoctorCode,
                         const String& sDoctorRegion, const String& sDoctorAsl, const String& sDoctorBranch,
                         bool lDoctorSSN, const String& sResBannersPath, const String& sRemotePageParameters);
  bool Initialize();
  bool IsInitialized() const override { return initialized_; }
  bool Destroy();
  Ref<rules::cContext> context();
  void SetContext(Ref<rules::cContext> context);
  Ref<rules::PatientFacts> Patient();
  Ref<rules::ApplicationFacts> Application();
  Ref<rules::DoctorFacts> Doctor();
  bool ForceFocusBack() const { return forceFocusBack_; }
  void SetForceFocusBack(bool value) { forceFocusBack_ = value; }

  // ---- _BrevalcoreBanner: prescription work-flow
  Variant SetPatient(const String& sGender, Date dBirthDate, bool lSSN, const String& sProblemsICD);
  bool StartPrescription();
  bool AddDrugToPrescription(const String& sAIC, const String& sClass, bool lSSN, const String& sSubstance,
                             Currency nPrice);
  void PrescribingDrug(const String& sAIC, const String& sClass, bool lSSN, const String& sSubstance,
                       Currency nPrice);
  bool RemoveDrugFromPrescription(const String& sAIC);
  Variant AddProblemToPrescription(const String& sICD);
  Variant RemoveProblemFromPrescription(const String& sICD);
  void SetCurrentPrescriptionDrug(const String& sAIC);
  String CurrentPrescriptionDrug();
  bool EndPrescription();
  bool ShowAutoSubstituteList();
  Variant SetProblemsOfPrescription(const String& sProblemsICD);
  bool ClearPrescription();
  void BeginLoadingPrescriptionItems() { loadingItems_ = true; }
  void EndLoadingPrescriptionItems();

  // ---- the container's ambient properties
  void Resize(int width, int height);
  // Whether the container shows the control (read by EndLoadingPrescriptionItems).
  void SetContainerVisible(bool visible) { containerVisible_ = visible; }

  // ---- state, for tests and tools
  const String& CurrentUrl() const { return currentUrl_; }
  const String& DefaultPage() const { return defaultPage_; }
  const String& OfflinePage() const { return offlinePage_; }
  bool OfflineMenuChecked() const { return offlineMenuChecked_; }
  bool HasScript() const { return script_ != nullptr; }
  bool HasRuleObjects() const { return static_cast<bool>(actions_); }
  const std::string& ControlFolder() const { return controlFolder_; }
  const std::string& DataFolder() const { return dataFolder_; }
  // The tracing object of this thread for this control's folder (shared by the controls of
  // that folder on the thread), or Nothing.
  Ref<automation::Object>& Tracing();

  // ---- BrowserEvents
  void OnNavigateError(StringView url) override;
  void OnDocumentComplete(StringView url) override;
  void OnUpdatePageStatus() override;
  void OnGotFocus(browser::FocusCause cause) override;
  void OnMouseDown(int button, std::shared_ptr<browser::Element> element) override;
  void OnLinkActivated(std::shared_ptr<browser::Element> element) override;
  bool OnContextMenu(int x, int y) override;
  bool OnPageNavigation(StringView url) override;

  // ---- CommandHost
  rules::cContext& Context() override;
  bool IsLoadingItems() const override { return loadingItems_; }
  String Banner() override;
  String BannerFolder() override;
  String CurrentDrug() override;
  String PrescribingDrugAic() override;
  String PatientName() override;
  String DoctorName() override;
  String DoctorStamp() override;
  bool BannersEnabled() override;
  String IniFilePath() override;
  String ShellWorkingFolder() override { return automation::FromUtf8(controlFolder_); }
  String ReadIni(StringView section, StringView key) override;
  void WriteIni(StringView section, StringView key, StringView value) override;
  String ReadIniSection(StringView section) override;
  void WriteIniSection(StringView section, StringView entries) override;
  void IncrementBannerCounter(StringView word) override;
  void TraceBannerAction(StringView word, StringView param) override;
  void WriteBannerKeyData(StringView key, StringView value) override;
  void WriteBannerPatientKeyData(StringView key, StringView value) override;
  String MakeTempFileName(StringView fileName) override;
  void RaiseOnCommandClick(StringView command, String& param) override;
  void RaiseOnCommandClickExtended(StringView command, StringView param, StringView options) override;
  void RaiseOnRequiredDrugDescription(StringView aic, String& description) override;
  void RaiseOnClick(int16_t button) override;
  void RaiseOnRequiredField(StringView fieldName, String& fieldValue) override;
  ui::UserInterface& Ui() override { return *ui_; }
  browser::BrowserHost& Browser() override { return *browser_; }
  void GotFocusStep() override;
  const shell::Clock& Clock() override { return *clock_; }
  shell::ShellOpener& Shell() override { return *shell_; }
  automation::ObjectFactories& Factories() override { return *factories_; }

 private:
  // Lifecycle (lifecycle.cpp)
  void Init();
  void OnExit();
  String GetRemotePageParameter(StringView name);
  void CreateRuleObjects();
  void CreateTracing();
  // Starts the push of the trace records to the analytics server when it is on and due.
  void StartAutoPush();
  script::ScriptHost& Script();
  // Shows the control's error report for the failure being handled (call inside a catch), and
  // tells the host's diagnostics what kind of failure it was (a script error is always
  // Script); `show` false tells the host only.
  void ReportCurrentFailure(StringView procedure, rules::DiagnosticKind kind = rules::DiagnosticKind::Call,
                            const std::string& file = {}, bool show = true);
  // "banner.script" in the banner folder.
  std::string ScriptPath();
  void Diagnose(const rules::Diagnostic& diagnostic) const;
  // Runs the package update and tells the host its outcome.
  packages::UpdateOutcome UpdatePackage();
  void DisableBanners();

  // Work-flow (workflow.cpp)
  enum class Runner { StartPrescription, Before, After };
  void RunScript(Runner runner);
  bool CheckAutoSubstitute();
  // The daily prescription counter of the doctor's settings (history.cpp).
  void CountPrescription();
  Ref<rules::Facts> Facts();
  Ref<rules::PrescriptionFacts> Prescription();

  // Display (display.cpp)
  void NavigateBlank(bool doYield);
  void NavigateTo(const String& url);
  void LoadOfflineSetting();
  void SetOffline(bool value);
  void StyleBody();
  // The offline page failed too: a blank page, once, and the reason in the trace and the
  // diagnostics.
  void GiveUpOnPage();

  ControlServices services_;
  std::unique_ptr<browser::BrowserHost> ownedBrowser_;
  std::unique_ptr<ui::UserInterface> ownedUi_;
  std::unique_ptr<shell::ShellOpener> ownedShell_;
  std::unique_ptr<automation::ObjectFactories> ownedFactories_;
  browser::BrowserHost* browser_;
  ui::UserInterface* ui_;
  const shell::Clock* clock_;
  shell::ProcessService* processes_;
  shell::ShellOpener* shell_;
  automation::ObjectFactories* factories_;
  std::string controlFolder_;
  std::string dataFolder_;

  automation::EventSource events_;
  bool forceFocusBack_ = false;
  std::unique_ptr<script::ScriptHost> script_;
  Ref<automation::Object> actions_, conditions_, commands_;
  String defaultPage_;
  bool navigationFailed_ = false;
  bool showingOfflineAfterFailure_ = false;  // the offline page is loading in place of a failed one
  String failedUrl_;                         // the address whose failure led to the offline page
  String offlinePage_;
  String currentUrl_;
  bool initialized_ = false;
  bool loadingItems_ = false;
  Ref<rules::cContext> context_;
  bool docAttached_ = false;
  bool offlineMenuChecked_ = false;
  bool containerVisible_ = true;
};

}  // namespace brevalcore::control
