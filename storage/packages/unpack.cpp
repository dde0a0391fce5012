#include "storage/packages/unpack.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "platform/automation/error.h"
#include "storage/file_names.h"
#include "storage/folder.h"
#include "storage/name_lookup.h"
#include "storage/packages/package_check.h"
#include "storage/paths.h"

namespace brevalcore::packages {

namespace {

namespace err = automation::err;

// The platform's error for a failed file operation, by the system's error number.
String DescribeErrno(int error) {
  int32_t number = err::kDeviceIoError;
  switch (error) {
    case ENOENT:
    case ENOTDIR: number = err::kPathNotFound; break;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
    case ELOOP: number = err::kPathFileAccessError; break;
    case EEXIST: number = err::kFileAlreadyExists; break;
    case ENOSPC:
    case EDQUOT: number = err::kDiskFull; break;
    case EMFILE:
    case ENFILE: number = err::kTooManyFiles; break;
    case ENAMETOOLONG: number = err::kBadFileNameOrNumber; break;
    default: break;
  }
  return automation::Ascii(automation::ErrorText(number));
}

// The entries of the banner folder that the platform's plain listing returns: names that do
// not begin with ".". What they are is decided by each caller, without following them.
template <typename Visit>
void ForEachVisibleEntry(const storage::Folder& folder, Visit visit) {
  for (const std::string& name : folder.Names()) {
    if (name[0] == '.') continue;
    if (!visit(name)) break;
  }
}

// Writes `size` bytes to the new file `name` of the folder; 0 or the errno that stopped it.
// When the bytes lie at `sourceOffset` of the open file `sourceFd`, the kernel copies them
// without passing through our memory, as cp does.
int WriteNewFile(const storage::Folder& folder, const std::string& name, const uint8_t* bytes, size_t size,
                 int sourceFd = -1, int64_t sourceOffset = -1) {
  int error = 0;
  storage::UniqueFd file = folder.ReplaceFile(name, 0644, error);
  if (!file) return error;
  size_t done = 0;
  if (sourceFd >= 0 && sourceOffset >= 0) {
    off_t from = static_cast<off_t>(sourceOffset);
    while (done < size) {
      const ssize_t n = ::copy_file_range(sourceFd, &from, file.get(), nullptr, size - done, 0);
      if (n <= 0) break;  // not supported here, or the source changed: write what is mapped
      done += static_cast<size_t>(n);
    }
  }
  if (const int failed = storage::WriteAll(file.get(), bytes + done, size - done)) return failed;
  return ::close(file.release()) == 0 ? 0 : errno;
}

String FolderProblem(const storage::Folder& folder) {
  if (folder.error() == ELOOP)
    return automation::Ascii(automation::ErrorText(automation::err::kPathFileAccessError)) +
           u": the banner folder " + automation::FromUtf8(storage::QuotedName(std::string_view(folder.path()))) +
           u" is a symbolic link";
  return DescribeErrno(folder.error());
}

String TwoDigits(int value) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%02d", value);
  return automation::Ascii(buffer);
}

}  // namespace

bool IsUpToDate(const std::string& bannerFolder, const String& version) {
  String found;
  if (!version.empty()) {
    const storage::PlainFileLookup marker = storage::FindPlainFile(bannerFolder, version + kMarkerExtension);
    if (marker.status == storage::PlainFileLookup::Status::kFound) found = automation::FromUtf8(marker.name);
  }
  // Every ".BVC" goes, not only the last one, as the designed comparison does.
  const String extension = kMarkerExtension;
  for (size_t at = found.find(extension); at != String::npos; at = found.find(extension, at))
    found.erase(at, extension.size());
  return found == version;
}

bool IsBannerFolderBusy(const std::string& bannerFolder) {
  const storage::Folder folder(bannerFolder);
  bool busy = false;
  ForEachVisibleEntry(folder, [&](const std::string& name) {
    if (folder.Kind(name) != storage::EntryKind::kRegular) return true;
    int error = 0;
    storage::UniqueFd file = folder.OpenPlainFile(name, error, true);
    if (!file && error == EACCES) {
      // A read-only file: its attributes are cleared first, as the platform does.
      if (storage::UniqueFd readable = folder.OpenPlainFile(name, error)) {
        struct stat st {};
        if (::fstat(readable.get(), &st) == 0) ::fchmod(readable.get(), st.st_mode | S_IWUSR);
        file = folder.OpenPlainFile(name, error, true);
      }
    }
    // Another process's lock (flock) marks the file as in use, as a sharing violation does.
    busy = !file || ::flock(file.get(), LOCK_EX | LOCK_NB) != 0;
    return !busy;
  });
  return busy;
}

void EmptyBannerFolder(const std::string& bannerFolder) {
  std::error_code ignored;
  const std::filesystem::path path(bannerFolder);
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ignored);
  ::mkdir(bannerFolder.c_str(), 0777);
  const storage::Folder folder(bannerFolder);
  ForEachVisibleEntry(folder, [&](const std::string& name) {
    const storage::EntryKind kind = folder.Kind(name);
    if (kind == storage::EntryKind::kRegular || kind == storage::EntryKind::kLink) folder.Remove(name);
    return true;
  });
}

UnpackResult UnpackPackage(const PackageContents& package, const std::string& bannerFolder, const String& version,
                           const String& libraryDate, const shell::Clock& clock, const UnpackProgress& progress) {
  UnpackResult result;
  const storage::Folder folder(bannerFolder);
  if (!folder.ok()) {
    result.errorText = FolderProblem(folder);
    return result;
  }
  auto failed = [&](int error, const std::string& fileName) {
    result.errorText =
        DescribeErrno(error) + u": " + automation::FromUtf8(storage::QuotedName(std::string_view(fileName)));
    return result;
  };
  for (const PackageFile& file : package.files) {
    const int error = WriteNewFile(folder, file.fileName, file.data.data(), file.data.size(), package.sourceFd,
                                   file.fileOffset);
    if (error) return failed(error, file.fileName);
    ++result.filesWritten;
    result.bytesWritten += file.data.size();
    if (progress) progress(result.filesWritten, result.bytesWritten);
  }

  const String text = u"BVC date: " + libraryDate + u" ver. " + version + u"\r\nUpdated: " +
                      MarkerDateText(shell::SplitDate(clock.Now())) + u"\r\n";
  const std::string bytes = automation::ToCp1252(text);
  if (const int error =
          WriteNewFile(folder, package.markerName, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()))
    return failed(error, package.markerName);
  result.ok = true;
  return result;
}

String MarkerDateText(const shell::DateParts& p) {
  char year[8];
  std::snprintf(year, sizeof year, "%04d", p.year);
  return TwoDigits(p.day) + u"/" + TwoDigits(p.month) + u"/" + automation::Ascii(year) + u" " + TwoDigits(p.hour) +
         u":" + TwoDigits(p.minute) + u":" + TwoDigits(p.second);
}

String FileDateText(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  std::tm local {};
  const time_t when = st.st_mtime;
  if (!::localtime_r(&when, &local)) return {};
  return MarkerDateText(shell::DateParts{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                                         local.tm_min, local.tm_sec});
}

}  // namespace brevalcore::packages
