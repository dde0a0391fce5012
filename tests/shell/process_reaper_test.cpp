// Processes the control starts and never waits for: one reaper collects them all, no thread is
// left per start, no child stays a zombie, and children the control did not start are not
// touched.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/shell/process.h"

namespace brevalcore::shell {
namespace {

namespace fs = std::filesystem;

size_t ThreadCount() {
  size_t n = 0;
  for (const auto& e : fs::directory_iterator("/proc/self/task")) n += e.is_directory();
  return n;
}

bool WaitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 500; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

ProcessLaunch Launch(std::string program, std::vector<std::string> argv, std::string folder = {}, bool search = false) {
  return {std::move(program), std::move(argv), std::move(folder), search};
}

// A process that is gone for good: not even a zombie waiting for its parent.
bool IsGone(pid_t pid) { return !fs::exists("/proc/" + std::to_string(pid)); }

TEST(ProcessReaper, ManyStartsOneThreadNoZombies) {
  ProcessReaper::Instance();
  StartProcess(Launch("/bin/true", {"/bin/true"}));  // starts the reaper's thread
  const size_t threads = ThreadCount();
  std::vector<pid_t> pids;
  for (int i = 0; i < 50; ++i) {
    ASSERT_TRUE(SystemProcesses::Instance().Spawn("/bin/true", {"/bin/true"}));
    auto started = StartProcess(Launch("/bin/sh", {"/bin/sh", "-c", "exit 0"}));
    ASSERT_TRUE(started);
    pids.push_back(*started);
  }
  EXPECT_LE(ThreadCount(), threads);
  EXPECT_TRUE(WaitFor([] { return ProcessReaper::Instance().Pending() == 0; }));
  for (pid_t pid : pids) EXPECT_TRUE(IsGone(pid)) << pid;
}

TEST(ProcessReaper, ExitStatusAndWorkingFolderReachTheCaller) {
  struct Row {
    ProcessLaunch launch;
    bool starts;
    int exitCode;
  } rows[] = {
      {Launch("/bin/sh", {"/bin/sh", "-c", "exit 3"}), true, 3},
      {Launch("sh", {"sh", "-c", "test \"$PWD\" = /tmp"}, "/tmp", true), true, 0},
      {Launch("/nonexistent/program", {"/nonexistent/program"}), false, 0},
      {Launch("no-such-program-anywhere", {"x"}, {}, true), false, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.launch.program);
    std::atomic<int> status{-1};
    const auto pid = StartProcess(row.launch, [&](int s) { status = s; });
    EXPECT_EQ(pid.has_value(), row.starts);
    if (!pid) continue;
    ASSERT_TRUE(WaitFor([&] { return status != -1; }));
    EXPECT_TRUE(WIFEXITED(status.load()));
    EXPECT_EQ(WEXITSTATUS(status.load()), row.exitCode);
  }
}

TEST(ProcessReaper, LeavesTheHostsOwnChildrenAlone) {
  const pid_t own = ::fork();
  if (own == 0) _exit(7);
  ASSERT_TRUE(StartProcess(Launch("/bin/true", {"/bin/true"})));
  EXPECT_TRUE(WaitFor([] { return ProcessReaper::Instance().Pending() == 0; }));
  int status = 0;
  ASSERT_EQ(::waitpid(own, &status, 0), own);  // still ours to collect
  EXPECT_EQ(WEXITSTATUS(status), 7);
}

}  // namespace
}  // namespace brevalcore::shell
