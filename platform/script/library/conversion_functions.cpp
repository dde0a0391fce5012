// CBool .. CStr, Hex, Oct, Int, Fix, Abs, Sgn and the character-code functions.
#include <cmath>

#include "platform/script/library/library.h"

namespace brevalcore::script::library {
namespace {

using namespace automation;

Variant CBool(BuiltinContext&, Args a) { return Variant(ToBool(a[0])); }
Variant CByte(BuiltinContext&, Args a) { return Variant(ToByte(a[0])); }
Variant CCur(BuiltinContext&, Args a) { return Variant(ToCurrency(a[0])); }
Variant CDate(BuiltinContext&, Args a) { return Variant(ToDate(a[0])); }
Variant CDbl(BuiltinContext&, Args a) { return Variant(ToDouble(a[0])); }
Variant CInt(BuiltinContext&, Args a) { return Variant(ToInteger(a[0])); }
Variant CLng(BuiltinContext&, Args a) { return Variant(ToLong(a[0])); }
Variant CSng(BuiltinContext&, Args a) { return Variant(ToSingle(a[0])); }
Variant CStr(BuiltinContext&, Args a) { return Variant(ToString(a[0])); }

// Hex and Oct show an Integer in 16 bits and a Byte in 8, everything else as a Long, so
// Hex(-1) is "FFFF" but Hex(-32768&) is "FFFF8000".
Variant InRadix(Args a, int bitsPerDigit) {
  const Variant v = Value(a, 0);
  if (v.IsNull()) return Variant::Null();
  uint32_t bits;
  if (v.type() == VarType::Integer || v.IsEmpty() || v.type() == VarType::Boolean)
    bits = static_cast<uint16_t>(ToInteger(v));
  else if (v.type() == VarType::Byte)
    bits = v.AsByte();
  else
    bits = static_cast<uint32_t>(ToLong(v));
  static const char kDigits[] = "0123456789ABCDEF";
  const uint32_t mask = (1u << bitsPerDigit) - 1;
  String out;
  do {
    out.insert(out.begin(), static_cast<char16_t>(kDigits[bits & mask]));
    bits >>= bitsPerDigit;
  } while (bits != 0);
  return Variant(out);
}

Variant Hex(BuiltinContext&, Args a) { return InRadix(a, 4); }
Variant Oct(BuiltinContext&, Args a) { return InRadix(a, 3); }

// Int or Fix of a Currency in whole units: through a Double the last digits of large amounts
// are lost, and Int of the smallest amount leaves the range.
Currency WholeCurrency(Currency c, bool down) {
  int64_t whole = c.value / Currency::kScale;
  if (down && c.value % Currency::kScale < 0) --whole;
  int64_t units;
  if (__builtin_mul_overflow(whole, Currency::kScale, &units)) Raise(err::kOverflow);
  return Currency{units};
}

// Int and Fix keep the argument's numeric type; text and dates are read as Double.
// Int rounds down, Fix towards zero.
Variant Truncate(Args a, bool down) {
  double (*round)(double) = down ? +[](double x) { return std::floor(x); } : +[](double x) { return std::trunc(x); };
  const Variant v = Value(a, 0);
  switch (v.type()) {
    case VarType::Null: return Variant::Null();
    case VarType::Empty: return Variant(int16_t{0});
    case VarType::Boolean: return Variant(static_cast<int16_t>(v.AsBool() ? -1 : 0));
    case VarType::Integer:
    case VarType::Long:
    case VarType::Byte: return v;
    case VarType::Single: return Variant(static_cast<float>(round(v.AsSingle())));
    case VarType::Currency: return Variant(WholeCurrency(v.AsCurrency(), down));
    case VarType::Date: return Variant(Date{round(v.AsDate().value)});
    default: return Variant(round(ToDouble(v)));
  }
}

Variant Int(BuiltinContext&, Args a) { return Truncate(a, true); }
Variant Fix(BuiltinContext&, Args a) { return Truncate(a, false); }

Variant Abs(BuiltinContext&, Args a) {
  const Variant v = Value(a, 0);
  switch (v.type()) {
    case VarType::Null: return Variant::Null();
    case VarType::Empty: return Variant(int16_t{0});
    case VarType::Boolean: return Variant(static_cast<int16_t>(v.AsBool() ? 1 : 0));
    case VarType::Integer:
      if (v.AsInteger() == INT16_MIN) return Variant(int32_t{32768});
      return Variant(static_cast<int16_t>(std::abs(v.AsInteger())));
    case VarType::Long:
      if (v.AsLong() == INT32_MIN) return Variant(2147483648.0);
      return Variant(static_cast<int32_t>(std::abs(v.AsLong())));
    case VarType::Byte: return v;
    case VarType::Single: return Variant(std::fabs(v.AsSingle()));
    case VarType::Currency:
      if (v.AsCurrency().value == INT64_MIN) Raise(err::kOverflow);
      return Variant(Currency{std::abs(v.AsCurrency().value)});
    case VarType::Date: return Variant(Date{std::fabs(v.AsDate().value)});
    default: return Variant(std::fabs(ToDouble(v)));
  }
}

Variant Sgn(BuiltinContext&, Args a) {
  const Variant v = Value(a, 0);
  if (v.IsNull()) Raise(err::kInvalidUseOfNull);
  const double d = ToDouble(v);
  return Variant(static_cast<int16_t>(d > 0 ? 1 : (d < 0 ? -1 : 0)));
}

const String& NonEmptyText(Args a, String& holder) {
  const Variant v = Value(a, 0);
  if (v.IsNull()) Raise(err::kInvalidUseOfNull);
  holder = ToString(v);
  if (holder.empty()) InvalidArgument();
  return holder;
}

// Asc answers the code of the first character in the single-byte code page ("?" when the
// character has none there); AscW the UTF-16 unit as an Integer; AscB its low byte.
Variant Asc(BuiltinContext&, Args a) {
  String text;
  NonEmptyText(a, text);
  const std::string bytes = ToCp1252(StringView(text).substr(0, 1));
  return Variant(static_cast<int16_t>(static_cast<uint8_t>(bytes[0])));
}

Variant AscW(BuiltinContext&, Args a) {
  String text;
  NonEmptyText(a, text);
  return Variant(static_cast<int16_t>(text[0]));
}

Variant AscB(BuiltinContext&, Args a) {
  String text;
  NonEmptyText(a, text);
  return Variant(static_cast<int16_t>(text[0] & 0xFF));
}

Variant Chr(BuiltinContext&, Args a) {
  if (Value(a, 0).IsNull()) Raise(err::kInvalidUseOfNull);
  const int32_t code = ToLong(a[0]);
  if (code < 0 || code > 255) InvalidArgument();
  const char byte = static_cast<char>(code);
  return Variant(FromCp1252(std::string_view(&byte, 1)));
}

Variant ChrW(BuiltinContext&, Args a) {
  if (Value(a, 0).IsNull()) Raise(err::kInvalidUseOfNull);
  const int32_t code = ToLong(a[0]);
  if (code < -32768 || code > 65535) InvalidArgument();
  return Variant(String(1, static_cast<char16_t>(code & 0xFFFF)));
}

Variant ChrB(BuiltinContext&, Args a) {
  if (Value(a, 0).IsNull()) Raise(err::kInvalidUseOfNull);
  const int32_t code = ToLong(a[0]);
  if (code < 0 || code > 255) InvalidArgument();
  return Variant(String(1, static_cast<char16_t>(code)));
}

const Builtin kBuiltins[] = {
    {u"CBool", 1, 1, CBool, true}, {u"CByte", 1, 1, CByte, true}, {u"CCur", 1, 1, CCur, true},
    {u"CDate", 1, 1, CDate, true}, {u"CDbl", 1, 1, CDbl, true},   {u"CInt", 1, 1, CInt, true},
    {u"CLng", 1, 1, CLng, true},   {u"CSng", 1, 1, CSng, true},   {u"CStr", 1, 1, CStr},   {u"Hex", 1, 1, Hex},     {u"Oct", 1, 1, Oct},    {u"Int", 1, 1, Int},
    {u"Fix", 1, 1, Fix},     {u"Abs", 1, 1, Abs},     {u"Sgn", 1, 1, Sgn},    {u"Asc", 1, 1, Asc},
    {u"AscW", 1, 1, AscW},   {u"AscB", 1, 1, AscB},   {u"Chr", 1, 1, Chr},    {u"ChrW", 1, 1, ChrW},
    {u"ChrB", 1, 1, ChrB},
};

}  // namespace

std::span<const Builtin> ConversionBuiltins() { return kBuiltins; }

}  // namespace brevalcore::script::library
