// Resource libraries whose file names try to leave the banner folder, are empty, too long,
// reserved on the platform, full of control characters or clash with another name but for
// case. The tool that makes packages refuses such names, so the library is written here entry
// by entry. A bad package is refused whole before the banner folder changes, with the designed
// report naming the entry; the banner folder keeps what it held; nothing lands outside it.
#include <cstring>
#include <set>

#include "tests/reliability/expected.h"
#include "tests/reliability/package_library.h"

namespace brevalcore::reliability {
namespace {

constexpr char kAfter[] = "dopo.html";
constexpr char kHostileBytes[] = "contenuto del nome ostile";

enum class Outcome {
  kWritten,  // the file is written inside the banner folder, the update goes on to the end
  kRefused,  // the update stops with its report; no marker; the first script run switches banners off
  kEnds,     // an empty name ends the package: later files are not written, the marker is
};

struct NameCase {
  const char* label;
  std::u16string name;
  Outcome outcome;
  std::string detail;  // kWritten: the file name on disk; kRefused: what the report says of the entry
};

const std::u16string kLongAscii = std::u16string(296, u'n') + u".txt";
const std::u16string kLongAccented = std::u16string(300, u'\u00E8');

const NameCase kCases[] = {
    {"parent folders, Windows separators", u"..\\..\\evil.txt", Outcome::kRefused,
     "package file \"..\\..\\evil.txt\" (string 39) has a folder part"},
    {"absolute", u"/etc/x", Outcome::kRefused, "\"/etc/x\" (string 39) has a folder part"},
    {"folder, then back out twice", u"sub\\..\\..\\y", Outcome::kRefused, "has a folder part"},
    {"parent folder alone", u"..", Outcome::kRefused, "\"..\" (string 39) is \".\" or \"..\""},
    {"parent folders, Linux separators", u"../../evil.txt", Outcome::kRefused, "has a folder part"},
    {"folder part that does not exist", u"manca\\x.html", Outcome::kRefused, "has a folder part"},
    {"name of 255 accented letters, longer than the system allows", kLongAccented, Outcome::kRefused,
     "is longer than the 255 bytes a file name may have"},
    {"reserved device name", u"CON", Outcome::kRefused, "\"CON\" (string 39) is a device name the platform reserves"},
    {"control characters", u"a\x01" u"b\tc\r\n.html", Outcome::kRefused,
     "\"a\\x01b\\x09c\\r\\n.html\" (string 39) holds the control character U+0001"},
    {"a page of the package but for case", u"b12.HTML", Outcome::kRefused,
     "\"b12.HTML\" (string 39) differs only by case from \"B12.html\""},
    {"the marker's name", u"2.0.1.6.bvc", Outcome::kRefused, "is named like a package marker"},
    {"the TEMP folder's name", u"temp", Outcome::kRefused, "is the name of the banner folder's TEMP folder"},
    {"300 characters", kLongAscii, Outcome::kWritten, std::string(255, 'n')},
    {"empty", u"", Outcome::kEnds, ""},
};

std::set<std::string> Listing(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.insert(entry.path().filename().string() + (entry.is_directory() ? "/" : ""));
  return names;
}

TEST(HostilePackageNames, AreRefusedBeforeTheBannerFolderChanges) {
  for (const NameCase& c : kCases) {
    SCOPED_TRACE(c.label);
    Sandbox sandbox;
    std::vector<PackageEntry> entries = SampleEntries(sandbox.banners());
    ASSERT_EQ(entries.size(), 37u);  // the hostile entry is string 39
    entries.emplace_back(c.name, kHostileBytes);
    entries.emplace_back(u"dopo.html", "<html><body>dopo</body></html>");
    const std::vector<uint8_t> library = PackageLibrary(entries);
    InstallLibrary(sandbox, library);

    const RunResult run = sandbox.Run(std::string(kSessionStart) +
                                      "Echo \"start \" & StartPrescription\n"
                                      "Echo \"banner \" & context.Banner\n"
                                      "Echo \"banners \" & Application.EnableBanners\n"
                                      "Echo \"end\"\n");
    ExpectEndedNormally(run);
    ExpectWritesOnlyOwnedPlaces(sandbox);
    EXPECT_EQ(ReadFile(sandbox.controlDir() / "BVCRES.DLL").size(), library.size());

    // The session puts the sample banners in the folder before the control starts: that is
    // what a refused package must leave there.
    const std::vector<std::string> samples = SampleFiles(sandbox.banners());
    std::set<std::string> expected(samples.begin(), samples.end());
    const auto boxes = LinesWithWord(run, "msgbox");
    if (c.outcome == Outcome::kRefused) {
      ASSERT_EQ(boxes.size(), 1u) << Describe(run);
      ASSERT_EQ(boxes[0].fields.size(), 3u);
      EXPECT_EQ(boxes[0].fields[0], kCriticalStop);
      EXPECT_EQ(boxes[0].fields[1], kReportTitle);
      const std::string& text = boxes[0].fields[2];
      EXPECT_EQ(text.rfind(std::string(kUpdateReportPrefix) + "Bad file name or number: ", 0), 0u) << text;
      EXPECT_NE(text.find(c.detail), std::string::npos) << text;
      // No script was loaded: the first run ("AfterSelect", when the start closes the loading
      // mode of a visible control) fails and switches banners off without a report.
      EXPECT_NE(FindLine(run, "echo", "banners Falso"), -1) << Describe(run);
    } else {
      EXPECT_TRUE(boxes.empty()) << Describe(run);
      EXPECT_NE(FindLine(run, "echo", "banner B12"), -1) << Describe(run);
      expected.insert(kPackageMarker);
      expected.insert("TEMP/");
      if (c.outcome == Outcome::kWritten) {
        expected.insert(c.detail);
        expected.insert(kAfter);
        EXPECT_EQ(ReadFile(sandbox.bannerFolder() / c.detail), kHostileBytes);
      }
    }
    EXPECT_EQ(Listing(sandbox.bannerFolder()), expected);
  }
}

}  // namespace
}  // namespace brevalcore::reliability
