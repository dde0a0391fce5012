// Releases at thread exit: an object kept by another thread-local holder may be released after
// the thread's release queue is gone, and must still free everything it holds.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

#include "platform/automation/collection.h"

namespace brevalcore::automation {
namespace {

std::atomic<int> gFreed{0};

class Counted : public Collection {
 public:
  ~Counted() override { ++gFreed; }
};

TEST(Release, ObjectsKeptByThreadLocalsAreFreedAfterTheQueueIsGone) {
  gFreed = 0;
  std::thread([] {
    // Constructed before the queue, so destroyed after it.
    static thread_local std::map<int, Ref<Collection>> kept;
    auto outer = MakeRef<Counted>();
    outer->Add(Variant(Ref<Object>(MakeRef<Counted>())));
    kept[1] = outer;
    MakeRef<Counted>();  // the first release makes the thread's queue
  }).join();
  EXPECT_EQ(gFreed, 3);
}

}  // namespace
}  // namespace brevalcore::automation
