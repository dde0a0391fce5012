#pragma once
// Helpers for tests that drive a real GTK display: start GTK once (or skip), run the main loop
// until something happened, read values out of the page, and press the mouse as a user would.
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

typedef struct _GtkWidget GtkWidget;
typedef struct _WebKitWebView WebKitWebView;

namespace brevalcore::gtktest {

// True when GTK could open a display (and, when the test runner started one, the window manager
// is up).
bool DisplayAvailable();
inline constexpr char kNoDisplay[] = "no display available: run under tests/gtk/with_display or with DISPLAY set";
// In a test's SetUp: without a display the test is skipped, except in CI, where a skipped
// window test would let a broken window layer pass unseen: there it fails.
#define BREVALCORE_REQUIRE_DISPLAY()                                                 \
  do {                                                                               \
    if (!::brevalcore::gtktest::DisplayAvailable()) {                                \
      if (std::getenv("CI")) FAIL() << ::brevalcore::gtktest::kNoDisplay;            \
      GTEST_SKIP() << ::brevalcore::gtktest::kNoDisplay;                             \
    }                                                                                \
  } while (0)

// Iterates the main loop until `done` is true or `timeoutMs` has passed; returns `done()`.
bool RunUntil(const std::function<bool()>& done, int timeoutMs = 10000);
// Iterates the main loop for `ms` milliseconds.
void RunFor(int ms);

// The result of a script run in the page's main world, as text ("" on failure).
std::string EvaluateScript(WebKitWebView* view, const std::string& script, const char* world = nullptr);

// ---- Real input. Every event goes through the X server (XTest), so it reaches the program as
// the doctor's mouse and keyboard would: through the window manager, the windows under the
// pointer and the focus, never by calling a handler.

// Where a point of `widget` (in its own coordinates) is on the screen.
void ScreenPoint(GtkWidget* widget, int x, int y, int* screenX, int* screenY);
void MoveMouse(int screenX, int screenY);
// A press (and release) of `button` (1 left, 2 middle, 3 right, as X numbers them) at `x`, `y`
// of the widget.
void ClickAt(GtkWidget* widget, int x, int y, unsigned button = 1);
void DoubleClickAt(GtkWidget* widget, int x, int y);
// The same on the web view.
void ClickAt(WebKitWebView* view, double x, double y, unsigned button);
// The rectangle of the page's element with the given id, in the view's coordinates; false when
// there is no such element.
bool ElementRect(WebKitWebView* view, const std::string& id, int* x, int* y, int* width, int* height);
// A press at the centre (or near the left edge, for a link that wraps) of the element.
bool ClickElement(WebKitWebView* view, const std::string& id, unsigned button);
// Presses the mouse at one point and releases it at another, moving in steps: a drag.
void DragMouse(int fromX, int fromY, int toX, int toY);
// Turns the mouse wheel down `steps` times at `x`, `y` of the view, holding Ctrl when asked.
void ScrollDownAt(WebKitWebView* view, double x, double y, int steps, bool withCtrl = false);
// Presses and releases keys, "+" joining those held together: "Tab", "shift+Tab", "alt+t",
// "ctrl+Return", "space", "Escape", "a".
void PressKeys(const std::string& keys);
// Types plain text, one key per character (letters, digits and spaces).
void TypeText(const std::string& text);

// A fresh folder for the files of one test, removed when the object goes.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path Write(const std::string& name, const std::string& content) const;
  std::string Url(const std::string& name) const { return "file://" + (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Waits until the window manager has given the window the keyboard focus; asks for it first.
bool ActivateWindow(GtkWidget* window);

// What the window manager lets the doctor do with the window (_NET_WM_ALLOWED_ACTIONS without
// its prefix: "MOVE", "CLOSE", "RESIZE", "MINIMIZE", "MAXIMIZE_HORZ", ...).
std::vector<std::string> AllowedActions(GtkWidget* window);
// The functions the window asks the window manager for (the Motif hints every window manager
// reads: move 4, minimise 8, maximise 16, close 32, resize 2); -1 when it asks for none.
long RequestedFunctions(GtkWidget* window);

// Runs `steps` once the window with this title is on the screen and has the keyboard focus
// (from the main loop a modal dialog runs), after saving its picture as `screenshot` when one
// is named. Returns the source id.
unsigned DriveWindow(const std::string& title, std::function<void(GtkWidget* window)> steps,
                     const std::string& screenshot = "");

// Saves the window (with the window manager's frame) as it is on the screen to
// <build>/screenshots/<name>.png, for a person to look at. Returns the file written.
std::string SaveScreenshot(GtkWidget* window, const std::string& name);

// Runs `step` from the main loop every few milliseconds until it returns true: the way a test
// answers a modal dialog that the code under test is about to show. Returns the source id.
unsigned AnswerWhen(std::function<bool()> step);

// The visible top-level window with this title, or null.
GtkWidget* FindWindow(const std::string& title);
// The visible button inside `root` whose label (mnemonic underscores removed) is `label`, or null.
GtkWidget* FindButton(GtkWidget* root, const std::string& label);
// The labels of the visible buttons inside `root`, in order, mnemonic underscores removed.
std::vector<std::string> ButtonLabels(GtkWidget* root);
// The first widget of `type` inside `root`, or null.
GtkWidget* FindChild(GtkWidget* root, unsigned long type);
// Presses a visible button of the window with this title; false while there is none.
bool PressButton(const std::string& title, const std::string& label);

// The visible popup menu, or null.
GtkWidget* VisibleMenu();

// Popup menus currently on the screen (WebKit's own or ours).
int VisibleMenuCount();

}  // namespace brevalcore::gtktest
