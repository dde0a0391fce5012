#include "tools/authoring/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace brevalcore::authoring {

namespace {

std::string KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a plain file";
}

// Tests what stat says; nullopt when the file is acceptable.
std::optional<InputFile> Refusal(const struct stat& st, uint64_t maxBytes) {
  if (!S_ISREG(st.st_mode)) return InputFile{InputProblem::NotRegular, "not a regular file (" + KindOf(st.st_mode) + ")", {}};
  if (static_cast<uint64_t>(st.st_size) > maxBytes)
    return InputFile{InputProblem::TooLarge,
                     "too large: " + std::to_string(st.st_size) + " bytes, more than the " + SizeText(maxBytes) +
                         " this command reads",
                     {}};
  return std::nullopt;
}

InputFile Failed(InputProblem problem, int error) {
  return InputFile{problem, error == ENOENT ? "no such file" : std::strerror(error), {}};
}

}  // namespace

std::string SizeText(uint64_t bytes) {
  if (bytes >= (uint64_t{1} << 30) && bytes % (uint64_t{1} << 30) == 0) return std::to_string(bytes >> 30) + " GB";
  if (bytes >= (uint64_t{1} << 20) && bytes % (uint64_t{1} << 20) == 0) return std::to_string(bytes >> 20) + " MB";
  return std::to_string(bytes) + " bytes";
}

InputFile ReadInputFile(const std::string& path, uint64_t maxBytes) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return Failed(errno == ENOENT ? InputProblem::Missing : InputProblem::Unreadable, errno);
  if (auto refused = Refusal(st, maxBytes)) return *refused;
  // The file may have been swapped since: non-blocking, and tested again on the open file.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return Failed(InputProblem::Unreadable, errno);
  InputFile file;
  if (::fstat(fd, &st) != 0) {
    file = Failed(InputProblem::Unreadable, errno);
  } else if (auto refused = Refusal(st, maxBytes)) {
    file = *refused;
  } else {
    file.bytes.reserve(static_cast<size_t>(st.st_size));
    char chunk[64 * 1024];
    for (;;) {
      const ssize_t n = ::read(fd, chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        file = Failed(InputProblem::Unreadable, errno);
        break;
      }
      if (n == 0) break;
      // A file that grows while it is read is held to the same limit.
      if (file.bytes.size() + static_cast<size_t>(n) > maxBytes) {
        file = InputFile{InputProblem::TooLarge, "too large: more than the " + SizeText(maxBytes) + " this command reads", {}};
        break;
      }
      file.bytes.append(chunk, static_cast<size_t>(n));
    }
  }
  ::close(fd);
  return file;
}

std::optional<std::string> CheckInputFile(const std::string& path, uint64_t maxBytes, bool mayBeMissing) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT && mayBeMissing) return std::nullopt;
    return Failed(InputProblem::Missing, errno).message;
  }
  if (auto refused = Refusal(st, maxBytes)) return refused->message;
  return std::nullopt;
}

}  // namespace brevalcore::authoring
