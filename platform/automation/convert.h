#pragma once
// Conversions and comparisons between Variant types, as the platform performs them under the
// regional settings of locale.h (Italian by default). Every function here raises
// AutomationError with the platform's number on failure: 13 "Type mismatch" for a value that
// cannot be converted, 6 "Overflow" for one out of range, 94 "Invalid use of Null" where Null
// is not accepted. Objects are converted through their default member.
#include <optional>

#include "platform/automation/variant.h"

namespace brevalcore::automation {

// CStr: numbers with the locale's decimal separator, dates as the locale's short date (and
// time when the value has one), Boolean as "Vero"/"Falso", Empty as "".
String ToString(const Variant& v);
// The text of `v` as & joins it, without a copy where there is one to read: a string's own
// text, a whole number written into `digits`, Null as nothing; anything else converted into
// `converted`. The view lives as long as `v`, `digits` and `converted`.
struct TextRoom {
  char16_t digits[12];
  String converted;
};
StringView TextForJoin(const Variant& v, TextRoom& room);
double ToDouble(const Variant& v);     // CDbl
float ToSingle(const Variant& v);      // CSng
int32_t ToLong(const Variant& v);      // CLng (banker's rounding)
int16_t ToInteger(const Variant& v);   // CInt (banker's rounding)
uint8_t ToByte(const Variant& v);      // CByte
bool ToBool(const Variant& v);         // CBool
Currency ToCurrency(const Variant& v); // CCur (banker's rounding to 4 decimals)
Date ToDate(const Variant& v);         // CDate

// Reads a number written in the locale (decimal comma, optional thousands dots, sign,
// exponent, &H/&O prefixes); nullopt when the text is not a number.
std::optional<double> ParseNumber(StringView text);
// Reads a number written in the locale into a Currency exactly, with no Double in between, so
// the last digit of the largest amounts survives; 13 for text that is not a number, 6 for
// one out of the Currency range.
Currency CurrencyFromText(StringView text);
// Reads a date or date-time written in the locale ("dd/mm/yyyy", "dd/mm/yyyy hh:nn:ss", ...).
std::optional<Date> ParseDate(StringView text);

// IsNumeric and IsDate, as the platform answers them.
bool IsNumeric(const Variant& v);
bool IsDateValue(const Variant& v);

// The value of an object's default member (DispId 0); 438 when it has none. Non-objects
// are returned unchanged.
Variant Dereference(const Variant& v);

// Text forms of numbers and dates used by ToString, exposed for formatting functions.
String FormatDouble(double value);        // as CStr of a Double ("3,14", "1E+20")
String FormatSingle(float value);         // as CStr of a Single
String FormatCurrency(Currency value);    // as CStr of a Currency
String FormatDate(Date value);            // as CStr of a Date
// A date written with a pattern of the regional settings ("dd/MM/yyyy", "dddd d MMMM yyyy":
// see locale.h) and the locale's names of months and days.
String FormatDatePattern(Date value, StringView pattern);

enum class CompareMode { Binary, Text };
// Result of comparing two Variants: a Null operand gives Null.
enum class Ordering { Less, Equal, Greater, Null };

// The comparison the platform's relational operators perform (=, <>, <, >, <=, >=),
// including its rules for mixing strings with numbers and Empty with either.
Ordering Compare(const Variant& a, const Variant& b, CompareMode mode = CompareMode::Binary);
// The same comparison when one operand was written as a constant in the script: the constant
// is converted to the other operand's type first (a text constant against a numeric variable
// compares as numbers; 13 when the text is not a number).
enum class ConstantOperand { None, Left, Right };
Ordering Compare(const Variant& a, const Variant& b, CompareMode mode, ConstantOperand constant);
// String comparison used by StrComp, InStr and the text-compare mode.
int CompareStrings(StringView a, StringView b, CompareMode mode);

}  // namespace brevalcore::automation
