#pragma once
// The fact model the rule script reasons about: the doctor, the open patient, the prescription
// being written and the host application, rooted at Facts and reached through cContext.
// Every class is an automation object; members are listed in slot order in the .cpp files.
#include <string>

#include "platform/automation/collection.h"
#include "platform/automation/dispatch.h"

namespace brevalcore::rules {

using automation::ClassInfo;
using automation::Collection;
using automation::Currency;
using automation::Date;
using automation::Ref;
using automation::String;
using automation::StringView;
using automation::Variant;

class Drug : public automation::DispatchObject<Drug> {
 public:
  static const ClassInfo& Class();

  String AIC() const { return aic_; }
  void SetAIC(const String& v) { aic_ = v; }
  bool SSN() const { return ssn_; }
  void SetSSN(bool v) { ssn_ = v; }
  String Classe() const { return classe_; }
  void SetClasse(const String& v) { classe_ = v; }
  // The price is held as Currency; it crosses the interface as text in the user's locale.
  // Assigning a text that is not a number raises "Type mismatch" and keeps the old price.
  String Price() const;
  void SetPrice(const String& v);
  Currency PriceValue() const { return price_; }
  String Substance() const { return substance_; }
  void SetSubstance(const String& v) { substance_ = v; }

 private:
  String aic_, classe_, substance_;
  bool ssn_ = false;
  Currency price_;
};

class PatientFacts : public automation::DispatchObject<PatientFacts> {
 public:
  static const ClassInfo& Class();

  // Sex and Gender are two names of one field.
  String Sex() const { return sex_; }
  void SetSex(const String& v) { sex_ = v; }
  Date BirthDate() const { return birthDate_; }
  void SetBirthDate(Date v) { birthDate_ = v; }
  bool SSN() const { return ssn_; }
  void SetSSN(bool v) { ssn_ = v; }
  // Created empty on first read; assigning stores the given collection itself.
  Ref<Collection> Problems();
  void SetProblems(Ref<Collection> c) { problems_ = std::move(c); }
  void ClearProblems();
  String Name() const { return name_; }
  void SetName(const String& v) { name_ = v; }
  // Replaces Problems by the non-blank parts of a ";"-separated list, kept untrimmed.
  void SetProblemsFromText(const String& text);
  float BMI() const { return bmi_; }
  void SetBMI(float v) { bmi_ = v; }
  String Id() const { return id_; }
  void SetId(const String& v) { id_ = v; }

 private:
  String sex_, name_, id_;
  Date birthDate_;
  bool ssn_ = false;
  float bmi_ = 0;
  Ref<Collection> problems_;
};

class DoctorFacts : public automation::DispatchObject<DoctorFacts> {
 public:
  static const ClassInfo& Class();

  String SpecializationBranch() const { return branch_; }
  void SetSpecializationBranch(const String& v) { branch_ = v; }
  String Code() const { return code_; }
  void SetCode(const String& v) { code_ = v; }
  String Region() const { return region_; }
  void SetRegion(const String& v) { region_ = v; }
  String Asl() const { return asl_; }
  void SetAsl(const String& v) { asl_ = v; }
  bool SSN() const { return ssn_; }
  void SetSSN(bool v) { ssn_ = v; }
  String Stamp() const { return stamp_; }
  void SetStamp(const String& v) { stamp_ = v; }
  String Province() const { return province_; }
  void SetProvince(const String& v) { province_ = v; }
  String Name() const { return name_; }
  void SetName(const String& v) { name_ = v; }
  String Uid() const { return uid_; }
  void SetUid(const String& v) { uid_ = v; }
  String Role() const { return role_; }
  void SetRole(const String& v) { role_ = v; }

 private:
  String branch_, code_, region_, asl_, stamp_, province_, name_, uid_, role_;
  bool ssn_ = false;
};

class PrescriptionFacts : public automation::DispatchObject<PrescriptionFacts> {
 public:
  static const ClassInfo& Class();

  // Drugs keyed by AIC, created empty on first read.
  Ref<Collection> Drugs();
  void SetDrugs(Ref<Collection> c) { drugs_ = std::move(c); }
  // Collection errors are absorbed: a duplicate AIC leaves Drugs unchanged.
  bool AddDrug(Ref<Drug> d);
  // True when a drug with d.AIC was there and is now removed.
  bool RemoveDrug(Ref<Drug> d);
  void RemoveDrugs();
  // Problems keyed by their own text, created empty on first read.
  Ref<Collection> Problems();
  void SetProblems(Ref<Collection> c) { problems_ = std::move(c); }
  bool AddProblem(const String& p);
  bool RemoveProblem(const String& p);
  void RemoveProblems();
  // Selects the item of Drugs keyed by the AIC, or none; reading creates an empty drug when
  // none is selected and returns its AIC.
  void SetCurrentDrug(const String& aic);
  String CurrentDrug();
  // The selected drug object itself (created on read like CurrentDrug).
  Ref<Drug> CurrentDrugObject();
  Ref<Drug> PrescribingDrug();
  void SetPrescribingDrug(Ref<Drug> d) { prescribing_ = std::move(d); }
  void Clear();

 private:
  Ref<Collection> drugs_, problems_;
  Ref<Drug> current_, prescribing_;
};

class ApplicationFacts : public automation::DispatchObject<ApplicationFacts> {
 public:
  static const ClassInfo& Class();

  bool EnableBanners() const { return enableBanners_; }
  void SetEnableBanners(bool v) { enableBanners_ = v; }
  String Code() const { return code_; }
  void SetCode(const String& v) { code_ = v; }
  // Stored with a leading "?" added when a non-empty text lacks one.
  String RemotePageParameters() const { return remoteParameters_; }
  void SetRemotePageParameters(const String& v);
  String Software() const { return software_; }
  void SetSoftware(const String& v) { software_ = v; }
  // Read with its second part padded to two digits (4.5.16 reads 4.05.16); stored as given.
  String Version() const;
  void SetVersion(const String& v) { version_ = v; }
  String SerialNumber() const { return serial_; }
  void SetSerialNumber(const String& v) { serial_ = v; }
  // An empty assignment stores the control's own folder.
  String ResBannerPath() const { return resBannerPath_; }
  void SetResBannerPath(const String& v);

  // Not part of the automation interface: the folder of the control these facts belong to;
  // empty: the process-wide control folder.
  void set_control_folder(std::string folder) { controlFolder_ = std::move(folder); }

 private:
  bool enableBanners_ = false;
  String code_, remoteParameters_, software_, version_, serial_, resBannerPath_;
  std::string controlFolder_;
};

// Version text as ApplicationFacts.Version reads it.
String NormaliseVersion(StringView stored);

class Facts : public automation::DispatchObject<Facts> {
 public:
  static const ClassInfo& Class();

  Facts();
  ~Facts() override;

  Ref<ApplicationFacts> Application() const { return application_; }
  void SetApplication(Ref<ApplicationFacts> v);
  Ref<PatientFacts> Patient() const { return patient_; }
  void SetPatient(Ref<PatientFacts> v) { patient_ = std::move(v); }
  Ref<DoctorFacts> Doctor() const { return doctor_; }
  void SetDoctor(Ref<DoctorFacts> v) { doctor_ = std::move(v); }
  Ref<PrescriptionFacts> Prescription() const { return prescription_; }
  void SetPrescription(Ref<PrescriptionFacts> v) { prescription_ = std::move(v); }
  // "?Serial_number=...&Software=...&Regione=...&Versione=..." from the other facts, unescaped.
  String RemotePageParameters() const;

  // Not part of the automation interface: passed on to the application facts, now and when
  // they are replaced.
  void set_control_folder(std::string folder);

 private:
  std::string controlFolder_;
  Ref<PatientFacts> patient_;
  Ref<DoctorFacts> doctor_;
  Ref<PrescriptionFacts> prescription_;
  Ref<ApplicationFacts> application_;
};

}  // namespace brevalcore::rules
