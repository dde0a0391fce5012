#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/automation/convert.h"
#include "storage/ini_class.h"
#include "storage/ini_file.h"
#include "storage/profile.h"
#include "tests/storage/test_folder.h"

namespace brevalcore::storage {
namespace {

using automation::String;
using automation::Variant;
using testing::FileBytes;
using testing::PutFile;
using testing::TestFolder;
namespace fs = std::filesystem;

TEST(IniFile, SectionIsReadWholeHoweverLong) {
  TestFolder folder("ini");
  const fs::path file = folder / "long.ini";
  String entries;
  for (int i = 0; i < 2000; ++i) entries += automation::Ascii("A" + std::to_string(i) + "=B" + std::to_string(i)) + u'\0';
  ASSERT_TRUE(WriteIniSection(file, u"AutoSubstitute", entries));
  EXPECT_EQ(ReadIniSection(file, u"AutoSubstitute"), entries);
}

TEST(IniFile, TextsTravelInTheSingleByteCodePage) {
  TestFolder folder("ini");
  const fs::path file = folder / "cp.ini";
  ASSERT_TRUE(WriteIni(file, u"Caffè", u"Perché", u"sì €"));
  EXPECT_EQ(FileBytes(file), "[Caff\xE8]\r\nPerch\xE9=s\xEC \x80\r\n");
  EXPECT_EQ(ReadIni(file, u"Caffè", u"Perché"), u"sì €");
  ASSERT_TRUE(WriteIni(file, u"S", u"k", u"日本"));  // outside the code page: "?" as the platform writes it
  EXPECT_EQ(ReadIni(file, u"S", u"k"), u"??");
}

TEST(IniFile, WriteReplacesTheFileKeepingItsMode) {
  TestFolder folder("ini");
  const fs::path file = folder / "mode.ini";
  PutFile(file, "[S]\r\nk=1\r\n");
  ::chmod(file.c_str(), 0640);
  struct stat before{}, after{};
  ::stat(file.c_str(), &before);
  ASSERT_TRUE(WriteIni(file, u"S", u"k", u"2"));
  ::stat(file.c_str(), &after);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_NE(after.st_ino, before.st_ino);  // a new file renamed over the old one
  EXPECT_EQ(FileBytes(file), "[S]\r\nk=2\r\n");
}

TEST(IniFile, ChangesByAnotherProcessAreSeenWithinTheDelay) {
  TestFolder folder("ini");
  const fs::path file = folder / "shared.ini";
  ASSERT_TRUE(WriteIni(file, u"S", u"k", u"0"));
  // Same size every time and well within one tick of the file system's clock.
  for (int i = 1; i <= 40; ++i) {
    EXPECT_EQ(ReadIni(file, u"S", u"k"), automation::Ascii(std::to_string((i - 1) % 10)));
    const pid_t child = ::fork();
    if (child == 0) _exit(WriteIni(file, u"S", u"k", automation::Ascii(std::to_string(i % 10))) ? 0 : 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_EQ(status, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(kOtherWriterDelayMs + 1));
  }
}

TEST(IniFile, ChangesByOtherProgramsAreSeenEvenUnderTheOldStamp) {
  TestFolder folder("ini");
  const fs::path file = folder / "cached.ini";
  PutFile(file, "[S]\r\nk=1\r\n");
  const timespec old[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
  ::utimensat(AT_FDCWD, file.c_str(), old, 0);
  ClearIniCache();
  EXPECT_EQ(ReadIni(file, u"S", u"k"), u"1");
  const auto delay = std::chrono::milliseconds(kOtherWriterDelayMs + 1);
  // Rewritten in place, same size, the modification time put back: the change time shows it.
  PutFile(file, "[S]\r\nk=2\r\n");
  ::utimensat(AT_FDCWD, file.c_str(), old, 0);
  std::this_thread::sleep_for(delay);
  EXPECT_EQ(ReadIni(file, u"S", u"k"), u"2");
  // Replaced by a rename, as editors save: the file we read from has lost its name.
  PutFile(folder / "new.ini", "[S]\r\nk=3\r\n");
  fs::rename(folder / "new.ini", file);
  std::this_thread::sleep_for(delay);
  EXPECT_EQ(ReadIni(file, u"S", u"k"), u"3");
  ASSERT_TRUE(WriteIni(file, u"S", u"k", u"4"));
  EXPECT_EQ(ReadIni(file, u"S", u"k"), u"4");
  fs::remove(file);
  std::this_thread::sleep_for(delay);
  EXPECT_EQ(ReadIni(file, u"S", u"k"), u"");
}

TEST(IniFile, EveryWriteLeavesExactlyTheFullRewrite) {
  // One-line changes are spliced into the previous bytes; the result must be byte for byte
  // what serialising the whole file gives.
  TestFolder folder("ini");
  const fs::path file = folder / "splice.ini";
  const std::string messy = "top=1\r\n\r\n[A]\r\n  a = 1 \r\n;note\r\n\r\n[B]\nb=2\n";
  PutFile(file, messy);
  Profile mirror = Profile::Parse(messy);
  struct Step {
    const char* section;
    const char* key;
    std::optional<const char*> value;  // nullopt: delete the key
  } steps[] = {
      {"A", "a", "22"},          {"A", "a", "3"},          {"a", "new", "x"},   {"B", "b", "longer value"},
      {"C", "c", "new section"}, {"B", "LASTDATE_1", "d"}, {"", "top", "0"},   {"", "top2", "t"},
      {"A", "a", std::nullopt},  {"C", "c", std::nullopt}, {"C", "c2", "again"}, {"A", "new", "x"},
  };
  for (const Step& st : steps) {
    SCOPED_TRACE(std::string(st.section) + "." + st.key);
    const String section = automation::Ascii(st.section), key = automation::Ascii(st.key);
    if (st.value) {
      ASSERT_TRUE(WriteIni(file, section, key, automation::Ascii(*st.value)));
      mirror.WriteString(st.section, st.key, std::string_view(*st.value));
    } else {
      ASSERT_TRUE(DeleteIniKey(file, section, key));
      mirror.WriteString(st.section, st.key, std::nullopt);
    }
    EXPECT_EQ(FileBytes(file), mirror.Serialize());
  }
}

TEST(IniFile, UpdateIniValueSeesTheOldValueAndMayDecline) {
  TestFolder folder("ini");
  const fs::path file = folder / "update.ini";
  std::vector<std::optional<String>> seen;
  auto record = [&](std::optional<String> next) {
    return [&, next](const std::optional<String>& old) {
      seen.push_back(old);
      return next;
    };
  };
  EXPECT_TRUE(UpdateIniValue(file, u"BVC", u"N", record(std::nullopt)));
  EXPECT_FALSE(fs::exists(file));  // declined: nothing written, not even an empty file
  EXPECT_TRUE(UpdateIniValue(file, u"BVC", u"N", record(u"1")));
  EXPECT_TRUE(UpdateIniValue(file, u"bvc", u"n", record(u"")));
  EXPECT_TRUE(UpdateIniValue(file, u"BVC", u"N", record(u"7")));
  EXPECT_EQ(seen, (std::vector<std::optional<String>>{std::nullopt, std::nullopt, u"1", u""}));
  EXPECT_EQ(FileBytes(file), "[BVC]\r\nN=7\r\n");
}

automation::Variant Call(automation::Object& o, std::u16string_view name, std::vector<Variant> args) {
  const auto id = o.GetIdOfName(name);
  EXPECT_NE(id, automation::kDispIdUnknown) << automation::ToUtf8(name);
  return o.Invoke(id, automation::kInvokeMethod, args);
}

TEST(CIniFileClass, MembersAreCallableByName) {
  TestFolder folder("ini");
  const String file = automation::FromUtf8((folder / "BVC_9.INI").string());
  auto ini = CIniFile::Shared();
  EXPECT_EQ(ini.get(), CIniFile::Shared().get());
  Call(*ini, u"writeini", {Variant(file), Variant(u"X"), Variant(u"k"), Variant(u"1")});
  Call(*ini, u"WriteIniSection", {Variant(file), Variant(u"Y"), Variant(u"a=1\r\nb=2")});
  EXPECT_EQ(automation::ToString(Call(*ini, u"READINI", {Variant(file), Variant(u"x"), Variant(u"K")})), u"1");
  EXPECT_EQ(automation::ToString(Call(*ini, u"ReadIniSection", {Variant(file), Variant(u"Y")})),
            String(u"a=1\0b=2\0", 8));
  const Variant names = Call(*ini, u"GetIniSections", {Variant(file)});
  ASSERT_TRUE(names.IsArray());
  EXPECT_EQ(names.AsArray().LowerBound(0), 0);
  EXPECT_EQ(names.AsArray().UpperBound(0), 1);
  EXPECT_EQ(automation::ToString(names.AsArray()[0]), u"X");
  const Variant none = Call(*ini, u"GetIniSections", {Variant(file + u".missing")});
  ASSERT_TRUE(none.IsArray());
  EXPECT_EQ(none.AsArray().UpperBound(0), -1);
}

}  // namespace
}  // namespace brevalcore::storage
