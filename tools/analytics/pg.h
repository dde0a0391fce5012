#pragma once
// A small C++ face on libpq for the analytics client. Everything about reaching the server
// (URI or keyword string, TLS modes, ~/.pgpass, PG* variables, service files) is libpq's own;
// this layer only turns results into values and failures into ServerError.
#include <libpq-fe.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace brevalcore::analytics {

// A failure on the way to or at the server. `sqlstate` is the server's code when it sent one.
class ServerError : public std::runtime_error {
 public:
  explicit ServerError(const std::string& message, std::string sqlstate = {})
      : std::runtime_error(message), sqlstate_(std::move(sqlstate)) {}
  const std::string& sqlstate() const { return sqlstate_; }

 private:
  std::string sqlstate_;
};

class Result {
 public:
  explicit Result(PGresult* result) : result_(result, &PQclear) {}
  int Rows() const { return PQntuples(result_.get()); }
  std::string Text(int row, int column) const { return PQgetvalue(result_.get(), row, column); }
  long long Int(int row, int column) const { return std::stoll(Text(row, column)); }
  bool IsNull(int row, int column) const { return PQgetisnull(result_.get(), row, column) != 0; }

 private:
  std::unique_ptr<PGresult, decltype(&PQclear)> result_;
};

class Connection {
 public:
  // Connects to `target`, a connection URI or keyword string. A text that is neither is
  // refused before anything is sent, so that a typo never becomes a database name.
  explicit Connection(const std::string& target);
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // "host:port/database" as libpq resolved it; never the password.
  std::string Describe() const;
  int ServerVersion() const { return PQserverVersion(conn_.get()); }

  Result Exec(const std::string& sql);
  Result Exec(const std::string& sql, const std::vector<std::string>& params);
  // Runs `sql`, several statements separated by ";", in one round trip, and returns each
  // statement's result in order. Throws at the first statement the server refuses; the ones
  // after it are not run.
  std::vector<Result> ExecEach(const std::string& sql);
  // Runs `sql`, a COPY ... FROM STDIN, feeding it `data`.
  void CopyIn(const std::string& sql, const std::string& data);
  // A COPY fed piece by piece, so that the server inserts while the caller is still making the
  // rest. `sql` may put statements before the COPY ("BEGIN; ...; COPY ... FROM STDIN"): they
  // travel in the same round trip. Throws at the first statement the server refuses.
  void BeginCopy(const std::string& sql);
  // Hands `data` on to the COPY begun; false once the server has refused it or the connection
  // is gone (EndCopy then says why).
  bool PutCopy(std::string_view data);
  // Ends the COPY; throws when the server refused the rows.
  void EndCopy();
  // Rolls back an open transaction after a failure, when the connection is still there.
  void RollBackQuietly();

 private:
  [[noreturn]] void Fail(const std::string& what, PGresult* result = nullptr) const;
  Result Check(PGresult* result, const std::string& what, ExecStatusType expected = PGRES_COMMAND_OK);
  std::unique_ptr<PGconn, decltype(&PQfinish)> conn_;
};

// Whether a failure is worth the batch being tried again: a deadlock or a serialisation failure
// between two pushers.
bool IsTransient(const ServerError& error);

}  // namespace brevalcore::analytics
