// A letter template whose values hold the template's own separator, whole tags, and a tag
// that names the very variable it fills: the document is written once, in the temporary
// folder, with every value where its tag stood, and the shell is asked to open it.
#include <algorithm>
#include <set>

#include "tests/reliability/expected.h"

namespace brevalcore::reliability {
namespace {

constexpr char kTemplate[] =
    "{\\rtf1\\ansi P=??PAZIENTE??;M=??MEDICO??;T=??TIMBRO??;N=??NOTE??;A=??ALTRO??;S=??SE??;D=??DATA??}";
// Values written as they are: a value is not template text, whatever it holds.
constexpr char kFilled[] =
    "{\\rtf1\\ansi P=Ro??ssi \xE8;M=??MEDICO??;T=??PAZIENTE??;N=x??NOTE??y;A=??;S=?;D=06/12/2026}";
constexpr char kDocumentName[] = "~D1_20261206093000_lettera.rtf";

std::set<std::string> FilesUnder(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    names.insert(fs::relative(entry.path(), folder).generic_string() + (entry.is_directory() ? "/" : ""));
  return names;
}

TEST(DocumentTemplate, ValuesHoldingTheSeparatorAreWrittenAsTheyAre) {
  Sandbox sandbox;
  WriteFile(sandbox.banners() / "lettera.rtf", kTemplate);
  sandbox.AddLinks("B12.html", {"#DOCUMENT?lettera.rtf"});
  const RunResult run = sandbox.Run(std::string(kSessionStart) +
                                    "StartPrescription\n"
                                    "Patient.Name = \"Ro??ssi \" & Chr(232)\n"
                                    "Doctor.Name = \"??MEDICO??\"\n"
                                    "Doctor.Stamp = \"??PAZIENTE??\"\n"
                                    "Field \"NOTE\", \"x??NOTE??y\"\n"
                                    "Field \"ALTRO\", \"??\"\n"
                                    "Field \"SE\", \"?\"\n"
                                    "Click \"#DOCUMENT?lettera.rtf\"\n"
                                    "Echo \"document \" & IniRead(\"B12\", \"DOCUMENT\")\n"
                                    "Echo \"end\"\n");
  ExpectEndedNormally(run);
  EXPECT_TRUE(LinesWithWord(run, "msgbox").empty()) << Describe(run);
  EXPECT_NE(FindLine(run, "echo", "document 1"), -1) << Describe(run);

  const fs::path document = sandbox.tempFolder() / kDocumentName;
  const auto opened = LinesWithWord(run, "shell");
  ASSERT_EQ(opened.size(), 1u) << Describe(run);
  EXPECT_EQ(opened[0].fields, std::vector<std::string>{document.string()});
  EXPECT_EQ(ReadFile(document), kFilled);
  for (const char* asked : {"NOTE", "ALTRO", "SE"}) {
    const auto events = LinesWithWord(run, "event");
    EXPECT_TRUE(std::any_of(events.begin(), events.end(), [asked](const OutputLine& line) {
      return line.fields.size() == 2 && line.fields[0] == "OnRequiredField" && line.fields[1] == asked;
    })) << asked << "\n" << Describe(run);
  }

  // Nothing but the document joins the banners handed to the session.
  std::set<std::string> expected = FilesUnder(sandbox.banners());
  expected.insert("TEMP/");
  expected.insert(std::string("TEMP/") + kDocumentName);
  EXPECT_EQ(FilesUnder(sandbox.bannerFolder()), expected);
  EXPECT_EQ(ReadFile(sandbox.bannerFolder() / "lettera.rtf"), kTemplate);
  ExpectWritesOnlyOwnedPlaces(sandbox);
}

}  // namespace
}  // namespace brevalcore::reliability
