#include "platform/script/compiler/compiler.h"

namespace brevalcore::script::compile {
namespace {

using namespace ast;
using runtime::ClassMember;
using runtime::GlobalEntry;
using runtime::GlobalKind;
using runtime::Interpreter;
using runtime::Key;
using runtime::Procedure;
using runtime::ScriptClass;

struct IntrinsicName {
  const char16_t* name;
  Intrinsic which;
};
constexpr IntrinsicName kIntrinsics[] = {
    {u"err", Intrinsic::Err},           {u"eval", Intrinsic::Eval},
    {u"execute", Intrinsic::Execute},   {u"executeglobal", Intrinsic::ExecuteGlobal},
    {u"getref", Intrinsic::GetRef},     {u"typename", Intrinsic::TypeName},
    {u"isobject", Intrinsic::IsObject},
};

// Collects the names a block declares with Dim, ReDim and Const (declarations hold for the
// whole procedure or unit, wherever they are written).
void CollectDeclarations(const Block& block, std::vector<String>& out, bool includeReDim) {
  for (const auto& s : block) {
    switch (s->kind) {
      case StmtKind::Dim:
        for (const auto& v : static_cast<const DimStmt&>(*s).vars) out.push_back(v.name);
        break;
      case StmtKind::Const:
        for (const auto& [n, e] : static_cast<const ConstStmt&>(*s).items) out.push_back(n->name);
        break;
      case StmtKind::ReDim:
        if (includeReDim) {
          for (const auto& [t, b] : static_cast<const ReDimStmt&>(*s).items)
            if (t->kind == ExprKind::Name) out.push_back(static_cast<const NameExpr&>(*t).name);
        }
        break;
      case StmtKind::If:
        for (const auto& b : static_cast<const IfStmt&>(*s).branches) CollectDeclarations(b.body, out, includeReDim);
        break;
      case StmtKind::Select:
        for (const auto& c : static_cast<const SelectStmt&>(*s).cases) CollectDeclarations(c.body, out, includeReDim);
        break;
      case StmtKind::For: CollectDeclarations(static_cast<const ForStmt&>(*s).body, out, includeReDim); break;
      case StmtKind::ForEach: CollectDeclarations(static_cast<const ForEachStmt&>(*s).body, out, includeReDim); break;
      case StmtKind::Do: CollectDeclarations(static_cast<const DoStmt&>(*s).body, out, includeReDim); break;
      case StmtKind::With: CollectDeclarations(static_cast<const WithStmt&>(*s).body, out, includeReDim); break;
      default: break;
    }
  }
}

class Compiler {
 public:
  Compiler(Interpreter& in, bool optionExplicit, const Procedure* scopeProc, ScriptClass* scopeClass)
      : in_(in), explicit_(optionExplicit), scopeProc_(scopeProc), cls_(scopeClass) {}

  void Unit(const std::shared_ptr<Program>& program) {
    Program& p = *program;
    // 1. Declarations: classes, procedures, script-level variables.
    std::vector<std::pair<ClassDecl*, ScriptClass*>> classes;
    for (auto& c : p.classes) classes.emplace_back(c.get(), DeclareClass(*c, program));
    std::vector<Procedure*> procs;
    for (auto& d : p.procs) procs.push_back(DeclareProcedure(*d, nullptr));
    if (!scopeProc_) {
      std::vector<String> names;
      CollectDeclarations(p.body, names, false);
      for (const auto& n : names) in_.DeclareGlobal(n);
    }
    // 2. Script-level code, which may create implicit globals the procedures then see.
    Block(p.body);
    // 3. Bodies.
    for (auto& [decl, cls] : classes) {
      for (auto& fd : decl->fields)
        for (auto& b : fd.bounds) WithScope(cls, nullptr, [&] { Expr(*b); });
      for (auto& pd : decl->procs) ProcedureBody(*pd->compiled, cls);
    }
    for (Procedure* proc : procs) ProcedureBody(*proc, nullptr);
  }

  void SingleExpression(ast::Expr& e) { Expr(e); }

 private:
  template <class F>
  void WithScope(ScriptClass* cls, Procedure* proc, F&& f) {
    ScriptClass* outerCls = cls_;
    Procedure* outerProc = proc_;
    auto outerWith = std::move(with_);
    cls_ = cls;
    proc_ = proc;
    with_.clear();
    f();
    cls_ = outerCls;
    proc_ = outerProc;
    with_ = std::move(outerWith);
  }

  ScriptClass* DeclareClass(ClassDecl& decl, const std::shared_ptr<Program>& program) {
    auto cls = std::make_shared<ScriptClass>();
    cls->name = decl.name;
    cls->engine = &in_;
    cls->program = program;
    auto memberOf = [&](const String& name) -> ClassMember& {
      const String key = Key(name);
      auto it = cls->byName.find(key);
      if (it != cls->byName.end()) return cls->members[it->second];
      cls->byName.emplace(key, static_cast<int>(cls->members.size()));
      cls->members.emplace_back();
      cls->members.back().name = name;
      return cls->members.back();
    };
    for (auto& f : decl.fields) {
      ClassMember& m = memberOf(f.name);
      m.isPublic = f.isPublic;
      m.field = cls->fieldCount++;
      if (f.isArray && !f.bounds.empty()) cls->arrayFields.emplace_back(m.field, &f);
    }
    for (auto& pd : decl.procs) {
      Procedure* proc = DeclareProcedure(*pd, cls.get());
      const String key = Key(pd->name);
      if (key == u"class_initialize") cls->initialize = proc;
      if (key == u"class_terminate") cls->terminate = proc;
      const int index = cls->byName.count(key) ? cls->byName[key] : static_cast<int>(cls->members.size());
      ClassMember& m = memberOf(pd->name);
      m.isPublic = pd->isPublic;
      switch (pd->kind) {
        case ProcKind::PropertyGet: m.get = proc; break;
        case ProcKind::PropertyLet: m.let = proc; break;
        case ProcKind::PropertySet: m.set = proc; break;
        default: m.method = proc; break;
      }
      if (pd->isDefault) cls->defaultMember = index;
    }
    GlobalEntry* g = in_.DeclareGlobal(decl.name);
    g->kind = GlobalKind::Class;
    g->cls = cls.get();
    ScriptClass* raw = cls.get();
    in_.AdoptClass(std::move(cls));
    return raw;
  }

  Procedure* DeclareProcedure(ProcDecl& decl, ScriptClass* owner) {
    auto proc = std::make_unique<Procedure>();
    proc->decl = &decl;
    proc->name = decl.name;
    proc->kind = decl.kind;
    proc->owner = owner;
    proc->paramCount = static_cast<int>(decl.params.size());
    for (const auto& p : decl.params) proc->byVal.push_back(p.byVal);
    Procedure* raw = proc.get();
    decl.compiled = raw;
    if (owner) {
      owner->procedures.push_back(std::move(proc));
    } else {
      in_.Procedures().push_back(std::move(proc));
      GlobalEntry* g = in_.DeclareGlobal(decl.name);
      g->kind = GlobalKind::Procedure;
      g->proc = raw;
      g->value = Variant();
    }
    return raw;
  }

  void ProcedureBody(Procedure& proc, ScriptClass* cls) {
    WithScope(cls, &proc, [&] {
      int next = 1;
      if (proc.kind == ProcKind::Function || proc.kind == ProcKind::PropertyGet) proc.locals[Key(proc.name)] = 0;
      for (const auto& p : proc.decl->params) proc.locals[Key(p.name)] = next++;
      std::vector<String> names;
      CollectDeclarations(proc.decl->body, names, false);
      for (const auto& n : names) {
        if (proc.locals.emplace(Key(n), next).second) ++next;
      }
      proc.slotCount = next;
      Block(const_cast<ast::Block&>(proc.decl->body));
    });
  }

  int NewLocal(const String& key) {
    const int slot = proc_->slotCount++;
    proc_->locals.emplace(key, slot);
    return slot;
  }

  // Binds a name. `declares` is set for the target of ReDim, which declares a variable that
  // nothing else names, also under Option Explicit.
  void Resolve(NameExpr& n, bool declares = false) {
    const String key = Key(n.name);
    if (proc_) {
      auto it = proc_->locals.find(key);
      if (it != proc_->locals.end()) {
        n.bound = NameKind::Local;
        n.slot = it->second;
        if (n.slot == 0) n.self = proc_;
        return;
      }
    } else if (scopeProc_) {
      auto it = scopeProc_->locals.find(key);
      if (it != scopeProc_->locals.end()) { n.bound = NameKind::Local; n.slot = it->second; return; }
    }
    if (cls_) {
      const int m = cls_->Find(key);
      if (m >= 0) {
        const ClassMember& cm = cls_->members[m];
        if (cm.field >= 0) { n.bound = NameKind::Field; n.slot = cm.field; }
        else { n.bound = NameKind::ClassMember; n.slot = m; }
        return;
      }
    }
    if (GlobalEntry* g = in_.FindGlobal(key)) { n.bound = NameKind::Global; n.global = g; return; }
    for (const auto& i : kIntrinsics) {
      if (key == i.name) { n.bound = NameKind::Intrinsic; n.slot = static_cast<int>(i.which); return; }
    }
    if (GlobalEntry* g = in_.FindObjectMember(key)) { n.bound = NameKind::Global; n.global = g; return; }
    if (const BuiltinConstant* c = FindBuiltinConstant(key)) {
      n.bound = NameKind::Constant;
      n.constant = c->value;
      return;
    }
    if (const Builtin* b = FindBuiltin(key)) { n.bound = NameKind::Builtin; n.builtin = b; return; }
    if (explicit_ && !declares) { n.bound = NameKind::Undefined; return; }
    if (proc_) { n.bound = NameKind::Local; n.slot = NewLocal(key); return; }
    n.bound = NameKind::Global;
    n.global = in_.DeclareGlobal(n.name);
  }

  void Expr(ast::Expr& e) {
    switch (e.kind) {
      case ExprKind::Name: Resolve(static_cast<NameExpr&>(e)); break;
      case ExprKind::Member: {
        auto& m = static_cast<MemberExpr&>(e);
        if (m.object) {
          Expr(*m.object);
        } else if (!with_.empty()) {
          m.withGlobal = with_.back().entry != nullptr;
          m.withEntry = with_.back().entry;
          m.withSlot = with_.back().slot;
        }
        break;
      }
      case ExprKind::Call: {
        auto& c = static_cast<CallExpr&>(e);
        Expr(*c.target);
        for (auto& a : c.args) if (a) Expr(*a);
        break;
      }
      case ExprKind::Unary: {
        auto& u = static_cast<UnaryExpr&>(e);
        Expr(*u.operand);
        Unwrap(u.operand);
        break;
      }
      case ExprKind::Binary: {
        auto& b = static_cast<BinaryExpr&>(e);
        Expr(*b.left);
        Expr(*b.right);
        Unwrap(b.left);
        Unwrap(b.right);
        break;
      }
      case ExprKind::Paren: Expr(*static_cast<ParenExpr&>(e).inner); break;
      case ExprKind::New: {
        auto& n = static_cast<NewExpr&>(e);
        n.global = in_.FindGlobal(Key(n.className));
        break;
      }
      default: break;
    }
  }

  // Parentheses around an operand only grouped it: the tree already holds the grouping, so
  // the interpreter need not step through them. (Around an argument they mean "by value"
  // and stay.)
  static void Unwrap(ExprPtr& e) {
    while (e->kind == ExprKind::Paren) {
      ExprPtr inner = std::move(static_cast<ParenExpr&>(*e).inner);
      e = std::move(inner);
    }
  }

  void Block(ast::Block& block) {
    for (auto& s : block) Stmt(*s);
  }

  void Stmt(ast::Stmt& s) {
    switch (s.kind) {
      case StmtKind::Call: Expr(*static_cast<CallStmt&>(s).call); break;
      case StmtKind::Assign: {
        auto& a = static_cast<AssignStmt&>(s);
        Expr(*a.target);
        Expr(*a.value);
        break;
      }
      case StmtKind::Dim:
        for (auto& v : static_cast<DimStmt&>(s).vars) {
          v.target = std::make_unique<NameExpr>();
          v.target->name = v.name;
          v.target->line = v.line;
          v.target->column = v.column;
          Resolve(*v.target);
          for (auto& b : v.bounds) Expr(*b);
        }
        break;
      case StmtKind::ReDim:
        for (auto& [t, bounds] : static_cast<ReDimStmt&>(s).items) {
          if (t->kind == ExprKind::Name) Resolve(static_cast<NameExpr&>(*t), /*declares=*/true);
          else Expr(*t);
          for (auto& b : bounds) Expr(*b);
        }
        break;
      case StmtKind::Erase:
        for (auto& t : static_cast<EraseStmt&>(s).targets) Expr(*t);
        break;
      case StmtKind::Const:
        for (auto& [n, v] : static_cast<ConstStmt&>(s).items) {
          Resolve(*n);
          Expr(*v);
          if (n->bound == NameKind::Global && n->global->kind == GlobalKind::Variable)
            n->global->kind = GlobalKind::Constant;
        }
        break;
      case StmtKind::If:
        for (auto& b : static_cast<IfStmt&>(s).branches) {
          if (b.condition) Expr(*b.condition);
          Block(b.body);
        }
        break;
      case StmtKind::Select: {
        auto& sel = static_cast<SelectStmt&>(s);
        Expr(*sel.subject);
        for (auto& c : sel.cases) {
          for (auto& v : c.values) Expr(*v);
          Block(c.body);
        }
        break;
      }
      case StmtKind::For: {
        auto& f = static_cast<ForStmt&>(s);
        Expr(*f.counter);
        Expr(*f.from);
        Expr(*f.to);
        if (f.step) Expr(*f.step);
        Block(f.body);
        break;
      }
      case StmtKind::ForEach: {
        auto& f = static_cast<ForEachStmt&>(s);
        Expr(*f.element);
        Expr(*f.collection);
        Block(f.body);
        break;
      }
      case StmtKind::Do: {
        auto& d = static_cast<DoStmt&>(s);
        if (d.condition) Expr(*d.condition);
        Block(d.body);
        break;
      }
      case StmtKind::With: {
        auto& w = static_cast<WithStmt&>(s);
        Expr(*w.object);
        WithBinding b;
        if (proc_) {
          b.slot = proc_->slotCount++;
        } else {
          b.entry = in_.NewHiddenGlobal();
        }
        w.slot = b.slot;
        w.entry = b.entry;
        with_.push_back(b);
        Block(w.body);
        with_.pop_back();
        break;
      }
      default: break;
    }
  }

  struct WithBinding {
    int slot = -1;
    GlobalEntry* entry = nullptr;
  };

  Interpreter& in_;
  bool explicit_;
  const Procedure* scopeProc_;
  ScriptClass* cls_;
  Procedure* proc_ = nullptr;
  std::vector<WithBinding> with_;
};

}  // namespace

void CompileProgram(Interpreter& in, const std::shared_ptr<Program>& program,
                    const Procedure* scopeProc, ScriptClass* scopeClass) {
  Compiler c(in, program->optionExplicit, scopeProc, scopeClass);
  c.Unit(program);
}

void CompileExpression(Interpreter& in, ast::Expr& expr, const Procedure* scopeProc, ScriptClass* scopeClass) {
  Compiler c(in, false, scopeProc, scopeClass);
  c.SingleExpression(expr);
}

}  // namespace brevalcore::script::compile
