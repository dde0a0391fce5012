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

// How the keyboard focus reached the web view: the doctor's mouse press in the page, or the
// keyboard (Tab from the host or from the control, or the window getting the focus back while
// the page held it). The page itself never moves the window's focus.
enum class FocusCause { MousePress, Keyboard };

// What the web view reports to the control. All calls come on the user-interface thread.
// Mouse presses, keyboard activations and right-clicks are those of the top-level document:
// the control attaches to it alone, so inside a frame a link does what it does in a browser.
class BrowserEvents {
 public:
  virtual ~BrowserEvents() = default;
  virtual void OnNavigateError(StringView url) = 0;       // any frame
  virtual void OnDocumentComplete(StringView url) = 0;    // the page or any frame
  virtual void OnUpdatePageStatus() = 0;
  virtual void OnGotFocus(FocusCause cause) = 0;
  // A press of the doctor's mouse in the page, with the element under the mouse (may be null).
  // Presses that a page script fakes are not reported.
  virtual void OnMouseDown(int button, std::shared_ptr<Element> element) = 0;
  // The doctor pressed Enter on a link of the page that had the keyboard focus.
  virtual void OnLinkActivated(std::shared_ptr<Element> element) = 0;
  // A right-click (or the menu key) in the page at screen position x, y. The web view never
  // shows a menu of its own, whatever this returns (false: the platform's "cancel it").
  virtual bool OnContextMenu(int x, int y) = 0;
  // The page is about to show another address in the top-level document (a link, a script, a
  // form, history). Returning false keeps the page on show. Not asked for the control's own
  // navigations, reloads, moves within the page, or frames.
  virtual bool OnPageNavigation(StringView url) = 0;
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
  // Moves the keyboard focus to the control's own focus holder (txt_Focus): a place in the
  // host's tab order that takes no text, shows nothing and never answers the mouse.
  virtual void FocusHolder() = 0;
  // Moves the keyboard focus backward, then forward, in the host's window ("+{TAB}", "{TAB}").
  virtual void SendFocusBackThenForward() = 0;
};

}  // namespace brevalcore::browser
