// Rule scripts that never end, recurse without end or allocate without end: the engine stops
// the run, the control reports it naming the procedure that ran the script, banners go off,
// and the host's session goes on to its end.
#include <future>

#include "tests/reliability/expected.h"

namespace brevalcore::reliability {
namespace {

struct RunawayCase {
  const char* name;
  const char* procedure;  // the script procedure that runs away
  const char* body;
  const char* reported;   // the control procedure the report names
  uintmax_t addressSpace = 0;
};

// A run stopped by the engine's time-out takes that long; the bound leaves room for a slow
// (sanitised) build and a busy machine.
constexpr std::chrono::seconds kBound{90};

const RunawayCase kCases[] = {
    {"endless Do loop at start", "StartPrescription", "  Dim n\n  Do\n    n = n + 1\n  Loop\n", "OnStartPrescription"},
    {"endless While loop calling the rule objects", "BeforeInitialize",
     "  While True\n    If DoctorRegionIs(\"999\") Then Exit Sub\n  Wend\n", "Init"},
    {"runaway recursion at start", "StartPrescription", "  StartPrescription\n", "OnStartPrescription"},
    {"runaway recursion of a function", "BeforeInitialize", "  Dim x\n  x = Deep(1)\n", "Init"},
    {"string doubling without end", "StartPrescription", "  Dim s\n  s = \"x\"\n  Do\n    s = s & s\n  Loop\n",
     "OnStartPrescription"},
};

std::string RuleScript(const RunawayCase& c) {
  std::string script = "Function Deep(n)\n  Deep = Deep(n + 1) + 1\nEnd Function\n";
  for (const char* name : {"BeforeInitialize", "StartPrescription", "BeforeSelect", "AfterSelect"}) {
    script += std::string("Sub ") + name + "\n";
    if (std::string(name) == c.procedure) script += c.body;
    else if (std::string(name) == "BeforeInitialize") script += "  DefaultEmptyPage = \"https://servizi.example/home\"\n";
    else if (std::string(name) == "StartPrescription") script += "  ShowBanner \"B12\"\n";
    script += "End Sub\n";
  }
  return script;
}

// A few work-flow steps after the failure: enough to show that banners stay off and that
// the session, which waited out the rule script's time-out, goes on to its end.
std::string Session() {
  return std::string(kSessionStart) +
         "Echo \"banners \" & Application.EnableBanners\n"
         "Echo \"start \" & StartPrescription\n"
         "Echo \"banners \" & Application.EnableBanners\n"
         "PrescribingDrug \"012345678\", \"C\", True, \"Oseltamivir\", 12.5\n"
         "ClearPrescription\n"
         "Echo \"banner [\" & context.Banner & \"]\"\n"
         "Echo \"end\"\n";
}

TEST(RunawayScripts, AreStoppedReportedAndSwitchBannersOff) {
  // The sessions that wait for the time-out run side by side.
  std::vector<std::unique_ptr<Sandbox>> sandboxes;
  std::vector<std::future<RunResult>> runs;
  std::vector<const RunawayCase*> cases;
  for (const RunawayCase& c : kCases) {
    auto sandbox = std::make_unique<Sandbox>();
    WriteFile(sandbox->banners() / "banner.script", RuleScript(c));
    Sandbox* box = sandbox.get();
    const RunLimits limits{kBound, c.addressSpace};
    runs.push_back(std::async(std::launch::async, [box, limits] { return box->Run(Session(), limits); }));
    sandboxes.push_back(std::move(sandbox));
    cases.push_back(&c);
  }
  for (size_t i = 0; i < runs.size(); ++i) {
    const RunawayCase& c = *cases[i];
    SCOPED_TRACE(c.name);
    const RunResult run = runs[i].get();
    ExpectEndedNormally(run);

    const auto boxes = LinesWithWord(run, "msgbox");
    ASSERT_EQ(boxes.size(), 1u) << Describe(run);
    ASSERT_EQ(boxes[0].fields.size(), 3u);
    EXPECT_EQ(boxes[0].fields[0], kOkOnly);
    EXPECT_EQ(boxes[0].fields[1], kReportTitle);
    EXPECT_TRUE(IsReport(boxes[0].fields[2], c.reported)) << boxes[0].fields[2];

    // Banners are off from the failure on: nothing is navigated, no banner is chosen, and the
    // later work-flow calls return their normal results without running the script.
    const int report = FindLine(run, "msgbox", kOkOnly);
    const int on = FindLine(run, "echo", "banners Vero");
    if (std::string(c.reported) == "Init") {
      EXPECT_EQ(on, -1) << Describe(run);
    } else {
      EXPECT_TRUE(on != -1 && on < report) << Describe(run);
    }
    EXPECT_NE(FindLine(run, "echo", "start Vero"), -1) << Describe(run);
    const int off = FindLine(run, "echo", "banners Falso");
    ASSERT_NE(off, -1) << Describe(run);
    EXPECT_GT(off, report) << Describe(run);
    for (size_t line = static_cast<size_t>(report); line < run.lines.size(); ++line)
      EXPECT_NE(run.lines[line].rfind("navigate ", 0), 0u) << run.lines[line];
    EXPECT_NE(FindLine(run, "echo", "banner []"), -1) << Describe(run);
    EXPECT_TRUE(LinesWithWord(run, "trace").empty()) << Describe(run);

    ExpectWritesOnlyOwnedPlaces(*sandboxes[i]);
  }
}

}  // namespace
}  // namespace brevalcore::reliability
