#include "platform/pe/pe_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/automation/text.h"
#include "platform/pe/version_resource.h"

namespace brevalcore::pe {

namespace {

constexpr uint32_t kFileAlignment = 0x200;
constexpr uint32_t kSectionAlignment = 0x1000;
constexpr uint32_t kHeadersSize = 0x200;  // DOS header, PE headers and one section header fit
constexpr uint32_t kPeHeaderOffset = 0x40;
constexpr uint32_t kDataAlignment = 8;

uint32_t AlignUp(uint32_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }

void Put16(std::vector<uint8_t>& out, size_t at, uint16_t v) {
  out[at] = static_cast<uint8_t>(v);
  out[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put64(std::vector<uint8_t>& out, size_t at, uint64_t v) {
  for (int i = 0; i < 8; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void Append16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Pad(std::vector<uint8_t>& out, size_t alignment) {
  while (out.size() % alignment) out.push_back(0);
}

// Named entries first, in code-unit order; then numbers ascending: the order the platform's
// look-up expects (it searches names and numbers by bisection).
bool IdLess(const ResourceId& a, const ResourceId& b) {
  if (a.IsNamed() != b.IsNamed()) return a.IsNamed();
  if (a.IsNamed()) return a.name < b.name;
  return a.id < b.id;
}
bool IdEqual(const ResourceId& a, const ResourceId& b) { return !IdLess(a, b) && !IdLess(b, a); }

struct LangNode { uint16_t language; const std::vector<uint8_t>* data; };
struct NameNode { ResourceId name; std::vector<LangNode> languages; };
struct TypeNode { ResourceId type; std::vector<NameNode> names; };

// Lays out the resource section: every directory table first, then the names, then the data
// entries, then the data, so that the directory is one compact block at the start.
std::vector<uint8_t> BuildResourceSection(const std::vector<TypeNode>& tree, uint32_t sectionRva) {
  uint32_t directoryBytes = 16 + 8 * static_cast<uint32_t>(tree.size());
  size_t dataCount = 0;
  for (const TypeNode& t : tree) {
    directoryBytes += 16 + 8 * static_cast<uint32_t>(t.names.size());
    for (const NameNode& n : t.names) {
      directoryBytes += 16 + 8 * static_cast<uint32_t>(n.languages.size());
      dataCount += n.languages.size();
    }
  }
  std::vector<uint8_t> out(directoryBytes, 0);
  // Names.
  auto writeName = [&out](const std::u16string& name) {
    const uint32_t at = static_cast<uint32_t>(out.size());
    Append16(out, static_cast<uint16_t>(name.size()));
    for (char16_t c : name) Append16(out, static_cast<uint16_t>(c));
    return at;
  };
  std::vector<uint32_t> typeNameAt, nameNameAt;
  for (const TypeNode& t : tree) {
    typeNameAt.push_back(t.type.IsNamed() ? writeName(t.type.name) : 0);
    for (const NameNode& n : t.names) nameNameAt.push_back(n.name.IsNamed() ? writeName(n.name.name) : 0);
  }
  Pad(out, 4);
  const uint32_t dataEntriesAt = static_cast<uint32_t>(out.size());
  out.resize(out.size() + dataCount * 16, 0);
  Pad(out, kDataAlignment);

  auto writeHeader = [&out](uint32_t at, const auto& entries, auto isNamed) {
    uint16_t named = 0;
    for (const auto& e : entries) named += isNamed(e) ? 1 : 0;
    Put16(out, at + 12, named);
    Put16(out, at + 14, static_cast<uint16_t>(entries.size() - named));
  };
  auto nameField = [](const ResourceId& id, uint32_t nameAt) {
    return id.IsNamed() ? (0x80000000u | nameAt) : uint32_t{id.id};
  };

  // Directory offsets: root, then the type tables, then the name tables.
  uint32_t nextTable = 16 + 8 * static_cast<uint32_t>(tree.size());
  std::vector<uint32_t> typeTableAt;
  for (const TypeNode& t : tree) {
    typeTableAt.push_back(nextTable);
    nextTable += 16 + 8 * static_cast<uint32_t>(t.names.size());
  }
  writeHeader(0, tree, [](const TypeNode& t) { return t.type.IsNamed(); });
  uint32_t dataIndex = 0;
  size_t nameIndex = 0;
  for (size_t ti = 0; ti < tree.size(); ++ti) {
    const TypeNode& t = tree[ti];
    Put32(out, 16 + ti * 8, nameField(t.type, typeNameAt[ti]));
    Put32(out, 16 + ti * 8 + 4, 0x80000000u | typeTableAt[ti]);
    writeHeader(typeTableAt[ti], t.names, [](const NameNode& n) { return n.name.IsNamed(); });
    for (size_t ni = 0; ni < t.names.size(); ++ni, ++nameIndex) {
      const NameNode& n = t.names[ni];
      const uint32_t tableAt = nextTable;
      nextTable += 16 + 8 * static_cast<uint32_t>(n.languages.size());
      Put32(out, typeTableAt[ti] + 16 + ni * 8, nameField(n.name, nameNameAt[nameIndex]));
      Put32(out, typeTableAt[ti] + 16 + ni * 8 + 4, 0x80000000u | tableAt);
      Put16(out, tableAt + 14, static_cast<uint16_t>(n.languages.size()));
      for (size_t li = 0; li < n.languages.size(); ++li, ++dataIndex) {
        const LangNode& l = n.languages[li];
        const uint32_t entryAt = dataEntriesAt + dataIndex * 16;
        Put32(out, tableAt + 16 + li * 8, l.language);
        Put32(out, tableAt + 16 + li * 8 + 4, entryAt);
        const uint32_t dataAt = static_cast<uint32_t>(out.size());
        out.insert(out.end(), l.data->begin(), l.data->end());
        Pad(out, kDataAlignment);
        Put32(out, entryAt, sectionRva + dataAt);
        Put32(out, entryAt + 4, static_cast<uint32_t>(l.data->size()));
      }
    }
  }
  return out;
}

// The image checksum: 16-bit one's-complement-style sum of the file with the checksum field
// taken as zero, plus the file length.
uint32_t Checksum(const std::vector<uint8_t>& file, size_t checksumAt) {
  uint64_t sum = 0;
  for (size_t i = 0; i < file.size(); i += 2) {
    if (i == checksumAt || i == checksumAt + 2) continue;
    uint32_t word = file[i];
    if (i + 1 < file.size()) word |= uint32_t{file[i + 1]} << 8;
    sum += word;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + file.size());
}

}  // namespace

std::vector<uint8_t> WriteResourceLibrary(const std::vector<ResourceItem>& items, const WriteOptions& options) {
  std::vector<TypeNode> tree;
  for (const ResourceItem& item : items) {
    auto t = std::find_if(tree.begin(), tree.end(), [&](const TypeNode& n) { return IdEqual(n.type, item.type); });
    if (t == tree.end()) t = tree.insert(tree.end(), TypeNode{item.type, {}});
    auto n = std::find_if(t->names.begin(), t->names.end(), [&](const NameNode& x) { return IdEqual(x.name, item.name); });
    if (n == t->names.end()) n = t->names.insert(t->names.end(), NameNode{item.name, {}});
    auto l = std::find_if(n->languages.begin(), n->languages.end(),
                          [&](const LangNode& x) { return x.language == item.language; });
    if (l == n->languages.end()) n->languages.push_back(LangNode{item.language, &item.data});
    else l->data = &item.data;
  }
  std::sort(tree.begin(), tree.end(), [](const TypeNode& a, const TypeNode& b) { return IdLess(a.type, b.type); });
  for (TypeNode& t : tree) {
    std::sort(t.names.begin(), t.names.end(), [](const NameNode& a, const NameNode& b) { return IdLess(a.name, b.name); });
    for (NameNode& n : t.names)
      std::sort(n.languages.begin(), n.languages.end(),
                [](const LangNode& a, const LangNode& b) { return a.language < b.language; });
  }

  const bool plus = options.format == PeFormat::Pe32Plus;
  const uint32_t sectionRva = kSectionAlignment;
  const std::vector<uint8_t> rsrc = tree.empty() ? std::vector<uint8_t>{} : BuildResourceSection(tree, sectionRva);
  const uint32_t rawSize = AlignUp(static_cast<uint32_t>(std::max<size_t>(rsrc.size(), 1)), kFileAlignment);
  std::vector<uint8_t> file(kHeadersSize + rawSize, 0);

  // DOS header: only the signature and the offset of the PE header matter to a loader.
  file[0] = 'M';
  file[1] = 'Z';
  Put32(file, 0x3C, kPeHeaderOffset);
  const size_t pe = kPeHeaderOffset;
  std::memcpy(&file[pe], "PE\0\0", 4);
  const size_t coff = pe + 4;
  const uint16_t optionalSize = plus ? 240 : 224;
  Put16(file, coff, plus ? 0x8664 : 0x014C);
  Put16(file, coff + 2, 1);
  Put32(file, coff + 4, options.timeDateStamp);
  Put16(file, coff + 16, optionalSize);
  // Executable image, DLL; 32-bit machine for PE32, large-address-aware for PE32+.
  Put16(file, coff + 18, plus ? 0x2022 : 0x2102);

  const size_t opt = coff + 20;
  Put16(file, opt, plus ? 0x20B : 0x10B);
  file[opt + 2] = 14;                       // linker version
  Put32(file, opt + 8, rawSize);            // initialised data
  Put32(file, opt + 20, sectionRva);        // base of code (there is none)
  if (plus) {
    Put64(file, opt + 24, 0x180000000ull);
  } else {
    Put32(file, opt + 24, sectionRva);      // base of data
    Put32(file, opt + 28, 0x10000000u);
  }
  Put32(file, opt + 32, kSectionAlignment);
  Put32(file, opt + 36, kFileAlignment);
  Put16(file, opt + 40, 6);                 // operating system version 6.0
  Put16(file, opt + 48, 6);                 // subsystem version 6.0
  const uint32_t imageSize = sectionRva + AlignUp(static_cast<uint32_t>(std::max<size_t>(rsrc.size(), 1)), kSectionAlignment);
  Put32(file, opt + 56, imageSize);
  Put32(file, opt + 60, kHeadersSize);
  const size_t checksumAt = opt + 64;
  Put16(file, opt + 68, 2);                 // GUI subsystem
  Put16(file, opt + 70, 0x0100 | 0x0400);   // NX compatible, no SEH
  size_t directories = 0;
  if (plus) {
    Put64(file, opt + 72, 0x100000);
    Put64(file, opt + 80, 0x1000);
    Put64(file, opt + 88, 0x100000);
    Put64(file, opt + 96, 0x1000);
    Put32(file, opt + 108, 16);
    directories = opt + 112;
  } else {
    Put32(file, opt + 72, 0x100000);
    Put32(file, opt + 76, 0x1000);
    Put32(file, opt + 80, 0x100000);
    Put32(file, opt + 84, 0x1000);
    Put32(file, opt + 92, 16);
    directories = opt + 96;
  }
  if (!rsrc.empty()) {
    Put32(file, directories + 2 * 8, sectionRva);
    Put32(file, directories + 2 * 8 + 4, static_cast<uint32_t>(rsrc.size()));
  }

  const size_t section = opt + optionalSize;
  std::memcpy(&file[section], ".rsrc\0\0\0", 8);
  Put32(file, section + 8, static_cast<uint32_t>(rsrc.size()));
  Put32(file, section + 12, sectionRva);
  Put32(file, section + 16, rawSize);
  Put32(file, section + 20, kHeadersSize);
  Put32(file, section + 36, 0x40000040u);   // initialised data, readable
  std::copy(rsrc.begin(), rsrc.end(), file.begin() + kHeadersSize);

  Put32(file, checksumAt, Checksum(file, checksumAt));
  return file;
}

std::vector<ResourceItem> BuildStringTable(const std::map<uint16_t, std::u16string>& strings, uint16_t language) {
  std::map<uint16_t, std::vector<const std::u16string*>> blocks;
  for (const auto& [id, text] : strings) {
    auto& block = blocks[static_cast<uint16_t>((id >> 4) + 1)];
    block.resize(16, nullptr);
    block[id & 0x0F] = &text;
  }
  std::vector<ResourceItem> items;
  for (const auto& [blockId, entries] : blocks) {
    ResourceItem item{ResourceId{kRtString, {}}, ResourceId{blockId, {}}, language, {}};
    for (const std::u16string* text : entries) {
      const size_t length = text ? std::min<size_t>(text->size(), 0xFFFF) : 0;
      Append16(item.data, static_cast<uint16_t>(length));
      for (size_t i = 0; i < length; ++i) Append16(item.data, static_cast<uint16_t>((*text)[i]));
    }
    items.push_back(std::move(item));
  }
  return items;
}

namespace {

struct VersionNode {
  std::u16string key;
  bool text = false;
  std::vector<uint8_t> value;
  uint16_t valueLength = 0;
  std::vector<VersionNode> children;
};

void WriteVersionNode(const VersionNode& node, std::vector<uint8_t>& out) {
  Pad(out, 4);
  const size_t start = out.size();
  Append16(out, 0);
  Append16(out, node.valueLength);
  Append16(out, node.text ? 1 : 0);
  for (char16_t c : node.key) Append16(out, static_cast<uint16_t>(c));
  Append16(out, 0);
  Pad(out, 4);
  out.insert(out.end(), node.value.begin(), node.value.end());
  for (const VersionNode& child : node.children) WriteVersionNode(child, out);
  Put16(out, start, static_cast<uint16_t>(out.size() - start));
}

VersionNode TextNode(const std::u16string& key, const std::u16string& value) {
  VersionNode node{key, true, {}, static_cast<uint16_t>(value.size() + 1), {}};
  for (char16_t c : value) Append16(node.value, static_cast<uint16_t>(c));
  Append16(node.value, 0);
  return node;
}

}  // namespace

std::vector<uint8_t> BuildVersionResource(const VersionFields& fields) {
  VersionNode root{u"VS_VERSION_INFO", false, std::vector<uint8_t>(kFixedFileInfoSize, 0), kFixedFileInfoSize, {}};
  const uint32_t fixed[13] = {
      kFixedFileInfoSignature,
      0x00010000,
      (uint32_t{fields.fileVersion[0]} << 16) | fields.fileVersion[1],
      (uint32_t{fields.fileVersion[2]} << 16) | fields.fileVersion[3],
      (uint32_t{fields.productVersion[0]} << 16) | fields.productVersion[1],
      (uint32_t{fields.productVersion[2]} << 16) | fields.productVersion[3],
      fields.flagsMask, fields.flags, fields.os, fields.type, fields.subtype, 0, 0};
  for (int i = 0; i < 13; ++i) Put32(root.value, i * 4, fixed[i]);

  char hex[9];
  std::snprintf(hex, sizeof hex, "%04X%04X", fields.language, fields.codePage);
  VersionNode table{automation::Ascii(hex), true, {}, 0, {}};
  for (const auto& [key, value] : fields.strings) table.children.push_back(TextNode(key, value));
  root.children.push_back(VersionNode{u"StringFileInfo", true, {}, 0, {std::move(table)}});

  VersionNode translation{u"Translation", false, {}, 4, {}};
  Append16(translation.value, fields.language);
  Append16(translation.value, fields.codePage);
  root.children.push_back(VersionNode{u"VarFileInfo", true, {}, 0, {std::move(translation)}});

  std::vector<uint8_t> out;
  WriteVersionNode(root, out);
  return out;
}

}  // namespace brevalcore::pe
