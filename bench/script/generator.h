#pragma once
// The workloads' seeded generator: xorshift32, small and the same sequence on every machine
// (<random>'s distributions differ between standard libraries).
#include <cstddef>
#include <cstdint>

namespace brevalcore::bench {

class Generator {
 public:
  explicit Generator(uint32_t seed) : state_(seed ? seed : 0x9e3779b9u) {}
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }
  int Between(int low, int high) { return low + Below(high - low + 1); }
  bool Chance(int percent) { return Below(100) < percent; }
  template <class T, size_t N>
  const T& Pick(const T (&items)[N]) { return items[Below(static_cast<int>(N))]; }

 private:
  uint32_t state_;
};

}  // namespace brevalcore::bench
