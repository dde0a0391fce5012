#include "platform/automation/diagnostics.h"
#include "tests/control/control_fixture.h"

namespace brevalcore::control::testing {
namespace {

using Strings = std::vector<std::string>;

TEST_F(ControlTest, TwoRunsChoosingTheSameBannerNavigateOnce) {
  ASSERT_TRUE(Start());
  ChooseBanner("StartPrescription", u"B12");
  Control().StartPrescription();  // AfterSelect (closing the loading mode), then StartPrescription
  browser_.RunMessageLoop();
  const Strings first = Navigations();
  Control().PrescribingDrug(u"aic1", u"", false, u"", {});
  browser_.RunMessageLoop();
  EXPECT_EQ(Navigations(), first);
  ASSERT_GE(first.size(), 2u);
  EXPECT_EQ(first[first.size() - 2], "about:blank");
  EXPECT_EQ(first.back(), Url("B12.html"));
  EXPECT_EQ(ToUtf8(Control().CurrentUrl()), Url("B12.html"));
  EXPECT_EQ(ToUtf8(Control().context()->Banner()), "B12");
  // On completion the control attaches to the page and removes border and scroll bars.
  ASSERT_TRUE(browser_.document());
  EXPECT_TRUE(browser_.document()->bodyBorderNone);
  EXPECT_TRUE(browser_.document()->bodyScrollNo);
}

TEST_F(ControlTest, WithNoBannerAndOfflineTheOfflinePageIsShown) {
  storage::WriteIni(IniPath(), u"BVC", u"Offline", u"1");
  ASSERT_TRUE(Start());
  EXPECT_TRUE(Control().OfflineMenuChecked());
  Control().AddProblemToPrescription(u"X");
  EXPECT_EQ(Navigations().back(), Url("offline.html"));
}

TEST_F(ControlTest, OfflineSettingReadsOnlyOneAsOffline) {
  struct Row { const char16_t* stored; bool offline; };
  const std::vector<Row> rows = {{u"1", true}, {u"0", false}, {u"yes", false}, {nullptr, false}};
  for (const auto& row : rows) {
    control_.reset();
    if (row.stored) storage::WriteIni(IniPath(), u"BVC", u"Offline", row.stored);
    else storage::DeleteIniKey(IniPath(), u"BVC", u"Offline");
    ASSERT_TRUE(Start());
    EXPECT_EQ(Control().context()->Offline(), row.offline) << (row.stored ? ToUtf8(row.stored) : "none");
  }
}

TEST_F(ControlTest, AFailingNavigationSwitchesToOfflineAndRemembersIt) {
  world_.procedures["BeforeInitialize"] = [this] {
    control_->context()->SetServiziTirsaPage(u"https://servizi.invalid/home");
  };
  ASSERT_TRUE(Start());
  EXPECT_EQ(ToUtf8(Control().DefaultPage()).rfind("https://servizi.invalid/home?", 0), 0u);
  Control().AddProblemToPrescription(u"X");
  browser_.RunMessageLoop();
  EXPECT_EQ(ToUtf8(browser_.DocumentUrl()), Url("offline.html"));
  EXPECT_EQ(ToUtf8(Control().CurrentUrl()), Url("offline.html"));
  EXPECT_TRUE(Control().context()->Offline());
  EXPECT_TRUE(Control().OfflineMenuChecked());
  EXPECT_EQ(Ini(u"BVC", u"Offline"), "1");
  EXPECT_EQ(ToUtf8(Control().DefaultPage()), Url("offline.html"));

  // The doctor clears "Offline": stored at once, shown from the next script run.
  const size_t navigations = Navigations().size();
  ui_.AnswerNext(u"Offline");
  EXPECT_FALSE(browser_.RightClick());
  EXPECT_EQ(Ini(u"BVC", u"Offline"), "0");
  EXPECT_FALSE(Control().OfflineMenuChecked());
  EXPECT_EQ(Navigations().size(), navigations);
  Control().AddProblemToPrescription(u"Y");
  EXPECT_EQ(Navigations().back().rfind("https://servizi.invalid/home?", 0), 0u);
}

// A page that cannot be shown leads to the offline page; when that cannot be shown either,
// the control settles on a blank page after one try, and says why in its log.
TEST_F(ControlTest, WhenTheOfflinePageFailsTooABlankPageIsShownOnce) {
  struct Row {
    const char* name;
    bool offlinePagePresent;
    bool startOffline;       // the doctor's settings say offline: the default page is the offline page
    const char* banner;      // chosen by StartPrescription, or null for the default page
    const char* shownAtEnd;  // file name in the banner folder, or "about:blank"
    size_t logLines;
  };
  const Row rows[] = {
      {"unreachable default page, no offline page", false, false, nullptr, "about:blank", 1},
      {"offline from the start, no offline page", false, true, nullptr, "about:blank", 1},
      {"missing banner page, no offline page", false, false, "B13", "about:blank", 1},
      {"missing banner page, offline page present", true, false, "B13", "offline.html", 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    control_.reset();
    automation::ClearDiagnostics();
    fs::remove(bannerFolder_ / "offline.html");
    if (row.offlinePagePresent) WriteBannerFile("offline.html", "<html><body>offline</body></html>");
    storage::WriteIni(IniPath(), u"BVC", u"Offline", row.startOffline ? u"1" : u"0");
    world_.procedures["BeforeInitialize"] = [this] {
      control_->context()->SetServiziTirsaPage(u"https://servizi.invalid/home");
    };
    world_.procedures["StartPrescription"] = {};
    if (row.banner) ChooseBanner("StartPrescription", FromUtf8(row.banner));
    ASSERT_TRUE(Start());
    const size_t before = Navigations().size();
    Control().StartPrescription();
    EXPECT_LT(browser_.RunMessageLoop(), 10);  // settles, instead of running into the loop guard
    EXPECT_FALSE(browser_.HasPendingEvents());
    const std::string shown = row.shownAtEnd == std::string("about:blank") ? row.shownAtEnd : Url(row.shownAtEnd);
    EXPECT_EQ(ToUtf8(browser_.DocumentUrl()), shown);
    // At most: AfterSelect's page (ending the loading mode) and StartPrescription's, each
    // through about:blank, then the offline page and the blank page.
    EXPECT_LE(Navigations().size() - before, 6u);
    const auto logged = automation::Diagnostics();
    ASSERT_EQ(logged.size(), row.logLines);
    if (row.logLines) {
      EXPECT_EQ(logged[0].source, "banner view");
      EXPECT_NE(logged[0].message.find("offline.html"), std::string::npos) << logged[0].message;
    }
    // The next run tries again, and settles again.
    Control().StartPrescription();
    EXPECT_LT(browser_.RunMessageLoop(), 10);
  }
}

TEST_F(ControlTest, RightClickShowsTheControlsMenuAndRaisesOnClick) {
  ASSERT_TRUE(Start());
  ChooseBanner("AfterSelect", u"B12");
  Control().AddProblemToPrescription(u"X");
  browser_.RunMessageLoop();
  events_.lines.clear();
  ui_.AnswerNext(u"Annulla");
  EXPECT_FALSE(browser_.RightClick(10, 20));  // the web view's own menu never shows
  ASSERT_FALSE(ui_.shown().empty());
  EXPECT_EQ(ui_.shown().back().kind, u"menu");
  EXPECT_EQ(events_.lines, Strings{"OnClick 2"});
}

TEST_F(ControlTest, TheMenuOpensTheSubstitutionList) {
  ASSERT_TRUE(Start());
  browser_.RunMessageLoop();
  ui_.AnswerNext(u"Gestione sostituzioni farmaci");
  browser_.RightClick();
  EXPECT_EQ(MessageTexts(), Strings{"Non ci sono farmaci sostituiti in automatico"});
  EXPECT_EQ(ToUtf8(ui_.shown().back().title), "Canale informativo");
}

// A press in the page sends the focus to txt_Focus (and back to the host when forced); focus
// that came by the keyboard stays in the page. Counts are cumulative over the rows.
TEST_F(ControlTest, FocusGoesToTheHolderAfterAPressAndStaysAfterTheKeyboard) {
  using browser::FocusCause;
  struct Row { FocusCause cause; bool forceFocusBack; int holder, backAndForth; };
  for (const Row row : {Row{FocusCause::MousePress, false, 1, 0}, Row{FocusCause::MousePress, true, 2, 1},
                        Row{FocusCause::Keyboard, true, 2, 1}, Row{FocusCause::Keyboard, false, 2, 1}}) {
    Control().SetForceFocusBack(row.forceFocusBack);
    browser_.GotFocus(row.cause);
    EXPECT_EQ(browser_.holderFocusCount(), row.holder);
    EXPECT_EQ(browser_.focusBackThenForwardCount(), row.backAndForth);
  }
}

// Enter on a focused link is the keyboard's press: same command, same events.
TEST_F(ControlTest, EnterOnAFocusedLinkActsAsALeftPress) {
  ASSERT_TRUE(Start());
  ChooseBanner("StartPrescription", u"B12");
  Control().StartPrescription();
  browser_.RunMessageLoop();
  browser_.ActivateLink(browser_.document()->FindById(u"p"));
  EXPECT_EQ(events_.lines, (Strings{"OnCommandClickExtended PRESCRIBE aic1 ", "OnClick 1"}));
  EXPECT_EQ(Ini(u"B12", u"PRESCRIBE"), "1");
}

// A plain link opens in the system's browser and the banner stays: neither the link nor a
// script of the page moves the top document, so an unreachable site cannot switch the control
// offline.
TEST_F(ControlTest, APlainLinkOpensOutsideAndTheBannerStays) {
  WriteBannerFile("B12.html", "<html><body><a id=w href='https://unreachable.invalid/x'>Sito</a></body></html>");
  ASSERT_TRUE(Start());
  ChooseBanner("StartPrescription", u"B12");
  Control().StartPrescription();
  browser_.RunMessageLoop();
  browser_.MouseDown(browser::mouse::kLeft, browser_.document()->FindById(u"w"));
  for (const char16_t* url : {u"https://unreachable.invalid/x", u"file:///etc/passwd", u"about:blank"})
    EXPECT_FALSE(browser_.PageNavigates(url)) << ToUtf8(url);
  browser_.RunMessageLoop();
  ASSERT_EQ(shell_.opened.size(), 1u);
  EXPECT_EQ(ToUtf8(shell_.opened[0]), "https://unreachable.invalid/x");
  EXPECT_EQ(events_.lines, Strings{"OnClick 1"});
  EXPECT_EQ(ToUtf8(browser_.DocumentUrl()), Url("B12.html"));
  EXPECT_EQ(ToUtf8(Control().CurrentUrl()), Url("B12.html"));
  EXPECT_FALSE(Control().OfflineMenuChecked());
  EXPECT_EQ(Ini(u"BVC", u"Offline"), "");
}

// The Overview's typical event: the script chooses B12 at the start of a prescription, the
// page is shown, and a press on a prescribe link reaches the host.
TEST_F(ControlTest, TypicalEventFromStartPrescriptionToTheClick) {
  ASSERT_TRUE(Start());
  ChooseBanner("StartPrescription", u"B12");
  Control().StartPrescription();
  browser_.RunMessageLoop();
  EXPECT_EQ(ToUtf8(browser_.DocumentUrl()), Url("B12.html"));
  browser_.MouseDown(browser::mouse::kLeft, browser_.document()->FindById(u"p"));
  EXPECT_EQ(events_.lines, (Strings{"OnCommandClickExtended PRESCRIBE aic1 ", "OnClick 1"}));
  EXPECT_EQ(Ini(u"B12", u"PRESCRIBE"), "1");
}

}  // namespace
}  // namespace brevalcore::control::testing
