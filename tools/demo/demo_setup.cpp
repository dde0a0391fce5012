#include "tools/demo/demo_setup.h"

#include <cstdlib>
#include <algorithm>
#include <filesystem>
#include <vector>

namespace brevalcore::demo {

namespace fs = std::filesystem;

namespace {
constexpr char kBannerFolderName[] = "Brevalcore";
constexpr char kLibraryFileName[] = "BVCRES.DLL";
constexpr char kScriptFileName[] = "banner.script";
}  // namespace

std::string DefaultBannerSource() {
  const fs::path samples = fs::path(BREVALCORE_SOURCE_DIR) / "samples";
  std::error_code ignored;
  if (fs::exists(samples / kScriptFileName, ignored)) return samples.string();
  std::vector<fs::path> candidates;
  for (const auto& entry : fs::directory_iterator(samples, ignored))
    if (entry.is_directory() && fs::exists(entry.path() / kScriptFileName, ignored)) candidates.push_back(entry.path());
  if (candidates.empty()) return {};
  std::sort(candidates.begin(), candidates.end());
  return candidates.front().string();
}

std::optional<DemoFolders> PrepareDemoFolders(const std::string& source, std::string work, std::string& error) {
  std::error_code failure;
  if (source.empty() || !fs::is_directory(source, failure)) {
    error = "banner folder not found: " + (source.empty() ? std::string("(none under samples/)") : source);
    return std::nullopt;
  }
  if (work.empty()) {
    std::string pattern = (fs::temp_directory_path() / "brevalcore-demo-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
      error = "cannot create a work folder in " + fs::temp_directory_path().string();
      return std::nullopt;
    }
    work = pattern;
  }
  DemoFolders folders{work, (fs::path(work) / "data").string(), (fs::path(work) / "control").string(), {}};
  const fs::path bannerFolder = fs::path(folders.data) / kBannerFolderName;
  fs::create_directories(bannerFolder, failure);
  fs::create_directories(folders.control, failure);
  if (failure) {
    error = "cannot create the demo folders under " + work + ": " + failure.message();
    return std::nullopt;
  }
  setenv("BREVALCORE_COMMON_APPDATA", folders.data.c_str(), 1);
  setenv("BREVALCORE_CONTROL_DIR", folders.control.c_str(), 1);

  if (fs::exists(fs::path(source) / kLibraryFileName, failure)) {
    folders.bannerLibrary = fs::absolute(source).string();
    return folders;
  }
  fs::copy(source, bannerFolder, fs::copy_options::recursive | fs::copy_options::overwrite_existing, failure);
  if (failure) {
    error = "cannot copy " + source + " to " + bannerFolder.string() + ": " + failure.message();
    return std::nullopt;
  }
  return folders;
}

}  // namespace brevalcore::demo
