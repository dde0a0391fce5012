// Literals and the token stream: number types by size, radix literals read as two's
// complement, date literals in the language's fixed month/day order, continuations.
#include <gtest/gtest.h>

#include "platform/automation/convert.h"
#include "platform/script/lexer/lexer.h"
#include "platform/script/runtime/objects.h"

namespace brevalcore::script::lex {
namespace {

struct Row {
  const char* name;
  const char16_t* source;
  const char16_t* type;
  double value;  // numeric value (dates: serial)
};

const Row kRows[] = {
    {"small_integer", u"32767", u"Integer", 32767},
    {"long_from_size", u"32768", u"Long", 32768},
    {"double_from_size", u"2147483648", u"Double", 2147483648.0},
    {"decimal_point", u"1.0", u"Double", 1},
    {"leading_point", u".5", u"Double", 0.5},
    {"exponent", u"1E3", u"Double", 1000},
    {"hex_integer", u"&HFF", u"Integer", 255},
    {"hex_sign_bit", u"&H8000", u"Integer", -32768},
    {"hex_long", u"&H10000", u"Long", 65536},
    {"hex_all_ones_long", u"&HFFFFFFFF", u"Long", -1},
    {"octal", u"&O777", u"Integer", 511},
    {"date_month_first", u"#1/2/2026#", u"Date", 46024},
    {"date_iso", u"#2026-01-02#", u"Date", 46024},
    {"time_only", u"#12:00:00 PM#", u"Date", 0.5},
};

class Literals : public ::testing::TestWithParam<Row> {};

TEST_P(Literals, TypeAndValue) {
  const Row& row = GetParam();
  LexResult r = Tokenize(row.source);
  ASSERT_TRUE(r.errors.empty());
  ASSERT_EQ(r.tokens[0].kind, Tok::Literal);
  const Variant& v = r.tokens[0].value;
  EXPECT_EQ(runtime::TypeNameOf(v), row.type);
  const double actual = v.type() == automation::VarType::Date ? v.AsDate().value : automation::ToDouble(v);
  EXPECT_DOUBLE_EQ(actual, row.value);
}

INSTANTIATE_TEST_SUITE_P(Rows, Literals, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

TEST(Lexer, ContinuationsCommentsAndSeparators) {
  LexResult r = Tokenize(u"a = 1 _\n  + 2 ' note\nb = \"x\"\"y\" : Rem all of this\nc");
  ASSERT_TRUE(r.errors.empty());
  std::vector<std::u16string> kinds;
  for (const auto& t : r.tokens) {
    if (t.kind == Tok::EndOfStatement) kinds.push_back(t.text == u"\n" ? u"NL" : t.text == u":\n" ? u":NL" : u":");
    else if (t.kind == Tok::Literal) kinds.push_back(u"#");
    else if (t.kind == Tok::EndOfInput) kinds.push_back(u"EOF");
    else kinds.push_back(t.text);
  }
  // A ":" that ends its line stays told apart, for "If a Then :".
  const std::vector<std::u16string> expected = {u"a", u"=", u"#", u"+", u"#", u"NL", u"b", u"=", u"#",
                                                u":NL", u"c", u"NL", u"EOF"};
  EXPECT_EQ(kinds, expected);
  EXPECT_EQ(r.tokens[8].value.AsString(), u"x\"y");
  EXPECT_EQ(r.tokens[10].line, 4);
}

TEST(Lexer, KeywordsIgnoreCase) {
  EXPECT_EQ(KeywordOf(u"eNd"), Kw::End);
  EXPECT_EQ(KeywordOf(u"ExecuteGlobal"), Kw::None);
}

}  // namespace
}  // namespace brevalcore::script::lex
