#pragma once
// The server's side: the schema "brevalcore" and its versioned migrations, and the checks every
// client runs before it reads or writes (a supported server, a schema of the version this
// program knows, with the columns it relies on).
//
// brevalcore.records   one row per trace record, partitioned by month on its time; its key is
//                      (installation, seq, time), time being the partition column.
// brevalcore.daily     the roll-up the reports read: events per banner, day, region, ASL,
//                      doctor and action word, kept by a trigger on records, so that any
//                      way of inserting records (a push, a COPY) keeps it right.
#include <limits>
#include <string>

#include "tools/analytics/pg.h"

namespace brevalcore::analytics {

// PostgreSQL 12 or later: declarative partitions with keys, ON CONFLICT on them, statement
// triggers with transition tables. Tested on 15.
inline constexpr int kMinServerVersion = 120000;

// The schema version this program creates and expects.
int LatestSchemaVersion();

// Throws ServerError naming the server's version when it is too old.
void CheckServerVersion(int serverVersion);

struct InitOutcome {
  int from = 0, to = 0;  // schema versions before and after
};
// Creates or upgrades the schema, one transaction, serialised against other clients doing the
// same. Running it again changes nothing. `upTo` stops at an earlier version (an upgrade rolled
// out in steps); a schema already past it is left as it is.
InitOutcome InitServer(Connection& server, int upTo = std::numeric_limits<int>::max());

// Before a push or a report: throws ServerError with a message saying what to do when the
// server is not ready or its schema is not the one this program knows.
void CheckServer(Connection& server);

}  // namespace brevalcore::analytics
