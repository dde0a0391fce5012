#include "platform/automation/variant.h"

#include "platform/automation/error.h"
#include "platform/automation/memory.h"

namespace brevalcore::automation {

// A shared string, charged to the memory budget of the run that made it.
struct Variant::StringRep {
  explicit StringRep(String t) : text(std::move(t)), budget(MemoryBudget::Active()) {
    if (budget) {
      budget->Charge(Bytes());
      budget->AddRef();
    }
  }
  ~StringRep() {
    if (budget) {
      budget->Credit(Bytes());
      budget->Release();
    }
  }
  // What the string holds: the record, and the text's own block when it has one.
  size_t Bytes() const noexcept {
    constexpr size_t kInline = 15 / sizeof(char16_t);
    return sizeof(StringRep) + (text.capacity() > kInline ? (text.capacity() + 1) * sizeof(char16_t) : 0);
  }
  String text;
  MemoryBudget* budget;
  mutable int32_t refs = 1;
};

namespace {
const String& EmptyString() {
  static const String empty;
  return empty;
}
}  // namespace

Variant::Variant(String s) : type_(VarType::String) { u_.str = new StringRep(std::move(s)); }

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

bool Variant::OwnsString() const noexcept {
  return type_ == VarType::String && u_.str->refs == 1;
}

bool Variant::AppendToOwnString(StringView tail) {
  if (!OwnsString()) return false;
  StringRep& rep = *u_.str;
  const size_t before = rep.Bytes();
  if (rep.budget) {
    const size_t size = rep.text.size() + tail.size();
    if (size > rep.text.capacity()) rep.budget->Require(TextBytes(std::max(size, rep.text.capacity() * 2)));
  }
  rep.text.append(tail);
  if (rep.budget) rep.budget->Adjust(before, rep.Bytes());
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
    case VarType::String: if (--payload.str->refs == 0) delete payload.str; break;
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

const String& Variant::AsString() const noexcept {
  return type_ == VarType::String ? u_.str->text : EmptyString();
}

ArrayData& Variant::MutableArray() {
  if (u_.arr->RefCount() > 1) {
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
