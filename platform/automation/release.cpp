#include "platform/automation/release.h"

#include <algorithm>

namespace brevalcore::automation {
namespace {

// Set when the thread's queue has been destroyed at thread exit. Other thread-local objects
// (references kept per thread) may release after that; they are freed at once. A plain bool
// has no destructor, so it outlives every thread-local object of the thread.
thread_local bool queueGone = false;

struct Queue {
  std::vector<std::pair<Object*, const ArrayData*>> items;
  bool draining = false;
  ~Queue() { queueGone = true; }
};

Queue& ThreadQueue() {
  thread_local Queue queue;
  return queue;
}

}  // namespace

void Object::Reclaim(Object* object) noexcept { ReleaseQueue::Reclaim(object); }
void ArrayData::Reclaim(const ArrayData* array) noexcept { ReleaseQueue::Reclaim(array); }

void ReleaseQueue::Reclaim(Object* object) noexcept { Run({object, nullptr}); }
void ReleaseQueue::Reclaim(const ArrayData* array) noexcept { Run({nullptr, array}); }

void ReleaseQueue::Free(Pending p) noexcept {
  if (p.object) p.object->LastReleased();
  else delete p.array;
}

void ReleaseQueue::Run(Pending first) noexcept {
  if (queueGone) return Free(first);
  Queue& q = ThreadQueue();
  if (q.draining) {
    try {
      q.items.emplace_back(first.object, first.array);
      return;
    } catch (...) {
      // No room to queue it: free it at once, as a plain recursive release would.
    }
    Free(first);
    return;
  }
  q.draining = true;
  const size_t base = q.items.size();  // a release nested in Class_Terminate leaves the outer ones alone
  Pending next = first;
  for (;;) {
    const size_t mark = q.items.size();
    Free(next);
    // What this payload held was queued in its own order; the first of it goes first.
    std::reverse(q.items.begin() + static_cast<std::ptrdiff_t>(mark), q.items.end());
    if (q.items.size() == base) break;
    next = Pending{q.items.back().first, q.items.back().second};
    q.items.pop_back();
  }
  q.draining = false;
}

ReleaseQueue::Immediate::Immediate() noexcept : wasDraining_(!queueGone && ThreadQueue().draining) {
  if (!queueGone) ThreadQueue().draining = false;
}

ReleaseQueue::Immediate::~Immediate() {
  if (!queueGone) ThreadQueue().draining = wasDraining_;
}

}  // namespace brevalcore::automation
