#include "tests/gtk/gtk_test_support.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <chrono>
#include <fstream>
#include <random>

namespace brevalcore::gtktest {

bool DisplayAvailable() {
  static const bool available = gtk_init_check(nullptr, nullptr);
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

void ClickAt(WebKitWebView* view, double x, double y, unsigned button) {
  GtkWidget* widget = GTK_WIDGET(view);
  GdkWindow* window = gtk_widget_get_window(widget);
  GdkDevice* pointer = gdk_seat_get_pointer(gdk_display_get_default_seat(gtk_widget_get_display(widget)));
  int rootX = 0, rootY = 0;
  gdk_window_get_root_coords(window, static_cast<int>(x), static_cast<int>(y), &rootX, &rootY);

  GdkEvent* motion = gdk_event_new(GDK_MOTION_NOTIFY);
  motion->motion.window = GDK_WINDOW(g_object_ref(window));
  motion->motion.time = GDK_CURRENT_TIME;
  motion->motion.x = x;
  motion->motion.y = y;
  motion->motion.x_root = rootX;
  motion->motion.y_root = rootY;
  gdk_event_set_device(motion, pointer);
  gtk_main_do_event(motion);
  gdk_event_free(motion);

  for (GdkEventType type : {GDK_BUTTON_PRESS, GDK_BUTTON_RELEASE}) {
    GdkEvent* event = gdk_event_new(type);
    event->button.window = GDK_WINDOW(g_object_ref(window));
    event->button.time = GDK_CURRENT_TIME;
    event->button.x = x;
    event->button.y = y;
    event->button.x_root = rootX;
    event->button.y_root = rootY;
    event->button.button = button;
    event->button.state = type == GDK_BUTTON_RELEASE ? (GDK_BUTTON1_MASK << (button - 1)) : 0;
    gdk_event_set_device(event, pointer);
    gtk_main_do_event(event);
    gdk_event_free(event);
  }
}

void ScrollDownAt(WebKitWebView* view, double x, double y, int steps) {
  GtkWidget* widget = GTK_WIDGET(view);
  GdkWindow* window = gtk_widget_get_window(widget);
  GdkDevice* pointer = gdk_seat_get_pointer(gdk_display_get_default_seat(gtk_widget_get_display(widget)));
  int rootX = 0, rootY = 0;
  gdk_window_get_root_coords(window, static_cast<int>(x), static_cast<int>(y), &rootX, &rootY);
  for (int i = 0; i < steps; ++i) {
    GdkEvent* event = gdk_event_new(GDK_SCROLL);
    event->scroll.window = GDK_WINDOW(g_object_ref(window));
    event->scroll.time = GDK_CURRENT_TIME;
    event->scroll.x = x;
    event->scroll.y = y;
    event->scroll.x_root = rootX;
    event->scroll.y_root = rootY;
    event->scroll.direction = GDK_SCROLL_DOWN;
    gdk_event_set_device(event, pointer);
    gtk_main_do_event(event);
    gdk_event_free(event);
  }
}

bool ClickElement(WebKitWebView* view, const std::string& id, unsigned button) {
  const std::string where = EvaluateScript(
      view, "(function(){var e=document.getElementById('" + id +
                "');if(!e)return '';var r=e.getBoundingClientRect();"
                "return Math.round(r.left+Math.min(r.width/2,8))+','+Math.round(r.top+r.height/2);})()");
  const auto comma = where.find(',');
  if (comma == std::string::npos) return false;
  ClickAt(view, std::stod(where.substr(0, comma)), std::stod(where.substr(comma + 1)), button);
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

void ActivateWindow(GtkWidget* window) {
  GdkEvent* event = gdk_event_new(GDK_FOCUS_CHANGE);
  event->focus_change.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
  event->focus_change.send_event = TRUE;
  event->focus_change.in = TRUE;
  gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(gtk_widget_get_display(window))));
  gtk_main_do_event(event);
  gdk_event_free(event);
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
  if (GTK_IS_BUTTON(widget) && gtk_widget_get_visible(widget)) buttons.push_back(widget);
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
