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

// Why `name` cannot name a package file, or nullopt when it can: the rule the package update
// applies (storage::FileNameProblem), worded as "the name ...".
std::optional<std::string> FileNameProblem(StringView name);

struct NameMatch {
  enum class State { Missing, Found, Ambiguous } state = State::Missing;
  String name;   // the file found (or the first of two)
  String other;  // Ambiguous: the second file
};

// Finds `wanted` among `names` as the control's resolver does (storage::FoldedName): letter
// case does not count. Two names that differ only by case make the lookup ambiguous.
NameMatch ResolveFileName(std::span<const String> names, StringView wanted);

}  // namespace brevalcore::authoring
