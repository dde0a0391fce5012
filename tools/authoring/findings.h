#pragma once
// What the package checker reports: one finding per problem, with the file (relative to the
// package folder), the line and column where it is (0:0 for the file as a whole), its
// severity, a stable code and a message. Printed as compilers print, or as JSON.
#include <string>
#include <string_view>
#include <vector>

namespace brevalcore::authoring {

enum class Severity { Error, Warning };

struct Finding {
  std::string file;  // UTF-8, "/" between folders
  int line = 0;
  int column = 0;
  Severity severity = Severity::Error;
  std::string code;     // "link-unknown-command", ...
  std::string message;  // UTF-8, one line
};

// Sorted by file, then line and column; findings at one place keep the order they were made.
void SortFindings(std::vector<Finding>& findings);

// "FILE:LINE:COL: error|warning: MESSAGE [code]", one line each.
std::string FormatFindings(const std::vector<Finding>& findings);
// A JSON array of {file, line, column, severity, code, message}.
std::string FormatFindingsJson(const std::vector<Finding>& findings);
// "N errors, M warnings in K files".
std::string FormatSummary(const std::vector<Finding>& findings, int filesChecked);

int CountOf(const std::vector<Finding>& findings, Severity severity);

// `text` (UTF-8) as a JSON string literal, quotes included.
std::string JsonString(std::string_view text);

}  // namespace brevalcore::authoring
