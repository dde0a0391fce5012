#pragma once
// A loaded resource library: the PE file (PE32 or PE32+) read into memory, its headers and its
// resource directory checked once at load, then answered from plain structs. This stands in
// for LoadLibraryA/FindResourceA/LoadResource/SizeofResource/LoadStringA/FreeLibrary: no code
// is run and nothing but the resource section is looked at.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace brevalcore::pe {

// Resource type numbers of the format.
inline constexpr uint16_t kRtString = 6;
inline constexpr uint16_t kRtVersion = 16;

// Language identifiers used by the look-up.
inline constexpr uint16_t kLangNeutral = 0x0000;
inline constexpr uint16_t kLangEnglishUs = 0x0409;

// A resource type or name: a number, or (when `name` is not empty) a Unicode name.
struct ResourceId {
  uint16_t id = 0;
  std::u16string name;
  bool IsNamed() const { return !name.empty(); }
};

struct ResourceLanguage {
  uint16_t language = 0;
  uint32_t fileOffset = 0;  // where the bytes lie in the file, checked at load
  uint32_t size = 0;
};

struct ResourceName {
  ResourceId name;
  std::vector<ResourceLanguage> languages;  // in directory order (ascending ids)
};

struct ResourceType {
  ResourceId type;
  std::vector<ResourceName> names;  // named entries first, then numbers, as stored
};

enum class PeFormat { Pe32, Pe32Plus };

// The largest library Load accepts: the file is mapped whole into the host's address space.
inline constexpr uint64_t kMaxImageBytes = uint64_t{1} << 30;  // 1 GiB

// Why a file was refused; `message` is for tools and tests, the control only sees failure.
struct LoadError {
  int code = 0;  // the platform's last-error code: 2 missing, 5 access, 193 not a valid image
  std::string message;
};

class PeImage {
 public:
  // Parses `bytes`, which the image keeps. Any inconsistency in the headers or the resource
  // directory (truncation, offsets past the end, loops, sizes past the section) refuses the
  // whole file: a half-read package is worse than none.
  static std::unique_ptr<PeImage> Parse(std::vector<uint8_t> bytes, LoadError* error);
  // Reads and parses a file.
  static std::unique_ptr<PeImage> Load(const std::string& path, LoadError* error);

  PeFormat format() const { return format_; }
  uint16_t machine() const { return machine_; }
  uint32_t timeDateStamp() const { return timeDateStamp_; }
  const std::vector<ResourceType>& resources() const { return types_; }
  std::span<const uint8_t> fileBytes() const { return bytes_; }

  // The open file behind a loaded image (-1 for parsed bytes): lets callers copy resource
  // bytes inside the kernel. Offsets are those of fileBytes().
  int fileDescriptor() const { return fd_; }

  ~PeImage();
  PeImage(const PeImage&) = delete;
  PeImage& operator=(const PeImage&) = delete;

  // The language the default look-up prefers after the neutral one. The recorded platform
  // answered as an English (0x0409) user interface; callers may change it.
  void SetPreferredLanguage(uint16_t language) { preferredLanguage_ = language; }

  // FindResource + LoadResource + SizeofResource: the bytes of the resource, language chosen
  // by the default look-up; nullopt when not found. The span stays valid while the image lives.
  std::optional<std::span<const uint8_t>> FindResource(const ResourceId& type, const ResourceId& name) const;
  // The same, with names given as the A-functions take them: "#123" is the number 123,
  // other texts are names compared without regard to case.
  std::optional<std::span<const uint8_t>> FindResource(std::string_view type, std::string_view name) const;
  // The language entry FindResource would choose, or nullptr.
  const ResourceLanguage* ChooseLanguage(const ResourceName& entry) const;

  // LoadStringA: string `id` of the string table, converted to Windows-1252 and cut to
  // `bufferLength` - 1 bytes. Empty when the string, its block or room for it is missing.
  std::string LoadString(uint16_t id, int bufferLength) const;
  // The same string as stored (UTF-16), or nullopt when there is no such entry.
  std::optional<std::u16string> LoadStringUtf16(uint16_t id) const;

 private:
  PeImage() = default;
  const ResourceName* FindName(const ResourceId& type, const ResourceId& name) const;
  static std::unique_ptr<PeImage> ParseImage(std::unique_ptr<PeImage> image, LoadError* error);

  // The file's bytes: either owned_ or a read-only mapping of the file (unmapped on release).
  std::span<const uint8_t> bytes_;
  std::vector<uint8_t> owned_;
  void* mapping_ = nullptr;
  size_t mappingSize_ = 0;
  int fd_ = -1;
  PeFormat format_ = PeFormat::Pe32;
  uint16_t machine_ = 0;
  uint32_t timeDateStamp_ = 0;
  uint16_t preferredLanguage_ = kLangEnglishUs;
  std::vector<ResourceType> types_;
};

// "#123" -> number 123; "123" without '#' and any other text -> a name (upper-cased, as the
// platform does before comparing).
ResourceId ParseResourceId(std::string_view text);

}  // namespace brevalcore::pe
