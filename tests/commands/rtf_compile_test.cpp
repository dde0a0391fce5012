#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "commands/rtf_compile.h"
#include "fake_host.h"

namespace brevalcore::commands {
namespace {

using testing::U16;
using testing::U8;

// Answers VariableReplace from a table and remembers what was asked.
class Answers : public automation::EventSink {
 public:
  std::map<String, String> values;
  std::vector<std::string> asked;
  void OnEvent(automation::DispId id, StringView name, std::span<Variant> args) override {
    EXPECT_EQ(id, 1);
    EXPECT_EQ(name, u"VariableReplace");
    asked.push_back(U8(automation::ToString(args[0])));
    if (auto it = values.find(automation::ToString(args[0])); it != values.end()) args[1] = Variant(it->second);
  }
};

TEST(RtfCompile, StringCompileFillsEveryTagAndReportsWhatStaysUnknown) {
  struct Row {
    const char* name;
    const char* sep;
    std::vector<std::pair<const char*, const char*>> vars;
    std::vector<std::pair<const char*, const char*>> answers;
    const char* in;
    const char* out;
    const char* unresolved;
    std::vector<std::string> asked;
  };
  const std::vector<Row> rows = {
      {"worked example", "??", {{"PAZIENTE", "Paziente Prova"}, {"DATA", "04/12/2026"}}, {{"NOTE", "Ok"}},
       "{\\rtf1 Gentile ??PAZIENTE??,\\par ??NOTE?? ??DATA??}",
       "{\\rtf1 Gentile Paziente Prova,\\par Ok 04/12/2026}", "", {"NOTE"}},
      {"names are case-insensitive", "??", {{"PAZIENTE", "P"}}, {}, "{??paziente??}", "{P}", "", {}},
      {"own values are escaped", "??", {{"NOTE", "a\r\nb\tc\\{}\r"}}, {}, "{??NOTE??}",
       "{a\\par b\\tab c\\{}\r}", "", {}},
      {"host values are not escaped", "??", {}, {{"NOTE", "a\r\nb\tc"}}, "{??NOTE??}", "{a\r\nb\tc}", "", {"NOTE"}},
      {"no tags", "??", {{"A", "1"}}, {}, "{\\rtf1 plain? text}", "{\\rtf1 plain? text}", "", {}},
      {"lone separator", "??", {}, {}, "{a ?? b}", "{a ?? b}", "", {}},
      {"nobody answers", "??", {}, {}, "{??X??}", "{}", "", {"X"}},
      {"a repeated tag is asked once", "??", {}, {{"N", "v"}}, "{??N?? ??N??}", "{v v}", "", {"N"}},
      {"short values before later tags", "??", {{"LONGNAME", ""}, {"B", "b"}, {"C", "c"}}, {},
       "{??LONGNAME?? ??B?? ??C??}", "{ b c}", "", {}},
      {"adjacent tags", "??", {{"A", "1"}, {"B", "2"}}, {}, "{??A????B??}", "{12}", "", {}},
      {"text starting with a tag", "??", {{"A", "1"}}, {}, "??A?? x", "1 x", "", {}},
      {"value holding the separator ends", "??", {{"A", "??A??"}}, {{"B", "??B?? ??C"}}, "{??A?? ??B??}",
       "{??A?? ??B?? ??C}", "??B??\r\n", {"B"}},
      {"VARIABLE ERROR counts as missing", "??", {{"X", "VARIABLE ERROR"}}, {{"X", "y"}}, "{??X??}", "{y}", "", {"X"}},
      {"other separator", "$$", {{"X", "1"}}, {}, "{a $$X$$ ??X?? b}", "{a 1 ??X?? b}", "", {}},
      {"empty name", "??", {}, {}, "{????}", "{}", "", {""}},
  };
  for (const Row& row : rows) {
    auto rtf = automation::MakeRef<RtfCompile>();
    rtf->SetSepTag(U16(row.sep));
    for (const auto& [name, value] : row.vars) rtf->VariableAdd(U16(name), U16(value));
    Answers answers;
    for (const auto& [name, value] : row.answers) answers.values[U16(name)] = U16(value);
    rtf->Events().Connect(&answers);
    Variant out;
    const String unresolved = rtf->StringCompile(Variant(U16(row.in)), out);
    EXPECT_EQ(U8(automation::ToString(out)), row.out) << row.name;
    EXPECT_EQ(U8(unresolved), row.unresolved) << row.name;
    EXPECT_EQ(answers.asked, row.asked) << row.name;
  }
}

TEST(RtfCompile, DuplicateNamesFailWithTheCompilersSource) {
  auto rtf = automation::MakeRef<RtfCompile>();
  std::vector<Variant> args{Variant(u"DATA"), Variant(u"1")};
  rtf->Invoke(rtf->GetIdOfName(u"variableadd"), automation::kInvokeMethod, args);
  args[0] = Variant(u"Data");
  try {
    rtf->Invoke(rtf->GetIdOfName(u"VariableAdd"), automation::kInvokeMethod, args);
    ADD_FAILURE() << "duplicate name accepted";
  } catch (const automation::AutomationError& e) {
    EXPECT_EQ(e.number(), 457);
    EXPECT_EQ(e.source(), u"RTF Compile");
  }
}

class RtfFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("rtf_test_" + std::to_string(::getpid()) + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::permissions(dir_ / "out.rtf", std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(dir_, ec);
  }
  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  std::string Read(const std::string& name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  String Path(const std::string& name) { return U16((dir_ / name).string()); }
  std::filesystem::path dir_;
};

TEST_F(RtfFiles, CompilesBytesAsTheSingleByteCodePage) {
  struct Row { std::string in; std::string out; };
  const Row rows[] = {
      {"", ""},
      {"{\\rtf1 citt\xE0 ??paziente?? \x80}", "{\\rtf1 citt\xE0 Nicol\xF2 \x80}"},
  };
  for (const Row& row : rows) {
    Write("in.rtf", row.in);
    auto rtf = automation::MakeRef<RtfCompile>();
    rtf->VariableAdd(u"PAZIENTE", u"Nicol\u00F2");
    EXPECT_EQ(rtf->FileCompile(Path("in.rtf"), Path("out.rtf")), u"");
    EXPECT_EQ(Read("out.rtf"), row.out);
  }
}

TEST_F(RtfFiles, FailuresCarryTheirNumbersAndLeaveTheOutputAlone) {
  Write("in.rtf", "{??A??}");
  Write("out.rtf", "old");
  ::chmod((dir_ / "out.rtf").c_str(), 0444);
  struct Row { String in; int32_t number; const char16_t* description; };
  const Row rows[] = {
      {Path("missing.rtf"), 404, u"File Not Found"},
      {U16(dir_.string()), 404, u"File Not Found"},  // a folder is no file
      {Path("in.rtf"), -10010, u"Output file is read-only."},
  };
  for (const Row& row : rows) {
    auto rtf = automation::MakeRef<RtfCompile>();
    try {
      (void)rtf->FileCompile(row.in, Path("out.rtf"));
      ADD_FAILURE() << row.number;
    } catch (const automation::AutomationError& e) {
      EXPECT_EQ(e.number(), row.number);
      EXPECT_EQ(e.source(), u"RTF Compile");
      EXPECT_EQ(e.description(), row.description);
    }
    EXPECT_EQ(Read("out.rtf"), "old");
  }
}

}  // namespace
}  // namespace brevalcore::commands
