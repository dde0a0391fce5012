// The scripted user interface's answers to the four forms. One queued answer drives one form:
//   SelezioneFarmaci  "OK", "Annulla", "Tutti", "Nessuno", or codes to check ("aic1&aic3"),
//                     each but "Annulla" followed by OK;
//   ShellList         "OK"/"Apri documento" (first line), "Annulla"/"Chiudi", or a file name
//                     or description to choose;
//   PersInformer      steps separated by ";": "Elimina <line number or text>", "Elimina tutti",
//                     "OK", "Annulla";
//   ShortcutForm      "Chiudi", "link" (opens the target, then closes); with no answer the
//                     timer closes it, or the doctor does when there is no timer.
// With no answer a form is closed as the window's close box closes it: cancelled.
#include <string>

#include "platform/automation/text.h"
#include "platform/ui/forms.h"
#include "platform/ui/scripted_ui.h"

namespace brevalcore::ui {

using automation::EqualsNoCase;

namespace {

String JoinLines(const std::vector<String>& lines) {
  String text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += u'\n';
    text += lines[i];
  }
  return text;
}

std::vector<String> Split(StringView text, char16_t separator) {
  std::vector<String> parts;
  size_t start = 0;
  for (;;) {
    const size_t at = text.find(separator, start);
    parts.emplace_back(text.substr(start, at == StringView::npos ? StringView::npos : at - start));
    if (at == StringView::npos) return parts;
    start = at + 1;
  }
}

String Trim(StringView text) {
  const size_t first = text.find_first_not_of(u' ');
  if (first == StringView::npos) return {};
  return String(text.substr(first, text.find_last_not_of(u' ') - first + 1));
}

bool IsCancel(StringView answer) {
  return EqualsNoCase(answer, u"Annulla") || EqualsNoCase(answer, u"Cancel") || EqualsNoCase(answer, u"Chiudi");
}

bool IsOk(StringView answer) { return EqualsNoCase(answer, u"OK"); }

// A 1-based line number, the exact line text, or the start of a line's text.
std::optional<size_t> FindLine(const std::vector<String>& lines, StringView which) {
  if (!which.empty() && which.find_first_not_of(u"0123456789") == StringView::npos) {
    const size_t number = std::stoul(automation::ToUtf8(which));
    if (number >= 1 && number <= lines.size()) return number - 1;
    return std::nullopt;
  }
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i] == which) return i;
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i].starts_with(which)) return i;
  return std::nullopt;
}

}  // namespace

void ScriptedUserInterface::ShowPersInformer(PersInformerForm& form) {
  const auto lines = form.LineTexts();
  Record({u"PersInformer", 0, form_text::kPersInformerCaption, JoinLines(lines), lines});
  const auto answer = TakeAnswer();
  if (!answer) return form.Cancel();
  for (const String& rawStep : Split(*answer, u';')) {
    const String step = Trim(rawStep);
    if (IsOk(step)) return form.Ok();
    if (IsCancel(step)) return form.Cancel();
    if (EqualsNoCase(step, u"Elimina tutti")) {
      if (form.RemoveAllEnabled()) form.RemoveAll();
    } else if (step.size() > 8 && EqualsNoCase(StringView(step).substr(0, 8), u"Elimina ")) {
      if (auto line = FindLine(form.LineTexts(), Trim(StringView(step).substr(8)))) {
        form.Select(*line);
        if (form.RemoveEnabled()) form.Remove();
      }
    }
  }
  form.Cancel();
}

void ScriptedUserInterface::ShowSelezioneFarmaci(SelezioneFarmaciForm& form) {
  const auto lines = form.LineTexts();
  Record({u"SelezioneFarmaci", 0, form_text::kSelezioneCaption, JoinLines(lines), lines});
  const auto answer = TakeAnswer();
  if (!answer || IsCancel(*answer)) return form.Cancel();
  if (EqualsNoCase(*answer, u"Tutti") && form.AllNoneVisible()) {
    form.CheckAll();
  } else if (EqualsNoCase(*answer, u"Nessuno") && form.AllNoneVisible()) {
    form.UncheckAll();
  } else if (!IsOk(*answer)) {
    for (const String& code : Split(*answer, u'&')) {
      for (size_t i = 0; i < form.LineCount(); ++i) {
        if (form.LineCode(i) == code) {
          form.SetChecked(i, true);
          break;
        }
      }
    }
  }
  form.Ok();
}

void ScriptedUserInterface::ShowShellList(ShellListForm& form) {
  form.Activate();
  const auto lines = form.LineTexts();
  Record({u"ShellList", 0, form.Caption(), JoinLines(lines), lines});
  const auto answer = TakeAnswer();
  if (!answer || IsCancel(*answer)) return form.Cancel();
  if (!IsOk(*answer) && !EqualsNoCase(*answer, form_text::kApriDocumento)) {
    bool found = false;
    for (size_t i = 0; i < form.LineCount() && !found; ++i) {
      if (form.LineFile(i) == *answer) {
        form.Select(i);
        found = true;
      }
    }
    if (!found) {
      if (auto line = FindLine(lines, *answer)) form.Select(*line);
    }
  }
  form.Ok();
}

void ScriptedUserInterface::ShowShortcutForm(ShortcutFormModel& form) {
  const auto lines = form.LineTexts();
  Record({u"ShortcutForm", 0, form.Caption(), JoinLines(lines), lines});
  const auto answer = TakeAnswer();
  if (answer && EqualsNoCase(*answer, u"link")) form.ClickLink();
  if (!answer && form.TimerEnabled()) return form.TimerFired();
  form.Close();
}

}  // namespace brevalcore::ui
