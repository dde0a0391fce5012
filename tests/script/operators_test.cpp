// The operators' result types and values: the rules a script sees only indirectly (the
// promotion steps, Null and Empty, rounding of \ and Mod, bitwise forms).
#include <gtest/gtest.h>

#include "platform/automation/convert.h"
#include "platform/automation/error.h"
#include "platform/script/runtime/objects.h"
#include "platform/script/runtime/operators.h"

namespace brevalcore::script::runtime {
namespace {

using ast::Op;
using automation::Variant;

Variant I(int16_t v) { return Variant(v); }
Variant L(int32_t v) { return Variant(v); }
Variant D(double v) { return Variant(v); }
Variant S(const char16_t* s) { return Variant(String(s)); }
Variant B(bool b) { return Variant(b); }
Variant By(uint8_t v) { return Variant(v); }

struct Row {
  const char* name;
  Op op;
  Variant a, b;
  const char16_t* type;   // TypeName of the result
  const char16_t* value;  // CStr of the result ("" for Null)
};

const Row kRows[] = {
    {"int_add_stays_integer", Op::Add, I(1), I(2), u"Integer", u"3"},
    {"int_add_overflows_to_long", Op::Add, I(32767), I(1), u"Long", u"32768"},
    {"long_mul_overflows_to_double", Op::Mul, L(65536), L(65536), u"Double", u"4294967296"},
    {"byte_add_overflows_to_integer", Op::Add, By(200), By(100), u"Integer", u"300"},
    {"byte_add_stays_byte", Op::Add, By(2), By(3), u"Byte", u"5"},
    {"bool_plus_bool_is_integer", Op::Add, B(true), B(true), u"Integer", u"-2"},
    {"empty_plus_empty_is_integer", Op::Add, Variant(), Variant(), u"Integer", u"0"},
    {"strings_concatenate_with_plus", Op::Add, S(u"2"), S(u"3"), u"String", u"23"},
    {"string_plus_number_adds", Op::Add, S(u"2,5"), I(1), u"Double", u"3,5"},
    {"null_propagates", Op::Mul, Variant::Null(), I(0), u"Null", u""},
    {"division_is_double", Op::Div, I(4), I(2), u"Double", u"2"},
    {"intdiv_rounds_operands_half_even", Op::IntDiv, D(6.5), I(2), u"Long", u"3"},
    {"intdiv_truncates_toward_zero", Op::IntDiv, I(-7), I(2), u"Integer", u"-3"},
    {"mod_takes_sign_of_dividend", Op::Mod, I(-7), I(3), u"Integer", u"-1"},
    {"mod_of_doubles_rounds", Op::Mod, D(7.9), I(3), u"Long", u"2"},
    {"power_is_double", Op::Pow, I(2), I(10), u"Double", u"1024"},
    {"concat_skips_null", Op::Concat, Variant::Null(), I(5), u"String", u"5"},
    {"concat_two_nulls_is_null", Op::Concat, Variant::Null(), Variant::Null(), u"Null", u""},
    {"and_booleans_is_boolean", Op::And, B(true), B(false), u"Boolean", u"Falso"},
    {"and_mixed_is_integer", Op::And, B(true), I(1), u"Integer", u"1"},
    {"or_integer_bits", Op::Or, I(0x7FFF), I(-32768), u"Integer", u"-1"},
    {"xor_rounds_double", Op::Xor, I(7), D(2.5), u"Long", u"5"},
    {"eqv_bits", Op::Eqv, I(12), I(10), u"Integer", u"-7"},
    {"imp_bits", Op::Imp, I(12), I(10), u"Integer", u"-5"},
    {"null_and_false_is_false", Op::And, Variant::Null(), B(false), u"Boolean", u"Falso"},
    {"null_and_true_is_null", Op::And, Variant::Null(), B(true), u"Null", u""},
    {"null_or_true_is_true", Op::Or, Variant::Null(), B(true), u"Boolean", u"Vero"},
    {"false_imp_null_is_true", Op::Imp, B(false), Variant::Null(), u"Boolean", u"Vero"},
    {"null_imp_false_is_null", Op::Imp, Variant::Null(), B(false), u"Null", u""},
    {"compare_null_is_null", Op::Eq, Variant::Null(), Variant::Null(), u"Null", u""},
    {"compare_numbers", Op::Lt, I(2), D(2.5), u"Boolean", u"Vero"},
    {"compare_strings_binary", Op::Lt, S(u"Z"), S(u"a"), u"Boolean", u"Vero"},
    {"date_plus_number_is_date", Op::Add, Variant(automation::Date{46000}), I(1), u"Date", nullptr},
    {"date_minus_date_is_double", Op::Sub, Variant(automation::Date{46001}), Variant(automation::Date{46000}), u"Double", u"1"},
};

class Operators : public ::testing::TestWithParam<Row> {};

TEST_P(Operators, TypeAndValue) {
  const Row& row = GetParam();
  const Variant r = Binary(row.op, row.a, row.b);
  EXPECT_EQ(automation::ToUtf8(TypeNameOf(r)), automation::ToUtf8(row.type));
  if (row.value && !r.IsNull()) {
    EXPECT_EQ(automation::ToUtf8(automation::ToString(r)), automation::ToUtf8(row.value));
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, Operators, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

struct ErrorRow {
  const char* name;
  Op op;
  Variant a, b;
  int error;
};

const ErrorRow kErrorRows[] = {
    {"divide_by_zero", Op::Div, I(1), I(0), automation::err::kDivisionByZero},
    {"zero_by_zero_overflows", Op::Div, I(0), I(0), automation::err::kOverflow},
    {"intdiv_by_zero", Op::IntDiv, I(1), I(0), automation::err::kDivisionByZero},
    {"mod_by_zero", Op::Mod, I(5), I(0), automation::err::kDivisionByZero},
    {"intdiv_operand_too_big", Op::IntDiv, D(1e10), I(3), automation::err::kOverflow},
    {"text_in_arithmetic", Op::Add, S(u"a"), I(1), automation::err::kTypeMismatch},
    {"double_overflow", Op::Mul, D(1e308), D(10), automation::err::kOverflow},
    {"is_needs_objects", Op::Is, I(1), Variant::Nothing(), automation::err::kObjectRequired},
};

class OperatorErrors : public ::testing::TestWithParam<ErrorRow> {};

TEST_P(OperatorErrors, Raise) {
  const ErrorRow& row = GetParam();
  try {
    Binary(row.op, row.a, row.b);
    FAIL() << "no error";
  } catch (const automation::AutomationError& e) {
    EXPECT_EQ(e.number(), row.error);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, OperatorErrors, ::testing::ValuesIn(kErrorRows),
                         [](const ::testing::TestParamInfo<ErrorRow>& info) { return std::string(info.param.name); });

TEST(Operators, UnaryForms) {
  EXPECT_EQ(TypeNameOf(Negate(I(-32768))), u"Long");
  EXPECT_EQ(TypeNameOf(Negate(Variant())), u"Integer");
  EXPECT_TRUE(Negate(Variant::Null()).IsNull());
  EXPECT_EQ(automation::ToLong(Not(I(12))), -13);
  EXPECT_EQ(TypeNameOf(Not(B(true))), u"Boolean");
  EXPECT_TRUE(Not(Variant::Null()).IsNull());
  EXPECT_FALSE(Truth(Variant::Null()));
  EXPECT_TRUE(Truth(S(u"1")));
  EXPECT_THROW(Truth(S(u"abc")), automation::AutomationError);
}

}  // namespace
}  // namespace brevalcore::script::runtime
