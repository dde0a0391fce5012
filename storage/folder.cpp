#include "storage/folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "storage/paths.h"

namespace brevalcore::storage {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.release();
  }
  return *this;
}

UniqueFd::~UniqueFd() {
  if (fd_ >= 0) ::close(fd_);
}

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

EntryKind KindOf(const struct stat& st) {
  if (S_ISREG(st.st_mode)) return EntryKind::kRegular;
  if (S_ISDIR(st.st_mode)) return EntryKind::kFolder;
  if (S_ISLNK(st.st_mode)) return EntryKind::kLink;
  return EntryKind::kOther;
}

// The error of a failed folder open, ELOOP whenever the entry is a link: with O_DIRECTORY the
// system says ENOTDIR for a link, which would read as "no such folder".
int FolderOpenError(int parentFd, const char* name) {
  const int error = errno;
  struct stat st {};
  if ((error == ENOTDIR || error == ELOOP) && ::fstatat(parentFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
      S_ISLNK(st.st_mode))
    return ELOOP;
  return error;
}

}  // namespace

Folder::Folder(const std::string& path, Link link) : path_(path) {
  const int flags = kFolderFlags | (link == Link::kRefuse ? O_NOFOLLOW : 0);
  fd_ = UniqueFd(::open(path.c_str(), flags));
  if (!fd_) error_ = FolderOpenError(AT_FDCWD, path.c_str());
}

Folder::Folder(const Folder& parent, const std::string& name) : path_(parent.PathOf(name)) {
  if (!parent.ok()) {
    error_ = parent.error();
    return;
  }
  fd_ = UniqueFd(::openat(parent.fd(), name.c_str(), kFolderFlags | O_NOFOLLOW));
  if (!fd_) error_ = FolderOpenError(parent.fd(), name.c_str());
}

std::string Folder::PathOf(const std::string& name) const { return BuildPath(path_, name); }

bool Folder::Stat(const std::string& name, struct stat& st) const {
  return ok() && ::fstatat(fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

EntryKind Folder::Kind(const std::string& name) const {
  struct stat st {};
  return Stat(name, st) ? KindOf(st) : EntryKind::kMissing;
}

UniqueFd Folder::OpenPlainFile(const std::string& name, int& error, bool readWrite) const {
  error = 0;
  if (!ok()) {
    error = error_;
    return {};
  }
  // Checked before the open, so that a device is never opened at all, and again on the open
  // file, so that nothing swapped in between is used.
  struct stat st {};
  if (!Stat(name, st)) {
    error = errno;
    return {};
  }
  if (!S_ISREG(st.st_mode)) {
    error = S_ISLNK(st.st_mode) ? ELOOP : EINVAL;
    return {};
  }
  const int access = readWrite ? O_RDWR : O_RDONLY;
  UniqueFd file(::openat(fd(), name.c_str(), access | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!file) {
    error = errno;
    return {};
  }
  if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    error = EINVAL;
    return {};
  }
  ::fcntl(file.get(), F_SETFL, ::fcntl(file.get(), F_GETFL) & ~O_NONBLOCK);
  return file;
}

UniqueFd Folder::CreateNewFile(const std::string& name, mode_t mode, int& error) const {
  error = 0;
  if (!ok()) {
    error = error_;
    return {};
  }
  UniqueFd file(::openat(fd(), name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
  if (!file) error = errno;
  return file;
}

UniqueFd Folder::ReplaceFile(const std::string& name, mode_t mode, int& error) const {
  const EntryKind old = Kind(name);
  if (old != EntryKind::kMissing && old != EntryKind::kFolder) Remove(name);
  return CreateNewFile(name, mode, error);
}

bool Folder::Remove(const std::string& name) const { return ok() && ::unlinkat(fd(), name.c_str(), 0) == 0; }

std::vector<std::string> Folder::Names() const {
  std::vector<std::string> names;
  const int fd = ok() ? ::fcntl(this->fd(), F_DUPFD_CLOEXEC, 0) : -1;
  DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
  if (!dir) {
    if (fd >= 0) ::close(fd);
    return names;
  }
  ::rewinddir(dir);  // the duplicate shares the folder descriptor's position
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  ::closedir(dir);
  return names;
}

std::optional<std::string> ReadPlainFile(const Folder& folder, const std::string& name, int& error) {
  UniqueFd file = folder.OpenPlainFile(name, error);
  if (!file) return std::nullopt;
  std::string bytes;
  struct stat st {};
  if (::fstat(file.get(), &st) == 0 && st.st_size > 0) bytes.reserve(static_cast<size_t>(st.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = errno;
      return std::nullopt;
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  return bytes;
}

int WriteAll(int fd, const void* bytes, size_t size) {
  const auto* at = static_cast<const char*>(bytes);
  while (size > 0) {
    const ssize_t n = ::write(fd, at, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    at += n;
    size -= static_cast<size_t>(n);
  }
  return 0;
}

}  // namespace brevalcore::storage
