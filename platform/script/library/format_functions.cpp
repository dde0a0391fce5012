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

// The magnitude of `value` rounded half away from zero to `decimals`, with the locale's
// separators; `negative` tells whether the rounded value is below zero.
String Digits(double value, const NumberStyle& style, bool& negative) {
  const Locale& loc = CurrentLocale();
  char buffer[400];
  // Printing with extra digits first and rounding the text avoids binary noise (1,005 -> 1,01).
  std::snprintf(buffer, sizeof buffer, "%.*f", std::min(style.decimals + 3, 120), std::fabs(value));
  std::string text = buffer;
  const size_t point = text.find('.');
  std::string whole = text.substr(0, point);
  std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
  const bool roundUp = fraction.size() > static_cast<size_t>(style.decimals) && fraction[style.decimals] >= '5';
  fraction.resize(style.decimals);
  if (roundUp) {
    std::string all = whole + fraction;
    int i = static_cast<int>(all.size()) - 1;
    while (i >= 0 && all[i] == '9') all[i--] = '0';
    if (i < 0) all.insert(all.begin(), '1');
    else ++all[i];
    whole = all.substr(0, all.size() - fraction.size());
    fraction = all.substr(all.size() - fraction.size());
  }
  negative = value < 0 && (whole.find_first_not_of('0') != std::string::npos ||
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

double NumberArg(Args a) {
  const Variant v = Value(a, 0);
  if (v.IsNull()) Raise(err::kInvalidUseOfNull);
  return ToDouble(v);
}

Variant FormatNumber(BuiltinContext&, Args a) {
  const double value = NumberArg(a);
  const NumberStyle style = StyleArgs(a);
  bool negative = false;
  const String digits = Digits(value, style, negative);
  return Variant(Signed(digits, negative, style.parentheses));
}

// Italian currency: the symbol before the amount, then a space ("€ 1.234,50", "-€ 1.234,50").
Variant FormatCurrency(BuiltinContext&, Args a) {
  const double value = NumberArg(a);
  const NumberStyle style = StyleArgs(a);
  bool negative = false;
  const String digits = Digits(value, style, negative);
  return Variant(Signed(CurrentLocale().currencySymbol + u" " + digits, negative, style.parentheses));
}

Variant FormatPercent(BuiltinContext&, Args a) {
  const double value = NumberArg(a) * 100;
  const NumberStyle style = StyleArgs(a);
  bool negative = false;
  const String digits = Digits(value, style, negative);
  return Variant(Signed(digits + u"%", negative, style.parentheses));
}

String Two(int n) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%02d", n);
  return Ascii(buffer);
}

// FormatDateTime(date[, format]): 0 general, 1 long date, 2 short date, 3 long time, 4 short time.
Variant FormatDateTime(BuiltinContext&, Args a) {
  const Variant v = Value(a, 0);
  if (v.IsNull()) Raise(err::kInvalidUseOfNull);
  const Date d = ToDate(v);
  const int32_t format = LongArg(a, 1, 0);
  const Locale& loc = CurrentLocale();
  const calendar::Parts p = calendar::SplitParts(d);
  switch (format) {
    case 0: return Variant(FormatDate(d));
    case 1:
      return Variant(String(loc.dayNames[calendar::Weekday(d) - 1]) + u" " + Ascii(std::to_string(p.day)) + u" " +
                     loc.monthNames[p.month - 1] + u" " + Ascii(std::to_string(p.year)));
    case 2: return Variant(Two(p.day) + loc.dateSeparator + Two(p.month) + loc.dateSeparator + Ascii(std::to_string(p.year)));
    case 3: return Variant(Two(p.hour) + loc.timeSeparator + Two(p.minute) + loc.timeSeparator + Two(p.second));
    case 4: return Variant(Two(p.hour) + loc.timeSeparator + Two(p.minute));
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
