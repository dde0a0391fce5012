#include "platform/browser/webkit/webkit_browser_host.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>


#include "platform/browser/webkit/page_events.h"

namespace brevalcore::browser {

namespace {

// DoYield runs what is pending once; a page that keeps posting work must not hold it forever.
constexpr int kMaxYieldIterations = 1000;

// The result of the control's own scripts is not needed, but WebKit runs a script only for a
// caller that collects its outcome.
void DiscardScriptResult(GObject* view, GAsyncResult* result, gpointer) {
  GError* error = nullptr;
  JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, &error);
  if (error) g_error_free(error);
  if (value) g_object_unref(value);
}

void RunScript(WebKitWebView* view, const char* script) {
  webkit_web_view_evaluate_javascript(view, script, -1, kPageScriptWorld, nullptr, nullptr,
                                      DiscardScriptResult, nullptr);
}


// An element reported by the page script. Click asks the page to run the element's default
// action; the page keeps only the element of the latest press, so a stale element clicks nothing.
class WebKitElement : public Element {
 public:
  WebKitElement(WebKitWebView* view, ElementInfo info)
      : view_(WEBKIT_WEB_VIEW(g_object_ref(view))), info_(std::move(info)) {}
  ~WebKitElement() override { g_object_unref(view_); }

  String TagName() const override { return info_.tagName; }
  String GetAttribute(StringView name) const override {
    return automation::EqualsNoCase(name, u"href") ? info_.href : String();
  }
  bool HasAttribute(StringView name) const override {
    return automation::EqualsNoCase(name, u"href") && info_.hasHref;
  }
  String Hash() const override { return info_.hash; }
  String InnerText() const override { return info_.innerText; }
  String Id() const override { return info_.id; }
  void Click() override {
    RunScript(view_, ClickElementScript(info_.serial).c_str());
  }

 private:
  WebKitWebView* view_;
  ElementInfo info_;
};

}  // namespace

// One handler per signal; every connection is made in the constructor.
struct WebKitBrowserHost::Signals {
  static void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer data) {
    auto* self = static_cast<WebKitBrowserHost*>(data);
    if (event == WEBKIT_LOAD_STARTED) self->loadCancelled_ = false;
    if (event == WEBKIT_LOAD_COMMITTED) self->hasDocument_ = true;
    if (event != WEBKIT_LOAD_FINISHED) return;
    if (self->loadCancelled_) {
      self->loadCancelled_ = false;
      return;
    }
    if (self->events_) self->events_->OnDocumentComplete(self->DocumentUrl());
  }

  // Returning TRUE keeps WebKit's own error page away: the control decides what to show.
  static gboolean OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer data) {
    auto* self = static_cast<WebKitBrowserHost*>(data);
    if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED)) {
      self->loadCancelled_ = true;
      return TRUE;
    }
    if (self->events_) self->events_->OnNavigateError(automation::FromUtf8(uri ? uri : ""));
    return TRUE;
  }

  // The control shows its own menu from the page's contextmenu event; WebKit's never appears.
  static gboolean OnContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*,
                                gpointer data) {
    return static_cast<WebKitBrowserHost*>(data)->events_ != nullptr;
  }

  static gboolean OnScriptDialog(WebKitWebView*, WebKitScriptDialog*, gpointer data) {
    return static_cast<WebKitBrowserHost*>(data)->silent_;
  }

  static gboolean OnPermissionRequest(WebKitWebView*, WebKitPermissionRequest* request, gpointer data) {
    if (!static_cast<WebKitBrowserHost*>(data)->silent_) return FALSE;
    webkit_permission_request_deny(request);
    return TRUE;
  }

  static gboolean OnAuthenticate(WebKitWebView*, WebKitAuthenticationRequest* request, gpointer data) {
    if (!static_cast<WebKitBrowserHost*>(data)->silent_) return FALSE;
    webkit_authentication_request_cancel(request);
    return TRUE;
  }

  static gboolean OnPrint(WebKitWebView*, WebKitPrintOperation*, gpointer data) {
    return static_cast<WebKitBrowserHost*>(data)->silent_;
  }

  static gboolean OnFocusIn(GtkWidget*, GdkEvent*, gpointer data) {
    auto* self = static_cast<WebKitBrowserHost*>(data);
    if (self->events_) self->events_->OnGotFocus();
    return FALSE;
  }

  static void OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data) {
    auto* self = static_cast<WebKitBrowserHost*>(data);
    if (!self->events_) return;
    const PageMessage message = ReadPageMessage(webkit_javascript_result_get_js_value(result));
    switch (message.kind) {
      case PageMessage::Kind::MouseDown: {
        std::shared_ptr<Element> element;
        if (message.element)
          element = std::make_shared<WebKitElement>(WEBKIT_WEB_VIEW(self->view_), *message.element);
        self->events_->OnMouseDown(MouseButtonFromDom(message.domButton), std::move(element));
        break;
      }
      case PageMessage::Kind::ContextMenu: {
        int x = 0, y = 0;
        self->PageToScreen(message.clientX, message.clientY, &x, &y);
        self->events_->OnContextMenu(x, y);
        break;
      }
      case PageMessage::Kind::FrameComplete:
        self->events_->OnDocumentComplete(message.url);
        break;
      case PageMessage::Kind::Unknown:
        break;
    }
  }

  static gboolean MoveFocusBackThenForward(gpointer data) {
    GtkWidget* window = static_cast<GtkWidget*>(data);
    g_signal_emit_by_name(window, "move-focus", GTK_DIR_TAB_BACKWARD);
    g_signal_emit_by_name(window, "move-focus", GTK_DIR_TAB_FORWARD);
    return G_SOURCE_REMOVE;
  }
};

WebKitBrowserHost::WebKitBrowserHost() {
  WebKitUserContentManager* manager = webkit_user_content_manager_new();
  g_signal_connect(manager, (std::string("script-message-received::") + kPageMessageChannel).c_str(),
                   G_CALLBACK(Signals::OnScriptMessage), this);
  webkit_user_content_manager_register_script_message_handler_in_world(manager, kPageMessageChannel,
                                                                       kPageScriptWorld);
  WebKitUserScript* script = webkit_user_script_new_for_world(
      PageEventsScript(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES, WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START,
      kPageScriptWorld, nullptr, nullptr);
  webkit_user_content_manager_add_script(manager, script);
  webkit_user_script_unref(script);

  // Both widgets are held here as well as by their containers: a host may destroy its window
  // (and so the widgets) before it lets go of the browser host.
  view_ = webkit_web_view_new_with_user_content_manager(manager);
  g_object_ref_sink(view_);
  g_object_unref(manager);
  WebKitSettings* settings = webkit_web_view_get_settings(WEBKIT_WEB_VIEW(view_));
  // Banner pages are local files that reference their neighbours (images, frames, documents).
  webkit_settings_set_allow_file_access_from_file_urls(settings, TRUE);
  // A banner needs no GPU; software drawing works on every display, virtual ones included.
  webkit_settings_set_hardware_acceleration_policy(settings, WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);

  g_signal_connect(view_, "load-changed", G_CALLBACK(Signals::OnLoadChanged), this);
  g_signal_connect(view_, "load-failed", G_CALLBACK(Signals::OnLoadFailed), this);
  g_signal_connect(view_, "context-menu", G_CALLBACK(Signals::OnContextMenu), this);
  g_signal_connect(view_, "script-dialog", G_CALLBACK(Signals::OnScriptDialog), this);
  g_signal_connect(view_, "permission-request", G_CALLBACK(Signals::OnPermissionRequest), this);
  g_signal_connect(view_, "authenticate", G_CALLBACK(Signals::OnAuthenticate), this);
  g_signal_connect(view_, "print", G_CALLBACK(Signals::OnPrint), this);
  g_signal_connect(view_, "focus-in-event", G_CALLBACK(Signals::OnFocusIn), this);

  // The text box sits under the page, invisible and letting the mouse through; it only holds
  // the keyboard focus. It is the control's only tab stop, so tabbing never lands in the page.
  focusBox_ = gtk_entry_new();
  gtk_widget_set_opacity(focusBox_, 0.0);
  gtk_widget_set_halign(focusBox_, GTK_ALIGN_START);
  gtk_widget_set_valign(focusBox_, GTK_ALIGN_START);
  gtk_widget_set_size_request(focusBox_, 1, 1);

  overlay_ = gtk_overlay_new();
  g_object_ref_sink(overlay_);
  gtk_container_add(GTK_CONTAINER(overlay_), view_);
  gtk_overlay_add_overlay(GTK_OVERLAY(overlay_), focusBox_);
  gtk_overlay_set_overlay_pass_through(GTK_OVERLAY(overlay_), focusBox_, TRUE);
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  GList* chain = g_list_append(nullptr, focusBox_);
  gtk_container_set_focus_chain(GTK_CONTAINER(overlay_), chain);
  g_list_free(chain);
  G_GNUC_END_IGNORE_DEPRECATIONS
  gtk_widget_show_all(overlay_);
}

WebKitBrowserHost::~WebKitBrowserHost() {
  g_signal_handlers_disconnect_by_data(view_, this);
  g_signal_handlers_disconnect_by_data(webkit_web_view_get_user_content_manager(WEBKIT_WEB_VIEW(view_)), this);
  gtk_widget_destroy(overlay_);
  g_object_unref(overlay_);
  g_object_unref(view_);
}

GtkWidget* WebKitBrowserHost::Widget() const { return overlay_; }
WebKitWebView* WebKitBrowserHost::WebView() const { return WEBKIT_WEB_VIEW(view_); }
GtkWidget* WebKitBrowserHost::FocusTextBox() const { return focusBox_; }

void WebKitBrowserHost::SetEvents(BrowserEvents* events) { events_ = events; }

void WebKitBrowserHost::Navigate(StringView url) {
  webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view_), automation::ToUtf8(url).c_str());
}

void WebKitBrowserHost::SetSilent(bool silent) { silent_ = silent; }

bool WebKitBrowserHost::HasDocument() const { return hasDocument_; }

String WebKitBrowserHost::DocumentUrl() const {
  const char* uri = webkit_web_view_get_uri(WEBKIT_WEB_VIEW(view_));
  return automation::FromUtf8(uri ? uri : "");
}

void WebKitBrowserHost::RemoveBodyBorderAndScrollBars() { RunScript(WEBKIT_WEB_VIEW(view_), BodyStylingScript()); }

void WebKitBrowserHost::Refresh() { webkit_web_view_reload(WEBKIT_WEB_VIEW(view_)); }

void WebKitBrowserHost::SetVisible(bool visible) { gtk_widget_set_visible(overlay_, visible); }

bool WebKitBrowserHost::IsVisible() const { return gtk_widget_get_visible(overlay_); }

void WebKitBrowserHost::Resize(int width, int height) { gtk_widget_set_size_request(overlay_, width, height); }

void WebKitBrowserHost::DoYield() {
  for (int i = 0; i < kMaxYieldIterations && g_main_context_pending(nullptr); ++i)
    g_main_context_iteration(nullptr, FALSE);
}

void WebKitBrowserHost::FocusHiddenTextBox() { gtk_widget_grab_focus(focusBox_); }

// Like keystrokes, the moves happen after the current event has been handled, not inside it.
void WebKitBrowserHost::SendFocusBackThenForward() {
  GtkWidget* window = gtk_widget_get_toplevel(overlay_);
  if (!GTK_IS_WINDOW(window)) return;
  g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, Signals::MoveFocusBackThenForward, g_object_ref(window),
                  g_object_unref);
}

void WebKitBrowserHost::PageToScreen(double clientX, double clientY, int* x, int* y) const {
  *x = static_cast<int>(clientX);
  *y = static_cast<int>(clientY);
  GtkWidget* toplevel = gtk_widget_get_toplevel(view_);
  GdkWindow* window = gtk_widget_get_window(toplevel);
  if (!window) return;
  int wx = 0, wy = 0, ox = 0, oy = 0;
  gtk_widget_translate_coordinates(view_, toplevel, *x, *y, &wx, &wy);
  gdk_window_get_origin(window, &ox, &oy);
  *x = wx + ox;
  *y = wy + oy;
}

}  // namespace brevalcore::browser
