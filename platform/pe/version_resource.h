#pragma once
// The version resource (VS_VERSIONINFO) of a library: a tree of blocks, each with a key, a
// text or binary value and children. This stands in for GetFileVersionInfoSizeA,
// GetFileVersionInfoA and VerQueryValueA.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/pe/pe_image.h"

namespace brevalcore::pe {

// The 52-byte fixed part, field by field.
struct FixedFileInfo {
  uint32_t signature = 0;
  uint32_t structVersion = 0;
  uint32_t fileVersionMS = 0;
  uint32_t fileVersionLS = 0;
  uint32_t productVersionMS = 0;
  uint32_t productVersionLS = 0;
  uint32_t fileFlagsMask = 0;
  uint32_t fileFlags = 0;
  uint32_t fileOS = 0;
  uint32_t fileType = 0;
  uint32_t fileSubtype = 0;
  uint32_t fileDateMS = 0;
  uint32_t fileDateLS = 0;
};
inline constexpr uint32_t kFixedFileInfoSize = 52;
inline constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BD;

struct Translation {
  uint16_t language = 0;
  uint16_t codePage = 0;
};

// What VerQueryValueA answers: whether the block exists, the length it reports (bytes for
// binary values, characters including the NUL for texts), and the value.
struct VersionQuery {
  bool ok = false;
  uint32_t length = 0;
  std::span<const uint8_t> binary;  // binary values
  std::string text;                 // text values, Windows-1252, up to the NUL
  bool isText = false;
};

class VersionResource {
 public:
  // Parses the block; nullopt when it is malformed (lengths past the end, a missing key).
  static std::optional<VersionResource> Parse(std::span<const uint8_t> block);
  // The version resource of an image (type 16, name 1, else the first name), or nullopt.
  static std::optional<VersionResource> FromImage(const PeImage& image);

  // GetFileVersionInfoSizeA's answer: the platform sizes its buffer at twice the resource
  // plus four bytes, keeping room for the single-byte copy of the texts.
  uint32_t InfoSize() const { return static_cast<uint32_t>(raw_.size()) * 2 + 4; }

  // VerQueryValueA with a path such as "\", "\VarFileInfo\Translation" or
  // "\StringFileInfo\041004E4\CompanyName"; keys compare without regard to case.
  VersionQuery Query(std::string_view path) const;

  // Convenience views of the usual queries.
  std::optional<FixedFileInfo> Fixed() const;
  std::vector<Translation> Translations() const;

 private:
  struct Node {
    std::u16string key;
    uint16_t valueLength = 0;  // as stored: words for texts, bytes for binary values
    bool isText = false;
    uint32_t valueOffset = 0;  // into raw_
    uint32_t valueBytes = 0;   // bytes of the value actually present
    std::vector<Node> children;
  };
  static bool ParseNode(std::span<const uint8_t> block, uint32_t offset, uint32_t end, int depth, Node& out);

  std::vector<uint8_t> raw_;
  Node root_;
};

}  // namespace brevalcore::pe
