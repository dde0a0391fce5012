#include "tools/authoring/findings.h"

#include <algorithm>
#include <cstdio>

namespace brevalcore::authoring {

namespace {

const char* SeverityWord(Severity severity) { return severity == Severity::Error ? "error" : "warning"; }

}  // namespace

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (const unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", c);
          out += escape;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

namespace {

std::string Plural(int count, const char* word) {
  return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

}  // namespace

void SortFindings(std::vector<Finding>& findings) {
  std::stable_sort(findings.begin(), findings.end(), [](const Finding& a, const Finding& b) {
    if (a.file != b.file) return a.file < b.file;
    if (a.line != b.line) return a.line < b.line;
    return a.column < b.column;
  });
}

std::string FormatFindings(const std::vector<Finding>& findings) {
  std::string out;
  for (const Finding& f : findings) {
    out += f.file + ":" + std::to_string(f.line) + ":" + std::to_string(f.column) + ": " + SeverityWord(f.severity) +
           ": " + f.message + " [" + f.code + "]\n";
  }
  return out;
}

std::string FormatFindingsJson(const std::vector<Finding>& findings) {
  std::string out = "[";
  for (size_t i = 0; i < findings.size(); ++i) {
    const Finding& f = findings[i];
    out += i ? ",\n  " : "\n  ";
    out += "{\"file\": " + JsonString(f.file) + ", \"line\": " + std::to_string(f.line) +
           ", \"column\": " + std::to_string(f.column) + ", \"severity\": \"" + SeverityWord(f.severity) +
           "\", \"code\": " + JsonString(f.code) + ", \"message\": " + JsonString(f.message) + "}";
  }
  return out + (findings.empty() ? "]\n" : "\n]\n");
}

std::string FormatSummary(const std::vector<Finding>& findings, int filesChecked) {
  return Plural(CountOf(findings, Severity::Error), "error") + ", " +
         Plural(CountOf(findings, Severity::Warning), "warning") + " in " + Plural(filesChecked, "file") + "\n";
}

int CountOf(const std::vector<Finding>& findings, Severity severity) {
  return static_cast<int>(std::count_if(findings.begin(), findings.end(),
                                        [severity](const Finding& f) { return f.severity == severity; }));
}

}  // namespace brevalcore::authoring
