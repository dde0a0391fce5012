#pragma once
// The doctor's profile (INI) file, read and written as the platform's profile functions do it
// (see profile.h for the byte-level rules, ini_encoding.h for the encodings), with guarantees
// the platform never gave:
//   - every write is atomic: a killed writer leaves the old file or the new one. Normally the
//     new file is made beside the old one and renamed over it with the old owner and mode;
//     where that is impossible or would change the file (a folder we may not write, a file of
//     another owner, a file with hard links) it is rewritten in place, its old bytes kept in
//     a journal in the user's state folder until the write is complete (see ini_disk.h);
//   - a write keeps what the file is: its encoding and line ends, its owner and mode, the
//     symbolic link that names it (the link's target is written); folders, FIFOs and devices
//     are refused, and so are files with no write permission bit (the read-only attribute);
//   - writers of the same file serialise on a lock of the file itself, and UpdateIniValue
//     holds it across its read and its write; no helper file is made beside it;
//   - a read of an unchanged file is answered from a parse kept in memory without a system
//     call: a write of this process is seen at once, a file that another process replaced or
//     rewrote within kOtherWriterDelayMs (the file is examined that often), a file that a
//     symbolic link or a renamed folder now stands for within kForeignChangeDelayMs. A
//     read-modify-write (UpdateIniValue, every write) always starts from the file as it is;
//   - no section, key or value with a line break or a NUL is ever written: such a write is
//     refused, naming the offending text.
// Nothing here throws: a missing file, section or key reads as empty, a failed write returns
// a result naming the file and the reason and leaves the file as it was.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/automation/text.h"

namespace brevalcore::storage {

using automation::String;
using automation::StringView;

// How long a change made by another process may go unseen by a read of this one.
inline constexpr int kOtherWriterDelayMs = 2;

// How long a change of what the name stands for (a symbolic link pointed elsewhere, a folder
// renamed) may go unseen: the name is looked up again at least this often.
inline constexpr int kForeignChangeDelayMs = 100;

// ReadIni's buffer: values of more than 254 characters come back cut to 254.
inline constexpr size_t kReadIniBufferSize = 255;
inline constexpr size_t kReadIniMaxLength = kReadIniBufferSize - 1;

// The value of `key` in `section`, or "" (cut to kReadIniMaxLength characters).
String ReadIni(const std::filesystem::path& file, StringView section, StringView key);
// The whole section as "key=value" entries each followed by one NUL, or "" (never cut).
String ReadIniSection(const std::filesystem::path& file, StringView section);
// The section names in file order (the unnamed section before the first header is not listed).
std::vector<String> GetIniSections(const std::filesystem::path& file);

// The outcome of a write: true, or false with the reason ("<file>: <why>").
class IniWriteResult {
 public:
  IniWriteResult() = default;
  static IniWriteResult Failure(std::string why) {
    IniWriteResult r;
    r.error_ = why.empty() ? std::string("unknown failure") : std::move(why);
    return r;
  }
  explicit operator bool() const noexcept { return error_.empty(); }
  const std::string& error() const { return error_; }

 private:
  std::string error_;
};

// Sets `key` in `section`, creating file, section and key as needed.
IniWriteResult WriteIni(const std::filesystem::path& file, StringView section, StringView key, StringView value);
// Replaces the section's entries with `entries`: NUL-separated pieces (those without "=" are
// dropped), or lines joined by CR LF, written as they stand (so lines without "=" stay, as the
// platform keeps them) with the file's own line end. An empty text empties an existing section
// and creates nothing. A line that would start a new section is refused.
IniWriteResult WriteIniSection(const std::filesystem::path& file, StringView section, StringView entries);
// Removes one key, or a whole section. Removing what is not there leaves the file untouched.
IniWriteResult DeleteIniKey(const std::filesystem::path& file, StringView section, StringView key);
IniWriteResult DeleteIniSection(const std::filesystem::path& file, StringView section);

// Locked read-modify-write of one value. `update` receives the current value as ReadIni would
// return it (nullopt when the key is missing) and returns the new value, or nullopt to leave the
// file as it is. The lock is held from the read to the write, so concurrent updates from other
// processes are never lost. `update` runs with the lock held and must not call these
// functions. Fails when the file could not be locked or written.
using IniValueUpdate = std::function<std::optional<String>(const std::optional<String>& old)>;
IniWriteResult UpdateIniValue(const std::filesystem::path& file, StringView section, StringView key,
                    const IniValueUpdate& update);

// Why a section, key or value cannot be written ("" when it can): a line break or a NUL.
std::string RefusedIniText(std::string_view what, StringView text);

// Forgets every in-memory parse (tests and benchmarks that need a cold read).
void ClearIniCache();

// Makes every later write wait until the new file and its name are on the disk (fdatasync and
// a folder fsync). Off by default; see ini_file.cpp for why.
void SetDurableIniWrites(bool durable);

}  // namespace brevalcore::storage
