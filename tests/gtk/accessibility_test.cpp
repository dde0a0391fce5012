// What a screen reader finds in each dialog, read through AT-SPI from another process as a screen
// reader reads it. The test starts its own session bus (the accessibility bus starts from it on
// demand), so GTK's bridge registers this program there.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "platform/ui/forms.h"
#include "platform/ui/gtk/gtk_user_interface.h"
#include "tests/gtk/gtk_test_support.h"

namespace brevalcore::ui {
namespace {

using namespace gtktest;

// One line of atspi_dump.
struct Node {
  int depth = 0;
  std::string role, name, labelledBy;
  bool showing = false;
};

// Roles that hold or arrange other objects and have nothing of their own to say.
bool IsStructural(const std::string& role) {
  for (const char* structural : {"panel", "filler", "scroll pane", "scroll bar", "separator", "viewport", "layered pane",
                                 "unknown", "table column header", "application", "frame"})
    if (role == structural) return true;
  return false;
}

class AccessibilityTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    busPid_ = fork();
    if (busPid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--print-address=1", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    std::string address;
    char c = 0;
    while (read(out[0], &c, 1) == 1 && c != '\n') address += c;
    close(out[0]);
    ASSERT_FALSE(address.empty()) << "dbus-daemon did not start";
    setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    unsetenv("NO_AT_BRIDGE");  // GTK joins the accessibility bus when it starts
  }
  static void TearDownTestSuite() {
    if (busPid_ > 0) {
      kill(busPid_, SIGTERM);
      waitpid(busPid_, nullptr, 0);
    }
  }
  void SetUp() override { BREVALCORE_REQUIRE_DISPLAY(); }

  // The tree of this program, as atspi_dump prints it, while a dialog is shown.
  static std::vector<Node> ReadTree() {
    const std::string file = (folder_.path() / "tree.txt").string();
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const std::string pid = std::to_string(getpid());
    gchar* argv[] = {const_cast<gchar*>(BREVALCORE_ATSPI_DUMP), const_cast<gchar*>(pid.c_str()), nullptr};
    GPid child = 0;
    GError* error = nullptr;
    const bool started = g_spawn_async_with_fds(nullptr, argv, nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr,
                                                &child, -1, fd, -1, &error);
    close(fd);
    if (!started) {
      ADD_FAILURE() << error->message;
      g_error_free(error);
      return {};
    }
    bool done = false;
    g_child_watch_add(child, [](GPid, gint, gpointer flag) { *static_cast<bool*>(flag) = true; }, &done);
    // The bridge answers from this program's main loop, so it runs while the dump reads.
    EXPECT_TRUE(RunUntil([&] { return done; }, 30000));
    std::vector<Node> nodes;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
      std::stringstream parts(line);
      Node node;
      std::string depth, showing;
      std::getline(parts, depth, '|');
      std::getline(parts, node.role, '|');
      std::getline(parts, node.name, '|');
      std::getline(parts, node.labelledBy, '|');
      std::getline(parts, showing, '|');
      node.depth = std::atoi(depth.c_str());
      node.showing = showing == "1";
      nodes.push_back(node);
    }
    return nodes;
  }

  // The objects of the window with this title (its subtree in the dump).
  static std::vector<Node> WindowNodes(const std::vector<Node>& tree, const std::string& title) {
    std::vector<Node> window;
    for (size_t i = 0; i < tree.size(); ++i) {
      if (tree[i].depth != 1 || tree[i].name != title) continue;
      window.push_back(tree[i]);
      for (size_t j = i + 1; j < tree.size() && tree[j].depth > 1; ++j) window.push_back(tree[j]);
      break;
    }
    return window;
  }

  // Shows a dialog, reads its objects while it is open, then closes it with `closeKeys`.
  template <typename Show>
  std::vector<Node> NodesOf(const std::string& title, const std::string& closeKey, Show show) {
    std::vector<Node> nodes;
    DriveWindow(title, [&](GtkWidget*) {
      nodes = WindowNodes(ReadTree(), title);
      PressKeys(closeKey);
    });
    show();
    return nodes;
  }

  // Every object shown that is not a mere container has a name.
  static void ExpectEveryObjectNamed(const std::vector<Node>& nodes) {
    ASSERT_FALSE(nodes.empty());
    for (const Node& node : nodes) {
      if (node.showing && !IsStructural(node.role)) {
        EXPECT_FALSE(node.name.empty()) << "unnamed " << node.role;
      }
    }
  }
  static const Node* Find(const std::vector<Node>& nodes, const std::string& role, const std::string& name = "") {
    for (const Node& node : nodes)
      if (node.role == role && (name.empty() || node.name == name)) return &node;
    return nullptr;
  }

  GtkUserInterface ui_;
  static pid_t busPid_;
  static TempFolder folder_;
};

pid_t AccessibilityTest::busPid_ = 0;
TempFolder AccessibilityTest::folder_;

TEST_F(AccessibilityTest, QuestionBoxIsAnnouncedByItsTitle) {
  const auto nodes = NodesOf("Canale informativo", "Return", [&] {
    ui_.MessageBox(u"Si desidera impostare il farmaco come <Non Sostituibile>?", style::kYesNo | style::kQuestion,
                   u"Canale informativo");
  });
  ExpectEveryObjectNamed(nodes);
  ASSERT_FALSE(nodes.empty());
  EXPECT_EQ(nodes[0].role, "alert");
  EXPECT_NE(Find(nodes, "icon", "Domanda"), nullptr);
  EXPECT_NE(Find(nodes, "push button", "S\xC3\xAC"), nullptr);
  EXPECT_NE(Find(nodes, "label", "Si desidera impostare il farmaco come <Non Sostituibile>?"), nullptr);
}

TEST_F(AccessibilityTest, DrugListAndItsTickBoxesAreNamed) {
  SelezioneFarmaciForm form;
  form.AddDrug(u"aic1", u"Paracetamolo 500 mg compresse");
  form.AddDrug(u"aic2", u"Ibuprofene 400 mg compresse");
  const auto nodes = NodesOf("Elenco medicinali", "Escape", [&] { ui_.ShowSelezioneFarmaci(form); });
  ExpectEveryObjectNamed(nodes);
  const Node* list = Find(nodes, "list box");
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->labelledBy, "Selezionare i farmaci da aggiungere alla prescrizione");
  EXPECT_NE(Find(nodes, "check box", "Paracetamolo 500 mg compresse"), nullptr);
  EXPECT_NE(Find(nodes, "check box", "Ibuprofene 400 mg compresse"), nullptr);
  EXPECT_NE(Find(nodes, "push button", "Tutti"), nullptr);
}

TEST_F(AccessibilityTest, DocumentAndSubstitutionListsAreNamed) {
  ShellListForm documents;
  documents.AddDocument(u"a.pdf", u"Scheda tecnica");
  documents.SetTitle(u"Documenti utili");
  documents.Activate();
  auto nodes = NodesOf("Documenti utili", "Escape", [&] { ui_.ShowShellList(documents); });
  ExpectEveryObjectNamed(nodes);
  const Node* table = Find(nodes, "table");
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->labelledBy, "Selezionare il documento da visualizzare:");
  EXPECT_NE(Find(nodes, "table cell", "Scheda tecnica"), nullptr);

  PersInformerForm substitutions;
  substitutions.AddDrug(u"Beta    sostituito da:    Gamma", u"b=g");
  substitutions.Fill();
  nodes = NodesOf("Sostituzione automatica", "Escape", [&] { ui_.ShowPersInformer(substitutions); });
  ExpectEveryObjectNamed(nodes);
  EXPECT_NE(Find(nodes, "table", "Sostituzione automatica"), nullptr);
  EXPECT_NE(Find(nodes, "push button", "Elimina tutti"), nullptr);
}

TEST_F(AccessibilityTest, ShortcutConfirmationAndInputBoxAreNamed) {
  ShortcutFormModel shortcut(u"Agenda", u"http://example.invalid/agenda", 0);
  shortcut.Load();
  auto nodes = NodesOf(" Collegamento a Agenda", "Escape", [&] { ui_.ShowShortcutForm(shortcut); });
  ExpectEveryObjectNamed(nodes);
  EXPECT_NE(Find(nodes, "push button", "Agenda"), nullptr);

  nodes = NodesOf("Titolo", "Escape", [&] { ui_.InputBox(u"Codice del farmaco", u"Titolo", u""); });
  ExpectEveryObjectNamed(nodes);
  const Node* entry = Find(nodes, "text");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->name, "Codice del farmaco");
}

}  // namespace
}  // namespace brevalcore::ui
