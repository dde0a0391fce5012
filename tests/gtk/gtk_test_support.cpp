#include "tests/gtk/gtk_test_support.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>
// Xlib's macros (None, Status, True) after everything else.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <random>
#include <sstream>

namespace brevalcore::gtktest {

namespace {

// How long a test waits for the window manager that its runner started.
constexpr int kWindowManagerWaitMs = 10000;
// Lets the X server and GTK pass an input event on before the next one.
constexpr int kInputSettleMs = 30;

Display* XDisplay() { return gdk_x11_display_get_xdisplay(gdk_display_get_default()); }

bool WindowManagerRunning() {
  Display* display = XDisplay();
  Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const int status = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW, &type,
                                        &format, &count, &after, &data);
  const bool running = status == Success && count == 1;
  if (data) XFree(data);
  return running;
}

}  // namespace

bool DisplayAvailable() {
  static const bool available = [] {
    if (!gtk_init_check(nullptr, nullptr)) return false;
    if (!std::getenv("BREVALCORE_WINDOW_MANAGER")) return true;
    return RunUntil(WindowManagerRunning, kWindowManagerWaitMs);
  }();
  return available;
}

bool RunUntil(const std::function<bool()>& done, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(1000);
  }
  return true;
}

void RunFor(int ms) {
  RunUntil([] { return false; }, ms);
}

namespace {
struct ScriptRun {
  bool done = false;
  std::string result;
};

void OnScriptDone(GObject* view, GAsyncResult* result, gpointer data) {
  auto* run = static_cast<ScriptRun*>(data);
  GError* error = nullptr;
  JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, &error);
  if (value) {
    char* text = jsc_value_to_string(value);
    run->result = text ? text : "";
    g_free(text);
    g_object_unref(value);
  }
  if (error) g_error_free(error);
  run->done = true;
}
}  // namespace

std::string EvaluateScript(WebKitWebView* view, const std::string& script, const char* world) {
  ScriptRun run;
  webkit_web_view_evaluate_javascript(view, script.c_str(), -1, world, nullptr, nullptr, OnScriptDone, &run);
  RunUntil([&] { return run.done; });
  return run.result;
}

void ScreenPoint(GtkWidget* widget, int x, int y, int* screenX, int* screenY) {
  GtkWidget* toplevel = gtk_widget_get_toplevel(widget);
  int wx = x, wy = y;
  gtk_widget_translate_coordinates(widget, toplevel, x, y, &wx, &wy);
  gdk_window_get_root_coords(gtk_widget_get_window(toplevel), wx, wy, screenX, screenY);
}

namespace {
void Settle() {
  XSync(XDisplay(), False);
  RunFor(kInputSettleMs);
}
}  // namespace

void MoveMouse(int screenX, int screenY) {
  XTestFakeMotionEvent(XDisplay(), -1, screenX, screenY, CurrentTime);
  Settle();
}

void ClickAt(GtkWidget* widget, int x, int y, unsigned button) {
  int sx = 0, sy = 0;
  ScreenPoint(widget, x, y, &sx, &sy);
  MoveMouse(sx, sy);
  XTestFakeButtonEvent(XDisplay(), button, True, CurrentTime);
  Settle();
  XTestFakeButtonEvent(XDisplay(), button, False, CurrentTime);
  Settle();
}

void DoubleClickAt(GtkWidget* widget, int x, int y) {
  int sx = 0, sy = 0;
  ScreenPoint(widget, x, y, &sx, &sy);
  MoveMouse(sx, sy);
  for (int i = 0; i < 2; ++i) {
    XTestFakeButtonEvent(XDisplay(), 1, True, CurrentTime);
    XTestFakeButtonEvent(XDisplay(), 1, False, CurrentTime);
  }
  Settle();
}

void ClickAt(WebKitWebView* view, double x, double y, unsigned button) {
  ClickAt(GTK_WIDGET(view), static_cast<int>(x), static_cast<int>(y), button);
}

void DragMouse(int fromX, int fromY, int toX, int toY) {
  constexpr int kSteps = 12;
  MoveMouse(fromX, fromY);
  XTestFakeButtonEvent(XDisplay(), 1, True, CurrentTime);
  Settle();
  for (int i = 1; i <= kSteps; ++i) MoveMouse(fromX + (toX - fromX) * i / kSteps, fromY + (toY - fromY) * i / kSteps);
  RunFor(200);  // the drop site answers the last motion before the button goes up
  XTestFakeButtonEvent(XDisplay(), 1, False, CurrentTime);
  Settle();
}

void ScrollDownAt(WebKitWebView* view, double x, double y, int steps, bool withCtrl) {
  int sx = 0, sy = 0;
  ScreenPoint(GTK_WIDGET(view), static_cast<int>(x), static_cast<int>(y), &sx, &sy);
  MoveMouse(sx, sy);
  const KeyCode ctrl = XKeysymToKeycode(XDisplay(), XK_Control_L);
  if (withCtrl) XTestFakeKeyEvent(XDisplay(), ctrl, True, CurrentTime);
  for (int i = 0; i < steps; ++i) {
    XTestFakeButtonEvent(XDisplay(), 5, True, CurrentTime);
    XTestFakeButtonEvent(XDisplay(), 5, False, CurrentTime);
    Settle();
  }
  if (withCtrl) XTestFakeKeyEvent(XDisplay(), ctrl, False, CurrentTime);
  Settle();
}

namespace {
KeySym KeySymOf(const std::string& name) {
  if (name == "shift") return XK_Shift_L;
  if (name == "ctrl") return XK_Control_L;
  if (name == "alt") return XK_Alt_L;
  return XStringToKeysym(name.c_str());
}
}  // namespace

void PressKeys(const std::string& keys) {
  std::vector<KeyCode> held;
  std::stringstream parts(keys);
  for (std::string name; std::getline(parts, name, '+');) {
    const KeyCode code = XKeysymToKeycode(XDisplay(), KeySymOf(name));
    if (code == 0) ADD_FAILURE_AT(__FILE__, __LINE__);  // no such key on the keyboard
    held.push_back(code);
  }
  for (KeyCode code : held) XTestFakeKeyEvent(XDisplay(), code, True, CurrentTime);
  for (auto code = held.rbegin(); code != held.rend(); ++code) XTestFakeKeyEvent(XDisplay(), *code, False, CurrentTime);
  Settle();
  // A button pressed from the keyboard (an access key, Space) shows itself pressed for a
  // quarter of a second before it acts.
  constexpr int kKeyboardPressMs = 350;
  RunFor(keys.rfind("alt+", 0) == 0 || keys == "space" ? kKeyboardPressMs : 50);
}

void TypeText(const std::string& text) {
  for (char c : text) PressKeys(c == ' ' ? std::string("space") : std::string(1, c));
}

bool ElementRect(WebKitWebView* view, const std::string& id, int* x, int* y, int* width, int* height) {
  const std::string where = EvaluateScript(
      view, "(function(){var e=document.getElementById('" + id +
                "');if(!e)return '';var r=e.getBoundingClientRect();"
                "return [r.left,r.top,r.width,r.height].map(Math.round).join(',');})()");
  int values[4] = {};
  std::stringstream parts(where);
  int i = 0;
  for (std::string part; i < 4 && std::getline(parts, part, ','); ++i) values[i] = std::stoi(part);
  if (i < 4) return false;
  *x = values[0];
  *y = values[1];
  *width = values[2];
  *height = values[3];
  return true;
}

bool ClickElement(WebKitWebView* view, const std::string& id, unsigned button) {
  int x = 0, y = 0, width = 0, height = 0;
  if (!ElementRect(view, id, &x, &y, &width, &height)) return false;
  ClickAt(view, x + std::min(width / 2, 8), y + height / 2, button);
  return true;
}

TempFolder::TempFolder() {
  std::random_device random;
  path_ = std::filesystem::temp_directory_path() / ("brevalcore-gtk-" + std::to_string(random()));
  std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TempFolder::Write(const std::string& name, const std::string& content) const {
  const auto file = path_ / name;
  std::ofstream(file, std::ios::binary) << content;
  return file;
}

bool ActivateWindow(GtkWidget* window) {
  RunUntil([&] { return gtk_widget_get_mapped(window); });
  gtk_window_present(GTK_WINDOW(window));
  return RunUntil([&] { return gtk_window_is_active(GTK_WINDOW(window)) != FALSE; });
}

std::vector<std::string> AllowedActions(GtkWidget* window) {
  Display* display = XDisplay();
  const Window xid = GDK_WINDOW_XID(gtk_widget_get_window(window));
  Atom property = XInternAtom(display, "_NET_WM_ALLOWED_ACTIONS", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::vector<std::string> actions;
  if (XGetWindowProperty(display, xid, property, 0, 64, False, XA_ATOM, &type, &format, &count, &after, &data) !=
      Success)
    return actions;
  const auto* atoms = reinterpret_cast<const Atom*>(data);
  constexpr std::string_view kPrefix = "_NET_WM_ACTION_";
  for (unsigned long i = 0; i < count; ++i) {
    char* name = XGetAtomName(display, atoms[i]);
    std::string action = name ? name : "";
    if (action.rfind(kPrefix, 0) == 0) action.erase(0, kPrefix.size());
    actions.push_back(action);
    if (name) XFree(name);
  }
  if (data) XFree(data);
  return actions;
}

namespace {
// How long a dialog may stay open after the test's last key: one still open then did not do
// what the keys should have made it do, and is closed so that the test goes on.
constexpr guint kDialogWatchMs = 5000;

gboolean CloseForgottenDialog(gpointer data) {
  auto** window = static_cast<GtkWidget**>(data);
  if (*window && gtk_widget_get_visible(*window)) {
    ADD_FAILURE() << "\"" << gtk_window_get_title(GTK_WINDOW(*window)) << "\" is still open after the last key";
    if (GTK_IS_DIALOG(*window)) gtk_dialog_response(GTK_DIALOG(*window), GTK_RESPONSE_NONE);
  }
  if (*window) g_object_remove_weak_pointer(G_OBJECT(*window), reinterpret_cast<gpointer*>(window));
  delete window;
  return G_SOURCE_REMOVE;
}
}  // namespace

long RequestedFunctions(GtkWidget* window) {
  Display* display = XDisplay();
  Atom property = XInternAtom(display, "_MOTIF_WM_HINTS", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  long functions = -1;
  if (XGetWindowProperty(display, GDK_WINDOW_XID(gtk_widget_get_window(window)), property, 0, 5, False, AnyPropertyType,
                         &type, &format, &count, &after, &data) == Success && count >= 2) {
    const auto* hints = reinterpret_cast<const long*>(data);
    constexpr long kFunctionsGiven = 1;
    if (hints[0] & kFunctionsGiven) functions = hints[1];
  }
  if (data) XFree(data);
  return functions;
}

unsigned DriveWindow(const std::string& title, std::function<void(GtkWidget* window)> steps,
                     const std::string& screenshot) {
  return AnswerWhen([=] {
    GtkWidget* window = FindWindow(title);
    if (!window || !gtk_window_is_active(GTK_WINDOW(window))) return false;
    RunFor(100);  // the window manager's frame and the first drawing
    if (!screenshot.empty()) SaveScreenshot(window, screenshot);
    auto** watched = new GtkWidget*(window);
    g_object_add_weak_pointer(G_OBJECT(window), reinterpret_cast<gpointer*>(watched));
    g_timeout_add(kDialogWatchMs, CloseForgottenDialog, watched);
    steps(window);
    return true;
  });
}

std::string SaveScreenshot(GtkWidget* window, const std::string& name) {
  RunFor(300);  // let the last drawing reach the screen
  GdkRectangle frame{};
  gdk_window_get_frame_extents(gtk_widget_get_window(window), &frame);
  GdkWindow* root = gdk_get_default_root_window();
  const int right = std::min(frame.x + frame.width, gdk_window_get_width(root));
  const int bottom = std::min(frame.y + frame.height, gdk_window_get_height(root));
  frame.x = std::max(frame.x, 0);
  frame.y = std::max(frame.y, 0);
  GdkPixbuf* picture = gdk_pixbuf_get_from_window(root, frame.x, frame.y, right - frame.x, bottom - frame.y);
  const std::filesystem::path folder = BREVALCORE_SCREENSHOT_DIR;
  std::filesystem::create_directories(folder);
  const std::string file = (folder / (name + ".png")).string();
  if (!picture || !gdk_pixbuf_save(picture, file.c_str(), "png", nullptr, nullptr)) ADD_FAILURE() << "cannot save " << file;
  if (picture) g_object_unref(picture);
  return file;
}

namespace {
struct Answer {
  std::function<bool()> step;
};
gboolean RunAnswer(gpointer data) {
  return static_cast<Answer*>(data)->step() ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
}
void FreeAnswer(gpointer data) { delete static_cast<Answer*>(data); }

std::string PlainLabel(const char* label) {
  std::string result;
  for (const char* c = label ? label : ""; *c; ++c)
    if (*c != '_') result += *c;
  return result;
}

void CollectButtons(GtkWidget* widget, std::vector<GtkWidget*>& buttons) {
  if (GTK_IS_BUTTON(widget) && !GTK_IS_TOGGLE_BUTTON(widget) && gtk_widget_get_visible(widget)) buttons.push_back(widget);
  if (GTK_IS_CONTAINER(widget)) {
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList* child = children; child; child = child->next) CollectButtons(GTK_WIDGET(child->data), buttons);
    g_list_free(children);
  }
}
}  // namespace

unsigned AnswerWhen(std::function<bool()> step) {
  return g_timeout_add_full(G_PRIORITY_DEFAULT, 20, RunAnswer, new Answer{std::move(step)}, FreeAnswer);
}

GtkWidget* FindWindow(const std::string& title) {
  GtkWidget* found = nullptr;
  GList* toplevels = gtk_window_list_toplevels();
  for (GList* item = toplevels; item && !found; item = item->next) {
    GtkWidget* window = GTK_WIDGET(item->data);
    const char* windowTitle = gtk_window_get_title(GTK_WINDOW(window));
    if (gtk_widget_get_visible(window) && windowTitle && title == windowTitle) found = window;
  }
  g_list_free(toplevels);
  return found;
}

GtkWidget* FindButton(GtkWidget* root, const std::string& label) {
  std::vector<GtkWidget*> buttons;
  CollectButtons(root, buttons);
  for (GtkWidget* button : buttons)
    if (PlainLabel(gtk_button_get_label(GTK_BUTTON(button))) == label) return button;
  return nullptr;
}

std::vector<std::string> ButtonLabels(GtkWidget* root) {
  std::vector<GtkWidget*> buttons;
  CollectButtons(root, buttons);
  std::vector<std::string> labels;
  for (GtkWidget* button : buttons) labels.push_back(PlainLabel(gtk_button_get_label(GTK_BUTTON(button))));
  return labels;
}

GtkWidget* FindChild(GtkWidget* root, unsigned long type) {
  if (G_TYPE_CHECK_INSTANCE_TYPE(root, type)) return root;
  if (!GTK_IS_CONTAINER(root)) return nullptr;
  GtkWidget* found = nullptr;
  GList* children = gtk_container_get_children(GTK_CONTAINER(root));
  for (GList* child = children; child && !found; child = child->next) found = FindChild(GTK_WIDGET(child->data), type);
  g_list_free(children);
  return found;
}

bool PressButton(const std::string& title, const std::string& label) {
  GtkWidget* window = FindWindow(title);
  GtkWidget* button = window ? FindButton(window, label) : nullptr;
  if (!button) return false;
  gtk_button_clicked(GTK_BUTTON(button));
  return true;
}

GtkWidget* VisibleMenu() {
  GtkWidget* menu = nullptr;
  GList* toplevels = gtk_window_list_toplevels();
  for (GList* item = toplevels; item && !menu; item = item->next) {
    GtkWidget* window = GTK_WIDGET(item->data);
    GtkWidget* child = gtk_bin_get_child(GTK_BIN(window));
    if (gtk_widget_get_visible(window) && child && GTK_IS_MENU(child)) menu = child;
  }
  g_list_free(toplevels);
  return menu;
}

int VisibleMenuCount() {
  int count = 0;
  GList* toplevels = gtk_window_list_toplevels();
  for (GList* item = toplevels; item; item = item->next) {
    GtkWidget* window = GTK_WIDGET(item->data);
    GtkWidget* child = gtk_bin_get_child(GTK_BIN(window));
    if (gtk_widget_get_visible(window) && child && GTK_IS_MENU(child)) ++count;
  }
  g_list_free(toplevels);
  return count;
}

}  // namespace brevalcore::gtktest
