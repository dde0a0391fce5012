#pragma once
// A web view in a real window between two fields of a host, with its events recorded.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <algorithm>

#include "platform/browser/webkit/webkit_browser_host.h"
#include "tests/gtk/gtk_test_support.h"

namespace brevalcore::browser {

using automation::String;
using automation::ToUtf8;
using namespace gtktest;

struct RecordingEvents : BrowserEvents {
  std::vector<std::string> log;  // "error <url>", "complete <url>", "focus", "menu"
  struct Press {
    int button;
    std::shared_ptr<Element> element;
  };
  std::vector<Press> presses;

  void OnNavigateError(StringView url) override { log.push_back("error " + ToUtf8(url)); }
  void OnDocumentComplete(StringView url) override { log.push_back("complete " + ToUtf8(url)); }
  void OnUpdatePageStatus() override {}
  void OnGotFocus(FocusCause cause) override {
    log.push_back(cause == FocusCause::MousePress ? "focus mouse" : "focus keyboard");
  }
  void OnLinkActivated(std::shared_ptr<Element> element) override {
    log.push_back("activate " + (element ? ToUtf8(element->Id()) : std::string("-")));
  }
  bool OnPageNavigation(StringView url) override {
    log.push_back("page navigation " + ToUtf8(url));
    return allowPageNavigation;
  }
  bool allowPageNavigation = false;
  void OnMouseDown(int button, std::shared_ptr<Element> element) override { presses.push_back({button, element}); }
  bool OnContextMenu(int, int) override {
    log.push_back("menu");
    return false;
  }
  bool Has(const std::string& entry) const { return std::find(log.begin(), log.end(), entry) != log.end(); }
};

inline const char kBannerPage[] = R"(<html><head><title>B12</title></head><body style="border: 3px solid red">
<p><a id="prescribe" href="#PRESCRIBE?aic1">Prescrivi <b id="bold">subito</b></a></p>
<p><a id="plain" href="http://example.invalid/info.html">Info</a></p>
<p><img id="image" href="x.html#VOLUNTAS?abc" width="40" height="20" style="background:blue"></p>
<p><input id="check" type="checkbox"></p>
<p id="para">Testo semplice</p>
<div style="height: 3000px">alto</div>
</body></html>)";

class WebViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    BREVALCORE_REQUIRE_DISPLAY();
    host_ = std::make_unique<WebKitBrowserHost>();
    host_->SetEvents(&events_);
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window_), 500, 400);
    // The host's fields before and after the control, in its tab order.
    before_ = gtk_entry_new();
    after_ = gtk_entry_new();
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_box_pack_start(GTK_BOX(box), before_, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), host_->Widget(), TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(box), after_, FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(window_), box);
    gtk_widget_show_all(window_);
    RunUntil([&] { return gtk_widget_get_mapped(host_->Widget()); });
    ASSERT_TRUE(ActivateWindow(window_));
  }
  void TearDown() override {
    host_.reset();
    if (window_) gtk_widget_destroy(window_);
  }

  // Loads a page and waits for its completion.
  bool Load(const std::string& name, const std::string& content) {
    const std::string url = folder_.Url(name);
    folder_.Write(name, content);
    host_->Navigate(automation::FromUtf8(url));
    return RunUntil([&] { return events_.Has("complete " + url); });
  }
  std::string Eval(const std::string& script) { return EvaluateScript(host_->WebView(), script); }

  std::string ActiveElementId() { return Eval("document.activeElement ? document.activeElement.id : ''"); }

  TempFolder folder_;
  RecordingEvents events_;
  std::unique_ptr<WebKitBrowserHost> host_;
  GtkWidget* window_ = nullptr;
  GtkWidget* before_ = nullptr;
  GtkWidget* after_ = nullptr;
};

}  // namespace brevalcore::browser
