#pragma once
// The time source. Everything that reads "today" or "now" (banner history, temporary file
// names, traces) takes a Clock, so tests and the scenario runner can fix the time.
#include "platform/automation/calendar.h"
#include "platform/automation/variant.h"

namespace brevalcore::shell {

class Clock {
 public:
  virtual ~Clock() = default;
  // Local date and time as an automation Date (days since 30/12/1899, fraction = time),
  // whole seconds, as the platform's Now returns it.
  virtual automation::Date Now() const = 0;
};

// The machine's local time.
class SystemClock : public Clock {
 public:
  automation::Date Now() const override;
  static SystemClock& Instance();
};

// A clock that stands still until it is set or advanced.
class FixedClock : public Clock {
 public:
  explicit FixedClock(automation::Date now = {}) : now_(now) {}
  automation::Date Now() const override { return now_; }
  void Set(automation::Date now) { now_ = now; }
  void AdvanceSeconds(double seconds) { now_.value += seconds / 86400.0; }

 private:
  automation::Date now_;
};

// Calendar helpers, shared with the automation layer's date conversions.
using DateParts = automation::calendar::Parts;
inline automation::Date MakeDate(const DateParts& parts) { return automation::calendar::MakeDate(parts); }
inline DateParts SplitDate(automation::Date date) { return automation::calendar::SplitParts(date); }

}  // namespace brevalcore::shell
