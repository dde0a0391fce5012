// The `brevalcore ini` subcommand, run as a program.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "tests/storage/test_folder.h"

namespace brevalcore::storage {
namespace {

using testing::FileBytes;
using testing::TestFolder;
namespace fs = std::filesystem;

struct ToolRun {
  int status = -1;
  std::string out, err;
};

std::string Quote(const std::string& arg) {
  std::string q = "'";
  for (char c : arg) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

ToolRun Tool(const TestFolder& folder, const std::vector<std::string>& args) {
  std::string command = Quote(std::string(BREVALCORE_BIN_DIR) + "/brevalcore");
  for (const auto& a : args) command += " " + Quote(a);
  const std::string out = (folder / "stdout").string(), err = (folder / "stderr").string();
  command += " > " + Quote(out) + " 2> " + Quote(err) + " < /dev/null";
  ToolRun r;
  const int raw = std::system(command.c_str());
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = FileBytes(out);
  r.err = FileBytes(err);
  return r;
}

class IniTool : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(std::string(BREVALCORE_BIN_DIR) + "/brevalcore")) GTEST_SKIP() << "brevalcore not built";
  }
  TestFolder folder_{"tool"};
};

TEST_F(IniTool, ReadsPrintExactlyWhatCIniFileReturns) {
  const std::string file = (folder_ / "BVC_1.INI").string();
  struct Row {
    std::vector<std::string> args;
    std::string out;
  } rows[] = {
      {{"ini", "write", file, "B12", "SHOW", "3"}, ""},
      {{"ini", "write", file, "Caffè", "k", "sì"}, ""},
      {{"ini", "write-section", file, "AutoSubstitute", "a=1\r\nb=2"}, ""},
      {{"ini", "read", file, "b12", "show"}, "3\n"},
      {{"ini", "read", file, "Caffè", "K"}, "sì\n"},
      {{"ini", "read", file, "B12", "missing"}, "\n"},
      {{"ini", "section", file, "AutoSubstitute"}, "a=1\nb=2\n"},
      {{"ini", "sections", file}, "B12\nCaffè\nAutoSubstitute\n"},
      {{"ini", "sections", file + ".missing"}, ""},
  };
  for (const Row& r : rows) {
    const ToolRun run = Tool(folder_, r.args);
    EXPECT_EQ(run.status, 0) << r.args[1] << " " << run.err;
    EXPECT_EQ(run.out, r.out) << r.args[1];
    EXPECT_EQ(run.err, "");
  }
  EXPECT_EQ(FileBytes(file), "[B12]\r\nSHOW=3\r\n[Caff\xE8]\r\nk=s\xEC\r\n[AutoSubstitute]\r\na=1\r\nb=2\r\n");
}

TEST_F(IniTool, BadArgumentsNameWhatIsWrongWithStatusTwo) {
  const struct {
    std::vector<std::string> args;
    std::string err;
  } rows[] = {
      {{"ini"}, "brevalcore ini: a command is required; see 'brevalcore ini --help'\n"},
      {{"ini", "read", "f", "S"}, "brevalcore ini read: KEY is required; see 'brevalcore ini read --help'\n"},
      {{"ini", "write", "f", "S", "k"}, "brevalcore ini write: VALUE is required; see 'brevalcore ini write --help'\n"},
      {{"ini", "sections"}, "brevalcore ini sections: FILE is required; see 'brevalcore ini sections --help'\n"},
      {{"ini", "erase", "f"}, "brevalcore ini: unknown command erase; see 'brevalcore ini --help'\n"},
  };
  for (const auto& row : rows) {
    const ToolRun run = Tool(folder_, row.args);
    EXPECT_EQ(run.status, 2) << row.args.size();
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, row.err);
  }
  const ToolRun help = Tool(folder_, {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("  ini "), std::string::npos);
}

}  // namespace
}  // namespace brevalcore::storage
