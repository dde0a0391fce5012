#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "commands/procedures.h"
#include "fake_host.h"
#include "platform/shell/wscript_shell.h"

namespace brevalcore::commands {
namespace {

using testing::FakeHost;
using testing::U16;

class Shortcuts : public ::testing::Test {
 protected:
  void SetUp() override {
    desktop_ = std::filesystem::temp_directory_path() / ("desktop_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(desktop_);
    ::setenv("XDG_DESKTOP_DIR", desktop_.c_str(), 1);
    shell::RegisterWScriptShell(host_.factories);
  }
  void TearDown() override {
    ::unsetenv("XDG_DESKTOP_DIR");
    std::filesystem::remove_all(desktop_);
  }
  std::string Read(const std::string& name) {
    std::ifstream in(desktop_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::filesystem::path desktop_;
  FakeHost host_;
};

TEST_F(Shortcuts, KindDecidesTheFileAndItsContent) {
  struct Row { const char* title; int kind; bool ok; const char* file; };
  const Row rows[] = {
      {"Agenda", 1, true, "Agenda.url"},
      {"Agenda", 0, true, "Agenda.lnk"},
      {"Agenda", 2, false, nullptr},
      {"Agenda", -1, false, nullptr},
      {"no/such/folder", 1, false, nullptr},
      {"\\Agenda bis", 1, true, "Agenda bis.url"},  // BuildPath drops one leading separator
      {"../fuori", 1, false, nullptr},
      {"..\\fuori", 1, false, nullptr},
      {"/tmp/fuori", 1, false, nullptr},
      {"..", 1, true, "...url"},  // one name, inside the desktop folder
      {"CON", 1, false, nullptr},
      {"Agenda\r\n", 0, false, nullptr},
      {"Agenda:2", 1, false, nullptr},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(CreateDesktopShortcut(host_, U16(row.title), u"http://example.org/a", row.kind), row.ok) << row.title;
    if (row.file) {
      EXPECT_TRUE(std::filesystem::exists(desktop_ / row.file)) << row.file;
    }
  }
  EXPECT_EQ(Read("Agenda.url"), "[InternetShortcut]\r\nURL=http://example.org/a\r\n");
  EXPECT_FALSE(std::filesystem::exists(desktop_.parent_path() / "fuori.url"));
  EXPECT_FALSE(std::filesystem::exists("/tmp/fuori.url"));
  const std::string lnk = Read("Agenda.lnk");
  ASSERT_GE(lnk.size(), 0x4Cu + 4);
  EXPECT_EQ(lnk.substr(0, 4), std::string("\x4C\0\0\0", 4));
  EXPECT_EQ(lnk.substr(4, 4), std::string("\x01\x14\x02\0", 4));  // the shell-link class id
  // LinkInfo follows the header; its size field covers up to the terminal block
  const auto u32 = [&](size_t at) {
    return uint32_t(uint8_t(lnk[at])) | uint32_t(uint8_t(lnk[at + 1])) << 8 | uint32_t(uint8_t(lnk[at + 2])) << 16 |
           uint32_t(uint8_t(lnk[at + 3])) << 24;
  };
  const uint32_t linkInfoSize = u32(0x4C);
  EXPECT_EQ(0x4C + linkInfoSize + 4, lnk.size());
  const uint32_t basePath = u32(0x4C + 16);
  EXPECT_EQ(std::string(lnk.c_str() + 0x4C + basePath), "http://example.org/a");
}

// A link planted under the shortcut's name is replaced, never written through.
TEST_F(Shortcuts, SaveReplacesALinkAtTheShortcutsName) {
  const std::filesystem::path target = desktop_.string() + "_target";
  std::ofstream(target) << "private";
  std::filesystem::create_symlink(target, desktop_ / "Agenda.url");
  EXPECT_TRUE(CreateDesktopShortcut(host_, u"Agenda", u"http://example.org/a", 1));
  EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(desktop_ / "Agenda.url")));
  EXPECT_EQ(Read("Agenda.url"), "[InternetShortcut]\r\nURL=http://example.org/a\r\n");
  std::ifstream in(target);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "private");
  std::filesystem::remove(target);
}

TEST_F(Shortcuts, NoShellObjectGivesFalse) {
  host_.factories.Unregister(shell::WScriptShellProgId());
  EXPECT_FALSE(CreateDesktopShortcut(host_, u"Agenda", u"http://x", 1));
}

TEST_F(Shortcuts, SaveLinkCreatesTheShortcutAndConfirmsIt) {
  host_.ClickAnchor("#SAVELINK?http://example.org/|", "  Agenda  ");  // no title: the element text
  EXPECT_TRUE(std::filesystem::exists(desktop_ / "Agenda.url"));
  ASSERT_EQ(host_.ui.shown().size(), 1u);
  EXPECT_EQ(host_.ui.shown()[0].kind, u"ShortcutForm");
  EXPECT_EQ(host_.ui.shown()[0].title, u" Collegamento a Agenda");
  EXPECT_EQ(host_.log, (std::vector<std::string>{"count SAVELINK", "trace SAVELINK http://example.org/", "OnClick 1"}));
}

}  // namespace
}  // namespace brevalcore::commands
