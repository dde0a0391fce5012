// Settings files with hostile values where the control keeps its counters and dates: the
// values are read as designed (a counter by its leading number, a stored date only when it
// is one), and values no rule gives a meaning to end, at worst, in the designed report.
#include "tests/reliability/expected.h"

namespace brevalcore::reliability {
namespace {

constexpr char kToday[] = "06/12/2026 00:00:00";

struct ContentCase {
  const char* label;
  std::string bvc;     // lines of section [BVC]
  std::string banner;  // lines of section [B12]
  // Expected after the start of one prescription; an empty text is not checked, and then
  // the designed failure report is allowed too.
  std::string chosen;  // "B12": the sample rules chose it; "other": they chose anything else
  std::string show;    // B12's SHOW counter
  std::string count;   // PrescriptionsCount
};

const ContentCase kCases[] = {
    {"counter with text after its number", "", "SHOW=41abc\r\n", "B12", "42", "0"},
    {"counter with leading spaces", "", "SHOW=   7\r\n", "B12", "8", "0"},
    {"counter without a number", "", "SHOW=abc\r\n", "B12", "1", "0"},
    {"negative counter", "", "SHOW=-5\r\n", "B12", "-4", "0"},
    {"hexadecimal counter", "", "SHOW=&H10\r\n", "", "", ""},
    {"counter cut by a NUL byte", "", std::string("SHOW=4\0junk\r\n", 12), "B12", "5", "0"},
    {"counter beyond any integer", "", "SHOW=1e308\r\n", "", "", ""},
    {"counter at the largest long", "", "SHOW=2147483647\r\n", "", "", ""},
    {"counter of 400 digits", "", "SHOW=" + std::string(400, '9') + "\r\n", "", "", ""},
    // A count of today that is no number reads as 0, so this start is the second of the day.
    {"count of today without a number", std::string("PrescriptionsCount=abc\r\nDate=") + kToday + "\r\n", "", "other",
     "", "1"},
    {"count of today beyond 32 bits", std::string("PrescriptionsCount=99999999999999999999\r\nDate=") + kToday + "\r\n",
     "", "", "", ""},
    // A date that is none counts as long ago: the day starts again.
    {"impossible date", "PrescriptionsCount=5\r\nDate=31/02/2026\r\n", "", "B12", "1", "0"},
    {"date of bytes", "PrescriptionsCount=5\r\nDate=\xFF\xFE\x80\x01\r\n", "", "B12", "1", "0"},
    {"date far in the future", "PrescriptionsCount=5\r\nDate=31/12/9999 23:59:59\r\n", "", "B12", "1", "0"},
    {"offline setting of odd bytes", "Offline=1\xFF\r\n", "", "B12", "1", "0"},
};

TEST(HostileSettingsValues, AreReadAsDesigned) {
  for (const ContentCase& c : kCases) {
    SCOPED_TRACE(c.label);
    Sandbox sandbox;
    WriteFile(sandbox.iniFile(kDoctor), "[BVC]\r\n" + c.bvc + "[B12]\r\n" + c.banner);
    const RunResult run = sandbox.Run(std::string(kSessionStart) +
                                      "StartPrescription\n"
                                      "Echo \"banner \" & context.Banner\n"
                                      "Echo \"show \" & IniRead(\"B12\", \"SHOW\")\n"
                                      "Echo \"count \" & IniRead(\"BVC\", \"PrescriptionsCount\")\n"
                                      "Echo \"end\"\n");
    ExpectEndedNormally(run);
    ExpectWritesOnlyOwnedPlaces(sandbox);
    const auto boxes = LinesWithWord(run, "msgbox");
    if (!c.show.empty() || !c.count.empty()) {
      EXPECT_TRUE(boxes.empty()) << Describe(run);
      EXPECT_EQ(FindLine(run, "echo", "banner B12") != -1, c.chosen == "B12") << Describe(run);
    } else {
      for (const OutputLine& box : boxes)
        EXPECT_TRUE(box.fields.size() == 3 && IsReport(box.fields[2], "OnStartPrescription")) << Describe(run);
    }
    if (!c.show.empty()) {
      EXPECT_NE(FindLine(run, "echo", "show " + c.show), -1) << Describe(run);
    }
    if (!c.count.empty()) {
      EXPECT_NE(FindLine(run, "echo", "count " + c.count), -1) << Describe(run);
    }
  }
}

}  // namespace
}  // namespace brevalcore::reliability
