#include "rules/conditions.h"

#include <cmath>

#include "platform/automation/convert.h"
#include "platform/automation/error.h"
#include "rules/history.h"

namespace brevalcore::rules {

namespace err = automation::err;
using automation::AutomationError;
using automation::Raise;

const ClassInfo& Conditions::Class() {
  using C = Conditions;
  static const ClassInfo info =
      automation::ClassBuilder<C>(u"Conditions")
          .Method<&C::PrescribedProductCodeIs>(u"PrescribedProductCodeIs")
          .Method<&C::PrescribingProductCodeIs>(u"PrescribingProductCodeIs")
          .Method<&C::PrescribedProductCodeIsNot>(u"PrescribedProductCodeIsNot")
          .Method<&C::PrescribingProductCodeIsNot>(u"PrescribingProductCodeIsNot")
          .Method<&C::PrescribedProductSubstanceIs>(u"PrescribedProductSubstanceIs")
          .Method<&C::PrescribingProductSubstanceIs>(u"PrescribingProductSubstanceIs")
          .Method<&C::PrescribedProductPriceIsBetween>(u"PrescribedProductPriceIsBetween")
          .Method<&C::PrescribingProductPriceIsBetween>(u"PrescribingProductPriceIsBetween")
          .Method<&C::ProblemIcd9Is>(u"ProblemIcd9Is")
          .Method<&C::PatientSexIs>(u"PatientSexIs")
          .Method<&C::PatientAgeIsBetween>(u"PatientAgeIsBetween")
          .Method<&C::PatientSSNIs>(u"PatientSSNIs")
          .Method<&C::DoctorSpecializationBranchIs>(u"DoctorSpecializationBranchIs")
          .Method<&C::DoctorSSNIs>(u"DoctorSSNIs")
          .Method<&C::DoctorRegionIs>(u"DoctorRegionIs")
          .Method<&C::DoctorAslIs>(u"DoctorAslIs")
          .Method<&C::ProductCodeIsAlreadyPrescribed>(u"ProductCodeIsAlreadyPrescribed")
          .Method<&C::MatchDateRange>(u"MatchDateRange")
          .Method<&C::MatchPrescriptionsCount>(u"MatchPrescriptionsCount")
          .Method<&C::BannerAlreadyShownToday>(u"BannerAlreadyShownToday")
          .Method<&C::PatientSexIs>(u"PatientGenderIs")
          .Method<&C::DoctorProvinceIs>(u"DoctorProvinceIs")
          .Method<&C::SubstanceIsPrescribed>(u"SubstanceIsPrescribed")
          .Method<&C::GetLastDateOfBannerVisualization>(u"GetLastDateOfBannerVisualization")
          .ObjectProperty<&C::context, &C::set_context>(u"context")
          .Method<&C::GetBannerKeyData>(u"GetBannerKeyData")
          .Method<&C::GetBannerPatientKeyData>(u"GetBannerPatientKeyData")
          .Method<&C::GetLastDateOfBannerVisualizationForPatient>(u"GetLastDateOfBannerVisualizationForPatient")
          .Method<&C::GetFirstDateOfBannerVisualizationForPatient>(u"GetFirstDateOfBannerVisualizationForPatient")
          .Method<&C::IsFirstBannerVisualizationForPatient>(u"IsFirstBannerVisualizationForPatient")
          .Method<&C::IsImplementedFunction>(u"IsImplementedFunction")
          .Build();
  return info;
}

// ------------------------------------------------------------------------- matching rules

bool CodeListMatches(StringView list, StringView value) {
  size_t start = 0;
  while (start <= list.size()) {
    const size_t end = list.find(u'|', start);
    const StringView item = list.substr(start, end == StringView::npos ? StringView::npos : end - start);
    if (!item.empty() && item == value) return true;
    if (end == StringView::npos) break;
    start = end + 1;
  }
  return false;
}

bool PatternMatches(StringView pattern, StringView value) {
  if (!pattern.empty() && pattern.back() == u'*') {
    const String prefix = automation::ToUpper(pattern.substr(0, pattern.size() - 1));
    return automation::ToUpper(value).starts_with(prefix);
  }
  return automation::ToUpper(pattern) == automation::ToUpper(value);
}

// ------------------------------------------------------------------------------- helpers

namespace {

template <class T>
T& Required(const Ref<T>& object) {
  if (!object) Raise(err::kObjectVariableNotSet);
  return *object;
}

// A member of an item of a fact collection, read through dispatch: the script may have put
// objects of its own there.
Variant MemberOf(const Variant& item, StringView name) {
  if (!item.IsObject()) Raise(err::kObjectRequired);
  if (item.IsNothing()) Raise(err::kObjectVariableNotSet);
  automation::Object* object = item.AsObject();
  const automation::DispId id = object->GetIdOfName(name);
  if (id == automation::kDispIdUnknown) Raise(err::kNoSuchMember);
  return object->Invoke(id, static_cast<automation::InvokeKind>(automation::kInvokeGet | automation::kInvokeMethod),
                        {});
}

String TextOf(const Variant& item, StringView name) { return automation::ToString(MemberOf(item, name)); }

// The price travels as locale text; turning it back may fail with "Type mismatch".
Currency PriceOf(const Variant& drug) { return automation::ToCurrency(Variant(TextOf(drug, u"Price"))); }

bool InBand(Currency price, Currency from, Currency to) { return from.value <= price.value && price.value <= to.value; }

bool AnyItemMatches(Collection& items, StringView pattern) {
  for (int32_t i = 1; i <= items.Count(); ++i)
    if (PatternMatches(pattern, automation::ToString(items.Item(Variant(i))))) return true;
  return false;
}

}  // namespace

const cContext& Conditions::Context() const { return Required(context_); }

Ref<Facts> Conditions::CurrentFacts() const {
  Ref<Facts> facts = Context().CurrentFacts();
  Required(facts);
  return facts;
}

// ---------------------------------------------------------- drug and prescription tests

bool Conditions::PrescribedProductCodeIs(const String& sCode) {
  return CodeListMatches(sCode, Required(CurrentFacts()->Prescription()).CurrentDrug());
}

bool Conditions::PrescribingProductCodeIs(const String& sCode) {
  return CodeListMatches(sCode, Required(CurrentFacts()->Prescription()).PrescribingDrug()->AIC());
}

bool Conditions::PrescribedProductCodeIsNot(const String& sCode) {
  return sCode != Required(CurrentFacts()->Prescription()).CurrentDrug();
}

bool Conditions::PrescribingProductCodeIsNot(const String& sCode) {
  return sCode != Required(CurrentFacts()->Prescription()).PrescribingDrug()->AIC();
}

bool Conditions::PrescribedProductSubstanceIs(const String& sCode) {
  auto& prescription = Required(CurrentFacts()->Prescription());
  const String aic = prescription.CurrentDrug();
  if (aic.empty()) return false;
  // A drug removed after it was selected makes this lookup fail; that reaches the script.
  const Variant drug = prescription.Drugs()->Item(Variant(aic));
  return PatternMatches(sCode, TextOf(drug, u"Substance"));
}

bool Conditions::PrescribingProductSubstanceIs(const String& sCode) {
  const String substance = Required(CurrentFacts()->Prescription()).PrescribingDrug()->Substance();
  return !substance.empty() && PatternMatches(sCode, substance);
}

bool Conditions::PrescribedProductPriceIsBetween(Currency nFrom, Currency nTo) {
  auto& prescription = Required(CurrentFacts()->Prescription());
  const String aic = prescription.CurrentDrug();
  if (aic.empty()) return false;
  const Variant drug = prescription.Drugs()->Item(Variant(aic));
  if (TextOf(drug, u"AIC").empty()) return false;
  return InBand(PriceOf(drug), nFrom, nTo);
}

bool Conditions::PrescribingProductPriceIsBetween(Currency nFrom, Currency nTo) {
  const Ref<Drug> drug = Required(CurrentFacts()->Prescription()).PrescribingDrug();
  if (drug->AIC().empty()) return false;
  return InBand(PriceOf(Variant(drug)), nFrom, nTo);
}

bool Conditions::ProblemIcd9Is(const Variant& sCode) {
  const String pattern = automation::ToString(sCode);
  const auto facts = CurrentFacts();
  if (AnyItemMatches(*Required(facts->Prescription()).Problems(), pattern)) return true;
  return AnyItemMatches(*Required(facts->Patient()).Problems(), pattern);
}

bool Conditions::ProductCodeIsAlreadyPrescribed(const String& sCode) {
  auto drugs = Required(CurrentFacts()->Prescription()).Drugs();
  if (drugs->Count() == 0) return false;
  std::vector<String> aics;
  for (int32_t i = 1; i <= drugs->Count(); ++i) aics.push_back(TextOf(drugs->Item(Variant(i)), u"AIC"));
  for (const String& aic : aics)
    if (CodeListMatches(sCode, aic)) return true;
  return false;
}

bool Conditions::SubstanceIsPrescribed(const String& sCode) {
  auto drugs = Required(CurrentFacts()->Prescription()).Drugs();
  for (int32_t i = 1; i <= drugs->Count(); ++i)
    if (PatternMatches(sCode, TextOf(drugs->Item(Variant(i)), u"Substance"))) return true;
  return false;
}

// ---------------------------------------------------------------- patient and doctor tests

bool Conditions::PatientSexIs(const Variant& sGender) {
  const Variant gender(Required(CurrentFacts()->Patient()).Sex());
  return automation::Compare(automation::Dereference(sGender), gender) == automation::Ordering::Equal;
}

bool Conditions::PatientAgeIsBetween(const Variant& nFrom, const Variant& nTo) {
  const auto& patient = Required(CurrentFacts()->Patient());
  // Calendar-year boundaries crossed, birthday or not.
  const int years = shell::SplitDate(Today(Context())).year - shell::SplitDate(patient.BirthDate()).year;
  const Variant age(static_cast<float>(years));
  using automation::Ordering;
  const Ordering low = automation::Compare(automation::Dereference(nFrom), age);
  const Ordering high = automation::Compare(age, automation::Dereference(nTo));
  return (low == Ordering::Less || low == Ordering::Equal) && (high == Ordering::Less || high == Ordering::Equal);
}

bool Conditions::PatientSSNIs(bool lSSN) { return Required(CurrentFacts()->Patient()).SSN() == lSSN; }

bool Conditions::DoctorSpecializationBranchIs(const String& sBranch) {
  return CodeListMatches(sBranch, Required(CurrentFacts()->Doctor()).SpecializationBranch());
}

bool Conditions::DoctorSSNIs(bool lSSN) { return Required(CurrentFacts()->Doctor()).SSN() == lSSN; }

bool Conditions::DoctorRegionIs(const String& sRegion) {
  return CodeListMatches(sRegion, Required(CurrentFacts()->Doctor()).Region());
}

bool Conditions::DoctorAslIs(const String& sAsl) {
  return CodeListMatches(sAsl, Required(CurrentFacts()->Doctor()).Asl());
}

bool Conditions::DoctorProvinceIs(const String& sProvs) {
  try {
    const auto& doctor = Required(CurrentFacts()->Doctor());
    String province = automation::ToUpper(doctor.Province());
    if (province.empty()) {
      // The ASL code begins with the province.
      String asl = automation::ToUpper(doctor.Asl());
      const size_t first = asl.find_first_not_of(u' ');
      const size_t last = asl.find_last_not_of(u' ');
      asl = first == String::npos ? String() : asl.substr(first, last - first + 1);
      province = asl.size() >= 2 ? asl.substr(0, 2) : String();
    }
    return CodeListMatches(sProvs, province);
  } catch (const AutomationError&) {
    return false;
  }
}

// ----------------------------------------------------------------------- banner history

bool Conditions::MatchDateRange(const String& sRanges) {
  const Date today = Today(Context());
  size_t start = 0;
  while (true) {
    const size_t end = sRanges.find(u'|', start);
    const StringView piece =
        StringView(sRanges).substr(start, end == String::npos ? String::npos : end - start);
    if (!piece.empty()) {
      const size_t dash = piece.find(u'-');
      if (dash == StringView::npos) Raise(err::kSubscriptOutOfRange);  // no second part
      const StringView second = piece.substr(dash + 1);
      const auto from = ReadDate(piece.substr(0, dash));
      const auto to = ReadDate(second.substr(0, second.find(u'-')));
      if (!from || !to) Raise(err::kTypeMismatch);
      if (from->value <= today.value && today.value <= to->value) return true;
    }
    if (end == String::npos) return false;
    start = end + 1;
  }
}

Variant Conditions::MatchPrescriptionsCount(int16_t nMaxCount, int16_t nSlot) {
  const int32_t n = ReadPrescriptionsCount(Context());
  if (nMaxCount == 0) Raise(err::kDivisionByZero);
  // The remainder takes the sign of n, as C++'s % does.
  return Variant((n % nMaxCount) + 1 == nSlot);
}

bool Conditions::BannerAlreadyShownToday(const String& sBanner) {
  const auto shown = ReadDate(ReadBannerValue(sBanner, kLastShownKey, Context()));
  return shown && std::floor(shown->value) >= Today(Context()).value;
}

Variant Conditions::GetLastDateOfBannerVisualization(const String& sBanner) {
  const auto shown = ReadDate(ReadBannerValue(sBanner, kLastShownKey, Context()));
  return Variant(shown ? *shown : *ReadDate(kNoDateText));
}

Variant Conditions::GetBannerKeyData(const String& sBanner, const String& keyData) {
  return ReadBannerKeyData(Context(), sBanner, keyData);
}

Variant Conditions::GetBannerPatientKeyData(const String& sBanner, const String& keyData) {
  return ReadBannerPatientKeyData(Context(), sBanner, keyData);
}

Variant Conditions::GetLastDateOfBannerVisualizationForPatient(const String& sBanner) {
  return GetBannerPatientKeyData(sBanner, kLastDateKey);
}

Variant Conditions::GetFirstDateOfBannerVisualizationForPatient(const String& sBanner) {
  return GetBannerPatientKeyData(sBanner, kFirstDateKey);
}

Variant Conditions::IsFirstBannerVisualizationForPatient(const String& sBanner) {
  const auto first = ReadDate(automation::ToString(GetBannerPatientKeyData(sBanner, kFirstDateKey)));
  if (!first) return Variant(true);
  return Variant(Today(Context()).value <= first->value);
}

}  // namespace brevalcore::rules
