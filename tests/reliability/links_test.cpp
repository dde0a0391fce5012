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
