// brevalcore unpack FILE DIR: unpacks a banner package the way the control does at start-up.
#include <dirent.h>

#include <cstdio>
#include <memory>
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
#include "tools/brevalcore/progress_bar.h"

namespace brevalcore::tools {
namespace {

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

struct UnpackOptions {
  std::string file, folder;
  bool force = false;
};

int RunUnpack(const UnpackOptions& o) {
  const std::string& file = o.file;
  const std::string& folder = o.folder;
  const bool force = o.force;
  if (auto refused = authoring::CheckInputFile(file, authoring::kMaxLibraryFileBytes))
    return Complain("unpack", file + ": " + *refused, kExitUsage);
  std::error_code ec;
  if (std::filesystem::exists(folder, ec) && !std::filesystem::is_directory(folder, ec)) {
    return Complain("unpack", folder + ": not a folder", kExitUsage);
  }
  if (const auto present = SomeEntries(folder, 3); !present.empty() && !force) {
    std::string names;
    for (const auto& name : present) names += (names.empty() ? "" : ", ") + name;
    return Complain("unpack",
                    folder + " is not empty (it holds " + names + (present.size() == 3 ? ", ..." : "") +
                        "); unpacking deletes its plain files. Nothing changed: name an empty or new folder, or add "
                        "--force",
                    kExitFailed);
  }
  packages::cResource library;
  try {
    library.SetLibraryFilePath(automation::FromUtf8(file));
  } catch (const automation::AutomationError& e) {
    return Complain("unpack", "not a banner package: " + automation::ToUtf8(e.description()), kExitUsage);
  }
  if (library.LibraryFilePath().empty()) return Complain("unpack", file + ": no such file", kExitUsage);
  packages::CFileVersionInfo info;
  info.RefreshFrom(pe::VersionResource::FromImage(*library.image()));
  const automation::String version = info.Available() ? info.FileVersion() : automation::String();
  const automation::String date = info.Available() ? packages::FileDateText(file) : automation::String();

  automation::String problem;
  const auto package = packages::ReadPackage(library, version, problem);
  if (!package) {
    return Complain("unpack", automation::ToUtf8(problem) + "; nothing changed", kExitFailed);
  }
  if (const auto noRoom = packages::RoomProblem(*package, folder)) {
    return Complain("unpack", automation::ToUtf8(*noRoom) + "; nothing changed", kExitFailed);
  }
  if (packages::IsBannerFolderBusy(folder))
    return Complain("unpack", "a file of " + folder + " is in use; nothing changed", kExitBusy);
  Tell("unpack", "unpacking " + file + " into " + folder);
  packages::EmptyBannerFolder(folder);
  ProgressBar bar("unpack");
  const size_t total = package->files.size();
  const packages::UnpackResult result = packages::UnpackPackage(
      *package, folder, version, date, shell::SystemClock::Instance(),
      [&](int files, uint64_t bytes) { bar.Update(static_cast<size_t>(files), total, bytes); });
  bar.Finish();
  if (!result.ok) {
    return Complain("unpack", automation::ToUtf8(result.errorText) + " (after " + std::to_string(result.filesWritten) + " files)",
                    kExitFailed);
  }
  std::printf("%s: version %s, %d files, %llu bytes\n", Printable(folder).c_str(),
              Printable(automation::ToUtf8(version)).c_str(),
              result.filesWritten, static_cast<unsigned long long>(result.bytesWritten));
  return 0;
}

Runner DefineUnpack(CLI::App& app) {
  auto o = std::make_shared<UnpackOptions>();
  app.add_option("FILE", o->file, "the banner package (BVCRES.DLL)")->required();
  app.add_option("DIR", o->folder, "the banner folder to fill (created when missing)")->required();
  app.add_flag("--force", o->force, "unpack into a folder that holds files, deleting its plain files");
  return [o] { return RunUnpack(*o); };
}

const SubcommandRegistration kRegistration({
    "unpack", "unpack a banner package into a folder, as the control does",
    "Does what the control does with a package of another version: checks the whole package\n"
    "(file names, duplicates ignoring case, room on the disk) and, unless a file of DIR is in\n"
    "use, deletes the plain files of DIR (subfolders and hidden files stay), writes every file\n"
    "of the package, and writes the marker file VERSION.BVC. A package with a bad entry (a\n"
    "folder part, a name the platform cannot hold) changes nothing and names the entry. DIR is\n"
    "created when missing; a DIR that holds anything is refused unless --force, so nothing of\n"
    "yours is deleted by mistake. FILE must be a regular file of at most 1 GB.\n",
    DefineUnpack});

}  // namespace
}  // namespace brevalcore::tools
