#pragma once
// Shared pieces of the package tests: a scratch folder, a process service that records instead
// of spawning, a GUID store in memory, and file helpers.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "platform/shell/process.h"
#include "storage/packages/update.h"

namespace brevalcore::packages::testing {

namespace fs = std::filesystem;

inline const fs::path kPeFixtures = fs::path(BREVALCORE_SHARED_DIR) / "fixtures" / "pe";

class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (fs::temp_directory_path() / "bvc-packages-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }
  fs::path operator/(const std::string& name) const { return path_ / name; }

 private:
  fs::path path_;
};

class FakeProcesses : public shell::ProcessService {
 public:
  bool Spawn(const std::string& program, const std::vector<std::string>& argv) override {
    spawned.push_back(argv);
    return spawnSucceeds;
  }
  bool IsProcessRunning(const std::string& path) override {
    queried.push_back(path);
    return running;
  }
  int GetPlatformId() override { return 2; }

  bool running = false;
  bool spawnSucceeds = true;
  std::vector<std::vector<std::string>> spawned;
  std::vector<std::string> queried;
};

class MemoryGuidStore : public GuidStore {
 public:
  String ReadGuid() override { return value; }
  void WriteGuid(const String& guid) override {
    value = guid;
    ++writes;
  }
  String value;
  int writes = 0;
};

inline void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}
inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
inline void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}
// The names directly in a folder, folders marked with a trailing "/".
inline std::set<std::string> Listing(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.insert(entry.path().filename().string() + (entry.is_directory() ? "/" : ""));
  return names;
}

}  // namespace brevalcore::packages::testing
