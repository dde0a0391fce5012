#pragma once
// The steps of the package update that touch the banner folder: the up-to-date test, the busy
// test, and the unpacking itself. UpdateFromRES runs them in order; `brevalcore unpack` runs
// the unpacking alone.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/automation/text.h"
#include "platform/shell/clock.h"
#include "storage/packages/resource_library.h"

namespace brevalcore::packages {

// String numbers that name package files: from 2 up to this, stopping at the first gap.
inline constexpr int kFirstPackageString = 2;
inline constexpr int kLastPackageString = 30000;
inline constexpr char16_t kBannerResourceType[] = u"BANNER";
inline constexpr char16_t kMarkerExtension[] = u".BVC";

// True when the banner folder holds the marker of `version` (and always for an empty version,
// which is never unpacked).
bool IsUpToDate(const std::string& bannerFolder, const String& version);

// True when some plain file of the banner folder is held locked or cannot be opened for
// reading and writing; the update is then put off. Clears read-only bits on the way, as the
// platform's attribute reset does.
bool IsBannerFolderBusy(const std::string& bannerFolder);

// Deletes the plain files of the banner folder (subfolders and hidden files stay) and makes
// sure the folder exists. Errors are ignored.
void EmptyBannerFolder(const std::string& bannerFolder);

// A package file name made into a path under the banner folder: "\" separates folders. Empty
// when the name is absolute or has a ".." part, so nothing can land outside the folder.
std::string PackageFilePath(const std::string& bannerFolder, const String& name);

struct UnpackResult {
  bool ok = false;
  String errorText;  // the platform's description of what stopped the unpacking
  int filesWritten = 0;
  uint64_t bytesWritten = 0;
};

using UnpackProgress = std::function<void(int filesWritten, uint64_t bytesWritten)>;

// Writes every package file of `library` into the banner folder, then the marker file for
// `version` with `libraryDate`. Stops at the first error; files written so far stay and no
// marker is written.
UnpackResult UnpackPackage(const cResource& library, const std::string& bannerFolder, const String& version,
                           const String& libraryDate, const shell::Clock& clock, const UnpackProgress& progress = {});

// "dd/mm/yyyy hh:nn:ss", the marker's date form.
String MarkerDateText(const shell::DateParts& parts);
// A file's last-modified time in that form (local time), or "" when it cannot be read.
String FileDateText(const std::string& path);

}  // namespace brevalcore::packages
