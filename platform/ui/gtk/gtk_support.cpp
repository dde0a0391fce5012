#include "platform/ui/gtk/gtk_support.h"

namespace brevalcore::ui::gtk {

std::string Utf8(automation::StringView text) { return automation::ToUtf8(text); }

std::string Mnemonic(automation::StringView caption) {
  const std::string text = Utf8(caption);
  std::string result;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '_') {
      result += "__";
    } else if (text[i] == '&' && i + 1 < text.size() && text[i + 1] == '&') {
      result += '&';
      ++i;
    } else if (text[i] == '&') {
      result += '_';
    } else {
      result += text[i];
    }
  }
  return result;
}

namespace {

constexpr char kCtrlEnterConfirms[] = "brevalcore-ctrl-enter-confirms";

struct DoubleClick {
  void (*handler)(int line, gpointer data);
  gpointer data;
};

gboolean OnListButtonPress(GtkWidget* list, GdkEventButton* event, gpointer data) {
  if (event->type != GDK_2BUTTON_PRESS || event->button != GDK_BUTTON_PRIMARY) return FALSE;
  GtkTreePath* path = nullptr;
  if (!gtk_tree_view_get_path_at_pos(GTK_TREE_VIEW(list), static_cast<int>(event->x), static_cast<int>(event->y), &path,
                                     nullptr, nullptr, nullptr))
    return FALSE;
  const int line = gtk_tree_path_get_indices(path)[0];
  gtk_tree_path_free(path);
  auto* click = static_cast<DoubleClick*>(data);
  click->handler(line, click->data);
  return TRUE;
}

bool IsEnter(guint keyval) {
  return keyval == GDK_KEY_Return || keyval == GDK_KEY_KP_Enter || keyval == GDK_KEY_ISO_Enter;
}

bool IsTab(guint keyval) {
  return keyval == GDK_KEY_Tab || keyval == GDK_KEY_ISO_Left_Tab || keyval == GDK_KEY_KP_Tab;
}

// A list box moves between its lines on Tab; the platform's list is one stop in the tab order,
// its lines reached with the arrows. The lines step aside while the focus moves on.
void TabOutOfList(GtkWidget* dialog, GtkWidget* list, bool backward) {
  GList* rows = gtk_container_get_children(GTK_CONTAINER(list));
  for (GList* row = rows; row; row = row->next) gtk_widget_set_can_focus(GTK_WIDGET(row->data), FALSE);
  g_signal_emit_by_name(dialog, "move-focus", backward ? GTK_DIR_TAB_BACKWARD : GTK_DIR_TAB_FORWARD);
  for (GList* row = rows; row; row = row->next) gtk_widget_set_can_focus(GTK_WIDGET(row->data), TRUE);
  g_list_free(rows);
}

// Connected to the dialog, so it sees the keys before the focused widget does.
gboolean OnListDialogKey(GtkWidget* dialog, GdkEventKey* event, gpointer data) {
  GtkWidget* list = GTK_WIDGET(data);
  if (IsTab(event->keyval) && GTK_IS_LIST_BOX(list)) {
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(dialog));
    if (!focus || !gtk_widget_is_ancestor(focus, list)) return FALSE;
    TabOutOfList(dialog, list, event->keyval == GDK_KEY_ISO_Left_Tab || (event->state & GDK_SHIFT_MASK));
    return TRUE;
  }
  if (!IsEnter(event->keyval)) return FALSE;
  const GdkModifierType modifiers = static_cast<GdkModifierType>(event->state & gtk_accelerator_get_default_mod_mask());
  if (modifiers == GDK_CONTROL_MASK && g_object_get_data(G_OBJECT(dialog), kCtrlEnterConfirms)) {
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    return TRUE;
  }
  GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(dialog));
  if (modifiers != 0 || !focus || (focus != list && !gtk_widget_is_ancestor(focus, list))) return FALSE;
  gtk_window_activate_default(GTK_WINDOW(dialog));
  return TRUE;
}

void OnRealizeFixed(GtkWidget* dialog, gpointer data) {
  const bool closable = GPOINTER_TO_INT(data) != 0;
  GdkWindow* window = gtk_widget_get_window(dialog);
  gdk_window_set_functions(window, static_cast<GdkWMFunction>(GDK_FUNC_MOVE | (closable ? GDK_FUNC_CLOSE : 0)));
  gdk_window_set_decorations(window, static_cast<GdkWMDecoration>(GDK_DECOR_BORDER | GDK_DECOR_TITLE | GDK_DECOR_MENU));
}

}  // namespace

void MakeFixedSize(GtkWidget* dialog, bool closable) {
  gtk_window_set_resizable(GTK_WINDOW(dialog), FALSE);
  gtk_window_set_type_hint(GTK_WINDOW(dialog), GDK_WINDOW_TYPE_HINT_DIALOG);
  gtk_window_set_skip_taskbar_hint(GTK_WINDOW(dialog), TRUE);
  g_signal_connect(dialog, "realize", G_CALLBACK(OnRealizeFixed), GINT_TO_POINTER(closable ? 1 : 0));
}

void SetAccessibleName(GtkWidget* widget, automation::StringView name) {
  atk_object_set_name(gtk_widget_get_accessible(widget), Utf8(name).c_str());
}

void SetAccessibleDescription(GtkWidget* widget, automation::StringView description) {
  atk_object_set_description(gtk_widget_get_accessible(widget), Utf8(description).c_str());
}

void ConnectListKeys(GtkWidget* dialog, GtkWidget* list, bool ctrlEnterConfirms) {
  if (ctrlEnterConfirms) g_object_set_data(G_OBJECT(dialog), kCtrlEnterConfirms, GINT_TO_POINTER(1));
  g_signal_connect(dialog, "key-press-event", G_CALLBACK(OnListDialogKey), list);
}

void ConnectListDoubleClick(GtkWidget* list, void (*onDoubleClick)(int line, gpointer data), gpointer data) {
  g_signal_connect_data(list, "button-press-event", G_CALLBACK(OnListButtonPress), new DoubleClick{onDoubleClick, data},
                        [](gpointer click, GClosure*) { delete static_cast<DoubleClick*>(click); }, GConnectFlags(0));
}

GtkWidget* NewModalDialog(GtkWindow* parent, automation::StringView caption) {
  GtkWidget* dialog = gtk_dialog_new();
  MakeFixedSize(dialog);
  gtk_window_set_title(GTK_WINDOW(dialog), Utf8(caption).c_str());
  gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
  if (parent) {
    gtk_window_set_transient_for(GTK_WINDOW(dialog), parent);
    gtk_window_set_destroy_with_parent(GTK_WINDOW(dialog), TRUE);
  }
  gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER_ON_PARENT);
  gtk_container_set_border_width(GTK_CONTAINER(dialog), 8);
  return dialog;
}

GtkWidget* AddButton(GtkWidget* dialog, automation::StringView caption, int response) {
  GtkWidget* button = gtk_dialog_add_button(GTK_DIALOG(dialog), Mnemonic(caption).c_str(), response);
  gtk_button_set_use_underline(GTK_BUTTON(button), TRUE);
  return button;
}

GtkWidget* NewTextList(GtkWidget** list) {
  GtkListStore* store = gtk_list_store_new(1, G_TYPE_STRING);
  *list = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
  g_object_unref(store);
  gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(*list), FALSE);
  GtkCellRenderer* text = gtk_cell_renderer_text_new();
  gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(*list), -1, "", text, "text", 0, nullptr);

  GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_AUTOMATIC, GTK_POLICY_AUTOMATIC);
  gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scrolled), GTK_SHADOW_IN);
  gtk_widget_set_size_request(scrolled, 380, 200);
  gtk_widget_set_vexpand(scrolled, TRUE);
  gtk_container_add(GTK_CONTAINER(scrolled), *list);
  return scrolled;
}

void FillTextList(GtkWidget* list, const std::vector<automation::String>& lines) {
  GtkListStore* store = GTK_LIST_STORE(gtk_tree_view_get_model(GTK_TREE_VIEW(list)));
  gtk_list_store_clear(store);
  for (const auto& line : lines) {
    GtkTreeIter iter;
    gtk_list_store_append(store, &iter);
    gtk_list_store_set(store, &iter, 0, Utf8(line).c_str(), -1);
  }
}

int SelectedLine(GtkWidget* list) {
  GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(list));
  GtkTreeModel* model = nullptr;
  GtkTreeIter iter;
  if (!gtk_tree_selection_get_selected(selection, &model, &iter)) return -1;
  GtkTreePath* path = gtk_tree_model_get_path(model, &iter);
  const int line = gtk_tree_path_get_indices(path)[0];
  gtk_tree_path_free(path);
  return line;
}

void SelectLine(GtkWidget* list, int line) {
  GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(list));
  if (line < 0) {
    gtk_tree_selection_unselect_all(selection);
    return;
  }
  GtkTreePath* path = gtk_tree_path_new_from_indices(line, -1);
  gtk_tree_selection_select_path(selection, path);
  gtk_tree_view_set_cursor(GTK_TREE_VIEW(list), path, nullptr, FALSE);
  gtk_tree_path_free(path);
}

}  // namespace brevalcore::ui::gtk
