#include "tests/analytics/temp_postgres.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "tools/analytics/pg.h"

extern char** environ;

namespace brevalcore::analytics::testing {

namespace {

namespace fs = std::filesystem;

int FreePort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    throw std::runtime_error("no free local port");
  ::close(s);
  return ntohs(address.sin_port);
}

std::string ReadFile(const fs::path& file) {
  std::ifstream in(file);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

std::string PostgresBinFolder() {
  if (const char* bin = std::getenv("BREVALCORE_PG_BIN"); bin && *bin) return bin;
  std::vector<fs::path> found;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", ec))
    if (fs::exists(entry.path() / "bin/initdb", ec)) found.push_back(entry.path() / "bin");
  if (found.empty())
    throw std::runtime_error("no PostgreSQL server programs in /usr/lib/postgresql/*/bin: run scripts/setup");
  std::sort(found.begin(), found.end(), [](const fs::path& a, const fs::path& b) {
    return std::stoi(a.parent_path().filename().string()) < std::stoi(b.parent_path().filename().string());
  });
  return found.back().string();
}

std::vector<std::string> TempPostgres::AsServerUser(std::vector<std::string> argv) const {
  if (!asNobody_) return argv;
  const passwd* nobody = ::getpwnam("nobody");
  std::vector<std::string> command{"/usr/bin/setpriv", "--reuid=" + std::to_string(nobody->pw_uid),
                                   "--regid=" + std::to_string(nobody->pw_gid), "--clear-groups", "--"};
  command.insert(command.end(), argv.begin(), argv.end());
  return command;
}

// A shell that waits for the end of a pipe only this process holds, then stops the server
// and removes the folder.
void TempPostgres::StartWatchdog() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("no pipe for the server's watchdog");
  std::string stop;
  for (const auto& part : AsServerUser({bin_ + "/pg_ctl", "-D", folder_ + "/data", "-m", "immediate", "-w", "stop"}))
    stop += "'" + part + "' ";
  std::vector<std::string> argv{"/bin/sh", "-c", "cat >/dev/null; " + stop + ">/dev/null 2>&1; rm -rf \"$0\"", folder_};
  std::vector<char*> args;
  for (auto& a : argv) args.push_back(a.data());
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
  const int spawned = ::posix_spawn(&watchdog_, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[0]);
  watchdogPipe_ = fds[1];
  if (spawned != 0) throw std::runtime_error("cannot start the server's watchdog");
}

void TempPostgres::Run(const std::vector<std::string>& argv, const std::string& what) const {
  std::vector<std::string> command = AsServerUser(argv);
  std::vector<char*> args;
  for (auto& a : command) args.push_back(a.data());
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string log = folder_ + "/commands.log";
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  if (spawned == 0)
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  if (spawned != 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw std::runtime_error(what + " failed; see " + log + ":\n" + ReadFile(log) + ReadFile(folder_ + "/server.log"));
}

TempPostgres::TempPostgres() : bin_(PostgresBinFolder()), asNobody_(::geteuid() == 0) {
  std::string pattern = (fs::temp_directory_path() / "brevalcore-postgres-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
  folder_ = pattern;
  if (asNobody_) {
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody) throw std::runtime_error("running as root, but there is no user \"nobody\" to run PostgreSQL as");
    if (::chown(folder_.c_str(), nobody->pw_uid, nobody->pw_gid) != 0) throw std::runtime_error("cannot give " + folder_ + " to nobody");
  }
  {
    std::ofstream(folder_ + "/password") << kPassword << "\n";
  }
  fs::permissions(folder_ + "/password", fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
  port_ = FreePort();
  Run({bin_ + "/initdb", "-D", folder_ + "/data", "-U", kUser, "--auth-local=trust", "--auth-host=scram-sha-256",
       "--pwfile=" + folder_ + "/password", "-E", "UTF8", "--locale=C", "--no-sync"},
      "initdb");
  StartWatchdog();
  Start();
}

TempPostgres::~TempPostgres() {
  ::close(watchdogPipe_);
  int status = 0;
  while (::waitpid(watchdog_, &status, 0) < 0 && errno == EINTR) {
  }
}

void TempPostgres::Start() {
  const std::string options = "-p " + std::to_string(port_) + " -k " + folder_ +
                              " -c listen_addresses=127.0.0.1 -c fsync=off -c synchronous_commit=off"
                              " -c full_page_writes=off -c max_connections=60";
  Run({bin_ + "/pg_ctl", "-D", folder_ + "/data", "-o", options, "-l", folder_ + "/server.log", "-w", "-t", "60",
       "start"},
      "pg_ctl start");
}

void TempPostgres::Crash() {
  Run({bin_ + "/pg_ctl", "-D", folder_ + "/data", "-m", "immediate", "-w", "stop"}, "pg_ctl stop -m immediate");
}

std::string TempPostgres::Url(const std::string& database) const {
  return "postgresql://" + std::string(kUser) + ":" + kPassword + "@127.0.0.1:" + std::to_string(port_) + "/" + database;
}

std::string TempPostgres::UrlWithoutPassword(const std::string& database) const {
  return "postgresql://" + std::string(kUser) + "@127.0.0.1:" + std::to_string(port_) + "/" + database;
}

std::string TempPostgres::CreateDatabase() {
  const std::string name = "test" + std::to_string(++databases_);
  Connection(Url()).Exec("CREATE DATABASE " + name);
  return name;
}

}  // namespace brevalcore::analytics::testing
