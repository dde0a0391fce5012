#include <gtest/gtest.h>

#include "platform/script/script_host.h"
#include "rules/actions.h"
#include "rules/commands.h"
#include "rules/conditions.h"
#include "rules/history.h"
#include "tests/rules/fixture.h"
#include "tests/rules/helpers.h"

namespace brevalcore::rules {
namespace {

using namespace testing;
using automation::MakeRef;

// The rule objects as the control hands them to "banner.script": three named objects whose
// members are also global names.
class ScriptTest : public HistoryFixture {
 protected:
  void SetUp() override {
    HistoryFixture::SetUp();
    auto actions = MakeRef<Actions>();
    auto conditions = MakeRef<Conditions>();
    auto commands = MakeRef<Commands>();
    actions->set_context(context_);
    conditions->set_context(context_);
    commands->set_context(context_);
    host_ = script::CreateScriptHost();
    host_->SetLanguage(u"VBScript");
    host_->AddObject(u"actions", actions, true);
    host_->AddObject(u"conditions", conditions, true);
    host_->AddObject(u"commands", commands, true);
  }
  std::string Eval(const std::string& expression) {
    return Text(host_->Eval(automation::FromUtf8(expression)));
  }
  int ErrorOfStatement(const std::string& statement) {
    try {
      host_->ExecuteStatement(automation::FromUtf8(statement));
    } catch (const script::ScriptError& e) {
      return e.number();
    }
    return 0;
  }

  std::unique_ptr<script::ScriptHost> host_;
};

TEST_F(ScriptTest, RuleScriptChoosesABannerFromFactsAndHistory) {
  host_->AddCode(uR"(
Sub StartPrescription()
  Dim f
  Set f = actions.GetFacts()
  f.Doctor.Region = "080"
  f.Patient.Id = "P1"
  f.Patient.SetProblems "250.00;401"
  If MatchPrescriptionsCount(3, 1) And DoctorRegionIs("080|090") And ProblemIcd9Is("250*") Then
    ShowBanner "B12?src=rule"
    commands.DoSetFirstDateOfBannerVisualizationForPatient "B12"
    DoSetBannerKeyData "B12", "ASKED", "si"
  End If
End Sub
)");
  CountPrescription(*context_);
  host_->ExecuteStatement(u"StartPrescription");
  EXPECT_EQ(automation::ToUtf8(context_->Banner()), "B12?src=rule");
  EXPECT_EQ(Ini(u"B12", u"SHOW"), "1");
  EXPECT_EQ(Ini(u"B12", u"FIRSTDATE_P1"), "15/03/2026");

  struct Row { std::string expression; std::string value; };
  const std::vector<Row> rows = {
      {"GetCurrentBanner()", "B12?SRC=RULE"},
      {"conditions.BannerAlreadyShownToday(\"B12\")", "Vero"},
      {"GetBannerKeyData(\"B12\", \"ASKED\")", "si"},
      {"IsFirstBannerVisualizationForPatient(\"B12\")", "Vero"},
      {"GetFirstDateOfBannerVisualizationForPatient(\"B12\")", "15/03/2026"},
      {"IsImplementedFunction(\"DoSetBannerKeyData\")", "Vero"},
      {"IsImplementedFunction(\"ShowBanner\")", "Falso"},
      {"MatchDateRange(\"01/03/2026-31/03/2026\")", "Vero"},
      {"URLEncode(\"a b\")", "a+b"},
      {"actions.GetFacts().Patient.Problems.Count", "2"},
      {"MatchPrescriptionsCount(3, 2)", "Falso"},
      {"TypeName(actions.GetFacts().Prescription.PrescribingDrug)", "Drug"},
  };
  for (const auto& row : rows) EXPECT_EQ(Eval(row.expression), row.value) << row.expression;
}

TEST_F(ScriptTest, ErrorsOfTheRuleObjectsReachTheScript) {
  host_->AddCode(uR"(
Function Trapped(n)
  On Error Resume Next
  If n = 1 Then MatchDateRange "01/03/2026"
  If n = 2 Then MatchPrescriptionsCount 0, 1
  If n = 3 Then MatchDateRange "x-01/03/2026"
  Trapped = Err.Number
End Function
Sub BadRange()
  MatchDateRange "01/03/2026"
End Sub
Sub BadCount()
  conditions.MatchPrescriptionsCount 0, 1
End Sub
)");
  EXPECT_EQ(Eval("Trapped(1)"), "9");
  EXPECT_EQ(Eval("Trapped(2)"), "11");
  EXPECT_EQ(Eval("Trapped(3)"), "13");
  EXPECT_EQ(ErrorOfStatement("BadRange"), automation::err::kSubscriptOutOfRange);
  EXPECT_EQ(ErrorOfStatement("BadCount"), automation::err::kDivisionByZero);
}

TEST_F(ScriptTest, FactsChangedByTheScriptAreTheOnesTheConditionsSee) {
  host_->AddCode(uR"(
Sub Change()
  Dim d
  Set d = actions.GetFacts().Prescription.PrescribingDrug
  d.AIC = "A1"
  d.Substance = "amoxicillina"
  d.Price = "7,50"
  actions.GetFacts().Patient.Sex = "F"
End Sub
)");
  host_->ExecuteStatement(u"Change");
  struct Row { std::string expression; std::string value; };
  for (const auto& row : std::vector<Row>{{"PrescribingProductCodeIs(\"A1\")", "Vero"},
                                          {"PrescribingProductSubstanceIs(\"AMOX*\")", "Vero"},
                                          {"PrescribingProductPriceIsBetween(7.5, 8)", "Vero"},
                                          {"PatientGenderIs(\"F\")", "Vero"},
                                          {"actions.GetFacts().Patient.Gender", "F"}})
    EXPECT_EQ(Eval(row.expression), row.value) << row.expression;
  EXPECT_EQ(ErrorOfStatement("actions.GetFacts().Prescription.PrescribingDrug.Price = \"abc\""),
            automation::err::kTypeMismatch);
}

}  // namespace
}  // namespace brevalcore::rules
