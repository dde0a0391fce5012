#include "storage/packages/file_version_info.h"

#include <cstdio>
#include <filesystem>

#include "platform/pe/language_names.h"
#include "platform/pe/pe_image.h"

namespace brevalcore::packages {

namespace {

using automation::Ascii;

// The platform's path buffer: a full name must fit in it with its NUL.
constexpr size_t kMaxPath = 260;
constexpr uint16_t kFallbackLanguage = 0x0409;

struct Predefined {
  const char* displayName;
  const char* key;  // nullptr: the language name, not a string value
};
constexpr Predefined kPredefined[kPredefinedCount] = {
    {"Language", nullptr},
    {"Comments", "Comments"},
    {"Company Name", "CompanyName"},
    {"File Description", "FileDescription"},
    {"File Version", "FileVersion"},
    {"Internal Name", "InternalName"},
    {"Legal Copyright", "LegalCopyright"},
    {"Legal Trademarks", "LegalTrademarks"},
    {"Original Filename", "OriginalFilename"},
    {"Product Name", "ProductName"},
    {"Product Version", "ProductVersion"},
    {"Private Build", "PrivateBuild"},
    {"Special Build", "SpecialBuild"},
    {"LegalTrademarks1", "LegalTrademarks1"},
    {"LegalTrademarks2", "LegalTrademarks2"},
};

struct Flag {
  uint32_t bit;
  const char* text;
};
constexpr Flag kFlags[] = {{1, "Debug "}, {2, "PreRel "}, {4, "Patched "}, {8, "Private "}, {16, "Info "}, {32, "Special "}};

const char* OsText(uint32_t os) {
  switch (os) {
    case 0x00010001: return "DOS-Win16";
    case 0x00010004: return "DOS-Win32";
    case 0x00020002: return "OS/2-16 PM-16";
    case 0x00030003: return "OS/2-16 PM-32";
    case 0x00040004: return "NT-Win32";
    default: return "Unknown";
  }
}

const char* TypeText(uint32_t type) {
  switch (type) {
    case 1: return "Application";
    case 2: return "DLL";
    case 3: return "Driver";
    case 4: return "Font";
    case 5: return "VxD";
    case 7: return "Lib";
    default: return "Unknown";
  }
}

// Sub-type texts exist only for drivers and fonts; nullptr leaves the old text.
const char* SubTypeText(uint32_t type, uint32_t subtype) {
  static const char* const kDrivers[] = {"Unknown",     "Printer drv", "Keyboard drv", "Language drv",
                                         "Display drv", "Mouse drv",   "Network drv",  "System drv",
                                         "Installable", "Sound drv",   "Comm drv"};
  static const char* const kFonts[] = {nullptr, "Raster Font", "Vector Font", "TrueType Font"};
  if (type == 3 && subtype < std::size(kDrivers)) return kDrivers[subtype];
  if (type == 4 && subtype < std::size(kFonts)) return kFonts[subtype];
  return nullptr;
}

String Padded(uint32_t value, int digits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*u", digits, value);
  return Ascii(buffer);
}

String TrimSpaces(const String& text) {
  const size_t first = text.find_first_not_of(u' ');
  if (first == String::npos) return {};
  return text.substr(first, text.find_last_not_of(u' ') - first + 1);
}

String ReadValue(const pe::VersionResource& resource, const std::string& prefix, const char* key) {
  const pe::VersionQuery q = resource.Query(prefix + key);
  if (!q.ok || q.length == 0) return {};
  return automation::FromCp1252(q.text);
}

std::string Prefix(uint16_t language, uint16_t codePage) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "\\StringFileInfo\\%04X%04X\\", language, codePage);
  return buffer;
}

}  // namespace

String FormatFixedVersion(uint32_t high, uint32_t low) {
  String text = Padded(high >> 16, 1) + u"." + Padded(high & 0xFFFF, 2) + u".";
  if ((low >> 16) == 0) return text + Padded(low & 0xFFFF, 4);
  return text + Padded(low >> 16, 2) + Padded(low & 0xFFFF, 2);
}

void CFileVersionInfo::SetFullPathName(const String& path) {
  if (path.empty()) return;
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(automation::ToUtf8(path), ec);
  if (ec) return;
  const std::string full = absolute.lexically_normal().string();
  if (full.size() >= kMaxPath) return;
  fullPathName_ = automation::FromUtf8(full);
  Refresh();
}

String CFileVersionInfo::PredefinedName(int32_t which) {
  if (which < 0 || which >= kPredefinedCount) return {};
  return Ascii(kPredefined[which].displayName);
}

String CFileVersionInfo::PredefinedValue(int32_t which) const {
  if (which < 0 || which >= kPredefinedCount) return {};
  return values_[static_cast<size_t>(which)];
}

void CFileVersionInfo::Refresh() {
  const auto image = pe::PeImage::Load(automation::ToUtf8(fullPathName_), nullptr);
  RefreshFrom(image ? pe::VersionResource::FromImage(*image) : std::nullopt);
}

void CFileVersionInfo::RefreshFrom(const std::optional<pe::VersionResource>& resource) {
  if (!resource) {
    available_ = false;
    return;
  }
  available_ = true;
  const pe::FixedFileInfo fixed = resource->Fixed().value_or(pe::FixedFileInfo{});
  verStructure_ = Padded(fixed.structVersion >> 16, 1) + u"." + Padded(fixed.structVersion & 0xFFFF, 1);
  verFile_ = FormatFixedVersion(fixed.fileVersionMS, fixed.fileVersionLS);
  verProduct_ = FormatFixedVersion(fixed.productVersionMS, fixed.productVersionLS);
  String flags;
  for (const Flag& flag : kFlags)
    if (fixed.fileFlags & flag.bit) flags += Ascii(flag.text);
  fileFlags_ = TrimSpaces(flags);
  fileOS_ = Ascii(OsText(fixed.fileOS));
  fileType_ = Ascii(TypeText(fixed.fileType));
  if (const char* sub = SubTypeText(fixed.fileType, fixed.fileSubtype)) fileSubType_ = Ascii(sub);

  const pe::VersionQuery translation = resource->Query("\\VarFileInfo\\Translation");
  const auto translations = resource->Translations();
  if (!translation.ok || translation.length == 0 || translations.empty()) return;
  const pe::Translation first = translations.front();
  values_[0] = automation::FromCp1252(pe::LanguageName(first.language));

  std::string prefix = Prefix(first.language, first.codePage);
  values_[2] = ReadValue(*resource, prefix, "CompanyName");
  if (values_[2].empty()) {
    const std::string fallback = Prefix(kFallbackLanguage, first.codePage);
    String company = ReadValue(*resource, fallback, "CompanyName");
    if (!company.empty()) {
      values_[2] = std::move(company);
      prefix = fallback;
    }
  }
  for (int which = 1; which < kPredefinedCount; ++which)
    if (which != 2) values_[static_cast<size_t>(which)] = ReadValue(*resource, prefix, kPredefined[which].key);
}

}  // namespace brevalcore::packages
