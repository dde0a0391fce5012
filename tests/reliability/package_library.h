#pragma once
// Resource libraries written entry by entry, so that a test can put in a package what the tool
// that makes packages would refuse, in the order it chooses.
#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/pe/pe_writer.h"
#include "tests/reliability/sandbox.h"

namespace brevalcore::reliability {

inline constexpr char16_t kPackageVersion[] = u"2.0.1.5";
inline constexpr char kPackageMarker[] = "2.0.1.5.BVC";

using PackageEntry = std::pair<std::u16string, std::string>;  // name as the package stores it, bytes

// The files of the sample package (copied into the sandbox), sorted by name.
inline std::vector<std::string> SampleFiles(const fs::path& samples) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(samples))
    if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

inline std::vector<PackageEntry> SampleEntries(const fs::path& samples) {
  std::vector<PackageEntry> entries;
  for (const std::string& file : SampleFiles(samples))
    entries.emplace_back(std::u16string(file.begin(), file.end()), ReadFile(samples / file));
  return entries;
}

// A library of version 2.0.1.5 holding `entries` as strings and "BANNER" resources 2, 3, ...
inline std::vector<uint8_t> PackageLibrary(const std::vector<PackageEntry>& entries) {
  std::map<uint16_t, std::u16string> strings;
  std::vector<pe::ResourceItem> items;
  uint16_t number = 2;
  for (const auto& [name, bytes] : entries) {
    strings[number] = name;
    items.push_back({pe::ResourceId{0, u"BANNER"}, pe::ResourceId{number, {}}, pe::kLangNeutral,
                     std::vector<uint8_t>(bytes.begin(), bytes.end())});
    ++number;
  }
  for (pe::ResourceItem& block : pe::BuildStringTable(strings)) items.push_back(std::move(block));
  pe::VersionFields version;
  const uint16_t numbers[4] = {2, 0, 1, 5};
  std::copy(std::begin(numbers), std::end(numbers), version.fileVersion);
  std::copy(std::begin(numbers), std::end(numbers), version.productVersion);
  version.strings = {{u"FileVersion", kPackageVersion}, {u"ProductVersion", kPackageVersion}};
  items.push_back({pe::ResourceId{pe::kRtVersion, {}}, pe::ResourceId{1, {}}, pe::kLangNeutral,
                   pe::BuildVersionResource(version)});
  return pe::WriteResourceLibrary(items);
}

inline void InstallLibrary(const Sandbox& sandbox, const std::vector<uint8_t>& library) {
  WriteFile(sandbox.controlDir() / "BVCRES.DLL", std::string(library.begin(), library.end()));
}

}  // namespace brevalcore::reliability
