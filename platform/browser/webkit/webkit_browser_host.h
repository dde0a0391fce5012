#pragma once
// The web view on WebKitGTK. This class only translates: WebKit's signals and the page script's
// messages become BrowserEvents calls, and BrowserHost calls become WebKit calls. What to do with
// an event is the control's business.
//
// Widget() is what a host puts in its window: an overlay holding the web view and, beneath it,
// the invisible text box that takes the focus away from the page (txt_Focus).
#include <memory>

#include "platform/browser/browser_host.h"

typedef struct _GtkWidget GtkWidget;
typedef struct _WebKitWebView WebKitWebView;

namespace brevalcore::browser {

class WebKitBrowserHost : public BrowserHost {
 public:
  WebKitBrowserHost();
  ~WebKitBrowserHost() override;
  WebKitBrowserHost(const WebKitBrowserHost&) = delete;
  WebKitBrowserHost& operator=(const WebKitBrowserHost&) = delete;

  GtkWidget* Widget() const;
  WebKitWebView* WebView() const;
  GtkWidget* FocusTextBox() const;

  void SetEvents(BrowserEvents* events) override;
  void Navigate(StringView url) override;
  void SetSilent(bool silent) override;
  bool HasDocument() const override;
  String DocumentUrl() const override;
  void RemoveBodyBorderAndScrollBars() override;
  void Refresh() override;
  void SetVisible(bool visible) override;
  bool IsVisible() const override;
  void Resize(int width, int height) override;
  void DoYield() override;
  void FocusHiddenTextBox() override;
  void SendFocusBackThenForward() override;

  struct Signals;  // the signal handlers, in webkit_browser_host.cpp

 private:
  friend struct Signals;
  // A position in the top page's viewport as a position on the screen.
  void PageToScreen(double clientX, double clientY, int* x, int* y) const;

  GtkWidget* overlay_ = nullptr;
  GtkWidget* view_ = nullptr;
  GtkWidget* focusBox_ = nullptr;
  BrowserEvents* events_ = nullptr;
  bool silent_ = false;
  bool hasDocument_ = false;
  // A load that WebKit cancelled (because another one started) is not a navigation error, and
  // its end is not a completed document.
  bool loadCancelled_ = false;
};

}  // namespace brevalcore::browser
