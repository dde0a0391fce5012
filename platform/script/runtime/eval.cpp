// Expressions, assignments and calls.
#include <typeinfo>

#include "platform/automation/convert.h"
#include "platform/automation/dispatch.h"
#include "platform/automation/error.h"
#include "platform/script/runtime/interpreter.h"
#include "platform/script/runtime/objects.h"
#include "platform/script/runtime/operators.h"

namespace brevalcore::script::runtime {

using automation::InvokeKind;
using automation::Raise;
namespace err = automation::err;
using namespace ast;

namespace {

constexpr InvokeKind kGetOrCall = static_cast<InvokeKind>(automation::kInvokeGet | automation::kInvokeMethod);
constexpr size_t kInlineArgs = 8;

// Argument values for a call into an object or the library; small lists stay on the stack.
class ArgList {
 public:
  explicit ArgList(size_t n) : size_(n) {
    if (n > kInlineArgs) heap_.resize(n);
  }
  Variant& operator[](size_t i) { return size_ > kInlineArgs ? heap_[i] : inline_[i]; }
  std::span<Variant> span() { return size_ > kInlineArgs ? std::span<Variant>(heap_) : std::span<Variant>(inline_, size_); }

 private:
  size_t size_;
  Variant inline_[kInlineArgs];
  std::vector<Variant> heap_;
};

Variant& MeField(Frame& f, int slot) {
  if (!f.me) Raise(err::kObjectRequired);
  return f.me->Field(slot);
}

bool IsPlain(const Expr& e) {
  if (e.kind == ExprKind::Literal) return true;
  if (e.kind != ExprKind::Name) return false;
  const auto& n = static_cast<const NameExpr&>(e);
  return n.bound == NameKind::Local || n.bound == NameKind::Constant ||
         (n.bound == NameKind::Global && (n.global->kind == GlobalKind::Variable || n.global->kind == GlobalKind::Constant));
}

bool IsWhole(const Variant& v) {
  return v.type() == automation::VarType::Integer || v.type() == automation::VarType::Long;
}
int64_t WholeOf(const Variant& v) {
  return v.type() == automation::VarType::Integer ? v.AsInteger() : v.AsLong();
}
Variant FitWhole(int64_t r, bool isLong) {
  if (!isLong && r >= -32768 && r <= 32767) return Variant(static_cast<int16_t>(r));
  if (r >= INT32_MIN && r <= INT32_MAX) return Variant(static_cast<int32_t>(r));
  return Variant(static_cast<double>(r));
}

// Integer and Long operands are the common case in rule scripts: handled here without a
// call; everything else goes to the general operators.
inline Variant BinaryFast(Op op, const Variant& a, const Variant& b) {
  if (IsWhole(a) && IsWhole(b)) {
    const int64_t x = WholeOf(a), y = WholeOf(b);
    const bool isLong = a.type() == automation::VarType::Long || b.type() == automation::VarType::Long;
    switch (op) {
      case Op::Add: return FitWhole(x + y, isLong);
      case Op::Sub: return FitWhole(x - y, isLong);
      case Op::Mul: return FitWhole(x * y, isLong);
      case Op::Mod: if (y != 0) return FitWhole(x % y, isLong); break;
      case Op::IntDiv: if (y != 0) return FitWhole(x / y, isLong); break;
      case Op::Eq: return Variant(x == y);
      case Op::Ne: return Variant(x != y);
      case Op::Lt: return Variant(x < y);
      case Op::Gt: return Variant(x > y);
      case Op::Le: return Variant(x <= y);
      case Op::Ge: return Variant(x >= y);
      default: break;
    }
  }
  if (a.IsString() || b.IsString()) SpendInActiveRun(a.AsString().size() + b.AsString().size());
  return Binary(op, a, b);
}

}  // namespace

const Variant& Interpreter::EvalRef(const Expr& e, Frame& f, Variant& temp) {
  if (e.kind == ExprKind::Literal) return static_cast<const LiteralExpr&>(e).value;
  if (e.kind == ExprKind::Name) {
    const auto& n = static_cast<const NameExpr&>(e);
    if (n.bound == NameKind::Local) return *f.slots[n.slot];
    if (n.bound == NameKind::Constant) return n.constant;
    if (n.bound == NameKind::Global && (n.global->kind == GlobalKind::Variable || n.global->kind == GlobalKind::Constant))
      return n.global->value;
  }
  Variant v = Eval(e, f);
  temp.swap(v);
  return temp;
}

Variant Interpreter::Eval(const Expr& e, Frame& f) {
  switch (e.kind) {
    case ExprKind::Literal: return static_cast<const LiteralExpr&>(e).value;
    case ExprKind::Name: {
      const auto& n = static_cast<const NameExpr&>(e);
      if (n.bound == NameKind::Local) return *f.slots[n.slot];
      return EvalName(n, f);
    }
    case ExprKind::Binary: {
      const auto& b = static_cast<const BinaryExpr&>(e);
      if (b.op == Op::Concat) return EvalConcat(b, f);
      Variant leftTemp, rightTemp;
      // Operands that are plain variables or literals are read in place. The left one is
      // copied first when the right one could change it (a call, say).
      if (IsPlain(*b.right)) {
        const Variant& left = EvalRef(*b.left, f, leftTemp);
        const Variant& right = EvalRef(*b.right, f, rightTemp);
        return BinaryFast(b.op, left, right);
      }
      Variant left = Eval(*b.left, f);
      leftTemp.swap(left);
      const Variant& right = EvalRef(*b.right, f, rightTemp);
      return BinaryFast(b.op, leftTemp, right);
    }
    case ExprKind::Unary: {
      const auto& u = static_cast<const UnaryExpr&>(e);
      Variant v = Eval(*u.operand, f);
      if (u.op == Op::Neg) return Negate(v);
      if (u.op == Op::Not) return Not(v);
      return v;
    }
    case ExprKind::Call: return EvalCall(static_cast<const CallExpr&>(e), f);
    case ExprKind::Member: return EvalMember(static_cast<const MemberExpr&>(e), f);
    case ExprKind::Paren: return Eval(*static_cast<const ParenExpr&>(e).inner, f);
    case ExprKind::Me:
      if (!f.me) Raise(err::kObjectRequired);
      return Variant(Ref<Object>(f.me));
    case ExprKind::New: return EvalNew(static_cast<const NewExpr&>(e));
  }
  return {};
}

// A & chain ("|" & list & "|") grows the text of the left operand's fresh result in place
// instead of allocating a new string at every step.
Variant Interpreter::EvalConcat(const BinaryExpr& b, Frame& f) {
  Variant left = Eval(*b.left, f);
  Variant rightTemp;
  const Variant& right = EvalRef(*b.right, f, rightTemp);
  if (left.IsString() || right.IsString()) limits_.Spend(left.AsString().size() + right.AsString().size());
  if (!left.OwnsString() || right.IsNull()) return Concat(left, right);
  if (right.IsString()) left.AppendToOwnString(right.AsString());
  else left.AppendToOwnString(automation::ToString(right));
  return left;
}

Variant Interpreter::EvalName(const NameExpr& n, Frame& f) {
  switch (n.bound) {
    case NameKind::Local: return *f.slots[n.slot];
    case NameKind::Field: return MeField(f, n.slot);
    case NameKind::Constant: return n.constant;
    case NameKind::Global: {
      const GlobalEntry& g = *n.global;
      switch (g.kind) {
        case GlobalKind::Procedure: return CallProcedure(*g.proc, nullptr, nullptr, f);
        case GlobalKind::ObjectMember: return CallHost(*g.object, g.member, kGetOrCall, {});
        case GlobalKind::Class: Raise(err::kTypeMismatch);
        default: return g.value;
      }
    }
    case NameKind::ClassMember: return CallClassMember(n.slot, nullptr, f);
    case NameKind::Builtin: return CallBuiltin(*n.builtin, nullptr, f);
    case NameKind::Intrinsic: return EvalIntrinsic(n, nullptr, f);
    default: return EvalLateBound(n, f);
  }
}

Variant Interpreter::EvalLateBound(const NameExpr& n, Frame& f) {
  if (BindLate(n)) return EvalName(n, f);
  Raise(err::kVariableUndefined);
}

Variant* Interpreter::LateBoundAddress(const NameExpr& n, Frame& f) {
  return BindLate(n) ? NameAddress(n, f) : nullptr;
}

bool Interpreter::BindLate(const NameExpr& n) {
  if (n.bound != NameKind::Undefined) return false;
  GlobalEntry* g = FindGlobal(n.name);
  if (!g) g = FindObjectMember(n.name);
  if (!g) return false;
  auto& bound = const_cast<NameExpr&>(n);  // resolution fields are the compiler's, filled late
  bound.global = g;
  bound.bound = NameKind::Global;
  return true;
}

Variant Interpreter::WithObject(const MemberExpr& m, Frame& f) {
  if (m.withEntry) return m.withEntry->value;
  if (m.withSlot < 0) Raise(err::kObjectRequired);
  return *f.slots[m.withSlot];
}

DispId Interpreter::ResolveMember(Object* obj, const String& name, MemberCache& cache) {
  const std::type_info* type = &typeid(*obj);
  // Instances of one script class share their ids; other objects are remembered one by one.
  const void* key = type == &typeid(ScriptObject) ? static_cast<const void*>(&static_cast<ScriptObject*>(obj)->cls())
                                                  : static_cast<const void*>(obj);
  if (cache.object == key && cache.type == type) return cache.id;
  const DispId id = obj->GetIdOfName(name);
  if (id == automation::kDispIdUnknown) Raise(err::kNoSuchMember);
  cache.object = key;
  cache.type = type;
  cache.id = id;
  return id;
}

namespace {
Object* RequireObject(const Variant& v) {
  if (!v.IsObject()) Raise(err::kObjectRequired);
  if (v.IsNothing()) Raise(err::kObjectVariableNotSet);
  return v.AsObject();
}
}  // namespace

ScriptObject* Interpreter::OwnObject(Object* obj) {
  if (typeid(*obj) != typeid(ScriptObject)) return nullptr;
  auto* so = static_cast<ScriptObject*>(obj);
  return so->cls().engine == this ? so : nullptr;
}

// Members of this engine's own class instances are called directly, with the arguments'
// expressions, so by-reference parameters work as they do between script procedures.
Variant Interpreter::CallOwnMember(ScriptObject& so, DispId id, const CallExpr* call, Frame& f) {
  const ClassMember& cm = so.cls().members[id - 1];
  const Ref<Object> keep(&so);
  if (cm.method) return CallProcedure(*cm.method, &so, call, f);
  if (cm.get) return call && !call->args.empty() ? CallGetThenIndex(*cm.get, &so, call, f) : CallProcedure(*cm.get, &so, call, f);
  if (cm.field >= 0) return call ? IndexValue(so.Field(cm.field), *call, f) : so.Field(cm.field);
  Raise(err::kWrongNumberOfArguments);
}

Variant Interpreter::EvalMember(const MemberExpr& m, Frame& f) {
  const Variant target = m.object ? Eval(*m.object, f) : WithObject(m, f);
  Object* obj = RequireObject(target);
  const DispId id = ResolveMember(obj, m.name, const_cast<MemberCache&>(m.cache));
  if (ScriptObject* so = OwnObject(obj)) return CallOwnMember(*so, id, nullptr, f);
  return CallHost(*obj, id, kGetOrCall, {});
}

Variant Interpreter::InvokeObject(const Variant& target, DispId id, InvokeKind kind, const CallExpr* call, Frame& f) {
  const Ref<Object> obj(RequireObject(target));
  const size_t n = call ? call->args.size() : 0;
  ArgList args(n);
  size_t i = 0;
  if (call) {
    for (const auto& a : call->args) args[i++] = a ? Eval(*a, f) : Variant::Missing();
  }
  SpendOnText(args.span());
  return CallHost(*obj, id, kind, args.span());
}

Variant Interpreter::IndexValue(const Variant& v, const CallExpr& call, Frame& f) {
  if (v.IsArray()) {
    int32_t inlineIdx[kInlineArgs];
    std::vector<int32_t> heapIdx;
    int32_t* idx = inlineIdx;
    if (call.args.size() > kInlineArgs) { heapIdx.resize(call.args.size()); idx = heapIdx.data(); }
    for (size_t i = 0; i < call.args.size(); ++i) {
      if (!call.args[i]) Raise(err::kSubscriptOutOfRange);
      idx[i] = automation::ToLong(Eval(*call.args[i], f));
    }
    const Ref<automation::ArrayData> keep = v.AsArrayRef();
    return keep->At(std::span<const int32_t>(idx, call.args.size()));
  }
  if (v.IsObject()) {
    // A procedure reached through GetRef takes its arguments by reference, as a direct call.
    Object* obj = v.AsObject();
    if (obj && typeid(*obj) == typeid(GetRefObject)) {
      const auto& ref = static_cast<const GetRefObject&>(*obj);
      if (&ref.engine() == this) return CallProcedure(ref.procedure(), nullptr, &call, f);
    }
    return InvokeObject(v, automation::kDispIdValue, kGetOrCall, &call, f);
  }
  if (call.args.empty()) return v;
  Raise(err::kTypeMismatch);
}

Variant Interpreter::CallGetThenIndex(const Procedure& get, ScriptObject* me, const CallExpr* call, Frame& f) {
  if (get.paramCount != 0) return CallProcedure(get, me, call, f);
  const Variant value = CallProcedure(get, me, nullptr, f);
  return IndexValue(value, *call, f);
}

Variant Interpreter::EvalCall(const CallExpr& c, Frame& f) {
  const Expr& target = *c.target;
  if (target.kind == ExprKind::Name) {
    const auto& n = static_cast<const NameExpr&>(target);
    switch (n.bound) {
      case NameKind::Local:
        if (n.self) return CallProcedure(*n.self, f.me, &c, f);
        return IndexValue(*f.slots[n.slot], c, f);
      case NameKind::Field: return IndexValue(MeField(f, n.slot), c, f);
      case NameKind::Global: return CallGlobal(*n.global, &c, f);
      case NameKind::ClassMember: return CallClassMember(n.slot, &c, f);
      case NameKind::Builtin: return CallBuiltin(*n.builtin, &c, f);
      case NameKind::Intrinsic: return EvalIntrinsic(n, &c, f);
      case NameKind::Constant: return IndexValue(n.constant, c, f);
      default:
        if (BindLate(n)) return EvalCall(c, f);
        Raise(err::kVariableUndefined);
    }
  }
  if (target.kind == ExprKind::Member) {
    const auto& m = static_cast<const MemberExpr&>(target);
    const Variant obj = m.object ? Eval(*m.object, f) : WithObject(m, f);
    const DispId id = ResolveMember(RequireObject(obj), m.name, const_cast<MemberCache&>(m.cache));
    if (ScriptObject* so = OwnObject(obj.AsObject())) return CallOwnMember(*so, id, &c, f);
    return InvokeObject(obj, id, kGetOrCall, &c, f);
  }
  const Variant v = Eval(target, f);
  return IndexValue(v, c, f);
}

Variant Interpreter::CallGlobal(const GlobalEntry& g, const CallExpr* call, Frame& f) {
  switch (g.kind) {
    case GlobalKind::Procedure: return CallProcedure(*g.proc, nullptr, call, f);
    case GlobalKind::ObjectMember:
      return InvokeObject(Variant(g.object), g.member, kGetOrCall, call, f);
    case GlobalKind::Class: Raise(err::kTypeMismatch);
    default:
      if (!call) return g.value;
      return IndexValue(g.value, *call, f);
  }
}

Variant Interpreter::CallClassMember(int member, const CallExpr* call, Frame& f) {
  if (!f.me) Raise(err::kObjectRequired);
  const ClassMember& m = f.me->cls().members[member];
  if (m.method) return CallProcedure(*m.method, f.me, call, f);
  if (m.get) return call && !call->args.empty() ? CallGetThenIndex(*m.get, f.me, call, f) : CallProcedure(*m.get, f.me, call, f);
  if (m.field >= 0) return call ? IndexValue(MeField(f, m.field), *call, f) : MeField(f, m.field);
  Raise(err::kWrongNumberOfArguments);
}

Variant Interpreter::CallBuiltin(const Builtin& b, const CallExpr* call, Frame& f) {
  const size_t n = call ? call->args.size() : 0;
  if (static_cast<int>(n) < b.minArgs || static_cast<int>(n) > b.maxArgs) Raise(err::kWrongNumberOfArguments);
  ArgList args(n);
  for (size_t i = 0; i < n; ++i) args[i] = call->args[i] ? Eval(*call->args[i], f) : Variant::Missing();
  SpendOnText(args.span());
  return b.function(*this, args.span());
}

// Err, or Err(...) through the syntax tree; the machine calls CallIntrinsic itself.
Variant Interpreter::EvalIntrinsic(const NameExpr& n, const CallExpr* call, Frame& f) {
  const auto which = static_cast<Intrinsic>(n.slot);
  if (which == Intrinsic::Err && !call) return Variant(Ref<Object>(err_));
  if (which > Intrinsic::IsObject) Raise(err::kTypeMismatch);
  const size_t count = call ? call->args.size() : 0;
  if (which != Intrinsic::Err && (count != 1 || !call->args[0])) Raise(err::kWrongNumberOfArguments);
  ArgList args(count);
  for (size_t i = 0; i < count; ++i) args[i] = call->args[i] ? Eval(*call->args[i], f) : Variant::Missing();
  return CallIntrinsic(which, args.span(), f);
}

Variant Interpreter::CallIntrinsic(Intrinsic which, std::span<Variant> args, Frame& f) {
  switch (which) {
    case Intrinsic::Err: return IndexValues(Variant(Ref<Object>(err_)), args);
    case Intrinsic::Eval: return EvalInFrame(automation::ToString(args[0]), f);
    case Intrinsic::Execute: ExecuteText(automation::ToString(args[0]), f, false); return {};
    case Intrinsic::ExecuteGlobal: ExecuteText(automation::ToString(args[0]), f, true); return {};
    case Intrinsic::GetRef: {
      GlobalEntry* g = FindGlobal(automation::ToString(args[0]));
      if (!g || g->kind != GlobalKind::Procedure) Raise(err::kInvalidProcedureCall);
      return Variant(automation::MakeRef<GetRefObject>(*this, *g->proc));
    }
    case Intrinsic::TypeName: return Variant(TypeNameOf(args[0]));
    case Intrinsic::IsObject: return Variant(args[0].IsObject());
    default: Raise(err::kTypeMismatch);
  }
}

Variant Interpreter::EvalNew(const NewExpr& n) {
  GlobalEntry* g = n.global;
  if (!g || g->kind != GlobalKind::Class) g = FindGlobal(n.className);
  if (g && g->kind == GlobalKind::Class) {
    ScriptClass& cls = *g->cls;
    std::shared_ptr<ScriptClass> shared;
    for (const auto& c : classes_) {
      if (c.get() == &cls) { shared = c; break; }
    }
    Ref<ScriptObject> obj(new ScriptObject(shared));
    Frame none;
    for (const auto& [field, decl] : cls.arrayFields) {
      std::vector<automation::ArrayData::Bound> bounds;
      for (const auto& b : decl->bounds) bounds.push_back({0, automation::ToLong(RunExpression(BoundCode(*b), none)) + 1});
      obj->Field(field) = Variant(Ref<automation::ArrayData>(new automation::ArrayData(std::move(bounds), true)));
    }
    if (cls.initialize) CallProcedureWithValues(*cls.initialize, obj.get(), {});
    return Variant(Ref<Object>(obj));
  }
  Ref<Object> builtin = NewBuiltinClass(n.className);
  if (!builtin) Raise(err::kClassNotDefined);
  return Variant(std::move(builtin));
}

// ------------------------------------------------------------------------------ calls

Variant Interpreter::CallProcedure(const Procedure& proc, ScriptObject* me, const CallExpr* call, Frame& caller) {
  const size_t given = call ? call->args.size() : 0;
  if (static_cast<int>(given) != proc.paramCount) Raise(err::kWrongNumberOfArguments);
  CallFrame frame(stack_, limits_, CodeOf(proc));
  for (size_t i = 0; i < given; ++i) {
    const Expr* a = call->args[i].get();
    if (!a) Raise(err::kWrongNumberOfArguments);
    if (!proc.byVal[i]) {
      if (Variant* where = AddressOf(*a, caller)) {
        frame.slots[i + 1] = where;
        continue;
      }
    }
    frame.values[i + 1] = Eval(*a, caller);
  }
  Ref<Object> keep(me);
  return RunProcedure(proc, me, frame.slots);
}

Variant Interpreter::CallProcedureWithValues(const Procedure& proc, ScriptObject* me, std::span<Variant> args) {
  RunScope scope(*this);
  const Ref<Object> keep(me);
  return CallWithValues(proc, me, args);
}

Variant Interpreter::RunProcedure(const Procedure& proc, ScriptObject* me, Variant** slots) {
  Frame f;
  f.slots = slots;
  f.me = me;
  f.proc = &proc;
  RunCode(CodeOf(proc), f);
  return std::move(*slots[0]);
}

Variant Interpreter::CallMember(ScriptObject& self, int member, InvokeKind kind, std::span<Variant> args) {
  const ClassMember& m = self.cls().members[member];
  // Arguments given to a Property Get without parameters belong to the default member of
  // what it returns, for reading and for assigning ("obj.Items(1) = v").
  const bool put = kind & (automation::kInvokePut | automation::kInvokePutRef);
  if (args.size() > (put ? 1u : 0u) && m.get && m.get->paramCount == 0 && !m.method) {
    const Procedure* setter = put ? (m.let ? m.let : m.set) : nullptr;
    if (!setter || setter->paramCount < static_cast<int>(args.size())) {
      const Variant holder = CallProcedureWithValues(*m.get, &self, {});
      return automation::InvokeDefault(holder, kind, args);
    }
  }
  if (put) {
    const bool isSet = (kind & automation::kInvokePutRef) && !(kind & automation::kInvokePut);
    if (isSet && m.set) return CallProcedureWithValues(*m.set, &self, args);
    if (m.let) return CallProcedureWithValues(*m.let, &self, args);
    if (m.set) return CallProcedureWithValues(*m.set, &self, args);
    if (m.field >= 0) {
      if (args.empty()) Raise(err::kWrongNumberOfArguments);
      Variant& field = self.Field(m.field);
      if (args.size() == 1) {
        Store(field, args[0], isSet);
        return {};
      }
      if (!field.IsArray()) Raise(err::kTypeMismatch);
      std::vector<int32_t> idx;
      for (size_t i = 0; i + 1 < args.size(); ++i) idx.push_back(automation::ToLong(args[i]));
      Store(field.MutableArray().At(idx), args.back(), isSet);
      return {};
    }
    Raise(err::kNoSuchMember);
  }
  if (m.method) return CallProcedureWithValues(*m.method, &self, args);
  if (m.get) return CallProcedureWithValues(*m.get, &self, args);
  if (m.field >= 0) {
    const Variant& field = self.Field(m.field);
    if (args.empty()) return field;
    if (field.IsArray()) {
      std::vector<int32_t> idx;
      for (const auto& a : args) idx.push_back(automation::ToLong(a));
      return field.AsArray().At(idx);
    }
    if (field.IsObject()) return RequireObject(field)->Invoke(automation::kDispIdValue, kGetOrCall, args);
    Raise(err::kTypeMismatch);
  }
  Raise(err::kNoSuchMember);
}

void Interpreter::RunTerminate(ScriptObject& self) noexcept {
  try {
    CallProcedureWithValues(*self.cls().terminate, &self, {});
  } catch (...) {
    // An error in Class_Terminate is dropped: the object goes away regardless.
  }
}

// ------------------------------------------------------------------------------ assignment

Variant* Interpreter::NameAddress(const NameExpr& n, Frame& f) {
  switch (n.bound) {
    case NameKind::Local: return f.slots[n.slot];
    case NameKind::Field: return &MeField(f, n.slot);
    case NameKind::Global:
      if (n.global->kind == GlobalKind::Variable) return &n.global->value;
      return nullptr;
    case NameKind::Undefined: return LateBoundAddress(n, f);
    default: return nullptr;
  }
}

Variant* Interpreter::AddressOf(const Expr& e, Frame& f) {
  if (e.kind == ExprKind::Name) return NameAddress(static_cast<const NameExpr&>(e), f);
  if (e.kind == ExprKind::Call) {
    const auto& c = static_cast<const CallExpr&>(e);
    if (c.target->kind != ExprKind::Name) return nullptr;
    Variant* base = NameAddress(static_cast<const NameExpr&>(*c.target), f);
    if (!base || !base->IsArray()) return nullptr;
    std::vector<int32_t> idx;
    idx.reserve(c.args.size());
    for (const auto& a : c.args) {
      if (!a) Raise(err::kSubscriptOutOfRange);
      idx.push_back(automation::ToLong(Eval(*a, f)));
    }
    if (base->AsArray().RefCount() > 1) limits_.Spend(base->AsArray().size());  // copied before the write
    return &base->MutableArray().At(idx);
  }
  return nullptr;
}

void Interpreter::StoreObject(Variant& slot, Variant value, bool isSet) {
  if (isSet) {
    if (!value.IsObject()) Raise(err::kObjectRequired);
  } else if (value.IsObject()) {
    value = automation::Dereference(value);
  }
  slot = std::move(value);
}

void Interpreter::AssignTo(const NameExpr& n, Variant value, bool isSet, Frame& f) {
  const InvokeKind put = isSet ? automation::kInvokePutRef : automation::kInvokePut;
  if (Variant* slot = NameAddress(n, f)) return Store(*slot, std::move(value), isSet);
  switch (n.bound) {
    case NameKind::Global:
      if (n.global->kind == GlobalKind::ObjectMember) {
        CallHost(*n.global->object, n.global->member, put, std::span<Variant>(&value, 1));
        return;
      }
      Raise(err::kIllegalAssignment);
    case NameKind::ClassMember: {
      if (!f.me) Raise(err::kObjectRequired);
      CallMember(*f.me, n.slot, put, std::span<Variant>(&value, 1));
      return;
    }
    case NameKind::Undefined:
      if (BindLate(n)) return AssignTo(n, std::move(value), isSet, f);
      Raise(err::kVariableUndefined);
    default: Raise(err::kIllegalAssignment);
  }
}

}  // namespace brevalcore::script::runtime
