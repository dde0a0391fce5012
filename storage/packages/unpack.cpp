#include "storage/packages/unpack.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "platform/automation/error.h"
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
    case ETXTBSY: number = err::kPathFileAccessError; break;
    case ENOSPC:
    case EDQUOT: number = err::kDiskFull; break;
    case EMFILE:
    case ENFILE: number = err::kTooManyFiles; break;
    case ENAMETOOLONG: number = err::kBadFileNameOrNumber; break;
    default: break;
  }
  return automation::Ascii(automation::ErrorText(number));
}

// The plain files of a folder as the platform's plain listing returns them: regular files
// whose names do not begin with ".".
template <typename Visit>
void ForEachPlainFile(const std::string& folder, Visit visit) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    const std::string path = storage::BuildPath(folder, entry->d_name);
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (!visit(path, st)) break;
  }
  ::closedir(dir);
}

// Writes all of `bytes` to a new file (or over an old one); 0 or the errno that stopped it.
// When the bytes lie at `sourceOffset` of the open file `sourceFd`, the kernel copies them
// without passing through our memory, as cp does.
int WriteWholeFile(const std::string& path, const uint8_t* bytes, size_t size, int sourceFd = -1,
                   off_t sourceOffset = 0) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return errno;
  size_t done = 0;
  if (sourceFd >= 0) {
    off_t from = sourceOffset;
    while (done < size) {
      const ssize_t n = ::copy_file_range(sourceFd, &from, fd, nullptr, size - done, 0);
      if (n <= 0) break;  // not supported here, or the source changed: write what is mapped
      done += static_cast<size_t>(n);
    }
  }
  while (done < size) {
    const ssize_t n = ::write(fd, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      ::close(fd);
      return error;
    }
    done += static_cast<size_t>(n);
  }
  return ::close(fd) == 0 ? 0 : errno;
}

String TwoDigits(int value) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%02d", value);
  return automation::Ascii(buffer);
}

}  // namespace

bool IsUpToDate(const std::string& bannerFolder, const String& version) {
  String found;
  const std::string marker = PackageFilePath(bannerFolder, version + kMarkerExtension);
  struct stat st {};
  if (!version.empty() && !marker.empty() && ::stat(marker.c_str(), &st) == 0 && S_ISREG(st.st_mode))
    found = version + kMarkerExtension;
  // Every ".BVC" goes, not only the last one, as the designed comparison does.
  const String extension = kMarkerExtension;
  for (size_t at = found.find(extension); at != String::npos; at = found.find(extension, at))
    found.erase(at, extension.size());
  return found == version;
}

bool IsBannerFolderBusy(const std::string& bannerFolder) {
  bool busy = false;
  ForEachPlainFile(bannerFolder, [&busy](const std::string& path, const struct stat& st) {
    ::chmod(path.c_str(), st.st_mode | S_IWUSR);
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    // Another process's lock (flock) marks the file as in use, as a sharing violation does.
    if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) busy = true;
    if (fd >= 0) ::close(fd);
    return !busy;
  });
  return busy;
}

void EmptyBannerFolder(const std::string& bannerFolder) {
  ForEachPlainFile(bannerFolder, [](const std::string& path, const struct stat&) {
    ::unlink(path.c_str());
    return true;
  });
  std::error_code ignored;
  std::filesystem::create_directories(bannerFolder, ignored);
}

std::string PackageFilePath(const std::string& bannerFolder, const String& name) {
  std::string relative = automation::ToUtf8(name);
  for (char& c : relative)
    if (c == '\\') c = '/';
  if (relative.empty() || relative[0] == '/') return {};
  size_t start = 0;
  while (start <= relative.size()) {
    size_t stop = relative.find('/', start);
    if (stop == std::string::npos) stop = relative.size();
    if (relative.compare(start, stop - start, "..") == 0 && stop - start == 2) return {};
    start = stop + 1;
  }
  return storage::BuildPath(bannerFolder, relative);
}

UnpackResult UnpackPackage(const cResource& library, const std::string& bannerFolder, const String& version,
                           const String& libraryDate, const shell::Clock& clock, const UnpackProgress& progress) {
  UnpackResult result;
  for (int number = kFirstPackageString; number <= kLastPackageString; ++number) {
    String name;
    if (!library.DLL_LoadString(static_cast<int16_t>(number), name, kLoadStringDefaultLength)) break;
    std::span<const uint8_t> data;
    if (!library.DLL_LoadData(number, data, kBannerResourceType)) continue;
    const std::string path = PackageFilePath(bannerFolder, name);
    if (path.empty()) {
      result.errorText = automation::Ascii(automation::ErrorText(automation::err::kBadFileNameOrNumber));
      return result;
    }
    const pe::PeImage& image = *library.image();
    const off_t offset = data.data() - image.fileBytes().data();
    if (const int error = WriteWholeFile(path, data.data(), data.size(), image.fileDescriptor(), offset)) {
      result.errorText = DescribeErrno(error);
      return result;
    }
    ++result.filesWritten;
    result.bytesWritten += data.size();
    if (progress) progress(result.filesWritten, result.bytesWritten);
  }

  const std::string marker = PackageFilePath(bannerFolder, version + kMarkerExtension);
  if (marker.empty()) {
    result.errorText = automation::Ascii(automation::ErrorText(automation::err::kBadFileNameOrNumber));
    return result;
  }
  const String text = u"BVC date: " + libraryDate + u" ver. " + version + u"\r\nUpdated: " +
                      MarkerDateText(shell::SplitDate(clock.Now())) + u"\r\n";
  const std::string bytes = automation::ToCp1252(text);
  if (const int error = WriteWholeFile(marker, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())) {
    result.errorText = DescribeErrno(error);
    return result;
  }
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
