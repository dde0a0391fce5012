#include "storage/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "storage/ini_disk.h"
#include "storage/ini_encoding.h"
#include "storage/profile.h"

namespace brevalcore::storage {
namespace {

using disk::Fd;

// A file changed by another program this close to the moment we read it may change again
// within the same tick of the file system's clock without its stamp changing; such a parse is
// checked against the file's bytes until it is older. Our own writers always change the stamp
// (a new file, or an explicit modification time), so this is only for other programs.
constexpr int64_t kRacyWindowNs = 100'000'000;

// How often the file a parse came from is examined (fstat), and how often its name is looked
// up again. A system call costs more than the rest of a settled read, so neither is made at
// every read.
constexpr int64_t kFileCheckIntervalNs = int64_t{kOtherWriterDelayMs} * 1'000'000;
constexpr int64_t kNameCheckIntervalNs = int64_t{kForeignChangeDelayMs} * 1'000'000;

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
  nlink_t links = 0;  // 0 once the file was replaced (renamed over) or removed
  off_t size = 0;
  int64_t mtimeNs = 0;
  int64_t ctimeNs = 0;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

FileStamp StampOf(const struct stat& st) {
  return FileStamp{st.st_dev, st.st_ino, st.st_nlink, st.st_size, disk::MtimeNs(st),
                   static_cast<int64_t>(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec};
}

int64_t NowNs(clockid_t clock) {
  timespec ts{};
  ::clock_gettime(clock, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

int64_t Checked() { return NowNs(CLOCK_MONOTONIC); }

// One file's last known text and its parse, with an open descriptor of the file it came from:
// an fstat of it tells whether the file was rewritten or replaced.
struct Entry {
  Fd watch;
  FileStamp stamp;
  bool racy = false;
  int64_t fileCheckedNs = 0;       // monotonic clock
  int64_t nameCheckedNs = 0;
  bool textIsSerialized = false;   // `text` == profile.Serialize(), as after our own writes
  IniEncoding encoding = IniEncoding::Ansi;
  Bytes text;
  Profile profile;
};

class IniCache {
 public:
  // The file's current parse, or nullptr when it does not exist or cannot be read. Called
  // with mutex_ held. `locked`: the file opened and locked by a writer, read through it.
  Entry* Load(const std::string& path, disk::LockedFile* locked = nullptr) {
    const auto it = entries_.find(path);
    Entry* known = it == entries_.end() ? nullptr : it->second.get();
    if (known && !locked && IsCurrent(*known)) return known;

    struct stat st {};
    Fd fd;
    if (locked) {
      st = locked->st;
    } else {
      fd = disk::OpenForReading(path, st);
      if (!fd) return Forget(path);
    }
    if (known && known->stamp == StampOf(st) && !known->racy) {
      if (!locked) known->watch = std::move(fd);
      known->fileCheckedNs = known->nameCheckedNs = Checked();
      return known;
    }
    if (!locked) disk::RecoverInterruptedWrite(path, st);
    Bytes bytes;
    const int readFd = locked ? locked->fd.get() : fd.get();
    if (!disk::ReadLocked(readFd, bytes, static_cast<size_t>(st.st_size), locked != nullptr) ||
        ::fstat(readFd, &st) != 0)
      return Forget(path);
    IniText decoded = DecodeIniFile(bytes);
    const bool racy = disk::MtimeNs(st) + kRacyWindowNs >= NowNs(CLOCK_REALTIME);
    if (!known || known->encoding != decoded.encoding || known->text != decoded.text ||
        known->profile.line_end() != decoded.eol) {
      auto entry = std::make_unique<Entry>();
      entry->encoding = decoded.encoding;
      entry->profile = Profile::Parse(decoded.text, TextFormOf(decoded.encoding), decoded.eol);
      entry->text = std::move(decoded.text);
      known = entry.get();
      entries_[path] = std::move(entry);
    }
    // Never a duplicate of the writer's descriptor: it would hold the writer's lock.
    known->watch = locked ? Fd(::open(locked->path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW)) : std::move(fd);
    known->stamp = StampOf(st);
    known->racy = racy;
    known->fileCheckedNs = known->nameCheckedNs = Checked();
    return known;
  }

  // Applies `change` to the file's parse under the writer lock and writes the result when it
  // changed anything.
  template <class Change>
  IniWriteResult Modify(const std::filesystem::path& file, Change&& change) {
    std::lock_guard guard(mutex_);
    disk::LockedFile locked;
    if (std::string error = disk::LockForWriting(file.native(), locked); !error.empty())
      return IniWriteResult::Failure(std::move(error));
    const std::string& path = file.native();

    Entry* entry = Load(path, &locked);  // a writer never builds on a stale parse
    std::unique_ptr<Entry> fresh;
    if (!entry) {
      fresh = std::make_unique<Entry>();
      entry = fresh.get();
    }
    std::string refusal;
    if (!change(entry->profile, entry->encoding, refusal)) {  // nothing changed
      if (locked.created && locked.st.st_size == 0) ::unlink(locked.path.c_str());  // nothing to keep
      if (!refusal.empty()) return IniWriteResult::Failure(file.string() + ": " + refusal);
      return {};
    }
    std::string_view bytes = NewText(*entry);
    if (entry->encoding != IniEncoding::Ansi) {
      EncodeIniFile(entry->encoding, bytes, fileBytes_);
      bytes = fileBytes_;
    }
    Fd watch;
    struct stat st {};
    if (std::string error = disk::WriteLockedFile(locked, bytes, durableWrites, watch, st); !error.empty()) {
      entries_.erase(path);  // the parse no longer matches the file
      if (locked.created && locked.st.st_size == 0) ::unlink(locked.path.c_str());
      return IniWriteResult::Failure(std::move(error));
    }
    scratch_ = std::move(entry->text);
    entry->text = std::move(newText_);
    entry->watch = std::move(watch);
    entry->stamp = StampOf(st);
    entry->racy = false;  // our own write: every later one changes the stamp
    entry->fileCheckedNs = entry->nameCheckedNs = Checked();
    if (fresh) entries_[path] = std::move(fresh);
    return {};
  }

  template <class Reader>
  auto Read(const std::filesystem::path& file, Reader&& reader) {
    static const Profile kEmpty;
    std::lock_guard guard(mutex_);
    const Entry* entry = Load(file.native());
    return entry ? reader(entry->profile, entry->encoding) : reader(kEmpty, IniEncoding::Ansi);
  }

  void Clear() {
    std::lock_guard guard(mutex_);
    entries_.clear();
  }

 private:
  // True when the entry still stands for the file: the file it was read from is unchanged and
  // still has its name (checked by name every kNameCheckIntervalNs).
  static bool IsCurrent(Entry& e) {
    if (e.racy || !e.watch) return false;
    const int64_t now = NowNs(CLOCK_MONOTONIC);
    if (now - e.fileCheckedNs < kFileCheckIntervalNs) return true;
    struct stat st {};
    if (::fstat(e.watch.get(), &st) != 0 || StampOf(st) != e.stamp || st.st_nlink == 0) return false;
    e.fileCheckedNs = now;
    return now - e.nameCheckedNs < kNameCheckIntervalNs;
  }

  Entry* Forget(const std::string& path) {
    entries_.erase(path);
    return nullptr;
  }

  // The entry's text after its profile changed: the previous text with the one changed line
  // spliced in where that is possible, else the profile serialised. Built in the buffer of the
  // previous write, whose pages are already mapped.
  const Bytes& NewText(Entry& entry) {
    Bytes& bytes = newText_;
    bytes = std::move(scratch_);
    Profile& profile = entry.profile;
    const bool reparse = profile.needs_reparse();
    const auto& splice = profile.last_splice();
    if (splice && !reparse && entry.textIsSerialized) {
      const Bytes& old = entry.text;
      bytes.resize(old.size() - splice->removed + splice->inserted.size());
      std::memcpy(bytes.data(), old.data(), splice->offset);
      std::memcpy(bytes.data() + splice->offset, splice->inserted.data(), splice->inserted.size());
      const size_t tail = splice->offset + splice->removed;
      std::memcpy(bytes.data() + splice->offset + splice->inserted.size(), old.data() + tail, old.size() - tail);
    } else {
      profile.SerializeTo(bytes);
    }
    if (reparse) profile = Profile::Parse(bytes, profile.form(), profile.line_end());
    entry.textIsSerialized = !reparse;
    return bytes;
  }

  std::mutex mutex_;
  std::unordered_map<std::string, std::unique_ptr<Entry>> entries_;
  Bytes scratch_, newText_, fileBytes_;
};

IniCache& Cache() {
  static IniCache cache;
  return cache;
}

// A profile text for a message: line breaks and NULs shown, long texts cut.
std::string Shown(StringView text) {
  constexpr size_t kShown = 60;
  std::string out = "\"";
  for (size_t i = 0; i < text.size() && i < kShown; ++i) {
    const char16_t c = text[i];
    if (c == u'\r') out += "\\r";
    else if (c == u'\n') out += "\\n";
    else if (c == u'\0') out += "\\0";
    else out += automation::ToUtf8(text.substr(i, 1));
  }
  return out + (text.size() > kShown ? "...\"" : "\"");
}

String ValueOf(const Profile& p, IniEncoding encoding, StringView section, StringView key) {
  const Bytes s = IniArgument(section, encoding), k = IniArgument(key, encoding);
  if (p.form() == TextForm::Cp1252) {
    const BufferResult r = p.GetString(s, k, std::string_view(), kReadIniBufferSize);
    return automation::FromCp1252(std::string_view(r.buffer).substr(0, r.ret));
  }
  // A Unicode file: the platform reads it in characters, then hands the ANSI caller its text.
  const Bytes* raw = p.RawValue(s, k);
  if (!raw) return {};
  const String units = automation::FromUtf8(*raw);
  const String cut = CutProfileValue<char16_t>(units, static_cast<uint32_t>(kReadIniBufferSize));
  return IniResult(automation::ToUtf8(cut), encoding);
}

bool HasValue(const Profile& p, IniEncoding encoding, StringView section, StringView key) {
  return p.RawValue(IniArgument(section, encoding), IniArgument(key, encoding)) != nullptr;
}

// CR LF-joined entries take the file's own line end.
Bytes WithLineEnd(Bytes entries, LineEnd eol) {
  if (eol == LineEnd::CrLf) return entries;
  Bytes out;
  out.reserve(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i] == '\r' && i + 1 < entries.size() && entries[i + 1] == '\n') continue;
    out.push_back(entries[i]);
  }
  return out;
}

// Why a section text for WriteIniSection cannot be written: a lone CR or LF inside an entry,
// or a line that would read back as a section header.
std::string RefusedSectionText(StringView entries) {
  size_t start = 0;
  while (start < entries.size() && entries[start] != u'\0') {
    const size_t nul = std::min(entries.find(u'\0', start), entries.size());
    const StringView piece = entries.substr(start, nul - start);
    for (size_t lineStart = 0; lineStart <= piece.size();) {
      size_t end = piece.find(u"\r\n", lineStart);
      if (end == StringView::npos) end = piece.size();
      const StringView line = piece.substr(lineStart, end - lineStart);
      if (line.find_first_of(u"\r\n") != StringView::npos) return "the entry " + Shown(line) + " holds a line break";
      const size_t first = line.find_first_not_of(u" \t");
      if (first != StringView::npos && line[first] == u'[' && line.find(u']', first) != StringView::npos)
        return "the entry " + Shown(line) + " would start a new section";
      lineStart = end + 2;
    }
    start = nul + 1;
  }
  return {};
}

IniWriteResult Refused(const std::filesystem::path& file, const std::string& why) {
  return IniWriteResult::Failure(file.string() + ": " + why + "; nothing was written");
}

}  // namespace

std::string RefusedIniText(std::string_view what, StringView text) {
  if (text.find_first_of(StringView(u"\r\n\0", 3)) == StringView::npos) return {};
  return "the " + std::string(what) + " " + Shown(text) + " holds a line break or a NUL";
}

String ReadIni(const std::filesystem::path& file, StringView section, StringView key) {
  return Cache().Read(file, [&](const Profile& p, IniEncoding e) { return ValueOf(p, e, section, key); });
}

String ReadIniSection(const std::filesystem::path& file, StringView section) {
  return Cache().Read(file, [&](const Profile& p, IniEncoding e) {
    return IniResult(p.SectionEntries(IniArgument(section, e)), e);
  });
}

std::vector<String> GetIniSections(const std::filesystem::path& file) {
  return Cache().Read(file, [&](const Profile& p, IniEncoding e) {
    std::vector<String> names;
    for (const Bytes& name : p.SectionNames()) names.push_back(IniResult(name, e));
    return names;
  });
}

IniWriteResult WriteIni(const std::filesystem::path& file, StringView section, StringView key, StringView value) {
  for (const auto& [what, text] : {std::pair{"section", section}, {"key", key}, {"value", value}})
    if (std::string why = RefusedIniText(what, text); !why.empty()) return Refused(file, why);
  return Cache().Modify(file, [&](Profile& p, IniEncoding e, std::string&) {
    return p.WriteString(IniArgument(section, e), IniArgument(key, e), IniArgument(value, e));
  });
}

IniWriteResult WriteIniSection(const std::filesystem::path& file, StringView section, StringView entries) {
  if (std::string why = RefusedIniText("section", section); !why.empty()) return Refused(file, why);
  if (std::string why = RefusedSectionText(entries); !why.empty()) return Refused(file, why);
  return Cache().Modify(file, [&](Profile& p, IniEncoding e, std::string&) {
    return p.WriteSection(IniArgument(section, e), WithLineEnd(IniArgument(entries, e), p.line_end()));
  });
}

IniWriteResult DeleteIniKey(const std::filesystem::path& file, StringView section, StringView key) {
  for (const auto& [what, text] : {std::pair{"section", section}, {"key", key}})
    if (std::string why = RefusedIniText(what, text); !why.empty()) return Refused(file, why);
  return Cache().Modify(file, [&](Profile& p, IniEncoding e, std::string&) {
    return p.WriteString(IniArgument(section, e), IniArgument(key, e), std::nullopt);
  });
}

IniWriteResult DeleteIniSection(const std::filesystem::path& file, StringView section) {
  if (std::string why = RefusedIniText("section", section); !why.empty()) return Refused(file, why);
  return Cache().Modify(file, [&](Profile& p, IniEncoding e, std::string&) {
    return p.WriteString(IniArgument(section, e), std::nullopt, std::nullopt);
  });
}

IniWriteResult UpdateIniValue(const std::filesystem::path& file, StringView section, StringView key,
                              const IniValueUpdate& update) {
  for (const auto& [what, text] : {std::pair{"section", section}, {"key", key}})
    if (std::string why = RefusedIniText(what, text); !why.empty()) return Refused(file, why);
  return Cache().Modify(file, [&](Profile& p, IniEncoding e, std::string& refusal) {
    std::optional<String> old;
    if (HasValue(p, e, section, key)) old = ValueOf(p, e, section, key);
    const std::optional<String> next = update(old);
    if (!next) return false;
    if (refusal = RefusedIniText("value", *next); !refusal.empty()) return false;
    return p.WriteString(IniArgument(section, e), IniArgument(key, e), IniArgument(*next, e));
  });
}

void ClearIniCache() { Cache().Clear(); }

void SetDurableIniWrites(bool durable) { durableWrites = durable; }

}  // namespace brevalcore::storage
