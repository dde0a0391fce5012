#pragma once
// Turns VBScript source text into tokens. Line continuations ("_" at the end of a line) are
// folded away, comments (' and Rem) are dropped, and ":" becomes a statement separator just
// like a line end. Keywords are recognised without regard to case; identifiers keep their
// spelling for messages and are compared case-insensitively later.
#include <cstdint>
#include <vector>

#include "platform/automation/variant.h"

namespace brevalcore::script::lex {

using automation::String;
using automation::StringView;
using automation::Variant;

enum class Kw : uint8_t {
  None, And, As, ByRef, ByVal, Call, Case, Class, Const, Default, Dim, Do, Each, Else, ElseIf,
  Empty, End, Eqv, Erase, Error, Exit, Explicit, False, For, Function, Get, GoTo, If, Imp, In,
  Is, Let, Loop, Me, Mod, New, Next, Not, Nothing, Null, On, Option, Or, Preserve, Private,
  Property, Public, ReDim, Resume, Select, Set, Step, Stop, Sub, Then, To, True, Until, Wend,
  While, With, Xor,
};

enum class Tok : uint8_t {
  Identifier,  // text; kw set when the word is a keyword
  Literal,     // value: number, string or date
  Op,          // text: one of + - * / \ ^ & = <> < > <= >= ( ) , . (and ".x" member access)
  EndOfStatement,  // a line end or ":"
  EndOfInput,
};

struct Token {
  Tok kind = Tok::EndOfInput;
  Kw kw = Kw::None;
  String text;
  Variant value;
  int line = 1;    // 1-based
  int column = 1;  // 1-based
  // True when whitespace (or a line start) comes right before the token: "a.b" versus
  // "With x : .b", and "f (x)" versus "f(x)".
  bool spaceBefore = false;
  bool IsOp(char16_t c) const { return kind == Tok::Op && text.size() == 1 && text[0] == c; }
  bool IsOp(StringView s) const { return kind == Tok::Op && text == s; }
  bool Is(Kw k) const { return kind == Tok::Identifier && kw == k; }
};

struct LexError {
  int number;  // 1032 invalid character, 1033 unterminated string, 1031 invalid number
  int line;
  int column;
};

struct LexResult {
  std::vector<Token> tokens;  // always ends with EndOfStatement, EndOfInput
  std::vector<LexError> errors;
};

LexResult Tokenize(StringView source);
Kw KeywordOf(StringView word);

}  // namespace brevalcore::script::lex
