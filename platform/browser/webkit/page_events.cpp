#include "platform/browser/webkit/page_events.h"

#include <jsc/jsc.h>

#include "platform/browser/browser_host.h"

namespace brevalcore::browser {

namespace {

// Frames report their position so that a right-click inside a frame is placed in the top
// page's coordinates; cross-origin frames cannot be measured and report their own position.
const char kPageEventsScript[] = R"JS(
(function () {
  var channel = window.webkit && window.webkit.messageHandlers &&
                window.webkit.messageHandlers.brevalcore;
  if (!channel) return;
  var last = null;
  var serial = 0;

  function describe(target) {
    var el = target;
    while (el && el.nodeType !== 1) el = el.parentNode;
    if (!el) return null;
    serial += 1;
    last = { serial: serial, element: el };
    var href = el.getAttribute('href');
    return {
      serial: serial,
      tag: String(el.tagName || '').toUpperCase(),
      hasHref: href !== null,
      href: href === null ? '' : String(href),
      hash: typeof el.hash === 'string' ? el.hash : '',
      text: typeof el.innerText === 'string' ? el.innerText : String(el.textContent || ''),
      id: String(el.id || '')
    };
  }

  function frameOffset() {
    var x = 0, y = 0, w = window;
    try {
      while (w !== w.top && w.frameElement) {
        var r = w.frameElement.getBoundingClientRect();
        x += r.left; y += r.top;
        w = w.parent;
      }
    } catch (e) {}
    return { x: x, y: y };
  }

  document.addEventListener('mousedown', function (e) {
    channel.postMessage({ kind: 'mousedown', button: e.button, element: describe(e.target) });
  }, true);

  document.addEventListener('contextmenu', function (e) {
    e.preventDefault();
    var offset = frameOffset();
    channel.postMessage({ kind: 'contextmenu', x: e.clientX + offset.x, y: e.clientY + offset.y });
  }, true);

  if (window !== window.top) {
    window.addEventListener('load', function () {
      channel.postMessage({ kind: 'framecomplete', url: String(location.href) });
    });
  }

  window.__brevalcoreClick = function (n) {
    if (last && last.serial === n) last.element.click();
  };
})();
)JS";

// The body's "scroll" attribute is honoured by older engines only; overflow does the same here.
const char kBodyStylingScript[] = R"JS(
(function () {
  var body = document.body;
  if (!body) return;
  body.style.borderStyle = 'none';
  body.setAttribute('scroll', 'no');
  body.style.overflow = 'hidden';
  document.documentElement.style.overflow = 'hidden';
})();
)JS";

automation::String StringProperty(JSCValue* object, const char* name) {
  JSCValue* value = jsc_value_object_get_property(object, name);
  automation::String result;
  if (value && !jsc_value_is_null(value) && !jsc_value_is_undefined(value)) {
    char* text = jsc_value_to_string(value);
    if (text) result = automation::FromUtf8(text);
    g_free(text);
  }
  if (value) g_object_unref(value);
  return result;
}

double NumberProperty(JSCValue* object, const char* name) {
  JSCValue* value = jsc_value_object_get_property(object, name);
  double result = value && jsc_value_is_number(value) ? jsc_value_to_double(value) : 0;
  if (value) g_object_unref(value);
  return result;
}

bool BooleanProperty(JSCValue* object, const char* name) {
  JSCValue* value = jsc_value_object_get_property(object, name);
  bool result = value && jsc_value_to_boolean(value);
  if (value) g_object_unref(value);
  return result;
}

std::optional<ElementInfo> ReadElement(JSCValue* message) {
  JSCValue* element = jsc_value_object_get_property(message, "element");
  std::optional<ElementInfo> result;
  if (element && jsc_value_is_object(element)) {
    ElementInfo info;
    info.serial = static_cast<long>(NumberProperty(element, "serial"));
    info.tagName = StringProperty(element, "tag");
    info.hasHref = BooleanProperty(element, "hasHref");
    info.href = StringProperty(element, "href");
    info.hash = StringProperty(element, "hash");
    info.innerText = StringProperty(element, "text");
    info.id = StringProperty(element, "id");
    result = std::move(info);
  }
  if (element) g_object_unref(element);
  return result;
}

}  // namespace

const char* PageEventsScript() { return kPageEventsScript; }
const char* BodyStylingScript() { return kBodyStylingScript; }

std::string ClickElementScript(long serial) {
  return "window.__brevalcoreClick && window.__brevalcoreClick(" + std::to_string(serial) + ");";
}

int MouseButtonFromDom(int domButton) {
  switch (domButton) {
    case 0: return mouse::kLeft;
    case 1: return mouse::kMiddle;
    case 2: return mouse::kRight;
    default: return 0;
  }
}

PageMessage ReadPageMessage(JSCValue* value) {
  PageMessage message;
  if (!value || !jsc_value_is_object(value)) return message;
  const automation::String kind = StringProperty(value, "kind");
  if (kind == u"mousedown") {
    message.kind = PageMessage::Kind::MouseDown;
    message.domButton = static_cast<int>(NumberProperty(value, "button"));
    message.element = ReadElement(value);
  } else if (kind == u"contextmenu") {
    message.kind = PageMessage::Kind::ContextMenu;
    message.clientX = NumberProperty(value, "x");
    message.clientY = NumberProperty(value, "y");
  } else if (kind == u"framecomplete") {
    message.kind = PageMessage::Kind::FrameComplete;
    message.url = StringProperty(value, "url");
  }
  return message;
}

}  // namespace brevalcore::browser
