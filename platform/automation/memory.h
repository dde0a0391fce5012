#pragma once
// The memory a script engine's runs may hold. The engine makes its budget the thread's active
// one while it runs; strings, arrays and objects made meanwhile are charged to it for as long
// as they live (they keep a reference to it), and builtins ask it before they allocate a
// large result. Past the cap an allocation fails with "Out of memory" (7), which a script may
// catch with On Error; the engine stays usable.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "platform/automation/object.h"

namespace brevalcore::automation {

class MemoryBudget {
 public:
  // What an engine may hold unless its host says otherwise.
  static constexpr size_t kDefaultCap = size_t{256} << 20;

  explicit MemoryBudget(size_t cap = kDefaultCap) : cap_(cap) {}
  MemoryBudget(const MemoryBudget&) = delete;
  MemoryBudget& operator=(const MemoryBudget&) = delete;

  // Inline: every string and array the scripts make passes here.
  // Counts `bytes` more; raises 7 and counts nothing when that would pass the cap.
  void Charge(size_t bytes) {
    Require(bytes);
    used_ += bytes;
  }
  // Raises 7 unless `bytes` more would fit; counts nothing (for a result about to be made).
  void Require(size_t bytes) const {
    if (bytes > Available()) Exhausted();
  }
  // Counts a change already made, from `before` to `after` bytes; never raises.
  void Adjust(size_t before, size_t after) noexcept {
    if (after >= before) used_ += after - before;
    else used_ -= std::min(used_, before - after);
  }
  void Credit(size_t bytes) noexcept { Adjust(bytes, 0); }

  size_t used() const noexcept { return used_; }
  size_t cap() const noexcept { return cap_; }
  void set_cap(size_t cap) noexcept { cap_ = cap; }
  size_t Available() const noexcept { return used_ < cap_ ? cap_ - used_ : 0; }

  void AddRef() const noexcept { ++refs_; }
  void Release() const noexcept { if (--refs_ == 0) delete this; }

  // The budget of the run in progress on this thread, or null.
  static MemoryBudget* Active() noexcept { return active_; }
  class Activation {
   public:
    explicit Activation(MemoryBudget& budget) noexcept;
    ~Activation();
    Activation(const Activation&) = delete;
    Activation& operator=(const Activation&) = delete;

   private:
    MemoryBudget* previous_;
  };

 private:
  [[noreturn]] static void Exhausted();

  static inline thread_local MemoryBudget* active_ = nullptr;
  size_t cap_;
  size_t used_ = 0;
  mutable int32_t refs_ = 0;
};

// Raises 7 when the active budget, if any, cannot take `bytes` more.
inline void RequireMemory(size_t bytes) {
  if (MemoryBudget* budget = MemoryBudget::Active()) budget->Require(bytes);
}
// Bytes of `units` UTF-16 units, saturating, for RequireMemory.
constexpr size_t TextBytes(size_t units) { return units > (SIZE_MAX >> 2) ? SIZE_MAX >> 1 : units * 2; }

// What one object holds, charged to the budget active when it was made and given back when
// it goes.
class MemoryCharge {
 public:
  MemoryCharge() noexcept : budget_(MemoryBudget::Active()) {}
  ~MemoryCharge() { if (budget_) budget_->Credit(bytes_); }
  MemoryCharge(const MemoryCharge&) = delete;
  MemoryCharge& operator=(const MemoryCharge&) = delete;

  // Now holds `bytes`; raises 7 (and keeps the old figure) when the growth does not fit.
  void Set(size_t bytes) {
    if (!budget_) return;
    if (bytes > bytes_) budget_->Charge(bytes - bytes_);
    else budget_->Credit(bytes_ - bytes);
    bytes_ = bytes;
  }
  void Add(size_t bytes) { Set(bytes_ + bytes); }
  void Remove(size_t bytes) noexcept { if (budget_) { budget_->Credit(std::min(bytes, bytes_)); bytes_ -= std::min(bytes, bytes_); } }

 private:
  Ref<MemoryBudget> budget_;
  size_t bytes_ = 0;
};

}  // namespace brevalcore::automation
