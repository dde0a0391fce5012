// cResource's contract, the updater's command line, GUID texts and the process listing.
#include <gtest/gtest.h>

#include "platform/automation/error.h"
#include "storage/packages/resource_library.h"
#include "storage/packages/updater.h"
#include "tests/packages/package_test_support.h"

namespace brevalcore::packages {
namespace {

using namespace testing;
using automation::FromUtf8;

String Fixture(const std::string& name) { return FromUtf8((kPeFixtures / name).string()); }

TEST(cResource, LoadsClosesAndRefuses) {
  cResource library;
  library.SetLibraryFilePath(Fixture("pkg_full.pe64.dll"));
  EXPECT_EQ(library.LibraryFilePath(), Fixture("pkg_full.pe64.dll"));
  EXPECT_NE(library.hLibrary(), 0u);

  // A missing file is no error: path and handle are simply cleared.
  library.SetLibraryFilePath(Fixture("no-such.dll"));
  EXPECT_EQ(library.LibraryFilePath(), u"");
  EXPECT_EQ(library.hLibrary(), 0u);

  const String bad = Fixture("bad/truncated-pe-header.dll");
  try {
    library.SetLibraryFilePath(bad);
    FAIL() << "no error";
  } catch (const automation::AutomationError& e) {
    EXPECT_EQ(e.number(), 193);
    EXPECT_EQ(e.source(), u"cResource.LibraryFilePath_Let (" + bad + u")");
    EXPECT_EQ(e.description(), u"The LoadLibrary API failed with the error number 193 while trying to load the file '" +
                                   bad + u"'");
  }
  EXPECT_EQ(library.hLibrary(), 0u);
}

TEST(cResource, StringAndDataArguments) {
  cResource library;
  String text = u"stale";
  std::span<const uint8_t> data;
  EXPECT_FALSE(library.DLL_LoadString(2, text));  // nothing loaded
  EXPECT_EQ(text, u"");
  library.SetLibraryFilePath(Fixture("pkg_gaps.pe32.dll"));
  const struct { int16_t id; int32_t maxLen; bool found; const char16_t* text; } strings[] = {
      {2, 256, true, u"index.html"}, {2, 4, true, u"ind"}, {2, 1, false, u""}, {2, 0, false, u""},
      {0, 256, false, u""},          {-5, 256, false, u""}, {4, 256, false, u""}, {6, 256, false, u""}};
  for (const auto& row : strings) {
    EXPECT_EQ(library.DLL_LoadString(row.id, text, row.maxLen), row.found) << row.id << "/" << row.maxLen;
    EXPECT_EQ(text, row.text);
  }
  const struct { int32_t id; const char16_t* type; bool found; } blobs[] = {
      {0, u"BANNER", false},     {40000, u"BANNER", false}, {32768, u"BANNER", false}, {2, u"BANNER", true},
      {2, u"banner", true},      {3, u"BANNER", false},     {2, u"", false},           {5, u"BANNER", true}};
  for (const auto& row : blobs) {
    EXPECT_EQ(library.DLL_LoadData(row.id, data, row.type), row.found) << row.id;
    EXPECT_EQ(data.empty(), !row.found);
  }
  EXPECT_TRUE(library.DLL_LoadData(7, data, u"BANNER"));  // found, and empty
  EXPECT_TRUE(data.empty());
  EXPECT_TRUE(library.DLL_LoadData(u"#2", data, u"BANNER"));
  EXPECT_FALSE(library.DLL_LoadData(u"INDEX", data, u"BANNER"));
}

TEST(Updater, CommandLineKeepsEveryFieldAsItIs) {
  UpdateRequest request;
  request.controlFolder = u"/opt/Prescrizioni Medico/bin";
  request.resBannerPath = u"C:\\Res";
  request.bannerFolder = u"C:\\Data\\Brevalcore";
  request.updater = {u" ABC ", u"123", u"D1", u"LOM", u""};
  EXPECT_EQ(UpdaterArguments(request), u"ABC|123|D1|C:\\Res|C:\\Data\\Brevalcore|LOM|");
  EXPECT_EQ(UpdaterCommandLine(request),
            u"/opt/Prescrizioni Medico/bin/BvcUpdate.exe ABC|123|D1|C:\\Res|C:\\Data\\Brevalcore|LOM|");
  request.updater = {u"", u"  ", u" D|2 ", u"", u"MI"};
  EXPECT_EQ(UpdaterArguments(request), u"|| D|2 |C:\\Res|C:\\Data\\Brevalcore||MI");
}

TEST(Updater, StartNeedsAPlainUpdaterFile) {
  ScratchFolder scratch;
  UpdateRequest request;
  request.controlFolder = FromUtf8(scratch.path().string());
  FakeProcesses processes;
  MemoryGuidStore guid;
  EXPECT_FALSE(StartUpdater(request, processes, guid));  // missing
  fs::create_directory(scratch / "BvcUpdate.exe");
  EXPECT_FALSE(StartUpdater(request, processes, guid));  // a folder
  EXPECT_TRUE(processes.spawned.empty());
  EXPECT_EQ(guid.writes, 1);  // the GUID is ensured even when nothing starts
  fs::remove(scratch / "BvcUpdate.exe");
  WriteFile(scratch / "BvcUpdate.exe", "#!/bin/sh\n");
  EXPECT_TRUE(StartUpdater(request, processes, guid));
  ASSERT_EQ(processes.spawned.size(), 1u);
  EXPECT_EQ(processes.spawned[0].size(), 2u);
  EXPECT_EQ(processes.spawned[0][0], (scratch / "BvcUpdate.exe").string());
  processes.spawnSucceeds = false;
  EXPECT_FALSE(StartUpdater(request, processes, guid));
}

TEST(Guid, TextFromMemoryOrder) {
  std::array<uint8_t, 16> bytes{};
  for (int i = 0; i < 16; ++i) bytes[i] = static_cast<uint8_t>(i);
  EXPECT_EQ(GuidText(bytes), u"00010203-0405-0607-0809-0A0B0C0D0E0F");
  bytes.fill(0xAB);
  EXPECT_EQ(GuidText(bytes), u"ABABABAB-ABAB-ABAB-ABAB-ABABABABABAB");

  const String fresh = NewGuidString();
  ASSERT_EQ(fresh.size(), 36u);
  EXPECT_NE(fresh, NewGuidString());
  // A random (version 4) UUID keeps its version digit at byte 6, in memory order too.
  EXPECT_EQ(fresh[14], u'4');
}

TEST(Guid, EnsureWritesOnlyWhenEmpty) {
  ScratchFolder scratch;
  const fs::path ini = scratch / "BVC_D1.INI";
  WriteFile(ini, "[BVC]\r\nGUID=KEEP-ME\r\nOffline=0\r\n");
  const auto before = fs::last_write_time(ini);
  IniGuidStore store(ini);
  EnsureGuid(store);
  EXPECT_EQ(ReadFile(ini), "[BVC]\r\nGUID=KEEP-ME\r\nOffline=0\r\n");
  EXPECT_EQ(fs::last_write_time(ini), before);

  IniGuidStore empty(scratch / "BVC_D2.INI");
  EnsureGuid(empty);
  EXPECT_EQ(empty.ReadGuid().size(), 36u);
  EXPECT_EQ(ReadGuid(empty), empty.ReadGuid());
}

TEST(Processes, RunningTestIsAContainmentTestThatMindsCase) {
  auto& processes = shell::SystemProcesses::Instance();
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  std::string upper = self;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  ASSERT_NE(upper, self);
  EXPECT_TRUE(processes.IsProcessRunning(self));
  EXPECT_TRUE(processes.IsProcessRunning(self.substr(1)));  // contained, not equal
  EXPECT_FALSE(processes.IsProcessRunning(upper));
  EXPECT_FALSE(processes.IsProcessRunning(self + "-not-running"));
  EXPECT_EQ(processes.GetPlatformId(), 2);
}

}  // namespace
}  // namespace brevalcore::packages
