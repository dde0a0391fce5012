#pragma once
// The link syntax of banner pages: #COMMAND?param?options, where options are key=value items
// joined by "&".
#include <optional>
#include <span>
#include <vector>

#include "platform/automation/text.h"

namespace brevalcore::commands {

using automation::String;
using automation::StringView;

struct CommandLink {
  String command;  // as written; the caller upper-cases it before matching
  String param;
  String options;
};

// Splits `link` (the text from the last "#" of an href on) at every "?": the command is the
// first part without its first character, param and options the second and third parts
// (empty when missing). Parts after the third are dropped.
CommandLink ParseCommandLink(StringView link);

// The text from the last "#" of `href` to its end, or nullopt when there is no "#".
std::optional<String> LinkFragment(StringView href);

// Looks `key` (upper case) up among the first two "&" items of `options`, comparing each
// item's key upper-cased. Empty items are skipped. Gives the value of the first match, or
// `defaultValue`; nullopt when the matching item has no "=" (a malformed link).
[[nodiscard]] std::optional<String> GetLinkOption(StringView options, StringView key, StringView defaultValue);

// Replaces, in `options`, every occurrence of the first item matching `key` (found as
// GetLinkOption finds it) by key=value. Returns false for a matching item without "=";
// an absent key leaves `options` as it is.
[[nodiscard]] bool SetLinkOption(String& options, StringView key, StringView value);

// The command words the control knows, with what each reads from the link: one table for the
// click handling and for the tools that check pages.
enum class LinkCommand : uint8_t {
  Shell, ShellList, Link, SaveLink, SubstituteEver, Substitute, Prescribe, PrescribePharma,
  PrescribeParapharma, PrescribeHomeopathic, Voluntas, Document, SavePatientKeyData, SaveKeyData,
};

enum class LinkParam : uint8_t {
  FileName,       // a file of the banner folder
  FileList,       // file|title items joined by "&"
  Address,        // an address or a file name, opened as it stands
  TargetAndTitle, // target|title
  DrugCode,       // one drug code
  DrugCodes,      // one drug code, or several joined by "&" (the doctor then chooses)
  KeyAndValue,    // key=value
  FreeText,       // passed to the host
};

struct LinkCommandInfo {
  LinkCommand command;
  const char16_t* word;  // upper case, as matched
  LinkParam param;
  bool readsOptions;     // NOTREPLACEABLE is read and the options reach the host
};

std::span<const LinkCommandInfo> LinkCommands();
// The command of an upper-cased word, or nullptr for a word the control ignores.
const LinkCommandInfo* FindLinkCommand(StringView word);

// Splits at every occurrence of `separator` (a plain character), keeping empty parts.
std::vector<String> SplitText(StringView text, char16_t separator);
// Split, then cut or padded with empty parts to exactly `count` parts.
std::vector<String> SplitExactly(StringView text, char16_t separator, size_t count);
// Removes leading and trailing spaces (only U+0020, as the platform's Trim does).
String TrimSpaces(StringView text);

}  // namespace brevalcore::commands
