#include "tools/analytics/push.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "platform/automation/text.h"

namespace brevalcore::analytics {

namespace {

// A deadlock or serialisation failure between pushers is retried this many times.
constexpr int kAttempts = 3;

constexpr char kColumns[] = "installation, seq, time, doctor, banner, action, parameter, software, region, asl, branch";

// Text as the server takes it: UTF-8 (a damaged record's bytes read as Windows-1252, as the
// profile files are) and without NULs, which PostgreSQL text cannot hold.
std::string ServerText(const std::string& text) {
  std::string clean = automation::IsValidUtf8(text) ? text : automation::ToUtf8(automation::FromCp1252(text));
  std::erase(clean, '\0');
  return clean;
}

// One field of the COPY text format: the separators and the escape character escaped.
void AppendField(std::string& line, const std::string& text, bool last = false) {
  for (char c : ServerText(text)) {
    switch (c) {
      case '\\': line += "\\\\"; break;
      case '\t': line += "\\t"; break;
      case '\n': line += "\\n"; break;
      case '\r': line += "\\r"; break;
      default: line += c;
    }
  }
  line += last ? '\n' : '\t';
}

void SendBatch(Connection& server, const std::string& rows) {
  server.Exec("BEGIN");
  // The commit is acknowledged only once it is durable, whatever the server's default: the
  // local mark that follows must never outlive the records.
  server.Exec("SET LOCAL synchronous_commit TO on");
  server.Exec("SAVEPOINT batch");
  try {
    server.CopyIn(std::string("COPY brevalcore.records (") + kColumns + ") FROM STDIN", rows);
  } catch (const ServerError& e) {
    if (e.sqlstate() != "23505") throw;  // only "already there" takes the slower way
    server.Exec("ROLLBACK TO SAVEPOINT batch");
    server.Exec("CREATE TEMP TABLE IF NOT EXISTS incoming (LIKE brevalcore.records INCLUDING DEFAULTS) ON COMMIT DELETE ROWS");
    server.CopyIn(std::string("COPY incoming (") + kColumns + ") FROM STDIN", rows);
    server.Exec(std::string("INSERT INTO brevalcore.records (") + kColumns + ") SELECT " + kColumns +
                " FROM incoming ON CONFLICT DO NOTHING");
  }
  server.Exec("COMMIT");
}

void SendBatchRetrying(Connection& server, const std::string& rows) {
  for (int attempt = 1;; ++attempt) {
    try {
      return SendBatch(server, rows);
    } catch (const ServerError& e) {
      server.RollBackQuietly();
      if (!IsTransient(e) || attempt == kAttempts) throw;
    }
  }
}

}  // namespace

std::string Pseudonym(const std::string& key, const std::string& doctorCode) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), reinterpret_cast<const unsigned char*>(doctorCode.data()),
       doctorCode.size(), digest, &length);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (unsigned int i = 0; i < length; ++i) {
    text += kHex[digest[i] >> 4];
    text += kHex[digest[i] & 15];
  }
  return text;
}

std::string ReadKeyFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read the key file " + path);
  std::string key((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (key.size() < kMinKeyBytes)
    throw std::runtime_error("the key file " + path + " holds " + std::to_string(key.size()) + " bytes; a key needs " +
                             std::to_string(kMinKeyBytes) + " or more (e.g. head -c 32 /dev/urandom > " + path + ")");
  return key;
}

std::string CopyLine(const std::string& installation, const tracing::TraceRecord& r,
                     const std::optional<std::string>& key) {
  std::string line;
  AppendField(line, installation);
  AppendField(line, std::to_string(r.seq));
  AppendField(line, r.time);
  AppendField(line, key ? Pseudonym(*key, r.doctor) : r.doctor);
  for (const std::string* field : {&r.banner, &r.action, &r.parameter, &r.software, &r.region, &r.asl})
    AppendField(line, *field);
  AppendField(line, r.branch, /*last=*/true);
  return line;
}

PushResult Push(Connection& server, tracing::TraceDatabase& database, const PushOptions& options) {
  PushResult result;
  const int64_t total = database.UnsentCount();
  std::set<std::string> months;  // partitions made sure of in this push
  int64_t after = 0;
  while (true) {
    const auto records = database.Records(after, options.batchSize, /*unsentOnly=*/true);
    if (records.empty()) break;
    std::string rows, newMonths;
    std::vector<int64_t> skipped;
    for (const auto& record : records) {
      if (!tracing::IsSortableTime(record.time)) {
        skipped.push_back(record.seq);
        continue;
      }
      rows += CopyLine(database.Installation(), record, options.key);
      if (const std::string month = record.time.substr(0, 7) + "-01"; months.insert(month).second)
        newMonths += (newMonths.empty() ? "" : ",") + month;
    }
    // Before the batch's transaction, so that making a partition never waits inside it.
    if (!newMonths.empty())
      server.Exec("SELECT brevalcore.ensure_month(m) FROM unnest($1::date[]) AS m", {"{" + newMonths + "}"});
    if (!rows.empty()) SendBatchRetrying(server, rows);
    const int64_t first = records.front().seq, last = records.back().seq;
    if (!database.MarkSent(first, last, skipped))
      throw std::runtime_error("the server holds records " + std::to_string(first) + " to " + std::to_string(last) +
                               " but " + database.File() +
                               " could not mark them sent; the next push sends them again, without duplicates");
    result.sent += static_cast<int64_t>(records.size() - skipped.size());
    result.skipped.insert(result.skipped.end(), skipped.begin(), skipped.end());
    after = last;
    if (options.progress) options.progress(result.sent, total);
  }
  return result;
}

}  // namespace brevalcore::analytics
