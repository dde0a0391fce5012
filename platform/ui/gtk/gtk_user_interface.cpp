#include "platform/ui/gtk/gtk_user_interface.h"

#include <algorithm>

#include "platform/ui/gtk/gtk_support.h"

namespace brevalcore::ui {

using gtk::Utf8;

namespace {

// The icon of a message box style, from the desktop's icon theme, and what a screen reader
// says of it. No icon for a style without one.
struct IconOfStyle {
  const char* iconName;
  const char16_t* accessibleName;
};

std::optional<IconOfStyle> IconOf(int styleCode) {
  switch (styleCode & style::kIconMask) {
    case style::kCritical: return IconOfStyle{"dialog-error", gtk::text::kIconCritical};
    case style::kQuestion: return IconOfStyle{"dialog-question", gtk::text::kIconQuestion};
    case style::kExclamation: return IconOfStyle{"dialog-warning", gtk::text::kIconExclamation};
    case style::kInformation: return IconOfStyle{"dialog-information", gtk::text::kIconInformation};
    default: return std::nullopt;
  }
}

GtkMessageType MessageTypeOf(int styleCode) {
  switch (styleCode & style::kIconMask) {
    case style::kCritical: return GTK_MESSAGE_ERROR;
    case style::kQuestion: return GTK_MESSAGE_QUESTION;
    case style::kExclamation: return GTK_MESSAGE_WARNING;
    case style::kInformation: return GTK_MESSAGE_INFO;
    default: return GTK_MESSAGE_OTHER;
  }
}

// The context menu's nested loop and what was chosen in it.
struct MenuRun {
  GMainLoop* loop = nullptr;
  bool quitting = false;
  ContextMenuChoice choice = ContextMenuChoice::None;
};

struct MenuItemChoice {
  MenuRun* run;
  ContextMenuChoice choice;
};

void OnMenuItemActivate(GtkMenuItem*, gpointer data) {
  auto* item = static_cast<MenuItemChoice*>(data);
  item->run->choice = item->choice;
}

// GTK deactivates the menu before it activates the chosen item: the loop ends one turn later,
// so that the choice is known by then.
gboolean QuitMenuLoop(gpointer data) {
  g_main_loop_quit(static_cast<MenuRun*>(data)->loop);
  return G_SOURCE_REMOVE;
}

void OnMenuDeactivate(GtkMenuShell*, gpointer data) {
  auto* run = static_cast<MenuRun*>(data);
  if (run->quitting) return;
  run->quitting = true;
  g_idle_add(QuitMenuLoop, run);
}

}  // namespace

std::optional<Button> ButtonOnClose(int styleCode) {
  const auto buttons = ButtonsOf(styleCode);
  if (std::find(buttons.begin(), buttons.end(), Button::Cancel) != buttons.end()) return Button::Cancel;
  if (buttons.size() == 1 && buttons.front() == Button::Ok) return Button::Ok;
  return std::nullopt;
}

Button GtkUserInterface::MessageBox(StringView prompt, int styleCode, StringView title) {
  GtkWidget* dialog = gtk_message_dialog_new(parent_, GTK_DIALOG_MODAL, MessageTypeOf(styleCode), GTK_BUTTONS_NONE,
                                             "%s", Utf8(prompt).c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), Utf8(title).c_str());
  if (const auto icon = IconOf(styleCode)) {
    GtkWidget* image = gtk_image_new_from_icon_name(icon->iconName, GTK_ICON_SIZE_DIALOG);
    gtk::SetAccessibleName(image, icon->accessibleName);
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS  // still the place GTK 3 keeps for a message box's icon
    gtk_message_dialog_set_image(GTK_MESSAGE_DIALOG(dialog), image);
    G_GNUC_END_IGNORE_DEPRECATIONS
    gtk_widget_show(image);
  }
  // A screen reader announces the box by its title and reads the text, as for the platform's.
  gtk::SetAccessibleName(dialog, title);
  gtk::SetAccessibleDescription(dialog, prompt);
  for (Button button : ButtonsOf(styleCode)) gtk::AddButton(dialog, ButtonCaption(button), static_cast<int>(button));
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), static_cast<int>(DefaultButtonOf(styleCode)));
  // The default button starts with the focus, so that Enter presses it.
  gtk_widget_grab_focus(gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), static_cast<int>(DefaultButtonOf(styleCode))));
  const std::optional<Button> onClose = ButtonOnClose(styleCode);
  gtk_window_set_deletable(GTK_WINDOW(dialog), onClose.has_value());
  gtk::MakeFixedSize(dialog, onClose.has_value());

  std::optional<Button> pressed;
  while (!pressed) {
    const int response = gtk_dialog_run(GTK_DIALOG(dialog));
    if (response > 0) {
      pressed = static_cast<Button>(response);
    } else if (onClose || response == GTK_RESPONSE_NONE) {
      // GTK_RESPONSE_NONE: the dialog was destroyed under us (its parent went away).
      pressed = onClose.value_or(DefaultButtonOf(styleCode));
    }
  }
  if (GTK_IS_WIDGET(dialog)) gtk_widget_destroy(dialog);
  return *pressed;
}

std::optional<String> GtkUserInterface::InputBox(StringView prompt, StringView title, StringView defaultText) {
  GtkWidget* dialog = gtk::NewModalDialog(parent_, title);
  GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
  gtk_box_set_spacing(GTK_BOX(content), 8);
  GtkWidget* label = gtk_label_new(Utf8(prompt).c_str());
  gtk_label_set_xalign(GTK_LABEL(label), 0);
  gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
  GtkWidget* entry = gtk_entry_new();
  gtk_label_set_mnemonic_widget(GTK_LABEL(label), entry);
  gtk::SetAccessibleName(entry, prompt);
  gtk_entry_set_text(GTK_ENTRY(entry), Utf8(defaultText).c_str());
  gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
  gtk_container_add(GTK_CONTAINER(content), label);
  gtk_container_add(GTK_CONTAINER(content), entry);
  gtk::AddButton(dialog, ButtonCaption(Button::Ok), GTK_RESPONSE_OK);
  gtk::AddButton(dialog, ButtonCaption(Button::Cancel), GTK_RESPONSE_CANCEL);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
  gtk_widget_show_all(dialog);

  std::optional<String> result;
  if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK)
    result = automation::FromUtf8(gtk_entry_get_text(GTK_ENTRY(entry)));
  if (GTK_IS_WIDGET(dialog)) gtk_widget_destroy(dialog);
  return result;
}

ContextMenuChoice GtkUserInterface::ShowContextMenu(bool offlineChecked, int x, int y) {
  MenuRun run;
  GtkWidget* menu = gtk_menu_new();
  g_object_ref_sink(menu);

  GtkWidget* substitutions = gtk_menu_item_new_with_label(Utf8(gtk::text::kMenuAutoSubstituteList).c_str());
  GtkWidget* offline = gtk_check_menu_item_new_with_label(Utf8(gtk::text::kMenuOffline).c_str());
  // Before the handlers: setting the check mark counts as activating the item.
  gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(offline), offlineChecked);
  GtkWidget* cancel = gtk_menu_item_new_with_label(Utf8(gtk::text::kMenuCancel).c_str());

  MenuItemChoice choices[] = {{&run, ContextMenuChoice::AutoSubstituteList},
                              {&run, ContextMenuChoice::Offline},
                              {&run, ContextMenuChoice::Cancel}};
  g_signal_connect(substitutions, "activate", G_CALLBACK(OnMenuItemActivate), &choices[0]);
  g_signal_connect(offline, "activate", G_CALLBACK(OnMenuItemActivate), &choices[1]);
  g_signal_connect(cancel, "activate", G_CALLBACK(OnMenuItemActivate), &choices[2]);
  gtk_menu_shell_append(GTK_MENU_SHELL(menu), substitutions);
  gtk_menu_shell_append(GTK_MENU_SHELL(menu), offline);
  gtk_menu_shell_append(GTK_MENU_SHELL(menu), gtk_separator_menu_item_new());
  gtk_menu_shell_append(GTK_MENU_SHELL(menu), cancel);
  gtk_widget_show_all(menu);

  run.loop = g_main_loop_new(nullptr, FALSE);
  g_signal_connect(menu, "deactivate", G_CALLBACK(OnMenuDeactivate), &run);
  if (parent_) gtk_menu_set_screen(GTK_MENU(menu), gtk_window_get_screen(parent_));
  GdkWindow* root = gdk_screen_get_root_window(gdk_screen_get_default());
  const GdkRectangle at = {x, y, 1, 1};
  gtk_menu_popup_at_rect(GTK_MENU(menu), root, &at, GDK_GRAVITY_NORTH_WEST, GDK_GRAVITY_NORTH_WEST, nullptr);
  if (gtk_widget_get_visible(menu)) g_main_loop_run(run.loop);

  g_signal_handlers_disconnect_by_data(menu, &run);
  g_signal_handlers_disconnect_matched(substitutions, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr,
                                       reinterpret_cast<gpointer>(OnMenuItemActivate), nullptr);
  g_signal_handlers_disconnect_matched(offline, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr,
                                       reinterpret_cast<gpointer>(OnMenuItemActivate), nullptr);
  g_signal_handlers_disconnect_matched(cancel, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr,
                                       reinterpret_cast<gpointer>(OnMenuItemActivate), nullptr);
  g_main_loop_unref(run.loop);
  gtk_widget_destroy(menu);
  g_object_unref(menu);
  return run.choice;
}

}  // namespace brevalcore::ui
