// The control's start-up starts the push of its trace records as a real outside process, when
// the control folder's settings ask for it, and not again within the interval.
#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "rules/tracing.h"
#include "rules/tracing/tracer.h"
#include "tests/control/control_fixture.h"

namespace brevalcore::control::testing {
namespace {

std::string WaitForFile(const fs::path& file) {
  for (int i = 0; i < 500 && !fs::exists(file); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the line is written by then
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

TEST_F(ControlTest, TheStartUpStartsThePushAsAnOutsideProcessOncePerInterval) {
  tracing::RegisterBundledTracer(factories_, "", &clock_);
  const fs::path program = controlFolder_ / "push.sh", log = controlFolder_ / "pushed.txt";
  std::ofstream(program) << "#!/bin/sh\necho \"$@\" > \"" << log.string() << "\"\n";
  ::chmod(program.c_str(), 0755);
  std::ofstream(controlFolder_ / "BVCTrace.ini") << "[Push]\r\nUrl=host=analytics dbname=banners\r\nProgram=push.sh\r\n";

  ASSERT_TRUE(Start());
  EXPECT_EQ(WaitForFile(log),
            "trace push --to host=analytics dbname=banners --db " + (controlFolder_ / "BVCTrace.db").string() + " --quiet");
  fs::remove(log);
  ASSERT_TRUE(Control().Initialize());
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(fs::exists(log)) << "a second start within the hour starts nothing";
  clock_.AdvanceSeconds(3600);
  ASSERT_TRUE(Control().Initialize());
  EXPECT_NE(WaitForFile(log), "");
  rules::TracingComponent().reset();  // the thread's component must not outlive this test's folder
}

}  // namespace
}  // namespace brevalcore::control::testing
