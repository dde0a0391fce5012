// brevalcore trace: the banner analytics. `report` tells per banner how often it was shown, to
// how many doctors, and how often each of its commands was pressed, from the local trace
// database or from the analytics server; `push` ships the local records to the server exactly
// once; `init-server` creates or upgrades the server's schema.
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <tuple>

#include "platform/automation/convert.h"
#include "rules/tracing/report.h"
#include "rules/tracing/store.h"
#include "tools/analytics/push.h"
#include "tools/analytics/schema.h"
#include "tools/analytics/server_report.h"
#include "tools/authoring/input_file.h"
#include "tools/brevalcore/cli.h"

namespace brevalcore::tools {
namespace {

using analytics::Connection;
using analytics::ServerError;

// Pushes of fewer records finish before a progress line would be read.
constexpr int64_t kProgressFrom = 20000;

struct TraceOptions {
  std::string db, from, since, until, banner, by = "banner", format = "table";
  bool json = false;
  std::string to, pseudonymise, url;
  size_t batch = 0;
};

int Fail(const std::string& message) { return Complain("trace", message, kExitFailed); }

// A day as "yyyy-mm-dd" from either form; empty when it is none.
std::string Day(const std::string& text) {
  if (tracing::IsSortableTime(text + " 00:00:00")) return text;
  const auto date = automation::ParseDate(automation::FromUtf8(text));
  return date ? tracing::SortableTime(*date).substr(0, 10) : std::string();
}

// The local trace database, or nullptr after saying why: exit 2 when it is no file the tool
// can read (a FIFO, a device, missing), 1 when the database itself fails to open.
std::unique_ptr<tracing::TraceDatabase> OpenLocal(const TraceOptions& o, int& status) {
  const std::string db = o.db.empty() ? tracing::DefaultTraceDatabase() : o.db;
  if (auto refused = authoring::CheckInputFile(db, authoring::kMaxLibraryFileBytes)) {
    status = Complain("trace", db + ": " + *refused, kExitUsage);
    return nullptr;
  }
  std::string error;
  auto database = tracing::TraceDatabase::Open(db, /*create=*/false, &error);
  if (!database) status = Fail(error);
  return database;
}

int Report(const TraceOptions& o) {
  static const std::map<std::string, tracing::Grouping> kGroupings = {
      {"banner", tracing::Grouping::kBanner}, {"region", tracing::Grouping::kRegion},
      {"asl", tracing::Grouping::kAsl}, {"week", tracing::Grouping::kWeek}};
  tracing::CountQuery query;
  query.by = kGroupings.at(o.by);
  const std::string format = o.json ? "json" : o.format;
  for (auto [option, text, day] : {std::tuple{"--since", &o.since, &query.since}, std::tuple{"--until", &o.until, &query.until}}) {
    if (text->empty()) continue;
    *day = Day(*text);
    if (day->empty()) return Complain("trace report", std::string(option) + ": not a date: " + *text, kExitUsage);
  }
  query.banner = o.banner;

  std::function<std::vector<tracing::CountRow>(const tracing::CountQuery&)> counts;
  std::string source;
  std::unique_ptr<Connection> server;
  std::unique_ptr<tracing::TraceDatabase> local;
  if (!o.from.empty()) {
    server = std::make_unique<Connection>(o.from);
    analytics::CheckServer(*server);
    source = "records on the analytics server " + server->Describe();
    counts = [&](const tracing::CountQuery& q) { return analytics::ServerCounts(*server, q); };
  } else {
    int status = kExitOk;
    local = OpenLocal(o, status);
    if (!local) return status;
    source = "records of " + local->File();
    counts = [&](const tracing::CountQuery& q) { return local->Counts(q); };
  }

  const tracing::Report report = tracing::BuildReport(counts(query), query.by);
  if (format == "table") std::cout << tracing::FormatTable(report);
  if (format == "csv") std::cout << tracing::FormatCsv(report);
  if (format == "json") std::cout << tracing::FormatJson(report);
  if (format == "html") {
    tracing::HtmlReport page{report, {}, {}, source, {}};
    tracing::CountQuery perDay = query, perRegion = query;
    perDay.by = tracing::Grouping::kDay;
    perRegion.by = tracing::Grouping::kRegion;
    page.byDay = tracing::BuildReport(counts(perDay), perDay.by);
    page.byRegion = tracing::BuildReport(counts(perRegion), perRegion.by);
    if (!query.since.empty() || !query.until.empty())
      page.period = (query.since.empty() ? "from the first record" : "from " + query.since) +
                    (query.until.empty() ? " on" : " to " + query.until);
    std::cout << tracing::FormatHtml(page);
  }
  return 0;
}

int Push(const TraceOptions& o) {
  analytics::PushOptions options;
  if (o.batch) options.batchSize = o.batch;
  const bool quiet = Manners().quiet;
  int status = kExitOk;
  auto local = OpenLocal(o, status);
  if (!local) return status;
  int64_t sent = 0;
  try {
    if (!o.pseudonymise.empty()) options.key = analytics::ReadKeyFile(o.pseudonymise);
    Connection server(o.to);
    analytics::CheckServer(server);
    const bool showProgress = ProgressOnStderr() && local->UnsentCount() >= kProgressFrom;
    options.progress = [&](int64_t done, int64_t total) {
      sent = done;
      if (showProgress) std::fprintf(stderr, "\rsent %lld of %lld records", static_cast<long long>(done), static_cast<long long>(total));
    };
    const analytics::PushResult result = analytics::Push(server, *local, options);
    if (showProgress) std::fprintf(stderr, "\n");
    if (!quiet) std::printf("%lld records sent to %s\n", static_cast<long long>(result.sent), server.Describe().c_str());
    if (!result.skipped.empty()) {
      std::string list;
      for (int64_t seq : result.skipped) list += (list.empty() ? "" : ", ") + std::to_string(seq);
      return Fail(std::to_string(result.skipped.size()) + " records of " + local->File() +
                  " have no valid time and were not sent: " + list);
    }
    return 0;
  } catch (const std::exception& e) {
    std::string kept;
    if (sent > 0) kept = " (" + std::to_string(sent) + " records were sent and marked before)";
    return Fail(e.what() + kept + "; the records not sent stay in " + local->File() + " for the next push");
  }
}

int InitServer(const TraceOptions& o) {
  try {
    Connection server(o.url);
    const analytics::InitOutcome outcome = analytics::InitServer(server);
    if (outcome.from == outcome.to) {
      std::printf("the schema of %s is at version %d already\n", server.Describe().c_str(), outcome.to);
    } else {
      std::printf("the schema of %s went from version %d to %d\n", server.Describe().c_str(), outcome.from, outcome.to);
    }
    return 0;
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
}

int RunTrace(const std::string& verb, const TraceOptions& o) {
  try {
    if (verb == "report") return Report(o);
    if (verb == "push") return Push(o);
    return InitServer(o);
  } catch (const ServerError& e) {
    return Fail(e.what());
  }
}

void AddDatabaseOption(CLI::App& app, TraceOptions& o) {
  app.add_option("--db", o.db, "the local trace database (default: $BREVALCORE_TRACE_DB, else BVCTrace.db in the control folder)")
      ->type_name("FILE");
}

void DefineReport(CLI::App& app, TraceOptions& o) {
  CLI::Option* db = app.add_option("--db", o.db, "the local trace database (the default as for push)")->type_name("FILE");
  app.add_option("--from", o.from, "report from the analytics server (a PostgreSQL URI or keyword string) instead")
      ->type_name("URL")
      ->excludes(db);
  app.add_option("--since", o.since, "the first day, dd/mm/yyyy or yyyy-mm-dd")->type_name("DATE");
  app.add_option("--until", o.until, "the last day, included")->type_name("DATE");
  app.add_option("--banner", o.banner, "one banner only")->type_name("NAME");
  app.add_option("--by", o.by, "the rows: per banner, region, ASL or week")
      ->check(CLI::IsMember({"banner", "region", "asl", "week"}));
  app.add_option("--format", o.format, "table, csv, json or html (a page with the counts per day and region)")
      ->check(CLI::IsMember({"table", "csv", "json", "html"}));
  app.add_flag("--json", o.json, "the same as --format json");
}

void DefinePush(CLI::App& app, TraceOptions& o) {
  app.add_option("--to", o.to, "the analytics server: a PostgreSQL URI or keyword string")->required()->type_name("URL");
  AddDatabaseOption(app, o);
  app.add_option("--pseudonymise", o.pseudonymise, "send a keyed hash of each doctor's code instead of the code")
      ->type_name("FILE");
  app.add_option("--batch", o.batch, "records per transaction")->check(CLI::PositiveNumber)->type_name("N");
}

Runner DefineTrace(CLI::App& app) {
  auto o = std::make_shared<TraceOptions>();
  app.require_subcommand(1);
  CLI::App* report = app.add_subcommand("report", "how often each banner was shown, to how many doctors, and its presses");
  CLI::App* push = app.add_subcommand("push", "ship the local records to the analytics server, each exactly once");
  CLI::App* init = app.add_subcommand("init-server", "create or upgrade the analytics server's schema");
  for (CLI::App* sub : {report, push, init}) AddMannerOptions(*sub);
  DefineReport(*report, *o);
  DefinePush(*push, *o);
  init->add_option("URL", o->url, "the analytics server: a PostgreSQL URI or keyword string")->required();
  return [o, report, push] { return RunTrace(report->parsed() ? "report" : push->parsed() ? "push" : "init-server", *o); };
}

const SubcommandRegistration kRegistration({
    "trace", "report banner shows and presses; push the trace records to the analytics server",
    "URL is a PostgreSQL connection URI (postgresql://...) or keyword string (\"host=... dbname=...\");\n"
    "TLS, ~/.pgpass, PG* variables and service files work as in psql. A push that fails marks\n"
    "nothing the server did not commit as sent; the message says why. A push of many records\n"
    "shows its progress on a terminal.\n",
    DefineTrace});

}  // namespace
}  // namespace brevalcore::tools
