// The control object: creation, its member table and events, the accessors, and the state
// the banner commands reach through CommandHost.
#include "control/banner_control.h"

#include "control/addresses.h"
#include "platform/browser/headless_browser.h"
#include "platform/script/builtins.h"
#include "platform/shell/wscript_shell.h"
#include "platform/ui/scripted_ui.h"
#include "rules/tracing.h"
#include "storage/ini_file.h"
#include "storage/paths.h"

namespace brevalcore::control {

using automation::ClassBuilder;
using automation::FromUtf8;

const ClassInfo& BrevalcoreBanner::Class() {
  using C = BrevalcoreBanner;
  static const ClassInfo info =
      ClassBuilder<C>(u"BrevalcoreBanner")
          .Method<&C::InitializeContext>(u"InitializeContext")
          .Method<&C::SetPatient>(u"SetPatient")
          .Method<&C::StartPrescription>(u"StartPrescription")
          .Method<&C::Destroy>(u"Destroy")
          .Method<&C::AddDrugToPrescription>(u"AddDrugToPrescription")
          .Method<&C::PrescribingDrug>(u"PrescribingDrug")
          .Method<&C::RemoveDrugFromPrescription>(u"RemoveDrugFromPrescription")
          .Method<&C::AddProblemToPrescription>(u"AddProblemToPrescription")
          .Method<&C::RemoveProblemFromPrescription>(u"RemoveProblemFromPrescription")
          .Let<&C::SetCurrentPrescriptionDrug>(u"CurrentPrescriptionDrug")
          .Get<&C::CurrentPrescriptionDrug>(u"CurrentPrescriptionDrug")
          .Method<&C::EndPrescription>(u"EndPrescription")
          .Method<&C::ShowAutoSubstituteList>(u"ShowAutoSubstituteList")
          .Method<&C::SetProblemsOfPrescription>(u"SetProblemsOfPrescription")
          .Method<&C::ClearPrescription>(u"ClearPrescription")
          .Method<&C::IsInitialized>(u"IsInitialized")
          .Get<&C::ForceFocusBack>(u"ForceFocusBack")
          .Let<&C::SetForceFocusBack>(u"ForceFocusBack")
          .Method<&C::BeginLoadingPrescriptionItems>(u"BeginLoadingPrescriptionItems")
          .Method<&C::EndLoadingPrescriptionItems>(u"EndLoadingPrescriptionItems")
          .Get<&C::Patient>(u"Patient")
          .Get<&C::Application>(u"Application")
          .Get<&C::Doctor>(u"Doctor")
          .Method<&C::Initialize>(u"Initialize")
          .Get<&C::context>(u"context")
          .Let<&C::SetContext>(u"context")
          .Set<&C::SetContext>(u"context")
          .Event(u"OnCommandClick", event_id::kOnCommandClick, {u"Command", u"sParam"})
          .Event(u"OnCommandClickExtended", event_id::kOnCommandClickExtended, {u"Command", u"sParam", u"sOptions"})
          .Event(u"OnRequiredDrugDescription", event_id::kOnRequiredDrugDescription, {u"AIC", u"RetDrugDescription"})
          .Event(u"OnClick", event_id::kOnClick, {u"Button"})
          .Event(u"OnRequiredField", event_id::kOnRequiredField, {u"FieldName", u"FieldValue"})
          .Build();
  return info;
}

namespace {

// The process-wide registry gets the built-in ProgIDs once: "Scripting.Dictionary",
// "WScript.Shell", the bundled tracer, and last the plug-ins, which may replace any of them.
automation::ObjectFactories& DefaultFactories() {
  static automation::ObjectFactories& factories = [] () -> automation::ObjectFactories& {
    auto& global = automation::ObjectFactories::Global();
    script::RegisterBuiltinFactories(global);
    shell::RegisterWScriptShell(global);
    rules::RegisterRuleFactories(global);
    return global;
  }();
  return factories;
}

}  // namespace

BrevalcoreBanner::BrevalcoreBanner(ControlServices services) : services_(std::move(services)) {
  controlFolder_ = services_.controlFolder.empty() ? storage::GetControlFolder() : services_.controlFolder;
  browser_ = services_.browser;
  if (!browser_) {
    ownedBrowser_ = std::make_unique<browser::HeadlessBrowser>();
    browser_ = ownedBrowser_.get();
  }
  ui_ = services_.ui;
  if (!ui_) {
    ownedUi_ = std::make_unique<ui::ScriptedUserInterface>();
    ui_ = ownedUi_.get();
  }
  shell_ = services_.shell;
  if (!shell_) {
    ownedShell_ = std::make_unique<shell::XdgShellOpener>(controlFolder_ + "/");
    shell_ = ownedShell_.get();
  }
  clock_ = services_.clock ? services_.clock : &shell::SystemClock::Instance();
  processes_ = services_.processes ? services_.processes : &shell::SystemProcesses::Instance();
  factories_ = services_.factories ? services_.factories : &DefaultFactories();
  if (!services_.scriptHosts) services_.scriptHosts = [](script::ScriptServices s) { return script::CreateScriptHost(s); };
  if (!services_.packageUpdate) services_.packageUpdate = packages::UpdateFromRES;

  browser_->SetEvents(this);
  NavigateBlank(false);
}

BrevalcoreBanner::~BrevalcoreBanner() {
  browser_->SetEvents(nullptr);
  script_.reset();  // termination releases the script host; nothing is saved
}

// ---------------------------------------------------------------- accessors

rules::cContext& BrevalcoreBanner::Context() {
  if (!context_) {
    context_ = automation::MakeRef<rules::cContext>();
    context_->set_clock(clock_);
  }
  return *context_;
}

Ref<rules::cContext> BrevalcoreBanner::context() {
  Context();
  return context_;
}

void BrevalcoreBanner::SetContext(Ref<rules::cContext> context) { context_ = std::move(context); }

Ref<rules::Facts> BrevalcoreBanner::Facts() { return Context().CurrentFacts(); }
Ref<rules::PrescriptionFacts> BrevalcoreBanner::Prescription() { return Facts()->Prescription(); }
Ref<rules::PatientFacts> BrevalcoreBanner::Patient() { return Facts()->Patient(); }
Ref<rules::ApplicationFacts> BrevalcoreBanner::Application() { return Facts()->Application(); }
Ref<rules::DoctorFacts> BrevalcoreBanner::Doctor() { return Facts()->Doctor(); }

void BrevalcoreBanner::Resize(int width, int height) { browser_->Resize(width, height); }

// ---------------------------------------------------------------- CommandHost state

String BrevalcoreBanner::Banner() { return Context().Banner(); }
String BrevalcoreBanner::BannerFolder() { return Context().PathTempBanner(); }
String BrevalcoreBanner::CurrentDrug() { return Prescription()->CurrentDrug(); }
String BrevalcoreBanner::PrescribingDrugAic() { return Prescription()->PrescribingDrug()->AIC(); }
String BrevalcoreBanner::PatientName() { return Patient()->Name(); }
String BrevalcoreBanner::DoctorName() { return Doctor()->Name(); }
String BrevalcoreBanner::DoctorStamp() { return Doctor()->Stamp(); }
bool BrevalcoreBanner::BannersEnabled() { return Application()->EnableBanners(); }
String BrevalcoreBanner::IniFilePath() {
  return FromUtf8(storage::GetIniFilePath(controlFolder_, Doctor()->Code()));
}

String BrevalcoreBanner::ReadIni(StringView section, StringView key) {
  return storage::ReadIni(automation::ToUtf8(IniFilePath()), section, key);
}
void BrevalcoreBanner::WriteIni(StringView section, StringView key, StringView value) {
  storage::WriteIni(automation::ToUtf8(IniFilePath()), section, key, value);
}
String BrevalcoreBanner::ReadIniSection(StringView section) {
  return storage::ReadIniSection(automation::ToUtf8(IniFilePath()), section);
}
void BrevalcoreBanner::WriteIniSection(StringView section, StringView entries) {
  storage::WriteIniSection(automation::ToUtf8(IniFilePath()), section, entries);
}

String BrevalcoreBanner::MakeTempFileName(StringView fileName) {
  return FromUtf8(storage::MakeTempFileName(fileName, automation::ToUtf8(BannerFolder()), Doctor()->Code(), *clock_));
}

// ---------------------------------------------------------------- events

namespace {

void RaiseEvent(automation::EventSource& source, automation::DispId id, std::span<Variant> args) {
  source.Raise(*BrevalcoreBanner::Class().Event(id), args);
}

}  // namespace

void BrevalcoreBanner::RaiseOnCommandClick(StringView command, String& param) {
  Variant args[] = {Variant(command), Variant(param)};
  RaiseEvent(events_, event_id::kOnCommandClick, args);
  param = automation::ToString(args[1]);
}

void BrevalcoreBanner::RaiseOnCommandClickExtended(StringView command, StringView param, StringView options) {
  Variant args[] = {Variant(command), Variant(param), Variant(options)};
  RaiseEvent(events_, event_id::kOnCommandClickExtended, args);
}

void BrevalcoreBanner::RaiseOnRequiredDrugDescription(StringView aic, String& description) {
  Variant args[] = {Variant(aic), Variant(description)};
  RaiseEvent(events_, event_id::kOnRequiredDrugDescription, args);
  description = automation::ToString(args[1]);
}

void BrevalcoreBanner::RaiseOnClick(int16_t button) {
  Variant args[] = {Variant(button)};
  RaiseEvent(events_, event_id::kOnClick, args);
}

void BrevalcoreBanner::RaiseOnRequiredField(StringView fieldName, String& fieldValue) {
  Variant args[] = {Variant(fieldName), Variant(fieldValue)};
  RaiseEvent(events_, event_id::kOnRequiredField, args);
  fieldValue = automation::ToString(args[1]);
}

}  // namespace brevalcore::control
