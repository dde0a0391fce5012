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

GtkWidget* NewModalDialog(GtkWindow* parent, automation::StringView caption) {
  GtkWidget* dialog = gtk_dialog_new();
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

GtkWidget* NewTextList(GtkWidget** list, bool withCheckBoxes) {
  GtkListStore* store = gtk_list_store_new(2, G_TYPE_STRING, G_TYPE_BOOLEAN);
  *list = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
  g_object_unref(store);
  gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(*list), FALSE);
  if (withCheckBoxes) {
    GtkCellRenderer* toggle = gtk_cell_renderer_toggle_new();
    gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(*list), -1, "", toggle, "active", 1, nullptr);
  }
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

void FillTextList(GtkWidget* list, const std::vector<automation::String>& lines, const std::vector<bool>& checked) {
  GtkListStore* store = GTK_LIST_STORE(gtk_tree_view_get_model(GTK_TREE_VIEW(list)));
  gtk_list_store_clear(store);
  for (size_t i = 0; i < lines.size(); ++i) {
    GtkTreeIter iter;
    gtk_list_store_append(store, &iter);
    gtk_list_store_set(store, &iter, 0, Utf8(lines[i]).c_str(), 1, i < checked.size() && checked[i], -1);
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
