#include "rules/tracing/tracer.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>

#include "storage/paths.h"

namespace brevalcore::tracing {

namespace {

constexpr int kValueCount = 8;
// How long a writer waits for another host that holds the database.
constexpr int kBusyTimeoutMs = 10000;

constexpr const char* kSchema =
    "PRAGMA journal_mode=WAL;"
    "CREATE TABLE IF NOT EXISTS trace("
    " id INTEGER PRIMARY KEY,"
    " time TEXT NOT NULL,"
    " banner TEXT, action TEXT, parameter TEXT, software TEXT,"
    " region TEXT, province TEXT, uid TEXT, role TEXT);"
    "CREATE INDEX IF NOT EXISTS trace_time ON trace(time);";

class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
  ~Statement() { sqlite3_finalize(stmt_); }
  sqlite3_stmt* get() const { return stmt_; }
  explicit operator bool() const { return stmt_ != nullptr; }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

std::string Column(sqlite3_stmt* stmt, int i) {
  const auto* text = sqlite3_column_text(stmt, i);
  return text ? reinterpret_cast<const char*>(text) : std::string();
}

}  // namespace

std::string SortableTime(automation::Date date) {
  const auto p = shell::SplitDate(date);
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute,
                p.second);
  return buffer;
}

std::string DefaultTraceDatabase() { return TraceDatabaseIn(storage::GetControlFolder()); }

std::string TraceDatabaseIn(const std::string& controlFolder) {
  if (const char* file = std::getenv(kTraceDbVariable); file && *file) return file;
  return controlFolder.empty() ? kDefaultTraceDbName : controlFolder + "/" + kDefaultTraceDbName;
}

std::unique_ptr<TraceDatabase> TraceDatabase::Open(const std::string& file, bool create) {
  sqlite3* db = nullptr;
  const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
  if (sqlite3_open_v2(file.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  if (sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return nullptr;
  }
  return std::unique_ptr<TraceDatabase>(new TraceDatabase(db));
}

TraceDatabase::~TraceDatabase() { sqlite3_close(db_); }

bool TraceDatabase::Append(automation::Date when, const std::vector<String>& values) {
  Statement insert(db_,
                   "INSERT INTO trace(time, banner, action, parameter, software, region, province, uid, role)"
                   " VALUES(?,?,?,?,?,?,?,?,?)");
  if (!insert) return false;
  const std::string time = SortableTime(when);
  sqlite3_bind_text(insert.get(), 1, time.c_str(), -1, SQLITE_TRANSIENT);
  for (int i = 0; i < kValueCount; ++i) {
    const std::string text = i < static_cast<int>(values.size()) ? automation::ToUtf8(values[i]) : std::string();
    sqlite3_bind_text(insert.get(), i + 2, text.c_str(), -1, SQLITE_TRANSIENT);
  }
  return sqlite3_step(insert.get()) == SQLITE_DONE;
}

std::string TraceDatabase::ErrorText() const { return sqlite3_errmsg(db_); }

std::vector<TraceDatabase::Row> TraceDatabase::Rows(std::optional<automation::Date> since) const {
  std::vector<Row> rows;
  Statement select(db_,
                   "SELECT time, banner, action, parameter, software, region, province, uid, role FROM trace"
                   " WHERE time >= ? ORDER BY time, id");
  if (!select) return rows;
  const std::string from = since ? SortableTime(*since) : std::string();
  sqlite3_bind_text(select.get(), 1, from.c_str(), -1, SQLITE_TRANSIENT);
  while (sqlite3_step(select.get()) == SQLITE_ROW) {
    Row row;
    row.time = Column(select.get(), 0);
    for (int i = 1; i <= kValueCount; ++i) row.values.push_back(Column(select.get(), i));
    rows.push_back(std::move(row));
  }
  return rows;
}

TraceDatabase::Summary TraceDatabase::Summarise(std::optional<automation::Date> since) const {
  Summary summary;
  Statement select(db_,
                   "SELECT banner, action, COUNT(*) FROM trace WHERE time >= ? GROUP BY banner, action");
  if (!select) return summary;
  const std::string from = since ? SortableTime(*since) : std::string();
  sqlite3_bind_text(select.get(), 1, from.c_str(), -1, SQLITE_TRANSIENT);
  while (sqlite3_step(select.get()) == SQLITE_ROW)
    summary[Column(select.get(), 0)][Column(select.get(), 1)] = sqlite3_column_int64(select.get(), 2);
  return summary;
}

const automation::ClassInfo& Tracer::Class() {
  static const automation::ClassInfo info =
      automation::ClassBuilder<Tracer>(u"Tracing").Method<&Tracer::Trace>(u"Trace").Build();
  return info;
}

Tracer::Tracer(std::unique_ptr<TraceDatabase> db, const shell::Clock& clock) : db_(std::move(db)), clock_(clock) {}

void Tracer::Trace(const String& banner, const String& action, const String& parameter, const String& software,
                   const String& region, const String& province, const String& uid, const String& role) {
  if (!db_->Append(clock_.Now(), {banner, action, parameter, software, region, province, uid, role}))
    automation::Raise(automation::err::kDeviceIoError, u"BVCTracing.Tracing", automation::FromUtf8(db_->ErrorText()));
}

namespace {

// A named type, so that a registry can tell the bundled tracer from a plug-in's.
struct BundledTracerFactory {
  std::string databaseFile;
  const shell::Clock* clock;
  automation::Ref<automation::Object> operator()() const {
    auto db = TraceDatabase::Open(databaseFile.empty() ? DefaultTraceDatabase() : databaseFile);
    if (!db) return {};
    return automation::MakeRef<Tracer>(std::move(db), *clock);
  }
};

}  // namespace

void RegisterBundledTracer(automation::ObjectFactories& factories, std::string databaseFile,
                           const shell::Clock* clock) {
  const shell::Clock* source = clock ? clock : &shell::SystemClock::Instance();
  factories.Register(u"BVCTracing.Tracing", BundledTracerFactory{std::move(databaseFile), source});
}

bool IsBundledTracer(const automation::ObjectFactories::Factory& factory) {
  return factory.target<BundledTracerFactory>() != nullptr;
}

}  // namespace brevalcore::tracing
