// brevalcore trace: the banner analytics. `report` tells per banner how often it was shown, to
// how many doctors, and how often each of its commands was pressed, from the local trace
// database or from the analytics server; `push` ships the local records to the server exactly
// once; `init-server` creates or upgrades the server's schema.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <map>

#include "platform/automation/convert.h"
#include "rules/tracing/report.h"
#include "rules/tracing/store.h"
#include "tools/analytics/push.h"
#include "tools/analytics/schema.h"
#include "tools/analytics/server_report.h"
#include "tools/authoring/input_file.h"
#include "tools/brevalcore/command.h"

namespace brevalcore::tools {
namespace {

using analytics::Connection;
using analytics::ServerError;

// Pushes of fewer records finish before a progress line would be read.
constexpr int64_t kProgressFrom = 20000;

int RunTrace(const std::vector<std::string>& args);

const Subcommand kTrace{
    "trace", "report banner shows and presses; push the trace records to the analytics server",
    "usage: brevalcore trace report [--db FILE | --from URL] [--since DATE] [--until DATE] [--banner NAME]\n"
    "                               [--by banner|region|asl|week] [--format table|csv|json|html]\n"
    "       brevalcore trace push --to URL [--db FILE] [--pseudonymise KEYFILE] [--batch N] [--quiet]\n"
    "       brevalcore trace init-server URL\n"
    "  --db FILE      the local trace database (default: $BREVALCORE_TRACE_DB, else BVCTrace.db in the\n"
    "                 control folder)\n"
    "  --from URL     report from the analytics server instead\n"
    "  URL            a PostgreSQL connection URI (postgresql://...) or keyword string (\"host=... dbname=...\");\n"
    "                 TLS, ~/.pgpass, PG* variables and service files work as in psql\n"
    "  --since/--until DATE   first and last day, dd/mm/yyyy or yyyy-mm-dd, both included\n"
    "  --pseudonymise KEYFILE  send a keyed hash of each doctor's code instead of the code\n"
    "  Exit status: 0 done; 1 the database, the server or the network failed (the message says why;\n"
    "  nothing the server did not commit is marked sent); 2 bad arguments.\n",
    &RunTrace};
const SubcommandRegistration kRegistration{kTrace};

int Fail(const std::string& message) {
  std::fprintf(stderr, "brevalcore trace: %s\n", message.c_str());
  return 1;
}

// A day as "yyyy-mm-dd" from either form; empty when it is none.
std::string Day(const std::string& text) {
  if (tracing::IsSortableTime(text + " 00:00:00")) return text;
  const auto date = automation::ParseDate(automation::FromUtf8(text));
  return date ? tracing::SortableTime(*date).substr(0, 10) : std::string();
}

// Options as pairs; `flags` are the ones without a value. Returns an error text or "".
std::string TakeOptions(const std::vector<std::string>& args, size_t from, const std::vector<std::string>& known,
                        const std::vector<std::string>& flags, std::map<std::string, std::string>& options) {
  for (size_t i = from; i < args.size(); ++i) {
    const std::string& name = args[i];
    if (std::find(flags.begin(), flags.end(), name) != flags.end()) {
      options[name] = "1";
    } else if (std::find(known.begin(), known.end(), name) == known.end()) {
      return "unexpected argument: " + name;
    } else if (i + 1 >= args.size()) {
      return name + " needs a value";
    } else {
      options[name] = args[++i];
    }
  }
  return {};
}

std::unique_ptr<tracing::TraceDatabase> OpenLocal(const std::map<std::string, std::string>& options, std::string& error) {
  const auto option = options.find("--db");
  const std::string db = option == options.end() ? tracing::DefaultTraceDatabase() : option->second;
  // Never a FIFO or a device, and no more than a tool reads.
  if (auto refused = authoring::CheckInputFile(db, authoring::kMaxLibraryFileBytes)) {
    error = db + ": " + *refused;
    return nullptr;
  }
  return tracing::TraceDatabase::Open(db, /*create=*/false, &error);
}

int Report(const std::vector<std::string>& args) {
  std::map<std::string, std::string> o;
  if (auto error = TakeOptions(args, 1, {"--db", "--from", "--since", "--until", "--banner", "--by", "--format"}, {}, o);
      !error.empty())
    return UsageError(kTrace, error);
  if (o.count("--db") && o.count("--from")) return UsageError(kTrace, "--db and --from exclude each other");
  static const std::map<std::string, tracing::Grouping> kGroupings = {
      {"banner", tracing::Grouping::kBanner}, {"region", tracing::Grouping::kRegion},
      {"asl", tracing::Grouping::kAsl}, {"week", tracing::Grouping::kWeek}};
  tracing::CountQuery query;
  const auto by = kGroupings.find(o.count("--by") ? o["--by"] : "banner");
  if (by == kGroupings.end()) return UsageError(kTrace, "--by: banner, region, asl or week, not " + o["--by"]);
  query.by = by->second;
  const std::string format = o.count("--format") ? o["--format"] : "table";
  if (format != "table" && format != "csv" && format != "json" && format != "html")
    return UsageError(kTrace, "--format: table, csv, json or html, not " + format);
  for (auto [option, day] : {std::pair{"--since", &query.since}, std::pair{"--until", &query.until}}) {
    if (!o.count(option)) continue;
    *day = Day(o[option]);
    if (day->empty()) return UsageError(kTrace, std::string(option) + ": not a date: " + o[option]);
  }
  query.banner = o["--banner"];

  std::function<std::vector<tracing::CountRow>(const tracing::CountQuery&)> counts;
  std::string source, error;
  std::unique_ptr<Connection> server;
  std::unique_ptr<tracing::TraceDatabase> local;
  if (o.count("--from")) {
    server = std::make_unique<Connection>(o["--from"]);
    analytics::CheckServer(*server);
    source = "records on the analytics server " + server->Describe();
    counts = [&](const tracing::CountQuery& q) { return analytics::ServerCounts(*server, q); };
  } else {
    local = OpenLocal(o, error);
    if (!local) return Fail(error);
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

int Push(const std::vector<std::string>& args) {
  std::map<std::string, std::string> o;
  if (auto error = TakeOptions(args, 1, {"--to", "--db", "--pseudonymise", "--batch"}, {"--quiet"}, o); !error.empty())
    return UsageError(kTrace, error);
  if (!o.count("--to")) return UsageError(kTrace, "push needs --to URL");
  analytics::PushOptions options;
  if (o.count("--batch")) {
    try {
      options.batchSize = std::stoul(o["--batch"]);
    } catch (const std::exception&) {
      options.batchSize = 0;
    }
    if (options.batchSize == 0) return UsageError(kTrace, "--batch: a positive number, not " + o["--batch"]);
  }
  const bool quiet = o.count("--quiet") > 0;
  std::string error;
  auto local = OpenLocal(o, error);
  if (!local) return Fail(error);
  int64_t sent = 0;
  try {
    if (o.count("--pseudonymise")) options.key = analytics::ReadKeyFile(o["--pseudonymise"]);
    Connection server(o["--to"]);
    analytics::CheckServer(server);
    const bool showProgress = !quiet && ::isatty(2) && local->UnsentCount() >= kProgressFrom;
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

int InitServer(const std::vector<std::string>& args) {
  if (args.size() != 2) return UsageError(kTrace, "init-server takes one URL");
  try {
    Connection server(args[1]);
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

int RunTrace(const std::vector<std::string>& args) {
  if (args.empty()) return UsageError(kTrace, "expected report, push or init-server");
  try {
    if (args[0] == "report") return Report(args);
    if (args[0] == "push") return Push(args);
    if (args[0] == "init-server") return InitServer(args);
  } catch (const ServerError& e) {
    return Fail(e.what());
  }
  return UsageError(kTrace, "expected report, push or init-server, not " + args[0]);
}

}  // namespace
}  // namespace brevalcore::tools
