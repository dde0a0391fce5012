#pragma once
// Opening a file or an address with the program the desktop associates with it. The real
// opener starts xdg-open without a shell; tests put a recording fake in its place.
#include <string>
#include <vector>

#include "platform/automation/text.h"

namespace brevalcore::shell {

class ShellOpener {
 public:
  virtual ~ShellOpener() = default;
  // Starts the associated program for `target` (a file name or an address) and returns at
  // once. Nothing reports whether it worked: callers never look at the outcome.
  virtual void Open(automation::StringView target) = 0;
};

// xdg-open started with posix_spawn (no shell, no wait) in `workingFolder`.
class XdgShellOpener : public ShellOpener {
 public:
  explicit XdgShellOpener(std::string workingFolder, std::string program = "xdg-open")
      : workingFolder_(std::move(workingFolder)), program_(std::move(program)) {}
  void Open(automation::StringView target) override;

 private:
  std::string workingFolder_;
  std::string program_;
};

// Records every target instead of opening it.
class RecordingShellOpener : public ShellOpener {
 public:
  void Open(automation::StringView target) override { opened.emplace_back(target); }
  std::vector<automation::String> opened;
};

}  // namespace brevalcore::shell
