#pragma once
// The package checker behind `brevalcore check` and `brevalcore pack`: it applies to a banner
// package the code the control itself runs on it (the script read as the control reads it and
// bound to the real rule objects, pages parsed by the control's page model and their links by
// its link parser, names looked up by the platform's rules) and reports what would fail on a
// doctor's screen.
#include <functional>
#include <string>
#include <vector>

#include "tools/authoring/findings.h"

namespace brevalcore::authoring {

struct CheckResult {
  std::vector<Finding> findings;  // sorted by file and position
  int filesChecked = 0;
  bool unusable = false;  // something could not be read at all: exit status 2
};

// Called after each page or template of a package is checked: how many of how many.
using CheckProgress = std::function<void(size_t done, size_t total)>;

// PATH is a package folder, a resource library (BVCRES.DLL), or a single script, page or RTF
// template, checked against the files of its folder.
CheckResult CheckPath(const std::string& path, const CheckProgress& progress = {});

// Exit status of `brevalcore check`: 2 for unusable input, 1 when there is an error (or, with
// `warningsAreErrors`, a warning), else 0.
int CheckExitStatus(const CheckResult& result, bool warningsAreErrors);

}  // namespace brevalcore::authoring
