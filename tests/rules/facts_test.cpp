#include <gtest/gtest.h>

#include <cstdlib>

#include "rules/context.h"
#include "rules/control_folder.h"
#include "tests/rules/helpers.h"

namespace brevalcore::rules {
namespace {

using namespace testing;
using automation::MakeRef;
using automation::String;

std::vector<std::string> Items(Collection& c) {
  std::vector<std::string> out;
  for (int32_t i = 1; i <= c.Count(); ++i) out.push_back(Text(c.Item(Variant(i))));
  return out;
}

Ref<Drug> MakeDrug(const String& aic, const String& substance = {}) {
  auto d = MakeRef<Drug>();
  d->SetAIC(aic);
  d->SetSubstance(substance);
  return d;
}

TEST(Facts, EveryMemberIsReachableByNameInSlotOrder) {
  struct Row { Ref<Object> object; std::vector<const char16_t*> members; };
  auto context = MakeRef<cContext>();
  const std::vector<Row> rows = {
      {context, {u"Banner", u"PathTempBanner", u"ServiziTirsaPage", u"Offline", u"CurrentFacts"}},
      {context->CurrentFacts(), {u"Application", u"Patient", u"Doctor", u"Prescription", u"RemotePageParameters"}},
      {MakeRef<PatientFacts>(), {u"Sex", u"BirthDate", u"SSN", u"Problems", u"ClearProblems", u"Gender", u"Name",
                                 u"SetProblems", u"BMI", u"Id"}},
      {MakeRef<DoctorFacts>(), {u"SpecializationBranch", u"Code", u"Region", u"Asl", u"SSN", u"Stamp", u"Province",
                                u"Name", u"Uid", u"Role"}},
      {MakeRef<PrescriptionFacts>(), {u"Drugs", u"addDrug", u"RemoveDrug", u"RemoveDrugs", u"Problems", u"AddProblem",
                                      u"RemoveProblem", u"RemoveProblems", u"CurrentDrug", u"PrescribingDrug", u"Clear"}},
      {MakeRef<Drug>(), {u"AIC", u"SSN", u"Classe", u"Price", u"Substance"}},
      {MakeRef<ApplicationFacts>(), {u"EnableBanners", u"Code", u"RemotePageParameters", u"Software", u"Version",
                                     u"SerialNumber", u"ResBannerPath"}},
  };
  for (const auto& row : rows) {
    for (size_t i = 0; i < row.members.size(); ++i)
      EXPECT_EQ(row.object->GetIdOfName(automation::ToLower(row.members[i])), static_cast<int>(i + 1))
          << automation::ToUtf8(row.members[i]);
  }
}

TEST(Facts, ChildrenAreLiveObjects) {
  auto context = MakeRef<cContext>();
  Variant patient = Get(*context->CurrentFacts(), u"Patient");
  Let(*patient.AsObject(), u"Sex", Variant(u"M"));
  EXPECT_EQ(context->CurrentFacts()->Patient()->Sex(), u"M");
  EXPECT_EQ(Text(Get(*patient.AsObject(), u"Gender")), "M");
  Let(*patient.AsObject(), u"Gender", Variant(u"F"));
  EXPECT_EQ(Text(Get(*patient.AsObject(), u"Sex")), "F");
  // Assigning a child replaces it by the given object.
  auto other = MakeRef<PatientFacts>();
  SetRef(*context->CurrentFacts(), u"Patient", Variant(other));
  EXPECT_EQ(context->CurrentFacts()->Patient().get(), other.get());
}

TEST(Facts, SetProblemsSplitsAtSemicolonsAndKeepsPartsUntrimmed) {
  struct Row { String text; std::vector<std::string> items; };
  const std::vector<Row> rows = {
      {u"J45; I10;;  ;K21", {"J45", " I10", "K21"}},
      {u"", {}},
      {u";;", {}},
      {u"A,B;C", {"A,B", "C"}},
  };
  for (const auto& row : rows) {
    auto patient = MakeRef<PatientFacts>();
    auto before = patient->Problems();
    before->Add(Variant(u"old"));
    Call(*patient, u"SetProblems", {Variant(row.text)});
    EXPECT_EQ(Items(*patient->Problems()), row.items) << automation::ToUtf8(row.text);
    EXPECT_EQ(before->Count(), 1) << "the old collection is dropped, not emptied";
  }
}

TEST(Facts, PrescriptionCollectionsAbsorbTheirErrors) {
  auto p = MakeRef<PrescriptionFacts>();
  Call(*p, u"addDrug", {Variant(MakeDrug(u"A1", u"first"))});
  Call(*p, u"addDrug", {Variant(MakeDrug(u"A1", u"second"))});
  Call(*p, u"addDrug", {Variant(MakeDrug(u"a1", u"third"))});
  ASSERT_EQ(p->Drugs()->Count(), 1);
  EXPECT_EQ(Text(Get(*p->Drugs()->Item(Variant(1)).AsObject(), u"Substance")), "first");

  EXPECT_FALSE(ToBool(Call(*p, u"RemoveDrug", {Variant(MakeDrug(u"B9"))})));
  EXPECT_EQ(p->Drugs()->Count(), 1);
  EXPECT_TRUE(ToBool(Call(*p, u"RemoveDrug", {Variant(MakeDrug(u"a1"))})));
  EXPECT_EQ(p->Drugs()->Count(), 0);

  EXPECT_TRUE(ToBool(Call(*p, u"AddProblem", {Variant(u"250")})));
  EXPECT_TRUE(ToBool(Call(*p, u"AddProblem", {Variant(u"250")})));
  EXPECT_EQ(p->Problems()->Count(), 1);
  EXPECT_FALSE(ToBool(Call(*p, u"RemoveProblem", {Variant(u"401")})));
  EXPECT_TRUE(ToBool(Call(*p, u"RemoveProblem", {Variant(u"250")})));
}

TEST(Facts, CurrentAndPrescribingDrugAreCreatedOnRead) {
  auto p = MakeRef<PrescriptionFacts>();
  auto a1 = MakeDrug(u"A1");
  p->AddDrug(a1);
  Let(*p, u"CurrentDrug", Variant(u"A1"));
  EXPECT_EQ(Text(Get(*p, u"CurrentDrug")), "A1");
  EXPECT_EQ(p->CurrentDrugObject().get(), a1.get());
  Let(*p, u"CurrentDrug", Variant(u"ZZ"));
  EXPECT_EQ(Text(Get(*p, u"CurrentDrug")), "");

  Variant prescribing = Get(*p, u"PrescribingDrug");
  ASSERT_TRUE(prescribing.IsObject());
  ASSERT_FALSE(prescribing.IsNothing());
  EXPECT_EQ(Get(*p, u"PrescribingDrug").AsObject(), prescribing.AsObject());

  auto b2 = MakeDrug(u"B2");
  SetRef(*p, u"PrescribingDrug", Variant(b2));
  p->AddProblem(u"401");
  Let(*p, u"CurrentDrug", Variant(u"A1"));
  Call(*p, u"Clear");
  EXPECT_EQ(Text(Get(*p, u"CurrentDrug")), "");
  EXPECT_EQ(p->Drugs()->Count(), 0);
  EXPECT_EQ(p->Problems()->Count(), 0);
  EXPECT_EQ(p->PrescribingDrug().get(), b2.get());
}

TEST(Facts, PriceIsCurrencyShownInTheLocale) {
  auto d = MakeRef<Drug>();
  struct Row { String in; int64_t stored; };
  const std::vector<Row> rows = {{u"12,5", 125000}, {u"0", 0}, {u"7,1234", 71234}, {u"-3", -30000}};
  for (const auto& row : rows) {
    Let(*d, u"Price", Variant(row.in));
    EXPECT_EQ(d->PriceValue().value, row.stored) << automation::ToUtf8(row.in);
  }
  Let(*d, u"Price", Variant(u"12,5"));
  EXPECT_EQ(Text(Get(*d, u"Price")), "12,5");
  for (const char16_t* bad : {u"abc", u"", u"1,2,3"}) {
    EXPECT_EQ(ErrorOf([&] { Let(*d, u"Price", Variant(bad)); }), automation::err::kTypeMismatch);
    EXPECT_EQ(d->PriceValue().value, 125000) << "a failed assignment keeps the price";
  }
}

TEST(Facts, ApplicationNormalisations) {
  struct Row { String version, reads; };
  const std::vector<Row> versions = {
      {u"4.5.16", u"4.05.16"}, {u"4.0.16", u"4.00.16"}, {u"2.90.7.23", u"2.90.7.23"}, {u"10", u"10"},
      {u"7", u"7"},           {u"", u""},              {u"3..1", u"3.0.1"},         {u"1.123", u"1.23"},
      {u".5", u"05"},
  };
  auto app = MakeRef<ApplicationFacts>();
  for (const auto& row : versions) {
    Let(*app, u"Version", Variant(row.version));
    EXPECT_EQ(ToString(Get(*app, u"Version")), row.reads) << automation::ToUtf8(row.version);
  }
  struct Params { String in, reads; };
  for (const auto& row : std::vector<Params>{{u"a=1&b=2", u"?a=1&b=2"}, {u"?a=1", u"?a=1"}, {u"", u""}}) {
    Let(*app, u"RemotePageParameters", Variant(row.in));
    EXPECT_EQ(ToString(Get(*app, u"RemotePageParameters")), row.reads);
  }
}

TEST(Facts, ResBannerPathDefaultsToTheControlFolder) {
  setenv("BREVALCORE_CONTROL_DIR", "/opt/brevalcore", 1);
  auto app = MakeRef<ApplicationFacts>();
  Let(*app, u"ResBannerPath", Variant(u""));
  EXPECT_EQ(Text(Get(*app, u"ResBannerPath")), "/opt/brevalcore");
  Let(*app, u"ResBannerPath", Variant(u"/srv/res"));
  EXPECT_EQ(Text(Get(*app, u"ResBannerPath")), "/srv/res");
  unsetenv("BREVALCORE_CONTROL_DIR");
  EXPECT_FALSE(ControlFolder().empty()) << "the folder of the test executable";
}

TEST(Facts, RootRemotePageParametersJoinsTheFactsUnescaped) {
  auto facts = MakeRef<Facts>();
  facts->Application()->SetSerialNumber(u"S1");
  facts->Application()->SetSoftware(u"X");
  facts->Doctor()->SetRegion(u"080");
  facts->Application()->SetVersion(u"4.5");
  EXPECT_EQ(Text(Get(*facts, u"RemotePageParameters")), "?Serial_number=S1&Software=X&Regione=080&Versione=4.05");
}

}  // namespace
}  // namespace brevalcore::rules
