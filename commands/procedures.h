#pragma once
// The procedures the link commands are made of. The control reaches them through the entry
// points of command_host.h; they are declared here for the commands themselves and for tests.
#include <optional>
#include <string>

#include "commands/command_host.h"
#include "commands/rtf_compile.h"

namespace brevalcore::commands {

// Texts the doctor sees.
namespace text {
inline constexpr char16_t kAppTitle[] = u"Canale informativo";
inline constexpr char16_t kNoAutoSubstitutions[] = u"Non ci sono farmaci sostituiti in automatico";
inline constexpr char16_t kReplacedBy[] = u"    sostituito da:    ";
inline constexpr char16_t kNotReplaceableQuestion[] =
    u"Si desidera impostare il farmaco come <Non Sostituibile>?";
}  // namespace text

inline constexpr char16_t kAutoSubstituteSection[] = u"AutoSubstitute";
inline constexpr char16_t kNotReplaceableKey[] = u"NOTREPLACEABLE";
inline constexpr int16_t kShortcutSeconds = 3;  // how long the shortcut confirmation stays

enum class ShortcutKind : int { ShellLink = 0, InternetShortcut = 1 };

// The full name of the plain file `name` of the banner folder, found whatever its case as on
// the platform: a regular file, not hidden, not a link. nullopt when there is none, and for a
// name that is no single file name of the folder ("\" and "/" both separate folders, so a
// name with a folder part is never found). Raises AutomationError, naming both, when two
// files differ only by case (the click handling then ends).
std::optional<String> ExistingBannerFile(CommandHost& host, StringView name);
// What LINK opens: an address as it stands; a path with "\" read as "/" and its folders and
// file found whatever their case, relative to the control folder (the opener's working folder).
String LinkTarget(CommandHost& host, StringView target);

// Automatic substitution store and its list.
void SaveAutoSubstitution(CommandHost& host, StringView code, StringView substitute);
// Asks the not-replaceable question when NOTREPLACEABLE is 2 and rewrites the option.
// Throws AutomationError for a malformed option (the click handling then ends).
void ResolveNotReplaceable(CommandHost& host, String& options);

// Desktop shortcuts. `kind` is 0 (".lnk") or 1 (".url"); anything else gives false.
bool CreateDesktopShortcut(CommandHost& host, StringView title, StringView target, int kind);
void ShowShortcutForm(CommandHost& host, StringView title, StringView target, int16_t seconds);

// The fields a document template gets from the control, in the order they are added; every
// other field is asked of the host (OnRequiredField).
inline constexpr const char16_t* kDocumentFields[] = {u"PAZIENTE", u"MEDICO", u"TIMBRO", u"DATA"};

// Fills the template into `outputName` with the four built-in variables; gives `outputName`.
// Failures of the compiler go to the caller.
String GenerateDocument(CommandHost& host, RtfCompile& rtf, StringView templateName, StringView outputName);

// The text of today's date, "dd/mm/yyyy".
String TodayText(const shell::Clock& clock);

}  // namespace brevalcore::commands
