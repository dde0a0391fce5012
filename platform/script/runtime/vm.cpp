// The bytecode machine: one dispatch loop per code unit (computed goto), errors mapped back to
// the statement that was running through the code's error regions.
#include <algorithm>
#include <typeinfo>

#include "platform/automation/dispatch.h"
#include "platform/automation/error.h"
#include "platform/script/compiler/codegen.h"
#include "platform/script/runtime/fast_ops.h"
#include "platform/script/runtime/interpreter.h"
#include "platform/script/runtime/objects.h"
#include "platform/script/runtime/operators.h"

namespace brevalcore::script::runtime {

using automation::InvokeKind;
using automation::Raise;
namespace err = automation::err;

namespace {

constexpr InvokeKind kGetOrCall = static_cast<InvokeKind>(automation::kInvokeGet | automation::kInvokeMethod);
constexpr size_t kInlineSubscripts = 8;

const ErrorRegion* RegionAt(const Code& code, uint32_t pc) {
  for (const ErrorRegion& r : code.regions)
    if (pc >= r.begin && pc < r.end) return &r;
  return nullptr;
}

Object* RequireObject(const Variant& v) {
  if (!v.IsObject()) Raise(err::kObjectRequired);
  if (v.IsNothing()) Raise(err::kObjectVariableNotSet);
  return v.AsObject();
}

std::span<Variant> Span(Variant** regs, uint32_t first, uint32_t count) {
  return count ? std::span<Variant>(regs[first], count) : std::span<Variant>();
}

Variant Take(Variant& v, bool move) { return move ? std::move(v) : v; }

int32_t SubscriptOf(const Variant& v) {
  if (v.IsMissing()) Raise(err::kSubscriptOutOfRange);
  return fast::Subscript(v);
}

// An element's subscripts as numbers, in order; a few stay on the stack.
class Indices {
 public:
  explicit Indices(std::span<Variant> subscripts) : size_(subscripts.size()) {
    if (size_ > kInlineSubscripts) heap_.resize(size_);
    int32_t* idx = size_ > kInlineSubscripts ? heap_.data() : inline_;
    for (size_t i = 0; i < size_; ++i) idx[i] = SubscriptOf(subscripts[i]);
  }
  std::span<const int32_t> span() const {
    return {size_ > kInlineSubscripts ? heap_.data() : inline_, size_};
  }

 private:
  size_t size_;
  int32_t inline_[kInlineSubscripts];
  std::vector<int32_t> heap_;
};

Variant& MeField(Frame& f, uint32_t field) {
  if (!f.me) Raise(err::kObjectRequired);
  return f.me->Field(static_cast<int>(field));
}

}  // namespace

// ------------------------------------------------------------------------------ code

namespace {

// The field `e` names, or -1.
int FieldNamed(const ast::Expr& e) {
  if (e.kind != ast::ExprKind::Name) return -1;
  const auto& n = static_cast<const ast::NameExpr&>(e);
  return n.bound == ast::NameKind::Field ? n.slot : -1;
}

bool IsLocal(const ast::Expr& e, int slot) {
  return e.kind == ast::ExprKind::Name && static_cast<const ast::NameExpr&>(e).bound == ast::NameKind::Local &&
         static_cast<const ast::NameExpr&>(e).slot == slot;
}

// `Property Get P : P = field` or `Property Let P(v) : field = v`, and nothing else.
void FindAccessor(const Procedure& proc) {
  const ast::AssignStmt* only = nullptr;
  for (const auto& s : proc.decl->body) {
    if (s->kind == ast::StmtKind::Nop) continue;
    if (only || s->kind != ast::StmtKind::Assign) return;
    only = static_cast<const ast::AssignStmt*>(s.get());
  }
  if (!only || only->isSet) return;
  if (proc.kind == ast::ProcKind::PropertyGet && proc.paramCount == 0 && IsLocal(*only->target, 0)) {
    proc.accessorField = FieldNamed(*only->value);
    if (proc.accessorField >= 0) proc.accessor = Procedure::Accessor::GetsField;
  } else if (proc.kind == ast::ProcKind::PropertyLet && proc.paramCount == 1 && IsLocal(*only->value, 1)) {
    proc.accessorField = FieldNamed(*only->target);
    if (proc.accessorField >= 0) proc.accessor = Procedure::Accessor::LetsField;
  }
}

}  // namespace

const Code& Interpreter::CompileProcedure(const Procedure& proc) {
  proc.code = compile::GenerateCode(proc.decl->body, static_cast<uint32_t>(proc.slotCount), services_.countLineRuns);
  // Counting statement runs needs the statement to run.
  if (proc.owner && !services_.countLineRuns) FindAccessor(proc);
  return *proc.code;
}

const Code& Interpreter::CodeOf(ast::Program& program, const Procedure* scope) {
  if (!program.code) program.code = compile::GenerateCode(program.body, scope ? static_cast<uint32_t>(scope->slotCount) : 0,
                                                        services_.countLineRuns);
  return *program.code;
}

namespace {

// The window of a unit run inside another code's frame (text given to Execute or Eval, a
// script-level unit): its locals are the outer frame's, its temporaries and constants its own.
class UnitWindow {
 public:
  UnitWindow(ValueStack& stack, const Code& code, Frame* outer) : stack_(stack), live_(code.locals + code.temps) {
    mark_ = stack_.Push(code.window(), values_, frame.slots, live_);
    if (!outer) return;
    for (uint32_t i = 0; i < code.locals; ++i) frame.slots[i] = outer->slots[i];
    frame.me = outer->me;
    frame.proc = outer->proc;
    frame.resumeNext = outer->resumeNext;
  }
  ~UnitWindow() { stack_.Pop(mark_, values_, live_); }
  UnitWindow(const UnitWindow&) = delete;
  UnitWindow& operator=(const UnitWindow&) = delete;

  Frame frame;

 private:
  ValueStack& stack_;
  size_t live_;
  Variant* values_ = nullptr;
  ValueStack::Mark mark_{};
};

}  // namespace

void Interpreter::RunUnit(ast::Program& program, Frame* outer) {
  const Code& code = CodeOf(program, outer ? outer->proc : nullptr);
  // Text run by Execute inside a procedure sees its locals and its On Error setting.
  UnitWindow window(stack_, code, outer);
  Frame& f = window.frame;
  // An error leaving the code lets go of its script-level With statements' objects with the
  // window's temporaries.
  RunCode(code, f);
  if (outer) outer->resumeNext = f.resumeNext;
}

Variant Interpreter::RunExpression(const Code& code, Frame& outer) {
  UnitWindow window(stack_, code, &outer);
  RunCode(code, window.frame);
  return std::move(*window.frame.slots[code.locals]);
}

// ------------------------------------------------------------------------------ calls
//
// The callee's object (`me`) is held by whoever made the call: GetMember and PutMember hold
// the target, a call inside a method runs under its caller's hold, and calls from the host
// hold it in CallProcedureWithValues.

// The arrays whose elements a call holds by reference, kept and locked until it returns: the
// callee can then neither free nor move an element under its reference.
class ElementPins {
 public:
  ElementPins() = default;
  ElementPins(const ElementPins&) = delete;
  ElementPins& operator=(const ElementPins&) = delete;
  ~ElementPins() {
    for (const automation::ArrayData* array : pinned_) {
      array->Unlock();
      array->Release();
    }
  }
  void Pin(const automation::ArrayData& array) {
    pinned_.reserve(pinned_.size() + 1);  // before the lock, so a failing allocation leaves none
    array.AddRef();
    array.Lock();
    pinned_.push_back(&array);
  }

 private:
  std::vector<const automation::ArrayData*> pinned_;
};

Variant Interpreter::CallHoldingElements(const Procedure& proc, ScriptObject* me, const CallSite& site,
                                         Variant** regs, Frame& caller) {
  ElementPins pins;
  return BindAndCall(proc, me, site, regs, caller, &pins);
}

Variant Interpreter::BindAndCall(const Procedure& proc, ScriptObject* me, const CallSite& site, Variant** regs,
                                 Frame& caller, ElementPins* pins) {
  if (static_cast<int>(site.args.size()) != proc.paramCount) Raise(err::kWrongNumberOfArguments);
  const Code& code = CodeOf(proc);
  CallFrame frame(stack_, limits_, code);
  for (size_t i = 0; i < site.args.size(); ++i) {
    const ArgBinding& a = site.args[i];
    const bool byRef = !proc.byVal[i];
    Variant& value = frame.values[i + 1];
    switch (a.kind) {
      case ArgBinding::LocalRef:
        if (byRef) frame.slots[i + 1] = regs[a.local];
        else value = a.hasValue ? std::move(*regs[a.reg]) : *regs[a.local];
        break;
      case ArgBinding::ElementRef:
        if (byRef && regs[a.first]->type() == automation::VarType::Long) {
          Variant* array = VariableAt(a.where, a.var, a.place, regs, caller);
          frame.slots[i + 1] = &ElementOf(array, Span(regs, a.first, a.count));
          pins->Pin(array->AsArray());
          break;
        }
        value = std::move(*regs[a.reg]);
        break;
      case ArgBinding::NameRef: {
        const auto& name = static_cast<const ast::NameExpr&>(*a.expr);
        if (byRef) {
          if (Variant* where = NameAddress(name, caller)) {
            frame.slots[i + 1] = where;
            break;
          }
        }
        value = a.hasValue ? std::move(*regs[a.reg]) : EvalName(name, caller);
        break;
      }
      default:
        if (regs[a.reg]->IsMissing()) Raise(err::kWrongNumberOfArguments);
        value = std::move(*regs[a.reg]);
        break;
    }
  }
  Frame f;
  f.slots = frame.slots;
  f.me = me;
  f.proc = &proc;
  RunCode(code, f);
  return std::move(*frame.slots[0]);
}

Variant Interpreter::CallWithValues(const Procedure& proc, ScriptObject* me, std::span<Variant> args) {
  if (static_cast<int>(args.size()) != proc.paramCount) Raise(err::kWrongNumberOfArguments);
  const Code& code = CodeOf(proc);
  CallFrame frame(stack_, limits_, code);
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i].IsMissing()) Raise(err::kWrongNumberOfArguments);
    if (proc.byVal[i]) frame.values[i + 1] = args[i];
    else frame.slots[i + 1] = &args[i];
  }
  Frame f;
  f.slots = frame.slots;
  f.me = me;
  f.proc = &proc;
  RunCode(code, f);
  return std::move(*frame.slots[0]);
}

Variant Interpreter::IndexValues(const Variant& v, std::span<Variant> args) {
  if (v.IsArray()) {
    const Indices idx(args);
    const Ref<automation::ArrayData> keep = v.AsArrayRef();
    return keep->At(idx.span());
  }
  if (v.IsObject()) {
    Object* obj = RequireObject(v);
    const Ref<Object> keep(obj);
    if (typeid(*obj) == typeid(GetRefObject)) {
      const auto& ref = static_cast<const GetRefObject&>(*obj);
      if (&ref.engine() == this) return CallWithValues(ref.procedure(), nullptr, args);
    }
    SpendOnText(args);
    return CallHost(*obj, automation::kDispIdValue, kGetOrCall, args);
  }
  if (args.empty()) return v;
  Raise(err::kTypeMismatch);
}

// The id of the site's member on `obj`; `own` is set when it is one of this engine's objects.
// Inline: a site meets the same class again and again, and that answer is one comparison away.
inline DispId Interpreter::ResolveAtSite(Object* obj, const CallSite& site, ScriptObject*& own) {
  own = nullptr;
  if (typeid(*obj) == typeid(ScriptObject)) {
    auto* so = static_cast<ScriptObject*>(obj);
    if (so->cls().engine == this) own = so;
    if (site.cache.object == &so->cls() && site.cache.type == &typeid(ScriptObject)) return site.cache.id;
  }
  return ResolveMember(obj, site.member, site.cache);
}

namespace {
// The procedure a call of `cm` with `count` arguments runs; null when the arguments index
// what the member gives (a field, or a Property Get that takes none).
const Procedure* OwnCallee(const ClassMember& cm, size_t count) {
  if (cm.method) return cm.method;
  if (cm.get && (count == 0 || cm.get->paramCount != 0)) return cm.get;
  return nullptr;
}
}  // namespace

// A member of one of this engine's objects, its caller holding the object. Inline: every
// member call on a script object passes here.
inline Variant Interpreter::CallOwn(ScriptObject& so, int member, const CallSite& site, Variant** regs, uint32_t first,
                                    uint32_t count, Frame& f) {
  const ClassMember& cm = so.cls().members[member];
  if (count == 0 && !cm.method && cm.get && cm.get->accessor == Procedure::Accessor::GetsField) {
    // Assigning an object to the result would take its default value: that runs the body.
    const Variant& field = so.Field(cm.get->accessorField);
    if (!field.IsObject()) return field;
  }
  if (const Procedure* callee = OwnCallee(cm, count)) return CallAtSite(*callee, &so, site, regs, f);
  if (cm.get) {
    const Variant value = CallWithValues(*cm.get, &so, {});
    return IndexValues(value, Span(regs, first, count));
  }
  if (cm.field >= 0) return count ? IndexValues(so.Field(cm.field), Span(regs, first, count)) : so.Field(cm.field);
  Raise(err::kWrongNumberOfArguments);
}

Variant Interpreter::GetMember(const CallSite& site, const Variant& target, Variant** regs, uint32_t first,
                               uint32_t count, Frame& f) {
  Object* obj = RequireObject(target);
  const Ref<Object> keep(obj);
  ScriptObject* so;
  const DispId id = ResolveAtSite(obj, site, so);
  if (so) return CallOwn(*so, id - 1, site, regs, first, count, f);
  const std::span<Variant> args = Span(regs, first, count);
  SpendOnText(args);
  return CallHost(*obj, id, kGetOrCall, args);
}

// The procedure of a GetRef made by this engine; null for any other object.
const Procedure* Interpreter::OwnGetRef(Object& obj) const {
  if (typeid(obj) != typeid(GetRefObject)) return nullptr;
  const auto& ref = static_cast<const GetRefObject&>(obj);
  return &ref.engine() == this ? &ref.procedure() : nullptr;
}

void Interpreter::CheckCallable(const Variant& v, const CallSite& site) {
  if (!v.IsObject()) Raise(err::kTypeMismatch);
  const Procedure* proc = OwnGetRef(*RequireObject(v));
  if (proc && static_cast<int>(site.args.size()) != proc->paramCount) Raise(err::kWrongNumberOfArguments);
}

Variant Interpreter::CallValue(const CallSite& site, const Variant& target, Variant** regs, uint32_t first,
                               uint32_t count, Frame& f) {
  Object* obj = RequireObject(target);
  const Ref<Object> keep(obj);
  if (const Procedure* proc = OwnGetRef(*obj)) return CallAtSite(*proc, nullptr, site, regs, f);
  const std::span<Variant> args = Span(regs, first, count);
  SpendOnText(args);
  return CallHost(*obj, automation::kDispIdValue, kGetOrCall, args);
}

// A call's count against the procedure it will run, before its arguments are evaluated.
void Interpreter::CheckArguments(const CallSite& site, Frame& f) {
  const Procedure* proc = site.proc;
  if (site.meMember >= 0) {
    if (!f.me) Raise(err::kObjectRequired);
    const ClassMember& cm = f.me->cls().members[site.meMember];
    proc = OwnCallee(cm, site.args.size());
    if (!proc && !cm.get && cm.field < 0) Raise(err::kWrongNumberOfArguments);
    if (!proc) return;
  } else if (!proc) {
    if (site.global->kind != GlobalKind::Procedure) Raise(err::kTypeMismatch);
    proc = site.global->proc;
  }
  if (static_cast<int>(site.args.size()) != proc->paramCount) Raise(err::kWrongNumberOfArguments);
}

void Interpreter::PutMember(const CallSite& site, const Variant& target, Variant value, bool isSet) {
  Object* obj = RequireObject(target);
  const Ref<Object> keep(obj);
  ScriptObject* so;
  const DispId id = ResolveAtSite(obj, site, so);
  if (so) {
    const ClassMember& cm = so->cls().members[id - 1];
    const Procedure* setter = isSet && cm.set ? cm.set : (cm.let ? cm.let : cm.set);
    if (setter) {
      if (setter->accessor == Procedure::Accessor::LetsField && !value.IsObject() && !value.IsMissing()) {
        so->Field(setter->accessorField) = std::move(value);
        return;
      }
      CallWithValues(*setter, so, std::span<Variant>(&value, 1));
      return;
    }
    if (cm.field >= 0) return Store(so->Field(cm.field), std::move(value), isSet);
    Raise(err::kNoSuchMember);
  }
  const InvokeKind put = isSet ? automation::kInvokePutRef : automation::kInvokePut;
  CallHost(*obj, id, put, std::span<Variant>(&value, 1));
}

// ------------------------------------------------------------------------------ names declared late

const ast::NameExpr& Interpreter::LateName(const CallSite& site) {
  return static_cast<const ast::NameExpr&>(*static_cast<const ast::CallExpr*>(site.expr)->target);
}

// A call of a name that was undefined when its code was compiled: what it names now is
// found, and what would refuse the arguments refuses before they are evaluated.
void Interpreter::CheckLate(const CallSite& site) {
  const ast::NameExpr& n = LateName(site);
  if (n.bound != ast::NameKind::Global && !BindLate(n)) Raise(err::kVariableUndefined);
  const GlobalEntry& g = *n.global;
  switch (g.kind) {
    case GlobalKind::Procedure:
      if (static_cast<int>(site.args.size()) != g.proc->paramCount) Raise(err::kWrongNumberOfArguments);
      return;
    case GlobalKind::ObjectMember: return;
    case GlobalKind::Class: Raise(err::kTypeMismatch);
    default:
      // An array is indexed; anything else but an object gives itself when given nothing.
      if (g.value.IsArray() || (site.args.empty() && !g.value.IsObject())) return;
      CheckCallable(g.value, site);
  }
}

Variant Interpreter::CallLate(const CallSite& site, Variant** regs, uint32_t first, uint32_t count, Frame& f) {
  const GlobalEntry& g = *LateName(site).global;
  const std::span<Variant> args = Span(regs, first, count);
  switch (g.kind) {
    case GlobalKind::Procedure: return CallAtSite(*g.proc, nullptr, site, regs, f);
    case GlobalKind::ObjectMember: {
      SpendOnText(args);
      const Ref<Object> keep(g.object);
      return CallHost(*keep, g.member, kGetOrCall, args);
    }
    case GlobalKind::Class: Raise(err::kTypeMismatch);
    default: {
      const Variant held = g.value;
      if (held.IsObject()) return CallValue(site, held, regs, first, count, f);
      return IndexValues(held, args);
    }
  }
}

// ------------------------------------------------------------------------------ the loop

// GCC would otherwise merge every handler's jump to the next instruction into one shared
// jump (and hoist loads across handlers): one more branch per instruction, and one that the
// processor cannot predict.
#if defined(__GNUC__) && !defined(__clang__)
#define BREVALCORE_DISPATCH_LOOP __attribute__((optimize("no-crossjumping", "no-gcse")))
#else
#define BREVALCORE_DISPATCH_LOOP
#endif

namespace {

// The counter is past the limit (beyond it in the loop's direction).
bool ForDone(const Variant& counter, const Variant& limit, bool up) {
  int order;
  if (!fast::Order(counter, limit, order)) {
    const automation::Ordering o = automation::Compare(counter, limit);
    order = o == automation::Ordering::Greater ? 1 : (o == automation::Ordering::Less ? -1 : 0);
  }
  return up ? order > 0 : order < 0;
}

// Values no comparison or text function fails on: not objects, arrays or error values.
bool PlainValues(const std::vector<uint32_t>& regs, Variant** R) {
  for (uint32_t r : regs) {
    const automation::VarType t = R[r]->type();
    if (t == automation::VarType::Object || t == automation::VarType::Array || t == automation::VarType::Error) return false;
  }
  return true;
}

// A loop's start, limit or step given as text counts as the number it reads as (13 otherwise): a
// text limit would compare as text against the numeric counter and never end the loop.
void NumericBound(Variant& bound) {
  if (bound.IsString()) bound = Variant(automation::ToDouble(bound));
}

// counter += step; whether the loop goes on.
[[gnu::always_inline]] inline bool StepCounter(Variant& counter, const Variant& step, const Variant& limit, bool up) {
  bool known;
  const bool more = fast::StepWhole(counter, step, limit, up, known);
  if (known) return more;
  Variant next = Add(counter, step);
  counter.swap(next);
  return !ForDone(counter, limit, up);
}

void Thread(const Code& code, const void* const* handlers) {
  for (const Instr& i : code.instrs) i.handler = handlers[static_cast<int>(i.op)];
  code.threaded = true;
}

// How For Each walks `items`: the position in an array, or the object's enumerator.
void OpenEach(const Variant& items, Variant& state) {
  if (items.IsArray()) {
    state.SetLong(0);
    return;
  }
  if (!items.IsObject()) Raise(err::kNotACollection);
  if (items.IsNothing()) Raise(err::kObjectVariableNotSet);
  Ref<automation::Enumerator> e = items.AsObject()->NewEnum();
  if (!e) Raise(err::kNotACollection);
  state = Variant(Ref<Object>(std::move(e)));
}

// The next item of a For Each into `element`; false when there is none (also when the
// collection could not be opened, so the loop ends after the body ran once).
bool NextEach(const Variant& items, Variant& state, Variant& element) {
  if (state.type() == automation::VarType::Long) {
    const automation::ArrayData& array = items.AsArray();
    const int32_t at = state.AsLong();
    if (static_cast<size_t>(at) >= array.size()) return false;
    state.SetLong(at + 1);
    element = array[static_cast<size_t>(at)];
    return true;
  }
  if (!state.IsObject() || state.IsNothing()) return false;
  const Ref<Object> keep(state.AsObject());
  Variant item;
  if (!static_cast<automation::Enumerator&>(*keep).Next(item)) return false;
  element = std::move(item);
  return true;
}

}  // namespace

// Where a For or For Each loop stores its variable.
Variant& Interpreter::LoopVariable(const Instr& i, Variant** regs, Frame& f) {
  switch (i.x) {
    case kVarLocal: return *regs[i.a];
    case kVarField: return MeField(f, i.a);
    case kVarGlobal: return static_cast<GlobalEntry*>(const_cast<void*>(i.p))->value;
    default:
      if (Variant* v = NameAddress(*static_cast<const ast::NameExpr*>(i.p), f)) return *v;
      Raise(err::kIllegalAssignment);
  }
}

// ------------------------------------------------------------------------------ variables
//
// Dim, ReDim, Erase, Const and the assignments into an element or through an indexed member.

// The storage of the variable (x, a, p); null when the name has none (a constant, a procedure,
// a name still undefined).
Variant* Interpreter::VariableAt(uint16_t where, uint32_t reg, const void* place, Variant** regs, Frame& f) {
  switch (where) {
    case kVarLocal: return regs[reg];
    case kVarField: return &MeField(f, reg);
    case kVarGlobal: {
      auto* g = static_cast<GlobalEntry*>(const_cast<void*>(place));
      return g->kind == GlobalKind::Variable ? &g->value : nullptr;
    }
    default: return NameAddress(*static_cast<const ast::NameExpr*>(place), f);
  }
}

// An argument that is an element of an array variable: its value now, and its subscripts kept
// as numbers so the call can bind the same element by reference.
void Interpreter::ReadElement(const Instr& i, Variant** regs, Frame& f) {
  const Variant* v = VariableAt(i, regs, f);
  // A subscript that reassigned the variable leaves no array to read from.
  if (!v || !v->IsArray()) Raise(err::kTypeMismatch);
  const std::span<Variant> subscripts = Span(regs, i.b, i.c);
  const Indices idx(subscripts);
  for (size_t k = 0; k < subscripts.size(); ++k) subscripts[k].SetLong(idx.span()[k]);
  const Ref<automation::ArrayData> keep = v->AsArrayRef();
  *regs[i.b + i.c] = keep->At(idx.span());
}

// An argument left out of a call of Me's member or of a GetRef fails where it stands when the
// call reaches a script procedure, the arguments after it never evaluated; an object's
// default member receives it as missing. (A member called through an object, `o.M 1, , 3`,
// evaluates all its arguments and fails when the call starts.)
void Interpreter::CheckGap(const Instr& i, Variant** regs, Frame& f) {
  const auto& site = *static_cast<const CallSite*>(i.p);
  if (i.x8 == kGapLate) {
    const GlobalEntry& g = *LateName(site).global;
    if (g.kind == GlobalKind::Procedure) Raise(err::kWrongNumberOfArguments);
    if (g.kind == GlobalKind::ObjectMember) return;
    if (g.value.IsArray()) Raise(err::kSubscriptOutOfRange);
    if (g.value.IsObject() && !g.value.IsNothing() && OwnGetRef(*g.value.AsObject())) Raise(err::kWrongNumberOfArguments);
    return;
  }
  if (i.x8 == kGapMe) {
    if (f.me && OwnCallee(f.me->cls().members[site.meMember], site.args.size())) Raise(err::kWrongNumberOfArguments);
    return;
  }
  const Variant& target = *regs[i.b];
  if (target.IsObject() && !target.IsNothing() && OwnGetRef(*target.AsObject())) Raise(err::kWrongNumberOfArguments);
}

namespace {

std::vector<automation::ArrayData::Bound> BoundsOf(std::span<Variant> uppers) {
  std::vector<automation::ArrayData::Bound> bounds;
  bounds.reserve(uppers.size());
  for (const auto& u : uppers) {
    const int32_t upper = automation::ToLong(u);
    if (upper < -1) Raise(err::kSubscriptOutOfRange);
    bounds.push_back({0, upper + 1});
  }
  return bounds;
}

}  // namespace

void Interpreter::NewArrayIn(Variant* slot, std::span<Variant> uppers, bool fixed) {
  if (!slot) return;
  auto data = Ref<automation::ArrayData>(new automation::ArrayData(BoundsOf(uppers), fixed));
  *slot = Variant(std::move(data));
}

void Interpreter::ReDimVariable(Variant* slot, std::span<Variant> uppers, bool preserve) {
  if (!slot) Raise(err::kTypeMismatch);
  auto bounds = BoundsOf(uppers);
  if (slot->IsArray()) {
    if (slot->AsArray().fixed() || slot->AsArray().locks() > 0) Raise(err::kArrayFixedOrLocked);
    if (preserve && slot->AsArray().Dimensions() > 0) {
      slot->MutableArray().Redim(std::move(bounds), true);
      return;
    }
  }
  *slot = Variant(Ref<automation::ArrayData>(new automation::ArrayData(std::move(bounds), false)));
}

void Interpreter::EraseVariable(Variant* slot, std::span<Variant> subscripts) {
  if (slot && !subscripts.empty()) slot = &ElementOf(slot, subscripts);
  if (!slot || !slot->IsArray()) Raise(err::kTypeMismatch);
  if (slot->AsArray().fixed()) {
    for (auto& item : slot->MutableArray().items()) item = Variant();
  } else {
    if (slot->AsArray().locks() > 0) Raise(err::kArrayFixedOrLocked);
    *slot = Variant(Ref<automation::ArrayData>(new automation::ArrayData({}, false)));
  }
}

// The element of the array in `base` about to be written: a shared array is copied first.
Variant& Interpreter::ElementOf(Variant* base, std::span<Variant> subscripts) {
  // A subscript that reassigned the variable leaves no array to write into.
  if (!base || !base->IsArray()) Raise(err::kTypeMismatch);
  const Indices idx(subscripts);
  if (base->AsArray().Shared()) limits_.Spend(base->AsArray().size());
  return base->MutableArray().At(idx.span());
}

// `name(...) = value` on a variable that holds no array: its object (held in `out` while the
// arguments are evaluated) takes the assignment through its default member.
void Interpreter::CopyObject(const Variant* v, const Instr& i, Variant& out) {
  if (!v) {
    const auto* n = i.x == kVarName ? static_cast<const ast::NameExpr*>(i.p) : nullptr;
    if (n && n->bound == ast::NameKind::Undefined) Raise(err::kVariableUndefined);
    if (n && n->bound == ast::NameKind::Global && n->global->kind == GlobalKind::NamedObject) v = &n->global->value;
    else Raise(err::kTypeMismatch);
  }
  if (i.x8 || !v->IsObject()) Raise(err::kTypeMismatch);
  RequireObject(*v);
  out = *v;
}

void Interpreter::ResolveTarget(const Variant& target, const CallSite* site) {
  Object* obj = RequireObject(target);
  if (site) ResolveMember(obj, site->member, site->cache);
}

void Interpreter::PutIndexed(const Instr& i, Variant** regs, Frame& f) {
  const std::span<Variant> args = Span(regs, i.c, i.x + 1u);  // the value last
  const bool isSet = i.x8 & kAssignSet;
  const InvokeKind put = isSet ? automation::kInvokePutRef : automation::kInvokePut;
  switch (i.x8 >> 2) {
    case kPutClassMember:
      if (!f.me) Raise(err::kObjectRequired);
      CallMember(*f.me, static_cast<int>(i.a), put, args);
      return;
    case kPutGlobalMember: {
      const auto& g = *static_cast<const GlobalEntry*>(i.p);
      const Ref<Object> keep(g.object);
      SpendOnText(args);
      CallHost(*keep, g.member, put, args);
      return;
    }
    default: {
      const Ref<Object> keep(RequireObject(*regs[i.b]));
      const DispId id = (i.x8 >> 2) == kPutMember
                            ? ResolveMember(keep.get(), static_cast<const CallSite*>(i.p)->member,
                                            static_cast<const CallSite*>(i.p)->cache)
                            : automation::kDispIdValue;
      SpendOnText(args);
      CallHost(*keep, id, put, args);
      return;
    }
  }
}

// A name alone as a statement.
void Interpreter::CallVariable(const ast::NameExpr& n, Frame& f) {
  if (const Variant* v = NameAddress(n, f)) {
    // Only an object (its default method) can be called.
    if (!v->IsObject()) Raise(err::kTypeMismatch);
    const Ref<Object> keep(RequireObject(*v));
    CallHost(*keep, automation::kDispIdValue, kGetOrCall, {});
    return;
  }
  if (n.bound == ast::NameKind::Global && n.global->kind == GlobalKind::ObjectMember) {
    CallHost(*n.global->object, n.global->member, kGetOrCall, {});
    return;
  }
  if (n.bound == ast::NameKind::Global && n.global->kind == GlobalKind::Constant) Raise(err::kTypeMismatch);
  EvalName(n, f);
}

// Comparing texts takes time in proportion to their length, as the operators that copy them.
inline void Interpreter::SpendOnTexts(const Variant& a, const Variant& b) {
  if (a.IsString() && b.IsString()) limits_.Spend(std::min(a.AsString().size(), b.AsString().size()));
}

BREVALCORE_DISPATCH_LOOP void Interpreter::RunCode(const Code& code, Frame& f) {
  static const void* const kLabels[] = {
#define BREVALCORE_OPCODE_LABEL(name) &&op_##name,
      BREVALCORE_OPCODES(BREVALCORE_OPCODE_LABEL)
#undef BREVALCORE_OPCODE_LABEL
  };
  if (!code.threaded) Thread(code, kLabels);
  Variant** const R = f.slots;
  {
    Variant** constantSlots = R + code.locals + code.temps;
    Variant* constant = const_cast<Variant*>(code.constants.data());
    for (size_t k = 0, n = code.constants.size(); k < n; ++k) constantSlots[k] = constant + k;
  }
  const Instr* const base = code.instrs.data();
  const Instr* ip = base;
#define NEXT()                                 \
  do {                                         \
    ++ip;                                      \
    goto* ip->handler;                         \
  } while (0)
#define JUMP(target)                           \
  do {                                         \
    ip = base + (target);                      \
    goto* ip->handler;                         \
  } while (0)
// An operator with an inline path (fast_ops.h) and the general rules behind it. Only a
// comparison handles texts inline, so only it charges for them first; the general rules
// charge for their own.
#define OPERATOR(name, op, inlinePath, charge)                                 \
  op_##name : {                                                                \
    const Variant& x = *R[ip->b];                                              \
    const Variant& y = *R[ip->c];                                              \
    if (charge && x.IsString() && y.IsString()) SpendOnTexts(x, y);            \
    if (!inlinePath(op, x, y, *R[ip->a])) *R[ip->a] = General(op, x, y);       \
    NEXT();                                                                    \
  }
#define ARITHMETIC(name, op) OPERATOR(name, op, fast::Arithmetic, false)
#define RELATION(name, op) OPERATOR(name, op, fast::Relation, true)
#define LOGICAL(name, op) OPERATOR(name, op, fast::Logical, false)
#define GENERAL(name, op)                                                      \
  op_##name : {                                                                \
    *R[ip->a] = General(op, *R[ip->b], *R[ip->c]);                             \
    NEXT();                                                                    \
  }

  for (;;) {
    try {
      goto* ip->handler;

op_Count:
  ++static_cast<const ast::Stmt*>(ip->p)->runs;
  NEXT();
op_Move:
  *R[ip->a] = *R[ip->b];
  NEXT();
op_Let: {
  Variant& source = *R[ip->b];
  if (source.IsObject()) Store(*R[ip->a], Take(source, ip->x8 & kAssignMove), false);
  else if (ip->x8 & kAssignMove) *R[ip->a] = std::move(source);
  else *R[ip->a] = source;
  NEXT();
}
op_SetRef:
  Store(*R[ip->a], Take(*R[ip->b], ip->x8 & kAssignMove), true);
  NEXT();
op_LoadName: {
  const auto& n = *static_cast<const ast::NameExpr*>(ip->p);
  if (n.bound == ast::NameKind::Global) {
    const GlobalEntry& g = *n.global;
    if (g.kind == GlobalKind::Variable || g.kind == GlobalKind::Constant || g.kind == GlobalKind::NamedObject) {
      *R[ip->a] = g.value;
      NEXT();
    }
  }
  *R[ip->a] = EvalName(n, f);
  NEXT();
}
op_StoreName:
  StoreName(*static_cast<const ast::NameExpr*>(ip->p), Take(*R[ip->b], ip->x8 & kAssignMove), ip->x8 & kAssignSet, f);
  NEXT();
op_LoadField:
  *R[ip->a] = MeField(f, ip->b);
  NEXT();
op_StoreField:
  Store(MeField(f, ip->a), Take(*R[ip->b], ip->x8 & kAssignMove), ip->x8 & kAssignSet);
  NEXT();
op_Clear:
  for (uint32_t i = 0; i < ip->b; ++i) R[ip->a + i]->Clear();
  NEXT();
ARITHMETIC(Add, ast::Op::Add)
ARITHMETIC(Sub, ast::Op::Sub)
ARITHMETIC(Mul, ast::Op::Mul)
ARITHMETIC(Div, ast::Op::Div)
ARITHMETIC(IntDiv, ast::Op::IntDiv)
ARITHMETIC(Mod, ast::Op::Mod)
GENERAL(Pow, ast::Op::Pow)
op_Concat:
  *R[ip->a] = ip->x8 ? StartChain(*R[ip->b], *R[ip->c]) : General(ast::Op::Concat, *R[ip->b], *R[ip->c]);
  NEXT();
RELATION(Eq, ast::Op::Eq)
RELATION(Ne, ast::Op::Ne)
RELATION(Lt, ast::Op::Lt)
RELATION(Gt, ast::Op::Gt)
RELATION(Le, ast::Op::Le)
RELATION(Ge, ast::Op::Ge)
LOGICAL(And, ast::Op::And)
LOGICAL(Or, ast::Op::Or)
LOGICAL(Xor, ast::Op::Xor)
LOGICAL(Eqv, ast::Op::Eqv)
LOGICAL(Imp, ast::Op::Imp)
GENERAL(Is, ast::Op::Is)
op_Append: {
  Variant& text = *R[ip->a];
  const Variant& tail = *R[ip->b];
  if (&text != &tail && text.OwnsString() && !tail.IsNull()) {
    if (tail.IsString()) {
      limits_.Spend(tail.AsString().size());
      text.AppendToOwnString(tail.AsString());
    } else {
      automation::TextRoom room;
      text.AppendToOwnString(automation::TextForJoin(tail, room));
    }
  } else {
    text = General(ast::Op::Concat, text, tail);
  }
  NEXT();
}
op_Neg: {
  const Variant& x = *R[ip->b];
  if (x.type() == automation::VarType::Long && x.AsLong() != INT32_MIN) R[ip->a]->SetLong(-x.AsLong());
  else if (x.type() == automation::VarType::Double) R[ip->a]->SetDouble(-x.AsDouble());
  else *R[ip->a] = Negate(x);
  NEXT();
}
op_Not: {
  const Variant& x = *R[ip->b];
  if (x.type() == automation::VarType::Boolean) R[ip->a]->SetBool(!x.AsBool());
  else *R[ip->a] = Not(x);
  NEXT();
}
op_Jump:
  if (ip->x8) limits_.Tick();
  JUMP(ip->c);
op_JumpIfFalse: {
  bool known;
  const bool t = fast::Truth(*R[ip->a], known);
  if (!(known ? t : Truth(*R[ip->a]))) JUMP(ip->c);
  NEXT();
}
op_JumpIfTrue: {
  bool known;
  const bool t = fast::Truth(*R[ip->a], known);
  if (known ? t : Truth(*R[ip->a])) JUMP(ip->c);
  NEXT();
}
op_CaseJump: {
  const Variant& subject = *R[ip->a];
  const Variant& value = *R[ip->b];
  bool equal;
  if (!fast::WholeEqual(subject, value, equal)) {
    if (subject.IsString() || value.IsString()) limits_.Spend(subject.AsString().size() + value.AsString().size());
    if (!fast::TextEquality(ast::Op::Eq, subject, value, equal))
      equal = automation::Compare(subject, value) == automation::Ordering::Equal;
  }
  if (equal) JUMP(ip->c);
  NEXT();
}
op_CompareJump: {
  const auto op = static_cast<ast::Op>(ip->x8);
  const Variant& x = *R[ip->a];
  const Variant& y = *R[ip->b];
  SpendOnTexts(x, y);
  bool holds;
  if (!fast::TextEquality(op, x, y, holds)) {
    int order;
    if (fast::Order(x, y, order)) {
      holds = fast::Holds(op, order);
    } else {
      const Variant v = Binary(op, x, y);
      holds = Truth(v);
    }
  }
  if (holds == (ip->x != 0)) JUMP(ip->c);
  NEXT();
}
op_ShortCircuit: {
  const Variant& sofar = *R[ip->a];
  if (sofar.type() == automation::VarType::Boolean && sofar.AsBool() == (ip->x8 != 0) &&
      PlainValues(*static_cast<const std::vector<uint32_t>*>(ip->p), R))
    JUMP(ip->c);
  NEXT();
}
op_CheckVar:
  if (ip->x8 == kCheckLoop) LoopVariable(*ip, R, f);
  else if (!NameAddress(*static_cast<const ast::NameExpr*>(ip->p), f)) {
    if (ip->x8 == kCheckDim) JUMP(ip->c);
    Raise(err::kTypeMismatch);
  }
  NEXT();
op_ForPrep: {
  Variant* counter = &LoopVariable(*ip, R, f);
  Variant& limit = *R[ip->b];
  Variant& step = *R[ip->b + 1];
  Variant& start = *R[ip->b + 2];
  if (start.IsNull() || limit.IsNull() || step.IsNull()) Raise(err::kInvalidUseOfNull);
  NumericBound(start);
  NumericBound(limit);
  NumericBound(step);
  const bool up = automation::Compare(step, Variant(int16_t{0})) != automation::Ordering::Less;
  Store(*counter, std::move(start), false);
  start = Variant(up);
  if (ForDone(*counter, limit, up)) JUMP(ip->c);
  NEXT();
}
op_ForLoop: {
  const bool more = StepCounter(LoopVariable(*ip, R, f), *R[ip->b + 1], *R[ip->b], R[ip->b + 2]->AsBool());
  limits_.Tick();
  if (more) JUMP(ip->c);
  NEXT();
}
op_ForNext: {
  const bool more = StepCounter(*R[ip->a], *R[ip->b + 1], *R[ip->b], ip->x8 != 0);
  limits_.Tick();
  if (more) JUMP(ip->c);
  NEXT();
}
op_EachPrep:
  R[ip->b]->Clear();
  R[ip->b + 1]->Clear();
  NEXT();
op_EachOpen:
  OpenEach(*R[ip->b], *R[ip->b + 1]);
  NEXT();
op_EachNext:
  if (ip->x8) limits_.Tick();
  if (NextEach(*R[ip->b], *R[ip->b + 1], LoopVariable(*ip, R, f)) == (ip->x8 != 0)) JUMP(ip->c);
  NEXT();
op_IsArrayOrJump:
  if (!R[ip->a]->IsArray()) JUMP(ip->c);
  NEXT();
op_VarIsArrayOrJump: {
  const Variant* v = VariableAt(*ip, R, f);
  if (!v || !v->IsArray()) JUMP(ip->c);
  NEXT();
}
op_ReadElement:
  ReadElement(*ip, R, f);
  NEXT();
op_CheckGap:
  CheckGap(*ip, R, f);
  NEXT();
op_Index: {
  const Variant& array = *R[ip->b];
  if (array.IsArray() && ip->x == 1) {
    const int32_t index = fast::Subscript(*R[ip->c]);
    const Ref<automation::ArrayData> keep = array.AsArrayRef();
    *R[ip->a] = keep->At(std::span<const int32_t>(&index, 1));
  } else {
    *R[ip->a] = IndexValues(array, Span(R, ip->c, ip->x));
  }
  NEXT();
}
op_CallProc: {
  const auto& site = *static_cast<const CallSite*>(ip->p);
  const Procedure* proc = site.proc;
  if (!proc) {
    if (site.global->kind != GlobalKind::Procedure) Raise(err::kTypeMismatch);
    proc = site.global->proc;
  }
  *R[ip->a] = CallAtSite(*proc, site.onMe ? f.me : nullptr, site, R, f);
  NEXT();
}
op_CallBuiltin: {
  const std::span<Variant> args = Span(R, ip->c, ip->x);
  SpendOnText(args);
  *R[ip->a] = static_cast<const Builtin*>(ip->p)->function(*this, args);
  NEXT();
}
op_CallGlobalMember: {
  const auto& g = *static_cast<const GlobalEntry*>(ip->p);
  const std::span<Variant> args = Span(R, ip->c, ip->x);
  if (g.kind == GlobalKind::Procedure) {
    *R[ip->a] = CallWithValues(*g.proc, nullptr, args);
    NEXT();
  }
  if (g.kind != GlobalKind::ObjectMember) Raise(err::kTypeMismatch);
  SpendOnText(args);
  {
    // Scoped: the jump to the next instruction must not leave a live object behind.
    const Ref<Object> keep(g.object);
    *R[ip->a] = CallHost(*keep, g.member, kGetOrCall, args);
  }
  NEXT();
}
op_GetMember:
  *R[ip->a] = GetMember(*static_cast<const CallSite*>(ip->p), *R[ip->b], R, ip->c, ip->x, f);
  NEXT();
op_PutMember:
  PutMember(*static_cast<const CallSite*>(ip->p), *R[ip->b], Take(*R[ip->a], ip->x8 & kAssignMove), ip->x8 & kAssignSet);
  NEXT();
op_CheckCallable:
  CheckCallable(*R[ip->a], *static_cast<const CallSite*>(ip->p));
  NEXT();
op_CallValue:
  *R[ip->a] = CallValue(*static_cast<const CallSite*>(ip->p), *R[ip->b], R, ip->c, ip->x, f);
  NEXT();
op_CallMeMember: {
  const auto& site = *static_cast<const CallSite*>(ip->p);
  if (!f.me) Raise(err::kObjectRequired);
  *R[ip->a] = CallOwn(*f.me, site.meMember, site, R, ip->c, ip->x, f);
  NEXT();
}
op_CheckArgs:
  CheckArguments(*static_cast<const CallSite*>(ip->p), f);
  NEXT();
op_New:
  *R[ip->a] = EvalNew(*static_cast<const ast::NewExpr*>(ip->p));
  NEXT();
op_Me:
  if (!f.me) Raise(err::kObjectRequired);
  *R[ip->a] = Variant(Ref<Object>(f.me));
  NEXT();
op_Intrinsic:
  *R[ip->a] = CallIntrinsic(static_cast<ast::Intrinsic>(ip->x8), Span(R, ip->c, ip->x), f);
  NEXT();
op_OnError:
  f.resumeNext = ip->x8 != 0;
  err_->Clear();
  NEXT();
op_SetGlobal:
  static_cast<GlobalEntry*>(const_cast<void*>(ip->p))->value = *R[ip->b];
  NEXT();
op_Define:
  if (Variant* v = VariableAt(*ip, R, f)) *v = *R[ip->b];
  NEXT();
op_DimArray:
  NewArrayIn(VariableAt(*ip, R, f), Span(R, ip->b, ip->c), ip->x8 != 0);
  NEXT();
op_ReDim:
  ReDimVariable(VariableAt(*ip, R, f), Span(R, ip->b, ip->c), ip->x8 != 0);
  NEXT();
op_Erase:
  EraseVariable(VariableAt(*ip, R, f), Span(R, ip->b, ip->c));
  NEXT();
op_ElementOrObject: {
  const Variant* v = VariableAt(*ip, R, f);
  if (v && v->IsArray()) NEXT();
  CopyObject(v, *ip, *R[ip->b]);
  JUMP(ip->c);
}
op_ToSubscript:
  R[ip->a]->SetLong(SubscriptOf(*R[ip->a]));
  NEXT();
op_StoreElement:
  Store(ElementOf(VariableAt(*ip, R, f), Span(R, ip->b, ip->c)), Take(*R[ip->b + ip->c], ip->x8 & kAssignMove),
        ip->x8 & kAssignSet);
  NEXT();
op_Resolve:
  ResolveTarget(*R[ip->b], static_cast<const CallSite*>(ip->p));
  NEXT();
op_PutIndexed:
  PutIndexed(*ip, R, f);
  NEXT();
op_CallVariable:
  CallVariable(*static_cast<const ast::NameExpr*>(ip->p), f);
  NEXT();
op_CheckLate:
  CheckLate(*static_cast<const CallSite*>(ip->p));
  NEXT();
op_CallLate:
  *R[ip->a] = CallLate(*static_cast<const CallSite*>(ip->p), R, ip->c, ip->x, f);
  NEXT();
op_Fail:
  Raise(ip->x);
op_Return:
      return;
    } catch (const ScriptAbort& e) {
      const ErrorRegion* r = RegionAt(code, static_cast<uint32_t>(ip - base));
      if (e.line() == 0 && r) throw ScriptAbort(e, r->stmt->line, r->stmt->column);
      throw;
    } catch (const automation::AutomationError& e) {
      ip = base + ResumeAfter(code, static_cast<uint32_t>(ip - base), e, f);
    } catch (const std::bad_alloc&) {
      ip = base + ResumeAfter(code, static_cast<uint32_t>(ip - base), automation::AutomationError(err::kOutOfMemory), f);
    }
  }
#undef NEXT
#undef JUMP
#undef ARITHMETIC
#undef RELATION
#undef GENERAL
#undef LOGICAL
#undef OPERATOR
}

// The first link of a & chain: a text with room for the links that follow. A long text is
// charged as it is; its links then grow it by doubling.
Variant Interpreter::StartChain(const Variant& head, const Variant& tail) {
  Variant joined = Concat(head, tail, true);
  if (joined.IsString()) limits_.Spend(joined.AsString().size());
  return joined;
}

// An error in the statement at `pc`: with On Error Resume Next it is recorded and the run goes
// on after the statement; otherwise it leaves with the statement's position.
uint32_t Interpreter::ResumeAfter(const Code& code, uint32_t pc, const automation::AutomationError& e, Frame& f) {
  const ErrorRegion* r = RegionAt(code, pc);
  if (!r) {
    // Code without statements (Eval's text): the error is the asking statement's, and one
    // that already names where it arose keeps that.
    if (const auto* located = dynamic_cast<const ScriptError*>(&e)) throw *located;
    throw e;
  }
  if (!f.resumeNext) Rethrow(e, *r->stmt);
  RecordError(e);
  return r->resume;
}

void Interpreter::StoreName(const ast::NameExpr& n, Variant value, bool isSet, Frame& f) {
  if (n.bound == ast::NameKind::Global && n.global->kind == GlobalKind::Variable) Store(n.global->value, std::move(value), isSet);
  else AssignTo(n, std::move(value), isSet, f);
}


Variant Interpreter::General(ast::Op op, const Variant& a, const Variant& b) {
  if (a.IsString() || b.IsString()) limits_.Spend(a.AsString().size() + b.AsString().size());
  return Binary(op, a, b);
}

}  // namespace brevalcore::script::runtime
