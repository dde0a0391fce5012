#pragma once
// The user interface as GTK 3 dialogs. Every call is modal: it runs a nested main loop and
// returns when the doctor has answered, as the platform's message boxes and forms do. The
// dialogs only show the form objects of forms.h and pass the doctor's actions on to them.
#include "platform/ui/user_interface.h"

typedef struct _GtkWindow GtkWindow;

namespace brevalcore::ui {

class GtkUserInterface : public UserInterface {
 public:
  // `parent`: the window the dialogs belong to (may be null, and may be set later).
  explicit GtkUserInterface(GtkWindow* parent = nullptr) : parent_(parent) {}
  void SetParent(GtkWindow* parent) { parent_ = parent; }
  GtkWindow* Parent() const { return parent_; }

  Button MessageBox(StringView prompt, int styleCode, StringView title) override;
  std::optional<String> InputBox(StringView prompt, StringView title, StringView defaultText) override;
  ContextMenuChoice ShowContextMenu(bool offlineChecked, int x, int y) override;
  void ShowPersInformer(PersInformerForm& form) override;
  void ShowSelezioneFarmaci(SelezioneFarmaciForm& form) override;
  void ShowShellList(ShellListForm& form) override;
  void ShowShortcutForm(ShortcutFormModel& form) override;

 private:
  GtkWindow* parent_;
};

// The answer of a message box closed without a button (Escape, the window's close box): Cancel
// when the box has it, OK when OK is its only button. Other boxes cannot be closed that way.
std::optional<Button> ButtonOnClose(int styleCode);

}  // namespace brevalcore::ui
