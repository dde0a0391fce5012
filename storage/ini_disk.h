#pragma once
// How a profile file is found, locked and replaced on disk. Internal to the profile-file layer
// (ini_file.cpp); kept apart so the cache there deals only with what was read.
//
//   - The name may be a symbolic link (a chain of them): writes go to the file it names, and
//     the link stays. Anything but a regular file (folder, FIFO, device, socket) is refused
//     before it is opened for writing, and opened without blocking when only read.
//   - Writers hold an open-file-description lock (F_OFD_SETLKW) on the file itself; readers
//     take a shared one while they read its bytes. No helper file is ever made beside it.
//   - A write replaces the file atomically (a new, unnamed file in the same folder, linked and
//     renamed over the old one, with the old owner and mode) or, where that would change what
//     the file is or cannot be done (another owner, hard links, a folder we may not write), is
//     written in place behind a redo journal kept in the user's own state folder.
#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "storage/profile.h"

namespace brevalcore::storage::disk {

// A profile file larger than this is not read and never rewritten (a doctor's history is a
// few megabytes at most; this keeps a hostile file from taking the host's memory).
inline constexpr off_t kMaxProfileFileBytes = off_t{64} << 20;
// Symbolic links followed from the name to the file, as the kernel's own limit.
inline constexpr int kMaxSymlinkHops = 40;

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(Fd&& other) noexcept : fd_(other.Release()) {}
  Fd& operator=(Fd&& other) noexcept;
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { Close(); }
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  int Release();
  int Close();

 private:
  int fd_;
};

// The error text of a failed call: "<path>: <what> (<strerror>)".
std::string Describe(std::string_view path, std::string_view what, int error);
// "a folder", "a named pipe (FIFO)", ... for a file that is not regular.
std::string_view KindOf(mode_t mode);

// The file a profile name stands for, following symbolic links (which may point at a file
// not yet made). Empty with `error` set on a loop or a broken chain.
std::string ResolveTarget(const std::string& name, std::string& error);

// The file opened for writing and locked exclusively, made (empty) when missing.
struct LockedFile {
  std::string path;  // the resolved target
  Fd fd;
  struct stat st {};
  bool created = false;
};
// Empty on success; otherwise why the file cannot be written.
std::string LockForWriting(const std::string& name, LockedFile& out);

// Opens an existing regular file for reading without blocking; on a non-regular file or one
// over the size limit returns an invalid Fd.
Fd OpenForReading(const std::string& path, struct stat& st);
// Reads the whole file under a shared lock (none when `locked`, whose holder excludes writers).
bool ReadLocked(int fd, Bytes& out, size_t sizeHint, bool locked);
bool ReadAll(int fd, Bytes& out, size_t sizeHint);

// Writes `bytes` as the file's new content (see the header comment for how). On success `st`
// is the new file's status and `watch` an open descriptor of it; on failure the file is as it
// was (or, in place, as the journal will restore it) and the result says why.
std::string WriteLockedFile(LockedFile& file, std::string_view bytes, bool durable, Fd& watch, struct stat& st);

// Finishes an in-place write that a killed writer left half done, when its journal is found.
// Called with the file opened for reading; cheap when there is no journal.
void RecoverInterruptedWrite(const std::string& path, const struct stat& st);

int64_t MtimeNs(const struct stat& st);

}  // namespace brevalcore::storage::disk
