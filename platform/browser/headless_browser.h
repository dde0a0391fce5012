#pragma once
// The headless browser host: no window, pages parsed with gumbo. It loads "about:blank" and
// local files, treats remote addresses as failing unless declared reachable, and delivers
// its events only when the message loop is let run (DoYield, RunMessageLoop), as a real web
// view does. Tests and the scenario runner drive it: mouse presses, right-clicks, focus.
#include <deque>
#include <functional>
#include <vector>

#include "platform/browser/browser_host.h"
#include "platform/browser/html_document.h"

namespace brevalcore::browser {

class HeadlessBrowser : public BrowserHost {
 public:
  HeadlessBrowser();

  void SetEvents(BrowserEvents* events) override { events_ = events; }
  void Navigate(StringView url) override;
  void SetSilent(bool silent) override { silent_ = silent; }
  bool HasDocument() const override { return document_ != nullptr; }
  String DocumentUrl() const override { return document_ ? document_->url() : String(); }
  void RemoveBodyBorderAndScrollBars() override;
  void Refresh() override { ++refreshes_; }
  void SetVisible(bool visible) override { visible_ = visible; }
  bool IsVisible() const override { return visible_; }
  void Resize(int width, int height) override { width_ = width; height_ = height; }
  void DoYield() override;
  void FocusHolder() override { ++holderFocus_; }
  void SendFocusBackThenForward() override { ++focusBackThenForward_; }

  // --- driving it, for tests and the scenario runner

  // Remote addresses that begin with `prefix` load as an empty page instead of failing.
  void DeclareReachable(String prefix) { reachable_.push_back(std::move(prefix)); }
  // Delivers pending events until none is left (bounded, so that a page that fails to
  // load again and again cannot hang the caller). Returns the number delivered.
  int RunMessageLoop();
  bool HasPendingEvents() const { return !pending_.empty(); }
  // Called with each address passed to Navigate, in order.
  void OnNavigate(std::function<void(StringView url)> observer) { navigateObserver_ = std::move(observer); }

  // A mouse press on `element` (null: on no element). Delivered at once, as the page's
  // event handler would run.
  void MouseDown(int button, std::shared_ptr<Element> element);
  // A right-click: the mouse press, then the context-menu event; returns what the handler
  // returned (false: the web view's own menu is cancelled).
  bool RightClick(int x = 0, int y = 0);
  void GotFocus(FocusCause cause = FocusCause::MousePress);
  // Enter on a focused link of the page.
  void ActivateLink(std::shared_ptr<Element> element);
  // The page moves the top-level document to `url` (a plain link followed, a script): shown
  // only when the control allows it. Returns whether it was.
  bool PageNavigates(StringView url);

  const std::shared_ptr<HtmlDocument>& document() const { return document_; }
  bool silent() const { return silent_; }
  int refreshes() const { return refreshes_; }
  int holderFocusCount() const { return holderFocus_; }
  int focusBackThenForwardCount() const { return focusBackThenForward_; }
  int width() const { return width_; }
  int height() const { return height_; }
  const std::vector<String>& navigations() const { return navigations_; }

  // A navigation this many events deep into one RunMessageLoop is taken as a loop.
  static constexpr int kMaxEventsPerLoop = 1000;

 private:
  struct Pending {
    unsigned navigation;
    bool failed;
    String url;
    std::shared_ptr<HtmlDocument> document;
  };
  std::shared_ptr<HtmlDocument> Load(StringView url, bool& failed) const;
  void StartLoad(StringView url);
  void Deliver(const Pending& event);

  BrowserEvents* events_ = nullptr;
  std::shared_ptr<HtmlDocument> document_;
  std::deque<Pending> pending_;
  unsigned navigation_ = 0;
  std::vector<String> reachable_;
  std::vector<String> navigations_;
  std::function<void(StringView)> navigateObserver_;
  bool silent_ = false;
  bool visible_ = true;
  int refreshes_ = 0;
  int holderFocus_ = 0;
  int focusBackThenForward_ = 0;
  int width_ = 0;
  int height_ = 0;
};

// The local path a "file://" address names (the query and fragment removed); empty when the
// address is not a file address.
std::string FilePathOfUrl(StringView url);

}  // namespace brevalcore::browser
