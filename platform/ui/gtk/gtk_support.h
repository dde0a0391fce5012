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
}  // namespace text

std::string Utf8(automation::StringView text);

// A caption with an access key as written for the platform ("&Elimina", "Elimina &tutti",
// "&&" for a plain ampersand) in GTK's mnemonic form ("_Elimina").
std::string Mnemonic(automation::StringView caption);

// A modal dialog with the given caption, owned by `parent` when there is one.
GtkWidget* NewModalDialog(GtkWindow* parent, automation::StringView caption);

// A button with a mnemonic caption, added to the dialog's action area with `response`.
GtkWidget* AddButton(GtkWidget* dialog, automation::StringView caption, int response);

// A single-column list of texts in a scrolled window; the tree view is returned in `list`.
GtkWidget* NewTextList(GtkWidget** list, bool withCheckBoxes);
// Column 0 of the list's store holds the text, column 1 the check box.
void FillTextList(GtkWidget* list, const std::vector<automation::String>& lines,
                  const std::vector<bool>& checked = {});
// The selected line of a list, or -1.
int SelectedLine(GtkWidget* list);
void SelectLine(GtkWidget* list, int line);

}  // namespace brevalcore::ui::gtk
