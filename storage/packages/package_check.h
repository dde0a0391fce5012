#pragma once
// A banner package is checked whole before anything in the banner folder changes: every file
// name, the names against each other, the marker's name and the room the files need. A bad
// package is refused with a message that names the bad entry, and the folder stays as it was.
// The package checker of the command-line tool applies the same name rules
// (CheckPackageNames) to a package folder before it is packed.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/automation/text.h"
#include "storage/packages/resource_library.h"

namespace brevalcore::packages {

using automation::String;

// One name of a package that the control would refuse.
struct NameFinding {
  size_t entry = 0;                  // index of the offending name
  std::optional<size_t> otherEntry;  // the earlier name it clashes with, if any
  std::string reason;                // "has a folder part", "differs only by case from \"A.html\""
};

// Checks the file names of one package, in package order: each must be a valid file name
// (storage::FileNameProblem), not hidden here (a leading "."), not the name of the banner
// folder's TEMP folder or of a package marker (".BVC"), and unique ignoring case as the
// platform's file system compares names. Gives every finding, in entry order.
std::vector<NameFinding> CheckPackageNames(std::span<const String> names);

// One file of a package, as the library holds it. The bytes stay valid while the library
// that was read is loaded.
struct PackageFile {
  int number = 0;                  // its string (and "BANNER" resource) number
  String name;                     // as the package stores it
  std::string fileName;            // the name on disk (UTF-8)
  std::span<const uint8_t> data;
  int64_t fileOffset = -1;         // where the bytes lie in the library file, when known
};

struct PackageContents {
  std::vector<PackageFile> files;
  std::string markerName;  // version + ".BVC"
  uint64_t totalBytes = 0;
  int sourceFd = -1;       // the library file, for copies the kernel makes (-1: none)
};

// Reads the package's files from `library` (strings from 2 on up to the first gap; a string
// without a "BANNER" resource gives no file) and checks them whole. On a bad package gives
// nullopt and sets `errorText` to the platform's description followed by the bad entry.
std::optional<PackageContents> ReadPackage(const cResource& library, const String& version, String& errorText);

// Whether the disk of `bannerFolder` has room for the package once the folder's present plain
// files are deleted; otherwise the text of the refusal ("Disk full: ...").
std::optional<String> RoomProblem(const PackageContents& contents, const std::string& bannerFolder);

}  // namespace brevalcore::packages
