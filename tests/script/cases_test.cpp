// Runs every recorded case through `brevalcore vbs` and compares the output byte for byte.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

const fs::path kCases = fs::path(BREVALCORE_SHARED_DIR) / "vbscript-cases";

std::vector<std::string> CaseNames() {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(kCases, ec)) {
    if (entry.path().extension() == ".vbs") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class VbsCase : public ::testing::TestWithParam<std::string> {};

TEST_P(VbsCase, OutputMatchesRecording) {
  const std::string name = GetParam();
  const std::string command = std::string(BREVALCORE_BIN_DIR) + "/brevalcore vbs '" + (kCases / (name + ".vbs")).string() + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), n);
  const int status = pclose(pipe);
  EXPECT_EQ(output, ReadFile(kCases / (name + ".out")));
  EXPECT_EQ(status, 0);
}

INSTANTIATE_TEST_SUITE_P(Recorded, VbsCase, ::testing::ValuesIn(CaseNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
