// The host's prescription work-flow calls: each updates the facts and, where it must, runs one
// procedure of the rule script and shows the page the script chose.
#include "commands/command_host.h"
#include "control/addresses.h"
#include "control/banner_control.h"
#include "control/rule_script.h"
#include "storage/ini_file.h"

namespace brevalcore::control {

using automation::MakeRef;

namespace {

StringView TrimSpaces(StringView text) {
  const size_t begin = text.find_first_not_of(u' ');
  if (begin == StringView::npos) return {};
  return text.substr(begin, text.find_last_not_of(u' ') - begin + 1);
}

bool IsBlank(StringView code) { return TrimSpaces(code).empty(); }

// The items of a ";"-separated problem list that are not blank, kept with their spaces.
std::vector<String> CountingProblems(StringView list) {
  std::vector<String> items;
  size_t begin = 0;
  while (true) {
    const size_t end = list.find(u';', begin);
    const StringView item = list.substr(begin, end == StringView::npos ? StringView::npos : end - begin);
    if (!IsBlank(item)) items.emplace_back(item);
    if (end == StringView::npos) break;
    begin = end + 1;
  }
  return items;
}

Ref<rules::Drug> MakeDrug(const String& aic, const String& classe, bool ssn, const String& substance, Currency price) {
  auto drug = MakeRef<rules::Drug>();
  drug->SetAIC(aic);
  drug->SetClasse(classe);
  drug->SetSSN(ssn);
  drug->SetSubstance(substance);
  drug->SetPrice(automation::FormatCurrency(price));
  return drug;
}

}  // namespace

// The three script runners. A failure switches banners off; the start and before runners
// report it first.
void BrevalcoreBanner::RunScript(Runner runner) {
  static constexpr ScriptEntryPoint kEntryPoints[] = {kStartPrescription, kBeforeSelect, kAfterSelect};
  const ScriptEntryPoint& entry = kEntryPoints[static_cast<size_t>(runner)];
  try {
    if (!initialized_) return;
    if (runner != Runner::StartPrescription && loadingItems_) return;
    const String page = defaultPage_;
    if (!Application()->EnableBanners()) return;
    if (runner == Runner::StartPrescription) CountPrescription();
    Script().ExecuteStatement(entry.statement);
    NavigateTo(GetBannerUrl(Context(), page));
  } catch (...) {
    // OnAfter shows no report, but the host is told.
    ReportCurrentFailure(entry.runner, rules::DiagnosticKind::Call, {}, runner != Runner::After);
    DisableBanners();
  }
}

Variant BrevalcoreBanner::SetPatient(const String& sGender, Date dBirthDate, bool lSSN, const String& sProblemsICD) {
  try {
    if (!initialized_) return Variant();
    if (!Application()->EnableBanners()) return Variant(true);
    auto problems = MakeRef<automation::Collection>();
    for (const String& problem : CountingProblems(sProblemsICD)) problems->Add(Variant(problem));
    Ref<rules::PatientFacts> patient = Patient();
    patient->SetSex(sGender);
    patient->SetBirthDate(dBirthDate);
    patient->SetSSN(lSSN);
    patient->SetProblems(problems);
    return Variant(true);
  } catch (...) {
    ReportCurrentFailure(u"SetPatient");
    return Variant();
  }
}

bool BrevalcoreBanner::StartPrescription() {
  try {
    if (!initialized_) return false;
    if (Application()->EnableBanners()) {
      Prescription()->Clear();
      EndLoadingPrescriptionItems();
      RunScript(Runner::StartPrescription);
    }
    return true;
  } catch (...) {
    ReportCurrentFailure(u"StartPrescription");
    return false;
  }
}

bool BrevalcoreBanner::AddDrugToPrescription(const String& sAIC, const String& sClass, bool lSSN,
                                             const String& sSubstance, Currency nPrice) {
  try {
    if (Application()->EnableBanners()) Prescription()->AddDrug(MakeDrug(sAIC, sClass, lSSN, sSubstance, nPrice));
    return true;
  } catch (...) {
    return false;
  }
}

void BrevalcoreBanner::PrescribingDrug(const String& sAIC, const String& sClass, bool lSSN, const String& sSubstance,
                                       Currency nPrice) {
  try {
    if (!initialized_ || !Application()->EnableBanners()) return;
    Prescription()->SetPrescribingDrug(MakeDrug(sAIC, sClass, lSSN, sSubstance, nPrice));
    RunScript(Runner::Before);
  } catch (...) {
    ReportCurrentFailure(u"PrescribingDrug");
  }
}

bool BrevalcoreBanner::RemoveDrugFromPrescription(const String& sAIC) {
  try {
    if (!initialized_ || sAIC.empty()) return false;
    if (Application()->EnableBanners()) {
      auto drug = MakeRef<rules::Drug>();
      drug->SetAIC(sAIC);
      Prescription()->RemoveDrug(drug);
      RunScript(Runner::After);
    }
    return true;
  } catch (...) {
    ReportCurrentFailure(u"RemoveDrugFromPrescription");
    return false;
  }
}

Variant BrevalcoreBanner::AddProblemToPrescription(const String& sICD) {
  try {
    if (Application()->EnableBanners()) {
      if (!IsBlank(sICD)) Prescription()->AddProblem(sICD);
      RunScript(Runner::After);
    }
    return Variant(true);
  } catch (...) {
    return Variant();
  }
}

Variant BrevalcoreBanner::SetProblemsOfPrescription(const String& sProblemsICD) {
  try {
    if (Application()->EnableBanners()) {
      Ref<rules::PrescriptionFacts> prescription = Prescription();
      prescription->RemoveProblems();
      for (const String& problem : CountingProblems(sProblemsICD)) prescription->AddProblem(problem);
      RunScript(Runner::After);
    }
    return Variant(true);
  } catch (...) {
    return Variant();
  }
}

Variant BrevalcoreBanner::RemoveProblemFromPrescription(const String& sICD) {
  try {
    if (!initialized_) return Variant();
    if (Application()->EnableBanners() && !IsBlank(sICD)) {
      Prescription()->RemoveProblem(sICD);
      RunScript(Runner::After);
    }
    return Variant(true);
  } catch (...) {
    ReportCurrentFailure(u"RemoveProblemFromPrescription");
    return Variant();
  }
}

void BrevalcoreBanner::SetCurrentPrescriptionDrug(const String& sAIC) {
  try {
    if (!Application()->EnableBanners()) return;
    if (sAIC != Prescription()->CurrentDrug()) {
      Prescription()->SetCurrentDrug(sAIC);
      PrescribingDrug(u"", u"", false, u"", Currency{});
      if (!CheckAutoSubstitute()) RunScript(Runner::After);
    } else {
      PrescribingDrug(u"", u"", false, u"", Currency{});
    }
  } catch (...) {
    // The rest of the call is skipped, silently.
  }
}

String BrevalcoreBanner::CurrentPrescriptionDrug() {
  return Application()->EnableBanners() ? Prescription()->CurrentDrug() : String();
}

bool BrevalcoreBanner::EndPrescription() {
  if (Application()->EnableBanners()) Prescription()->Clear();
  return true;
}

bool BrevalcoreBanner::ClearPrescription() {
  if (Application()->EnableBanners()) {
    Prescription()->Clear();
    SetCurrentPrescriptionDrug(u"");
    RunScript(Runner::After);
  }
  return true;
}

void BrevalcoreBanner::EndLoadingPrescriptionItems() {
  loadingItems_ = false;
  if (!Context().Banner().empty()) return;
  if (forceFocusBack_ || containerVisible_) RunScript(Runner::After);
}

// A drug made current that has a stored automatic substitution is replaced by the host: it
// is told so instead of the script running AfterSelect (the check lives with the other
// automatic-substitution procedures, in commands/).
bool BrevalcoreBanner::CheckAutoSubstitute() { return commands::CheckAutoSubstitute(*this); }

}  // namespace brevalcore::control
