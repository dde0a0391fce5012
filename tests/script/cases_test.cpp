// Runs every recorded case, and the project's own cases in tests/vbscript, through `brevalcore vbs`
// and compares the output byte for byte.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// The recorded cases, and the project's own cases written in the same form.
const fs::path kCases = fs::path(BREVALCORE_SHARED_DIR) / "vbscript-cases";
const fs::path kProjectCases = fs::path(BREVALCORE_SOURCE_DIR) / "tests" / "vbscript";

// Each case as the path of its script without the extension.
std::vector<std::string> CaseStems(const fs::path& folder) {
  std::vector<std::string> stems;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    if (entry.path().extension() == ".vbs") stems.push_back((folder / entry.path().stem()).string());
  }
  std::sort(stems.begin(), stems.end());
  return stems;
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class VbsCase : public ::testing::TestWithParam<std::string> {};

TEST_P(VbsCase, OutputMatchesRecording) {
  const std::string stem = GetParam();
  const std::string command = std::string(BREVALCORE_BIN_DIR) + "/brevalcore vbs '" + stem + ".vbs' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), n);
  const int status = pclose(pipe);
  EXPECT_EQ(output, ReadFile(stem + ".out"));
  EXPECT_EQ(status, 0);
}

std::string CaseName(const ::testing::TestParamInfo<std::string>& info) {
  return fs::path(info.param).filename().string();
}

INSTANTIATE_TEST_SUITE_P(Recorded, VbsCase, ::testing::ValuesIn(CaseStems(kCases)), CaseName);
INSTANTIATE_TEST_SUITE_P(Project, VbsCase, ::testing::ValuesIn(CaseStems(kProjectCases)), CaseName);

}  // namespace

namespace {

struct ToolRow {
  const char* name;
  const char* command;  // "vbs" or "check"
  const char* script;
  const char* args;
  int status;
  const char* output;  // standard output and error, merged; "{F}" stands for the file name
};

const ToolRow kToolRows[] = {
    {"vbs_arguments_and_quit", "vbs", "WScript.Echo WScript.Arguments.Count, WScript.Arguments(1), WScript.ScriptName\nWScript.Quit 3\nWScript.Echo \"no\"",
     "a b", 3, "2 b tool.vbs\n"},
    {"vbs_error_has_position", "vbs", "WScript.Echo True\nx = 1 / 0", "", 1,
     "-1\n{F}:2:1: error: Microsoft VBScript runtime error: Division by zero (11)\n"},
    {"vbs_windows_1252_text", "vbs", "WScript.Echo \"caff\xE8\", Len(\"\xE8\")", "", 0, "caff\xC3\xA8 1\n"},
    {"check_clean", "check", "Dim a\na = 1", "", 0, "0 errors, 0 warnings in 1 file\n"},
    {"check_every_error", "check", "a = \nb = (1\n", "", 1,
     "{F}:1:5: error: Expected expression (compile error 1023): the control's start fails and switches banners off "
     "[script-syntax]\n"
     "{F}:2:7: error: Expected ')' (compile error 1006): the control's start fails and switches banners off "
     "[script-syntax]\n"
     "2 errors, 0 warnings in 1 file\n"},
};

class Tool : public ::testing::TestWithParam<ToolRow> {};

TEST_P(Tool, StatusAndOutput) {
  const ToolRow& row = GetParam();
  const fs::path dir = fs::temp_directory_path() / ("brevalcore_tool_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path file = dir / "tool.vbs";
  std::ofstream(file, std::ios::binary) << row.script;
  const std::string command = std::string(BREVALCORE_BIN_DIR) + "/brevalcore " + row.command + " '" + file.string() + "' " + row.args + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), n);
  const int status = pclose(pipe);
  std::string expected = row.output;
  for (size_t at; (at = expected.find("{F}")) != std::string::npos;) expected.replace(at, 3, file.string());
  EXPECT_EQ(output, expected);
  EXPECT_EQ(WEXITSTATUS(status), row.status);
  fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Rows, Tool, ::testing::ValuesIn(kToolRows),
                         [](const ::testing::TestParamInfo<ToolRow>& info) { return std::string(info.param.name); });

}  // namespace
