#include "rules/control_folder.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>

namespace brevalcore::rules {

std::string ControlFolder() {
  if (const char* dir = std::getenv("BREVALCORE_CONTROL_DIR"); dir && *dir) return dir;
  Dl_info info{};
  // Any address inside this module names the module's file.
  if (dladdr(reinterpret_cast<void*>(&ControlFolder), &info) && info.dli_fname) {
    std::error_code ec;
    auto path = std::filesystem::weakly_canonical(info.dli_fname, ec);
    if (ec) path = info.dli_fname;
    return path.parent_path().string();
  }
  return {};
}

}  // namespace brevalcore::rules
