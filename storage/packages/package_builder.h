#pragma once
// Makes a banner package from a folder: the resource library the control unpacks, with one
// string (from 2 on) and one "BANNER" resource per file and a version resource whose
// FileVersion is the package version.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/automation/text.h"
#include "platform/pe/pe_image.h"

namespace brevalcore::packages {

using automation::String;

struct PackOptions {
  std::string version;  // "2.0.1.5": four numbers of 0..65535
  String companyName = u"Brevalcore";
  String fileDescription = u"Pacchetto banner";
  // Written as the version string "PackageGUID" when not empty: tells two builds of one
  // version apart.
  String packageGuid;
  pe::PeFormat format = pe::PeFormat::Pe32;
};

struct PackedFile {
  String name;  // relative, "\" between folders, as the package stores it
  std::string path;
  uint64_t size = 0;
};

inline constexpr char16_t kPackageGuidKey[] = u"PackageGUID";

struct PackResult {
  bool ok = false;
  std::string error;  // for the tool's message
  std::vector<PackedFile> files;
  std::vector<uint8_t> library;
};

// "a.b.c.d" into four numbers; false for anything else.
bool ParseVersion(const std::string& text, uint16_t out[4]);

// The plain files under `folder` (hidden files and folders left out), sorted by name.
std::vector<PackedFile> ListPackageFiles(const std::string& folder);

// Builds the library in memory. Fails on a bad version, a name that the single-byte code page
// cannot hold or that is longer than 255 characters, or too many files.
PackResult BuildPackage(const std::string& folder, const PackOptions& options,
                        const std::function<void(size_t filesRead, size_t total, uint64_t bytesRead)>& progress = {});

}  // namespace brevalcore::packages
