// Reads arbitrary text as a number and as a date, the way CDbl, CDate and IsNumeric do, runs
// every typed conversion on it, and checks the round trips the control relies on: a value read
// back from its own text form comes out the same, and text survives UTF-8 and the single-byte
// code page unchanged.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/automation/calendar.h"
#include "platform/automation/convert.h"
#include "platform/automation/error.h"
#include "platform/automation/text.h"

using namespace brevalcore::automation;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

template <class Convert>
void Try(const Convert& convert) {
  try {
    (void)convert();
  } catch (const AutomationError&) {
    // Overflow and type mismatch are the conversions' designed answers.
  }
}

void CheckConversions(const String& text) {
  const Variant value(text);
  Try([&] { return ToDouble(value); });
  Try([&] { return ToSingle(value); });
  Try([&] { return ToLong(value); });
  Try([&] { return ToInteger(value); });
  Try([&] { return ToByte(value); });
  Try([&] { return ToBool(value); });
  Try([&] { return ToCurrency(value); });
  Try([&] { return ToDate(value); });
  (void)IsNumeric(value);
  (void)IsDateValue(value);
  (void)CompareStrings(text, u"12,5", CompareMode::Text);
  Check(EqualsNoCase(ToUpper(text), ToLower(text)) == (CompareNoCase(ToUpper(text), ToLower(text)) == 0));
}

void CheckEncodings(std::string_view bytes, const String& text) {
  if (IsValidUtf8(bytes)) Check(ToUtf8(text) == bytes);
  Check(FromUtf8(ToUtf8(text)) == text);
  Check(ToCp1252(FromCp1252(bytes)) == bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const String text = FromUtf8(bytes);
  CheckEncodings(bytes, text);
  CheckConversions(text);
  if (auto n = ParseNumber(text); n && std::isfinite(*n)) {
    // CStr keeps 15 significant digits, so the round trip agrees to that precision.
    const auto back = ParseNumber(FormatDouble(*n));
    // (Near the Double limit the 15-digit text may round past it; that is not a fault.)
    Check(back.has_value());
    if (std::isfinite(*back)) Check(std::fabs(*back - *n) <= std::fabs(*n) * 1e-14);
  }
  if (auto d = ParseDate(text)) {
    Check(calendar::InRange(d->value));
    const auto back = ParseDate(FormatDate(*d));
    Check(back && std::fabs(back->value - d->value) <= 1e-6);
  }
  return 0;
}
