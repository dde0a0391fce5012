#include "rules/facts.h"

#include "platform/automation/convert.h"
#include "platform/automation/error.h"
#include "rules/control_folder.h"

namespace brevalcore::rules {

using automation::AutomationError;
using automation::ClassBuilder;

// ------------------------------------------------------------------------------------ Drug

const ClassInfo& Drug::Class() {
  static const ClassInfo info = ClassBuilder<Drug>(u"Drug")
                                    .Property<&Drug::AIC, &Drug::SetAIC>(u"AIC")
                                    .Property<&Drug::SSN, &Drug::SetSSN>(u"SSN")
                                    .Property<&Drug::Classe, &Drug::SetClasse>(u"Classe")
                                    .Property<&Drug::Price, &Drug::SetPrice>(u"Price")
                                    .Property<&Drug::Substance, &Drug::SetSubstance>(u"Substance")
                                    .Build();
  return info;
}

String Drug::Price() const { return automation::ToString(Variant(price_)); }

void Drug::SetPrice(const String& v) {
  // ToCurrency raises "Type mismatch" for a text that is not a number; price_ is untouched then.
  price_ = automation::ToCurrency(Variant(v));
}

// ---------------------------------------------------------------------------- PatientFacts

const ClassInfo& PatientFacts::Class() {
  static const ClassInfo info =
      ClassBuilder<PatientFacts>(u"PatientFacts")
          .Property<&PatientFacts::Sex, &PatientFacts::SetSex>(u"Sex")
          .Property<&PatientFacts::BirthDate, &PatientFacts::SetBirthDate>(u"BirthDate")
          .Property<&PatientFacts::SSN, &PatientFacts::SetSSN>(u"SSN")
          .Property<&PatientFacts::Problems, &PatientFacts::SetProblems>(u"Problems")
          .Set<&PatientFacts::SetProblems>(u"Problems")
          .Method<&PatientFacts::ClearProblems>(u"ClearProblems")
          .Property<&PatientFacts::Sex, &PatientFacts::SetSex>(u"Gender")
          .Property<&PatientFacts::Name, &PatientFacts::SetName>(u"Name")
          .Method<&PatientFacts::SetProblemsFromText>(u"SetProblems")
          .Property<&PatientFacts::BMI, &PatientFacts::SetBMI>(u"BMI")
          .Property<&PatientFacts::Id, &PatientFacts::SetId>(u"Id")
          .Build();
  return info;
}

Ref<Collection> PatientFacts::Problems() {
  if (!problems_) problems_ = automation::MakeRef<Collection>();
  return problems_;
}

void PatientFacts::ClearProblems() { problems_ = automation::MakeRef<Collection>(); }

void PatientFacts::SetProblemsFromText(const String& text) {
  // A new collection replaces the old one, so a script holding the old one keeps its items.
  auto fresh = automation::MakeRef<Collection>();
  size_t start = 0;
  while (true) {
    const size_t end = text.find(u';', start);
    const StringView part = StringView(text).substr(start, end == String::npos ? String::npos : end - start);
    if (part.find_first_not_of(u' ') != StringView::npos) fresh->Add(Variant(part));
    if (end == String::npos) break;
    start = end + 1;
  }
  problems_ = std::move(fresh);
}

// ----------------------------------------------------------------------------- DoctorFacts

const ClassInfo& DoctorFacts::Class() {
  using D = DoctorFacts;
  static const ClassInfo info =
      ClassBuilder<D>(u"DoctorFacts")
          .Property<&D::SpecializationBranch, &D::SetSpecializationBranch>(u"SpecializationBranch")
          .Property<&D::Code, &D::SetCode>(u"Code")
          .Property<&D::Region, &D::SetRegion>(u"Region")
          .Property<&D::Asl, &D::SetAsl>(u"Asl")
          .Property<&D::SSN, &D::SetSSN>(u"SSN")
          .Property<&D::Stamp, &D::SetStamp>(u"Stamp")
          .Property<&D::Province, &D::SetProvince>(u"Province")
          .Property<&D::Name, &D::SetName>(u"Name")
          .Property<&D::Uid, &D::SetUid>(u"Uid")
          .Property<&D::Role, &D::SetRole>(u"Role")
          .Build();
  return info;
}

// ----------------------------------------------------------------------- PrescriptionFacts

const ClassInfo& PrescriptionFacts::Class() {
  using P = PrescriptionFacts;
  static const ClassInfo info = ClassBuilder<P>(u"PrescriptionFacts")
                                    .Property<&P::Drugs, &P::SetDrugs>(u"Drugs")
                                    .Set<&P::SetDrugs>(u"Drugs")
                                    .Method<&P::AddDrug>(u"addDrug")
                                    .Method<&P::RemoveDrug>(u"RemoveDrug")
                                    .Method<&P::RemoveDrugs>(u"RemoveDrugs")
                                    .Property<&P::Problems, &P::SetProblems>(u"Problems")
                                    .Set<&P::SetProblems>(u"Problems")
                                    .Method<&P::AddProblem>(u"AddProblem")
                                    .Method<&P::RemoveProblem>(u"RemoveProblem")
                                    .Method<&P::RemoveProblems>(u"RemoveProblems")
                                    .Let<&P::SetCurrentDrug>(u"CurrentDrug")
                                    .Get<&P::CurrentDrug>(u"CurrentDrug")
                                    .Let<&P::SetPrescribingDrug>(u"PrescribingDrug")
                                    .Set<&P::SetPrescribingDrug>(u"PrescribingDrug")
                                    .Get<&P::PrescribingDrug>(u"PrescribingDrug")
                                    .Method<&P::Clear>(u"Clear")
                                    .Build();
  return info;
}

Ref<Collection> PrescriptionFacts::Drugs() {
  if (!drugs_) drugs_ = automation::MakeRef<Collection>();
  return drugs_;
}

bool PrescriptionFacts::AddDrug(Ref<Drug> d) {
  try {
    if (d) Drugs()->Add(Variant(d), Variant(d->AIC()));
  } catch (const AutomationError&) {
    // A drug whose AIC is already there is silently not added.
  }
  // Nothing reads the result; the original always left it False.
  return false;
}

bool PrescriptionFacts::RemoveDrug(Ref<Drug> d) {
  if (!d) return false;
  try {
    Drugs()->Remove(Variant(d->AIC()));
    return true;
  } catch (const AutomationError&) {
    return false;
  }
}

void PrescriptionFacts::RemoveDrugs() { drugs_ = automation::MakeRef<Collection>(); }

Ref<Collection> PrescriptionFacts::Problems() {
  if (!problems_) problems_ = automation::MakeRef<Collection>();
  return problems_;
}

bool PrescriptionFacts::AddProblem(const String& p) {
  try {
    Problems()->Add(Variant(p), Variant(p));
  } catch (const AutomationError&) {
    // Already present (in any letter case): nothing added, still reported as success.
  }
  return true;
}

bool PrescriptionFacts::RemoveProblem(const String& p) {
  try {
    Problems()->Remove(Variant(p));
    return true;
  } catch (const AutomationError&) {
    return false;
  }
}

void PrescriptionFacts::RemoveProblems() { problems_ = automation::MakeRef<Collection>(); }

void PrescriptionFacts::SetCurrentDrug(const String& aic) {
  current_.reset();
  if (aic.empty()) return;
  try {
    current_ = automation::RefCast<Drug>(Drugs()->Item(Variant(aic)).AsObjectRef());
  } catch (const AutomationError&) {
    // No drug with that AIC: no current drug.
  }
}

Ref<Drug> PrescriptionFacts::CurrentDrugObject() {
  if (!current_) current_ = automation::MakeRef<Drug>();
  return current_;
}

String PrescriptionFacts::CurrentDrug() { return CurrentDrugObject()->AIC(); }

Ref<Drug> PrescriptionFacts::PrescribingDrug() {
  if (!prescribing_) prescribing_ = automation::MakeRef<Drug>();
  return prescribing_;
}

void PrescriptionFacts::Clear() {
  current_ = automation::MakeRef<Drug>();
  problems_ = automation::MakeRef<Collection>();
  drugs_ = automation::MakeRef<Collection>();
}

// ------------------------------------------------------------------------ ApplicationFacts

const ClassInfo& ApplicationFacts::Class() {
  using A = ApplicationFacts;
  static const ClassInfo info =
      ClassBuilder<A>(u"ApplicationFacts")
          .Property<&A::EnableBanners, &A::SetEnableBanners>(u"EnableBanners")
          .Property<&A::Code, &A::SetCode>(u"Code")
          .Property<&A::RemotePageParameters, &A::SetRemotePageParameters>(u"RemotePageParameters")
          .Property<&A::Software, &A::SetSoftware>(u"Software")
          .Property<&A::Version, &A::SetVersion>(u"Version")
          .Property<&A::SerialNumber, &A::SetSerialNumber>(u"SerialNumber")
          .Property<&A::ResBannerPath, &A::SetResBannerPath>(u"ResBannerPath")
          .Build();
  return info;
}

void ApplicationFacts::SetRemotePageParameters(const String& v) {
  remoteParameters_ = (!v.empty() && v.front() != u'?') ? u"?" + v : v;
}

void ApplicationFacts::SetResBannerPath(const String& v) {
  if (!v.empty()) {
    resBannerPath_ = v;
    return;
  }
  resBannerPath_ = automation::FromUtf8(controlFolder_.empty() ? ControlFolder() : controlFolder_);
}

String ApplicationFacts::Version() const { return NormaliseVersion(version_); }

String NormaliseVersion(StringView stored) {
  std::vector<String> parts;
  size_t start = 0;
  while (true) {
    const size_t end = stored.find(u'.', start);
    parts.emplace_back(stored.substr(start, end == StringView::npos ? StringView::npos : end - start));
    if (end == StringView::npos) break;
    start = end + 1;
  }
  if (parts.size() >= 2) {
    const String padded = u"0" + parts[1];
    parts[1] = padded.size() <= 2 ? padded : padded.substr(padded.size() - 2);  // "5"->"05", "123"->"23", ""->"0"
  }
  String result;
  for (const auto& part : parts) {
    if (!result.empty()) result += u'.';  // an empty first part leaves no leading dot
    result += part;
  }
  return result;
}

// ----------------------------------------------------------------------------------- Facts

const ClassInfo& Facts::Class() {
  static const ClassInfo info = ClassBuilder<Facts>(u"Facts")
                                    .Property<&Facts::Application, &Facts::SetApplication>(u"Application")
                                    .Set<&Facts::SetApplication>(u"Application")
                                    .Property<&Facts::Patient, &Facts::SetPatient>(u"Patient")
                                    .Set<&Facts::SetPatient>(u"Patient")
                                    .Property<&Facts::Doctor, &Facts::SetDoctor>(u"Doctor")
                                    .Set<&Facts::SetDoctor>(u"Doctor")
                                    .Property<&Facts::Prescription, &Facts::SetPrescription>(u"Prescription")
                                    .Set<&Facts::SetPrescription>(u"Prescription")
                                    .Get<&Facts::RemotePageParameters>(u"RemotePageParameters")
                                    .Build();
  return info;
}

Facts::Facts()
    : patient_(automation::MakeRef<PatientFacts>()),
      doctor_(automation::MakeRef<DoctorFacts>()),
      prescription_(automation::MakeRef<PrescriptionFacts>()),
      application_(automation::MakeRef<ApplicationFacts>()) {}

void Facts::SetApplication(Ref<ApplicationFacts> v) {
  application_ = std::move(v);
  if (application_ && !controlFolder_.empty()) application_->set_control_folder(controlFolder_);
}

void Facts::set_control_folder(std::string folder) {
  controlFolder_ = std::move(folder);
  if (application_) application_->set_control_folder(controlFolder_);
}

Facts::~Facts() {
  // Released in creation order, as the original did.
  patient_.reset();
  doctor_.reset();
  prescription_.reset();
  application_.reset();
}

String Facts::RemotePageParameters() const {
  const String serial = application_ ? application_->SerialNumber() : String();
  const String software = application_ ? application_->Software() : String();
  const String version = application_ ? application_->Version() : String();
  const String region = doctor_ ? doctor_->Region() : String();
  return u"?Serial_number=" + serial + u"&Software=" + software + u"&Regione=" + region +
         u"&Versione=" + version;
}

}  // namespace brevalcore::rules
