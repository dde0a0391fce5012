#pragma once
// The behaviour of the four modal forms, apart from any window: what they list, how their
// buttons act and what they give back. The GTK, console and scripted user interfaces show
// these objects and forward the doctor's actions to them; they decide nothing themselves.
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/automation/text.h"

namespace brevalcore::shell { class ShellOpener; }

namespace brevalcore::ui {

using automation::String;
using automation::StringView;

// Texts the forms show.
namespace form_text {
inline constexpr char16_t kPersInformerCaption[] = u"Sostituzione automatica";
inline constexpr char16_t kOk[] = u"OK";
inline constexpr char16_t kAnnulla[] = u"Annulla";
inline constexpr char16_t kElimina[] = u"&Elimina";
inline constexpr char16_t kEliminaTutti[] = u"Elimina &tutti";
inline constexpr char16_t kSelezioneCaption[] = u"Elenco medicinali";
inline constexpr char16_t kSelezioneLabel[] = u"Selezionare i farmaci da aggiungere alla prescrizione";
inline constexpr char16_t kTutti[] = u"&Tutti";
inline constexpr char16_t kNessuno[] = u"&Nessuno";
inline constexpr char16_t kShellListLabel[] = u"Selezionare il documento da visualizzare:";
inline constexpr char16_t kApriDocumento[] = u"Apri documento";
inline constexpr char16_t kChiudi[] = u"Chiudi";
inline constexpr char16_t kShortcutCaptionPrefix[] = u" Collegamento a ";
inline constexpr char16_t kShortcutDescription[] = u"Un collegamento alla pagina \u00E8 stato creato sul desktop.";
}  // namespace form_text

// How a form was closed. Closing the window any other way than OK counts as cancelled.
enum class FormOutcome { Open, Ok, Cancelled };

// The automatic-substitution list.
class PersInformerForm {
 public:
  struct Entry {
    String display;  // "<drug>    sostituito da:    <substitute>"
    String entry;    // the section entry "code=substitute" it came from
  };

  void AddDrug(String display, String entry);
  bool HasEntries() const { return !entries_.empty(); }
  // Fills the list: entries sorted by display text (ordinal), one line per entry with a
  // non-empty display text. Then activation: the remove buttons are enabled when there is a
  // line, and stay so until the form closes.
  void Fill();

  size_t LineCount() const { return lines_.size(); }
  const String& LineText(size_t line) const { return entries_[lines_[line]].display; }
  std::vector<String> LineTexts() const;
  std::optional<size_t> Selected() const { return selected_; }
  void Select(size_t line);
  bool RemoveEnabled() const { return removeEnabled_; }
  bool RemoveAllEnabled() const { return removeEnabled_; }

  void Remove();                       // cmdRimuovi: the selected line, if any
  void DoubleClick(size_t line);       // same as selecting the line and pressing Elimina
  void RemoveAll();                    // cmdRimuoviTutti
  void Ok() { outcome_ = FormOutcome::Ok; }
  void Cancel() { outcome_ = FormOutcome::Cancelled; }
  FormOutcome Outcome() const { return outcome_; }

  // What OK writes as the whole section: the entries of the remaining lines, in list order,
  // joined by CR LF.
  String SectionText() const;

 private:
  std::vector<Entry> entries_;
  std::vector<size_t> lines_;  // entry index of each list line
  std::optional<size_t> selected_;
  bool removeEnabled_ = false;
  FormOutcome outcome_ = FormOutcome::Open;
};

// The drug selection list, with a check box per line.
class SelezioneFarmaciForm {
 public:
  void AddDrug(String code, String description);
  void SetSingleChoice(bool single) { singleChoice_ = single; }
  bool SingleChoice() const { return singleChoice_; }
  // "&Tutti" and "&Nessuno" are shown only in multiple-choice mode.
  bool AllNoneVisible() const { return !singleChoice_; }

  size_t LineCount() const { return lines_.size(); }
  const String& LineText(size_t line) const { return lines_[line].description; }
  const String& LineCode(size_t line) const { return lines_[line].code; }
  bool IsChecked(size_t line) const { return lines_[line].checked; }
  std::vector<String> LineTexts() const;
  std::optional<size_t> Selected() const { return selected_; }
  void Select(size_t line);

  // The doctor sets a line's check box. In single-choice mode checking a line unchecks all
  // the others.
  void SetChecked(size_t line, bool checked);
  void Toggle(size_t line) { SetChecked(line, !lines_[line].checked); }
  void CheckAll();    // cmd_Tutti
  void UncheckAll();  // cmd_Nessuno

  void Ok() { outcome_ = FormOutcome::Ok; }
  void CtrlEnter() { Ok(); }
  void Cancel() { outcome_ = FormOutcome::Cancelled; }
  FormOutcome Outcome() const { return outcome_; }

  // Empty unless closed with OK; then the codes of the checked lines joined by "&".
  String GetDrugList() const;

 private:
  struct Line {
    String code;
    String description;
    bool checked = false;
  };
  std::vector<Line> lines_;
  std::optional<size_t> selected_;
  bool singleChoice_ = false;
  FormOutcome outcome_ = FormOutcome::Open;
};

// The document list.
class ShellListForm {
 public:
  void AddDocument(String fileName, String description);
  void SetTitle(String title) { title_ = std::move(title); }
  const String& Caption() const { return title_; }
  // Activation selects the first line, if there is one.
  void Activate();

  size_t LineCount() const { return lines_.size(); }
  const String& LineText(size_t line) const { return lines_[line].description; }
  const String& LineFile(size_t line) const { return lines_[line].file; }
  std::vector<String> LineTexts() const;
  std::optional<size_t> Selected() const { return selected_; }
  void Select(size_t line);

  void Ok() { outcome_ = FormOutcome::Ok; }  // cmdOK, Ctrl+Enter
  void CtrlEnter() { Ok(); }
  void DoubleClick(size_t line) { Select(line); Ok(); }
  void Cancel() { outcome_ = FormOutcome::Cancelled; }
  FormOutcome Outcome() const { return outcome_; }

  // Empty unless closed with OK; then the file of the selected line (empty without one).
  String GetSelectedDocument() const;

 private:
  struct Line {
    String file;
    String description;
  };
  std::vector<Line> lines_;
  String title_;
  std::optional<size_t> selected_;
  FormOutcome outcome_ = FormOutcome::Open;
};

// The confirmation that closes itself after a few seconds.
class ShortcutFormModel {
 public:
  // The longest wait whose milliseconds fit the timer's 16-bit interval.
  static constexpr int16_t kMaxSeconds = 32;

  ShortcutFormModel(String title, String target, int16_t seconds, shell::ShellOpener* opener = nullptr)
      : title_(std::move(title)), target_(std::move(target)), seconds_(seconds), opener_(opener) {}

  // Loading computes the caption and the timer. The interval is seconds × 1000 in 16-bit
  // arithmetic: more than kMaxSeconds overflows (error 6), and a negative interval is an
  // invalid timer value (error 380); both throw AutomationError.
  void Load();
  String Caption() const { return form_text::kShortcutCaptionPrefix + title_; }
  const String& LinkText() const { return title_; }
  const String& Target() const { return target_; }
  int16_t Seconds() const { return seconds_; }
  int32_t TimerIntervalMs() const { return intervalMs_; }
  bool TimerEnabled() const { return timerEnabled_; }
  std::vector<String> LineTexts() const;

  void ClickLink();                 // opens the target
  void Close() { closed_ = true; }  // cmd_Close
  void TimerFired() { if (timerEnabled_) closed_ = true; }
  bool Closed() const { return closed_; }

 private:
  String title_;
  String target_;
  int16_t seconds_;
  shell::ShellOpener* opener_;
  int32_t intervalMs_ = 0;
  bool timerEnabled_ = false;
  bool closed_ = false;
};

}  // namespace brevalcore::ui
