#include "storage/name_lookup.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/automation/error.h"
#include "storage/file_names.h"
#include "storage/paths.h"

namespace brevalcore::storage {

namespace {

// A listing read less than this after the folder's last change is used once and read again
// at the next lookup: a change within the same tick of the file system's clock would leave the
// folder's modification time as it was. Two seconds cover the coarsest clocks in use.
constexpr time_t kUntrustedSeconds = 2;
// Folders whose listings are kept; past this all are forgotten (the control uses two or three).
constexpr size_t kMaxKeptFolders = 32;

struct Listing {
  dev_t device = 0;
  ino_t inode = 0;
  timespec modified{};
  bool trusted = false;
  std::unordered_map<String, std::vector<std::string>> byFoldedName;
};

std::mutex gMutex;
std::unordered_map<std::string, std::shared_ptr<const Listing>> gListings;

bool Describes(const Listing& listing, const struct stat& st) {
  return listing.trusted && listing.device == st.st_dev && listing.inode == st.st_ino &&
         listing.modified.tv_sec == st.st_mtim.tv_sec && listing.modified.tv_nsec == st.st_mtim.tv_nsec;
}

std::shared_ptr<const Listing> ReadListing(const Folder& folder, const struct stat& st) {
  auto listing = std::make_shared<Listing>();
  listing->device = st.st_dev;
  listing->inode = st.st_ino;
  listing->modified = st.st_mtim;
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  listing->trusted = now.tv_sec - st.st_mtim.tv_sec > kUntrustedSeconds;

  for (const std::string& name : folder.Names()) {
    if (name[0] == '.' || !automation::IsValidUtf8(name)) continue;
    listing->byFoldedName[FoldedName(automation::FromUtf8(name))].push_back(name);
  }
  for (auto& [folded, names] : listing->byFoldedName) std::sort(names.begin(), names.end());
  return listing;
}

std::shared_ptr<const Listing> CurrentListing(const Folder& folder) {
  struct stat st {};
  if (::fstat(folder.fd(), &st) != 0) return nullptr;
  std::lock_guard<std::mutex> lock(gMutex);
  auto& kept = gListings[folder.path()];
  if (kept && Describes(*kept, st)) return kept;
  if (gListings.size() > kMaxKeptFolders) {
    gListings.clear();
    return gListings[folder.path()] = ReadListing(folder, st);
  }
  return kept = ReadListing(folder, st);
}

std::string NotPlainReason(EntryKind kind) {
  switch (kind) {
    case EntryKind::kLink: return " is a symbolic link, not a plain file";
    case EntryKind::kFolder: return " is a folder, not a plain file";
    default: return " is not a plain file";
  }
}

}  // namespace

std::string NameLookup::AmbiguityText() const {
  return QuotedName(std::string_view(name)) + " and " + QuotedName(std::string_view(other)) + " differ only by case";
}

NameLookup LookUpName(const Folder& folder, StringView name) {
  NameLookup result;
  if (!folder.ok() || FileNameProblem(name)) return result;
  const auto listing = CurrentListing(folder);
  if (!listing) return result;
  const auto it = listing->byFoldedName.find(FoldedName(name));
  if (it == listing->byFoldedName.end()) return result;
  result.name = it->second[0];
  if (it->second.size() == 1) {
    result.status = NameLookup::Status::kFound;
  } else {
    result.status = NameLookup::Status::kAmbiguous;
    result.other = it->second[1];
  }
  return result;
}

PlainFileLookup FindPlainFile(const Folder& folder, StringView name) {
  PlainFileLookup result;
  if (!folder.ok()) {
    if (folder.error() == ELOOP) {
      result.status = PlainFileLookup::Status::kNotPlain;
      result.problem = "the folder " + QuotedName(std::string_view(folder.path())) + " is a symbolic link";
    }
    return result;
  }
  const NameLookup lookup = LookUpName(folder, name);
  if (lookup.status == NameLookup::Status::kMissing) return result;
  if (lookup.status == NameLookup::Status::kAmbiguous) {
    result.status = PlainFileLookup::Status::kAmbiguous;
    result.problem = "in " + QuotedName(std::string_view(folder.path())) + ", " + lookup.AmbiguityText();
    return result;
  }
  result.name = lookup.name;
  result.path = folder.PathOf(lookup.name);
  const EntryKind kind = folder.Kind(lookup.name);
  if (kind == EntryKind::kRegular) {
    result.status = PlainFileLookup::Status::kFound;
  } else if (kind != EntryKind::kMissing) {
    result.status = PlainFileLookup::Status::kNotPlain;
    result.problem = QuotedName(std::string_view(result.path)) + NotPlainReason(kind);
  }
  return result;
}

PlainFileLookup FindPlainFile(const std::string& folder, StringView name) {
  return FindPlainFile(Folder(folder), name);
}

std::string ResolvePath(const std::string& base, const std::string& path) {
  std::string resolved;
  std::string folder = !path.empty() && path[0] == '/' ? std::string("/") : base;
  bool walking = true;
  size_t start = 0;
  while (start <= path.size()) {
    size_t stop = path.find('/', start);
    if (stop == std::string::npos) stop = path.size();
    std::string component = path.substr(start, stop - start);
    if (walking && !component.empty() && component != "." && component != "..") {
      const NameLookup found =
          LookUpName(Folder(folder, Folder::Link::kFollow), automation::FromUtf8(component));
      if (found.found()) component = found.name;
      else walking = false;
    }
    if (!component.empty()) folder = BuildPath(folder, component);
    resolved += component;
    if (stop < path.size()) resolved += '/';
    start = stop + 1;
  }
  return resolved;
}

void RaiseIfUnusable(const PlainFileLookup& lookup) {
  using Status = PlainFileLookup::Status;
  if (lookup.status != Status::kAmbiguous && lookup.status != Status::kNotPlain) return;
  const int32_t number = lookup.status == Status::kAmbiguous ? automation::err::kBadFileNameOrNumber
                                                             : automation::err::kPathFileAccessError;
  automation::Raise(number, String(),
                    automation::Ascii(automation::ErrorText(number)) + u": " + automation::FromUtf8(lookup.problem));
}

void ForgetFolderListings() {
  std::lock_guard<std::mutex> lock(gMutex);
  gListings.clear();
}

}  // namespace brevalcore::storage
