#pragma once
// The host-facing interface of the VBScript engine: what the control (and the tools) need of
// a script control. Failures are thrown as ScriptError, which carries the engine's number and
// description and, for compile errors and errors in top-level code, line and column.
#include <chrono>
#include <memory>
#include <vector>

#include "platform/automation/error.h"
#include "platform/automation/factory.h"
#include "platform/automation/memory.h"
#include "platform/automation/variant.h"

namespace brevalcore::ui { class UserInterface; }

namespace brevalcore::script {

using automation::Object;
using automation::Ref;
using automation::String;
using automation::StringView;
using automation::Variant;

class ScriptError : public automation::AutomationError {
 public:
  ScriptError(int32_t number, String source, String description, int line = 0, int column = 0,
               String lineText = {})
      : AutomationError(number, std::move(source), std::move(description)),
        line_(line), column_(column), lineText_(std::move(lineText)) {}
  int line() const noexcept { return line_; }      // 1-based; 0 when unknown
  int column() const noexcept { return column_; }  // 1-based; 0 when unknown
  const String& lineText() const noexcept { return lineText_; }

 private:
  int line_;
  int column_;
  String lineText_;
};

// What the engine borrows from its host: where MsgBox and InputBox go, which ProgIDs
// CreateObject can make, and how long a run may take.
struct ScriptServices {
  ui::UserInterface* ui = nullptr;  // MsgBox/InputBox raise 70 "Permission denied" without one
  automation::ObjectFactories* factories = &automation::ObjectFactories::Global();
  // A statement, AddCode or Eval that runs longer is stopped with an error; the engine stays
  // usable. The platform's script control allows 10 seconds.
  std::chrono::milliseconds timeout{10000};
  // What the strings, arrays and objects of the engine's runs may hold in all; past it an
  // allocation fails with "Out of memory" (7), which the script may catch.
  size_t memoryCap = automation::MemoryBudget::kDefaultCap;
  // Counts how often each statement starts, for LineCoverage. The authors' tools ask for it;
  // the control at a doctor's desk does not pay a count for every statement it runs.
  bool countLineRuns = false;
};

class ScriptHost {
 public:
  virtual ~ScriptHost() = default;

  // Only "VBScript" is accepted (without regard to case); any other name raises.
  virtual void SetLanguage(StringView language) = 0;
  // Drops all code and named objects.
  virtual void Reset() = 0;
  // Makes `object` known by `name`; with `addMembers` each of its members is also a global
  // name (a script may write ShowBanner as well as actions.ShowBanner).
  virtual void AddObject(StringView name, Ref<Object> object, bool addMembers) = 0;
  // Compiles `code` and runs its top-level statements.
  virtual void AddCode(StringView code) = 0;
  // Runs a statement, typically the bare name of a procedure.
  virtual void ExecuteStatement(StringView statement) = 0;
  // Evaluates an expression (for the tools).
  virtual Variant Eval(StringView expression) = 0;
  virtual void SetTimeout(std::chrono::milliseconds timeout) = 0;
  // Asks the run in progress to stop at its next check (loops, calls and long built-ins
  // check), with the time-out error. Safe from a signal handler or another thread.
  virtual void RequestStop() noexcept {}

  // The lines of the code given to AddCode since the last Reset that hold statements, in
  // order, each with how often a statement on it started (0 throughout unless the services
  // asked for countLineRuns). For the authors' coverage reports.
  struct LineRuns {
    int line;
    uint32_t runs;
  };
  virtual std::vector<LineRuns> LineCoverage() const { return {}; }
};

// A new VBScript engine with no language set and no code.
std::unique_ptr<ScriptHost> CreateScriptHost(ScriptServices services = {});

}  // namespace brevalcore::script
