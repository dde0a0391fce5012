// The GTK dialogs on a display with a window manager, answered as a doctor answers them: with
// real keys and mouse presses (XTest). Each form's Enter, Escape, Space, Tab and access keys do
// what the platform's form does; message boxes show their icon and the platform's buttons; the
// window manager offers no resize, minimise or maximise; a picture of each form and of the
// menu is saved in the build folder's screenshots/.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>

#include "platform/ui/forms.h"
#include "platform/ui/gtk/gtk_user_interface.h"
#include "tests/gtk/gtk_test_support.h"

namespace brevalcore::ui {
namespace {

using automation::ToUtf8;
using namespace gtktest;

// The dialogs belong to the host's window, as the control's do.
class GtkDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    BREVALCORE_REQUIRE_DISPLAY();
    host_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(host_), "Prescrizione");
    gtk_window_set_default_size(GTK_WINDOW(host_), 700, 500);
    gtk_widget_show_all(host_);
    ASSERT_TRUE(ActivateWindow(host_));
    ui_.SetParent(GTK_WINDOW(host_));
  }
  void TearDown() override {
    if (host_) gtk_widget_destroy(host_);
  }
  GtkWidget* host_ = nullptr;
  GtkUserInterface ui_;
};

// Presses each of the keys in turn ("click N": a mouse press on line N of the form's list,
// "double-click N" likewise).
void Play(GtkWidget* dialog, const std::vector<std::string>& steps);

// The platform's dialog frame: the window asks for move (and close, when it may be closed) and
// nothing else, and the window manager offers no resizing or maximising. (Openbox, by design,
// keeps its minimise button whatever a window asks; window managers that follow the hints drop
// it.)
void ExpectFixedFrame(GtkWidget* window, bool closable) {
  constexpr long kMove = 4, kClose = 32;
  EXPECT_EQ(RequestedFunctions(window), kMove | (closable ? kClose : 0));
  const auto actions = AllowedActions(window);
  for (const char* forbidden : {"RESIZE", "MAXIMIZE_HORZ", "MAXIMIZE_VERT"})
    EXPECT_EQ(std::count(actions.begin(), actions.end(), forbidden), 0) << forbidden;
  EXPECT_EQ(std::count(actions.begin(), actions.end(), "MOVE"), 1);
}

TEST_F(GtkDialogsTest, MessageBoxKeysIconsButtonsAndFrame) {
  struct Row {
    int style;
    std::vector<std::string> buttons;
    const char* icon;                // icon name, "" for none
    std::vector<std::string> keys;
    Button expected;
  } rows[] = {
      {style::kOkOnly, {"OK"}, "", {"Return"}, Button::Ok},
      {style::kOkOnly | style::kInformation, {"OK"}, "dialog-information", {"Escape"}, Button::Ok},
      {style::kOkCancel | style::kExclamation, {"OK", "Annulla"}, "dialog-warning", {"Escape"}, Button::Cancel},
      {style::kOkCancel, {"OK", "Annulla"}, "", {"Tab", "space"}, Button::Cancel},
      {style::kYesNo | style::kQuestion, {"S\xC3\xAC", "No"}, "dialog-question", {"Return"}, Button::Yes},
      // Escape cannot close a Yes/No question; only its buttons can.
      {style::kYesNo | style::kQuestion, {"S\xC3\xAC", "No"}, "dialog-question", {"Escape", "Tab", "Return"}, Button::No},
      {style::kYesNoCancel | style::kDefaultButton2, {"S\xC3\xAC", "No", "Annulla"}, "", {"Return"}, Button::No},
      {style::kAbortRetryIgnore | style::kCritical, {"Interrompi", "Riprova", "Ignora"}, "dialog-error", {"Tab", "Tab", "Return"},
       Button::Ignore},
      {style::kRetryCancel, {"Riprova", "Annulla"}, "", {"Return"}, Button::Retry},
  };
  int number = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.style);
    std::vector<std::string> shown;
    std::string icon;
    DriveWindow("Canale informativo", [&](GtkWidget* box) {
      shown = ButtonLabels(box);
      GtkWidget* image = nullptr;
      G_GNUC_BEGIN_IGNORE_DEPRECATIONS
      image = gtk_message_dialog_get_image(GTK_MESSAGE_DIALOG(box));
      G_GNUC_END_IGNORE_DEPRECATIONS
      const gchar* name = nullptr;
      if (image && gtk_widget_get_visible(image) && gtk_image_get_storage_type(GTK_IMAGE(image)) == GTK_IMAGE_ICON_NAME)
        gtk_image_get_icon_name(GTK_IMAGE(image), &name, nullptr);
      icon = name ? name : "";
      ExpectFixedFrame(box, ButtonOnClose(row.style).has_value());
      Play(box, row.keys);
    }, number == 4 ? "messagebox-question" : "");
    EXPECT_EQ(ui_.MessageBox(u"Si desidera impostare il farmaco come <Non Sostituibile>?", row.style, u"Canale informativo"),
              row.expected);
    EXPECT_EQ(shown, row.buttons);
    EXPECT_EQ(icon, row.icon);
    ++number;
  }
}

TEST_F(GtkDialogsTest, InputBoxTakesTypedTextOrNothing) {
  struct Row {
    std::vector<std::string> keys;
    std::optional<String> expected;
  } rows[] = {{{"ctrl+a", "x", "y", "Return"}, u"xy"}, {{"Escape"}, std::nullopt}, {{"Tab", "Tab", "Return"}, std::nullopt}};
  for (const Row& row : rows) {
    DriveWindow("Titolo", [&](GtkWidget* box) { Play(box, row.keys); });
    EXPECT_EQ(ui_.InputBox(u"Domanda", u"Titolo", u"predefinito"), row.expected);
  }
}

TEST_F(GtkDialogsTest, ContextMenuByKeysAndMouse) {
  struct Row {
    bool offline;
    std::vector<std::string> keys;  // or "click <item>"
    ContextMenuChoice expected;
  } rows[] = {
      {false, {"Down", "Return"}, ContextMenuChoice::AutoSubstituteList},
      {true, {"Down", "Down", "Return"}, ContextMenuChoice::Offline},
      {false, {"Up", "Return"}, ContextMenuChoice::Cancel},
      {false, {"Escape"}, ContextMenuChoice::None},
      {false, {"click Offline"}, ContextMenuChoice::Offline},
  };
  bool first = true;
  for (const Row& row : rows) {
    AnswerWhen([&] {
      GtkWidget* menu = VisibleMenu();
      if (!menu || !gtk_widget_get_mapped(menu)) return false;
      RunFor(200);
      if (first) SaveScreenshot(gtk_widget_get_toplevel(menu), "menu-context");
      first = false;
      for (const std::string& key : row.keys) {
        if (key.rfind("click ", 0) != 0) {
          PressKeys(key);
          continue;
        }
        GList* items = gtk_container_get_children(GTK_CONTAINER(menu));
        for (GList* item = items; item; item = item->next) {
          GtkWidget* widget = GTK_WIDGET(item->data);
          if (!GTK_IS_SEPARATOR_MENU_ITEM(widget) && key.substr(6) == gtk_menu_item_get_label(GTK_MENU_ITEM(widget)))
            ClickAt(widget, 10, gtk_widget_get_allocated_height(widget) / 2);
        }
        g_list_free(items);
      }
      return true;
    });
    EXPECT_EQ(ui_.ShowContextMenu(row.offline, 200, 200), row.expected);
    EXPECT_EQ(VisibleMenuCount(), 0);
  }
}

// The rows' places in the list, as the mouse finds them.
GtkWidget* ListOf(GtkWidget* dialog) {
  if (GtkWidget* box = FindChild(dialog, GTK_TYPE_LIST_BOX)) return box;
  return FindChild(dialog, GTK_TYPE_TREE_VIEW);
}

void PointOfLine(GtkWidget* dialog, int line, GtkWidget** widget, int* x, int* y) {
  GtkWidget* list = ListOf(dialog);
  if (GTK_IS_LIST_BOX(list)) {
    *widget = GTK_WIDGET(gtk_list_box_get_row_at_index(GTK_LIST_BOX(list), line));
    *x = 10;  // on the check box
    *y = gtk_widget_get_allocated_height(*widget) / 2;
    return;
  }
  GdkRectangle cell{};
  GtkTreePath* path = gtk_tree_path_new_from_indices(line, -1);
  gtk_tree_view_get_cell_area(GTK_TREE_VIEW(list), path, nullptr, &cell);
  gtk_tree_path_free(path);
  gtk_tree_view_convert_bin_window_to_widget_coords(GTK_TREE_VIEW(list), cell.x + 20, cell.y + cell.height / 2, x, y);
  *widget = list;
}

void Play(GtkWidget* dialog, const std::vector<std::string>& steps) {
  for (const std::string& step : steps) {
    const bool doubleClick = step.rfind("double-click ", 0) == 0;
    if (step.rfind("click ", 0) != 0 && !doubleClick) {
      PressKeys(step);
      continue;
    }
    GtkWidget* widget = nullptr;
    int x = 0, y = 0;
    PointOfLine(dialog, std::stoi(step.substr(step.find(' ') + 1)), &widget, &x, &y);
    if (doubleClick) DoubleClickAt(widget, x, y);
    else ClickAt(widget, x, y);
  }
}

TEST_F(GtkDialogsTest, DrugSelectionKeys) {
  struct Row {
    bool single;
    std::vector<std::string> steps;
    std::string drugList;
  } rows[] = {
      // Space ticks the focused line; Enter is OK, the default button, and ticks nothing.
      {false, {"space", "Down", "Down", "space", "Return"}, "aic1&aic3"},
      {false, {"alt+t", "ctrl+Return"}, "aic1&aic2&aic3"},
      {false, {"alt+t", "alt+n", "Down", "space", "ctrl+Return"}, "aic2"},
      {false, {"space", "Escape"}, ""},
      // Tab: the list, then Tutti, Nessuno, OK.
      {false, {"space", "Tab", "Tab", "Tab", "Return"}, "aic1"},
      {false, {"click 1", "click 2", "click 1", "ctrl+Return"}, "aic3"},
      // Single choice: one tick at most, no Tutti or Nessuno to press.
      {true, {"space", "Down", "space", "Return"}, "aic2"},
      {true, {"alt+t", "Return"}, ""},
      {true, {"click 2", "click 0", "Tab", "Return"}, "aic1"},
  };
  int number = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(number);
    SelezioneFarmaciForm form;
    form.SetSingleChoice(row.single);
    form.AddDrug(u"aic1", u"Paracetamolo 500 mg compresse");
    form.AddDrug(u"aic2", u"Ibuprofene 400 mg compresse");
    form.AddDrug(u"aic3", u"Ketoprofene 80 mg bustine");
    std::vector<std::string> buttons;
    DriveWindow("Elenco medicinali", [&](GtkWidget* dialog) {
      buttons = ButtonLabels(dialog);
      ExpectFixedFrame(dialog, true);
      Play(dialog, row.steps);
    }, number == 0 ? "form-elenco-medicinali" : number == 6 ? "form-elenco-medicinali-scelta-singola" : "");
    ui_.ShowSelezioneFarmaci(form);
    EXPECT_EQ(ToUtf8(form.GetDrugList()), row.drugList);
    if (row.single) EXPECT_EQ(buttons, (std::vector<std::string>{"OK", "Annulla"}));
    else EXPECT_EQ(buttons, (std::vector<std::string>{"Tutti", "Nessuno", "OK", "Annulla"}));
    ++number;
  }
}

TEST_F(GtkDialogsTest, DocumentListKeys) {
  struct Row {
    std::vector<std::string> steps;
    std::string document;
  } rows[] = {
      {{"Return"}, "a.pdf"},  // the first line is selected on activation
      {{"Down", "Return"}, "b.pdf"},
      {{"Down", "ctrl+Return"}, "b.pdf"},
      {{"Down", "Escape"}, ""},
      {{"double-click 1"}, "b.pdf"},
      {{"Tab", "Return"}, "a.pdf"},            // Apri documento
      {{"Down", "Tab", "Tab", "Return"}, ""},  // Chiudi
  };
  int number = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(number);
    ShellListForm form;
    form.AddDocument(u"a.pdf", u"Scheda tecnica");
    form.AddDocument(u"b.pdf", u"Foglio illustrativo");
    form.SetTitle(u"Documenti utili");
    form.Activate();
    std::vector<std::string> buttons;
    DriveWindow("Documenti utili", [&](GtkWidget* dialog) {
      buttons = ButtonLabels(dialog);
      ExpectFixedFrame(dialog, true);
      Play(dialog, row.steps);
    }, number == 0 ? "form-elenco-documenti" : "");
    ui_.ShowShellList(form);
    EXPECT_EQ(buttons, (std::vector<std::string>{"Apri documento", "Chiudi"}));
    EXPECT_EQ(ToUtf8(form.GetSelectedDocument()), row.document);
    ++number;
  }
}

TEST_F(GtkDialogsTest, SubstitutionListKeys) {
  struct Row {
    std::vector<std::string> steps;
    FormOutcome outcome;
    std::string section;  // what OK would write
  } rows[] = {
      // Enter on a line is OK, the default button: it deletes nothing.
      {{"click 1", "Return"}, FormOutcome::Ok, "b=g\r\nd=e\r\nz=a"},
      {{"click 1", "alt+e", "Escape"}, FormOutcome::Cancelled, "b=g\r\nz=a"},
      // An access key presses its button and leaves the focus where it was.
      {{"double-click 0", "click 1", "alt+e", "Return"}, FormOutcome::Ok, "d=e"},
      {{"alt+t", "Return"}, FormOutcome::Ok, ""},
      {{"click 0", "Tab", "Tab", "Tab", "Return"}, FormOutcome::Ok, "b=g\r\nd=e\r\nz=a"},
      {{"click 2", "space", "Escape"}, FormOutcome::Cancelled, "b=g\r\nd=e\r\nz=a"},
  };
  int number = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(number);
    PersInformerForm form;
    form.AddDrug(u"Zeta    sostituito da:    Alfa", u"z=a");
    form.AddDrug(u"Beta    sostituito da:    Gamma", u"b=g");
    form.AddDrug(u"Delta    sostituito da:    Epsilon", u"d=e");
    form.Fill();
    std::vector<std::string> buttons;
    DriveWindow("Sostituzione automatica", [&](GtkWidget* dialog) {
      buttons = ButtonLabels(dialog);
      ExpectFixedFrame(dialog, true);
      Play(dialog, row.steps);
    }, number == 0 ? "form-sostituzione-automatica" : "");
    ui_.ShowPersInformer(form);
    EXPECT_EQ(buttons, (std::vector<std::string>{"Elimina", "Elimina tutti", "OK", "Annulla"}));
    EXPECT_EQ(form.Outcome(), row.outcome);
    EXPECT_EQ(ToUtf8(form.SectionText()), row.section);
    ++number;
  }
}

TEST_F(GtkDialogsTest, ShortcutConfirmationClosesItselfOrOnItsKeys) {
  struct Row {
    int seconds;
    std::vector<std::string> keys;  // none: the timer closes it
  } rows[] = {{1, {}}, {0, {"Return"}}, {0, {"Escape"}}, {0, {"space"}}};
  int number = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(number);
    ShortcutFormModel form(u"Agenda", u"http://example.invalid/agenda", static_cast<int16_t>(row.seconds));
    form.Load();
    bool seen = false;
    DriveWindow(" Collegamento a Agenda", [&](GtkWidget* dialog) {
      seen = true;
      ExpectFixedFrame(dialog, true);
      Play(dialog, row.keys);
    }, number == 1 ? "form-collegamento" : "");
    ui_.ShowShortcutForm(form);
    EXPECT_TRUE(seen);
    EXPECT_TRUE(form.Closed());
    ++number;
  }
}

}  // namespace
}  // namespace brevalcore::ui
