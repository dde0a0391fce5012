#include "tests/control/control_fixture.h"

namespace brevalcore::control::testing {
namespace {

using Strings = std::vector<std::string>;

TEST_F(ControlTest, CallsBeforeInitializeContextOnlyReturnTheirResults) {
  BrevalcoreBanner& c = Control();
  EXPECT_TRUE(c.SetPatient(u"M", {}, true, u"A").IsEmpty());
  EXPECT_FALSE(c.StartPrescription());
  EXPECT_FALSE(c.RemoveDrugFromPrescription(u"aic1"));
  EXPECT_TRUE(c.RemoveProblemFromPrescription(u"X").IsEmpty());
  EXPECT_TRUE(c.AddDrugToPrescription(u"aic1", u"A", true, u"s", {}));
  EXPECT_EQ(c.context()->CurrentFacts()->Prescription()->Drugs()->Count(), 0);
  // AddDrugToPrescription does not test initialisation, only enablement.
  c.Application()->SetEnableBanners(true);
  EXPECT_TRUE(c.AddDrugToPrescription(u"aic1", u"A", true, u"s", automation::Currency{125000}));
  auto drugs = c.context()->CurrentFacts()->Prescription()->Drugs();
  ASSERT_EQ(drugs->Count(), 1);
  EXPECT_TRUE(world_.statements.empty());
  EXPECT_TRUE(Navigations() == Strings{"about:blank"});
}

TEST_F(ControlTest, EachCallRunsItsProcedure) {
  ASSERT_TRUE(Start());
  struct Row {
    const char* name;
    std::function<void(BrevalcoreBanner&)> call;
    Strings statements;
  };
  const std::vector<Row> rows = {
      {"SetPatient", [](BrevalcoreBanner& c) { c.SetPatient(u"F", {}, true, u"A;B"); }, {}},
      {"StartPrescription", [](BrevalcoreBanner& c) { c.StartPrescription(); }, {"AfterSelect", "StartPrescription"}},
      {"AddDrugToPrescription", [](BrevalcoreBanner& c) { c.AddDrugToPrescription(u"a", u"", 0, u"", {}); }, {}},
      {"PrescribingDrug", [](BrevalcoreBanner& c) { c.PrescribingDrug(u"a", u"", 0, u"", {}); }, {"BeforeSelect"}},
      {"RemoveDrugFromPrescription", [](BrevalcoreBanner& c) { c.RemoveDrugFromPrescription(u"a"); }, {"AfterSelect"}},
      {"RemoveDrugFromPrescription empty", [](BrevalcoreBanner& c) { c.RemoveDrugFromPrescription(u""); }, {}},
      {"AddProblemToPrescription blank", [](BrevalcoreBanner& c) { c.AddProblemToPrescription(u"  "); }, {"AfterSelect"}},
      {"RemoveProblemFromPrescription blank", [](BrevalcoreBanner& c) { c.RemoveProblemFromPrescription(u" "); }, {}},
      {"RemoveProblemFromPrescription", [](BrevalcoreBanner& c) { c.RemoveProblemFromPrescription(u"X"); }, {"AfterSelect"}},
      {"SetProblemsOfPrescription", [](BrevalcoreBanner& c) { c.SetProblemsOfPrescription(u"A"); }, {"AfterSelect"}},
      {"ClearPrescription", [](BrevalcoreBanner& c) { c.ClearPrescription(); }, {"BeforeSelect", "AfterSelect"}},
      {"EndPrescription", [](BrevalcoreBanner& c) { c.EndPrescription(); }, {}},
  };
  for (const auto& row : rows) {
    world_.statements.clear();
    row.call(Control());
    EXPECT_EQ(world_.statements, row.statements) << row.name;
  }
}

TEST_F(ControlTest, WithBannersOffCallsKeepTheirResultsAndRunNothing) {
  ASSERT_TRUE(Start());
  Control().Application()->SetEnableBanners(false);
  world_.statements.clear();
  BrevalcoreBanner& c = Control();
  EXPECT_TRUE(automation::ToBool(c.SetPatient(u"M", {}, true, u"A")));
  EXPECT_TRUE(c.StartPrescription());
  EXPECT_TRUE(c.RemoveDrugFromPrescription(u"aic1"));
  EXPECT_TRUE(automation::ToBool(c.AddProblemToPrescription(u"X")));
  c.SetCurrentPrescriptionDrug(u"aic1");
  EXPECT_EQ(c.CurrentPrescriptionDrug(), u"");
  EXPECT_TRUE(world_.statements.empty());
}

TEST_F(ControlTest, ProblemListsKeepTheSpacesOfCountingItems) {
  ASSERT_TRUE(Start());
  Control().AddProblemToPrescription(u"OLD");
  Control().SetProblemsOfPrescription(u"A; ; B");
  auto problems = Control().context()->CurrentFacts()->Prescription()->Problems();
  ASSERT_EQ(problems->Count(), 2);
  EXPECT_EQ(automation::ToString(problems->Item(Variant(int32_t{1}))), u"A");
  EXPECT_EQ(automation::ToString(problems->Item(Variant(int32_t{2}))), u" B");
  Control().SetPatient(u"F", {}, true, u";X ;; ");
  auto patientProblems = Control().Patient()->Problems();
  ASSERT_EQ(patientProblems->Count(), 1);
  EXPECT_EQ(automation::ToString(patientProblems->Item(Variant(int32_t{1}))), u"X ");
  EXPECT_EQ(Control().Patient()->Sex(), u"F");
}

TEST_F(ControlTest, StartPrescriptionClearsTheDrugsBeforeTheScriptRuns) {
  ASSERT_TRUE(Start());
  Control().AddDrugToPrescription(u"aic1", u"A", true, u"s", {});
  int drugsSeen = -1;
  world_.procedures["StartPrescription"] = [&] {
    drugsSeen = Control().context()->CurrentFacts()->Prescription()->Drugs()->Count();
  };
  Control().StartPrescription();
  EXPECT_EQ(drugsSeen, 0);
  EXPECT_EQ(Ini(u"BVC", u"PrescriptionsCount"), "0");  // the day's first prescription
}

TEST_F(ControlTest, CurrentPrescriptionDrugRunsAfterSelectOnlyOnAChange) {
  ASSERT_TRUE(Start());
  Control().AddDrugToPrescription(u"aic1", u"A", true, u"s", {});
  struct Row {
    String code;
    Strings statements;
  };
  const std::vector<Row> rows = {
      {u"aic1", {"BeforeSelect", "AfterSelect"}},
      {u"aic1", {"BeforeSelect"}},
      // Not among the drugs: the current drug stays empty, so each setting is a change.
      {u"aic7", {"BeforeSelect", "AfterSelect"}},
      {u"aic7", {"BeforeSelect", "AfterSelect"}},
  };
  for (const auto& row : rows) {
    world_.statements.clear();
    Control().SetCurrentPrescriptionDrug(row.code);
    EXPECT_EQ(world_.statements, row.statements) << ToUtf8(row.code);
  }
  EXPECT_EQ(Control().CurrentPrescriptionDrug(), u"");
}

TEST_F(ControlTest, AStoredSubstitutionIsRaisedInsteadOfAfterSelect) {
  ASSERT_TRUE(Start());
  storage::WriteIni(IniPath(), u"AutoSubstitute", u"aic1", u"aic9");
  storage::WriteIni(IniPath(), u"AutoSubstitute", u"aic2", u"   ");
  Control().AddDrugToPrescription(u"aic1", u"A", true, u"s", {});
  Control().AddDrugToPrescription(u"aic2", u"A", true, u"s", {});
  struct Row {
    String code;
    Strings statements;
    Strings events;
  };
  const std::vector<Row> rows = {
      {u"aic1", {"BeforeSelect"}, {"OnCommandClick AUTOSUBSTITUTE aic9&1"}},
      {u"aic1", {"BeforeSelect"}, {}},  // no change, no check
      {u"aic2", {"BeforeSelect", "AfterSelect"}, {}},  // a value of spaces raises nothing
  };
  for (const auto& row : rows) {
    world_.statements.clear();
    events_.lines.clear();
    Control().SetCurrentPrescriptionDrug(row.code);
    EXPECT_EQ(world_.statements, row.statements) << ToUtf8(row.code);
    EXPECT_EQ(events_.lines, row.events) << ToUtf8(row.code);
  }
  // While items are loaded nothing is raised and no script runs.
  Control().BeginLoadingPrescriptionItems();
  world_.statements.clear();
  events_.lines.clear();
  Control().SetCurrentPrescriptionDrug(u"aic1");
  EXPECT_TRUE(events_.lines.empty());
  EXPECT_TRUE(world_.statements.empty());
}

TEST_F(ControlTest, LoadingModeDefersTheScriptToItsEnd) {
  struct Row {
    const char* name;
    bool forceFocusBack;
    bool visible;
    String banner;
    Strings atEnd;
  };
  const std::vector<Row> rows = {
      {"visible", false, true, u"", {"AfterSelect"}},
      {"hidden", false, false, u"", {}},
      {"hidden, focus back", true, false, u"", {"AfterSelect"}},
      {"banner chosen", false, true, u"B12", {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    control_.reset();
    ASSERT_TRUE(Start());
    Control().SetForceFocusBack(row.forceFocusBack);
    Control().SetContainerVisible(row.visible);
    Control().context()->SetBanner(row.banner);
    Control().BeginLoadingPrescriptionItems();
    Control().BeginLoadingPrescriptionItems();  // not counted
    world_.statements.clear();
    Control().PrescribingDrug(u"aic1", u"A", true, u"s", {});
    Control().AddDrugToPrescription(u"aic1", u"A", true, u"s", {});
    EXPECT_TRUE(Control().RemoveDrugFromPrescription(u"aic1"));
    EXPECT_TRUE(world_.statements.empty());
    EXPECT_EQ(ToUtf8(Control().context()->CurrentFacts()->Prescription()->PrescribingDrug()->AIC()), "aic1");
    Control().EndLoadingPrescriptionItems();
    EXPECT_EQ(world_.statements, row.atEnd);
  }
}

TEST_F(ControlTest, AFailingBeforeSelectReportsOnceAndStopsTheScript) {
  ASSERT_TRUE(Start());
  world_.procedures["BeforeSelect"] = [] { automation::Raise(automation::err::kDivisionByZero); };
  Control().PrescribingDrug(u"aic1", u"", false, u"", {});
  Control().PrescribingDrug(u"aic2", u"", false, u"", {});
  Control().StartPrescription();
  Control().AddProblemToPrescription(u"X");
  EXPECT_EQ(world_.statements, (Strings{"BeforeInitialize", "BeforeSelect"}));
  ASSERT_EQ(MessageTexts().size(), 1u);
  EXPECT_EQ(MessageTexts()[0], "Error 11 (Division by zero) in procedure OnBefore of Controllo utente");
  EXPECT_FALSE(Control().Application()->EnableBanners());
}

TEST_F(ControlTest, AFailingAfterSelectSwitchesBannersOffSilently) {
  ASSERT_TRUE(Start());
  world_.procedures["AfterSelect"] = [] { automation::Raise(automation::err::kTypeMismatch); };
  Control().AddProblemToPrescription(u"X");
  EXPECT_TRUE(MessageTexts().empty());
  EXPECT_FALSE(Control().Application()->EnableBanners());
}

}  // namespace
}  // namespace brevalcore::control::testing
