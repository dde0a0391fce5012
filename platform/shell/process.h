#pragma once
// Starting and finding processes. The package update starts the external updater without
// waiting for it and asks whether it already runs; tests put a fake in place of the system.
#include <string>
#include <vector>

namespace brevalcore::shell {

class ProcessService {
 public:
  virtual ~ProcessService() = default;
  // Starts `program` with the given argv (argv[0] included), without a shell and without
  // waiting; the child inherits the environment and the current folder. False when the
  // process could not be created.
  virtual bool Spawn(const std::string& program, const std::vector<std::string>& argv) = 0;
  // True when the executable of some running process has a path containing `path`
  // (byte-wise, case-sensitive). Processes we may not inspect are skipped.
  virtual bool IsProcessRunning(const std::string& path) = 0;
  // The platform family the control reports: always 2 (the NT family) here.
  virtual int GetPlatformId() = 0;
};

// The real system: posix_spawn and /proc.
class SystemProcesses : public ProcessService {
 public:
  bool Spawn(const std::string& program, const std::vector<std::string>& argv) override;
  bool IsProcessRunning(const std::string& path) override;
  int GetPlatformId() override;
  static SystemProcesses& Instance();
};

}  // namespace brevalcore::shell
