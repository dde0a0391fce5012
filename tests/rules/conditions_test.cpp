#include <gtest/gtest.h>

#include "rules/conditions.h"
#include "tests/rules/fixture.h"
#include "tests/rules/helpers.h"

namespace brevalcore::rules {
namespace {

using namespace testing;
using automation::MakeRef;

class ConditionsTest : public HistoryFixture {
 protected:
  void SetUp() override {
    HistoryFixture::SetUp();
    conditions_ = MakeRef<Conditions>();
    SetRef(*conditions_, u"context", Variant(context_));
  }
  PrescriptionFacts& Prescription() { return *context_->CurrentFacts()->Prescription(); }
  Ref<Drug> AddDrug(const String& aic, const String& substance = {}, const String& price = u"0") {
    auto d = MakeRef<Drug>();
    d->SetAIC(aic);
    d->SetSubstance(substance);
    d->SetPrice(price);
    Prescription().AddDrug(d);
    return d;
  }
  bool Ask(automation::StringView member, std::vector<Variant> args) {
    return automation::ToBool(Call(*conditions_, member, std::move(args)));
  }

  Ref<Conditions> conditions_;
};

TEST_F(ConditionsTest, SlotOrderMatchesTheInterface) {
  const std::vector<const char16_t*> members = {
      u"PrescribedProductCodeIs", u"PrescribingProductCodeIs", u"PrescribedProductCodeIsNot",
      u"PrescribingProductCodeIsNot", u"PrescribedProductSubstanceIs", u"PrescribingProductSubstanceIs",
      u"PrescribedProductPriceIsBetween", u"PrescribingProductPriceIsBetween", u"ProblemIcd9Is", u"PatientSexIs",
      u"PatientAgeIsBetween", u"PatientSSNIs", u"DoctorSpecializationBranchIs", u"DoctorSSNIs", u"DoctorRegionIs",
      u"DoctorAslIs", u"ProductCodeIsAlreadyPrescribed", u"MatchDateRange", u"MatchPrescriptionsCount",
      u"BannerAlreadyShownToday", u"PatientGenderIs", u"DoctorProvinceIs", u"SubstanceIsPrescribed",
      u"GetLastDateOfBannerVisualization", u"context", u"GetBannerKeyData", u"GetBannerPatientKeyData",
      u"GetLastDateOfBannerVisualizationForPatient", u"GetFirstDateOfBannerVisualizationForPatient",
      u"IsFirstBannerVisualizationForPatient", u"IsImplementedFunction"};
  ASSERT_EQ(members.size(), 31u);
  for (size_t i = 0; i < members.size(); ++i)
    EXPECT_EQ(conditions_->GetIdOfName(members[i]), static_cast<int>(i + 1)) << automation::ToUtf8(members[i]);
}

TEST_F(ConditionsTest, CodeListsAndPatterns) {
  struct Row { const char16_t* list; const char16_t* value; bool matches; };
  for (const Row& row : std::vector<Row>{{u"A1|B2", u"B2", true}, {u"A1||B2", u"B2", true}, {u"A1 ", u"A1", false},
                                         {u"a1", u"A1", false}, {u"", u"", false}, {u"|", u"", false}})
    EXPECT_EQ(CodeListMatches(row.list, row.value), row.matches) << automation::ToUtf8(row.list);
  for (const Row& row : std::vector<Row>{{u"amox*", u"AMOXICILLINA", true}, {u"amoxicillina", u"AMOXICILLINA", true},
                                         {u"AMOXI", u"AMOXICILLINA", false}, {u"*", u"", true},
                                         {u"a*b", u"A*B", true}, {u"a*b", u"AXB", false}})
    EXPECT_EQ(PatternMatches(row.list, row.value), row.matches) << automation::ToUtf8(row.list);
}

TEST_F(ConditionsTest, PrescribedAndPrescribingDrug) {
  // Nothing selected, nothing being prescribed.
  EXPECT_FALSE(Ask(u"PrescribingProductCodeIs", {Variant(u"A1|B2")}));
  EXPECT_TRUE(Ask(u"PrescribingProductCodeIsNot", {Variant(u"A1")}));
  EXPECT_TRUE(Ask(u"PrescribedProductCodeIsNot", {Variant(u"A1")}));
  EXPECT_FALSE(Ask(u"PrescribingProductSubstanceIs", {Variant(u"*")}));
  EXPECT_FALSE(Ask(u"PrescribedProductSubstanceIs", {Variant(u"*")}));

  AddDrug(u"A1", u"", u"5");
  auto b2 = AddDrug(u"B2", u"AMOXICILLINA", u"10");
  Prescription().SetCurrentDrug(u"A1");
  Prescription().SetPrescribingDrug(b2);
  struct Row { const char16_t* member; std::vector<Variant> args; bool expected; };
  const std::vector<Row> rows = {
      {u"PrescribingProductCodeIs", {Variant(u"A1|B2")}, true},
      {u"PrescribingProductCodeIs", {Variant(u"A1||B2")}, true},
      {u"PrescribedProductCodeIs", {Variant(u"A1 ")}, false},
      {u"PrescribedProductCodeIs", {Variant(u"X|A1")}, true},
      {u"PrescribedProductCodeIsNot", {Variant(u"A1|B2")}, true},
      {u"PrescribedProductCodeIsNot", {Variant(u"A1")}, false},
      {u"PrescribingProductCodeIsNot", {Variant(u"B2")}, false},
      {u"PrescribedProductSubstanceIs", {Variant(u"*")}, true},  // empty substance, but a drug
      {u"PrescribingProductSubstanceIs", {Variant(u"*")}, true},
      {u"PrescribingProductSubstanceIs", {Variant(u"amox*")}, true},
      {u"SubstanceIsPrescribed", {Variant(u"amox*")}, true},
      {u"SubstanceIsPrescribed", {Variant(u"amoxicillina")}, true},
      {u"SubstanceIsPrescribed", {Variant(u"AMOXI")}, false},
      {u"ProductCodeIsAlreadyPrescribed", {Variant(u"Z9|B2")}, true},
      {u"ProductCodeIsAlreadyPrescribed", {Variant(u"b2")}, false},
      {u"PrescribedProductPriceIsBetween", {Variant(int32_t{5}), Variant(int32_t{10})}, true},
      {u"PrescribingProductPriceIsBetween", {Variant(int32_t{5}), Variant(int32_t{10})}, true},
      {u"PrescribingProductPriceIsBetween", {Variant(int32_t{5}), Variant(9.9999)}, false},
  };
  for (const auto& row : rows) EXPECT_EQ(Ask(row.member, row.args), row.expected) << automation::ToUtf8(row.member);
}

TEST_F(ConditionsTest, PriceBandIncludesBothEnds) {
  auto drug = AddDrug(u"P1");
  Prescription().SetCurrentDrug(u"P1");
  for (auto [price, inside] : std::vector<std::pair<const char16_t*, bool>>{
           {u"5", true}, {u"10", true}, {u"10,01", false}, {u"4,9999", false}, {u"7,5", true}}) {
    drug->SetPrice(price);
    EXPECT_EQ(Ask(u"PrescribedProductPriceIsBetween", {Variant(int32_t{5}), Variant(int32_t{10})}), inside)
        << automation::ToUtf8(price);
  }
}

TEST_F(ConditionsTest, ErrorsThatReachTheScript) {
  AddDrug(u"A1");
  Prescription().SetCurrentDrug(u"A1");
  Prescription().Drugs()->Remove(Variant(u"A1"));  // removed after it was selected
  EXPECT_EQ(ErrorOf([&] { Ask(u"PrescribedProductSubstanceIs", {Variant(u"*")}); }),
            automation::err::kInvalidProcedureCall);
  EXPECT_EQ(ErrorOf([&] { Ask(u"PrescribedProductPriceIsBetween", {Variant(int32_t{1}), Variant(int32_t{2})}); }),
            automation::err::kInvalidProcedureCall);
  EXPECT_FALSE(Ask(u"ProductCodeIsAlreadyPrescribed", {Variant(u"A1")}));
}

TEST_F(ConditionsTest, ProblemsOfPrescriptionThenPatient) {
  auto& patient = *context_->CurrentFacts()->Patient();
  patient.SetProblemsFromText(u"250.00");
  EXPECT_TRUE(Ask(u"ProblemIcd9Is", {Variant(u"250.00")}));
  EXPECT_TRUE(Ask(u"ProblemIcd9Is", {Variant(u"250*")}));
  patient.SetProblemsFromText(u" 250.00");
  EXPECT_FALSE(Ask(u"ProblemIcd9Is", {Variant(u"250.00")}));
  Prescription().AddProblem(u"250.00");
  EXPECT_TRUE(Ask(u"ProblemIcd9Is", {Variant(u"250*")}));
  EXPECT_FALSE(Ask(u"ProblemIcd9Is", {Variant(u"401*")}));
}

TEST_F(ConditionsTest, PatientPredicates) {
  auto& patient = *context_->CurrentFacts()->Patient();
  patient.SetSex(u"F");
  EXPECT_TRUE(Ask(u"PatientSexIs", {Variant(u"F")}));
  EXPECT_FALSE(Ask(u"PatientSexIs", {Variant(u"f")}));
  EXPECT_TRUE(Ask(u"PatientGenderIs", {Variant(u"F")}));
  EXPECT_FALSE(Ask(u"PatientSSNIs", {Variant(true)}));
  patient.SetSSN(true);
  EXPECT_TRUE(Ask(u"PatientSSNIs", {Variant(true)}));

  // Age counts calendar years, birthday or not; the clock says 15/03/2026.
  struct Row { automation::Date birth; bool inside; };
  for (const Row& row : std::vector<Row>{{At(31, 12, 2008), true},    // 18
                                         {At(1, 1, 1961), true},      // 65
                                         {At(1, 1, 2009), false},     // 17
                                         {At(31, 12, 1960), false}})  // 66
  {
    patient.SetBirthDate(row.birth);
    EXPECT_EQ(Ask(u"PatientAgeIsBetween", {Variant(int32_t{18}), Variant(int32_t{65})}), row.inside);
  }
  clock_.Set(At(1, 1, 2026));
  patient.SetBirthDate(At(31, 12, 2025));
  EXPECT_TRUE(Ask(u"PatientAgeIsBetween", {Variant(int32_t{1}), Variant(int32_t{1})}));
  patient.SetBirthDate(automation::Date{0});
  EXPECT_TRUE(Ask(u"PatientAgeIsBetween", {Variant(int32_t{127}), Variant(int32_t{127})}));
}

TEST_F(ConditionsTest, DoctorPredicates) {
  auto& doctor = *context_->CurrentFacts()->Doctor();
  EXPECT_FALSE(Ask(u"DoctorSSNIs", {Variant(true)}));
  doctor.SetRegion(u"090");
  EXPECT_TRUE(Ask(u"DoctorRegionIs", {Variant(u"080|090")}));
  doctor.SetRegion(u"90");
  EXPECT_FALSE(Ask(u"DoctorRegionIs", {Variant(u"080|090")}));
  doctor.SetSpecializationBranch(u"MG");
  EXPECT_TRUE(Ask(u"DoctorSpecializationBranchIs", {Variant(u"PED|MG")}));
  doctor.SetAsl(u"201");
  EXPECT_TRUE(Ask(u"DoctorAslIs", {Variant(u"201")}));

  struct Row { const char16_t* province; const char16_t* asl; const char16_t* list; bool matches; };
  const std::vector<Row> rows = {
      {u"rm", u"", u"MI|RM", true},   {u"MI", u"", u"mi|rm", false}, {u"", u"  rm1 ", u"RM", true},
      {u"", u"RM1", u"RM", true},     {u"", u"R", u"R", false},      {u"", u" R ", u"R|", false},
      {u"MI", u"RM1", u"RM", false},
  };
  for (const auto& row : rows) {
    doctor.SetProvince(row.province);
    doctor.SetAsl(row.asl);
    EXPECT_EQ(Ask(u"DoctorProvinceIs", {Variant(row.list)}), row.matches)
        << automation::ToUtf8(row.province) << "/" << automation::ToUtf8(row.asl);
  }
}

TEST(Capabilities, TheHostTableComparesVersionsAsText) {
  struct Row { const char16_t* name; const char16_t* software; const char16_t* storedVersion; bool expected; };
  const std::vector<Row> rows = {
      {u"dosetbannerkeydata", u"", u"", true},
      {u"DOSETBANNERKEYDATA", u"anything", u"1", true},
      {u"BannerKeyData", u"", u"", true},
      {u"LoadingPrescriptionItems", u"koralte", u"4.0.16", true},
      {u"LoadingPrescriptionItems", u"koralte", u"4.0.15", false},
      {u"LoadingPrescriptionItems", u"MELDOVAR", u"4.1", true},
      {u"LoadingPrescriptionItems", u"MELDOVAR", u"4.0.2", true},
      {u"LoadingPrescriptionItems", u"MELDOVAR", u"3.99.99", false},
      {u"LoadingPrescriptionItems", u"MELDOVAR", u"10.00.00", false},
      {u"LoadingPrescriptionItems", u"MELDOVAR", u"", false},
      {u"LoadingPrescriptionItems", u"ZANTUREL", u"2.90.7.23", true},
      {u"LoadingPrescriptionItems", u"ZANTUREL", u"2.90.7.3", true},
      {u"LoadingPrescriptionItems", u"ZANTUREL", u"2.9.7.23", false},
      {u"LoadingPrescriptionItems", u"Ostravi", u"5.5.07", true},
      {u"LoadingPrescriptionItems", u"BELTUNE", u"5.5.06", false},
      {u"LoadingPrescriptionItems", u"QKV", u"", true},
      {u"loadingprescriptionitems", u"drumlet", u"0", true},
      {u"LoadingPrescriptionItems", u"", u"9.99", false},
      {u"ShowBanner", u"QKV", u"", false},
      {u"", u"QKV", u"", false},
  };
  auto context = MakeRef<cContext>();
  auto conditions = MakeRef<Conditions>();
  conditions->set_context(context);
  for (const auto& row : rows) {
    context->CurrentFacts()->Application()->SetSoftware(row.software);
    context->CurrentFacts()->Application()->SetVersion(row.storedVersion);
    EXPECT_EQ(ToBool(Call(*conditions, u"IsImplementedFunction", {Variant(row.name)})), row.expected)
        << automation::ToUtf8(row.name) << " " << automation::ToUtf8(row.software) << " "
        << automation::ToUtf8(row.storedVersion);
  }
}

}  // namespace
}  // namespace brevalcore::rules
