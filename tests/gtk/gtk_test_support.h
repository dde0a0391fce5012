#pragma once
// Helpers for tests that drive a real GTK display: start GTK once (or skip), run the main loop
// until something happened, read values out of the page, and press the mouse as a user would.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

typedef struct _GtkWidget GtkWidget;
typedef struct _WebKitWebView WebKitWebView;

namespace brevalcore::gtktest {

// True when GTK could open a display. Tests call GTEST_SKIP when it is false.
bool DisplayAvailable();
inline constexpr char kNoDisplay[] = "no display available: run under xvfb-run or with DISPLAY set";

// Iterates the main loop until `done` is true or `timeoutMs` has passed; returns `done()`.
bool RunUntil(const std::function<bool()>& done, int timeoutMs = 10000);
// Iterates the main loop for `ms` milliseconds.
void RunFor(int ms);

// The result of a script run in the page's main world, as text ("" on failure).
std::string EvaluateScript(WebKitWebView* view, const std::string& script, const char* world = nullptr);

// A press (and release) of `button` (1 left, 2 middle, 3 right, as X numbers them) at `x`, `y`
// in the web view's coordinates, delivered through GTK's event path.
void ClickAt(WebKitWebView* view, double x, double y, unsigned button);
// The same at the centre of the element with the given id.
bool ClickElement(WebKitWebView* view, const std::string& id, unsigned button);

// Turns the mouse wheel down `steps` times at `x`, `y`.
void ScrollDownAt(WebKitWebView* view, double x, double y, int steps);

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

// Tells the window that it has the keyboard focus, as a window manager would.
void ActivateWindow(GtkWidget* window);

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
