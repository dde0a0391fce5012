// brevalcore trace report [--db FILE] [--since dd/mm/yyyy]: how often each banner was shown
// and each of its commands clicked, from the bundled tracer's database.
#include <iostream>

#include "platform/automation/convert.h"
#include "rules/tracing/tracer.h"
#include "tools/authoring/input_file.h"
#include "tools/brevalcore/command.h"

namespace brevalcore::tools {
namespace {

int RunTrace(const std::vector<std::string>& args);

const Subcommand kTrace{
    "trace", "report banner shows and command clicks recorded by the tracer",
    "usage: brevalcore trace report [--db FILE] [--since dd/mm/yyyy]\n"
    "  --db FILE      the trace database (default: $BREVALCORE_TRACE_DB, else BVCTrace.db in the control folder)\n"
    "  --since DATE   only events on or after that day\n"
    "The database must be a regular file of at most 1 GB.\n",
    &RunTrace};
const SubcommandRegistration kRegistration{kTrace};

int RunTrace(const std::vector<std::string>& args) {
  if (args.empty() || args[0] != "report") return UsageError(kTrace, "expected 'report'");
  std::string db = tracing::DefaultTraceDatabase();
  std::optional<automation::Date> since;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--db" && i + 1 < args.size()) {
      db = args[++i];
    } else if (args[i] == "--since" && i + 1 < args.size()) {
      since = automation::ParseDate(automation::FromUtf8(args[++i]));
      if (!since) return UsageError(kTrace, "not a date: " + args[i]);
    } else {
      return UsageError(kTrace, "unexpected argument: " + args[i]);
    }
  }
  if (auto refused = authoring::CheckInputFile(db, authoring::kMaxLibraryFileBytes)) {
    std::cerr << "brevalcore trace: " << db << ": " << *refused << "\n";
    return 1;
  }
  auto database = tracing::TraceDatabase::Open(db, /*create=*/false);
  if (!database) {
    std::cerr << "brevalcore trace: cannot open " << db << "\n";
    return 1;
  }
  std::cout << tracing::FormatReport(database->Summarise(since));
  return 0;
}

}  // namespace
}  // namespace brevalcore::tools
