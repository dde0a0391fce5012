#include "platform/automation/calendar.h"

#include <cmath>

namespace brevalcore::automation::calendar {
namespace {

// Days since 01/01/1970 of a civil date (Howard Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

constexpr int64_t kEpochFrom1970 = -25569;  // 30/12/1899 as days since 01/01/1970
constexpr int64_t kSecondsPerDay = 86400;

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

int64_t DayNumber(int year, int month, int day) {
  return DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpochFrom1970;
}

void CivilDate(int64_t dayNumber, int& year, int& month, int& day) {
  int64_t z = dayNumber + kEpochFrom1970 + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yy + (month <= 2));
}

Date Join(int64_t dayNumber, int64_t secondsOfDay) {
  const double time = static_cast<double>(secondsOfDay) / kSecondsPerDay;
  const double days = static_cast<double>(dayNumber);
  return Date{dayNumber >= 0 ? days + time : days - time};
}

void Split(Date date, int64_t& dayNumber, int64_t& secondsOfDay) {
  const double whole = std::trunc(date.value);
  const double fraction = std::fabs(date.value - whole);
  secondsOfDay = std::llround(fraction * kSecondsPerDay);
  dayNumber = static_cast<int64_t>(whole);
  if (secondsOfDay >= kSecondsPerDay) {  // rounding reached midnight
    secondsOfDay -= kSecondsPerDay;
    dayNumber += date.value >= 0 ? 1 : -1;
  }
}

Parts SplitParts(Date date) {
  int64_t day = 0, seconds = 0;
  Split(date, day, seconds);
  Parts p;
  CivilDate(day, p.year, p.month, p.day);
  p.hour = static_cast<int>(seconds / 3600);
  p.minute = static_cast<int>(seconds / 60 % 60);
  p.second = static_cast<int>(seconds % 60);
  return p;
}

Date MakeDate(const Parts& p) {
  return Join(DayNumber(p.year, p.month, p.day), p.hour * 3600LL + p.minute * 60LL + p.second);
}

std::optional<Date> Serial(int64_t year, int64_t month, int64_t day) {
  // Normalise the month first, then let the day run over as a plain day offset.
  int64_t m0 = month - 1;
  year += m0 >= 0 ? m0 / 12 : -((11 - m0) / 12);
  m0 = ((m0 % 12) + 12) % 12;
  if (year < 100 || year > 9999) return std::nullopt;
  const int64_t number = DayNumber(static_cast<int>(year), static_cast<int>(m0 + 1), 1) + (day - 1);
  if (!InRange(static_cast<double>(number))) return std::nullopt;
  return Date{static_cast<double>(number)};
}

int Weekday(Date date) {
  int64_t day = 0, seconds = 0;
  Split(date, day, seconds);
  // Day 0 (30/12/1899) was a Saturday.
  return static_cast<int>(((day + 6) % 7 + 7) % 7) + 1;
}

// The day part decides: 01/01/100 with a time of day lies below kMinDate (times of days
// before the epoch are subtracted) and is still a valid date.
bool InRange(double value) {
  if (!(value > kMinDate - 2 && value < kMaxDate + 2)) return false;  // NaN too
  int64_t day = 0, seconds = 0;
  Split(Date{value}, day, seconds);
  return day >= static_cast<int64_t>(kMinDate) && day <= static_cast<int64_t>(kMaxDate);
}

}  // namespace brevalcore::automation::calendar
