// Every recorded case of the platform's profile functions, replayed twice: on the profile core
// with the exact buffer sizes and NULL arguments of the recording, and, where the call can be
// expressed through them, through the file functions on a real file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "storage/ini_file.h"
#include "storage/profile.h"
#include "tests/storage/json_lines.h"

namespace brevalcore::storage {
namespace {

using testing::Json;
using testing::JsonParser;
namespace fs = std::filesystem;

struct Case {
  std::string id;
  Json json;
};

std::vector<Case> LoadCases() {
  std::ifstream in(std::string(BREVALCORE_SHARED_DIR) + "/fixtures/profile/cases.jsonl", std::ios::binary);
  std::vector<Case> cases;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    Json j = JsonParser(line).Parse();
    cases.push_back({j["id"].text, std::move(j)});
  }
  return cases;
}

std::optional<std::string> ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteBytes(const fs::path& file, const std::optional<std::string>& bytes) {
  fs::remove(file);
  if (!bytes) return;
  std::ofstream(file, std::ios::binary) << *bytes;
}

OptBytes Opt(const std::optional<std::string>& s) { return s ? OptBytes(*s) : std::nullopt; }
String Text(std::string_view bytes) { return automation::FromCp1252(bytes); }

// The platform's calls on an in-memory file: nullopt = the file does not exist.
struct MemoryFile {
  std::optional<std::string> bytes;

  Profile Load() const { return bytes ? Profile::Parse(*bytes) : Profile(); }

  BufferResult Call(const Json& call) {
    const std::string fn = call["fn"].text;
    const auto size = static_cast<uint32_t>(call["size"].number);
    if (fn == "GetPrivateProfileStringA")
      return Load().GetString(Opt(call["section"].OptText()), Opt(call["key"].OptText()),
                              Opt(call["default"].OptText()), size);
    if (fn == "GetPrivateProfileSectionA") return Load().GetSection(call["section"].text, size);
    if (fn == "GetPrivateProfileSectionNamesA") return Load().GetSectionNames(size);
    if (call["section"].IsNull()) return {0, {}};  // no section: nothing to write
    Profile p = Load();
    bool changed = false;
    if (fn == "WritePrivateProfileStringA")
      changed = p.WriteString(call["section"].text, Opt(call["key"].OptText()), Opt(call["value"].OptText()));
    else if (fn == "WritePrivateProfileSectionA")
      changed = p.WriteSection(call["section"].text, Opt(call["value"].OptText()));
    else
      ADD_FAILURE() << "unknown call " << fn;
    if (changed) bytes = p.Serialize();
    return {1, {}};
  }
};

// The same call through the file functions, when they can express it. Checks their result
// against the recorded buffer.
void CallThroughFile(const fs::path& file, const Json& call) {
  const std::string fn = call["fn"].text;
  const uint32_t ret = static_cast<uint32_t>(call["ret"].number);
  const std::string& buffer = call["buffer"].text;
  const bool fits = call.Has("size") && ret + 2 < call["size"].number;
  if (fn == "GetPrivateProfileStringA") {
    if (call["section"].IsNull() || call["key"].IsNull() || call["size"].number != kReadIniBufferSize ||
        !call["default"].text.empty())
      return;
    EXPECT_EQ(ReadIni(file, Text(call["section"].text), Text(call["key"].text)), Text(buffer.substr(0, ret)));
  } else if (fn == "GetPrivateProfileSectionA") {
    if (fits) {
      EXPECT_EQ(ReadIniSection(file, Text(call["section"].text)), Text(buffer.substr(0, ret)));
    }
  } else if (fn == "GetPrivateProfileSectionNamesA") {
    if (!fits) return;
    std::vector<String> expected;
    for (size_t start = 0; start < ret;) {
      const size_t end = buffer.find('\0', start);
      expected.push_back(Text(buffer.substr(start, end - start)));
      start = end + 1;
    }
    EXPECT_EQ(GetIniSections(file), expected);
  } else if (call["section"].IsNull()) {
    return;
  } else if (fn == "WritePrivateProfileStringA") {
    const String section = Text(call["section"].text);
    IniWriteResult r;
    if (call["key"].IsNull()) r = DeleteIniSection(file, section);
    else if (call["value"].IsNull()) r = DeleteIniKey(file, section, Text(call["key"].text));
    else r = WriteIni(file, section, Text(call["key"].text), Text(call["value"].text));
    EXPECT_TRUE(r) << r.error();
  } else if (fn == "WritePrivateProfileSectionA") {
    const String section = Text(call["section"].text);
    EXPECT_TRUE(call["value"].IsNull() ? DeleteIniSection(file, section)
                                       : WriteIniSection(file, section, Text(call["value"].text)));
  }
}

class RecordedProfileCase : public ::testing::TestWithParam<Case> {};

TEST_P(RecordedProfileCase, CoreReproducesEveryCall) {
  const Json& c = GetParam().json;
  MemoryFile file{c["file_before"].OptText()};
  int n = 0;
  for (const Json& call : c["calls"].items) {
    SCOPED_TRACE("call " + std::to_string(n++) + " " + call["fn"].text);
    const BufferResult r = file.Call(call);
    EXPECT_EQ(r.ret, static_cast<uint32_t>(call["ret"].number));
    if (call.Has("buffer")) {
      EXPECT_EQ(r.buffer, call["buffer"].text);
    }
    EXPECT_EQ(file.bytes, call["file_after"].OptText());
  }
}

TEST_P(RecordedProfileCase, FileFunctionsReproduceTheBytes) {
  const Json& c = GetParam().json;
  const fs::path folder = fs::temp_directory_path() / ("brevalcore_cases_" + std::to_string(::getpid()));
  fs::create_directories(folder);
  std::string name = GetParam().id;
  std::replace(name.begin(), name.end(), '/', '_');
  const fs::path file = folder / (name + ".ini");
  WriteBytes(file, c["file_before"].OptText());
  ClearIniCache();
  int n = 0;
  for (const Json& call : c["calls"].items) {
    SCOPED_TRACE("call " + std::to_string(n++) + " " + call["fn"].text);
    CallThroughFile(file, call);
    EXPECT_EQ(ReadBytes(file), call["file_after"].OptText());
  }
  fs::remove_all(folder);
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  std::string name;
  for (char ch : info.param.id) name.push_back(std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_');
  return name;
}

INSTANTIATE_TEST_SUITE_P(Recorded, RecordedProfileCase, ::testing::ValuesIn(LoadCases()), CaseName);

}  // namespace
}  // namespace brevalcore::storage
