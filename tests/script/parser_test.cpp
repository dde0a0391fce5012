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
