#pragma once
// A session of `brevalcore run` played inside a folder of its own: home, temporary folder and
// XDG folders, data root and control folder all lie under it, so that a snapshot of the folder
// before and after shows every file the session wrote.
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace brevalcore::reliability {

namespace fs = std::filesystem;

// What a path held: kind, size and a hash of its bytes (or of its link target).
struct Entry {
  char kind = 'f';  // 'f' file, 'd' folder, 'l' symbolic link, 'o' anything else
  uintmax_t size = 0;
  uint64_t hash = 0;
  bool operator==(const Entry&) const = default;
};
using Snapshot = std::map<std::string, Entry>;  // by path relative to the sandbox

struct Change {
  std::string path;  // relative to the sandbox
  std::string what;  // "added", "removed" or "changed"
};

struct RunResult {
  bool exited = false;     // ended by itself with an exit status, not by a signal
  int status = -1;         // the exit status when `exited`
  int signal = 0;          // the signal that ended it, else 0
  bool timedOut = false;   // killed by us after the time bound
  std::chrono::milliseconds elapsed{0};
  std::string output;      // standard output and error together
  std::vector<std::string> lines;
};

// Limits applied to the session process.
struct RunLimits {
  std::chrono::seconds bound{120};
  uintmax_t addressSpaceBytes = 0;  // 0: no limit
};

class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  const fs::path& root() const { return root_; }
  fs::path dataRoot() const { return root_ / "data"; }
  fs::path controlDir() const { return root_ / "control"; }
  fs::path bannerFolder() const { return dataRoot() / "Brevalcore"; }
  fs::path tempFolder() const { return bannerFolder() / "TEMP"; }
  fs::path inputs() const { return root_ / "inputs"; }
  // The banners handed to the session with --banners: a copy of the sample banner package,
  // which the test may change before the run.
  fs::path banners() const { return inputs() / "banners"; }
  fs::path iniFile(const std::string& doctor) const { return controlDir() / ("BVC_" + doctor + ".INI"); }
  // Adds an anchor for each of `hrefs` to the page `page` of banners(): a session presses
  // only what a page shows, so hostile links are put where a hostile page would put them.
  void AddLinks(const std::string& page, const std::vector<std::string>& hrefs) const;

  // From now on the session gets no --banners: the banner folder holds only what the test put
  // there, and the control's start-up unpacks the package the test put beside it.
  void KeepBannerFolderAsPlanted() { copyBanners_ = false; }

  // Writes the session script and runs it with `brevalcore run`; the snapshot taken just
  // before the run is kept for Changes().
  RunResult Run(const std::string& sessionScript, const RunLimits& limits = {});

  // Paths that differ between the snapshot before the last run and now.
  std::vector<Change> Changes() const;
  // The changes outside the places a session may write: the banner folder (with its
  // temporary folder), the doctor's settings file and its lock file.
  std::vector<Change> ChangesOutsideOwnedPlaces(const std::string& doctor) const;

  Snapshot Take() const;

 private:
  fs::path root_;
  Snapshot before_;
  bool copyBanners_ = true;
};

std::string ReadFile(const fs::path& path);
void WriteFile(const fs::path& path, const std::string& bytes);

// One output line of `brevalcore run`: the word, then its JSON literals decoded (numbers
// are kept as written).
struct OutputLine {
  std::string word;
  std::vector<std::string> fields;
};
OutputLine ParseOutputLine(const std::string& line);
std::vector<OutputLine> LinesWithWord(const RunResult& run, const std::string& word);
// The index of the first line with `word` whose first field is `first`, or -1.
int FindLine(const RunResult& run, const std::string& word, const std::string& first);

// A readable account of a run for failure messages: status, time and the output, long lines cut.
std::string Describe(const RunResult& run);
std::string Describe(const std::vector<Change>& changes);

}  // namespace brevalcore::reliability
