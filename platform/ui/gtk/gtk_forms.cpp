// The four modal forms as GTK dialogs. Each dialog shows its form object and hands every action
// of the doctor to it; what the lists hold and which buttons work is the form object's business.
#include <algorithm>

#include "platform/ui/forms.h"
#include "platform/ui/gtk/gtk_support.h"
#include "platform/ui/gtk/gtk_user_interface.h"

namespace brevalcore::ui {

using gtk::Utf8;

namespace {

// Responses of the buttons that act without closing the dialog.
enum Response { kRemove = 1, kRemoveAll, kCheckAll, kUncheckAll };

GtkWidget* ContentBox(GtkWidget* dialog) {
  GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
  gtk_box_set_spacing(GTK_BOX(content), 8);
  return content;
}

GtkWidget* AddLabel(GtkWidget* content, StringView text) {
  GtkWidget* label = gtk_label_new(Utf8(text).c_str());
  gtk_label_set_xalign(GTK_LABEL(label), 0);
  gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
  gtk_container_add(GTK_CONTAINER(content), label);
  return label;
}

void Close(GtkWidget* dialog) {
  if (GTK_IS_WIDGET(dialog)) gtk_widget_destroy(dialog);
}

// --- PersInformer

struct PersInformerDialog {
  PersInformerForm* form;
  GtkWidget* dialog;
  GtkWidget* list;
  GtkWidget* remove;
  GtkWidget* removeAll;
  bool filling = false;

  void Show() {
    filling = true;
    gtk::FillTextList(list, form->LineTexts());
    if (form->Selected()) gtk::SelectLine(list, static_cast<int>(*form->Selected()));
    filling = false;
    gtk_widget_set_sensitive(remove, form->RemoveEnabled());
    gtk_widget_set_sensitive(removeAll, form->RemoveAllEnabled());
  }
  static void OnSelectionChanged(GtkTreeSelection*, gpointer data) {
    auto* self = static_cast<PersInformerDialog*>(data);
    const int line = gtk::SelectedLine(self->list);
    if (!self->filling && line >= 0) self->form->Select(static_cast<size_t>(line));
  }
  static void OnDoubleClick(int line, gpointer data) {
    auto* self = static_cast<PersInformerDialog*>(data);
    self->form->DoubleClick(static_cast<size_t>(line));
    self->Show();
  }
  // The remove buttons act in place; only OK, Annulla and closing end the dialog.
  static void OnResponse(GtkDialog* dialog, int response, gpointer data) {
    auto* self = static_cast<PersInformerDialog*>(data);
    if (response == kRemove) self->form->Remove();
    else if (response == kRemoveAll) self->form->RemoveAll();
    else return;
    self->Show();
    g_signal_stop_emission_by_name(dialog, "response");
  }
};

// --- SelezioneFarmaci

// One row per drug, each a check box named by the drug's description: the row holds the
// keyboard focus (arrows move between rows, Space ticks the focused one), the mouse ticks the box.
struct SelezioneDialog {
  SelezioneFarmaciForm* form;
  GtkWidget* list;
  std::vector<GtkWidget*> checks;
  bool syncing = false;

  void AddLines() {
    for (size_t line = 0; line < form->LineCount(); ++line) {
      GtkWidget* check = gtk_check_button_new_with_label(Utf8(form->LineText(line)).c_str());
      gtk_widget_set_can_focus(check, FALSE);
      GtkWidget* row = gtk_list_box_row_new();
      gtk_container_add(GTK_CONTAINER(row), check);
      gtk::SetAccessibleName(row, form->LineText(line));
      gtk_container_add(GTK_CONTAINER(list), row);
      g_signal_connect(check, "toggled", G_CALLBACK(OnToggled), this);
      checks.push_back(check);
    }
    ShowChecks();
  }
  void ShowChecks() {
    syncing = true;
    for (size_t line = 0; line < checks.size(); ++line)
      gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(checks[line]), form->IsChecked(line));
    syncing = false;
  }
  size_t LineOf(GtkWidget* check) const {
    return static_cast<size_t>(std::find(checks.begin(), checks.end(), check) - checks.begin());
  }
  static void OnToggled(GtkToggleButton* check, gpointer data) {
    auto* self = static_cast<SelezioneDialog*>(data);
    if (self->syncing) return;
    self->form->SetChecked(self->LineOf(GTK_WIDGET(check)), gtk_toggle_button_get_active(check));
    self->ShowChecks();
  }
  // Space (or a click on the row beside the box) ticks the line.
  static void OnRowActivated(GtkListBox*, GtkListBoxRow* row, gpointer data) {
    auto* self = static_cast<SelezioneDialog*>(data);
    self->form->Toggle(static_cast<size_t>(gtk_list_box_row_get_index(row)));
    self->ShowChecks();
  }
  static void OnRowSelected(GtkListBox*, GtkListBoxRow* row, gpointer data) {
    if (row) static_cast<SelezioneDialog*>(data)->form->Select(static_cast<size_t>(gtk_list_box_row_get_index(row)));
  }
  // "Tutti" and "Nessuno" act in place; only OK, Annulla and closing end the dialog.
  static void OnResponse(GtkDialog* dialog, int response, gpointer data) {
    auto* self = static_cast<SelezioneDialog*>(data);
    if (response == kCheckAll) self->form->CheckAll();
    else if (response == kUncheckAll) self->form->UncheckAll();
    else return;
    self->ShowChecks();
    g_signal_stop_emission_by_name(dialog, "response");
  }
};

// --- ShellList

struct ShellListDialog {
  ShellListForm* form;
  GtkWidget* dialog;
  GtkWidget* list;
  bool filling = false;

  static void OnSelectionChanged(GtkTreeSelection*, gpointer data) {
    auto* self = static_cast<ShellListDialog*>(data);
    const int line = gtk::SelectedLine(self->list);
    if (!self->filling && line >= 0) self->form->Select(static_cast<size_t>(line));
  }
  static void OnDoubleClick(int line, gpointer data) {
    auto* self = static_cast<ShellListDialog*>(data);
    self->form->DoubleClick(static_cast<size_t>(line));
    gtk_dialog_response(GTK_DIALOG(self->dialog), GTK_RESPONSE_OK);
  }
};

// --- ShortcutForm

struct ShortcutDialog {
  ShortcutFormModel* form;
  GtkWidget* dialog;
  guint timer = 0;

  static gboolean OnTimer(gpointer data) {
    auto* self = static_cast<ShortcutDialog*>(data);
    self->form->TimerFired();
    if (!self->form->Closed()) return G_SOURCE_CONTINUE;
    self->timer = 0;
    gtk_dialog_response(GTK_DIALOG(self->dialog), GTK_RESPONSE_CLOSE);
    return G_SOURCE_REMOVE;
  }
  // lbl_Link: the control opens the target itself, never GTK.
  static gboolean OnLinkClicked(GtkLinkButton*, gpointer data) {
    static_cast<ShortcutDialog*>(data)->form->ClickLink();
    return TRUE;
  }
};

}  // namespace

void GtkUserInterface::ShowPersInformer(PersInformerForm& form) {
  GtkWidget* dialog = gtk::NewModalDialog(parent_, form_text::kPersInformerCaption);
  GtkWidget* content = ContentBox(dialog);
  GtkWidget* list = nullptr;
  gtk_container_add(GTK_CONTAINER(content), gtk::NewTextList(&list));
  gtk::SetAccessibleName(list, form_text::kPersInformerCaption);  // the form has no label of its own
  PersInformerDialog self{&form, dialog, list, nullptr, nullptr};
  self.remove = gtk::AddButton(dialog, form_text::kElimina, kRemove);
  self.removeAll = gtk::AddButton(dialog, form_text::kEliminaTutti, kRemoveAll);
  gtk::AddButton(dialog, form_text::kOk, GTK_RESPONSE_OK);
  gtk::AddButton(dialog, form_text::kAnnulla, GTK_RESPONSE_CANCEL);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
  g_signal_connect(gtk_tree_view_get_selection(GTK_TREE_VIEW(list)), "changed",
                   G_CALLBACK(PersInformerDialog::OnSelectionChanged), &self);
  gtk::ConnectListDoubleClick(list, PersInformerDialog::OnDoubleClick, &self);
  gtk::ConnectListKeys(dialog, list, false);
  g_signal_connect(dialog, "response", G_CALLBACK(PersInformerDialog::OnResponse), &self);
  self.Show();
  gtk_widget_show_all(dialog);
  gtk_widget_grab_focus(list);

  if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK) form.Ok();
  else form.Cancel();
  Close(dialog);
}

void GtkUserInterface::ShowSelezioneFarmaci(SelezioneFarmaciForm& form) {
  GtkWidget* dialog = gtk::NewModalDialog(parent_, form_text::kSelezioneCaption);
  GtkWidget* content = ContentBox(dialog);
  GtkWidget* label = AddLabel(content, form_text::kSelezioneLabel);
  GtkWidget* list = gtk_list_box_new();
  gtk_list_box_set_activate_on_single_click(GTK_LIST_BOX(list), FALSE);
  gtk_label_set_mnemonic_widget(GTK_LABEL(label), list);  // the list is named by the label
  gtk::SetAccessibleName(list, form_text::kSelezioneLabel);
  GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
  gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scrolled), GTK_SHADOW_IN);
  gtk_widget_set_size_request(scrolled, 380, 200);
  gtk_container_add(GTK_CONTAINER(scrolled), list);
  gtk_container_add(GTK_CONTAINER(content), scrolled);
  SelezioneDialog self{&form, list, {}};
  self.AddLines();
  if (form.Selected())
    gtk_list_box_select_row(GTK_LIST_BOX(list),
                            gtk_list_box_get_row_at_index(GTK_LIST_BOX(list), static_cast<int>(*form.Selected())));
  g_signal_connect(list, "row-activated", G_CALLBACK(SelezioneDialog::OnRowActivated), &self);
  g_signal_connect(list, "row-selected", G_CALLBACK(SelezioneDialog::OnRowSelected), &self);
  gtk::ConnectListKeys(dialog, list, true);

  GtkWidget* all = gtk::AddButton(dialog, form_text::kTutti, kCheckAll);
  GtkWidget* none = gtk::AddButton(dialog, form_text::kNessuno, kUncheckAll);
  gtk::AddButton(dialog, form_text::kOk, GTK_RESPONSE_OK);
  gtk::AddButton(dialog, form_text::kAnnulla, GTK_RESPONSE_CANCEL);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
  gtk_widget_show_all(dialog);
  gtk_widget_set_visible(all, form.AllNoneVisible());
  gtk_widget_set_visible(none, form.AllNoneVisible());
  if (GtkListBoxRow* first = gtk_list_box_get_row_at_index(GTK_LIST_BOX(list), 0)) gtk_widget_grab_focus(GTK_WIDGET(first));

  g_signal_connect(dialog, "response", G_CALLBACK(SelezioneDialog::OnResponse), &self);
  if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK) form.Ok();
  else form.Cancel();
  Close(dialog);
}

void GtkUserInterface::ShowShellList(ShellListForm& form) {
  GtkWidget* dialog = gtk::NewModalDialog(parent_, form.Caption());
  GtkWidget* content = ContentBox(dialog);
  GtkWidget* label = AddLabel(content, form_text::kShellListLabel);
  GtkWidget* list = nullptr;
  gtk_container_add(GTK_CONTAINER(content), gtk::NewTextList(&list));
  gtk_label_set_mnemonic_widget(GTK_LABEL(label), list);
  gtk::SetAccessibleName(list, form_text::kShellListLabel);
  ShellListDialog self{&form, dialog, list};
  self.filling = true;
  gtk::FillTextList(list, form.LineTexts());
  if (form.Selected()) gtk::SelectLine(list, static_cast<int>(*form.Selected()));
  self.filling = false;
  g_signal_connect(gtk_tree_view_get_selection(GTK_TREE_VIEW(list)), "changed",
                   G_CALLBACK(ShellListDialog::OnSelectionChanged), &self);
  gtk::ConnectListDoubleClick(list, ShellListDialog::OnDoubleClick, &self);
  gtk::ConnectListKeys(dialog, list, true);
  gtk::AddButton(dialog, form_text::kApriDocumento, GTK_RESPONSE_OK);
  gtk::AddButton(dialog, form_text::kChiudi, GTK_RESPONSE_CANCEL);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
  gtk_widget_show_all(dialog);
  gtk_widget_grab_focus(list);

  if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK) form.Ok();
  else form.Cancel();
  Close(dialog);
}

void GtkUserInterface::ShowShortcutForm(ShortcutFormModel& form) {
  GtkWidget* dialog = gtk::NewModalDialog(parent_, form.Caption());
  GtkWidget* content = ContentBox(dialog);
  AddLabel(content, form_text::kShortcutDescription);
  ShortcutDialog self{&form, dialog};
  GtkWidget* link = gtk_link_button_new_with_label(Utf8(form.Target()).c_str(), Utf8(form.LinkText()).c_str());
  gtk_widget_set_halign(link, GTK_ALIGN_START);
  g_signal_connect(link, "activate-link", G_CALLBACK(ShortcutDialog::OnLinkClicked), &self);
  gtk_container_add(GTK_CONTAINER(content), link);
  GtkWidget* close = gtk::AddButton(dialog, form_text::kChiudi, GTK_RESPONSE_CLOSE);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_CLOSE);
  gtk_widget_show_all(dialog);
  gtk_widget_grab_focus(close);

  if (form.TimerEnabled())
    self.timer = g_timeout_add(static_cast<guint>(form.TimerIntervalMs()), ShortcutDialog::OnTimer, &self);
  while (!form.Closed()) {
    gtk_dialog_run(GTK_DIALOG(dialog));
    form.Close();
  }
  if (self.timer) g_source_remove(self.timer);
  Close(dialog);
}

}  // namespace brevalcore::ui
