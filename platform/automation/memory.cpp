#include "platform/automation/memory.h"

#include "platform/automation/error.h"

namespace brevalcore::automation {
namespace {
thread_local MemoryBudget* activeBudget = nullptr;
}  // namespace

void MemoryBudget::Charge(size_t bytes) {
  Require(bytes);
  used_ += bytes;
}

void MemoryBudget::Require(size_t bytes) const {
  if (bytes > Available()) Raise(err::kOutOfMemory);
}

void MemoryBudget::Adjust(size_t before, size_t after) noexcept {
  if (after >= before) used_ += after - before;
  else used_ -= std::min(used_, before - after);
}

MemoryBudget* MemoryBudget::Active() noexcept { return activeBudget; }

MemoryBudget::Activation::Activation(MemoryBudget& budget) noexcept : previous_(activeBudget) { activeBudget = &budget; }

MemoryBudget::Activation::~Activation() { activeBudget = previous_; }

void RequireMemory(size_t bytes) {
  if (MemoryBudget* budget = MemoryBudget::Active()) budget->Require(bytes);
}

}  // namespace brevalcore::automation
