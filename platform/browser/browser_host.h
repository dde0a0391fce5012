#pragma once
// The web view the control shows banners in, and the part of the page's document object model
// that the control reads. Two implementations: WebKitGTK for real windows (browser/webkit) and
// a headless one (HTML parsed with gumbo) for tests and command-line runs.
//
// Navigation is asynchronous: Navigate returns at once, and the outcome arrives later as
// BrowserEvents::OnNavigateError / OnDocumentComplete, delivered while the host's message loop
// runs (DoYield, or the host's own loop).
#include <memory>

#include "platform/automation/text.h"

namespace brevalcore::browser {

using automation::String;
using automation::StringView;

// An element of the page, as the click handling sees it.
class Element {
 public:
  virtual ~Element() = default;
  virtual String TagName() const = 0;                   // upper case: "A", "IMG", "INPUT", ...
  // The attribute as written in the page (getAttribute(name, 0)); empty when absent.
  virtual String GetAttribute(StringView name) const = 0;
  virtual bool HasAttribute(StringView name) const = 0;
  virtual String Hash() const = 0;                      // the fragment of the link, "#..." or empty
  virtual String InnerText() const = 0;
  virtual String Id() const = 0;
  virtual void Click() = 0;                             // the element's default action
};

// Mouse buttons as the document events report them.
namespace mouse {
inline constexpr int kLeft = 1;
inline constexpr int kRight = 2;
inline constexpr int kMiddle = 4;
}  // namespace mouse

// What the web view reports to the control. All calls come on the user-interface thread.
class BrowserEvents {
 public:
  virtual ~BrowserEvents() = default;
  virtual void OnNavigateError(StringView url) = 0;       // any frame
  virtual void OnDocumentComplete(StringView url) = 0;    // the page or any frame
  virtual void OnUpdatePageStatus() = 0;
  virtual void OnGotFocus() = 0;
  // A mouse press anywhere in the page, with the element under the mouse (may be null).
  virtual void OnMouseDown(int button, std::shared_ptr<Element> element) = 0;
  // A right-click in the page at screen position x, y. Returning false cancels the web view's
  // own context menu.
  virtual bool OnContextMenu(int x, int y) = 0;
};

class BrowserHost {
 public:
  virtual ~BrowserHost() = default;

  virtual void SetEvents(BrowserEvents* events) = 0;
  // Starts a navigation to "about:blank", "file://..." (with an optional "?query") or a remote
  // address; returns at once.
  virtual void Navigate(StringView url) = 0;
  virtual void SetSilent(bool silent) = 0;
  // True when a top-level document is loaded (the document object the control attaches to).
  virtual bool HasDocument() const = 0;
  // The address of the document shown, for tests and tools.
  virtual String DocumentUrl() const = 0;
  // body.style.borderStyle := "none" and body.scroll := "no".
  virtual void RemoveBodyBorderAndScrollBars() = 0;
  virtual void Refresh() = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual bool IsVisible() const = 0;
  virtual void Resize(int width, int height) = 0;
  // Lets the message loop process the pending events once.
  virtual void DoYield() = 0;
  // Moves the keyboard focus to the control's hidden text box (txt_Focus).
  virtual void FocusHiddenTextBox() = 0;
  // Moves the keyboard focus backward, then forward, in the host's window ("+{TAB}", "{TAB}").
  virtual void SendFocusBackThenForward() = 0;
};

}  // namespace brevalcore::browser
