#include "platform/ui/scripted_ui.h"

#include "platform/automation/text.h"

namespace brevalcore::ui {

std::optional<String> ScriptedUserInterface::TakeAnswer() {
  if (answers_.empty()) return std::nullopt;
  String answer = std::move(answers_.front());
  answers_.pop_front();
  return answer;
}

void ScriptedUserInterface::Record(Shown shown) {
  shown_.push_back(std::move(shown));
  if (observer_) observer_(shown_.back());
}

namespace {

std::optional<Button> ButtonFromAnswer(StringView answer) {
  struct Name { const char16_t* text; Button button; };
  static const Name names[] = {
      {u"OK", Button::Ok},         {u"Cancel", Button::Cancel},   {u"Annulla", Button::Cancel},
      {u"Abort", Button::Abort},   {u"Interrompi", Button::Abort}, {u"Retry", Button::Retry},
      {u"Riprova", Button::Retry}, {u"Ignore", Button::Ignore},   {u"Ignora", Button::Ignore},
      {u"Yes", Button::Yes},       {u"S\u00EC", Button::Yes},     {u"Si", Button::Yes},
      {u"No", Button::No},
  };
  for (const auto& n : names)
    if (automation::EqualsNoCase(answer, n.text)) return n.button;
  if (answer.size() == 1 && answer[0] >= u'1' && answer[0] <= u'7') return static_cast<Button>(answer[0] - u'0');
  return std::nullopt;
}

}  // namespace

Button ScriptedUserInterface::MessageBox(StringView prompt, int styleCode, StringView title) {
  Record({u"msgbox", styleCode, String(title), String(prompt), {}});
  const auto buttons = ButtonsOf(styleCode);
  if (auto answer = TakeAnswer()) {
    if (auto button = ButtonFromAnswer(*answer)) {
      for (Button b : buttons)
        if (b == *button) return b;
    }
  }
  return DefaultButtonOf(styleCode);
}

std::optional<String> ScriptedUserInterface::InputBox(StringView prompt, StringView title, StringView defaultText) {
  Record({u"inputbox", 0, String(title), String(prompt), {}});
  auto answer = TakeAnswer();
  if (!answer || automation::EqualsNoCase(*answer, u"Annulla") || automation::EqualsNoCase(*answer, u"Cancel"))
    return std::nullopt;
  return answer;
}

ContextMenuChoice ScriptedUserInterface::ShowContextMenu(bool offlineChecked, int, int) {
  Record({u"menu", 0, u"Context",
          String(u"Gestione sostituzioni farmaci\n") + (offlineChecked ? u"[x] " : u"[ ] ") + u"Offline\n-\nAnnulla",
          {}});
  auto answer = TakeAnswer();
  if (!answer) return ContextMenuChoice::None;
  if (automation::EqualsNoCase(*answer, u"Gestione sostituzioni farmaci")) return ContextMenuChoice::AutoSubstituteList;
  if (automation::EqualsNoCase(*answer, u"Offline")) return ContextMenuChoice::Offline;
  if (automation::EqualsNoCase(*answer, u"Annulla")) return ContextMenuChoice::Cancel;
  return ContextMenuChoice::None;
}

}  // namespace brevalcore::ui
