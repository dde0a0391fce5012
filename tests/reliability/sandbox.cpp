#include "tests/reliability/sandbox.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace brevalcore::reliability {

namespace {

constexpr char kNow[] = "06/12/2026 09:30:00";
// Environment variables the session inherits from the test; everything else is set to
// folders of the sandbox or left out.
constexpr const char* kInherited[] = {"PATH", "ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS", "LANG", "LC_ALL"};
constexpr size_t kDescribedLineLength = 300;

uint64_t Fnv1a(const char* bytes, size_t size, uint64_t hash = 14695981039346656037ull) {
  for (size_t i = 0; i < size; ++i) {
    hash ^= static_cast<unsigned char>(bytes[i]);
    hash *= 1099511628211ull;
  }
  return hash;
}

Entry DescribeEntry(const fs::directory_entry& item) {
  Entry entry;
  std::error_code ec;
  const fs::file_status status = item.symlink_status(ec);
  if (fs::is_symlink(status)) {
    entry.kind = 'l';
    const std::string target = fs::read_symlink(item.path(), ec).string();
    entry.hash = Fnv1a(target.data(), target.size());
  } else if (fs::is_directory(status)) {
    entry.kind = 'd';
  } else if (fs::is_regular_file(status)) {
    entry.size = item.file_size(ec);
    std::ifstream in(item.path(), std::ios::binary);
    char buffer[1 << 16];
    uint64_t hash = 14695981039346656037ull;
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) hash = Fnv1a(buffer, static_cast<size_t>(in.gcount()), hash);
    entry.hash = hash;
  } else {
    entry.kind = 'o';
  }
  return entry;
}

bool IsUnder(const std::string& path, const std::string& folder) {
  return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                            path[folder.size()] == '/');
}

void ReadAll(int fd, std::string& into, std::chrono::steady_clock::time_point deadline, pid_t child,
             bool& timedOut) {
  char buffer[1 << 16];
  while (true) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      ::kill(child, SIGKILL);
      timedOut = true;
      return;
    }
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) continue;
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    into.append(buffer, static_cast<size_t>(n));
  }
}

}  // namespace

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

void Sandbox::AddLinks(const std::string& page, const std::vector<std::string>& hrefs) const {
  std::string anchors;
  for (const std::string& href : hrefs) {
    anchors += "<a href=\"";
    for (const char c : href) {
      switch (c) {
        case '&': anchors += "&amp;"; break;
        case '"': anchors += "&quot;"; break;
        case '<': anchors += "&lt;"; break;
        // As references: the parser turns a raw CR into LF, and hostile pages write them so.
        case '\r': anchors += "&#13;"; break;
        case '\n': anchors += "&#10;"; break;
        default: anchors += c;
      }
    }
    anchors += "\">link</a>\n";
  }
  std::string html = ReadFile(banners() / page);
  const size_t end = html.rfind("</body>");
  html.insert(end == std::string::npos ? html.size() : end, anchors);
  WriteFile(banners() / page, html);
}

Sandbox::Sandbox() {
  std::string pattern = (fs::temp_directory_path() / "bvc-reliability-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create the sandbox");
  root_ = fs::canonical(pattern);
  for (const char* folder : {"home/Desktop", "tmp", "xdg/config", "xdg/data", "xdg/cache", "xdg/state", "xdg/runtime",
                             "data", "control", "inputs"})
    fs::create_directories(root_ / folder);
  fs::permissions(root_ / "xdg/runtime", fs::perms::owner_all, fs::perm_options::replace);
  fs::copy(BREVALCORE_SAMPLE_BANNERS, banners(), fs::copy_options::recursive);
}

Sandbox::~Sandbox() {
  std::error_code ignored;
  fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(root_, ignored);
}

Snapshot Sandbox::Take() const {
  Snapshot snapshot;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root_, fs::directory_options::skip_permission_denied, ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (ec) break;
    snapshot[fs::relative(it->path(), root_).generic_string()] = DescribeEntry(*it);
  }
  return snapshot;
}

RunResult Sandbox::Run(const std::string& sessionScript, const RunLimits& limits) {
  const fs::path script = inputs() / "SCENARIO.vbs";
  WriteFile(script, sessionScript);

  std::vector<std::string> args = {BREVALCORE_TOOL, "run", script.string(), "--data-root", dataRoot().string(),
                                   "--control-dir", controlDir().string(), "--now", kNow};
  if (copyBanners_) args.insert(args.end(), {"--banners", banners().string()});
  std::vector<std::string> env = {
      "HOME=" + (root_ / "home").string(),
      "TMPDIR=" + (root_ / "tmp").string(),
      "XDG_CONFIG_HOME=" + (root_ / "xdg/config").string(),
      "XDG_DATA_HOME=" + (root_ / "xdg/data").string(),
      "XDG_CACHE_HOME=" + (root_ / "xdg/cache").string(),
      "XDG_STATE_HOME=" + (root_ / "xdg/state").string(),
      "XDG_RUNTIME_DIR=" + (root_ / "xdg/runtime").string(),
      "XDG_DESKTOP_DIR=" + (root_ / "home/Desktop").string(),
  };
  for (const char* name : kInherited)
    if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
  std::vector<char*> argv, envp;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  before_ = Take();
  RunResult result;
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  const std::string workDir = root_.string();
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(pipeFds[1], 1);
    ::dup2(pipeFds[1], 2);
    if (::chdir(workDir.c_str()) != 0) ::_exit(126);
    if (limits.addressSpaceBytes) {
      const rlimit limit{limits.addressSpaceBytes, limits.addressSpaceBytes};
      ::setrlimit(RLIMIT_AS, &limit);
    }
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  if (child < 0) {
    ::close(pipeFds[0]);
    throw std::runtime_error("fork");
  }
  ReadAll(pipeFds[0], result.output, start + limits.bound, child, result.timedOut);
  ::close(pipeFds[0]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  result.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  result.exited = WIFEXITED(status);
  result.status = result.exited ? WEXITSTATUS(status) : -1;
  result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;

  std::istringstream lines(result.output);
  for (std::string line; std::getline(lines, line);) result.lines.push_back(line);
  return result;
}

std::vector<Change> Sandbox::Changes() const {
  const Snapshot now = Take();
  std::vector<Change> changes;
  for (const auto& [path, entry] : before_) {
    const auto it = now.find(path);
    if (it == now.end()) changes.push_back({path, "removed"});
    else if (!(it->second == entry)) changes.push_back({path, "changed"});
  }
  for (const auto& [path, entry] : now)
    if (!before_.count(path)) changes.push_back({path, "added"});
  return changes;
}

std::vector<Change> Sandbox::ChangesOutsideOwnedPlaces(const std::string& doctor) const {
  const std::string bannerFolder = fs::relative(this->bannerFolder(), root_).generic_string();
  const std::string ini = fs::relative(iniFile(doctor), root_).generic_string();
  const std::string lock = fs::relative(controlDir() / ("." + iniFile(doctor).filename().string() + ".lock"), root_)
                               .generic_string();
  std::vector<Change> outside;
  for (const Change& change : Changes())
    if (!IsUnder(change.path, bannerFolder) && change.path != ini && change.path != lock) outside.push_back(change);
  return outside;
}

OutputLine ParseOutputLine(const std::string& line) {
  OutputLine out;
  size_t at = line.find(' ');
  out.word = line.substr(0, at);
  while (at != std::string::npos && at < line.size()) {
    while (at < line.size() && line[at] == ' ') ++at;
    if (at >= line.size()) break;
    if (line[at] != '"') {
      const size_t end = line.find(' ', at);
      out.fields.push_back(line.substr(at, end == std::string::npos ? std::string::npos : end - at));
      at = end;
      continue;
    }
    std::string field;
    for (++at; at < line.size() && line[at] != '"'; ++at) {
      if (line[at] != '\\' || at + 1 >= line.size()) {
        field += line[at];
        continue;
      }
      switch (line[++at]) {
        case 'n': field += '\n'; break;
        case 'r': field += '\r'; break;
        case 't': field += '\t'; break;
        case 'u':
          field += static_cast<char>(std::stoi(line.substr(at + 1, 4), nullptr, 16));
          at += 4;
          break;
        default: field += line[at];
      }
    }
    out.fields.push_back(field);
    ++at;
  }
  return out;
}

std::vector<OutputLine> LinesWithWord(const RunResult& run, const std::string& word) {
  std::vector<OutputLine> found;
  for (const std::string& line : run.lines)
    if (line.compare(0, word.size() + 1, word + " ") == 0) found.push_back(ParseOutputLine(line));
  return found;
}

int FindLine(const RunResult& run, const std::string& word, const std::string& first) {
  for (size_t i = 0; i < run.lines.size(); ++i) {
    if (run.lines[i].compare(0, word.size() + 1, word + " ") != 0) continue;
    const OutputLine line = ParseOutputLine(run.lines[i]);
    if (!line.fields.empty() && line.fields[0] == first) return static_cast<int>(i);
  }
  return -1;
}

std::string Describe(const RunResult& run) {
  std::ostringstream text;
  text << "exited " << run.exited << ", status " << run.status << ", signal " << run.signal << ", timed out "
       << run.timedOut << ", " << run.elapsed.count() << " ms; output:\n";
  for (const std::string& line : run.lines)
    text << (line.size() > kDescribedLineLength ? line.substr(0, kDescribedLineLength) + "..." : line) << "\n";
  return text.str();
}

std::string Describe(const std::vector<Change>& changes) {
  std::string text;
  for (const Change& change : changes) text += change.what + " " + change.path + "\n";
  return text;
}

}  // namespace brevalcore::reliability
