// FormatNumber, FormatCurrency, FormatPercent and FormatDateTime under the regional settings.
#include <cmath>
#include <cstdio>

#include "platform/automation/calendar.h"
#include "platform/automation/locale.h"
#include "platform/script/library/library.h"

namespace brevalcore::script::library {
namespace {

using namespace automation;

// Tristate arguments: -1 true, 0 false, -2 (vbUseDefault) the regional setting.
constexpr int32_t kUseDefault = -2;
// The regional settings' defaults for the number formats.
constexpr int32_t kDefaultDecimals = 2;
constexpr bool kDefaultLeadingZero = true;
constexpr bool kDefaultParentheses = false;
constexpr bool kDefaultGrouping = true;
constexpr int kMaxDecimals = 99;

bool Tristate(Args a, size_t i, bool fallback) {
  if (!Given(a, i)) return fallback;
  const int32_t v = ToLong(a[i]);
  if (v == kUseDefault) return fallback;
  if (v != 0 && v != -1) InvalidArgument();
  return v == -1;
}

struct NumberStyle {
  int decimals = kDefaultDecimals;
  bool leadingZero = kDefaultLeadingZero;
  bool parentheses = kDefaultParentheses;
  bool grouping = kDefaultGrouping;
};

NumberStyle StyleArgs(Args a) {
  NumberStyle style;
  if (Given(a, 1)) {
    const int32_t d = ToLong(a[1]);
    if (d < -1 || d > kMaxDecimals) InvalidArgument();
    if (d != -1) style.decimals = d;
  }
  style.leadingZero = Tristate(a, 2, kDefaultLeadingZero);
  style.parentheses = Tristate(a, 3, kDefaultParentheses);
  style.grouping = Tristate(a, 4, kDefaultGrouping);
  return style;
}

// The magnitude of a number as decimal text: whole part and fraction digits.
struct DecimalText {
  std::string whole;
  std::string fraction;
  bool negative = false;
};

// Currency is exact: its four decimals are written from the scaled integer, never through a
// Double, so the last digit of the largest amounts survives.
DecimalText CurrencyDigits(Currency value, int decimals) {
  DecimalText t;
  t.negative = value.value < 0;
  const uint64_t magnitude = t.negative ? 0 - static_cast<uint64_t>(value.value) : static_cast<uint64_t>(value.value);
  t.whole = std::to_string(magnitude / Currency::kScale);
  t.fraction = std::to_string(magnitude % Currency::kScale + Currency::kScale).substr(1);
  t.fraction.resize(static_cast<size_t>(std::max(decimals + 1, 4)), '0');
  return t;
}

// Printing with extra digits first and rounding the text avoids binary noise (1,005 -> 1,01).
DecimalText DoubleDigits(double value, int decimals) {
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%.*f", std::min(decimals + 3, 120), std::fabs(value));
  const std::string text = buffer;
  const size_t point = text.find('.');
  DecimalText t;
  t.whole = text.substr(0, point);
  t.fraction = point == std::string::npos ? "" : text.substr(point + 1);
  t.negative = value < 0;
  return t;
}

// Rounds the digits half away from zero to `decimals` and writes them with the locale's
// separators; `negative` tells whether the rounded value is below zero.
String Digits(DecimalText t, const NumberStyle& style, bool& negative) {
  const Locale& loc = CurrentLocale();
  std::string& whole = t.whole;
  std::string& fraction = t.fraction;
  const bool roundUp = fraction.size() > static_cast<size_t>(style.decimals) && fraction[style.decimals] >= '5';
  fraction.resize(style.decimals, '0');
  if (roundUp) {
    std::string all = whole + fraction;
    int i = static_cast<int>(all.size()) - 1;
    while (i >= 0 && all[i] == '9') all[i--] = '0';
    if (i < 0) all.insert(all.begin(), '1');
    else ++all[i];
    whole = all.substr(0, all.size() - fraction.size());
    fraction = all.substr(all.size() - fraction.size());
  }
  negative = t.negative && (whole.find_first_not_of('0') != std::string::npos ||
                            fraction.find_first_not_of('0') != std::string::npos);
  if (whole == "0" && !style.leadingZero && !fraction.empty()) whole.clear();
  String out;
  for (size_t i = 0; i < whole.size(); ++i) {
    if (style.grouping && i > 0 && (whole.size() - i) % 3 == 0) out.push_back(loc.thousands);
    out.push_back(static_cast<char16_t>(whole[i]));
  }
  if (!fraction.empty()) {
    out.push_back(loc.decimal);
    out += Ascii(fraction);
  }
  return out;
}

String Signed(String body, bool negative, bool parentheses) {
  if (!negative) return body;
  return parentheses ? u"(" + body + u")" : u"-" + body;
}

// The number argument of the Format functions: Null is a type mismatch there, as the
// platform converts it like any other value.
Variant NumberArg(Args a) {
  const Variant v = Value(a, 0);
  if (v.IsNull()) Raise(err::kTypeMismatch);
  if (v.type() == VarType::Currency) return v;
  return Variant(ToDouble(v));
}

String FormattedDigits(const Variant& number, double scale, const NumberStyle& style, bool& negative) {
  if (number.type() == VarType::Currency && scale == 1) return Digits(CurrencyDigits(number.AsCurrency(), style.decimals), style, negative);
  return Digits(DoubleDigits(ToDouble(number) * scale, style.decimals), style, negative);
}

Variant FormatNumber(BuiltinContext&, Args a) {
  const Variant value = NumberArg(a);
  const NumberStyle style = StyleArgs(a);
  bool negative = false;
  const String digits = FormattedDigits(value, 1, style, negative);
  return Variant(Signed(digits, negative, style.parentheses));
}

// The amount with the currency symbol placed as the regional settings place it.
String PlaceSymbol(const String& amount, const String& symbol, bool negative, int parentheses) {
  const Locale& loc = CurrentLocale();
  if (!negative || parentheses == 1) {
    String body;
    switch (loc.currencyPositive) {
      case 0: body = symbol + amount; break;
      case 1: body = amount + symbol; break;
      case 2: body = symbol + u" " + amount; break;
      default: body = amount + u" " + symbol; break;
    }
    return negative ? u"(" + body + u")" : body;
  }
  int pattern = loc.currencyNegative;
  // Parentheses turned off where the locale uses them: the minus sign goes in front.
  if (parentheses == 0 && (pattern == 0 || pattern == 4 || pattern == 14 || pattern == 15)) {
    pattern = pattern == 0 ? 1 : pattern == 4 ? 5 : pattern == 14 ? 9 : 8;
  }
  switch (pattern) {
    case 0: return u"(" + symbol + amount + u")";
    case 1: return u"-" + symbol + amount;
    case 2: return symbol + u"-" + amount;
    case 3: return symbol + amount + u"-";
    case 4: return u"(" + amount + symbol + u")";
    case 5: return u"-" + amount + symbol;
    case 6: return amount + u"-" + symbol;
    case 7: return amount + symbol + u"-";
    case 8: return u"-" + amount + u" " + symbol;
    case 9: return u"-" + symbol + u" " + amount;
    case 10: return amount + u" " + symbol + u"-";
    case 11: return symbol + u" " + amount + u"-";
    case 12: return symbol + u" -" + amount;
    case 13: return amount + u"- " + symbol;
    case 14: return u"(" + symbol + u" " + amount + u")";
    default: return u"(" + amount + u" " + symbol + u")";
  }
}

Variant FormatCurrency(BuiltinContext&, Args a) {
  const Variant value = NumberArg(a);
  const NumberStyle style = StyleArgs(a);
  bool negative = false;
  const String digits = FormattedDigits(value, 1, style, negative);
  const int parentheses = Given(a, 3) && ToLong(a[3]) != kUseDefault ? (style.parentheses ? 1 : 0) : -1;
  return Variant(PlaceSymbol(digits, CurrentLocale().currencySymbol, negative, parentheses));
}

Variant FormatPercent(BuiltinContext&, Args a) {
  const Variant value = NumberArg(a);
  const NumberStyle style = StyleArgs(a);
  bool negative = false;
  const String digits = FormattedDigits(value, 100, style, negative);
  return Variant(Signed(digits + u"%", negative, style.parentheses));
}

// FormatDateTime(date[, format]): 0 general, 1 long date, 2 short date, 3 long time, 4 short
// time (always 24-hour hours and minutes).
Variant FormatDateTime(BuiltinContext&, Args a) {
  const Variant v = Value(a, 0);
  if (v.IsNull()) Raise(err::kTypeMismatch);
  const Date d = ToDate(v);
  const int32_t format = LongArg(a, 1, 0);
  const Locale& loc = CurrentLocale();
  switch (format) {
    case 0: return Variant(FormatDate(d));
    case 1: return Variant(FormatDatePattern(d, loc.longDate));
    case 2: return Variant(FormatDatePattern(d, loc.shortDate));
    case 3: return Variant(FormatDatePattern(d, loc.longTime));
    case 4: return Variant(FormatDatePattern(d, u"HH:mm"));
    default: InvalidArgument();
  }
}

const Builtin kBuiltins[] = {
    {u"FormatNumber", 1, 5, FormatNumber},
    {u"FormatCurrency", 1, 5, FormatCurrency},
    {u"FormatPercent", 1, 5, FormatPercent},
    {u"FormatDateTime", 1, 2, FormatDateTime},
};

}  // namespace

std::span<const Builtin> FormatBuiltins() { return kBuiltins; }

}  // namespace brevalcore::script::library
