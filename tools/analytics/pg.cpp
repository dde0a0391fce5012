#include "tools/analytics/pg.h"

#include <cstring>

namespace brevalcore::analytics {

namespace {

constexpr char kApplicationName[] = "brevalcore";
// How much of a COPY goes to libpq in one call.
constexpr size_t kCopyChunk = 1 << 20;

std::string Trimmed(const char* text) {
  std::string s = text ? text : "";
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

bool LooksLikeConnectionText(const std::string& target) {
  return target.rfind("postgresql://", 0) == 0 || target.rfind("postgres://", 0) == 0 ||
         target.find('=') != std::string::npos;
}

}  // namespace

Connection::Connection(const std::string& target) : conn_(nullptr, &PQfinish) {
  if (!LooksLikeConnectionText(target))
    throw ServerError("malformed server address: expected a postgresql:// URI or a keyword string such as "
                      "\"host=... dbname=...\"");
  char* parseError = nullptr;
  PQconninfoOption* parsed = PQconninfoParse(target.c_str(), &parseError);
  if (!parsed) {
    const std::string reason = Trimmed(parseError);
    PQfreemem(parseError);
    throw ServerError("malformed server address: " + reason);
  }
  PQconninfoFree(parsed);
  // The address comes last and is expanded, so everything it says wins over the fallback name.
  const char* keywords[] = {"fallback_application_name", "dbname", nullptr};
  const char* values[] = {kApplicationName, target.c_str(), nullptr};
  conn_.reset(PQconnectdbParams(keywords, values, /*expand_dbname=*/1));
  if (!conn_) throw ServerError("cannot connect: out of memory");
  if (PQstatus(conn_.get()) != CONNECTION_OK) throw ServerError("cannot connect: " + Trimmed(PQerrorMessage(conn_.get())));
  // The server's notices ("already exists, skipping") are not for the user.
  PQsetNoticeProcessor(conn_.get(), [](void*, const char*) {}, nullptr);
}

std::string Connection::Describe() const {
  const char* host = PQhost(conn_.get());
  return std::string(host ? host : "") + ":" + PQport(conn_.get()) + "/" + PQdb(conn_.get());
}

void Connection::Fail(const std::string& what, PGresult* result) const {
  std::string sqlstate;
  std::string message = Trimmed(PQerrorMessage(conn_.get()));
  if (result) {
    if (const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE)) sqlstate = state;
    if (const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY)) message = primary;
    PQclear(result);
  }
  if (PQstatus(conn_.get()) == CONNECTION_BAD) message = "the connection to the server was lost: " + message;
  throw ServerError(what + ": " + message, sqlstate);
}

Result Connection::Check(PGresult* result, const std::string& what, ExecStatusType expected) {
  const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
  if (status != expected && !(expected == PGRES_COMMAND_OK && status == PGRES_TUPLES_OK)) Fail(what, result);
  return Result(result);
}

Result Connection::Exec(const std::string& sql) { return Check(PQexec(conn_.get(), sql.c_str()), "the server refused"); }

Result Connection::Exec(const std::string& sql, const std::vector<std::string>& params) {
  std::vector<const char*> values;
  for (const auto& p : params) values.push_back(p.c_str());
  return Check(PQexecParams(conn_.get(), sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(), nullptr,
                            nullptr, 0),
               "the server refused");
}

std::vector<Result> Connection::ExecEach(const std::string& sql) {
  if (PQsendQuery(conn_.get(), sql.c_str()) != 1) Fail("the server refused");
  std::vector<Result> results;
  PGresult* failed = nullptr;
  // Every result is read before a failure is reported, so the connection is ready for the next.
  for (PGresult* result = PQgetResult(conn_.get()); result; result = PQgetResult(conn_.get())) {
    const ExecStatusType status = PQresultStatus(result);
    if (failed || (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)) {
      if (failed) PQclear(result);
      else failed = result;
      continue;
    }
    results.emplace_back(result);
  }
  if (failed) Fail("the server refused", failed);
  return results;
}

void Connection::CopyIn(const std::string& sql, const std::string& data) {
  BeginCopy(sql);
  PutCopy(data);
  EndCopy();
}

void Connection::BeginCopy(const std::string& sql) {
  if (PQsendQuery(conn_.get(), sql.c_str()) != 1) Fail("the server refused");
  PGresult* failed = nullptr;
  // The statements before the COPY answer first; a refused one ends the string, and every
  // result is read before the failure is reported.
  for (PGresult* result = PQgetResult(conn_.get()); result; result = PQgetResult(conn_.get())) {
    const ExecStatusType status = PQresultStatus(result);
    if (!failed && status == PGRES_COPY_IN) {
      PQclear(result);
      return;
    }
    if (failed || status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
      PQclear(result);
      continue;
    }
    failed = result;
  }
  Fail("the server refused", failed);
}

bool Connection::PutCopy(std::string_view data) {
  for (size_t at = 0; at < data.size(); at += kCopyChunk) {
    const size_t n = std::min(kCopyChunk, data.size() - at);
    if (PQputCopyData(conn_.get(), data.data() + at, static_cast<int>(n)) != 1) return false;
  }
  return true;
}

void Connection::EndCopy() {
  PQputCopyEnd(conn_.get(), nullptr);
  PGresult* result = PQgetResult(conn_.get());
  // Drain: after COPY the connection hands back one result and then none.
  for (PGresult* extra = PQgetResult(conn_.get()); extra; extra = PQgetResult(conn_.get())) PQclear(extra);
  Check(result, "the server refused the records");
}

void Connection::RollBackQuietly() {
  if (PQstatus(conn_.get()) != CONNECTION_OK || PQtransactionStatus(conn_.get()) == PQTRANS_IDLE) return;
  PQclear(PQexec(conn_.get(), "ROLLBACK"));
}

bool IsTransient(const ServerError& error) { return error.sqlstate() == "40001" || error.sqlstate() == "40P01"; }

}  // namespace brevalcore::analytics
