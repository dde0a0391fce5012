// `brevalcore run --trace-db` uses the control's own tracer: each trace line the run prints is
// exactly one record of the database, with the values printed, and the report reads them.
#include <sstream>

#include "tests/analytics/server_fixture.h"

namespace brevalcore::analytics::testing {
namespace {

class SessionTraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "brevalcore-session-trace-XXXXXX").string();
    folder_ = ::mkdtemp(pattern.data());
  }
  void TearDown() override { fs::remove_all(folder_); }
  ToolRun Run(const std::vector<std::string>& args) {
    const std::string out = folder_ + "/run" + std::to_string(++runs_);
    return WaitTool(StartTool(args, out), out);
  }
  std::string folder_;
  int runs_ = 0;
};

TEST_F(SessionTraceTest, EachPrintedTraceIsOneRecord) {
  const std::string db = folder_ + "/trace.db";
  const std::string scenarios = std::string(BREVALCORE_SOURCE_DIR) + "/tests/scenarios/";
  // Two runs into one database, as two sessions of an installation.
  std::vector<std::string> printed;
  for (const char* scenario : {"typical_event", "link_commands"}) {
    std::vector<std::string> args{"run", scenarios + scenario + "/SCENARIO.vbs", "--trace-db", db, "--data-root",
                                  folder_ + "/data-" + scenario, "--control-dir", folder_ + "/control"};
    if (fs::exists(scenarios + scenario + "/banners")) args.insert(args.end(), {"--banners", scenarios + scenario + "/banners"});
    else args.insert(args.end(), {"--banners", std::string(BREVALCORE_SOURCE_DIR) + "/samples/banners"});
    const ToolRun run = Run(args);
    ASSERT_EQ(run.status, 0) << scenario << ": " << run.err;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);)
      if (line.rfind("trace ", 0) == 0) printed.push_back(line);
  }
  auto database = TraceDatabase::Open(db, false);
  ASSERT_TRUE(database);
  const auto records = database->Records();
  ASSERT_EQ(records.size(), printed.size());
  ASSERT_GT(records.size(), 2u);
  for (size_t i = 0; i < records.size(); ++i) {
    const auto& r = records[i];
    std::string expected = "trace";
    for (const std::string* v : {&r.banner, &r.action, &r.parameter, &r.software, &r.region, &r.province, &r.uid, &r.role})
      expected += " \"" + *v + "\"";
    EXPECT_EQ(printed[i], expected);
    EXPECT_FALSE(r.doctor.empty()) << "the record knows its doctor";
  }
  const ToolRun report = Run({"trace", "report", "--db", db, "--format", "csv"});
  EXPECT_EQ(report.status, 0);
  EXPECT_EQ(report.out.rfind("banner,shows,doctors,presses,press_through,", 0), 0u) << report.out;
}

TEST_F(SessionTraceTest, ADatabaseThatCannotBeUsedStopsTheRunBeforeItStarts) {
  std::ofstream(folder_ + "/bad.db") << std::string(4096, 'x');
  const ToolRun run = Run({"run", std::string(BREVALCORE_SOURCE_DIR) + "/tests/scenarios/typical_event/SCENARIO.vbs",
                           "--trace-db", folder_ + "/bad.db", "--data-root", folder_ + "/data"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "brevalcore run: " + folder_ + "/bad.db is not a trace database (file is not a database)\n");
  EXPECT_EQ(run.out, "");
}

}  // namespace
}  // namespace brevalcore::analytics::testing
