#include "platform/browser/headless_browser.h"

#include <sys/stat.h>

#include <fstream>
#include <sstream>

namespace brevalcore::browser {

namespace {

constexpr StringView kFileScheme = u"file://";
constexpr StringView kBlank = u"about:blank";
constexpr std::string_view kEmptyPage = "<html><head></head><body></body></html>";

bool StartsWith(StringView text, StringView prefix) {
  return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

}  // namespace

std::string FilePathOfUrl(StringView url) {
  if (!StartsWith(url, kFileScheme)) return {};
  StringView path = url.substr(kFileScheme.size());
  const size_t end = path.find_first_of(u"?#");
  if (end != StringView::npos) path = path.substr(0, end);
  return automation::ToUtf8(path);
}

HeadlessBrowser::HeadlessBrowser() = default;

std::shared_ptr<HtmlDocument> HeadlessBrowser::Load(StringView url, bool& failed) const {
  failed = false;
  if (url == kBlank) return HtmlDocument::Parse(kEmptyPage, String(url));
  if (StartsWith(url, kFileScheme)) {
    const std::string path = FilePathOfUrl(url);
    struct stat info {};
    std::ifstream in;
    if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) in.open(path, std::ios::binary);
    if (in.is_open()) {
      std::ostringstream text;
      text << in.rdbuf();
      return HtmlDocument::Parse(text.str(), String(url));
    }
  } else {
    for (const auto& prefix : reachable_)
      if (StartsWith(url, prefix)) return HtmlDocument::Parse(kEmptyPage, String(url));
  }
  // The web view shows its own error page, which completes like any other document.
  failed = true;
  return HtmlDocument::Parse(kEmptyPage, String(url));
}

void HeadlessBrowser::Navigate(StringView url) {
  navigations_.emplace_back(url);
  if (navigateObserver_) navigateObserver_(url);
  StartLoad(url);
}

// A new top-level navigation cancels one still in progress.
void HeadlessBrowser::StartLoad(StringView url) {
  ++navigation_;
  pending_.clear();
  bool failed = false;
  auto document = Load(url, failed);
  pending_.push_back(Pending{navigation_, failed, String(url), std::move(document)});
}

void HeadlessBrowser::Deliver(const Pending& event) {
  if (event.failed && events_) events_->OnNavigateError(event.url);
  if (event.navigation != navigation_) return;  // the error handler started another one
  document_ = event.document;
  if (events_) events_->OnDocumentComplete(event.url);
}

void HeadlessBrowser::DoYield() {
  // One turn: only the events pending now; those they cause wait for the next turn.
  std::deque<Pending> now;
  now.swap(pending_);
  for (const auto& event : now) {
    if (event.navigation != navigation_) continue;
    Deliver(event);
  }
}

int HeadlessBrowser::RunMessageLoop() {
  int delivered = 0;
  while (!pending_.empty() && delivered < kMaxEventsPerLoop) {
    Pending event = std::move(pending_.front());
    pending_.pop_front();
    if (event.navigation != navigation_) continue;
    Deliver(event);
    ++delivered;
  }
  return delivered;
}

void HeadlessBrowser::RemoveBodyBorderAndScrollBars() {
  if (!document_) return;
  document_->bodyBorderNone = true;
  document_->bodyScrollNo = true;
}

void HeadlessBrowser::MouseDown(int button, std::shared_ptr<Element> element) {
  if (events_) events_->OnMouseDown(button, std::move(element));
}

bool HeadlessBrowser::RightClick(int x, int y) {
  std::shared_ptr<Element> element;
  if (document_) element = document_->Wrap(document_->body());
  MouseDown(mouse::kRight, element);
  return events_ ? events_->OnContextMenu(x, y) : true;
}

void HeadlessBrowser::GotFocus(FocusCause cause) {
  if (events_) events_->OnGotFocus(cause);
}

void HeadlessBrowser::ActivateLink(std::shared_ptr<Element> element) {
  if (events_) events_->OnLinkActivated(std::move(element));
}

bool HeadlessBrowser::PageNavigates(StringView url) {
  if (events_ && !events_->OnPageNavigation(url)) return false;
  StartLoad(url);
  return true;
}

}  // namespace brevalcore::browser
