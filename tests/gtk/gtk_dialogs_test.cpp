// The GTK dialogs on a real display: message boxes with the platform's buttons, icons and
// Italian captions, the input box, the page's context menu and the four forms. A test answers
// a dialog the way a doctor would, from the main loop that the dialog itself runs.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "platform/ui/forms.h"
#include "platform/ui/gtk/gtk_user_interface.h"
#include "tests/gtk/gtk_test_support.h"

namespace brevalcore::ui {
namespace {

using automation::ToUtf8;
using namespace gtktest;

class GtkDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!DisplayAvailable()) GTEST_SKIP() << kNoDisplay;
  }
  GtkUserInterface ui_;
};

TEST_F(GtkDialogsTest, MessageBoxShowsTheStyleAndReturnsTheButtonPressed) {
  struct Row {
    int style;
    std::vector<std::string> buttons;
    GtkMessageType icon;
    const char* press;  // a button label, or "close" for the window's close box
    Button expected;
  } rows[] = {
      {style::kOkOnly, {"OK"}, GTK_MESSAGE_OTHER, "OK", Button::Ok},
      {style::kOkOnly | style::kInformation, {"OK"}, GTK_MESSAGE_INFO, "close", Button::Ok},
      {style::kOkCancel | style::kExclamation, {"OK", "Annulla"}, GTK_MESSAGE_WARNING, "close", Button::Cancel},
      {style::kYesNo | style::kQuestion, {"S\xC3\xAC", "No"}, GTK_MESSAGE_QUESTION, "S\xC3\xAC", Button::Yes},
      {style::kYesNoCancel, {"S\xC3\xAC", "No", "Annulla"}, GTK_MESSAGE_OTHER, "No", Button::No},
      {style::kAbortRetryIgnore | style::kCritical, {"Interrompi", "Riprova", "Ignora"}, GTK_MESSAGE_ERROR,
       "Ignora", Button::Ignore},
      {style::kRetryCancel, {"Riprova", "Annulla"}, GTK_MESSAGE_OTHER, "Riprova", Button::Retry},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.style);
    std::vector<std::string> shown;
    GtkMessageType icon = GTK_MESSAGE_OTHER;
    AnswerWhen([&] {
      GtkWidget* box = FindWindow("Canale informativo");
      if (!box) return false;
      shown = ButtonLabels(box);
      g_object_get(box, "message-type", &icon, nullptr);
      if (std::string(row.press) == "close") gtk_window_close(GTK_WINDOW(box));
      else gtk_button_clicked(GTK_BUTTON(FindButton(box, row.press)));
      return true;
    });
    EXPECT_EQ(ui_.MessageBox(u"Testo", row.style, u"Canale informativo"), row.expected);
    EXPECT_EQ(shown, row.buttons);
    EXPECT_EQ(icon, row.icon);
  }
}

// A Yes/No question has no way out but its buttons.
TEST_F(GtkDialogsTest, YesNoQuestionCannotBeClosedWithoutAnswer) {
  int step = 0;
  AnswerWhen([&] {
    GtkWidget* box = FindWindow("Canale informativo");
    if (!box) return false;
    if (step++ == 0) {
      EXPECT_FALSE(gtk_window_get_deletable(GTK_WINDOW(box)));
      gtk_dialog_response(GTK_DIALOG(box), GTK_RESPONSE_DELETE_EVENT);
      return false;
    }
    gtk_button_clicked(GTK_BUTTON(FindButton(box, "No")));
    return true;
  });
  EXPECT_EQ(ui_.MessageBox(u"Si desidera impostare il farmaco come <Non Sostituibile>?", 36, u"Canale informativo"),
            Button::No);
  EXPECT_GE(step, 2);
}

TEST_F(GtkDialogsTest, InputBoxGivesTheTextOrNothing) {
  for (const bool ok : {true, false}) {
    AnswerWhen([&] {
      GtkWidget* box = FindWindow("Titolo");
      if (!box) return false;
      GtkWidget* entry = FindChild(box, GTK_TYPE_ENTRY);
      EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(entry)), "predefinito");
      gtk_entry_set_text(GTK_ENTRY(entry), "scritto");
      gtk_button_clicked(GTK_BUTTON(FindButton(box, ok ? "OK" : "Annulla")));
      return true;
    });
    const auto answer = ui_.InputBox(u"Domanda", u"Titolo", u"predefinito");
    if (ok) EXPECT_EQ(answer, std::optional<String>(u"scritto"));
    else EXPECT_EQ(answer, std::nullopt);
  }
}

std::vector<std::string> MenuLabels(GtkWidget* menu, bool* offlineChecked) {
  std::vector<std::string> labels;
  GList* items = gtk_container_get_children(GTK_CONTAINER(menu));
  for (GList* item = items; item; item = item->next) {
    GtkWidget* widget = GTK_WIDGET(item->data);
    if (GTK_IS_SEPARATOR_MENU_ITEM(widget)) labels.push_back("-");
    else labels.push_back(gtk_menu_item_get_label(GTK_MENU_ITEM(widget)));
    if (GTK_IS_CHECK_MENU_ITEM(widget)) *offlineChecked = gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(widget));
  }
  g_list_free(items);
  return labels;
}

GtkWidget* MenuItem(GtkWidget* menu, const std::string& label) {
  GtkWidget* found = nullptr;
  GList* items = gtk_container_get_children(GTK_CONTAINER(menu));
  for (GList* item = items; item && !found; item = item->next) {
    GtkWidget* widget = GTK_WIDGET(item->data);
    const char* text = GTK_IS_SEPARATOR_MENU_ITEM(widget) ? nullptr : gtk_menu_item_get_label(GTK_MENU_ITEM(widget));
    if (text && label == text) found = widget;
  }
  g_list_free(items);
  return found;
}

TEST_F(GtkDialogsTest, ContextMenuHasItsFourItemsAndTheOfflineCheckMark) {
  struct Row {
    bool offline;
    const char* choose;  // an item, or "" to close the menu without a choice
    ContextMenuChoice expected;
  } rows[] = {
      {false, "Gestione sostituzioni farmaci", ContextMenuChoice::AutoSubstituteList},
      {true, "Offline", ContextMenuChoice::Offline},
      {false, "Offline", ContextMenuChoice::Offline},
      {true, "Annulla", ContextMenuChoice::Cancel},
      {false, "", ContextMenuChoice::None},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.choose);
    std::vector<std::string> labels;
    bool checked = !row.offline;
    AnswerWhen([&] {
      GtkWidget* menu = VisibleMenu();
      if (!menu) return false;
      labels = MenuLabels(menu, &checked);
      if (*row.choose) gtk_menu_shell_activate_item(GTK_MENU_SHELL(menu), MenuItem(menu, row.choose), TRUE);
      else gtk_menu_shell_cancel(GTK_MENU_SHELL(menu));
      return true;
    });
    EXPECT_EQ(ui_.ShowContextMenu(row.offline, 40, 40), row.expected);
    EXPECT_EQ(labels, (std::vector<std::string>{"Gestione sostituzioni farmaci", "Offline", "-", "Annulla"}));
    EXPECT_EQ(checked, row.offline);
    EXPECT_EQ(VisibleMenuCount(), 0);
  }
}

// Check boxes of the list as the dialog shows them.
std::vector<bool> ShownChecks(GtkWidget* dialog) {
  GtkTreeModel* model = gtk_tree_view_get_model(GTK_TREE_VIEW(FindChild(dialog, GTK_TYPE_TREE_VIEW)));
  std::vector<bool> checks;
  GtkTreeIter iter;
  for (bool more = gtk_tree_model_get_iter_first(model, &iter); more; more = gtk_tree_model_iter_next(model, &iter)) {
    gboolean checked = FALSE;
    gtk_tree_model_get(model, &iter, 1, &checked, -1);
    checks.push_back(checked);
  }
  return checks;
}

void ToggleLine(GtkWidget* dialog, int line) {
  GtkTreeView* list = GTK_TREE_VIEW(FindChild(dialog, GTK_TYPE_TREE_VIEW));
  GList* cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(gtk_tree_view_get_column(list, 0)));
  g_signal_emit_by_name(cells->data, "toggled", std::to_string(line).c_str());
  g_list_free(cells);
}

TEST_F(GtkDialogsTest, DrugSelectionInSingleAndMultipleChoice) {
  struct Row {
    bool single;
    std::vector<std::string> buttons;
    std::vector<std::string> steps;  // "toggle N" or a button label
    std::vector<bool> checks;        // as shown before the last step
    std::string drugList;
  } rows[] = {
      {true, {"OK", "Annulla"}, {"toggle 0", "toggle 2", "OK"}, {false, false, true}, "aic3"},
      {false, {"Tutti", "Nessuno", "OK", "Annulla"}, {"Tutti", "toggle 1", "OK"}, {true, false, true}, "aic1&aic3"},
      {false, {"Tutti", "Nessuno", "OK", "Annulla"}, {"Tutti", "Nessuno", "toggle 1", "OK"}, {false, true, false}, "aic2"},
      {false, {"Tutti", "Nessuno", "OK", "Annulla"}, {"Tutti", "Annulla"}, {true, true, true}, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.drugList);
    SelezioneFarmaciForm form;
    form.SetSingleChoice(row.single);
    form.AddDrug(u"aic1", u"Primo");
    form.AddDrug(u"aic2", u"Secondo");
    form.AddDrug(u"aic3", u"Terzo");
    std::vector<std::string> buttons;
    std::vector<bool> checks;
    AnswerWhen([&] {
      GtkWidget* dialog = FindWindow("Elenco medicinali");
      if (!dialog) return false;
      buttons = ButtonLabels(dialog);
      for (const std::string& step : row.steps) {
        if (&step == &row.steps.back()) checks = ShownChecks(dialog);
        if (step.rfind("toggle ", 0) == 0) ToggleLine(dialog, std::stoi(step.substr(7)));
        else gtk_button_clicked(GTK_BUTTON(FindButton(dialog, step)));
      }
      return true;
    });
    ui_.ShowSelezioneFarmaci(form);
    EXPECT_EQ(buttons, row.buttons);
    EXPECT_EQ(checks, row.checks);
    EXPECT_EQ(ToUtf8(form.GetDrugList()), row.drugList);
  }
}

TEST_F(GtkDialogsTest, DocumentListOpensTheChosenDocument) {
  struct Row {
    const char* action;  // "OK", "Chiudi", "double-click 1"
    std::string document;
  } rows[] = {{"Apri documento", "a.pdf"}, {"Chiudi", ""}, {"double-click 1", "b.pdf"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.action);
    ShellListForm form;
    form.AddDocument(u"a.pdf", u"Documento A");
    form.AddDocument(u"b.pdf", u"Documento B");
    form.SetTitle(u"Documenti utili");
    form.Activate();
    std::vector<std::string> buttons;
    AnswerWhen([&] {
      GtkWidget* dialog = FindWindow("Documenti utili");
      if (!dialog) return false;
      buttons = ButtonLabels(dialog);
      if (std::string(row.action) == "double-click 1") {
        GtkTreePath* path = gtk_tree_path_new_from_indices(1, -1);
        gtk_tree_view_row_activated(GTK_TREE_VIEW(FindChild(dialog, GTK_TYPE_TREE_VIEW)), path, nullptr);
        gtk_tree_path_free(path);
      } else {
        gtk_button_clicked(GTK_BUTTON(FindButton(dialog, row.action)));
      }
      return true;
    });
    ui_.ShowShellList(form);
    EXPECT_EQ(buttons, (std::vector<std::string>{"Apri documento", "Chiudi"}));
    EXPECT_EQ(ToUtf8(form.GetSelectedDocument()), row.document);
  }
}

TEST_F(GtkDialogsTest, SubstitutionListRemovesLinesAndKeepsTheRest) {
  PersInformerForm form;
  form.AddDrug(u"Zeta    sostituito da:    Alfa", u"z=a");
  form.AddDrug(u"Beta    sostituito da:    Gamma", u"b=g");
  form.AddDrug(u"Delta    sostituito da:    Epsilon", u"d=e");
  form.Fill();
  std::vector<std::string> buttons;
  AnswerWhen([&] {
    GtkWidget* dialog = FindWindow("Sostituzione automatica");
    if (!dialog) return false;
    buttons = ButtonLabels(dialog);
    GtkTreeView* list = GTK_TREE_VIEW(FindChild(dialog, GTK_TYPE_TREE_VIEW));
    GtkTreePath* path = gtk_tree_path_new_from_indices(1, -1);  // "Delta ...", the list being sorted
    gtk_tree_selection_select_path(gtk_tree_view_get_selection(list), path);
    gtk_tree_path_free(path);
    gtk_button_clicked(GTK_BUTTON(FindButton(dialog, "Elimina")));
    gtk_button_clicked(GTK_BUTTON(FindButton(dialog, "OK")));
    return true;
  });
  ui_.ShowPersInformer(form);
  EXPECT_EQ(buttons, (std::vector<std::string>{"Elimina", "Elimina tutti", "OK", "Annulla"}));
  EXPECT_EQ(form.Outcome(), FormOutcome::Ok);
  EXPECT_EQ(ToUtf8(form.SectionText()), "b=g\r\nz=a");
}

TEST_F(GtkDialogsTest, ShortcutConfirmationClosesItselfOrOnChiudi) {
  for (const int seconds : {1, 0}) {
    SCOPED_TRACE(seconds);
    ShortcutFormModel form(u"Agenda", u"http://example.invalid/agenda", static_cast<int16_t>(seconds));
    form.Load();
    bool seen = false;
    AnswerWhen([&] {
      GtkWidget* dialog = FindWindow(" Collegamento a Agenda");
      if (!dialog) return false;
      seen = true;
      // Without a timer only the button closes it.
      if (seconds == 0) gtk_button_clicked(GTK_BUTTON(FindButton(dialog, "Chiudi")));
      return true;
    });
    ui_.ShowShortcutForm(form);
    EXPECT_TRUE(seen);
    EXPECT_TRUE(form.Closed());
  }
}

}  // namespace
}  // namespace brevalcore::ui
