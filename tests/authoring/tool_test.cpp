// The tools as an author runs them: what they refuse to read, unpack keeping the author's
// files, pack's listing, and what `run` tells about the rules, the links and the pages.
#include <gtest/gtest.h>

#include "tests/authoring/authoring_test_support.h"

namespace brevalcore::authoring {
namespace {

using namespace testing;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Nothing that is not a regular file is read: a FIFO would block the tool for ever, a device
// such as /dev/zero would fill its memory.
TEST(Tools, RefuseWhatIsNotARegularFile) {
  Scratch scratch;
  const fs::path fifo = scratch / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string f = Quote(fifo), out = Quote(scratch / "out");
  const struct {
    std::string arguments;
    int status;
    std::string message;
  } rows[] = {
      {"info " + f, 2, "not a regular file (a FIFO)"},
      {"info /dev/zero", 2, "not a regular file (a character device)"},
      {"info " + Quote(scratch.path()), 2, "not a regular file (a folder)"},
      {"unpack " + f + " " + out, 2, "not a regular file (a FIFO)"},
      {"check " + f, 2, "cannot be checked: not a regular file (a FIFO)"},
      {"check /dev/zero", 2, "cannot be checked: not a regular file (a character device)"},
      {"ini read " + f + " BVC GUID", 2, "not a regular file (a FIFO)"},
      {"ini write /dev/null BVC GUID x", 2, "not a regular file (a character device)"},
      {"rtf " + f + " " + out, 2, "not a regular file (a FIFO)"},
      {"vbs " + f, 2, "not a regular file (a FIFO)"},
      {"vbs /dev/zero", 2, "not a regular file (a character device)"},
      {"run " + f, 2, "not a regular file (a FIFO)"},
      {"trace report --db " + f, 2, "not a regular file (a FIFO)"},
      {"pack " + Quote(scratch.path()) + " --version 1.0.0.0 -o " + out, 2, "cannot be checked: not a regular file"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.arguments);
    const ToolRun run = Tool(row.arguments);
    EXPECT_EQ(run.status, row.status) << run.out;
    EXPECT_TRUE(Contains(run.out, row.message)) << run.out;
  }
  EXPECT_FALSE(fs::exists(scratch / "out"));
}

TEST(Tools, PackListsWhatWentInAndUnpackKeepsTheAuthorsFiles) {
  Scratch scratch;
  WriteValidPackage(scratch / "pkg");
  const ToolRun packed = Tool("pack " + Quote(scratch / "pkg") + " --version 1.0.0.1 -o " + Quote(scratch / "BVCRES.DLL"));
  ASSERT_EQ(packed.status, 0) << packed.out;
  EXPECT_TRUE(Contains(packed.out, "        " + std::to_string(std::string(kValidPage).size()) + "  B1.html\n"));
  EXPECT_TRUE(Contains(packed.out, "version 1.0.0.1, GUID ")) << packed.out;
  EXPECT_TRUE(Contains(packed.out, ", 3 files (")) << packed.out;
  const std::string guid = packed.out.substr(packed.out.find("GUID ") + 5, 36);
  EXPECT_TRUE(Contains(Tool("info " + Quote(scratch / "BVCRES.DLL")).out, "package GUID: " + guid + "\n"));

  Write(scratch / "work" / "mio.html", "<html>mine</html>");
  const ToolRun refused = Tool("unpack " + Quote(scratch / "BVCRES.DLL") + " " + Quote(scratch / "work"));
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(Contains(refused.out, "is not empty (it holds mio.html)")) << refused.out;
  EXPECT_EQ(Read(scratch / "work" / "mio.html"), "<html>mine</html>");

  EXPECT_EQ(Tool("unpack " + Quote(scratch / "BVCRES.DLL") + " " + Quote(scratch / "new")).status, 0);
  EXPECT_EQ(Read(scratch / "new" / "B1.html"), kValidPage);
  EXPECT_EQ(Tool("unpack " + Quote(scratch / "BVCRES.DLL") + " " + Quote(scratch / "work") + " --force").status, 0);
  EXPECT_FALSE(fs::exists(scratch / "work" / "mio.html"));
  EXPECT_TRUE(fs::exists(scratch / "work" / "1.0.0.1.BVC"));
}

// The valid package with B1.html holding `links`, "Quota" failing with a division by zero when
// the doctor's region is 999, and `extra` lines run by StartPrescription.
void WritePackage(const fs::path& folder, const std::string& links, const std::string& extra = {}) {
  WriteValidPackage(folder);
  Write(folder / "B1.html", Page(links));
  Write(folder / "banner.script",
        "Option Explicit\n"                               // 1
        "Sub BeforeInitialize\n"                          // 2
        "End Sub\n"                                       // 3
        "Sub StartPrescription\n"                         // 4
        "  ShowBanner \"B1\"\n" +                         // 5
            extra +                                       //
            "  If Quota() = 1 Then ResetBanner\n"         // 6 (+ extra lines)
            "End Sub\n"
            "Sub BeforeSelect\n"
            "  ResetBanner\n"                            // 9
            "End Sub\n"
            "Sub AfterSelect\n"
            "End Sub\n"
            "Function Quota()\n"
            "  Quota = 0\n"
            "  If DoctorRegionIs(\"999\") Then Quota = 1 / 0\n"
            "End Function\n");
}

struct Session {
  std::string region = "080";
  std::string clicks;
};

std::string Scenario(const Session& s) {
  return "InitializeContext True, \"APP\", \"D1\", \"" + s.region + "\", \"101\", \"MG\", True, \"\", \"Software=ABC\"\n"
         "StartPrescription\n" + s.clicks;
}

ToolRun RunSession(const Scratch& scratch, const Session& session, const std::string& options) {
  Write(scratch / "scenario.vbs", Scenario(session));
  fs::create_directories(scratch / "tmp");
  return Tool("run " + Quote(scratch / "scenario.vbs") + " --banners " + Quote(scratch / "pkg") +
                  " --now '06/12/2026 09:30:00' " + options,
              "TMPDIR=" + Quote(scratch / "tmp"));
}

TEST(Run, ARuleErrorNamesTheAuthorsFileLineAndColumn) {
  Scratch scratch;
  WritePackage(scratch / "pkg", "<a href=\"#VOLUNTAS?x\">Aderisci</a>");
  const ToolRun run = RunSession(scratch, {"999", ""}, "");
  EXPECT_EQ(run.status, 0) << run.out;
  const std::string where = (scratch / "pkg" / "banner.script").string();
  EXPECT_TRUE(Contains(run.out, "rule-error \"" + where + ":15:33\" 11 \"Division by zero\" \"Quota\" \"StartPrescription\"\n"))
      << run.out;
  EXPECT_TRUE(Contains(run.out, "msgbox 0 \"Info Controllo Utente\" \"Error 11 (Division by zero) in procedure "
                                "OnStartPrescription of Controllo utente\"\n"));
  EXPECT_EQ(RunSession(scratch, {"999", ""}, "--strict").status, 1);
}

TEST(Run, StrictFailsOnPressesWithoutEffectAndMissingPages) {
  const struct {
    const char* name;
    std::string links, extra, clicks;
    std::string line;  // printed with --strict
  } rows[] = {
      {"a file that is not there", "<a href=\"#SHELL?manca.pdf\">Scheda</a>", "", "Click \"#SHELL?manca.pdf\"\n",
       "no-effect \"#SHELL?manca.pdf\"\n"},
      {"a command the control does not know", "<a href=\"#PRESCIBE?aic1\">x</a>", "", "Click \"#PRESCIBE?aic1\"\n",
       "no-effect \"#PRESCIBE?aic1\"\n"},
      {"a page that is not there", "", "  ShowBanner \"B2\"\n", "", "missing \"file://"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Scratch scratch;
    WritePackage(scratch / "pkg", row.links, row.extra);
    const ToolRun plain = RunSession(scratch, {"080", row.clicks}, "");
    EXPECT_EQ(plain.status, 0) << plain.out;
    EXPECT_FALSE(Contains(plain.out, row.line)) << plain.out;
    const ToolRun strict = RunSession(scratch, {"080", row.clicks}, "--strict");
    EXPECT_EQ(strict.status, 1) << strict.out;
    EXPECT_TRUE(Contains(strict.out, row.line)) << strict.out;
  }
  // A press that stores key data has an effect, though it raises nothing.
  Scratch scratch;
  WritePackage(scratch / "pkg", "<a href=\"#SAVEKEYDATA?visto=si\">Visto</a>");
  EXPECT_EQ(RunSession(scratch, {"080", "Click \"#SAVEKEYDATA?visto=si\"\n"}, "--strict").status, 0);
}

TEST(Run, ClickPressesOnlyWhatThePageShows) {
  Scratch scratch;
  WritePackage(scratch / "pkg", "<a href=\"#VOLUNTAS?x\">Aderisci</a>");
  const ToolRun run = RunSession(scratch, {"080", "Click \"#VOLUNTAS?y\"\n"}, "");
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(Contains(run.out, "No link '#VOLUNTAS?y' on the page shown (file://")) << run.out;
  EXPECT_TRUE(Contains(RunSession(scratch, {"080", "Click \"#VOLUNTAS?x\", \"Altro\"\n"}, "").out,
                       "No link '#VOLUNTAS?x' with the text 'Altro' on the page shown"));
}

TEST(Run, CoverageListsBannersProceduresAndLines) {
  Scratch scratch;
  WritePackage(scratch / "pkg", "<a href=\"#VOLUNTAS?x\">Aderisci</a>");
  Write(scratch / "pkg" / "B2.html", kValidPage);
  const ToolRun run = RunSession(scratch, {"080", ""}, "--coverage");
  ASSERT_EQ(run.status, 0) << run.out;
  const std::string script = (scratch / "pkg" / "banner.script").string();
  for (const std::string& line : {
           std::string("coverage banners shown: B1 (1)\n"),
           std::string("coverage banners not shown: B2\n"),
           // StartPrescription ends a loading mode first, and with no banner chosen yet that runs AfterSelect.
           std::string("coverage procedures run: BeforeInitialize 1, StartPrescription 1, BeforeSelect 0, AfterSelect 1\n"),
           "coverage " + script + ": 4 of 5 statement lines ran (80.0%)\n",
           "        1  " + script + ":5:   ShowBanner \"B1\"\n",
           "    #####  " + script + ":9:   ResetBanner\n",
           "        1  " + script + ":15:   If DoctorRegionIs(\"999\") Then Quota = 1 / 0\n",
       })
    EXPECT_TRUE(Contains(run.out, line)) << line << run.out;
}

TEST(Run, TemporaryFoldersGoUnlessKept) {
  Scratch scratch;
  WritePackage(scratch / "pkg", "");
  ASSERT_EQ(RunSession(scratch, {}, "").status, 0);
  EXPECT_TRUE(fs::is_empty(scratch / "tmp"));
  const ToolRun kept = RunSession(scratch, {}, "--keep");
  ASSERT_EQ(kept.status, 0);
  size_t folders = 0;
  for (const auto& entry : fs::directory_iterator(scratch / "tmp")) {
    ++folders;
    EXPECT_TRUE(Contains(kept.out, "brevalcore run: kept " + entry.path().string() + "\n")) << kept.out;
  }
  EXPECT_EQ(folders, 2u);
}

}  // namespace
}  // namespace brevalcore::authoring
