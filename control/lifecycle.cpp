// Start-up and shut-down: InitializeContext, Initialize, the private Init that loads the rule
// script, Destroy and OnExit, and the control's error report.
#include <fstream>
#include <sstream>

#include "control/addresses.h"
#include "control/banner_control.h"
#include "control/rule_script.h"
#include "control/texts.h"
#include "storage/ini_file.h"
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

// The whole file as text in the single-byte code page; raises "File not found" when it is
// missing or cannot be opened, as the file-system text stream does.
String ReadScriptFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in.is_open()) automation::Raise(automation::err::kFileNotFound);
  std::ostringstream text;
  text << in.rdbuf();
  return DecodeScriptText(text.str());
}

struct Failure {
  int32_t number;
  String description;
};

// The number and text of the failure being handled.
Failure CurrentFailure() {
  try {
    throw;
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

void BrevalcoreBanner::ReportCurrentFailure(StringView procedure) {
  const Failure failure = CurrentFailure();
  const String message = text::kReportError + FromUtf8(std::to_string(failure.number)) + u" (" + failure.description +
                         text::kReportInProcedure + String(procedure) + text::kReportOfControl;
  try {
    storage::ShowMessage(*ui_, message, ui::style::kOkOnly, text::kReportTitle);
  } catch (...) {
    // A report that cannot be shown must not turn into a failure of its own.
  }
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
  try {
    rules::cContext& context = Context();
    context.SetPathTempBanner(FromUtf8(storage::BuildPath(storage::GetDataFolder(), kBannerFolderName)));

    Ref<rules::ApplicationFacts> application = Application();
    if (!application->EnableBanners()) {
      defaultPage_ = kBlankPage;
      offlinePage_ = kBlankPage;
      browser_->SetVisible(false);
      return;
    }

    Ref<rules::DoctorFacts> doctor = Doctor();
    packages::UpdateRequest request{
        application->ResBannerPath(), context.PathTempBanner(), FromUtf8(controlFolder_),
        {application->Software(), application->SerialNumber(), doctor->Code(), doctor->Region(), doctor->Province()}};
    IniGuid guid(storage::GetIniFilePath(controlFolder_, doctor->Code()));
    packages::UpdateServices updateServices{*ui_, *processes_, *clock_, guid};
    const packages::UpdateOutcome outcome = services_.packageUpdate(request, updateServices);
    if (outcome.disableBanners) application->SetEnableBanners(false);
    if (!outcome.usable) return;

    const std::string bannerFolder = ToUtf8(context.PathTempBanner());
    storage::ClearTempFiles(bannerFolder, doctor->Code());

    const std::string scriptPath = storage::BuildPath(bannerFolder, kScriptFileName);
    std::ifstream probe(scriptPath);
    if (!probe.is_open()) automation::Raise(automation::err::kFileNotFound);
    probe.close();
    CreateRuleObjects();
    const String code = ReadScriptFile(scriptPath);

    script::ScriptHost& engine = Script();
    engine.SetLanguage(kScriptLanguage);
    engine.Reset();
    const Ref<automation::Object> objects[] = {actions_, conditions_, commands_};
    for (size_t i = 0; i < std::size(objects); ++i) engine.AddObject(RuleObjects()[i].name, objects[i], true);
    engine.AddCode(code);
    engine.ExecuteStatement(kBeforeInitialize.statement);

    LoadOfflineSetting();
    defaultPage_ = GetDefaultPageUrl(context);
    offlinePage_ = GetOfflinePageUrl(context);
  } catch (...) {
    ReportCurrentFailure(u"Init");
    DisableBanners();
    return;
  }
  CreateTracing();
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
