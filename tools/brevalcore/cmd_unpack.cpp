// brevalcore unpack FILE DIR: unpacks a banner package the way the control does at start-up.
#include <cstdio>

#include "platform/automation/error.h"
#include "platform/pe/version_resource.h"
#include "platform/shell/clock.h"
#include "storage/packages/file_version_info.h"
#include "storage/packages/package_check.h"
#include "storage/packages/resource_library.h"
#include "storage/packages/unpack.h"
#include "tools/brevalcore/command.h"
#include "tools/brevalcore/package_progress.h"

namespace brevalcore::tools {
namespace {

int RunUnpack(const std::vector<std::string>& args);

const Subcommand kUnpack{
    "unpack",
    "unpack a banner package into a folder, as the control does",
    "usage: brevalcore unpack FILE DIR\n"
    "\n"
    "Does what the control does with a newer package: checks the whole package (file names,\n"
    "duplicates ignoring case, room on the disk) and, unless a file of DIR is in use, deletes\n"
    "the plain files of DIR (subfolders and hidden files stay), writes every file of the\n"
    "package, and writes the marker file VERSION.BVC. A package with a bad entry (a folder part,\n"
    "a name the platform cannot hold) changes nothing and names the entry. Exit status 0 when\n"
    "done, 3 when DIR is busy, 1 on an error.\n",
    RunUnpack};

const SubcommandRegistration kRegistration(kUnpack);

int RunUnpack(const std::vector<std::string>& args) {
  if (args.size() != 2) return UsageError(kUnpack, "FILE and DIR are required");
  const std::string& file = args[0];
  const std::string& folder = args[1];
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
