#include "platform/script/parser/parser.h"

#include "platform/script/parser/expressions.h"

namespace brevalcore::script::parse {
namespace {

using namespace detail;

class Parser : public ExpressionParser {
 public:
  using ExpressionParser::ExpressionParser;

  std::unique_ptr<ast::Program> ParseUnit() {
    auto program = std::make_unique<ast::Program>();
    program_ = program.get();
    while (!At(Tok::EndOfInput)) {
      if (SkipSeparators()) continue;
      if (At(Tok::EndOfInput)) break;
      ParseStatementRecovering(program->body, /*topLevel=*/true);
    }
    return program;
  }

  ExprPtr SingleExpression() {
    SkipSeparators();
    try {
      ExprPtr e = Expression();
      SkipSeparators();
      if (!At(Tok::EndOfInput)) Fail(1025);
      return e;
    } catch (const Abandon&) {
      return nullptr;
    }
  }


 private:
  // ------------------------------------------------------------------ statements

  void ParseStatementRecovering(Block& into, bool topLevel) {
    const size_t errorsBefore = errors_.size();
    operators_ = 0;
    try {
      ParseStatement(into, topLevel);
    } catch (const Abandon&) {
      // Skip the rest of the statement; a block keyword that opened before the error has
      // already been consumed, so its body's statements are parsed as ordinary ones.
      while (!AtEnd()) Next();
    }
    (void)errorsBefore;
  }

  // Statements of a block until one of the closing keywords (not consumed).
  void ParseBlock(Block& into, std::initializer_list<Kw> closers) {
    DepthGuard guard(*this);
    for (;;) {
      SkipSeparators();
      if (At(Tok::EndOfInput)) return;
      if (AtClosers(closers)) return;
      ParseStatementRecovering(into, false);
    }
  }
  bool AtClosers(std::initializer_list<Kw> closers) const {
    for (Kw k : closers) {
      if (k == Kw::End) {
        if (AtKw(Kw::End)) return true;
      } else if (AtKw(k)) {
        return true;
      }
    }
    return false;
  }
  void ExpectEnd(Kw what, int number) {
    if (!AcceptKw(Kw::End)) Fail(1014);
    if (!AcceptKw(what)) Fail(number);
  }

  void ParseStatement(Block& into, bool topLevel) {
    const Token& start = Cur();
    if (start.kind != Tok::Identifier && !start.IsOp(u'.')) Fail(1024);
    switch (start.kw) {
      case Kw::Option:
        Next();
        ExpectKw(Kw::Explicit, 1002);
        program_->optionExplicit = true;
        ExpectEndOfStatement();
        return;
      case Kw::Class:
        if (!topLevel) Fail(1024);
        ParseClass();
        return;
      case Kw::Sub: case Kw::Function:
        // Procedures may stand in the blocks of script-level code (an If, a loop), where
        // they are declared whether or not the block runs; not inside another procedure.
        if (inProcedure_ || singleLine_) Fail(1024);
        program_->procs.push_back(ParseProc(true, false));
        return;
      case Kw::Property:
        if (!Peek().Is(Kw::Get) && !Peek().Is(Kw::Let) && !Peek().Is(Kw::Set)) break;  // a variable
        // Reported, then read as a procedure so that its body does not cascade errors.
        errors_.push_back({1048, start.line, start.column});
        ParseProc(true, true);
        return;
      case Kw::Stop:  // a breakpoint for a debugger; there is none
        Next();
        ExpectEndOfStatement();
        return;
      case Kw::Public: case Kw::Private: {
        const bool isPublic = start.kw == Kw::Public;
        const bool procedure = Peek().Is(Kw::Sub) || Peek().Is(Kw::Function);
        if (procedure ? inProcedure_ || singleLine_ : !topLevel) Fail(1024);
        Next();
        if (procedure) { program_->procs.push_back(ParseProc(isPublic, false)); return; }
        if (AtKw(Kw::Default)) Fail(1048);
        if (AtKw(Kw::Property)) Fail(1048);
        if (AtKw(Kw::Const)) { Next(); into.push_back(ParseConst(start)); return; }
        into.push_back(ParseDim(start));
        return;
      }
      case Kw::Dim: Next(); into.push_back(ParseDim(start)); return;
      case Kw::Const: Next(); into.push_back(ParseConst(start)); return;
      case Kw::ReDim: into.push_back(ParseReDim()); return;
      case Kw::Erase: {
        Next();
        auto s = Make<EraseStmt>(start);
        do s->targets.push_back(Postfix()); while (AcceptOp(u','));
        ExpectEndOfStatement();
        into.push_back(std::move(s));
        return;
      }
      case Kw::If: into.push_back(ParseIf()); return;
      case Kw::Select: into.push_back(ParseSelect()); return;
      case Kw::For: into.push_back(ParseFor()); return;
      case Kw::Do: into.push_back(ParseDo()); return;
      case Kw::While: into.push_back(ParseWhile()); return;
      case Kw::With: into.push_back(ParseWith()); return;
      case Kw::Exit: into.push_back(ParseExit()); return;
      case Kw::On: into.push_back(ParseOnError()); return;
      case Kw::Set: {
        Next();
        auto s = Make<AssignStmt>(start);
        s->isSet = true;
        s->target = Postfix();
        ExpectOp(u'=', 1011);
        s->value = Expression();
        ExpectEndOfStatement();
        into.push_back(std::move(s));
        return;
      }
      case Kw::Let: Next(); break;
      case Kw::Call: {
        Next();
        auto s = Make<CallStmt>(start);
        s->call = Postfix();
        ExpectEndOfStatement();
        into.push_back(std::move(s));
        return;
      }
      case Kw::End: case Kw::Next: case Kw::Loop: case Kw::Wend: case Kw::Else: case Kw::ElseIf:
      case Kw::Case:
        Fail(start.kw == Kw::Next ? 1055 : start.kw == Kw::Loop ? 1038 : 1024);
      default:
        if (start.kw != Kw::None && start.kw != Kw::Me && IsReserved(start.kw)) Fail(1024);
        break;
    }
    into.push_back(ParseAssignOrCall());
  }

  StmtPtr ParseAssignOrCall() {
    const Token& start = Cur();
    GroupTrail trail;
    ExprPtr chain = Postfix(&trail);
    const size_t lastGroup = trail.last;
    if (AcceptOp(u'=')) {
      auto s = Make<AssignStmt>(start);
      s->target = std::move(chain);
      s->value = Expression();
      ExpectEndOfStatement();
      return s;
    }
    auto s = Make<CallStmt>(start);
    // "f (a)(1)" alone passes "(a)(1)" to f, while "handlers(k)(v)" calls what handlers(k)
    // returns: the space before the first group tells them apart.
    const bool groupsAreArgument = trail.count > 1 && t_[trail.first].spaceBefore;
    if (AtStatementEnd() && !groupsAreArgument) {
      if (chain->kind == ExprKind::Call && lastGroup != SIZE_MAX) {
        auto* call = static_cast<CallExpr*>(chain.get());
        // "f(x)" as a statement passes x by value; "f(x, y)" is not allowed without Call.
        if (call->args.size() > 1) Fail(1044, t_[lastGroup]);
        if (call->args.size() == 1 && call->args[0]) call->args[0] = Paren(std::move(call->args[0]));
      }
      s->call = std::move(chain);
      return s;
    }
    // Arguments without parentheses. If the chain ended in groups "f (a)(1) + 1, b", they
    // belong to the first argument: parse again from the first of them.
    if (trail.count > 0) {
      pos_ = trail.first;
      for (int i = 0; i < trail.count; ++i) {
        ExprPtr callee = std::move(static_cast<CallExpr&>(*chain).target);
        chain = std::move(callee);
      }
    }
    if (chain->kind == ExprKind::Literal || chain->kind == ExprKind::Paren) Fail(1024, start);
    auto call = Make<CallExpr>(start);
    call->target = std::move(chain);
    for (;;) {
      if (AtOp(u',')) { call->args.push_back(nullptr); Next(); continue; }
      call->args.push_back(Expression());
      if (!AcceptOp(u',')) break;
      if (AtEnd()) call->args.push_back(nullptr);
    }
    ExpectEndOfStatement();
    s->call = std::move(call);
    return s;
  }

  ExprPtr Paren(ExprPtr inner) {
    auto p = std::make_unique<ParenExpr>();
    p->line = inner->line;
    p->column = inner->column;
    p->inner = std::move(inner);
    return p;
  }

  StmtPtr ParseDim(const Token& start) {
    auto s = Make<DimStmt>(start);
    do {
      DimVar v;
      v.line = Cur().line;
      v.column = Cur().column;
      v.name = Identifier();
      if (AcceptOp(u'(')) {
        v.isArray = true;
        if (!AtOp(u')')) {
          do v.bounds.push_back(Expression()); while (AcceptOp(u','));
        }
        ExpectOp(u')', 1006);
      }
      s->vars.push_back(std::move(v));
    } while (AcceptOp(u','));
    ExpectEndOfStatement();
    return s;
  }

  StmtPtr ParseConst(const Token& start) {
    auto s = Make<ConstStmt>(start);
    do {
      auto name = Make<NameExpr>(Cur());
      name->name = Identifier();
      ExpectOp(u'=', 1011);
      s->items.emplace_back(std::move(name), Expression());
    } while (AcceptOp(u','));
    ExpectEndOfStatement();
    return s;
  }

  StmtPtr ParseReDim() {
    auto s = Make<ReDimStmt>(Cur());
    Next();
    s->preserve = AcceptKw(Kw::Preserve);
    do {
      auto name = Make<NameExpr>(Cur());
      name->name = Identifier();
      ExpectOp(u'(', 1005);
      std::vector<ExprPtr> bounds;
      do bounds.push_back(Expression()); while (AcceptOp(u','));
      ExpectOp(u')', 1006);
      s->items.emplace_back(std::move(name), std::move(bounds));
    } while (AcceptOp(u','));
    ExpectEndOfStatement();
    return s;
  }

  StmtPtr ParseIf() {
    auto s = Make<IfStmt>(Cur());
    Next();
    IfStmt::Branch first;
    first.condition = Expression();
    ExpectKw(Kw::Then, 1017);
    if (!AtLineEnd() || AtColonLineEnd()) {
      // Single-line form: statements up to the end of the line, an optional Else part.
      // "If a Then :" ending its line is a single-line If with no statements.
      if (AtColonLineEnd()) {
        s->branches.push_back(std::move(first));
        return s;
      }
      if (At(Tok::EndOfStatement)) Next();
      const bool outer = singleLine_;
      singleLine_ = true;
      ParseLineStatements(first.body);
      s->branches.push_back(std::move(first));
      if (AcceptKw(Kw::Else)) {
        IfStmt::Branch other;
        ParseLineStatements(other.body);
        s->branches.push_back(std::move(other));
      }
      singleLine_ = outer;
      if (AtKw(Kw::End) && Peek().Is(Kw::If)) {
        Next();
        Next();
        ExpectEndOfStatement();
      }
      return s;
    }
    const bool outer = singleLine_;
    singleLine_ = false;
    ParseBlock(first.body, {Kw::ElseIf, Kw::Else, Kw::End});
    s->branches.push_back(std::move(first));
    while (AtKw(Kw::ElseIf)) {
      Next();
      IfStmt::Branch b;
      b.condition = Expression();
      ExpectKw(Kw::Then, 1017);
      ParseBlock(b.body, {Kw::ElseIf, Kw::Else, Kw::End});
      s->branches.push_back(std::move(b));
    }
    if (AcceptKw(Kw::Else)) {
      IfStmt::Branch b;
      ParseBlock(b.body, {Kw::End});
      s->branches.push_back(std::move(b));
    }
    singleLine_ = outer;
    ExpectEnd(Kw::If, 1012);
    ExpectEndOfStatement();
    return s;
  }

  // Statements of a single-line If branch: separated by ":", ended by the line end or Else.
  void ParseLineStatements(Block& into) {
    DepthGuard guard(*this);
    while (!AtLineEnd() && !AtKw(Kw::Else)) {
      if (At(Tok::EndOfStatement)) { Next(); continue; }
      if (AtKw(Kw::End) && Peek().Is(Kw::If)) return;
      ParseStatement(into, false);
    }
  }

  StmtPtr ParseSelect() {
    auto s = Make<SelectStmt>(Cur());
    Next();
    ExpectKw(Kw::Case, 1021);
    s->subject = Expression();
    ExpectEndOfStatement();
    SkipSeparators();
    while (AcceptKw(Kw::Case)) {
      SelectStmt::Case c;
      if (!AcceptKw(Kw::Else)) {
        do c.values.push_back(Expression()); while (AcceptOp(u','));
      }
      ParseBlock(c.body, {Kw::Case, Kw::End});
      s->cases.push_back(std::move(c));
    }
    ExpectEnd(Kw::Select, 1022);
    ExpectEndOfStatement();
    return s;
  }

  StmtPtr ParseFor() {
    const Token& start = Cur();
    Next();
    if (AcceptKw(Kw::Each)) {
      auto s = Make<ForEachStmt>(start);
      s->element = NameOnly();
      ExpectKw(Kw::In, 1046);
      s->collection = Expression();
      ExpectEndOfStatement();
      ParseBlock(s->body, {Kw::Next});
      ExpectKw(Kw::Next, 1020);
      ExpectEndOfStatement();
      return s;
    }
    auto s = Make<ForStmt>(start);
    s->counter = NameOnly();
    ExpectOp(u'=', 1011);
    s->from = Expression();
    ExpectKw(Kw::To, 1013);
    s->to = Expression();
    if (AcceptKw(Kw::Step)) s->step = Expression();
    ExpectEndOfStatement();
    ParseBlock(s->body, {Kw::Next});
    ExpectKw(Kw::Next, 1020);
    if (At(Tok::Identifier) && !IsReserved(Cur().kw)) Next();  // "Next i"
    ExpectEndOfStatement();
    return s;
  }

  ExprPtr NameOnly() {
    auto n = Make<NameExpr>(Cur());
    if (!At(Tok::Identifier) || IsReserved(Cur().kw)) Fail(1040);
    n->name = Cur().text;
    Next();
    return n;
  }

  StmtPtr ParseDo() {
    auto s = Make<DoStmt>(Cur());
    Next();
    if (AtKw(Kw::While) || AtKw(Kw::Until)) {
      s->until = AtKw(Kw::Until);
      Next();
      s->condition = Expression();
    }
    ExpectEndOfStatement();
    ParseBlock(s->body, {Kw::Loop});
    ExpectKw(Kw::Loop, 1019);
    if (AtKw(Kw::While) || AtKw(Kw::Until)) {
      if (s->condition) Fail(1025);
      s->until = AtKw(Kw::Until);
      s->testAtEnd = true;
      Next();
      s->condition = Expression();
    }
    ExpectEndOfStatement();
    return s;
  }

  StmtPtr ParseWhile() {
    auto s = Make<DoStmt>(Cur());
    Next();
    s->condition = Expression();
    ExpectEndOfStatement();
    ParseBlock(s->body, {Kw::Wend});
    ExpectKw(Kw::Wend, 1018);
    ExpectEndOfStatement();
    return s;
  }

  StmtPtr ParseWith() {
    auto s = Make<WithStmt>(Cur());
    Next();
    s->object = Expression();
    ExpectEndOfStatement();
    ParseBlock(s->body, {Kw::End});
    ExpectEnd(Kw::With, 1029);
    ExpectEndOfStatement();
    return s;
  }

  StmtPtr ParseExit() {
    auto s = Make<ExitStmt>(Cur());
    Next();
    switch (Cur().kw) {
      case Kw::Do: s->what = ExitKind::Do; break;
      case Kw::For: s->what = ExitKind::For; break;
      case Kw::Sub: s->what = ExitKind::Sub; break;
      case Kw::Function: s->what = ExitKind::Function; break;
      case Kw::Property: s->what = ExitKind::Property; break;
      default: Fail(1039);
    }
    Next();
    ExpectEndOfStatement();
    return s;
  }

  StmtPtr ParseOnError() {
    auto s = Make<OnErrorStmt>(Cur());
    Next();
    ExpectKw(Kw::Error, 1002);
    if (AcceptKw(Kw::Resume)) {
      ExpectKw(Kw::Next, 1002);
      s->resumeNext = true;
    } else if (AcceptKw(Kw::GoTo)) {
      if (!(At(Tok::Literal) && Cur().value.type() == automation::VarType::Integer &&
            Cur().value.AsInteger() == 0)) {
        Fail(1002);
      }
      Next();
      s->resumeNext = false;
    } else {
      Fail(1002);
    }
    ExpectEndOfStatement();
    return s;
  }

  // ------------------------------------------------------------------ declarations
  std::unique_ptr<ProcDecl> ParseProc(bool isPublic, bool inClass) {
    auto p = std::make_unique<ProcDecl>();
    p->line = Cur().line;
    p->column = Cur().column;
    p->isPublic = isPublic;
    Kw closer;
    int closerError;
    if (AcceptKw(Kw::Sub)) {
      p->kind = ProcKind::Sub; closer = Kw::Sub; closerError = 1016;
    } else if (AcceptKw(Kw::Function)) {
      p->kind = ProcKind::Function; closer = Kw::Function; closerError = 1015;
    } else {
      ExpectKw(Kw::Property, 1002);
      if (!inClass) Fail(1048);
      if (AcceptKw(Kw::Get)) p->kind = ProcKind::PropertyGet;
      else if (AcceptKw(Kw::Let)) p->kind = ProcKind::PropertyLet;
      else if (AcceptKw(Kw::Set)) p->kind = ProcKind::PropertySet;
      else Fail(1049);
      closer = Kw::Property;
      closerError = 1050;
    }
    p->name = Identifier();
    if (AcceptOp(u'(')) {
      if (!AtOp(u')')) {
        do {
          Param param;
          if (AcceptKw(Kw::ByVal)) param.byVal = true;
          else AcceptKw(Kw::ByRef);
          param.name = Identifier();
          if (AcceptOp(u'(')) { ExpectOp(u')', 1006); param.isArray = true; }
          p->params.push_back(std::move(param));
        } while (AcceptOp(u','));
      }
      ExpectOp(u')', 1006);
    }
    ExpectEndOfStatement();
    const bool outer = singleLine_, outerProcedure = inProcedure_;
    singleLine_ = false;
    inProcedure_ = true;
    ParseBlock(p->body, {Kw::End});
    singleLine_ = outer;
    inProcedure_ = outerProcedure;
    ExpectEnd(closer, closerError);
    ExpectEndOfStatement();
    return p;
  }

  void ParseClass() {
    auto c = std::make_unique<ClassDecl>();
    c->line = Cur().line;
    c->column = Cur().column;
    Next();
    c->name = Identifier();
    ExpectEndOfStatement();
    for (;;) {
      SkipSeparators();
      if (At(Tok::EndOfInput)) Fail(1014);
      if (AtKw(Kw::End)) break;
      try {
        ParseClassMember(*c);
      } catch (const Abandon&) {
        while (!AtEnd()) Next();
      }
    }
    ExpectEnd(Kw::Class, 1047);
    ExpectEndOfStatement();
    program_->classes.push_back(std::move(c));
  }

  void ParseClassMember(ClassDecl& c) {
    bool isPublic = true, isDefault = false, hadAccess = false;
    if (AtKw(Kw::Public) || AtKw(Kw::Private)) {
      isPublic = AtKw(Kw::Public);
      hadAccess = true;
      Next();
      if (AtKw(Kw::Default)) {
        if (!isPublic) Fail(1057);
        isDefault = true;
        Next();
      }
    } else if (AtKw(Kw::Dim)) {
      Next();
      hadAccess = true;
      ParseFields(c, true);
      return;
    }
    if (AtKw(Kw::Sub) || AtKw(Kw::Function) || AtKw(Kw::Property)) {
      auto p = ParseProc(isPublic, true);
      p->isDefault = isDefault;
      c.procs.push_back(std::move(p));
      return;
    }
    if (isDefault) Fail(1056);
    if (!hadAccess) Fail(1024);
    ParseFields(c, isPublic);
  }

  void ParseFields(ClassDecl& c, bool isPublic) {
    do {
      FieldDecl f;
      f.line = Cur().line;
      f.column = Cur().column;
      f.isPublic = isPublic;
      f.name = Identifier();
      if (AcceptOp(u'(')) {
        f.isArray = true;
        if (!AtOp(u')')) {
          do f.bounds.push_back(Expression()); while (AcceptOp(u','));
        }
        ExpectOp(u')', 1006);
      }
      c.fields.push_back(std::move(f));
    } while (AcceptOp(u','));
    ExpectEndOfStatement();
  }

  ast::Program* program_ = nullptr;
  bool inProcedure_ = false;  // inside a Sub, Function or Property body
};

std::vector<Token> Lex(automation::StringView source, std::vector<SyntaxError>& errors) {
  lex::LexResult r = lex::Tokenize(source);
  for (const auto& e : r.errors) errors.push_back({e.number, e.line, e.column});
  return std::move(r.tokens);
}

}  // namespace

ParseResult ParseProgram(automation::StringView source) {
  ParseResult result;
  std::vector<Token> tokens = Lex(source, result.errors);
  std::vector<SyntaxError> parseErrors;
  Parser parser(std::move(tokens), parseErrors);
  result.program = parser.ParseUnit();
  // A line with a bad character or string gets no further errors: they would only echo it.
  for (const auto& e : parseErrors) {
    bool lineHasLexError = false;
    for (const auto& l : result.errors) lineHasLexError |= l.line == e.line;
    if (!lineHasLexError) result.errors.push_back(e);
  }
  return result;
}

ParseResult ParseExpression(automation::StringView source, ast::ExprPtr& out) {
  ParseResult result;
  std::vector<Token> tokens = Lex(source, result.errors);
  Parser parser(std::move(tokens), result.errors);
  out = parser.SingleExpression();
  if (!result.errors.empty()) out.reset();
  result.program = std::make_unique<ast::Program>();
  return result;
}

}  // namespace brevalcore::script::parse
