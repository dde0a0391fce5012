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

struct PackageContents;  // package_check.h

// True when the banner folder holds the marker of `version` (and always for an empty version,
// which is never unpacked). The marker is looked up ignoring case, and its name as found on
// disk is compared, as the platform's folder listing gives it.
bool IsUpToDate(const std::string& bannerFolder, const String& version);

// True when some plain file of the banner folder is held locked or cannot be opened for
// reading and writing; the update is then put off. Clears read-only bits on the way, as the
// platform's attribute reset does. Links and other non-regular entries are never opened.
bool IsBannerFolderBusy(const std::string& bannerFolder);

// Makes sure the banner folder exists and deletes its plain files and the symbolic links
// planted in it (never their targets); subfolders and hidden files stay. Errors are ignored.
void EmptyBannerFolder(const std::string& bannerFolder);

struct UnpackResult {
  bool ok = false;
  String errorText;  // the platform's description of what stopped the unpacking, with the file
  int filesWritten = 0;
  uint64_t bytesWritten = 0;
};

using UnpackProgress = std::function<void(int filesWritten, uint64_t bytesWritten)>;

// Writes every file of the checked package (ReadPackage) into the banner folder, then the
// marker file with `libraryDate`. Each file is created anew relative to the folder's
// descriptor: an entry of the same name, a link included, is replaced, never written through,
// and a banner folder that is itself a link is refused. Stops at the first error; files
// written so far stay and no marker is written.
UnpackResult UnpackPackage(const PackageContents& package, const std::string& bannerFolder, const String& version,
                           const String& libraryDate, const shell::Clock& clock, const UnpackProgress& progress = {});

// "dd/mm/yyyy hh:nn:ss", the marker's date form.
String MarkerDateText(const shell::DateParts& parts);
// A file's last-modified time in that form (local time), or "" when it cannot be read.
String FileDateText(const std::string& path);

}  // namespace brevalcore::packages
