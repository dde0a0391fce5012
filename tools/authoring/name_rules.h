#pragma once
// The platform's rules for the names of package files, as the checker applies them: what a
// name may be, and how a name written in a script or a link finds its file (letter case does
// not count on the platform). Each rule is reached through one function here.
#include <optional>
#include <span>
#include <string>

#include "platform/automation/text.h"

namespace brevalcore::authoring {

using automation::String;
using automation::StringView;

// Why `name` cannot name a package file, or nullopt when it can: a single component (the
// platform never creates subfolders), representable in Windows-1252, at most 255 characters,
// no control characters or characters the platform forbids in file names, no trailing dot or
// space, not "." or "..", not a reserved device name (CON, NUL, COM1, ... with any extension).
std::optional<std::string> FileNameProblem(StringView name);

struct NameMatch {
  enum class State { Missing, Found, Ambiguous } state = State::Missing;
  String name;   // the file found (or the first of two)
  String other;  // Ambiguous: the second file
};

// Finds `wanted` among `names` as the platform does: letter case does not count. Two names
// that differ only by case make the lookup ambiguous.
NameMatch ResolveFileName(std::span<const String> names, StringView wanted);

}  // namespace brevalcore::authoring
