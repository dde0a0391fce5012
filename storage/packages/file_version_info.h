#pragma once
// CFileVersionInfo: a file's version resource as texts (fixed version numbers, flags, target
// system, file type, language and the fifteen predefined values). Values persist until the
// next Refresh, which overwrites only what it reaches.
#include <array>
#include <cstdint>
#include <optional>

#include "platform/automation/text.h"
#include "platform/pe/version_resource.h"

namespace brevalcore::packages {

using automation::String;

inline constexpr int kPredefinedCount = 15;

class CFileVersionInfo {
 public:
  // Makes the path absolute; when that gives a path within the platform's limit, keeps it and
  // calls Refresh. Otherwise nothing changes.
  void SetFullPathName(const String& path);
  const String& FullPathName() const { return fullPathName_; }

  bool Available() const { return available_; }
  const String& FileFlags() const { return fileFlags_; }
  const String& FileOS() const { return fileOS_; }
  const String& FileType() const { return fileType_; }
  const String& FileSubType() const { return fileSubType_; }
  const String& VerFile() const { return verFile_; }
  const String& VerProduct() const { return verProduct_; }
  const String& VerStructure() const { return verStructure_; }

  // Display name and value of predefined value `which` (0 Language ... 14 LegalTrademarks2);
  // empty outside 0..14.
  static String PredefinedName(int32_t which);
  String PredefinedValue(int32_t which) const;

  const String& Language() const { return values_[0]; }
  const String& Comments() const { return values_[1]; }
  const String& CompanyName() const { return values_[2]; }
  const String& FileDescription() const { return values_[3]; }
  const String& FileVersion() const { return values_[4]; }
  const String& InternalName() const { return values_[5]; }
  const String& LegalCopyright() const { return values_[6]; }
  const String& LegalTrademarks() const { return values_[7]; }
  const String& OriginalFilename() const { return values_[8]; }
  const String& ProductName() const { return values_[9]; }
  const String& ProductVersion() const { return values_[10]; }
  const String& PrivateBuild() const { return values_[11]; }
  const String& SpecialBuild() const { return values_[12]; }

  // Reads the file at FullPathName again.
  void Refresh();
  // Refresh from a version resource already read (nullopt: the file has none).
  void RefreshFrom(const std::optional<pe::VersionResource>& resource);

 private:
  String fullPathName_;
  bool available_ = false;
  String fileFlags_, fileOS_, fileType_, fileSubType_, verFile_, verProduct_, verStructure_;
  std::array<String, kPredefinedCount> values_;
};

// The version texts of the fixed part, exposed for the tools: "1.02.0304" from 1.2.3.4.
String FormatFixedVersion(uint32_t high, uint32_t low);

}  // namespace brevalcore::packages
