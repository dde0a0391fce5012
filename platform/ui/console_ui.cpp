#include "platform/ui/console_ui.h"

#include <chrono>
#include <string>
#include <thread>

#include "platform/ui/forms.h"

namespace brevalcore::ui {

using automation::EqualsNoCase;

namespace {

// What the console shows around the forms' own texts.
namespace console_text {
inline constexpr char16_t kChoice[] = u"Scelta: ";
inline constexpr char16_t kPersInformerHelp[] = u"numero = Elimina, T = Elimina tutti, OK, A = Annulla";
inline constexpr char16_t kSelezioneHelpMultiple[] = u"numero = seleziona/deseleziona, T = Tutti, N = Nessuno, OK, A = Annulla";
inline constexpr char16_t kSelezioneHelpSingle[] = u"numero = seleziona/deseleziona, OK, A = Annulla";
inline constexpr char16_t kShellListHelp[] = u"numero = Apri documento, A = Chiudi";
inline constexpr char16_t kShortcutHelp[] = u"L = apri il collegamento, Invio = Chiudi";
inline constexpr char16_t kContextMenu[] = u"1 Gestione sostituzioni farmaci\n2 Offline\n3 Annulla\n";
}  // namespace console_text

String Number(size_t n) { return automation::Ascii(std::to_string(n)); }

// A 1-based line number within `count` lines.
std::optional<size_t> LineNumber(StringView answer, size_t count) {
  if (answer.empty() || answer.size() > 9 || answer.find_first_not_of(u"0123456789") != StringView::npos)
    return std::nullopt;
  const size_t n = std::stoul(automation::ToUtf8(answer));
  if (n < 1 || n > count) return std::nullopt;
  return n - 1;
}

String Trim(StringView text) {
  const size_t first = text.find_first_not_of(u" \t");
  if (first == StringView::npos) return {};
  return String(text.substr(first, text.find_last_not_of(u" \t") - first + 1));
}

}  // namespace

ConsoleUserInterface::ConsoleUserInterface(std::istream& in, std::ostream& out, std::function<void(int)> wait)
    : in_(in), out_(out), wait_(std::move(wait)) {
  if (!wait_) wait_ = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
}

std::optional<String> ConsoleUserInterface::ReadLine() {
  std::string line;
  if (!std::getline(in_, line)) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return automation::FromUtf8(line);
}

void ConsoleUserInterface::Print(StringView text) { out_ << automation::ToUtf8(text) << std::flush; }

Button ConsoleUserInterface::MessageBox(StringView prompt, int styleCode, StringView title) {
  const auto buttons = ButtonsOf(styleCode);
  String text = u"== " + String(title) + u" ==\n" + String(prompt) + u"\n";
  for (size_t i = 0; i < buttons.size(); ++i) text += u"[" + Number(i + 1) + u"] " + ButtonCaption(buttons[i]) + u"  ";
  Print(text + u"\n" + console_text::kChoice);
  const auto answer = ReadLine();
  if (!answer) return DefaultButtonOf(styleCode);
  const String choice = Trim(*answer);
  if (auto n = LineNumber(choice, buttons.size())) return buttons[*n];
  for (Button b : buttons)
    if (EqualsNoCase(choice, ButtonCaption(b))) return b;
  return DefaultButtonOf(styleCode);
}

std::optional<String> ConsoleUserInterface::InputBox(StringView prompt, StringView title, StringView defaultText) {
  Print(u"== " + String(title) + u" ==\n" + String(prompt) + u"\n[" + String(defaultText) + u"] ");
  auto answer = ReadLine();
  if (!answer) return std::nullopt;
  if (answer->empty()) return String(defaultText);
  return answer;
}

ContextMenuChoice ConsoleUserInterface::ShowContextMenu(bool offlineChecked, int, int) {
  Print(String(console_text::kContextMenu) + (offlineChecked ? u"(Offline attivo)\n" : u"") + console_text::kChoice);
  const auto answer = ReadLine();
  if (!answer) return ContextMenuChoice::None;
  switch (LineNumber(Trim(*answer), 3).value_or(99)) {
    case 0: return ContextMenuChoice::AutoSubstituteList;
    case 1: return ContextMenuChoice::Offline;
    case 2: return ContextMenuChoice::Cancel;
    default: return ContextMenuChoice::None;
  }
}

void ConsoleUserInterface::ShowPersInformer(PersInformerForm& form) {
  for (;;) {
    String text = u"== " + String(form_text::kPersInformerCaption) + u" ==\n";
    for (size_t i = 0; i < form.LineCount(); ++i) text += Number(i + 1) + u". " + form.LineText(i) + u"\n";
    Print(text + console_text::kPersInformerHelp + u"\n" + console_text::kChoice);
    const auto answer = ReadLine();
    if (!answer) return form.Cancel();
    const String choice = Trim(*answer);
    if (EqualsNoCase(choice, u"OK")) return form.Ok();
    if (EqualsNoCase(choice, u"A")) return form.Cancel();
    if (EqualsNoCase(choice, u"T")) {
      if (form.RemoveAllEnabled()) form.RemoveAll();
    } else if (auto line = LineNumber(choice, form.LineCount())) {
      form.Select(*line);
      if (form.RemoveEnabled()) form.Remove();
    }
  }
}

void ConsoleUserInterface::ShowSelezioneFarmaci(SelezioneFarmaciForm& form) {
  for (;;) {
    String text = u"== " + String(form_text::kSelezioneCaption) + u" ==\n" + form_text::kSelezioneLabel + u"\n";
    for (size_t i = 0; i < form.LineCount(); ++i)
      text += (form.IsChecked(i) ? u"[x] " : u"[ ] ") + Number(i + 1) + u". " + form.LineText(i) + u"\n";
    Print(text + (form.AllNoneVisible() ? console_text::kSelezioneHelpMultiple : console_text::kSelezioneHelpSingle) +
          u"\n" + console_text::kChoice);
    const auto answer = ReadLine();
    if (!answer) return form.Cancel();
    const String choice = Trim(*answer);
    if (EqualsNoCase(choice, u"OK")) return form.Ok();
    if (EqualsNoCase(choice, u"A")) return form.Cancel();
    if (EqualsNoCase(choice, u"T") && form.AllNoneVisible()) form.CheckAll();
    else if (EqualsNoCase(choice, u"N") && form.AllNoneVisible()) form.UncheckAll();
    else if (auto line = LineNumber(choice, form.LineCount())) form.Toggle(*line);
  }
}

void ConsoleUserInterface::ShowShellList(ShellListForm& form) {
  form.Activate();
  String text = u"== " + form.Caption() + u" ==\n" + form_text::kShellListLabel + u"\n";
  for (size_t i = 0; i < form.LineCount(); ++i) text += Number(i + 1) + u". " + form.LineText(i) + u"\n";
  Print(text + console_text::kShellListHelp + u"\n" + console_text::kChoice);
  for (;;) {
    const auto answer = ReadLine();
    if (!answer) return form.Cancel();
    const String choice = Trim(*answer);
    if (EqualsNoCase(choice, u"A")) return form.Cancel();
    if (choice.empty() || EqualsNoCase(choice, u"OK")) return form.Ok();  // the selected line
    if (auto line = LineNumber(choice, form.LineCount())) return form.DoubleClick(*line);
    Print(console_text::kChoice);
  }
}

void ConsoleUserInterface::ShowShortcutForm(ShortcutFormModel& form) {
  Print(u"==" + form.Caption() + u" ==\n" + form_text::kShortcutDescription + u"\n" + form.LinkText() + u"\n");
  if (form.TimerEnabled()) {
    wait_(form.TimerIntervalMs());
    return form.TimerFired();
  }
  Print(String(console_text::kShortcutHelp) + u"\n" + console_text::kChoice);
  const auto answer = ReadLine();
  if (answer && EqualsNoCase(Trim(*answer), u"L")) form.ClickLink();
  form.Close();
}

}  // namespace brevalcore::ui
