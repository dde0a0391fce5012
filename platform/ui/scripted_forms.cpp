// The scripted user interface's answers to the four forms. Until the forms are driven by
// queued answers, each form closes as cancelled, which is what a form shows when nobody
// answers it.
#include "platform/ui/scripted_ui.h"

namespace brevalcore::ui {

void ScriptedUserInterface::ShowPersInformer(PersInformerForm&) { Record({u"PersInformer", 0, {}, {}, {}}); }
void ScriptedUserInterface::ShowSelezioneFarmaci(SelezioneFarmaciForm&) { Record({u"SelezioneFarmaci", 0, {}, {}, {}}); }
void ScriptedUserInterface::ShowShellList(ShellListForm&) { Record({u"ShellList", 0, {}, {}, {}}); }
void ScriptedUserInterface::ShowShortcutForm(ShortcutFormModel&) { Record({u"ShortcutForm", 0, {}, {}, {}}); }

}  // namespace brevalcore::ui
