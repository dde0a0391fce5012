#include "platform/shell/wscript_shell.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace brevalcore::shell {

namespace {

constexpr char16_t kProgId[] = u"WScript.Shell";

// Runs `xdg-user-dir DESKTOP` without a shell and gives its first output line.
std::string AskXdgUserDir() {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
  char program[] = "xdg-user-dir";
  char arg[] = "DESKTOP";
  char* argv[] = {program, arg, nullptr};
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, program, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  std::string out;
  if (spawned == 0) {
    char buffer[512];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(n));
    ::waitpid(pid, nullptr, 0);
  }
  ::close(pipeFds[0]);
  const size_t eol = out.find('\n');
  if (eol != std::string::npos) out.resize(eol);
  return out;
}

bool EndsWithNoCase(StringView text, StringView suffix) {
  return text.size() >= suffix.size() && automation::EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

void PutU16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  PutU16(out, static_cast<uint16_t>(v));
  PutU16(out, static_cast<uint16_t>(v >> 16));
}
void SetU32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

// Writes the shortcut file anew. Whatever stands at its name and is not a regular file (a
// link planted there, a FIFO) is removed rather than followed or waited on, so a save never
// writes anywhere but the shortcut's own name. 0, or the error number that stopped it.
int WriteShortcutFile(const std::string& path, const std::string& bytes) {
  const size_t slash = path.rfind('/');
  const std::string folderPath = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const int folder = ::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return errno;
  struct stat st {};
  if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
    ::unlinkat(folder, name.c_str(), 0);
  const int fd =
      ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  int error = fd < 0 ? errno : 0;
  ::close(folder);
  if (fd < 0) return error;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) error = EINVAL;
  else if (::ftruncate(fd, 0) != 0) error = errno;
  for (size_t done = 0; !error && done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno != EINTR) error = errno;
    if (n > 0) done += static_cast<size_t>(n);
  }
  if (::close(fd) != 0 && !error) error = errno;
  return error;
}

struct Registrar {
  Registrar() { RegisterWScriptShell(automation::ObjectFactories::Global()); }
} registrar;

}  // namespace

StringView WScriptShellProgId() { return kProgId; }

void RegisterWScriptShell(automation::ObjectFactories& factories) {
  factories.Register(kProgId, [] { return automation::Ref<automation::Object>(new WScriptShell()); });
}

std::string DesktopFolder() {
  if (const char* env = std::getenv("XDG_DESKTOP_DIR"); env && *env) return env;
  if (std::string asked = AskXdgUserDir(); !asked.empty()) return asked;
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/Desktop";
}

std::string InternetShortcutText(StringView target) {
  return "[InternetShortcut]\r\nURL=" + automation::ToCp1252(target) + "\r\n";
}

// A shell link (header, then a LinkInfo with a local base path, then the terminal block),
// the smallest form that names its target in a way every reader of the format accepts.
std::vector<uint8_t> ShellLinkBytes(StringView target) {
  constexpr uint32_t kHeaderSize = 0x4C;
  constexpr uint32_t kHasLinkInfo = 0x00000002;
  constexpr uint32_t kFileAttributeNormal = 0x80;
  constexpr uint32_t kShowNormal = 1;
  constexpr uint32_t kLinkInfoHeaderSize = 0x1C;
  constexpr uint32_t kVolumeIdAndLocalBasePath = 1;
  constexpr uint32_t kDriveFixed = 3;
  static const uint8_t kLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                         0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
  std::vector<uint8_t> out;
  PutU32(out, kHeaderSize);
  out.insert(out.end(), std::begin(kLinkClsid), std::end(kLinkClsid));
  PutU32(out, kHasLinkInfo);
  PutU32(out, kFileAttributeNormal);
  for (int i = 0; i < 6; ++i) PutU32(out, 0);  // creation, access and write times
  PutU32(out, 0);                              // file size
  PutU32(out, 0);                              // icon index
  PutU32(out, kShowNormal);
  PutU16(out, 0);                              // hot key
  PutU16(out, 0);
  PutU32(out, 0);
  PutU32(out, 0);

  const std::string path = automation::ToCp1252(target);
  const size_t linkInfo = out.size();
  constexpr uint32_t kVolumeIdSize = 0x11;  // four fields and an empty label
  PutU32(out, 0);  // LinkInfoSize, set below
  PutU32(out, kLinkInfoHeaderSize);
  PutU32(out, kVolumeIdAndLocalBasePath);
  PutU32(out, kLinkInfoHeaderSize);                                           // VolumeIDOffset
  PutU32(out, kLinkInfoHeaderSize + kVolumeIdSize);                           // LocalBasePathOffset
  PutU32(out, 0);                                                             // no network part
  PutU32(out, kLinkInfoHeaderSize + kVolumeIdSize + static_cast<uint32_t>(path.size()) + 1);  // suffix
  PutU32(out, kVolumeIdSize);
  PutU32(out, kDriveFixed);
  PutU32(out, 0);     // serial number
  PutU32(out, 0x10);  // label offset
  out.push_back(0);   // empty label
  out.insert(out.end(), path.begin(), path.end());
  out.push_back(0);
  out.push_back(0);   // empty common path suffix
  SetU32(out, linkInfo, static_cast<uint32_t>(out.size() - linkInfo));
  PutU32(out, 0);     // terminal block
  return out;
}

const automation::ClassInfo& WshShortcut::Class() {
  static const automation::ClassInfo info = automation::ClassBuilder<WshShortcut>(u"IWshShortcut")
                                                .Get<&WshShortcut::FullName>(u"FullName")
                                                .Property<&WshShortcut::TargetPath, &WshShortcut::SetTargetPath>(u"TargetPath")
                                                .Method<&WshShortcut::Save>(u"Save")
                                                .Build();
  return info;
}

void WshShortcut::Save() {
  std::string bytes;
  if (EndsWithNoCase(fullName_, u".url")) {
    bytes = InternetShortcutText(target_);
  } else {
    const auto link = ShellLinkBytes(target_);
    bytes.assign(link.begin(), link.end());
  }
  if (const int error = WriteShortcutFile(automation::ToUtf8(fullName_), bytes))
    automation::Raise(error == ENOENT || error == ENOTDIR ? automation::err::kPathNotFound
                                                         : automation::err::kPathFileAccessError);
}

const automation::ClassInfo& WScriptShell::Class() {
  static const automation::ClassInfo info = automation::ClassBuilder<WScriptShell>(u"IWshShell3")
                                                .Get<&WScriptShell::SpecialFolders>(u"SpecialFolders")
                                                .Method<&WScriptShell::CreateShortcut>(u"CreateShortcut")
                                                .Build();
  return info;
}

String WScriptShell::SpecialFolders(const String& name) {
  if (automation::EqualsNoCase(name, u"Desktop")) return automation::FromUtf8(DesktopFolder());
  return {};
}

automation::Ref<WshShortcut> WScriptShell::CreateShortcut(const String& path) {
  if (!EndsWithNoCase(path, u".lnk") && !EndsWithNoCase(path, u".url"))
    automation::Raise(automation::err::kInvalidProcedureCall);
  return automation::MakeRef<WshShortcut>(path);
}

}  // namespace brevalcore::shell
