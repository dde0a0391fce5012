// Resource libraries whose file names try to leave the banner folder, are empty, too long,
// reserved on other systems or full of control characters. The tool that makes packages
// refuses such names, so the library is written here entry by entry. Whatever the name, no
// file lands outside the banner folder, and the update either writes the file inside it or
// ends with its designed report and no marker.
#include <algorithm>
#include <cstring>
#include <set>

#include "platform/pe/pe_writer.h"
#include "tests/reliability/expected.h"

namespace brevalcore::reliability {
namespace {

constexpr char16_t kVersion[] = u"2.0.1.5";
constexpr char kMarker[] = "2.0.1.5.BVC";
constexpr char kAfter[] = "dopo.html";
constexpr char kHostileBytes[] = "contenuto del nome ostile";
// A file name is read with a buffer of 256 characters: 255 at most reach the disk.
constexpr size_t kLongestName = 255;

enum class Outcome {
  kWritten,  // the file is written inside the banner folder, the update goes on to the end
  kRefused,  // the update stops with its report; no marker; the first script run switches banners off
  kEnds,     // an empty name ends the package: later files are not written, the marker is
};

struct NameCase {
  const char* label;
  std::u16string name;
  Outcome outcome;
  std::string written;  // the file name on disk for kWritten
};

const std::u16string kLongAscii = std::u16string(296, u'n') + u".txt";
const std::u16string kLongAccented = std::u16string(300, u'\u00E8');

const NameCase kCases[] = {
    {"parent folders, Windows separators", u"..\\..\\evil.txt", Outcome::kRefused, ""},
    {"absolute", u"/etc/x", Outcome::kRefused, ""},
    {"folder, then back out twice", u"sub\\..\\..\\y", Outcome::kRefused, ""},
    {"parent folder alone", u"..", Outcome::kRefused, ""},
    {"parent folders, Linux separators", u"../../evil.txt", Outcome::kRefused, ""},
    {"folder part that does not exist", u"manca\\x.html", Outcome::kRefused, ""},
    {"name of 255 accented letters, longer than the system allows", kLongAccented, Outcome::kRefused, ""},
    {"reserved device name elsewhere", u"CON", Outcome::kWritten, "CON"},
    {"300 characters", kLongAscii, Outcome::kWritten, std::string(kLongestName, 'n')},
    {"control characters", u"a\x01" u"b\tc\r\n.html", Outcome::kWritten, "a\x01" "b\tc\r\n.html"},
    {"empty", u"", Outcome::kEnds, ""},
};

// The sample package's file names, in the order the package holds them.
std::vector<std::string> SampleFiles(const fs::path& samples) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(samples))
    if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<uint8_t> Library(const std::u16string& hostileName, const fs::path& samples) {
  std::map<uint16_t, std::u16string> strings;
  std::vector<pe::ResourceItem> items;
  uint16_t number = 2;
  auto add = [&](const std::u16string& name, const std::string& bytes) {
    strings[number] = name;
    items.push_back({pe::ResourceId{0, u"BANNER"}, pe::ResourceId{number, {}}, pe::kLangNeutral,
                     std::vector<uint8_t>(bytes.begin(), bytes.end())});
    ++number;
  };
  for (const std::string& file : SampleFiles(samples)) add(std::u16string(file.begin(), file.end()), ReadFile(samples / file));
  add(hostileName, kHostileBytes);
  add(u"dopo.html", "<html><body>dopo</body></html>");
  for (pe::ResourceItem& block : pe::BuildStringTable(strings)) items.push_back(std::move(block));
  pe::VersionFields version;
  const uint16_t numbers[4] = {2, 0, 1, 5};
  std::copy(std::begin(numbers), std::end(numbers), version.fileVersion);
  std::copy(std::begin(numbers), std::end(numbers), version.productVersion);
  version.strings = {{u"FileVersion", kVersion}, {u"ProductVersion", kVersion}};
  items.push_back({pe::ResourceId{pe::kRtVersion, {}}, pe::ResourceId{1, {}}, pe::kLangNeutral,
                   pe::BuildVersionResource(version)});
  return pe::WriteResourceLibrary(items);
}

std::set<std::string> Listing(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.insert(entry.path().filename().string() + (entry.is_directory() ? "/" : ""));
  return names;
}

TEST(HostilePackageNames, NeverLeaveTheBannerFolder) {
  for (const NameCase& c : kCases) {
    SCOPED_TRACE(c.label);
    Sandbox sandbox;
    const std::vector<uint8_t> library = Library(c.name, sandbox.banners());
    WriteFile(sandbox.controlDir() / "BVCRES.DLL", std::string(library.begin(), library.end()));

    const RunResult run = sandbox.Run(std::string(kSessionStart) +
                                      "Echo \"start \" & StartPrescription\n"
                                      "Echo \"banner \" & context.Banner\n"
                                      "Echo \"banners \" & Application.EnableBanners\n"
                                      "Echo \"end\"\n");
    ExpectEndedNormally(run);
    ExpectWritesOnlyOwnedPlaces(sandbox);
    EXPECT_EQ(ReadFile(sandbox.controlDir() / "BVCRES.DLL").size(), library.size());

    const std::vector<std::string> samples = SampleFiles(sandbox.banners());
    std::set<std::string> expected(samples.begin(), samples.end());
    const auto boxes = LinesWithWord(run, "msgbox");
    if (c.outcome == Outcome::kRefused) {
      ASSERT_EQ(boxes.size(), 1u) << Describe(run);
      ASSERT_EQ(boxes[0].fields.size(), 3u);
      EXPECT_EQ(boxes[0].fields[0], kCriticalStop);
      EXPECT_EQ(boxes[0].fields[1], kReportTitle);
      const std::string& text = boxes[0].fields[2];
      EXPECT_EQ(text.compare(0, std::strlen(kUpdateReportPrefix), kUpdateReportPrefix), 0) << text;
      EXPECT_GT(text.size(), std::strlen(kUpdateReportPrefix)) << text;
      // No script was loaded: the first run ("AfterSelect", when the start closes the loading
      // mode of a visible control) fails and switches banners off without a report.
      EXPECT_NE(FindLine(run, "echo", "banners Falso"), -1) << Describe(run);
    } else {
      EXPECT_TRUE(boxes.empty()) << Describe(run);
      EXPECT_NE(FindLine(run, "echo", "banner B12"), -1) << Describe(run);
      expected.insert(kMarker);
      expected.insert("TEMP/");
      if (c.outcome == Outcome::kWritten) {
        expected.insert(c.written);
        expected.insert(kAfter);
        EXPECT_EQ(ReadFile(sandbox.bannerFolder() / c.written), kHostileBytes);
      }
    }
    EXPECT_EQ(Listing(sandbox.bannerFolder()), expected);
  }
}

}  // namespace
}  // namespace brevalcore::reliability
