#pragma once
// What the control tells its host besides the message boxes it shows the doctor: every failure
// report, script error, load failure, package update result and trace failure, as a value. The
// control fills them in; the rule objects report trace failures through their context.
#include <functional>
#include <string>

#include "platform/automation/text.h"

namespace brevalcore::rules {

enum class DiagnosticKind {
  Script,         // a compile or run-time error of "banner.script" (file, line and column when known)
  Load,           // a file or page the control needed could not be read or shown
  PackageUpdate,  // the outcome of the banner package update at start-up
  Trace,          // the tracing component could not be created or a trace was lost
  Call,           // any other failure of a host call, as the control's error report names it
};

struct Diagnostic {
  DiagnosticKind kind = DiagnosticKind::Call;
  bool error = true;             // false for outcomes that are not failures (a package unpacked)
  int32_t number = 0;            // the platform's error number; 0 when there is none
  automation::String procedure;  // the procedure the report names ("Init", "OnBefore", ...)
  automation::String message;    // the whole text, as the doctor's message box shows it when there is one
  std::string file;              // the script or page concerned, when there is one
  int line = 0;                  // 1-based; 0 when unknown
  int column = 0;
};

using DiagnosticSink = std::function<void(const Diagnostic&)>;

}  // namespace brevalcore::rules
