// UpdateFromRES end to end over scratch folders: unpacking, the up-to-date marker, gaps, the
// busy test, a missing or broken library with and without an updater, and unsafe names.
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "platform/pe/pe_writer.h"
#include "platform/ui/scripted_ui.h"
#include "storage/packages/unpack.h"
#include "storage/packages/update.h"
#include "tests/packages/package_test_support.h"

namespace brevalcore::packages {
namespace {

using namespace testing;
using automation::FromUtf8;

// 06/12/2026 10:20:30 on the fixed clock.
const shell::DateParts kNow{2026, 12, 6, 10, 20, 30};

class UpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(libraryFolder());
    fs::create_directories(bannerFolder());
    fs::create_directories(controlFolder());
  }
  fs::path libraryFolder() const { return scratch_ / "res"; }
  fs::path bannerFolder() const { return scratch_ / "Brevalcore"; }
  fs::path controlFolder() const { return scratch_ / "control dir"; }
  fs::path library() const { return libraryFolder() / "BVCRES.DLL"; }

  void UseLibrary(const std::string& fixture) { fs::copy_file(kPeFixtures / fixture, library()); }
  void InstallUpdater(const std::string& script) {
    const fs::path updater = controlFolder() / "BvcUpdate.exe";
    WriteFile(updater, script);
    fs::permissions(updater, fs::perms::owner_all);
  }

  UpdateRequest Request() const {
    UpdateRequest r;
    r.resBannerPath = FromUtf8(libraryFolder().string());
    r.bannerFolder = FromUtf8(bannerFolder().string());
    r.controlFolder = FromUtf8(controlFolder().string());
    r.updater = {u" ABC ", u"123", u"D1", u"LOM", u""};
    return r;
  }
  UpdateOutcome Run(shell::ProcessService& processes) {
    UpdateServices services{ui_, processes, clock_, guid_};
    return UpdateFromRES(Request(), services);
  }
  UpdateOutcome Run() { return Run(processes_); }

  ScratchFolder scratch_;
  ui::ScriptedUserInterface ui_;
  FakeProcesses processes_;
  shell::FixedClock clock_{shell::MakeDate(kNow)};
  MemoryGuidStore guid_;
};

TEST_F(UpdateTest, UpToDateMarkerLeavesTheFolderAloneButStartsTheUpdater) {
  UseLibrary("pkg_full.pe32.dll");
  InstallUpdater("#!/bin/sh\n");
  WriteFile(bannerFolder() / "2.0.1.5.BVC", "marker");
  WriteFile(bannerFolder() / "old.html", "old");

  const UpdateOutcome outcome = Run();
  EXPECT_TRUE(outcome.usable);
  EXPECT_FALSE(outcome.unpacked);
  EXPECT_EQ(Listing(bannerFolder()), (std::set<std::string>{"2.0.1.5.BVC", "old.html"}));
  EXPECT_EQ(processes_.spawned.size(), 1u);
  EXPECT_TRUE(processes_.queried.empty());  // no "already running" test with a usable library
  EXPECT_TRUE(ui_.shown().empty());
  EXPECT_FALSE(guid_.value.empty());
}

TEST_F(UpdateTest, NewerPackageReplacesTheFilesAndWritesTheMarker) {
  UseLibrary("pkg_full.pe32.dll");
  WriteFile(bannerFolder() / "2.0.1.4.BVC", "old marker");
  WriteFile(bannerFolder() / "vecchio.html", "old");
  fs::create_directories(bannerFolder() / "TEMP");

  const UpdateOutcome outcome = Run();
  EXPECT_TRUE(outcome.usable);
  EXPECT_EQ(outcome.filesWritten, 4);
  EXPECT_EQ(Listing(bannerFolder()), (std::set<std::string>{"2.0.1.5.BVC", "TEMP/", "banner.script", "index.html",
                                                             "lettera.rtf", "offline.html"}));
  EXPECT_EQ(fs::file_size(bannerFolder() / "index.html"), 108u);
  EXPECT_EQ(fs::file_size(bannerFolder() / "banner.script"), 152u);
  const std::string marker = ReadFile(bannerFolder() / "2.0.1.5.BVC");
  EXPECT_EQ(marker, "BVC date: " + automation::ToUtf8(FileDateText(library().string())) +
                        " ver. 2.0.1.5\r\nUpdated: 06/12/2026 10:20:30\r\n");
  EXPECT_TRUE(ui_.shown().empty());
  // The updater is not installed: nothing started, and nothing reported either.
  EXPECT_TRUE(processes_.spawned.empty());
}

TEST_F(UpdateTest, GapEndsThePackageAndAStringWithoutDataGivesNoFile) {
  UseLibrary("pkg_gaps.pe32.dll");  // strings 2, 3, 5; BANNER 2, 4, 5, 7
  const UpdateOutcome outcome = Run();
  EXPECT_TRUE(outcome.usable);
  EXPECT_EQ(Listing(bannerFolder()), (std::set<std::string>{"2.0.1.6.BVC", "index.html"}));
}

TEST_F(UpdateTest, LibraryWithoutVersionCountsAsUpToDate) {
  UseLibrary("nover.pe32.dll");
  WriteFile(bannerFolder() / "old.html", "old");
  EXPECT_TRUE(Run().usable);
  EXPECT_EQ(Listing(bannerFolder()), (std::set<std::string>{"old.html"}));
}

TEST_F(UpdateTest, FileLockedByAnotherProcessPutsTheUpdateOff) {
  UseLibrary("pkg_full.pe32.dll");
  WriteFile(bannerFolder() / "2.0.1.4.BVC", "old marker");
  WriteFile(bannerFolder() / "index.html", "old page");
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int fd = ::open((bannerFolder() / "index.html").c_str(), O_RDWR);
    ::flock(fd, LOCK_EX);
    (void)!::write(ready[1], "x", 1);
    ::pause();
    ::_exit(0);
  }
  char byte;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);

  const UpdateOutcome outcome = Run();
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ::close(ready[0]);
  ::close(ready[1]);

  EXPECT_TRUE(outcome.usable);
  EXPECT_FALSE(outcome.unpacked);
  EXPECT_EQ(Listing(bannerFolder()), (std::set<std::string>{"2.0.1.4.BVC", "index.html"}));
  EXPECT_EQ(ReadFile(bannerFolder() / "index.html"), "old page");
}

TEST_F(UpdateTest, MissingLibraryCases) {
  struct Row {
    const char* name;
    bool updaterInstalled;
    bool updaterRunning;
    bool brokenLibrary;
    size_t spawns;
    bool reported;
  } rows[] = {
      {"not installed", false, false, false, 0, true},
      {"already running", false, true, false, 0, false},
      {"installed", true, false, false, 1, false},
      {"broken library, not installed", false, false, true, 0, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    fs::remove(library());
    fs::remove(controlFolder() / "BvcUpdate.exe");
    ui::ScriptedUserInterface ui;
    FakeProcesses processes;
    processes.running = row.updaterRunning;
    if (row.updaterInstalled) InstallUpdater("#!/bin/sh\n");
    if (row.brokenLibrary) fs::copy_file(kPeFixtures / "bad" / "text.dll", library());
    UpdateServices services{ui, processes, clock_, guid_};

    const UpdateOutcome outcome = UpdateFromRES(Request(), services);
    EXPECT_FALSE(outcome.usable);
    EXPECT_TRUE(outcome.disableBanners);
    EXPECT_EQ(processes.spawned.size(), row.spawns);
    EXPECT_FALSE(fs::exists(library()));  // a broken library is removed for the updater
    ASSERT_EQ(ui.shown().size(), row.reported ? 1u : 0u);
    if (row.reported) {
      EXPECT_EQ(ui.shown()[0].text, u"Error in UpdateFromRES \r\nFile '" + FromUtf8(library().string()) +
                                        u"' non trovato");
      EXPECT_EQ(ui.shown()[0].styleCode, ui::style::kCritical);
      EXPECT_EQ(ui.shown()[0].title, u"Info Controllo Utente");
    }
  }
}

TEST_F(UpdateTest, UpdaterScriptReceivesTheFieldsUnquoted) {
  const fs::path record = scratch_ / "args.txt";
  InstallUpdater("#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > '" + record.string() + ".tmp'\nmv '" + record.string() +
                 ".tmp' '" + record.string() + "'\n");
  const UpdateOutcome outcome = Run(shell::SystemProcesses::Instance());
  EXPECT_FALSE(outcome.usable);
  EXPECT_TRUE(ui_.shown().empty());
  for (int i = 0; i < 100 && !fs::exists(record); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(ReadFile(record), (controlFolder() / "BvcUpdate.exe").string() + "\nABC|123|D1|" +
                                  libraryFolder().string() + "|" + bannerFolder().string() + "|LOM|\n");
}

// Packages with names the folder cannot take: each ends the update with the report, leaves no
// marker, and writes nothing outside the banner folder.
TEST_F(UpdateTest, BadNamesStopTheUpdate) {
  struct Row {
    std::u16string name;
    std::u16string message;
  } rows[] = {
      {u"missing\\page.html", u"Path not found"},
      {u"..\\outside.html", u"Bad file name or number"},
      {u"sub/../../outside.html", u"Bad file name or number"},
      {u"/tmp/outside.html", u"Bad file name or number"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(automation::ToUtf8(row.name));
    fs::remove_all(bannerFolder());
    fs::create_directories(bannerFolder());
    fs::remove(library());
    std::vector<pe::ResourceItem> items =
        pe::BuildStringTable({{2, u"first.html"}, {3, row.name}, {4, u"never.html"}});
    for (uint16_t id : {2, 3, 4}) items.push_back({pe::ResourceId{0, u"BANNER"}, pe::ResourceId{id, {}}, 0, {'x'}});
    pe::VersionFields version;
    version.strings = {{u"CompanyName", u"X"}, {u"FileVersion", u"9.9"}};
    items.push_back({pe::ResourceId{pe::kRtVersion, {}}, pe::ResourceId{1, {}}, 0, pe::BuildVersionResource(version)});
    WriteBytes(library(), pe::WriteResourceLibrary(items));
    ui::ScriptedUserInterface ui;
    UpdateServices services{ui, processes_, clock_, guid_};

    const UpdateOutcome outcome = UpdateFromRES(Request(), services);
    EXPECT_FALSE(outcome.usable);
    EXPECT_FALSE(outcome.disableBanners);
    EXPECT_EQ(Listing(bannerFolder()), (std::set<std::string>{"first.html"}));
    EXPECT_FALSE(fs::exists(scratch_ / "outside.html"));
    EXPECT_FALSE(fs::exists("/tmp/outside.html"));
    ASSERT_EQ(ui.shown().size(), 1u);
    EXPECT_EQ(ui.shown()[0].text, u"Error in UpdateFromRES \r\n" + row.message);
  }
}

}  // namespace
}  // namespace brevalcore::packages
