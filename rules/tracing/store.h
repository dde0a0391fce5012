#pragma once
// The local trace store: one SQLite database per control folder, the source of truth for every
// banner event of the installation. Each record has an identity that survives copying it
// anywhere (the installation GUID the database was created with, the doctor's code, and the
// database's own sequence number) and a sent mark, set only after a server committed it.
// Several hosts write one database at once (write-ahead log, waits on a busy database); a push
// reads in its own snapshot and marks in one short transaction, so writers never wait on it.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/automation/variant.h"

struct sqlite3;

namespace brevalcore::tracing {

using automation::String;

inline constexpr char kTraceDbVariable[] = "BREVALCORE_TRACE_DB";
inline constexpr char kDefaultTraceDbName[] = "BVCTrace.db";
// Layout version of the local database (PRAGMA user_version). Version 1 had no identity and no
// sent mark; it is upgraded in place. A database of a later version is refused.
inline constexpr int kTraceSchemaVersion = 2;

// BREVALCORE_TRACE_DB when set, else "BVCTrace.db" in `controlFolder`.
std::string TraceDatabaseIn(const std::string& controlFolder);
// The same for the process's control folder.
std::string DefaultTraceDatabase();

// "yyyy-mm-dd hh:nn:ss" of an automation date.
std::string SortableTime(automation::Date date);
// Whether `text` is a sortable time of a real calendar day ("2026-02-30 10:00:00" is not).
bool IsSortableTime(const std::string& text);

// Who an event is about beyond the eight values of Trace: the doctor's code, ASL and branch.
struct TraceSource {
  String doctor, asl, branch;
};

// One record, as kept and as it travels. Texts are UTF-8.
struct TraceRecord {
  int64_t seq = 0;
  std::string time;  // sortable, the control's local time
  std::string banner, action, parameter, software, region, province, uid, role;
  std::string doctor, asl, branch;
};

// Counts for a report: events of one action word in one group, and how many distinct doctors
// they came from. `key` is the grouping value (empty when grouping by banner only).
struct CountRow {
  std::string banner, key, action;
  int64_t events = 0, doctors = 0;
  bool operator==(const CountRow&) const = default;
};

// What a report groups by, besides the banner; kDay feeds the charts.
enum class Grouping { kBanner, kRegion, kAsl, kWeek, kDay };

// Which records a report covers: days as "yyyy-mm-dd", both ends included; an empty banner
// means every banner.
struct CountQuery {
  Grouping by = Grouping::kBanner;
  std::string since, until;
  std::string banner;
};

// ISO week of a "yyyy-mm-dd..." text as "2026-W05"; empty when the text is no date.
std::string IsoWeek(const std::string& day);

class TraceDatabase {
 public:
  // Opens (creating it when `create` and missing) and upgrades the database. nullptr when it
  // cannot be used; `error` then says why, naming the file.
  static std::unique_ptr<TraceDatabase> Open(const std::string& file, bool create = true, std::string* error = nullptr);
  ~TraceDatabase();
  TraceDatabase(const TraceDatabase&) = delete;
  TraceDatabase& operator=(const TraceDatabase&) = delete;

  const std::string& File() const { return file_; }
  // The GUID this database was created with: the installation part of every record's identity.
  const std::string& Installation() const { return installation_; }

  // Appends one record with the eight values of Trace; false when the write failed.
  bool Append(automation::Date when, const std::vector<String>& values, const TraceSource& source = {});
  // SQLite's text for the last failure.
  std::string ErrorText() const;

  // Group many appends into one transaction (tools and tests that write many records).
  bool Begin();
  bool Commit();

  // Records after `afterSeq`, oldest first, at most `limit`; only unsent ones when `unsentOnly`.
  std::vector<TraceRecord> Records(int64_t afterSeq = 0, size_t limit = SIZE_MAX, bool unsentOnly = false) const;
  // The same records handed to `visit` one at a time, in one record whose texts keep their
  // buffers: a push reads millions without an allocation each. Returns how many were visited.
  size_t VisitRecords(int64_t afterSeq, size_t limit, bool unsentOnly,
                      const std::function<void(const TraceRecord&)>& visit) const;
  int64_t UnsentCount() const;
  // Marks the records first..last sent, except `skipped`. False when the write failed.
  bool MarkSent(int64_t first, int64_t last, const std::vector<int64_t>& skipped = {});

  // Counts per banner, group and action word over the raw records.
  std::vector<CountRow> Counts(const CountQuery& query) const;

  // Claims the automatic push for `now`: true, and the claim recorded, when no claim was made
  // within `intervalSeconds` before `now` (a claim in the future, from a clock set back, counts
  // as old). Several hosts may ask at once; one of them gets it.
  bool ClaimAutoPush(automation::Date now, int64_t intervalSeconds);

 private:
  TraceDatabase(sqlite3* db, std::string file) : db_(db), file_(std::move(file)) {}
  std::string Upgrade(bool created);
  sqlite3* db_;
  std::string file_;
  std::string installation_;
};

}  // namespace brevalcore::tracing
