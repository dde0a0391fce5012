#include "platform/shell/process.h"

#include <dirent.h>
#include <unistd.h>

#include <cctype>

namespace brevalcore::shell {

namespace {

// The NT family: what the control's process listing expects.
constexpr int kPlatformNt = 2;

}  // namespace

bool SystemProcesses::Spawn(const std::string& program, const std::vector<std::string>& argv) {
  return StartProcess({program, argv, {}, false}).has_value();
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
