#pragma once
// Small banner packages for the checker's tests: a valid one that every row changes in one
// place, and the tool run as a process.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace brevalcore::authoring::testing {

namespace fs = std::filesystem;

inline const fs::path kTool = fs::path(BREVALCORE_BIN_DIR) / "brevalcore";

class Scratch {
 public:
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "bvc-authoring-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  fs::path operator/(const std::string& name) const { return path_ / name; }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

inline void Write(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << bytes;
}

inline std::string Read(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline constexpr char kValidScript[] =
    "Option Explicit\n"
    "Sub BeforeInitialize\n"
    "  DefaultEmptyPage = \"https://servizi.example/home\"\n"
    "End Sub\n"
    "Sub StartPrescription\n"
    "  ShowBanner \"B1\"\n"
    "End Sub\n"
    "Sub BeforeSelect\n"
    "End Sub\n"
    "Sub AfterSelect\n"
    "End Sub\n";

inline constexpr char kValidPage[] = "<html><body><a href=\"#PRESCRIBE?aic1\">Prescrivi</a></body></html>\n";
inline constexpr char kOfflinePage[] = "<html><body>offline</body></html>\n";

// The smallest package that checks clean: a script showing B1, B1.html and offline.html.
inline void WriteValidPackage(const fs::path& folder) {
  Write(folder / "banner.script", kValidScript);
  Write(folder / "B1.html", kValidPage);
  Write(folder / "offline.html", kOfflinePage);
}

// A page of the valid package whose body is `body`.
inline std::string Page(const std::string& body) { return "<html><body>\n" + body + "\n</body></html>\n"; }

struct ToolRun {
  int status = -1;
  std::string out;  // standard output and error together
};

// Runs the tool with `arguments` (already quoted where needed), stopped after 20 seconds;
// `environment` is a list of NAME=value words for it.
inline ToolRun Tool(const std::string& arguments, const std::string& environment = {}) {
  const std::string command = "env " + environment + " timeout 20 '" + kTool.string() + "' " + arguments + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  ToolRun run;
  if (!pipe) return run;
  char chunk[4096];
  while (size_t n = std::fread(chunk, 1, sizeof chunk, pipe)) run.out.append(chunk, n);
  const int status = ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

inline std::string Quote(const fs::path& path) { return "'" + path.string() + "'"; }

}  // namespace brevalcore::authoring::testing
