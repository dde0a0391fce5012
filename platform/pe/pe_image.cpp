#include "platform/pe/pe_image.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <set>

#include "platform/automation/text.h"
#include "platform/pe/byte_reader.h"

namespace brevalcore::pe {

namespace {

// The platform's last-error codes a failed load reports.
constexpr int kErrorFileNotFound = 2;
constexpr int kErrorAccessDenied = 5;
constexpr int kErrorBadExeFormat = 193;

// Limits that no real resource library comes near; they keep a hostile file from making us
// allocate or walk without end.
constexpr uint16_t kMaxSections = 96;                   // the format's own limit
constexpr size_t kMaxResourceEntries = 1u << 20;

constexpr uint32_t kHighBit = 0x80000000u;

struct Section {
  uint32_t virtualAddress = 0;
  uint32_t virtualSize = 0;
  uint32_t rawSize = 0;
  uint32_t rawOffset = 0;
};

// Maps [rva, rva + length) to a file offset inside one section's raw data, or fails.
bool MapRva(const std::vector<Section>& sections, const ByteReader& file, uint32_t rva, uint32_t length,
            uint64_t& fileOffset) {
  for (const Section& s : sections) {
    if (rva < s.virtualAddress) continue;
    const uint64_t delta = rva - s.virtualAddress;
    if (delta >= std::max(s.virtualSize, s.rawSize)) continue;
    if (delta + length > s.rawSize) return false;  // past the bytes the file holds
    fileOffset = uint64_t{s.rawOffset} + delta;
    return file.Has(fileOffset, length);
  }
  return false;
}

class ResourceParser {
 public:
  ResourceParser(const ByteReader& file, const std::vector<Section>& sections, const ByteReader& rsrc)
      : file_(file), sections_(sections), rsrc_(rsrc) {}

  bool ParseRoot(std::vector<ResourceType>& types) {
    std::vector<Entry> entries;
    if (!ReadDirectory(0, entries)) return false;
    for (const Entry& e : entries) {
      if (!e.isDirectory) return Fail("resource type entry without a directory");
      ResourceType type{e.id, {}};
      std::vector<Entry> names;
      if (!ReadDirectory(e.offset, names)) return false;
      for (const Entry& n : names) {
        if (!n.isDirectory) return Fail("resource name entry without a directory");
        ResourceName name{n.id, {}};
        std::vector<Entry> languages;
        if (!ReadDirectory(n.offset, languages)) return false;
        for (const Entry& l : languages) {
          if (l.isDirectory || l.id.IsNamed()) return Fail("resource language entry is not data");
          ResourceLanguage language;
          language.language = l.id.id;
          if (!ReadData(l.offset, language)) return false;
          name.languages.push_back(language);
        }
        type.names.push_back(std::move(name));
      }
      types.push_back(std::move(type));
    }
    return true;
  }

  const std::string& error() const { return error_; }

 private:
  struct Entry {
    ResourceId id;
    bool isDirectory = false;
    uint32_t offset = 0;
  };

  bool Fail(std::string message) {
    error_ = std::move(message);
    return false;
  }

  bool ReadName(uint32_t offset, std::u16string& out) {
    uint16_t length = 0;
    if (!rsrc_.U16(offset, length) || !rsrc_.Has(uint64_t{offset} + 2, uint64_t{length} * 2))
      return Fail("resource name past the end of the section");
    if (length == 0) return Fail("empty resource name");
    out.resize(length);
    for (uint16_t i = 0; i < length; ++i) {
      uint16_t c = 0;
      rsrc_.U16(uint64_t{offset} + 2 + uint64_t{i} * 2, c);
      out[i] = static_cast<char16_t>(c);
    }
    return true;
  }

  bool ReadDirectory(uint32_t offset, std::vector<Entry>& out) {
    if (!visited_.insert(offset).second) return Fail("resource directory loops");
    uint16_t named = 0, numbered = 0;
    if (!rsrc_.U16(uint64_t{offset} + 12, named) || !rsrc_.U16(uint64_t{offset} + 14, numbered))
      return Fail("resource directory past the end of the section");
    const uint32_t count = uint32_t{named} + numbered;
    if (!rsrc_.Has(uint64_t{offset} + 16, uint64_t{count} * 8))
      return Fail("resource directory entries past the end of the section");
    entryCount_ += count;
    if (entryCount_ > kMaxResourceEntries) return Fail("too many resource entries");
    for (uint32_t i = 0; i < count; ++i) {
      const uint64_t at = uint64_t{offset} + 16 + uint64_t{i} * 8;
      uint32_t nameField = 0, dataField = 0;
      rsrc_.U32(at, nameField);
      rsrc_.U32(at + 4, dataField);
      Entry e;
      if (nameField & kHighBit) {
        if (!ReadName(nameField & ~kHighBit, e.id.name)) return false;
      } else {
        e.id.id = static_cast<uint16_t>(nameField);
      }
      e.isDirectory = (dataField & kHighBit) != 0;
      e.offset = dataField & ~kHighBit;
      out.push_back(std::move(e));
    }
    return true;
  }

  bool ReadData(uint32_t offset, ResourceLanguage& out) {
    uint32_t rva = 0, size = 0;
    if (!rsrc_.U32(offset, rva) || !rsrc_.U32(uint64_t{offset} + 4, size) || !rsrc_.Has(offset, 16))
      return Fail("resource data entry past the end of the section");
    uint64_t fileOffset = 0;
    if (!MapRva(sections_, file_, rva, size, fileOffset))
      return Fail("resource data outside the file");
    out.fileOffset = static_cast<uint32_t>(fileOffset);
    out.size = size;
    return true;
  }

  const ByteReader& file_;
  const std::vector<Section>& sections_;
  const ByteReader& rsrc_;
  std::set<uint32_t> visited_;
  size_t entryCount_ = 0;
  std::string error_;
};

bool SameId(const ResourceId& stored, const ResourceId& wanted) {
  if (stored.IsNamed() != wanted.IsNamed()) return false;
  if (!wanted.IsNamed()) return stored.id == wanted.id;
  return stored.name == automation::ToUpper(wanted.name);
}

std::unique_ptr<PeImage> Refuse(LoadError* error, int code, std::string message) {
  if (error) *error = LoadError{code, std::move(message)};
  return nullptr;
}

}  // namespace

ResourceId ParseResourceId(std::string_view text) {
  ResourceId id;
  if (text.size() > 1 && text[0] == '#') {
    uint32_t value = 0;
    bool digits = true;
    for (char c : text.substr(1)) {
      if (c < '0' || c > '9') { digits = false; break; }
      value = value * 10 + static_cast<uint32_t>(c - '0');
      if (value > 0xFFFF) { digits = false; break; }
    }
    if (digits) {
      id.id = static_cast<uint16_t>(value);
      return id;
    }
  }
  id.name = automation::ToUpper(automation::FromCp1252(text));
  return id;
}

std::unique_ptr<PeImage> PeImage::Load(const std::string& path, LoadError* error) {
  // Without blocking: a FIFO put in the library's place must not hold the host's start-up.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    const int code = (errno == ENOENT || errno == ENOTDIR) ? kErrorFileNotFound : kErrorAccessDenied;
    return Refuse(error, code, path + ": cannot be opened");
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) > kMaxImageBytes) {
    ::close(fd);
    return Refuse(error, kErrorBadExeFormat, path + ": not a regular file of a sensible size");
  }
  std::unique_ptr<PeImage> image(new PeImage());
  const size_t size = static_cast<size_t>(st.st_size);
  // Mapped, not read: a package is unpacked straight from the page cache with one copy. The
  // library is held only for one update, and the updater replaces it by writing a new file.
  void* mapping = size ? ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0) : MAP_FAILED;
  image->fd_ = fd;
  if (mapping != MAP_FAILED) {
    image->mapping_ = mapping;
    image->mappingSize_ = size;
    image->bytes_ = std::span<const uint8_t>(static_cast<const uint8_t*>(mapping), size);
  }
  return ParseImage(std::move(image), error);
}

PeImage::~PeImage() {
  if (mapping_) ::munmap(mapping_, mappingSize_);
  if (fd_ >= 0) ::close(fd_);
}

std::unique_ptr<PeImage> PeImage::Parse(std::vector<uint8_t> bytes, LoadError* error) {
  std::unique_ptr<PeImage> image(new PeImage());
  image->owned_ = std::move(bytes);
  image->bytes_ = image->owned_;
  return ParseImage(std::move(image), error);
}

std::unique_ptr<PeImage> PeImage::ParseImage(std::unique_ptr<PeImage> image, LoadError* error) {
  const ByteReader file(image->bytes_);

  uint16_t mz = 0;
  uint32_t lfanew = 0;
  if (!file.U16(0, mz) || mz != 0x5A4D || !file.U32(0x3C, lfanew))
    return Refuse(error, kErrorBadExeFormat, "no DOS header");
  uint32_t signature = 0;
  if (!file.U32(lfanew, signature) || signature != 0x00004550)
    return Refuse(error, kErrorBadExeFormat, "no PE signature");
  const uint64_t coff = uint64_t{lfanew} + 4;
  uint16_t sectionCount = 0, optionalSize = 0;
  if (!file.Has(coff, 20)) return Refuse(error, kErrorBadExeFormat, "truncated file header");
  file.U16(coff, image->machine_);
  file.U16(coff + 2, sectionCount);
  file.U32(coff + 4, image->timeDateStamp_);
  file.U16(coff + 16, optionalSize);
  if (sectionCount > kMaxSections) return Refuse(error, kErrorBadExeFormat, "too many sections");

  const uint64_t optional = coff + 20;
  uint16_t magic = 0;
  if (!file.Has(optional, optionalSize) || !file.U16(optional, magic))
    return Refuse(error, kErrorBadExeFormat, "truncated optional header");
  uint64_t directoryCountAt = 0;
  if (magic == 0x10B) {
    image->format_ = PeFormat::Pe32;
    directoryCountAt = 92;
  } else if (magic == 0x20B) {
    image->format_ = PeFormat::Pe32Plus;
    directoryCountAt = 108;
  } else {
    return Refuse(error, kErrorBadExeFormat, "unknown optional header magic");
  }
  uint32_t directoryCount = 0;
  if (optionalSize < directoryCountAt + 4 || !file.U32(optional + directoryCountAt, directoryCount))
    return Refuse(error, kErrorBadExeFormat, "optional header too short");
  uint32_t rsrcRva = 0, rsrcSize = 0;
  constexpr uint32_t kResourceDirectory = 2;
  if (directoryCount > kResourceDirectory) {
    const uint64_t at = optional + directoryCountAt + 4 + kResourceDirectory * 8;
    if (at + 8 > optional + optionalSize) return Refuse(error, kErrorBadExeFormat, "data directories past the header");
    file.U32(at, rsrcRva);
    file.U32(at + 4, rsrcSize);
  }

  const uint64_t sectionTable = optional + optionalSize;
  if (!file.Has(sectionTable, uint64_t{sectionCount} * 40))
    return Refuse(error, kErrorBadExeFormat, "truncated section table");
  std::vector<Section> sections(sectionCount);
  for (uint16_t i = 0; i < sectionCount; ++i) {
    const uint64_t at = sectionTable + uint64_t{i} * 40;
    file.U32(at + 8, sections[i].virtualSize);
    file.U32(at + 12, sections[i].virtualAddress);
    file.U32(at + 16, sections[i].rawSize);
    file.U32(at + 20, sections[i].rawOffset);
  }

  if (rsrcRva == 0) return image;  // a library without resources is still a library
  uint64_t rsrcOffset = 0;
  if (!MapRva(sections, file, rsrcRva, 16, rsrcOffset))
    return Refuse(error, kErrorBadExeFormat, "resource directory outside the file");
  // The directory may reach as far as its section's raw data does.
  uint64_t rsrcLength = 0;
  for (const Section& s : sections) {
    if (rsrcRva >= s.virtualAddress && rsrcRva - s.virtualAddress < s.rawSize)
      rsrcLength = s.rawSize - (rsrcRva - s.virtualAddress);
  }
  std::span<const uint8_t> rsrcBytes;
  if (!file.Slice(rsrcOffset, rsrcLength, rsrcBytes))
    return Refuse(error, kErrorBadExeFormat, "resource section past the end of the file");
  const ByteReader rsrc(rsrcBytes);
  ResourceParser parser(file, sections, rsrc);
  if (!parser.ParseRoot(image->types_)) return Refuse(error, kErrorBadExeFormat, parser.error());
  return image;
}

const ResourceName* PeImage::FindName(const ResourceId& type, const ResourceId& name) const {
  for (const ResourceType& t : types_) {
    if (!SameId(t.type, type)) continue;
    for (const ResourceName& n : t.names)
      if (SameId(n.name, name)) return &n;
    return nullptr;
  }
  return nullptr;
}

// Neutral first, then the user interface language (exact, then its primary language), then
// US English, then whatever comes first: the order of the platform's default look-up.
const ResourceLanguage* PeImage::ChooseLanguage(const ResourceName& entry) const {
  const uint16_t wanted[] = {kLangNeutral, preferredLanguage_, static_cast<uint16_t>(preferredLanguage_ & 0x3FF),
                             kLangEnglishUs};
  for (uint16_t language : wanted)
    for (const ResourceLanguage& l : entry.languages)
      if (l.language == language) return &l;
  return entry.languages.empty() ? nullptr : &entry.languages.front();
}

std::optional<std::span<const uint8_t>> PeImage::FindResource(const ResourceId& type, const ResourceId& name) const {
  const ResourceName* entry = FindName(type, name);
  if (!entry) return std::nullopt;
  const ResourceLanguage* language = ChooseLanguage(*entry);
  if (!language) return std::nullopt;
  return bytes_.subspan(language->fileOffset, language->size);
}

std::optional<std::span<const uint8_t>> PeImage::FindResource(std::string_view type, std::string_view name) const {
  return FindResource(ParseResourceId(type), ParseResourceId(name));
}

std::optional<std::u16string> PeImage::LoadStringUtf16(uint16_t id) const {
  ResourceId type{kRtString, {}};
  ResourceId block{static_cast<uint16_t>((id >> 4) + 1), {}};
  const auto data = FindResource(type, block);
  if (!data) return std::nullopt;
  const ByteReader reader(*data);
  uint64_t at = 0;
  for (int skip = id & 0x0F; skip > 0; --skip) {
    uint16_t length = 0;
    if (!reader.U16(at, length)) return std::nullopt;
    at += 2 + uint64_t{length} * 2;
  }
  uint16_t length = 0;
  if (!reader.U16(at, length) || !reader.Has(at + 2, uint64_t{length} * 2)) return std::nullopt;
  std::u16string text(length, u'\0');
  for (uint16_t i = 0; i < length; ++i) {
    uint16_t c = 0;
    reader.U16(at + 2 + uint64_t{i} * 2, c);
    text[i] = static_cast<char16_t>(c);
  }
  return text;
}

std::string PeImage::LoadString(uint16_t id, int bufferLength) const {
  if (bufferLength < 1) return {};
  const auto text = LoadStringUtf16(id);
  if (!text) return {};
  std::string bytes = automation::ToCp1252(*text);
  if (bytes.size() > static_cast<size_t>(bufferLength - 1)) bytes.resize(static_cast<size_t>(bufferLength - 1));
  return bytes;
}

}  // namespace brevalcore::pe
