#include "platform/script/compiler/analysis.h"

#include <algorithm>
#include <map>
#include <set>

#include "platform/automation/convert.h"
#include "platform/script/compiler/compiler.h"
#include "platform/script/runtime/interpreter.h"

namespace brevalcore::script::analysis {

namespace {

using namespace ast;
using automation::Accessor;
using runtime::GlobalKind;
using runtime::Key;

// Stands in for a host object: answers names from the member table, runs nothing.
class MemberTable : public automation::Object {
 public:
  explicit MemberTable(const ClassInfo& info) : info_(info) {}
  String TypeName() const override { return info_.name; }
  automation::DispId GetIdOfName(StringView name) const override { return info_.Find(name); }
  automation::Variant Invoke(automation::DispId, automation::InvokeKind, std::span<automation::Variant>) override {
    automation::Raise(automation::err::kNoSuchMember);
  }
  const ClassInfo& info() const { return info_; }

 private:
  const ClassInfo& info_;
};

enum class Use : uint8_t { Value, Statement, Let, Set };

const Expr& Unparen(const Expr& e) {
  const Expr* at = &e;
  while (at->kind == ExprKind::Paren) at = static_cast<const ParenExpr&>(*at).inner.get();
  return *at;
}

// A call of a script procedure: where it is written and what it passes.
struct ProcedureCall {
  const ProcDecl* caller = nullptr;  // null at script level
  std::vector<const Expr*> args;      // null for an argument left out
};

struct PendingHostCall {
  HostCall call;
  const ProcDecl* caller = nullptr;
  std::vector<const Expr*> args;
};

class Walker {
 public:
  Walker(Report& report, const std::map<const automation::Object*, const ClassInfo*>& classes)
      : report_(report), classes_(classes) {}

  void Run(const Program& program) {
    CollectDeclarations(program);
    for (const auto& p : program.procs) {
      report_.procedures.push_back({p->name, p->kind, static_cast<int>(p->params.size()), {p->line, p->column}});
    }
    Block(program.body);
    for (const auto& p : program.procs) Procedure(*p);
    for (const auto& c : program.classes)
      for (const auto& p : c->procs) Procedure(*p);
    for (size_t i = 0; i < program.procs.size(); ++i) {
      const auto it = procedureCalls_.find(program.procs[i].get());
      if (it != procedureCalls_.end()) report_.procedures[i].calls = static_cast<int>(it->second.size());
    }
    ResolveArguments();
  }

 private:
  // ------------------------------------------------------------------ declarations

  void CollectDeclarations(const Program& program) {
    for (const auto& c : program.classes) {
      for (const auto& f : c->fields) declared_.insert(Key(f.name));
      for (const auto& p : c->procs) DeclareProcedure(*p);
    }
    for (const auto& p : program.procs) DeclareProcedure(*p);
    Declarations(program.body);
  }

  void DeclareProcedure(const ProcDecl& p) {
    for (const auto& param : p.params) declared_.insert(Key(param.name));
    Declarations(p.body);
  }

  void DeclareTarget(const Expr& target) {
    const Expr& e = Unparen(target);
    if (e.kind == ExprKind::Name) declared_.insert(Key(static_cast<const NameExpr&>(e).name));
    if (e.kind == ExprKind::Call) DeclareTarget(*static_cast<const CallExpr&>(e).target);
  }

  void Declarations(const ast::Block& block) {
    for (const auto& s : block) {
      switch (s->kind) {
        case StmtKind::Dim:
          for (const auto& v : static_cast<const DimStmt&>(*s).vars) declared_.insert(Key(v.name));
          break;
        case StmtKind::ReDim:
          for (const auto& [t, b] : static_cast<const ReDimStmt&>(*s).items) DeclareTarget(*t);
          break;
        case StmtKind::Const:
          for (const auto& [n, v] : static_cast<const ConstStmt&>(*s).items) {
            declared_.insert(Key(n->name));
            constants_.emplace(Key(n->name), v.get());
          }
          break;
        case StmtKind::Assign: DeclareTarget(*static_cast<const AssignStmt&>(*s).target); break;
        case StmtKind::If:
          for (const auto& b : static_cast<const IfStmt&>(*s).branches) Declarations(b.body);
          break;
        case StmtKind::Select:
          for (const auto& c : static_cast<const SelectStmt&>(*s).cases) Declarations(c.body);
          break;
        case StmtKind::For:
          DeclareTarget(*static_cast<const ForStmt&>(*s).counter);
          Declarations(static_cast<const ForStmt&>(*s).body);
          break;
        case StmtKind::ForEach:
          DeclareTarget(*static_cast<const ForEachStmt&>(*s).element);
          Declarations(static_cast<const ForEachStmt&>(*s).body);
          break;
        case StmtKind::Do: Declarations(static_cast<const DoStmt&>(*s).body); break;
        case StmtKind::With: Declarations(static_cast<const WithStmt&>(*s).body); break;
        default: break;
      }
    }
  }

  // ------------------------------------------------------------------ statements

  void Procedure(const ProcDecl& p) {
    proc_ = &p;
    Block(p.body);
    proc_ = nullptr;
  }

  void Block(const ast::Block& block) {
    for (const auto& s : block) Statement(*s);
  }

  void Statement(const Stmt& s) {
    switch (s.kind) {
      case StmtKind::Call: Visit(*static_cast<const CallStmt&>(s).call, Use::Statement); break;
      case StmtKind::Assign: {
        const auto& a = static_cast<const AssignStmt&>(s);
        Visit(*a.target, a.isSet ? Use::Set : Use::Let);
        Visit(*a.value, Use::Value);
        break;
      }
      case StmtKind::Dim:
        for (const auto& v : static_cast<const DimStmt&>(s).vars)
          for (const auto& b : v.bounds) Visit(*b, Use::Value);
        break;
      case StmtKind::ReDim:
        for (const auto& [t, bounds] : static_cast<const ReDimStmt&>(s).items)
          for (const auto& b : bounds) Visit(*b, Use::Value);
        break;
      case StmtKind::Erase: break;
      case StmtKind::Const:
        for (const auto& [n, v] : static_cast<const ConstStmt&>(s).items) Visit(*v, Use::Value);
        break;
      case StmtKind::If:
        for (const auto& b : static_cast<const IfStmt&>(s).branches) {
          if (b.condition) Visit(*b.condition, Use::Value);
          Block(b.body);
        }
        break;
      case StmtKind::Select: {
        const auto& sel = static_cast<const SelectStmt&>(s);
        Visit(*sel.subject, Use::Value);
        for (const auto& c : sel.cases) {
          for (const auto& v : c.values) Visit(*v, Use::Value);
          Block(c.body);
        }
        break;
      }
      case StmtKind::For: {
        const auto& f = static_cast<const ForStmt&>(s);
        Visit(*f.from, Use::Value);
        Visit(*f.to, Use::Value);
        if (f.step) Visit(*f.step, Use::Value);
        Block(f.body);
        break;
      }
      case StmtKind::ForEach: {
        const auto& f = static_cast<const ForEachStmt&>(s);
        Visit(*f.collection, Use::Value);
        Block(f.body);
        break;
      }
      case StmtKind::Do: {
        const auto& d = static_cast<const DoStmt&>(s);
        if (d.condition) Visit(*d.condition, Use::Value);
        Block(d.body);
        break;
      }
      case StmtKind::With: {
        const auto& w = static_cast<const WithStmt&>(s);
        Visit(*w.object, Use::Value);
        Block(w.body);
        break;
      }
      default: break;
    }
  }

  // ------------------------------------------------------------------ expressions

  // Visits `e` and gives the member table of its value when it is a host object.
  const ClassInfo* Visit(const Expr& e, Use use) {
    switch (e.kind) {
      case ExprKind::Name: return Name(static_cast<const NameExpr&>(e), use, nullptr);
      case ExprKind::Member: return Member(static_cast<const MemberExpr&>(e), use, nullptr);
      case ExprKind::Call: return Call(static_cast<const CallExpr&>(e), use);
      case ExprKind::Unary: Visit(*static_cast<const UnaryExpr&>(e).operand, Use::Value); return nullptr;
      case ExprKind::Binary: {
        const auto& b = static_cast<const BinaryExpr&>(e);
        Visit(*b.left, Use::Value);
        Visit(*b.right, Use::Value);
        return nullptr;
      }
      case ExprKind::Paren: return Visit(*static_cast<const ParenExpr&>(e).inner, Use::Value);
      default: return nullptr;
    }
  }

  const ClassInfo* Call(const CallExpr& c, Use use) {
    const ClassInfo* result = nullptr;
    const Expr& target = *c.target;
    if (target.kind == ExprKind::Name) {
      result = Name(static_cast<const NameExpr&>(target), use, &c);
    } else if (target.kind == ExprKind::Member) {
      result = Member(static_cast<const MemberExpr&>(target), use, &c);
    } else {
      Visit(target, Use::Value);
    }
    for (const auto& a : c.args)
      if (a) Visit(*a, Use::Value);
    return result;
  }

  const ClassInfo* Name(const NameExpr& n, Use use, const CallExpr* call) {
    const Position at{n.line, n.column};
    switch (n.bound) {
      case NameKind::Undefined:
        report_.problems.push_back({ProblemKind::UndefinedName, at, n.name});
        return nullptr;
      case NameKind::Global: {
        const runtime::GlobalEntry& g = *n.global;
        if (g.kind == GlobalKind::NamedObject) return ClassOf(g.value.IsObject() ? g.value.AsObject() : nullptr);
        if (g.kind == GlobalKind::ObjectMember) {
          const ClassInfo* owner = ClassOf(g.object.get());
          return owner ? Access(*owner, n.name, owner->Member(g.member), use, call, at) : nullptr;
        }
        if (g.kind == GlobalKind::Procedure) {
          ProcedureCall site{proc_, {}};
          if (call)
            for (const auto& a : call->args) site.args.push_back(a.get());
          procedureCalls_[g.proc->decl].push_back(std::move(site));
          return nullptr;
        }
        if (g.kind == GlobalKind::Variable) CheckCalledVariable(n, use, call);
        return nullptr;
      }
      case NameKind::Local:
        if (n.slot != 0) CheckCalledVariable(n, use, call);  // slot 0: a function's own result
        return nullptr;
      default:
        return nullptr;
    }
  }

  // A name used as a procedure that nothing declares or assigns: the author meant a
  // procedure or a member, and the engine fails with "Type mismatch" there.
  void CheckCalledVariable(const NameExpr& n, Use use, const CallExpr* call) {
    const bool called = use == Use::Statement || (call && !call->args.empty());
    if (called && !declared_.count(Key(n.name)))
      report_.problems.push_back({ProblemKind::UnknownProcedure, {n.line, n.column}, n.name});
  }

  const ClassInfo* Member(const MemberExpr& m, Use use, const CallExpr* call) {
    if (!m.object) return nullptr;  // ".name" inside With: the object's kind is not followed
    const ClassInfo* owner = Visit(*m.object, Use::Value);
    if (!owner) return nullptr;
    const Position at{m.line, m.column};
    const automation::DispId id = owner->Find(m.name);
    if (id == automation::kDispIdUnknown) {
      report_.problems.push_back({ProblemKind::NoSuchMember, at, m.name, owner});
      return nullptr;
    }
    return Access(*owner, m.name, owner->Member(id), use, call, at);
  }

  // A host member read, called or assigned: checks the accessor and its argument count and
  // records the call; gives the member table of the result.
  const ClassInfo* Access(const ClassInfo& owner, const String& name, const MemberInfo* member, Use use,
                          const CallExpr* call, Position at) {
    if (!member) {
      report_.problems.push_back({ProblemKind::NoSuchMember, at, name, &owner});
      return nullptr;
    }
    const int given = call ? static_cast<int>(call->args.size()) : 0;
    const bool assigns = use == Use::Let || use == Use::Set;
    const Accessor* accessor = nullptr;
    if (assigns) {
      accessor = use == Use::Set ? &member->putRef : &member->put;
      if (!accessor->thunk) {
        report_.problems.push_back({ProblemKind::NotAssignable, at, name, &owner, member});
        return nullptr;
      }
    } else {
      accessor = member->method.thunk ? &member->method : &member->get;
    }
    const int passed = given + (assigns ? 1 : 0);
    if (accessor->thunk && accessor->maxArgs != INT16_MAX && (passed < accessor->minArgs || passed > accessor->maxArgs)) {
      const int adjust = assigns ? 1 : 0;
      report_.problems.push_back({ProblemKind::WrongArgumentCount, at, name, &owner, member, given,
                                  accessor->minArgs - adjust, accessor->maxArgs - adjust});
    }
    if (assigns) return nullptr;
    PendingHostCall pending{HostCall{&owner, member, at, {}}, proc_, {}};
    if (call)
      for (const auto& a : call->args) pending.args.push_back(a.get());
    pendingCalls_.push_back(std::move(pending));
    return accessor->resultClass ? &accessor->resultClass() : nullptr;
  }

  const ClassInfo* ClassOf(const automation::Object* object) const {
    const auto it = classes_.find(object);
    return it == classes_.end() ? nullptr : it->second;
  }

  // ------------------------------------------------------------------ argument values

  void ResolveArguments() {
    for (PendingHostCall& p : pendingCalls_) {
      for (const Expr* arg : p.args) {
        Visiting visiting;
        p.call.arguments.push_back(arg ? Values(*arg, p.caller, visiting) : ArgumentValues{});
      }
      report_.hostCalls.push_back(std::move(p.call));
    }
  }

  // What is being expanded, so that constants and parameters that lead back to themselves
  // end the search.
  struct Visiting {
    std::set<std::pair<const ProcDecl*, int>> parameters;
    std::set<String> constants;
  };

  ArgumentValues Values(const Expr& expr, const ProcDecl* caller, Visiting& visiting) {
    const Expr& e = Unparen(expr);
    const Position at{e.line, e.column};
    switch (e.kind) {
      case ExprKind::Literal: {
        const auto& value = static_cast<const LiteralExpr&>(e).value;
        return ArgumentValues{{ConstantText{automation::ToString(value), true, at}}, false};
      }
      case ExprKind::Binary: {
        const auto& b = static_cast<const BinaryExpr&>(e);
        if (b.op != Op::Concat) break;
        ArgumentValues left = Values(*b.left, caller, visiting);
        const ArgumentValues right = Values(*b.right, caller, visiting);
        const bool rightKnown = !right.other && right.constants.size() == 1 && right.constants[0].complete;
        for (ConstantText& c : left.constants) {
          if (c.complete && rightKnown) c.text += right.constants[0].text;
          else c.complete = false;
        }
        return left;
      }
      case ExprKind::Name: return NameValues(static_cast<const NameExpr&>(e), caller, visiting);
      default: break;
    }
    return ArgumentValues{{}, true};
  }

  ArgumentValues NameValues(const NameExpr& n, const ProcDecl* caller, Visiting& visiting) {
    if (n.bound == NameKind::Global && n.global->kind == GlobalKind::Constant) {
      const auto it = constants_.find(Key(n.name));
      if (it != constants_.end() && visiting.constants.insert(it->first).second)
        return Values(*it->second, nullptr, visiting);
    }
    // A parameter: whatever the procedure's callers pass in its place.
    if (n.bound == NameKind::Local && caller && n.slot >= 1 && n.slot <= static_cast<int>(caller->params.size())) {
      const int index = n.slot - 1;
      if (!visiting.parameters.insert({caller, index}).second) return {};
      ArgumentValues all;
      const auto it = procedureCalls_.find(caller);
      if (it == procedureCalls_.end()) return all;
      for (const ProcedureCall& site : it->second) {
        if (static_cast<size_t>(index) >= site.args.size() || !site.args[index]) {
          all.other = true;
          continue;
        }
        ArgumentValues one = Values(*site.args[index], site.caller, visiting);
        all.other = all.other || one.other;
        for (auto& c : one.constants) all.constants.push_back(std::move(c));
      }
      return all;
    }
    return ArgumentValues{{}, true};
  }

  Report& report_;
  const std::map<const automation::Object*, const ClassInfo*>& classes_;
  const ProcDecl* proc_ = nullptr;
  std::set<String> declared_;
  std::map<String, const Expr*> constants_;
  std::map<const ProcDecl*, std::vector<ProcedureCall>> procedureCalls_;
  std::vector<PendingHostCall> pendingCalls_;
};

size_t EditDistance(StringView a, StringView b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      const size_t substitute = diagonal + (automation::ToLowerChar(a[i - 1]) == automation::ToLowerChar(b[j - 1]) ? 0 : 1);
      row[j] = std::min({above + 1, row[j - 1] + 1, substitute});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

std::vector<String> NearNames(StringView name, std::span<const String> candidates) {
  // Longer names tolerate more slips: one in four characters, between one and three.
  const size_t limit = std::clamp<size_t>((name.size() + 2) / 4, 1, 3);
  std::vector<std::pair<size_t, String>> near;
  for (const String& candidate : candidates) {
    if (automation::EqualsNoCase(candidate, name)) continue;
    const size_t distance = EditDistance(name, candidate);
    if (distance <= limit) near.emplace_back(distance, candidate);
  }
  std::stable_sort(near.begin(), near.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<String> names;
  for (auto& [distance, candidate] : near) {
    if (names.size() == 3) break;
    if (std::find(names.begin(), names.end(), candidate) == names.end()) names.push_back(std::move(candidate));
  }
  return names;
}

Report Analyze(StringView source, std::span<const HostObject> objects) {
  Report report;
  parse::ParseResult parsed = parse::ParseProgram(source);
  if (!parsed.errors.empty()) {
    report.syntaxErrors = std::move(parsed.errors);
    return report;
  }
  std::shared_ptr<Program> program(std::move(parsed.program));
  report.optionExplicit = program->optionExplicit;

  runtime::Interpreter engine{ScriptServices{}};
  std::map<const automation::Object*, const ClassInfo*> classes;
  for (const HostObject& object : objects) {
    automation::Ref<automation::Object> table(new MemberTable(*object.members));
    classes.emplace(table.get(), object.members);
    engine.AddObject(object.name, table, object.addMembers);
  }
  compile::CompileProgram(engine, program, nullptr, nullptr);
  Walker(report, classes).Run(*program);
  return report;
}

}  // namespace brevalcore::script::analysis
