#pragma once
// Builds the syntax tree of one unit of VBScript text. The parser does not stop at the first
// syntax error: it records it with line and column, skips to the end of the statement and
// goes on, so that a check of a file reports every error it can.
#include <vector>

#include "platform/script/syntax/ast.h"

namespace brevalcore::script::parse {

struct SyntaxError {
  int number;  // 1002 "Syntax error", 1024 "Expected statement", ... (automation::ErrorText)
  int line;
  int column;
  friend bool operator==(const SyntaxError&, const SyntaxError&) = default;
};

struct ParseResult {
  std::unique_ptr<ast::Program> program;
  std::vector<SyntaxError> errors;
};

// Parses a whole unit (procedures, classes and statements).
ParseResult ParseProgram(automation::StringView source);
// Parses a single expression (Eval); anything after it is an error.
ParseResult ParseExpression(automation::StringView source, ast::ExprPtr& out);

// Deepest nesting of blocks and parentheses the parser accepts; deeper text is reported as
// a syntax error instead of exhausting the native stack (the interpreter recurses as deep).
inline constexpr int kMaxNestingDepth = 200;
// Most operators and member or index steps one statement may hold: a chain "a & b & c ..."
// becomes a tree as deep as it is long, which the interpreter then walks recursively.
inline constexpr int kMaxOperatorsPerStatement = 2000;

}  // namespace brevalcore::script::parse
