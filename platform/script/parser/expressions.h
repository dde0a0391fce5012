#pragma once
// Expressions, by precedence climbing. Only the parser's own files include this.
#include "platform/script/parser/cursor.h"

namespace brevalcore::script::parse::detail {

class ExpressionParser : public Cursor {
 public:
  using Cursor::Cursor;

 protected:
  // ------------------------------------------------------------------ expressions
  ExprPtr Expression() { DepthGuard guard(*this); return Binary(0); }

  // Binary operator levels, lowest first.
  static int LevelOf(const Token& t, Op& op) {
    if (t.kind == Tok::Identifier) {
      switch (t.kw) {
        case Kw::Imp: op = Op::Imp; return 0;
        case Kw::Eqv: op = Op::Eqv; return 1;
        case Kw::Xor: op = Op::Xor; return 2;
        case Kw::Or: op = Op::Or; return 3;
        case Kw::And: op = Op::And; return 4;
        case Kw::Is: op = Op::Is; return 6;
        case Kw::Mod: op = Op::Mod; return 9;
        default: return -1;
      }
    }
    if (t.kind != Tok::Op) return -1;
    const String& s = t.text;
    if (s == u"=") { op = Op::Eq; return 6; }
    if (s == u"<>") { op = Op::Ne; return 6; }
    if (s == u"<") { op = Op::Lt; return 6; }
    if (s == u">") { op = Op::Gt; return 6; }
    if (s == u"<=") { op = Op::Le; return 6; }
    if (s == u">=") { op = Op::Ge; return 6; }
    if (s == u"&") { op = Op::Concat; return 7; }
    if (s == u"+") { op = Op::Add; return 8; }
    if (s == u"-") { op = Op::Sub; return 8; }
    if (s == u"\\") { op = Op::IntDiv; return 10; }
    if (s == u"*") { op = Op::Mul; return 11; }
    if (s == u"/") { op = Op::Div; return 11; }
    if (s == u"^") { op = Op::Pow; return 12; }
    return -1;
  }

  ExprPtr Binary(int minLevel) {
    ExprPtr left;
    if (minLevel <= 5 && AtKw(Kw::Not)) {
      // Not sits between And and the comparisons: "Not a = b" is "Not (a = b)".
      const Token& at = Cur();
      Next();
      DepthGuard guard(*this);
      auto u = Make<UnaryExpr>(at);
      u->op = Op::Not;
      u->operand = Binary(5);
      left = std::move(u);
    } else if (AtOp(u'-') || AtOp(u'+')) {
      left = Negation();
    } else {
      left = Postfix();
    }
    for (;;) {
      Op op;
      const int level = LevelOf(Cur(), op);
      if (level < 0 || level < minLevel) return left;
      const Token& at = Cur();
      Next();
      CountOperator();
      auto b = Make<BinaryExpr>(at);
      b->op = op;
      b->left = std::move(left);
      DepthGuard guard(*this);
      b->right = Binary(level + 1);
      left = std::move(b);
    }
  }

  // Unary minus binds tighter than "^": -2 ^ 2 is 4, and 2 ^ -1 is allowed.
  ExprPtr Negation() {
    if (AtOp(u'-') || AtOp(u'+')) {
      const Token& at = Cur();
      const bool minus = AtOp(u'-');
      Next();
      DepthGuard guard(*this);
      auto u = Make<UnaryExpr>(at);
      u->op = minus ? Op::Neg : Op::Plus;
      u->operand = Negation();
      return u;
    }
    if (AtKw(Kw::Not)) {
      const Token& at = Cur();
      Next();
      DepthGuard guard(*this);
      auto u = Make<UnaryExpr>(at);
      u->op = Op::Not;
      u->operand = Binary(5);
      return u;
    }
    return Postfix();
  }

  // The parenthesised groups that end a chain after its last ".name": a statement such as
  // "obj.Show (a)(1), b" passes "(a)(1)" as its first argument.
  struct GroupTrail {
    size_t first = SIZE_MAX;  // token position of the first such group
    size_t last = SIZE_MAX;   // ... and of the last one
    int count = 0;
  };

  ExprPtr Postfix(GroupTrail* trail = nullptr) {
    ExprPtr e = Primary();
    for (;;) {
      if (AtOp(u'.') && !Cur().spaceBefore) {
        Next();
        CountOperator();
        auto m = Make<MemberExpr>(Cur());
        if (!At(Tok::Identifier)) Fail(1010);
        m->name = Cur().text;
        Next();
        m->object = std::move(e);
        e = std::move(m);
        if (trail) *trail = GroupTrail{};
      } else if (AtOp(u'(') && e->kind != ExprKind::Literal && e->kind != ExprKind::New) {
        const size_t groupAt = pos_;
        CountOperator();
        auto c = Make<CallExpr>(Cur());
        Next();
        DepthGuard guard(*this);
        if (!AtOp(u')')) {
          for (;;) {
            if (AtOp(u',')) { c->args.push_back(nullptr); Next(); continue; }
            if (AtOp(u')')) { c->args.push_back(nullptr); break; }
            c->args.push_back(Expression());
            if (!AcceptOp(u',')) break;
          }
        }
        ExpectOp(u')', 1006);
        c->target = std::move(e);
        e = std::move(c);
        if (trail) {
          if (trail->count++ == 0) trail->first = groupAt;
          trail->last = groupAt;
        }
      } else {
        return e;
      }
    }
  }

  ExprPtr Primary() {
    const Token& at = Cur();
    if (At(Tok::Literal)) {
      auto l = Make<LiteralExpr>(at);
      l->value = at.value;
      Next();
      return l;
    }
    if (AtOp(u'(')) {
      Next();
      DepthGuard guard(*this);
      auto p = Make<ParenExpr>(at);
      p->inner = Expression();
      ExpectOp(u')', 1006);
      return p;
    }
    if (AtOp(u'.')) {  // member of the With object
      Next();
      auto m = Make<MemberExpr>(Cur());
      if (!At(Tok::Identifier)) Fail(1010);
      m->name = Cur().text;
      Next();
      return m;
    }
    if (At(Tok::Identifier)) {
      switch (at.kw) {
        case Kw::True: case Kw::False: case Kw::Empty: case Kw::Null: case Kw::Nothing: {
          auto l = Make<LiteralExpr>(at);
          if (at.kw == Kw::True) l->value = Variant(true);
          else if (at.kw == Kw::False) l->value = Variant(false);
          else if (at.kw == Kw::Null) l->value = Variant::Null();
          else if (at.kw == Kw::Nothing) l->value = Variant::Nothing();
          Next();
          return l;
        }
        case Kw::Me: { Next(); return Make<Expr>(at, ExprKind::Me); }
        case Kw::New: {
          Next();
          auto n = Make<NewExpr>(at);
          n->className = Identifier();
          return n;
        }
        default:
          if (IsReserved(at.kw)) Fail(1023);
          auto n = Make<NameExpr>(at);
          n->name = at.text;
          Next();
          return n;
      }
    }
    Fail(1023);
  }


};

}  // namespace brevalcore::script::parse::detail
