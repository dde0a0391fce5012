#pragma once
// Releasing without recursion. When the last reference to an object or an array goes while
// another release is under way on the thread, the payload is queued and the outermost release
// frees it in a loop, so a chain of any length (a script's linked list of a million objects,
// an array nested a million deep, a dictionary holding itself through others) is freed with a
// bounded native stack. The order stays the one recursion would give: a payload's own
// contents go, depth first and in order, before the payloads queued after it.
#include <cstddef>
#include <vector>

#include "platform/automation/object.h"
#include "platform/automation/variant.h"

namespace brevalcore::automation {

class ReleaseQueue {
 public:
  static void Reclaim(Object* object) noexcept;
  static void Reclaim(const ArrayData* array) noexcept;

  // Releases inside this scope happen at once again, nested in the one under way: script
  // code that runs during a release (Class_Terminate) sees its own releases take effect,
  // as it would with no release around it.
  class Immediate {
   public:
    Immediate() noexcept;
    ~Immediate();
    Immediate(const Immediate&) = delete;
    Immediate& operator=(const Immediate&) = delete;

   private:
    bool wasDraining_;
  };

 private:
  struct Pending {
    Object* object;
    const ArrayData* array;
  };
  static void Run(Pending first) noexcept;
  static void Free(Pending p) noexcept;
};

}  // namespace brevalcore::automation
