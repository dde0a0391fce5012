#pragma once
// The text forms of values at the public interfaces: what a host writes for each parameter
// type and what it reads back. They do not follow the regional settings of the scripts: a
// host on any machine writes "12.50", "True" and "2024-03-05".
//   Boolean   "True"/"False" (any case), or a number: 0 is False, anything else True
//   Date      "YYYY-MM-DD" or "YYYY-MM-DDTHH:MM:SS", 0100-01-01 to 9999-12-31
//   Currency  "-12.5": an optional sign, digits, optionally "." and at most four decimals
//   numbers   as Currency, with any number of decimals and an optional exponent
// Results: Empty and Null as "", Booleans "True"/"False", dates as above (the time only when
// there is one), numbers in the shortest form that reads back the same.
#include <optional>
#include <string>
#include <string_view>

#include "platform/automation/variant.h"

namespace brevalcore::api {

std::optional<bool> ParseBoolean(std::string_view text);
std::optional<automation::Date> ParseDate(std::string_view text);
std::optional<automation::Currency> ParseCurrency(std::string_view text);
std::optional<double> ParseNumber(std::string_view text);

// The value of `text` as `type` (String, Boolean, Date, Currency, Integer, Long, Single,
// Double; Empty keeps the text); nullopt when the text is not such a value.
std::optional<automation::Variant> TextAs(std::string_view text, automation::VarType type);
// A human name of the expected form, for messages: "a Boolean (True or False)", ...
std::string ExpectedForm(automation::VarType type);

// The text of a result; nullopt for values that have no text (objects, arrays, errors).
std::optional<std::string> ResultText(const automation::Variant& value);
std::string DateText(automation::Date date);

}  // namespace brevalcore::api
