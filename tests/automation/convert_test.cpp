#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "platform/automation/calendar.h"
#include "platform/automation/convert.h"
#include "platform/automation/error.h"
#include "platform/automation/text.h"

namespace brevalcore::automation {
namespace {

Variant D(double v) { return Variant(v); }
Variant I(int16_t v) { return Variant(v); }
Variant L(int32_t v) { return Variant(v); }
Variant S(const char16_t* v) { return Variant(v); }
Variant Cur(double v) { return Variant(ToCurrency(Variant(v))); }
Date Day(int y, int m, int d, int h = 0, int n = 0, int s = 0) {
  return calendar::MakeDate({y, m, d, h, n, s});
}

// The error number a call raises, or 0.
int32_t ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const AutomationError& e) {
    return e.number();
  }
  return 0;
}

TEST(Convert, ToStringOfEverySubtype) {
  struct Row { Variant value; const char16_t* expected; };
  const Row rows[] = {
      {D(1.5), u"1,5"},
      {D(-0.25), u"-0,25"},
      {D(1.0 / 3), u"0,333333333333333"},
      {D(2.0 / 3), u"0,666666666666667"},
      {D(1e15), u"1E+15"},
      {D(1e16), u"1E+16"},
      {D(123456789012345.0), u"123456789012345"},
      {D(1.5e-5), u"1,5E-05"},
      {D(0.0001), u"0,0001"},
      {D(1e300), u"1E+300"},
      {D(-1e-300), u"-1E-300"},
      {D(0.1 + 0.2), u"0,3"},
      {D(1 - 0.9), u"0,1"},
      {D(-0.0), u"0"},
      {I(-7), u"-7"},
      {L(100000), u"100000"},
      {Variant(uint8_t{255}), u"255"},
      {Variant(true), u"Vero"},
      {Variant(false), u"Falso"},
      {Variant(1.1f), u"1,1"},
      {Variant(1.0f / 3), u"0,3333333"},
      {Cur(12.5), u"12,5"},
      {Cur(1234567.891), u"1234567,891"},
      {Cur(-0.5), u"-0,5"},
      {Variant(Currency{-9223372036854775807LL}), u"-922337203685477,5807"},
      {Variant(Day(2026, 12, 4)), u"04/12/2026"},
      {Variant(Day(1899, 12, 30, 7, 5, 9)), u"07:05:09"},
      {Variant(Day(2026, 12, 4, 23, 59, 59)), u"04/12/2026 23:59:59"},
      {Variant(Date{0}), u"00:00:00"},
      {Variant(Date{1.5}), u"31/12/1899 12:00:00"},
      {Variant(Date{-1.25}), u"29/12/1899 06:00:00"},
      {Variant(), u""},
  };
  for (const auto& row : rows) EXPECT_EQ(ToString(row.value), row.expected) << ToUtf8(row.expected);
}

TEST(Convert, TextToNumber) {
  struct Row { const char16_t* text; std::optional<double> expected; };
  const Row rows[] = {
      {u"12", 12},          {u" 12 ", 12},         {u"1,25", 1.25},       {u"1.234,5", 1234.5},
      {u"1.000", 1000},     {u"1.5", 15},          {u"-3", -3},           {u"+3", 3},
      {u"1E3", 1000},       {u"1e-2", 0.01},       {u"&H10", 16},         {u"&hff", 255},
      {u"&O17", 15},        {u"&HFFFFFFFF", -1},   {u",5", 0.5},          {u"5,", 5},
      {u"(5)", -5},         {u"\u20AC 5", 5},      {u"5 \u20AC", 5},      {u"5-", -5},
      {u"\t7\t", 7},        {u"", std::nullopt},   {u" ", std::nullopt},  {u"abc", std::nullopt},
      {u"12abc", std::nullopt}, {u"1E", std::nullopt}, {u"&H", std::nullopt}, {u"&HG", std::nullopt},
      {u",", std::nullopt}, {u"1,2,3", std::nullopt}, {u"(5", std::nullopt}, {u"--5", std::nullopt},
  };
  for (const auto& row : rows) {
    auto got = ParseNumber(row.text);
    ASSERT_EQ(got.has_value(), row.expected.has_value()) << ToUtf8(row.text);
    if (got) {
      EXPECT_DOUBLE_EQ(*got, *row.expected) << ToUtf8(row.text);
    }
  }
}

TEST(Convert, IntegerConversionsRoundHalfToEvenAndOverflow) {
  struct Row { Variant value; int64_t cint; int64_t clng; };
  constexpr int64_t kOverflow = 1LL << 40;  // marker: raises 6
  const Row rows[] = {
      {D(0.5), 0, 0},        {D(1.5), 2, 2},        {D(2.5), 2, 2},     {D(3.5), 4, 4},
      {D(-0.5), 0, 0},       {D(-1.5), -2, -2},     {D(-2.5), -2, -2},  {D(2.5000001), 3, 3},
      {D(2.4999), 2, 2},     {D(-2.6), -3, -3},     {S(u"2,5"), 2, 2},  {S(u" 12 "), 12, 12},
      {Cur(2.5), 2, 2},      {Cur(3.5), 4, 4},      {Cur(-2.5), -2, -2},
      {Variant(true), -1, -1}, {Variant(), 0, 0},
      {D(32767.5), kOverflow, 32768},  {D(40000), kOverflow, 40000},
      {D(-32768.5), -32768, -32768},   {D(2147483648.0), kOverflow, kOverflow},
      {Variant(Day(2026, 1, 1)), kOverflow, 46023},
  };
  for (const auto& row : rows) {
    const String label = ToString(row.value);
    if (row.cint == kOverflow) {
      EXPECT_EQ(ErrorOf([&] { ToInteger(row.value); }), err::kOverflow) << ToUtf8(label);
    }
    else EXPECT_EQ(ToInteger(row.value), row.cint) << ToUtf8(label);
    if (row.clng == kOverflow) {
      EXPECT_EQ(ErrorOf([&] { ToLong(row.value); }), err::kOverflow) << ToUtf8(label);
    }
    else EXPECT_EQ(ToLong(row.value), row.clng) << ToUtf8(label);
  }
  EXPECT_EQ(ToByte(D(2.5)), 2);
  EXPECT_EQ(ToByte(D(3.5)), 4);
  EXPECT_EQ(ErrorOf([] { ToByte(D(256)); }), err::kOverflow);
  EXPECT_EQ(ErrorOf([] { ToByte(D(-1)); }), err::kOverflow);
  EXPECT_EQ(ErrorOf([] { ToSingle(D(1e300)); }), err::kOverflow);
}

TEST(Convert, CurrencyKeepsFourDecimalsWithBankersRounding) {
  struct Row { double in; int64_t units; };
  const Row rows[] = {{12.5, 125000}, {1234567.891, 12345678910}, {0.00005, 0}, {0.00025, 2},
                      {-0.00025, -2}, {1e-9, 0}};
  for (const auto& row : rows) EXPECT_EQ(ToCurrency(D(row.in)).value, row.units) << row.in;
  EXPECT_EQ(ErrorOf([] { ToCurrency(D(1e15)); }), err::kOverflow);
  EXPECT_EQ(ToCurrency(S(u"1.234,5")).value, 12345000);
}

TEST(Convert, BooleanFromEveryForm) {
  struct Row { Variant in; int expected; };  // 1 true, 0 false, otherwise the error number
  const Row rows[] = {
      {D(1), 1},          {D(0), 0},            {D(-1), 1},            {D(0.1), 1},
      {S(u"True"), 1},    {S(u"false"), 0},     {S(u"Vero"), 1},       {S(u"FALSO"), 0},
      {S(u"1"), 1},       {S(u"0"), 0},         {S(u"-1"), 1},         {Variant(), 0},
      {S(u"yes"), 13},    {S(u"abc"), 13},      {S(u""), 13},          {Variant::Null(), 94},
      {Cur(0.0001), 1},
  };
  for (const auto& row : rows) {
    int got = 0;
    const int32_t error = ErrorOf([&] { got = ToBool(row.in) ? 1 : 0; });
    EXPECT_EQ(error ? error : got, row.expected) << (row.in.IsString() ? ToUtf8(row.in.AsString()) : "");
  }
}

TEST(Convert, TextToDate) {
  struct Row { const char16_t* text; std::optional<Date> expected; };
  const Row rows[] = {
      {u"31/12/2026", Day(2026, 12, 31)},
      {u"1/2/2026", Day(2026, 2, 1)},
      {u"04/12/2026", Day(2026, 12, 4)},
      {u"31/12/2026 23:59:59", Day(2026, 12, 31, 23, 59, 59)},
      {u"31/12/2026 10:00", Day(2026, 12, 31, 10)},
      {u"12:30", Day(1899, 12, 30, 12, 30)},
      {u"08:05:09", Day(1899, 12, 30, 8, 5, 9)},
      {u"12:00:00 AM", Day(1899, 12, 30)},
      {u"1:15 PM", Day(1899, 12, 30, 13, 15)},
      {u"1/2/26", Day(2026, 2, 1)},
      {u"1/2/30", Day(1930, 2, 1)},
      {u"31-12-2026", Day(2026, 12, 31)},
      {u"2026-12-31", Day(2026, 12, 31)},
      {u"1/31/2026", Day(2026, 1, 31)},
      {u"5 marzo 2026", Day(2026, 3, 5)},
      {u"gioved\u00EC 5 marzo 2026", Day(2026, 3, 5)},
      {u"5-mar-2026", Day(2026, 3, 5)},
      {u"March 5, 2026", Day(2026, 3, 5)},
      {u"10:20:30 31/12/2026", Day(2026, 12, 31, 10, 20, 30)},
      {u"29/02/2024", Day(2024, 2, 29)},
      {u"29/02/2026", std::nullopt},
      {u"32/12/2026", std::nullopt},
      {u"13/13/2026", std::nullopt},
      {u"25:00", std::nullopt},
      {u"12:60", std::nullopt},
      {u"abc", std::nullopt},
      {u"", std::nullopt},
      {u"4", std::nullopt},
      {u"1,5", std::nullopt},
      {u"31/12/2026 xx", std::nullopt},
  };
  for (const auto& row : rows) {
    auto got = ParseDate(row.text);
    ASSERT_EQ(got.has_value(), row.expected.has_value()) << ToUtf8(row.text);
    if (got) {
      EXPECT_NEAR(got->value, row.expected->value, 1e-9) << ToUtf8(row.text);
    }
  }
  EXPECT_EQ(ErrorOf([] { ToDate(S(u"abc")); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { ToDate(S(u"")); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { ToDate(Variant::Null()); }), err::kInvalidUseOfNull);
  EXPECT_EQ(ErrorOf([] { ToDate(D(1e9)); }), err::kOverflow);
  EXPECT_EQ(ToString(ToDate(D(46000.75))), u"09/12/2025 18:00:00");
}

TEST(Convert, IsNumericAndIsDate) {
  struct Row { Variant in; bool numeric; bool date; };
  const Row rows[] = {
      {D(1.5), true, false},        {S(u"12"), true, false},     {S(u"1,5"), true, false},
      {S(u" 3 "), true, false},     {S(u"1E5"), true, false},    {S(u"&H10"), true, false},
      {S(u"abc"), false, false},    {S(u""), false, false},      {S(u"12abc"), false, false},
      {Variant(), true, false},     {Variant::Null(), false, false}, {Variant(true), true, false},
      {Cur(1), true, false},        {Variant(Date{46000}), false, true},
      {S(u"31/12/2026"), false, true}, {S(u"12:30"), false, true}, {S(u"1E400"), false, false},
      {Variant(ArrayData::FromVector({D(1)})), false, false}, {Variant::Nothing(), false, false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(IsNumeric(row.in), row.numeric) << static_cast<int>(row.in.type());
    EXPECT_EQ(IsDateValue(row.in), row.date) << static_cast<int>(row.in.type());
  }
}

TEST(Convert, RelationalComparison) {
  using O = Ordering;
  struct Row { Variant a; Variant b; O expected; };
  const Row rows[] = {
      {L(10), L(9), O::Greater},
      {S(u"10"), S(u"9"), O::Less},         // text compares as text
      {L(10), S(u"9"), O::Less},            // a number is less than any text
      {S(u"100"), L(1000), O::Greater},
      {D(2), I(2), O::Equal},
      {S(u"ABC"), S(u"abc"), O::Less},
      {S(u"Z"), S(u"a"), O::Less},
      {S(u""), S(u"a"), O::Less},
      {Variant(), L(0), O::Equal},
      {Variant(), S(u""), O::Equal},
      {Variant(), L(-1), O::Greater},
      {Variant(), Variant(), O::Equal},
      {Variant(true), Variant(false), O::Less},  // True is -1
      {Variant(true), L(-1), O::Equal},
      {Variant::Null(), Variant::Null(), O::Null},
      {Variant(), Variant::Null(), O::Null},
      {Cur(0.0001), Cur(0.0002), O::Less},
      {Variant(Day(2026, 1, 31)), D(46053), O::Equal},
  };
  for (const auto& row : rows) EXPECT_EQ(Compare(row.a, row.b), row.expected);
  EXPECT_EQ(Compare(S(u"ABC"), S(u"abc"), CompareMode::Text), O::Equal);
  EXPECT_EQ(ErrorOf([] { Compare(Variant(ArrayData::FromVector({})), L(1)); }), err::kTypeMismatch);
}

TEST(Convert, ComparisonWithAConstantTakesTheOtherOperandsType) {
  using O = Ordering;
  EXPECT_EQ(Compare(L(10), S(u"9"), CompareMode::Binary, ConstantOperand::Right), O::Greater);
  EXPECT_EQ(Compare(S(u"10"), L(9), CompareMode::Binary, ConstantOperand::Right), O::Less);
  EXPECT_EQ(Compare(S(u"5"), L(5), CompareMode::Binary, ConstantOperand::Left), O::Equal);
  EXPECT_EQ(ErrorOf([] { Compare(L(1), S(u"x"), CompareMode::Binary, ConstantOperand::Right); }),
            err::kTypeMismatch);
}

TEST(Convert, NullIsRejectedWhereAValueIsNeeded) {
  const std::function<void()> calls[] = {
      [] { ToString(Variant::Null()); }, [] { ToDouble(Variant::Null()); },
      [] { ToLong(Variant::Null()); },   [] { ToCurrency(Variant::Null()); },
      [] { ToBool(Variant::Null()); },
  };
  for (const auto& call : calls) EXPECT_EQ(ErrorOf(call), err::kInvalidUseOfNull);
  EXPECT_EQ(ErrorOf([] { ToDouble(S(u"")); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { ToDouble(S(u"1E400")); }), err::kOverflow);
}

// UTF-8 in and out: only well-formed sequences count as valid UTF-8; malformed bytes read as
// U+FFFD, and surrogate halves (which only a UTF-16 profile file can bring) survive the round trip.
TEST(Convert, Utf8ValidityAndRoundTrips) {
  struct Row {
    std::string bytes;
    bool valid;
    String text;
  };
  const Row rows[] = {
      {"a\xC3\xA8", true, u"a\u00E8"},
      {"\xF0\x9F\x98\x80", true, u"\xD83D\xDE00"},
      {"\xC0\xAF", false, u"\uFFFD\uFFFD"},                     // overlong '/'
      {"\xED\xA0\x80", false, u"\xD800"},                        // an encoded half
      {"#\xED\xA9\x89\xED\xB4\xB4", false, u"#\xDA49\xDD34"},  // a pair, encoded half by half
      {"\xF4\x90\x80\x80", false, u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
      {"\xE2\x82", false, u"\uFFFD\uFFFD"},                       // cut short
  };
  for (const auto& row : rows) {
    EXPECT_EQ(IsValidUtf8(row.bytes), row.valid) << row.bytes;
    const String text = FromUtf8(row.bytes);
    EXPECT_EQ(text, row.text) << row.bytes;
    EXPECT_EQ(FromUtf8(ToUtf8(text)), text) << row.bytes;
    if (row.valid) {
      EXPECT_EQ(ToUtf8(text), row.bytes);
    }
  }
}

}  // namespace
}  // namespace brevalcore::automation
