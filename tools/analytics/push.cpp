#include "tools/analytics/push.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <charconv>
#include <exception>
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

// A field of the COPY text format: the separators and the escape character escaped, NULs
// (which PostgreSQL text cannot hold) dropped; runs of plain bytes are copied at once.
void AppendEscaped(std::string& out, std::string_view text) {
  size_t plain = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const char* escape = c == '\\' ? "\\\\" : c == '\t' ? "\\t" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : c == '\0' ? "" : nullptr;
    if (!escape) continue;
    out.append(text.data() + plain, i - plain);
    out += escape;
    plain = i + 1;
  }
  out.append(text.data() + plain, text.size() - plain);
}

// The server takes UTF-8: a damaged record's bytes are read as Windows-1252, as the profile
// files are.
void AppendField(std::string& out, std::string_view text, char end) {
  if (automation::IsValidUtf8(text))
    AppendEscaped(out, text);
  else
    AppendEscaped(out, automation::ToUtf8(automation::FromCp1252(text)));
  out += end;
}

// "BEGIN", the durability setting and the COPY travel in one round trip. The commit is
// acknowledged only once it is durable, whatever the server's default: the local mark that
// follows must never outlive the records.
constexpr char kBeginBatch[] = "BEGIN; SET LOCAL synchronous_commit TO on";

std::string CopyRecordsStatement(const char* table) {
  return std::string("COPY ") + table + " (" + kColumns + ") FROM STDIN";
}

// A batch's first try: the transaction opened and the COPY straight into the records, in one
// round trip.
std::string BeginBatchAndCopy() { return std::string(kBeginBatch) + "; " + CopyRecordsStatement("brevalcore.records"); }

// Rows go to the server in pieces of this size while the rest of the batch is still being read,
// so that the server inserts while the client reads, instead of each waiting for the other.
constexpr size_t kStreamChunk = 128 * 1024;

// The first try of a batch, sent as it is made. The whole text is kept all the same: the rarer
// ways (records the server already holds, a month without a partition, a deadlock) send it
// again. A failure is held until the batch is read to its end, so that the text is complete
// for them.
class StreamedBatch {
 public:
  StreamedBatch(Connection& server, const std::string& rows) : server_(server), rows_(rows) {}

  // After rows were appended: sends what makes a chunk.
  void Grew() {
    if (rows_.size() - sent_ >= kStreamChunk) Send();
  }
  // Sends the rest and ends the COPY; throws what the server said on the way.
  void Finish() {
    Send();
    if (failure_) std::rethrow_exception(failure_);
    server_.EndCopy();
  }

 private:
  void Send() {
    if (failure_ || sent_ == rows_.size()) return;
    try {
      if (!started_) server_.BeginCopy(BeginBatchAndCopy());
      started_ = true;
      // A refusal on the way shows at the end of the COPY.
      if (!refused_) refused_ = !server_.PutCopy(std::string_view(rows_).substr(sent_));
      sent_ = rows_.size();
    } catch (const ServerError&) {
      failure_ = std::current_exception();
    }
  }

  Connection& server_;
  const std::string& rows_;
  size_t sent_ = 0;
  bool started_ = false, refused_ = false;
  std::exception_ptr failure_;
};

// One try of a batch: `copyStraight` opens the transaction and copies the batch straight in. No
// savepoint guards the COPY: a subtransaction would be paid by every batch, while a batch the
// server already partly holds is rare (a push stopped between commit and mark, a restored
// copy). Then the whole transaction is rolled back and the batch goes again the slower way.
void SendBatch(Connection& server, const std::string& rows, const std::function<void()>& copyStraight) {
  try {
    copyStraight();
  } catch (const ServerError& e) {
    if (e.sqlstate() != "23505") throw;  // only "already there" takes the slower way
    server.Exec("ROLLBACK");
    server.Exec(kBeginBatch);
    server.Exec("CREATE TEMP TABLE IF NOT EXISTS incoming (LIKE brevalcore.records INCLUDING DEFAULTS) ON COMMIT DELETE ROWS");
    server.CopyIn(CopyRecordsStatement("incoming"), rows);
    server.Exec(std::string("INSERT INTO brevalcore.records (") + kColumns + ") SELECT " + kColumns +
                " FROM incoming ON CONFLICT DO NOTHING");
  }
  server.Exec("COMMIT");
}

// A row whose month has no partition yet: the server says so with a check violation.
bool IsMissingPartition(const ServerError& error) { return error.sqlstate() == "23514"; }

// Makes the partitions of `months` ("yyyy-mm"), outside any batch's transaction, so that making
// a partition never waits inside one.
void EnsureMonths(Connection& server, const std::set<std::string>& months) {
  std::string list;
  for (const auto& month : months) list += (list.empty() ? "{" : ",") + month + "-01";
  server.Exec("SELECT brevalcore.ensure_month(m) FROM unnest($1::date[]) AS m", {list + "}"});
}

// The partitions are there nearly always (whoever pushed first in a month made them), so a
// batch goes straight in, streamed as it was read; only when the server finds a month missing
// are they made and the batch sent again, whole.
void SendBatchRetrying(Connection& server, const std::string& rows, const std::set<std::string>& months,
                       StreamedBatch& streamed) {
  bool monthsMade = false;
  const std::function<void()> copyWhole = [&] {
    server.CopyIn(BeginBatchAndCopy(), rows);
  };
  const std::function<void()> copyStreamed = [&] { streamed.Finish(); };
  for (int attempt = 1;;) {
    try {
      return SendBatch(server, rows, attempt == 1 && !monthsMade ? copyStreamed : copyWhole);
    } catch (const ServerError& e) {
      server.RollBackQuietly();
      if (IsMissingPartition(e) && !monthsMade) {
        EnsureMonths(server, months);
        monthsMade = true;
        continue;
      }
      if (!IsTransient(e) || attempt++ == kAttempts) throw;
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

void AppendCopyLine(std::string& out, const std::string& installation, const tracing::TraceRecord& r,
                    const std::optional<std::string>& key) {
  AppendField(out, installation, '\t');
  char seq[24];
  const auto [seqEnd, unused] = std::to_chars(seq, seq + sizeof seq, r.seq);
  out.append(seq, seqEnd);
  out += '\t';
  AppendField(out, r.time, '\t');
  AppendField(out, key ? Pseudonym(*key, r.doctor) : r.doctor, '\t');
  for (const std::string* field : {&r.banner, &r.action, &r.parameter, &r.software, &r.region, &r.asl})
    AppendField(out, *field, '\t');
  AppendField(out, r.branch, '\n');
}

std::string CopyLine(const std::string& installation, const tracing::TraceRecord& record,
                     const std::optional<std::string>& key) {
  std::string line;
  AppendCopyLine(line, installation, record, key);
  return line;
}

PushResult Push(Connection& server, tracing::TraceDatabase& database, const PushOptions& options) {
  PushResult result;
  const int64_t total = database.UnsentCount();
  std::string rows;  // one batch in the COPY text format, its buffer kept from batch to batch
  std::vector<int64_t> skipped;
  int64_t after = 0;
  while (true) {
    rows.clear();
    skipped.clear();
    std::set<std::string> months;
    int64_t first = 0, last = 0;
    StreamedBatch streamed(server, rows);
    const size_t read = database.VisitRecords(after, options.batchSize, /*unsentOnly=*/true,
                                              [&](const tracing::TraceRecord& record) {
      if (first == 0) first = record.seq;
      last = record.seq;
      if (!tracing::IsSortableTime(record.time)) {
        skipped.push_back(record.seq);
        return;
      }
      AppendCopyLine(rows, database.Installation(), record, options.key);
      // Records come in time order nearly always: a month is looked up once per change.
      if (months.empty() || record.time.compare(0, 7, *months.rbegin()) != 0) months.insert(record.time.substr(0, 7));
      streamed.Grew();
    });
    if (read == 0) break;
    if (!rows.empty()) SendBatchRetrying(server, rows, months, streamed);
    if (!database.MarkSent(first, last, skipped))
      throw std::runtime_error("the server holds records " + std::to_string(first) + " to " + std::to_string(last) +
                               " but " + database.File() +
                               " could not mark them sent; the next push sends them again, without duplicates");
    result.sent += static_cast<int64_t>(read - skipped.size());
    result.skipped.insert(result.skipped.end(), skipped.begin(), skipped.end());
    after = last;
    if (options.progress) options.progress(result.sent, total);
  }
  return result;
}

}  // namespace brevalcore::analytics
