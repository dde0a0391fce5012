// Pushing to a real server under every fault a push can meet: after each, once the push is
// run again, the server holds every local record exactly once.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "tests/analytics/server_fixture.h"
#include "tools/analytics/push.h"

namespace brevalcore::analytics::testing {
namespace {

PushResult PushAll(const std::string& url, TraceDatabase& db, size_t batch = kDefaultBatchSize) {
  Connection server(url);
  CheckServer(server);
  PushOptions options;
  options.batchSize = batch;
  return Push(server, db, options);
}

// A TCP relay to the server that drops every connection once the client has sent `cutAfter`
// bytes through it: the network failing in the middle of a batch.
class CuttingProxy {
 public:
  CuttingProxy(int serverPort, size_t cutAfter) : serverPort_(serverPort), cutAfter_(cutAfter) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    ::listen(listener_, 4);
    thread_ = std::thread([this] { Serve(); });
  }
  ~CuttingProxy() {
    stop_ = true;
    thread_.join();
    ::close(listener_);
  }
  int port() const { return port_; }
  int cuts() const { return cuts_; }

 private:
  void Serve() {
    while (!stop_) {
      pollfd p{listener_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const int client = ::accept(listener_, nullptr, nullptr);
      const int server = ::socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      address.sin_port = htons(static_cast<uint16_t>(serverPort_));
      if (::connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) Relay(client, server);
      ::close(client);
      ::close(server);
    }
  }
  void Relay(int client, int server) {
    size_t sent = 0;
    char buffer[16384];
    while (!stop_) {
      pollfd p[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
      if (::poll(p, 2, 50) <= 0) continue;
      for (int side = 0; side < 2; ++side) {
        if (!(p[side].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        const ssize_t n = ::recv(p[side].fd, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        size_t forward = static_cast<size_t>(n);
        if (side == 0 && sent + forward >= cutAfter_) {
          ::send(server, buffer, cutAfter_ - sent, MSG_NOSIGNAL);  // part of the batch, then nothing
          ++cuts_;
          return;
        }
        if (side == 0) sent += forward;
        ::send(side == 0 ? server : client, buffer, forward, MSG_NOSIGNAL);
      }
    }
  }
  int serverPort_, listener_ = -1, port_ = 0;
  size_t cutAfter_;
  std::atomic<bool> stop_{false};
  std::atomic<int> cuts_{0};
  std::thread thread_;
};

TEST_F(ServerTest, PushingAgainSendsNothingTwice) {
  auto db = Local("a.db", 1200);
  EXPECT_EQ(PushAll(url_, *db, 500).sent, 1200);
  EXPECT_EQ(PushAll(url_, *db).sent, 0);
  Append(*db, 30, 1200);
  EXPECT_EQ(PushAll(url_, *db).sent, 30);
  ExpectExactlyOnce({db.get()});
}

// Killed between the server's commit and the local mark: the marks are lost, the records are
// on the server. A copy restored from before the push is the same state, plus new records.
TEST_F(ServerTest, RecordsTheServerHasAlreadyAreNotDuplicated) {
  Local("a.db", 700).reset();  // closed: the whole database is in its file
  fs::copy_file(File("a.db"), File("backup.db"));
  PushAll(url_, *TraceDatabase::Open(File("a.db")), 300);
  fs::copy_file(File("backup.db"), File("a.db"), fs::copy_options::overwrite_existing);
  fs::remove(File("a.db-wal"));
  fs::remove(File("a.db-shm"));
  auto restored = TraceDatabase::Open(File("a.db"));
  ASSERT_EQ(restored->UnsentCount(), 700);
  Append(*restored, 50, 700);
  EXPECT_EQ(PushAll(url_, *restored, 300).sent, 750) << "a restored copy is pushed, not refused";
  ExpectExactlyOnce({restored.get()});
}

TEST_F(ServerTest, TheServerKilledInTheMiddleOfAPush) {
  auto db = Local("a.db", 30000);
  const std::string out = File("push");
  const pid_t push = StartTool({"trace", "push", "--to", url_, "--db", File("a.db"), "--batch", "40"}, out);
  while (ServerCount() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  server_->Crash();
  const ToolRun run = WaitTool(push, out);
  server_->Start();
  ASSERT_EQ(run.status, 1) << "the push ended before the crash: " << run.out;
  EXPECT_NE(run.err.find("records were sent and marked before"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("stay in " + File("a.db")), std::string::npos) << run.err;
  EXPECT_GE(ServerCount(), Marked(*db)) << "nothing is marked that the server did not commit";
  EXPECT_GT(db->UnsentCount(), 0);
  PushAll(url_, *db);
  ExpectExactlyOnce({db.get()});
}

TEST_F(ServerTest, TheConnectionCutInTheMiddleOfABatch) {
  auto db = Local("a.db", 3000);
  CuttingProxy proxy(server_->port(), 150 * 1000);
  const std::string viaProxy = "host=127.0.0.1 port=" + std::to_string(proxy.port()) + " dbname=" + database_ +
                               " user=" + TempPostgres::kUser + " password=" + TempPostgres::kPassword;
  const ToolRun run = Tool({"trace", "push", "--to", viaProxy, "--db", File("a.db"), "--batch", "1000"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(proxy.cuts(), 1);
  EXPECT_NE(run.err.find("brevalcore trace: "), std::string::npos) << run.err;
  EXPECT_EQ(ServerCount(), Marked(*db)) << "the batch cut short was neither committed nor marked";
  EXPECT_GT(db->UnsentCount(), 0);
  EXPECT_EQ(Tool({"trace", "push", "--to", url_, "--db", File("a.db")}).status, 0);
  ExpectExactlyOnce({db.get()});
}

TEST_F(ServerTest, TwoPushersAtOnce) {
  auto first = Local("a.db", 4000);
  auto second = Local("b.db", 4000, 7);
  // The same file pushed twice at once (a host's automatic push and an author's), and another
  // installation's file: the same days, doctors and roll-up rows.
  std::vector<std::thread> pushers;
  for (const std::string name : {"a.db", "a.db", "b.db"})
    pushers.emplace_back([this, name] {
      try {
        PushAll(url_, *TraceDatabase::Open(File(name)), 250);
      } catch (const std::exception& e) {
        ADD_FAILURE() << name << ": " << e.what();
      }
    });
  for (auto& t : pushers) t.join();
  ExpectExactlyOnce({first.get(), second.get()});
}

TEST_F(ServerTest, ConcurrentInitsAgreeAndRunningAgainChangesNothing) {
  const std::string fresh = server_->CreateDatabase();
  std::vector<InitOutcome> outcomes(2);
  std::vector<std::thread> inits;
  for (auto& outcome : outcomes)
    inits.emplace_back([&, url = server_->Url(fresh)] {
      Connection c(url);
      outcome = InitServer(c);
    });
  for (auto& t : inits) t.join();
  EXPECT_EQ(outcomes[0].from + outcomes[1].from, LatestSchemaVersion()) << "one of them found the schema made";
  Connection c(server_->Url(fresh));
  EXPECT_EQ(InitServer(c).from, LatestSchemaVersion());
  EXPECT_EQ(c.Exec("SELECT count(*) FROM brevalcore.schema_migrations").Int(0, 0), LatestSchemaVersion());
}

// A server still on the first schema, holding records, upgraded in place: its roll-up is kept
// as it was, now under the key of the latest schema, and later pushes add to it.
TEST_F(ServerTest, AServerOfTheFirstSchemaIsUpgradedWithItsRecords) {
  database_ = server_->CreateDatabase();
  url_ = server_->Url(database_);
  Connection c(url_);
  ASSERT_EQ(InitServer(c, 1).to, 1);
  auto db = Local("a.db", 900);
  EXPECT_EQ(Push(c, *db, {}).sent, 900) << "pushed as the release of the first schema did";
  const auto rollUp = [&c] { return c.Exec("SELECT count(*) || '/' || sum(events) FROM brevalcore.daily").Text(0, 0); };
  const std::string before = rollUp();
  const InitOutcome upgrade = InitServer(c);
  EXPECT_EQ(upgrade.from, 1);
  EXPECT_EQ(upgrade.to, LatestSchemaVersion());
  EXPECT_EQ(rollUp(), before);
  EXPECT_EQ(c.Exec("SELECT pg_get_constraintdef(oid) FROM pg_constraint WHERE conrelid = 'brevalcore.daily'::regclass"
                   " AND contype = 'p'")
                .Text(0, 0),
            "PRIMARY KEY (banner, doctor, day, region, asl, action)");
  EXPECT_EQ(c.Exec("SELECT to_regclass('brevalcore.records_banner_time') IS NULL").Text(0, 0), "t");
  Append(*db, 400, 900);  // the same days and doctors: rows of the roll-up grow and new ones come
  EXPECT_EQ(PushAll(url_, *db, 150).sent, 400);
  ExpectExactlyOnce({db.get()});
}

// Partitions are made when the server finds a month missing: in a later push, and in one
// batch whose months come out of order (a clock set back).
TEST_F(ServerTest, MonthsWithoutAPartitionAreMadeWhenTheyAreFirstMet) {
  auto db = Local("a.db", 100);
  EXPECT_EQ(PushAll(url_, *db).sent, 100);
  for (const automation::Date when : {shell::MakeDate({2026, 6, 3, 9, 0, 0}), shell::MakeDate({2026, 4, 30, 23, 59, 0}),
                                      shell::MakeDate({2026, 6, 4, 9, 0, 0}), shell::MakeDate({2024, 2, 29, 8, 0, 0})})
    ASSERT_TRUE(db->Append(when, {u"B9", u"SHOW"}, {u"D9", u"", u""}));
  EXPECT_EQ(PushAll(url_, *db).sent, 4);
  ExpectExactlyOnce({db.get()});
  Connection c(url_);
  EXPECT_EQ(c.Exec("SELECT count(*) FROM pg_inherits i JOIN pg_class p ON p.oid = i.inhrelid"
                   " WHERE i.inhparent = 'brevalcore.records'::regclass"
                   " AND p.relname IN ('records_2026_06', 'records_2026_04', 'records_2024_02')")
                .Int(0, 0),
            3);
}

// A batch goes to the server in pieces while it is still being read. When the server refuses
// it after some pieces (a month without a partition, records it already holds, both late in
// the batch), the batch goes again whole, and nothing is lost or counted twice.
TEST_F(ServerTest, ABatchRefusedWhileItIsStillBeingSentGoesAgainWhole) {
  struct Case {
    const char* name;
    // Leaves a.db with unsent records whose later part the server refuses.
    std::function<void()> prepare;
  };
  const Case cases[] = {
      {"a month without a partition late in the batch",
       [this] {
         auto db = Local("a.db", 100);
         PushAll(url_, *db);
         Append(*db, 3000, 100);
         for (int i = 0; i < 2000; ++i)
           ASSERT_TRUE(db->Append(shell::MakeDate({2027, 3, 1 + i % 28, 9, i % 60, 0}), {u"B1", u"SHOW"}, {u"D1", u"", u""}));
       }},
      {"records the server holds late in the batch",
       [this] {
         Local("a.db", 3000).reset();
         fs::copy_file(File("a.db"), File("backup.db"));
         auto db = TraceDatabase::Open(File("a.db"));
         ASSERT_TRUE(db->MarkSent(1, 3000));  // as if sent: the server gets only what follows
         Append(*db, 2000, 3000);
         PushAll(url_, *db);
         db.reset();
         fs::copy_file(File("backup.db"), File("a.db"), fs::copy_options::overwrite_existing);
         fs::remove(File("a.db-wal"));
         fs::remove(File("a.db-shm"));
         Append(*TraceDatabase::Open(File("a.db")), 2000, 3000);  // the same records again
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();  // each case on a database and a folder of its own
    SetUp();
    c.prepare();
    auto db = TraceDatabase::Open(File("a.db"));
    ASSERT_EQ(db->UnsentCount(), 5000);
    EXPECT_EQ(PushAll(url_, *db).sent, 5000);
    ExpectExactlyOnce({db.get()});
  }
}

TEST_F(ServerTest, PseudonymsAreKeyedHashesThatStillCountDoctors) {
  auto db = Local("a.db", 100);
  std::ofstream(File("key")) << "0123456789abcdef-a-key-for-tests";
  const ToolRun run = Tool({"trace", "push", "--to", url_, "--db", File("a.db"), "--pseudonymise", File("key")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "100 records sent to 127.0.0.1:" + std::to_string(server_->port()) + "/" + database_ + "\n");
  Connection c(url_);
  const Result doctors = c.Exec("SELECT DISTINCT doctor FROM brevalcore.records ORDER BY 1");
  ASSERT_EQ(doctors.Rows(), 4);
  std::vector<std::string> expected;
  for (const char* code : {"D0", "D1", "D2", "D3"}) expected.push_back(Pseudonym("0123456789abcdef-a-key-for-tests", code));
  std::sort(expected.begin(), expected.end());
  for (int r = 0; r < doctors.Rows(); ++r) EXPECT_EQ(doctors.Text(r, 0), expected[static_cast<size_t>(r)]);
  // What leaves the machine: no user identifier, role or province.
  const Result columns = c.Exec("SELECT string_agg(attname, ',' ORDER BY attnum) FROM pg_attribute WHERE attrelid ="
                                " 'brevalcore.records'::regclass AND attnum > 0");
  EXPECT_EQ(columns.Text(0, 0), "installation,seq,time,doctor,banner,action,parameter,software,region,asl,branch,received");
}

// The schema check's statements travel together: each answers in order, the first refused one
// stops the rest, and the connection is ready for the next statement either way.
TEST_F(ServerTest, StatementsSentTogetherAnswerInOrderOrStopAtTheFirstRefused) {
  Connection c(url_);
  const std::vector<Result> results = c.ExecEach("SELECT 1; SELECT 2, 3; SET application_name TO 'x'");
  ASSERT_EQ(results.size(), 3u);
  EXPECT_EQ(results[1].Text(0, 1), "3");
  try {
    c.ExecEach("CREATE TEMP TABLE t (); SELECT * FROM no_such_table; DROP TABLE t");
    ADD_FAILURE() << "a missing table was not refused";
  } catch (const ServerError& e) {
    EXPECT_EQ(e.sqlstate(), "42P01") << e.what();
  }
  EXPECT_EQ(c.Exec("SELECT to_regclass('pg_temp.t') IS NULL").Text(0, 0), "t") << "the statements ran as one";
  // The same before a COPY: a refused statement stops it before any row is taken.
  c.Exec("CREATE TEMP TABLE u (n int)");
  try {
    c.BeginCopy("SELECT 1; SELECT * FROM no_such_table; COPY u FROM STDIN");
    ADD_FAILURE() << "a missing table before the COPY was not refused";
  } catch (const ServerError& e) {
    EXPECT_EQ(e.sqlstate(), "42P01") << e.what();
  }
  c.BeginCopy("SELECT 1; COPY u FROM STDIN");
  ASSERT_TRUE(c.PutCopy("1\n2\n"));
  c.EndCopy();
  EXPECT_EQ(c.Exec("SELECT sum(n) FROM u").Text(0, 0), "3");
}

TEST(Pseudonym, IsHmacSha256) {
  // RFC 4231, test case 2.
  EXPECT_EQ(Pseudonym("Jefe", "what do ya want for nothing?"),
            "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
}

TEST(CopyLine, EscapesWhatTheFormatReserves) {
  struct Case {
    std::string banner, expected;
  };
  const std::vector<Case> cases = {
      {"plain", "plain"},
      {"a\tb\\c\nd", "a\\tb\\\\c\\nd"},
      {"\tfirst and last\r", "\\tfirst and last\\r"},
      {"\n\n", "\\n\\n"},
      {std::string("x\0y\0", 4), "xy"},
      {std::string("\0", 1), ""},
      {"\xE8\t", "\xC3\xA8\\t"},  // a damaged record: Windows-1252 bytes, then escaped
  };
  for (const auto& c : cases) {
    tracing::TraceRecord r;
    r.seq = 7;
    r.time = "2026-03-01 10:00:00";
    r.banner = c.banner;
    r.branch = c.banner;
    EXPECT_EQ(CopyLine("g", r, std::nullopt), "g\t7\t2026-03-01 10:00:00\t\t" + c.expected + "\t\t\t\t\t\t" + c.expected + "\n")
        << c.banner;
  }
}

}  // namespace
}  // namespace brevalcore::analytics::testing
