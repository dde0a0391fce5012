// brevalcore unpack FILE DIR: unpacks a banner package the way the control does at start-up.
#include <dirent.h>

#include <cstdio>
#include <filesystem>

#include "platform/automation/error.h"
#include "platform/pe/version_resource.h"
#include "platform/shell/clock.h"
#include "storage/packages/file_version_info.h"
#include "storage/packages/package_check.h"
#include "storage/packages/resource_library.h"
#include "storage/packages/unpack.h"
#include "tools/authoring/input_file.h"
#include "tools/brevalcore/command.h"
#include "tools/brevalcore/package_progress.h"

namespace brevalcore::tools {
namespace {

int RunUnpack(const std::vector<std::string>& args);

const Subcommand kUnpack{
    "unpack",
    "unpack a banner package into a folder, as the control does",
    "usage: brevalcore unpack FILE DIR [--force]\n"
    "\n"
    "Does what the control does with a package of another version: checks the whole package\n"
    "(file names, duplicates ignoring case, room on the disk) and, unless a file of DIR is in\n"
    "use, deletes the plain files of DIR (subfolders and hidden files stay), writes every file\n"
    "of the package, and writes the marker file VERSION.BVC. A package with a bad entry (a\n"
    "folder part, a name the platform cannot hold) changes nothing and names the entry. DIR is\n"
    "created when missing; a DIR that holds anything is refused unless --force, so nothing of\n"
    "yours is deleted by mistake. FILE must be a regular file of at most 1 GB.\n"
    "Exit status 0 when done, 3 when DIR is busy, 1 on an error or a refusal, 2 on bad arguments.\n",
    RunUnpack};

const SubcommandRegistration kRegistration(kUnpack);

// The first few names in `folder` (hidden ones too), for the refusal's message; empty when
// the folder is empty or missing.
std::vector<std::string> SomeEntries(const std::string& folder, size_t count) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    names.push_back(name);
    if (names.size() == count) break;
  }
  ::closedir(dir);
  return names;
}

int RunUnpack(const std::vector<std::string>& args) {
  std::vector<std::string> operands;
  bool force = false;
  for (const std::string& a : args) {
    if (a == "--force") force = true;
    else if (!a.empty() && a[0] == '-') return UsageError(kUnpack, "unknown option " + a);
    else operands.push_back(a);
  }
  if (operands.size() != 2) return UsageError(kUnpack, "FILE and DIR are required");
  const std::string& file = operands[0];
  const std::string& folder = operands[1];
  if (auto refused = authoring::CheckInputFile(file, authoring::kMaxLibraryFileBytes)) {
    std::fprintf(stderr, "brevalcore unpack: %s: %s\n", file.c_str(), refused->c_str());
    return 1;
  }
  std::error_code ec;
  if (std::filesystem::exists(folder, ec) && !std::filesystem::is_directory(folder, ec)) {
    std::fprintf(stderr, "brevalcore unpack: %s: not a folder\n", folder.c_str());
    return 1;
  }
  if (const auto present = SomeEntries(folder, 3); !present.empty() && !force) {
    std::string names;
    for (const auto& name : present) names += (names.empty() ? "" : ", ") + name;
    std::fprintf(stderr,
                 "brevalcore unpack: %s is not empty (it holds %s%s); unpacking deletes its plain files. Nothing "
                 "changed: name an empty or new folder, or add --force\n",
                 folder.c_str(), names.c_str(), present.size() == 3 ? ", ..." : "");
    return 1;
  }
  packages::cResource library;
  try {
    library.SetLibraryFilePath(automation::FromUtf8(file));
  } catch (const automation::AutomationError& e) {
    std::fprintf(stderr, "brevalcore unpack: %s\n", automation::ToUtf8(e.description()).c_str());
    return 1;
  }
  if (library.LibraryFilePath().empty()) {
    std::fprintf(stderr, "brevalcore unpack: %s: no such file\n", file.c_str());
    return 1;
  }
  packages::CFileVersionInfo info;
  info.RefreshFrom(pe::VersionResource::FromImage(*library.image()));
  const automation::String version = info.Available() ? info.FileVersion() : automation::String();
  const automation::String date = info.Available() ? packages::FileDateText(file) : automation::String();

  automation::String problem;
  const auto package = packages::ReadPackage(library, version, problem);
  if (!package) {
    std::fprintf(stderr, "brevalcore unpack: %s; nothing changed\n", automation::ToUtf8(problem).c_str());
    return 1;
  }
  if (const auto noRoom = packages::RoomProblem(*package, folder)) {
    std::fprintf(stderr, "brevalcore unpack: %s; nothing changed\n", automation::ToUtf8(*noRoom).c_str());
    return 1;
  }
  if (packages::IsBannerFolderBusy(folder)) {
    std::fprintf(stderr, "brevalcore unpack: a file of %s is in use; nothing changed\n", folder.c_str());
    return 3;
  }
  packages::EmptyBannerFolder(folder);
  ProgressBar bar("unpack");
  const size_t total = package->files.size();
  const packages::UnpackResult result = packages::UnpackPackage(
      *package, folder, version, date, shell::SystemClock::Instance(),
      [&](int files, uint64_t bytes) { bar.Update(static_cast<size_t>(files), total, bytes); });
  bar.Finish();
  if (!result.ok) {
    std::fprintf(stderr, "brevalcore unpack: %s (after %d files)\n", automation::ToUtf8(result.errorText).c_str(),
                 result.filesWritten);
    return 1;
  }
  std::printf("%s: version %s, %d files, %llu bytes\n", folder.c_str(), automation::ToUtf8(version).c_str(),
              result.filesWritten, static_cast<unsigned long long>(result.bytesWritten));
  return 0;
}

}  // namespace
}  // namespace brevalcore::tools
