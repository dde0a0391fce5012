// Names from outside: the file-name rules with their reasons, the profile-text rule, the
// case-insensitive resolver (exact, other case, two candidates, missing, Windows-1252 letters,
// hidden entries, links) with its kept listing, paths resolved component by component, and
// the folder access that never follows a link or waits on a FIFO.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/automation/error.h"
#include "storage/file_names.h"
#include "storage/folder.h"
#include "storage/name_lookup.h"
#include "tests/storage/test_folder.h"

namespace brevalcore::storage {
namespace {

namespace fs = std::filesystem;
using automation::FromUtf8;
using testing::FileBytes;
using testing::PutFile;
using testing::TestFolder;

TEST(FileNames, ReasonsForRefusal) {
  struct Row {
    std::u16string name;
    const char* reason;  // a part of the reason; nullptr: a valid name
  } rows[] = {
      {u"leaflet.pdf", nullptr},
      {u"pagina \u00E8 \u0160\u0178\u20AC.html", nullptr},  // Windows-1252 letters beyond Latin-1
      {u"a..b.pdf", nullptr},
      {u".profile", nullptr},  // hidden here, but a name the platform holds
      {u"CONSOLE.txt", nullptr},
      {std::u16string(255, u'n'), nullptr},
      {u"", "is empty"},
      {u".", "is \".\" or \"..\""},
      {u"..", "is \".\" or \"..\""},
      {u"docs/a.pdf", "has a folder part"},
      {u"docs\\a.pdf", "has a folder part"},
      {u"..\\..\\evil.txt", "has a folder part"},
      {u"a\r\n[x]", "control character U+000D"},
      {u"a\tb", "control character U+0009"},
      {std::u16string(u"a\0b", 3), "control character U+0000"},
      {u"a\u0081b", "control character U+0081"},
      {u"\u4E2D.html", "U+4E2D, which Windows-1252 cannot represent"},
      {u"a:b", "holds \":\""},
      {u"*.pdf", "holds \"*\""},
      {u"a\"b", "holds \"\"\""},
      {u"pagina.", "ends with a dot or a space"},
      {u"pagina ", "ends with a dot or a space"},
      {u"CON", "device name"},
      {u"con.txt", "device name"},
      {u"Nul .html", "device name"},
      {u"LPT9", "device name"},
      {u"COM\u00B9.url", "device name"},
      {std::u16string(128, u'\u00E8'), "longer than the 255 bytes"},
  };
  for (const Row& row : rows) {
    const auto problem = FileNameProblem(row.name);
    SCOPED_TRACE(QuotedName(row.name));
    if (!row.reason) {
      EXPECT_FALSE(problem) << *problem;
    } else {
      ASSERT_TRUE(problem);
      EXPECT_NE(problem->find(row.reason), std::string::npos) << *problem;
    }
  }
}

TEST(FileNames, ProfileTextsAndQuoting) {
  EXPECT_FALSE(ProfileTextProblem(u"aic9 & co = 1; [x]"));
  EXPECT_EQ(ProfileTextProblem(u"aic9\r\n[AutoSubstitute]\r\naic1=aic2"), "holds a line break");
  EXPECT_EQ(ProfileTextProblem(u"a\nb"), "holds a line break");
  EXPECT_EQ(ProfileTextProblem(std::u16string(u"a\0b", 3)), "holds a NUL character");
  EXPECT_EQ(QuotedName(std::u16string(u"a\r\n\0\x1B\u00E8", 6)), "\"a\\r\\n\\0\\x1B\u00E8\"");

  try {
    RequireProfileText("the key", u"k\r\n[BVC]");
    ADD_FAILURE() << "a line break was accepted";
  } catch (const automation::AutomationError& e) {
    EXPECT_EQ(e.number(), 5);
    EXPECT_EQ(e.description(), u"Invalid procedure call or argument: the key \"k\\r\\n[BVC]\" holds a line break");
  }
}

TEST(FileNames, AddressesAndPaths) {
  const struct { const char16_t* target; bool address; } rows[] = {
      {u"https://servizi.example/a", true}, {u"mailto:a@b.it", true}, {u"file:\\\\C:\\x", true},
      {u"C:\\Documenti\\a.pdf", false},     {u"docs\\a.pdf", false},   {u"1http://x", false},
      {u"a b:c", false},                    {u"", false},
  };
  for (const auto& row : rows) EXPECT_EQ(IsAddress(row.target), row.address) << QuotedName(row.target);
  EXPECT_EQ(WithSlashes(u"..\\docs\\a.pdf"), u"../docs/a.pdf");
}

class Lookup : public ::testing::Test {
 protected:
  void SetUp() override { ForgetFolderListings(); }
  TestFolder folder_{"lookup"};
};

TEST_F(Lookup, FindsNamesAsThePlatformDoes) {
  PutFile(folder_ / "gastro.html", "g");
  PutFile(folder_ / "B12.html", "b");
  PutFile(folder_ / "\u00E8.rtf", "e");  // è
  PutFile(folder_ / "Doppio.html", "1");
  PutFile(folder_ / "doppio.HTML", "2");
  PutFile(folder_ / ".nascosto.html", "h");
  fs::create_directories(folder_ / "Cartella");
  fs::create_symlink("/etc/passwd", folder_ / "link.html");
  ASSERT_EQ(::mkfifo((folder_ / "pipe.html").c_str(), 0644), 0);

  using S = PlainFileLookup::Status;
  struct Row {
    const char16_t* asked;
    S status;
    const char* name;     // on disk
    const char* problem;  // part of the problem text
  } rows[] = {
      {u"gastro.html", S::kFound, "gastro.html", ""},
      {u"Gastro.html", S::kFound, "gastro.html", ""},
      {u"GASTRO.HTML", S::kFound, "gastro.html", ""},
      {u"b12.html", S::kFound, "B12.html", ""},
      {u"\u00C8.RTF", S::kFound, "\u00E8.rtf", ""},  // È finds è
      {u"doppio.html", S::kAmbiguous, "", "\"Doppio.html\" and \"doppio.HTML\" differ only by case"},
      {u"manca.html", S::kMissing, "", ""},
      {u".nascosto.html", S::kMissing, "", ""},
      {u"../lookup/gastro.html", S::kMissing, "", ""},
      {u"", S::kMissing, "", ""},
      {u"cartella", S::kNotPlain, "Cartella", "is a folder, not a plain file"},
      {u"LINK.html", S::kNotPlain, "link.html", "is a symbolic link, not a plain file"},
      {u"pipe.html", S::kNotPlain, "pipe.html", "is not a plain file"},
  };
  const Folder open(folder_.path().string());
  for (const Row& row : rows) {
    SCOPED_TRACE(QuotedName(row.asked));
    const PlainFileLookup found = FindPlainFile(open, row.asked);
    EXPECT_EQ(found.status, row.status);
    EXPECT_EQ(found.name, row.name);
    EXPECT_NE(found.problem.find(row.problem), std::string::npos) << found.problem;
    if (row.status == S::kFound) {
      EXPECT_EQ(found.path, (folder_ / row.name).string());
    }
  }
}

TEST_F(Lookup, UnusableFindingsRaiseNamingTheFiles) {
  PutFile(folder_ / "Doppio.html", "1");
  PutFile(folder_ / "doppio.html", "2");
  try {
    RaiseIfUnusable(FindPlainFile(folder_.path().string(), u"DOPPIO.html"));
    ADD_FAILURE() << "no error";
  } catch (const automation::AutomationError& e) {
    EXPECT_EQ(e.number(), 52);
    EXPECT_EQ(e.description(), u"Bad file name or number: in \"" + FromUtf8(folder_.path().string()) +
                                   u"\", \"Doppio.html\" and \"doppio.html\" differ only by case");
  }
  const fs::path linked = folder_ / "linked";
  fs::create_symlink(folder_.path(), linked);
  const PlainFileLookup throughLink = FindPlainFile(linked.string(), u"Doppio.html");
  EXPECT_EQ(throughLink.status, PlainFileLookup::Status::kNotPlain);
  EXPECT_NE(throughLink.problem.find("is a symbolic link"), std::string::npos) << throughLink.problem;
}

// The listing is kept while the folder is unchanged and read again as soon as it changes,
// also when the change falls in the same tick of the folder's clock as the listing.
TEST_F(Lookup, KeptListingFollowsTheFolder) {
  PutFile(folder_ / "uno.html", "1");
  const Folder open(folder_.path().string());
  EXPECT_TRUE(LookUpName(open, u"UNO.html").found());

  // A change whose stamp equals the one listed (same clock tick): still seen, because a
  // listing read so close to the folder's last change is not trusted.
  struct stat before {};
  ASSERT_EQ(::stat(folder_.path().c_str(), &before), 0);
  fs::rename(folder_ / "uno.html", folder_ / "Due.html");
  const timespec same[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, folder_.path().c_str(), same, 0), 0);
  EXPECT_FALSE(LookUpName(open, u"uno.html").found());
  EXPECT_EQ(LookUpName(open, u"due.HTML").name, "Due.html");

  // An old, trusted listing is dropped when the folder's stamp moves.
  const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, folder_.path().c_str(), old, 0), 0);
  EXPECT_TRUE(LookUpName(open, u"due.html").found());
  PutFile(folder_ / "tre.html", "3");
  EXPECT_EQ(LookUpName(open, u"TRE.html").name, "tre.html");
}

TEST_F(Lookup, PathsAreResolvedComponentByComponent) {
  fs::create_directories(folder_ / "Documenti" / "Schede");
  PutFile(folder_ / "Documenti" / "Schede" / "Guida.PDF", "g");
  const std::string base = folder_.path().string();
  const struct { const char* path; const char* resolved; } rows[] = {
      {"documenti/schede/guida.pdf", "Documenti/Schede/Guida.PDF"},
      {"DOCUMENTI//./schede/GUIDA.pdf", "Documenti//./Schede/Guida.PDF"},
      {"documenti/manca/guida.pdf", "Documenti/manca/guida.pdf"},
      {"../x", "../x"},
  };
  for (const auto& row : rows) EXPECT_EQ(ResolvePath(base, row.path), row.resolved) << row.path;
  EXPECT_EQ(ResolvePath("/nowhere", base + "/documenti/SCHEDE/guida.pdf"), base + "/Documenti/Schede/Guida.PDF");
}

TEST(FolderAccess, NeverFollowsALinkNorWaitsOnAFifo) {
  TestFolder folder("folder");
  TestFolder outside("outside");
  PutFile(outside / "doctor.txt", "private");
  fs::create_symlink(outside / "doctor.txt", folder / "page.html");
  ASSERT_EQ(::mkfifo((folder / "fifo.html").c_str(), 0644), 0);
  PutFile(folder / "plain.html", "plain");

  const Folder open(folder.path().string());
  int error = 0;
  EXPECT_FALSE(open.OpenPlainFile("page.html", error));
  EXPECT_EQ(error, ELOOP);
  EXPECT_FALSE(open.OpenPlainFile("fifo.html", error));  // returns at once: nothing opened it
  EXPECT_EQ(error, EINVAL);
  EXPECT_EQ(ReadPlainFile(open, "plain.html", error), "plain");

  storage::UniqueFd replaced = open.ReplaceFile("page.html", 0644, error);
  ASSERT_TRUE(replaced) << error;
  ASSERT_EQ(WriteAll(replaced.get(), "new", 3), 0);
  EXPECT_EQ(FileBytes(outside / "doctor.txt"), "private");
  EXPECT_EQ(FileBytes(folder / "page.html"), "new");
  EXPECT_FALSE(open.CreateNewFile("plain.html", 0644, error));
  EXPECT_EQ(error, EEXIST);

  fs::create_symlink(outside.path(), folder / "linked");
  EXPECT_FALSE(Folder((folder / "linked").string()).ok());
  EXPECT_EQ(Folder((folder / "linked").string()).error(), ELOOP);
  EXPECT_TRUE(Folder((folder / "linked").string(), Folder::Link::kFollow).ok());
  EXPECT_FALSE(Folder(open, "linked").ok());
}

}  // namespace
}  // namespace brevalcore::storage
