// The whole path in a real window: the control embedded through the GTK widget, its rule script
// choosing a banner, the web view showing it, and the doctor's mouse on the rendered page
// reaching the host as events, the control's menu and the offline switch.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/automation/convert.h"
#include "tests/gtk/gtk_test_support.h"
#include "tools/demo/banner_widget.h"

namespace brevalcore::demo {
namespace {

using automation::String;
using automation::ToUtf8;
using namespace gtktest;

constexpr char kScript[] = R"(Sub BeforeInitialize()
End Sub
Sub StartPrescription()
  actions.ShowBanner "B12"
End Sub
Sub BeforeSelect()
End Sub
Sub AfterSelect()
  actions.ShowBanner "missing?x=1"
End Sub
)";

// The title sits in the top-left corner, where banners put their picture and title.
constexpr char kBanner[] = R"(<html><body style="border: 4px solid red; margin: 0">
<a id="title" href="#VOLUNTAS?titolo" style="display:block; width:180px; height:40px; background:#def">Titolo</a>
<img id="picture" href="#VOLUNTAS?immagine" width="60" height="40" style="background:blue">
<p><a id="prescribe" href="#PRESCRIBE?aic1&aic2?MODE=1">Prescrivi <b id="bold">subito</b></a></p>
<p><a id="voluntas" href="#VOLUNTAS?abc">Voluntas</a></p>
<p id="para">Testo semplice</p>
<div style="height: 3000px"></div>
</body></html>)";

struct RecordingSink : automation::EventSink {
  std::vector<std::string> events;
  void OnEvent(automation::DispId, automation::StringView name, std::span<automation::Variant> args) override {
    std::string line = ToUtf8(name) + "(";
    for (size_t i = 0; i < args.size(); ++i) line += (i ? "," : "") + ToUtf8(automation::ToString(args[i]));
    events.push_back(line + ")");
  }
};

class BannerWidgetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    BREVALCORE_REQUIRE_DISPLAY();
    const auto banners = folder_.path() / "data" / "Brevalcore";
    std::filesystem::create_directories(banners);
    std::filesystem::create_directories(folder_.path() / "control");
    std::ofstream(banners / "banner.script") << kScript;
    std::ofstream(banners / "B12.html") << kBanner;
    std::ofstream(banners / "offline.html") << "<html><body>Non in linea</body></html>";
    setenv("BREVALCORE_COMMON_APPDATA", (folder_.path() / "data").c_str(), 1);
    setenv("BREVALCORE_CONTROL_DIR", (folder_.path() / "control").c_str(), 1);

    control::ControlServices services;
    services.packageUpdate = [](const packages::UpdateRequest&, packages::UpdateServices&) {
      packages::UpdateOutcome outcome;
      outcome.usable = true;
      return outcome;
    };
    widget_ = std::make_unique<BannerWidget>(std::move(services));
    widget_->Control().Connect(&sink_);
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window_), 400, 300);
    // A field of the host before the control, where the focus lands when it is sent back.
    before_ = gtk_entry_new();
    g_signal_connect(before_, "focus-in-event", G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer data) {
                       ++*static_cast<int*>(data);
                       return FALSE;
                     }),
                     &beforeFocused_);
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_box_pack_start(GTK_BOX(box), before_, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), widget_->Widget(), TRUE, TRUE, 0);
    gtk_container_add(GTK_CONTAINER(window_), box);
    gtk_widget_show_all(window_);
    ASSERT_TRUE(ActivateWindow(window_));
    RunUntil([&] { return gtk_widget_get_allocated_width(widget_->Browser().Widget()) > 300; });

    ASSERT_TRUE(widget_->Control().InitializeContext(true, u"DEMO", u"MED1", u"080", u"101", u"MMG", true, u"",
                                                     u"Serial_Number=1&Software=DEMO&Versione=1"));
    ASSERT_TRUE(widget_->Control().StartPrescription());
    ASSERT_TRUE(WaitForPage("B12.html"));
  }
  void TearDown() override {
    if (widget_) widget_->Control().Disconnect(&sink_);
    widget_.reset();
    if (window_) gtk_widget_destroy(window_);
  }

  // Waits until the web view shows the page and has finished with it.
  bool WaitForPage(const std::string& name) {
    WebKitWebView* view = widget_->Browser().WebView();
    const bool shown = RunUntil([&] {
      const std::string url = ToUtf8(widget_->Browser().DocumentUrl());
      return url.find("/" + name) != std::string::npos && !webkit_web_view_is_loading(view);
    });
    RunFor(200);  // the completion event reaches the control after the load has finished
    return shown;
  }
  std::string Eval(const std::string& script) { return EvaluateScript(widget_->Browser().WebView(), script); }
  std::string IniText() {
    std::ifstream in(folder_.path() / "control" / "BVC_MED1.INI");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  TempFolder folder_;
  RecordingSink sink_;
  std::unique_ptr<BannerWidget> widget_;
  GtkWidget* window_ = nullptr;
  GtkWidget* before_ = nullptr;
  int beforeFocused_ = 0;
};

TEST_F(BannerWidgetTest, CommandLinkPressRaisesTheHostEvents) {
  struct Row {
    const char* id;
    unsigned xButton;
    std::vector<std::string> events;
  } rows[] = {
      {"voluntas", 1, {"OnCommandClick(VOLUNTAS,abc)", "OnClick(1)"}},
      {"bold", 1, {"OnClick(1)"}},  // the element under the mouse is no link
      {"voluntas", 3, {"OnClick(2)"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.id);
    sink_.events.clear();
    if (row.xButton == 3) AnswerWhen([] {
        GtkWidget* menu = VisibleMenu();
        if (!menu || !gtk_widget_get_mapped(menu)) return false;
        PressKeys("Escape");
        return true;
      });
    ASSERT_TRUE(ClickElement(widget_->Browser().WebView(), row.id, row.xButton));
    RunUntil([&] { return sink_.events.size() >= row.events.size(); });
    RunFor(300);
    EXPECT_EQ(sink_.events, row.events);
  }
}

// Every part of a clickable element answers: its four corners and its centre, the banner's
// top-left corner included.
TEST_F(BannerWidgetTest, EveryPartOfEachLinkAnswers) {
  struct Row {
    const char* id;
    const char* event;
  } rows[] = {{"title", "OnCommandClick(VOLUNTAS,titolo)"}, {"picture", "OnCommandClick(VOLUNTAS,immagine)"},
              {"voluntas", "OnCommandClick(VOLUNTAS,abc)"}};
  for (const Row& row : rows) {
    int x = 0, y = 0, width = 0, height = 0;
    ASSERT_TRUE(ElementRect(widget_->Browser().WebView(), row.id, &x, &y, &width, &height));
    const int inset = 1;
    const int points[][2] = {{x + inset, y + inset}, {x + width - 1 - inset, y + inset}, {x + inset, y + height - 1 - inset},
                             {x + width - 1 - inset, y + height - 1 - inset}, {x + width / 2, y + height / 2}};
    for (const auto& point : points) {
      SCOPED_TRACE(std::string(row.id) + " at " + std::to_string(point[0]) + "," + std::to_string(point[1]));
      sink_.events.clear();
      ClickAt(widget_->Browser().WebView(), point[0], point[1], 1);
      RunUntil([&] { return sink_.events.size() >= 2; }, 3000);
      EXPECT_EQ(sink_.events, (std::vector<std::string>{row.event, "OnClick(1)"}));
    }
  }
}

// A right-click anywhere on the banner opens the control's menu, and only it.
TEST_F(BannerWidgetTest, RightClickAnywhereOpensTheControlsMenu) {
  GtkWidget* view = GTK_WIDGET(widget_->Browser().WebView());
  const int width = gtk_widget_get_allocated_width(view), height = gtk_widget_get_allocated_height(view);
  const int points[][2] = {{2, 2}, {100, 20}, {width - 3, 2}, {2, height - 3}, {width - 3, height - 3}, {width / 2, height / 2}};
  for (const auto& point : points) {
    SCOPED_TRACE(std::to_string(point[0]) + "," + std::to_string(point[1]));
    bool menu = false;
    AnswerWhen([&] {
      GtkWidget* shown = VisibleMenu();
      if (!shown || !gtk_widget_get_mapped(shown)) return false;
      menu = true;
      PressKeys("Escape");
      return true;
    });
    ClickAt(view, point[0], point[1], 3);
    EXPECT_TRUE(RunUntil([&] { return menu; }, 3000));
    RunUntil([] { return VisibleMenuCount() == 0; }, 2000);
  }
}

// Several codes open the drug selection; the codes the doctor keeps go to the host.
TEST_F(BannerWidgetTest, PrescribeLinkAsksForTheDrugsThroughTheSelectionDialog) {
  DriveWindow("Elenco medicinali", [](GtkWidget*) {
    PressKeys("Down");
    PressKeys("space");
    PressKeys("Return");
  });
  ASSERT_TRUE(ClickElement(widget_->Browser().WebView(), "prescribe", 1));
  ASSERT_TRUE(RunUntil([&] { return !sink_.events.empty() && sink_.events.back().rfind("OnClick", 0) == 0; }));
  ASSERT_GE(sink_.events.size(), 2u);
  EXPECT_EQ(sink_.events[sink_.events.size() - 2], "OnCommandClickExtended(PRESCRIBE,aic2,MODE=1)");
  EXPECT_EQ(sink_.events.back(), "OnClick(1)");
}

TEST_F(BannerWidgetTest, RightClickShowsTheControlsMenuAndItsOfflineItemWorks) {
  std::vector<std::string> labels;
  AnswerWhen([&] {
    GtkWidget* menu = VisibleMenu();
    if (!menu || !gtk_widget_get_mapped(menu)) return false;
    GList* items = gtk_container_get_children(GTK_CONTAINER(menu));
    for (GList* item = items; item; item = item->next)
      if (!GTK_IS_SEPARATOR_MENU_ITEM(item->data)) labels.push_back(gtk_menu_item_get_label(GTK_MENU_ITEM(item->data)));
    g_list_free(items);
    PressKeys("Down");
    PressKeys("Down");
    PressKeys("Return");
    return true;
  });
  ASSERT_TRUE(ClickElement(widget_->Browser().WebView(), "para", 3));
  ASSERT_TRUE(RunUntil([&] { return widget_->Control().OfflineMenuChecked(); }));
  EXPECT_EQ(labels, (std::vector<std::string>{"Gestione sostituzioni farmaci", "Offline", "Annulla"}));
  EXPECT_NE(IniText().find("Offline=1"), std::string::npos) << IniText();
  RunFor(300);
  EXPECT_EQ(VisibleMenuCount(), 0);  // neither ours, still open, nor the web view's
}

TEST_F(BannerWidgetTest, FailingNavigationSwitchesToOffline) {
  EXPECT_FALSE(widget_->Control().OfflineMenuChecked());
  ASSERT_TRUE(widget_->Control().ClearPrescription());  // the script now picks a banner without a page
  ASSERT_TRUE(WaitForPage("offline.html"));
  EXPECT_TRUE(widget_->Control().OfflineMenuChecked());
  EXPECT_EQ(Eval("document.body.innerText"), "Non in linea");
  EXPECT_NE(IniText().find("Offline=1"), std::string::npos) << IniText();
}

TEST_F(BannerWidgetTest, ShownBannerHasNoBorderAndNoScrollBars) {
  EXPECT_TRUE(RunUntil([&] { return Eval("getComputedStyle(document.body).borderTopStyle") == "none"; }, 3000));
  EXPECT_EQ(Eval("getComputedStyle(document.documentElement).overflow"), "hidden");
  ScrollDownAt(widget_->Browser().WebView(), 100, 100, 5);
  RunFor(400);
  EXPECT_EQ(Eval("String(window.scrollY)"), "0");
}

}  // namespace
}  // namespace brevalcore::demo

namespace brevalcore::demo {
namespace {

// A click into the page gives the focus to the hidden text box; with ForceFocusBack the focus
// then goes back to the host's previous field and forward again.
TEST_F(BannerWidgetTest, FocusGoesToTheTextBoxAndBackAndForthWhenForced) {
  for (const bool force : {false, true}) {
    SCOPED_TRACE(force);
    widget_->Control().SetForceFocusBack(force);
    gtk_widget_grab_focus(before_);
    RunFor(100);
    beforeFocused_ = 0;
    ASSERT_TRUE(ClickElement(widget_->Browser().WebView(), "para", 1));
    RunFor(1000);
    // WebKit may take the focus more than once for one click; each time it is sent back.
    if (force) EXPECT_GE(beforeFocused_, 1);
    else EXPECT_EQ(beforeFocused_, 0);
    EXPECT_TRUE(gtk_widget_has_focus(widget_->Browser().FocusHolderWidget()));
  }
}

}  // namespace
}  // namespace brevalcore::demo
