// The web view holds the page to the banner's rectangle, driven by real input: the keyboard goes
// through the page's links and out again, nothing is dropped in or dragged out, a plain link
// or a page script cannot move the top document, frames are left to themselves, and a hostile
// page cannot take the focus, open windows, resize, move or zoom anything.
#include "tests/gtk/webview_fixture.h"

namespace brevalcore::browser {
namespace {

const char kLinksPage[] = R"(<html><body style="margin:0">
<p><a id="a1" href="#VOLUNTAS?uno" style="outline:none">Uno</a></p>
<p><a id="a2" href="http://127.0.0.1:2/chiuso.html" style="outline:none">Sito</a></p>
<p><a id="a3" href="#VOLUNTAS?tre">Tre</a></p>
<p><textarea id="note"></textarea></p>
</body></html>)";

std::string EntryText(GtkWidget* entry) { return gtk_entry_get_text(GTK_ENTRY(entry)); }

// Tab from the host enters the control's holder, then the page's links with a visible focus,
// then leaves to the host's next field; Enter on a link activates it. Typing on the holder
// writes nowhere.
TEST_F(WebViewTest, KeyboardGoesThroughTheLinksAndOut) {
  ASSERT_TRUE(Load("links.html", kLinksPage));
  ClickAt(before_, 5, 5);
  ASSERT_TRUE(gtk_widget_has_focus(before_));
  events_.log.clear();

  PressKeys("Tab");
  EXPECT_TRUE(gtk_widget_has_focus(host_->FocusHolderWidget()));
  TypeText("abc");
  EXPECT_EQ(EntryText(before_) + EntryText(after_), "");

  struct Step {
    const char* keys;
    const char* focusedLink;  // "" when the focus has left the page
  } steps[] = {{"Tab", "a1"}, {"Tab", "a2"}, {"Tab", "a3"}, {"shift+Tab", "a2"}, {"Tab", "a3"}};
  for (const Step& step : steps) {
    SCOPED_TRACE(std::string(step.keys) + " to " + step.focusedLink);
    PressKeys(step.keys);
    EXPECT_TRUE(RunUntil([&] { return ActiveElementId() == step.focusedLink; }, 3000)) << ActiveElementId();
    // The page's "outline: none" does not hide where the keyboard is.
    EXPECT_EQ(Eval("getComputedStyle(document.activeElement).outlineStyle"), "solid");
  }
  EXPECT_FALSE(events_.Has("focus mouse"));
  PressKeys("Return");
  EXPECT_TRUE(RunUntil([&] { return events_.Has("activate a3"); }, 3000));
  PressKeys("Tab");  // past the textarea and out of the page
  PressKeys("Tab");
  EXPECT_TRUE(RunUntil([&] { return gtk_widget_has_focus(after_) != FALSE; }, 3000));
}

// A press on a plain link is reported (the control opens it outside); the view then asks before
// it follows the link, and stays when refused, without reporting the unreachable site.
TEST_F(WebViewTest, PlainLinkInTheTopDocumentAsksAndStays) {
  ASSERT_TRUE(Load("links.html", kLinksPage));
  events_.log.clear();
  ASSERT_TRUE(ClickElement(host_->WebView(), "a2", 1));
  ASSERT_TRUE(RunUntil([&] { return events_.Has("page navigation http://127.0.0.1:2/chiuso.html"); }));
  RunFor(1500);
  ASSERT_EQ(events_.presses.size(), 1u);
  EXPECT_EQ(ToUtf8(events_.presses[0].element->Id()), "a2");
  EXPECT_EQ(ToUtf8(host_->DocumentUrl()), folder_.Url("links.html"));
  EXPECT_EQ(Eval("location.href"), folder_.Url("links.html"));
  for (const auto& entry : events_.log) EXPECT_EQ(entry.rfind("error", 0), std::string::npos) << entry;
  EXPECT_FALSE(events_.Has("complete http://127.0.0.1:2/chiuso.html"));
}

// Inside a frame a link does what it does in a browser; the control hears of no press there,
// and a right-click there shows no menu at all.
TEST_F(WebViewTest, FramesAreLeftToThemselves) {
  folder_.Write("next.html", "<html><body>avanti</body></html>");
  folder_.Write("inner.html", "<html><body style='margin:0'><a id='in' href='next.html' "
                              "style='display:block;height:150px'>Avanti</a></body></html>");
  ASSERT_TRUE(Load("outer.html", "<html><body style='margin:0'><iframe id='frame' src='inner.html' "
                                 "style='width:300px;height:160px;border:0'></iframe></body></html>"));
  ASSERT_TRUE(RunUntil([&] { return events_.Has("complete " + folder_.Url("inner.html")); }));
  events_.log.clear();
  int x = 0, y = 0, width = 0, height = 0;
  ASSERT_TRUE(ElementRect(host_->WebView(), "frame", &x, &y, &width, &height));
  ClickAt(host_->WebView(), x + width / 2, y + height / 2, 3);
  RunFor(500);
  EXPECT_FALSE(events_.Has("menu"));
  EXPECT_EQ(VisibleMenuCount(), 0);
  ClickAt(host_->WebView(), x + width / 2, y + height / 2, 1);
  EXPECT_TRUE(RunUntil([&] { return events_.Has("complete " + folder_.Url("next.html")); }));
  EXPECT_TRUE(events_.presses.empty());
  for (const auto& entry : events_.log) EXPECT_EQ(entry.rfind("page navigation", 0), std::string::npos) << entry;
  EXPECT_EQ(ToUtf8(host_->DocumentUrl()), folder_.Url("outer.html"));
}

// What a hostile page tries, each in its own row. Whatever it does, the host's field keeps the
// focus, no window opens, the host's window keeps its place and size, and the page stays.
TEST_F(WebViewTest, HostilePageIsHeldToItsRectangle) {
  struct Row {
    const char* name;
    const char* body;
    const char* asked;  // the page navigation the view asks the control about, or ""
  } rows[] = {
      {"autofocus", "<input id='i' autofocus>", ""},
      {"focus", "<input id='i'><script>setTimeout(function(){document.getElementById('i').focus();"
                "window.focus();document.body.focus();}, 200);</script>", ""},
      {"windows", "<script>window.open('other.html'); window.open('about:blank', '_blank', 'width=200');"
                  "setTimeout(function(){window.open('other.html', 'x');}, 200);</script>", ""},
      {"geometry", "<script>window.resizeTo(150, 120); window.moveTo(0, 0); window.resizeBy(-50, -50);"
                   "window.moveBy(300, 300);</script>", ""},
      {"scroll", "<div style='height:3000px'></div><p id='far'>giu</p><script>window.scrollTo(0, 2000);"
                 "document.getElementById('far').scrollIntoView();</script>", ""},
      {"close", "<script>setTimeout(function(){window.close();}, 200);</script>", ""},
      {"navigate", "<script>setTimeout(function(){location.href='other.html';}, 200);</script>", "other.html"},
      {"form", "<form id='f' action='other.html'></form><script>setTimeout(function(){"
               "document.getElementById('f').submit();}, 200);</script>", "other.html?"},
  };
  folder_.Write("other.html", "<html><body>altra</body></html>");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_TRUE(Load("start.html", "<html><body>inizio</body></html>"));
    ClickAt(before_, 5, 5);
    ASSERT_TRUE(gtk_widget_has_focus(before_));
    int x = 0, y = 0, width = 0, height = 0;
    gtk_window_get_position(GTK_WINDOW(window_), &x, &y);
    gtk_window_get_size(GTK_WINDOW(window_), &width, &height);
    GList* windows = gtk_window_list_toplevels();
    const guint toplevels = g_list_length(windows);
    g_list_free(windows);
    events_.log.clear();

    const std::string page = std::string(row.name) + ".html";
    ASSERT_TRUE(Load(page, std::string("<html><body>") + row.body + "</body></html>"));
    RunFor(1200);

    EXPECT_TRUE(gtk_widget_has_focus(before_));
    EXPECT_TRUE(gtk_window_is_active(GTK_WINDOW(window_)));
    windows = gtk_window_list_toplevels();
    EXPECT_EQ(g_list_length(windows), toplevels);
    g_list_free(windows);
    int nowX = 0, nowY = 0, nowWidth = 0, nowHeight = 0;
    gtk_window_get_position(GTK_WINDOW(window_), &nowX, &nowY);
    gtk_window_get_size(GTK_WINDOW(window_), &nowWidth, &nowHeight);
    EXPECT_EQ(nowX, x);
    EXPECT_EQ(nowY, y);
    EXPECT_EQ(nowWidth, width);
    EXPECT_EQ(nowHeight, height);
    EXPECT_EQ(ToUtf8(host_->DocumentUrl()), folder_.Url(page));
    EXPECT_EQ(Eval("location.href"), folder_.Url(page));
    if (*row.asked) {
      EXPECT_TRUE(events_.Has("page navigation " + folder_.Url(row.asked))) << events_.log.size();
    }
  }
}

// Ctrl and the wheel, or Ctrl and "+", do not zoom the banner.
TEST_F(WebViewTest, NothingZoomsTheBanner) {
  ASSERT_TRUE(Load("links.html", kLinksPage));
  const std::string width = Eval("String(window.innerWidth)");
  ScrollDownAt(host_->WebView(), 50, 50, 3, true);
  ClickAt(host_->WebView(), 200, 300, 1);
  PressKeys("ctrl+plus");
  PressKeys("ctrl+equal");
  RunFor(300);
  EXPECT_EQ(webkit_web_view_get_zoom_level(host_->WebView()), 1.0);
  EXPECT_EQ(Eval("String(window.innerWidth)"), width);
}

// --- Drag and drop, through the X server as a mouse does it.

// A window offering one kind of item to drag: a file, a text or a link.
struct DragSource {
  enum class Kind { File, Text, Link };
  Kind kind;
  std::string uri;
  GtkWidget* window = nullptr;
  GtkWidget* button = nullptr;
  bool failed = false;

  DragSource(Kind kind, std::string uri) : kind(kind), uri(std::move(uri)) {
    window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "Sorgente");
    gtk_window_move(GTK_WINDOW(window), 700, 100);
    button = gtk_button_new_with_label("trascina");
    gtk_widget_set_size_request(button, 120, 60);
    gtk_container_add(GTK_CONTAINER(window), button);
    GtkTargetList* targets = gtk_target_list_new(nullptr, 0);
    if (kind == Kind::Text) gtk_target_list_add_text_targets(targets, 0);
    else gtk_target_list_add_uri_targets(targets, 0);
    if (kind == Kind::Link) gtk_target_list_add(targets, gdk_atom_intern_static_string("_NETSCAPE_URL"), 0, 1);
    gtk_drag_source_set(button, GDK_BUTTON1_MASK, nullptr, 0,
                        static_cast<GdkDragAction>(GDK_ACTION_COPY | GDK_ACTION_MOVE | GDK_ACTION_LINK));
    gtk_drag_source_set_target_list(button, targets);
    gtk_target_list_unref(targets);
    g_signal_connect(button, "drag-data-get", G_CALLBACK(OnDataGet), this);
    g_signal_connect(button, "drag-failed", G_CALLBACK(OnFailed), this);
    gtk_widget_show_all(window);
    RunUntil([&] { return gtk_widget_get_mapped(button); });
    RunFor(300);
  }
  ~DragSource() { gtk_widget_destroy(window); }

  static void OnDataGet(GtkWidget*, GdkDragContext*, GtkSelectionData* data, guint, guint, gpointer self) {
    auto* source = static_cast<DragSource*>(self);
    if (source->kind == Kind::Text) {
      gtk_selection_data_set_text(data, "testo trascinato", -1);
    } else {
      gchar* uris[] = {const_cast<gchar*>(source->uri.c_str()), nullptr};
      if (!gtk_selection_data_set_uris(data, uris))
        gtk_selection_data_set(data, gtk_selection_data_get_target(data), 8,
                               reinterpret_cast<const guchar*>(source->uri.c_str()), static_cast<int>(source->uri.size()));
    }
  }
  static gboolean OnFailed(GtkWidget*, GdkDragContext*, GtkDragResult, gpointer self) {
    static_cast<DragSource*>(self)->failed = true;
    return TRUE;  // no animation of the item flying back
  }

  // Drags the item from this window to the point of `target`.
  void DropOn(GtkWidget* target, int x, int y) {
    int fromX = 0, fromY = 0, toX = 0, toY = 0;
    ScreenPoint(button, 60, 30, &fromX, &fromY);
    ScreenPoint(target, x, y, &toX, &toY);
    DragMouse(fromX, fromY, toX, toY);
    RunFor(800);
  }
};

TEST_F(WebViewTest, DroppedFilesTextsAndLinksChangeNothing) {
  const std::string evil = folder_.Url("evil.html");
  folder_.Write("evil.html", "<html><body><a href='#PRESCRIBE?aic666'>x</a></body></html>");
  struct Row {
    const char* name;
    DragSource::Kind kind;
    std::string uri;
  } rows[] = {{"file", DragSource::Kind::File, evil},
              {"text", DragSource::Kind::Text, ""},
              {"link", DragSource::Kind::Link, "http://example.invalid/pagina.html"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_TRUE(Load("links.html", kLinksPage));
    events_.log.clear();
    DragSource source(row.kind, row.uri);
    int x = 0, y = 0, width = 0, height = 0;
    ASSERT_TRUE(ElementRect(host_->WebView(), "note", &x, &y, &width, &height));
    source.DropOn(GTK_WIDGET(host_->WebView()), x + width / 2, y + height / 2);  // on the page's text box
    EXPECT_TRUE(source.failed);
    EXPECT_EQ(ToUtf8(host_->DocumentUrl()), folder_.Url("links.html"));
    EXPECT_EQ(Eval("location.href"), folder_.Url("links.html"));
    EXPECT_EQ(Eval("document.getElementById('note').value"), "");
    EXPECT_TRUE(events_.log.empty()) << events_.log.front();
    // The same drag reaches a host field that takes drops: the drag itself worked.
    if (row.kind == DragSource::Kind::Text) {
      source.failed = false;
      source.DropOn(after_, 10, 5);
      EXPECT_EQ(EntryText(after_), "testo trascinato");
      gtk_entry_set_text(GTK_ENTRY(after_), "");
    }
  }
}

// A link, a picture or selected text dragged out of the banner onto a host field brings
// nothing.
TEST_F(WebViewTest, NothingIsDraggedOutOfTheBanner) {
  ASSERT_TRUE(Load("drag.html", "<html><body style='margin:0'><p><a id='link' href='http://example.invalid/x'>"
                                "Collegamento lungo da trascinare</a></p><p id='text'>Testo da selezionare e "
                                "trascinare</p></body></html>"));
  Eval("var r = document.createRange(); r.selectNodeContents(document.getElementById('text'));"
       "getSelection().removeAllRanges(); getSelection().addRange(r); 1");
  for (const char* id : {"link", "text"}) {
    SCOPED_TRACE(id);
    int x = 0, y = 0, width = 0, height = 0;
    ASSERT_TRUE(ElementRect(host_->WebView(), id, &x, &y, &width, &height));
    int fromX = 0, fromY = 0, toX = 0, toY = 0;
    ScreenPoint(GTK_WIDGET(host_->WebView()), x + 10, y + height / 2, &fromX, &fromY);
    ScreenPoint(after_, 10, 5, &toX, &toY);
    DragMouse(fromX, fromY, toX, toY);
    RunFor(500);
    EXPECT_EQ(EntryText(after_), "");
  }
}

}  // namespace
}  // namespace brevalcore::browser
