#include "platform/browser/webkit/page_events.h"

#include <jsc/jsc.h>

#include "platform/browser/browser_host.h"

namespace brevalcore::browser {

namespace {

// Runs in the page and in every frame, in its own script world, before the page's scripts: its
// window listeners run first, and what it cancels no page script can let through again. Only
// the doctor's own input is reported (a press faked by a page script is not trusted), and only
// from the top-level document, the one the control attaches to.
const char kPageEventsScript[] = R"JS(
(function () {
  var channel = window.webkit && window.webkit.messageHandlers &&
                window.webkit.messageHandlers.brevalcore;
  if (!channel) return;
  var isTop = window === window.top;
  var last = null;
  var serial = 0;

  function elementOf(target) {
    var el = target;
    while (el && el.nodeType !== 1) el = el.parentNode;
    return el;
  }

  function describe(target) {
    var el = elementOf(target);
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

  // Nothing is dragged out of the banner: links, pictures and text stay where they are.
  window.addEventListener('dragstart', function (e) { e.preventDefault(); }, true);

  // The web view's own menu never shows, in the page or in a frame; the control shows its own.
  window.addEventListener('contextmenu', function (e) {
    e.preventDefault();
    if (isTop && e.isTrusted)
      channel.postMessage({ kind: 'contextmenu', x: e.clientX, y: e.clientY });
  }, true);

  if (!isTop) {
    window.addEventListener('load', function () {
      channel.postMessage({ kind: 'framecomplete', url: String(location.href) });
    });
    return;
  }

  window.addEventListener('mousedown', function (e) {
    if (e.isTrusted)
      channel.postMessage({ kind: 'mousedown', button: e.button, element: describe(e.target) });
  }, true);

  // Enter on a focused link: the click the keyboard makes is trusted and counts no presses.
  window.addEventListener('click', function (e) {
    if (!e.isTrusted || e.detail !== 0) return;
    var el = elementOf(e.target);
    if (el && String(el.tagName).toUpperCase() === 'A')
      channel.postMessage({ kind: 'activate', element: describe(el) });
  }, true);

  window.__brevalcoreClick = function (n) {
    if (last && last.serial === n) last.element.click();
  };
})();
)JS";

// The link that has the keyboard focus is always shown, whatever the page's own style says.
const char kFocusStyleSheet[] = R"CSS(
:focus-visible { outline: 2px solid #1a5fb4 !important; outline-offset: 1px !important; }
)CSS";

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
const char* FocusStyleSheet() { return kFocusStyleSheet; }
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
  } else if (kind == u"activate") {
    message.kind = PageMessage::Kind::Activate;
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
