#include <gtest/gtest.h>

#include <sstream>

#include "fake_host.h"
#include "platform/ui/console_ui.h"
#include "platform/ui/forms.h"

namespace brevalcore::ui {
namespace {

using commands::testing::U8;

TEST(ConsoleUserInterface, FormsFollowTheTypedAnswers) {
  struct Row { const char* name; const char* input; bool single; const char* list; };
  const Row rows[] = {
      {"toggle two, OK", "1\n3\nok\n", false, "aic1&aic3"},
      {"all then untoggle", "t\n2\nOK\n", false, "aic1&aic3"},
      {"single choice: last wins, T ignored", "1\n3\nt\nok\n", true, "aic3"},
      {"annulla", "1\na\n", false, ""},
      {"end of input cancels", "1\n", false, ""},
  };
  for (const Row& row : rows) {
    std::istringstream in(row.input);
    std::ostringstream out;
    ConsoleUserInterface ui(in, out);
    SelezioneFarmaciForm form;
    form.AddDrug(u"aic1", u"Uno");
    form.AddDrug(u"aic2", u"Due");
    form.AddDrug(u"aic3", u"Tre");
    form.SetSingleChoice(row.single);
    ui.ShowSelezioneFarmaci(form);
    EXPECT_EQ(U8(form.GetDrugList()), row.list) << row.name;
  }
}

TEST(ConsoleUserInterface, ShortcutWaitsForItsTimer) {
  {
    std::istringstream in("");
    std::ostringstream out;
    int waited = -1;
    ConsoleUserInterface ui(in, out, [&](int ms) { waited = ms; });
    ShortcutFormModel timed(u"Agenda", u"http://x", 3);
    timed.Load();
    ui.ShowShortcutForm(timed);
    EXPECT_EQ(waited, 3000);
    EXPECT_TRUE(timed.Closed());
  }
}

}  // namespace
}  // namespace brevalcore::ui
