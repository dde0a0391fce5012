// Runs every scenario folder through `brevalcore run` and compares its output with the
// expected one. The temporary folders in the output are written as $DATA and $CONTROL, the
// banner folder given to the run as $BANNERS.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

constexpr char kNow[] = "06/12/2026 09:30:00";

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

struct Outcome {
  int status;
  std::string output;
};

Outcome RunScenario(const fs::path& folder, const fs::path& work) {
  const fs::path data = work / "data", control = work / "control";
  fs::create_directories(data);
  fs::create_directories(control);
  const fs::path banners = fs::exists(folder / "banners") ? folder / "banners" : fs::path(SAMPLE_BANNERS_DIR);
  const std::string command = std::string("'") + BREVALCORE_TOOL + "' run '" + (folder / "SCENARIO.vbs").string() +
                              "' --banners '" + banners.string() + "' --data-root '" + data.string() +
                              "' --control-dir '" + control.string() + "' --now '" + kNow + "' 2>&1";
  Outcome outcome{-1, {}};
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return outcome;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) outcome.output.append(buffer, n);
  const int status = ::pclose(pipe);
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  ReplaceAll(outcome.output, data.string(), "$DATA");
  ReplaceAll(outcome.output, control.string(), "$CONTROL");
  ReplaceAll(outcome.output, banners.string(), "$BANNERS");
  return outcome;
}

TEST(Scenarios, EveryScenarioPrintsItsExpectedEffects) {
  std::vector<fs::path> folders;
  for (const auto& entry : fs::directory_iterator(SCENARIOS_DIR))
    if (entry.is_directory() && fs::exists(entry.path() / "SCENARIO.vbs")) folders.push_back(entry.path());
  std::sort(folders.begin(), folders.end());
  ASSERT_FALSE(folders.empty());
  const fs::path work = fs::temp_directory_path() / ("bvc-scenarios-" + std::to_string(::getpid()));
  for (const auto& folder : folders) {
    SCOPED_TRACE(folder.filename().string());
    fs::remove_all(work);
    const Outcome outcome = RunScenario(folder, work);
    EXPECT_EQ(outcome.status, 0) << outcome.output;
    EXPECT_EQ(outcome.output, ReadFile(folder / "expected.txt"));
  }
  fs::remove_all(work);
}

TEST(Scenarios, AFailingScenarioExitsWithStatusTwo) {
  const fs::path work = fs::temp_directory_path() / ("bvc-scenario-bad-" + std::to_string(::getpid()));
  fs::create_directories(work / "bad");
  std::ofstream(work / "bad" / "SCENARIO.vbs") << "Echo \"before\"\nNoSuchProcedure 1\n";
  const Outcome outcome = RunScenario(work / "bad", work);
  EXPECT_EQ(outcome.status, 2);
  EXPECT_NE(outcome.output.find("echo \"before\""), std::string::npos);
  EXPECT_NE(outcome.output.find("brevalcore run: "), std::string::npos);
  fs::remove_all(work);
}

}  // namespace
