// brevalcore info FILE: what a banner package holds: version, library date and files.
#include <cstdio>

#include "platform/automation/error.h"
#include "platform/pe/version_resource.h"
#include "storage/packages/file_version_info.h"
#include "storage/packages/resource_library.h"
#include "storage/packages/package_builder.h"
#include "storage/packages/unpack.h"
#include "tools/authoring/input_file.h"
#include "tools/brevalcore/command.h"

namespace brevalcore::tools {
namespace {

int RunInfo(const std::vector<std::string>& args);

const Subcommand kInfo{
    "info",
    "show a banner package's version, date and files",
    "usage: brevalcore info FILE\n"
    "\n"
    "Prints the package version (FileVersion), the library date as the marker file records it,\n"
    "the fixed version, the package GUID pack gave it, and one line per package file: its\n"
    "number, size in bytes and name, in the order the control unpacks them. A name without data\n"
    "is listed as \"(no data)\". FILE must be a regular file of at most 1 GB.\n",
    RunInfo};

const SubcommandRegistration kRegistration(kInfo);

std::string Utf8(const automation::String& text) { return automation::ToUtf8(text); }

// The "PackageGUID" string pack writes into the first translation's table, or "(none)".
std::string PackageGuid(const pe::PeImage& image) {
  const auto version = pe::VersionResource::FromImage(image);
  if (!version || version->Translations().empty()) return "(none)";
  const pe::Translation t = version->Translations().front();
  char prefix[32];
  std::snprintf(prefix, sizeof prefix, "\\StringFileInfo\\%04X%04X\\", t.language, t.codePage);
  const pe::VersionQuery query = version->Query(prefix + Utf8(packages::kPackageGuidKey));
  return query.ok && query.isText && !query.text.empty() ? query.text : "(none)";
}

int RunInfo(const std::vector<std::string>& args) {
  if (args.size() != 1) return UsageError(kInfo, "FILE is required");
  if (auto refused = authoring::CheckInputFile(args[0], authoring::kMaxLibraryFileBytes)) {
    std::fprintf(stderr, "brevalcore info: %s: %s\n", args[0].c_str(), refused->c_str());
    return 1;
  }
  packages::cResource library;
  try {
    library.SetLibraryFilePath(automation::FromUtf8(args[0]));
  } catch (const automation::AutomationError& e) {
    std::fprintf(stderr, "brevalcore info: %s\n", Utf8(e.description()).c_str());
    return 1;
  }
  if (library.LibraryFilePath().empty()) {
    std::fprintf(stderr, "brevalcore info: %s: no such file\n", args[0].c_str());
    return 1;
  }
  packages::CFileVersionInfo info;
  info.RefreshFrom(pe::VersionResource::FromImage(*library.image()));
  std::printf("version: %s\n", info.Available() ? Utf8(info.FileVersion()).c_str() : "(none)");
  std::printf("library date: %s\n", Utf8(packages::FileDateText(args[0])).c_str());
  if (info.Available()) {
    std::printf("fixed version: %s\n", Utf8(info.VerFile()).c_str());
    std::printf("company: %s\n", Utf8(info.CompanyName()).c_str());
    std::printf("description: %s\n", Utf8(info.FileDescription()).c_str());
    std::printf("language: %s\n", Utf8(info.Language()).c_str());
    std::printf("package GUID: %s\n", PackageGuid(*library.image()).c_str());
  }
  std::printf("files:\n");
  int count = 0;
  uint64_t bytes = 0;
  for (int n = packages::kFirstPackageString; n <= packages::kLastPackageString; ++n) {
    automation::String name;
    if (!library.DLL_LoadString(static_cast<int16_t>(n), name)) break;
    std::span<const uint8_t> data;
    if (library.DLL_LoadData(n, data, packages::kBannerResourceType)) {
      std::printf("%6d %10zu  %s\n", n, data.size(), Utf8(name).c_str());
      ++count;
      bytes += data.size();
    } else {
      std::printf("%6d %10s  %s\n", n, "(no data)", Utf8(name).c_str());
    }
  }
  std::printf("%d files, %llu bytes\n", count, static_cast<unsigned long long>(bytes));
  return 0;
}

}  // namespace
}  // namespace brevalcore::tools
