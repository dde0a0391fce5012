#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/browser/headless_browser.h"

namespace brevalcore::browser {
namespace {

namespace fs = std::filesystem;
using automation::FromUtf8;
using automation::ToUtf8;

// Records the browser's events in one line each.
struct Recorder : BrowserEvents {
  std::vector<std::string> lines;
  std::function<void()> onComplete;
  void OnNavigateError(StringView url) override { lines.push_back("error " + ToUtf8(url)); }
  void OnDocumentComplete(StringView url) override {
    lines.push_back("complete " + ToUtf8(url));
    if (onComplete) onComplete();
  }
  void OnUpdatePageStatus() override { lines.push_back("status"); }
  void OnGotFocus(FocusCause cause) override {
    lines.push_back(cause == FocusCause::MousePress ? "focus mouse" : "focus keyboard");
  }
  void OnLinkActivated(std::shared_ptr<Element> element) override {
    lines.push_back("activate " + (element ? ToUtf8(element->TagName()) : "-"));
  }
  bool OnPageNavigation(StringView url) override {
    lines.push_back("page navigation " + ToUtf8(url));
    return allowPageNavigation;
  }
  bool allowPageNavigation = false;
  void OnMouseDown(int button, std::shared_ptr<Element> element) override {
    lines.push_back("mousedown " + std::to_string(button) + " " + (element ? ToUtf8(element->TagName()) : "-"));
  }
  bool OnContextMenu(int, int) override {
    lines.push_back("contextmenu");
    return false;
  }
};

class HeadlessBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("bvc-browser-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    browser_.SetEvents(&events_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  String Write(const std::string& name, const std::string& html) {
    std::ofstream(dir_ / name) << html;
    return FromUtf8("file://" + (dir_ / name).string());
  }

  fs::path dir_;
  HeadlessBrowser browser_;
  Recorder events_;
};

TEST_F(HeadlessBrowserTest, EventsWaitForTheMessageLoop) {
  const String page = Write("a.html", "<p>x</p>");
  struct Row { String url; std::vector<std::string> expected; };
  const std::vector<Row> rows = {
      {u"about:blank", {"complete about:blank"}},
      {page + u"?id=7", {"complete " + ToUtf8(page) + "?id=7"}},
      {FromUtf8("file://" + (dir_ / "missing.html").string()),
       {"error file://" + (dir_ / "missing.html").string(), "complete file://" + (dir_ / "missing.html").string()}},
      {FromUtf8("file://" + dir_.string()), {"error file://" + dir_.string(), "complete file://" + dir_.string()}},
      {u"http://example.invalid/page", {"error http://example.invalid/page", "complete http://example.invalid/page"}},
  };
  for (const auto& row : rows) {
    events_.lines.clear();
    browser_.Navigate(row.url);
    EXPECT_TRUE(events_.lines.empty()) << ToUtf8(row.url);
    browser_.RunMessageLoop();
    EXPECT_EQ(events_.lines, row.expected) << ToUtf8(row.url);
    EXPECT_EQ(browser_.DocumentUrl(), row.url);
  }
}

TEST_F(HeadlessBrowserTest, DeclaredReachableAddressesLoad) {
  browser_.DeclareReachable(u"https://servizi.example/");
  browser_.Navigate(u"https://servizi.example/home?Serial_number=1");
  browser_.RunMessageLoop();
  EXPECT_EQ(events_.lines, std::vector<std::string>{"complete https://servizi.example/home?Serial_number=1"});
}

TEST_F(HeadlessBrowserTest, ANewNavigationCancelsThePendingOne) {
  browser_.Navigate(u"http://unreachable.invalid/");
  browser_.Navigate(u"about:blank");
  browser_.RunMessageLoop();
  EXPECT_EQ(events_.lines, std::vector<std::string>{"complete about:blank"});
}

TEST_F(HeadlessBrowserTest, DoYieldDeliversOnlyWhatWasPending) {
  const String page = Write("b.html", "<p>b</p>");
  events_.onComplete = [&] {
    events_.onComplete = nullptr;
    browser_.Navigate(page);
  };
  browser_.Navigate(u"about:blank");
  browser_.DoYield();
  EXPECT_EQ(events_.lines, std::vector<std::string>{"complete about:blank"});
  EXPECT_TRUE(browser_.HasPendingEvents());
  browser_.DoYield();
  EXPECT_EQ(events_.lines.back(), "complete " + ToUtf8(page));
}

TEST_F(HeadlessBrowserTest, ALoadThatFailsForeverDoesNotHang) {
  events_.onComplete = [&] { browser_.Navigate(u"http://down.invalid/"); };
  browser_.Navigate(u"http://down.invalid/");
  EXPECT_EQ(browser_.RunMessageLoop(), HeadlessBrowser::kMaxEventsPerLoop);
}

TEST_F(HeadlessBrowserTest, ElementsOfferWhatTheClickHandlingReads) {
  browser_.Navigate(Write("c.html",
                          "<html><body><a id=p href='banner.html#PRESCRIBE?aic1'>  Prescrivi\n  <b>ora</b> </a>"
                          "<a id=plain href='http://x/'>x</a><a id=empty href='page.html#'>e</a>"
                          "<img id=i src='i.png' HREF='#SHELL?a.pdf'><input id=n type=button value=ok>"
                          "<font id=f>caf\xE8</font></body></html>"));
  browser_.RunMessageLoop();
  const auto& document = browser_.document();
  struct Row { const char16_t* id; String tag; String hash; bool hasHref; String href; String text; };
  const std::vector<Row> rows = {
      {u"p", u"A", u"#PRESCRIBE?aic1", true, u"banner.html#PRESCRIBE?aic1", u"Prescrivi ora"},
      {u"plain", u"A", u"", true, u"http://x/", u"x"},
      {u"empty", u"A", u"", true, u"page.html#", u"e"},
      {u"i", u"IMG", u"", true, u"#SHELL?a.pdf", u""},
      {u"n", u"INPUT", u"", false, u"", u""},
      {u"f", u"FONT", u"", false, u"", u"caf\u00E8"},  // the page was not UTF-8: read as Windows-1252
  };
  for (const auto& row : rows) {
    auto element = document->FindById(row.id);
    ASSERT_TRUE(element) << ToUtf8(row.id);
    EXPECT_EQ(element->TagName(), row.tag) << ToUtf8(row.id);
    EXPECT_EQ(element->Hash(), row.hash) << ToUtf8(row.id);
    EXPECT_EQ(element->HasAttribute(u"href"), row.hasHref) << ToUtf8(row.id);
    EXPECT_EQ(element->GetAttribute(u"href"), row.href) << ToUtf8(row.id);
    EXPECT_EQ(element->InnerText(), row.text) << ToUtf8(row.id);
  }
  const String text = u"Prescrivi ora";
  EXPECT_TRUE(document->FindAnchor(u"banner.html#PRESCRIBE?aic1", &text));
  EXPECT_TRUE(document->FindAnchor(u"banner.html#PRESCRIBE?aic1", nullptr));
  const String other = u"other";
  EXPECT_FALSE(document->FindAnchor(u"banner.html#PRESCRIBE?aic1", &other));
}

TEST_F(HeadlessBrowserTest, StylingAndUserActionsReachTheHost) {
  browser_.Navigate(u"about:blank");
  browser_.RunMessageLoop();
  browser_.RemoveBodyBorderAndScrollBars();
  EXPECT_TRUE(browser_.document()->bodyBorderNone);
  EXPECT_TRUE(browser_.document()->bodyScrollNo);
  events_.lines.clear();
  EXPECT_FALSE(browser_.RightClick());
  browser_.GotFocus(FocusCause::Keyboard);
  browser_.ActivateLink(nullptr);
  EXPECT_EQ(events_.lines,
            (std::vector<std::string>{"mousedown 2 BODY", "contextmenu", "focus keyboard", "activate -"}));
}

// A page's own navigation is shown only when the control allows it.
TEST_F(HeadlessBrowserTest, PageNavigationAsksTheControl) {
  for (const bool allow : {false, true}) {
    SCOPED_TRACE(allow);
    browser_.Navigate(u"about:blank");
    browser_.RunMessageLoop();
    events_.lines.clear();
    events_.allowPageNavigation = allow;
    EXPECT_EQ(browser_.PageNavigates(u"https://elsewhere.invalid/"), allow);
    browser_.RunMessageLoop();
    std::vector<std::string> expected{"page navigation https://elsewhere.invalid/"};
    if (allow) {
      expected.push_back("error https://elsewhere.invalid/");
      expected.push_back("complete https://elsewhere.invalid/");
    }
    EXPECT_EQ(events_.lines, expected);
    EXPECT_EQ(browser_.navigations().back(), u"about:blank");  // the control's navigations only
  }
}

}  // namespace
}  // namespace brevalcore::browser
