// Reads arbitrary text as a number and as a date, the way CDbl, CDate and IsNumeric do, and
// checks that a value read back from its own text form comes out the same.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/automation/calendar.h"
#include "platform/automation/convert.h"

using namespace brevalcore::automation;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const String text = FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
  if (auto n = ParseNumber(text); n && std::isfinite(*n)) {
    // CStr keeps 15 significant digits, so the round trip agrees to that precision.
    const auto back = ParseNumber(FormatDouble(*n));
    // (Near the Double limit the 15-digit text may round past it; that is not a fault.)
    if (!back) std::abort();
    if (std::isfinite(*back) && std::fabs(*back - *n) > std::fabs(*n) * 1e-14) std::abort();
  }
  if (auto d = ParseDate(text)) {
    if (!calendar::InRange(d->value)) std::abort();
    const auto back = ParseDate(FormatDate(*d));
    if (!back || std::fabs(back->value - d->value) > 1e-6) std::abort();
  }
  return 0;
}
