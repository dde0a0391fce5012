#pragma once
// The one way binary input is read: every access names an offset and is checked against the
// end of the span, so a malformed file can give a wrong answer but never an over-read.
#include <cstddef>
#include <cstdint>
#include <span>

namespace brevalcore::pe {

class ByteReader {
 public:
  ByteReader() = default;
  explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  size_t size() const { return bytes_.size(); }
  std::span<const uint8_t> bytes() const { return bytes_; }

  // True when [offset, offset + length) lies inside the span (overflow-safe).
  bool Has(uint64_t offset, uint64_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
  }
  // Each Read returns false and leaves `out` alone when the value lies outside the span.
  bool U8(uint64_t offset, uint8_t& out) const {
    if (!Has(offset, 1)) return false;
    out = bytes_[offset];
    return true;
  }
  bool U16(uint64_t offset, uint16_t& out) const {
    if (!Has(offset, 2)) return false;
    out = static_cast<uint16_t>(bytes_[offset] | (bytes_[offset + 1] << 8));
    return true;
  }
  bool U32(uint64_t offset, uint32_t& out) const {
    if (!Has(offset, 4)) return false;
    out = static_cast<uint32_t>(bytes_[offset]) | (static_cast<uint32_t>(bytes_[offset + 1]) << 8) |
          (static_cast<uint32_t>(bytes_[offset + 2]) << 16) | (static_cast<uint32_t>(bytes_[offset + 3]) << 24);
    return true;
  }
  // A sub-span, or an empty one (and false) when it does not fit.
  bool Slice(uint64_t offset, uint64_t length, std::span<const uint8_t>& out) const {
    if (!Has(offset, length)) return false;
    out = bytes_.subspan(offset, length);
    return true;
  }

 private:
  std::span<const uint8_t> bytes_;
};

}  // namespace brevalcore::pe
