#pragma once
// A user interface for a terminal: every box and form is printed, and the answer is read as a
// line of text. Used by the command-line tools when no display is available. End of input
// closes whatever is open the way its close box would.
#include <functional>
#include <istream>
#include <ostream>

#include "platform/ui/user_interface.h"

namespace brevalcore::ui {

class ConsoleUserInterface : public UserInterface {
 public:
  // `wait` lets a self-closing form wait for its timer; tests pass one that returns at once.
  ConsoleUserInterface(std::istream& in, std::ostream& out, std::function<void(int milliseconds)> wait = {});

  Button MessageBox(StringView prompt, int styleCode, StringView title) override;
  std::optional<String> InputBox(StringView prompt, StringView title, StringView defaultText) override;
  ContextMenuChoice ShowContextMenu(bool offlineChecked, int x, int y) override;
  void ShowPersInformer(PersInformerForm& form) override;
  void ShowSelezioneFarmaci(SelezioneFarmaciForm& form) override;
  void ShowShellList(ShellListForm& form) override;
  void ShowShortcutForm(ShortcutFormModel& form) override;

 private:
  // One line of input without its line end; nullopt at the end of input.
  std::optional<String> ReadLine();
  void Print(StringView text);

  std::istream& in_;
  std::ostream& out_;
  std::function<void(int)> wait_;
};

}  // namespace brevalcore::ui
