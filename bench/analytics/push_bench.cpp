// Banner analytics at scale: 1,000 installations x 10,000 records pushed into a local
// PostgreSQL server, beside psql's plain COPY of the very same rows into a second database of
// the same schema, in the same run; then the report of one banner over one month, read from
// the roll-up of those 10 million records. Goals: the push within twice psql's COPY, the
// report under a second.
//
// BREVALCORE_PUSH_BENCH_INSTALLATIONS and BREVALCORE_PUSH_BENCH_RECORDS scale it down for a
// quick look; BREVALCORE_PUSH_BENCH_STATEMENTS=1 prints the server's time per statement after
// each side (pg_stat_statements, loaded by restarting the server before the sides run).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "platform/automation/text.h"
#include "platform/shell/clock.h"
#include "rules/tracing/report.h"
#include "rules/tracing/store.h"
#include "tests/analytics/temp_postgres.h"
#include "tools/analytics/push.h"
#include "tools/analytics/schema.h"
#include "tools/analytics/server_report.h"

namespace brevalcore::analytics {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using automation::String;

int Setting(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value && std::atoi(value) > 0 ? std::atoi(value) : fallback;
}

const int kInstallations = Setting("BREVALCORE_PUSH_BENCH_INSTALLATIONS", 1000);
const int kRecords = Setting("BREVALCORE_PUSH_BENCH_RECORDS", 10000);
constexpr int kBanners = 20, kRegions = 20, kAsls = 200;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// The installations' databases (a year of one doctor's banner events each), the rows they
// will send as one COPY file, and two databases of the same schema on one server.
struct Workspace {
  std::unique_ptr<testing::TempPostgres> server;
  fs::path root;
  std::vector<std::string> locals;
  std::string rowsFile, pushDb, copyDb;
  double pushSeconds = 0, copySeconds = 0;

  Workspace() {
    server = std::make_unique<testing::TempPostgres>();
    std::string pattern = (fs::temp_directory_path() / "bvc-push-bench-XXXXXX").string();
    root = ::mkdtemp(pattern.data());
    rowsFile = (root / "rows.copy").string();
    std::ofstream rows(rowsFile, std::ios::binary);
    std::mt19937 rng(42);
    const double start = shell::MakeDate({2026, 1, 1, 8, 0, 0}).value;
    static const char16_t* const kActions[] = {u"SHOW", u"SHOW", u"SHOW", u"SHOW", u"PRESCRIBE", u"LINK", u"SHELL"};
    for (int n = 0; n < kInstallations; ++n) {
      locals.push_back((root / ("install" + std::to_string(n) + ".db")).string());
      auto db = tracing::TraceDatabase::Open(locals.back());
      const String region = automation::FromUtf8(std::to_string(n % kRegions));
      const String asl = automation::FromUtf8(std::to_string(n % kAsls));
      const String doctor = u"D" + automation::FromUtf8(std::to_string(n));
      db->Begin();
      for (int i = 0; i < kRecords; ++i) {
        const automation::Date when{start + 364.0 * i / kRecords + (rng() % 600) / 1440.0};
        db->Append(when, {u"B" + automation::FromUtf8(std::to_string(rng() % kBanners)), kActions[rng() % 7],
                          u"029876015", u"KORALTE", region, u"MI", u"uid", u"MMG"},
                   {doctor, asl, u"MG"});
      }
      db->Commit();
      for (const auto& record : db->Records()) rows << CopyLine(db->Installation(), record, std::nullopt);
    }
    rows.close();
    pushDb = server->CreateDatabase();
    copyDb = server->CreateDatabase();
    for (const auto& name : {pushDb, copyDb}) {
      Connection c(server->Url(name));
      InitServer(c);
    }
    // psql's COPY gets the month partitions made beforehand; the push makes its own.
    Connection copy(server->Url(copyDb));
    for (int month = 1; month <= 12; ++month)
      copy.Exec("SELECT brevalcore.ensure_month($1::date)", {"2026-" + std::string(month < 10 ? "0" : "") + std::to_string(month) + "-01"});
    // Autovacuum would clean up after whichever side ran first while the other is timed, on a
    // machine of two cores; the report benchmark analyses the roll-up itself.
    Connection admin(server->Url());
    admin.Exec("ALTER SYSTEM SET autovacuum = off");
    admin.Exec("ALTER SYSTEM SET track_functions = 'pl'");  // the roll-up's share of each side
    admin.Exec("SELECT pg_reload_conf()");
    if (std::getenv("BREVALCORE_PUSH_BENCH_STATEMENTS")) TrackStatements();
  }
  // Each statement's time on the server, nested ones (the roll-up's) included, printed after
  // each side: where a side's time goes as the server sees it.
  void TrackStatements() {
    {
      Connection admin(server->Url());
      admin.Exec("ALTER SYSTEM SET shared_preload_libraries = 'pg_stat_statements'");
      admin.Exec("CHECKPOINT");  // the server commits without waiting: what it made goes to disk first
    }
    server->Crash();
    server->Start();
    Connection admin(server->Url());
    admin.Exec("ALTER SYSTEM SET pg_stat_statements.track = 'all'");  // known once the library is loaded
    admin.Exec("SELECT pg_reload_conf()");
    for (const auto& name : {pushDb, copyDb}) Connection(server->Url(name)).Exec("CREATE EXTENSION pg_stat_statements");
    trackingStatements = true;
  }
  void PrintStatements(const std::string& database) const {
    if (!trackingStatements) return;
    Connection c(server->Url(database));
    const Result top = c.Exec(
        "SELECT round(total_exec_time::numeric / 1000, 2), calls, shared_blks_hit, shared_blks_read, left(regexp_replace(query,"
        " '\\s+', ' ', 'g'), 90) FROM pg_stat_statements WHERE dbid = (SELECT oid FROM pg_database WHERE datname ="
        " current_database()) ORDER BY total_exec_time DESC LIMIT 8");
    std::fprintf(stderr, "%s: seconds, calls, blocks hit, blocks read, statement\n", database.c_str());
    for (int r = 0; r < top.Rows(); ++r)
      std::fprintf(stderr, "  %8s %7s %10s %9s  %s\n", top.Text(r, 0).c_str(), top.Text(r, 1).c_str(),
                   top.Text(r, 2).c_str(), top.Text(r, 3).c_str(), top.Text(r, 4).c_str());
  }
  bool trackingStatements = false;
  // Each side starts on a quiet server: the other's dirty pages written out beforehand.
  void Settle() { Connection(server->Url()).Exec("CHECKPOINT"); }
  ~Workspace() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }
};

Workspace& Space() {
  static Workspace space;
  return space;
}

int64_t TotalRecords() { return int64_t(kInstallations) * kRecords; }

// The server's side of a run: index blocks each table's indexes had to read in (from the OS,
// not found in shared buffers), summed over the partitions. Where the two sides differ here is
// where their costs differ.
void AddBlockReads(benchmark::State& state, Workspace& w, const std::string& database) {
  Connection server(w.server->Url(database));
  const Result reads = server.Exec(
      "SELECT coalesce(sum(idx_blks_read) FILTER (WHERE relname = 'daily'), 0),"
      " coalesce(sum(idx_blks_read) FILTER (WHERE relname LIKE 'records%'), 0)"
      " FROM pg_statio_user_tables WHERE schemaname = 'brevalcore'");
  state.counters["daily_index_reads"] = double(reads.Int(0, 0));
  state.counters["records_index_reads"] = double(reads.Int(0, 1));
  const Result rollUp = server.Exec(
      "SELECT coalesce(sum(total_time), 0) / 1000 FROM pg_stat_user_functions WHERE funcname = 'roll_up_records'");
  state.counters["roll_up_s"] = std::stod(rollUp.Text(0, 0));
}

// What the server's ended backends have used, as their postmaster reaped them: what a side
// cost the server itself, whatever else the machine was running meanwhile. The minor page
// faults count the pages a backend touched for the first time (shared buffers, WAL buffers, its
// own memory): a price every new backend pays again.
struct ServerUsage {
  double cpuSeconds = 0;
  double minorFaults = 0;
};

ServerUsage EndedBackendsUsage(Workspace& w) {
  int backend = 0;
  {
    Connection server(w.server->Url());
    backend = static_cast<int>(server.Exec("SELECT pg_backend_pid()").Int(0, 0));
  }
  auto fields = [](int pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream rest(text.substr(text.rfind(')') + 2));  // after the command's name
    std::vector<std::string> values{"pid", "comm"};
    for (std::string v; rest >> v;) values.push_back(v);
    return values;
  };
  const auto self = fields(backend);
  if (self.size() < 4) return {};  // no /proc: the counters read 0
  const auto postmaster = fields(std::stoi(self[3]));
  if (postmaster.size() < 17) return {};
  return {(std::stod(postmaster[15]) + std::stod(postmaster[16])) / double(::sysconf(_SC_CLK_TCK)),
          std::stod(postmaster[10])};
}

// The server's counters of a side: what its ended backends used since `before`.
void AddServerUsage(benchmark::State& state, Workspace& w, const ServerUsage& before) {
  const ServerUsage after = EndedBackendsUsage(w);
  state.counters["server_cpu_s"] = after.cpuSeconds - before.cpuSeconds;
  state.counters["server_faults"] = after.minorFaults - before.minorFaults;
}

void PsqlCopy(benchmark::State& state) {
  Workspace& w = Space();
  for (auto _ : state) {
    const std::string command = "'" + w.server->bin() + "/psql' -q -v ON_ERROR_STOP=1 '" + w.server->Url(w.copyDb) +
                                "' -c \"\\copy brevalcore.records (installation, seq, time, doctor, banner, action,"
                                " parameter, software, region, asl, branch) FROM '" + w.rowsFile + "'\"";
    w.Settle();
    const ServerUsage before = EndedBackendsUsage(w);
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0) state.SkipWithError("psql's COPY failed");
    w.copySeconds = Seconds(start);
    AddServerUsage(state, w, before);
    state.SetIterationTime(w.copySeconds);
  }
  state.counters["records_per_s"] = double(TotalRecords()) / w.copySeconds;
  AddBlockReads(state, w, w.copyDb);
  w.PrintStatements(w.copyDb);
}

// The roll-up's content, independent of row order: its rows, events, and a sum of a hash of
// each row.
std::string DailyFingerprint(Workspace& w, const std::string& database) {
  Connection server(w.server->Url(database));
  const Result r = server.Exec(
      "SELECT count(*) || ' ' || sum(events) || ' ' || sum(hashtext(concat_ws('|', banner, day, region, asl, doctor,"
      " action, events))::bigint) FROM brevalcore.daily");
  return r.Text(0, 0);
}

// Every installation pushes its own database, one after the other, each on its own connection.
void Push(benchmark::State& state) {
  Workspace& w = Space();
  for (auto _ : state) {
    w.Settle();
    const ServerUsage before = EndedBackendsUsage(w);
    const auto start = Clock::now();
    int64_t sent = 0;
    double connecting = 0, checking = 0;
    for (const auto& file : w.locals) {
      auto db = tracing::TraceDatabase::Open(file, false);
      auto step = Clock::now();
      Connection server(w.server->Url(w.pushDb));
      connecting += Seconds(step);
      step = Clock::now();
      CheckServer(server);
      checking += Seconds(step);
      sent += analytics::Push(server, *db, {}).sent;
    }
    w.pushSeconds = Seconds(start);
    AddServerUsage(state, w, before);
    state.counters["connect_s"] = connecting;
    state.counters["check_s"] = checking;
    state.SetIterationTime(w.pushSeconds);
    if (sent != TotalRecords()) state.SkipWithError("not every record was sent");
    // A fair comparison ends where psql's ends: the same roll-up.
    if (w.copySeconds > 0 && DailyFingerprint(w, w.pushDb) != DailyFingerprint(w, w.copyDb))
      state.SkipWithError("the push's roll-up differs from psql's");
  }
  state.counters["records_per_s"] = double(TotalRecords()) / w.pushSeconds;
  state.counters["ratio_to_PsqlCopy"] = w.copySeconds > 0 ? w.pushSeconds / w.copySeconds : 0;
  AddBlockReads(state, w, w.pushDb);
  w.PrintStatements(w.pushDb);
}

// One banner over one month, through the roll-up, as `brevalcore trace report --from` does.
void ReportMonthOfOneBanner(benchmark::State& state) {
  Workspace& w = Space();
  Connection server(w.server->Url(w.pushDb));
  server.Exec("ANALYZE brevalcore.daily");
  for (auto _ : state) {
    const auto rows = ServerCounts(server, {tracing::Grouping::kBanner, "2026-03-01", "2026-03-31", "B7"});
    const tracing::Report report = tracing::BuildReport(rows, tracing::Grouping::kBanner);
    if (report.lines.size() != 1) state.SkipWithError("no report for B7 in March");
    benchmark::DoNotOptimize(report);
  }
}

BENCHMARK(PsqlCopy)->Unit(benchmark::kSecond)->Iterations(1)->UseManualTime();
BENCHMARK(Push)->Unit(benchmark::kSecond)->Iterations(1)->UseManualTime();
BENCHMARK(ReportMonthOfOneBanner)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

}  // namespace
}  // namespace brevalcore::analytics

BENCHMARK_MAIN();
