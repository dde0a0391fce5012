#include "storage/ini_disk.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <set>

namespace brevalcore::storage::disk {
namespace {

// Retries when the name was replaced between opening the file and getting its lock (another
// writer renamed a new file over it): each retry means a writer finished, so this only runs
// out under a storm of writers.
constexpr int kLockAttempts = 1000;

constexpr char kJournalMagic[8] = {'B', 'V', 'C', 'J', 'R', 'N', 'L', '1'};

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool SetLock(int fd, short type) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  while (::fcntl(fd, F_OFD_SETLKW, &lock) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

bool PwriteAll(int fd, std::string_view data) {
  off_t offset = 0;
  while (!data.empty()) {
    const ssize_t n = ::pwrite(fd, data.data(), data.size(), offset);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(n));
    offset += n;
  }
  return true;
}

bool PreadAll(int fd, Bytes& out, size_t size) {
  out.resize(size);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd, out.data() + done, size - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The temporary name of a new version of `path`: hidden, beside it, for as long as it takes
// to rename it (or, where the file system makes no unnamed files, to write it).
std::string TempPrefix(const std::string& path) { return FolderOf(path) + "/." + BaseName(path) + "."; }
constexpr std::string_view kTempSuffix = ".tmp";

std::string TempName(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  return TempPrefix(path) + std::to_string(::getpid()) + "." + std::to_string(counter++) + std::string(kTempSuffix);
}

// Removes temporary names that writers killed mid-write left beside `path`. Called with the
// file locked, when no live writer of it can own one; once per file and process.
void RemoveAbandonedTempFiles(const std::string& path) {
  static std::mutex mutex;
  static std::set<std::string> cleaned;
  {
    std::lock_guard guard(mutex);
    if (!cleaned.insert(path).second) return;
  }
  const std::string prefix = "." + BaseName(path) + ".";
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(FolderOf(path), ec)) {
    const std::string name = entry.path().filename().string();
    if (name.size() > prefix.size() + kTempSuffix.size() && name.starts_with(prefix) && name.ends_with(kTempSuffix))
      std::filesystem::remove(entry.path(), ec);
  }
}

// Gives an unnamed file (O_TMPFILE) the name `name`; the name must not exist.
bool LinkUnnamed(int fd, const std::string& name) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// A new file beside `path` that has no name until it is complete. Where the file system
// cannot make one, a temporary name is used (`named` is then set and must be renamed or
// removed).
Fd CreateUnnamed(const std::string& path, mode_t mode, std::string& named) {
  named.clear();
  Fd fd(::open(FolderOf(path).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode));
  if (fd || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return fd;
  named = TempName(path);
  return Fd(::open(named.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode));
}

// ---------------------------------------------------------------- the in-place write's journal
//
// Before a file is overwritten in place, its old bytes are saved under the file's device and
// inode number in the user's own state folder (never beside the doctor's file). The journal
// gets its name only once it is complete, and loses it once the write is complete, so a
// journal found with its file locked means a writer died in between: its old bytes go back.

// Looked up at each use: cheap beside the file work around it, and a process that changes
// user (or its environment) finds its own.
std::string JournalFolder() {
  if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state == '/')
    return std::string(state) + "/brevalcore/journal";
  if (const char* home = std::getenv("HOME"); home && *home == '/')
    return std::string(home) + "/.local/state/brevalcore/journal";
  return {};
}

// The journal folder, made private when missing; empty when it is not ours alone.
std::string UsableJournalFolder() {
  const std::string folder = JournalFolder();
  if (folder.empty()) return {};
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return {};
  if ((st.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0) return {};
  return folder;
}

std::string JournalName(const std::string& folder, const struct stat& st) {
  char name[64];
  std::snprintf(name, sizeof name, "/%llx-%llx", static_cast<unsigned long long>(st.st_dev),
                static_cast<unsigned long long>(st.st_ino));
  return folder + name;
}

void AppendSize(Bytes& out, uint64_t n) { out.append(reinterpret_cast<const char*>(&n), sizeof n); }

bool TakeSize(std::string_view& in, uint64_t& n) {
  if (in.size() < sizeof n) return false;
  std::memcpy(&n, in.data(), sizeof n);
  in.remove_prefix(sizeof n);
  return true;
}

// Saves the old bytes of `path`; returns the journal's name, empty when none could be kept.
std::string WriteJournal(const std::string& path, const struct stat& st, std::string_view oldBytes, bool durable) {
  const std::string folder = UsableJournalFolder();
  if (folder.empty()) return {};
  Bytes record(kJournalMagic, sizeof kJournalMagic);
  AppendSize(record, path.size());
  record.append(path);
  AppendSize(record, oldBytes.size());
  record.append(oldBytes);
  const std::string journal = JournalName(folder, st);
  std::string named;
  Fd fd = CreateUnnamed(journal, 0600, named);
  if (!fd) return {};
  bool ok = WriteAll(fd.get(), record) && (!durable || ::fdatasync(fd.get()) == 0);
  ::unlink(journal.c_str());  // one left by a write that was rolled back already
  if (ok) ok = named.empty() ? LinkUnnamed(fd.get(), journal) : ::rename(named.c_str(), journal.c_str()) == 0;
  if (!ok && !named.empty()) ::unlink(named.c_str());
  return ok ? journal : std::string();
}

// Puts back the bytes a journal saved, when it belongs to `path`. Called with `fd` locked for
// writing.
void RollBack(int fd, const std::string& path, const std::string& journal) {
  Fd in(::open(journal.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  struct stat st {};
  if (!in || ::fstat(in.get(), &st) != 0 || st.st_uid != ::geteuid()) return;
  Bytes record;
  if (!ReadAll(in.get(), record, static_cast<size_t>(st.st_size))) return;
  std::string_view rest = record;
  uint64_t pathSize = 0, size = 0;
  if (!rest.starts_with(std::string_view(kJournalMagic, sizeof kJournalMagic))) return;
  rest.remove_prefix(sizeof kJournalMagic);
  if (!TakeSize(rest, pathSize) || pathSize > rest.size() || rest.substr(0, pathSize) != path) return;
  rest.remove_prefix(pathSize);
  if (!TakeSize(rest, size) || size != rest.size()) return;
  if (PwriteAll(fd, rest) && ::ftruncate(fd, static_cast<off_t>(size)) == 0) ::unlink(journal.c_str());
}

void RecoverLocked(int fd, const std::string& path, const struct stat& st) {
  const std::string folder = JournalFolder();
  if (folder.empty()) return;
  const std::string journal = JournalName(folder, st);
  if (::access(journal.c_str(), F_OK) == 0) RollBack(fd, path, journal);
}

void BumpModificationTime(int fd, const struct stat& old) {
  // The stamp must change even within one tick of the file system's clock, or a reader that
  // cached the old bytes would not notice a same-size rewrite.
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const int64_t oldNs = MtimeNs(old);
  int64_t ns = static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
  if (ns <= oldNs) ns = oldNs + 1;
  const timespec times[2] = {{0, UTIME_OMIT}, {ns / 1'000'000'000, ns % 1'000'000'000}};
  ::futimens(fd, times);
}

// A descriptor to watch the file through. Never a duplicate of a locked one: it would keep
// the lock for as long as it is open.
Fd WatchOf(const std::string& path) { return Fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW)); }

std::string WriteInPlace(LockedFile& file, std::string_view bytes, bool durable, Fd& watch, struct stat& st) {
  Bytes old;
  if (!PreadAll(file.fd.get(), old, static_cast<size_t>(file.st.st_size)))
    return Describe(file.path, "cannot be read before it is rewritten", errno);
  const std::string journal = WriteJournal(file.path, file.st, old, durable);
  const int fd = file.fd.get();
  if (!PwriteAll(fd, bytes) || ::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0 ||
      (durable && ::fdatasync(fd) != 0)) {
    const int error = errno;
    if (PwriteAll(fd, old) && ::ftruncate(fd, static_cast<off_t>(old.size())) == 0 && !journal.empty())
      ::unlink(journal.c_str());
    return Describe(file.path, "cannot be rewritten in place", error);
  }
  BumpModificationTime(fd, file.st);
  if (!journal.empty()) ::unlink(journal.c_str());
  if (::fstat(fd, &st) != 0) return Describe(file.path, "cannot be examined", errno);
  watch = WatchOf(file.path);
  return {};
}

enum class Replace { Done, InPlace, Failed };

// The atomic way: a new file beside the old one, renamed over it. InPlace when the new file
// could not be what the old one was (owner) or the folder takes no new file.
Replace ReplaceBeside(LockedFile& file, std::string_view bytes, bool durable, Fd& watch, struct stat& st,
                      std::string& error) {
  const std::string folder = FolderOf(file.path);
  std::string named;
  Fd fd = CreateUnnamed(file.path, 0600, named);
  if (!fd) {
    if (errno == EACCES || errno == EPERM || errno == EROFS) return Replace::InPlace;
    error = Describe(folder, "takes no new file", errno);
    return Replace::Failed;
  }
  auto discard = [&](Replace how) {
    if (!named.empty()) ::unlink(named.c_str());
    return how;
  };
  if ((file.st.st_uid != ::geteuid() || file.st.st_gid != ::getegid()) &&
      ::fchown(fd.get(), file.st.st_uid, file.st.st_gid) != 0)
    return discard(Replace::InPlace);  // the file would change hands
  if (::fchmod(fd.get(), file.st.st_mode & 07777) != 0 || !WriteAll(fd.get(), bytes) ||
      (durable && ::fdatasync(fd.get()) != 0)) {
    error = Describe(file.path, "cannot be written", errno);
    return discard(Replace::Failed);
  }
  if (named.empty()) {
    named = TempName(file.path);
    if (!LinkUnnamed(fd.get(), named)) {
      named.clear();
      error = Describe(folder, "takes no new file", errno);
      return Replace::Failed;
    }
  }
  if (::rename(named.c_str(), file.path.c_str()) != 0) {
    error = Describe(file.path, "cannot be replaced", errno);
    return discard(Replace::Failed);
  }
  if (durable) {
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir) ::fsync(dir.get());
  }
  ::fstat(fd.get(), &st);  // after the rename, which sets the links and the change time
  watch = std::move(fd);
  return Replace::Done;
}

}  // namespace

Fd& Fd::operator=(Fd&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.Release();
  }
  return *this;
}

int Fd::Release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

int Fd::Close() {
  const int r = fd_ >= 0 ? ::close(fd_) : 0;
  fd_ = -1;
  return r;
}

int64_t MtimeNs(const struct stat& st) {
  return static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
}

std::string Describe(std::string_view path, std::string_view what, int error) {
  std::string text = std::string(path) + ": " + std::string(what);
  if (error != 0) text += std::string(" (") + std::strerror(error) + ")";
  return text;
}

std::string_view KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a named pipe (FIFO)";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

std::string ResolveTarget(const std::string& name, std::string& error) {
  std::string current = name;
  for (int hops = 0;; ++hops) {
    struct stat st {};
    if (::lstat(current.c_str(), &st) != 0) {
      if (errno == ENOENT) return current;  // a file still to be made
      error = Describe(current, "cannot be examined", errno);
      return {};
    }
    if (!S_ISLNK(st.st_mode)) return current;
    if (hops == kMaxSymlinkHops) {
      error = Describe(name, "is a loop of symbolic links", 0);
      return {};
    }
    char target[4096];
    const ssize_t n = ::readlink(current.c_str(), target, sizeof target);
    if (n <= 0 || static_cast<size_t>(n) == sizeof target) {
      error = Describe(current, "is a symbolic link that cannot be read", errno);
      return {};
    }
    const std::string link(target, static_cast<size_t>(n));
    current = link.front() == '/' ? link : FolderOf(current) + "/" + link;
  }
}

std::string LockForWriting(const std::string& name, LockedFile& out) {
  std::string error;
  for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
    out.path = ResolveTarget(name, error);
    if (out.path.empty()) return error;
    struct stat before {};
    if (::lstat(out.path.c_str(), &before) == 0 && !S_ISREG(before.st_mode))
      return Describe(out.path, "is " + std::string(KindOf(before.st_mode)) + ", not a profile file", 0);
    // O_NONBLOCK: a FIFO swapped in after the check must not hang the host.
    constexpr int kFlags = O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    out.created = false;
    out.fd = Fd(::open(out.path.c_str(), kFlags | O_CREAT | O_EXCL, 0666));
    if (out.fd) out.created = true;
    else if (errno == EEXIST) out.fd = Fd(::open(out.path.c_str(), kFlags));
    if (!out.fd) {
      if (errno == ELOOP || errno == ENOENT) continue;  // replaced by a link, or removed, meanwhile
      return Describe(out.path, out.created ? "cannot be created" : "cannot be opened for writing", errno);
    }
    if (::fstat(out.fd.get(), &out.st) != 0) return Describe(out.path, "cannot be examined", errno);
    if (!S_ISREG(out.st.st_mode))
      return Describe(out.path, "is " + std::string(KindOf(out.st.st_mode)) + ", not a profile file", 0);
    // The platform's read-only attribute: honoured even where the permission bits are not
    // enforced (the super-user).
    if ((out.st.st_mode & 0222) == 0) return Describe(out.path, "is read-only", 0);
    if (!SetLock(out.fd.get(), F_WRLCK)) return Describe(out.path, "cannot be locked", errno);
    struct stat now {};
    if (::lstat(out.path.c_str(), &now) != 0 || now.st_ino != out.st.st_ino || now.st_dev != out.st.st_dev) {
      out.fd.Close();  // a writer renamed a new file over the one we waited for
      continue;
    }
    ::fstat(out.fd.get(), &out.st);
    if (out.st.st_size > kMaxProfileFileBytes)
      return Describe(out.path, "is larger than " + std::to_string(kMaxProfileFileBytes >> 20) + " MB", 0);
    RecoverLocked(out.fd.get(), out.path, out.st);
    ::fstat(out.fd.get(), &out.st);
    RemoveAbandonedTempFiles(out.path);
    return {};
  }
  return Describe(name, "is being replaced faster than it can be locked", 0);
}

Fd OpenForReading(const std::string& path, struct stat& st) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxProfileFileBytes) return Fd();
  return fd;
}

bool ReadAll(int fd, Bytes& out, size_t sizeHint) {
  out.clear();
  out.reserve(sizeHint + 1);
  size_t done = 0;
  for (;;) {
    if (out.size() < done + (1 << 16)) out.resize(done + (1 << 16));
    const ssize_t n = ::pread(fd, out.data() + done, out.size() - done, static_cast<off_t>(done));
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
    if (done > static_cast<size_t>(kMaxProfileFileBytes)) return false;  // grew past the limit meanwhile
  }
  out.resize(done);
  return true;
}

bool ReadLocked(int fd, Bytes& out, size_t sizeHint, bool locked) {
  if (locked) return ReadAll(fd, out, sizeHint);
  if (!SetLock(fd, F_RDLCK)) return false;
  const bool ok = ReadAll(fd, out, sizeHint);
  SetLock(fd, F_UNLCK);
  return ok;
}

std::string WriteLockedFile(LockedFile& file, std::string_view bytes, bool durable, Fd& watch, struct stat& st) {
  // A second name would be cut off from the new file by a rename.
  if (file.st.st_nlink <= 1) {
    std::string error;
    switch (ReplaceBeside(file, bytes, durable, watch, st, error)) {
      case Replace::Done: return {};
      case Replace::Failed: return error;
      case Replace::InPlace: break;
    }
  }
  return WriteInPlace(file, bytes, durable, watch, st);
}

void RecoverInterruptedWrite(const std::string& path, const struct stat& st) {
  const std::string folder = JournalFolder();
  if (folder.empty() || ::access(JournalName(folder, st).c_str(), F_OK) != 0) return;
  LockedFile file;
  if (!LockForWriting(path, file).empty()) return;  // may not write it: leave it to one who may
}

}  // namespace brevalcore::storage::disk
