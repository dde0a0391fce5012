// Runs each area file of tests/conformance (operators, strings, dates, ...) under
// `brevalcore vbs`, with prelude.vbs put in front of it, and expects every check to pass.
// A failing check prints its name, the value it got and the one expected.
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

const fs::path kFolder = fs::path(BREVALCORE_SOURCE_DIR) / "tests" / "conformance";

std::vector<std::string> Areas() {
  std::vector<std::string> areas;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(kFolder, ec)) {
    const fs::path& p = entry.path();
    if (p.extension() == ".vbs" && p.stem() != "prelude") areas.push_back(p.stem().string());
  }
  std::sort(areas.begin(), areas.end());
  return areas;
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class Area : public ::testing::TestWithParam<std::string> {};

TEST_P(Area, EveryCheckPasses) {
  const std::string area = GetParam();
  const fs::path dir = fs::temp_directory_path() / ("brevalcore_conformance_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path script = dir / (area + ".vbs");
  std::ofstream(script, std::ios::binary) << ReadFile(kFolder / "prelude.vbs") << ReadFile(kFolder / (area + ".vbs"));
  const std::string command = std::string(BREVALCORE_BIN_DIR) + "/brevalcore vbs '" + script.string() + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), n);
  const int status = pclose(pipe);
  fs::remove_all(dir);
  // The last line: "<area>: N passed, M failed".
  const size_t at = output.rfind(area + ": ");
  ASSERT_NE(at, std::string::npos) << output;
  int passed = -1, failed = -1;
  ASSERT_EQ(std::sscanf(output.c_str() + at + area.size() + 2, "%d passed, %d failed", &passed, &failed), 2) << output;
  std::printf("%s", output.c_str());  // the counts, and any failing check
  EXPECT_GT(passed, 0);
  EXPECT_EQ(failed, 0) << output;
  EXPECT_EQ(WEXITSTATUS(status), 0) << output;
}

INSTANTIATE_TEST_SUITE_P(Checks, Area, ::testing::ValuesIn(Areas()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
