#pragma once
// Starting and finding processes. The control starts programs it never waits for (the package
// updater, the shell's opener, a trace push) and asks whether the updater already runs; tests
// put a fake in place of the system.
#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <optional>
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

struct ProcessLaunch {
  std::string program;            // a full name, or a name looked up on PATH (searchPath)
  std::vector<std::string> argv;  // argv[0] included
  std::string workingFolder;      // empty: the current folder
  bool searchPath = false;
};

// Starts a process without a shell and without waiting, and hands it to the ProcessReaper.
// `onExit`, when given, runs on the reaper's thread with the wait status. The child's pid,
// or nullopt when it could not be started (a program that cannot be run included).
std::optional<pid_t> StartProcess(const ProcessLaunch& launch, std::function<void(int status)> onExit = {});

// The one owner of the exit of every process the control starts: a single thread waits for
// all of them (a pidfd each, one poll), so no child stays a zombie and no start leaves a
// thread behind. Only the children handed to it are waited for, never the host's own.
class ProcessReaper {
 public:
  static ProcessReaper& Instance();
  void Adopt(pid_t pid, std::function<void(int status)> onExit = {});
  // Children handed over and not yet reaped.
  size_t Pending() const;

 private:
  ProcessReaper();
  struct State;
  State* state_;  // lives as long as the process: the thread may still be polling at exit
};

}  // namespace brevalcore::shell
