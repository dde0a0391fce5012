#include "platform/script/runtime/objects.h"

#include "platform/automation/convert.h"
#include "platform/automation/error.h"
#include "platform/automation/release.h"

namespace brevalcore::script::runtime {

using automation::InvokeKind;
using automation::Raise;
namespace err = automation::err;

namespace {
enum ErrMember : DispId { kNumber = 1, kDescription, kSource, kHelpFile, kHelpContext, kRaise, kClear };
constexpr const char16_t* kErrMembers[] = {u"number", u"description", u"source", u"helpfile",
                                           u"helpcontext", u"raise", u"clear"};
}  // namespace

String Key(StringView name) { return automation::ToLower(name); }

int ScriptClass::Find(StringView member) const {
  auto it = byName.find(Key(member));
  return it == byName.end() ? -1 : it->second;
}

DispId ErrObject::GetIdOfName(StringView name) const {
  const String key = Key(name);
  for (int i = 0; i < 7; ++i)
    if (key == kErrMembers[i]) return i + 1;
  return automation::kDispIdUnknown;
}

void ErrObject::Set(int32_t number, String source, String description) {
  number_ = number;
  source_ = std::move(source);
  description_ = std::move(description);
  helpFile_.clear();
  helpContext_ = 0;
}

Variant ErrObject::Invoke(DispId id, InvokeKind kind, std::span<Variant> args) {
  if (id == automation::kDispIdValue) id = kNumber;
  const bool put = (kind & (automation::kInvokePut | automation::kInvokePutRef)) != 0;
  if (put && args.size() != 1) Raise(err::kWrongNumberOfArguments);
  switch (id) {
    case kNumber:
      if (put) { number_ = automation::ToLong(args[0]); return {}; }
      return Variant(number_);
    case kDescription:
      if (put) { description_ = automation::ToString(args[0]); return {}; }
      return Variant(description_);
    case kSource:
      if (put) { source_ = automation::ToString(args[0]); return {}; }
      return Variant(source_);
    case kHelpFile:
      if (put) { helpFile_ = automation::ToString(args[0]); return {}; }
      return Variant(helpFile_);
    case kHelpContext:
      if (put) { helpContext_ = automation::ToLong(args[0]); return {}; }
      return Variant(helpContext_);
    case kRaise: {
      // Raise(number[, source[, description[, helpfile[, helpcontext]]]]). A part left out
      // keeps what the Err object holds from an error not yet cleared, so a handler can
      // raise the error it caught again with Err.Raise Err.Number.
      if (args.empty() || args.size() > 5) Raise(err::kWrongNumberOfArguments);
      const int32_t number = automation::ToLong(args[0]);
      if (number == 0) Raise(err::kInvalidProcedureCall);
      auto given = [&](size_t i) { return i < args.size() && !args[i].IsMissing(); };
      String source = given(1) ? automation::ToString(args[1]) : !source_.empty() ? source_ : String(kRuntimeSource);
      String description = given(2)                ? automation::ToString(args[2])
                           : !description_.empty() ? description_
                                                   : automation::FromUtf8(automation::ErrorText(number));
      String helpFile = given(3) ? automation::ToString(args[3]) : helpFile_;
      const int32_t helpContext = given(4) ? automation::ToLong(args[4]) : helpContext_;
      automation::AutomationError raised(number, std::move(source), std::move(description));
      raised.SetHelp(std::move(helpFile), helpContext);
      throw raised;
    }
    case kClear:
      if (!args.empty()) Raise(err::kWrongNumberOfArguments);
      Clear();
      return {};
    default:
      Raise(err::kNoSuchMember);
  }
}

Variant GetRefObject::Invoke(DispId id, InvokeKind, std::span<Variant> args) {
  if (id != automation::kDispIdValue) Raise(err::kNoSuchMember);
  return in_.CallProcedureWithValues(proc_, nullptr, args);
}

String TypeNameOf(const Variant& v) {
  using automation::VarType;
  switch (v.type()) {
    case VarType::Empty: return u"Empty";
    case VarType::Null: return u"Null";
    case VarType::Integer: return u"Integer";
    case VarType::Long: return u"Long";
    case VarType::Single: return u"Single";
    case VarType::Double: return u"Double";
    case VarType::Currency: return u"Currency";
    case VarType::Date: return u"Date";
    case VarType::String: return u"String";
    case VarType::Object: return v.IsNothing() ? String(u"Nothing") : v.AsObject()->TypeName();
    case VarType::Error: return u"Error";
    case VarType::Boolean: return u"Boolean";
    case VarType::Byte: return u"Byte";
    case VarType::Array: return u"Variant()";
    default: return u"Unknown";
  }
}

// ------------------------------------------------------------------------- script objects

ScriptObject::ScriptObject(std::shared_ptr<ScriptClass> cls) : cls_(std::move(cls)) {
  charge_.Set(sizeof(ScriptObject) + static_cast<size_t>(cls_->fieldCount) * sizeof(Variant));
  fields_.resize(cls_->fieldCount);
}

DispId ScriptObject::GetIdOfName(StringView name) const {
  const int m = cls_->Find(name);
  if (m < 0 || !cls_->members[m].isPublic) return automation::kDispIdUnknown;
  return m + 1;
}

Variant ScriptObject::Invoke(DispId id, InvokeKind kind, std::span<Variant> args) {
  const int member = id == automation::kDispIdValue ? cls_->defaultMember : id - 1;
  if (member < 0 || member >= static_cast<int>(cls_->members.size())) Raise(err::kNoSuchMember);
  if (!cls_->engine) Raise(err::kObjectRequired);
  return cls_->engine->CallMember(*this, member, kind, args);
}

Ref<automation::Enumerator> ScriptObject::NewEnum() {
  if (cls_->defaultMember >= 0) {
    Variant v = Invoke(automation::kDispIdValue, static_cast<InvokeKind>(automation::kInvokeGet | automation::kInvokeMethod), {});
    if (v.IsObject() && !v.IsNothing()) return v.AsObject()->NewEnum();
  }
  Raise(err::kNotACollection);
}

void ScriptObject::LastReleased() noexcept {
  if (!terminated_ && cls_->terminate && cls_->engine) {
    terminated_ = true;
    AddRef();  // alive while Class_Terminate runs; the Release below deletes it
    {
      const automation::ReleaseQueue::Immediate immediate;
      cls_->engine->RunTerminate(*this);
    }
    Release();
    return;
  }
  delete this;
}

}  // namespace brevalcore::script::runtime
