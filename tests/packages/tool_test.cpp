// The brevalcore pack, info and unpack subcommands on a small folder. Skipped when the tool
// has not been built in this tree.
#include <sys/wait.h>

#include <cstdio>

#include <gtest/gtest.h>

#include "tests/packages/package_test_support.h"

namespace brevalcore::packages {
namespace {

using namespace testing;

const fs::path kTool = fs::path(BREVALCORE_BIN_DIR) / "brevalcore";

struct ToolRun {
  int status;
  std::string out;
};

ToolRun Tool(const std::string& arguments) {
  FILE* pipe = ::popen(("'" + kTool.string() + "' " + arguments + " 2>&1").c_str(), "r");
  std::string out;
  char chunk[4096];
  while (size_t n = std::fread(chunk, 1, sizeof chunk, pipe)) out.append(chunk, n);
  const int status = ::pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

TEST(Tool, PackInfoUnpack) {
  if (!fs::exists(kTool)) GTEST_SKIP() << "brevalcore not built";
  ScratchFolder scratch;
  fs::create_directories(scratch / "src" / "img");
  WriteFile(scratch / "src" / "index.html", "<html></html>");
  WriteFile(scratch / "src" / "img" / "logo.gif", "GIF89a");
  const std::string src = "'" + (scratch / "src").string() + "'";
  const std::string dll = "'" + (scratch / "BVCRES.DLL").string() + "'";
  const std::string out = "'" + (scratch / "out").string() + "'";

  const struct { std::string arguments; int status; std::string contains; } rows[] = {
      {"pack " + src + " -o " + dll, 2, "--version"},
      {"pack " + src + " --version 2.0 -o " + dll, 2, "four numbers"},
      {"pack " + src + " --version 2.0.1.5 -o " + dll, 1, "img:0:0: error: a subfolder"},
      {"pack " + src + " --version 2.0.1.5 -o " + dll + " --force", 0, "2 files"},
      {"info " + dll, 0, "version: 2.0.1.5\n"},
      {"info " + dll, 0, "     2          6  img\\logo.gif\n"},
      // The platform never makes subfolders: the package is refused whole, naming the entry.
      {"unpack " + dll + " " + out, 1, "is not empty (it holds "},
      {"unpack " + dll + " " + out + " --force", 1,
       "Bad file name or number: package file \"img\\logo.gif\" (string 2) has a folder part; files go straight "
       "into the folder; nothing changed"},
      {"info '" + (scratch / "src" / "index.html").string() + "'", 2, "not a banner package: The LoadLibrary API failed"},
  };
  fs::create_directories(scratch / "out" / "img");
  WriteFile(scratch / "out" / "keep.txt", "keep");
  for (const auto& row : rows) {
    const ToolRun run = Tool(row.arguments);
    EXPECT_EQ(run.status, row.status) << row.arguments << "\n" << run.out;
    EXPECT_NE(run.out.find(row.contains), std::string::npos) << row.arguments << "\n" << run.out;
  }
  EXPECT_EQ(Listing(scratch / "out"), (std::set<std::string>{"img/", "keep.txt"}));

  fs::remove_all(scratch / "src" / "img");
  EXPECT_EQ(Tool("pack " + src + " --version 2.0.1.5 -o " + dll + " --force").status, 0);
  EXPECT_EQ(Tool("unpack " + dll + " " + out + " --force").status, 0);
  EXPECT_EQ(ReadFile(scratch / "out" / "index.html"), "<html></html>");
  EXPECT_EQ(Listing(scratch / "out"), (std::set<std::string>{"2.0.1.5.BVC", "img/", "index.html"}));
}

}  // namespace
}  // namespace brevalcore::packages
