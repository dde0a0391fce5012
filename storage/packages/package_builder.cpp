#include "storage/packages/package_builder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "platform/pe/pe_writer.h"
#include "storage/packages/resource_library.h"
#include "storage/packages/unpack.h"

namespace brevalcore::packages {

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxNameLength = kLoadStringDefaultLength - 1;
constexpr size_t kMaxFiles = kLastPackageString - kFirstPackageString + 1;
constexpr uint64_t kMaxResourceBytes = 0xFFFFFFFFull;

bool ReadFile(const std::string& path, std::vector<uint8_t>& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

}  // namespace

bool ParseVersion(const std::string& text, uint16_t out[4]) {
  size_t part = 0, at = 0;
  bool ended = false;
  while (part < 4 && !ended) {
    size_t stop = text.find('.', at);
    if (stop == std::string::npos) stop = text.size();
    const std::string digits = text.substr(at, stop - at);
    if (digits.empty() || digits.size() > 5 || !std::all_of(digits.begin(), digits.end(), ::isdigit)) return false;
    const unsigned long value = std::stoul(digits);
    if (value > 0xFFFF) return false;
    out[part++] = static_cast<uint16_t>(value);
    ended = stop == text.size();
    at = stop + 1;
  }
  return part == 4 && ended;
}

std::vector<PackedFile> ListPackageFiles(const std::string& folder) {
  std::vector<PackedFile> files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    const std::string leaf = it->path().filename().string();
    if (!leaf.empty() && leaf[0] == '.') {
      if (it->is_directory(ec)) it.disable_recursion_pending();
      continue;
    }
    if (!it->is_regular_file(ec)) continue;
    std::string relative = fs::relative(it->path(), folder, ec).generic_string();
    std::replace(relative.begin(), relative.end(), '/', '\\');
    files.push_back(PackedFile{automation::FromUtf8(relative), it->path().string(), it->file_size(ec)});
  }
  std::sort(files.begin(), files.end(), [](const PackedFile& a, const PackedFile& b) { return a.name < b.name; });
  return files;
}

PackResult BuildPackage(const std::string& folder, const PackOptions& options,
                        const std::function<void(size_t, size_t, uint64_t)>& progress) {
  PackResult result;
  pe::VersionFields version;
  if (!ParseVersion(options.version, version.fileVersion)) {
    result.error = "the version must be four numbers such as 2.0.1.5, not '" + options.version + "'";
    return result;
  }
  std::copy(std::begin(version.fileVersion), std::end(version.fileVersion), version.productVersion);
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) {
    result.error = folder + ": not a folder";
    return result;
  }
  result.files = ListPackageFiles(folder);
  if (result.files.size() > kMaxFiles) {
    result.error = "a package holds at most " + std::to_string(kMaxFiles) + " files";
    return result;
  }

  std::map<uint16_t, std::u16string> strings;
  std::vector<pe::ResourceItem> items;
  items.reserve(result.files.size() + 4);
  uint16_t number = kFirstPackageString;
  uint64_t bytesRead = 0;
  for (const PackedFile& file : result.files) {
    const std::string utf8 = automation::ToUtf8(file.name);
    // The control reads names in the single-byte code page: anything it cannot hold would
    // come back as "?" and name another file.
    if (automation::FromCp1252(automation::ToCp1252(file.name)) != file.name) {
      result.error = utf8 + ": the name has characters outside Windows-1252";
      return result;
    }
    if (file.name.size() > kMaxNameLength) {
      result.error = utf8 + ": the name is longer than " + std::to_string(kMaxNameLength) + " characters";
      return result;
    }
    pe::ResourceItem item{pe::ResourceId{0, u"BANNER"}, pe::ResourceId{number, {}}, pe::kLangNeutral, {}};
    if (!ReadFile(file.path, item.data) || item.data.size() > kMaxResourceBytes) {
      result.error = file.path + ": cannot be read";
      return result;
    }
    bytesRead += item.data.size();
    strings[number] = file.name;
    items.push_back(std::move(item));
    ++number;
    if (progress) progress(items.size(), result.files.size(), bytesRead);
  }
  for (pe::ResourceItem& block : pe::BuildStringTable(strings)) items.push_back(std::move(block));

  const String versionText = automation::FromUtf8(options.version);
  version.strings = {{u"CompanyName", options.companyName},
                     {u"FileDescription", options.fileDescription},
                     {u"FileVersion", versionText},
                     {u"ProductVersion", versionText}};
  if (!options.packageGuid.empty()) version.strings.emplace_back(kPackageGuidKey, options.packageGuid);
  items.push_back(pe::ResourceItem{pe::ResourceId{pe::kRtVersion, {}}, pe::ResourceId{1, {}}, pe::kLangNeutral,
                                   pe::BuildVersionResource(version)});
  pe::WriteOptions write;
  write.format = options.format;
  result.library = pe::WriteResourceLibrary(items, write);
  result.ok = true;
  return result;
}

}  // namespace brevalcore::packages
