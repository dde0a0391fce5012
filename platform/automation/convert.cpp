// First cut of the conversions: enough for the layers above to build on. The complete
// platform rules (rounding, overflow, every text form) replace this file.
#include "platform/automation/convert.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/automation/error.h"
#include "platform/automation/locale.h"

namespace brevalcore::automation {

Variant Dereference(const Variant& v) {
  if (!v.IsObject()) return v;
  if (v.IsNothing()) Raise(err::kObjectVariableNotSet);
  return v.AsObject()->Invoke(kDispIdValue, static_cast<InvokeKind>(kInvokeGet | kInvokeMethod), {});
}

std::optional<double> ParseNumber(StringView text) {
  std::string ascii;
  for (char16_t c : text) {
    if (c == CurrentLocale().decimal) ascii.push_back('.');
    else if (c == CurrentLocale().thousands) continue;
    else if (c < 0x80) ascii.push_back(static_cast<char>(c));
    else return std::nullopt;
  }
  while (!ascii.empty() && ascii.back() == ' ') ascii.pop_back();
  size_t start = ascii.find_first_not_of(' ');
  if (start == std::string::npos) return std::nullopt;
  ascii = ascii.substr(start);
  char* end = nullptr;
  double value = std::strtod(ascii.c_str(), &end);
  if (end == ascii.c_str() || *end != '\0') return std::nullopt;
  return value;
}

std::optional<Date> ParseDate(StringView) { return std::nullopt; }

String FormatDouble(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15G", value);
  String out;
  for (const char* p = buffer; *p; ++p) out.push_back(*p == '.' ? CurrentLocale().decimal : char16_t(*p));
  return out;
}

String FormatSingle(float value) { return FormatDouble(value); }
String FormatCurrency(Currency value) { return FormatDouble(static_cast<double>(value.value) / Currency::kScale); }
String FormatDate(Date value) { return FormatDouble(value.value); }

String ToString(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty: return String();
    case VarType::Null: Raise(err::kInvalidUseOfNull);
    case VarType::Boolean: return v.AsBool() ? CurrentLocale().trueText : CurrentLocale().falseText;
    case VarType::Integer: return Ascii(std::to_string(v.AsInteger()));
    case VarType::Long: return Ascii(std::to_string(v.AsLong()));
    case VarType::Byte: return Ascii(std::to_string(v.AsByte()));
    case VarType::Single: return FormatSingle(v.AsSingle());
    case VarType::Double: return FormatDouble(v.AsDouble());
    case VarType::Currency: return FormatCurrency(v.AsCurrency());
    case VarType::Date: return FormatDate(v.AsDate());
    case VarType::String: return v.AsString();
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
    case VarType::Currency: return static_cast<double>(v.AsCurrency().value) / Currency::kScale;
    case VarType::Date: return v.AsDate().value;
    case VarType::String: {
      auto n = ParseNumber(v.AsString());
      if (!n) Raise(err::kTypeMismatch);
      return *n;
    }
    case VarType::Object: return ToDouble(Dereference(v));
    default: Raise(err::kTypeMismatch);
  }
}

namespace {
double RoundHalfEven(double x) { return std::nearbyint(x); }
}  // namespace

float ToSingle(const Variant& v) { return static_cast<float>(ToDouble(v)); }

int32_t ToLong(const Variant& v) {
  const double d = RoundHalfEven(ToDouble(v));
  if (d < -2147483648.0 || d > 2147483647.0) Raise(err::kOverflow);
  return static_cast<int32_t>(d);
}

int16_t ToInteger(const Variant& v) {
  const double d = RoundHalfEven(ToDouble(v));
  if (d < -32768.0 || d > 32767.0) Raise(err::kOverflow);
  return static_cast<int16_t>(d);
}

uint8_t ToByte(const Variant& v) {
  const double d = RoundHalfEven(ToDouble(v));
  if (d < 0 || d > 255) Raise(err::kOverflow);
  return static_cast<uint8_t>(d);
}

bool ToBool(const Variant& v) {
  if (v.type() == VarType::Boolean) return v.AsBool();
  if (v.IsString()) {
    if (EqualsNoCase(v.AsString(), u"true") || EqualsNoCase(v.AsString(), CurrentLocale().trueText)) return true;
    if (EqualsNoCase(v.AsString(), u"false") || EqualsNoCase(v.AsString(), CurrentLocale().falseText)) return false;
  }
  return ToDouble(v) != 0;
}

Currency ToCurrency(const Variant& v) {
  const double d = RoundHalfEven(ToDouble(v) * Currency::kScale);
  if (std::fabs(d) > 9.2e18) Raise(err::kOverflow);
  return Currency{static_cast<int64_t>(d)};
}

Date ToDate(const Variant& v) {
  if (v.IsString()) {
    if (auto d = ParseDate(v.AsString())) return *d;
  }
  return Date{ToDouble(v)};
}

bool IsNumeric(const Variant& v) {
  if (v.IsNumber() || v.type() == VarType::Boolean || v.IsEmpty()) return true;
  return v.IsString() && ParseNumber(v.AsString()).has_value();
}

bool IsDateValue(const Variant& v) {
  return v.type() == VarType::Date || (v.IsString() && ParseDate(v.AsString()).has_value());
}

int CompareStrings(StringView a, StringView b, CompareMode mode) {
  const int c = mode == CompareMode::Text ? CompareNoCase(a, b) : a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

Ordering Compare(const Variant& a, const Variant& b, CompareMode mode) {
  if (a.IsNull() || b.IsNull()) return Ordering::Null;
  if (a.IsString() && b.IsString()) {
    const int c = CompareStrings(a.AsString(), b.AsString(), mode);
    return c < 0 ? Ordering::Less : (c > 0 ? Ordering::Greater : Ordering::Equal);
  }
  const double x = ToDouble(a), y = ToDouble(b);
  return x < y ? Ordering::Less : (x > y ? Ordering::Greater : Ordering::Equal);
}

}  // namespace brevalcore::automation
