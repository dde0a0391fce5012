#pragma once
// The regional settings every text conversion reads. The control runs with Italian settings,
// as its users' machines do (UserLocale). A script may switch its own engine to another
// locale with SetLocale; the engine then makes that locale current on its thread while its
// code runs (LocaleScope), and every conversion and format reads CurrentLocale().
#include <cstdint>

#include "platform/automation/text.h"

namespace brevalcore::automation {

// The order of day and month in dates written with numbers only ("1/2/2026").
enum class DateOrder : uint8_t { DayMonthYear, MonthDayYear };

struct Locale {
  int32_t lcid = 1040;
  const char16_t* name = u"it-it";
  char16_t decimal = u',';
  char16_t thousands = u'.';
  char16_t dateSeparator = u'/';
  char16_t timeSeparator = u':';
  DateOrder dateOrder = DateOrder::DayMonthYear;
  // Date and time patterns: d dd ddd dddd, M MM MMM MMMM, yy yyyy, h hh (12-hour), H HH,
  // m mm, s ss, tt (AM/PM designator), '...' literal text.
  const char16_t* shortDate = u"dd/MM/yyyy";
  const char16_t* longDate = u"dddd d MMMM yyyy";
  const char16_t* longTime = u"HH:mm:ss";
  const char16_t* am = u"";
  const char16_t* pm = u"";
  String currencySymbol = u"\u20AC";
  // Where the symbol goes, numbered as the regional settings number them:
  // positive 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"; negative 0 "($1)" ... 15 "(1 $)".
  uint8_t currencyPositive = 2;
  uint8_t currencyNegative = 9;
  String trueText = u"Vero";    // CStr(True)
  String falseText = u"Falso";  // CStr(False)
  int firstDayOfWeek = 2;       // 1 = Sunday .. 7 = Saturday (vbUseSystemDayOfWeek)
  const char16_t* monthNames[12] = {u"gennaio", u"febbraio", u"marzo", u"aprile", u"maggio",
                                    u"giugno", u"luglio", u"agosto", u"settembre", u"ottobre",
                                    u"novembre", u"dicembre"};
  const char16_t* monthAbbreviations[12] = {u"gen", u"feb", u"mar", u"apr", u"mag", u"giu",
                                            u"lug", u"ago", u"set", u"ott", u"nov", u"dic"};
  // Sunday first, as Weekday numbers them.
  const char16_t* dayNames[7] = {u"domenica", u"luned\u00EC", u"marted\u00EC", u"mercoled\u00EC",
                                 u"gioved\u00EC", u"venerd\u00EC", u"sabato"};
  const char16_t* dayAbbreviations[7] = {u"dom", u"lun", u"mar", u"mer", u"gio", u"ven", u"sab"};
};

// The user's regional settings (Italian), in force wherever no script chose another.
const Locale& UserLocale();
// The settings in force on this thread.
const Locale& CurrentLocale();
// Makes `locale` current on this thread; returns the one it replaces.
const Locale& SetCurrentLocale(const Locale& locale);

// A known locale by identifier (0 is the user's) or by name ("en-us", "it"); null for one
// this system has no settings for.
const Locale* FindLocale(int32_t lcid);
const Locale* FindLocale(StringView name);

// Makes a locale current for the life of the scope and restores the previous one after.
class LocaleScope {
 public:
  explicit LocaleScope(const Locale& locale) : previous_(&SetCurrentLocale(locale)) {}
  ~LocaleScope() { SetCurrentLocale(*previous_); }
  LocaleScope(const LocaleScope&) = delete;
  LocaleScope& operator=(const LocaleScope&) = delete;

 private:
  const Locale* previous_;
};

}  // namespace brevalcore::automation
