#include "platform/shell/clock.h"

#include <cmath>
#include <ctime>

namespace brevalcore::shell {
namespace {

// Days from 0001-03-01-based civil calendar; Howard Hinnant's algorithm.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

const int64_t kEpochOffset = DaysFromCivil(1899, 12, 30);

}  // namespace

automation::Date MakeDate(const DateParts& p) {
  const double days = static_cast<double>(DaysFromCivil(p.year, p.month, p.day) - kEpochOffset);
  const double time = (p.hour * 3600.0 + p.minute * 60.0 + p.second) / 86400.0;
  // The platform stores times before 30/12/1899 with a negative day part and a positive
  // fraction: -1.25 is 29/12/1899 06:00.
  return automation::Date{days >= 0 ? days + time : days - time};
}

DateParts SplitDate(automation::Date date) {
  DateParts p;
  const double whole = std::trunc(date.value);
  double fraction = std::fabs(date.value - whole);
  int64_t seconds = std::llround(fraction * 86400.0);
  int64_t day = static_cast<int64_t>(whole);
  if (seconds >= 86400) {  // rounding reached midnight
    seconds -= 86400;
    day += date.value >= 0 ? 1 : -1;
  }
  CivilFromDays(day + kEpochOffset, p.year, p.month, p.day);
  p.hour = static_cast<int>(seconds / 3600);
  p.minute = static_cast<int>(seconds / 60 % 60);
  p.second = static_cast<int>(seconds % 60);
  return p;
}

automation::Date SystemClock::Now() const {
  const std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  return MakeDate({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                   local.tm_min, local.tm_sec});
}

SystemClock& SystemClock::Instance() {
  static SystemClock clock;
  return clock;
}

}  // namespace brevalcore::shell
