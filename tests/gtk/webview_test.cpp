// The WebKitGTK web view in a real window: loads, the page's mouse presses with the element under
// the mouse, the context menu, navigation failures, silent pages and the body styling.
#include "tests/gtk/webview_fixture.h"

namespace brevalcore::browser {
namespace {

TEST_F(WebViewTest, BannerPageLoadsAndBecomesTheDocument) {
  EXPECT_FALSE(host_->HasDocument());
  ASSERT_TRUE(Load("B12.html", kBannerPage));
  EXPECT_TRUE(host_->HasDocument());
  EXPECT_EQ(ToUtf8(host_->DocumentUrl()), folder_.Url("B12.html"));
  EXPECT_EQ(Eval("document.title"), "B12");
  EXPECT_FALSE(events_.Has("error " + folder_.Url("B12.html")));
}

TEST_F(WebViewTest, QueryTextReachesThePage) {
  const std::string url = folder_.Url("flu.html") + "?id=7";
  folder_.Write("flu.html", "<html><body><script>document.title = location.search;</script></body></html>");
  host_->Navigate(automation::FromUtf8(url));
  ASSERT_TRUE(RunUntil([&] { return events_.Has("complete " + url); }));
  EXPECT_EQ(Eval("document.title"), "?id=7");
}

// The element reported is the one under the mouse, never an enclosing anchor.
TEST_F(WebViewTest, MouseDownReportsButtonAndElementUnderTheMouse) {
  ASSERT_TRUE(Load("B12.html", kBannerPage));
  struct Row {
    const char* id;
    unsigned xButton;
    int button;
    const char* tag;
    bool hasHref;
    const char* href;
    const char* hash;
    const char* text;
  } rows[] = {
      {"prescribe", 1, mouse::kLeft, "A", true, "#PRESCRIBE?aic1", "#PRESCRIBE?aic1", "Prescrivi subito"},
      {"bold", 1, mouse::kLeft, "B", false, "", "", "subito"},
      {"plain", 1, mouse::kLeft, "A", true, "http://example.invalid/info.html", "", "Info"},
      {"image", 1, mouse::kLeft, "IMG", true, "x.html#VOLUNTAS?abc", "", ""},
      {"para", 3, mouse::kRight, "P", false, "", "", "Testo semplice"},
      {"para", 2, mouse::kMiddle, "P", false, "", "", "Testo semplice"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.id) + " button " + std::to_string(row.xButton));
    events_.presses.clear();
    ASSERT_TRUE(ClickElement(host_->WebView(), row.id, row.xButton));
    ASSERT_TRUE(RunUntil([&] { return !events_.presses.empty(); }));
    const auto& press = events_.presses.front();
    EXPECT_EQ(press.button, row.button);
    ASSERT_NE(press.element, nullptr);
    EXPECT_EQ(ToUtf8(press.element->TagName()), row.tag);
    EXPECT_EQ(press.element->HasAttribute(u"href"), row.hasHref);
    EXPECT_EQ(ToUtf8(press.element->GetAttribute(u"href")), row.href);
    EXPECT_EQ(ToUtf8(press.element->Hash()), row.hash);
    EXPECT_EQ(ToUtf8(press.element->InnerText()), row.text);
    EXPECT_EQ(ToUtf8(press.element->Id()), row.id);
    RunFor(50);
  }
}

TEST_F(WebViewTest, ClickOnAnInputRunsItsDefaultAction) {
  ASSERT_TRUE(Load("B12.html", kBannerPage));
  ASSERT_TRUE(ClickElement(host_->WebView(), "check", 1));
  ASSERT_TRUE(RunUntil([&] { return !events_.presses.empty(); }));
  RunFor(300);  // the release of the press is the page's own click
  const std::string before = Eval("String(document.getElementById('check').checked)");
  const std::string after = before == "true" ? "false" : "true";
  events_.presses.back().element->Click();
  EXPECT_TRUE(RunUntil([&] { return Eval("String(document.getElementById('check').checked)") == after; }, 3000));
}

TEST_F(WebViewTest, RightClickAsksTheControlAndNeverShowsThePageMenu) {
  ASSERT_TRUE(Load("B12.html", kBannerPage));
  // The page's own handler must not keep the control from hearing about the right-click.
  Eval("document.addEventListener('contextmenu', function(e){ e.stopPropagation(); }, false); 1");
  ASSERT_TRUE(ClickElement(host_->WebView(), "para", 3));
  ASSERT_TRUE(RunUntil([&] { return events_.Has("menu"); }));
  RunFor(300);
  EXPECT_EQ(VisibleMenuCount(), 0);
}

TEST_F(WebViewTest, FailingNavigationReportsErrorThenCompletion) {
  ASSERT_TRUE(Load("B12.html", kBannerPage));
  events_.log.clear();
  const std::string missing = folder_.Url("missing.html");
  host_->Navigate(automation::FromUtf8(missing));
  ASSERT_TRUE(RunUntil([&] { return !events_.log.empty() && events_.log.back().rfind("complete", 0) == 0; }));
  ASSERT_GE(events_.log.size(), 2u);
  EXPECT_EQ(events_.log[0], "error " + missing);
  EXPECT_EQ(VisibleMenuCount(), 0);
}

// A navigation that replaces one still loading is no failure: the control's blank step does this
// on every change of page.
TEST_F(WebViewTest, InterruptedNavigationIsNoError) {
  folder_.Write("B12.html", kBannerPage);
  host_->Navigate(u"about:blank");
  host_->Navigate(automation::FromUtf8(folder_.Url("B12.html")));
  ASSERT_TRUE(RunUntil([&] { return events_.Has("complete " + folder_.Url("B12.html")); }));
  for (const auto& entry : events_.log) EXPECT_EQ(entry.rfind("error", 0), std::string::npos) << entry;
}

TEST_F(WebViewTest, FramesReportTheirCompletionToo) {
  folder_.Write("inner.html", "<html><body>dentro</body></html>");
  ASSERT_TRUE(Load("outer.html", "<html><body><iframe src='inner.html'></iframe></body></html>"));
  EXPECT_TRUE(RunUntil([&] { return events_.Has("complete " + folder_.Url("inner.html")); }));
}

TEST_F(WebViewTest, BodyHasNoBorderAndNoScrollBarsAfterStyling) {
  ASSERT_TRUE(Load("B12.html", kBannerPage));
  EXPECT_EQ(Eval("getComputedStyle(document.body).borderTopStyle"), "solid");
  // The wheel scrolls the tall page before the styling...
  ScrollDownAt(host_->WebView(), 100, 100, 5);
  EXPECT_TRUE(RunUntil([&] { return Eval("String(window.scrollY > 0)") == "true"; }, 3000));
  Eval("window.scrollTo(0, 0); 1");
  host_->RemoveBodyBorderAndScrollBars();
  EXPECT_TRUE(RunUntil([&] { return Eval("getComputedStyle(document.body).borderTopStyle") == "none"; }, 3000));
  EXPECT_EQ(Eval("document.body.getAttribute('scroll')"), "no");
  EXPECT_EQ(Eval("getComputedStyle(document.documentElement).overflow"), "hidden");
  // ...and not after it.
  ScrollDownAt(host_->WebView(), 100, 100, 5);
  RunFor(500);
  EXPECT_EQ(Eval("String(window.scrollY)"), "0");
}

TEST_F(WebViewTest, SilentPageRaisesNoDialogs) {
  host_->SetSilent(true);
  ASSERT_TRUE(Load("alert.html",
                   "<html><body><script>alert('x'); confirm('y'); document.title='after';</script></body></html>"));
  EXPECT_TRUE(RunUntil([&] { return Eval("document.title") == "after"; }, 5000));
}

TEST_F(WebViewTest, ClickIntoThePageReportsFocusAndTheTextBoxTakesIt) {
  ASSERT_TRUE(Load("B12.html", kBannerPage));
  gtk_widget_grab_focus(host_->FocusHolderWidget());
  events_.log.clear();
  ASSERT_TRUE(ClickElement(host_->WebView(), "para", 1));
  ASSERT_TRUE(RunUntil([&] { return events_.Has("focus mouse"); }));
  host_->FocusHolder();
  EXPECT_TRUE(gtk_widget_has_focus(host_->FocusHolderWidget()));
}

TEST_F(WebViewTest, VisibilityAndSize) {
  host_->Resize(320, 120);
  host_->SetVisible(false);
  EXPECT_FALSE(host_->IsVisible());
  host_->SetVisible(true);
  RunUntil([&] { return gtk_widget_get_allocated_height(host_->Widget()) >= 120; }, 2000);
  EXPECT_GE(gtk_widget_get_allocated_width(host_->Widget()), 320);
  EXPECT_GE(gtk_widget_get_allocated_height(host_->Widget()), 120);
}

}  // namespace
}  // namespace brevalcore::browser
