// Hostile links: file names that lead out of the banner folder count as missing files, and a
// link of a megabyte is handled like any other.
#include <set>

#include "tests/reliability/expected.h"

namespace brevalcore::reliability {
namespace {

constexpr size_t kMegabyte = 1u << 20;

struct LinkCase {
  std::string href;
  std::string answer;  // the doctor's choice in the document list, or empty
};

// Each names an existing file, but by a way out of the banner folder: none may open or
// write anything; the document command is counted all the same, the shell command is not.
std::vector<LinkCase> EscapingLinks(const Sandbox& sandbox) {
  const std::string absoluteTemplate = (sandbox.bannerFolder() / "lettera.rtf").string();
  return {
      {"#SHELL?../Brevalcore/B12.html", ""},
      {"#SHELL?..\\Brevalcore\\B12.html", ""},
      {"#SHELL?sub/../B12.html", ""},
      {"#SHELL?/etc/passwd", ""},
      {"#SHELL?" + (sandbox.bannerFolder() / "B12.html").string(), ""},
      {"#SHELLLIST?../Brevalcore/B12.html|Uno&/etc/passwd|Due", "Uno"},
      {"#SHELLLIST?../Brevalcore/B12.html|Uno&/etc/passwd|Due", "Due"},
      {"#DOCUMENT?../Brevalcore/lettera.rtf", ""},
      {"#DOCUMENT?..\\..\\Brevalcore\\lettera.rtf", ""},
      {"#DOCUMENT?/etc/passwd", ""},
      {"#DOCUMENT?" + absoluteTemplate, ""},
  };
}
constexpr int kDocumentLinks = 4;

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

TEST(HostileLinks, LeadingOutOfTheBannerFolderCountAsMissing) {
  Sandbox sandbox;
  WriteFile(sandbox.banners() / "lettera.rtf", "{\\rtf1 ??PAZIENTE??}");
  std::vector<std::string> hrefs = {"#SHELL?B12.html"};
  for (const LinkCase& link : EscapingLinks(sandbox)) hrefs.push_back(link.href);
  sandbox.AddLinks("B12.html", hrefs);
  std::string session = std::string(kSessionStart) + "StartPrescription\n";
  for (const LinkCase& link : EscapingLinks(sandbox)) {
    if (!link.answer.empty()) session += "AnswerNext " + Quoted(link.answer) + "\n";
    session += "Click " + Quoted(link.href) + "\n";
  }
  session += "Click \"#SHELL?B12.html\"\n"
             "Echo \"shell \" & IniRead(\"B12\", \"SHELL\")\n"
             "Echo \"document \" & IniRead(\"B12\", \"DOCUMENT\")\n"
             "Echo \"end\"\n";
  const RunResult run = sandbox.Run(session);
  ExpectEndedNormally(run);
  EXPECT_TRUE(LinesWithWord(run, "msgbox").empty()) << Describe(run);

  // Only the plain link at the end opens a file.
  const auto opened = LinesWithWord(run, "shell");
  ASSERT_EQ(opened.size(), 1u) << Describe(run);
  EXPECT_EQ(opened[0].fields, std::vector<std::string>{(sandbox.bannerFolder() / "B12.html").string()});
  EXPECT_NE(FindLine(run, "echo", "shell 1"), -1) << Describe(run);
  EXPECT_NE(FindLine(run, "echo", "document " + std::to_string(kDocumentLinks)), -1) << Describe(run);
  EXPECT_EQ(LinesWithWord(run, "dialog").size(), 2u) << Describe(run);
  // Every press ends with OnClick: none of them failed.
  size_t clicks = 0;
  for (const OutputLine& line : LinesWithWord(run, "event")) clicks += line.fields.at(0) == "OnClick";
  EXPECT_EQ(clicks, EscapingLinks(sandbox).size() + 1);

  EXPECT_TRUE(fs::is_empty(sandbox.tempFolder()));
  ExpectWritesOnlyOwnedPlaces(sandbox);
}

TEST(HostileLinks, AMegabyteLinkIsHandledAsAnyOther) {
  Sandbox sandbox;
  sandbox.AddLinks("B12.html", {"#PRESCRIBE?" + std::string(kMegabyte, 'a') + "?MODE=1",
                                std::string(kMegabyte, 'x') + "#VOLUNTAS?ok", "#" + std::string(kMegabyte, '?')});
  const RunResult run = sandbox.Run(std::string(kSessionStart) +
                                    "StartPrescription\n"
                                    "Click \"#PRESCRIBE?\" & String(1048576, \"a\") & \"?MODE=1\"\n"
                                    "Click String(1048576, \"x\") & \"#VOLUNTAS?ok\"\n"
                                    "Click \"#\" & String(1048576, \"?\")\n"
                                    "Echo \"prescribe \" & IniRead(\"B12\", \"PRESCRIBE\")\n"
                                    "Echo \"end\"\n");
  ExpectEndedNormally(run);
  EXPECT_TRUE(LinesWithWord(run, "msgbox").empty()) << Describe(run);
  const int prescribe = FindLine(run, "event", "OnCommandClickExtended");
  ASSERT_NE(prescribe, -1) << Describe(run);
  EXPECT_EQ(ParseOutputLine(run.lines[prescribe]).fields,
            (std::vector<std::string>{"OnCommandClickExtended", "PRESCRIBE", std::string(kMegabyte, 'a'), "MODE=1"}));
  const int voluntas = FindLine(run, "event", "OnCommandClick");
  ASSERT_NE(voluntas, -1) << Describe(run);
  EXPECT_EQ(ParseOutputLine(run.lines[voluntas]).fields,
            (std::vector<std::string>{"OnCommandClick", "VOLUNTAS", "ok"}));
  EXPECT_NE(FindLine(run, "echo", "prescribe 1"), -1) << Describe(run);
  size_t clicks = 0;
  for (const OutputLine& line : LinesWithWord(run, "event")) clicks += line.fields.at(0) == "OnClick";
  EXPECT_EQ(clicks, 3u) << Describe(run);
  ExpectWritesOnlyOwnedPlaces(sandbox);
}

}  // namespace
}  // namespace brevalcore::reliability

namespace brevalcore::reliability {
namespace {

// A code or key with a line break would write new sections and keys (even an automatic
// substitution) into the doctor's file: the press ends with nothing written, and the next one
// works as before.
TEST(HostileLinks, LineBreaksNeverReachTheDoctorsFile) {
  Sandbox sandbox;
  sandbox.AddLinks("B12.html", {"#SAVEKEYDATA?k=v\r[BVC]\rOffline=1", "#SAVEPATIENTKEYDATA?k\r\n[BVC]=v",
                                "#SAVEKEYDATA?dopo=si", "#SUBSTITUTEEVER?aic9\r\n[AutoSubstitute]\r\naic5=aic6",
                                "#SUBSTITUTEEVER?aic9\naic5=aic6"});
  const RunResult run = sandbox.Run(std::string(kSessionStart) +
                                    "StartPrescription\n"
                                    "Click \"#SAVEKEYDATA?k=v\" & vbCr & \"[BVC]\" & vbCr & \"Offline=1\"\n"
                                    "Click \"#SAVEPATIENTKEYDATA?k\" & vbCrLf & \"[BVC]=v\"\n"
                                    "Click \"#SAVEKEYDATA?dopo=si\"\n"
                                    "PrescribingDrug \"aic1\", \"A\", True, \"x\", 1\n"
                                    "Click \"#SUBSTITUTEEVER?aic9\" & vbCrLf & \"[AutoSubstitute]\" & vbCrLf & \"aic5=aic6\"\n"
                                    "Click \"#SUBSTITUTEEVER?aic9\" & vbLf & \"aic5=aic6\"\n"
                                    "Echo \"auto \" & IniRead(\"AutoSubstitute\", \"aic1\") & IniRead(\"AutoSubstitute\", \"aic5\")\n"
                                    "Echo \"offline \" & IniRead(\"BVC\", \"Offline\")\n"
                                    "Echo \"dopo \" & IniRead(\"B12\", \"dopo\")\n"
                                    "Echo \"end\"\n");
  ExpectEndedNormally(run);
  EXPECT_TRUE(LinesWithWord(run, "msgbox").empty()) << Describe(run);
  EXPECT_NE(FindLine(run, "echo", "auto "), -1) << Describe(run);
  EXPECT_NE(FindLine(run, "echo", "offline "), -1) << Describe(run);
  EXPECT_NE(FindLine(run, "echo", "dopo si"), -1) << Describe(run);
  const std::string ini = ReadFile(sandbox.iniFile(kDoctor));
  for (const char* planted : {"aic5", "Offline", "[AutoSubstitute]"})
    EXPECT_EQ(ini.find(planted), std::string::npos) << planted << " in\n" << ini;
  EXPECT_EQ(FindLine(run, "event", "OnCommandClick"), -1) << Describe(run);
  size_t clicks = 0;
  for (const OutputLine& line : LinesWithWord(run, "event")) clicks += line.fields.at(0) == "OnClick";
  EXPECT_EQ(clicks, 1u) << Describe(run);  // only the last press ran to its end
  ExpectWritesOnlyOwnedPlaces(sandbox);
}

// Shortcut titles that would put the file outside the desktop folder, or name no file there,
// save nothing; a plain title still works.
TEST(HostileLinks, ShortcutTitlesStayOnTheDesktop) {
  Sandbox sandbox;
  std::string session = std::string(kSessionStart) + "StartPrescription\n";
  std::vector<std::string> hrefs;
  for (const char* title : {"../../fuori", "..\\..\\fuori", "/tmp/fuori", "sotto/cartella", "CON", "a:b", "Agenda"})
    hrefs.push_back("#SAVELINK?https://example.org/|" + std::string(title));
  sandbox.AddLinks("B12.html", hrefs);
  hrefs.pop_back();
  for (const std::string& href : hrefs) session += "Click \"" + href + "\"\n";
  session += "Click \"#SAVELINK?https://example.org/|Agenda\"\nEcho \"end\"\n";
  const RunResult run = sandbox.Run(session);
  ExpectEndedNormally(run);
  const auto shortcuts = LinesWithWord(run, "shortcut");
  ASSERT_EQ(shortcuts.size(), 1u) << Describe(run);
  EXPECT_EQ(shortcuts[0].fields.at(0), (sandbox.dataRoot() / "Desktop" / "Agenda.url").string());
  ExpectWritesOnlyOwnedPlaces(sandbox);
}

}  // namespace
}  // namespace brevalcore::reliability
