#pragma once
// Problems the control met that no caller was waiting to hear about: a plug-in that did not
// load, a profile write that was refused. Each is logged (standard error, unless a host or a
// test sets its own sink) and kept, the most recent kMaxDiagnostics of them, for the control
// and the tools to show.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace brevalcore::automation {

inline constexpr size_t kMaxDiagnostics = 100;

struct Diagnostic {
  std::string source;   // what met the problem: "plug-in", "profile file", ...
  std::string message;  // what and where: the file, the entry, the reason
  friend bool operator==(const Diagnostic&, const Diagnostic&) = default;
};

void ReportDiagnostic(std::string source, std::string message);
// Oldest first.
std::vector<Diagnostic> Diagnostics();
void ClearDiagnostics();

// Receives every report as it is made; an empty function logs nothing.
using DiagnosticSink = std::function<void(const Diagnostic&)>;
void SetDiagnosticSink(DiagnosticSink sink);
// The default sink: "brevalcore: <source>: <message>" on standard error.
void LogToStandardError(const Diagnostic& d);

}  // namespace brevalcore::automation
