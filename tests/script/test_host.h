#pragma once
// Helpers for the engine tests: a host with an "out" object whose Echo collects lines, and a
// one-call runner that returns the output or the error.
#include <chrono>
#include <memory>
#include <string>

#include "platform/script/script_host.h"

namespace brevalcore::script::testing {

struct RunResult {
  std::string output;  // Echo lines, each ended by "\n"
  int error = 0;       // 0 when the code ran to its end
  std::string description;
  int line = 0;
  int column = 0;
};


// Runs `code` with AddCode in a fresh engine; `out.Echo a, b` writes "a b\n" (Booleans as
// -1/0, like the console host).
RunResult RunScript(const std::string& code, std::chrono::milliseconds timeout = std::chrono::milliseconds(10000),
                    size_t memoryCap = automation::MemoryBudget::kDefaultCap);

// A fresh engine with the language set and "out" added.
std::unique_ptr<ScriptHost> MakeHost(std::string& output, size_t memoryCap = automation::MemoryBudget::kDefaultCap);

}  // namespace brevalcore::script::testing
