#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "platform/automation/plugins.h"
#include "rules/actions.h"
#include "rules/tracing.h"
#include "rules/tracing/report.h"
#include "rules/tracing/tracer.h"
#include "tests/rules/fixture.h"
#include "tests/rules/helpers.h"

namespace brevalcore::rules {
namespace {

using namespace testing;
using automation::MakeRef;
using automation::ObjectFactories;

class TracingTest : public HistoryFixture {
 protected:
  void SetUp() override {
    HistoryFixture::SetUp();
    db_ = folder_ + "/trace.db";
    auto facts = context_->CurrentFacts();
    facts->Application()->SetSoftware(u"KORALTE");
    facts->Doctor()->SetRegion(u"080");
    facts->Doctor()->SetProvince(u"MI");
    facts->Doctor()->SetUid(u"dr.rossi");
    facts->Doctor()->SetRole(u"MMG");
    facts->Doctor()->SetAsl(u"MI1");
    facts->Doctor()->SetSpecializationBranch(u"MG");
  }
  void TearDown() override {
    TracingComponent().reset();
    HistoryFixture::TearDown();
  }
  std::string db_;
};

TEST_F(TracingTest, EachTraceIsOneRowWithTimeAndTheEightValues) {
  ObjectFactories factories;
  tracing::RegisterBundledTracer(factories, db_, &clock_);
  ASSERT_TRUE(CreateTracingComponent(factories));
  auto actions = MakeRef<Actions>();
  actions->set_context(context_);
  actions->ShowBanner(u"B1?x=1");
  clock_.Set(At(16, 3, 2026, 9, 0, 5));
  TraceBannerAction(u"B1?x=1", u"PRESCRIBE", u"aic1", *context_);
  actions->ShowBanner(u"B2");

  auto database = tracing::TraceDatabase::Open(db_, false);
  ASSERT_TRUE(database);
  const auto rows = database->Records();
  ASSERT_EQ(rows.size(), 3u);
  const auto& r = rows[0];
  EXPECT_EQ(r.time, "2026-03-15 10:30:00");
  EXPECT_EQ((std::vector<std::string>{r.banner, r.action, r.parameter, r.software, r.region, r.province, r.uid,
                                      r.role, r.doctor, r.asl, r.branch}),
            (std::vector<std::string>{"B1", "SHOW", "", "KORALTE", "080", "MI", "dr.rossi", "MMG", "D1", "MI1", "MG"}));
  EXPECT_EQ(rows[1].action, "PRESCRIBE");
  EXPECT_EQ(rows[1].parameter, "aic1");
  EXPECT_EQ(rows[1].time, "2026-03-16 09:00:05");
  // The identity: one installation per database, a sequence that only grows, nothing sent yet.
  EXPECT_EQ(database->Installation().size(), 36u);
  EXPECT_EQ((std::vector<int64_t>{rows[0].seq, rows[1].seq, rows[2].seq}), (std::vector<int64_t>{1, 2, 3}));
  EXPECT_EQ(database->UnsentCount(), 3);
}

TEST_F(TracingTest, ASecondCreationThatFailsKeepsTheWorkingComponent) {
  ObjectFactories factories;
  tracing::RegisterBundledTracer(factories, db_, &clock_);
  ASSERT_TRUE(CreateTracingComponent(factories));
  const Ref<automation::Object> working = TracingComponent();
  tracing::RegisterBundledTracer(factories, folder_ + "/missing/folder/trace.db", &clock_);
  EXPECT_TRUE(CreateTracingComponent(factories));
  EXPECT_EQ(TracingComponent().get(), working.get());
  TraceBannerAction(u"B1", u"SHOW", u"", *context_);
  EXPECT_EQ(tracing::TraceDatabase::Open(db_)->Records().size(), 1u);
}

TEST_F(TracingTest, AnUnopenableDatabaseMeansNoTracing) {
  ObjectFactories factories;
  tracing::RegisterBundledTracer(factories, folder_ + "/missing/folder/trace.db", &clock_);
  EXPECT_EQ(ErrorOf([&] { factories.Create(kTracingProgId); }), automation::err::kCantCreateObject);
  EXPECT_FALSE(CreateTracingComponent(factories));
  auto actions = MakeRef<Actions>();
  actions->set_context(context_);
  EXPECT_TRUE(actions->ShowBanner(u"B1"));
  EXPECT_EQ(Ini(u"B1", u"SHOW"), "1");
}

TEST_F(TracingTest, ReportIsAnAlignedTablePerBanner) {
  auto database = tracing::TraceDatabase::Open(db_);
  ASSERT_TRUE(database);
  struct Event { const char16_t* banner; const char16_t* action; automation::Date when; const char16_t* doctor; };
  const std::vector<Event> events = {
      {u"B12", u"SHOW", At(1, 3, 2026), u"D1"},      {u"B12", u"SHOW", At(2, 3, 2026), u"D2"},
      {u"B12", u"PRESCRIBE", At(2, 3, 2026), u"D2"}, {u"LONGNAME", u"SHOW", At(3, 3, 2026), u"D1"},
      {u"LONGNAME", u"LINK", At(3, 3, 2026), u"D1"}, {u"B12", u"SHOW", At(20, 2, 2026), u"D1"},
  };
  for (const auto& e : events)
    database->Append(e.when, {e.banner, e.action, u"", u"", u"", u"", u"", u""}, {e.doctor, u"", u""});
  auto table = [&](std::string since) {
    return tracing::FormatTable(tracing::BuildReport(database->Counts({tracing::Grouping::kBanner, since, "", ""}),
                                                     tracing::Grouping::kBanner));
  };
  EXPECT_EQ(table(""),
            "banner    shows  doctors  presses  press_through  LINK  PRESCRIBE\n"
            "B12           3        2        1          0.333     0          1\n"
            "LONGNAME      1        1        1          1.000     1          0\n");
  EXPECT_EQ(table("2026-03-02"),
            "banner    shows  doctors  presses  press_through  LINK  PRESCRIBE\n"
            "B12           1        1        1          1.000     0          1\n"
            "LONGNAME      1        1        1          1.000     1          0\n");

  // The tool prints the same table.
  const std::string out = folder_ + "/report.txt";
  const std::string command = std::string(BREVALCORE_BIN_DIR) + "/brevalcore trace report --db " + db_ +
                              " --since 02/03/2026 > " + out;
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream in(out);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), table("2026-03-02"));
}

TEST_F(TracingTest, SeveralProcessesWriteOneDatabase) {
  constexpr int kProcesses = 4, kTraces = 50;
  ASSERT_TRUE(tracing::TraceDatabase::Open(db_));
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = fork();
    if (pid == 0) {
      auto database = tracing::TraceDatabase::Open(db_);
      int ok = 0;
      for (int i = 0; database && i < kTraces; ++i)
        ok += database->Append(At(1, 1, 2026), {u"B", u"SHOW", u"", u"", u"", u"", u"", u""});
      _exit(ok == kTraces ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const auto records = tracing::TraceDatabase::Open(db_)->Records();
  ASSERT_EQ(records.size(), static_cast<size_t>(kProcesses * kTraces));
  EXPECT_EQ(records.back().seq, kProcesses * kTraces) << "every record got its own number";
}

TEST_F(TracingTest, APluginReplacesTheBundledTracer) {
  const std::string log = folder_ + "/plugin.log";
  setenv("BREVALCORE_TEST_PLUGIN_LOG", log.c_str(), 1);
  ObjectFactories factories;
  tracing::RegisterBundledTracer(factories, db_, &clock_);
  const auto report = automation::LoadPlugins(factories, std::string(BREVALCORE_TEST_PLUGIN) + ":" + folder_ +
                                                             "/absent.so");
  EXPECT_EQ(report.loaded, std::vector<std::string>{BREVALCORE_TEST_PLUGIN});
  EXPECT_EQ(report.failed.size(), 1u);
  ASSERT_TRUE(CreateTracingComponent(factories));
  TraceBannerAction(u"B3?y", u"OPEN", u"file.pdf", *context_);
  unsetenv("BREVALCORE_TEST_PLUGIN_LOG");
  std::ifstream in(log);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "B3|OPEN|file.pdf|KORALTE|080|MI|dr.rossi|MMG");
  EXPECT_TRUE(tracing::TraceDatabase::Open(db_)->Records().empty()) << "the bundled tracer was not used";
}

}  // namespace
}  // namespace brevalcore::rules
