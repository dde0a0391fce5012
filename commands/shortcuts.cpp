// Desktop shortcuts through "WScript.Shell", and the window that confirms them.
#include <exception>

#include "commands/command_host.h"
#include "commands/procedures.h"
#include "platform/automation/convert.h"
#include "platform/automation/factory.h"
#include "platform/shell/shell_open.h"
#include "platform/shell/wscript_shell.h"
#include "platform/ui/forms.h"
#include "platform/ui/user_interface.h"
#include "storage/file_names.h"

namespace brevalcore::commands {

namespace {

Variant CallMember(automation::Object& object, StringView name, automation::InvokeKind kind,
                   std::vector<Variant> args) {
  const automation::DispId id = object.GetIdOfName(name);
  if (id == automation::kDispIdUnknown) automation::Raise(automation::err::kNoSuchMember);
  return object.Invoke(id, kind, args);
}

automation::Ref<automation::Object> ObjectOf(const Variant& value) {
  if (!value.IsObject() || value.IsNothing()) automation::Raise(automation::err::kObjectRequired);
  return value.AsObjectRef();
}

}  // namespace

bool CreateDesktopShortcut(CommandHost& host, StringView title, StringView target, int kind) {
  try {
    const char16_t* extension = nullptr;
    if (kind == static_cast<int>(ShortcutKind::ShellLink)) extension = u".lnk";
    else if (kind == static_cast<int>(ShortcutKind::InternetShortcut)) extension = u".url";
    else return false;

    auto shell = host.Factories().Create(shell::WScriptShellProgId());
    // SpecialFolders("Desktop") reads as a property or a method call, as a script writes it.
    const auto readOrCall = static_cast<automation::InvokeKind>(automation::kInvokeMethod | automation::kInvokeGet);
    const String desktop =
        automation::ToString(CallMember(*shell, u"SpecialFolders", readOrCall, {Variant(u"Desktop")}));
    if (desktop.empty()) return false;
    // The title is the file name as it stands, after the one leading separator BuildPath
    // drops. A title that is no valid file name of the desktop folder ("../x", "a/b", a device
    // name) fails, as the platform's save does, so no shortcut lands anywhere else.
    const StringView leaf = !title.empty() && (title[0] == u'/' || title[0] == u'\\') ? title.substr(1) : title;
    const String fileName = String(leaf) + extension;
    if (storage::FileNameProblem(fileName)) return false;
    String fullName = desktop;
    if (fullName.back() == u'/') fullName.pop_back();
    fullName += u'/';
    fullName += fileName;

    auto shortcut = ObjectOf(CallMember(*shell, u"CreateShortcut", automation::kInvokeMethod, {Variant(fullName)}));
    CallMember(*shortcut, u"TargetPath", automation::kInvokePut, {Variant(String(target))});
    CallMember(*shortcut, u"Save", automation::kInvokeMethod, {});
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

void ShowShortcutForm(CommandHost& host, StringView title, StringView target, int16_t seconds) {
  ui::ShortcutFormModel form(String(title), String(target), seconds, &host.Shell());
  form.Load();
  host.Ui().ShowShortcutForm(form);
}

}  // namespace brevalcore::commands
