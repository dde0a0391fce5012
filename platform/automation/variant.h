#pragma once
// Variant: the platform's automation value. A tagged union of the types the scripts, the
// facts and the host exchange. Strings and arrays are shared, reference-counted payloads, so
// copying a Variant never copies text; arrays copy on write, which gives the platform's
// by-value array assignment without copying on every read.
#include <cstdint>
#include <span>
#include <vector>

#include "platform/automation/memory.h"
#include "platform/automation/object.h"
#include "platform/automation/text.h"

namespace brevalcore::automation {

// VarType numbers, as the platform's VarType function returns them.
enum class VarType : uint16_t {
  Empty = 0,
  Null = 1,
  Integer = 2,
  Long = 3,
  Single = 4,
  Double = 5,
  Currency = 6,
  Date = 7,
  String = 8,
  Object = 9,
  Error = 10,
  Boolean = 11,
  Variant = 12,
  Byte = 17,
  Array = 0x2000,  // always an array of Variant: VarType reports 8204
};

// Currency: a 64-bit integer holding the amount times 10 000.
struct Currency {
  int64_t value = 0;
  static constexpr int64_t kScale = 10000;
  friend bool operator==(Currency a, Currency b) { return a.value == b.value; }
};

// Date: days since 30 December 1899; the fraction is the time of day.
struct Date {
  double value = 0;
  friend bool operator==(Date a, Date b) { return a.value == b.value; }
};

// An error value (VarType Error), e.g. the "missing argument" marker.
struct ErrorCode {
  int32_t scode = 0;
};
inline constexpr int32_t kParamNotFound = static_cast<int32_t>(0x80020004u);  // DISP_E_PARAMNOTFOUND

class ArrayData;

class Variant {
 public:
  Variant() noexcept : type_(VarType::Empty) { u_.i8 = 0; }
  Variant(bool b) noexcept : type_(VarType::Boolean) { u_.i8 = 0; u_.b = b; }
  // An Integer keeps its value widened to 32 bits, so Integer and Long read alike (AsWhole).
  Variant(int16_t v) noexcept : type_(VarType::Integer) { u_.i8 = 0; u_.i4 = v; }
  Variant(int32_t v) noexcept : type_(VarType::Long) { u_.i8 = 0; u_.i4 = v; }
  Variant(uint8_t v) noexcept : type_(VarType::Byte) { u_.i8 = 0; u_.ui1 = v; }
  Variant(float v) noexcept : type_(VarType::Single) { u_.i8 = 0; u_.r4 = v; }
  Variant(double v) noexcept : type_(VarType::Double) { u_.r8 = v; }
  Variant(Currency v) noexcept : type_(VarType::Currency) { u_.i8 = v.value; }
  Variant(Date v) noexcept : type_(VarType::Date) { u_.r8 = v.value; }
  Variant(ErrorCode v) noexcept : type_(VarType::Error) { u_.i8 = 0; u_.i4 = v.scode; }
  Variant(StringView s);
  Variant(const String& s) : Variant(StringView(s)) {}
  Variant(const char16_t* s) : Variant(StringView(s)) {}
  Variant(const char*) = delete;  // narrow text must be converted explicitly (FromUtf8)
  Variant(Ref<Object> o) noexcept;
  template <class T, class = std::enable_if_t<std::is_base_of_v<Object, T>>>
  Variant(const Ref<T>& o) noexcept : Variant(Ref<Object>(o)) {}
  Variant(Ref<ArrayData> a) noexcept;

  static Variant Null() noexcept { Variant v; v.type_ = VarType::Null; return v; }
  static Variant Missing() noexcept { return Variant(ErrorCode{kParamNotFound}); }
  static Variant Nothing() noexcept { return Variant(Ref<Object>()); }

  // Numbers, Booleans, Empty and Null copy as plain bits; only strings, objects and arrays
  // touch a reference count, out of line.
  Variant(const Variant& o) noexcept : type_(o.type_), u_(o.u_) {
    if (HasPayload()) AddRefPayload();
  }
  Variant(Variant&& o) noexcept : type_(o.type_), u_(o.u_) { o.type_ = VarType::Empty; o.u_.i8 = 0; }
  Variant& operator=(const Variant& o) noexcept {
    if (!HasPayload() && !o.HasPayload()) {
      type_ = o.type_;
      u_ = o.u_;
      return *this;
    }
    return AssignSlow(o);
  }
  Variant& operator=(Variant&& o) noexcept {
    if (!HasPayload() && this != &o) {
      type_ = o.type_;
      u_ = o.u_;
      o.type_ = VarType::Empty;
      o.u_.i8 = 0;
      return *this;
    }
    return MoveSlow(std::move(o));
  }
  ~Variant() { if (HasPayload()) ReleasePayload(); }

  VarType type() const noexcept { return type_; }
  // The VarType function's number (arrays report vbArray + vbVariant = 8204).
  int VarTypeNumber() const noexcept;

  bool IsEmpty() const noexcept { return type_ == VarType::Empty; }
  bool IsNull() const noexcept { return type_ == VarType::Null; }
  bool IsString() const noexcept { return type_ == VarType::String; }
  bool IsObject() const noexcept { return type_ == VarType::Object; }
  bool IsNothing() const noexcept { return type_ == VarType::Object && u_.obj == nullptr; }
  bool IsArray() const noexcept { return type_ == VarType::Array; }
  bool IsMissing() const noexcept { return type_ == VarType::Error && u_.i4 == kParamNotFound; }
  // Integer, Long, Byte, Single, Double, Currency (not Date, Boolean or String).
  bool IsNumber() const noexcept;

  // Raw access; the caller has checked type(). Use the conversions of convert.h otherwise.
  bool AsBool() const noexcept { return u_.b; }
  int16_t AsInteger() const noexcept { return u_.i2; }
  // Integer or Long, whichever it is.
  int32_t AsWhole() const noexcept { return u_.i4; }
  int32_t AsLong() const noexcept { return u_.i4; }
  uint8_t AsByte() const noexcept { return u_.ui1; }
  float AsSingle() const noexcept { return u_.r4; }
  double AsDouble() const noexcept { return u_.r8; }
  Currency AsCurrency() const noexcept { return Currency{u_.i8}; }
  Date AsDate() const noexcept { return Date{u_.r8}; }
  int32_t AsErrorCode() const noexcept { return u_.i4; }
  // The text of a String; empty for any other type. Valid while the Variant holds it.
  StringView AsString() const noexcept;
  // A string no other Variant holds (a fresh result): its text may grow in place.
  bool OwnsString() const noexcept;
  // Appends when OwnsString(); false, and nothing changed, otherwise.
  bool AppendToOwnString(StringView tail);
  // A new string of `size` units with room for `capacity` (at least `size`), charged to the
  // active memory budget (7 when it does not fit); the caller writes the text through `text`
  // before the Variant is read.
  static Variant NewText(size_t size, size_t capacity, char16_t*& text);
  // The text of `head` then `tail`, with room for `capacity` units when that is more.
  static Variant Joined(StringView head, StringView tail, size_t capacity = 0);
  Object* AsObject() const noexcept { return u_.obj; }
  Ref<Object> AsObjectRef() const noexcept { return Ref<Object>(u_.obj); }
  const ArrayData& AsArray() const noexcept { return *u_.arr; }
  // The array for writing: shared payloads are copied first (copy on write).
  ArrayData& MutableArray();
  Ref<ArrayData> AsArrayRef() const noexcept;

  void swap(Variant& o) noexcept { std::swap(type_, o.type_); std::swap(u_, o.u_); }

  // Stores a number or Boolean in place, releasing what was there: the machine's operators
  // write their results with these, with no temporary Variant.
  void Clear() noexcept {
    if (HasPayload()) ReleasePayload();
    type_ = VarType::Empty;
    u_.i8 = 0;
  }
  void SetInteger(int16_t v) noexcept { SetWholeBits(VarType::Integer, v); }
  void SetLong(int32_t v) noexcept { SetWholeBits(VarType::Long, v); }
  void SetDouble(double v) noexcept { Reset(VarType::Double); u_.r8 = v; }
  void SetBool(bool v) noexcept { Reset(VarType::Boolean); u_.b = v; }

 private:
  // A string's record and its text in one block: refs, size and room, then the units.
  struct StringRep {
    int32_t refs;
    uint32_t size;
    uint32_t capacity;
    uint8_t sizeClass;     // of the block (variant.cpp)
    MemoryBudget* budget;  // charged for the block, or null
    char16_t* Text() noexcept { return reinterpret_cast<char16_t*>(this + 1); }
    const char16_t* Text() const noexcept { return reinterpret_cast<const char16_t*>(this + 1); }
  };
  static StringRep* NewRep(size_t capacity);
  static void FreeRep(StringRep* rep) noexcept;
  // Numbers, dates, Empty and Null, all numbered below String, answer with one comparison.
  bool HasPayload() const noexcept {
    return type_ >= VarType::String && (type_ <= VarType::Object || type_ == VarType::Array);
  }
  // The value widened to 32 bits and the upper half zero, in one store.
  void SetWholeBits(VarType type, int32_t v) noexcept {
    if (HasPayload()) ReleasePayload();
    type_ = type;
    u_.i8 = static_cast<uint32_t>(v);
  }
  void Reset(VarType type) noexcept {
    if (HasPayload()) ReleasePayload();
    type_ = type;
    u_.i8 = 0;
  }
  void AddRefPayload() const noexcept;
  void ReleasePayload() noexcept;
  Variant& AssignSlow(const Variant& o) noexcept;
  Variant& MoveSlow(Variant&& o) noexcept;

  VarType type_;
  union Payload {
    bool b;
    int16_t i2;
    int32_t i4;
    uint8_t ui1;
    float r4;
    double r8;
    int64_t i8;
    StringRep* str;
    Object* obj;
    ArrayData* arr;
  } u_;
};

inline StringView Variant::AsString() const noexcept {
  return type_ == VarType::String ? StringView(u_.str->Text(), u_.str->size) : StringView();
}

inline bool Variant::OwnsString() const noexcept { return type_ == VarType::String && u_.str->refs == 1; }

// The payload of an array Variant: one or more dimensions, each with its lower bound and
// element count; elements are stored with the first index varying fastest, as the platform
// lays out its safe arrays. Arrays may be fixed-size (Dim a(3)) or dynamic (Dim a()).
class ArrayData {
 public:
  struct Bound {
    int32_t lower = 0;
    int32_t count = 0;
  };

  ArrayData();
  // Raises 7 ("Out of memory") when the elements do not fit the active memory budget.
  explicit ArrayData(std::vector<Bound> bounds, bool fixed = false);
  ~ArrayData();
  ArrayData(const ArrayData&) = delete;
  ArrayData& operator=(const ArrayData&) = delete;
  // A one-dimensional array with lower bound 0 holding `items`.
  static Ref<ArrayData> FromVector(std::vector<Variant> items);

  size_t Dimensions() const noexcept { return bounds_.size(); }
  const std::vector<Bound>& bounds() const noexcept { return bounds_; }
  int32_t LowerBound(size_t dim) const noexcept { return bounds_[dim].lower; }
  int32_t UpperBound(size_t dim) const noexcept { return bounds_[dim].lower + bounds_[dim].count - 1; }
  size_t size() const noexcept { return items_.size(); }
  bool fixed() const noexcept { return fixed_; }
  void set_fixed(bool f) noexcept { fixed_ = f; }
  // A lock is held, with a reference, by whoever keeps the address of an element (a call
  // given one by reference): while it is held ReDim and Erase refuse (10), and the lock's
  // reference does not count as a sharer, so writes through the array's variable go on in
  // place instead of to a copy the element's holder would not see.
  int32_t locks() const noexcept { return locks_; }
  void Lock() const noexcept { ++locks_; }
  void Unlock() const noexcept { --locks_; }
  // Whether a write must copy the array first: a variable other than the writer's holds it.
  bool Shared() const noexcept { return refs_ - locks_ > 1; }

  // Element by subscripts; raises 9 ("Subscript out of range") for a bad count or value.
  Variant& At(std::span<const int32_t> indices);
  const Variant& At(std::span<const int32_t> indices) const;
  Variant& operator[](size_t flat) noexcept { return items_[flat]; }
  const Variant& operator[](size_t flat) const noexcept { return items_[flat]; }
  std::vector<Variant>& items() noexcept { return items_; }
  const std::vector<Variant>& items() const noexcept { return items_; }

  // ReDim: new bounds; with `preserve` only the last dimension may change and the
  // elements that still fit are kept (raises 9 otherwise, 10 when fixed or locked).
  void Redim(std::vector<Bound> bounds, bool preserve);
  Ref<ArrayData> Clone() const;

  void AddRef() const noexcept { ++refs_; }
  void Release() const noexcept { if (--refs_ == 0) Reclaim(this); }
  int32_t RefCount() const noexcept { return refs_; }

 private:
  friend class ReleaseQueue;
  // Deletes the array now, or after the release in progress on this thread (release.h).
  static void Reclaim(const ArrayData* array) noexcept;
  // Counts the elements' storage, as it is now, in the budget.
  void Recharge() noexcept;
  size_t FlatIndex(std::span<const int32_t> indices) const;

  std::vector<Bound> bounds_;
  std::vector<Variant> items_;
  bool fixed_ = false;
  mutable int32_t locks_ = 0;
  mutable int32_t refs_ = 0;
  Ref<MemoryBudget> budget_;  // the run's budget when the array was made, or none
  size_t charged_ = 0;
};

}  // namespace brevalcore::automation
