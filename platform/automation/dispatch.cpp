#include "platform/automation/dispatch.h"

#include <array>

namespace brevalcore::automation {

namespace {

// The table entry of an id with no accessor of that kind: the slow path raises the error.
Variant SlowCall(Object& self, std::span<Variant> args, const ClassInfo& info, int64_t idAndKind) {
  return info.InvokeSlow(self, idAndKind, args);
}

}  // namespace

void ClassInfo::Index() {
  byLowerName_.clear();
  for (const auto& m : members) byLowerName_.emplace(ToLower(m.name), m.id);
  fast_.assign(members.size() + 1, FastCall{&SlowCall, &SlowCall});
  fastCount_ = static_cast<uint32_t>(fast_.size());
  for (DispId id = 0; id <= static_cast<DispId>(members.size()); ++id) {
    const MemberInfo* m = Member(id);
    if (!m) continue;
    const Accessor& method = m->method.thunk ? m->method : m->get;
    if (method.fast) fast_[id].method = method.fast;
    if (m->get.fast) fast_[id].get = m->get.fast;
  }
}

DispId ClassInfo::Find(StringView member) const {
  // Most look-ups come with the declared spelling; avoid allocating for short names.
  std::array<char16_t, 64> buffer;
  if (member.size() <= buffer.size()) {
    for (size_t i = 0; i < member.size(); ++i) buffer[i] = ToLowerChar(member[i]);
    auto it = byLowerName_.find(String(buffer.data(), member.size()));
    return it == byLowerName_.end() ? kDispIdUnknown : it->second;
  }
  auto it = byLowerName_.find(ToLower(member));
  return it == byLowerName_.end() ? kDispIdUnknown : it->second;
}

const EventInfo* ClassInfo::Event(StringView eventName) const {
  for (const auto& e : events)
    if (EqualsNoCase(e.name, eventName)) return &e;
  return nullptr;
}

const EventInfo* ClassInfo::Event(DispId id) const {
  for (const auto& e : events)
    if (e.id == id) return &e;
  return nullptr;
}

namespace {

// Calls `accessor`, filling left-out optional parameters with their defaults.
Variant CallWithDefaults(Object& self, const Accessor& accessor, const std::vector<Variant>& defaults,
                         std::span<Variant> args) {
  if (accessor.maxArgs == INT16_MAX) return accessor.thunk(self, args);  // raw: the callee checks
  const size_t given = args.size();
  if (given > static_cast<size_t>(accessor.maxArgs)) Raise(err::kWrongNumberOfArguments);
  bool anyMissing = false;
  for (const auto& a : args) anyMissing |= a.IsMissing();
  if (given == static_cast<size_t>(accessor.maxArgs) && !anyMissing) return accessor.thunk(self, args);

  // Slow path: copy into a full argument list, then hand back what the callee wrote.
  const size_t total = static_cast<size_t>(accessor.maxArgs);
  const size_t firstOptional = static_cast<size_t>(accessor.minArgs);
  std::vector<Variant> full(total);
  for (size_t i = 0; i < total; ++i) {
    if (i < given && !args[i].IsMissing()) {
      full[i] = args[i];
    } else if (i >= firstOptional && i - firstOptional < defaults.size()) {
      full[i] = defaults[i - firstOptional];
    } else {
      Raise(err::kWrongNumberOfArguments);  // a required parameter is missing
    }
  }
  Variant result = accessor.thunk(self, full);
  for (size_t i = 0; i < given; ++i)
    if (!args[i].IsMissing()) args[i] = std::move(full[i]);
  return result;
}

// Whether `args` must go to the default member of what the parameterless `get` returns:
// arguments were given that the accessor for `kind` cannot take.
bool ForwardsToDefault(const MemberInfo& member, InvokeKind kind, std::span<Variant> args) {
  if (!member.get.thunk || member.get.maxArgs != 0) return false;
  if (kind & (kInvokePut | kInvokePutRef)) {
    const Accessor& setter = (kind & kInvokePutRef) && member.putRef.thunk ? member.putRef : member.put;
    return args.size() > 1 && (!setter.thunk || static_cast<size_t>(setter.maxArgs) < args.size());
  }
  return !args.empty() && !((kind & kInvokeMethod) && member.method.thunk);
}

}  // namespace

Variant InvokeDefault(const Variant& value, InvokeKind kind, std::span<Variant> args) {
  if (value.IsObject()) {
    if (value.IsNothing()) Raise(err::kObjectVariableNotSet);
    const Ref<Object> holder = value.AsObjectRef();
    return holder->Invoke(kDispIdValue, kind, args);
  }
  if (value.IsArray() && !(kind & (kInvokePut | kInvokePutRef))) {
    std::vector<int32_t> indices;
    for (const Variant& a : args) indices.push_back(ToLong(a));
    return value.AsArray().At(indices);
  }
  Raise(err::kWrongNumberOfArguments);
}

Variant ClassInfo::InvokeSlow(Object& self, int64_t idAndKind, std::span<Variant> args) const {
  const DispId id = static_cast<DispId>(static_cast<uint32_t>(idAndKind));
  const InvokeKind kind = static_cast<InvokeKind>(idAndKind >> 32);
  const MemberInfo* member = Member(id);
  if (!member) Raise(err::kNoSuchMember);
  if (ForwardsToDefault(*member, kind, args)) return InvokeDefault(member->get.thunk(self, {}), kind, args);
  if ((kind & kInvokeMethod) && member->method.thunk)
    return CallWithDefaults(self, member->method, member->methodDefaults, args);
  if ((kind & (kInvokeGet | kInvokeMethod)) && member->get.thunk)
    return CallWithDefaults(self, member->get, member->getDefaults, args);
  if ((kind & kInvokePutRef) && member->putRef.thunk)
    return CallWithDefaults(self, member->putRef, member->putDefaults, args);
  if ((kind & kInvokePut) && member->put.thunk)
    return CallWithDefaults(self, member->put, member->putDefaults, args);
  // An assignment to a read-only member, or a read of a write-only one.
  Raise(err::kWrongNumberOfArguments);
}

}  // namespace brevalcore::automation
