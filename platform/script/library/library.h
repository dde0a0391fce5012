#pragma once
// Internal to the built-in library: argument helpers shared by the function groups, and the
// tables each group contributes to FindBuiltin.
#include <span>

#include "platform/automation/convert.h"
#include "platform/automation/error.h"
#include "platform/script/builtins.h"

namespace brevalcore::script::library {

using automation::CompareMode;
using automation::Currency;
using automation::Date;
using automation::Ref;
using automation::String;
using automation::StringView;
using automation::Variant;
using automation::VarType;
using Args = std::span<Variant>;

// True when argument `i` was written (not left out).
inline bool Given(Args args, size_t i) { return i < args.size() && !args[i].IsMissing(); }

// Argument `i` with object arguments reduced to their default value.
Variant Value(Args args, size_t i);
// Optional arguments read with the platform's conversions; `fallback` when left out.
int32_t LongArg(Args args, size_t i, int32_t fallback);
bool BoolArg(Args args, size_t i, bool fallback);
String StringArg(Args args, size_t i);
// The compare argument of the string functions: 0 binary, 1 text; 5 for anything else.
CompareMode CompareArg(Args args, size_t i);
// Raises 5, "Invalid procedure call or argument".
[[noreturn]] void InvalidArgument();

// The function tables of each group.
std::span<const Builtin> ConversionBuiltins();
std::span<const Builtin> StringBuiltins();
std::span<const Builtin> MathBuiltins();
std::span<const Builtin> DateBuiltins();
std::span<const Builtin> FormatBuiltins();
std::span<const Builtin> MiscBuiltins();
std::span<const BuiltinConstant> Constants();

// The built-in classes.
Ref<automation::Object> NewRegExp();
Ref<automation::Object> NewDictionary();

}  // namespace brevalcore::script::library
