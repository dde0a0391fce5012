// Fuzz target for the profile-file core. Input: one byte choosing a write, three length bytes,
// then the section, key and value arguments and the file's bytes. Beyond not crashing it checks
// what the INI cache relies on: after any write, the model it keeps answers every lookup as a
// fresh parse of the written bytes does, a one-line splice gives the same bytes as a full
// rewrite, and every output call stays inside its buffer. The file's bytes also go through the
// encoding layer, which must give back exactly the bytes it read.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "storage/ini_encoding.h"
#include "storage/profile.h"

namespace {

using brevalcore::storage::BufferResult;
using brevalcore::storage::Bytes;
using brevalcore::storage::Profile;

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckBounds(const BufferResult& r, uint32_t size) {
  Check(r.buffer.size() <= size);
  Check(size == 0 || r.ret < size);
}

void CheckSameAnswers(const Profile& a, const Profile& b, std::string_view section, std::string_view key) {
  const auto names = a.SectionNames();
  Check(names == b.SectionNames());
  for (const Bytes& name : names) Check(a.SectionEntries(name) == b.SectionEntries(name));
  Check(a.SectionEntries("") == b.SectionEntries(""));
  Check(a.Value(section, key) == b.Value(section, key));
  Check(a.GetString(section, std::nullopt, "d", 300).buffer == b.GetString(section, std::nullopt, "d", 300).buffer);
}

// A file read and written back untouched keeps its bytes, whatever its encoding (a UTF-16
// file's odd last byte excepted: it is not a character).
void CheckEncodingRoundTrip(std::string_view file) {
  using brevalcore::storage::IniEncoding;
  const auto decoded = brevalcore::storage::DecodeIniFile(file);
  const bool utf16 = decoded.encoding == IniEncoding::Utf16Le || decoded.encoding == IniEncoding::Utf16Be;
  Bytes encoded;
  brevalcore::storage::EncodeIniFile(decoded.encoding, decoded.text, encoded);
  Check(encoded == file.substr(0, utf16 ? file.size() & ~size_t{1} : file.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const uint8_t op = data[0];
  std::string_view rest(reinterpret_cast<const char*>(data + 4), size - 4);
  auto take = [&rest](size_t n) {
    const std::string_view piece = rest.substr(0, std::min(n, rest.size()));
    rest.remove_prefix(piece.size());
    return piece;
  };
  const std::string_view section = take(data[1] % 16);
  const std::string_view key = take(data[2] % 16);
  const std::string_view value = take(data[3] % 32);
  const std::string_view file = rest;

  CheckEncodingRoundTrip(file);
  Profile profile = Profile::Parse(file);
  const bool normalFile = !profile.needs_reparse();
  for (uint32_t bufferSize : {0u, 1u, 2u, 3u, 7u, 255u}) {
    CheckBounds(profile.GetString(section, key, value, bufferSize), bufferSize);
    CheckBounds(profile.GetString(section, std::nullopt, value, bufferSize), bufferSize);
    CheckBounds(profile.GetString(std::nullopt, std::nullopt, value, bufferSize), bufferSize);
    CheckBounds(profile.GetSection(section, bufferSize), bufferSize);
    CheckBounds(profile.GetSectionNames(bufferSize), bufferSize);
  }

  const Bytes before = profile.Serialize();
  bool changed = false;
  switch (op % 6) {
    case 0: changed = profile.WriteString(section, key, value); break;
    case 1: changed = profile.WriteString(section, key, std::nullopt); break;
    case 2: changed = profile.WriteString(section, std::nullopt, std::nullopt); break;
    case 3: changed = profile.WriteSection(section, value); break;
    case 4: changed = profile.WriteSection(section, std::nullopt); break;
    default: changed = profile.WriteSection(section, ""); break;
  }
  if (!changed) return 0;
  const Bytes written = profile.Serialize();
  if (const auto& splice = profile.last_splice()) {  // the shortcut the writer takes
    Check(splice->offset + splice->removed <= before.size());
    Bytes spliced = before;
    spliced.replace(splice->offset, splice->removed, splice->inserted);
    Check(spliced == written);
  }
  const Profile reread = Profile::Parse(written);
  if (!profile.needs_reparse()) CheckSameAnswers(profile, reread, section, key);
  // In a file without NULs or "[]" headers, a value just written can be read back, unless
  // line breaks or brackets in the arguments change the lines' meaning.
  if (normalFile && op % 6 == 0 && value.find_first_of(std::string_view("\"'\r\n\0", 5)) == std::string_view::npos) {
    Check(Profile::Parse(written).Value(section, key).has_value() ||
          key.find_first_of(std::string_view("=\r\n\0[", 5)) != std::string_view::npos ||
          section.find_first_of(std::string_view("\r\n\0]", 4)) != std::string_view::npos);
  }
  return 0;
}
