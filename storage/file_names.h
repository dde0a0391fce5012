#pragma once
// The rules every name from outside (a package entry, a file a link names, a shortcut title,
// a document name) must follow before it becomes a file of ours, and the rule for texts that
// become a profile section, key or value. Each check gives the reason a name is refused, in
// words fit for a message that also names the entry; nothing is refused silently.
#include <optional>
#include <string>

#include "platform/automation/text.h"

namespace brevalcore::storage {

using automation::String;
using automation::StringView;

// The longest file name the system stores, in bytes of its UTF-8 form.
inline constexpr size_t kMaxFileNameBytes = 255;

// Why `name` cannot be a file name in one of our folders, or nullopt when it can. A file name
// is one component ("/" and "\" both separate folders), is not "." or "..", holds no control
// character, only characters of Windows-1252 (the code page packages and links are read in)
// and none the platform forbids in names (< > : " | ? *), does not end with a dot or a space
// (the platform drops them, so the file would take another name there), is no reserved device
// name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or without an extension), and fits the
// system's length limit.
std::optional<std::string> FileNameProblem(StringView name);

// Why `text` cannot be stored as a profile section, key or value (a line break would start new
// lines, a NUL would cut it), or nullopt when it can.
std::optional<std::string> ProfileTextProblem(StringView text);

// Raises "Invalid procedure call or argument", naming `what` and the text, when `text` cannot be
// stored in a profile file (ProfileTextProblem). Used where a link or a script hands over a
// section, key or value, so that such a text is refused before anything is written.
void RequireProfileText(std::string_view what, StringView text);

// The form two names share when the platform's file system takes them for the same file:
// upper case, letters of Windows-1252 included ("è" and "È" are one name).
String FoldedName(StringView name);

// A name quoted for a message: control characters are shown as \r, \n, \0 or \xNN, so that a
// hostile name can neither break the message's lines nor hide part of itself.
std::string QuotedName(StringView name);
std::string QuotedName(std::string_view utf8Name);

// True when `target` is an address with a scheme ("https:", "mailto:", "file:") rather than a
// path. A single letter before ":" is a drive, not a scheme.
bool IsAddress(StringView target);

// A path from a package or a link written for the platform: "\" becomes "/".
String WithSlashes(StringView path);

}  // namespace brevalcore::storage
