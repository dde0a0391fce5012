#pragma once
// Calendar arithmetic on automation Dates (days since 30/12/1899, fraction = time of day),
// proleptic Gregorian as the platform's dates are. Dates before the epoch keep a negative day
// part and a positive time fraction: -1.25 is 29/12/1899 06:00.
#include <cstdint>
#include <optional>

#include "platform/automation/variant.h"

namespace brevalcore::automation::calendar {

// The range the platform accepts: 01/01/100 .. 31/12/9999.
inline constexpr double kMinDate = -657434.0;
inline constexpr double kMaxDate = 2958465.999988426;  // 31/12/9999 23:59:59

struct Parts {
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
// Day number (days since 30/12/1899) of a valid year/month/day.
int64_t DayNumber(int year, int month, int day);
// Year, month and day of a day number.
void CivilDate(int64_t dayNumber, int& year, int& month, int& day);

// Joins a whole day number and a time of day in seconds (0..86399) into a Date, with the
// platform's sign convention for days before the epoch.
Date Join(int64_t dayNumber, int64_t secondsOfDay);
// Day number and seconds since midnight of a Date, the time rounded to whole seconds.
void Split(Date date, int64_t& dayNumber, int64_t& secondsOfDay);
Parts SplitParts(Date date);
Date MakeDate(const Parts& parts);

// DateSerial: months and days out of range carry into the next unit (month 13 is January of
// the next year, day 0 the last day of the previous month); nullopt when the result leaves
// the accepted range.
std::optional<Date> Serial(int64_t year, int64_t month, int64_t day);
// Weekday 1..7 with Sunday = 1.
int Weekday(Date date);

bool InRange(double value);

}  // namespace brevalcore::automation::calendar
