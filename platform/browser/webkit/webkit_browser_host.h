#pragma once
// The web view on WebKitGTK. This class only translates: WebKit's signals and the page script's
// messages become BrowserEvents calls, and BrowserHost calls become WebKit calls. What to do with
// an event is the control's business.
//
// Widget() is what a host puts in its window: a box holding the control's focus holder
// (txt_Focus) and the web view. The holder is an empty widget that can hold the keyboard focus
// and nothing else: it has no window, so every mouse press lands on the page; it takes no text
// and shows no menu. Tab from the holder enters the page's links; Tab past the last link goes
// on to the host's next field.
//
// The view is held to the banner's rectangle: it accepts no dropped files, texts or links,
// nothing is dragged out of it, the page cannot take the window's focus, open windows, start
// downloads, zoom, or move the top-level document to a page the control did not navigate to
// unless the control allows it (BrowserEvents::OnPageNavigation).
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "platform/browser/browser_host.h"

typedef struct _GtkWidget GtkWidget;
typedef struct _WebKitWebView WebKitWebView;
typedef union _GdkEvent GdkEvent;

namespace brevalcore::browser {

class WebKitBrowserHost : public BrowserHost {
 public:
  WebKitBrowserHost();
  ~WebKitBrowserHost() override;
  WebKitBrowserHost(const WebKitBrowserHost&) = delete;
  WebKitBrowserHost& operator=(const WebKitBrowserHost&) = delete;

  GtkWidget* Widget() const;
  WebKitWebView* WebView() const;
  GtkWidget* FocusHolderWidget() const;

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
  void FocusHolder() override;
  void SendFocusBackThenForward() override;

  struct Signals;  // the signal handlers, in webkit_browser_host.cpp

 private:
  friend struct Signals;
  // A position in the top page's viewport as a position on the screen.
  void PageToScreen(double clientX, double clientY, int* x, int* y) const;
  // Whether a load of the top-level document that just started may go on: the control's own,
  // a reload of the page on show, or one the control allows.
  bool AcceptLoad();
  void RecordNavigation(const char* uri);
  void PassTabToThePage();
  // Follows the window the view is in (for the keys the page hands back).
  void WatchToplevel();
  void StopWatchingToplevel();

  GtkWidget* frame_ = nullptr;
  GtkWidget* view_ = nullptr;
  GtkWidget* focusHolder_ = nullptr;
  GtkWidget* toplevel_ = nullptr;
  BrowserEvents* events_ = nullptr;
  bool silent_ = false;
  bool hasDocument_ = false;
  // A load that WebKit cancelled (because another one started) or that was refused is not a
  // navigation error, and its end is not a completed document.
  bool loadCancelled_ = false;
  bool refusingLoad_ = false;
  // The addresses of the control's navigations not yet started, as WebKit writes them, and those
  // of the navigations (of any frame) decided since the last load started.
  std::deque<std::string> expectedLoads_;
  std::deque<std::string> decidedNavigations_;
  std::string committedUri_;
  unsigned long downloadHandler_ = 0;
  // The Tab key that brought the focus in, until it is handed to the page.
  GdkEvent* pendingTab_ = nullptr;
  unsigned tabSource_ = 0;
  uint32_t lastViewKeyTime_ = 0;
};

}  // namespace brevalcore::browser
