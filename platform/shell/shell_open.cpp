#include "platform/shell/shell_open.h"

#include <spawn.h>
#include <sys/wait.h>

#include <vector>

extern char** environ;

namespace brevalcore::shell {

namespace {

// Openers started earlier and not yet reaped. xdg-open hands the file over and exits quickly,
// so reaping the finished ones at the next call keeps zombies from piling up without ever
// waiting.
std::vector<pid_t>& PendingChildren() {
  static std::vector<pid_t> pending;
  return pending;
}

void ReapFinished() {
  auto& pending = PendingChildren();
  std::erase_if(pending, [](pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) != 0; });
}

}  // namespace

// The opener is started and left to run: its outcome is never looked at.
void XdgShellOpener::Open(automation::StringView target) {
  ReapFinished();
  const std::string file = automation::ToUtf8(target);
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return;
  if (!workingFolder_.empty()) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 29))
    posix_spawn_file_actions_addchdir_np(&actions, workingFolder_.c_str());
#endif
  }
  std::string program = program_;
  char* argv[] = {program.data(), const_cast<char*>(file.c_str()), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv, environ) == 0)
    PendingChildren().push_back(pid);
  posix_spawn_file_actions_destroy(&actions);
}

}  // namespace brevalcore::shell
