#include "platform/ui/forms.h"

#include <algorithm>

#include "platform/automation/error.h"
#include "platform/shell/shell_open.h"

namespace brevalcore::ui {

namespace {
constexpr int32_t kInvalidPropertyValue = 380;  // a timer interval below zero
constexpr int32_t kMillisecondsPerSecond = 1000;
}  // namespace

// ------------------------------------------------------------------ PersInformerForm

void PersInformerForm::AddDrug(String display, String entry) {
  entries_.push_back({std::move(display), std::move(entry)});
}

void PersInformerForm::Fill() {
  std::stable_sort(entries_.begin(), entries_.end(),
                   [](const Entry& a, const Entry& b) { return a.display < b.display; });
  lines_.clear();
  for (size_t i = 0; i < entries_.size(); ++i)
    if (!entries_[i].display.empty()) lines_.push_back(i);
  selected_.reset();
  removeEnabled_ = !lines_.empty();
}

std::vector<String> PersInformerForm::LineTexts() const {
  std::vector<String> texts;
  for (size_t i : lines_) texts.push_back(entries_[i].display);
  return texts;
}

void PersInformerForm::Select(size_t line) {
  if (line < lines_.size()) selected_ = line;
}

void PersInformerForm::Remove() {
  if (!selected_ || lines_.empty()) return;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*selected_));
  selected_.reset();  // a list box has no selection after its selected line goes
}

void PersInformerForm::DoubleClick(size_t line) {
  Select(line);
  Remove();
}

void PersInformerForm::RemoveAll() {
  lines_.clear();
  selected_.reset();
}

String PersInformerForm::SectionText() const {
  String text;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (i > 0) text += u"\r\n";
    text += entries_[lines_[i]].entry;
  }
  return text;
}

// ------------------------------------------------------------------ SelezioneFarmaciForm

void SelezioneFarmaciForm::AddDrug(String code, String description) {
  lines_.push_back({std::move(code), std::move(description), false});
}

std::vector<String> SelezioneFarmaciForm::LineTexts() const {
  std::vector<String> texts;
  for (const Line& line : lines_) texts.push_back(line.description);
  return texts;
}

void SelezioneFarmaciForm::Select(size_t line) {
  if (line < lines_.size()) selected_ = line;
}

void SelezioneFarmaciForm::SetChecked(size_t line, bool checked) {
  if (line >= lines_.size()) return;
  lines_[line].checked = checked;
  if (singleChoice_ && checked) {
    for (Line& l : lines_) l.checked = false;
    lines_[line].checked = true;
  }
}

void SelezioneFarmaciForm::CheckAll() {
  for (Line& line : lines_) line.checked = true;
}

void SelezioneFarmaciForm::UncheckAll() {
  for (Line& line : lines_) line.checked = false;
}

String SelezioneFarmaciForm::GetDrugList() const {
  if (outcome_ != FormOutcome::Ok) return {};
  String list;
  for (const Line& line : lines_) {
    if (!line.checked) continue;
    if (!list.empty()) list += u'&';
    list += line.code;
  }
  return list;
}

// ------------------------------------------------------------------ ShellListForm

void ShellListForm::AddDocument(String fileName, String description) {
  lines_.push_back({std::move(fileName), std::move(description)});
}

void ShellListForm::Activate() {
  if (!lines_.empty()) selected_ = 0;
}

std::vector<String> ShellListForm::LineTexts() const {
  std::vector<String> texts;
  for (const Line& line : lines_) texts.push_back(line.description);
  return texts;
}

void ShellListForm::Select(size_t line) {
  if (line < lines_.size()) selected_ = line;
}

String ShellListForm::GetSelectedDocument() const {
  if (outcome_ != FormOutcome::Ok || !selected_) return {};
  return lines_[*selected_].file;
}

// ------------------------------------------------------------------ ShortcutFormModel

void ShortcutFormModel::Load() {
  const int32_t product = int32_t{seconds_} * kMillisecondsPerSecond;
  if (product > INT16_MAX || product < INT16_MIN) automation::Raise(automation::err::kOverflow);
  if (product < 0)
    throw automation::AutomationError(kInvalidPropertyValue, {}, u"Invalid property value");
  intervalMs_ = product;
  timerEnabled_ = seconds_ >= 1;
}

std::vector<String> ShortcutFormModel::LineTexts() const {
  return {form_text::kShortcutDescription, title_};
}

void ShortcutFormModel::ClickLink() {
  if (opener_) opener_->Open(target_);
}

}  // namespace brevalcore::ui
