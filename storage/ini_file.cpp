#include "storage/ini_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <system_error>
#include <unordered_map>

#include "storage/profile.h"

namespace brevalcore::storage {
namespace {

// A file modified this close to the moment we read it may still change within the same tick of
// the file system's clock without its stamp changing; such a parse is checked against the
// file's bytes before it is trusted again. Well above the coarse clock's granularity (1-10 ms).
constexpr int64_t kRacyWindowNs = 100'000'000;

// Whether a write waits for the disk (fdatasync before the rename, fsync of the folder after).
// Off by default: atomicity against a killed process needs only the complete file before the
// rename, and on ext4 (data=ordered, auto_da_alloc) a rename that replaces a file is committed
// after that file's data, so a power cut also leaves the old file or the new one. Waiting for
// the disk costs 10-20 ms per write, a hundred times the write itself; filesystems without
// that ordering can turn it on with SetDurableIniWrites.
std::atomic<bool> durableWrites{false};

struct FileStamp {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  int64_t mtimeNs = 0;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

FileStamp StampOf(const struct stat& st) {
  return FileStamp{st.st_dev, st.st_ino, st.st_size,
                   static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

int64_t NowNs() {
  timespec ts{};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

bool IsRacy(const FileStamp& stamp, int64_t nowNs) { return stamp.mtimeNs + kRacyWindowNs >= nowNs; }

// Writers that use this code announce each change through a counter that readers map (see
// ChangeCounter), so a read normally needs no system call at all. Changes made by anything
// else are caught by comparing the file's stamp at least this often.
constexpr int64_t kStampCheckIntervalNs = int64_t{kForeignChangeDelayMs} * 1'000'000;

int64_t CoarseNowNs() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

std::string LockPathOf(const std::filesystem::path& file);

struct Entry {
  FileStamp stamp;
  bool racy = true;
  const uint64_t* counter = nullptr;  // the writers' change counter, when there is one
  uint64_t seenChanges = 0;           // its value when the stamp was last compared
  int64_t stampCheckedNs = 0;         // when that was (coarse monotonic clock)
  bool bytesAreSerialized = false;    // `bytes` == profile.Serialize(), as after our own writes
  Bytes bytes;
  Profile profile;
};

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { Close(); }
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  void Reset(int fd) {
    Close();
    fd_ = fd;
  }
  int Close() {
    const int r = fd_ >= 0 ? ::close(fd_) : 0;
    fd_ = -1;
    return r;
  }

 private:
  int fd_;
};

bool ReadAll(int fd, Bytes& out, size_t sizeHint) {
  out.clear();
  out.reserve(sizeHint + 1);
  char chunk[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    out.append(chunk, static_cast<size_t>(n));
  }
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

// The change counter: the first 8 bytes of the hidden lock file, raised by every writer after
// it has renamed the new file into place and before it lets go of the lock. Readers map it
// read-only; the lock file is never shortened, so the mapping stays valid.
class ChangeCounter {
 public:
  static constexpr off_t kSize = sizeof(uint64_t);

  // The mapped counter of `file`, made (as a writer would make it) when missing; nullptr when
  // the folder allows neither, in which case reads compare the stamp every time.
  const uint64_t* Find(const std::filesystem::path& file) {
    const std::string lockPath = LockPathOf(file);
    const auto it = mapped_.find(lockPath);
    if (it != mapped_.end() && (it->second.counter || CoarseNowNs() < it->second.retryNs)) return it->second.counter;
    Mapping& m = mapped_[lockPath];
    m.retryNs = CoarseNowNs() + kStampCheckIntervalNs;
    FileDescriptor fd(::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st{};
    if (!fd || ::fstat(fd.get(), &st) != 0 || st.st_size < kSize) {
      // Growing it to the counter's size never disturbs a writer: it only ever adds zeros.
      fd.Reset(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
      if (!fd || ::fstat(fd.get(), &st) != 0) return nullptr;
      if (st.st_size < kSize && ::ftruncate(fd.get(), kSize) != 0) return nullptr;
    }
    void* map = ::mmap(nullptr, kSize, PROT_READ, MAP_SHARED, fd.get(), 0);
    if (map == MAP_FAILED) return nullptr;
    m.counter = static_cast<const uint64_t*>(map);
    return m.counter;
  }

  static uint64_t Read(const uint64_t* counter) { return counter ? __atomic_load_n(counter, __ATOMIC_ACQUIRE) : 0; }

  // Called by a writer holding the lock on `lockFd`; returns the counter's new value.
  static std::optional<uint64_t> Raise(int lockFd) {
    uint64_t value = 0;
    if (::pread(lockFd, &value, sizeof value, 0) != static_cast<ssize_t>(sizeof value)) value = 0;
    ++value;
    if (::pwrite(lockFd, &value, sizeof value, 0) != static_cast<ssize_t>(sizeof value)) return std::nullopt;
    return value;
  }

 private:
  struct Mapping {
    const uint64_t* counter = nullptr;  // mapped for the process's life
    int64_t retryNs = 0;                // when a failed attempt may be repeated
  };
  std::unordered_map<std::string, Mapping> mapped_;
};

// One file's last known bytes and their parse.
std::string FolderOf(const std::filesystem::path& file) {
  const std::filesystem::path parent = file.parent_path();
  return parent.empty() ? std::string(".") : parent.string();
}

std::string LockPathOf(const std::filesystem::path& file) {
  return FolderOf(file) + "/." + file.filename().string() + ".lock";
}

// The lock that serialises the writers of one file across processes. It lives in its own hidden
// file, because the profile file itself is replaced by every write and a lock on it would be
// left behind on the old inode.
class WriterLock {
 public:
  explicit WriterLock(const std::filesystem::path& file) {
    fd_.Reset(::open(LockPathOf(file).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
    if (!fd_) return;
    while (::flock(fd_.get(), LOCK_EX) != 0) {
      if (errno != EINTR) {
        fd_.Close();
        return;
      }
    }
  }
  explicit operator bool() const { return static_cast<bool>(fd_); }
  int fd() const { return fd_.get(); }

 private:
  FileDescriptor fd_;  // closing it releases the lock
};

std::string TempPrefix(const std::filesystem::path& file) { return "." + file.filename().string() + "."; }
constexpr std::string_view kTempSuffix = ".tmp";

// Removes temporary files that a writer killed mid-write left behind. Called with the writer
// lock held, when no live writer can own one.
void RemoveAbandonedTempFiles(const std::filesystem::path& file) {
  const std::string prefix = TempPrefix(file);
  std::error_code ec;
  std::filesystem::directory_iterator it(FolderOf(file), ec);
  if (ec) return;
  for (const auto& entry : it) {
    const std::string name = entry.path().filename().string();
    if (name.size() > prefix.size() + kTempSuffix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
        name.ends_with(kTempSuffix)) {
      std::filesystem::remove(entry.path(), ec);
    }
  }
}

// Writes `bytes` beside `file` and renames the result over it, keeping the old file's mode
// and, where allowed, its owner. Returns the new file's stamp, or nullopt with the old file
// untouched.
std::optional<FileStamp> ReplaceFile(const std::filesystem::path& file, std::string_view bytes) {
  static std::atomic<unsigned> counter{0};
  const std::string folder = FolderOf(file);
  const std::string temp = folder + "/" + TempPrefix(file) + std::to_string(::getpid()) + "." +
                           std::to_string(counter.fetch_add(1)) + std::string(kTempSuffix);
  struct stat old{};
  const bool hasOld = ::stat(file.c_str(), &old) == 0;
  FileDescriptor fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, hasOld ? 0600 : 0666));
  if (!fd) return std::nullopt;
  auto fail = [&]() -> std::optional<FileStamp> {
    fd.Close();
    ::unlink(temp.c_str());
    return std::nullopt;
  };
  if (hasOld) {
    if (::fchown(fd.get(), old.st_uid, old.st_gid) != 0) { /* not ours to give away: keep ours */ }
    if (::fchmod(fd.get(), old.st_mode & 07777) != 0) return fail();
  }
  if (!WriteAll(fd.get(), bytes)) return fail();
  if (durableWrites && ::fdatasync(fd.get()) != 0) return fail();
  struct stat st{};
  if (::fstat(fd.get(), &st) != 0) return fail();
  if (fd.Close() != 0) {
    ::unlink(temp.c_str());
    return std::nullopt;
  }
  if (::rename(temp.c_str(), file.c_str()) != 0) {
    ::unlink(temp.c_str());
    return std::nullopt;
  }
  if (durableWrites) {
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir) ::fsync(dir.get());
  }
  return StampOf(st);
}

class IniCache {
 public:
  // The file's current parse, or nullptr when it does not exist or cannot be read. Called
  // with mutex_ held. `compareStamp` skips the shortcut through the change counter.
  Entry* Load(const std::filesystem::path& file, bool compareStamp = false) {
    const std::string& path = file.native();
    const auto it = entries_.find(path);
    if (it != entries_.end() && !compareStamp) {
      Entry& e = *it->second;
      // No writer has announced a change and the stamp was compared a moment ago.
      if (e.counter && ChangeCounter::Read(e.counter) == e.seenChanges &&
          CoarseNowNs() - e.stampCheckedNs < kStampCheckIntervalNs)
        return &e;
    }
    // The counter is read before the stamp: a change announced in between only costs a
    // second look next time.
    const uint64_t* counter = counters_.Find(file);
    const uint64_t changes = ChangeCounter::Read(counter);
    const int64_t checkedNs = CoarseNowNs();
    auto noteChecked = [&](Entry* e) {
      e->counter = counter;
      e->seenChanges = changes;
      e->stampCheckedNs = checkedNs;
      return e;
    };
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
      if (it != entries_.end()) entries_.erase(it);
      return nullptr;
    }
    // A parse taken in the same clock tick as the file's last change is trusted only when
    // the counter shows that no writer came since; otherwise the bytes are compared.
    if (it != entries_.end() && it->second->stamp == StampOf(st) &&
        (!it->second->racy || (counter && counter == it->second->counter && changes == it->second->seenChanges)))
      return noteChecked(it->second.get());

    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat opened{};
    Bytes bytes;
    if (!fd || ::fstat(fd.get(), &opened) != 0 || !S_ISREG(opened.st_mode) ||
        !ReadAll(fd.get(), bytes, static_cast<size_t>(opened.st_size))) {
      if (it != entries_.end()) entries_.erase(it);
      return nullptr;
    }
    const FileStamp stamp = StampOf(opened);
    const bool racy = IsRacy(stamp, NowNs());
    if (it != entries_.end() && it->second->bytes == bytes) {  // same content: keep the parse and its flags
      it->second->stamp = stamp;
      it->second->racy = racy;
      return noteChecked(it->second.get());
    }
    auto entry = std::make_unique<Entry>();
    entry->stamp = stamp;
    entry->racy = racy;
    entry->profile = Profile::Parse(bytes);
    entry->bytes = std::move(bytes);
    Entry* raw = entry.get();
    entries_[path] = std::move(entry);
    return noteChecked(raw);
  }

  // Applies `change` to the file's parse under the writer lock and writes the result when it
  // changed anything. False when the file could not be locked or written.
  template <class Change>
  bool Modify(const std::filesystem::path& file, Change&& change) {
    std::lock_guard guard(mutex_);
    WriterLock lock(file);
    if (!lock) return false;
    const std::string& path = file.native();
    if (cleaned_.insert(path).second) RemoveAbandonedTempFiles(file);

    Entry* entry = Load(file, /*compareStamp=*/true);  // a writer never builds on a stale parse
    std::unique_ptr<Entry> fresh;
    if (!entry) {
      fresh = std::make_unique<Entry>();
      entry = fresh.get();
    }
    if (!change(entry->profile)) return true;
    // Built in the buffer of the previous write, whose pages are already mapped; a one-line
    // change is spliced into the previous bytes rather than serialising the whole file again.
    Bytes bytes = std::move(scratch_);
    const bool reparse = entry->profile.needs_reparse();
    const auto& splice = entry->profile.last_splice();
    if (splice && !reparse && entry->bytesAreSerialized) {
      const Bytes& old = entry->bytes;
      bytes.resize(old.size() - splice->removed + splice->inserted.size());
      std::memcpy(bytes.data(), old.data(), splice->offset);
      std::memcpy(bytes.data() + splice->offset, splice->inserted.data(), splice->inserted.size());
      const size_t tail = splice->offset + splice->removed;
      std::memcpy(bytes.data() + splice->offset + splice->inserted.size(), old.data() + tail, old.size() - tail);
    } else {
      entry->profile.SerializeTo(bytes);
    }
    if (reparse) entry->profile = Profile::Parse(bytes);
    const std::optional<FileStamp> stamp = ReplaceFile(file, bytes);
    if (!stamp) {
      entries_.erase(path);  // the parse no longer matches the file
      return false;
    }
    const std::optional<uint64_t> changes = ChangeCounter::Raise(lock.fd());
    scratch_ = std::move(entry->bytes);
    entry->bytes = std::move(bytes);
    entry->bytesAreSerialized = !reparse;
    entry->stamp = *stamp;
    entry->racy = true;
    entry->counter = changes ? counters_.Find(file) : nullptr;  // no counter: compare the bytes
    entry->seenChanges = changes.value_or(0);
    entry->stampCheckedNs = CoarseNowNs();
    if (fresh) entries_[path] = std::move(fresh);
    return true;
  }

  template <class Reader>
  auto Read(const std::filesystem::path& file, Reader&& reader) {
    static const Profile kEmpty;
    std::lock_guard guard(mutex_);
    const Entry* entry = Load(file);
    return reader(entry ? entry->profile : kEmpty);
  }

  void Clear() {
    std::lock_guard guard(mutex_);
    entries_.clear();
  }

 private:
  std::mutex mutex_;
  std::unordered_map<std::string, std::unique_ptr<Entry>> entries_;
  std::set<std::string> cleaned_;
  ChangeCounter counters_;
  Bytes scratch_;
};

IniCache& Cache() {
  static IniCache cache;
  return cache;
}

// Arguments reach the platform functions as C strings in the code page.
Bytes Arg(StringView text) { return automation::ToCp1252(text); }

String FromBuffer(const BufferResult& r) {
  return automation::FromCp1252(std::string_view(r.buffer).substr(0, r.ret));
}

}  // namespace

String ReadIni(const std::filesystem::path& file, StringView section, StringView key) {
  const Bytes s = Arg(section), k = Arg(key);
  return Cache().Read(file, [&](const Profile& p) {
    return FromBuffer(p.GetString(s, k, std::string_view(), static_cast<uint32_t>(kReadIniBufferSize)));
  });
}

String ReadIniSection(const std::filesystem::path& file, StringView section) {
  const Bytes s = Arg(section);
  return Cache().Read(file, [&](const Profile& p) { return automation::FromCp1252(p.SectionEntries(s)); });
}

std::vector<String> GetIniSections(const std::filesystem::path& file) {
  return Cache().Read(file, [&](const Profile& p) {
    std::vector<String> names;
    for (const Bytes& name : p.SectionNames()) names.push_back(automation::FromCp1252(name));
    return names;
  });
}

bool WriteIni(const std::filesystem::path& file, StringView section, StringView key, StringView value) {
  const Bytes s = Arg(section), k = Arg(key), v = Arg(value);
  return Cache().Modify(file, [&](Profile& p) { return p.WriteString(s, k, v); });
}

bool WriteIniSection(const std::filesystem::path& file, StringView section, StringView entries) {
  const Bytes s = Arg(section), e = Arg(entries);
  return Cache().Modify(file, [&](Profile& p) { return p.WriteSection(s, e); });
}

bool DeleteIniKey(const std::filesystem::path& file, StringView section, StringView key) {
  const Bytes s = Arg(section), k = Arg(key);
  return Cache().Modify(file, [&](Profile& p) { return p.WriteString(s, k, std::nullopt); });
}

bool DeleteIniSection(const std::filesystem::path& file, StringView section) {
  const Bytes s = Arg(section);
  return Cache().Modify(file, [&](Profile& p) { return p.WriteString(s, std::nullopt, std::nullopt); });
}

bool UpdateIniValue(const std::filesystem::path& file, StringView section, StringView key,
                    const IniValueUpdate& update) {
  const Bytes s = Arg(section), k = Arg(key);
  return Cache().Modify(file, [&](Profile& p) {
    std::optional<String> old;
    if (const ProfileSection* sec = p.FindSection(s)) {
      const ProfileKey* found = sec->FindKey(TrimProfileBlanks(k.substr(0, k.find('\0'))));
      if (found && found->value)
        old = FromBuffer(p.GetString(s, k, std::string_view(), static_cast<uint32_t>(kReadIniBufferSize)));
    }
    const std::optional<String> next = update(old);
    if (!next) return false;
    return p.WriteString(s, k, Arg(*next));
  });
}

void ClearIniCache() { Cache().Clear(); }

void SetDurableIniWrites(bool durable) { durableWrites = durable; }

}  // namespace brevalcore::storage
