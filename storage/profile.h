#pragma once
// The profile-file core: parses the text of an INI file (Windows-1252 bytes, as the platform's
// A-functions read an ANSI file, or UTF-8 for the Unicode files) into sections and keys, answers the platform's five profile calls
// exactly as they behave, and writes the file back in the platform's normalised form. It never
// touches the disk: ini_file.cpp feeds it bytes and stores what it serialises.
//
// How a file is read:
//   - lines end at any run of CR and LF; each line is trimmed of blanks (space, tab, CR, LF,
//     VT, FF, Ctrl-Z, no-break space); blank lines are dropped;
//   - "[" starts a section header ending at the line's last "]", the name inside trimmed; a
//     "[" line without a closing "]" is an ordinary line;
//   - other lines are keys: name up to the first "=", value after it, both trimmed; a line
//     without "=" is a key without a value (kept, listed by the section call, never found as a
//     value); a NUL byte ends a name or value;
//   - lines before the first header belong to an unnamed section that always comes first;
//   - names match without regard to ASCII case, and only the first of duplicates is used.
// Written lines end as the file's did (see LineEnd); only the blank test depends on the text
// form: in UTF-8 the no-break space is the two bytes C2 A0, and a lone A0 byte is part of
// another character.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace brevalcore::storage {

// Bytes in the file's code page. std::nullopt stands for the platform's NULL argument.
using Bytes = std::string;
using OptBytes = std::optional<std::string_view>;

enum class TextForm { Cp1252, Utf8 };
// The line end a file is written with: CR LF as the platform writes, or LF for a file whose
// every line ends in LF alone (one written on Linux).
enum class LineEnd { CrLf, Lf };

struct ProfileKey {
  Bytes name;
  std::optional<Bytes> value;  // nullopt: a line without "="
};

struct ProfileSection {
  Bytes name;  // "" for the unnamed section before the first header
  std::vector<ProfileKey> keys;

  // The first key of that name (argument already trimmed), or nullptr.
  const ProfileKey* FindKey(std::string_view trimmedName) const;
  ProfileKey* FindKey(std::string_view trimmedName);
  void AppendKey(ProfileKey key);
  void ClearKeys();
  void EraseKey(size_t index);

 private:
  void Reindex();
  // Lower-case (ASCII) name -> index of its first key.
  std::unordered_map<Bytes, size_t> index_;
};

// What an output call of the platform leaves behind: its return value and the bytes it wrote
// into the caller's buffer, from the start up to the last byte written.
struct BufferResult {
  uint32_t ret = 0;
  Bytes buffer;
};

class Profile {
 public:
  explicit Profile(TextForm form = TextForm::Cp1252, LineEnd eol = LineEnd::CrLf);  // just the unnamed section
  static Profile Parse(std::string_view bytes, TextForm form = TextForm::Cp1252, LineEnd eol = LineEnd::CrLf);
  // The file as the platform writes it: "[name]" and "key=value" lines ending in the file's
  // line end (CR LF unless it was LF throughout), the unnamed section without a header.
  Bytes Serialize() const;
  // The same into `out`, reusing its storage (large files are rewritten often).
  void SerializeTo(Bytes& out) const;

  const std::vector<ProfileSection>& sections() const { return sections_; }
  TextForm form() const { return form_; }
  LineEnd line_end() const { return eol_; }
  std::string_view eol() const { return eol_ == LineEnd::Lf ? std::string_view("\n") : std::string_view("\r\n"); }
  // The stored value of a key as it stands in the file (quotes kept), or nullptr.
  const Bytes* RawValue(std::string_view section, std::string_view key) const;
  // The first section of that name (argument trimmed here), or nullptr.
  const ProfileSection* FindSection(std::string_view name) const;

  // --- the platform's output calls, for a buffer of `size` bytes
  BufferResult GetString(OptBytes section, OptBytes key, OptBytes defaultValue, uint32_t size) const;
  BufferResult GetSection(std::string_view section, uint32_t size) const;
  BufferResult GetSectionNames(uint32_t size) const;

  // --- uncut results
  // The value as GetString returns it with an unlimited buffer (quotes removed); nullopt when
  // the key is missing or has no value.
  std::optional<Bytes> Value(std::string_view section, std::string_view key) const;
  // Entries "key=value" each followed by NUL, as GetSection lists them.
  Bytes SectionEntries(std::string_view section) const;
  std::vector<Bytes> SectionNames() const;

  // --- the platform's writes. Each returns whether the file must be written again; a call
  // that changes nothing (the same value, a missing key deleted) leaves the file untouched.
  // WritePrivateProfileString: a null key deletes the section, a null value deletes the key.
  bool WriteString(std::string_view section, OptBytes key, OptBytes value);
  // WritePrivateProfileSection: `entries` are NUL-separated "key=value" pieces ending at the
  // first empty piece; null deletes the section.
  bool WriteSection(std::string_view section, OptBytes entries);

  // When the last write replaced, added or removed a single line, how to turn the previous
  // Serialize() into the new one without serialising everything again.
  struct Splice {
    size_t offset = 0;
    size_t removed = 0;
    Bytes inserted;
  };
  const std::optional<Splice>& last_splice() const { return splice_; }

  // True when the last write stored names or values whose written form parses differently
  // (trailing blanks, line breaks, NULs...); the caller then parses what it serialised, so the
  // model always equals what the next read of the file will see.
  // A parse of a file with NUL bytes or "[]" headers is never in that form either.
  bool needs_reparse() const { return needsReparse_ || !parsedNormal_; }

 private:
  ProfileSection* FindSectionMutable(std::string_view trimmedName);
  ProfileSection& AddSection(Bytes name);
  void Reindex();
  bool DeleteSection(std::string_view name);
  ProfileKey& AddKey(std::string_view section, std::string_view key, bool always);
  void NoteStored(std::string_view text, bool isSectionName);
  void SetValue(ProfileKey& key, std::string_view value);
  size_t OffsetOf(size_t section, size_t key) const;
  size_t HeaderLength(const ProfileSection& s) const;
  size_t LineLength(const ProfileKey& k) const;
  void AppendLine(Bytes& out, const ProfileKey& k) const;
  std::string_view Trim(std::string_view text) const;
  std::string_view TrimLeft(std::string_view text) const;
  std::string_view TrimRight(std::string_view text) const;

  TextForm form_ = TextForm::Cp1252;
  LineEnd eol_ = LineEnd::CrLf;

  std::vector<ProfileSection> sections_;
  std::unordered_map<Bytes, size_t> index_;  // lower-case name -> first section
  bool needsReparse_ = false;
  bool parsedNormal_ = true;
  std::optional<Splice> splice_;
  size_t lastAddSection_ = 0;  // where AddKey put or found its key
  bool lastAddCreatedKey_ = false;
};

// Blank characters of the profile functions and ASCII case folding, shared with the tests.
bool IsProfileBlank(unsigned char c);
std::string_view TrimProfileBlanks(std::string_view text, TextForm form = TextForm::Cp1252);
Bytes LowerAscii(std::string_view text);

// A stored value as the platform's read copies it into a buffer of `size` characters: one pair
// of matching quotes comes off, and when the buffer is too small for the unquoted text the
// closing quote is only removed if the copy could still reach it. Returns the characters
// before the buffer's NUL. Works on bytes (ANSI files) and on UTF-16 code units (Unicode
// files, whose reads the platform cuts in characters).
template <class Char>
std::basic_string<Char> CutProfileValue(std::basic_string_view<Char> value, uint32_t size) {
  if (size == 0) return {};
  bool quoted = false;
  if (value.size() > 1 && (value[0] == Char('"') || value[0] == Char('\'')) && value.back() == value[0]) {
    quoted = true;
    value.remove_prefix(1);
  }
  std::basic_string<Char> out(value.substr(0, std::min<size_t>(value.size(), size - 1)));
  if (quoted && size >= value.size() && !out.empty()) out.pop_back();
  return out;
}

}  // namespace brevalcore::storage
