// The local trace store beyond recording: upgrading and refusing databases, the sent marks,
// the report's figures and formats, and the automatic push's start.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "rules/tracing/auto_push.h"
#include "rules/tracing/report.h"
#include "rules/tracing/store.h"
#include "tests/rules/fixture.h"

namespace brevalcore::tracing {
namespace {

namespace fs = std::filesystem;
using rules::testing::At;

void Sql(const std::string& file, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
  sqlite3_close(db);
}

class StoreTest : public rules::testing::HistoryFixture {
 protected:
  std::string File(const std::string& name) const { return folder_ + "/" + name; }
};

TEST_F(StoreTest, AVersion1DatabaseKeepsItsRecordsAndNumbers) {
  const std::string file = File("old.db");
  Sql(file,
      "CREATE TABLE trace(id INTEGER PRIMARY KEY, time TEXT NOT NULL, banner TEXT, action TEXT, parameter TEXT,"
      " software TEXT, region TEXT, province TEXT, uid TEXT, role TEXT);"
      "INSERT INTO trace VALUES(4, '2026-01-02 10:00:00', 'B1', 'SHOW', NULL, 'ABC', '080', 'MI', 'u', 'r');"
      "INSERT INTO trace VALUES(9, '2026-01-03 10:00:00', 'B1', 'LINK', 'x', 'ABC', '080', 'MI', 'u', 'r');");
  auto db = TraceDatabase::Open(file);
  ASSERT_TRUE(db);
  ASSERT_TRUE(db->Append(At(4, 1, 2026), {u"B2", u"SHOW"}));
  const auto records = db->Records();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].seq, 4);
  EXPECT_EQ(records[1].parameter, "x");
  EXPECT_EQ(records[2].seq, 10) << "new records continue the old numbering";
  EXPECT_EQ(db->UnsentCount(), 3);
  const std::string installation = db->Installation();
  db.reset();
  EXPECT_EQ(TraceDatabase::Open(file)->Installation(), installation) << "the GUID is made once";
}

TEST_F(StoreTest, DatabasesThatCannotBeUsedAreRefusedWithAReason) {
  struct Case {
    const char* name;
    std::function<void(const std::string&)> make;
    bool create;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"corrupt", [](const std::string& f) { std::ofstream(f) << std::string(4096, 'x'); }, true,
       "is not a trace database (file is not a database)"},
      {"newer", [](const std::string& f) { Sql(f, "PRAGMA user_version=3;"); }, true,
       "was written by a newer Brevalcore (trace database version 3; this one reads versions up to 2)"},
      {"foreign", [](const std::string& f) { Sql(f, "CREATE TABLE patients(name TEXT);"); }, true,
       "is not a trace database (it holds other tables)"},
      {"missing", [](const std::string&) {}, false, "cannot open the trace database"},
      {"empty", [](const std::string& f) { std::ofstream{f}; }, false, "is not a trace database (it is empty)"},
  };
  for (const auto& c : cases) {
    const std::string file = File(std::string(c.name) + ".db");
    c.make(file);
    std::string error;
    EXPECT_FALSE(TraceDatabase::Open(file, c.create, &error)) << c.name;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.name << ": " << error;
    EXPECT_NE(error.find(file), std::string::npos) << c.name << ": the message names the file";
  }
}

TEST_F(StoreTest, MarksCoverTheBatchButNeverWhatWasSkipped) {
  auto db = TraceDatabase::Open(File("t.db"));
  for (int i = 0; i < 6; ++i) db->Append(At(1, 1, 2026), {u"B", u"SHOW"});
  ASSERT_TRUE(db->MarkSent(2, 4, {3}));
  std::vector<int64_t> unsent;
  for (const auto& r : db->Records(0, SIZE_MAX, true)) unsent.push_back(r.seq);
  EXPECT_EQ(unsent, (std::vector<int64_t>{1, 3, 5, 6}));
  EXPECT_EQ(db->Records(3, 1, true).front().seq, 5);
}

// The visitor hands every record in one reused record: a short or empty text after a long
// one must not keep the long one's tail.
TEST_F(StoreTest, VisitedRecordsCarryNothingOverFromTheOneBefore) {
  auto db = TraceDatabase::Open(File("visit.db"));
  ASSERT_TRUE(db);
  ASSERT_TRUE(db->Append(At(4, 1, 2026), {u"a-long-banner-name", u"PRESCRIBE", u"029876015"}, {u"D1", u"ASL1", u"MG"}));
  ASSERT_TRUE(db->Append(At(5, 1, 2026), {u"B", u"", u"x"}, {u"D2", u"", u""}));
  ASSERT_TRUE(db->MarkSent(1, 1));
  ASSERT_TRUE(db->Append(At(6, 1, 2026), {u"C", u"SHOW"}));
  std::vector<std::string> seen;
  const size_t visited = db->VisitRecords(0, SIZE_MAX, /*unsentOnly=*/true, [&](const TraceRecord& r) {
    seen.push_back(std::to_string(r.seq) + "|" + r.banner + "|" + r.action + "|" + r.parameter + "|" + r.doctor + "|" +
                   r.asl + "|" + r.branch);
  });
  EXPECT_EQ(visited, 2u);
  EXPECT_EQ(seen, (std::vector<std::string>{"2|B||x|D2||", "3|C|SHOW||||"}));
  EXPECT_EQ(db->VisitRecords(2, 5, false, [](const TraceRecord&) {}), 1u) << "after a sequence number";
}

TEST_F(StoreTest, TheAutomaticPushIsClaimedOncePerInterval) {
  auto db = TraceDatabase::Open(File("t.db"));
  auto other = TraceDatabase::Open(File("t.db"));  // a second host on the machine
  const int64_t hour = 3600;
  EXPECT_TRUE(db->ClaimAutoPush(At(1, 1, 2026, 8, 0, 0), hour));
  EXPECT_FALSE(other->ClaimAutoPush(At(1, 1, 2026, 8, 0, 0), hour));
  EXPECT_FALSE(other->ClaimAutoPush(At(1, 1, 2026, 8, 59, 59), hour));
  EXPECT_TRUE(other->ClaimAutoPush(At(1, 1, 2026, 9, 0, 0), hour));
  EXPECT_TRUE(db->ClaimAutoPush(At(31, 12, 2025), hour)) << "a clock set back does not stop the push for good";
}

TEST(TraceTimes, SortableTimesAndIsoWeeks) {
  struct Case {
    const char* text;
    bool valid;
    const char* week;
  };
  const std::vector<Case> cases = {
      {"2026-03-15 10:30:00", true, "2026-W11"}, {"2024-02-29 23:59:59", true, "2024-W09"},
      {"2021-01-03 00:00:00", true, "2020-W53"}, {"2024-12-30 12:00:00", true, "2025-W01"},
      {"2026-01-01 00:00:00", true, "2026-W01"}, {"2027-01-01 00:00:00", true, "2026-W53"},
      {"2025-02-29 10:00:00", false, ""},        {"2026-13-01 10:00:00", false, ""},
      {"2026-03-15 24:00:00", true, "2026-W11"}, {"2026-03-15", false, "2026-W11"},
      {"15/03/2026 10:30:00", false, ""},        {"", false, ""},
  };
  for (const auto& c : cases) {
    // A day that is valid keeps its week even when the time part is not.
    EXPECT_EQ(IsSortableTime(c.text), c.valid && std::string(c.text).substr(11) != "24:00:00") << c.text;
    EXPECT_EQ(IsoWeek(c.text), c.week) << c.text;
  }
}

Report SampleReport() {
  return BuildReport({{"B1", "080", "SHOW", 4, 3},
                      {"B1", "080", "prescribe", 1, 1},
                      {"B1", "080", "LINK", 2, 1},
                      {"=cmd|' /C calc'!A0", "030", "SHOW", 0, 0},
                      {"B,2", "030", "LINK", 1, 1}},
                     Grouping::kRegion);
}

TEST(TraceReport, FiguresAndFormats) {
  const Report report = SampleReport();
  EXPECT_EQ(report.words, (std::vector<std::string>{"LINK", "PRESCRIBE"}));
  EXPECT_EQ(FormatCsv(report),
            "banner,region,shows,doctors,presses,press_through,LINK,PRESCRIBE\n"
            "'=cmd|' /C calc'!A0,030,0,0,0,,0,0\n"
            "\"B,2\",030,0,0,1,,1,0\n"
            "B1,080,4,3,3,0.750,2,1\n");
  const std::string json = FormatJson(report);
  EXPECT_EQ(json.substr(0, json.find('\n', 2)),
            "[\n {\"banner\": \"=cmd|' /C calc'!A0\", \"region\": \"030\", \"shows\": 0, \"doctors\": 0, \"presses\": 0, "
            "\"press_through\": null, \"LINK\": 0, \"PRESCRIBE\": 0},");
  EXPECT_EQ(FormatTable(BuildReport({}, Grouping::kBanner)), "banner  shows  doctors  presses  press_through\n");
  EXPECT_EQ(FormatJson(BuildReport({}, Grouping::kBanner)), "[]\n");
}

TEST(TraceReport, TheHtmlPageIsSelfContained) {
  Report byDay = BuildReport({{"B1", "2026-03-01", "SHOW", 4, 3}, {"<b>", "2026-03-04", "LINK", 2, 1}}, Grouping::kDay);
  const std::string page = FormatHtml({SampleReport(), byDay, SampleReport(), "records of <t>.db", ""});
  for (const char* forbidden : {"<script", "src=", "href=", "url(", "<b>", "<t>"})
    EXPECT_EQ(page.find(forbidden), std::string::npos) << forbidden;
  EXPECT_NE(page.find("default-src 'none'"), std::string::npos);
  EXPECT_NE(page.find("&lt;b&gt;"), std::string::npos);
  // One chart per banner over every day from the first to the last, and one of the regions.
  size_t charts = 0;
  for (size_t at = page.find("<svg"); at != std::string::npos; at = page.find("<svg", at + 1)) ++charts;
  EXPECT_EQ(charts, 3u);
  EXPECT_NE(page.find("2026-03-04</text>"), std::string::npos);
  const size_t line = page.find("<polyline");
  EXPECT_EQ(std::count(page.begin() + line, page.begin() + page.find("/>", line), ','), 4) << "four days, four points";
}

class AutoPushTest : public StoreTest {
 protected:
  struct Recorder : shell::ProcessService {
    std::vector<std::vector<std::string>> started;
    bool Spawn(const std::string&, const std::vector<std::string>& argv) override {
      started.push_back(argv);
      return true;
    }
    bool IsProcessRunning(const std::string&) override { return false; }
    int GetPlatformId() override { return 2; }
  };
  void Settings(const std::string& text) { std::ofstream(File(kAutoPushSettingsName)) << text; }
  void Program() {
    std::ofstream(File("brevalcore")) << "#!/bin/sh\n";
    ::chmod(File("brevalcore").c_str(), 0755);
  }
  AutoPushOutcome Start() { return StartAutoPush(folder_, File("BVCTrace.db"), clock_, processes_); }
  Recorder processes_;
};

TEST_F(AutoPushTest, StartsOnlyWhenOnInstalledAndDue) {
  EXPECT_EQ(Start(), AutoPushOutcome::kOff) << "off by default";
  Settings("[Push]\nUrl=service=banners\nIntervalMinutes=30\nPseudonymise=push.key\n");
  EXPECT_EQ(Start(), AutoPushOutcome::kNoProgram);
  Program();
  EXPECT_EQ(Start(), AutoPushOutcome::kNoDatabase);
  TraceDatabase::Open(File("BVCTrace.db"));
  EXPECT_EQ(Start(), AutoPushOutcome::kStarted);
  EXPECT_EQ(Start(), AutoPushOutcome::kNotDue);
  clock_.AdvanceSeconds(30 * 60);
  EXPECT_EQ(Start(), AutoPushOutcome::kStarted);
  ASSERT_EQ(processes_.started.size(), 2u);
  EXPECT_EQ(processes_.started[0],
            (std::vector<std::string>{File("brevalcore"), "trace", "push", "--to", "service=banners", "--db",
                                      File("BVCTrace.db"), "--pseudonymise", File("push.key"), "--quiet"}));
}

TEST_F(AutoPushTest, SettingsOutOfRangeFallBackToTheDefaults) {
  for (const char* interval : {"0", "-5", "ten", "10x", ""}) {
    Settings(std::string("[Push]\nUrl=host=x\nIntervalMinutes=") + interval + "\nProgram=/opt/bvc/brevalcore\n");
    const AutoPushSettings settings = ReadAutoPushSettings(folder_);
    EXPECT_EQ(settings.intervalMinutes, kDefaultPushIntervalMinutes) << interval;
    EXPECT_EQ(settings.program, "/opt/bvc/brevalcore");
    EXPECT_EQ(settings.keyFile, "");
  }
}

}  // namespace
}  // namespace brevalcore::tracing
