#include "platform/browser/webkit/webkit_browser_host.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <algorithm>

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

// The type of the event GTK is handling now, GDK_NOTHING when there is none.
GdkEventType CurrentEventType() {
  GdkEvent* event = gtk_get_current_event();
  if (!event) return GDK_NOTHING;
  const GdkEventType type = event->type;
  gdk_event_free(event);
  return type;
}

bool IsPress(GdkEventType type) {
  return type == GDK_BUTTON_PRESS || type == GDK_2BUTTON_PRESS || type == GDK_3BUTTON_PRESS || type == GDK_TOUCH_BEGIN;
}

// Input the doctor gave: the event GTK is handling now is a press, a key or a touch. Anything
// else asking for the focus comes from the page (element.focus(), window.focus(), autofocus).
bool HandlingDoctorsInput() {
  const GdkEventType type = CurrentEventType();
  return IsPress(type) || type == GDK_KEY_PRESS;
}

bool HandlingMousePress() { return IsPress(CurrentEventType()); }

bool IsTabKey(guint keyval) {
  return keyval == GDK_KEY_Tab || keyval == GDK_KEY_ISO_Left_Tab || keyval == GDK_KEY_KP_Tab;
}

// The address as WebKit writes it (the same parser normalises both), so that the control's
// own loads are recognised when they start.
std::string NormalisedUri(const std::string& uri) {
  WebKitURIRequest* request = webkit_uri_request_new(uri.c_str());
  std::string normalised = webkit_uri_request_get_uri(request);
  g_object_unref(request);
  return normalised;
}

// Enough for the blank step and the page behind it, with room for loads WebKit dropped unstarted
// and for the frames' navigations.
constexpr size_t kMaxRecordedLoads = 16;

}  // namespace

// One handler per signal; every connection is made in the constructor.
struct WebKitBrowserHost::Signals {
  static void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer data) {
    auto* self = static_cast<WebKitBrowserHost*>(data);
    const char* uri = webkit_web_view_get_uri(view);
    switch (event) {
      case WEBKIT_LOAD_STARTED:
        self->loadCancelled_ = false;
        self->refusingLoad_ = !self->AcceptLoad();
        if (self->refusingLoad_) {
          self->loadCancelled_ = true;
          webkit_web_view_stop_loading(view);
        }
        return;
      case WEBKIT_LOAD_REDIRECTED:
        return;
      case WEBKIT_LOAD_COMMITTED:
        self->hasDocument_ = true;
        self->committedUri_ = uri ? uri : "";
        return;
      case WEBKIT_LOAD_FINISHED:
        self->refusingLoad_ = false;
        if (self->loadCancelled_) {
          self->loadCancelled_ = false;
          return;
        }
        if (self->events_) self->events_->OnDocumentComplete(self->DocumentUrl());
        return;
    }
  }

  // Returning TRUE keeps WebKit's own error page away: the control decides what to show.
  static gboolean OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer data) {
    auto* self = static_cast<WebKitBrowserHost*>(data);
    if (self->refusingLoad_ || g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED)) {
      self->loadCancelled_ = true;
      return TRUE;
    }
    if (self->events_) self->events_->OnNavigateError(automation::FromUtf8(uri ? uri : ""));
    return TRUE;
  }

  // No new windows. A refused load of the top-level document is held back before anything of it
  // is shown, and nothing the view cannot show is downloaded instead.
  static gboolean OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                 gpointer data) {
    auto* self = static_cast<WebKitBrowserHost*>(data);
    if (type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
      webkit_policy_decision_ignore(decision);
      return TRUE;
    }
    if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) {
      auto* action = webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
      self->RecordNavigation(webkit_uri_request_get_uri(webkit_navigation_action_get_request(action)));
      return FALSE;
    }
    if (type != WEBKIT_POLICY_DECISION_TYPE_RESPONSE) return FALSE;
    auto* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
    const bool refused = webkit_response_policy_decision_is_main_frame_main_resource(response) && self->refusingLoad_;
    if (!refused && webkit_response_policy_decision_is_mime_type_supported(response)) return FALSE;
    webkit_policy_decision_ignore(decision);
    return TRUE;
  }

  static void OnDownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer data) {
    auto* self = static_cast<WebKitBrowserHost*>(data);
    if (webkit_download_get_web_view(download) == WEBKIT_WEB_VIEW(self->view_)) webkit_download_cancel(download);
  }

  // The control shows its own menu from the page's contextmenu event; WebKit's never appears.
  static gboolean OnContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*, gpointer) {
    return TRUE;
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

  // The page asking for the focus does not move the window's focus.
  static void OnGrabFocus(GtkWidget* widget, gpointer) {
    if (!HandlingDoctorsInput()) g_signal_stop_emission_by_name(widget, "grab-focus");
  }

  static gboolean OnFocusIn(GtkWidget*, GdkEvent*, gpointer data) {
    auto* self = static_cast<WebKitBrowserHost*>(data);
    self->PassTabToThePage();
    if (self->events_) self->events_->OnGotFocus(HandlingMousePress() ? FocusCause::MousePress : FocusCause::Keyboard);
    return FALSE;
  }

  // A page that tabs past its last link hands the focus on to the next field, then gives the
  // Tab key back to the window as unhandled: moved again, the focus would skip a field. The key
  // given back is the one the view had (same time); only that one is held back.
  static gboolean OnToplevelKey(GtkWidget*, GdkEventKey* event, gpointer data) {
    auto* self = static_cast<WebKitBrowserHost*>(data);
    if (gtk_widget_has_focus(self->view_) || event->time != self->lastViewKeyTime_) return FALSE;
    return IsTabKey(event->keyval);
  }

  static gboolean OnViewKey(GtkWidget*, GdkEventKey* event, gpointer data) {
    static_cast<WebKitBrowserHost*>(data)->lastViewKeyTime_ = event->time;
    return FALSE;
  }

  static void OnHierarchyChanged(GtkWidget*, GtkWidget*, gpointer data) {
    static_cast<WebKitBrowserHost*>(data)->WatchToplevel();
  }

  static gboolean ForwardTab(gpointer data) {
    auto* self = static_cast<WebKitBrowserHost*>(data);
    self->tabSource_ = 0;
    GdkEvent* event = self->pendingTab_;
    self->pendingTab_ = nullptr;
    if (gtk_widget_has_focus(self->view_)) gtk_widget_event(self->view_, event);
    gdk_event_free(event);
    return G_SOURCE_REMOVE;
  }

  // Ctrl and the wheel would zoom the page; the banner keeps its size.
  static gboolean OnScroll(GtkWidget*, GdkEventScroll* event, gpointer) {
    return (event->state & GDK_CONTROL_MASK) != 0;
  }

  static void OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data) {
    auto* self = static_cast<WebKitBrowserHost*>(data);
    if (!self->events_) return;
    const PageMessage message = ReadPageMessage(webkit_javascript_result_get_js_value(result));
    std::shared_ptr<Element> element;
    if (message.element)
      element = std::make_shared<WebKitElement>(WEBKIT_WEB_VIEW(self->view_), *message.element);
    switch (message.kind) {
      case PageMessage::Kind::MouseDown:
        self->events_->OnMouseDown(MouseButtonFromDom(message.domButton), std::move(element));
        break;
      case PageMessage::Kind::Activate:
        self->events_->OnLinkActivated(std::move(element));
        break;
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
  WebKitUserStyleSheet* style = webkit_user_style_sheet_new(FocusStyleSheet(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                                                            WEBKIT_USER_STYLE_LEVEL_USER, nullptr, nullptr);
  webkit_user_content_manager_add_style_sheet(manager, style);
  webkit_user_style_sheet_unref(style);

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
  // Tab goes through the page's links; the page never leaves the banner's rectangle.
  webkit_settings_set_enable_tabs_to_links(settings, TRUE);
  webkit_settings_set_enable_back_forward_navigation_gestures(settings, FALSE);
  webkit_settings_set_enable_fullscreen(settings, FALSE);
  webkit_settings_set_javascript_can_open_windows_automatically(settings, FALSE);
  // Dropped files, texts and links would replace the banner; the view takes none.
  gtk_drag_dest_unset(view_);

  g_signal_connect(view_, "load-changed", G_CALLBACK(Signals::OnLoadChanged), this);
  g_signal_connect(view_, "load-failed", G_CALLBACK(Signals::OnLoadFailed), this);
  g_signal_connect(view_, "decide-policy", G_CALLBACK(Signals::OnDecidePolicy), this);
  g_signal_connect(view_, "context-menu", G_CALLBACK(Signals::OnContextMenu), this);
  g_signal_connect(view_, "script-dialog", G_CALLBACK(Signals::OnScriptDialog), this);
  g_signal_connect(view_, "permission-request", G_CALLBACK(Signals::OnPermissionRequest), this);
  g_signal_connect(view_, "authenticate", G_CALLBACK(Signals::OnAuthenticate), this);
  g_signal_connect(view_, "print", G_CALLBACK(Signals::OnPrint), this);
  g_signal_connect(view_, "grab-focus", G_CALLBACK(Signals::OnGrabFocus), this);
  g_signal_connect(view_, "focus-in-event", G_CALLBACK(Signals::OnFocusIn), this);
  g_signal_connect(view_, "scroll-event", G_CALLBACK(Signals::OnScroll), this);
  g_signal_connect(view_, "key-press-event", G_CALLBACK(Signals::OnViewKey), this);
  downloadHandler_ = g_signal_connect(webkit_web_view_get_context(WEBKIT_WEB_VIEW(view_)), "download-started",
                                      G_CALLBACK(Signals::OnDownloadStarted), this);

  // txt_Focus: first in the control's tab order, before the page.
  focusHolder_ = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_widget_set_can_focus(focusHolder_, TRUE);
  frame_ = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  g_object_ref_sink(frame_);
  gtk_box_pack_start(GTK_BOX(frame_), focusHolder_, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(frame_), view_, TRUE, TRUE, 0);
  gtk_widget_show_all(frame_);
  g_signal_connect(frame_, "hierarchy-changed", G_CALLBACK(Signals::OnHierarchyChanged), this);
}

void WebKitBrowserHost::WatchToplevel() {
  GtkWidget* toplevel = gtk_widget_get_toplevel(frame_);
  if (!GTK_IS_WINDOW(toplevel)) toplevel = nullptr;
  if (toplevel == toplevel_) return;
  StopWatchingToplevel();
  toplevel_ = toplevel;
  if (!toplevel_) return;
  g_object_add_weak_pointer(G_OBJECT(toplevel_), reinterpret_cast<gpointer*>(&toplevel_));
  g_signal_connect(toplevel_, "key-press-event", G_CALLBACK(Signals::OnToplevelKey), this);
}

void WebKitBrowserHost::StopWatchingToplevel() {
  if (!toplevel_) return;
  g_signal_handlers_disconnect_by_data(toplevel_, this);
  g_object_remove_weak_pointer(G_OBJECT(toplevel_), reinterpret_cast<gpointer*>(&toplevel_));
  toplevel_ = nullptr;
}

WebKitBrowserHost::~WebKitBrowserHost() {
  StopWatchingToplevel();
  g_signal_handlers_disconnect_by_data(frame_, this);
  if (tabSource_) {
    g_source_remove(tabSource_);
    gdk_event_free(pendingTab_);
  }
  g_signal_handler_disconnect(webkit_web_view_get_context(WEBKIT_WEB_VIEW(view_)), downloadHandler_);
  g_signal_handlers_disconnect_by_data(view_, this);
  g_signal_handlers_disconnect_by_data(webkit_web_view_get_user_content_manager(WEBKIT_WEB_VIEW(view_)), this);
  gtk_widget_destroy(frame_);
  g_object_unref(frame_);
  g_object_unref(view_);
}

GtkWidget* WebKitBrowserHost::Widget() const { return frame_; }
WebKitWebView* WebKitBrowserHost::WebView() const { return WEBKIT_WEB_VIEW(view_); }
GtkWidget* WebKitBrowserHost::FocusHolderWidget() const { return focusHolder_; }

void WebKitBrowserHost::SetEvents(BrowserEvents* events) { events_ = events; }

void WebKitBrowserHost::Navigate(StringView url) {
  const std::string uri = automation::ToUtf8(url);
  if (expectedLoads_.size() == kMaxRecordedLoads) expectedLoads_.pop_front();
  expectedLoads_.push_back(NormalisedUri(uri));
  webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view_), uri.c_str());
}

void WebKitBrowserHost::RecordNavigation(const char* uri) {
  if (decidedNavigations_.size() == kMaxRecordedLoads) decidedNavigations_.pop_front();
  decidedNavigations_.emplace_back(uri ? uri : "");
}

// The load that starts is one of the navigations decided since the last start: the view's own
// address is not yet reliable at this point when one load replaced another. Frames decide
// navigations too, but only the top-level document starts loads here.
bool WebKitBrowserHost::AcceptLoad() {
  std::deque<std::string> decided;
  decided.swap(decidedNavigations_);
  for (const std::string& uri : decided) {
    const auto expected = std::find(expectedLoads_.begin(), expectedLoads_.end(), uri);
    if (expected == expectedLoads_.end()) continue;
    expectedLoads_.erase(expectedLoads_.begin(), expected + 1);  // earlier ones were dropped unstarted
    return true;
  }
  for (const std::string& uri : decided)
    if (uri == committedUri_) return true;  // a reload
  if (!events_) return true;
  const char* shown = webkit_web_view_get_uri(WEBKIT_WEB_VIEW(view_));
  return events_->OnPageNavigation(automation::FromUtf8(decided.empty() ? (shown ? shown : "") : decided.back()));
}

void WebKitBrowserHost::SetSilent(bool silent) { silent_ = silent; }

bool WebKitBrowserHost::HasDocument() const { return hasDocument_; }

String WebKitBrowserHost::DocumentUrl() const { return automation::FromUtf8(committedUri_); }

void WebKitBrowserHost::RemoveBodyBorderAndScrollBars() { RunScript(WEBKIT_WEB_VIEW(view_), BodyStylingScript()); }

void WebKitBrowserHost::Refresh() { webkit_web_view_reload(WEBKIT_WEB_VIEW(view_)); }

void WebKitBrowserHost::SetVisible(bool visible) { gtk_widget_set_visible(frame_, visible); }

bool WebKitBrowserHost::IsVisible() const { return gtk_widget_get_visible(frame_); }

void WebKitBrowserHost::Resize(int width, int height) { gtk_widget_set_size_request(frame_, width, height); }

void WebKitBrowserHost::DoYield() {
  for (int i = 0; i < kMaxYieldIterations && g_main_context_pending(nullptr); ++i)
    g_main_context_iteration(nullptr, FALSE);
}

void WebKitBrowserHost::FocusHolder() { gtk_widget_grab_focus(focusHolder_); }

// The Tab that moved the focus into the view went to GTK, not to the page: handed to the page
// too, it moves the page's focus to its first link (Shift+Tab: its last), in the page's own tab
// order, or straight on out of a page without links.
void WebKitBrowserHost::PassTabToThePage() {
  GdkEvent* event = gtk_get_current_event();
  if (!event) return;
  if (event->type != GDK_KEY_PRESS || !IsTabKey(event->key.keyval) || tabSource_) {
    gdk_event_free(event);
    return;
  }
  pendingTab_ = event;
  tabSource_ = g_idle_add(Signals::ForwardTab, this);
}

// Like keystrokes, the moves happen after the current event has been handled, not inside it.
void WebKitBrowserHost::SendFocusBackThenForward() {
  GtkWidget* window = gtk_widget_get_toplevel(frame_);
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
