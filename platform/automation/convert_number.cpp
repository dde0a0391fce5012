// Numbers to and from text under the regional settings, as the platform's CStr, CDbl and
// IsNumeric read and write them.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/automation/convert.h"
#include "platform/automation/error.h"
#include "platform/automation/locale.h"

namespace brevalcore::automation {
namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0xA0; }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// &H and &O literals in text: up to 32 bits, read as a Long (so "&HFFFFFFFF" is -1).
std::optional<double> ParseRadix(StringView digits, int radix) {
  if (digits.empty()) return std::nullopt;
  uint64_t value = 0;
  for (char16_t c : digits) {
    int d;
    if (IsDigit(c)) d = c - u'0';
    else if (c >= u'a' && c <= u'f') d = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F') d = c - u'A' + 10;
    else return std::nullopt;
    if (d >= radix) return std::nullopt;
    value = value * radix + d;
    if (value > 0xFFFFFFFFull) return std::nullopt;
  }
  return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(value)));
}

// Replaces the '.' of a C-formatted number with the locale's decimal separator.
String Localise(const char* text) {
  String out;
  for (const char* p = text; *p; ++p) out.push_back(*p == '.' ? CurrentLocale().decimal : char16_t(*p));
  return out;
}

String FormatSignificant(double value, int digits) {
  if (std::isnan(value)) return Localise("-1.#IND");
  if (std::isinf(value)) return Localise(value > 0 ? "1.#INF" : "-1.#INF");
  if (value == 0) return u"0";  // also -0
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*G", digits, value);
  return Localise(buffer);
}

// A number read from locale text, normalised: either a radix literal's value, or plain
// ASCII digits with "." and an optional exponent ("1234.5e3") and a sign.
struct NumberText {
  std::optional<double> radixValue;
  std::string ascii;
  bool negative = false;
};

std::optional<NumberText> ReadNumberText(StringView text) {
  const Locale& loc = CurrentLocale();
  size_t i = 0, n = text.size();
  while (i < n && IsBlank(text[i])) ++i;
  while (n > i && IsBlank(text[n - 1])) --n;
  StringView s = text.substr(i, n - i);
  if (s.empty()) return std::nullopt;

  if (s.size() >= 2 && s[0] == u'&') {
    std::optional<double> value;
    if (s[1] == u'H' || s[1] == u'h') value = ParseRadix(s.substr(2), 16);
    else if (s[1] == u'O' || s[1] == u'o') value = ParseRadix(s.substr(2), 8);
    else value = ParseRadix(s.substr(1), 8);
    if (!value) return std::nullopt;
    return NumberText{value, {}, false};
  }

  // Sign, parentheses and the currency symbol may surround the digits.
  bool negative = false, parens = false, signSeen = false, currencySeen = false;
  auto takePrefix = [&]() {
    for (;;) {
      while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
      if (s.empty()) return;
      if ((s.front() == u'-' || s.front() == u'+') && !signSeen) {
        negative = s.front() == u'-';
        signSeen = true;
        s.remove_prefix(1);
      } else if (s.front() == u'(' && !parens && !signSeen) {
        parens = true;
        s.remove_prefix(1);
      } else if (!currencySeen && s.substr(0, loc.currencySymbol.size()) == loc.currencySymbol) {
        currencySeen = true;
        s.remove_prefix(loc.currencySymbol.size());
      } else {
        return;
      }
    }
  };
  takePrefix();
  auto takeSuffix = [&]() {
    for (;;) {
      while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
      if (s.empty()) return true;
      if (parens && s.back() == u')') {
        parens = false;
        negative = true;  // "(5)" is -5, as accountants write it
        s.remove_suffix(1);
      } else if (!currencySeen && s.size() >= loc.currencySymbol.size() &&
                 s.substr(s.size() - loc.currencySymbol.size()) == loc.currencySymbol) {
        currencySeen = true;
        s.remove_suffix(loc.currencySymbol.size());
      } else if (!signSeen && !parens && (s.back() == u'-' || s.back() == u'+')) {
        negative = s.back() == u'-';
        signSeen = true;
        s.remove_suffix(1);
      } else {
        return true;
      }
    }
  };
  takeSuffix();
  if (parens) return std::nullopt;  // an opening parenthesis without its closing one

  std::string ascii;
  ascii.reserve(s.size() + 2);
  size_t pos = 0;
  bool digits = false, decimal = false;
  // Integer part: thousands separators are skipped wherever they appear.
  for (; pos < s.size(); ++pos) {
    const char16_t c = s[pos];
    if (IsDigit(c)) { ascii.push_back(static_cast<char>(c)); digits = true; }
    else if (c == loc.thousands) continue;
    else break;
  }
  if (pos < s.size() && s[pos] == loc.decimal) {
    decimal = true;
    ascii.push_back('.');
    for (++pos; pos < s.size() && IsDigit(s[pos]); ++pos) {
      ascii.push_back(static_cast<char>(s[pos]));
      digits = true;
    }
  }
  if (!digits) return std::nullopt;
  if (pos < s.size() && (s[pos] == u'E' || s[pos] == u'e' || s[pos] == u'D' || s[pos] == u'd')) {
    ascii.push_back('e');
    ++pos;
    if (pos < s.size() && (s[pos] == u'+' || s[pos] == u'-')) ascii.push_back(static_cast<char>(s[pos++]));
    bool expDigits = false;
    for (; pos < s.size() && IsDigit(s[pos]); ++pos) {
      ascii.push_back(static_cast<char>(s[pos]));
      expDigits = true;
    }
    if (!expDigits) return std::nullopt;
  }
  (void)decimal;
  if (pos != s.size()) return std::nullopt;
  return NumberText{std::nullopt, std::move(ascii), negative};
}

// Digits of a normalised number scaled by 10 000 and rounded half to even, without a
// Double in between; nullopt when it leaves the Currency range.
std::optional<Currency> ExactCurrency(const NumberText& n) {
  std::string digits;  // without the point
  int pointAt = -1, exponent = 0;
  size_t i = 0;
  for (; i < n.ascii.size() && n.ascii[i] != 'e'; ++i) {
    if (n.ascii[i] == '.') pointAt = static_cast<int>(digits.size());
    else digits.push_back(n.ascii[i]);
  }
  if (i < n.ascii.size()) {
    const long e = std::strtol(n.ascii.c_str() + i + 1, nullptr, 10);
    if (e > 40 || e < -40) return std::nullopt;  // far outside the range, or rounds to 0
    exponent = static_cast<int>(e);
  }
  if (pointAt < 0) pointAt = static_cast<int>(digits.size());
  // Units: the digits up to four places after the point; the rest decides the rounding.
  const int unitsEnd = pointAt + exponent + 4;
  __int128 units = 0;
  for (int k = 0; k < unitsEnd; ++k) {
    units = units * 10 + (k >= 0 && k < static_cast<int>(digits.size()) ? digits[k] - '0' : 0);
    if (units > (static_cast<__int128>(1) << 64)) return std::nullopt;
  }
  int first = unitsEnd >= 0 && unitsEnd < static_cast<int>(digits.size()) ? digits[unitsEnd] - '0' : 0;
  bool beyond = false;
  for (int k = std::max(unitsEnd + 1, 0); k < static_cast<int>(digits.size()); ++k) beyond |= digits[k] != '0';
  if (unitsEnd < 0) {  // every digit lies beyond the fourth decimal
    first = 0;
    beyond = digits.find_first_not_of('0') != std::string::npos;
  }
  if (first > 5 || (first == 5 && (beyond || (units & 1)))) ++units;
  if (n.negative) units = -units;
  if (units > INT64_MAX || units < INT64_MIN) return std::nullopt;
  return Currency{static_cast<int64_t>(units)};
}

}  // namespace

std::optional<double> ParseNumber(StringView text) {
  const auto n = ReadNumberText(text);
  if (!n) return std::nullopt;
  if (n->radixValue) return n->radixValue;
  const double value = std::strtod(n->ascii.c_str(), nullptr);
  return n->negative ? -value : value;
}

Currency CurrencyFromText(StringView text) {
  const auto n = ReadNumberText(text);
  if (!n) Raise(err::kTypeMismatch);
  if (n->radixValue) return Currency{static_cast<int64_t>(*n->radixValue) * Currency::kScale};
  const auto c = ExactCurrency(*n);
  if (!c) Raise(err::kOverflow);
  return *c;
}

String FormatDouble(double value) { return FormatSignificant(value, 15); }

String FormatSingle(float value) { return FormatSignificant(value, 7); }

String FormatCurrency(Currency value) {
  // Up to four decimals, trailing zeros dropped, no thousands separators.
  const bool negative = value.value < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value.value) : static_cast<uint64_t>(value.value);
  std::string whole = std::to_string(magnitude / Currency::kScale);
  std::string fraction = std::to_string(magnitude % Currency::kScale + Currency::kScale).substr(1);
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  String out;
  if (negative) out.push_back(u'-');
  out += Ascii(whole);
  if (!fraction.empty()) {
    out.push_back(CurrentLocale().decimal);
    out += Ascii(fraction);
  }
  return out;
}

}  // namespace brevalcore::automation
