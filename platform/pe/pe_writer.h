#pragma once
// Writes resource-only libraries: a PE32 or PE32+ DLL with one ".rsrc" section and no code,
// which the platform loads as a library and our reader reads back. Used by `brevalcore pack`
// and by tests that need libraries of a given shape.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/pe/pe_image.h"

namespace brevalcore::pe {

struct ResourceItem {
  ResourceId type;
  ResourceId name;
  uint16_t language = kLangNeutral;
  std::vector<uint8_t> data;
};

struct WriteOptions {
  PeFormat format = PeFormat::Pe32;
  uint32_t timeDateStamp = 0;  // 0 keeps the output reproducible
};

// The whole file. Items are sorted as the format requires (named entries first, then numbers);
// two items with the same type, name and language are a caller's bug and the last one wins.
std::vector<uint8_t> WriteResourceLibrary(const std::vector<ResourceItem>& items, const WriteOptions& options = {});

// String-table blocks (type 6) holding `strings` by number, 16 to a block.
std::vector<ResourceItem> BuildStringTable(const std::map<uint16_t, std::u16string>& strings,
                                           uint16_t language = kLangNeutral);

struct VersionFields {
  uint16_t fileVersion[4] = {0, 0, 0, 0};
  uint16_t productVersion[4] = {0, 0, 0, 0};
  uint32_t flagsMask = 0x3F;
  uint32_t flags = 0;
  uint32_t os = 0x00040004;  // NT, 32-bit Windows
  uint32_t type = 2;         // DLL
  uint32_t subtype = 0;
  uint16_t language = 0x0410;
  uint16_t codePage = 1252;
  // Values of the string table, in this order.
  std::vector<std::pair<std::u16string, std::u16string>> strings;
};

// The VS_VERSIONINFO block (type 16, name 1).
std::vector<uint8_t> BuildVersionResource(const VersionFields& fields);

}  // namespace brevalcore::pe
