// The four modal forms as GTK dialogs. Each dialog shows its form object and hands every action
// of the doctor to it; what the lists hold and which buttons work is the form object's business.
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

// Ctrl+Enter confirms the lists, as their OK button does.
gboolean OnListDialogKey(GtkWidget* dialog, GdkEventKey* event, gpointer) {
  const bool enter = event->keyval == GDK_KEY_Return || event->keyval == GDK_KEY_KP_Enter;
  if (!enter || !(event->state & GDK_CONTROL_MASK)) return FALSE;
  gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
  return TRUE;
}

int ActivatedLine(GtkTreePath* path) { return gtk_tree_path_get_indices(path)[0]; }

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
  static void OnRowActivated(GtkTreeView*, GtkTreePath* path, GtkTreeViewColumn*, gpointer data) {
    auto* self = static_cast<PersInformerDialog*>(data);
    self->form->DoubleClick(static_cast<size_t>(ActivatedLine(path)));
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

struct SelezioneDialog {
  SelezioneFarmaciForm* form;
  GtkWidget* list;
  bool filling = false;

  void ShowChecks() {
    GtkTreeModel* model = gtk_tree_view_get_model(GTK_TREE_VIEW(list));
    GtkTreeIter iter;
    size_t line = 0;
    for (bool more = gtk_tree_model_get_iter_first(model, &iter); more; more = gtk_tree_model_iter_next(model, &iter))
      gtk_list_store_set(GTK_LIST_STORE(model), &iter, 1, form->IsChecked(line++), -1);
  }
  static void OnToggled(GtkCellRendererToggle*, gchar* path, gpointer data) {
    auto* self = static_cast<SelezioneDialog*>(data);
    self->form->Toggle(static_cast<size_t>(std::atoi(path)));
    self->ShowChecks();
  }
  static void OnSelectionChanged(GtkTreeSelection*, gpointer data) {
    auto* self = static_cast<SelezioneDialog*>(data);
    const int line = gtk::SelectedLine(self->list);
    if (!self->filling && line >= 0) self->form->Select(static_cast<size_t>(line));
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
  static void OnRowActivated(GtkTreeView*, GtkTreePath* path, GtkTreeViewColumn*, gpointer data) {
    auto* self = static_cast<ShellListDialog*>(data);
    self->form->DoubleClick(static_cast<size_t>(ActivatedLine(path)));
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
  static gboolean OnLinkClicked(GtkLabel*, gchar*, gpointer data) {
    static_cast<ShortcutDialog*>(data)->form->ClickLink();
    return TRUE;
  }
};

}  // namespace

void GtkUserInterface::ShowPersInformer(PersInformerForm& form) {
  GtkWidget* dialog = gtk::NewModalDialog(parent_, form_text::kPersInformerCaption);
  GtkWidget* content = ContentBox(dialog);
  GtkWidget* list = nullptr;
  gtk_container_add(GTK_CONTAINER(content), gtk::NewTextList(&list, false));
  PersInformerDialog self{&form, dialog, list, nullptr, nullptr};
  self.remove = gtk::AddButton(dialog, form_text::kElimina, kRemove);
  self.removeAll = gtk::AddButton(dialog, form_text::kEliminaTutti, kRemoveAll);
  gtk::AddButton(dialog, form_text::kOk, GTK_RESPONSE_OK);
  gtk::AddButton(dialog, form_text::kAnnulla, GTK_RESPONSE_CANCEL);
  g_signal_connect(gtk_tree_view_get_selection(GTK_TREE_VIEW(list)), "changed",
                   G_CALLBACK(PersInformerDialog::OnSelectionChanged), &self);
  g_signal_connect(list, "row-activated", G_CALLBACK(PersInformerDialog::OnRowActivated), &self);
  g_signal_connect(dialog, "response", G_CALLBACK(PersInformerDialog::OnResponse), &self);
  self.Show();
  gtk_widget_show_all(dialog);

  if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK) form.Ok();
  else form.Cancel();
  Close(dialog);
}

void GtkUserInterface::ShowSelezioneFarmaci(SelezioneFarmaciForm& form) {
  GtkWidget* dialog = gtk::NewModalDialog(parent_, form_text::kSelezioneCaption);
  GtkWidget* content = ContentBox(dialog);
  AddLabel(content, form_text::kSelezioneLabel);
  GtkWidget* list = nullptr;
  gtk_container_add(GTK_CONTAINER(content), gtk::NewTextList(&list, true));
  SelezioneDialog self{&form, list};
  std::vector<bool> checked;
  for (size_t i = 0; i < form.LineCount(); ++i) checked.push_back(form.IsChecked(i));
  self.filling = true;
  gtk::FillTextList(list, form.LineTexts(), checked);
  if (form.Selected()) gtk::SelectLine(list, static_cast<int>(*form.Selected()));
  self.filling = false;

  GList* renderers = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(gtk_tree_view_get_column(GTK_TREE_VIEW(list), 0)));
  g_signal_connect(renderers->data, "toggled", G_CALLBACK(SelezioneDialog::OnToggled), &self);
  g_list_free(renderers);
  g_signal_connect(gtk_tree_view_get_selection(GTK_TREE_VIEW(list)), "changed",
                   G_CALLBACK(SelezioneDialog::OnSelectionChanged), &self);
  g_signal_connect(dialog, "key-press-event", G_CALLBACK(OnListDialogKey), nullptr);

  GtkWidget* all = gtk::AddButton(dialog, form_text::kTutti, kCheckAll);
  GtkWidget* none = gtk::AddButton(dialog, form_text::kNessuno, kUncheckAll);
  gtk::AddButton(dialog, form_text::kOk, GTK_RESPONSE_OK);
  gtk::AddButton(dialog, form_text::kAnnulla, GTK_RESPONSE_CANCEL);
  gtk_widget_show_all(dialog);
  gtk_widget_set_visible(all, form.AllNoneVisible());
  gtk_widget_set_visible(none, form.AllNoneVisible());

  g_signal_connect(dialog, "response", G_CALLBACK(SelezioneDialog::OnResponse), &self);
  if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK) form.Ok();
  else form.Cancel();
  Close(dialog);
}

void GtkUserInterface::ShowShellList(ShellListForm& form) {
  GtkWidget* dialog = gtk::NewModalDialog(parent_, form.Caption());
  GtkWidget* content = ContentBox(dialog);
  AddLabel(content, form_text::kShellListLabel);
  GtkWidget* list = nullptr;
  gtk_container_add(GTK_CONTAINER(content), gtk::NewTextList(&list, false));
  ShellListDialog self{&form, dialog, list};
  self.filling = true;
  gtk::FillTextList(list, form.LineTexts());
  if (form.Selected()) gtk::SelectLine(list, static_cast<int>(*form.Selected()));
  self.filling = false;
  g_signal_connect(gtk_tree_view_get_selection(GTK_TREE_VIEW(list)), "changed",
                   G_CALLBACK(ShellListDialog::OnSelectionChanged), &self);
  g_signal_connect(list, "row-activated", G_CALLBACK(ShellListDialog::OnRowActivated), &self);
  g_signal_connect(dialog, "key-press-event", G_CALLBACK(OnListDialogKey), nullptr);
  gtk::AddButton(dialog, form_text::kApriDocumento, GTK_RESPONSE_OK);
  gtk::AddButton(dialog, form_text::kChiudi, GTK_RESPONSE_CANCEL);
  gtk_widget_show_all(dialog);

  if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK) form.Ok();
  else form.Cancel();
  Close(dialog);
}

void GtkUserInterface::ShowShortcutForm(ShortcutFormModel& form) {
  GtkWidget* dialog = gtk::NewModalDialog(parent_, form.Caption());
  GtkWidget* content = ContentBox(dialog);
  AddLabel(content, form_text::kShortcutDescription);
  ShortcutDialog self{&form, dialog};
  gchar* markup = g_markup_printf_escaped("<a href=\"#\">%s</a>", Utf8(form.LinkText()).c_str());
  GtkWidget* link = gtk_label_new(nullptr);
  gtk_label_set_markup(GTK_LABEL(link), markup);
  g_free(markup);
  gtk_label_set_xalign(GTK_LABEL(link), 0);
  g_signal_connect(link, "activate-link", G_CALLBACK(ShortcutDialog::OnLinkClicked), &self);
  gtk_container_add(GTK_CONTAINER(content), link);
  gtk::AddButton(dialog, form_text::kChiudi, GTK_RESPONSE_CLOSE);
  gtk_widget_show_all(dialog);

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
