#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "rules/actions.h"
#include "tests/rules/fixture.h"

namespace brevalcore::rules {
namespace {

using namespace testing;

// Hosts of the same doctor share one profile file; their counter increments must all land.
TEST_F(HistoryFixture, EightProcessesShowingOneBannerLoseNoCount) {
  constexpr int kProcesses = 8, kShows = 500;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      auto actions = automation::MakeRef<Actions>();
      actions->set_context(context_);
      for (int i = 0; i < kShows; ++i) {
        actions->ResetBanner();  // the banner changes each time, so each choice counts
        actions->ShowBanner(u"B1");
      }
      _exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(Ini(u"B1", u"SHOW"), std::to_string(kProcesses * kShows));
}

}  // namespace
}  // namespace brevalcore::rules
