#pragma once
// "WScript.Shell", as far as desktop shortcuts need it: SpecialFolders("Desktop") and
// CreateShortcut, whose object takes a TargetPath and saves a ".url" (InternetShortcut text)
// or ".lnk" (shell-link binary) file.
#include <string>
#include <vector>

#include "platform/automation/dispatch.h"
#include "platform/automation/factory.h"

namespace brevalcore::shell {

using automation::String;
using automation::StringView;

// The ProgID. Referring to it also links in the registration of the class in
// ObjectFactories::Global().
StringView WScriptShellProgId();
void RegisterWScriptShell(automation::ObjectFactories& factories);

// The XDG desktop folder: XDG_DESKTOP_DIR, else `xdg-user-dir DESKTOP`, else ~/Desktop.
std::string DesktopFolder();

// File contents of the two shortcut kinds.
std::string InternetShortcutText(StringView target);
std::vector<uint8_t> ShellLinkBytes(StringView target);

class WshShortcut : public automation::DispatchObject<WshShortcut> {
 public:
  static const automation::ClassInfo& Class();
  explicit WshShortcut(String fullName) : fullName_(std::move(fullName)) {}

  String FullName() const { return fullName_; }
  String TargetPath() const { return target_; }
  void SetTargetPath(const String& target) { target_ = target; }
  // Writes the file; its kind follows the extension given to CreateShortcut.
  void Save();

 private:
  String fullName_;
  String target_;
};

class WScriptShell : public automation::DispatchObject<WScriptShell> {
 public:
  static const automation::ClassInfo& Class();

  // The folder of a special-folder name; only "Desktop" is known, others give "".
  String SpecialFolders(const String& name);
  // A shortcut object for `path`, which must end in ".lnk" or ".url" (else error 5).
  automation::Ref<WshShortcut> CreateShortcut(const String& path);
};

}  // namespace brevalcore::shell
