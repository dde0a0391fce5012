#pragma once
// Files the command-line tools are given. Each tool reads only regular files, up to a size it
// states: a FIFO, a device or a folder is refused before it is opened for reading (a FIFO
// would block the tool, a device such as /dev/zero would fill its memory), and so is a file
// larger than the limit.
#include <cstdint>
#include <optional>
#include <string>

namespace brevalcore::authoring {

// Limits the tools state in their usage texts.
inline constexpr uint64_t kMaxTextFileBytes = uint64_t{16} << 20;     // scripts, pages, templates, scenarios
inline constexpr uint64_t kMaxProfileFileBytes = uint64_t{64} << 20;  // INI files
inline constexpr uint64_t kMaxLibraryFileBytes = uint64_t{1} << 30;   // BVCRES.DLL, as the control maps it

enum class InputProblem { None, Missing, NotRegular, TooLarge, Unreadable };

struct InputFile {
  InputProblem problem = InputProblem::None;
  std::string message;  // why it was refused: "not a regular file (a FIFO)", ...
  std::string bytes;    // the whole file when accepted
};

// Reads `path` whole when it is a regular file of at most `maxBytes`.
InputFile ReadInputFile(const std::string& path, uint64_t maxBytes);

// The same test without reading: nullopt when `path` is a regular file of at most `maxBytes`
// (or is missing and `mayBeMissing`), else why not.
std::optional<std::string> CheckInputFile(const std::string& path, uint64_t maxBytes, bool mayBeMissing = false);

// "16 MB", "1 GB": the limits as the usage texts print them.
std::string SizeText(uint64_t bytes);

}  // namespace brevalcore::authoring
