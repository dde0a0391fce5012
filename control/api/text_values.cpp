#include "control/api/text_values.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/automation/calendar.h"
#include "platform/automation/text.h"

namespace brevalcore::api {

using automation::Currency;
using automation::Date;
using automation::Variant;
using automation::VarType;
namespace calendar = automation::calendar;

namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const char x = (a[i] >= 'A' && a[i] <= 'Z') ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
    const char y = (b[i] >= 'A' && b[i] <= 'Z') ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
    if (x != y) return false;
  }
  return true;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Exactly `count` digits at `at`, as a number.
std::optional<int> Digits(std::string_view text, size_t at, size_t count) {
  if (at + count > text.size()) return std::nullopt;
  int value = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (!IsDigit(text[i])) return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

template <class T>
std::optional<T> WholeNumber(std::string_view text) {
  T value{};
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string NumberText(double value) {
  char buffer[64];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return ec == std::errc() ? std::string(buffer, end) : std::string();
}

std::string CurrencyText(Currency value) {
  const bool negative = value.value < 0;
  // The magnitude as unsigned, so that the most negative amount has one too.
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value.value) : static_cast<uint64_t>(value.value);
  std::string text = (negative ? "-" : "") + std::to_string(magnitude / Currency::kScale);
  uint64_t fraction = magnitude % Currency::kScale;
  if (fraction == 0) return text;
  char digits[8];
  std::snprintf(digits, sizeof digits, "%04llu", static_cast<unsigned long long>(fraction));
  std::string decimals(digits);
  while (decimals.back() == '0') decimals.pop_back();
  return text + "." + decimals;
}

}  // namespace

std::optional<bool> ParseBoolean(std::string_view text) {
  if (EqualsIgnoringCase(text, "true")) return true;
  if (EqualsIgnoringCase(text, "false")) return false;
  if (const auto number = ParseNumber(text)) return *number != 0;
  return std::nullopt;
}

std::optional<Date> ParseDate(std::string_view text) {
  if (text.size() != 10 && text.size() != 19) return std::nullopt;
  const auto year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
  if (!year || !month || !day || text[4] != '-' || text[7] != '-') return std::nullopt;
  if (*year < 100 || *month < 1 || *month > 12 || *day < 1 || *day > calendar::DaysInMonth(*year, *month))
    return std::nullopt;
  calendar::Parts parts{*year, *month, *day, 0, 0, 0};
  if (text.size() == 19) {
    const auto hour = Digits(text, 11, 2), minute = Digits(text, 14, 2), second = Digits(text, 17, 2);
    if (text[10] != 'T' || text[13] != ':' || text[16] != ':' || !hour || !minute || !second) return std::nullopt;
    if (*hour > 23 || *minute > 59 || *second > 59) return std::nullopt;
    parts.hour = *hour;
    parts.minute = *minute;
    parts.second = *second;
  }
  return calendar::MakeDate(parts);
}

std::optional<Currency> ParseCurrency(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  const size_t dot = text.find('.');
  const std::string_view whole = text.substr(0, dot);
  const std::string_view fraction = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
  if (whole.empty() && fraction.empty()) return std::nullopt;
  if (fraction.size() > 4 || (dot != std::string_view::npos && fraction.empty())) return std::nullopt;
  for (char c : whole) if (!IsDigit(c)) return std::nullopt;
  for (char c : fraction) if (!IsDigit(c)) return std::nullopt;
  // Currency holds amounts up to about 922 337 203 685 477.
  constexpr int64_t kMaxWhole = std::numeric_limits<int64_t>::max() / Currency::kScale - 1;
  int64_t units = 0;
  if (!whole.empty()) {
    const auto parsed = WholeNumber<int64_t>(whole);
    if (!parsed || *parsed > kMaxWhole) return std::nullopt;
    units = *parsed;
  }
  int64_t decimals = 0;
  for (size_t i = 0; i < 4; ++i) decimals = decimals * 10 + (i < fraction.size() ? fraction[i] - '0' : 0);
  const int64_t value = units * Currency::kScale + decimals;
  return Currency{negative ? -value : value};
}

std::optional<double> ParseNumber(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || !(IsDigit(text.front()) || text.front() == '-' || text.front() == '.')) return std::nullopt;
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<Variant> TextAs(std::string_view text, VarType type) {
  switch (type) {
    case VarType::Empty:
    case VarType::String:
      return Variant(automation::FromUtf8(text));
    case VarType::Boolean:
      if (const auto value = ParseBoolean(text)) return Variant(*value);
      return std::nullopt;
    case VarType::Date:
      if (const auto value = ParseDate(text)) return Variant(*value);
      return std::nullopt;
    case VarType::Currency:
      if (const auto value = ParseCurrency(text)) return Variant(*value);
      return std::nullopt;
    case VarType::Integer:
      if (const auto value = WholeNumber<int16_t>(text)) return Variant(*value);
      return std::nullopt;
    case VarType::Long:
      if (const auto value = WholeNumber<int32_t>(text)) return Variant(*value);
      return std::nullopt;
    case VarType::Single: {
      const auto value = ParseNumber(text);
      if (!value || std::fabs(*value) > std::numeric_limits<float>::max()) return std::nullopt;
      return Variant(static_cast<float>(*value));
    }
    case VarType::Double:
      if (const auto value = ParseNumber(text)) return Variant(*value);
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

std::string ExpectedForm(VarType type) {
  switch (type) {
    case VarType::Boolean: return "a Boolean (True, False, 1 or 0)";
    case VarType::Date: return "a date (YYYY-MM-DD or YYYY-MM-DDTHH:MM:SS)";
    case VarType::Currency: return "an amount (digits, \".\" and at most four decimals)";
    case VarType::Integer: return "a whole number from -32768 to 32767";
    case VarType::Long: return "a whole number from -2147483648 to 2147483647";
    case VarType::Single:
    case VarType::Double: return "a number (\".\" as decimal separator)";
    default: return "text";
  }
}

std::string DateText(Date date) {
  const calendar::Parts p = calendar::SplitParts(date);
  char buffer[32];
  if (p.hour == 0 && p.minute == 0 && p.second == 0)
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", p.year, p.month, p.day);
  else
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute,
                  p.second);
  return buffer;
}

std::optional<std::string> ResultText(const Variant& value) {
  switch (value.type()) {
    case VarType::Empty:
    case VarType::Null: return std::string();
    case VarType::Boolean: return std::string(value.AsBool() ? "True" : "False");
    case VarType::String: return automation::ToUtf8(value.AsString());
    case VarType::Date: return DateText(value.AsDate());
    case VarType::Currency: return CurrencyText(value.AsCurrency());
    case VarType::Integer: return std::to_string(value.AsInteger());
    case VarType::Long: return std::to_string(value.AsLong());
    case VarType::Byte: return std::to_string(value.AsByte());
    case VarType::Single: return NumberText(value.AsSingle());
    case VarType::Double: return NumberText(value.AsDouble());
    default: return std::nullopt;
  }
}

}  // namespace brevalcore::api
