#pragma once
// Small pieces the GTK dialogs share.
#include <string>
#include <vector>

#include <gtk/gtk.h>

#include "platform/automation/text.h"

namespace brevalcore::ui::gtk {

// Texts of the GTK dialogs that forms.h does not hold.
namespace text {
inline constexpr char16_t kMenuAutoSubstituteList[] = u"Gestione sostituzioni farmaci";
inline constexpr char16_t kMenuOffline[] = u"Offline";
inline constexpr char16_t kMenuCancel[] = u"Annulla";
// What a screen reader says of a message box's icon.
inline constexpr char16_t kIconCritical[] = u"Errore";
inline constexpr char16_t kIconQuestion[] = u"Domanda";
inline constexpr char16_t kIconExclamation[] = u"Avviso";
inline constexpr char16_t kIconInformation[] = u"Informazione";
}  // namespace text

std::string Utf8(automation::StringView text);

// A caption with an access key as written for the platform ("&Elimina", "Elimina &tutti",
// "&&" for a plain ampersand) in GTK's mnemonic form ("_Elimina").
std::string Mnemonic(automation::StringView caption);

// A modal dialog with the given caption, owned by `parent` when there is one, fixed in size.
GtkWidget* NewModalDialog(GtkWindow* parent, automation::StringView caption);

// The platform's dialog frame: the window cannot be resized, minimised or maximised; it has a
// close box only when `closable`. Call before the dialog is shown.
void MakeFixedSize(GtkWidget* dialog, bool closable = true);

// The name (and description) a screen reader gives the widget.
void SetAccessibleName(GtkWidget* widget, automation::StringView name);
void SetAccessibleDescription(GtkWidget* widget, automation::StringView description);

// The keys of a dialog with a list, as the platform's forms have them: Enter on the list presses
// the default button instead of acting on the line; with `ctrlEnterConfirms`, Ctrl+Enter
// anywhere in the dialog confirms it (GTK_RESPONSE_OK). Escape cancels, as in every dialog.
void ConnectListKeys(GtkWidget* dialog, GtkWidget* list, bool ctrlEnterConfirms);

// Calls `onDoubleClick` with the line of a list that the mouse double-clicked (only the mouse:
// Enter and Space do not double-click).
void ConnectListDoubleClick(GtkWidget* list, void (*onDoubleClick)(int line, gpointer data), gpointer data);

// A button with a mnemonic caption, added to the dialog's action area with `response`.
GtkWidget* AddButton(GtkWidget* dialog, automation::StringView caption, int response);

// A single-column list of texts in a scrolled window; the tree view is returned in `list`.
GtkWidget* NewTextList(GtkWidget** list);
// Column 0 of the list's store holds the text.
void FillTextList(GtkWidget* list, const std::vector<automation::String>& lines);
// The selected line of a list, or -1.
int SelectedLine(GtkWidget* list);
void SelectLine(GtkWidget* list, int line);

}  // namespace brevalcore::ui::gtk
