#include <gtest/gtest.h>

#include "fake_host.h"
#include "platform/automation/error.h"
#include "platform/ui/forms.h"

namespace brevalcore::ui {
namespace {

using commands::testing::U16;
using commands::testing::U8;

TEST(SelezioneFarmaciForm, CheckingAndTheListItGives) {
  struct Row {
    const char* name;
    bool single;
    std::vector<std::string> actions;  // "+N", "-N", "all", "none", "ok", "cancel", "ctrlenter"
    const char* list;
  };
  const Row rows[] = {
      {"multiple: line order, not click order", false, {"+2", "+0", "ok"}, "aic1&aic3"},
      {"multiple: all", false, {"all", "ok"}, "aic1&aic2&aic3"},
      {"multiple: all then none", false, {"all", "none", "ok"}, ""},
      {"nothing checked", false, {"ok"}, ""},
      {"cancel with lines checked", false, {"+1", "cancel"}, ""},
      {"closed without a button", false, {"+1"}, ""},
      {"ctrl+enter is OK", false, {"+1", "ctrlenter"}, "aic2"},
      {"single: last checked wins", true, {"+0", "+2", "ok"}, "aic3"},
      {"single: unchecking the only line", true, {"+0", "-0", "ok"}, ""},
      {"single: uncheck another line", true, {"+0", "-1", "ok"}, "aic1"},
  };
  for (const Row& row : rows) {
    SelezioneFarmaciForm form;
    form.AddDrug(u"aic1", u"Uno");
    form.AddDrug(u"aic2", u"Due");
    form.AddDrug(u"aic3", u"Tre");
    form.SetSingleChoice(row.single);
    EXPECT_EQ(form.AllNoneVisible(), !row.single);
    for (const std::string& a : row.actions) {
      if (a[0] == '+') form.SetChecked(std::stoul(a.substr(1)), true);
      else if (a[0] == '-') form.SetChecked(std::stoul(a.substr(1)), false);
      else if (a == "all") form.CheckAll();
      else if (a == "none") form.UncheckAll();
      else if (a == "ok") form.Ok();
      else if (a == "ctrlenter") form.CtrlEnter();
      else if (a == "cancel") form.Cancel();
      if (row.single) {
        int checked = 0;
        for (size_t i = 0; i < form.LineCount(); ++i) checked += form.IsChecked(i);
        EXPECT_LE(checked, 1) << row.name;
      }
    }
    EXPECT_EQ(U8(form.GetDrugList()), row.list) << row.name;
  }
}

TEST(ShortcutFormModel, TimerIntervalInSixteenBits) {
  struct Row { int16_t seconds; int32_t interval; bool enabled; int32_t error; };
  const Row rows[] = {
      {0, 0, false, 0},      {1, 1000, true, 0},   {3, 3000, true, 0}, {32, 32000, true, 0},
      {33, 0, false, 6},     {-1, 0, false, 380},  {-32, 0, false, 380}, {-33, 0, false, 6},
  };
  for (const Row& row : rows) {
    ShortcutFormModel form(u"Agenda", u"http://x", row.seconds);
    try {
      form.Load();
      EXPECT_EQ(row.error, 0) << row.seconds;
      EXPECT_EQ(form.TimerIntervalMs(), row.interval) << row.seconds;
      EXPECT_EQ(form.TimerEnabled(), row.enabled) << row.seconds;
    } catch (const automation::AutomationError& e) {
      EXPECT_EQ(e.number(), row.error) << row.seconds;
    }
  }
  ShortcutFormModel form(u"Agenda", u"http://x", 0);
  form.Load();
  EXPECT_EQ(form.Caption(), u" Collegamento a Agenda");
  form.TimerFired();
  EXPECT_FALSE(form.Closed());  // no timer: stays open until closed
  form.Close();
  EXPECT_TRUE(form.Closed());
}

}  // namespace
}  // namespace brevalcore::ui
