#pragma once
// Shipping the local trace records to the analytics server, exactly once.
//
// Records go in batches, oldest first. A batch is one server transaction: it is copied
// straight into brevalcore.records; when the server already holds some of it (an earlier push
// that committed but was stopped before its local mark, a restored copy of the database, a
// second pusher of the same file) the transaction falls back to inserting the batch with
// ON CONFLICT DO NOTHING on the record's key. Records are marked sent locally only after the
// server's commit, so every fault leaves each record either on the server, or unsent locally,
// or both; a later push settles the last case without duplicates.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "rules/tracing/store.h"
#include "tools/analytics/pg.h"

namespace brevalcore::analytics {

inline constexpr size_t kDefaultBatchSize = 20000;
// A pseudonymisation key shorter than this would let the doctors' codes be guessed back.
inline constexpr size_t kMinKeyBytes = 16;

// The keyed hash of a doctor's code: HMAC-SHA-256, in lower-case hex.
std::string Pseudonym(const std::string& key, const std::string& doctorCode);
// The bytes of a key file, unchanged. Throws std::runtime_error naming the file when it cannot
// be read or is too short.
std::string ReadKeyFile(const std::string& path);

struct PushOptions {
  size_t batchSize = kDefaultBatchSize;
  std::optional<std::string> key;  // pseudonymise doctors' codes with this key
  // After each batch: records sent so far and the number there was to send.
  std::function<void(int64_t sent, int64_t total)> progress;
};

struct PushResult {
  int64_t sent = 0;
  // Records that cannot travel (a time that is no time, in a damaged database): never sent,
  // never marked.
  std::vector<int64_t> skipped;
};

// The line of the COPY text format for one record, as it leaves the machine: identity, time,
// doctor (or pseudonym), banner, action, parameter, software, region, ASL, branch.
std::string CopyLine(const std::string& installation, const tracing::TraceRecord& record,
                     const std::optional<std::string>& key);
// The same line appended to `out`, without a string of its own.
void AppendCopyLine(std::string& out, const std::string& installation, const tracing::TraceRecord& record,
                    const std::optional<std::string>& key);

// Sends every unsent record. Throws ServerError when the server fails or refuses (records of
// the batches already committed stay marked), std::runtime_error when the local marks cannot
// be written.
PushResult Push(Connection& server, tracing::TraceDatabase& database, const PushOptions& options);

}  // namespace brevalcore::analytics
