// The vb* constants.
#include "platform/script/library/library.h"

namespace brevalcore::script::library {
namespace {

// The platform's numeric constants are Integers where the value fits in 16 bits, and Longs
// otherwise; the colours are always Longs.
Variant L(int32_t v) {
  if (v >= INT16_MIN && v <= INT16_MAX) return Variant(static_cast<int16_t>(v));
  return Variant(v);
}
Variant Colour(int32_t v) { return Variant(v); }

const BuiltinConstant kConstants[] = {
    // Strings.
    {u"vbCr", Variant(u"\r")}, {u"vbLf", Variant(u"\n")}, {u"vbCrLf", Variant(u"\r\n")},
    {u"vbNewLine", Variant(u"\r\n")}, {u"vbNullChar", Variant(String(1, u'\0'))},
    {u"vbNullString", Variant(u"")}, {u"vbTab", Variant(u"\t")}, {u"vbFormFeed", Variant(u"\f")},
    {u"vbVerticalTab", Variant(u"\v")},
    // Comparison.
    {u"vbBinaryCompare", L(0)}, {u"vbTextCompare", L(1)}, {u"vbDatabaseCompare", L(2)},
    // Message box buttons, icons, defaults, modality and answers.
    {u"vbOKOnly", L(0)}, {u"vbOKCancel", L(1)}, {u"vbAbortRetryIgnore", L(2)}, {u"vbYesNoCancel", L(3)},
    {u"vbYesNo", L(4)}, {u"vbRetryCancel", L(5)}, {u"vbCritical", L(16)}, {u"vbQuestion", L(32)},
    {u"vbExclamation", L(48)}, {u"vbInformation", L(64)}, {u"vbDefaultButton1", L(0)},
    {u"vbDefaultButton2", L(256)}, {u"vbDefaultButton3", L(512)}, {u"vbDefaultButton4", L(768)},
    {u"vbApplicationModal", L(0)}, {u"vbSystemModal", L(4096)}, {u"vbMsgBoxHelpButton", L(16384)},
    {u"vbMsgBoxSetForeground", L(65536)}, {u"vbMsgBoxRight", L(524288)}, {u"vbMsgBoxRtlReading", L(1048576)},
    {u"vbOK", L(1)}, {u"vbCancel", L(2)}, {u"vbAbort", L(3)}, {u"vbRetry", L(4)}, {u"vbIgnore", L(5)},
    {u"vbYes", L(6)}, {u"vbNo", L(7)},
    // Days of the week and the first week of the year.
    {u"vbUseSystemDayOfWeek", L(0)}, {u"vbSunday", L(1)}, {u"vbMonday", L(2)}, {u"vbTuesday", L(3)},
    {u"vbWednesday", L(4)}, {u"vbThursday", L(5)}, {u"vbFriday", L(6)}, {u"vbSaturday", L(7)},
    {u"vbUseSystem", L(0)}, {u"vbFirstJan1", L(1)}, {u"vbFirstFourDays", L(2)}, {u"vbFirstFullWeek", L(3)},
    // Date formats.
    {u"vbGeneralDate", L(0)}, {u"vbLongDate", L(1)}, {u"vbShortDate", L(2)}, {u"vbLongTime", L(3)},
    {u"vbShortTime", L(4)},
    // Tristate.
    {u"vbUseDefault", L(-2)}, {u"vbTrue", L(-1)}, {u"vbFalse", L(0)},
    // Errors.
    {u"vbObjectError", L(static_cast<int32_t>(0x80040000u))},
    // VarType values.
    {u"vbEmpty", L(0)}, {u"vbNull", L(1)}, {u"vbInteger", L(2)}, {u"vbLong", L(3)}, {u"vbSingle", L(4)},
    {u"vbDouble", L(5)}, {u"vbCurrency", L(6)}, {u"vbDate", L(7)}, {u"vbString", L(8)}, {u"vbObject", L(9)},
    {u"vbError", L(10)}, {u"vbBoolean", L(11)}, {u"vbVariant", L(12)}, {u"vbDataObject", L(13)},
    {u"vbDecimal", L(14)}, {u"vbByte", L(17)}, {u"vbArray", L(8192)},
    // Colours.
    {u"vbBlack", Colour(0)}, {u"vbRed", Colour(0xFF)}, {u"vbGreen", Colour(0xFF00)}, {u"vbYellow", Colour(0xFFFF)},
    {u"vbBlue", Colour(0xFF0000)}, {u"vbMagenta", Colour(0xFF00FF)}, {u"vbCyan", Colour(0xFFFF00)},
    {u"vbWhite", Colour(0xFFFFFF)},
};

}  // namespace

std::span<const BuiltinConstant> Constants() { return kConstants; }

}  // namespace brevalcore::script::library
