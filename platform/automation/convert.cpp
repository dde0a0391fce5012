// Conversions between Variant subtypes and the comparison of the relational operators.
// Text forms live in convert_number.cpp and convert_date.cpp.
#include "platform/automation/convert.h"

#include <cfloat>
#include <charconv>
#include <cmath>

#include "platform/automation/calendar.h"
#include "platform/automation/error.h"
#include "platform/automation/locale.h"

namespace brevalcore::automation {
namespace {

// The largest Currency magnitude, in units.
constexpr double kCurrencyLimit = 922337203685477.5807;
// Below this magnitude an amount times 10 000 is still a whole number a Double holds exactly.
constexpr double kExactlyScaled = 9007199254740992.0 / Currency::kScale;

double CurrencyToDouble(Currency c) { return static_cast<double>(c.value) / Currency::kScale; }

// A number read from text, or 13 when the text is not one; 6 when it does not fit a Double.
double NumberFromText(StringView text) {
  auto n = ParseNumber(text);
  if (!n) Raise(err::kTypeMismatch);
  if (std::isinf(*n)) Raise(err::kOverflow);
  return *n;
}

// The value rounded half to even, as the platform's integer conversions round.
double RoundHalfEven(double x) {
  const double floor = std::floor(x);
  const double diff = x - floor;
  if (diff > 0.5) return floor + 1;
  if (diff < 0.5) return floor;
  return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

int64_t IntegerValue(const Variant& v, double low, double high) {
  if (v.type() == VarType::Currency) {
    // Round the scaled integer exactly rather than through a Double.
    const int64_t units = v.AsCurrency().value;
    int64_t whole = units / Currency::kScale;
    int64_t rest = units % Currency::kScale;
    if (rest < 0) { rest += Currency::kScale; --whole; }
    if (rest > Currency::kScale / 2 || (rest == Currency::kScale / 2 && (whole & 1))) ++whole;
    if (static_cast<double>(whole) < low || static_cast<double>(whole) > high) Raise(err::kOverflow);
    return whole;
  }
  const double d = RoundHalfEven(ToDouble(v));
  if (!(d >= low && d <= high)) Raise(err::kOverflow);
  return static_cast<int64_t>(d);
}

}  // namespace

// A loop, not recursion: a default member may answer another object, and that one another.
// A chain longer than any real one (an object answering itself) is stopped as the platform
// stops the recursion it makes of it.
Variant Dereference(const Variant& v) {
  constexpr int kMaxDefaultChain = 1 << 16;
  Variant value = v;
  for (int hops = 0; value.IsObject(); ++hops) {
    if (value.IsNothing()) Raise(err::kObjectVariableNotSet);
    if (hops == kMaxDefaultChain) Raise(err::kOutOfStackSpace);
    const Ref<Object> holder = value.AsObjectRef();
    value = holder->Invoke(kDispIdValue, static_cast<InvokeKind>(kInvokeGet | kInvokeMethod), {});
  }
  return value;
}

namespace {

// Integer, Long and Byte are written without regard to the locale: digits and a minus sign.
StringView WholeNumberText(int32_t value, char16_t (&digits)[12]) {
  char narrow[12];
  const auto end = std::to_chars(narrow, narrow + sizeof narrow, value).ptr;
  const size_t size = static_cast<size_t>(end - narrow);
  for (size_t i = 0; i < size; ++i) digits[i] = static_cast<char16_t>(narrow[i]);
  return StringView(digits, size);
}

}  // namespace

StringView TextForJoin(const Variant& v, TextRoom& room) {
  switch (v.type()) {
    case VarType::String: return v.AsString();
    case VarType::Null: return {};
    case VarType::Integer:
    case VarType::Long: return WholeNumberText(v.AsWhole(), room.digits);
    case VarType::Byte: return WholeNumberText(v.AsByte(), room.digits);
    default:
      room.converted = ToString(v);
      return room.converted;
  }
}

String ToString(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty: return String();
    case VarType::Null: Raise(err::kInvalidUseOfNull);
    case VarType::Boolean: return v.AsBool() ? CurrentLocale().trueText : CurrentLocale().falseText;
    case VarType::Integer:
    case VarType::Long:
    case VarType::Byte: {
      TextRoom room;
      return String(TextForJoin(v, room));
    }
    case VarType::Single: return FormatSingle(v.AsSingle());
    case VarType::Double: return FormatDouble(v.AsDouble());
    case VarType::Currency: return FormatCurrency(v.AsCurrency());
    case VarType::Date: return FormatDate(v.AsDate());
    case VarType::String: return String(v.AsString());
    case VarType::Object: return ToString(Dereference(v));
    default: Raise(err::kTypeMismatch);
  }
}

double ToDouble(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty: return 0;
    case VarType::Null: Raise(err::kInvalidUseOfNull);
    case VarType::Boolean: return v.AsBool() ? -1 : 0;
    case VarType::Integer: return v.AsInteger();
    case VarType::Long: return v.AsLong();
    case VarType::Byte: return v.AsByte();
    case VarType::Single: return v.AsSingle();
    case VarType::Double: return v.AsDouble();
    case VarType::Currency: return CurrencyToDouble(v.AsCurrency());
    case VarType::Date: return v.AsDate().value;
    case VarType::String: return NumberFromText(v.AsString());
    case VarType::Object: return ToDouble(Dereference(v));
    default: Raise(err::kTypeMismatch);
  }
}

float ToSingle(const Variant& v) {
  const double d = ToDouble(v);
  if (std::fabs(d) > FLT_MAX) Raise(err::kOverflow);
  return static_cast<float>(d);
}

int32_t ToLong(const Variant& v) {
  if (v.type() == VarType::Long) return v.AsLong();
  return static_cast<int32_t>(IntegerValue(v, -2147483648.0, 2147483647.0));
}

int16_t ToInteger(const Variant& v) {
  if (v.type() == VarType::Integer) return v.AsInteger();
  return static_cast<int16_t>(IntegerValue(v, -32768.0, 32767.0));
}

uint8_t ToByte(const Variant& v) {
  if (v.type() == VarType::Byte) return v.AsByte();
  if (v.type() == VarType::Boolean) return v.AsBool() ? 255 : 0;  // the bits of True, as a byte
  return static_cast<uint8_t>(IntegerValue(v, 0.0, 255.0));
}

bool ToBool(const Variant& v) {
  switch (v.type()) {
    case VarType::Boolean: return v.AsBool();
    case VarType::Empty: return false;
    case VarType::Null: Raise(err::kInvalidUseOfNull);
    case VarType::Currency: return v.AsCurrency().value != 0;
    case VarType::String: {
      // The English words, the locale's and the language-neutral "#TRUE#"/"#FALSE#" are
      // accepted; anything else must be a number.
      const StringView s = v.AsString();
      if (EqualsNoCase(s, u"true") || EqualsNoCase(s, CurrentLocale().trueText) || EqualsNoCase(s, u"#true#")) return true;
      if (EqualsNoCase(s, u"false") || EqualsNoCase(s, CurrentLocale().falseText) || EqualsNoCase(s, u"#false#")) return false;
      return NumberFromText(s) != 0;
    }
    case VarType::Object: return ToBool(Dereference(v));
    default: return ToDouble(v) != 0;
  }
}

Currency ToCurrency(const Variant& v) {
  switch (v.type()) {
    case VarType::Currency: return v.AsCurrency();
    case VarType::Integer: return Currency{v.AsInteger() * Currency::kScale};
    case VarType::Long: return Currency{int64_t{v.AsLong()} * Currency::kScale};
    case VarType::Byte: return Currency{int64_t{v.AsByte()} * Currency::kScale};
    case VarType::Boolean: return Currency{v.AsBool() ? -Currency::kScale : 0};
    case VarType::String: return CurrencyFromText(v.AsString());
    default: break;
  }
  const double d = ToDouble(v);
  if (!(std::fabs(d) <= kCurrencyLimit)) Raise(err::kOverflow);
  // Scaled in Double, as the platform does, so that 0.00005 scales to exactly 0.5. Amounts
  // whose scaled value passes a Double's whole-number precision are scaled in extended
  // precision instead, so that whole amounts near the limit stay exact to the last unit.
  if (std::fabs(d) < kExactlyScaled) return Currency{static_cast<int64_t>(RoundHalfEven(d * Currency::kScale))};
  const long double scaled = static_cast<long double>(d) * Currency::kScale;
  long double whole = std::floor(scaled);
  const long double diff = scaled - whole;
  if (diff > 0.5L || (diff == 0.5L && std::fmod(whole, 2.0L) != 0)) whole += 1;
  if (whole > static_cast<long double>(INT64_MAX) || whole < static_cast<long double>(INT64_MIN)) Raise(err::kOverflow);
  return Currency{static_cast<int64_t>(whole)};
}

Date ToDate(const Variant& v) {
  switch (v.type()) {
    case VarType::Date: return v.AsDate();
    case VarType::Null: Raise(err::kInvalidUseOfNull);
    case VarType::String: {
      // A date form first; failing that, a number in text is a date serial ("1" is the day
      // after the epoch).
      if (auto d = ParseDate(v.AsString())) return *d;
      const auto serial = ParseNumber(v.AsString());
      if (!serial) Raise(err::kTypeMismatch);
      if (!calendar::InRange(*serial)) Raise(err::kOverflow);
      return Date{*serial};
    }
    case VarType::Object: return ToDate(Dereference(v));
    default: break;
  }
  const double d = ToDouble(v);
  if (!calendar::InRange(d)) Raise(err::kOverflow);
  return Date{d};
}

bool IsNumeric(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty:
    case VarType::Boolean:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Byte:
    case VarType::Single:
    case VarType::Double:
    case VarType::Currency: return true;
    case VarType::String: {
      auto n = ParseNumber(v.AsString());
      return n && !std::isinf(*n);
    }
    case VarType::Object: {
      if (v.IsNothing()) return false;
      try {
        return IsNumeric(Dereference(v));
      } catch (const AutomationError&) {
        return false;
      }
    }
    default: return false;  // Null, Date, Error, arrays
  }
}

bool IsDateValue(const Variant& v) {
  if (v.type() == VarType::Date) return true;
  if (v.IsString()) return ParseDate(v.AsString()).has_value();
  return false;
}

int CompareStrings(StringView a, StringView b, CompareMode mode) {
  const int c = mode == CompareMode::Text ? CompareNoCase(a, b) : a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

namespace {

Ordering FromInt(int c) { return c < 0 ? Ordering::Less : (c > 0 ? Ordering::Greater : Ordering::Equal); }

Ordering CompareNumbers(const Variant& a, const Variant& b) {
  if (a.type() == VarType::Currency && b.type() == VarType::Currency) {
    const int64_t x = a.AsCurrency().value, y = b.AsCurrency().value;
    return x < y ? Ordering::Less : (x > y ? Ordering::Greater : Ordering::Equal);
  }
  const double x = ToDouble(a), y = ToDouble(b);
  return x < y ? Ordering::Less : (x > y ? Ordering::Greater : Ordering::Equal);
}

}  // namespace

Ordering Compare(const Variant& left, const Variant& right, CompareMode mode) {
  const Variant a = Dereference(left), b = Dereference(right);
  if (a.IsNull() || b.IsNull()) return Ordering::Null;
  if (a.IsArray() || b.IsArray() || a.type() == VarType::Error || b.type() == VarType::Error)
    Raise(err::kTypeMismatch);
  const bool aText = a.IsString(), bText = b.IsString();
  if (aText && bText) return FromInt(CompareStrings(a.AsString(), b.AsString(), mode));
  if (a.IsEmpty() && b.IsEmpty()) return Ordering::Equal;
  // Empty takes the form of the other operand: "" against text, 0 against a number.
  if (a.IsEmpty() && bText) return FromInt(CompareStrings(u"", b.AsString(), mode));
  if (b.IsEmpty() && aText) return FromInt(CompareStrings(a.AsString(), u"", mode));
  // A number (Boolean and Date included) is less than any text.
  if (aText) return Ordering::Greater;
  if (bText) return Ordering::Less;
  return CompareNumbers(a, b);
}

Ordering Compare(const Variant& left, const Variant& right, CompareMode mode, ConstantOperand constant) {
  if (constant == ConstantOperand::None || left.IsNull() || right.IsNull())
    return Compare(left, right, mode);
  // The constant takes the type of the other operand: a number against a text constant
  // compares as numbers, a text against a number constant compares as texts.
  const bool leftConstant = constant == ConstantOperand::Left;
  const Variant& fixed = leftConstant ? right : left;
  const Variant& literal = leftConstant ? left : right;
  const Variant value = Dereference(fixed);
  Variant converted = literal;
  if (literal.IsString() && !value.IsString() && !value.IsEmpty() && !value.IsNull()) {
    converted = Variant(ToDouble(literal));
  } else if (!literal.IsString() && !literal.IsEmpty() && value.IsString()) {
    converted = Variant(ToString(literal));
  }
  return leftConstant ? Compare(converted, value, mode) : Compare(value, converted, mode);
}

}  // namespace brevalcore::automation
