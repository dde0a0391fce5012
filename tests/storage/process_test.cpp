// Several processes on one profile file: writers killed at random moments never leave a torn
// file, and locked read-modify-write updates from many processes are never lost.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <thread>

#include "storage/ini_file.h"
#include "storage/profile.h"
#include "tests/storage/test_folder.h"

namespace brevalcore::storage {
namespace {

using automation::String;
using testing::FileBytes;
using testing::TestFolder;
namespace fs = std::filesystem;

constexpr int kKills = 250;
constexpr int kUpdaters = 8;
constexpr int kUpdatesEach = 500;

// A file large enough that writing it takes many system calls' worth of time.
std::string Filler() {
  std::string bytes;
  for (int i = 0; i < 500; ++i) bytes += "LASTDATE_P" + std::to_string(i) + "=04/12/2026 09:05:07\r\n";
  return bytes;
}

std::string Expected(long value, const std::string& filler) {
  return "[S]\r\nk=" + std::to_string(value) + "\r\n" + filler;
}

long ToLong(const String& s) { return std::stol(automation::ToUtf8(s)); }

TEST(Crash, KilledWriterLeavesTheOldFileOrTheNew) {
  TestFolder folder("crash");
  const fs::path file = folder / "BVC_1.INI";
  const std::string filler = Filler();
  testing::PutFile(file, Expected(0, filler));

  std::mt19937 random(20261204);
  // Long enough for a few writes on a busy machine; most kills then land inside one.
  std::uniform_int_distribution<int> delayUs(0, 40000);
  long last = 0;
  int advanced = 0;
  for (int round = 0; round < kKills; ++round) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Counts up from what the file holds, forever.
      ClearIniCache();
      long value = std::stol(automation::ToUtf8(ReadIni(file, u"S", u"k")));
      for (;;) WriteIni(file, u"S", u"k", automation::Ascii(std::to_string(++value)));
    }
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    const std::string bytes = FileBytes(file);
    const Profile parsed = Profile::Parse(bytes);
    const std::optional<Bytes> value = parsed.Value("S", "k");
    ASSERT_TRUE(value) << "round " << round;
    const long now = std::stol(*value);
    ASSERT_EQ(bytes, Expected(now, filler)) << "round " << round;  // whole, never torn
    ASSERT_GE(now, last);
    advanced += now > last;
    last = now;
  }
  RecordProperty("rounds_that_advanced", advanced);
  EXPECT_GT(advanced, 0) << "no writer ever finished a write: the kills tested nothing";
  // The next writer clears what killed writers left behind.
  ASSERT_TRUE(WriteIni(file, u"S", u"k", u"done"));
  size_t files = 0;
  for (const auto& e : fs::directory_iterator(folder.path())) files += e.is_regular_file();
  EXPECT_EQ(files, 1u);  // the file alone: no lock file, no temporary file
}

TEST(Concurrency, LockedUpdatesFromManyProcessesAreNeverLost) {
  TestFolder folder("counter");
  const fs::path file = folder / "BVC_2.INI";
  ASSERT_TRUE(WriteIni(file, u"BVC", u"Other", u"x"));
  std::vector<pid_t> children;
  for (int p = 0; p < kUpdaters; ++p) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ClearIniCache();
      bool ok = true;
      for (int i = 0; i < kUpdatesEach; ++i) {
        ok &= static_cast<bool>(UpdateIniValue(file, u"BVC", u"Count", [](const std::optional<String>& old) {
          return automation::Ascii(std::to_string((old ? ToLong(*old) : 0) + 1));
        }));
      }
      _exit(ok ? 0 : 1);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(ReadIni(file, u"BVC", u"Count"), automation::Ascii(std::to_string(kUpdaters * kUpdatesEach)));
  EXPECT_EQ(ReadIni(file, u"BVC", u"Other"), u"x");
}

}  // namespace
}  // namespace brevalcore::storage
