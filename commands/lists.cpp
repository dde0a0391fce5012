// The drug selection list and the document list that link commands open before acting.
#include <exception>

#include "commands/command_host.h"
#include "commands/link.h"
#include "platform/browser/browser_host.h"
#include "platform/ui/forms.h"
#include "platform/ui/user_interface.h"

namespace brevalcore::commands {

void ShowSelectionList(CommandHost& host, String& drugList, bool singleChoice) {
  try {
    if (!host.IsInitialized()) return;
    ui::SelezioneFarmaciForm form;
    String description;  // kept across codes: a silent host repeats the previous description
    for (const String& code : SplitText(drugList, u'&')) {
      if (code.empty()) continue;
      host.RaiseOnRequiredDrugDescription(code, description);
      form.AddDrug(code, description);
    }
    form.SetSingleChoice(singleChoice);
    host.Ui().ShowSelezioneFarmaci(form);
    String chosen = form.GetDrugList();
    host.Browser().Refresh();
    drugList = std::move(chosen);
    if (drugList.empty()) host.GotFocusStep();
  } catch (const std::exception&) {
    // the list text stays as it was
  }
}

String ShowShellList(CommandHost& host, StringView title, StringView documentList) {
  try {
    if (!host.IsInitialized()) return {};
    ui::ShellListForm form;
    for (const String& item : SplitText(documentList, u'&')) {
      if (item.empty()) continue;
      const size_t bar = item.find(u'|');
      if (bar == String::npos) return {};  // a malformed item spoils the whole list
      const std::vector<String> parts = SplitText(item, u'|');
      if (!TrimSpaces(parts[0]).empty()) form.AddDocument(parts[0], parts[1]);
    }
    form.SetTitle(String(title));
    form.Activate();
    host.Ui().ShowShellList(form);
    String chosen = form.GetSelectedDocument();
    host.Browser().Refresh();
    return chosen;
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace brevalcore::commands
