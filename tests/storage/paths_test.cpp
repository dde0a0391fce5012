#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/ui/scripted_ui.h"
#include "storage/paths.h"
#include "tests/storage/test_folder.h"

namespace brevalcore::storage {
namespace {

using testing::TestFolder;
namespace fs = std::filesystem;

TEST(BuildPath, JoinsWithExactlyOneSeparatorRemovedPerSide) {
  struct Row {
    const char* first;
    const char* second;
    const char* joined;
  } rows[] = {
      {"/data/", "x.ini", "/data/x.ini"},
      {"/data", "/x.ini", "/data/x.ini"},
      {"/data", "x.ini", "/data/x.ini"},
      {"/data/", "/x.ini", "/data/x.ini"},
      {"/data//", "x", "/data//x"},            // only one trailing separator goes
      {"/data", "//x", "/data//x"},            // only one leading separator goes
      {"//server/share", "x", "//server/share/x"},
      {"", "x", "/x"},
      {"/data", "", "/data/"},
      {"", "", "/"},
  };
  for (const Row& r : rows) EXPECT_EQ(BuildPath(r.first, r.second), r.joined) << r.first << " + " << r.second;
}

TEST(FileNames, DoctorCodeIsUsedUnchanged) {
  struct Row {
    std::u16string code;
    const char* ini;
    const char* temp;
  } rows[] = {
      {u"123", "/ctl/BVC_123.INI", "/b/TEMP/~123_20261204090507_doc.rtf"},
      {u"", "/ctl/BVC_.INI", "/b/TEMP/~_20261204090507_doc.rtf"},
      {u" 7 ", "/ctl/BVC_ 7 .INI", "/b/TEMP/~ 7 _20261204090507_doc.rtf"},
      {u"Àb", "/ctl/BVC_Àb.INI", "/b/TEMP/~Àb_20261204090507_doc.rtf"},
  };
  const shell::FixedClock clock(shell::MakeDate({2026, 12, 4, 9, 5, 7}));
  for (const Row& r : rows) {
    EXPECT_EQ(GetIniFilePath("/ctl", r.code), r.ini);
    EXPECT_EQ(MakeTempFileName(u"doc.rtf", "/b", r.code, clock), r.temp);
  }
}

// Sets or clears environment variables for one test and puts them back afterwards.
class ScopedEnvironment {
 public:
  void Set(const char* name, const char* value) {
    const char* old = std::getenv(name);
    saved_.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
    if (value) ::setenv(name, value, 1);
    else ::unsetenv(name);
  }
  ~ScopedEnvironment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second) ::setenv(it->first.c_str(), it->second->c_str(), 1);
      else ::unsetenv(it->first.c_str());
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(DataFolder, FallsBackThroughTheEnvironment) {
  // An empty BREVALCORE_COMMON_APPDATA stands for a special folder that cannot be obtained.
  struct Row {
    const char* appdata;
    const char* tmp;
    const char* temp;
    const char* tmpdir;
    const char* bannerFolder;
  } rows[] = {
      {"/srv/common", "/t1", "/t2", "/t3", "/srv/common/Brevalcore"},
      {"", "/t1", "/t2", "/t3", "/t1/Brevalcore"},
      {"", "", "/d/T", "/t3", "/d/T/Brevalcore"},
      {"", nullptr, "/d/T", nullptr, "/d/T/Brevalcore"},
      {"", "", "", "/t3", "/t3/Brevalcore"},
      {"", nullptr, nullptr, nullptr, "/Brevalcore"},
  };
  for (const Row& r : rows) {
    ScopedEnvironment env;
    env.Set("BREVALCORE_COMMON_APPDATA", r.appdata);
    env.Set("tmp", r.tmp);
    env.Set("temp", r.temp);
    env.Set("TMPDIR", r.tmpdir);
    EXPECT_EQ(BuildPath(GetDataFolder(), "Brevalcore"), r.bannerFolder) << r.appdata << "|" << (r.tmp ? r.tmp : "-");
  }
  EXPECT_EQ(GetSpecialFolderPath(5), "");  // only the common application-data folder is mapped
}

TEST(TempFiles, ClearRemovesOnlyThisDoctorsFiles) {
  TestFolder banner("banner");
  const std::string folder = banner.path().string();
  CreateTempFolder(folder);
  CreateTempFolder(folder);  // already there: ignored
  const fs::path temp = GetTempFolder(folder);
  ASSERT_TRUE(fs::is_directory(temp));
  struct Row {
    const char* name;
    bool removed;
  } rows[] = {
      {"~123_20261204090507_doc.rtf", true},
      {"~123_noextension", true},          // "*.*" also matches a name without a dot
      {"~1234_20261204090507_doc.rtf", false},
      {"~12_20261204090507_doc.rtf", false},
      {"x~123_doc.rtf", false},
      {"~123.rtf", false},
  };
  for (const Row& r : rows) testing::PutFile(temp / r.name, "x");
  fs::create_directory(temp / "~123_folder.d");
  ClearTempFiles(folder, u"123");
  for (const Row& r : rows) EXPECT_EQ(!fs::exists(temp / r.name), r.removed) << r.name;
  EXPECT_TRUE(fs::exists(temp / "~123_folder.d"));
}

TEST(ShowMessage, UsesTheControlsTitleWhenNoneIsGiven) {
  ui::ScriptedUserInterface ui;
  ui.AnswerNext(u"No");
  EXPECT_EQ(ShowMessage(ui, u"Domanda?", ui::style::kYesNo | ui::style::kQuestion), ui::Button::No);
  EXPECT_EQ(ShowMessage(ui, u"Fatto", ui::style::kOkOnly, u"Titolo"), ui::Button::Ok);
  ASSERT_EQ(ui.shown().size(), 2u);
  EXPECT_EQ(ui.shown()[0].title, u"Info Controllo Utente");
  EXPECT_EQ(ui.shown()[0].text, u"Domanda?");
  EXPECT_EQ(ui.shown()[0].styleCode, ui::style::kYesNo | ui::style::kQuestion);
  EXPECT_EQ(ui.shown()[1].title, u"Titolo");
}

}  // namespace
}  // namespace brevalcore::storage
