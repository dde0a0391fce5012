#include "platform/script/limits.h"

#include <pthread.h>

#include <algorithm>

namespace brevalcore::script {

using automation::Variant;

namespace {

// The lowest address of this thread's stack, or nullptr when unknown. Reading it costs a
// scan of /proc/self/maps, so it is looked up once per thread; the host calls the engine
// several times per work-flow step.
const char* ThreadStackLow() {
  thread_local const char* low = [] {
    const char* result = nullptr;
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
      void* base = nullptr;
      size_t size = 0;
      if (pthread_attr_getstack(&attr, &base, &size) == 0) result = static_cast<const char*>(base);
      pthread_attr_destroy(&attr);
    }
    return result;
  }();
  return low;
}

// Where the native stack of the calling thread may end for this run, leaving the reserve.
const char* ComputeStackLimit() {
  // An address, not a pointer kept: the frame is gone when the limit is used.
  const auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  size_t budget = kNativeStackBudget;
  if (const char* low = ThreadStackLow()) {
    const size_t available = here - reinterpret_cast<uintptr_t>(low);
    const size_t usable = available > kNativeStackReserve ? available - kNativeStackReserve : 0;
    budget = std::min(budget, usable);
  }
  return reinterpret_cast<const char*>(here - budget);
}

// The first segment is small, so a fresh engine costs little; each next one doubles.
constexpr size_t kFirstSegmentSlots = 256;

}  // namespace

ScriptAbort::ScriptAbort(int32_t number, int line, int column)
    : ScriptError(number, kRuntimeSource,
                  number == kTimeoutError ? automation::String(kTimeoutText) : automation::FromUtf8(automation::ErrorText(number)),
                  line, column) {}

void RunLimits::Arm(std::chrono::milliseconds timeout) {
  deadline_ = std::chrono::steady_clock::now() + timeout;
  tickBudget_ = kDeadlineCheckInterval;
  stackLimit_ = ComputeStackLimit();
  callDepth_ = 0;
  stop_.store(false, std::memory_order_relaxed);
}

bool RunLimits::Expired() const {
  return stop_.load(std::memory_order_relaxed) || std::chrono::steady_clock::now() > deadline_;
}

void RunLimits::Poll() {
  tickBudget_ = kDeadlineCheckInterval;
  if (Expired()) throw ScriptAbort(kTimeoutError);
}

void RunLimits::OutOfStack() { throw ScriptAbort(automation::err::kOutOfStackSpace); }

void RunLimits::CheckStack() const {
  char probe;
  if (&probe < stackLimit_) OutOfStack();
}

RunLimits::Activation::Activation(RunLimits& limits) noexcept : previous_(active_) { active_ = &limits; }

RunLimits::Activation::~Activation() { active_ = previous_; }

ValueStack::Mark ValueStack::PushSegment(size_t n, Variant*& values, Variant**& slots, size_t live) {
  if (used_ + n > kValueStackSlots) throw ScriptAbort(automation::err::kOutOfStackSpace);
  const Mark mark{segment_, top_, n};
  // The frame starts the next segment; the rest of this one stays unused until it returns.
  const size_t next = segments_.empty() ? 0 : segment_ + 1;
  if (next < segments_.size() && segments_[next].size < n) segments_.resize(next);  // unused: too small
  if (next == segments_.size()) {
    const size_t previous = segments_.empty() ? 0 : segments_.back().size;
    Segment fresh;
    fresh.size = std::max({kFirstSegmentSlots, previous * 2, n});
    fresh.values.reset(new Variant[fresh.size]);
    fresh.slots.reset(new Variant*[fresh.size]);
    segments_.push_back(std::move(fresh));
  }
  Select(next);
  top_ = 0;
  values = values_;
  slots = slots_;
  live = std::min(live, n);
  for (size_t i = 0; i < live; ++i) slots[i] = &values[i];
  top_ += n;
  used_ += n;
  return mark;
}

void ValueStack::Select(size_t segment) noexcept {
  segment_ = segment;
  if (segment < segments_.size()) {
    values_ = segments_[segment].values.get();
    slots_ = segments_[segment].slots.get();
    size_ = segments_[segment].size;
  }
}

}  // namespace brevalcore::script
