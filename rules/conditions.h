#pragma once
// Conditions: the predicates the rule script asks ("conditions" in the script). Every member
// reads the facts and the banner history afresh; the object keeps nothing but its context.
// Errors are not caught here (except in DoctorProvinceIs): they reach the script.
#include "rules/context.h"

namespace brevalcore::rules {

class Conditions : public automation::DispatchObject<Conditions> {
 public:
  static const ClassInfo& Class();

  // Drug and prescription predicates.
  bool PrescribedProductCodeIs(const String& sCode);
  bool PrescribingProductCodeIs(const String& sCode);
  bool PrescribedProductCodeIsNot(const String& sCode);
  bool PrescribingProductCodeIsNot(const String& sCode);
  bool PrescribedProductSubstanceIs(const String& sCode);
  bool PrescribingProductSubstanceIs(const String& sCode);
  bool PrescribedProductPriceIsBetween(Currency nFrom, Currency nTo);
  bool PrescribingProductPriceIsBetween(Currency nFrom, Currency nTo);
  bool ProblemIcd9Is(const Variant& sCode);
  bool ProductCodeIsAlreadyPrescribed(const String& sCode);
  bool SubstanceIsPrescribed(const String& sCode);

  // Patient and doctor predicates.
  bool PatientSexIs(const Variant& sGender);
  bool PatientAgeIsBetween(const Variant& nFrom, const Variant& nTo);
  bool PatientSSNIs(bool lSSN);
  bool DoctorSpecializationBranchIs(const String& sBranch);
  bool DoctorSSNIs(bool lSSN);
  bool DoctorRegionIs(const String& sRegion);
  bool DoctorAslIs(const String& sAsl);
  bool DoctorProvinceIs(const String& sProvs);

  // Banner history.
  bool MatchDateRange(const String& sRanges);
  Variant MatchPrescriptionsCount(int16_t nMaxCount, int16_t nSlot);
  bool BannerAlreadyShownToday(const String& sBanner);
  Variant GetLastDateOfBannerVisualization(const String& sBanner);
  Variant GetBannerKeyData(const String& sBanner, const String& keyData);
  Variant GetBannerPatientKeyData(const String& sBanner, const String& keyData);
  Variant GetLastDateOfBannerVisualizationForPatient(const String& sBanner);
  Variant GetFirstDateOfBannerVisualizationForPatient(const String& sBanner);
  Variant IsFirstBannerVisualizationForPatient(const String& sBanner);

  // Whether the control and its host offer a feature the script wants to rely on.
  bool IsImplementedFunction(const String& functionName);

  Ref<cContext> context() const { return context_; }
  void set_context(Ref<cContext> c) { context_ = std::move(c); }

 private:
  const cContext& Context() const;
  Ref<Facts> CurrentFacts() const;

  Ref<cContext> context_;
};

// Matching rules shared by the predicates.
// A "|"-separated list whose non-empty items are compared exactly with `value`.
bool CodeListMatches(StringView list, StringView value);
// A single pattern: a trailing "*" matches a prefix; comparison in upper case.
bool PatternMatches(StringView pattern, StringView value);
// The capability test on its own: a feature name against the host product and version (as
// ApplicationFacts.Version reads it).
bool IsImplemented(StringView functionName, StringView software, StringView version);

}  // namespace brevalcore::rules
