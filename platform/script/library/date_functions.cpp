// Date and time functions: the current time from the context, DateAdd, DateDiff, DatePart,
// DateSerial and TimeSerial, the parts of a date, and the Italian month and day names.
#include <cmath>

#include "platform/automation/calendar.h"
#include "platform/automation/locale.h"
#include "platform/script/library/library.h"

namespace brevalcore::script::library {
namespace {

using namespace automation;
namespace cal = automation::calendar;

constexpr int64_t kSecondsPerDay = 86400;

// A date as seconds on a straight time line (day number * 86400 + time of day), which makes
// hour, minute and second arithmetic plain integer arithmetic for dates before 1900 too.
int64_t Timeline(Date d) {
  int64_t day = 0, seconds = 0;
  cal::Split(d, day, seconds);
  return day * kSecondsPerDay + seconds;
}

Date FromTimeline(int64_t t) {
  int64_t day = t / kSecondsPerDay, seconds = t % kSecondsPerDay;
  if (seconds < 0) { seconds += kSecondsPerDay; --day; }
  const Date d = cal::Join(day, seconds);
  if (!cal::InRange(d.value)) InvalidArgument();
  return d;
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// The date argument `i`; Null reported through `isNull`.
Date DateArg(Args a, size_t i) { return ToDate(a[i]); }

Variant Now(BuiltinContext& c, Args) { return Variant(c.Now()); }
Variant DateFn(BuiltinContext& c, Args) { return Variant(Date{std::floor(c.Now().value)}); }
Variant Time(BuiltinContext& c, Args) {
  const double now = c.Now().value;
  return Variant(Date{now - std::floor(now)});
}
Variant Timer(BuiltinContext& c, Args) {
  const double now = c.Now().value;
  return Variant(static_cast<float>(std::round((now - std::floor(now)) * kSecondsPerDay)));
}

enum class Interval { Year, Quarter, Month, DayOfYear, Day, Weekday, Week, Hour, Minute, Second };

Interval ParseInterval(const Variant& v) {
  const String s = ToLower(ToString(v));
  static const struct { const char16_t* name; Interval interval; } kIntervals[] = {
      {u"yyyy", Interval::Year}, {u"q", Interval::Quarter}, {u"m", Interval::Month},
      {u"y", Interval::DayOfYear}, {u"d", Interval::Day},   {u"w", Interval::Weekday},
      {u"ww", Interval::Week},   {u"h", Interval::Hour},    {u"n", Interval::Minute},
      {u"s", Interval::Second},
  };
  for (const auto& entry : kIntervals)
    if (s == entry.name) return entry.interval;
  InvalidArgument();
}

Date AddMonths(Date d, int64_t months) {
  const cal::Parts p = cal::SplitParts(d);
  int64_t m0 = p.month - 1 + months;
  int64_t year = p.year + FloorDiv(m0, 12);
  m0 -= FloorDiv(m0, 12) * 12;
  if (year < 100 || year > 9999) InvalidArgument();
  const int month = static_cast<int>(m0 + 1);
  // The day is clipped to the end of a shorter month: 31/01 + 1 month is 28/02.
  const int day = std::min(p.day, cal::DaysInMonth(static_cast<int>(year), month));
  return cal::MakeDate({static_cast<int>(year), month, day, p.hour, p.minute, p.second});
}

Variant DateAdd(BuiltinContext&, Args a) {
  const Interval interval = ParseInterval(a[0]);
  // A Null date gives Null; a Null number of intervals cannot be added.
  if (Value(a, 1).IsNull()) Raise(err::kInvalidUseOfNull);
  if (Value(a, 2).IsNull()) return Variant::Null();
  const double number = ToDouble(a[1]);
  const int64_t n = static_cast<int64_t>(std::trunc(number));
  const Date d = DateArg(a, 2);
  switch (interval) {
    case Interval::Year: return Variant(AddMonths(d, n * 12));
    case Interval::Quarter: return Variant(AddMonths(d, n * 3));
    case Interval::Month: return Variant(AddMonths(d, n));
    case Interval::DayOfYear:
    case Interval::Day:
    case Interval::Weekday: return Variant(FromTimeline(Timeline(d) + n * kSecondsPerDay));
    case Interval::Week: return Variant(FromTimeline(Timeline(d) + n * 7 * kSecondsPerDay));
    case Interval::Hour: return Variant(FromTimeline(Timeline(d) + n * 3600));
    case Interval::Minute: return Variant(FromTimeline(Timeline(d) + n * 60));
    case Interval::Second: return Variant(FromTimeline(Timeline(d) + n));
  }
  InvalidArgument();
}

// The first-day-of-week argument: 1..7 (Sunday when left out), or 0 for the regional
// settings' first day.
int FirstDayArg(Args a, size_t i) {
  const int32_t first = LongArg(a, i, 1);
  if (first < 0 || first > 7) InvalidArgument();
  return first == 0 ? CurrentLocale().firstDayOfWeek : first;
}

// Day number of the start of the week holding `day`.
int64_t WeekStart(int64_t day, int firstDay) {
  const int weekday = static_cast<int>(((day + 6) % 7 + 7) % 7) + 1;  // 1 = Sunday
  const int offset = (weekday - firstDay + 7) % 7;
  return day - offset;
}

Variant DateDiff(BuiltinContext&, Args a) {
  const Interval interval = ParseInterval(a[0]);
  if (Value(a, 1).IsNull() || Value(a, 2).IsNull()) return Variant::Null();
  const Date d1 = DateArg(a, 1), d2 = DateArg(a, 2);
  const int firstDay = FirstDayArg(a, 3);
  const int64_t t1 = Timeline(d1), t2 = Timeline(d2);
  const int64_t day1 = FloorDiv(t1, kSecondsPerDay), day2 = FloorDiv(t2, kSecondsPerDay);
  const cal::Parts p1 = cal::SplitParts(d1), p2 = cal::SplitParts(d2);
  int64_t r = 0;
  switch (interval) {
    case Interval::Year: r = p2.year - p1.year; break;
    case Interval::Quarter: r = (p2.year * 4 + (p2.month - 1) / 3) - (p1.year * 4 + (p1.month - 1) / 3); break;
    case Interval::Month: r = (p2.year * 12 + p2.month) - (p1.year * 12 + p1.month); break;
    case Interval::DayOfYear:
    case Interval::Day: r = day2 - day1; break;
    case Interval::Weekday: r = (day2 - day1) / 7; break;
    case Interval::Week: r = (WeekStart(day2, firstDay) - WeekStart(day1, firstDay)) / 7; break;
    case Interval::Hour: r = FloorDiv(t2, 3600) - FloorDiv(t1, 3600); break;
    case Interval::Minute: r = FloorDiv(t2, 60) - FloorDiv(t1, 60); break;
    case Interval::Second: r = t2 - t1; break;
  }
  return Variant(static_cast<int32_t>(r));
}

// Week of the year: the first week holds 1 January (1), has four days (2) or is full (3).
int WeekOfYear(const cal::Parts& p, int firstDay, int firstWeek) {
  const int64_t day = cal::DayNumber(p.year, p.month, p.day);
  auto weekOne = [&](int year) {
    const int64_t jan1 = cal::DayNumber(year, 1, 1);
    int64_t start = WeekStart(jan1, firstDay);
    if (firstWeek == 2 && jan1 - start >= 4) start += 7;
    if (firstWeek == 3 && start != jan1) start += 7;
    return start;
  };
  int64_t start = weekOne(p.year);
  if (day < start) start = weekOne(p.year - 1);
  return static_cast<int>((day - start) / 7 + 1);
}

Variant DatePart(BuiltinContext&, Args a) {
  const Interval interval = ParseInterval(a[0]);
  if (Value(a, 1).IsNull()) return Variant::Null();
  const Date d = DateArg(a, 1);
  const int firstDay = FirstDayArg(a, 2);
  int32_t firstWeek = LongArg(a, 3, 1);
  if (firstWeek < 0 || firstWeek > 3) InvalidArgument();
  if (firstWeek == 0) firstWeek = 1;
  const cal::Parts p = cal::SplitParts(d);
  int r = 0;
  switch (interval) {
    case Interval::Year: r = p.year; break;
    case Interval::Quarter: r = (p.month - 1) / 3 + 1; break;
    case Interval::Month: r = p.month; break;
    case Interval::DayOfYear:
      r = static_cast<int>(cal::DayNumber(p.year, p.month, p.day) - cal::DayNumber(p.year, 1, 1) + 1);
      break;
    case Interval::Day: r = p.day; break;
    case Interval::Weekday: r = (cal::Weekday(d) - firstDay + 7) % 7 + 1; break;
    case Interval::Week: r = WeekOfYear(p, firstDay, firstWeek); break;
    case Interval::Hour: r = p.hour; break;
    case Interval::Minute: r = p.minute; break;
    case Interval::Second: r = p.second; break;
  }
  return Variant(static_cast<int16_t>(r));
}

// Two-digit years in DateSerial fall in 1930..2029.
constexpr int kTwoDigitYearPivot = 30;

Variant DateSerial(BuiltinContext&, Args a) {
  for (size_t i = 0; i < 3; ++i)
    if (Value(a, i).IsNull()) Raise(err::kInvalidUseOfNull);
  int64_t year = ToInteger(a[0]);
  if (year >= 0 && year < 100) year += year < kTwoDigitYearPivot ? 2000 : 1900;
  const auto d = cal::Serial(year, ToInteger(a[1]), ToInteger(a[2]));
  if (!d) InvalidArgument();
  return Variant(*d);
}

Variant TimeSerial(BuiltinContext&, Args a) {
  for (size_t i = 0; i < 3; ++i)
    if (Value(a, i).IsNull()) Raise(err::kInvalidUseOfNull);
  const int64_t seconds = ToInteger(a[0]) * 3600LL + ToInteger(a[1]) * 60LL + ToInteger(a[2]);
  return Variant(FromTimeline(seconds));
}

Variant DateValue(BuiltinContext&, Args a) {
  if (Value(a, 0).IsNull()) return Variant::Null();
  int64_t day = 0, seconds = 0;
  cal::Split(ToDate(a[0]), day, seconds);
  return Variant(cal::Join(day, 0));
}

Variant TimeValue(BuiltinContext&, Args a) {
  if (Value(a, 0).IsNull()) return Variant::Null();
  int64_t day = 0, seconds = 0;
  cal::Split(ToDate(a[0]), day, seconds);
  return Variant(cal::Join(0, seconds));
}

// Year, Month, ... : Null answers Null; the result is an Integer.
template <int cal::Parts::*Field>
Variant PartOf(BuiltinContext&, Args a) {
  if (Value(a, 0).IsNull()) return Variant::Null();
  return Variant(static_cast<int16_t>(cal::SplitParts(ToDate(a[0])).*Field));
}

Variant Weekday(BuiltinContext&, Args a) {
  if (Value(a, 0).IsNull()) return Variant::Null();
  const int firstDay = FirstDayArg(a, 1);
  return Variant(static_cast<int16_t>((cal::Weekday(ToDate(a[0])) - firstDay + 7) % 7 + 1));
}

Variant MonthName(BuiltinContext&, Args a) {
  const int32_t month = ToLong(a[0]);
  if (month < 1 || month > 12) InvalidArgument();
  const Locale& loc = CurrentLocale();
  return Variant(String(BoolArg(a, 1, false) ? loc.monthAbbreviations[month - 1] : loc.monthNames[month - 1]));
}

Variant WeekdayName(BuiltinContext&, Args a) {
  const int32_t weekday = ToLong(a[0]);
  if (weekday < 1 || weekday > 7) InvalidArgument();
  const int firstDay = FirstDayArg(a, 2);
  const int index = (weekday - 1 + firstDay - 1) % 7;  // 0 = Sunday
  const Locale& loc = CurrentLocale();
  return Variant(String(BoolArg(a, 1, false) ? loc.dayAbbreviations[index] : loc.dayNames[index]));
}

const Builtin kBuiltins[] = {
    {u"Now", 0, 0, Now},
    {u"Date", 0, 0, DateFn},
    {u"Time", 0, 0, Time},
    {u"Timer", 0, 0, Timer},
    {u"DateAdd", 3, 3, DateAdd},
    {u"DateDiff", 3, 5, DateDiff},
    {u"DatePart", 2, 4, DatePart},
    {u"DateSerial", 3, 3, DateSerial},
    {u"TimeSerial", 3, 3, TimeSerial},
    {u"DateValue", 1, 1, DateValue},
    {u"TimeValue", 1, 1, TimeValue},
    {u"Year", 1, 1, PartOf<&cal::Parts::year>},
    {u"Month", 1, 1, PartOf<&cal::Parts::month>},
    {u"Day", 1, 1, PartOf<&cal::Parts::day>},
    {u"Hour", 1, 1, PartOf<&cal::Parts::hour>},
    {u"Minute", 1, 1, PartOf<&cal::Parts::minute>},
    {u"Second", 1, 1, PartOf<&cal::Parts::second>},
    {u"Weekday", 1, 2, Weekday},
    {u"MonthName", 1, 2, MonthName},
    {u"WeekdayName", 1, 3, WeekdayName},
};

}  // namespace

std::span<const Builtin> DateBuiltins() { return kBuiltins; }

}  // namespace brevalcore::script::library
