// Dates to and from text under the regional settings: "dd/mm/yyyy", "hh:nn:ss", and the
// looser forms the platform's CDate and IsDate accept.
#include <cstdio>
#include <ctime>
#include <vector>

#include "platform/automation/calendar.h"
#include "platform/automation/convert.h"
#include "platform/automation/locale.h"

namespace brevalcore::automation {
namespace {

// Two-digit years fall in 1930..2029, as the platform's default century window.
constexpr int kTwoDigitYearPivot = 30;

int ExpandYear(int year, size_t digits) {
  if (digits > 2) return year;
  return year < kTwoDigitYearPivot ? 2000 + year : 1900 + year;
}

int CurrentYear() {
  const std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  return local.tm_year + 1900;
}

struct Token {
  enum Kind { Number, Month, AmPm, TimeSep, DateSep } kind;
  int value = 0;
  size_t digits = 0;
};

bool IsLetter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0x17F);
}

// The name without the full stop some abbreviations end with ("janv."): the tokeniser has
// already stepped over it.
bool SameName(StringView word, StringView name) {
  if (!name.empty() && name.back() == u'.') name.remove_suffix(1);
  return EqualsNoCase(word, name);
}

// Month number of a month name or abbreviation of the locale or of English; 0 when it is
// none. Weekday names answer -1 so that the caller can skip them.
int MonthOrDayName(StringView word) {
  static const char16_t* const kEnglishMonths[12] = {u"january", u"february", u"march", u"april",
                                                     u"may", u"june", u"july", u"august",
                                                     u"september", u"october", u"november", u"december"};
  static const char16_t* const kEnglishDays[7] = {u"sunday", u"monday", u"tuesday", u"wednesday",
                                                  u"thursday", u"friday", u"saturday"};
  const Locale& loc = CurrentLocale();
  const String lower = ToLower(word);
  for (int m = 0; m < 12; ++m) {
    if (SameName(lower, loc.monthNames[m]) || SameName(lower, loc.monthAbbreviations[m])) return m + 1;
    const StringView english = kEnglishMonths[m];
    if (lower == english || (lower.size() == 3 && english.substr(0, 3) == lower)) return m + 1;
  }
  for (int d = 0; d < 7; ++d) {
    const StringView english = kEnglishDays[d];
    if (SameName(lower, loc.dayNames[d]) || SameName(lower, loc.dayAbbreviations[d]) || lower == english ||
        (lower.size() == 3 && english.substr(0, 3) == lower))
      return -1;
  }
  return 0;
}

bool Tokenise(StringView text, std::vector<Token>& tokens) {
  const Locale& loc = CurrentLocale();
  size_t i = 0;
  while (i < text.size()) {
    const char16_t c = text[i];
    if (c >= u'0' && c <= u'9') {
      Token t{Token::Number};
      while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
        if (t.digits < 9) t.value = t.value * 10 + (text[i] - u'0');
        ++t.digits;
        ++i;
      }
      tokens.push_back(t);
    } else if (IsLetter(c)) {
      size_t start = i;
      while (i < text.size() && IsLetter(text[i])) ++i;
      StringView word = text.substr(start, i - start);
      if (EqualsNoCase(word, u"am") || EqualsNoCase(word, u"pm")) {
        tokens.push_back({Token::AmPm, EqualsNoCase(word, u"pm") ? 1 : 0});
      } else {
        const int m = MonthOrDayName(word);
        if (m == 0) return false;
        if (m > 0) tokens.push_back({Token::Month, m});
      }
      if (i < text.size() && text[i] == u'.') ++i;  // "mar." abbreviations
    } else if (c == loc.timeSeparator) {
      tokens.push_back({Token::TimeSep});
      ++i;
    } else if (c == loc.dateSeparator || c == u'-' || c == u'.' || c == u'/') {
      tokens.push_back({Token::DateSep});
      ++i;
    } else if (c == u' ' || c == u'\t') {
      ++i;
    } else if (c == u',' && i + 1 < text.size() && text[i + 1] == u' ') {
      ++i;  // "marzo 5, 2026"; a bare comma is the decimal separator, not a date

    } else {
      return false;
    }
  }
  return true;
}

// Day and month of a date written with numbers, in the locale's order. A month over 12 with
// a day that could be a month: the platform reads the other order.
void ReadDayAndMonth(int first, int second, int& day, int& month) {
  const bool monthFirst = CurrentLocale().dateOrder == DateOrder::MonthDayYear;
  day = monthFirst ? second : first;
  month = monthFirst ? first : second;
  if (month > 12 && day <= 12) std::swap(day, month);
}

String Number(int value, int width) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
  return Ascii(buffer);
}

}  // namespace

std::optional<Date> ParseDate(StringView text) {
  std::vector<Token> tokens;
  if (!Tokenise(text, tokens) || tokens.empty()) return std::nullopt;

  // The time: numbers joined by time separators, optionally followed by AM/PM.
  int hour = 0, minute = 0, second = 0;
  bool hasTime = false;
  std::vector<Token> dateTokens;
  for (size_t i = 0; i < tokens.size();) {
    if (tokens[i].kind == Token::Number && i + 1 < tokens.size() && tokens[i + 1].kind == Token::TimeSep) {
      if (hasTime) return std::nullopt;
      int parts[3] = {0, 0, 0};
      int count = 0;
      size_t j = i;
      while (j < tokens.size() && tokens[j].kind == Token::Number && count < 3) {
        parts[count++] = tokens[j].value;
        ++j;
        if (j < tokens.size() && tokens[j].kind == Token::TimeSep) ++j;
        else break;
      }
      if (count < 2) return std::nullopt;
      hour = parts[0];
      minute = parts[1];
      second = parts[2];
      if (j < tokens.size() && tokens[j].kind == Token::AmPm) {
        if (hour < 1 || hour > 12) return std::nullopt;
        hour = hour % 12 + (tokens[j].value ? 12 : 0);
        ++j;
      }
      if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
      hasTime = true;
      i = j;
    } else if (tokens[i].kind == Token::Number && i + 1 < tokens.size() && tokens[i + 1].kind == Token::AmPm) {
      // "5 PM"
      if (hasTime || tokens[i].value < 1 || tokens[i].value > 12) return std::nullopt;
      hour = tokens[i].value % 12 + (tokens[i + 1].value ? 12 : 0);
      hasTime = true;
      i += 2;
    } else {
      if (tokens[i].kind == Token::AmPm || tokens[i].kind == Token::TimeSep) return std::nullopt;
      if (tokens[i].kind != Token::DateSep) dateTokens.push_back(tokens[i]);
      ++i;
    }
  }

  const int64_t seconds = hour * 3600LL + minute * 60LL + second;
  if (dateTokens.empty()) return hasTime ? std::optional<Date>(calendar::Join(0, seconds)) : std::nullopt;

  // The date: day, month and year in the locale's order, a month name anywhere, or a
  // four-digit year first (yyyy/mm/dd).
  int day = 0, month = 0, year = 0;
  size_t yearDigits = 4;
  std::vector<Token> numbers;
  int namedMonth = 0;
  for (const Token& t : dateTokens) {
    if (t.kind == Token::Month) {
      if (namedMonth) return std::nullopt;
      namedMonth = t.value;
    } else {
      numbers.push_back(t);
    }
  }
  if (namedMonth) {
    month = namedMonth;
    if (numbers.size() == 2) {
      day = numbers[0].value;
      year = numbers[1].value;
      yearDigits = numbers[1].digits;
      if (numbers[0].digits > 2) std::swap(day, year), yearDigits = numbers[0].digits;
    } else if (numbers.size() == 1) {
      if (numbers[0].digits > 2 || numbers[0].value > 31) {
        day = 1;
        year = numbers[0].value;
        yearDigits = numbers[0].digits;
      } else {
        day = numbers[0].value;
        year = CurrentYear();
      }
    } else {
      return std::nullopt;
    }
  } else if (numbers.size() == 3) {
    if (numbers[0].digits > 2) {  // yyyy/mm/dd
      year = numbers[0].value;
      yearDigits = numbers[0].digits;
      month = numbers[1].value;
      day = numbers[2].value;
    } else {
      ReadDayAndMonth(numbers[0].value, numbers[1].value, day, month);
      year = numbers[2].value;
      yearDigits = numbers[2].digits;
    }
  } else if (numbers.size() == 2) {
    if (numbers[1].digits > 2 || numbers[1].value > 31) {  // mm/yyyy
      day = 1;
      month = numbers[0].value;
      year = numbers[1].value;
      yearDigits = numbers[1].digits;
    } else {
      ReadDayAndMonth(numbers[0].value, numbers[1].value, day, month);
      year = CurrentYear();
    }
  } else {
    return std::nullopt;
  }
  year = ExpandYear(year, yearDigits);
  if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > calendar::DaysInMonth(year, month))
    return std::nullopt;
  return calendar::Join(calendar::DayNumber(year, month, day), seconds);
}

String FormatDatePattern(Date value, StringView pattern) {
  const Locale& loc = CurrentLocale();
  const calendar::Parts p = calendar::SplitParts(value);
  String out;
  for (size_t i = 0; i < pattern.size();) {
    const char16_t c = pattern[i];
    if (c == u'\'') {  // literal text; '' inside it is a quote
      for (++i; i < pattern.size(); ++i) {
        if (pattern[i] != u'\'') { out.push_back(pattern[i]); continue; }
        if (i + 1 < pattern.size() && pattern[i + 1] == u'\'') { out.push_back(u'\''); ++i; continue; }
        ++i;
        break;
      }
      continue;
    }
    size_t run = 1;
    while (i + run < pattern.size() && pattern[i + run] == c) ++run;
    i += run;
    const int twelve = p.hour % 12 == 0 ? 12 : p.hour % 12;
    switch (c) {
      case u'd':
        if (run >= 4) out += loc.dayNames[calendar::Weekday(value) - 1];
        else if (run == 3) out += loc.dayAbbreviations[calendar::Weekday(value) - 1];
        else out += Number(p.day, static_cast<int>(run));
        break;
      case u'M':
        if (run >= 4) out += loc.monthNames[p.month - 1];
        else if (run == 3) out += loc.monthAbbreviations[p.month - 1];
        else out += Number(p.month, static_cast<int>(run));
        break;
      case u'y': out += run <= 2 ? Number(p.year % 100, static_cast<int>(run)) : Number(p.year, 4); break;
      case u'h': out += Number(twelve, run >= 2 ? 2 : 1); break;
      case u'H': out += Number(p.hour, run >= 2 ? 2 : 1); break;
      case u'm': out += Number(p.minute, run >= 2 ? 2 : 1); break;
      case u's': out += Number(p.second, run >= 2 ? 2 : 1); break;
      case u't': {
        const StringView designator = p.hour < 12 ? loc.am : loc.pm;
        out += run >= 2 ? designator : designator.substr(0, 1);
        break;
      }
      default: out.append(run, c); break;
    }
  }
  // A pattern that ends in an empty designator ("H:mm tt" with none) leaves no trailing space.
  while (!out.empty() && out.back() == u' ') out.pop_back();
  return out;
}

String FormatDate(Date value) {
  // A date without a time shows only the date; the day 0 only the time.
  int64_t day = 0, seconds = 0;
  calendar::Split(value, day, seconds);
  const Locale& loc = CurrentLocale();
  String out;
  if (day != 0) out = FormatDatePattern(value, loc.shortDate);
  if (day == 0 || seconds != 0) {
    if (!out.empty()) out.push_back(u' ');
    out += FormatDatePattern(value, loc.longTime);
  }
  return out;
}

}  // namespace brevalcore::automation
