#include <gtest/gtest.h>

#include "fake_host.h"
#include "platform/automation/error.h"
#include "platform/ui/forms.h"

namespace brevalcore::ui {
namespace {

using commands::testing::U16;
using commands::testing::U8;

std::string Joined(const std::vector<String>& lines) {
  std::string out;
  for (const auto& l : lines) out += (out.empty() ? "" : "|") + U8(l);
  return out;
}

TEST(PersInformerForm, SortsRemovesAndWritesTheRemainingEntries) {
  struct Row {
    const char* name;
    std::vector<std::string> actions;  // "select N", "remove", "removeall", "dbl N"
    const char* lines;
    const char* section;
  };
  const Row rows[] = {
      {"sorted by display, blank display hidden", {}, "A|B|C", "a=1\r\nb=2\r\nc=3"},
      {"remove the selected line", {"select 1", "remove"}, "A|C", "a=1\r\nc=3"},
      {"remove without a selection", {"remove"}, "A|B|C", "a=1\r\nb=2\r\nc=3"},
      {"selection is gone after a remove", {"select 0", "remove", "remove"}, "B|C", "b=2\r\nc=3"},
      {"double click removes", {"dbl 2"}, "A|B", "a=1\r\nb=2"},
      {"remove all", {"removeall", "remove"}, "", ""},
  };
  for (const Row& row : rows) {
    PersInformerForm form;
    form.AddDrug(u"C", u"c=3");
    form.AddDrug(u"", u"blank=0");
    form.AddDrug(u"A", u"a=1");
    form.AddDrug(u"B", u"b=2");
    form.Fill();
    EXPECT_TRUE(form.RemoveEnabled());
    for (const std::string& action : row.actions) {
      if (action.starts_with("select ")) form.Select(std::stoul(action.substr(7)));
      else if (action.starts_with("dbl ")) form.DoubleClick(std::stoul(action.substr(4)));
      else if (action == "remove") form.Remove();
      else if (action == "removeall") form.RemoveAll();
    }
    EXPECT_EQ(Joined(form.LineTexts()), row.lines) << row.name;
    EXPECT_EQ(U8(form.SectionText()), row.section) << row.name;
    EXPECT_TRUE(form.RemoveEnabled()) << row.name;  // not updated while open
  }
}

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

TEST(ShellListForm, SelectionAndOutcome) {
  struct Row { const char* name; bool withLines; std::vector<std::string> actions; const char* chosen; };
  const Row rows[] = {
      {"first line selected on activation", true, {"ok"}, "a.pdf"},
      {"double click chooses", true, {"dbl 1"}, "b.pdf"},
      {"ctrl+enter", true, {"select 1", "ctrlenter"}, "b.pdf"},
      {"cancel", true, {"select 1", "cancel"}, ""},
      {"no lines: nothing selectable", false, {"select 0", "ok"}, ""},
  };
  for (const Row& row : rows) {
    ShellListForm form;
    if (row.withLines) {
      form.AddDocument(u"a.pdf", u"Scheda A");
      form.AddDocument(u"b.pdf", u"Scheda B");
    }
    form.SetTitle(u"Documenti");
    form.Activate();
    for (const std::string& a : row.actions) {
      if (a.starts_with("select ")) form.Select(std::stoul(a.substr(7)));
      else if (a.starts_with("dbl ")) form.DoubleClick(std::stoul(a.substr(4)));
      else if (a == "ok") form.Ok();
      else if (a == "ctrlenter") form.CtrlEnter();
      else if (a == "cancel") form.Cancel();
    }
    EXPECT_EQ(U8(form.GetSelectedDocument()), row.chosen) << row.name;
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
