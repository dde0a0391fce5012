#include "tools/analytics/schema.h"

#include <algorithm>
#include <map>
#include <set>
#include <vector>

namespace brevalcore::analytics {

namespace {

struct Migration {
  int version;
  const char* description;
  const char* sql;
};

// Each migration runs once, in order, inside InitServer's transaction. Never change one that
// has shipped: add the next.
const std::vector<Migration>& Migrations() {
  static const std::vector<Migration> migrations = {
      {1, "trace records partitioned by month, the daily roll-up", R"sql(
CREATE TABLE brevalcore.records (
  installation text NOT NULL,
  seq bigint NOT NULL,
  time timestamp NOT NULL,
  doctor text NOT NULL,
  banner text NOT NULL,
  action text NOT NULL,
  parameter text NOT NULL,
  software text NOT NULL,
  region text NOT NULL,
  asl text NOT NULL,
  branch text NOT NULL,
  received timestamptz NOT NULL DEFAULT now(),
  PRIMARY KEY (installation, seq, time)
) PARTITION BY RANGE (time);
CREATE INDEX records_banner_time ON brevalcore.records (banner, time);

CREATE TABLE brevalcore.daily (
  banner text NOT NULL,
  day date NOT NULL,
  region text NOT NULL,
  asl text NOT NULL,
  doctor text NOT NULL,
  action text NOT NULL,
  events bigint NOT NULL,
  PRIMARY KEY (banner, day, region, asl, doctor, action)
);
CREATE INDEX daily_day ON brevalcore.daily (day);

-- The month's partition, made by whoever first needs it; pushers need no right to create
-- tables. Two pushers making the same month at once: the second finds it made.
CREATE FUNCTION brevalcore.ensure_month(month date) RETURNS void
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  first date := date_trunc('month', month)::date;
  name text := 'records_' || to_char(first, 'YYYY_MM');
BEGIN
  IF to_regclass('brevalcore.' || name) IS NOT NULL THEN RETURN; END IF;
  EXECUTE format('CREATE TABLE brevalcore.%I PARTITION OF brevalcore.records FOR VALUES FROM (%L) TO (%L)',
                 name, first, (first + interval '1 month')::date);
EXCEPTION WHEN duplicate_table OR unique_violation THEN
  NULL;
END $$;

-- Rows are added in key order, so that two pushers adding to the same keys wait for each
-- other instead of deadlocking.
CREATE FUNCTION brevalcore.roll_up_records() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
  INSERT INTO brevalcore.daily AS d (banner, day, region, asl, doctor, action, events)
  SELECT banner, time::date, region, asl, doctor, action, count(*) FROM added
  GROUP BY 1, 2, 3, 4, 5, 6 ORDER BY 1, 2, 3, 4, 5, 6
  ON CONFLICT (banner, day, region, asl, doctor, action) DO UPDATE SET events = d.events + EXCLUDED.events;
  RETURN NULL;
END $$;
CREATE TRIGGER roll_up AFTER INSERT ON brevalcore.records
  REFERENCING NEW TABLE AS added FOR EACH STATEMENT EXECUTE FUNCTION brevalcore.roll_up_records();
)sql"},
      {2, "the roll-up keyed by banner then doctor, so that a push writes few places of it", R"sql(
-- A push carries one installation, nearly always one doctor. Keyed banner, day, ..., doctor,
-- its rows fell one to a page all over the key, and a roll-up larger than the server's
-- buffers read a page for each; keyed banner, doctor, day, ... they make one run per banner.
-- A report of one banner still reads one range of the key.
DO $$
DECLARE
  key text := (SELECT conname FROM pg_constraint WHERE conrelid = 'brevalcore.daily'::regclass AND contype = 'p');
BEGIN
  IF key IS NOT NULL THEN
    EXECUTE format('ALTER TABLE brevalcore.daily DROP CONSTRAINT %I', key);
  END IF;
END $$;
ALTER TABLE brevalcore.daily ADD CONSTRAINT daily_pkey PRIMARY KEY (banner, doctor, day, region, asl, action);

CREATE OR REPLACE FUNCTION brevalcore.roll_up_records() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
  INSERT INTO brevalcore.daily AS d (banner, doctor, day, region, asl, action, events)
  SELECT banner, doctor, time::date, region, asl, action, count(*) FROM added
  GROUP BY 1, 2, 3, 4, 5, 6 ORDER BY 1, 2, 3, 4, 5, 6
  ON CONFLICT (banner, doctor, day, region, asl, action) DO UPDATE SET events = d.events + EXCLUDED.events;
  RETURN NULL;
END $$;
)sql"},
      {3, "no index of the records by banner and time: the roll-up answers by banner", R"sql(
-- Every push is a new server process, and each of its records fell on a leaf of its own all
-- over this index: a push of a year's records touched thousands of its pages, each one the
-- process had never mapped. Nothing reads it: reports read the roll-up, which is keyed by
-- banner; a look at the raw records of a month reads that month's partition.
DROP INDEX IF EXISTS brevalcore.records_banner_time;
)sql"},
  };
  return migrations;
}

// Any constant: the advisory lock that serialises schema changes by several clients.
constexpr char kInitLock[] = "SELECT pg_advisory_xact_lock(7361092583)";

// The columns the programs rely on, with their types as format_type names them.
const std::map<std::string, std::map<std::string, std::string>>& ExpectedColumns() {
  static const std::map<std::string, std::map<std::string, std::string>> columns = {
      {"records",
       {{"installation", "text"}, {"seq", "bigint"}, {"time", "timestamp without time zone"}, {"doctor", "text"},
        {"banner", "text"}, {"action", "text"}, {"parameter", "text"}, {"software", "text"}, {"region", "text"},
        {"asl", "text"}, {"branch", "text"}}},
      {"daily",
       {{"banner", "text"}, {"day", "date"}, {"region", "text"}, {"asl", "text"}, {"doctor", "text"},
        {"action", "text"}, {"events", "bigint"}}},
  };
  return columns;
}

int AppliedVersion(Connection& server) {
  const Result exists = server.Exec("SELECT to_regclass('brevalcore.schema_migrations') IS NOT NULL");
  if (exists.Text(0, 0) != "t") return 0;
  return static_cast<int>(server.Exec("SELECT coalesce(max(version), 0) FROM brevalcore.schema_migrations").Int(0, 0));
}

std::string Newer(int version) {
  return "the server's schema is at version " + std::to_string(version) + ", newer than this brevalcore knows (" +
         std::to_string(LatestSchemaVersion()) + "): use a newer brevalcore";
}

constexpr char kNoSchema[] = "the server has no brevalcore schema: run brevalcore trace init-server first";

// What the table checks need, in one statement: the tables' columns and types, then the number
// of primary keys on the two tables and of enabled roll-up triggers, as rows of their own.
constexpr char kCatalogFacts[] =
    "SELECT c.relname, a.attname, format_type(a.atttypid, a.atttypmod) FROM pg_attribute a"
    " JOIN pg_class c ON c.oid = a.attrelid JOIN pg_namespace n ON n.oid = c.relnamespace"
    " WHERE n.nspname = 'brevalcore' AND c.relname IN ('records', 'daily') AND a.attnum > 0"
    " AND NOT a.attisdropped"
    " UNION ALL SELECT '', 'primary keys', count(*)::text FROM pg_constraint WHERE contype = 'p' AND conrelid IN"
    " (to_regclass('brevalcore.records'), to_regclass('brevalcore.daily'))"
    " UNION ALL SELECT '', 'roll-up triggers', count(*)::text FROM pg_trigger"
    " WHERE tgrelid = to_regclass('brevalcore.records') AND tgname = 'roll_up' AND tgenabled <> 'D'";

// What someone changed by hand in the tables, the keys or the roll-up trigger, judged from the
// rows of kCatalogFacts.
void CheckTables(const Result& facts) {
  std::map<std::string, std::map<std::string, std::string>> found;
  for (int r = 0; r < facts.Rows(); ++r) found[facts.Text(r, 0)][facts.Text(r, 1)] = facts.Text(r, 2);
  for (const auto& [table, expected] : ExpectedColumns()) {
    if (found[table].empty()) throw ServerError("the server's schema was changed: brevalcore." + table + " is gone");
    for (const auto& [column, type] : expected) {
      const auto it = found[table].find(column);
      if (it == found[table].end())
        throw ServerError("the server's schema was changed: brevalcore." + table + " has no column \"" + column + "\"");
      if (it->second != type)
        throw ServerError("the server's schema was changed: column \"" + column + "\" of brevalcore." + table +
                          " is " + it->second + ", not " + type);
    }
  }
  if (found[""]["primary keys"] != "2")
    throw ServerError("the server's schema was changed: a primary key of brevalcore.records or brevalcore.daily is gone");
  if (found[""]["roll-up triggers"] != "1")
    throw ServerError("the server's schema was changed: the roll-up trigger of brevalcore.records is gone or disabled");
}

void CheckTables(Connection& server) { CheckTables(server.Exec(kCatalogFacts)); }

}  // namespace

int LatestSchemaVersion() { return Migrations().back().version; }

void CheckServerVersion(int serverVersion) {
  if (serverVersion >= kMinServerVersion) return;
  throw ServerError("the server runs PostgreSQL " + std::to_string(serverVersion / 10000) + "." +
                    std::to_string(serverVersion % 10000 / (serverVersion >= 100000 ? 1 : 100)) +
                    "; brevalcore needs PostgreSQL " + std::to_string(kMinServerVersion / 10000) + " or later");
}

InitOutcome InitServer(Connection& server, int upTo) {
  CheckServerVersion(server.ServerVersion());
  InitOutcome outcome;
  try {
    server.Exec("BEGIN");
    server.Exec(kInitLock);
    server.Exec("CREATE SCHEMA IF NOT EXISTS brevalcore");
    server.Exec(
        "CREATE TABLE IF NOT EXISTS brevalcore.schema_migrations (version integer PRIMARY KEY,"
        " description text NOT NULL, applied timestamptz NOT NULL DEFAULT now())");
    outcome.from = AppliedVersion(server);
    if (outcome.from > LatestSchemaVersion()) throw ServerError(Newer(outcome.from));
    for (const Migration& m : Migrations()) {
      if (m.version <= outcome.from || m.version > upTo) continue;
      server.Exec(m.sql);
      server.Exec("INSERT INTO brevalcore.schema_migrations (version, description) VALUES ($1, $2)",
                  {std::to_string(m.version), m.description});
    }
    CheckTables(server);
    server.Exec("COMMIT");
  } catch (...) {
    server.RollBackQuietly();
    throw;
  }
  outcome.to = std::max(outcome.from, std::min(upTo, LatestSchemaVersion()));
  return outcome;
}

void CheckServer(Connection& server) {
  CheckServerVersion(server.ServerVersion());
  // The version and the catalog in one round trip: a push checks the schema every time.
  std::vector<Result> results;
  try {
    results = server.ExecEach(std::string("SELECT coalesce(max(version), 0) FROM brevalcore.schema_migrations; ") +
                              kCatalogFacts);
  } catch (const ServerError& e) {
    if (e.sqlstate() != "42P01" && e.sqlstate() != "3F000") throw;  // no such table, no such schema
    throw ServerError(kNoSchema);
  }
  const int version = static_cast<int>(results.at(0).Int(0, 0));
  if (version == 0) throw ServerError(kNoSchema);
  if (version > LatestSchemaVersion()) throw ServerError(Newer(version));
  if (version < LatestSchemaVersion())
    throw ServerError("the server's schema is at version " + std::to_string(version) +
                      ": run brevalcore trace init-server to bring it to version " +
                      std::to_string(LatestSchemaVersion()));
  CheckTables(results.at(1));
}

}  // namespace brevalcore::analytics
