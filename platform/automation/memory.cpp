#include "platform/automation/memory.h"

#include "platform/automation/error.h"

namespace brevalcore::automation {

void MemoryBudget::Exhausted() { Raise(err::kOutOfMemory); }

MemoryBudget::Activation::Activation(MemoryBudget& budget) noexcept : previous_(active_) { active_ = &budget; }

MemoryBudget::Activation::~Activation() { active_ = previous_; }

}  // namespace brevalcore::automation
