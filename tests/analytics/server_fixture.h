#pragma once
// One real PostgreSQL server for the whole test program, a fresh database with the brevalcore
// schema for each test, local trace databases filled with a known spread of records, and the
// brevalcore tool run as a user runs it.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "platform/automation/text.h"
#include "platform/shell/clock.h"
#include "rules/tracing/store.h"
#include "tests/analytics/temp_postgres.h"
#include "tools/analytics/pg.h"
#include "tools/analytics/schema.h"

extern char** environ;

namespace brevalcore::analytics::testing {

namespace fs = std::filesystem;
using automation::String;
using tracing::TraceDatabase;

struct ToolRun {
  int status = -1;
  std::string out, err;
};

inline std::string Slurp(const std::string& file) {
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Starts `brevalcore ARGS` with its output in OUT.out and OUT.err; returns the process.
inline pid_t StartTool(const std::vector<std::string>& args, const std::string& out) {
  std::vector<std::string> argv{std::string(BREVALCORE_BIN_DIR) + "/brevalcore"};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> raw;
  for (auto& a : argv) raw.push_back(a.data());
  raw.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, (out + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, (out + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  EXPECT_EQ(posix_spawn(&pid, raw[0], &actions, nullptr, raw.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

inline ToolRun WaitTool(pid_t pid, const std::string& out) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return ToolRun{WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), Slurp(out + ".out"),
                 Slurp(out + ".err")};
}

class ServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = new TempPostgres(); }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    database_ = server_->CreateDatabase();
    url_ = server_->Url(database_);
    Connection connection(url_);
    InitServer(connection);
    std::string pattern = (fs::temp_directory_path() / "brevalcore-analytics-XXXXXX").string();
    folder_ = ::mkdtemp(pattern.data());
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }

  std::string File(const std::string& name) const { return folder_ + "/" + name; }

  ToolRun Tool(const std::vector<std::string>& args) {
    const std::string out = File("tool" + std::to_string(++runs_));
    return WaitTool(StartTool(args, out), out);
  }

  // A local database with `count` records over forty days around a new year, five banners,
  // four doctors, three regions; `offset` varies the mix between installations.
  std::unique_ptr<TraceDatabase> Local(const std::string& name, int count, int offset = 0) {
    auto db = TraceDatabase::Open(File(name));
    EXPECT_TRUE(db);
    Append(*db, count, offset);
    return db;
  }
  static void Append(TraceDatabase& db, int count, int offset = 0) {
    static const char16_t* const kActions[] = {u"SHOW", u"SHOW", u"SHOW", u"PRESCRIBE", u"LINK", u"SHOW", u"SHELL"};
    static const char16_t* const kRegions[] = {u"080", u"030", u"120"};
    const double start = shell::MakeDate({2025, 12, 10, 8, 0, 0}).value;
    db.Begin();
    for (int j = 0; j < count; ++j) {
      const int i = j + offset;
      const automation::Date when{start + i % 40 + (i % 600) / 1440.0};
      const String banner = u"B" + automation::FromUtf8(std::to_string(i % 5));
      const String doctor = u"D" + automation::FromUtf8(std::to_string((i / 3) % 4));
      db.Append(when, {banner, kActions[i % 7], u"aic" + automation::FromUtf8(std::to_string(i % 11)), u"KORALTE",
                       kRegions[i % 3], u"MI", u"uid", u"MMG"},
                {doctor, u"ASL" + automation::FromUtf8(std::to_string(i % 2)), u"MG"});
    }
    db.Commit();
  }

  int64_t ServerCount(const std::string& installation = {}) {
    Connection c(url_);
    if (installation.empty()) return c.Exec("SELECT count(*) FROM brevalcore.records").Int(0, 0);
    return c.Exec("SELECT count(*) FROM brevalcore.records WHERE installation = $1", {installation}).Int(0, 0);
  }

  static int64_t Marked(TraceDatabase& db) { return static_cast<int64_t>(db.Records().size()) - db.UnsentCount(); }

  // The server holds every record of `locals` once, the roll-up counts each once, and every
  // local record is marked sent.
  void ExpectExactlyOnce(const std::vector<TraceDatabase*>& locals) {
    Connection c(url_);
    EXPECT_EQ(c.Exec("SELECT count(*) FROM (SELECT 1 FROM brevalcore.records GROUP BY installation, seq"
                     " HAVING count(*) > 1) twice")
                  .Int(0, 0),
              0);
    int64_t total = 0;
    for (TraceDatabase* db : locals) {
      const auto n = static_cast<int64_t>(db->Records().size());
      EXPECT_EQ(db->UnsentCount(), 0) << db->File();
      EXPECT_EQ(ServerCount(db->Installation()), n) << db->File();
      total += n;
    }
    EXPECT_EQ(ServerCount(), total);
    EXPECT_EQ(c.Exec("SELECT coalesce(sum(events), 0) FROM brevalcore.daily").Int(0, 0), total)
        << "the roll-up counts each record once";
    EXPECT_EQ(RollUpMismatches(c), 0) << "every row of the roll-up is the records' own";
  }

  // Rows where `daily` and a roll-up made afresh from the records disagree, in either direction.
  static int64_t RollUpMismatches(Connection& c) {
    return c.Exec("SELECT count(*) FROM brevalcore.daily d FULL JOIN (SELECT banner, time::date AS day, region, asl,"
                  " doctor, action, count(*) AS events FROM brevalcore.records GROUP BY 1, 2, 3, 4, 5, 6) r"
                  " USING (banner, day, region, asl, doctor, action) WHERE d.events IS DISTINCT FROM r.events")
        .Int(0, 0);
  }

  static inline TempPostgres* server_ = nullptr;
  std::string database_, url_, folder_;
  int runs_ = 0;
};

}  // namespace brevalcore::analytics::testing
