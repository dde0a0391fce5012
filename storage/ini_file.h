#pragma once
// The doctor's profile (INI) file, read and written as the platform's profile functions do it
// (see profile.h for the byte-level rules), with three guarantees the platform never gave:
//   - every write is atomic: the new file is written beside the old one, flushed and renamed
//     over it with the old permissions, so a crash leaves the old file or the new one;
//   - writers of the same file serialise on an advisory lock (a hidden ".<name>.lock" file in
//     the same folder), and UpdateIniValue holds it across its read and its write;
//   - a read of an unchanged file (device, inode, size, modification time) is answered from a
//     parse kept in memory; a change made by another process through these functions is seen
//     at the next read (writers raise a change counter kept in the lock file, which readers
//     map), a change made by any other program within kForeignChangeDelayMs.
// Nothing here throws: a missing file, section or key reads as empty, a failed write returns
// false and leaves the file as it was.
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "platform/automation/text.h"

namespace brevalcore::storage {

using automation::String;
using automation::StringView;

// How long a change made without these functions (an editor, a copy) may go unseen: the
// file's stamp is compared at least this often.
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

// Sets `key` in `section`, creating file, section and key as needed.
bool WriteIni(const std::filesystem::path& file, StringView section, StringView key, StringView value);
// Replaces the section's entries with `entries` (separated by NUL or CR LF; entries without
// "=" are dropped). An empty text empties an existing section and creates nothing.
bool WriteIniSection(const std::filesystem::path& file, StringView section, StringView entries);
// Removes one key, or a whole section. Removing what is not there leaves the file untouched.
bool DeleteIniKey(const std::filesystem::path& file, StringView section, StringView key);
bool DeleteIniSection(const std::filesystem::path& file, StringView section);

// Locked read-modify-write of one value. `update` receives the current value as ReadIni would
// return it (nullopt when the key is missing) and returns the new value, or nullopt to leave the
// file as it is. The lock is held from the read to the write, so concurrent updates from other
// processes are never lost. `update` runs with the lock held and must not call these
// functions. Returns false when the file could not be locked or written.
using IniValueUpdate = std::function<std::optional<String>(const std::optional<String>& old)>;
bool UpdateIniValue(const std::filesystem::path& file, StringView section, StringView key,
                    const IniValueUpdate& update);

// Forgets every in-memory parse (tests and benchmarks that need a cold read).
void ClearIniCache();

// Makes every later write wait until the new file and its name are on the disk (fdatasync and
// a folder fsync). Off by default; see ini_file.cpp for why.
void SetDurableIniWrites(bool durable);

}  // namespace brevalcore::storage
