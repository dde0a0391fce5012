#include "platform/shell/process.h"

#include <dirent.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <thread>

extern char** environ;

namespace brevalcore::shell {

namespace {

// The NT family: what the control's process listing expects.
constexpr int kPlatformNt = 2;

}  // namespace

bool SystemProcesses::Spawn(const std::string& program, const std::vector<std::string>& argv) {
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  // glibc's posix_spawn reports a failed exec as its result, so a file that cannot be run
  // gives false here rather than a child that dies at once.
  if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, args.data(), environ) != 0) return false;
  // We never wait for the child, but someone must collect its exit status or it stays a
  // zombie for the host's lifetime.
  std::thread([pid] {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return true;
}

bool SystemProcesses::IsProcessRunning(const std::string& path) {
  if (path.empty()) return false;
  DIR* proc = ::opendir("/proc");
  if (!proc) return false;
  bool found = false;
  while (const dirent* entry = ::readdir(proc)) {
    if (!std::isdigit(static_cast<unsigned char>(entry->d_name[0]))) continue;
    const std::string link = std::string("/proc/") + entry->d_name + "/exe";
    char target[4096];
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target);
    if (n <= 0) continue;  // gone, a kernel thread, or another user's
    if (std::string_view(target, static_cast<size_t>(n)).find(path) != std::string_view::npos) {
      found = true;
      break;
    }
  }
  ::closedir(proc);
  return found;
}

int SystemProcesses::GetPlatformId() { return kPlatformNt; }

SystemProcesses& SystemProcesses::Instance() {
  static SystemProcesses instance;
  return instance;
}

}  // namespace brevalcore::shell
