#include "storage/paths.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "storage/folder.h"

namespace brevalcore::storage {
namespace {

constexpr char kTempFolderName[] = "TEMP";

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

bool IsWritableFolder(const char* path) {
  struct stat st{};
  return ::stat(path, &st) == 0 && S_ISDIR(st.st_mode) && ::access(path, W_OK) == 0;
}

std::string TempFilePrefix(StringView doctorCode) { return "~" + automation::ToUtf8(doctorCode) + "_"; }

}  // namespace

std::string GetSpecialFolderPath(int folderId) {
  if (folderId != kCommonAppDataFolder) return {};
  if (const char* set = std::getenv("BREVALCORE_COMMON_APPDATA")) return set;
  return IsWritableFolder("/var/lib") ? "/var/lib" : std::string();
}

std::string GetDataFolder() {
  std::string folder = GetSpecialFolderPath(kCommonAppDataFolder);
  if (folder.empty()) folder = Env("tmp");
  if (folder.empty()) folder = Env("temp");
  if (folder.empty()) folder = Env("TMPDIR");
  return folder;
}

std::string BuildPath(std::string_view first, std::string_view second) {
  if (!first.empty() && first.back() == '/') first.remove_suffix(1);
  if (!second.empty() && second.front() == '/') second.remove_prefix(1);
  std::string path;
  path.reserve(first.size() + 1 + second.size());
  path.append(first).append("/").append(second);
  return path;
}

std::string GetControlFolder() {
  if (const char* set = std::getenv("BREVALCORE_CONTROL_DIR")) return set;
  Dl_info info{};
  static const int anchor = 0;
  if (::dladdr(&anchor, &info) != 0 && info.dli_fname && *info.dli_fname) {
    std::error_code ec;
    std::filesystem::path module = std::filesystem::canonical(info.dli_fname, ec);
    if (ec) module = info.dli_fname;
    return module.parent_path().string();
  }
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : self.parent_path().string();
}

std::string GetIniFilePath(std::string_view controlFolder, StringView doctorCode) {
  return BuildPath(controlFolder, "BVC_" + automation::ToUtf8(doctorCode) + ".INI");
}

std::string GetTempFolder(std::string_view bannerFolder) { return BuildPath(bannerFolder, kTempFolderName); }

void CreateTempFolder(std::string_view bannerFolder) {
  // Made relative to the banner folder's descriptor: a banner folder that is a link is left alone.
  const Folder folder{std::string(bannerFolder)};
  if (folder.ok()) ::mkdirat(folder.fd(), kTempFolderName, 0777);  // errors ignored: exists, no right
}

void ClearTempFiles(std::string_view bannerFolder, StringView doctorCode) {
  CreateTempFolder(bannerFolder);
  // "~code_*.*" matches every name with that prefix, as "*.*" does on the platform (a name
  // without an extension matches too). The code is compared literally, even when it holds
  // wildcard characters of its own. A TEMP that is a link is not followed, and only regular
  // files are deleted, so nothing outside the folder can be reached.
  const std::string prefix = TempFilePrefix(doctorCode);
  const Folder banners{std::string(bannerFolder)};
  const Folder temp(banners, kTempFolderName);
  for (const std::string& name : temp.Names()) {
    if (name.compare(0, prefix.size(), prefix) == 0 && temp.Kind(name) == EntryKind::kRegular) temp.Remove(name);
  }
}

std::string TempFileStamp(automation::Date now) {
  const shell::DateParts p = shell::SplitDate(now);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d", p.year, p.month, p.day, p.hour, p.minute,
                p.second);
  return stamp;
}

std::string MakeTempFileName(StringView fileName, std::string_view bannerFolder, StringView doctorCode,
                             const shell::Clock& clock) {
  return BuildPath(GetTempFolder(bannerFolder),
                   TempFilePrefix(doctorCode) + TempFileStamp(clock.Now()) + "_" + automation::ToUtf8(fileName));
}

ui::Button ShowMessage(ui::UserInterface& ui, StringView prompt, int styleCode, StringView title) {
  return ui.MessageBox(prompt, styleCode, title.empty() ? StringView(kDefaultMessageTitle) : title);
}

}  // namespace brevalcore::storage
