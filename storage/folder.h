#pragma once
// The control's own folders (the banner folder and its TEMP folder) reached through an open
// descriptor: files in them are opened, created and removed relative to it, and a symbolic
// link is never followed, neither as the folder itself nor as a file in it. So nothing another
// user plants there (a link to a doctor's file, a FIFO, a device) can be read, written or
// waited on in the control's name.
#include <sys/stat.h>
#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace brevalcore::storage {

// An owned file descriptor, closed when it goes.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd();

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_ = -1;
};

// What a folder entry is, seen without following it.
enum class EntryKind { kMissing, kRegular, kFolder, kLink, kOther };

class Folder {
 public:
  // Whether the folder's own last component may be a symbolic link. The banner folder and
  // TEMP may not; a folder the host names (the resource library's) is taken as configured.
  enum class Link { kRefuse, kFollow };

  // Opens `path` as a folder. The folders above it belong to the machine's configuration and
  // are followed as they are. error() gives the reason when it fails (ELOOP for a link).
  explicit Folder(const std::string& path, Link link = Link::kRefuse);
  // Opens the subfolder `name` of `parent`, never through a link.
  Folder(const Folder& parent, const std::string& name);

  bool ok() const { return static_cast<bool>(fd_); }
  int fd() const { return fd_.get(); }
  int error() const { return error_; }
  const std::string& path() const { return path_; }
  std::string PathOf(const std::string& name) const;

  EntryKind Kind(const std::string& name) const;
  // The entry's status without following it; false when it is missing.
  bool Stat(const std::string& name, struct stat& st) const;

  // Opens the regular file `name` for reading (or reading and writing): a link, a FIFO, a
  // device or a folder is refused with EINVAL or ELOOP before anything waits on it.
  UniqueFd OpenPlainFile(const std::string& name, int& error, bool readWrite = false) const;
  // Creates `name` as a new file: an existing entry of that name (a link included) is removed
  // first, never followed, and the new file is created exclusively, so nothing that appears
  // in between is written through.
  UniqueFd ReplaceFile(const std::string& name, mode_t mode, int& error) const;
  // Creates `name` only when nothing of that name exists (EEXIST otherwise).
  UniqueFd CreateNewFile(const std::string& name, mode_t mode, int& error) const;
  // Removes the entry `name` (a link itself, never its target); false when that failed.
  bool Remove(const std::string& name) const;
  // The names of the folder's entries, "." and ".." left out, in the order the system lists them.
  std::vector<std::string> Names() const;

 private:
  UniqueFd fd_;
  int error_ = 0;
  std::string path_;
};

// The whole plain file `name` of `folder` (see Folder::OpenPlainFile), or nullopt with the
// system's error number in `error`.
std::optional<std::string> ReadPlainFile(const Folder& folder, const std::string& name, int& error);

// Writes all of `bytes` to `fd`; 0 or the error number that stopped it.
int WriteAll(int fd, const void* bytes, size_t size);

}  // namespace brevalcore::storage
