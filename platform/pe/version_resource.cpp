#include "platform/pe/version_resource.h"

#include "platform/automation/text.h"
#include "platform/pe/byte_reader.h"

namespace brevalcore::pe {

namespace {

// Real blocks nest four deep (root, StringFileInfo, table, string); more is a broken file.
constexpr int kMaxDepth = 8;
constexpr uint32_t kNodeHeaderBytes = 6;
constexpr uint16_t kTextType = 1;

uint32_t Align4(uint32_t offset) { return (offset + 3u) & ~3u; }

}  // namespace

bool VersionResource::ParseNode(std::span<const uint8_t> block, uint32_t offset, uint32_t end, int depth,
                                Node& out) {
  if (depth > kMaxDepth) return false;
  const ByteReader reader(block);
  uint16_t length = 0, valueLength = 0, type = 0;
  if (!reader.U16(offset, length) || !reader.U16(offset + 2, valueLength) || !reader.U16(offset + 4, type))
    return false;
  if (length < kNodeHeaderBytes) return false;
  // Some producers count the last child's padding in it; never let a node leave its parent.
  const uint32_t nodeEnd = std::min<uint32_t>(offset + length, end);
  uint32_t at = offset + kNodeHeaderBytes;
  for (;;) {
    uint16_t c = 0;
    if (at + 2 > nodeEnd || !reader.U16(at, c)) return false;  // key without its NUL
    at += 2;
    if (c == 0) break;
    out.key.push_back(static_cast<char16_t>(c));
  }
  at = Align4(at);
  out.valueLength = valueLength;
  out.isText = type == kTextType;
  const uint32_t valueBytes = out.isText ? uint32_t{valueLength} * 2 : valueLength;
  out.valueOffset = std::min(at, nodeEnd);
  out.valueBytes = std::min(valueBytes, nodeEnd - out.valueOffset);
  at = Align4(out.valueOffset + out.valueBytes);
  while (at + kNodeHeaderBytes <= nodeEnd) {
    Node child;
    if (!ParseNode(block, at, nodeEnd, depth + 1, child)) return false;
    uint16_t childLength = 0;
    reader.U16(at, childLength);
    out.children.push_back(std::move(child));
    at = Align4(at + childLength);
  }
  return true;
}

std::optional<VersionResource> VersionResource::Parse(std::span<const uint8_t> block) {
  VersionResource resource;
  resource.raw_.assign(block.begin(), block.end());
  if (resource.raw_.size() > 0xFFFF) resource.raw_.resize(0xFFFF);  // lengths are 16-bit
  const uint32_t size = static_cast<uint32_t>(resource.raw_.size());
  if (!ParseNode(resource.raw_, 0, size, 0, resource.root_)) return std::nullopt;
  return resource;
}

std::optional<VersionResource> VersionResource::FromImage(const PeImage& image) {
  for (const ResourceType& type : image.resources()) {
    if (type.type.IsNamed() || type.type.id != kRtVersion || type.names.empty()) continue;
    const ResourceName* chosen = &type.names.front();
    for (const ResourceName& name : type.names)
      if (!name.name.IsNamed() && name.name.id == 1) chosen = &name;
    const ResourceLanguage* language = image.ChooseLanguage(*chosen);
    if (!language) return std::nullopt;
    return Parse(image.fileBytes().subspan(language->fileOffset, language->size));
  }
  return std::nullopt;
}

VersionQuery VersionResource::Query(std::string_view path) const {
  VersionQuery result;
  const Node* node = &root_;
  size_t start = 0;
  while (start <= path.size()) {
    size_t stop = path.find('\\', start);
    if (stop == std::string_view::npos) stop = path.size();
    const std::string_view part = path.substr(start, stop - start);
    if (!part.empty()) {
      const std::u16string key = automation::FromCp1252(part);
      const Node* next = nullptr;
      for (const Node& child : node->children)
        if (automation::EqualsNoCase(child.key, key)) { next = &child; break; }
      if (!next) return result;
      node = next;
    }
    start = stop + 1;
  }
  result.ok = true;
  result.isText = node->isText;
  result.binary = std::span<const uint8_t>(raw_).subspan(node->valueOffset, node->valueBytes);
  if (node->isText) {
    std::u16string text;
    const ByteReader reader(result.binary);
    for (uint32_t i = 0; i + 1 < node->valueBytes; i += 2) {
      uint16_t c = 0;
      reader.U16(i, c);
      if (c == 0) break;
      text.push_back(static_cast<char16_t>(c));
    }
    result.text = automation::ToCp1252(text);
    result.length = node->valueLength == 0 ? 0 : static_cast<uint32_t>(result.text.size()) + 1;
  } else {
    result.length = node->valueLength;
  }
  return result;
}

std::optional<FixedFileInfo> VersionResource::Fixed() const {
  const VersionQuery q = Query("\\");
  if (!q.ok || q.binary.size() < kFixedFileInfoSize) return std::nullopt;
  const ByteReader r(q.binary);
  FixedFileInfo f;
  uint32_t* fields[] = {&f.signature,      &f.structVersion, &f.fileVersionMS, &f.fileVersionLS, &f.productVersionMS,
                        &f.productVersionLS, &f.fileFlagsMask, &f.fileFlags,     &f.fileOS,        &f.fileType,
                        &f.fileSubtype,    &f.fileDateMS,    &f.fileDateLS};
  for (size_t i = 0; i < std::size(fields); ++i) r.U32(i * 4, *fields[i]);
  return f;
}

std::vector<Translation> VersionResource::Translations() const {
  std::vector<Translation> out;
  const VersionQuery q = Query("\\VarFileInfo\\Translation");
  if (!q.ok) return out;
  const ByteReader r(q.binary);
  for (uint32_t at = 0; at + 4 <= q.binary.size(); at += 4) {
    Translation t;
    r.U16(at, t.language);
    r.U16(at + 2, t.codePage);
    out.push_back(t);
  }
  return out;
}

}  // namespace brevalcore::pe
