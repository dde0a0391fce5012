// brevalcore-demo: a host window with the banner control embedded, on the sample banner folder.
//
//   brevalcore-demo [--banners DIR] [--work DIR] [--doctor CODE] [--screenshot FILE.png [--click ID]]
//
// --screenshot saves the window once a banner page has been shown, then quits (exit status 1
// when no banner appeared in time). With --click, the mouse (a real press, through the X
// server) is first pressed on the page's element with that id, so that the picture shows the
// events it raised.
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "tools/demo/demo_window.h"
// Xlib's macros (None, True) after everything else.
#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>

namespace {

using namespace brevalcore::demo;

// How long a screenshot run waits for the banner, and how long it lets the page settle.
constexpr int kScreenshotTimeoutMs = 30000;
constexpr int kSettleMs = 1500;
constexpr int kPollMs = 100;

struct ScreenshotRun {
  DemoWindow* window;
  std::string file;
  std::string click;
  int waitedMs = 0;
  int settledMs = 0;
  int status = 1;
  bool done = false;
};

bool BannerShown(DemoWindow& window) {
  auto& browser = window.Banner().Browser();
  const std::string url = brevalcore::automation::ToUtf8(browser.DocumentUrl());
  return url.rfind("file://", 0) == 0 && !webkit_web_view_is_loading(browser.WebView());
}

// A real press of the left mouse button on the element: the pointer moves there and the button
// goes down and up through the X server (XTest), as the doctor's mouse does. A press made by a
// page script would not count: the control takes only the doctor's own input.
void PressAt(GtkWidget* view, int x, int y) {
  GtkWidget* toplevel = gtk_widget_get_toplevel(view);
  int wx = x, wy = y, sx = 0, sy = 0;
  gtk_widget_translate_coordinates(view, toplevel, x, y, &wx, &wy);
  gdk_window_get_root_coords(gtk_widget_get_window(toplevel), wx, wy, &sx, &sy);
  Display* display = gdk_x11_display_get_xdisplay(gtk_widget_get_display(view));
  XTestFakeMotionEvent(display, -1, sx, sy, CurrentTime);
  XTestFakeButtonEvent(display, 1, True, CurrentTime);
  XTestFakeButtonEvent(display, 1, False, CurrentTime);
  XFlush(display);
}

void OnElementPlace(GObject* view, GAsyncResult* result, gpointer) {
  JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, nullptr);
  if (!value) return;
  char* text = jsc_value_to_string(value);
  int x = -1, y = -1;
  if (text && std::sscanf(text, "%d,%d", &x, &y) == 2 && x >= 0) PressAt(GTK_WIDGET(view), x, y);
  else std::fprintf(stderr, "brevalcore-demo: no element to press\n");
  g_free(text);
  g_object_unref(value);
}

void PressOn(DemoWindow& window, const std::string& id) {
  const std::string script = "(function(){var e = document.getElementById('" + id + "'); if (!e) return '-1,-1';"
                             "var r = e.getBoundingClientRect(); return Math.round(r.left + Math.min(r.width / 2, 12)) +"
                             "',' + Math.round(r.top + r.height / 2);})()";
  webkit_web_view_evaluate_javascript(window.Banner().Browser().WebView(), script.c_str(), -1, nullptr, nullptr,
                                      nullptr, OnElementPlace, nullptr);
}

// The dialogs on screen now (a main window is no dialog, so it never comes back here).
std::vector<GtkWidget*> VisibleDialogs() {
  std::vector<GtkWidget*> dialogs;
  GList* toplevels = gtk_window_list_toplevels();
  for (GList* item = toplevels; item; item = item->next)
    if (GTK_IS_DIALOG(item->data) && gtk_widget_get_visible(GTK_WIDGET(item->data)))
      dialogs.push_back(GTK_WIDGET(item->data));
  g_list_free(toplevels);
  return dialogs;
}

// A message box left open explains why no banner came: print what it says.
void ReportOpenDialogs() {
  for (GtkWidget* dialog : VisibleDialogs()) {
    if (!GTK_IS_MESSAGE_DIALOG(dialog)) continue;
    gchar* text = nullptr;
    g_object_get(dialog, "text", &text, nullptr);
    std::fprintf(stderr, "message box \"%s\": %s\n", gtk_window_get_title(GTK_WINDOW(dialog)), text ? text : "");
    g_free(text);
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_DELETE_EVENT);
  }
}

// A dialog the control has open (the drug list after a press on "Prescrivi") is drawn over
// the window's centre, where a window manager shows a dialog of its window.
void DrawOpenDialogs(cairo_t* cr, int width, int height) {
  for (GtkWidget* dialog : VisibleDialogs()) {
    cairo_save(cr);
    cairo_translate(cr, std::max(0, (width - gtk_widget_get_allocated_width(dialog)) / 2),
                    std::max(0, (height - gtk_widget_get_allocated_height(dialog)) / 2));
    gtk_widget_draw(dialog, cr);
    cairo_restore(cr);
  }
}

bool SaveWindow(GtkWidget* window, const std::string& file) {
  const int width = gtk_widget_get_allocated_width(window);
  const int height = gtk_widget_get_allocated_height(window);
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cairo_t* cr = cairo_create(surface);
  gtk_widget_draw(window, cr);
  DrawOpenDialogs(cr, width, height);
  cairo_destroy(cr);
  const bool saved = cairo_surface_write_to_png(surface, file.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  return saved;
}

gboolean PollScreenshot(gpointer data) {
  auto* run = static_cast<ScreenshotRun*>(data);
  run->waitedMs += kPollMs;
  if (BannerShown(*run->window)) run->settledMs += kPollMs;
  else run->settledMs = 0;
  if (run->settledMs >= kSettleMs && !run->click.empty()) {
    PressOn(*run->window, run->click);
    run->click.clear();
    run->settledMs = 0;
  }
  const bool ready = run->settledMs >= kSettleMs;
  if (!ready && run->waitedMs < kScreenshotTimeoutMs) return G_SOURCE_CONTINUE;
  if (!ready) {
    std::fprintf(stderr, "brevalcore-demo: no banner page was shown\n");
    ReportOpenDialogs();
  }
  if (SaveWindow(run->window->Window(), run->file)) {
    std::printf("saved %s\n", run->file.c_str());
    if (ready) run->status = 0;
  } else {
    std::fprintf(stderr, "brevalcore-demo: cannot write %s\n", run->file.c_str());
  }
  if (gtk_main_level() > 0) gtk_main_quit();
  run->done = true;
  return G_SOURCE_REMOVE;
}

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer) {
  gtk_main_quit();
  return TRUE;  // the window goes with the demo, after the main loop
}

int Usage() {
  std::fprintf(stderr, "usage: brevalcore-demo [--banners DIR] [--work DIR] [--doctor CODE] [--screenshot FILE.png [--click ID]]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string banners = DefaultBannerSource();
  std::string work;
  DemoOptions options;
  std::string click;
  for (int i = 1; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    if (!std::strcmp(argv[i], "--banners") && hasValue) banners = argv[++i];
    else if (!std::strcmp(argv[i], "--work") && hasValue) work = argv[++i];
    else if (!std::strcmp(argv[i], "--doctor") && hasValue) options.doctor = argv[++i];
    else if (!std::strcmp(argv[i], "--screenshot") && hasValue) options.screenshot = argv[++i];
    else if (!std::strcmp(argv[i], "--click") && hasValue) click = argv[++i];
    else return Usage();
  }
  setvbuf(stdout, nullptr, _IOLBF, 0);
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "brevalcore-demo: cannot open a display\n");
    return 1;
  }
  std::string error;
  const auto folders = PrepareDemoFolders(banners, work, error);
  if (!folders) {
    std::fprintf(stderr, "brevalcore-demo: %s\n", error.c_str());
    return 1;
  }
  std::printf("banner folder: %s\nwork folder: %s\n", banners.c_str(), folders->work.c_str());

  auto window = std::make_unique<DemoWindow>(*folders, options);
  g_signal_connect(window->Window(), "delete-event", G_CALLBACK(OnDelete), nullptr);
  // The poll starts first: the start-up may show a message box, whose own loop runs it too.
  ScreenshotRun run{window.get(), options.screenshot, click};
  if (!options.screenshot.empty()) g_timeout_add(kPollMs, PollScreenshot, &run);
  window->Start();
  if (!run.done) gtk_main();
  window.reset();
  return options.screenshot.empty() ? 0 : run.status;
}
