// The files of the banner folder as the control finds them: whatever the case of their names,
// as on the platform, and never through a link or a FIFO. What cannot be used is reported
// naming it, banners go off, and nothing outside the folder is read or changed.
#include <sys/stat.h>

#include "tests/control/control_fixture.h"

namespace brevalcore::control::testing {
namespace {

TEST_F(ControlTest, PackageFilesAreFoundWhateverTheCaseOfTheirNames) {
  fs::rename(bannerFolder_ / "banner.script", bannerFolder_ / "Banner.SCRIPT");
  fs::rename(bannerFolder_ / "offline.html", bannerFolder_ / "OFFLINE.html");
  fs::rename(bannerFolder_ / "B12.html", bannerFolder_ / "b12.HTML");
  ChooseBanner("StartPrescription", u"B12?x=1");

  ASSERT_TRUE(Start());
  EXPECT_TRUE(MessageTexts().empty());
  EXPECT_EQ(ToUtf8(Control().OfflinePage()), Url("OFFLINE.html"));
  EXPECT_TRUE(Control().StartPrescription());
  EXPECT_TRUE(Control().Application()->EnableBanners());
  EXPECT_EQ(Navigations().back(), Url("b12.HTML") + "?x=1");
}

// Each start-up file that cannot be used ends the start with one report naming Init and the
// file, and switches banners off; the doctor's files outside stay as they were.
TEST_F(ControlTest, StartUpFilesThatCannotBeUsedAreReportedNamingThem) {
  const fs::path outside = root_ / "outside";
  fs::create_directories(outside);
  std::ofstream(outside / "private.txt") << "Sub BeforeInitialize\nEnd Sub\n";
  struct Row {
    const char* name;
    std::function<void()> plant;
    std::string report;  // the text between "Error " and ") in procedure Init"
  };
  const std::string folder = bannerFolder_.string();
  const std::vector<Row> rows = {
      {"two scripts differing by case", [&] { WriteBannerFile("BANNER.script", kFullScript); },
       "52 (Bad file name or number: in \"" + folder +
           "\", \"BANNER.script\" and \"banner.script\" differ only by case"},
      {"script is a link out of the folder",
       [&] {
         fs::remove(bannerFolder_ / "banner.script");
         fs::create_symlink(outside / "private.txt", bannerFolder_ / "banner.script");
       },
       "75 (Path/File access error: \"" + folder + "/banner.script\" is a symbolic link, not a plain file"},
      {"script is a FIFO",
       [&] {
         fs::remove(bannerFolder_ / "banner.script");
         ::mkfifo((bannerFolder_ / "banner.script").c_str(), 0644);
       },
       "75 (Path/File access error: \"" + folder + "/banner.script\" is not a plain file"},
      {"offline page is a link",
       [&] {
         fs::remove(bannerFolder_ / "offline.html");
         fs::create_symlink(outside / "private.txt", bannerFolder_ / "offline.html");
       },
       "75 (Path/File access error: \"" + folder + "/offline.html\" is a symbolic link, not a plain file"},
      {"banner folder is a link",
       [&] {
         fs::rename(bannerFolder_, root_ / "data" / "real");
         fs::create_symlink(root_ / "data" / "real", bannerFolder_);
       },
       "75 (Path/File access error: the folder \"" + folder + "\" is a symbolic link"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    control_.reset();
    ui_ = ui::ScriptedUserInterface();
    fs::remove_all(bannerFolder_);
    fs::remove_all(root_ / "data" / "real");
    fs::create_directories(bannerFolder_);
    WriteBannerFile("banner.script", kFullScript);
    WriteBannerFile("offline.html", "offline");
    row.plant();

    EXPECT_TRUE(Start());
    EXPECT_FALSE(Control().Application()->EnableBanners());
    EXPECT_EQ(MessageTexts(),
              std::vector<std::string>{"Error " + row.report + ") in procedure Init of Controllo utente"});
    EXPECT_EQ(std::distance(fs::directory_iterator(outside), fs::directory_iterator()), 1);
    std::ifstream in(outside / "private.txt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "Sub BeforeInitialize\nEnd Sub\n");
  }
}

// A banner whose page cannot be shown stops the run with the runner's report naming the page;
// the web view never goes there.
TEST_F(ControlTest, BannerPagesThatCannotBeShownAreReported) {
  const fs::path outside = root_ / "outside";
  fs::create_directories(outside);
  std::ofstream(outside / "private.html") << "private";
  WriteBannerFile("Doppio.html", "1");
  WriteBannerFile("doppio.html", "2");
  fs::create_symlink(outside / "private.html", bannerFolder_ / "linkato.html");
  const std::string folder = bannerFolder_.string();
  struct Row {
    const char16_t* banner;
    std::string report;
  } rows[] = {
      {u"../outside/private",
       "52 (Bad file name or number: the page \"../outside/private.html\" has a folder part; files go straight "
       "into the folder"},
      {u"..\\outside\\private", "52 (Bad file name or number: the page \"..\\outside\\private.html\" has a folder part; files go "
       "straight into the folder"},
      {u".nascosto", "52 (Bad file name or number: the page \".nascosto.html\" begins with a dot, so it is a hidden file"},
      {u"DOPPIO", "52 (Bad file name or number: in \"" + folder +
                      "\", \"Doppio.html\" and \"doppio.html\" differ only by case"},
      {u"linkato", "75 (Path/File access error: \"" + folder + "/linkato.html\" is a symbolic link, not a plain file"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(ToUtf8(row.banner));
    control_.reset();
    ui_ = ui::ScriptedUserInterface();
    ChooseBanner("StartPrescription", row.banner);
    ASSERT_TRUE(Start());
    EXPECT_TRUE(Control().StartPrescription());
    EXPECT_FALSE(Control().Application()->EnableBanners());
    ASSERT_EQ(MessageTexts().size(), 1u);
    EXPECT_EQ(MessageTexts()[0], "Error " + row.report + ") in procedure OnStartPrescription of Controllo utente");
    for (const std::string& url : Navigations()) EXPECT_NE(url.rfind("file://", 0), 0u) << url;
  }
}

}  // namespace
}  // namespace brevalcore::control::testing
