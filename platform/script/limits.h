#pragma once
// The limits of a script run, kept apart from the evaluator so that any evaluator calls the
// same small pieces: the time-out and the host's stop request, the native stack and the call
// depth, and the value stack that holds procedure locals. The engine makes its limits the
// thread's active ones for the length of a run; long built-ins and library objects reach
// them through RunLimits::Active() and poll them between slices of work.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/automation/error.h"
#include "platform/script/script_host.h"

namespace brevalcore::script {

// Deepest chain of script procedure calls; the native stack budget below usually stops a
// runaway recursion first.
inline constexpr int kMaxCallDepth = 2000;
// Slots for the locals of all active procedure calls (the value stack grows to this on demand).
inline constexpr size_t kValueStackSlots = 1 << 16;
// Native stack a run may use, and what stays free for the host and the library below it.
inline constexpr size_t kNativeStackBudget = 4u << 20;
inline constexpr size_t kNativeStackReserve = 256u << 10;
// The interpreter reads the clock once every this many loop iterations and calls.
inline constexpr int kDeadlineCheckInterval = 4096;
// One tick's worth of plain work is about this many units (2^6) of text or elements.
inline constexpr int kUnitsPerTickShift = 6;

// The run-time time-out's number and text, and the sources of the engine's errors.
inline constexpr int32_t kTimeoutError = automation::err::kTimeout;
inline constexpr const char16_t* kTimeoutText = u"Script execution timed out";
inline constexpr const char16_t* kRuntimeSource = u"Microsoft VBScript runtime error";
inline constexpr const char16_t* kCompileSource = u"Microsoft VBScript compilation error";

// Errors no handler may catch: the time-out, the host's stop and the exhausted stack. The
// position is added by the statement that was running when it was raised.
class ScriptAbort : public ScriptError {
 public:
  explicit ScriptAbort(int32_t number, int line = 0, int column = 0);
  ScriptAbort(const ScriptAbort& e, int line, int column) : ScriptError(e.number(), e.source(), e.description(), line, column) {}
};

class RunLimits {
 public:
  // Starts the clock of an outermost run and measures the native stack it may use.
  void Arm(std::chrono::milliseconds timeout);

  // Counts one loop iteration or call; every kDeadlineCheckInterval of them the clock is read.
  void Tick() {
    if (--tickBudget_ <= 0) Poll();
  }
  // Counts work proportional to `units` (text units scanned or copied, elements copied): a
  // loop whose every turn handles megabytes reads the clock as often as its cost demands.
  void Spend(size_t units) {
    tickBudget_ -= static_cast<int>(std::min<size_t>(units >> kUnitsPerTickShift, kDeadlineCheckInterval));
    if (tickBudget_ <= 0) Poll();
  }
  // Raises the time-out when the deadline has passed or the host asked the run to stop.
  void Poll();
  // Asks the running script to stop at its next poll, with the time-out error. Safe from a
  // signal handler or another thread.
  void RequestStop() noexcept { stop_.store(true, std::memory_order_relaxed); }
  bool Expired() const;
  std::chrono::steady_clock::time_point deadline() const { return deadline_; }

  // A script procedure call: raises 28 ("Out of stack space") past kMaxCallDepth or when
  // the native stack budget is used up.
  void EnterCall() {
    Tick();
    char probe;
    if (callDepth_ + 1 > kMaxCallDepth || &probe < stackLimit_) OutOfStack();
    ++callDepth_;
  }
  void LeaveCall() noexcept { --callDepth_; }
  // Raises 28 when the native stack budget is used up: for recursion that is not a call
  // (Execute of text that executes text, nested Eval).
  void CheckStack() const;
  [[noreturn]] static void OutOfStack();

  // The limits of the run in progress on this thread, or null outside runs.
  static RunLimits* Active() noexcept { return active_; }
  // Makes `limits` the active ones until destroyed; runs nest (a rule engine run inside the
  // host's own script run).
  class Activation {
   public:
    explicit Activation(RunLimits& limits) noexcept;
    ~Activation();
    Activation(const Activation&) = delete;
    Activation& operator=(const Activation&) = delete;

   private:
    RunLimits* previous_;
  };

 private:
  static inline thread_local RunLimits* active_ = nullptr;  // inline: built-ins read it per call
  std::chrono::steady_clock::time_point deadline_{};
  int tickBudget_ = kDeadlineCheckInterval;
  int callDepth_ = 0;
  const char* stackLimit_ = nullptr;
  std::atomic<bool> stop_{false};
};

// Polls the active run, if any: long built-ins call it between slices of work.
inline void PollActiveRun() {
  if (RunLimits* limits = RunLimits::Active()) limits->Poll();
}
inline void SpendInActiveRun(size_t units) {
  if (RunLimits* limits = RunLimits::Active()) limits->Spend(units);
}

// The slots of the active procedure calls. It grows in segments as calls nest, so a fresh
// engine allocates nothing; a frame is contiguous and never moves, since callers hold the
// address of their locals (by-reference arguments). Past kValueStackSlots in all it raises
// 28, as the platform does for a runaway recursion.
class ValueStack {
 public:
  struct Mark {
    size_t segment;
    size_t top;
    size_t size;  // of the frame pushed after it
  };

  // A frame of `n` values, Empty, and their slot pointers; the first `live` point at their
  // values (the rest are the caller's to set, and their values are never written).
  Mark Push(size_t n, automation::Variant*& values, automation::Variant**& slots, size_t live = SIZE_MAX) {
    if (top_ + n > size_ || used_ + n > kValueStackSlots) return PushSegment(n, values, slots, live);
    const Mark mark{segment_, top_, n};
    values = values_ + top_;
    slots = slots_ + top_;
    live = std::min(live, n);
    for (size_t i = 0; i < live; ++i) slots[i] = &values[i];
    top_ += n;
    used_ += n;
    return mark;
  }
  // Releases the frame pushed after `mark`, emptying its first `live` values.
  void Pop(Mark mark, automation::Variant* values, size_t live) noexcept {
    for (size_t i = 0; i < live; ++i) values[i].Clear();
    used_ -= mark.size;
    if (mark.segment != segment_) Select(mark.segment);
    top_ = mark.top;
  }
  size_t used() const { return used_; }

 private:
  struct Segment {
    std::unique_ptr<automation::Variant[]> values;
    std::unique_ptr<automation::Variant*[]> slots;
    size_t size = 0;
  };
  // A frame that does not fit the segment in use: it starts the next one.
  Mark PushSegment(size_t n, automation::Variant*& values, automation::Variant**& slots, size_t live);
  void Select(size_t segment) noexcept;

  std::vector<Segment> segments_;
  size_t segment_ = 0;  // the segment in use
  size_t top_ = 0;      // first free slot in it
  size_t used_ = 0;     // slots of all frames
  // The segment in use, for the common push that fits it.
  automation::Variant* values_ = nullptr;
  automation::Variant** slots_ = nullptr;
  size_t size_ = 0;
};

}  // namespace brevalcore::script
