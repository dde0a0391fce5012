#include "storage/packages/package_check.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <filesystem>
#include <unordered_map>

#include "platform/automation/error.h"
#include "storage/file_names.h"
#include "storage/folder.h"
#include "storage/packages/unpack.h"

namespace brevalcore::packages {

namespace {

namespace err = automation::err;
using storage::QuotedName;

// The subfolder the control keeps in the banner folder (storage::GetTempFolder).
constexpr char16_t kTempFolderName[] = u"TEMP";

bool EndsWithMarkerExtension(const String& folded) {
  const String extension = automation::ToUpper(kMarkerExtension);
  return folded.size() >= extension.size() && folded.compare(folded.size() - extension.size(), extension.size(),
                                                             extension) == 0;
}

std::optional<std::string> PackageOnlyProblem(const String& name, const String& folded) {
  if (name.front() == u'.') return "begins with a dot, so it would be a hidden file here";
  if (folded == kTempFolderName) return "is the name of the banner folder's TEMP folder";
  if (EndsWithMarkerExtension(folded)) return "is named like a package marker (\".BVC\")";
  return std::nullopt;
}

String Description(int32_t number, const std::string& detail) {
  return automation::Ascii(automation::ErrorText(number)) + u": " + automation::FromUtf8(detail);
}

std::string FileLabel(const PackageFile& file) {
  return "package file " + QuotedName(file.name) + " (string " + std::to_string(file.number) + ")";
}

uint64_t RoundUp(uint64_t bytes, uint64_t block) { return block ? (bytes + block - 1) / block * block : bytes; }

// The bytes the plain files of `folder` take on its disk: the update deletes them first.
uint64_t BytesFreedByEmptying(const storage::Folder& folder) {
  uint64_t bytes = 0;
  for (const std::string& name : folder.Names()) {
    struct stat st {};
    if (name[0] != '.' && folder.Stat(name, st) && S_ISREG(st.st_mode) && st.st_nlink == 1)
      bytes += static_cast<uint64_t>(st.st_blocks) * 512;
  }
  return bytes;
}

}  // namespace

std::vector<NameFinding> CheckPackageNames(std::span<const String> names) {
  std::vector<NameFinding> findings;
  std::unordered_map<String, size_t> seen;  // folded name -> first entry
  for (size_t i = 0; i < names.size(); ++i) {
    const String& name = names[i];
    const String folded = storage::FoldedName(name);
    std::optional<std::string> reason = storage::FileNameProblem(name);
    if (!reason) reason = PackageOnlyProblem(name, folded);
    if (reason) {
      findings.push_back({i, std::nullopt, *reason});
      continue;
    }
    const auto [at, added] = seen.emplace(folded, i);
    if (added) continue;
    const String& earlier = names[at->second];
    findings.push_back({i, at->second,
                        earlier == name ? "appears twice in the package"
                                        : "differs only by case from " + QuotedName(earlier) +
                                              ", and the platform takes them for one file"});
  }
  return findings;
}

std::optional<PackageContents> ReadPackage(const cResource& library, const String& version, String& errorText) {
  PackageContents contents;
  const pe::PeImage* image = library.image();
  if (!image) {
    errorText = automation::Ascii(automation::ErrorText(err::kFileNotFound));
    return std::nullopt;
  }
  contents.sourceFd = image->fileDescriptor();
  std::vector<String> names;
  for (int number = kFirstPackageString; number <= kLastPackageString; ++number) {
    String name;
    if (!library.DLL_LoadString(static_cast<int16_t>(number), name, kLoadStringDefaultLength)) break;
    std::span<const uint8_t> data;
    if (!library.DLL_LoadData(number, data, kBannerResourceType)) continue;
    PackageFile file{number, name, automation::ToUtf8(name), data, -1};
    if (contents.sourceFd >= 0) file.fileOffset = data.data() - image->fileBytes().data();
    contents.totalBytes += data.size();
    contents.files.push_back(std::move(file));
    names.push_back(std::move(name));
  }

  const std::vector<NameFinding> findings = CheckPackageNames(names);
  if (!findings.empty()) {
    const NameFinding& first = findings.front();
    errorText = Description(err::kBadFileNameOrNumber, FileLabel(contents.files[first.entry]) + " " + first.reason);
    return std::nullopt;
  }

  const String marker = version + kMarkerExtension;
  if (const auto reason = storage::FileNameProblem(marker)) {
    errorText = Description(err::kBadFileNameOrNumber,
                            "the package version " + QuotedName(version) + " gives the marker file name " +
                                QuotedName(marker) + ", which " + *reason);
    return std::nullopt;
  }
  contents.markerName = automation::ToUtf8(marker);
  return contents;
}

std::optional<String> RoomProblem(const PackageContents& contents, const std::string& bannerFolder) {
  const storage::Folder folder(bannerFolder);
  std::string probe = bannerFolder;
  std::error_code ec;
  while (!probe.empty() && !std::filesystem::is_directory(probe, ec))
    probe = std::filesystem::path(probe).parent_path();
  struct statvfs disk {};
  if (::statvfs(probe.empty() ? "." : probe.c_str(), &disk) != 0) return std::nullopt;  // unknown: let the writes tell
  const uint64_t block = disk.f_frsize ? disk.f_frsize : disk.f_bsize;
  uint64_t needed = RoundUp(contents.markerName.size() + 128, block);
  for (const PackageFile& file : contents.files) needed += RoundUp(file.data.size(), block);
  const uint64_t available = static_cast<uint64_t>(disk.f_bavail) * block + BytesFreedByEmptying(folder);
  if (needed <= available) return std::nullopt;
  return Description(err::kDiskFull, "the package needs " + std::to_string(needed) + " bytes and the disk of " +
                                         QuotedName(std::string_view(bannerFolder)) + " has " +
                                         std::to_string(available) + " bytes for it");
}

}  // namespace brevalcore::packages
