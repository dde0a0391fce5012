// Start-up and shut-down: InitializeContext, Initialize, the private Init that loads the rule
// script, Destroy and OnExit, and the control's error report.
#include "control/addresses.h"
#include "control/banner_control.h"
#include "control/rule_script.h"
#include "control/texts.h"
#include "platform/script/script_host.h"
#include "storage/folder.h"
#include "storage/ini_file.h"
#include "storage/name_lookup.h"
#include "storage/paths.h"

namespace brevalcore::control {

using automation::AutomationError;
using automation::FromUtf8;
using automation::ToUtf8;

namespace {

constexpr char kBannerFolderName[] = "Brevalcore";
constexpr char16_t kScriptLanguage[] = u"VBScript";
constexpr char16_t kSettingsSection[] = u"BVC";
constexpr char16_t kGuidKey[] = u"GUID";

// The installation GUID kept in the doctor's settings section.
class IniGuid : public packages::GuidStore {
 public:
  explicit IniGuid(std::string file) : file_(std::move(file)) {}
  String ReadGuid() override { return storage::ReadIni(file_, kSettingsSection, kGuidKey); }
  void WriteGuid(const String& guid) override { storage::WriteIni(file_, kSettingsSection, kGuidKey, guid); }

 private:
  std::string file_;
};

// The rule script of the banner folder, found whatever the case of its name, decoded as the
// file-system text stream reads it. Raises "File not found" when it is missing or cannot be
// opened, as that stream does, and names the files when two differ only by case or the entry
// is no plain file (a link is never followed, a FIFO never waited on).
String ReadScriptFile(const std::string& bannerFolder) {
  const storage::Folder folder(bannerFolder);
  const storage::PlainFileLookup found = storage::FindPlainFile(folder, automation::Ascii(kScriptFileName));
  storage::RaiseIfUnusable(found);
  int error = 0;
  const auto bytes = found.status == storage::PlainFileLookup::Status::kFound
                         ? storage::ReadPlainFile(folder, found.name, error)
                         : std::nullopt;
  if (!bytes) automation::Raise(automation::err::kFileNotFound);
  return DecodeScriptText(*bytes);
}

struct Failure {
  int32_t number;
  String description;
  bool script = false;  // raised by the script engine, with the position when it knows one
  int line = 0;
  int column = 0;
};

// The number and text of the failure being handled.
Failure CurrentFailure() {
  try {
    throw;
  } catch (const script::ScriptError& e) {
    return {e.number(), e.description(), true, e.line(), e.column()};
  } catch (const AutomationError& e) {
    return {e.number(), e.description()};
  } catch (const std::bad_alloc&) {
    return {automation::err::kOutOfMemory, FromUtf8(automation::ErrorText(automation::err::kOutOfMemory))};
  } catch (const std::exception& e) {
    return {automation::err::kInvalidProcedureCall, FromUtf8(e.what())};
  } catch (...) {
    return {automation::err::kInvalidProcedureCall,
            FromUtf8(automation::ErrorText(automation::err::kInvalidProcedureCall))};
  }
}

}  // namespace

void BrevalcoreBanner::ReportCurrentFailure(StringView procedure, rules::DiagnosticKind kind, const std::string& file,
                                            bool show) {
  const Failure failure = CurrentFailure();
  const String message = text::kReportError + FromUtf8(std::to_string(failure.number)) + u" (" + failure.description +
                         text::kReportInProcedure + String(procedure) + text::kReportOfControl;
  if (show) {
    try {
      storage::ShowMessage(*ui_, message, ui::style::kOkOnly, text::kReportTitle);
    } catch (...) {
      // A report that cannot be shown must not turn into a failure of its own.
    }
  }
  rules::Diagnostic diagnostic;
  diagnostic.kind = failure.script ? rules::DiagnosticKind::Script : kind;
  diagnostic.number = failure.number;
  diagnostic.procedure = String(procedure);
  diagnostic.message = message;
  diagnostic.file = failure.script ? ScriptPath() : file;
  diagnostic.line = failure.line;
  diagnostic.column = failure.column;
  Diagnose(diagnostic);
}

void BrevalcoreBanner::Diagnose(const rules::Diagnostic& diagnostic) const {
  if (!services_.diagnostics) return;
  try {
    services_.diagnostics(diagnostic);
  } catch (...) {
    // The host's handler failing must not stop the control.
  }
}

std::string BrevalcoreBanner::ScriptPath() {
  return storage::BuildPath(ToUtf8(Context().PathTempBanner()), kScriptFileName);
}

namespace {

// Forwards to the control's user interface and keeps the text of every message box, so the
// package update's own reports reach the host's diagnostics too.
class RecordingUserInterface : public ui::UserInterface {
 public:
  explicit RecordingUserInterface(ui::UserInterface& ui) : ui_(ui) {}
  ui::Button MessageBox(StringView prompt, int styleCode, StringView title) override {
    messages.emplace_back(prompt);
    return ui_.MessageBox(prompt, styleCode, title);
  }
  std::optional<String> InputBox(StringView prompt, StringView title, StringView defaultText) override {
    return ui_.InputBox(prompt, title, defaultText);
  }
  ui::ContextMenuChoice ShowContextMenu(bool offlineChecked, int x, int y) override {
    return ui_.ShowContextMenu(offlineChecked, x, y);
  }
  void ShowPersInformer(ui::PersInformerForm& form) override { ui_.ShowPersInformer(form); }
  void ShowSelezioneFarmaci(ui::SelezioneFarmaciForm& form) override { ui_.ShowSelezioneFarmaci(form); }
  void ShowShellList(ui::ShellListForm& form) override { ui_.ShowShellList(form); }
  void ShowShortcutForm(ui::ShortcutFormModel& form) override { ui_.ShowShortcutForm(form); }

  std::vector<String> messages;

 private:
  ui::UserInterface& ui_;
};

}  // namespace

packages::UpdateOutcome BrevalcoreBanner::UpdatePackage() {
  rules::cContext& context = Context();
  Ref<rules::ApplicationFacts> application = Application();
  Ref<rules::DoctorFacts> doctor = Doctor();
  packages::UpdateRequest request{
      application->ResBannerPath(), context.PathTempBanner(), FromUtf8(controlFolder_),
      {application->Software(), application->SerialNumber(), doctor->Code(), doctor->Region(), doctor->Province()}};
  IniGuid guid(storage::GetIniFilePath(controlFolder_, doctor->Code()));
  RecordingUserInterface ui(*ui_);
  packages::UpdateServices updateServices{ui, *processes_, *clock_, guid};
  const packages::UpdateOutcome outcome = services_.packageUpdate(request, updateServices);

  rules::Diagnostic diagnostic;
  diagnostic.kind = rules::DiagnosticKind::PackageUpdate;
  diagnostic.procedure = u"UpdateFromRES";
  diagnostic.file = storage::BuildPath(ToUtf8(request.resBannerPath), ToUtf8(packages::kLibraryFileName));
  for (const String& message : ui.messages) {
    diagnostic.message = message;
    Diagnose(diagnostic);
  }
  if (!ui.messages.empty()) return outcome;
  diagnostic.error = !outcome.usable;
  if (!outcome.usable) diagnostic.message = text::kPackageUnusable;
  else if (outcome.unpacked) diagnostic.message = text::kPackageUnpacked + FromUtf8(std::to_string(outcome.filesWritten));
  else diagnostic.message = text::kPackageCurrent;
  Diagnose(diagnostic);
  return outcome;
}

void BrevalcoreBanner::DisableBanners() {
  try {
    Application()->SetEnableBanners(false);
  } catch (...) {
  }
}

String BrevalcoreBanner::GetRemotePageParameter(StringView name) {
  try {
    return FindRemotePageParameter(Application()->RemotePageParameters(), name);
  } catch (...) {
    return {};
  }
}

bool BrevalcoreBanner::InitializeContext(bool lBannerActive, const String& sApplicationCode, const String& sDoctorCode,
                                         const String& sDoctorRegion, const String& sDoctorAsl,
                                         const String& sDoctorBranch, bool lDoctorSSN, const String& sResBannersPath,
                                         const String& sRemotePageParameters) {
  try {
    initialized_ = false;
    Ref<rules::ApplicationFacts> application = Application();
    application->SetResBannerPath(sResBannersPath.empty() ? FromUtf8(controlFolder_) : sResBannersPath);
    application->SetEnableBanners(lBannerActive);
    application->SetCode(sApplicationCode);
    application->SetRemotePageParameters(sRemotePageParameters);
    application->SetSerialNumber(GetRemotePageParameter(u"Serial_Number"));
    application->SetSoftware(GetRemotePageParameter(u"Software"));
    application->SetVersion(GetRemotePageParameter(u"Versione"));
    Ref<rules::DoctorFacts> doctor = Doctor();
    doctor->SetCode(sDoctorCode);
    doctor->SetRegion(sDoctorRegion);
    doctor->SetAsl(sDoctorAsl);
    doctor->SetSpecializationBranch(sDoctorBranch);
    doctor->SetSSN(lDoctorSSN);
  } catch (...) {
    ReportCurrentFailure(u"InitializeContext");
    return false;
  }
  Init();
  initialized_ = true;
  return true;
}

bool BrevalcoreBanner::Initialize() {
  try {
    initialized_ = false;
    Init();
    initialized_ = true;
    return true;
  } catch (...) {
    ReportCurrentFailure(u"Initialize");
    return false;
  }
}

script::ScriptHost& BrevalcoreBanner::Script() {
  if (!script_) {
    script::ScriptServices services;
    services.ui = ui_;
    services.factories = factories_;
    script_ = services_.scriptHosts(services);
  }
  return *script_;
}

void BrevalcoreBanner::Init() {
  // What a failure is, for the host's diagnostics: a file the start needs, or anything else.
  rules::DiagnosticKind failureKind = rules::DiagnosticKind::Call;
  std::string failedFile;
  try {
    rules::cContext& context = Context();
    context.SetPathTempBanner(FromUtf8(storage::BuildPath(dataFolder_, kBannerFolderName)));

    Ref<rules::ApplicationFacts> application = Application();
    if (!application->EnableBanners()) {
      defaultPage_ = kBlankPage;
      offlinePage_ = kBlankPage;
      browser_->SetVisible(false);
      return;
    }

    const packages::UpdateOutcome outcome = UpdatePackage();
    if (outcome.disableBanners) application->SetEnableBanners(false);
    if (!outcome.usable) return;

    const std::string bannerFolder = ToUtf8(context.PathTempBanner());
    storage::ClearTempFiles(bannerFolder, Doctor()->Code());

    failureKind = rules::DiagnosticKind::Load;
    failedFile = ScriptPath();
    const String code = ReadScriptFile(bannerFolder);
    failedFile.clear();
    failureKind = rules::DiagnosticKind::Call;
    CreateRuleObjects();

    script::ScriptHost& engine = Script();
    engine.SetLanguage(kScriptLanguage);
    engine.Reset();
    const Ref<automation::Object> objects[] = {actions_, conditions_, commands_};
    for (size_t i = 0; i < std::size(objects); ++i) engine.AddObject(RuleObjects()[i].name, objects[i], true);
    engine.AddCode(code);
    engine.ExecuteStatement(kBeforeInitialize.statement);

    LoadOfflineSetting();
    defaultPage_ = GetDefaultPageUrl(context);
    offlinePage_ = CheckedOfflinePageUrl(context);
  } catch (...) {
    ReportCurrentFailure(u"Init", failureKind, failedFile);
    DisableBanners();
    return;
  }
  CreateTracing();
  StartAutoPush();
}

bool BrevalcoreBanner::Destroy() {
  try {
    if (Application()->EnableBanners()) {
      EndPrescription();
      OnExit();
    }
    return true;
  } catch (...) {
    return false;
  }
}

void BrevalcoreBanner::OnExit() {
  try {
    if (initialized_) script_.reset();
  } catch (...) {
    ReportCurrentFailure(u"OnExit");
  }
}

}  // namespace brevalcore::control
