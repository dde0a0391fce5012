#include "tools/authoring/name_rules.h"

#include "storage/file_names.h"

namespace brevalcore::authoring {

// The control's own rule (the package update refuses such a name), worded for a finding.
std::optional<std::string> FileNameProblem(StringView name) {
  if (auto problem = storage::FileNameProblem(name)) return "the name " + *problem;
  return std::nullopt;
}

NameMatch ResolveFileName(std::span<const String> names, StringView wanted) {
  NameMatch match;
  const String folded = storage::FoldedName(wanted);
  for (const String& name : names) {
    if (name.size() != wanted.size() || storage::FoldedName(name) != folded) continue;
    if (match.state == NameMatch::State::Missing) {
      match = {NameMatch::State::Found, name, {}};
    } else {
      match.state = NameMatch::State::Ambiguous;
      match.other = name;
      return match;
    }
  }
  return match;
}

}  // namespace brevalcore::authoring
