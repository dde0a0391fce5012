// Names read and assigned, calls from outside a run, New, and the engine's own functions.
#include <typeinfo>

#include "platform/automation/convert.h"
#include "platform/automation/dispatch.h"
#include "platform/automation/error.h"
#include "platform/script/runtime/interpreter.h"
#include "platform/script/runtime/objects.h"

namespace brevalcore::script::runtime {

using automation::InvokeKind;
using automation::Raise;
namespace err = automation::err;
using namespace ast;

namespace {

constexpr InvokeKind kGetOrCall = static_cast<InvokeKind>(automation::kInvokeGet | automation::kInvokeMethod);

Variant& MeField(Frame& f, int slot) {
  if (!f.me) Raise(err::kObjectRequired);
  return f.me->Field(slot);
}

Object* RequireObject(const Variant& v) {
  if (!v.IsObject()) Raise(err::kObjectRequired);
  if (v.IsNothing()) Raise(err::kObjectVariableNotSet);
  return v.AsObject();
}

}  // namespace

// The value of a name read without arguments: a procedure, a member or a built-in is called
// with none.
Variant Interpreter::EvalName(const NameExpr& n, Frame& f) {
  switch (n.bound) {
    case NameKind::Local: return *f.slots[n.slot];
    case NameKind::Field: return MeField(f, n.slot);
    case NameKind::Constant: return n.constant;
    case NameKind::Global: {
      const GlobalEntry& g = *n.global;
      switch (g.kind) {
        case GlobalKind::Procedure: return CallWithValues(*g.proc, nullptr, {});
        case GlobalKind::ObjectMember: return CallHost(*g.object, g.member, kGetOrCall, {});
        case GlobalKind::Class: Raise(err::kTypeMismatch);
        default: return g.value;
      }
    }
    case NameKind::ClassMember: {
      if (!f.me) Raise(err::kObjectRequired);
      const ClassMember& m = f.me->cls().members[n.slot];
      if (m.method) return CallWithValues(*m.method, f.me, {});
      if (m.get) return CallWithValues(*m.get, f.me, {});
      if (m.field >= 0) return MeField(f, m.field);
      Raise(err::kWrongNumberOfArguments);
    }
    case NameKind::Builtin:
      if (n.builtin->minArgs > 0) Raise(err::kWrongNumberOfArguments);
      return n.builtin->function(*this, {});
    case NameKind::Intrinsic: {
      const auto which = static_cast<Intrinsic>(n.slot);
      if (which == Intrinsic::Err) return Variant(Ref<Object>(err_));
      if (which > Intrinsic::IsObject) Raise(err::kTypeMismatch);
      Raise(err::kWrongNumberOfArguments);  // the others take one
    }
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

Variant Interpreter::CallProcedureWithValues(const Procedure& proc, ScriptObject* me, std::span<Variant> args) {
  RunScope scope(*this);
  const Ref<Object> keep(me);
  return CallWithValues(proc, me, args);
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
