#include <poll.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <thread>

#include "platform/shell/process.h"

extern char** environ;

namespace brevalcore::shell {
namespace {

// Without pidfds (kernels before 5.3) the children are looked at this often instead.
constexpr int kPollWithoutPidfdMs = 100;

int OpenPidfd(pid_t pid) {
#ifdef SYS_pidfd_open
  return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
  (void)pid;
  errno = ENOSYS;
  return -1;
#endif
}

struct Child {
  pid_t pid;
  int pidfd;  // -1: looked at by waitpid(WNOHANG) on every turn
  std::function<void(int)> onExit;
};

}  // namespace

struct ProcessReaper::State {
  mutable std::mutex mutex;
  std::vector<Child> children;
  int wake = -1;  // eventfd: a child was adopted
  bool started = false;

  void Run() {
    for (;;) {
      std::vector<pollfd> fds{{wake, POLLIN, 0}};
      bool anyWithoutPidfd = false;
      {
        std::lock_guard guard(mutex);
        for (const Child& c : children) {
          if (c.pidfd >= 0) fds.push_back({c.pidfd, POLLIN, 0});
          else anyWithoutPidfd = true;
        }
      }
      if (::poll(fds.data(), fds.size(), anyWithoutPidfd ? kPollWithoutPidfdMs : -1) < 0 && errno != EINTR) continue;
      uint64_t count = 0;
      if (fds[0].revents & POLLIN) (void)!::read(wake, &count, sizeof count);
      ReapFinished();
    }
  }

  void ReapFinished() {
    std::vector<std::pair<std::function<void(int)>, int>> finished;
    {
      std::lock_guard guard(mutex);
      std::erase_if(children, [&](Child& c) {
        int status = 0;
        const pid_t r = ::waitpid(c.pid, &status, WNOHANG);
        if (r == 0 || (r < 0 && errno == EINTR)) return false;
        if (c.pidfd >= 0) ::close(c.pidfd);
        if (r == c.pid && c.onExit) finished.emplace_back(std::move(c.onExit), status);
        return true;  // reaped, or not ours to wait for (ECHILD)
      });
    }
    for (auto& [onExit, status] : finished) onExit(status);
  }
};

ProcessReaper::ProcessReaper() : state_(new State) {}

ProcessReaper& ProcessReaper::Instance() {
  static ProcessReaper* reaper = new ProcessReaper;  // never destroyed: see state_
  return *reaper;
}

void ProcessReaper::Adopt(pid_t pid, std::function<void(int)> onExit) {
  State& s = *state_;
  std::lock_guard guard(s.mutex);
  if (!s.started) {
    s.wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    std::thread([&s] { s.Run(); }).detach();
    s.started = true;
  }
  s.children.push_back({pid, OpenPidfd(pid), std::move(onExit)});
  const uint64_t one = 1;
  (void)!::write(s.wake, &one, sizeof one);
}

size_t ProcessReaper::Pending() const {
  std::lock_guard guard(state_->mutex);
  return state_->children.size();
}

std::optional<pid_t> StartProcess(const ProcessLaunch& launch, std::function<void(int)> onExit) {
  std::vector<char*> args;
  args.reserve(launch.argv.size() + 1);
  for (const std::string& a : launch.argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return std::nullopt;
  if (!launch.workingFolder.empty()) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 29))
    posix_spawn_file_actions_addchdir_np(&actions, launch.workingFolder.c_str());
#endif
  }
  pid_t pid = 0;
  // glibc's posix_spawn reports a failed exec as its result, so a file that cannot be run
  // gives nullopt here rather than a child that dies at once.
  const int r = launch.searchPath
                    ? posix_spawnp(&pid, launch.program.c_str(), &actions, nullptr, args.data(), environ)
                    : posix_spawn(&pid, launch.program.c_str(), &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (r != 0) return std::nullopt;
  ProcessReaper::Instance().Adopt(pid, std::move(onExit));
  return pid;
}

}  // namespace brevalcore::shell
