#include "platform/script/compiler/codegen.h"

#include <algorithm>
#include <optional>

#include "platform/automation/convert.h"
#include "platform/automation/error.h"

namespace brevalcore::script::compile {
namespace {

using namespace ast;
using runtime::ArgBinding;
using runtime::CallSite;
using runtime::Code;
using runtime::ErrorRegion;
using runtime::GlobalKind;
using runtime::Instr;
using runtime::Opcode;

// Constants are numbered apart while the code is made and moved behind the temporaries at the
// end, when their count is known.
constexpr uint32_t kConstTag = 0x40000000u;
constexpr uint32_t kNoTarget = UINT32_MAX;
constexpr uint8_t kSet = runtime::kAssignSet;
constexpr uint8_t kMove = runtime::kAssignMove;
constexpr uint8_t kChainStart = runtime::kConcatChainStart;

Opcode OperatorOf(Op op) {
  switch (op) {
    case Op::Add: return Opcode::Add;
    case Op::Sub: return Opcode::Sub;
    case Op::Mul: return Opcode::Mul;
    case Op::Div: return Opcode::Div;
    case Op::IntDiv: return Opcode::IntDiv;
    case Op::Mod: return Opcode::Mod;
    case Op::Pow: return Opcode::Pow;
    case Op::Concat: return Opcode::Concat;
    case Op::Eq: return Opcode::Eq;
    case Op::Ne: return Opcode::Ne;
    case Op::Lt: return Opcode::Lt;
    case Op::Gt: return Opcode::Gt;
    case Op::Le: return Opcode::Le;
    case Op::Ge: return Opcode::Ge;
    case Op::And: return Opcode::And;
    case Op::Or: return Opcode::Or;
    case Op::Xor: return Opcode::Xor;
    case Op::Eqv: return Opcode::Eqv;
    case Op::Imp: return Opcode::Imp;
    default: return Opcode::Is;
  }
}

bool IsVariableName(const NameExpr& n) {
  return n.bound == NameKind::Local || n.bound == NameKind::Field || n.bound == NameKind::Undefined ||
         (n.bound == NameKind::Global && n.global->kind == GlobalKind::Variable);
}

// Expressions whose evaluation cannot change a script variable: an operand read before them
// need not be copied first.
bool IsPure(const Expr& e) {
  switch (e.kind) {
    case ExprKind::Literal: return true;
    case ExprKind::Name: {
      const auto& n = static_cast<const NameExpr&>(e);
      return n.bound == NameKind::Local || n.bound == NameKind::Constant || n.bound == NameKind::Field ||
             (n.bound == NameKind::Global && (n.global->kind == GlobalKind::Variable || n.global->kind == GlobalKind::Constant));
    }
    case ExprKind::Paren: return IsPure(*static_cast<const ParenExpr&>(e).inner);
    case ExprKind::Unary: return IsPure(*static_cast<const UnaryExpr&>(e).operand);
    case ExprKind::Binary: {
      const auto& b = static_cast<const BinaryExpr&>(e);
      return IsPure(*b.left) && IsPure(*b.right);
    }
    case ExprKind::Call: {
      const auto& c = static_cast<const CallExpr&>(e);
      if (c.target->kind != ExprKind::Name || static_cast<const NameExpr&>(*c.target).bound != NameKind::Builtin) return false;
      return std::all_of(c.args.begin(), c.args.end(), [](const ExprPtr& a) { return !a || IsPure(*a); });
    }
    default: return false;
  }
}

// Operators always give a plain value (never an object), so they may be computed straight
// into the variable they are assigned to.
bool IsOperator(const Expr& e) {
  return e.kind == ExprKind::Binary ||
         (e.kind == ExprKind::Unary && static_cast<const UnaryExpr&>(e).op != Op::Plus);
}

class CodeGen {
 public:
  CodeGen(uint32_t locals, bool countRuns) : code_(std::make_shared<Code>()), countRuns_(countRuns) {
    code_->locals = locals;
  }

  std::shared_ptr<Code> Build(const Block& body) {
    Statements(body);
    Emit({Opcode::Return});
    Finish();
    return code_;
  }

  // The value ends in the first temporary. No error region: an error belongs to the
  // statement of the code that asked for the value.
  std::shared_ptr<Code> BuildExpression(const Expr& e) {
    Into(e, NewTemp());
    Emit({Opcode::Return});
    Finish();
    return code_;
  }

 private:
  // ------------------------------------------------------------------ registers and code
  uint32_t NewTemp() {
    const uint32_t r = code_->locals + next_++;
    peak_ = std::max(peak_, next_);
    return r;
  }
  uint32_t Temps(size_t n) {
    const uint32_t first = code_->locals + next_;
    for (size_t i = 0; i < n; ++i) NewTemp();
    return first;
  }
  uint32_t Const(const Variant& v) {
    code_->constants.push_back(v);
    return kConstTag | static_cast<uint32_t>(code_->constants.size() - 1);
  }
  bool IsTemp(uint32_t r) const { return !(r & kConstTag) && r >= code_->locals; }

  size_t Emit(Instr i) {
    code_->instrs.push_back(i);
    return code_->instrs.size() - 1;
  }
  uint32_t Here() const { return static_cast<uint32_t>(code_->instrs.size()); }
  Instr& At(size_t i) { return code_->instrs[i]; }
  CallSite* NewSite() {
    code_->sites.push_back(std::make_unique<CallSite>());
    return code_->sites.back().get();
  }

  // ------------------------------------------------------------------ expressions

  // A register holding the value of `e`: a local or a constant as they are, anything else
  // computed into a new temporary.
  uint32_t Value(const Expr& e) {
    switch (e.kind) {
      case ExprKind::Literal: return Const(static_cast<const LiteralExpr&>(e).value);
      case ExprKind::Paren: return Value(*static_cast<const ParenExpr&>(e).inner);
      case ExprKind::Name: {
        const auto& n = static_cast<const NameExpr&>(e);
        if (n.bound == NameKind::Local) return static_cast<uint32_t>(n.slot);
        if (n.bound == NameKind::Constant) return Const(n.constant);
        break;
      }
      default: break;
    }
    const uint32_t t = NewTemp();
    Into(e, t);
    return t;
  }

  // Like Value, but a variable read now is copied when evaluating `later` could change it.
  uint32_t ValueBefore(const Expr& e, const Expr& later) {
    const uint32_t r = Value(e);
    if (IsTemp(r) || (r & kConstTag) || IsPure(later)) return r;
    const uint32_t t = NewTemp();
    Emit({Opcode::Move, 0, 0, t, r});
    return t;
  }

  void Into(const Expr& e, uint32_t dst) {
    switch (e.kind) {
      case ExprKind::Literal:
        Emit({Opcode::Move, 0, 0, dst, Const(static_cast<const LiteralExpr&>(e).value)});
        return;
      case ExprKind::Paren: Into(*static_cast<const ParenExpr&>(e).inner, dst); return;
      case ExprKind::Name: Name(static_cast<const NameExpr&>(e), dst); return;
      case ExprKind::Unary: {
        const auto& u = static_cast<const UnaryExpr&>(e);
        if (u.op == Op::Plus) return Into(*u.operand, dst);
        const uint32_t r = Value(*u.operand);
        Emit({u.op == Op::Neg ? Opcode::Neg : Opcode::Not, 0, 0, dst, r});
        return;
      }
      case ExprKind::Binary: Binary(static_cast<const BinaryExpr&>(e), dst); return;
      case ExprKind::Call: Call(static_cast<const CallExpr&>(e), dst); return;
      case ExprKind::Member: Member(static_cast<const MemberExpr&>(e), nullptr, dst); return;
      case ExprKind::Me:
        holdsRefs_ = true;
        Emit({Opcode::Me, 0, 0, dst});
        return;
      case ExprKind::New:
        holdsRefs_ = true;
        Emit({Opcode::New, 0, 0, dst, 0, 0, &e});
        return;
    }
  }

  void Name(const NameExpr& n, uint32_t dst) {
    switch (n.bound) {
      case NameKind::Local: Emit({Opcode::Move, 0, 0, dst, static_cast<uint32_t>(n.slot)}); return;
      case NameKind::Constant: Emit({Opcode::Move, 0, 0, dst, Const(n.constant)}); return;
      case NameKind::Field:
        holdsRefs_ = true;
        Emit({Opcode::LoadField, 0, 0, dst, static_cast<uint32_t>(n.slot)});
        return;
      default:
        holdsRefs_ = true;
        Emit({Opcode::LoadName, 0, 0, dst, 0, 0, &n});
        return;
    }
  }

  void Binary(const BinaryExpr& b, uint32_t dst) {
    if (b.op == Op::Concat && IsTemp(dst)) {
      // A chain grows the text of its first link's fresh result in place.
      const bool chain = b.left->kind == ExprKind::Binary && static_cast<const BinaryExpr&>(*b.left).op == Op::Concat;
      if (chain) {
        Into(*b.left, dst);
        Emit({Opcode::Append, 0, 0, dst, Value(*b.right)});
        return;
      }
      const uint32_t l = ValueBefore(*b.left, *b.right);
      const uint32_t r = Value(*b.right);
      Emit({Opcode::Concat, kChainStart, 0, dst, l, r});
      return;
    }
    const uint32_t l = ValueBefore(*b.left, *b.right);
    const uint32_t r = Value(*b.right);
    Emit({OperatorOf(b.op), 0, 0, dst, l, r});
  }

  // Arguments into consecutive new temporaries; null (left out) becomes the missing marker.
  uint32_t ArgumentValues(const std::vector<ExprPtr>& args) {
    const uint32_t first = Temps(args.size());
    for (size_t i = 0; i < args.size(); ++i) {
      if (args[i]) Into(*args[i], first + static_cast<uint32_t>(i));
      else Emit({Opcode::Move, 0, 0, first + static_cast<uint32_t>(i), Const(Variant::Missing())});
    }
    return first;
  }

  static bool AnyMissing(const std::vector<ExprPtr>& args) {
    return std::any_of(args.begin(), args.end(), [](const ExprPtr& a) { return !a; });
  }

  void Call(const CallExpr& c, uint32_t dst) {
    if (c.target->kind == ExprKind::Member) return Member(static_cast<const MemberExpr&>(*c.target), &c, dst);
    if (c.target->kind != ExprKind::Name) {
      // A call of a value, (x)(1) or F()(2): the value is taken first, then indexed or called.
      const uint32_t base = NewTemp();
      Into(*c.target, base);
      return Index(base, c, dst);
    }
    const auto& n = static_cast<const NameExpr&>(*c.target);
    switch (n.bound) {
      case NameKind::Local:
        if (n.self) return Procedure(n.self, nullptr, true, c.args, c, dst);
        return Index(static_cast<uint32_t>(n.slot), c, dst);
      case NameKind::Builtin: {
        const int count = static_cast<int>(c.args.size());
        if (count < n.builtin->minArgs || count > n.builtin->maxArgs) return Fail(automation::err::kWrongNumberOfArguments);
        holdsRefs_ = true;
        const uint32_t first = ArgumentValues(c.args);
        Emit({Opcode::CallBuiltin, 0, static_cast<uint16_t>(c.args.size()), dst, 0, first, n.builtin});
        return;
      }
      case NameKind::Global: {
        const runtime::GlobalEntry& g = *n.global;
        if (g.kind == GlobalKind::Procedure) return Procedure(g.proc, &g, false, c.args, c, dst);
        if (g.kind == GlobalKind::ObjectMember) {
          if (c.args.size() > UINT16_MAX) return Fail(automation::err::kWrongNumberOfArguments);
          holdsRefs_ = true;
          const uint32_t first = ArgumentValues(c.args);
          Emit({Opcode::CallGlobalMember, 0, static_cast<uint16_t>(c.args.size()), dst, 0, first, &g});
          return;
        }
        // A variable, a named object or a script-level Const: what it holds is read first (a
        // class's name refuses there, 13), then indexed or called.
        const uint32_t base = NewTemp();
        Name(n, base);
        return Index(base, c, dst);
      }
      case NameKind::Intrinsic: return Intrinsic(n, c.args, dst);
      case NameKind::ClassMember: {
        CallSite* site = MemberSite(n.name, c, c.args);
        if (!site) return Fail(automation::err::kWrongNumberOfArguments);
        site->meMember = n.slot;
        // The member is known when the call runs: the count is checked before the arguments.
        Emit({Opcode::CheckArgs, 0, 0, 0, 0, 0, site});
        const uint32_t first = MemberArguments(*site, c.args, Gap{runtime::kGapMe});
        Emit({Opcode::CallMeMember, 0, static_cast<uint16_t>(c.args.size()), dst, 0, first, site});
        return;
      }
      case NameKind::Field: case NameKind::Constant: {
        // An array field of Me, or a constant: what is indexed is read first, as for a variable.
        const uint32_t base = NewTemp();
        Name(n, base);
        return Index(base, c, dst);
      }
      default: {
        // A name declared after this code was compiled (by ExecuteGlobal or Execute): found
        // when the call runs, before its arguments (500 when there is still none), and called
        // as what it names then.
        CallSite* site = MemberSite(n.name, c, c.args);
        if (!site) return Fail(automation::err::kWrongNumberOfArguments);
        Emit({Opcode::CheckLate, 0, 0, 0, 0, 0, site});
        const uint32_t first = MemberArguments(*site, c.args, Gap{runtime::kGapLate});
        Emit({Opcode::CallLate, 0, static_cast<uint16_t>(c.args.size()), dst, 0, first, site});
        return;
      }
    }
  }

  // Eval, Execute, GetRef and the like take exactly one argument; Err() gives its default.
  void Intrinsic(const NameExpr& n, const std::vector<ExprPtr>& args, uint32_t dst) {
    const auto which = static_cast<ast::Intrinsic>(n.slot);
    if (which > ast::Intrinsic::IsObject) return Fail(automation::err::kTypeMismatch);
    if (which != ast::Intrinsic::Err && (args.size() != 1 || !args[0])) return Fail(automation::err::kWrongNumberOfArguments);
    if (args.size() > UINT16_MAX) return Fail(automation::err::kWrongNumberOfArguments);
    holdsRefs_ = true;
    const uint32_t first = ArgumentValues(args);
    Emit({Opcode::Intrinsic, static_cast<uint8_t>(which), static_cast<uint16_t>(args.size()), dst, 0, first});
  }

  // name(args) on a variable: an array element when it holds an array, else a call of what
  // it holds (an object's default member, a GetRef's procedure).
  void Index(uint32_t base, const CallExpr& c, uint32_t dst) {
    if (c.args.size() > UINT16_MAX) return Fail(automation::err::kSubscriptOutOfRange);
    holdsRefs_ = true;
    if (c.args.empty()) {
      // name(): an array's element of no subscripts (9), an object or a GetRef called with
      // none, anything else its value.
      Emit({Opcode::Index, 0, 0, dst, base});
      return;
    }
    const size_t guard = Emit({Opcode::IsArrayOrJump, 0, 0, base});
    uint32_t first;
    if (AnyMissing(c.args)) {
      // A subscript left out fails where it stands (9), those after it never evaluated.
      first = Temps(c.args.size());
      Subscripts(c.args, first);
    } else {
      first = ArgumentValues(c.args);
    }
    Emit({Opcode::Index, 0, static_cast<uint16_t>(c.args.size()), dst, base, first});
    const size_t done = Emit({Opcode::Jump});
    At(guard).c = Here();
    CallHeldValue(base, c, dst);
    At(done).c = Here();
  }

  // The object is taken before the arguments are evaluated (they may assign its variable).
  void CallHeldValue(uint32_t base, const CallExpr& c, uint32_t dst) {
    CallSite* site = MemberSite(String(), c, c.args);
    if (!site) return Fail(automation::err::kWrongNumberOfArguments);
    uint32_t callee = base;
    const bool pure = std::all_of(c.args.begin(), c.args.end(), [](const ExprPtr& a) { return !a || IsPure(*a); });
    if (!IsTemp(base) && !pure) {
      callee = NewTemp();
      Emit({Opcode::Move, 0, 0, callee, base});
    }
    Emit({Opcode::CheckCallable, 0, 0, callee, 0, 0, site});
    const uint32_t first = MemberArguments(*site, c.args, Gap{runtime::kGapValue, callee});
    Emit({Opcode::CallValue, 0, static_cast<uint16_t>(c.args.size()), dst, callee, first, site});
  }

  // A call of a script procedure: by-reference arguments are bound when the call starts. A
  // count that does not fit fails before any argument is evaluated; an argument left out
  // fails when the call reaches it, after those before it and before those after it.
  void Procedure(const runtime::Procedure* proc, const runtime::GlobalEntry* global, bool onMe,
                 const std::vector<ExprPtr>& args, const Expr& whole, uint32_t dst) {
    const bool fits = static_cast<int>(args.size()) == proc->paramCount;
    if (!fits && !global) return Fail(automation::err::kWrongNumberOfArguments);
    holdsRefs_ = true;
    CallSite* site = NewSite();
    site->proc = global ? nullptr : proc;
    site->global = global;
    site->onMe = onMe;
    site->expr = &whole;
    if (!fits) Emit({Opcode::CheckArgs, 0, 0, 0, 0, 0, site});
    bool leftOut = false;
    for (const auto& a : args) {
      ArgBinding binding;
      leftOut = leftOut || !a;
      if (leftOut) {
        binding.reg = NewTemp();
        binding.hasValue = true;
        Emit({Opcode::Move, 0, 0, binding.reg, Const(Variant::Missing())});
        site->args.push_back(binding);
        continue;
      }
      const Expr& arg = *a;
      if (arg.kind == ExprKind::Name && static_cast<const NameExpr&>(arg).bound == NameKind::Local &&
          !static_cast<const NameExpr&>(arg).self) {
        binding.kind = ArgBinding::LocalRef;
        binding.local = static_cast<uint32_t>(static_cast<const NameExpr&>(arg).slot);
      } else if (MayBeElement(arg)) {
        binding.reg = NewTemp();
        binding.hasValue = true;
        ElementArgument(static_cast<const CallExpr&>(arg), binding);
      } else if (MayBeVariable(arg)) {
        binding.kind = ArgBinding::NameRef;
        binding.expr = &arg;
      } else {
        binding.reg = NewTemp();
        binding.hasValue = true;
        Into(arg, binding.reg);
      }
      site->args.push_back(binding);
    }
    Emit({Opcode::CallProc, 0, 0, dst, 0, 0, site});
  }

  // A name that the callee may receive by reference.
  static bool MayBeVariable(const Expr& e) {
    return e.kind == ExprKind::Name && IsVariableName(static_cast<const NameExpr&>(e));
  }

  // name(subscripts) on a variable: an element of an array the callee may receive by
  // reference. (name() is a value: an array has no element of no subscripts.)
  static bool MayBeElement(const Expr& e) {
    if (e.kind != ExprKind::Call) return false;
    const auto& c = static_cast<const CallExpr&>(e);
    return !c.args.empty() && c.args.size() < UINT16_MAX && c.target->kind == ExprKind::Name &&
           IsVariableName(static_cast<const NameExpr&>(*c.target));
  }

  // An argument that may be an array's element, evaluated where it stands: when the variable
  // holds an array, its subscripts are evaluated and the element read (a subscript out of
  // range fails here, before the later arguments), and a callee taking it by reference is
  // given the element of the same subscripts when the call starts; otherwise it is the value
  // of the call it is, and the first subscript's register is left empty to say so.
  void ElementArgument(const CallExpr& arg, ArgBinding& binding) {
    const Variable v = VariableOf(static_cast<const NameExpr&>(*arg.target));
    const auto count = static_cast<uint32_t>(arg.args.size());
    const uint32_t first = Temps(count + 1);
    const size_t notArray = Emit(On(Opcode::VarIsArrayOrJump, v));
    Subscripts(arg.args, first);
    Instr read = On(Opcode::ReadElement, v);
    read.b = first;
    read.c = count;
    Emit(read);
    Emit({Opcode::Move, 0, 0, binding.reg, first + count});
    const size_t done = Emit({Opcode::Jump});
    At(notArray).c = Here();
    Emit({Opcode::Clear, 0, 0, first, 1});
    Into(arg, binding.reg);
    At(done).c = Here();
    binding.kind = ArgBinding::ElementRef;
    binding.where = v.kind;
    binding.var = v.reg;
    binding.place = v.p;
    binding.first = first;
    binding.count = count;
  }

  // object.name or object.name(args): the object may be a host's or one of the script's own
  // class instances, known only when it runs, so arguments are evaluated for both.
  void Member(const MemberExpr& m, const CallExpr* call, uint32_t dst) {
    const Expr& whole = call ? static_cast<const Expr&>(*call) : m;
    const uint32_t with = m.object ? kNoTarget : WithRegister(m);
    // ".name" outside any With of its own code (text given to Execute or Eval does not see
    // the asking code's): there is no object.
    if (!m.object && with == kNoTarget) return Fail(automation::err::kObjectRequired);
    const std::vector<ExprPtr> none;
    const auto& args = call ? call->args : none;
    CallSite* site = MemberSite(m.name, whole, args);
    if (!site) return Fail(automation::err::kWrongNumberOfArguments);
    const uint32_t object = !m.object ? with : args.empty() ? Value(*m.object) : ValueBefore(*m.object, *call);
    const uint32_t first = MemberArguments(*site, args, Gap{});
    Emit({Opcode::GetMember, 0, static_cast<uint16_t>(args.size()), dst, object, first, site});
  }

  // The site of a call of a member that may be one of the script's own (its arguments both
  // values and references); null when it has more arguments than an instruction counts.
  CallSite* MemberSite(const String& name, const Expr& whole, const std::vector<ExprPtr>& args) {
    if (args.size() > UINT16_MAX) return nullptr;
    holdsRefs_ = true;
    CallSite* site = NewSite();
    site->member = name;
    site->expr = &whole;
    return site;
  }

  // Whose call an argument left out belongs to, for CheckGap; kNoGapCheck: a member called
  // through an object, which evaluates every argument first.
  static constexpr uint8_t kNoGapCheck = UINT8_MAX;
  struct Gap {
    uint8_t whose = kNoGapCheck;
    uint32_t callee = 0;
  };

  // The arguments' values into consecutive temporaries (the first returned), a variable's
  // and an array element's also bound by reference.
  uint32_t MemberArguments(CallSite& site, const std::vector<ExprPtr>& args, Gap gap) {
    const uint32_t first = Temps(args.size());
    for (size_t i = 0; i < args.size(); ++i) {
      ArgBinding binding;
      binding.reg = first + static_cast<uint32_t>(i);
      binding.hasValue = true;
      if (!args[i]) {
        if (gap.whose != kNoGapCheck) Emit({Opcode::CheckGap, gap.whose, 0, 0, gap.callee, 0, &site});
        Emit({Opcode::Move, 0, 0, binding.reg, Const(Variant::Missing())});
      } else if (MayBeElement(*args[i])) {
        ElementArgument(static_cast<const CallExpr&>(*args[i]), binding);
      } else {
        const Expr& arg = *args[i];
        Into(arg, binding.reg);
        if (arg.kind == ExprKind::Name && IsVariableName(static_cast<const NameExpr&>(arg))) {
          const auto& n = static_cast<const NameExpr&>(arg);
          binding.expr = &arg;
          binding.kind = ArgBinding::NameRef;
          if (n.bound == NameKind::Local && !n.self) {
            binding.kind = ArgBinding::LocalRef;
            binding.local = static_cast<uint32_t>(n.slot);
          }
        }
      }
      site.args.push_back(binding);
    }
    return first;
  }

  // ------------------------------------------------------------------ statements

  struct Loop {
    bool isFor;
    std::vector<size_t> exits;  // Jumps to the end
    size_t withs;  // With statements open when the loop starts
  };

  // A With statement being made: its object's register (a hidden local, or at script level a
  // temporary; the hidden global the binder made for it only names it).
  struct OpenWith {
    uint32_t reg;
    runtime::GlobalEntry* entry;
  };

  void Statements(const Block& block) {
    for (const auto& s : block) Statement(*s);
  }

  void Statement(const ast::Stmt& s) {
    const uint32_t begin = Here();
    const uint32_t mark = next_;
    const uint32_t outerPeak = peak_;
    const bool outerRefs = holdsRefs_;
    peak_ = next_;
    holdsRefs_ = false;
    if (!Native(s)) automation::Raise(automation::err::kInternalError);
    if (holdsRefs_ && peak_ > mark && !EndsByEmptying(begin, code_->locals + mark, peak_ - mark))
      Emit({Opcode::Clear, 0, 0, code_->locals + mark, peak_ - mark});
    code_->regions.push_back({begin, Here(), Here(), &s});
    next_ = mark;
    peak_ = std::max(outerPeak, peak_);
    holdsRefs_ = outerRefs;
  }

  // The statement from `begin` runs straight through and its last instruction moves the one
  // temporary it used out: nothing is left there for a Clear to release.
  bool EndsByEmptying(uint32_t begin, uint32_t first, uint32_t count) const {
    if (count != 1 || Here() == begin) return false;
    for (uint32_t i = begin; i < Here(); ++i)
      if (Branches(code_->instrs[i])) return false;
    const Instr& last = code_->instrs.back();
    if (!(last.x8 & kMove)) return false;
    switch (last.op) {
      case Opcode::Let: case Opcode::SetRef: case Opcode::StoreName: case Opcode::StoreField: return last.b == first;
      case Opcode::PutMember: return last.a == first;
      default: return false;
    }
  }

  // Whether the instruction may go elsewhere than to the next one: a jump of its own, or
  // leaving the code.
  static bool Branches(const Instr& i) {
    return JumpsTo(i) || i.op == Opcode::Fail || i.op == Opcode::Return;
  }

  // Whether the instruction's c is a jump target (to be checked and patched as one).
  static bool JumpsTo(const Instr& i) {
    switch (i.op) {
      case Opcode::Jump: case Opcode::JumpIfFalse: case Opcode::JumpIfTrue: case Opcode::CaseJump:
      case Opcode::CompareJump: case Opcode::ShortCircuit: case Opcode::ForPrep: case Opcode::ForLoop:
      case Opcode::ForNext: case Opcode::EachNext: case Opcode::IsArrayOrJump: case Opcode::VarIsArrayOrJump:
      case Opcode::ElementOrObject:
        return true;
      case Opcode::CheckVar: return i.x8 == runtime::kCheckDim;
      default: return false;
    }
  }


  Loop* Innermost(bool isFor) {
    for (auto it = loops_.rbegin(); it != loops_.rend(); ++it)
      if (it->isFor == isFor) return &*it;
    return nullptr;
  }

  void Count(const ast::Stmt& s) {
    if (countRuns_) Emit({Opcode::Count, 0, 0, 0, 0, 0, &s});
  }

  // Emits `s`.
  bool Native(const ast::Stmt& s) {
    switch (s.kind) {
      case StmtKind::Assign: return Assign(static_cast<const AssignStmt&>(s));
      case StmtKind::Call: return CallStatement(static_cast<const CallStmt&>(s));
      case StmtKind::If: Count(s); If(static_cast<const IfStmt&>(s)); return true;
      case StmtKind::Select: Count(s); Select(static_cast<const SelectStmt&>(s)); return true;
      case StmtKind::For: For(static_cast<const ForStmt&>(s)); return true;
      case StmtKind::ForEach: Count(s); ForEach(static_cast<const ForEachStmt&>(s)); return true;
      case StmtKind::With: Count(s); With(static_cast<const WithStmt&>(s)); return true;
      case StmtKind::Do: Count(s); Do(static_cast<const DoStmt&>(s)); return true;
      case StmtKind::Exit: Count(s); Exit(static_cast<const ExitStmt&>(s)); return true;
      case StmtKind::OnError:
        Count(s);
        Emit({Opcode::OnError, static_cast<uint8_t>(static_cast<const OnErrorStmt&>(s).resumeNext)});
        return true;
      case StmtKind::Dim: Count(s); Dim(static_cast<const DimStmt&>(s)); return true;
      case StmtKind::ReDim: Count(s); ReDim(static_cast<const ReDimStmt&>(s)); return true;
      case StmtKind::Erase: Count(s); Erase(static_cast<const EraseStmt&>(s)); return true;
      case StmtKind::Const: Count(s); ConstStatement(static_cast<const ConstStmt&>(s)); return true;
      case StmtKind::Nop: Count(s); return true;
    }
    return false;
  }

  bool Assign(const AssignStmt& s) {
    const Expr& target = *s.target;
    const uint8_t set = s.isSet ? kSet : 0;
    if (target.kind == ExprKind::Name) {
      const auto& n = static_cast<const NameExpr&>(target);
      Count(s);
      if (n.bound == NameKind::Local) {
        const uint32_t slot = static_cast<uint32_t>(n.slot);
        if (!s.isSet && AppendInPlace(slot, *s.value)) return true;
        if (!s.isSet && IsOperator(*s.value)) {
          Into(*s.value, slot);
          return true;
        }
        const uint32_t r = Value(*s.value);
        Emit({s.isSet ? Opcode::SetRef : Opcode::Let, Moves(r), 0, slot, r});
        return true;
      }
      const uint32_t r = Value(*s.value);
      if (n.bound == NameKind::Field) Emit({Opcode::StoreField, static_cast<uint8_t>(set | Moves(r)), 0, static_cast<uint32_t>(n.slot), r});
      else Emit({Opcode::StoreName, static_cast<uint8_t>(set | Moves(r)), 0, 0, r, 0, &n});
      return true;
    }
    if (target.kind == ExprKind::Member) {
      const auto& m = static_cast<const MemberExpr&>(target);
      Count(s);
      holdsRefs_ = true;
      const uint32_t r = m.object ? ValueBefore(*s.value, *m.object) : Value(*s.value);
      const uint32_t object = m.object ? Value(*m.object) : WithObject(m);
      CallSite* site = NewSite();
      site->member = m.name;
      site->expr = &target;
      Emit({Opcode::PutMember, static_cast<uint8_t>(set | Moves(r)), 0, r, object, 0, site});
      return true;
    }
    Count(s);
    holdsRefs_ = true;
    if (target.kind == ExprKind::Call) {
      AssignIndexed(static_cast<const CallExpr&>(target), *s.value, set);
    } else {
      Value(*s.value);
      Fail(automation::err::kIllegalAssignment);
    }
    return true;
  }

  // The object of the With that ".member" belongs to; outside any, a value that is none.
  uint32_t WithObject(const MemberExpr& m) {
    const uint32_t with = WithRegister(m);
    return with == kNoTarget ? Const(Variant()) : with;
  }

  // Raises `number` where the instruction stands: what a statement refuses once its operands
  // are evaluated, or a call that can never fit its callee, before its arguments are.
  void Fail(int32_t number) { Emit({Opcode::Fail, 0, static_cast<uint16_t>(number)}); }

  // Where a name's storage is, for the instructions that write a variable (x, a, p).
  struct Variable {
    uint16_t kind;
    uint32_t reg = 0;
    const void* p = nullptr;
  };
  static Variable VariableOf(const NameExpr& n) {
    if (n.bound == NameKind::Local) return {runtime::kVarLocal, static_cast<uint32_t>(n.slot)};
    if (n.bound == NameKind::Field) return {runtime::kVarField, static_cast<uint32_t>(n.slot)};
    if (n.bound == NameKind::Global && n.global->kind == GlobalKind::Variable) return {runtime::kVarGlobal, 0, n.global};
    return {runtime::kVarName, 0, &n};
  }
  Instr On(Opcode op, const Variable& v, uint8_t x8 = 0) { return {op, x8, v.kind, v.reg, 0, 0, v.p}; }

  // target(args) = value. The value is evaluated first, into the temporary after the
  // arguments' (an object's member takes it as its last argument); then what the target is
  // decides, before any argument is evaluated, whether it is an array's element or a member.
  void AssignIndexed(const CallExpr& c, const Expr& valueExpr, uint8_t set) {
    const size_t n = c.args.size();
    if (n >= UINT16_MAX) {
      Value(valueExpr);
      return Fail(automation::err::kSubscriptOutOfRange);
    }
    const uint32_t first = Temps(n + 1);
    const uint32_t value = first + static_cast<uint32_t>(n);
    Into(valueExpr, value);
    const uint8_t flags = static_cast<uint8_t>(set | kMove);
    if (c.target->kind == ExprKind::Member) {
      const auto& m = static_cast<const MemberExpr&>(*c.target);
      // The object is read once, before the arguments, as a copy when they could change it.
      uint32_t object = m.object ? kNoTarget : WithObject(m);
      if (m.object) {
        object = NewTemp();
        Into(*m.object, object);
      }
      CallSite* site = NewSite();
      site->member = m.name;
      site->expr = c.target.get();
      Emit({Opcode::Resolve, 0, 0, 0, object, 0, site});
      return PutArguments(c.args, first, {runtime::kPutMember, object, 0, site}, set);
    }
    if (c.target->kind != ExprKind::Name) {
      const uint32_t object = NewTemp();
      Into(*c.target, object);
      Emit({Opcode::Resolve, 0, 0, 0, object});
      return PutArguments(c.args, first, {runtime::kPutDefault, object}, set);
    }
    const auto& name = static_cast<const NameExpr&>(*c.target);
    switch (name.bound) {
      case NameKind::ClassMember:
        return PutArguments(c.args, first, {runtime::kPutClassMember, 0, static_cast<uint32_t>(name.slot)}, set);
      case NameKind::Global:
        if (name.global->kind == GlobalKind::ObjectMember)
          return PutArguments(c.args, first, {runtime::kPutGlobalMember, 0, 0, name.global}, set);
        if (name.global->kind != GlobalKind::Variable && name.global->kind != GlobalKind::NamedObject)
          return Fail(automation::err::kTypeMismatch);
        break;
      case NameKind::Local: case NameKind::Field: case NameKind::Undefined: break;
      default: return Fail(automation::err::kTypeMismatch);
    }
    // A variable: an array's element, or its object's default member.
    const Variable v = VariableOf(name);
    const uint32_t object = NewTemp();
    Instr dispatch = On(Opcode::ElementOrObject, v);
    dispatch.b = object;
    const size_t toObject = Emit(dispatch);
    Subscripts(c.args, first);
    Instr store = On(Opcode::StoreElement, v, flags);
    store.b = first;
    store.c = static_cast<uint32_t>(n);
    Emit(store);
    const size_t done = Emit({Opcode::Jump});
    At(toObject).c = Here();
    PutArguments(c.args, first, {runtime::kPutDefault, object}, set);
    At(done).c = Here();
  }

  struct PutTarget {
    uint8_t whose;
    uint32_t object = 0;
    uint32_t member = 0;  // kPutClassMember: Me's member
    const void* p = nullptr;
  };

  // The arguments of a member's assignment (left out: the missing marker), then the call.
  void PutArguments(const std::vector<ExprPtr>& args, uint32_t first, const PutTarget& t, uint8_t set) {
    for (size_t i = 0; i < args.size(); ++i) {
      const uint32_t r = first + static_cast<uint32_t>(i);
      if (args[i]) Into(*args[i], r);
      else Emit({Opcode::Move, 0, 0, r, Const(Variant::Missing())});
    }
    Emit({Opcode::PutIndexed, static_cast<uint8_t>(set | (t.whose << 2)), static_cast<uint16_t>(args.size()), t.member,
          t.object, first, t.p});
  }

  // Subscripts into consecutive temporaries from `first`. Each is made a subscript as soon as
  // it is evaluated (a wrong one stops the statement there) where a later one could act or fail.
  void Subscripts(const std::vector<ExprPtr>& args, uint32_t first) {
    for (size_t i = 0; i < args.size(); ++i) {
      const uint32_t r = first + static_cast<uint32_t>(i);
      if (args[i]) Into(*args[i], r);
      else Emit({Opcode::Move, 0, 0, r, Const(Variant::Missing())});
      const bool laterActs = std::any_of(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end(),
                                         [](const ExprPtr& a) { return a && !IsInert(*a); });
      if (laterActs) Emit({Opcode::ToSubscript, 0, 0, r});
    }
  }

  // Evaluating it can neither act nor fail.
  static bool IsInert(const Expr& e) {
    if (e.kind == ExprKind::Literal) return true;
    if (e.kind == ExprKind::Paren) return IsInert(*static_cast<const ParenExpr&>(e).inner);
    if (e.kind != ExprKind::Name) return false;
    const auto& n = static_cast<const NameExpr&>(e);
    return n.bound == NameKind::Local || n.bound == NameKind::Constant ||
           (n.bound == NameKind::Global && (n.global->kind == GlobalKind::Variable || n.global->kind == GlobalKind::Constant));
  }

  // Dim: a fixed array (or `a()`, a dynamic one) made new each time the statement runs; the
  // other names need nothing.
  void Dim(const DimStmt& d) {
    for (const DimVar& var : d.vars) {
      if (!var.isArray) continue;
      const Variable v = VariableOf(*var.target);
      size_t skip = SIZE_MAX;  // a name that has no storage: its bounds are not evaluated
      if (v.kind == runtime::kVarName) skip = Emit(On(Opcode::CheckVar, v, runtime::kCheckDim));
      Instr make = On(Opcode::DimArray, v, static_cast<uint8_t>(!var.bounds.empty()));
      make.b = ArgumentValues(var.bounds);
      make.c = static_cast<uint32_t>(var.bounds.size());
      Emit(make);
      if (skip != SIZE_MAX) At(skip).c = Here();
    }
  }

  void ReDim(const ReDimStmt& s) {
    for (const auto& [target, bounds] : s.items) {
      const Variable v = VariableOf(static_cast<const NameExpr&>(*target));
      if (v.kind == runtime::kVarName) Emit(On(Opcode::CheckVar, v, runtime::kCheckArray));
      Instr make = On(Opcode::ReDim, v, static_cast<uint8_t>(s.preserve));
      make.b = ArgumentValues(bounds);
      make.c = static_cast<uint32_t>(bounds.size());
      Emit(make);
    }
  }

  void Erase(const EraseStmt& s) {
    for (const auto& target : s.targets) {
      if (target->kind == ExprKind::Name) {
        Emit(On(Opcode::Erase, VariableOf(static_cast<const NameExpr&>(*target))));
        continue;
      }
      const auto* c = target->kind == ExprKind::Call ? static_cast<const CallExpr*>(target.get()) : nullptr;
      if (!c || c->target->kind != ExprKind::Name) {
        Fail(automation::err::kTypeMismatch);  // not a variable
        continue;
      }
      // An element of an array of arrays.
      const Variable v = VariableOf(static_cast<const NameExpr&>(*c->target));
      holdsRefs_ = true;
      Instr check = On(Opcode::ElementOrObject, v, 1);  // an array, or 13
      check.b = NewTemp();
      check.c = kNoTarget;
      Emit(check);
      const uint32_t first = Temps(c->args.size());
      Subscripts(c->args, first);
      Instr erase = On(Opcode::Erase, v);
      erase.b = first;
      erase.c = static_cast<uint32_t>(c->args.size());
      Emit(erase);
    }
  }

  // Const: the value is stored as it is. At script level the global is written whatever it
  // names now (the compiler made it a constant).
  void ConstStatement(const ConstStmt& s) {
    for (const auto& [name, valueExpr] : s.items) {
      const uint32_t r = Value(*valueExpr);
      if (name->bound == NameKind::Global) Emit({Opcode::SetGlobal, 0, 0, 0, r, 0, name->global});
      else if (name->bound == NameKind::Local) Emit({Opcode::Move, 0, 0, static_cast<uint32_t>(name->slot), r});
      else {
        Instr define = On(Opcode::Define, VariableOf(*name));
        define.b = r;
        Emit(define);
      }
    }
  }

  uint8_t Moves(uint32_t r) const { return IsTemp(r) ? kMove : 0; }

  // s = s & a & b ...: the operands are computed first, then appended to s's own text, so a
  // loop that builds a text costs time in proportion to its length, not to its square.
  bool AppendInPlace(uint32_t slot, const Expr& value) {
    std::vector<const Expr*> tail;
    const Expr* e = &value;
    while (e->kind == ExprKind::Binary && static_cast<const BinaryExpr*>(e)->op == Op::Concat) {
      const auto* b = static_cast<const BinaryExpr*>(e);
      tail.push_back(b->right.get());
      e = b->left.get();
    }
    if (tail.empty() || e->kind != ExprKind::Name) return false;
    const auto& head = static_cast<const NameExpr&>(*e);
    if (head.bound != NameKind::Local || static_cast<uint32_t>(head.slot) != slot) return false;
    if (!std::all_of(tail.begin(), tail.end(), [](const Expr* x) { return IsPure(*x); })) return false;
    std::reverse(tail.begin(), tail.end());
    std::vector<uint32_t> parts;
    for (const Expr* x : tail) parts.push_back(Value(*x));
    for (uint32_t r : parts) Emit({Opcode::Append, 0, 0, slot, r});
    return true;
  }

  bool CallStatement(const CallStmt& s) {
    const Expr& e = *s.call;
    const Expr& callee = e.kind == ExprKind::Call ? *static_cast<const CallExpr&>(e).target : e;
    Count(s);
    holdsRefs_ = true;
    if (callee.kind == ExprKind::Name) {
      const auto& n = static_cast<const NameExpr&>(callee);
      if (n.bound == NameKind::Builtin && n.builtin->resultRequired) {
        Into(e, NewTemp());
        Fail(automation::err::kUnsupportedAutomationType);  // "Call CInt(x)": the result has nowhere to go
        return true;
      }
      // A name alone that is not a procedure: a variable has rules of its own.
      const bool callable = n.bound == NameKind::Builtin ||
                            (n.bound == NameKind::Global &&
                             (n.global->kind == GlobalKind::Procedure || n.global->kind == GlobalKind::ObjectMember));
      if (e.kind == ExprKind::Name && !callable) {
        Emit({Opcode::CallVariable, 0, 0, 0, 0, 0, &n});
        return true;
      }
    }
    const uint32_t t = NewTemp();
    if (e.kind == ExprKind::Name && static_cast<const NameExpr&>(e).bound == NameKind::Global) {
      const auto& n = static_cast<const NameExpr&>(e);
      if (n.global->kind == GlobalKind::Procedure) {
        Procedure(n.global->proc, n.global, false, {}, e, t);
      } else {
        Emit({Opcode::CallGlobalMember, 0, 0, t, 0, 0, n.global});
      }
    } else {
      Into(e, t);
    }
    return true;
  }

  void If(const IfStmt& s) {
    std::vector<size_t> ends;
    for (size_t i = 0; i < s.branches.size(); ++i) {
      const auto& branch = s.branches[i];
      size_t skip = SIZE_MAX;
      if (branch.condition) {
        // A condition that fails under On Error Resume Next enters its branch.
        const uint32_t begin = Here();
        skip = Branch(*branch.condition, false);
        code_->regions.push_back({begin, Here(), Here(), &s});
      }
      Statements(branch.body);
      if (i + 1 < s.branches.size()) ends.push_back(Emit({Opcode::Jump}));
      if (skip != SIZE_MAX) At(skip).c = Here();
    }
    for (size_t e : ends) At(e).c = Here();
  }

  // A jump, its target left to the caller, taken when `condition` is `when`. A comparison
  // jumps on its outcome without making a Boolean first.
  size_t Branch(const Expr& condition, bool when) {
    const Expr* e = &condition;
    while (e->kind == ExprKind::Paren) e = static_cast<const ParenExpr*>(e)->inner.get();
    if (IsAndOr(*e)) {
      const uint32_t t = NewTemp();
      Truth(*e, t);
      return Emit({when ? Opcode::JumpIfTrue : Opcode::JumpIfFalse, 0, 0, t});
    }
    if (e->kind == ExprKind::Binary) {
      const auto& b = static_cast<const BinaryExpr&>(*e);
      if (b.op == Op::Eq || b.op == Op::Ne || b.op == Op::Lt || b.op == Op::Gt || b.op == Op::Le || b.op == Op::Ge) {
        const uint32_t l = ValueBefore(*b.left, *b.right);
        const uint32_t r = Value(*b.right);
        return Emit({Opcode::CompareJump, static_cast<uint8_t>(b.op), static_cast<uint16_t>(when), l, r});
      }
    }
    return Emit({when ? Opcode::JumpIfTrue : Opcode::JumpIfFalse, 0, 0, Value(condition)});
  }

  static bool IsAndOr(const Expr& e) {
    return e.kind == ExprKind::Binary &&
           (static_cast<const BinaryExpr&>(e).op == Op::And || static_cast<const BinaryExpr&>(e).op == Op::Or);
  }

  // Computes `e` into `dst` where only its truth counts (a condition). And and Or evaluate
  // every operand in this language, but once a chain is False (And) or True (Or) the rest
  // cannot change the truth; when the rest also cannot raise or do anything (comparisons
  // and text functions of plain values, checked when it runs) it is skipped.
  void Truth(const Expr& condition, uint32_t dst) {
    const Expr* e = &condition;
    while (e->kind == ExprKind::Paren) e = static_cast<const ParenExpr*>(e)->inner.get();
    if (!IsAndOr(*e)) return Into(*e, dst);
    const Op op = static_cast<const BinaryExpr&>(*e).op;
    std::vector<const Expr*> chain;
    Flatten(*e, op, chain);
    Truth(*chain[0], dst);
    std::vector<size_t> skips;
    for (size_t i = 1; i < chain.size(); ++i) {
      auto guard = std::make_unique<std::vector<uint32_t>>();
      bool skippable = true;
      for (size_t j = i; j < chain.size() && skippable; ++j) skippable = Harmless(*chain[j], *guard);
      if (skippable) {
        skips.push_back(Emit({Opcode::ShortCircuit, static_cast<uint8_t>(op == Op::Or), 0, dst, 0, 0, guard.get()}));
        code_->guards.push_back(std::move(guard));
      }
      const uint32_t next = NewTemp();
      Truth(*chain[i], next);
      Emit({op == Op::And ? Opcode::And : Opcode::Or, 0, 0, dst, dst, next});
    }
    for (size_t at : skips) At(at).c = Here();
  }

  // The operands of a chain of one operator, left to right.
  static void Flatten(const Expr& e, Op op, std::vector<const Expr*>& out) {
    const Expr* x = &e;
    while (x->kind == ExprKind::Paren) x = static_cast<const ParenExpr*>(x)->inner.get();
    if (x->kind == ExprKind::Binary && static_cast<const BinaryExpr*>(x)->op == op) {
      Flatten(*static_cast<const BinaryExpr*>(x)->left, op, out);
      Flatten(*static_cast<const BinaryExpr*>(x)->right, op, out);
      return;
    }
    out.push_back(x);
  }

  // An expression that neither raises nor changes anything while the locals it reads (added
  // to `guard`) hold plain values: comparisons, & and the text functions below, of locals,
  // constants and literals.
  static bool Harmless(const Expr& e, std::vector<uint32_t>& guard) {
    switch (e.kind) {
      case ExprKind::Literal: return true;
      case ExprKind::Paren: return Harmless(*static_cast<const ParenExpr&>(e).inner, guard);
      case ExprKind::Name: {
        const auto& n = static_cast<const NameExpr&>(e);
        if (n.bound == NameKind::Local) {
          guard.push_back(static_cast<uint32_t>(n.slot));
          return true;
        }
        return n.bound == NameKind::Constant || (n.bound == NameKind::Global && n.global->kind == GlobalKind::Constant);
      }
      case ExprKind::Binary: {
        const auto& b = static_cast<const BinaryExpr&>(e);
        const bool safe = b.op == Op::Eq || b.op == Op::Ne || b.op == Op::Lt || b.op == Op::Gt || b.op == Op::Le ||
                          b.op == Op::Ge || b.op == Op::Concat;
        return safe && Harmless(*b.left, guard) && Harmless(*b.right, guard);
      }
      case ExprKind::Call: return HarmlessCall(static_cast<const CallExpr&>(e), guard);
      default: return false;
    }
  }

  // Text functions that cannot fail on plain values: their counts must be literals that are
  // valid whatever the text.
  static bool HarmlessCall(const CallExpr& c, std::vector<uint32_t>& guard) {
    if (c.target->kind != ExprKind::Name) return false;
    const auto& n = static_cast<const NameExpr&>(*c.target);
    if (n.bound != NameKind::Builtin) return false;
    const automation::StringView name = n.builtin->name;
    auto is = [&](const char16_t* candidate) { return automation::EqualsNoCase(name, candidate); };
    auto text = [&](size_t i) { return i < c.args.size() && c.args[i] && Harmless(*c.args[i], guard); };
    auto count = [&](size_t i, double least) {
      if (i >= c.args.size() || !c.args[i] || c.args[i]->kind != ExprKind::Literal) return false;
      const Variant& v = static_cast<const LiteralExpr&>(*c.args[i]).value;
      return (v.type() == automation::VarType::Integer || v.type() == automation::VarType::Long) &&
             automation::ToDouble(v) >= least;
    };
    const size_t given = c.args.size();
    if (is(u"Len") || is(u"UCase") || is(u"LCase") || is(u"Trim") || is(u"LTrim") || is(u"RTrim"))
      return given == 1 && text(0);
    if (is(u"Left") || is(u"Right")) return given == 2 && text(0) && count(1, 0);
    if (is(u"Mid")) return (given == 2 || given == 3) && text(0) && count(1, 1) && (given == 2 || count(2, 0));
    if (is(u"InStr")) return given == 2 && text(0) && text(1);
    return false;
  }

  void Select(const SelectStmt& s) {
    const uint32_t subject = NewTemp();
    Into(*s.subject, subject);
    std::vector<std::vector<size_t>> toBody(s.cases.size());
    size_t elseCase = SIZE_MAX;
    for (size_t i = 0; i < s.cases.size(); ++i) {
      if (s.cases[i].values.empty()) {
        elseCase = i;
        break;
      }
      for (const auto& v : s.cases[i].values) toBody[i].push_back(Emit({Opcode::CaseJump, 0, 0, subject, Value(*v)}));
    }
    const size_t noMatch = Emit({Opcode::Jump});
    std::vector<size_t> ends;
    for (size_t i = 0; i < s.cases.size(); ++i) {
      for (size_t j : toBody[i]) At(j).c = Here();
      if (i == elseCase) At(noMatch).c = Here();
      if (i > elseCase) break;  // after Case Else nothing can match
      Statements(s.cases[i].body);
      ends.push_back(Emit({Opcode::Jump}));
    }
    if (elseCase == SIZE_MAX) At(noMatch).c = Here();
    for (size_t e : ends) At(e).c = Here();
  }

  // Where a loop's variable lives (the parser makes it a name).
  struct LoopVar {
    uint16_t kind;
    uint32_t reg = 0;  // the local, or the field of Me
    const void* p = nullptr;  // the global entry, or the name
  };

  // A name that is neither a variable of this code, Me's nor a global is looked for when the
  // loop stores into it; the loop refuses it (or binds a name declared since) before anything
  // else runs, as assigning it would.
  LoopVar LoopVariable(const Expr& e) {
    const auto& n = static_cast<const NameExpr&>(e);
    if (n.bound == NameKind::Local) return {runtime::kVarLocal, static_cast<uint32_t>(n.slot)};
    if (n.bound == NameKind::Field) return {runtime::kVarField, static_cast<uint32_t>(n.slot)};
    if (n.bound == NameKind::Global && n.global->kind == GlobalKind::Variable) return {runtime::kVarGlobal, 0, n.global};
    Emit({Opcode::CheckVar, 0, runtime::kVarName, 0, 0, 0, &n});
    return {runtime::kVarName, 0, &n};
  }

  void For(const ForStmt& s) {
    Count(s);
    const LoopVar counter = LoopVariable(*s.counter);
    const bool local = counter.kind == runtime::kVarLocal;
    const uint32_t limits = Temps(3);  // limit, step, start (then the direction)
    Into(*s.from, limits + 2);
    Into(*s.to, limits);
    if (s.step) Into(*s.step, limits + 1);
    else Emit({Opcode::Move, 0, 0, limits + 1, Const(Variant(int16_t{1}))});
    const size_t prep = Emit({Opcode::ForPrep, 0, counter.kind, counter.reg, limits, 0, counter.p});
    const uint32_t body = Here();
    loops_.push_back({true, {}, withs_.size()});
    Statements(s.body);
    const std::optional<int32_t> step = s.step ? WholeConstant(*s.step) : 1;
    if (local && step) Emit({Opcode::ForNext, static_cast<uint8_t>(*step >= 0), 0, counter.reg, limits, body});
    else Emit({Opcode::ForLoop, 0, counter.kind, counter.reg, limits, body, counter.p});
    At(prep).c = Here();
    EndLoop();
  }

  // A Step written as a whole number (or its negation): the loop's direction is known here.
  static std::optional<int32_t> WholeConstant(const Expr& e) {
    if (e.kind == ExprKind::Paren) return WholeConstant(*static_cast<const ParenExpr&>(e).inner);
    if (e.kind == ExprKind::Unary && static_cast<const UnaryExpr&>(e).op == Op::Neg) {
      const auto inner = WholeConstant(*static_cast<const UnaryExpr&>(e).operand);
      if (inner && *inner != INT32_MIN) return -*inner;
      return std::nullopt;
    }
    if (e.kind != ExprKind::Literal) return std::nullopt;
    const Variant& v = static_cast<const LiteralExpr&>(e).value;
    if (v.type() != automation::VarType::Integer && v.type() != automation::VarType::Long) return std::nullopt;
    return v.AsWhole();
  }

  void Do(const DoStmt& s) {
    const uint32_t top = Here();
    std::vector<size_t> exits;
    // While c: leave when c is false; Until c: leave when c is true.
    if (s.condition && !s.testAtEnd) exits.push_back(Branch(*s.condition, s.until));
    loops_.push_back({false, std::move(exits), withs_.size()});
    Statements(s.body);
    if (s.condition && s.testAtEnd) loops_.back().exits.push_back(Branch(*s.condition, s.until));
    Emit({Opcode::Jump, 1, 0, 0, 0, top});  // backward: counts for the time-out
    EndLoop();
  }

  void EndLoop() {
    Loop& l = loops_.back();
    for (size_t e : l.exits) At(e).c = Here();
    loops_.pop_back();
  }

  void Exit(const ExitStmt& s) {
    if (s.what == ExitKind::Do || s.what == ExitKind::For) {
      if (Loop* l = Innermost(s.what == ExitKind::For)) {
        LeaveWiths(l->withs);
        l->exits.push_back(Emit({Opcode::Jump}));
        return;
      }
    }
    LeaveWiths(0);
    Emit({Opcode::Return});
  }

  // For Each: the collection is read once; an array is walked as it was then (the machine
  // keeps a reference, and a write inside the loop copies), anything else through its
  // enumerator.
  void ForEach(const ForEachStmt& s) {
    const LoopVar element = LoopVariable(*s.element);
    holdsRefs_ = true;
    const uint32_t state = Temps(2);  // the collection, then the position or enumerator
    Emit({Opcode::EachPrep, 0, 0, 0, state});
    // A collection that fails under On Error Resume Next goes on with the next statement,
    // the body's first: it runs once with the element unchanged, and the loop ends.
    const uint32_t open = Here();
    Into(*s.collection, state);
    Emit({Opcode::EachOpen, 0, 0, 0, state});
    const size_t enter = Emit({Opcode::EachNext, 0, element.kind, element.reg, state, kNoTarget, element.p});
    const uint32_t body = Here();
    code_->regions.push_back({open, body - 1, body, &s});
    loops_.push_back({true, {}, withs_.size()});
    Statements(s.body);
    Emit({Opcode::EachNext, 1, element.kind, element.reg, state, body, element.p});
    At(enter).c = Here();
    EndLoop();
  }

  // With: the object is evaluated once; ".member" inside reads it from the With's register.
  void With(const WithStmt& s) {
    // The object is held by the With's register alone (computed straight into it), so it
    // goes when the With ends.
    OpenWith w{s.entry ? NewTemp() : static_cast<uint32_t>(s.slot), s.entry};
    Into(*s.object, w.reg);
    if (s.entry) holdsRefs_ = true;
    withs_.push_back(w);
    Statements(s.body);
    LeaveWiths(withs_.size() - 1);
    withs_.pop_back();
  }

  // Lets go of the objects of the With statements opened after the first `keep`, innermost
  // first, as leaving them does: a loop left from inside a With, or the code's end.
  void LeaveWiths(size_t keep) {
    for (size_t i = withs_.size(); i-- > keep;) Emit({Opcode::Clear, 0, 0, withs_[i].reg, 1});
  }

  // The register holding the object of the With that ".member" belongs to; kNoTarget when
  // it is outside any With made here.
  uint32_t WithRegister(const MemberExpr& m) const {
    if (m.withEntry) {
      for (auto it = withs_.rbegin(); it != withs_.rend(); ++it)
        if (it->entry == m.withEntry) return it->reg;
      return kNoTarget;
    }
    for (auto it = withs_.rbegin(); it != withs_.rend(); ++it)
      if (!it->entry && it->reg == static_cast<uint32_t>(m.withSlot)) return it->reg;
    return kNoTarget;
  }

  // ------------------------------------------------------------------ the end

  void Finish() {
    code_->temps = peak_;
    const uint32_t constBase = code_->locals + code_->temps;
    auto place = [&](uint32_t& r) {
      if (r != kNoTarget && (r & kConstTag)) r = constBase + (r & ~kConstTag);
    };
    for (Instr& i : code_->instrs) {
      place(i.a);
      place(i.b);
      place(i.c);
    }
    for (const auto& site : code_->sites)
      site->holdsElements = std::any_of(site->args.begin(), site->args.end(),
                                        [](const ArgBinding& a) { return a.kind == ArgBinding::ElementRef; });
    Verify();
  }

  // Every register an instruction names lies in the window and every jump in the code; a
  // fault here is the compiler's, and the script gets an error rather than a wild frame.
  void Verify() const {
    const uint32_t window = code_->window();
    const uint32_t end = static_cast<uint32_t>(code_->instrs.size());
    auto reg = [&](uint32_t r) { if (r >= window) automation::Raise(automation::err::kInternalError); };
    auto target = [&](uint32_t t) { if (t != kNoTarget && t > end) automation::Raise(automation::err::kInternalError); };
    // Constants are shared by every run of the code: nothing may write them.
    const uint32_t writable = code_->locals + code_->temps;
    auto written = [&](uint32_t r) { if (r >= writable) automation::Raise(automation::err::kInternalError); };
    for (const Instr& i : code_->instrs) {
      if (WritesA(i.op)) written(i.a);
      if (JumpsTo(i)) target(i.c);
      switch (i.op) {
        case Opcode::Count: case Opcode::OnError: case Opcode::Return: break;
        case Opcode::Jump: break;
        case Opcode::JumpIfFalse: case Opcode::JumpIfTrue: case Opcode::IsArrayOrJump: reg(i.a); break;
        case Opcode::CaseJump: case Opcode::CompareJump: reg(i.a); reg(i.b); break;
        case Opcode::ShortCircuit:
          reg(i.a);
          for (uint32_t r : *static_cast<const std::vector<uint32_t>*>(i.p)) reg(r);
          break;
        case Opcode::CheckArgs: case Opcode::Fail: case Opcode::CallVariable: case Opcode::CheckLate: break;
        case Opcode::CheckGap: reg(i.b); break;
        case Opcode::VarIsArrayOrJump: LoopVariable(i); break;
        case Opcode::ReadElement: LoopVariable(i); written(i.b); written(i.b + i.c); break;
        case Opcode::New: case Opcode::Me: case Opcode::CheckCallable: reg(i.a); break;
        case Opcode::Intrinsic: reg(i.a); if (i.x) reg(i.c + i.x - 1u); break;
        case Opcode::ToSubscript: written(i.a); break;
        case Opcode::Define: case Opcode::DimArray: case Opcode::ReDim: case Opcode::Erase:
        case Opcode::StoreElement: case Opcode::ElementOrObject:
          LoopVariable(i);
          if (i.op == Opcode::ElementOrObject) {
            written(i.b);
          } else if (i.op == Opcode::Define) {
            reg(i.b);
          } else if (i.c || i.op == Opcode::StoreElement) {
            reg(i.b + i.c - (i.op == Opcode::StoreElement ? 0u : 1u));
          }
          break;
        case Opcode::Resolve: reg(i.b); break;
        case Opcode::PutIndexed: reg(i.b); reg(i.c + i.x); break;
        case Opcode::CheckVar:
          if (i.x != runtime::kVarName || !i.p) automation::Raise(automation::err::kInternalError);
          break;
        case Opcode::ForNext: written(i.a); written(i.b + 2); break;
        case Opcode::ForPrep: case Opcode::ForLoop: case Opcode::EachNext:
          LoopVariable(i);
          written(i.op == Opcode::EachNext ? i.b + 1 : i.b + 2);
          break;
        case Opcode::EachPrep: case Opcode::EachOpen: written(i.b + 1); break;
        case Opcode::SetGlobal: reg(i.b); break;
        case Opcode::LoadName: case Opcode::LoadField: reg(i.a); break;
        case Opcode::StoreName: case Opcode::StoreField: reg(i.b); break;
        case Opcode::Clear: if (i.a + i.b > window) automation::Raise(automation::err::kInternalError); break;
        case Opcode::Index: case Opcode::CallBuiltin: case Opcode::GetMember: case Opcode::CallGlobalMember:
        case Opcode::CallMeMember: case Opcode::CallValue: case Opcode::CallLate:
          reg(i.a);
          if (i.op == Opcode::Index || i.op == Opcode::GetMember || i.op == Opcode::CallValue) reg(i.b);
          if (i.x) reg(i.c + i.x - 1u);
          if (i.op == Opcode::GetMember || i.op == Opcode::CallMeMember || i.op == Opcode::CallValue ||
              i.op == Opcode::CallLate)
            for (const ArgBinding& a : static_cast<const CallSite*>(i.p)->args) Binding(a);
          break;
        case Opcode::PutMember: reg(i.a); reg(i.b); break;
        case Opcode::CallProc:
          reg(i.a);
          for (const ArgBinding& a : static_cast<const CallSite*>(i.p)->args) Binding(a);
          break;
        case Opcode::Move: case Opcode::Let: case Opcode::SetRef: case Opcode::Append: case Opcode::Neg:
        case Opcode::Not:
          reg(i.a); reg(i.b);
          break;
        default: reg(i.a); reg(i.b); reg(i.c); break;  // operators
      }
    }
  }

  // The registers a call's argument is bound from.
  void Binding(const ArgBinding& a) const {
    const uint32_t writable = code_->locals + code_->temps;
    if (a.kind == ArgBinding::LocalRef && a.local >= code_->window()) automation::Raise(automation::err::kInternalError);
    if (a.hasValue && a.reg >= writable) automation::Raise(automation::err::kInternalError);
    if (a.kind == ArgBinding::ElementRef) {
      if (a.count == 0 || a.first + a.count > writable) automation::Raise(automation::err::kInternalError);
      LoopVariable(Instr{Opcode::ReadElement, 0, a.where, a.var, 0, 0, a.place});
    }
  }

  // A loop's variable, or one an instruction writes: a local in the window that may be
  // written, or an entry or a name.
  void LoopVariable(const Instr& i) const {
    if (i.x == runtime::kVarLocal) {
      if (i.a >= code_->locals + code_->temps) automation::Raise(automation::err::kInternalError);
    } else if (i.x != runtime::kVarField && !i.p) {
      automation::Raise(automation::err::kInternalError);
    }
  }

  static bool WritesA(Opcode op) {
    switch (op) {
      case Opcode::Count: case Opcode::StoreName: case Opcode::StoreField: case Opcode::Clear: case Opcode::Jump:
      case Opcode::JumpIfFalse: case Opcode::JumpIfTrue: case Opcode::CaseJump: case Opcode::CompareJump:
      case Opcode::ShortCircuit: case Opcode::IsArrayOrJump:
      case Opcode::PutMember: case Opcode::OnError: case Opcode::Return:
      case Opcode::EachPrep: case Opcode::EachOpen: case Opcode::EachNext: case Opcode::SetGlobal:
      case Opcode::CheckVar: case Opcode::ForPrep: case Opcode::ForLoop: case Opcode::ForNext:
      case Opcode::Define: case Opcode::DimArray: case Opcode::ReDim: case Opcode::Erase: case Opcode::ElementOrObject:
      case Opcode::StoreElement: case Opcode::Resolve: case Opcode::PutIndexed: case Opcode::CallVariable:
      case Opcode::CheckArgs: case Opcode::Fail: case Opcode::CheckCallable:
      case Opcode::CheckGap: case Opcode::VarIsArrayOrJump: case Opcode::ReadElement: case Opcode::CheckLate:
        return false;  // the loops' own operands are checked with them
      default: return true;
    }
  }

  std::shared_ptr<Code> code_;
  uint32_t next_ = 0;  // first free temporary
  uint32_t peak_ = 0;  // temporaries in use at most, in the statement being made / overall
  const bool countRuns_;
  bool holdsRefs_ = false;  // the statement's temporaries may keep an object alive
  std::vector<Loop> loops_;
  std::vector<OpenWith> withs_;
};

}  // namespace

std::shared_ptr<Code> GenerateCode(const Block& body, uint32_t locals, bool countRuns) {
  CodeGen gen(locals, countRuns);
  return gen.Build(body);
}

std::shared_ptr<Code> GenerateExpressionCode(const Expr& e, uint32_t locals) {
  CodeGen gen(locals, false);
  return gen.BuildExpression(e);
}

}  // namespace brevalcore::script::compile
