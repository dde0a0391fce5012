// Banner folders another user of the machine has prepared: links to the doctor's files under
// the names of package files, a TEMP folder that is a link, FIFOs, a banner folder that is
// itself a link, a FIFO in the library's place. The control's start-up and its commands never
// read, write or delete through a link, never wait on a FIFO, report what they refuse with the
// designed message, and stay usable; every file outside the control's folders is as it was.
#include <sys/stat.h>

#include <functional>

#include "tests/reliability/expected.h"
#include "tests/reliability/package_library.h"

namespace brevalcore::reliability {
namespace {

// The doctor's own files, which nothing may change.
fs::path Private(const Sandbox& sandbox) { return sandbox.root() / "home" / "private"; }

struct FolderCase {
  const char* label;
  std::function<void(const Sandbox&)> plant;
  std::string report;  // a part of the one message box expected, or empty for none
  bool bannersStayOn;
  size_t clicks;       // presses that end with OnClick (a document that cannot be written ends its press)
};

const std::string kSession = std::string(kSessionStart) +
                             "Echo \"start \" & StartPrescription\n"
                             "Echo \"banner \" & context.Banner\n"
                             // With banners off the page is blank and holds nothing to press.
                             "On Error Resume Next\n"
                             "Click \"#DOCUMENT?lettera.rtf\"\n"
                             "Click \"#VOLUNTAS?ancora\"\n"
                             "On Error GoTo 0\n"
                             "Echo \"banners \" & Application.EnableBanners\n"
                             "Echo \"end\"\n";

void PlantLink(const fs::path& target, const fs::path& link) {
  fs::create_directories(link.parent_path());
  fs::create_symlink(target, link);
}

void PlantFifo(const fs::path& path) {
  fs::create_directories(path.parent_path());
  ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0) << path;
}

std::vector<FolderCase> Cases() {
  return {
      {"package pages planted as links to the doctor's files",
       [](const Sandbox& s) {
         PlantLink(Private(s) / "agenda.txt", s.bannerFolder() / "B12.html");
         PlantLink(Private(s) / "agenda.txt", s.bannerFolder() / "banner.script");
         PlantLink(Private(s), s.bannerFolder() / "offline.html");
       },
       "", true, 2},
      {"a TEMP folder that is a link, replaced by the unpacking",
       [](const Sandbox& s) { PlantLink(Private(s), s.bannerFolder() / "TEMP"); }, "", true, 2},
      {"a TEMP folder that is a link, in an up-to-date banner folder",
       [](const Sandbox& s) {
         fs::create_directories(s.bannerFolder());
         for (const std::string& file : SampleFiles(s.banners())) fs::copy_file(s.banners() / file, s.bannerFolder() / file);
         WriteFile(s.bannerFolder() / kPackageMarker, "marker");
         PlantLink(Private(s), s.bannerFolder() / "TEMP");
       },
       "", true, 1},
      {"FIFOs under package names and others",
       [](const Sandbox& s) {
         PlantFifo(s.bannerFolder() / "B12.html");
         PlantFifo(s.bannerFolder() / "lettera.rtf");
         PlantFifo(s.bannerFolder() / "coda");
         PlantFifo(s.bannerFolder() / "TEMP" / "~D1_20261206093000_x.rtf");
       },
       "", true, 2},
      {"a banner folder that is a link",
       [](const Sandbox& s) { PlantLink(Private(s), s.bannerFolder()); },
       "Path/File access error: the banner folder \"", false, 0},
      {"a FIFO in the library's place",
       [](const Sandbox& s) {
         fs::remove(s.controlDir() / "BVCRES.DLL");
         PlantFifo(s.controlDir() / "BVCRES.DLL");
       },
       "non trovato", false, 0},
  };
}

TEST(HostileFolders, NothingIsFollowedWaitedOnOrWrittenThrough) {
  for (const FolderCase& c : Cases()) {
    SCOPED_TRACE(c.label);
    Sandbox sandbox;
    sandbox.KeepBannerFolderAsPlanted();
    fs::create_directories(Private(sandbox));
    WriteFile(Private(sandbox) / "agenda.txt", "appuntamenti del dottore");
    WriteFile(Private(sandbox) / "~D1_20261206093000_lettera.rtf", "una lettera del dottore");
    sandbox.AddLinks("B12.html", {"#DOCUMENT?lettera.rtf", "#VOLUNTAS?ancora"});
    InstallLibrary(sandbox, PackageLibrary(SampleEntries(sandbox.banners())));
    c.plant(sandbox);

    const RunResult run = sandbox.Run(kSession, RunLimits{std::chrono::seconds(60)});
    ExpectEndedNormally(run);
    ExpectWritesOnlyOwnedPlaces(sandbox);
    EXPECT_EQ(ReadFile(Private(sandbox) / "agenda.txt"), "appuntamenti del dottore");
    EXPECT_EQ(ReadFile(Private(sandbox) / "~D1_20261206093000_lettera.rtf"), "una lettera del dottore");

    const auto boxes = LinesWithWord(run, "msgbox");
    if (c.report.empty()) {
      EXPECT_TRUE(boxes.empty()) << Describe(run);
    } else {
      ASSERT_EQ(boxes.size(), 1u) << Describe(run);
      EXPECT_NE(boxes[0].fields.at(2).find(c.report), std::string::npos) << Describe(run);
    }
    if (c.bannersStayOn) {
      EXPECT_NE(FindLine(run, "echo", "banner B12"), -1) << Describe(run);
      EXPECT_NE(FindLine(run, "echo", "banners Vero"), -1) << Describe(run);
      // The package replaced what was planted under its names.
      for (const char* name : {"B12.html", "banner.script", "offline.html", "lettera.rtf"})
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(sandbox.bannerFolder() / name))) << name;
      // Usable to the end: the presses after a refusal still end with OnClick.
      size_t clicks = 0;
      for (const OutputLine& line : LinesWithWord(run, "event")) clicks += line.fields.at(0) == "OnClick";
      EXPECT_EQ(clicks, c.clicks) << Describe(run);
    } else {
      EXPECT_NE(FindLine(run, "echo", "start Vero"), -1) << Describe(run);
      EXPECT_NE(FindLine(run, "echo", "banners Falso"), -1) << Describe(run);
    }
  }
}

}  // namespace
}  // namespace brevalcore::reliability
