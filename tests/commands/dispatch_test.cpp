#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "commands/command_host.h"
#include "fake_host.h"

namespace brevalcore::commands {
namespace {

using testing::FakeElement;
using testing::FakeHost;
using testing::U16;
using testing::U8;

std::set<std::string> Listing(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

class Dispatch : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() / ("dispatch_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder_ / "TEMP");
    std::filesystem::create_directories(folder_ / "dir.pdf");
    for (const char* name : {"leaflet.pdf", "a.pdf", "b.pdf", ".hidden.pdf"}) std::ofstream(folder_ / name) << "x";
    std::ofstream(folder_ / "lettera.rtf") << "{\\rtf1 ??PAZIENTE?? ??NOTE?? ??data??}";
    host_.bannerFolder = U16(folder_.string());
    host_.descriptions = {{u"aic1", u"Uno"}, {u"aic2", u"Due"}};
    host_.fields = {{u"NOTE", u"Ok"}};
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::string Expand(std::string line) const {
    const size_t at = line.find("$F");
    if (at != std::string::npos) line.replace(at, 2, folder_.string());
    return line;
  }

  std::filesystem::path folder_;
  FakeHost host_;
};

TEST_F(Dispatch, MouseDownRunsTheCommandThenOnClick) {
  struct Row {
    const char* name;
    std::string tag;
    const char* href;  // nullptr: no href attribute
    int button;
    std::vector<std::string> answers;
    std::vector<std::string> expected;
    std::string text = " Documenti ";
    bool clickFails = false;
  };
  const std::vector<Row> rows = {
      {"right button: only OnClick", "a", "#PRESCRIBE?aic1", 2, {}, {"OnClick 2"}},
      {"middle button on plain text", "div", nullptr, 4, {}, {"OnClick 4"}},
      {"shell", "a", "banner.html#SHELL?leaflet.pdf", 1, {},
       {"open $F/leaflet.pdf", "count SHELL", "trace SHELL leaflet.pdf", "OnClick 1"}},
      {"shell, missing file", "a", "#SHELL?missing.pdf", 1, {}, {"OnClick 1"}},
      {"shell, hidden file", "a", "#SHELL?.hidden.pdf", 1, {}, {"OnClick 1"}},
      {"shell, a folder", "a", "#SHELL?dir.pdf", 1, {}, {"OnClick 1"}},
      {"shell, outside the folder", "a", "#SHELL?../leaflet.pdf", 1, {}, {"OnClick 1"}},
      {"shell list", "a", "#SHELLLIST?a.pdf|Scheda A&b.pdf|Scheda B", 1, {"Scheda B"},
       {"refresh", "open $F/b.pdf", "count SHELL", "trace SHELL b.pdf", "OnClick 1"}},
      {"shell list cancelled", "a", "#SHELLLIST?a.pdf|Scheda A&b.pdf|Scheda B", 1, {"Chiudi"},
       {"refresh", "OnClick 1"}},
      {"shell list of blank file names", "a", "#SHELLLIST? |A& |B", 1, {"OK"}, {"refresh", "OnClick 1"}},
      {"shell list without &", "a", "#SHELLLIST?a.pdf|A", 1, {}, {"OnClick 1"}},
      {"shell list, item without |", "a", "#SHELLLIST?a.pdf|A&b.pdf", 1, {}, {"OnClick 1"}},
      {"link", "a", "#LINK?http://example.org/p?q", 1, {},
       {"open http://example.org/p", "count LINK", "trace LINK http://example.org/p", "OnClick 1"}},
      {"anchor without fragment", "a", "http://example.org/", 1, {}, {"open http://example.org/", "OnClick 1"}},
      {"anchor with an empty fragment", "a", "page.html#", 1, {}, {"open page.html#", "OnClick 1"}},
      {"anchor without href", "a", nullptr, 1, {}, {}},
      {"image without its own href", "img", nullptr, 1, {}, {"OnClick 1"}},
      {"image href without #", "img", "pic.html", 1, {}, {}},
      {"image with a command", "img", "#VOLUNTAS?abc", 1, {}, {"OnCommandClick VOLUNTAS abc", "count VOLUNTAS", "OnClick 1"}},
      {"input with a command", "input", "#SAVEKEYDATA?consenso=si", 1, {},
       {"click", "keydata consenso=si", "OnClick 1"}},
      {"input without href", "input", nullptr, 1, {}, {"click", "OnClick 1"}},
      {"input whose click fails", "input", "#SAVEKEYDATA?k=v", 1, {}, {"click", "keydata k=v", "OnClick 1"}, "", true},
      {"lower-case word", "a", "#prescribe?aic1", 1, {},
       {"count PRESCRIBE", "trace PRESCRIBE aic1", "OnCommandClickExtended PRESCRIBE aic1 ", "OnClick 1"}},
      {"options past the third part dropped", "a", "#PRESCRIBE?aic1?x?y", 1, {},
       {"count PRESCRIBE", "trace PRESCRIBE aic1", "OnCommandClickExtended PRESCRIBE aic1 x", "OnClick 1"}},
      {"prescribe from a list, not replaceable asked", "a", "#PRESCRIBE?aic1&aic2?MODE=1&NOTREPLACEABLE=2", 1,
       {"aic2", "S\xC3\xAC"},
       {"count PRESCRIBE", "trace PRESCRIBE aic1&aic2", "refresh",
        "OnCommandClickExtended PRESCRIBE aic2 MODE=1&NOTREPLACEABLE=1", "OnClick 1"}},
      {"prescribe list, nothing chosen", "a", "#PRESCRIBE?aic1&aic2", 1, {"OK"},
       {"count PRESCRIBE", "trace PRESCRIBE aic1&aic2", "refresh", "gotfocus", "OnClick 1"}},
      {"pharma word counted as itself, traced as PRESCRIBE", "a", "#PRESCRIBEPHARMA?aic1?MODE=2", 1, {},
       {"count PRESCRIBEPHARMA", "trace PRESCRIBE aic1", "OnCommandClickExtended PRESCRIBEPHARMA aic1 MODE=2", "OnClick 1"}},
      {"prescribe with empty param", "a", "#PRESCRIBE?", 1, {}, {"count PRESCRIBE", "trace PRESCRIBE ", "OnClick 1"}},
      {"substitute", "a", "#SUBSTITUTE?aic9?NOTREPLACEABLE=0", 1, {},
       {"count SUBSTITUTE", "trace SUBSTITUTE aic9", "OnCommandClickExtended SUBSTITUTE aic9&0 NOTREPLACEABLE=0", "OnClick 1"}},
      {"substitute, question answered No", "a", "#SUBSTITUTE?aic9?NOTREPLACEABLE=2", 1, {"No"},
       {"count SUBSTITUTE", "trace SUBSTITUTE aic9", "OnCommandClickExtended SUBSTITUTE aic9&0 NOTREPLACEABLE=0", "OnClick 1"}},
      {"substitute list cancelled", "a", "#SUBSTITUTE?aic1&aic2", 1, {"Annulla"},
       {"count SUBSTITUTE", "trace SUBSTITUTE aic1&aic2", "refresh", "gotfocus", "OnClick 1"}},
      {"substitute list, one chosen", "a", "#SUBSTITUTE?aic1&aic2", 1, {"aic1&aic2"},
       {"count SUBSTITUTE", "trace SUBSTITUTE aic1&aic2", "refresh", "OnCommandClickExtended SUBSTITUTE aic2&0 ", "OnClick 1"}},
      {"malformed option ends the handling", "a", "#SUBSTITUTE?aic1?NOTREPLACEABLE", 1, {},
       {"count SUBSTITUTE", "trace SUBSTITUTE aic1"}},
      {"substitute ever", "a", "#SUBSTITUTEEVER?aic9", 1, {},
       {"count SUBSTITUTEEVER", "trace SUBSTITUTEEVER aic9", "OnCommandClick SUBSTITUTE aic9&1", "OnClick 1"}},
      {"voluntas: event before count", "a", "#VOLUNTAS?abc", 1, {}, {"OnCommandClick VOLUNTAS abc", "count VOLUNTAS", "OnClick 1"}},
      {"document", "a", "#DOCUMENT?lettera.rtf", 1, {},
       {"OnRequiredField NOTE", "open $F/TEMP/~T_lettera.rtf", "count DOCUMENT", "OnClick 1"}},
      {"document, missing template still counted", "a", "#DOCUMENT?missing.rtf", 1, {}, {"count DOCUMENT", "OnClick 1"}},
      {"key data without =", "a", "#SAVEKEYDATA?flag", 1, {}, {"keydata flag=", "OnClick 1"}},
      {"patient key data", "a", "#SAVEPATIENTKEYDATA?k=v=w", 1, {}, {"patientkeydata k=v", "OnClick 1"}},
      {"save link without a shell object", "a", "#SAVELINK?http://x|Agenda", 1, {}, {"OnClick 1"}},
      {"unknown word", "a", "#NOTHING?x", 1, {}, {"OnClick 1"}},
  };
  for (const Row& row : rows) {
    host_.log.clear();
    for (const auto& a : row.answers) host_.ui.AnswerNext(U16(a));
    auto element = std::make_shared<FakeElement>(row.tag, row.href, row.text, host_.log, row.clickFails);
    OnDocumentMouseDown(host_, row.button, element);
    std::vector<std::string> expected;
    for (const auto& line : row.expected) expected.push_back(Expand(line));
    EXPECT_EQ(host_.log, expected) << row.name;
    EXPECT_FALSE(host_.ui.HasQueuedAnswer()) << row.name;
    while (host_.ui.HasQueuedAnswer()) host_.ui.InputBox(u"", u"", u"");
  }
}

TEST_F(Dispatch, NoElementUnderTheMouseEndsTheHandling) {
  OnDocumentMouseDown(host_, 1, nullptr);
  EXPECT_TRUE(host_.log.empty());
  OnDocumentMouseDown(host_, 2, nullptr);
  EXPECT_EQ(host_.log, std::vector<std::string>{"OnClick 2"});
}

TEST_F(Dispatch, DocumentIsFilledFromFactsAndHost) {
  auto element = std::make_shared<FakeElement>("a", "#DOCUMENT?lettera.rtf", "", host_.log);
  OnDocumentMouseDown(host_, 1, element);
  std::ifstream in(folder_ / "TEMP" / "~T_lettera.rtf");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "{\\rtf1 Paziente Prova Ok 04/12/2026}");
}

// File names in links are found whatever their case, as on the platform; two files differing
// only by case end the handling; links, hidden files and other folders are never reached; a
// code with a line break never reaches the doctor's file.
TEST_F(Dispatch, NamesFromLinks) {
  namespace fs = std::filesystem;
  const fs::path outside = folder_.string() + "_outside";
  fs::create_directories(outside);
  std::ofstream(outside / "privato.rtf") << "{\\rtf1 privato}";
  fs::create_symlink(outside / "privato.rtf", folder_ / "linkato.rtf");
  fs::create_symlink(outside / "privato.rtf", folder_ / "linkato.pdf");
  for (const char* name : {"Doppio.pdf", "doppio.PDF"}) std::ofstream(folder_ / name) << "x";
  fs::create_directories(folder_ / "Documenti");
  std::ofstream(folder_ / "Documenti" / "Guida.pdf") << "g";
  host_.controlFolder = U16(folder_.string());
  host_.currentDrug = u"aic1";

  struct Row {
    const char* href;
    std::vector<std::string> expected;
  } rows[] = {
      {"#SHELL?LEAFLET.PDF", {"open $F/leaflet.pdf", "count SHELL", "trace SHELL LEAFLET.PDF", "OnClick 1"}},
      {"#SHELL?doppio.pdf", {}},
      {"#SHELL?linkato.pdf", {"OnClick 1"}},
      {"#SHELL?TEMP\\..\\a.pdf", {"OnClick 1"}},
      {"#SHELL?Documenti\\Guida.pdf", {"OnClick 1"}},
      {"#DOCUMENT?LETTERA.RTF", {"OnRequiredField NOTE", "open $F/TEMP/~T_LETTERA.RTF", "count DOCUMENT", "OnClick 1"}},
      {"#DOCUMENT?linkato.rtf", {"count DOCUMENT", "OnClick 1"}},
      {"#LINK?documenti\\GUIDA.pdf",
       {"open Documenti/Guida.pdf", "count LINK", "trace LINK documenti\\GUIDA.pdf", "OnClick 1"}},
      {"#LINK?https://example.org/a\\b",
       {"open https://example.org/a\\b", "count LINK", "trace LINK https://example.org/a\\b", "OnClick 1"}},
      {"#SUBSTITUTEEVER?aic9\r\n[AutoSubstitute]\r\naic5=aic6",
       {"count SUBSTITUTEEVER", "trace SUBSTITUTEEVER aic9\r\n[AutoSubstitute]\r\naic5=aic6"}},
  };
  for (const Row& row : rows) {
    host_.log.clear();
    host_.ClickAnchor(row.href);
    std::vector<std::string> expected;
    for (const auto& line : row.expected) expected.push_back(Expand(line));
    EXPECT_EQ(host_.log, expected) << row.href;
  }
  EXPECT_TRUE(host_.ini.empty() || host_.ini[u"AutoSubstitute"].empty());
  EXPECT_EQ(Listing(outside), std::set<std::string>{"privato.rtf"});
  fs::remove_all(outside);
}

// A TEMP folder that is a link is never written through: the document command then ends.
TEST_F(Dispatch, DocumentNeverWritesThroughALinkedTempFolder) {
  namespace fs = std::filesystem;
  const fs::path outside = folder_.string() + "_temp";
  fs::create_directories(outside);
  fs::remove_all(folder_ / "TEMP");
  fs::create_symlink(outside, folder_ / "TEMP");
  host_.ClickAnchor("#DOCUMENT?lettera.rtf");
  EXPECT_EQ(host_.log, std::vector<std::string>{"OnRequiredField NOTE"});
  EXPECT_TRUE(fs::is_empty(outside));
  fs::remove_all(outside);
}

TEST_F(Dispatch, DialogsShowTheirLines) {
  host_.ui.AnswerNext(u"OK");
  auto element = std::make_shared<FakeElement>("a", "#PRESCRIBE?aic1&&aic2&aic3", "", host_.log);
  OnDocumentMouseDown(host_, 1, element);
  ASSERT_EQ(host_.ui.shown().size(), 1u);
  EXPECT_EQ(host_.ui.shown()[0].kind, u"SelezioneFarmaci");
  // three codes, empty item skipped; the silent host repeats the previous description
  EXPECT_EQ(host_.ui.shown()[0].lines, (std::vector<String>{u"Uno", u"Due", u"Due"}));
}

}  // namespace
}  // namespace brevalcore::commands
