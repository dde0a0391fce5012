#include "storage/profile.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace brevalcore::storage {
namespace {

constexpr unsigned char kCtrlZ = 0x1A;      // the old end-of-file mark counts as a blank
constexpr unsigned char kNoBreakSpace = 0xA0;

// In UTF-8 the no-break space is C2 A0; a lone A0 byte there ends another character.
constexpr std::string_view kUtf8NoBreakSpace = "\xC2\xA0";

bool IsBlankByte(unsigned char c, TextForm form) {
  return form == TextForm::Cp1252 ? IsProfileBlank(c) : c != kNoBreakSpace && IsProfileBlank(c);
}

std::string_view TrimLeftIn(std::string_view text, TextForm form) {
  for (;;) {
    if (!text.empty() && IsBlankByte(static_cast<unsigned char>(text.front()), form)) text.remove_prefix(1);
    else if (form == TextForm::Utf8 && text.starts_with(kUtf8NoBreakSpace)) text.remove_prefix(2);
    else return text;
  }
}

std::string_view TrimRightIn(std::string_view text, TextForm form) {
  for (;;) {
    if (!text.empty() && IsBlankByte(static_cast<unsigned char>(text.back()), form)) text.remove_suffix(1);
    else if (form == TextForm::Utf8 && text.ends_with(kUtf8NoBreakSpace)) text.remove_suffix(2);
    else return text;
  }
}

bool StartsOrEndsWithBlank(std::string_view text, TextForm form) {
  return TrimLeftIn(text, form).size() != text.size() || TrimRightIn(text, form).size() != text.size();
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

// A value read back: at most size - 1 characters and a NUL (see CutProfileValue).
BufferResult CopyValue(std::string_view value, uint32_t size) {
  if (size == 0) return {};
  Bytes out = CutProfileValue(value, size);
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

}  // namespace

bool IsProfileBlank(unsigned char c) {
  return c == ' ' || (c >= '\t' && c <= '\r') || c == kCtrlZ || c == kNoBreakSpace;
}

std::string_view TrimProfileBlanks(std::string_view text, TextForm form) {
  return TrimRightIn(TrimLeftIn(text, form), form);
}

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

Profile::Profile(TextForm form, LineEnd eol) : form_(form), eol_(eol) { AddSection({}); }

std::string_view Profile::TrimLeft(std::string_view text) const { return TrimLeftIn(text, form_); }
std::string_view Profile::TrimRight(std::string_view text) const { return TrimRightIn(text, form_); }
std::string_view Profile::Trim(std::string_view text) const { return TrimProfileBlanks(text, form_); }

// Lengths of the lines Serialize writes.
size_t Profile::HeaderLength(const ProfileSection& s) const { return s.name.empty() ? 0 : s.name.size() + 2 + eol().size(); }
size_t Profile::LineLength(const ProfileKey& k) const {
  return k.name.size() + (k.value ? k.value->size() + 1 : 0) + eol().size();
}

void Profile::AppendLine(Bytes& out, const ProfileKey& k) const {
  out.append(k.name);
  if (k.value) out.append("=").append(*k.value);
  out.append(eol());
}

Profile Profile::Parse(std::string_view bytes, TextForm form, LineEnd eol) {
  Profile profile(form, eol);
  ProfileSection* current = &profile.sections_.front();
  size_t pos = 0;
  const size_t n = bytes.size();
  while (pos < n) {
    const size_t start = pos;
    while (pos < n && bytes[pos] != '\n' && bytes[pos] != '\r') ++pos;
    const std::string_view line = profile.Trim(bytes.substr(start, pos - start));
    while (pos < n && (bytes[pos] == '\n' || bytes[pos] == '\r')) ++pos;
    if (line.empty()) continue;
    // A NUL cuts a name or value short and may leave blanks at its end, or nothing at all.
    if (line.find('\0') != std::string_view::npos) profile.parsedNormal_ = false;

    if (line[0] == '[') {
      const size_t close = line.rfind(']');
      if (close != std::string_view::npos && close > 0) {
        // "[]" is written back without its header, so its keys would join the section above.
        current = &profile.AddSection(Bytes(UpToNul(profile.Trim(line.substr(1, close - 1)))));
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
      key.name = Bytes(UpToNul(profile.TrimRight(line.substr(0, eq))));
      key.value = Bytes(UpToNul(profile.TrimLeft(line.substr(eq + 1))));
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
    total += s.name.size() + 2 + eol().size();
    for (const auto& k : s.keys) total += k.name.size() + 1 + eol().size() + (k.value ? k.value->size() : 0);
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
      *p++ = ']';
      put(eol());
    }
    for (const auto& k : s.keys) {
      put(k.name);
      if (k.value) {
        *p++ = '=';
        put(*k.value);
      }
      put(eol());
    }
  }
  out.resize(static_cast<size_t>(p - out.data()));
}

// ------------------------------------------------------------------ lookups

const ProfileSection* Profile::FindSection(std::string_view name) const {
  const auto it = index_.find(LowerAscii(Trim(UpToNul(name))));
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
  const ProfileKey* k = s ? s->FindKey(Trim(UpToNul(key))) : nullptr;
  if (!k || !k->value) return std::nullopt;
  BufferResult r = CopyValue(*k->value, static_cast<uint32_t>(k->value->size() + 1));
  r.buffer.resize(r.ret);
  return std::move(r.buffer);
}

const Bytes* Profile::RawValue(std::string_view section, std::string_view key) const {
  const ProfileSection* s = FindSection(section);
  const ProfileKey* k = s ? s->FindKey(Trim(UpToNul(key))) : nullptr;
  return k && k->value ? &*k->value : nullptr;
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
  const ProfileKey* k = s ? s->FindKey(Trim(UpToNul(*key))) : nullptr;
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
  if (StartsOrEndsWithBlank(text, form_) ||
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
  const std::string_view trimmed = Trim(UpToNul(name));
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
    ProfileSection* s = FindSectionMutable(Trim(UpToNul(section)));
    if (!s) return false;
    const ProfileKey* k = s->FindKey(Trim(UpToNul(*key)));
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
    splice.inserted.append("[").append(s.name).append("]").append(eol());
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
  if (ProfileSection* s = FindSectionMutable(Trim(UpToNul(section)))) {
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
