// UpdateFromRES end to end over scratch folders: unpacking, the up-to-date marker, gaps, the
// busy test, a missing or broken library with and without an updater, bad packages refused
// whole, names found whatever their case, and links and FIFOs planted in the banner folder.
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <map>
#include <thread>

#include <gtest/gtest.h>

#include "platform/pe/pe_writer.h"
#include "platform/ui/scripted_ui.h"
#include "storage/name_lookup.h"
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

// A library holding `names` as files 2, 3, ... (one byte each), version 9.9.
std::vector<uint8_t> LibraryOf(const std::vector<std::u16string>& names, const std::u16string& versionText = u"9.9") {
  std::map<uint16_t, std::u16string> strings;
  std::vector<pe::ResourceItem> items;
  uint16_t id = 2;
  for (const std::u16string& name : names) {
    strings[id] = name;
    items.push_back({pe::ResourceId{0, u"BANNER"}, pe::ResourceId{id, {}}, 0, {'x'}});
    ++id;
  }
  for (pe::ResourceItem& block : pe::BuildStringTable(strings)) items.push_back(std::move(block));
  pe::VersionFields version;
  version.strings = {{u"CompanyName", u"X"}, {u"FileVersion", versionText}};
  items.push_back({pe::ResourceId{pe::kRtVersion, {}}, pe::ResourceId{1, {}}, 0, pe::BuildVersionResource(version)});
  return pe::WriteResourceLibrary(items);
}

// A bad package is refused whole: the report names the entry, and the banner folder keeps
// exactly what it held, old banners and marker included.
TEST_F(UpdateTest, BadPackagesChangeNothingAndNameTheEntry) {
  struct Row {
    std::vector<std::u16string> names;
    std::u16string versionText;
    std::u16string message;
  } rows[] = {
      {{u"first.html", u"missing\\page.html"}, u"9.9",
       u"Bad file name or number: package file \"missing\\page.html\" (string 3) has a folder part; files go "
       u"straight into the folder"},
      {{u"first.html", u"..\\outside.html"}, u"9.9", u"package file \"..\\outside.html\" (string 3) has a folder part"},
      {{u"first.html", u"/tmp/outside.html"}, u"9.9", u"(string 3) has a folder part"},
      {{u".."}, u"9.9", u"package file \"..\" (string 2) is \".\" or \"..\""},
      {{u"a\r\n.html"}, u"9.9", u"package file \"a\\r\\n.html\" (string 2) holds the control character U+000D"},
      {{u"first.html", u"CON"}, u"9.9", u"\"CON\" (string 3) is a device name the platform reserves"},
      {{u"first.html", u"lpt1.txt"}, u"9.9", u"\"lpt1.txt\" (string 3) is a device name"},
      {{u"a:b.html"}, u"9.9", u"holds \":\", which the platform forbids in file names"},
      {{u"pagina."}, u"9.9", u"ends with a dot or a space"},
      {{u"Temp"}, u"9.9", u"\"Temp\" (string 2) is the name of the banner folder's TEMP folder"},
      {{u"9.9.bvc"}, u"9.9", u"is named like a package marker"},
      {{u".nascosto"}, u"9.9", u"begins with a dot, so it would be a hidden file here"},
      {{std::u16string(128, u'\u00E8')}, u"9.9", u"is longer than the 255 bytes a file name may have"},
      {{u"first.html", u"index.html", u"first.html"}, u"9.9",
       u"package file \"first.html\" (string 4) appears twice in the package"},
      {{u"Gastro.html", u"gastro.HTML"}, u"9.9",
       u"package file \"gastro.HTML\" (string 3) differs only by case from \"Gastro.html\""},
      {{u"\u00E8.html", u"\u00C8.html"}, u"9.9", u"differs only by case from \"\u00E8.html\""},
      {{u"first.html"}, u"9/9", u"the package version \"9/9\" gives the marker file name \"9/9.BVC\", which has a folder part"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(automation::ToUtf8(row.message));
    fs::remove_all(bannerFolder());
    fs::create_directories(bannerFolder() / "TEMP");
    WriteFile(bannerFolder() / "old.html", "old");
    WriteFile(bannerFolder() / "1.0.BVC", "old marker");
    const std::set<std::string> before = Listing(bannerFolder());
    fs::remove(library());
    WriteBytes(library(), LibraryOf(row.names, row.versionText));
    ui::ScriptedUserInterface ui;
    UpdateServices services{ui, processes_, clock_, guid_};

    const UpdateOutcome outcome = UpdateFromRES(Request(), services);
    EXPECT_FALSE(outcome.usable);
    EXPECT_FALSE(outcome.disableBanners);
    EXPECT_EQ(Listing(bannerFolder()), before);
    EXPECT_EQ(ReadFile(bannerFolder() / "old.html"), "old");
    EXPECT_FALSE(fs::exists(scratch_ / "outside.html"));
    ASSERT_EQ(ui.shown().size(), 1u);
    const std::u16string& text = ui.shown()[0].text;
    EXPECT_EQ(text.rfind(u"Error in UpdateFromRES \r\nBad file name or number: ", 0), 0u) << automation::ToUtf8(text);
    EXPECT_NE(text.find(row.message), std::u16string::npos) << automation::ToUtf8(text);
  }
}

// Names the platform would find whatever their case: the library, and the marker (whose name
// as found is compared, so a marker written in another case is unpacked over once, as there).
TEST_F(UpdateTest, LibraryAndMarkerAreFoundWhateverTheirCase) {
  WriteBytes(libraryFolder() / "bvcres.dll", LibraryOf({u"index.html"}));
  WriteFile(bannerFolder() / "9.9.BVC", "marker");
  WriteFile(bannerFolder() / "old.html", "old");
  UpdateOutcome outcome = Run();
  EXPECT_TRUE(outcome.usable);
  EXPECT_FALSE(outcome.unpacked);
  EXPECT_EQ(Listing(bannerFolder()), (std::set<std::string>{"9.9.BVC", "old.html"}));

  fs::rename(bannerFolder() / "9.9.BVC", bannerFolder() / "9.9.bvc");
  storage::ForgetFolderListings();
  outcome = Run();
  EXPECT_TRUE(outcome.unpacked);
  EXPECT_EQ(Listing(bannerFolder()), (std::set<std::string>{"9.9.BVC", "index.html"}));

  WriteBytes(libraryFolder() / "BVCRES.DLL", LibraryOf({u"index.html"}));
  ui::ScriptedUserInterface ui;
  UpdateServices services{ui, processes_, clock_, guid_};
  outcome = UpdateFromRES(Request(), services);
  EXPECT_FALSE(outcome.usable);
  ASSERT_EQ(ui.shown().size(), 1u);
  EXPECT_NE(ui.shown()[0].text.find(u"\"BVCRES.DLL\" and \"bvcres.dll\" differ only by case"), std::u16string::npos)
      << automation::ToUtf8(ui.shown()[0].text);
  EXPECT_TRUE(fs::exists(libraryFolder() / "bvcres.dll"));
}

// Entries another user may plant in the shared banner folder: the update replaces them and
// never writes through them, and a FIFO never holds it up.
TEST_F(UpdateTest, PlantedLinksAndFifosAreReplacedNeverFollowed) {
  const fs::path outside = scratch_ / "outside";
  fs::create_directories(outside);
  WriteFile(outside / "doctor.txt", "the doctor's own file");
  WriteBytes(library(), LibraryOf({u"index.html", u"banner.script"}));
  fs::create_symlink(outside / "doctor.txt", bannerFolder() / "index.html");  // a package name
  fs::create_symlink(outside / "doctor.txt", bannerFolder() / "old.html");    // no package name
  fs::create_symlink(outside, bannerFolder() / "link to a folder");
  ASSERT_EQ(::mkfifo((bannerFolder() / "banner.script").c_str(), 0644), 0);
  ASSERT_EQ(::mkfifo((bannerFolder() / "pipe").c_str(), 0644), 0);

  const UpdateOutcome outcome = Run();
  EXPECT_TRUE(outcome.usable);
  EXPECT_TRUE(outcome.unpacked);
  EXPECT_TRUE(ui_.shown().empty());
  EXPECT_EQ(ReadFile(outside / "doctor.txt"), "the doctor's own file");
  EXPECT_EQ(Listing(outside), (std::set<std::string>{"doctor.txt"}));
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(bannerFolder() / "index.html")));
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(bannerFolder() / "banner.script")));
  EXPECT_EQ(ReadFile(bannerFolder() / "index.html"), "x");
  EXPECT_EQ(Listing(bannerFolder()), (std::set<std::string>{"9.9.BVC", "banner.script", "index.html", "pipe"}));
}

TEST_F(UpdateTest, ABannerFolderThatIsALinkIsRefused) {
  const fs::path elsewhere = scratch_ / "elsewhere";
  fs::create_directories(elsewhere);
  WriteFile(elsewhere / "keep.html", "keep");
  fs::remove_all(bannerFolder());
  fs::create_symlink(elsewhere, bannerFolder());
  WriteBytes(library(), LibraryOf({u"index.html"}));

  const UpdateOutcome outcome = Run();
  EXPECT_FALSE(outcome.usable);
  EXPECT_EQ(Listing(elsewhere), (std::set<std::string>{"keep.html"}));
  ASSERT_EQ(ui_.shown().size(), 1u);
  EXPECT_EQ(ui_.shown()[0].text, u"Error in UpdateFromRES \r\nPath/File access error: the banner folder \"" +
                                     FromUtf8(bannerFolder().string()) + u"\" is a symbolic link");
}

}  // namespace
}  // namespace brevalcore::packages
