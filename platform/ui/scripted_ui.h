#pragma once
// A user interface that answers from a queue instead of asking a person: tests and the
// scenario runner use it. Every call is recorded. With nothing queued a message box answers
// with its default button, the input box and every form are cancelled, and the context menu
// closes with no choice.
#include <deque>
#include <functional>
#include <vector>

#include "platform/ui/user_interface.h"

namespace brevalcore::ui {

class ScriptedUserInterface : public UserInterface {
 public:
  struct Shown {
    String kind;                // "msgbox", "inputbox", "menu", or the form's name
    int styleCode = 0;          // message boxes
    String title;
    String text;                // prompt, or the form's lines joined by "\n"
    std::vector<String> lines;  // a form's lines as shown
  };

  // Queues the answer to the next message box, input box, menu or form: a button caption
  // ("OK", "Yes"/"Sì", "No", "Annulla"/"Cancel", ...), a number (the button's code), the text
  // to enter, a menu item caption, or for forms the codes or file to choose.
  void AnswerNext(String answer) { answers_.push_back(std::move(answer)); }
  bool HasQueuedAnswer() const { return !answers_.empty(); }
  // Called after each recorded call, e.g. by the scenario runner to print it.
  void OnShown(std::function<void(const Shown&)> observer) { observer_ = std::move(observer); }
  const std::vector<Shown>& shown() const { return shown_; }

  Button MessageBox(StringView prompt, int styleCode, StringView title) override;
  std::optional<String> InputBox(StringView prompt, StringView title, StringView defaultText) override;
  ContextMenuChoice ShowContextMenu(bool offlineChecked, int x, int y) override;
  void ShowPersInformer(PersInformerForm& form) override;
  void ShowSelezioneFarmaci(SelezioneFarmaciForm& form) override;
  void ShowShellList(ShellListForm& form) override;
  void ShowShortcutForm(ShortcutFormModel& form) override;

 protected:
  std::optional<String> TakeAnswer();
  void Record(Shown shown);

 private:
  std::deque<String> answers_;
  std::vector<Shown> shown_;
  std::function<void(const Shown&)> observer_;
};

}  // namespace brevalcore::ui
