#include <cmath>

#include "tests/script_library/library_test_support.h"

namespace brevalcore::script::testing {
namespace {

using automation::ArrayData;
using automation::ToUtf8;

struct Row {
  const char16_t* function;
  std::vector<Variant> args;
  const char16_t* expected;  // as Render shows it, or "err N"
};

void Check(const std::vector<Row>& rows) {
  FakeContext context;
  for (const auto& row : rows) {
    EXPECT_EQ(ToUtf8(Outcome(context, row.function, row.args)), ToUtf8(row.expected))
        << ToUtf8(row.function) << " row with " << row.args.size() << " arguments";
  }
}

const Variant kNull = Variant::Null();
const Variant kMissing = Variant::Missing();

TEST(Builtins, Conversions) {
  Check({
      {u"CBool", {V(u"True")}, u"-1"},       {u"CBool", {V(u"yes")}, u"err 13"},
      {u"CBool", {kNull}, u"err 94"},         {u"CInt", {V(2.5)}, u"2"},
      {u"CInt", {V(32767.5)}, u"err 6"},      {u"CByte", {V(-1)}, u"err 6"},
      {u"CLng", {V(u"1.000")}, u"1000"},      {u"CDbl", {V(u"&H10")}, u"16"},
      {u"CSng", {V(u"1,5")}, u"1,5"},         {u"CStr", {V(1.5e-5)}, u"1,5E-05"},
      {u"CCur", {V(1234567.891)}, u"1234567,891"},
      {u"CDate", {V(u"31/12/2026 23:59:59")}, u"31/12/2026 23:59:59"},
      {u"CDate", {V(u"")}, u"err 13"},
      {u"Hex", {V(255)}, u"FF"},              {u"Hex", {I(-2)}, u"FFFE"},
      {u"Hex", {L(-32768)}, u"FFFF8000"},     {u"Hex", {V(10.5)}, u"A"},
      {u"Hex", {V(11.5)}, u"C"},              {u"Hex", {kNull}, u"Null"},
      {u"Hex", {Variant()}, u"0"},            {u"Hex", {V(u"abc")}, u"err 13"},
      {u"Oct", {I(-1)}, u"177777"},           {u"Oct", {I(8)}, u"10"},
      {u"Int", {V(-2.7)}, u"-3"},             {u"Fix", {V(-2.7)}, u"-2"},
      {u"Int", {V(u"3,7")}, u"3"},            {u"Abs", {I(-32768)}, u"32768"},
      {u"Sgn", {V(-7.5)}, u"-1"},             {u"Sgn", {V(0.1)}, u"1"},
      {u"Asc", {V(u"\u00E0")}, u"224"},       {u"Asc", {V(u"\u20AC")}, u"128"},
      {u"Asc", {V(u"")}, u"err 5"},           {u"AscW", {V(u"\u20AC")}, u"8364"},
      {u"Chr", {L(128)}, u"\u20AC"},          {u"Chr", {L(256)}, u"err 5"},
      {u"Chr", {L(-1)}, u"err 5"},            {u"ChrW", {L(232)}, u"\u00E8"},
  });
  FakeContext context;
  EXPECT_EQ(CallBuiltin(context, u"Int", {I(2)}).type(), automation::VarType::Integer);
  EXPECT_EQ(CallBuiltin(context, u"Int", {V(2.7)}).type(), automation::VarType::Double);
  EXPECT_EQ(CallBuiltin(context, u"Sgn", {V(-7.5)}).type(), automation::VarType::Integer);
}

TEST(Builtins, Strings) {
  Check({
      {u"Len", {V(u"Prescrizione")}, u"12"},    {u"Len", {V(-1.5)}, u"4"},
      {u"Len", {kNull}, u"Null"},               {u"Left", {V(u"Prescrizione"), L(4)}, u"Pres"},
      {u"Left", {V(u"abc"), L(-1)}, u"err 5"},  {u"Right", {V(u"abc"), L(100)}, u"abc"},
      {u"Mid", {V(u"Prescrizione"), L(4), L(3)}, u"scr"},
      {u"Mid", {V(u"Prescrizione"), L(20)}, u""}, {u"Mid", {V(u"abc"), L(0)}, u"err 5"},
      {u"Mid", {V(u"abc"), L(1), L(-1)}, u"err 5"}, {u"Mid", {kNull, L(1)}, u"Null"},
      {u"InStr", {V(u"abcabc"), V(u"c")}, u"3"}, {u"InStr", {L(4), V(u"abcabc"), V(u"c")}, u"6"},
      {u"InStr", {L(1), V(u"ABC"), V(u"b"), L(1)}, u"2"}, {u"InStr", {V(u"abc"), V(u"")}, u"1"},
      {u"InStr", {V(u""), V(u"a")}, u"0"},      {u"InStr", {kNull, V(u"a")}, u"Null"},
      {u"InStr", {L(0), V(u"a"), V(u"a")}, u"err 5"},
      // Short needles: at the very end, one unit past it, after near misses on the first unit,
      // from a start past every match, and units whose bytes match out of step.
      {u"InStr", {V(u"|A01|C03|X99|"), V(u"|X99|")}, u"9"}, {u"InStr", {V(u"|A01|C03|X9"), V(u"|X99|")}, u"0"},
      {u"InStr", {V(u"aaab"), V(u"aab")}, u"2"},             {u"InStr", {L(6), V(u"abcabc"), V(u"ab")}, u"0"},
      {u"InStr", {V(u"ab"), V(u"abc")}, u"0"},               {u"InStr", {V(u"\u0100\u0002"), V(u"\u0201")}, u"0"},
      {u"InStr", {V(u"x\u0101\u0102"), V(u"\u0101\u0102")}, u"2"},
      // Past the first eight units, after near misses, and in the tail shorter than eight.
      {u"InStr", {V(u"|a|b|c|d|e|f|g|h|i|x|"), V(u"|x|")}, u"19"}, {u"InStr", {V(u"abcdefghijklmnopqrstu|x|"), V(u"|x|")}, u"22"},
      {u"InStr", {V(u"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxy"), V(u"xy")}, u"30"}, {u"InStr", {L(17), V(u"abcdefghabcdefghab"), V(u"ab")}, u"17"},
      {u"InStr", {V(u"abcdefghabcdefghab"), V(u"hz")}, u"0"},
      {u"InStrRev", {V(u"abcabc"), V(u"b")}, u"5"}, {u"InStrRev", {V(u"abcabc"), V(u"b"), L(4)}, u"2"},
      {u"InStrRev", {V(u"abc"), V(u"a"), L(0)}, u"err 5"},
      {u"UCase", {V(u"perch\u00E9")}, u"PERCH\u00C9"}, {u"LCase", {V(u"CITT\u00C0")}, u"citt\u00E0"},
      {u"Trim", {V(u"  a b  ")}, u"a b"},       {u"Trim", {V(u"\ta\t")}, u"\ta\t"},
      {u"LTrim", {V(u"  a ")}, u"a "},          {u"RTrim", {V(u"  a ")}, u"  a"},
      {u"Space", {L(3)}, u"   "},               {u"Space", {L(-1)}, u"err 5"},
      {u"String", {L(2), V(u"abc")}, u"aa"},    {u"String", {L(3), L(65)}, u"AAA"},
      {u"String", {L(-1), V(u"x")}, u"err 5"},  {u"StrReverse", {V(u"Citt\u00E0")}, u"\u00E0ttiC"},
      {u"StrComp", {V(u"a"), V(u"A")}, u"1"},   {u"StrComp", {V(u"a"), V(u"A"), L(1)}, u"0"},
      {u"StrComp", {kNull, V(u"a")}, u"Null"},  {u"StrComp", {V(u"a"), V(u"b"), L(2)}, u"err 5"},
      // The byte forms count two bytes per character.
      {u"LenB", {V(u"ab")}, u"4"},              {u"LeftB", {V(u"abc"), L(4)}, u"ab"},
      {u"RightB", {V(u"abc"), L(2)}, u"c"},     {u"MidB", {V(u"abc"), L(3), L(2)}, u"b"},
      {u"InStrB", {V(u"abc"), V(u"b")}, u"3"},
  });
}

TEST(Builtins, Replace) {
  Check({
      {u"Replace", {V(u"aAaA"), V(u"a"), V(u"x"), L(1), L(-1), L(1)}, u"xxxx"},
      {u"Replace", {V(u"abcabc"), V(u"b"), V(u""), L(3)}, u"cac"},
      {u"Replace", {V(u"abcabc"), V(u"b"), V(u"X"), L(1), L(1)}, u"aXcabc"},
      {u"Replace", {V(u"abcabc"), V(u"bc"), V(u"!"), L(2), L(1)}, u"!abc"},
      {u"Replace", {V(u"abc"), V(u"b"), V(u"X"), L(5)}, u""},
      {u"Replace", {V(u"abc"), V(u""), V(u"X")}, u"abc"},
      {u"Replace", {V(u"aaa"), V(u"a"), V(u"aa")}, u"aaaaaa"},
      {u"Replace", {V(u"aaaa"), V(u"aa"), V(u"b")}, u"bb"},
      {u"Replace", {L(12321), L(2), L(0)}, u"10301"},
      {u"Replace", {V(u"CITT\u00C0"), V(u"\u00E0"), V(u"a"), L(1), L(-1), L(1)}, u"CITTa"},
      {u"Replace", {V(u"Aa testAAa(aa)"), V(u"aa"), V(u"!"), L(1), L(2), L(1)}, u"! test!a(aa)"},
      {u"Replace", {V(u"xxx"), V(u""), V(u"y"), L(2)}, u"xx"},
      {u"Replace", {V(u"abc"), V(u"a"), V(u"b"), L(0)}, u"err 5"},
      {u"Replace", {V(u"abc"), V(u"a"), V(u"b"), L(1), L(-2)}, u"err 5"},
      {u"Replace", {kNull, V(u"a"), V(u"b")}, u"err 94"},
  });
}

// Split, then Join of the result with "|" and the upper bound, as one text.
String SplitJoined(std::vector<Variant> args) {
  FakeContext context;
  Variant parts = CallBuiltin(context, u"Split", std::move(args));
  const auto& array = parts.AsArray();
  String out = automation::Ascii(std::to_string(array.UpperBound(0))) + u":";
  for (size_t i = 0; i < array.size(); ++i) out += (i ? u"|" : u"") + automation::ToString(array[i]);
  return out;
}

TEST(Builtins, SplitJoinFilter) {
  struct SplitRow { std::vector<Variant> args; const char16_t* expected; };
  const SplitRow rows[] = {
      {{V(u"080|081||082"), V(u"|")}, u"3:080|081||082"},
      {{V(u"a b  c")}, u"3:a|b||c"},
      {{V(u"a,b,c,d"), V(u","), L(2)}, u"1:a|b,c,d"},
      {{V(u"a,b,c"), V(u","), L(1)}, u"0:a,b,c"},
      {{V(u""), V(u",")}, u"-1:"},
      {{V(u"abc"), V(u"")}, u"0:abc"},
      {{V(u"aXbxc"), V(u"x"), L(-1), L(1)}, u"2:a|b|c"},
      {{V(u"aXbxc"), V(u"x")}, u"1:aXb|c"},
      {{V(u","), V(u",")}, u"1:|"},
      {{V(u"a::b::c"), V(u"::")}, u"2:a|b|c"},
  };
  for (const auto& row : rows) EXPECT_EQ(ToUtf8(SplitJoined(row.args)), ToUtf8(row.expected));

  const Variant list(ArrayData::FromVector({V(u"a"), Variant(), V(2.5)}));
  Check({
      {u"Join", {list, V(u"-")}, u"a--2,5"},
      {u"Join", {list}, u"a  2,5"},
      {u"Join", {Variant(ArrayData::FromVector({}))}, u""},
      {u"Join", {V(u"abc")}, u"err 13"},
  });
  FakeContext context;
  const Variant words(ArrayData::FromVector({V(u"ab"), V(u"cd"), V(u"AB")}));
  auto filtered = [&](std::vector<Variant> args) {
    Variant kept = CallBuiltin(context, u"Filter", std::move(args));
    return ToUtf8(Render(CallBuiltin(context, u"Join", {kept, V(u",")})));
  };
  EXPECT_EQ(filtered({words, V(u"b")}), "ab");
  EXPECT_EQ(filtered({words, V(u"b"), Variant(false)}), "cd,AB");
  EXPECT_EQ(filtered({words, V(u"b"), Variant(true), L(1)}), "ab,AB");
}

TEST(Builtins, MathAndRounding) {
  Check({
      {u"Sqr", {L(16)}, u"4"},                  {u"Sqr", {L(2)}, u"1,4142135623731"},
      {u"Sqr", {L(-1)}, u"err 5"},              {u"Log", {L(0)}, u"err 5"},
      {u"Exp", {L(1000)}, u"err 6"},            {u"Cos", {L(0)}, u"1"},
      {u"Round", {V(2.5)}, u"2"},               {u"Round", {V(3.5)}, u"4"},
      {u"Round", {V(-2.5)}, u"-2"},             {u"Round", {V(2.675), L(2)}, u"2,68"},
      {u"Round", {V(1.2345), L(-1)}, u"err 5"}, {u"Round", {kNull}, u"Null"},
      {u"Round", {Variant(automation::ToCurrency(V(1.0035))), L(3)}, u"1,004"},
  });
  FakeContext context;
  const Variant pi = CallBuiltin(context, u"Atn", {L(1)});
  EXPECT_EQ(ToUtf8(Render(CallBuiltin(context, u"Round", {Variant(pi.AsDouble() * 4), L(10)}))), "3,1415926536");
  EXPECT_EQ(CallBuiltin(context, u"Round", {I(7)}).type(), automation::VarType::Integer);
}

TEST(Builtins, RndRepeatsForTheSameNegativeSeed) {
  FakeContext context;
  const float first = CallBuiltin(context, u"Rnd", {V(-1)}).AsSingle();
  const float next = CallBuiltin(context, u"Rnd", {}).AsSingle();
  EXPECT_EQ(CallBuiltin(context, u"Rnd", {V(-1)}).AsSingle(), first);
  EXPECT_EQ(CallBuiltin(context, u"Rnd", {V(0.0)}).AsSingle(), first);
  EXPECT_EQ(CallBuiltin(context, u"Rnd", {}).AsSingle(), next);
  for (int i = 0; i < 1000; ++i) {
    const float r = CallBuiltin(context, u"Rnd", {}).AsSingle();
    ASSERT_TRUE(r >= 0 && r < 1) << r;
  }
}

TEST(Builtins, DatesAndTimes) {
  const Variant d = Day(2026, 1, 31);
  const Variant t1 = Day(2026, 1, 31, 23), t2 = Day(2026, 2, 1, 1, 30);
  Check({
      {u"DateAdd", {V(u"m"), L(1), d}, u"28/02/2026"},
      {u"DateAdd", {V(u"m"), L(13), d}, u"28/02/2027"},
      {u"DateAdd", {V(u"yyyy"), L(1), Day(2028, 2, 29)}, u"28/02/2029"},
      {u"DateAdd", {V(u"h"), L(25), d}, u"01/02/2026 01:00:00"},
      {u"DateAdd", {V(u"s"), L(-1), d}, u"30/01/2026 23:59:59"},
      {u"DateAdd", {V(u"ww"), L(2), d}, u"14/02/2026"},
      {u"DateAdd", {V(u"q"), L(1), d}, u"30/04/2026"},
      {u"DateAdd", {V(u"m"), L(1), V(u"15/01/2026 10:30:00")}, u"15/02/2026 10:30:00"},
      {u"DateAdd", {V(u"x"), L(1), d}, u"err 5"},
      {u"DateAdd", {V(u"d"), L(1), V(u"abc")}, u"err 13"},
      {u"DateDiff", {V(u"d"), Day(2026, 1, 1), Day(2026, 12, 31)}, u"364"},
      {u"DateDiff", {V(u"m"), Day(2026, 1, 31), Day(2026, 2, 1)}, u"1"},
      {u"DateDiff", {V(u"m"), Day(2026, 3, 15), Day(2025, 12, 15)}, u"-3"},
      {u"DateDiff", {V(u"yyyy"), Day(2025, 12, 31), Day(2026, 1, 1)}, u"1"},
      {u"DateDiff", {V(u"h"), t1, t2}, u"2"},
      {u"DateDiff", {V(u"n"), t1, t2}, u"150"},
      {u"DateDiff", {V(u"s"), t1, t2}, u"9000"},
      {u"DateDiff", {V(u"d"), t1, t2}, u"1"},
      {u"DateDiff", {V(u"h"), t2, t1}, u"-2"},
      {u"DateDiff", {V(u"ww"), Day(2026, 1, 3), Day(2026, 1, 4)}, u"1"},
      {u"DateDiff", {V(u"w"), Day(2026, 1, 3), Day(2026, 1, 4)}, u"0"},
      {u"DateDiff", {V(u"ww"), Day(2026, 1, 1), Day(2026, 1, 31)}, u"4"},
      {u"DateDiff", {V(u"ww"), Day(2026, 1, 4), Day(2026, 1, 5), L(2)}, u"1"},
      {u"DateDiff", {V(u"w"), Day(2026, 1, 1), Day(2026, 1, 29)}, u"4"},
      {u"DateDiff", {V(u"d"), V(u"abc"), d}, u"err 13"},
      {u"DatePart", {V(u"y"), Day(2026, 12, 4)}, u"338"},
      {u"DatePart", {V(u"w"), Day(2026, 12, 4)}, u"6"},
      {u"DatePart", {V(u"ww"), Day(2026, 1, 3)}, u"1"},
      {u"DatePart", {V(u"ww"), Day(2026, 1, 4)}, u"2"},
      {u"DatePart", {V(u"q"), Day(2026, 8, 1)}, u"3"},
      {u"DateSerial", {L(2026), L(13), L(1)}, u"01/01/2027"},
      {u"DateSerial", {L(2026), L(3), L(0)}, u"28/02/2026"},
      {u"DateSerial", {L(2026), L(3), L(-1)}, u"27/02/2026"},
      {u"DateSerial", {L(2026), L(-1), L(15)}, u"15/11/2025"},
      {u"DateSerial", {L(2026), L(14), L(35)}, u"07/03/2027"},
      {u"DateSerial", {L(2026), L(1), L(365)}, u"31/12/2026"},
      {u"DateSerial", {L(26), L(1), L(1)}, u"01/01/2026"},
      {u"TimeSerial", {L(8), L(90), L(0)}, u"09:30:00"},
      {u"TimeSerial", {L(25), L(0), L(0)}, u"31/12/1899 01:00:00"},
      {u"DateValue", {V(u"31/12/2026 10:00")}, u"31/12/2026"},
      {u"TimeValue", {V(u"31/12/2026 10:20:30")}, u"10:20:30"},
      {u"Year", {V(u"31/12/2026")}, u"2026"},
      {u"Month", {V(u"1/2/2026")}, u"2"},
      {u"Hour", {V(0.75)}, u"18"},
      {u"Minute", {V(0.5 + 1.0 / 1440)}, u"1"},
      {u"Year", {kNull}, u"Null"},
      {u"Weekday", {Day(2026, 12, 4)}, u"6"},
      {u"Weekday", {Day(2026, 12, 4), L(2)}, u"5"},
      {u"MonthName", {L(3)}, u"marzo"},
      {u"MonthName", {L(3), Variant(true)}, u"mar"},
      {u"MonthName", {L(13)}, u"err 5"},
      {u"WeekdayName", {L(5)}, u"giovedì"},
      {u"WeekdayName", {L(1), Variant(false), L(2)}, u"lunedì"},
      {u"Now", {}, u"05/03/2026 08:07:06"},
      {u"Date", {}, u"05/03/2026"},
      {u"Time", {}, u"08:07:06"},
      {u"Timer", {}, u"29226"},
  });
}

TEST(Builtins, Formatting) {
  const Variant d = Day(2026, 3, 5, 8, 7, 6);
  Check({
      {u"FormatNumber", {V(1234.5)}, u"1.234,50"},
      {u"FormatNumber", {V(1234.56), L(0)}, u"1.235"},
      {u"FormatNumber", {V(1234.5678), L(3)}, u"1.234,568"},
      {u"FormatNumber", {L(0)}, u"0,00"},
      {u"FormatNumber", {V(0.25), L(2), L(0)}, u",25"},
      {u"FormatNumber", {V(-0.25), L(2), L(0)}, u"-,25"},
      {u"FormatNumber", {L(1234567), L(2), kMissing, kMissing, L(0)}, u"1234567,00"},
      {u"FormatNumber", {L(-5), L(1), kMissing, L(-1)}, u"(5,0)"},
      {u"FormatNumber", {V(-0.001), L(2)}, u"0,00"},
      {u"FormatNumber", {V(u"abc")}, u"err 13"},
      {u"FormatPercent", {V(0.256)}, u"25,60%"},
      {u"FormatPercent", {V(0.256), L(0)}, u"26%"},
      {u"FormatPercent", {V(-0.1), L(0)}, u"-10%"},
      {u"FormatPercent", {V(12.5), L(1)}, u"1.250,0%"},
      {u"FormatCurrency", {V(1234.5)}, u"€ 1.234,50"},
      {u"FormatDateTime", {d}, u"05/03/2026 08:07:06"},
      {u"FormatDateTime", {d, L(1)}, u"giovedì 5 marzo 2026"},
      {u"FormatDateTime", {d, L(2)}, u"05/03/2026"},
      {u"FormatDateTime", {d, L(3)}, u"08:07:06"},
      {u"FormatDateTime", {d, L(4)}, u"08:07"},
      {u"FormatDateTime", {d, L(5)}, u"err 5"},
  });
}

TEST(Builtins, ArraysAndInspection) {
  const Variant list(ArrayData::FromVector({L(1), V(u"b"), V(3.5)}));
  const Variant grid(automation::MakeRef<ArrayData>(std::vector<ArrayData::Bound>{{0, 3}, {1, 2}}));
  Check({
      {u"UBound", {list}, u"2"},               {u"LBound", {list}, u"0"},
      {u"UBound", {grid, L(2)}, u"2"},         {u"LBound", {grid, L(2)}, u"1"},
      {u"UBound", {grid, L(3)}, u"err 9"},     {u"UBound", {V(u"abc")}, u"err 13"},
      {u"UBound", {Variant(ArrayData::FromVector({}))}, u"-1"},
      {u"IsArray", {list}, u"-1"},             {u"IsEmpty", {Variant()}, u"-1"},
      {u"IsNull", {kNull}, u"-1"},             {u"IsNumeric", {V(u" 3 ")}, u"-1"},
      {u"IsNumeric", {V(u"12abc")}, u"0"},     {u"IsDate", {V(u"12:30")}, u"-1"},
      {u"IsDate", {L(4)}, u"0"},               {u"VarType", {list}, u"8204"},
      {u"VarType", {Variant(automation::ToCurrency(L(1)))}, u"6"},
      {u"TypeName", {Variant(uint8_t{1})}, u"Byte"},
      {u"TypeName", {list}, u"Variant()"},     {u"TypeName", {Variant::Nothing()}, u"Nothing"},
      {u"TypeName", {kNull}, u"Null"},         {u"ScriptEngine", {}, u"VBScript"},
      {u"ScriptEngineMajorVersion", {}, u"5"}, {u"ScriptEngineMinorVersion", {}, u"8"},
      {u"RGB", {L(255), L(0), L(300)}, u"16711935"}, {u"RGB", {L(-1), L(0), L(0)}, u"err 5"},
      {u"Escape", {V(u"a b&è€")}, u"a%20b%26%E8%u20AC"},
      {u"Unescape", {V(u"a%20b%26%E8%u20AC%zz")}, u"a b&è€%zz"},
      {u"MsgBox", {V(u"hi")}, u"err 70"},
      {u"CreateObject", {V(u"No.Such")}, u"err 429"},
  });
  FakeContext context;
  EXPECT_EQ(ToUtf8(Render(CallBuiltin(context, u"Array", {L(1), V(u"x")}))), "Array");
}

TEST(Builtins, MessageAndInputBoxesGoThroughTheUserInterface) {
  FakeContext context;
  ui::ScriptedUserInterface ui;
  context.ui = &ui;
  ui.AnswerNext(u"No");
  EXPECT_EQ(CallBuiltin(context, u"MsgBox", {V(u"Continuare?"), L(4 + 32), V(u"Titolo")}).AsLong(), 7);
  ui.AnswerNext(u"Rossi");
  EXPECT_EQ(ToUtf8(Render(CallBuiltin(context, u"InputBox", {V(u"Nome?")}))), "Rossi");
  ASSERT_EQ(ui.shown().size(), 2u);
  EXPECT_EQ(ui.shown()[0].styleCode, 36);
  EXPECT_EQ(ToUtf8(ui.shown()[0].title), "Titolo");
}

TEST(Builtins, LookUpIsCaseInsensitiveAndKnowsTheConstants) {
  EXPECT_NE(FindBuiltin(u"ucase"), nullptr);
  EXPECT_EQ(FindBuiltin(u"Eval"), nullptr);  // the engine's own
  struct Row { const char16_t* name; const char16_t* expected; };
  const Row rows[] = {{u"vbCrLf", u"\r\n"},     {u"VBTEXTCOMPARE", u"1"}, {u"vbYesNo", u"4"},
                      {u"vbSaturday", u"7"},    {u"vbLongDate", u"1"},    {u"vbUseDefault", u"-2"},
                      {u"vbObjectError", u"-2147221504"}, {u"vbArray", u"8192"}, {u"vbByte", u"17"}};
  for (const auto& row : rows) {
    const BuiltinConstant* c = FindBuiltinConstant(row.name);
    ASSERT_NE(c, nullptr) << ToUtf8(row.name);
    EXPECT_EQ(ToUtf8(automation::ToString(c->value)), ToUtf8(row.expected)) << ToUtf8(row.name);
  }
}

}  // namespace
}  // namespace brevalcore::script::testing
