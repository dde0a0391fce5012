#pragma once
// The bundled tracing component ("BVCTracing.Tracing"): every Trace call becomes one row of a
// SQLite database, with the time of the call and the eight values. Several hosts may write
// the same database at once (write-ahead log, waits on a busy database). The report of the
// `brevalcore trace` tool reads the same database.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/automation/dispatch.h"
#include "platform/automation/factory.h"
#include "platform/shell/clock.h"

struct sqlite3;

namespace brevalcore::tracing {

using automation::String;

inline constexpr char kTraceDbVariable[] = "BREVALCORE_TRACE_DB";
inline constexpr char kDefaultTraceDbName[] = "BVCTrace.db";

// BREVALCORE_TRACE_DB when set, else "BVCTrace.db" in the process-wide control folder.
std::string DefaultTraceDatabase();
// BREVALCORE_TRACE_DB when set, else "BVCTrace.db" in `controlFolder`.
std::string TraceDatabaseIn(const std::string& controlFolder);

// An open trace database; closes on destruction.
class TraceDatabase {
 public:
  // Opens (creating when needed) the database; nullptr when it cannot be opened or set up.
  static std::unique_ptr<TraceDatabase> Open(const std::string& file, bool create = true);
  ~TraceDatabase();

  // Appends one row; false when the write failed.
  bool Append(automation::Date when, const std::vector<String>& values);
  // SQLite's text for the last failure.
  std::string ErrorText() const;

  struct Row {
    std::string time;  // "yyyy-mm-dd hh:nn:ss", sortable
    std::vector<std::string> values;  // the eight values, UTF-8
  };
  // Rows at or after `since` (an automation date), oldest first.
  std::vector<Row> Rows(std::optional<automation::Date> since = {}) const;

  // Per banner name: how often each action word was recorded.
  using Summary = std::map<std::string, std::map<std::string, long>>;
  Summary Summarise(std::optional<automation::Date> since = {}) const;

 private:
  explicit TraceDatabase(sqlite3* db) : db_(db) {}
  sqlite3* db_;
};

// The automation object: Trace(banner, action, parameter, software, region, province, uid,
// role). A failed write raises 57 with SQLite's text; the caller (TraceBannerAction) swallows
// it, so tracing never disturbs the control, and tells the host.
class Tracer : public automation::DispatchObject<Tracer> {
 public:
  static const automation::ClassInfo& Class();
  Tracer(std::unique_ptr<TraceDatabase> db, const shell::Clock& clock);

  void Trace(const String& banner, const String& action, const String& parameter, const String& software,
             const String& region, const String& province, const String& uid, const String& role);

 private:
  std::unique_ptr<TraceDatabase> db_;
  const shell::Clock& clock_;
};

// Registers the bundled tracer under "BVCTracing.Tracing". The factory opens the database
// named by `databaseFile` (DefaultTraceDatabase() when empty) at each creation and yields
// nothing when it cannot, so CreateObject fails and the control goes on without tracing.
void RegisterBundledTracer(automation::ObjectFactories& factories, std::string databaseFile = {},
                           const shell::Clock* clock = nullptr);
// Whether `factory` is the bundled tracer's (and not a plug-in's that replaced it).
bool IsBundledTracer(const automation::ObjectFactories::Factory& factory);

// "yyyy-mm-dd hh:nn:ss" of an automation date.
std::string SortableTime(automation::Date date);

}  // namespace brevalcore::tracing

namespace brevalcore::tracing {

// The report of `brevalcore trace report`: one line per banner, with how often it was shown
// ("SHOW") and one column per clicked command word, aligned under a header line.
std::string FormatReport(const TraceDatabase::Summary& summary);

}  // namespace brevalcore::tracing
