// Profile files as the doctor's machine may hold them: every encoding and line end, files that
// are not files, links, read-only files and folders. Each is read, written and compared byte
// for byte; whatever is refused is refused with a message naming it and left as it was.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <random>
#include <thread>

#include "storage/ini_file.h"
#include "storage/profile.h"
#include "tests/storage/test_folder.h"

namespace brevalcore::storage {
namespace {

using automation::String;
using testing::FileBytes;
using testing::PutFile;
using testing::TestFolder;
namespace fs = std::filesystem;

std::string Utf16Le(std::u16string_view text, bool bom = true) {
  std::string out = bom ? "\xFF\xFE" : "";
  for (char16_t c : text) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  return out;
}

std::string Core(const std::string& before, std::string_view section, std::string_view key, std::string_view value) {
  Profile p = Profile::Parse(before);
  p.WriteString(section, key, value);
  return p.Serialize();
}

struct EncodingRow {
  const char* name;
  std::string before;
  const char16_t* readKey;  // read from section S before the write
  String expectedRead;
  std::function<IniWriteResult(const fs::path&)> write;
  std::string after;
};

IniWriteResult SetK2(const fs::path& f) { return WriteIni(f, u"S", u"k", u"2"); }

TEST(ProfileFiles, EveryEncodingAndLineEndIsKept) {
  const std::string longLine(10 << 20, 'x');
  const EncodingRow rows[] = {
      {"utf16 with mark", Utf16Le(u"[S]\r\nk=1\r\nj=日本\r\n"), u"j", u"??", SetK2, Utf16Le(u"[S]\r\nk=2\r\nj=日本\r\n")},
      {"utf16 odd length", Utf16Le(u"[S]\r\nk=1\r\n") + "x", u"k", u"1", SetK2, Utf16Le(u"[S]\r\nk=2\r\n")},
      {"utf16 surrogates kept", Utf16Le(u"[S]\r\nk=1\r\nz=\xD83D\xDE00\xD800\r\n"), u"k", u"1", SetK2,
       Utf16Le(u"[S]\r\nk=2\r\nz=\xD83D\xDE00\xD800\r\n")},
      {"utf16 written with the file's line end", Utf16Le(u"[S]\nk=1\n"), u"k", u"1",
       [](const fs::path& f) { return WriteIniSection(f, u"T", u"a=1\r\nb"); }, Utf16Le(u"[S]\nk=1\n[T]\na=1\nb\n")},
      {"utf16 without mark is ANSI", Utf16Le(u"[S]\r\nk=1\r\n", false), u"k", u"", SetK2,
       Core(Utf16Le(u"[S]\r\nk=1\r\n", false), "S", "k", "2")},
      {"utf8 mark hides nothing", "\xEF\xBB\xBF[S]\r\nk=caff\xC3\xA8\r\n", u"k", u"caffè", SetK2,
       "\xEF\xBB\xBF[S]\r\nk=2\r\n"},
      {"utf8 no-break space is a blank", "\xEF\xBB\xBF[S]\r\nk=\xC2\xA0\xC3\xA0\xC2\xA0\r\n", u"k", u"à",
       [](const fs::path& f) { return WriteIni(f, u"S", u"n", u"è"); },
       "\xEF\xBB\xBF[S]\r\nk=\xC3\xA0\r\nn=\xC3\xA8\r\n"},
      {"ansi no-break space is a blank", "[S]\r\nk=\xA0x\xA0\r\n", u"k", u"x", SetK2, "[S]\r\nk=2\r\n"},
      {"lf only stays lf", "[S]\nk=1\n[T]\nx=1\n", u"k", u"1",
       [](const fs::path& f) { return WriteIniSection(f, u"T", u"a=1\r\nb\r\nc=3"); }, "[S]\nk=1\n[T]\na=1\nb\nc=3\n"},
      {"mixed line ends become CR LF", "[S]\r\nk=1\n[T]\rx=1", u"k", u"1", SetK2, "[S]\r\nk=2\r\n[T]\r\nx=1\r\n"},
      {"cr only becomes CR LF", "[S]\rk=1\r", u"k", u"1", SetK2, "[S]\r\nk=2\r\n"},
      {"nul ends a value", std::string("[S]\r\nk=1\0junk\r\n", 16), u"k", u"1",
       [](const fs::path& f) { return WriteIni(f, u"S", u"j", u"2"); },
       Core(std::string("[S]\r\nk=1\0junk\r\n", 16), "S", "j", "2")},
      {"10 MB line", "[S]\r\nk=" + longLine + "\r\n", u"k", String(254, u'x'),
       [](const fs::path& f) { return WriteIni(f, u"S", u"j", u"2"); }, "[S]\r\nk=" + longLine + "\r\nj=2\r\n"},
  };
  TestFolder folder("encodings");
  int n = 0;
  for (const EncodingRow& row : rows) {
    SCOPED_TRACE(row.name);
    const fs::path file = folder / ("BVC_" + std::to_string(n++) + ".INI");
    PutFile(file, row.before);
    EXPECT_EQ(ReadIni(file, u"S", row.readKey), row.expectedRead);
    const IniWriteResult r = row.write(file);
    EXPECT_TRUE(r) << r.error();
    EXPECT_EQ(FileBytes(file), row.after);
    if (row.name[0] == 'u') {
      EXPECT_EQ(GetIniSections(file).front(), u"S");  // no mark hides the first section
    }
  }
}

// What a write must refuse, and the file (or what stands at its name) left as it was.
struct RefusalRow {
  const char* name;
  std::function<fs::path(const TestFolder&)> make;
  const char* message;
};

TEST(ProfileFiles, WhatIsNotAWritableFileIsRefusedAndLeftAlone) {
  const RefusalRow rows[] = {
      {"fifo", [](const TestFolder& f) { ::mkfifo((f / "fifo.ini").c_str(), 0666); return f / "fifo.ini"; },
       "is a named pipe (FIFO), not a profile file"},
      {"device", [](const TestFolder& f) { fs::create_symlink("/dev/null", f / "dev.ini"); return f / "dev.ini"; },
       "is a device, not a profile file"},
      {"folder", [](const TestFolder& f) { fs::create_directory(f / "dir.ini"); return f / "dir.ini"; },
       "is a folder, not a profile file"},
      {"symlink loop",
       [](const TestFolder& f) {
         fs::create_symlink("b.ini", f / "a.ini");
         fs::create_symlink("a.ini", f / "b.ini");
         return f / "a.ini";
       },
       "is a loop of symbolic links"},
      {"read-only file",
       [](const TestFolder& f) {
         PutFile(f / "ro.ini", "[S]\r\nk=1\r\n");
         ::chmod((f / "ro.ini").c_str(), 0444);
         return f / "ro.ini";
       },
       "is read-only"},
  };
  for (const RefusalRow& row : rows) {
    SCOPED_TRACE(row.name);
    TestFolder folder("refusals");
    const fs::path name = row.make(folder);
    const auto before = fs::symlink_status(name).type();
    std::error_code ec;
    const bool isFile = fs::is_regular_file(name, ec);
    const std::string bytesBefore = isFile ? FileBytes(name) : "";
    EXPECT_EQ(ReadIni(name, u"S", u"k"), isFile ? u"1" : u"");  // never blocks
    const IniWriteResult r = WriteIni(name, u"S", u"k", u"2");
    EXPECT_FALSE(r);
    EXPECT_NE(r.error().find(row.message), std::string::npos) << r.error();
    EXPECT_EQ(fs::symlink_status(name).type(), before);
    if (isFile) {
      EXPECT_EQ(FileBytes(name), bytesBefore);
    }
  }
}

TEST(ProfileFiles, LineBreaksAndNulsAreNeverWritten) {
  struct Row {
    const char* name;
    std::function<IniWriteResult(const fs::path&)> write;
    const char* message;
  } rows[] = {
      {"value with CR LF", [](const fs::path& f) { return WriteIni(f, u"S", u"k", u"1\r\n[AutoSubstitute]\r\nA=B"); },
       "the value \"1\\r\\n[AutoSubstitute]\\r\\nA=B\" holds a line break or a NUL"},
      {"key with LF", [](const fs::path& f) { return WriteIni(f, u"S", u"k\nx", u"1"); }, "the key \"k\\nx\""},
      {"section with NUL", [](const fs::path& f) { return WriteIni(f, String(u"S\0T", 3), u"k", u"1"); },
       "the section \"S\\0T\""},
      {"deleted key with CR", [](const fs::path& f) { return DeleteIniKey(f, u"S", u"k\r"); }, "the key \"k\\r\""},
      {"updated value with LF",
       [](const fs::path& f) { return UpdateIniValue(f, u"S", u"k", [](const auto&) { return String(u"2\n[X]"); }); },
       "the value \"2\\n[X]\""},
      {"section entry with a lone LF", [](const fs::path& f) { return WriteIniSection(f, u"T", u"a=1\nb=2"); },
       "the entry \"a=1\\nb=2\" holds a line break"},
      {"section entry starting a section", [](const fs::path& f) { return WriteIniSection(f, u"T", u"a=1\r\n [X] \r\nb=2"); },
       "the entry \" [X] \" would start a new section"},
  };
  TestFolder folder("breaks");
  const fs::path file = folder / "BVC_1.INI";
  PutFile(file, "[S]\r\nk=1\r\n");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const IniWriteResult r = row.write(file);
    EXPECT_FALSE(r);
    EXPECT_NE(r.error().find(row.message), std::string::npos) << r.error();
    EXPECT_EQ(FileBytes(file), "[S]\r\nk=1\r\n");
  }
  EXPECT_TRUE(WriteIniSection(file, u"T", u"a=1\r\nno equals\r\nb=2\r\n"));  // the platform's own form
  EXPECT_EQ(FileBytes(file), "[S]\r\nk=1\r\n[T]\r\na=1\r\nno equals\r\nb=2\r\n\r\n");
}

TEST(ProfileFiles, ALinkIsWrittenThroughAndStays) {
  TestFolder folder("links");
  fs::create_directory(folder / "real");
  PutFile(folder / "real/BVC_1.INI", "[S]\r\nk=1\r\n");
  ::chmod((folder / "real/BVC_1.INI").c_str(), 0640);
  fs::create_symlink("real/BVC_1.INI", folder / "hop.ini");
  fs::create_symlink(folder / "hop.ini", folder / "BVC_1.INI");
  fs::create_symlink("real/missing.ini", folder / "dangling.ini");
  ASSERT_TRUE(WriteIni(folder / "BVC_1.INI", u"S", u"k", u"2"));
  ASSERT_TRUE(WriteIni(folder / "dangling.ini", u"S", u"k", u"3"));
  EXPECT_TRUE(fs::is_symlink(folder / "BVC_1.INI"));
  EXPECT_TRUE(fs::is_symlink(folder / "hop.ini"));
  EXPECT_TRUE(fs::is_symlink(folder / "dangling.ini"));
  EXPECT_EQ(FileBytes(folder / "real/BVC_1.INI"), "[S]\r\nk=2\r\n");
  EXPECT_EQ(FileBytes(folder / "real/missing.ini"), "[S]\r\nk=3\r\n");
  EXPECT_EQ(fs::status(folder / "real/BVC_1.INI").permissions(), fs::perms(0640));
}

// A folder whose profile file a child may write but whose folder it may not: as another user
// when we are the super-user (whom no permission bit stops), else with the folder read-only.
// Children keep their journal in `state`.
class ReadOnlyFolder {
 public:
  static constexpr uid_t kNobody = 65534;
  ReadOnlyFolder(const TestFolder& folder, const fs::path& file, fs::path state)
      : folder_(folder.path()), state_(std::move(state)) {
    fs::create_directories(state_);
    if (::geteuid() == 0) {
      EXPECT_EQ(::chown(file.c_str(), kNobody, kNobody), 0);
      EXPECT_EQ(::chown(state_.c_str(), kNobody, kNobody), 0);
    } else {
      ::chmod(folder_.c_str(), 0555);
    }
  }
  ~ReadOnlyFolder() { ::chmod(folder_.c_str(), 0755); }

  // Starts `body` in a child with the writer's rights; its result is the exit status.
  pid_t Start(const std::function<int()>& body) const {
    const pid_t child = ::fork();
    if (child == 0) {
      if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) _exit(99);
      ::setenv("XDG_STATE_HOME", state_.c_str(), 1);
      ClearIniCache();
      _exit(body());
    }
    return child;
  }
  bool Run(const std::function<int()>& body) const {
    int status = 0;
    ::waitpid(Start(body), &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

 private:
  fs::path folder_, state_;
};

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ProfileFiles, AReadOnlyFolderIsWrittenInPlace) {
  TestFolder folder("rofolder");
  TestFolder state("rostate");
  const fs::path file = folder / "BVC_1.INI";
  PutFile(file, "[S]\r\nk=1\r\n");
  struct stat before {};
  ::stat(file.c_str(), &before);
  {
    const ReadOnlyFolder readOnly(folder, file, state.path());
    EXPECT_TRUE(readOnly.Run([&] { return WriteIni(file, u"S", u"k", u"22") && WriteIni(file, u"S", u"k", u"3") ? 0 : 1; }));
  }
  struct stat after {};
  ::stat(file.c_str(), &after);
  EXPECT_EQ(after.st_ino, before.st_ino);  // the same file, rewritten
  EXPECT_EQ(after.st_uid, before.st_uid == 0 && ::geteuid() == 0 ? ReadOnlyFolder::kNobody : before.st_uid);
  EXPECT_EQ(FileBytes(file), "[S]\r\nk=3\r\n");
  EXPECT_EQ(Names(folder.path()), std::vector<std::string>{"BVC_1.INI"});
  EXPECT_TRUE(fs::is_empty(state.path() / "brevalcore/journal"));  // the journal goes once the write is done
}

TEST(ProfileFiles, AKilledInPlaceWriterLeavesTheOldFileOrTheNew) {
  TestFolder folder("rocrash");
  TestFolder state("rocrashstate");
  const fs::path file = folder / "BVC_1.INI";
  std::string filler;
  for (int i = 0; i < 2000; ++i) filler += "LASTDATE_P" + std::to_string(i) + "=04/12/2026 09:05:07\r\n";
  // Values of changing length, so that a torn write is neither the old file nor the new.
  auto valueOf = [](long v) { return std::string(static_cast<size_t>(v % 50), 'v') + std::to_string(v); };
  auto expected = [&](long v) { return "[S]\r\nk=" + valueOf(v) + "\r\n" + filler; };
  PutFile(file, expected(0));
  const ReadOnlyFolder readOnly(folder, file, state.path());
  std::mt19937 random(1204);
  std::uniform_int_distribution<int> delayUs(0, 50000);  // a few writes on a busy machine
  long last = 0;
  int advanced = 0;
  for (int round = 0; round < 60; ++round) {
    const pid_t writer = readOnly.Start([&] {
      for (long v = last + 1;; ++v)
        if (!WriteIni(file, u"S", u"k", automation::Ascii(valueOf(v)))) return 1;
    });
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
    ::kill(writer, SIGKILL);
    int status = 0;
    ::waitpid(writer, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer failed on its own: " << status;
    // The next writer of the same user finds the journal and puts the old bytes back.
    ASSERT_TRUE(readOnly.Run([&] { return UpdateIniValue(file, u"S", u"k", [](const auto&) { return std::nullopt; }) ? 0 : 1; }));
    const std::string bytes = FileBytes(file);
    const std::optional<Bytes> value = Profile::Parse(bytes).Value("S", "k");
    ASSERT_TRUE(value) << "round " << round;
    const long now = std::stol(value->substr(value->find_first_not_of('v')));
    ASSERT_EQ(bytes, expected(now)) << "round " << round;
    ASSERT_GE(now, last);
    advanced += now > last;
    last = now;
  }
  EXPECT_GT(advanced, 0) << "no write ever finished: the kills tested nothing";
}

TEST(ProfileFiles, WritersLockTheFileItselfAndLeaveNothingBesideIt) {
  TestFolder folder("ofd");
  const fs::path file = folder / "BVC_1.INI";
  ASSERT_TRUE(WriteIni(file, u"S", u"k", u"1"));
  // Another program holding a lock on the file keeps our writer waiting.
  const int fd = ::open(file.c_str(), O_RDWR);
  struct flock lock {};
  lock.l_type = F_WRLCK;
  ASSERT_EQ(::fcntl(fd, F_OFD_SETLK, &lock), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ClearIniCache();
    _exit(WriteIni(file, u"S", u"k", u"2") ? 0 : 1);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  int status = 0;
  EXPECT_EQ(::waitpid(child, &status, WNOHANG), 0) << "the writer did not wait for the lock";
  EXPECT_EQ(FileBytes(file), "[S]\r\nk=1\r\n");
  lock.l_type = F_UNLCK;
  ::fcntl(fd, F_OFD_SETLK, &lock);
  ::close(fd);
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(ReadIni(file, u"S", u"k"), u"2");
  EXPECT_EQ(Names(folder.path()), std::vector<std::string>{"BVC_1.INI"});
}

}  // namespace
}  // namespace brevalcore::storage
