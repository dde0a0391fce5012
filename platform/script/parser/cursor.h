#pragma once
// The parser's token cursor: position, error recording and the limits on nesting. Only the
// parser's own files include this.
#include <memory>
#include <vector>

#include "platform/script/lexer/lexer.h"
#include "platform/script/parser/parser.h"

namespace brevalcore::script::parse::detail {

using namespace ast;
using lex::Kw;
using lex::Tok;
using lex::Token;

// Thrown inside the parser only, to abandon the statement in which an error was found.
struct Abandon {};

class Cursor {
 public:
  Cursor(std::vector<Token> tokens, std::vector<SyntaxError>& errors) : t_(std::move(tokens)), errors_(errors) {}

 protected:
  // ------------------------------------------------------------------ token helpers
  const Token& Cur() const { return t_[pos_]; }
  const Token& Peek(size_t n = 1) const { return t_[std::min(pos_ + n, t_.size() - 1)]; }
  bool At(Tok k) const { return Cur().kind == k; }
  bool AtKw(Kw k) const { return Cur().Is(k); }
  bool AtOp(char16_t c) const { return Cur().IsOp(c); }
  bool AtEnd() const { return At(Tok::EndOfStatement) || At(Tok::EndOfInput); }
  bool AtLineEnd() const {
    return At(Tok::EndOfInput) || (At(Tok::EndOfStatement) && Cur().text.back() == u'\n');
  }
  // A line end that came right after a ":" ("If a Then :").
  bool AtColonLineEnd() const { return At(Tok::EndOfStatement) && Cur().text == u":\n"; }
  void Next() { if (pos_ + 1 < t_.size()) ++pos_; }
  bool AcceptKw(Kw k) { if (AtKw(k)) { Next(); return true; } return false; }
  bool AcceptOp(char16_t c) { if (AtOp(c)) { Next(); return true; } return false; }
  void ExpectKw(Kw k, int number) { if (!AcceptKw(k)) Fail(number); }
  void ExpectOp(char16_t c, int number) { if (!AcceptOp(c)) Fail(number); }
  bool SkipSeparators() {
    bool any = false;
    while (At(Tok::EndOfStatement)) { Next(); any = true; }
    return any;
  }
  [[noreturn]] void Fail(int number) { Fail(number, Cur()); }
  [[noreturn]] void Fail(int number, const Token& at) {
    errors_.push_back({number, at.line, at.column});
    throw Abandon{};
  }
  // The end of a statement: a line end or ":", and inside a single-line If also its Else or
  // a closing "End If" ("If a Then b = 1 End If").
  bool AtStatementEnd() const {
    return AtEnd() || (singleLine_ && (AtKw(Kw::Else) || (AtKw(Kw::End) && Peek().Is(Kw::If))));
  }
  void ExpectEndOfStatement() {
    if (!AtStatementEnd()) Fail(1025);
  }
  template <class T>
  std::unique_ptr<T> Make(const Token& at) {
    auto n = std::make_unique<T>();
    n->line = at.line;
    n->column = at.column;
    return n;
  }
  String Identifier() {
    if (!At(Tok::Identifier) || IsReserved(Cur().kw)) Fail(1010);
    String name = Cur().text;
    Next();
    return name;
  }
  // Keywords that can never name a variable or procedure.
  static bool IsReserved(Kw k) {
    switch (k) {
      case Kw::None: case Kw::Default: case Kw::Explicit: case Kw::Step: case Kw::Get:
      case Kw::Let: case Kw::Property: case Kw::Error: case Kw::Preserve: case Kw::Resume:
      case Kw::As: case Kw::In:
        return false;
      default:
        return true;
    }
  }
  struct DepthGuard {
    explicit DepthGuard(Cursor& p) : p(p) {
      if (++p.depth_ > kMaxNestingDepth) { --p.depth_; p.Fail(1002); }
    }
    ~DepthGuard() { --p.depth_; }
    Cursor& p;
  };


  void CountOperator() {
    if (++operators_ > kMaxOperatorsPerStatement) Fail(1002);
  }

  template <class T>
  std::unique_ptr<T> Make(const Token& at, ExprKind kind) {
    auto n = std::make_unique<T>(kind);
    n->line = at.line;
    n->column = at.column;
    return n;
  }

  std::vector<Token> t_;
  size_t pos_ = 0;
  std::vector<SyntaxError>& errors_;
  bool singleLine_ = false;
  int depth_ = 0;
  int operators_ = 0;
};

}  // namespace brevalcore::script::parse::detail
