#include "tools/authoring/package.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include "platform/automation/error.h"
#include "storage/packages/resource_library.h"
#include "storage/packages/unpack.h"

namespace brevalcore::authoring {

namespace {

// Deeper folders than this are listed as folders without their content: nothing below the
// first level can be packed anyway.
constexpr int kMaxFolderDepth = 8;
// A folder with more entries than a package can hold is listed this far and no further.
constexpr size_t kMaxListedEntries = 40000;

void ListFolder(const std::string& folder, const std::string& relative, int depth, std::vector<PackageEntry>& out) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] == '.') continue;  // hidden, and "." and "..": pack leaves them out
    names.emplace_back(entry->d_name);
    if (names.size() >= kMaxListedEntries) break;
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    if (out.size() >= kMaxListedEntries) return;
    const std::string path = folder + "/" + name;
    const std::string display = relative.empty() ? name : relative + "/" + name;
    PackageEntry entry;
    entry.display = display;
    entry.name = automation::FromUtf8(display);
    std::replace(entry.name.begin(), entry.name.end(), u'/', u'\\');
    entry.path = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) continue;
    if (S_ISREG(st.st_mode)) {
      entry.size = static_cast<uint64_t>(st.st_size);
    } else if (S_ISDIR(st.st_mode)) {
      entry.kind = PackageEntry::Kind::Folder;
    } else if (S_ISLNK(st.st_mode)) {
      entry.kind = PackageEntry::Kind::Link;
    } else {
      entry.kind = PackageEntry::Kind::Special;
    }
    out.push_back(entry);
    if (entry.kind == PackageEntry::Kind::Folder && depth < kMaxFolderDepth) ListFolder(path, display, depth + 1, out);
  }
}

}  // namespace

Package::Package() = default;
Package::~Package() = default;
Package::Package(Package&&) noexcept = default;
Package& Package::operator=(Package&&) noexcept = default;

Package Package::FromFolder(const std::string& folder) {
  Package package;
  ListFolder(folder, {}, 0, package.entries_);
  package.Index();
  return package;
}

std::unique_ptr<Package> Package::FromLibrary(const std::string& file, std::string& error) {
  if (auto refused = CheckInputFile(file, kMaxLibraryFileBytes)) {
    error = *refused;
    return nullptr;
  }
  auto package = std::make_unique<Package>();
  package->library_ = std::make_unique<packages::cResource>();
  try {
    package->library_->SetLibraryFilePath(automation::FromUtf8(file));
  } catch (const automation::AutomationError& e) {
    error = "not a resource library the control can load (" + automation::ToUtf8(e.description()) + ")";
    return nullptr;
  }
  if (!package->library_->image()) {
    error = "no such file";
    return nullptr;
  }
  for (int n = packages::kFirstPackageString; n <= packages::kLastPackageString; ++n) {
    String name;
    if (!package->library_->DLL_LoadString(static_cast<int16_t>(n), name)) break;
    PackageEntry entry;
    entry.name = name;
    entry.display = automation::ToUtf8(name);
    std::replace(entry.display.begin(), entry.display.end(), '\\', '/');
    entry.hasData = package->library_->DLL_LoadData(n, entry.data, packages::kBannerResourceType);
    entry.size = entry.data.size();
    package->entries_.push_back(std::move(entry));
  }
  package->Index();
  return package;
}

void Package::Index() {
  fileNames_.clear();
  for (const PackageEntry& entry : entries_)
    if (entry.kind == PackageEntry::Kind::File && entry.name.find(u'\\') == String::npos) fileNames_.push_back(entry.name);
}

const PackageEntry* Package::Find(StringView storedName) const {
  for (const PackageEntry& entry : entries_)
    if (entry.name == storedName) return &entry;
  return nullptr;
}

InputFile Package::Read(const PackageEntry& entry, uint64_t maxBytes) const {
  if (!library_) return ReadInputFile(entry.path, maxBytes);
  if (entry.data.size() > maxBytes)
    return InputFile{InputProblem::TooLarge, "too large: more than the " + SizeText(maxBytes) + " the checker reads", {}};
  return InputFile{InputProblem::None, {}, std::string(reinterpret_cast<const char*>(entry.data.data()), entry.data.size())};
}

}  // namespace brevalcore::authoring
