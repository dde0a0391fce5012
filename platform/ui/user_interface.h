#pragma once
// What the control and the scripts show the doctor: message boxes, the input box, the page's
// context menu and the four modal forms. Three implementations share this interface: GTK
// dialogs (ui/gtk), scripted answers for tests and scenario runs, and a console fallback.
// The forms' behaviour (sorting, single choice, enabled buttons) lives in the plain classes
// of forms.h; an implementation only shows them and forwards the doctor's actions.
#include <optional>
#include <vector>

#include "platform/automation/text.h"

namespace brevalcore::ui {

using automation::String;
using automation::StringView;

// Message box style codes, as the platform's MsgBox takes them (buttons + icon + default).
namespace style {
inline constexpr int kOkOnly = 0;
inline constexpr int kOkCancel = 1;
inline constexpr int kAbortRetryIgnore = 2;
inline constexpr int kYesNoCancel = 3;
inline constexpr int kYesNo = 4;
inline constexpr int kRetryCancel = 5;
inline constexpr int kButtonsMask = 0x0F;
inline constexpr int kCritical = 16;
inline constexpr int kQuestion = 32;
inline constexpr int kExclamation = 48;
inline constexpr int kInformation = 64;
inline constexpr int kIconMask = 0x70;
inline constexpr int kDefaultButton2 = 256;
inline constexpr int kDefaultButton3 = 512;
inline constexpr int kDefaultMask = 0x300;
}  // namespace style

// The button pressed, as MsgBox returns it.
enum class Button : int { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

// The buttons a style shows, in order, and the one pressed by default (Enter or no answer).
std::vector<Button> ButtonsOf(int styleCode);
Button DefaultButtonOf(int styleCode);
// The button's caption as the platform shows it under Italian settings ("OK", "Annulla", "Sì"...).
String ButtonCaption(Button button);

// The items of the page's context menu (mnu_Context).
enum class ContextMenuChoice { None, AutoSubstituteList, Offline, Cancel };

class PersInformerForm;
class SelezioneFarmaciForm;
class ShellListForm;
class ShortcutFormModel;

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  // A modal message box; returns the button pressed.
  virtual Button MessageBox(StringView prompt, int styleCode, StringView title) = 0;
  // The script's InputBox: the text entered, or nullopt when cancelled.
  virtual std::optional<String> InputBox(StringView prompt, StringView title, StringView defaultText) = 0;
  // Shows mnu_Context at the mouse position (screen coordinates); `offlineChecked` is the
  // check mark of the "Offline" item. Returns the item chosen.
  virtual ContextMenuChoice ShowContextMenu(bool offlineChecked, int x, int y) = 0;

  // The modal forms. Each returns when the form has been closed; the form object holds the
  // outcome (its cancelled flag, the chosen lines).
  virtual void ShowPersInformer(PersInformerForm& form) = 0;
  virtual void ShowSelezioneFarmaci(SelezioneFarmaciForm& form) = 0;
  virtual void ShowShellList(ShellListForm& form) = 0;
  virtual void ShowShortcutForm(ShortcutFormModel& form) = 0;
};

}  // namespace brevalcore::ui
