// The parser keeps going after an error, so a check reports every error of a file.
#include <gtest/gtest.h>

#include "platform/automation/text.h"
#include "platform/script/parser/parser.h"

namespace brevalcore::script::parse {

// Found by the test framework next to SyntaxError, so a failing row prints its errors.
void PrintTo(const SyntaxError& e, std::ostream* os) { *os << e.number << "@" << e.line << ":" << e.column; }

namespace {

struct Row {
  const char* name;
  const char* code;
  std::vector<SyntaxError> errors;  // number, line, column
};

const Row kRows[] = {
    {"clean", "Dim a\nIf a Then a = 1 Else a = 2\nSub S(ByVal x) : End Sub", {}},
    {"two_errors_on_two_lines", "a = \nb = 1\nc = (2", {{1023, 1, 5}, {1006, 3, 7}}},
    {"missing_then", "If a b = 1", {{1017, 1, 6}}},
    {"bad_character", "a = 1 $ 2", {{1032, 1, 7}}},
    {"unterminated_string", "a = \"x", {{1033, 1, 5}}},
    {"missing_next", "For i = 1 To 2\n a = i\n", {{1020, 3, 1}}},
    {"loop_without_do", "Loop", {{1038, 1, 1}}},
    {"exit_needs_kind", "Exit", {{1039, 1, 5}}},
    {"property_outside_class", "Property Get X : End Property", {{1048, 1, 1}}},
    {"expected_end_of_statement", "a = 1 2", {{1025, 1, 7}}},
    {"forms_the_platform_accepts",
     "If 1 >< 2 Then : a = 1 : b = 2\nIf a Then b = 1 End If\nIf a Then b = 1 Else b = 2 End If\n"
     "Dim Property, Default\nProperty = 1\nStop\nIf a Then\n Sub S : End Sub\nEnd If\n"
     "For i = 1 To 2\n Function F : End Function\nNext\nIf a Then Const k = 1\nx = &HFFFF& + (o)(1)\n"
     "If a Then :\nf (o)(1)\nf (o)(1)(2)\nh(k)(v)",
     {}},
    {"backwards_ne_needs_an_operand", "a = 1 ><", {{1023, 1, 9}}},
    {"backwards_ne_is_not_unary", "a = >< 1", {{1023, 1, 5}}},
    {"text_after_single_line_end_if", "If a Then b = 1 End If c", {{1025, 1, 24}}},
    {"single_line_if_closed_by_end_sub", "If a Then b = 1 End Sub", {{1025, 1, 17}}},
    {"stop_takes_nothing", "Stop 1", {{1025, 1, 6}}},
    {"stop_is_reserved", "Dim Step, Stop", {{1010, 1, 11}}},
    {"hex_without_digits", "a = &H", {{1031, 1, 5}}},
    {"hex_beyond_32_bits", "a = &HFFFFFFFFF", {{1031, 1, 5}}},
    {"octal_digit_8", "a = &O8", {{1031, 1, 5}}},
    {"long_suffix_twice", "a = &HFF&&", {{1023, 1, 11}}},
    {"sub_inside_sub", "Sub A\nSub B\nEnd Sub\nEnd Sub", {{1024, 2, 1}, {1024, 4, 1}}},
    {"sub_in_if_block_left_open", "If a Then\nSub S\nEnd If", {{1016, 3, 5}}},
    {"sub_in_single_line_if", "If a Then Sub S : End Sub", {{1024, 1, 11}}},
    {"parenthesised_callee_as_statement", "(o)(1)", {{1024, 1, 1}}},
    {"then_colon_ending_its_line_is_single_line", "If a Then :\nb = 1\nEnd If", {{1024, 3, 1}}},
    {"else_after_then_colon_line", "If a Then :\nElse", {{1024, 2, 1}}},
    {"second_else_in_single_line_if", "If a Then : Else : Else", {{1024, 1, 20}}},
    {"group_argument_left_open", "f (o)(1", {{1006, 1, 8}}},
    {"group_argument_then_text", "f (o)(1) 2", {{1025, 1, 10}}},
    {"const_without_name_in_single_line_if", "If a Then Const = 1", {{1010, 1, 17}}},
    {"too_deep", nullptr, {{1002, 1, 0}}},
    {"too_long", "", {{1002, 1, 0}}},
};

class Parser : public ::testing::TestWithParam<Row> {};

TEST_P(Parser, ReportsEveryError) {
  const Row& row = GetParam();
  std::string code;
  if (row.code && *row.code) {
    code = row.code;
  } else if (row.code) {
    code = "a = 1";
    for (int i = 0; i <= kMaxOperatorsPerStatement; ++i) code += " + 1";
  } else {
    code = "a = " + std::string(kMaxNestingDepth + 10, '(') + "1" + std::string(kMaxNestingDepth + 10, ')');
  }
  ParseResult r = ParseProgram(automation::FromUtf8(code));
  if (!row.code || !*row.code) {
    ASSERT_FALSE(r.errors.empty());
    EXPECT_EQ(r.errors[0].number, 1002);
    return;
  }
  EXPECT_EQ(r.errors, row.errors);
}

INSTANTIATE_TEST_SUITE_P(Rows, Parser, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brevalcore::script::parse
