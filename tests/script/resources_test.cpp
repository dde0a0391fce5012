// Resident memory, measured on child processes so that nothing else of the test run counts:
// the engine running the five speed workloads and the two rule workloads (on the rule objects),
// the control through the sample morning, and a
// script that allocates until the engine's cap refuses it. The figures are printed (and kept
// as test properties); the only bound asserted is the cap's: a script can never make the
// process resident beyond the cap plus a small margin.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/script/rule_workloads.h"
#include "bench/script/workloads.h"

extern char** environ;

namespace brevalcore::script::testing {
namespace {

namespace fs = std::filesystem;

const fs::path kTool = fs::path(BREVALCORE_BIN_DIR) / "brevalcore";
const fs::path kRuleWorkloadRunner = fs::path(BREVALCORE_BIN_DIR) / "rule_workload_run";
constexpr long kMegabyte = 1024;  // ru_maxrss counts kilobytes

struct ChildRun {
  int status = -1;
  long peakKilobytes = 0;
};

// Runs `program` with `args`, its output discarded, and returns its exit status and peak RSS.
ChildRun RunProgram(const fs::path& program, const std::vector<std::string>& args) {
  std::vector<std::string> argv{program.string()};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> pointers;
  for (std::string& a : argv) pointers.push_back(a.data());
  pointers.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  ChildRun run;
  if (posix_spawn(&pid, pointers[0], &actions, nullptr, pointers.data(), environ) == 0) {
    struct rusage usage {};
    int status = 0;
    if (::wait4(pid, &status, 0, &usage) == pid) {
      run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      run.peakKilobytes = usage.ru_maxrss;
    }
  }
  posix_spawn_file_actions_destroy(&actions);
  return run;
}

ChildRun RunTool(const std::vector<std::string>& args) { return RunProgram(kTool, args); }

class Resources : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "bvc-resources-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { fs::remove_all(folder_); }

  fs::path Script(const std::string& name, const std::string& code) const {
    const fs::path path = folder_ / (name + ".vbs");
    std::ofstream(path) << code;
    return path;
  }
  void Report(const std::string& what, long kilobytes) const {
    std::printf("peak resident memory, %s: %.1f MB\n", what.c_str(), static_cast<double>(kilobytes) / kMegabyte);
    RecordProperty(what, static_cast<int>(kilobytes));
  }

  fs::path folder_;
};

TEST_F(Resources, PeakResidentMemoryOfTheWorkloadsAndTheMorning) {
  const ChildRun empty = RunTool({"vbs", Script("empty", "WScript.Echo 1").string()});
  ASSERT_EQ(empty.status, 0);
  Report("the tool running one statement", empty.peakKilobytes);
  for (const auto& workload : bench::kWorkloads) {
    const std::string code = std::string(workload.vbs) + "\nDim k, x : For k = 1 To 10 : x = Run() : Next\nWScript.Echo x\n";
    const ChildRun run = RunTool({"vbs", Script(workload.name, code).string()});
    EXPECT_EQ(run.status, 0) << workload.name;
    Report(std::string("workload ") + workload.name, run.peakKilobytes);
  }
  for (const auto& workload : bench::RuleWorkloads()) {
    const ChildRun run = RunProgram(kRuleWorkloadRunner, {workload.name});
    EXPECT_EQ(run.status, 0) << workload.name;
    Report("workload " + workload.name, run.peakKilobytes);
  }
  const ChildRun morning = RunTool({"demo", "--data-root", (folder_ / "data").string(), "--control-dir",
                                    (folder_ / "control").string()});
  EXPECT_EQ(morning.status, 0);
  Report("the control through the sample morning", morning.peakKilobytes);
}

// The sanitizers keep freed memory in quarantine and map shadow memory, so the bound holds
// only for the plain build; the figure is printed in both.
TEST_F(Resources, AScriptThatAllocatesWithoutEndStaysWithinTheCap) {
  const ChildRun baseline = RunTool({"vbs", Script("empty", "WScript.Echo 1").string()});
  const ChildRun run = RunTool(
      {"vbs", Script("greedy", "Dim a(), n, s : ReDim a(100000) : s = String(100000, \"x\") : n = 0\n"
                               "On Error Resume Next\n"
                               "Do While Err.Number = 0 : a(n) = s & n : n = n + 1 : Loop\n"
                               "If Err.Number <> 7 Then WScript.Quit 3\n")
                   .string()});
  EXPECT_EQ(run.status, 0);
  Report("a script refused at the cap", run.peakKilobytes);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_UNDEFINED__)
  constexpr long kCap = 256 * kMegabyte;
  constexpr long kMargin = 64 * kMegabyte;
  EXPECT_LE(run.peakKilobytes, baseline.peakKilobytes + kCap + kMargin);
#else
  (void)baseline;
#endif
}

}  // namespace
}  // namespace brevalcore::script::testing
