#include "rules/tracing/store.h"

#include <sqlite3.h>
#include <uuid/uuid.h>

#include <cstdio>
#include <cstdlib>

#include "platform/automation/calendar.h"
#include "platform/automation/text.h"
#include "platform/shell/clock.h"
#include "storage/paths.h"

namespace brevalcore::tracing {

namespace {

constexpr int kValueCount = 8;
// How long a writer waits for another host that holds the database.
constexpr int kBusyTimeoutMs = 10000;

// The connection's settings. NORMAL synchronisation in WAL mode never corrupts the database; a
// power cut may cost the last events, and in exchange a trace call on the host's UI thread does
// not wait for the disk.
constexpr const char* kConnectionSettings = "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;";

constexpr const char* kCurrentSchema =
    "CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);"
    "CREATE TABLE trace("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " time TEXT NOT NULL,"
    " banner TEXT NOT NULL DEFAULT '', action TEXT NOT NULL DEFAULT '', parameter TEXT NOT NULL DEFAULT '',"
    " software TEXT NOT NULL DEFAULT '', region TEXT NOT NULL DEFAULT '', province TEXT NOT NULL DEFAULT '',"
    " uid TEXT NOT NULL DEFAULT '', role TEXT NOT NULL DEFAULT '',"
    " doctor TEXT NOT NULL DEFAULT '', asl TEXT NOT NULL DEFAULT '', branch TEXT NOT NULL DEFAULT '',"
    " sent INTEGER NOT NULL DEFAULT 0);"
    "CREATE INDEX trace_time ON trace(time);"
    "CREATE INDEX trace_unsent ON trace(id) WHERE sent = 0;";

// Version 1: the eight values and the time, ids that could be reused. Rebuilt so that every
// record keeps its id as its sequence number and new ones are never reused.
constexpr const char* kUpgradeFromVersion1 =
    "DROP INDEX IF EXISTS trace_time;"
    "ALTER TABLE trace RENAME TO trace_v1;";
constexpr const char* kCopyVersion1 =
    "INSERT INTO trace(id, time, banner, action, parameter, software, region, province, uid, role)"
    " SELECT id, time, ifnull(banner,''), ifnull(action,''), ifnull(parameter,''), ifnull(software,''),"
    " ifnull(region,''), ifnull(province,''), ifnull(uid,''), ifnull(role,'') FROM trace_v1;"
    "DROP TABLE trace_v1;";

constexpr const char* kRecordColumns =
    "id, time, banner, action, parameter, software, region, province, uid, role, doctor, asl, branch";

class Statement {
 public:
  Statement(sqlite3* db, const std::string& sql) { sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr); }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  sqlite3_stmt* get() const { return stmt_; }
  explicit operator bool() const { return stmt_ != nullptr; }
  void Bind(int i, const std::string& text) { sqlite3_bind_text(stmt_, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT); }
  void Bind(int i, int64_t value) { sqlite3_bind_int64(stmt_, i, value); }
  bool Step() { return sqlite3_step(stmt_) == SQLITE_ROW; }
  bool Run() { return sqlite3_step(stmt_) == SQLITE_DONE; }
  std::string Text(int i) const {
    const auto* text = sqlite3_column_text(stmt_, i);
    return text ? std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(sqlite3_column_bytes(stmt_, i)))
                : std::string();
  }
  // The column's text into `out`, reusing its buffer.
  void TextInto(int i, std::string& out) const {
    const auto* text = sqlite3_column_text(stmt_, i);
    out.assign(text ? reinterpret_cast<const char*>(text) : "", text ? static_cast<size_t>(sqlite3_column_bytes(stmt_, i)) : 0);
  }
  int64_t Int(int i) const { return sqlite3_column_int64(stmt_, i); }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

bool Exec(sqlite3* db, const char* sql, std::string* error = nullptr) {
  char* message = nullptr;
  const bool ok = sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK;
  if (!ok && error) *error = message ? message : sqlite3_errmsg(db);
  sqlite3_free(message);
  return ok;
}

int64_t Scalar(sqlite3* db, const std::string& sql) {
  Statement s(db, sql);
  return s && s.Step() ? s.Int(0) : -1;
}

std::string NewInstallationGuid() {
  uuid_t uuid;
  uuid_generate_random(uuid);
  char text[37];
  uuid_unparse_lower(uuid, text);
  return text;
}

bool ParseDay(const std::string& text, int& year, int& month, int& day) {
  if (text.size() < 10 || text[4] != '-' || text[7] != '-') return false;
  for (int i : {0, 1, 2, 3, 5, 6, 8, 9})
    if (text[i] < '0' || text[i] > '9') return false;
  year = std::atoi(text.substr(0, 4).c_str());
  month = std::atoi(text.substr(5, 2).c_str());
  day = std::atoi(text.substr(8, 2).c_str());
  return year >= 1 && month >= 1 && month <= 12 && day >= 1 &&
         day <= automation::calendar::DaysInMonth(year, month);
}

void IsoWeekFunction(sqlite3_context* context, int, sqlite3_value** argv) {
  const auto* text = sqlite3_value_text(argv[0]);
  const std::string week = IsoWeek(text ? reinterpret_cast<const char*>(text) : "");
  sqlite3_result_text(context, week.c_str(), static_cast<int>(week.size()), SQLITE_TRANSIENT);
}

void ValidTimeFunction(sqlite3_context* context, int, sqlite3_value** argv) {
  const auto* text = sqlite3_value_text(argv[0]);
  sqlite3_result_int(context, text && IsSortableTime(reinterpret_cast<const char*>(text)) ? 1 : 0);
}

const char* GroupExpression(Grouping by) {
  switch (by) {
    case Grouping::kBanner: return "''";
    case Grouping::kRegion: return "region";
    case Grouping::kAsl: return "asl";
    case Grouping::kWeek: return "iso_week(time)";
    case Grouping::kDay: return "substr(time, 1, 10)";
  }
  return "''";
}

}  // namespace

std::string SortableTime(automation::Date date) {
  const auto p = shell::SplitDate(date);
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute,
                p.second);
  return buffer;
}

bool IsSortableTime(const std::string& text) {
  int year = 0, month = 0, day = 0;
  if (text.size() != 19 || !ParseDay(text, year, month, day) || text[10] != ' ' || text[13] != ':' || text[16] != ':')
    return false;
  for (int i : {11, 12, 14, 15, 17, 18})
    if (text[i] < '0' || text[i] > '9') return false;
  return std::atoi(text.substr(11, 2).c_str()) < 24 && text[14] < '6' && text[17] < '6';
}

std::string IsoWeek(const std::string& text) {
  int year = 0, month = 0, day = 0;
  if (!ParseDay(text, year, month, day)) return {};
  // The ISO week belongs to the year of its Thursday.
  namespace cal = automation::calendar;
  const int64_t number = cal::DayNumber(year, month, day);
  const int64_t mondayBased = ((number + 5) % 7 + 7) % 7;  // 0 = Monday; day 0 (30/12/1899) was a Saturday
  const int64_t thursday = number - mondayBased + 3;
  int thursdayYear = 0, unusedMonth = 0, unusedDay = 0;
  cal::CivilDate(thursday, thursdayYear, unusedMonth, unusedDay);
  const int64_t week = (thursday - cal::DayNumber(thursdayYear, 1, 1)) / 7 + 1;
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%04d-W%02d", thursdayYear, static_cast<int>(week));
  return buffer;
}

std::string TraceDatabaseIn(const std::string& controlFolder) {
  if (const char* file = std::getenv(kTraceDbVariable); file && *file) return file;
  return controlFolder.empty() ? kDefaultTraceDbName : controlFolder + "/" + kDefaultTraceDbName;
}

std::string DefaultTraceDatabase() { return TraceDatabaseIn(storage::GetControlFolder()); }

std::unique_ptr<TraceDatabase> TraceDatabase::Open(const std::string& file, bool create, std::string* error) {
  std::string problem;
  sqlite3* db = nullptr;
  const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
  if (sqlite3_open_v2(file.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    problem = "cannot open the trace database " + file + ": " + (db ? sqlite3_errmsg(db) : "out of memory");
    sqlite3_close(db);
    if (error) *error = problem;
    return nullptr;
  }
  std::unique_ptr<TraceDatabase> database(new TraceDatabase(db, file));
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  sqlite3_create_function_v2(db, "iso_week", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, IsoWeekFunction,
                             nullptr, nullptr, nullptr);
  sqlite3_create_function_v2(db, "valid_time", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, ValidTimeFunction,
                             nullptr, nullptr, nullptr);
  if (!Exec(db, kConnectionSettings, &problem)) {
    problem = file + " is not a trace database (" + problem + ")";
  } else {
    problem = database->Upgrade(create);
  }
  if (!problem.empty()) {
    if (error) *error = problem;
    return nullptr;
  }
  return database;
}

// Brings the layout to the current version inside one write transaction, so that hosts
// opening the same file at once upgrade it once.
std::string TraceDatabase::Upgrade(bool create) {
  std::string problem;
  if (!Exec(db_, "BEGIN IMMEDIATE", &problem)) return file_ + " is not a trace database (" + problem + ")";
  const int64_t version = Scalar(db_, "PRAGMA user_version");
  const bool hasTrace = Scalar(db_, "SELECT count(*) FROM sqlite_master WHERE type='table' AND name='trace'") > 0;
  const int64_t tables = Scalar(db_, "SELECT count(*) FROM sqlite_master WHERE type='table'");
  auto fail = [&](std::string message) {
    Exec(db_, "ROLLBACK");
    return message;
  };
  if (version < 0 || tables < 0) return fail(file_ + " is not a trace database (" + sqlite3_errmsg(db_) + ")");
  if (version > kTraceSchemaVersion)
    return fail(file_ + " was written by a newer Brevalcore (trace database version " + std::to_string(version) +
                "; this one reads versions up to " + std::to_string(kTraceSchemaVersion) + ")");
  if (version < kTraceSchemaVersion) {
    if (!hasTrace && tables > 0) return fail(file_ + " is not a trace database (it holds other tables)");
    if (!hasTrace && !create) return fail(file_ + " is not a trace database (it is empty)");
    const bool upgraded = hasTrace ? Exec(db_, kUpgradeFromVersion1, &problem) && Exec(db_, kCurrentSchema, &problem) &&
                                         Exec(db_, kCopyVersion1, &problem)
                                   : Exec(db_, kCurrentSchema, &problem);
    if (!upgraded) return fail(file_ + ": cannot bring the trace database up to date (" + problem + ")");
    Statement guid(db_, "INSERT OR IGNORE INTO meta(key, value) VALUES('installation', ?)");
    guid.Bind(1, NewInstallationGuid());
    if (!guid.Run() || !Exec(db_, ("PRAGMA user_version=" + std::to_string(kTraceSchemaVersion)).c_str(), &problem))
      return fail(file_ + ": cannot bring the trace database up to date (" + std::string(sqlite3_errmsg(db_)) + ")");
  }
  if (!Exec(db_, "COMMIT", &problem)) return fail(file_ + ": " + problem);

  Statement installation(db_, "SELECT value FROM meta WHERE key='installation'");
  if (installation && installation.Step()) installation_ = installation.Text(0);
  Statement probe(db_, std::string("SELECT ") + kRecordColumns + ", sent FROM trace LIMIT 0");
  if (installation_.empty() || !probe)
    return file_ + " is not a trace database (" + (probe ? "it has no installation GUID" : sqlite3_errmsg(db_)) + ")";
  return {};
}

TraceDatabase::~TraceDatabase() { sqlite3_close(db_); }

std::string TraceDatabase::ErrorText() const { return sqlite3_errmsg(db_); }

bool TraceDatabase::Append(automation::Date when, const std::vector<String>& values, const TraceSource& source) {
  Statement insert(db_,
                   "INSERT INTO trace(time, banner, action, parameter, software, region, province, uid, role,"
                   " doctor, asl, branch) VALUES(?,?,?,?,?,?,?,?,?,?,?,?)");
  if (!insert) return false;
  insert.Bind(1, SortableTime(when));
  for (int i = 0; i < kValueCount; ++i)
    insert.Bind(i + 2, i < static_cast<int>(values.size()) ? automation::ToUtf8(values[i]) : std::string());
  insert.Bind(10, automation::ToUtf8(source.doctor));
  insert.Bind(11, automation::ToUtf8(source.asl));
  insert.Bind(12, automation::ToUtf8(source.branch));
  return insert.Run();
}

bool TraceDatabase::Begin() { return Exec(db_, "BEGIN IMMEDIATE"); }
bool TraceDatabase::Commit() { return Exec(db_, "COMMIT"); }

std::vector<TraceRecord> TraceDatabase::Records(int64_t afterSeq, size_t limit, bool unsentOnly) const {
  std::vector<TraceRecord> records;
  VisitRecords(afterSeq, limit, unsentOnly, [&](const TraceRecord& r) { records.push_back(r); });
  return records;
}

size_t TraceDatabase::VisitRecords(int64_t afterSeq, size_t limit, bool unsentOnly,
                                   const std::function<void(const TraceRecord&)>& visit) const {
  Statement select(db_, std::string("SELECT ") + kRecordColumns + " FROM trace WHERE id > ?" +
                            (unsentOnly ? " AND sent = 0" : "") + " ORDER BY id LIMIT ?");
  if (!select) return 0;
  select.Bind(1, afterSeq);
  select.Bind(2, limit > static_cast<size_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(limit));
  TraceRecord r;
  std::string* fields[] = {&r.time, &r.banner, &r.action, &r.parameter, &r.software, &r.region,
                           &r.province, &r.uid, &r.role, &r.doctor, &r.asl, &r.branch};
  size_t visited = 0;
  while (select.Step()) {
    r.seq = select.Int(0);
    for (int i = 0; i < 12; ++i) select.TextInto(i + 1, *fields[i]);
    visit(r);
    ++visited;
  }
  return visited;
}

int64_t TraceDatabase::UnsentCount() const { return Scalar(db_, "SELECT count(*) FROM trace WHERE sent = 0"); }

bool TraceDatabase::MarkSent(int64_t first, int64_t last, const std::vector<int64_t>& skipped) {
  if (!Exec(db_, "BEGIN IMMEDIATE")) return false;
  Statement mark(db_, "UPDATE trace SET sent = 1 WHERE id BETWEEN ? AND ? AND sent = 0");
  mark.Bind(1, first);
  mark.Bind(2, last);
  bool ok = mark && mark.Run();
  for (int64_t seq : skipped) {
    Statement keep(db_, "UPDATE trace SET sent = 0 WHERE id = ?");
    keep.Bind(1, seq);
    ok = ok && keep && keep.Run();
  }
  if (ok && Exec(db_, "COMMIT")) return true;
  Exec(db_, "ROLLBACK");
  return false;
}

std::vector<CountRow> TraceDatabase::Counts(const CountQuery& query) const {
  std::vector<CountRow> rows;
  // "~" sorts after every time of the last day, so the whole day is in.
  const std::string sql = std::string("SELECT banner, ") + GroupExpression(query.by) +
                          ", action, count(*), count(DISTINCT doctor) FROM trace"
                          " WHERE time >= ? AND time < ? AND (? = '' OR banner = ?) AND valid_time(time)"
                          " GROUP BY 1, 2, 3";
  Statement select(db_, sql);
  if (!select) return rows;
  select.Bind(1, query.since);
  select.Bind(2, query.until.empty() ? std::string("~") : query.until + "~");
  select.Bind(3, query.banner);
  select.Bind(4, query.banner);
  while (select.Step())
    rows.push_back(CountRow{select.Text(0), select.Text(1), select.Text(2), select.Int(3), select.Int(4)});
  return rows;
}

bool TraceDatabase::ClaimAutoPush(automation::Date now, int64_t intervalSeconds) {
  const std::string nowText = SortableTime(now);
  const std::string threshold = SortableTime(automation::Date{now.value - static_cast<double>(intervalSeconds) / 86400.0});
  Statement claim(db_,
                  "INSERT INTO meta(key, value) VALUES('auto_push', ?1) ON CONFLICT(key) DO UPDATE"
                  " SET value = excluded.value WHERE meta.value <= ?2 OR meta.value > ?1");
  if (!claim) return false;
  claim.Bind(1, nowText);
  claim.Bind(2, threshold);
  return claim.Run() && sqlite3_changes(db_) == 1;
}

}  // namespace brevalcore::tracing
