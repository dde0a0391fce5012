#pragma once
// The small script that every page (and every frame) of the web view runs, and the messages it
// sends back. The script lives in its own script world, so a page's scripts can neither see nor
// replace it; it shares the page's document and so sees every mouse press.
#include <optional>
#include <string>

#include "platform/automation/text.h"

typedef struct _JSCValue JSCValue;

namespace brevalcore::browser {

// Names the web view registers: the script world and the message channel of the page script.
inline constexpr char kPageScriptWorld[] = "brevalcore";
inline constexpr char kPageMessageChannel[] = "brevalcore";

// The page script's source.
const char* PageEventsScript();

// The user style sheet that keeps the keyboard focus visible.
const char* FocusStyleSheet();

// The script that styles the body: no border and no scroll bars.
const char* BodyStylingScript();

// The script that runs the default action of the element reported with `serial`.
std::string ClickElementScript(long serial);

// The platform's button numbers (left 1, right 2, middle 4) from the DOM's (0, 1, 2).
// Other DOM buttons (back, forward) have no platform number and give 0.
int MouseButtonFromDom(int domButton);

// What the page reported about the element under the mouse.
struct ElementInfo {
  long serial = 0;  // names the element for a later click
  automation::String tagName;
  automation::String href;
  bool hasHref = false;
  automation::String hash;
  automation::String innerText;
  automation::String id;
};

// One message of the page script.
struct PageMessage {
  enum class Kind { MouseDown, Activate, ContextMenu, FrameComplete, Unknown };
  Kind kind = Kind::Unknown;
  int domButton = 0;                   // MouseDown
  std::optional<ElementInfo> element;  // MouseDown (none when outside any element), Activate
  double clientX = 0, clientY = 0;     // ContextMenu: position in the top page's viewport
  automation::String url;              // FrameComplete
};

// Reads a message object posted by the page script.
PageMessage ReadPageMessage(JSCValue* value);

}  // namespace brevalcore::browser
