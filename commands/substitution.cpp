// Automatic substitutions: the per-doctor store, the check when the host makes a drug current,
// the list dialog, and the not-replaceable question asked before a prescribe or substitute.
#include <exception>

#include "commands/command_host.h"
#include "commands/link.h"
#include "commands/procedures.h"
#include "platform/automation/error.h"
#include "platform/browser/browser_host.h"
#include "platform/ui/forms.h"
#include "platform/ui/user_interface.h"
#include "storage/file_names.h"

namespace brevalcore::commands {

void SaveAutoSubstitution(CommandHost& host, StringView code, StringView substitute) {
  // A line break in either would plant new entries (even new substitutions) in the file.
  storage::RequireProfileText("the drug code", code);
  storage::RequireProfileText("the substitute", substitute);
  host.WriteIni(kAutoSubstituteSection, code, substitute);
}

bool CheckAutoSubstitute(CommandHost& host) {
  try {
    if (host.IsLoadingItems() || !host.BannersEnabled()) return false;
    const String current = host.CurrentDrug();
    if (current.empty()) return false;
    const String value = host.ReadIni(kAutoSubstituteSection, current);
    if (TrimSpaces(value).empty()) return false;
    String param = value + u"&1";  // the host's answer is not used
    host.RaiseOnCommandClick(u"AUTOSUBSTITUTE", param);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

namespace {

// Shows the list, or the empty-list message; on OK writes the remaining entries back.
void ShowForm(CommandHost& host, ui::PersInformerForm& form) {
  if (!form.HasEntries()) {
    host.Ui().MessageBox(text::kNoAutoSubstitutions, ui::style::kInformation, text::kAppTitle);
    return;
  }
  form.Fill();
  host.Ui().ShowPersInformer(form);
  if (form.Outcome() == ui::FormOutcome::Ok) host.WriteIniSection(kAutoSubstituteSection, form.SectionText());
}

}  // namespace

bool ShowAutoSubstituteList(CommandHost& host) {
  try {
    if (!host.IsInitialized()) return false;
    if (!host.BannersEnabled()) return true;
    const String section = host.ReadIniSection(kAutoSubstituteSection);
    ui::PersInformerForm form;  // a fresh dialog for every run
    String description;         // kept across questions: a silent host repeats the last answer
    for (const String& entry : SplitText(section, u'\0')) {
      const size_t eq = entry.find(u'=');
      if (eq == String::npos) continue;
      host.RaiseOnRequiredDrugDescription(StringView(entry).substr(0, eq), description);
      String display = description + text::kReplacedBy;
      host.RaiseOnRequiredDrugDescription(StringView(entry).substr(eq + 1), description);
      display += description;
      form.AddDrug(std::move(display), entry);
    }
    ShowForm(host, form);
    host.Browser().Refresh();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

void ResolveNotReplaceable(CommandHost& host, String& options) {
  const auto current = GetLinkOption(options, kNotReplaceableKey, u"");
  if (!current) automation::Raise(automation::err::kSubscriptOutOfRange);
  if (*current != u"2") return;
  const ui::Button answer = host.Ui().MessageBox(text::kNotReplaceableQuestion,
                                                 ui::style::kYesNo | ui::style::kQuestion, text::kAppTitle);
  if (!SetLinkOption(options, kNotReplaceableKey, answer == ui::Button::Yes ? u"1" : u"0"))
    automation::Raise(automation::err::kSubscriptOutOfRange);
}

}  // namespace brevalcore::commands
