#include "platform/automation/variant.h"

#include <cstring>
#include <iterator>
#include <new>

#include "platform/automation/error.h"
#include "platform/automation/memory.h"

namespace brevalcore::automation {

namespace {

// Blocks of four small sizes are kept per thread for reuse: scripts make and drop short texts
// at every step, and a block taken from here costs a fraction of the allocator's round trip.
// The cache itself is trivially destructible, so a string released while the thread ends (after
// the cache was emptied) can still ask it and is simply given back to the allocator.
constexpr size_t kHeaderBytes = 24;
constexpr size_t kClassBytes[] = {48, 80, 144, 272};
constexpr size_t kClasses = std::size(kClassBytes);
constexpr size_t kKeptPerClass = 256;
constexpr size_t kMaxUnits = UINT32_MAX / 2;

constexpr uint32_t ClassCapacity(size_t cls) { return static_cast<uint32_t>((kClassBytes[cls] - kHeaderBytes) / 2); }

// The size class whose blocks hold `units`, or kClasses when none does.
inline size_t ClassOf(size_t units) noexcept {
  static_assert(kClasses == 4);
  return units <= ClassCapacity(0) ? 0 : units <= ClassCapacity(1) ? 1 : units <= ClassCapacity(2) ? 2 : units <= ClassCapacity(3) ? 3 : 4;
}

struct FreeBlock {
  FreeBlock* next;
};

enum class CacheState : uint8_t { Unused, Open, Closed };

struct BlockCache {
  FreeBlock* head[kClasses];
  uint32_t count[kClasses];
  CacheState state;
};
thread_local BlockCache tCache{};

// Empties the thread's cache when the thread ends, and closes it.
struct CacheCloser {
  ~CacheCloser() {
    tCache.state = CacheState::Closed;
    for (size_t c = 0; c < kClasses; ++c)
      while (FreeBlock* b = tCache.head[c]) {
        tCache.head[c] = b->next;
        ::operator delete(b);
      }
  }
};

inline void* TakeBlock(size_t cls) {
  if (FreeBlock* b = tCache.head[cls]) {
    tCache.head[cls] = b->next;
    --tCache.count[cls];
    return b;
  }
  return ::operator new(kClassBytes[cls]);
}

inline void GiveBlock(size_t cls, void* block) noexcept {
  if (tCache.state == CacheState::Unused) {
    thread_local CacheCloser closer;  // registered with the thread on first use
    (void)closer;
    tCache.state = CacheState::Open;
  }
  if (tCache.state != CacheState::Open || tCache.count[cls] >= kKeptPerClass) return ::operator delete(block);
  tCache.head[cls] = new (block) FreeBlock{tCache.head[cls]};
  ++tCache.count[cls];
}

}  // namespace

[[gnu::always_inline]] inline Variant::StringRep* Variant::NewRep(size_t capacity) {
  static_assert(sizeof(StringRep) == kHeaderBytes && alignof(StringRep) >= alignof(char16_t));
  if (capacity > kMaxUnits) Raise(err::kOutOfMemory);
  const size_t cls = ClassOf(capacity);
  const size_t bytes = cls < kClasses ? kClassBytes[cls] : kHeaderBytes + capacity * sizeof(char16_t);
  MemoryBudget* budget = MemoryBudget::Active();
  if (budget) budget->Charge(bytes);
  void* block;
  try {
    block = cls < kClasses ? TakeBlock(cls) : ::operator new(bytes);
  } catch (...) {
    if (budget) budget->Credit(bytes);
    throw;
  }
  if (budget) budget->AddRef();
  const auto room = cls < kClasses ? ClassCapacity(cls) : static_cast<uint32_t>(capacity);
  return new (block) StringRep{1, 0, room, static_cast<uint8_t>(cls), budget};
}

void Variant::FreeRep(StringRep* rep) noexcept {
  const size_t cls = rep->sizeClass;
  if (MemoryBudget* budget = rep->budget) {
    budget->Credit(cls < kClasses ? kClassBytes[cls] : kHeaderBytes + rep->capacity * sizeof(char16_t));
    budget->Release();
  }
  if (cls < kClasses) GiveBlock(cls, rep);
  else ::operator delete(rep);
}

Variant Variant::NewText(size_t size, size_t capacity, char16_t*& text) {
  Variant v;
  v.u_.str = NewRep(std::max(size, capacity));
  v.type_ = VarType::String;
  v.u_.str->size = static_cast<uint32_t>(size);
  text = v.u_.str->Text();
  return v;
}

Variant Variant::Joined(StringView head, StringView tail, size_t capacity) {
  char16_t* text;
  Variant v = NewText(head.size() + tail.size(), capacity, text);
  if (!head.empty()) std::memcpy(text, head.data(), head.size() * sizeof(char16_t));
  if (!tail.empty()) std::memcpy(text + head.size(), tail.data(), tail.size() * sizeof(char16_t));
  return v;
}

Variant::Variant(StringView s) : Variant(Joined(s, StringView())) {}

Variant::Variant(Ref<Object> o) noexcept : type_(VarType::Object) { u_.obj = o.release(); }

Variant::Variant(Ref<ArrayData> a) noexcept : type_(VarType::Array) {
  u_.arr = a.release();
  if (!u_.arr) {
    type_ = VarType::Empty;
    u_.i8 = 0;
  }
}

Variant& Variant::AssignSlow(const Variant& o) noexcept {
  if (this != &o) {
    Variant copy(o);
    swap(copy);
  }
  return *this;
}

Variant& Variant::MoveSlow(Variant&& o) noexcept {
  if (this != &o) {
    Variant moved(std::move(o));
    swap(moved);
  }
  return *this;
}

bool Variant::AppendToOwnString(StringView tail) {
  if (!OwnsString()) return false;
  StringRep* rep = u_.str;
  const size_t size = rep->size + tail.size();
  if (size > rep->capacity) {
    // Doubling keeps a text grown a piece at a time linear; the old block goes only after
    // the copy, as `tail` may be part of it.
    StringRep* grown = NewRep(std::max(size, size_t{rep->capacity} * 2));
    std::memcpy(grown->Text(), rep->Text(), rep->size * sizeof(char16_t));
    std::memcpy(grown->Text() + rep->size, tail.data(), tail.size() * sizeof(char16_t));
    grown->size = static_cast<uint32_t>(size);
    FreeRep(rep);
    u_.str = grown;
    return true;
  }
  if (!tail.empty()) std::memcpy(rep->Text() + rep->size, tail.data(), tail.size() * sizeof(char16_t));
  rep->size = static_cast<uint32_t>(size);
  return true;
}

void Variant::AddRefPayload() const noexcept {
  switch (type_) {
    case VarType::String: ++u_.str->refs; break;
    case VarType::Object: if (u_.obj) u_.obj->AddRef(); break;
    case VarType::Array: u_.arr->AddRef(); break;
    default: break;
  }
}

void Variant::ReleasePayload() noexcept {
  // Clear first: releasing an object may run script code that reads this variable again.
  const VarType type = type_;
  const Payload payload = u_;
  type_ = VarType::Empty;
  u_.i8 = 0;
  switch (type) {
    case VarType::String: if (--payload.str->refs == 0) FreeRep(payload.str); break;
    case VarType::Object: if (payload.obj) payload.obj->Release(); break;
    case VarType::Array: payload.arr->Release(); break;
    default: break;
  }
}

int Variant::VarTypeNumber() const noexcept {
  if (type_ == VarType::Array) return static_cast<int>(VarType::Array) | static_cast<int>(VarType::Variant);
  return static_cast<int>(type_);
}

bool Variant::IsNumber() const noexcept {
  switch (type_) {
    case VarType::Integer: case VarType::Long: case VarType::Byte:
    case VarType::Single: case VarType::Double: case VarType::Currency:
      return true;
    default:
      return false;
  }
}

ArrayData& Variant::MutableArray() {
  if (u_.arr->Shared()) {
    ArrayData* copy = u_.arr->Clone().release();
    u_.arr->Release();
    u_.arr = copy;
  }
  return *u_.arr;
}

Ref<ArrayData> Variant::AsArrayRef() const noexcept {
  return type_ == VarType::Array ? Ref<ArrayData>(u_.arr) : Ref<ArrayData>();
}

// ---------------------------------------------------------------- ArrayData

namespace {
// More elements than any allocation can hold: the product of the bounds would not even fit
// a size (four dimensions of 65,536 wrap around to 0).
constexpr size_t kMaxElements = (size_t{1} << 48) / sizeof(Variant);

size_t ElementCount(const std::vector<ArrayData::Bound>& bounds) {
  size_t total = bounds.empty() ? 0 : 1;
  for (const auto& b : bounds) {
    const size_t count = static_cast<size_t>(b.count > 0 ? b.count : 0);
    if (count != 0 && total > kMaxElements / count) Raise(err::kOutOfMemory);
    total *= count;
  }
  return total;
}
}  // namespace

ArrayData::ArrayData() : budget_(MemoryBudget::Active()) { Recharge(); }

ArrayData::ArrayData(std::vector<Bound> bounds, bool fixed)
    : bounds_(std::move(bounds)), fixed_(fixed), budget_(MemoryBudget::Active()) {
  const size_t count = ElementCount(bounds_);
  if (budget_) budget_->Require(count * sizeof(Variant));
  items_.resize(count);
  Recharge();
}

ArrayData::~ArrayData() {
  if (budget_) budget_->Credit(charged_);
}

void ArrayData::Recharge() noexcept {
  if (!budget_) return;
  const size_t bytes = sizeof(ArrayData) + items_.capacity() * sizeof(Variant);
  budget_->Adjust(charged_, bytes);
  charged_ = bytes;
}

Ref<ArrayData> ArrayData::FromVector(std::vector<Variant> items) {
  auto array = MakeRef<ArrayData>(std::vector<Bound>{{0, 0}});
  array->bounds_[0].count = static_cast<int32_t>(items.size());
  array->items_ = std::move(items);
  array->Recharge();
  return array;
}

size_t ArrayData::FlatIndex(std::span<const int32_t> indices) const {
  if (indices.size() != bounds_.size()) Raise(err::kSubscriptOutOfRange);
  size_t flat = 0;
  size_t stride = 1;
  for (size_t d = 0; d < bounds_.size(); ++d) {
    const int64_t offset = static_cast<int64_t>(indices[d]) - bounds_[d].lower;
    if (offset < 0 || offset >= bounds_[d].count) Raise(err::kSubscriptOutOfRange);
    flat += static_cast<size_t>(offset) * stride;
    stride *= static_cast<size_t>(bounds_[d].count);
  }
  return flat;
}

Variant& ArrayData::At(std::span<const int32_t> indices) { return items_[FlatIndex(indices)]; }

const Variant& ArrayData::At(std::span<const int32_t> indices) const {
  return items_[FlatIndex(indices)];
}

void ArrayData::Redim(std::vector<Bound> bounds, bool preserve) {
  if (fixed_ || locks_ > 0) Raise(err::kArrayFixedOrLocked);
  for (const auto& b : bounds)
    if (b.count < 0) Raise(err::kSubscriptOutOfRange);
  if (!preserve || bounds_.empty()) {
    items_.clear();
    items_.shrink_to_fit();
    Recharge();
    ArrayData fresh(bounds);
    bounds_ = std::move(bounds);
    items_ = std::move(fresh.items_);
    Recharge();
    return;
  }
  if (bounds.size() != bounds_.size()) Raise(err::kSubscriptOutOfRange);
  for (size_t d = 0; d + 1 < bounds.size(); ++d)
    if (bounds[d].lower != bounds_[d].lower || bounds[d].count != bounds_[d].count)
      Raise(err::kSubscriptOutOfRange);
  // Only the last dimension changes, and it varies slowest: the kept elements are a prefix.
  ArrayData fresh(bounds);
  const size_t keep = std::min(fresh.items_.size(), items_.size());
  for (size_t i = 0; i < keep; ++i) fresh.items_[i] = std::move(items_[i]);
  bounds_ = std::move(bounds);
  items_ = std::move(fresh.items_);
  Recharge();
}

Ref<ArrayData> ArrayData::Clone() const {
  auto copy = MakeRef<ArrayData>();
  if (copy->budget_) copy->budget_->Require(items_.size() * sizeof(Variant));
  copy->bounds_ = bounds_;
  copy->items_ = items_;
  copy->fixed_ = fixed_;
  copy->Recharge();
  return copy;
}

// ---------------------------------------------------------------- Object

Ref<Enumerator> Object::NewEnum() { Raise(err::kNoSuchMember); }

Variant Enumerator::Invoke(DispId, InvokeKind, std::span<Variant>) { Raise(err::kNoSuchMember); }

}  // namespace brevalcore::automation
