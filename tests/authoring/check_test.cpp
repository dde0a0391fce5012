// The package checker: one small broken package per finding kind, each with the exact lines
// `brevalcore check` prints for it; the sample packages and a package using every page and
// link form the control knows check clean; unreadable input is one finding and exit status 2.
#include <gtest/gtest.h>

#include "tests/authoring/authoring_test_support.h"
#include "tools/authoring/check.h"

namespace brevalcore::authoring {
namespace {

using namespace testing;

// One change to the valid package.
struct Edit {
  enum class Kind { Write, Remove, Folder, Link, Fifo, Sparse } kind;
  std::string name;
  std::string text;   // Write: the bytes; Link: the target
  uint64_t size = 0;  // Sparse
};

Edit Put(std::string name, std::string text) { return {Edit::Kind::Write, std::move(name), std::move(text)}; }
Edit Remove(std::string name) { return {Edit::Kind::Remove, std::move(name), {}}; }

// The valid script with `lines` added to StartPrescription after its ShowBanner: the first
// added line is line 7. Without Option Explicit the lines shift up by one.
std::string Script(const std::string& lines, bool optionExplicit = true, const std::string& after = {}) {
  std::string script = kValidScript;
  const std::string anchor = "  ShowBanner \"B1\"\n";
  script.insert(script.find(anchor) + anchor.size(), lines.empty() ? "" : lines + "\n");
  if (!optionExplicit) script.erase(0, std::string("Option Explicit\n").size());
  return script + after;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  return text.replace(text.find(from), from.size(), to);
}

struct Row {
  const char* name;
  std::vector<Edit> edits;
  std::vector<std::string> expected;  // the findings' lines, in output order
  int status;                         // the check's exit status
};

void Apply(const fs::path& folder, const Edit& e) {
  const fs::path path = folder / e.name;
  switch (e.kind) {
    case Edit::Kind::Write: Write(path, e.text); break;
    case Edit::Kind::Remove: fs::remove(path); break;
    case Edit::Kind::Folder: fs::create_directories(path); break;
    case Edit::Kind::Link: fs::create_symlink(e.text, path); break;
    case Edit::Kind::Fifo: ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); break;
    case Edit::Kind::Sparse: {
      std::ofstream(path, std::ios::binary).flush();
      fs::resize_file(path, e.size);
      break;
    }
  }
}

const std::vector<Row>& Rows() {
  static const std::vector<Row> rows = {
      // ---- the rule script
      {"syntax error",
       {Put("banner.script", Script("  If DoctorRegionIs(\"080\") Then"))},
       {"banner.script:8:5: error: Expected 'If' (compile error 1012): the control's start fails and switches banners off [script-syntax]",
        "banner.script:9:1: error: Expected statement (compile error 1024): the control's start fails and switches banners off [script-syntax]"},
       1},
      {"byte-order mark",
       {Put("banner.script", "\xEF\xBB\xBF" + Script(""))},
       {"banner.script:1:1: error: the file starts with a UTF-8 byte-order mark, which the control reads as the characters "
        "'ï»¿' (a syntax error); save the script as Windows-1252 (ANSI) [script-bom]",
        "banner.script:1:2: error: Invalid character (compile error 1032): the control's start fails and switches banners off [script-syntax]",
        "banner.script:1:3: error: Invalid character (compile error 1032): the control's start fails and switches banners off [script-syntax]"},
       1},
      {"UTF-8 text",
       {Put("banner.script", Script("  ' un caff\xC3\xA8"))},
       {"banner.script:7:12: warning: UTF-8 text: the control reads the script as Windows-1252, so 'caffè' becomes "
        "'caffÃ¨'; save the script as Windows-1252 (ANSI) [script-encoding]"},
       0},
      {"undeclared name",
       {Put("banner.script", Script("  conta = 1"))},
       {"banner.script:7:3: error: 'conta' is not declared (Option Explicit); the rule stops with error 500 \"Variable is "
        "undefined\" [script-undefined]"},
       1},
      {"call of a name that is nothing",
       {Put("banner.script", Script("  ShowBaner \"B1\"", false))},
       {"banner.script:6:3: error: 'ShowBaner' is neither a procedure of the script nor a member of actions, conditions or "
        "commands (did you mean 'ShowBanner'?); the rule stops with error 13 \"Type mismatch\" [script-unknown-procedure]"},
       1},
      {"member missing along a chain",
       {Put("banner.script", Script("  If actions.context.Bannr = \"\" Then ResetBanner"))},
       {"banner.script:7:22: error: cContext has no member 'Bannr' (did you mean 'Banner'?); the rule stops with error 438 "
        "\"Object doesn't support this property or method\" [script-no-member]"},
       1},
      {"wrong number of arguments",
       {Put("banner.script", Script("  If PatientAgeIsBetween(18) Then ResetBanner"))},
       {"banner.script:7:6: error: PatientAgeIsBetween takes 2 arguments, not 1; the rule stops with error 450 \"Wrong "
        "number of arguments or invalid property assignment\" [script-arguments]"},
       1},
      {"assignment to a read-only member",
       {Put("banner.script", Script("  GetCurrentBanner = \"B1\""))},
       {"banner.script:7:3: error: GetCurrentBanner cannot be assigned; the rule stops with error 450 \"Wrong number of "
        "arguments or invalid property assignment\" [script-not-assignable]"},
       1},
      {"missing entry point",
       {Put("banner.script", std::string(kValidScript).substr(0, std::string(kValidScript).find("Sub AfterSelect")))},
       {"banner.script:0:0: error: the script defines no 'AfterSelect', which the control runs (OnAfter): the run fails and "
        "switches banners off; define it, even empty [script-missing-procedure]"},
       1},
      {"entry point with arguments",
       {Put("banner.script", Replaced(Script(""), "Sub AfterSelect\n", "Sub AfterSelect(x)\n"))},
       {"banner.script:10:1: error: 'AfterSelect' takes arguments, but the control runs it without any: the run fails with "
        "error 450 and switches banners off [script-procedure-arguments]"},
       1},
      {"misspelt event",
       {Put("banner.script", Script("", true, "Sub OnBeforeSelct\nEnd Sub\n"))},
       {"banner.script:12:1: warning: 'OnBeforeSelct' is not run by the control and the script never calls it (did you mean "
        "'BeforeSelect'?) [script-event-name]"},
       0},
      {"banner without a page",
       {Put("banner.script", Script("  ShowBanner \"Gastro\""))},
       {"banner.script:7:14: error: ShowBanner 'Gastro': the package has no page 'Gastro.html'; the doctor would see the "
        "offline page instead [script-banner-missing]"},
       1},
      {"banner without a page, passed through a procedure",
       {Put("banner.script", Script("  Mostra \"B9\"", true, "Sub Mostra(nome)\n  ShowBanner nome\nEnd Sub\n"))},
       {"banner.script:7:10: error: ShowBanner 'B9': the package has no page 'B9.html' (did you mean 'B1'?); the doctor "
        "would see the offline page instead [script-banner-missing]"},
       1},
      {"banner found in another letter case", {Put("banner.script", Script("  ShowBanner \"b1?x=1\""))}, {}, 0},
      {"history of a banner without a page",
       {Put("banner.script", Script("  DoSetBannerKeyData \"B13\", \"k\", \"v\""))},
       {"banner.script:7:22: warning: DoSetBannerKeyData 'B13': no banner of that name (no page 'B13.html') (did you mean "
        "'B1'?) [script-banner-unknown]"},
       0},
      {"two pages that differ only by case",
       {Put("b1.html", kValidPage)},
       {"b1.html:0:0: error: 'b1.html' and 'B1.html' differ only by case: on the platform they are one file, and one "
        "overwrites the other [package-name-clash]",
        "banner.script:6:14: error: ShowBanner of 'B1.html' is ambiguous: 'B1.html' and 'b1.html' differ only by case, and "
        "on the platform they are one file [name-ambiguous]"},
       1},

      // ---- pages and links
      {"unknown command word",
       {Put("B1.html", Page("<a href=\"#PRESCIBE?aic1\">Prescrivi</a>"))},
       {"B1.html:2:1: error: #PRESCIBE is not a command the control knows (did you mean 'PRESCRIBE'?); a press does nothing "
        "but OnClick [link-unknown-command]"},
       1},
      {"parts after the options",
       {Put("B1.html", Page("<a href=\"#PRESCRIBE?aic1?x?y\">Prescrivi</a>"))},
       {"B1.html:2:1: warning: #PRESCRIBE: what follows the third '?' is dropped (a link is #COMMAND?param?options) "
        "[link-extra-part]"},
       0},
      {"no drug code",
       {Put("B1.html", Page("<a href=\"#PRESCRIBE?\">Prescrivi</a>"))},
       {"B1.html:2:1: error: #PRESCRIBE needs a drug code: without one the host is asked for nothing [link-param]"},
       1},
      {"document list of one item",
       {Put("B1.html", Page("<a href=\"#SHELLLIST?a.pdf|Scheda\">Schede</a>")), Put("a.pdf", "%PDF")},
       {"B1.html:2:1: error: #SHELLLIST needs at least two file|title items joined by '&': with one the press does nothing "
        "[link-param]"},
       1},
      {"option without a value",
       {Put("B1.html", Page("<a href=\"#PRESCRIBE?aic1?NOTREPLACEABLE\">Prescrivi</a>"))},
       {"B1.html:2:1: error: #PRESCRIBE: NOTREPLACEABLE without '=value' ends the press: nothing reaches the host "
        "[link-option]"},
       1},
      {"options on a command that reads none",
       {Put("B1.html", Page("<a href=\"#VOLUNTAS?x?MODE=1\">Aderisci</a>"))},
       {"B1.html:2:1: warning: #VOLUNTAS reads no options: 'MODE=1' is ignored [link-option]"},
       0},
      {"file not in the package",
       {Put("B1.html", Page("<a href=\"#SHELL?leaflet.pdf\">Scheda</a>"))},
       {"B1.html:2:1: error: #SHELL?leaflet.pdf: the package has no file 'leaflet.pdf'; the press opens nothing "
        "[link-target-missing]"},
       1},
      {"file outside the banner folder",
       {Put("B1.html", Page("<a href=\"#DOCUMENT?..\\lettera.rtf\">Lettera</a>"))},
       {"B1.html:2:1: error: #DOCUMENT?..\\lettera.rtf leads out of the banner folder: the control opens nothing "
        "[link-target-outside]"},
       1},
      {"href without a command on an input",
       {Put("B1.html", Page("<input type=\"button\" value=\"Visto\" href=\"visto.html\">"))},
       {"B1.html:2:1: error: <input> with an href but no '#COMMAND': a press ends without any event, not even OnClick "
        "[link-no-fragment]"},
       1},
      {"command on an element that runs none",
       {Put("B1.html", Page("<span href=\"#PRESCRIBE?aic1\">Prescrivi</span>"))},
       {"B1.html:2:1: warning: a command link on <span>, which runs no command: only <a>, <img> and <input> do "
        "[link-element]"},
       0},
      {"picture not in the package",
       {Put("B1.html", Page("<img src=\"logo.png\">"))},
       {"B1.html:2:1: error: src='logo.png': the package has no file 'logo.png' [page-missing-file]"},
       1},
      {"page nothing shows",
       {Put("B2.html", kValidPage)},
       {"B2.html:0:0: warning: no rule shows this page and no page links to it: doctors never see it [page-unreachable]"},
       0},

      // ---- RTF templates
      {"template that is no RTF",
       {Put("lettera.rtf", "Gentile ??PAZIENTE??")},
       {"lettera.rtf:1:1: warning: the file does not start with '{\\rtf': word processors may not open the document "
        "[template-not-rtf]"},
       0},
      {"unbalanced groups",
       {Put("lettera.rtf", "{\\rtf1 Gentile ??PAZIENTE??}}")},
       {"lettera.rtf:1:29: error: this '}' closes no group: the filled document is not valid RTF [template-groups]"},
       1},
      {"field split by formatting",
       {Put("lettera.rtf", "{\\rtf1 Gentile ??PAZ{\\b IENTE}??}")},
       {"lettera.rtf:1:16: error: the field 'PAZ{\\b IENTE}' holds RTF formatting (the word processor split it): the host "
        "is asked for a field of that name; type the field again in one go [template-field]"},
       1},
      {"misspelt field",
       {Put("lettera.rtf", "{\\rtf1 Gentile ??PAZEINTE??}")},
       {"lettera.rtf:1:16: warning: the field 'PAZEINTE' is not one the control fills, so the host is asked for it (did "
        "you mean 'PAZIENTE'?) [template-field]"},
       0},
      {"lone separator",
       {Put("lettera.rtf", "{\\rtf1 Gentile ??PAZIENTE??, ??}")},
       {"lettera.rtf:1:30: warning: a '?\?' without its pair stays in the document as it is [template-separator]"},
       0},

      // ---- the package as a whole
      {"empty package",
       {Remove("banner.script"), Remove("B1.html"), Remove("offline.html")},
       {".:0:0: error: the package is empty: there is nothing to install [package-empty]"},
       1},
      {"subfolder",
       {Put("img/logo.gif", "GIF89a")},
       {"img:0:0: error: a subfolder: the control never creates folders, so its files would fail the install (\"Path not "
        "found\") and switch banners off; put the files in the package folder itself [package-subfolder]"},
       1},
      {"symbolic link",
       {{Edit::Kind::Link, "copia.html", "B1.html"}},
       {"copia.html:0:0: error: a symbolic link: packages hold plain files only; copy the file in [package-not-regular]"},
       1},
      {"device name",
       {Put("aux.txt", "x")},
       {"aux.txt:0:0: error: not a valid file name: the name is a device name the platform reserves [package-name]"},
       1},
      {"old library inside",
       {Put("BVCRES.DLL", "MZ")},
       {"BVCRES.DLL:0:0: error: an old resource library inside the package: it would be unpacked as a banner file "
        "[package-stray]"},
       1},
      {"marker inside",
       {Put("1.0.0.3.BVC", "BVC date")},
       {"1.0.0.3.BVC:0:0: error: a package marker: the control writes its own after each install; remove this one "
        "[package-stray]"},
       1},
      {"no offline page",
       {Remove("offline.html")},
       {"offline.html:0:0: error: the package has no offline.html: when the default page cannot be reached the control has "
        "nothing to show [package-no-offline]"},
       1},
      {"no script",
       {Remove("banner.script")},
       {"banner.script:0:0: error: the package has no banner.script: the control's start fails (\"File not found\") and "
        "switches banners off [package-no-script]"},
       1},
      {"too large to load",
       {{Edit::Kind::Sparse, "video.mp4", {}, (uint64_t{1} << 30) + 1}},
       {".:0:0: error: 1073742119 bytes of files: the library would be larger than the 1 GB the control loads "
        "[package-size]"},
       1},

      // ---- what cannot be read
      {"FIFO in the package",
       {{Edit::Kind::Fifo, "pipe.html", {}}},
       {"pipe.html:0:0: error: cannot be checked: not a regular file (a FIFO, a device or a socket) [unreadable]"},
       2},
      {"binary script",
       {Put("banner.script", std::string("Sub\0BeforeInitialize", 20))},
       {"banner.script:0:0: error: cannot be checked: a binary file (it holds NUL bytes), not text [unreadable]"},
       2},
      {"enormous page",
       {{Edit::Kind::Sparse, "B1.html", {}, uint64_t{17} << 20}},
       {"B1.html:0:0: error: cannot be checked: too large: 17825792 bytes, more than the 16 MB this command reads "
        "[unreadable]"},
       2},
  };
  return rows;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = text.find('\n', at);
    lines.push_back(text.substr(at, end - at));
    at = end == std::string::npos ? text.size() : end + 1;
  }
  return lines;
}

TEST(Check, EachBrokenPackageGivesItsFinding) {
  for (const Row& row : Rows()) {
    SCOPED_TRACE(row.name);
    Scratch scratch;
    const fs::path package = scratch / "pkg";
    WriteValidPackage(package);
    for (const Edit& e : row.edits) Apply(package, e);
    const CheckResult result = CheckPath(package.string());
    EXPECT_EQ(Lines(FormatFindings(result.findings)), row.expected);
    EXPECT_EQ(CheckExitStatus(result, false), row.status);
  }
}

TEST(Check, WarningsCountAsErrorsWithWerror) {
  for (const Row& row : Rows()) {
    SCOPED_TRACE(row.name);
    Scratch scratch;
    WriteValidPackage(scratch / "pkg");
    for (const Edit& e : row.edits) Apply(scratch / "pkg", e);
    const CheckResult result = CheckPath((scratch / "pkg").string());
    EXPECT_EQ(CheckExitStatus(result, true), row.status == 0 && !row.expected.empty() ? 1 : row.status);
  }
}

// pack refuses what check finds an error in, and leaves nothing behind; warnings alone pack.
TEST(Pack, EachBrokenPackageIsRefusedAndNothingIsWritten) {
  for (const Row& row : Rows()) {
    SCOPED_TRACE(row.name);
    Scratch scratch;
    WriteValidPackage(scratch / "pkg");
    for (const Edit& e : row.edits) Apply(scratch / "pkg", e);
    fs::create_directories(scratch / "out");
    const ToolRun run =
        Tool("pack " + Quote(scratch / "pkg") + " --version 1.0.0.1 -o " + Quote(scratch / "out" / "BVCRES.DLL"));
    EXPECT_EQ(run.status, row.status) << run.out;
    if (!row.expected.empty()) {
      EXPECT_NE(run.out.find(row.expected.front()), std::string::npos) << run.out;
    }
    EXPECT_EQ(fs::exists(scratch / "out" / "BVCRES.DLL"), row.status == 0);
    if (row.status != 0) {
      EXPECT_TRUE(fs::is_empty(scratch / "out"));
    }
  }
}

// Every form of page and link the control knows, each used as meant.
void WriteEveryForm(const fs::path& folder) {
  Write(folder / "banner.script",
        "Option Explicit\n"
        "Const PAGINA = \"B3\"\n"
        "Sub BeforeInitialize\n"
        "  DefaultEmptyPage = \"https://servizi.example/home\"\n"
        "  If UpdateDbUrl = \"\" Then UpdateDbUrl = \"https://servizi.example/bvcres\"\n"
        "End Sub\n"
        "Sub StartPrescription\n"
        "  If MatchPrescriptionsCount(3, 1) And conditions.DoctorRegionIs(\"080|090\") Then\n"
        "    ShowBanner \"B1\"\n"
        "  ElseIf IsFirstBannerVisualizationForPatient(\"B2\") Then\n"
        "    Mostra \"B2?id=\" & URLEncode(GetFacts().Doctor.Asl)\n"
        "  Else\n"
        "    actions.ShowBanner PAGINA\n"
        "  End If\n"
        "End Sub\n"
        "Sub BeforeSelect\n"
        "  If conditions.context.CurrentFacts.Prescription.PrescribingDrug.AIC = \"\" Then Exit Sub\n"
        "  If PrescribingProductPriceIsBetween(5, 20.5) Then ResetBanner\n"
        "End Sub\n"
        "Sub AfterSelect\n"
        "  If GetBannerKeyData(\"B1\", \"visto\") = \"si\" Then ResetBanner\n"
        "  DoSetBannerKeyData \"BVC\", \"ultimo\", GetCurrentBanner()\n"
        "End Sub\n"
        "Sub Mostra(codice)\n"
        "  ShowBanner codice\n"
        "  DoSetFirstDateOfBannerVisualizationForPatient codice\n"
        "End Sub\n");
  Write(folder / "B1.html",
        Page("<link rel=\"stylesheet\" href=\"stile.css\"><script src=\"pagina.js\"></script>\n"
             "<a href=\"#SHELL?scheda.pdf\">Scheda</a> <a href=\"B1.html#shell?scheda.pdf\">Scheda</a>\n"
             "<a href=\"#SHELLLIST?a.pdf|Scheda A&amp;b.pdf|Scheda B\">Schede</a>\n"
             "<a href=\"#LINK?https://www.example.org/\">Sito</a>\n"
             "<a href=\"#SAVELINK?https://www.example.org/agenda|Agenda\">Salva</a>\n"
             "<a href=\"#SAVELINK?https://www.example.org/agenda\">Agenda del medico</a>\n"
             "<a href=\"#SUBSTITUTEEVER?aic9\">Sempre</a>\n"
             "<a href=\"#SUBSTITUTE?aic9?NOTREPLACEABLE=0\">Sostituisci</a>\n"
             "<a href=\"#SUBSTITUTE?aic8&amp;aic9?NOTREPLACEABLE=2\">Scegli</a>\n"
             "<a href=\"#PRESCRIBE?aic1&amp;aic2?MODE=1&amp;NOTREPLACEABLE=2\">Prescrivi</a>\n"
             "<a href=\"#PRESCRIBEPHARMA?aic3\">Farmacia</a>\n"
             "<a href=\"#PRESCRIBEPARAPHARMA?aic4?MODE=1\">Parafarmacia</a>\n"
             "<a href=\"#prescribehomeopathic?aic5?NOTREPLACEABLE=1\">Omeopatico</a>\n"
             "<a href=\"#VOLUNTAS?ADESIONE\">Aderisci</a>\n"
             "<a href=\"#DOCUMENT?lettera.rtf\">Lettera</a>\n"
             "<a href=\"#SAVEKEYDATA?consenso=si\">Consenso</a>\n"
             "<a href=\"#SAVEPATIENTKEYDATA?visto=1\">Visto</a>\n"
             "<img src=\"logo.svg\" href=\"#PRESCRIBE?aic1\">\n"
             "<input type=\"button\" value=\"Aderisco\" href=\"#SAVEPATIENTKEYDATA?aderito=si\">\n"
             "<input type=\"checkbox\" name=\"x\">\n"
             "<a href=\"https://www.example.org/linee-guida\">Linee guida</a> <a href=\"mailto:info@example.org\">Scrivi</a>\n"
             "<a href=\"B2.html\">Altro</a> <a href=\"#\">Su</a> <a name=\"fine\"></a>\n"
             "<img src=\"logo%20grande.svg\"> <img src=\"data:image/gif;base64,R0lGODlh\">"));
  Write(folder / "B2.html", Page("<a href=\"#SHELL?Scheda.PDF\">Scheda</a>"));
  Write(folder / "B3.html", Page("<p>Terza</p>"));
  Write(folder / "offline.html", kOfflinePage);
  Write(folder / "lettera.rtf", "{\\rtf1\\ansi Gentile ??PAZIENTE??,\\par ??ambulatorio?? ??DATA??\\par ??TIMBRO?? ??MEDICO??}");
  for (const char* file : {"scheda.pdf", "a.pdf", "b.pdf", "stile.css", "pagina.js", "logo.svg", "logo grande.svg"})
    Write(folder / file, "x");
}

TEST(Check, EveryPageAndLinkFormChecksClean) {
  Scratch scratch;
  WriteEveryForm(scratch / "pkg");
  const CheckResult result = CheckPath((scratch / "pkg").string());
  EXPECT_EQ(FormatFindings(result.findings), "");
  EXPECT_EQ(CheckExitStatus(result, true), 0);
  EXPECT_EQ(result.filesChecked, 13);

  // Packed, the library checks the same.
  const ToolRun packed = Tool("pack " + Quote(scratch / "pkg") + " --version 1.0.0.1 -o " + Quote(scratch / "BVCRES.DLL"));
  ASSERT_EQ(packed.status, 0) << packed.out;
  const CheckResult library = CheckPath((scratch / "BVCRES.DLL").string());
  EXPECT_EQ(FormatFindings(library.findings), "");
  EXPECT_EQ(library.filesChecked, 13);
}

TEST(Check, TheSamplePackagesCheckClean) {
  for (const char* folder : {"samples/package", "samples/banners"}) {
    SCOPED_TRACE(folder);
    const CheckResult result = CheckPath((fs::path(BREVALCORE_SOURCE_DIR) / folder).string());
    EXPECT_EQ(FormatFindings(result.findings), "");
    EXPECT_EQ(CheckExitStatus(result, true), 0);
  }
}

// A PATH the checker cannot read at all: one finding, exit status 2, and no wait.
TEST(Check, UnreadableInputIsOneFinding) {
  Scratch scratch;
  ASSERT_EQ(::mkfifo((scratch / "pipe.script").c_str(), 0600), 0);
  Write(scratch / "binario.html", std::string("<html>\0\0\0", 9));
  Write(scratch / "note.txt", "testo");
  std::ofstream(scratch / "enorme.vbs").flush();
  fs::resize_file(scratch / "enorme.vbs", uint64_t{17} << 20);
  const struct {
    fs::path path;
    std::string message;
  } rows[] = {
      {scratch / "pipe.script", "cannot be checked: not a regular file (a FIFO)"},
      {"/dev/zero", "cannot be checked: not a regular file (a character device)"},
      {scratch / "binario.html", "cannot be checked: a binary file (it holds NUL bytes), not text"},
      {scratch / "enorme.vbs", "cannot be checked: too large: 17825792 bytes, more than the 16 MB this command reads"},
      {scratch / "note.txt", "cannot be checked: not a package folder, a resource library, a script (.script, .vbs), a "
                              "page (.html) or a template (.rtf)"},
      {scratch / "missing", "cannot be checked: no such file or folder"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path.string());
    const CheckResult result = CheckPath(row.path.string());
    ASSERT_EQ(result.findings.size(), 1u);
    EXPECT_EQ(result.findings[0].file, row.path.string());
    EXPECT_EQ(result.findings[0].code, "unreadable");
    EXPECT_EQ(result.findings[0].message, row.message);
    EXPECT_EQ(CheckExitStatus(result, false), 2);
  }
}

TEST(Check, OneFileIsCheckedAgainstTheFilesOfItsFolder) {
  Scratch scratch;
  WriteValidPackage(scratch / "pkg");
  Write(scratch / "pkg" / "B2.html", Page("<a href=\"#SHELL?B1.html\">x</a> <a href=\"#SHELL?manca.pdf\">y</a>"));
  const std::string page = (scratch / "pkg" / "B2.html").string();
  const CheckResult result = CheckPath(page);
  EXPECT_EQ(FormatFindings(result.findings),
            page + ":2:32: error: #SHELL?manca.pdf: the package has no file 'manca.pdf'; the press opens nothing "
                   "[link-target-missing]\n");
  EXPECT_EQ(result.filesChecked, 1);
}

TEST(Check, FindingsAsJson) {
  std::vector<Finding> findings = {
      {"B1.html", 2, 1, Severity::Error, "link-param", "#SHELL needs a \"file\"\tname"},
      {"a.rtf", 0, 0, Severity::Warning, "template-not-rtf", "x"},
  };
  EXPECT_EQ(FormatFindingsJson(findings),
            "[\n  {\"file\": \"B1.html\", \"line\": 2, \"column\": 1, \"severity\": \"error\", \"code\": \"link-param\", "
            "\"message\": \"#SHELL needs a \\\"file\\\"\\tname\"},\n"
            "  {\"file\": \"a.rtf\", \"line\": 0, \"column\": 0, \"severity\": \"warning\", \"code\": "
            "\"template-not-rtf\", \"message\": \"x\"}\n]\n");
  EXPECT_EQ(FormatFindingsJson({}), "[]\n");
  EXPECT_EQ(FormatSummary(findings, 1), "1 error, 1 warning in 1 file\n");
}

}  // namespace
}  // namespace brevalcore::authoring
