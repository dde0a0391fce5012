#include "storage/profile.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace brevalcore::storage {
namespace {

constexpr unsigned char kCtrlZ = 0x1A;      // the old end-of-file mark counts as a blank
constexpr unsigned char kNoBreakSpace = 0xA0;

std::string_view TrimLeft(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsProfileBlank(static_cast<unsigned char>(text[i]))) ++i;
  return text.substr(i);
}

std::string_view TrimRight(std::string_view text) {
  size_t n = text.size();
  while (n > 0 && IsProfileBlank(static_cast<unsigned char>(text[n - 1]))) --n;
  return text.substr(0, n);
}

// Names and values are C strings to the platform: a NUL ends them.
std::string_view UpToNul(std::string_view text) {
  const size_t nul = text.find('\0');
  return nul == std::string_view::npos ? text : text.substr(0, nul);
}

// Lists of names (sections, keys): cut inside the last piece, one NUL after it.
BufferResult ListResult(std::string_view list, uint32_t size) {
  if (size == 0) return {};
  if (size == 1) return {0, Bytes(1, '\0')};
  if (list.size() <= size - 2) return {static_cast<uint32_t>(list.size()), Bytes(list) + '\0'};
  return {size - 2, Bytes(list.substr(0, size - 2)) + '\0'};
}

// A value or default copied into the buffer: at most size - 1 bytes and a NUL.
BufferResult CopyResult(std::string_view text, uint32_t size) {
  if (size == 0) return {};
  const size_t n = std::min<size_t>(text.size(), size - 1);
  return {static_cast<uint32_t>(n), Bytes(text.substr(0, n)) + '\0'};
}

// A value read back: one pair of matching quotes comes off. When the buffer is too small for
// the unquoted text, the closing quote is only removed if the copy could still reach it.
BufferResult CopyValue(std::string_view value, uint32_t size) {
  if (size == 0) return {};
  bool quoted = false;
  if (value.size() > 1 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
    quoted = true;
    value.remove_prefix(1);
  }
  Bytes out(value.substr(0, std::min<size_t>(value.size(), size - 1)));
  if (quoted && size >= value.size() && !out.empty()) out.pop_back();
  const auto n = static_cast<uint32_t>(out.size());
  out.push_back('\0');
  return {n, std::move(out)};
}

// The default: trailing spaces (only spaces) come off, but never its first character.
std::string_view TrimDefault(OptBytes defaultValue) {
  if (!defaultValue) return {};
  std::string_view d = UpToNul(*defaultValue);
  size_t n = d.size();
  while (n > 1 && d[n - 1] == ' ') --n;
  return d.substr(0, n);
}

bool IsComment(const ProfileKey& key) { return !key.name.empty() && key.name[0] == ';'; }

// Lengths of the lines Serialize writes.
size_t HeaderLength(const ProfileSection& s) { return s.name.empty() ? 0 : s.name.size() + 4; }
size_t LineLength(const ProfileKey& k) { return k.name.size() + (k.value ? k.value->size() + 1 : 0) + 2; }

void AppendLine(Bytes& out, const ProfileKey& k) {
  out.append(k.name);
  if (k.value) out.append("=").append(*k.value);
  out.append("\r\n");
}

}  // namespace

bool IsProfileBlank(unsigned char c) {
  return c == ' ' || (c >= '\t' && c <= '\r') || c == kCtrlZ || c == kNoBreakSpace;
}

std::string_view TrimProfileBlanks(std::string_view text) { return TrimRight(TrimLeft(text)); }

Bytes LowerAscii(std::string_view text) {
  Bytes lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

// ------------------------------------------------------------------ ProfileSection

const ProfileKey* ProfileSection::FindKey(std::string_view trimmedName) const {
  const auto it = index_.find(LowerAscii(trimmedName));
  return it == index_.end() ? nullptr : &keys[it->second];
}

ProfileKey* ProfileSection::FindKey(std::string_view trimmedName) {
  return const_cast<ProfileKey*>(std::as_const(*this).FindKey(trimmedName));
}

void ProfileSection::AppendKey(ProfileKey key) {
  index_.try_emplace(LowerAscii(key.name), keys.size());
  keys.push_back(std::move(key));
}

void ProfileSection::ClearKeys() {
  keys.clear();
  index_.clear();
}

void ProfileSection::EraseKey(size_t index) {
  keys.erase(keys.begin() + static_cast<std::ptrdiff_t>(index));
  Reindex();
}

void ProfileSection::Reindex() {
  index_.clear();
  for (size_t i = 0; i < keys.size(); ++i) index_.try_emplace(LowerAscii(keys[i].name), i);
}

// ------------------------------------------------------------------ Profile: parse, write out

Profile::Profile() { AddSection({}); }

Profile Profile::Parse(std::string_view bytes) {
  Profile profile;
  ProfileSection* current = &profile.sections_.front();
  size_t pos = 0;
  const size_t n = bytes.size();
  while (pos < n) {
    const size_t start = pos;
    while (pos < n && bytes[pos] != '\n' && bytes[pos] != '\r') ++pos;
    const std::string_view line = TrimProfileBlanks(bytes.substr(start, pos - start));
    while (pos < n && (bytes[pos] == '\n' || bytes[pos] == '\r')) ++pos;
    if (line.empty()) continue;
    // A NUL cuts a name or value short and may leave blanks at its end, or nothing at all.
    if (line.find('\0') != std::string_view::npos) profile.parsedNormal_ = false;

    if (line[0] == '[') {
      const size_t close = line.rfind(']');
      if (close != std::string_view::npos && close > 0) {
        // "[]" is written back without its header, so its keys would join the section above.
        current = &profile.AddSection(Bytes(UpToNul(TrimProfileBlanks(line.substr(1, close - 1)))));
        if (current->name.empty()) profile.parsedNormal_ = false;
        continue;
      }
      // no closing bracket: an ordinary line of the current section
    }
    ProfileKey key;
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      key.name = Bytes(UpToNul(line));
    } else {
      key.name = Bytes(UpToNul(TrimRight(line.substr(0, eq))));
      key.value = Bytes(UpToNul(TrimLeft(line.substr(eq + 1))));
    }
    current->AppendKey(std::move(key));
  }
  return profile;
}

Bytes Profile::Serialize() const {
  Bytes out;
  SerializeTo(out);
  return out;
}

void Profile::SerializeTo(Bytes& out) const {
  size_t total = 0;
  for (const auto& s : sections_) {
    total += s.name.size() + 4;
    for (const auto& k : s.keys) total += k.name.size() + 3 + (k.value ? k.value->size() : 0);  // "=", CR LF
  }
  // Sized once and filled by hand: appending piece by piece costs twice as much on the large
  // histories that are rewritten at every banner shown.
  out.resize(total);
  char* p = out.data();
  auto put = [&p](std::string_view text) {
    std::memcpy(p, text.data(), text.size());
    p += text.size();
  };
  for (const auto& s : sections_) {
    if (!s.name.empty()) {
      *p++ = '[';
      put(s.name);
      put("]\r\n");
    }
    for (const auto& k : s.keys) {
      put(k.name);
      if (k.value) {
        *p++ = '=';
        put(*k.value);
      }
      put("\r\n");
    }
  }
  out.resize(static_cast<size_t>(p - out.data()));
}

// ------------------------------------------------------------------ lookups

const ProfileSection* Profile::FindSection(std::string_view name) const {
  const auto it = index_.find(LowerAscii(TrimProfileBlanks(UpToNul(name))));
  return it == index_.end() ? nullptr : &sections_[it->second];
}

ProfileSection* Profile::FindSectionMutable(std::string_view trimmedName) {
  const auto it = index_.find(LowerAscii(trimmedName));
  return it == index_.end() ? nullptr : &sections_[it->second];
}

ProfileSection& Profile::AddSection(Bytes name) {
  index_.try_emplace(LowerAscii(name), sections_.size());
  sections_.emplace_back();
  sections_.back().name = std::move(name);
  return sections_.back();
}

void Profile::Reindex() {
  index_.clear();
  for (size_t i = 0; i < sections_.size(); ++i) index_.try_emplace(LowerAscii(sections_[i].name), i);
}

std::optional<Bytes> Profile::Value(std::string_view section, std::string_view key) const {
  const ProfileSection* s = FindSection(section);
  const ProfileKey* k = s ? s->FindKey(TrimProfileBlanks(UpToNul(key))) : nullptr;
  if (!k || !k->value) return std::nullopt;
  BufferResult r = CopyValue(*k->value, static_cast<uint32_t>(k->value->size() + 1));
  r.buffer.resize(r.ret);
  return std::move(r.buffer);
}

Bytes Profile::SectionEntries(std::string_view section) const {
  Bytes list;
  const ProfileSection* s = FindSection(section);
  if (!s) return list;
  for (const auto& k : s->keys) {
    if (IsComment(k) || (k.name.empty() && !k.value)) continue;
    list.append(k.name);
    if (k.value) list.append("=").append(*k.value);
    list.push_back('\0');
  }
  return list;
}

std::vector<Bytes> Profile::SectionNames() const {
  std::vector<Bytes> names;
  for (const auto& s : sections_)
    if (!s.name.empty()) names.push_back(s.name);
  return names;
}

// ------------------------------------------------------------------ the platform's output calls

BufferResult Profile::GetString(OptBytes section, OptBytes key, OptBytes defaultValue, uint32_t size) const {
  if (!section) return GetSectionNames(size);
  const std::string_view fallback = TrimDefault(defaultValue);
  const ProfileSection* s = FindSection(*section);
  if (!key) {
    // The section's key names; an empty list gives the default.
    Bytes list;
    if (s) {
      for (const auto& k : s->keys) {
        if (!k.value || k.name.empty() || IsComment(k)) continue;
        list.append(k.name).push_back('\0');
      }
    }
    if (list.empty()) return CopyResult(fallback, size);
    return ListResult(list, size);
  }
  const ProfileKey* k = s ? s->FindKey(TrimProfileBlanks(UpToNul(*key))) : nullptr;
  if (!k || !k->value) return CopyResult(fallback, size);
  return CopyValue(*k->value, size);
}

BufferResult Profile::GetSection(std::string_view section, uint32_t size) const {
  const Bytes list = SectionEntries(section);
  if (size == 0) return {};
  if (size == 1) return {0, Bytes(1, '\0')};
  if (list.empty()) return {0, Bytes(2, '\0')};
  if (list.size() <= size - 2) return {static_cast<uint32_t>(list.size()), list + '\0'};
  // Cut inside an entry, ending with two NULs.
  return {size - 2, list.substr(0, size - 2) + Bytes(2, '\0')};
}

BufferResult Profile::GetSectionNames(uint32_t size) const {
  Bytes list;
  for (const auto& s : sections_)
    if (!s.name.empty()) list.append(s.name).push_back('\0');
  return ListResult(list, size);
}

// ------------------------------------------------------------------ writes

void Profile::NoteStored(std::string_view text, bool isSectionName) {
  // A stored text survives a write and a read unchanged only when the parser would give it
  // back: no blanks at its ends, no line breaks or NULs, and for key names no "=" or leading
  // "[" (which would turn the line into a header).
  if (text.empty()) return;
  if (IsProfileBlank(static_cast<unsigned char>(text.front())) ||
      IsProfileBlank(static_cast<unsigned char>(text.back())) ||
      text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos ||
      (!isSectionName && text.front() == '[')) {
    needsReparse_ = true;
  }
}

ProfileKey& Profile::AddKey(std::string_view section, std::string_view key, bool always) {
  // New names keep their trailing blanks, as the platform writes them ("[B ]", "k =v").
  const std::string_view sectionArg = TrimLeft(UpToNul(section));
  const std::string_view keyArg = TrimLeft(UpToNul(key));
  ProfileSection* s = FindSectionMutable(TrimRight(sectionArg));
  if (!s) {
    NoteStored(sectionArg, true);
    if (sectionArg.empty()) needsReparse_ = true;
    s = &AddSection(Bytes(sectionArg));
  }
  lastAddSection_ = static_cast<size_t>(s - sections_.data());
  lastAddCreatedKey_ = false;
  if (!always) {
    if (ProfileKey* k = s->FindKey(TrimRight(keyArg))) return *k;
  }
  lastAddCreatedKey_ = true;
  NoteStored(keyArg, false);
  if (keyArg.find('=') != std::string_view::npos) needsReparse_ = true;
  s->AppendKey(ProfileKey{Bytes(keyArg), std::nullopt});
  return s->keys.back();
}

void Profile::SetValue(ProfileKey& key, std::string_view value) {
  NoteStored(value, true);
  // "[x" without "]" was read as a key; with a value holding "]" its line becomes a header.
  if (!key.name.empty() && key.name[0] == '[') needsReparse_ = true;
  key.value = Bytes(value);
}

bool Profile::DeleteSection(std::string_view name) {
  const std::string_view trimmed = TrimProfileBlanks(UpToNul(name));
  const auto it = index_.find(LowerAscii(trimmed));
  if (it == index_.end()) return false;
  if (it->second == 0) {
    // The unnamed section heads every file; dropping it only drops its lines.
    sections_.front().ClearKeys();
    needsReparse_ = true;
    return true;
  }
  sections_.erase(sections_.begin() + static_cast<std::ptrdiff_t>(it->second));
  Reindex();
  return true;
}

size_t Profile::OffsetOf(size_t section, size_t key) const {
  size_t offset = 0;
  for (size_t i = 0; i < section; ++i) {
    offset += HeaderLength(sections_[i]);
    for (const auto& k : sections_[i].keys) offset += LineLength(k);
  }
  offset += HeaderLength(sections_[section]);
  for (size_t j = 0; j < key; ++j) offset += LineLength(sections_[section].keys[j]);
  return offset;
}

bool Profile::WriteString(std::string_view section, OptBytes key, OptBytes value) {
  needsReparse_ = false;
  splice_.reset();
  if (!key) return DeleteSection(section);
  if (!value) {
    ProfileSection* s = FindSectionMutable(TrimProfileBlanks(UpToNul(section)));
    if (!s) return false;
    const ProfileKey* k = s->FindKey(TrimProfileBlanks(UpToNul(*key)));
    if (!k) return false;
    const auto index = static_cast<size_t>(k - s->keys.data());
    splice_ = Splice{OffsetOf(static_cast<size_t>(s - sections_.data()), index), LineLength(*k), {}};
    s->EraseKey(index);
    return true;
  }
  const std::string_view newValue = TrimLeft(UpToNul(*value));
  const size_t sectionCount = sections_.size();
  ProfileKey& k = AddKey(section, *key, false);
  if (k.value && *k.value == newValue) return false;
  const size_t removed = lastAddCreatedKey_ ? 0 : LineLength(k);
  SetValue(k, newValue);
  const ProfileSection& s = sections_[lastAddSection_];
  Splice splice{OffsetOf(lastAddSection_, static_cast<size_t>(&k - s.keys.data())), removed, {}};
  if (sections_.size() != sectionCount) {  // a new section: its header goes in too
    splice.offset -= HeaderLength(s);
    splice.inserted.append("[").append(s.name).append("]\r\n");
  }
  AppendLine(splice.inserted, k);
  splice_ = std::move(splice);
  return true;
}

bool Profile::WriteSection(std::string_view section, OptBytes entries) {
  needsReparse_ = false;
  splice_.reset();
  if (!entries) return DeleteSection(section);
  bool changed = false;
  if (ProfileSection* s = FindSectionMutable(TrimProfileBlanks(UpToNul(section)))) {
    s->ClearKeys();
    changed = true;
  }
  std::string_view rest = *entries;
  while (!rest.empty() && rest.front() != '\0') {
    const size_t end = std::min(rest.find('\0'), rest.size());
    const std::string_view entry = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    const size_t eq = entry.find('=');
    if (eq == std::string_view::npos) continue;  // entries without "=" are dropped
    const std::string_view newValue = TrimLeft(entry.substr(eq + 1));
    SetValue(AddKey(section, entry.substr(0, eq), true), newValue);
    changed = true;
  }
  return changed;
}

}  // namespace brevalcore::storage
