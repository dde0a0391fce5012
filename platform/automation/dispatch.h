#pragma once
// Member tables for automation classes written in C++.
//
// A class describes its members once, in slot order, with ClassBuilder:
//
//   const ClassInfo& Drug::Class() {
//     static const ClassInfo info = ClassBuilder<Drug>(u"Drug")
//         .Property<&Drug::AIC, &Drug::SetAIC>(u"AIC")
//         .Method<&Drug::Clear>(u"Clear")
//         .Build();
//     return info;
//   }
//
// and derives from DispatchObject<Drug>. Arguments are converted from Variants to the C++
// parameter types (String, bool, int16_t, int32_t, double, float, Currency, Date, Variant,
// Ref<T>) with the platform's conversions; a `Variant&` parameter receives the caller's
// argument itself, so the callee can pass a value back. Members get dispatch ids 1, 2, ...
// in order of first appearance of their name; the member marked Default also answers id 0.
#include <concepts>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "platform/automation/convert.h"
#include "platform/automation/error.h"
#include "platform/automation/variant.h"

namespace brevalcore::automation {

// One optional parameter's default, used when the caller leaves it out.
struct Param {
  // Not explicit: a member list reads {{u"a"}, {u"b", Variant(10)}}.
  Param(String n, std::optional<Variant> value = std::nullopt)
      : name(std::move(n)), defaultValue(std::move(value)) {}
  String name;
  std::optional<Variant> defaultValue;  // nullopt: required
};

using Thunk = Variant (*)(Object& self, std::span<Variant> args);

class ClassInfo;
// The by-id fast path of one accessor: the member itself when every argument it takes is
// given and none is of type Error (a left-out one may be), else the class's slow path, to
// which it passes the packed id and kind it was called with.
using FastThunk = Variant (*)(Object& self, std::span<Variant> args, const ClassInfo& info, int64_t idAndKind);
// The member table of an accessor's result, when the C++ member returns Ref<T> of a class
// described by a ClassInfo; tools read it to follow member chains without calling anything.
using ResultClass = const ClassInfo& (*)();

struct Accessor {
  Thunk thunk = nullptr;
  FastThunk fast = nullptr;
  int16_t minArgs = 0;
  int16_t maxArgs = 0;
  ResultClass resultClass = nullptr;
};

struct MemberInfo {
  String name;
  DispId id = kDispIdUnknown;
  Accessor method, get, put, putRef;
  std::vector<Variant> methodDefaults, getDefaults, putDefaults;
};

struct EventInfo {
  String name;
  DispId id;
  std::vector<String> params;
};

// The member table of one class: names resolved case-insensitively, members invoked by id.
class ClassInfo {
 public:
  String name;
  std::vector<MemberInfo> members;  // index = id - 1
  std::vector<EventInfo> events;
  DispId defaultMember = kDispIdUnknown;

  DispId Find(StringView member) const;
  const MemberInfo* Member(DispId id) const {
    if (id == kDispIdValue) id = defaultMember;
    return (id >= 1 && static_cast<size_t>(id) <= members.size()) ? &members[id - 1] : nullptr;
  }
  const EventInfo* Event(StringView eventName) const;
  const EventInfo* Event(DispId id) const;
  // Invokes member `id` on `self`, choosing the accessor by `kind`.
  Variant Invoke(Object& self, DispId id, InvokeKind kind, std::span<Variant> args) const {
    // id and kind travel packed so that every argument fits in a register.
    const int64_t idAndKind = (static_cast<int64_t>(kind) << 32) | static_cast<uint32_t>(id);
    // The common case, a method call or a property read, in one indirect call through a
    // compact table (one entry per id, id 0 the default member): the entry checks the
    // arguments itself, where their count and types are known when it is compiled.
    if (static_cast<uint32_t>(id) < fastCount_ && (kind & (kInvokeMethod | kInvokeGet))) {
      const FastCall& call = fast_[static_cast<size_t>(id)];
      return ((kind & kInvokeMethod) ? call.method : call.get)(self, args, *this, idAndKind);
    }
    return InvokeSlow(self, idAndKind, args);
  }
  // Every other call: left-out arguments filled in, assignments, default members, errors.
  Variant InvokeSlow(Object& self, int64_t idAndKind, std::span<Variant> args) const;

  void Index();  // builds the name index and the call table; called by ClassBuilder::Build

 private:
  struct FastCall {
    FastThunk method;  // the method, else the property get
    FastThunk get;
  };
  std::vector<FastCall> fast_;
  uint32_t fastCount_ = 0;
  std::unordered_map<String, DispId> byLowerName_;
};

// Arguments given to a member that takes none belong to the default member of the value it
// returned: Patient.Problems(1) reads Patient.Problems.Item(1), and obj.Items(1) = v assigns
// through it. An array value is indexed instead (for reading). 450 when the value can take
// no arguments, 91 when it is Nothing.
Variant InvokeDefault(const Variant& value, InvokeKind kind, std::span<Variant> args);

// Base for C++ automation classes: dispatch through T::Class().
template <class T>
class DispatchObject : public Object {
 public:
  String TypeName() const override { return T::Class().name; }
  DispId GetIdOfName(StringView name) const override { return T::Class().Find(name); }
  Variant Invoke(DispId id, InvokeKind kind, std::span<Variant> args) override {
    // The table is cached in a plain pointer set by the constructor: no guard and no call
    // before the member's own on the hot path.
    return classInfo_->Invoke(*this, id, kind, args);
  }

 protected:
  DispatchObject() {
    if (!classInfo_) classInfo_ = &T::Class();
  }

 private:
  static inline const ClassInfo* classInfo_ = nullptr;
};

// Connection point for a class's outgoing events: a host sink receives each raised event.
class EventSource {
 public:
  void Connect(EventSink* sink) { sinks_.push_back(sink); }
  void Disconnect(EventSink* sink) { std::erase(sinks_, sink); }
  bool HasSinks() const { return !sinks_.empty(); }
  // Delivers the event to every sink; by-reference arguments come back in `args`.
  void Raise(const EventInfo& event, std::span<Variant> args) {
    const auto sinks = sinks_;  // a sink may disconnect while handling
    for (EventSink* sink : sinks) sink->OnEvent(event.id, event.name, args);
  }

 private:
  std::vector<EventSink*> sinks_;
};

// ------------------------------------------------------------------ argument marshalling

template <class P>
struct ArgTraits;

template <> struct ArgTraits<Variant> { static Variant From(Variant& v) { return v; } };
template <> struct ArgTraits<const Variant&> { static const Variant& From(Variant& v) { return v; } };
template <> struct ArgTraits<Variant&> { static Variant& From(Variant& v) { return v; } };
// Arguments that already have the parameter's type skip the general conversion.
template <> struct ArgTraits<String> {
  static String From(Variant& v) { return v.IsString() ? String(v.AsString()) : ToString(v); }
};
template <> struct ArgTraits<const String&> : ArgTraits<String> {};
template <> struct ArgTraits<StringView> : ArgTraits<String> {};
template <> struct ArgTraits<bool> {
  static bool From(Variant& v) { return v.type() == VarType::Boolean ? v.AsBool() : ToBool(v); }
};
template <> struct ArgTraits<int16_t> {
  static int16_t From(Variant& v) { return v.type() == VarType::Integer ? v.AsInteger() : ToInteger(v); }
};
template <> struct ArgTraits<int32_t> {
  static int32_t From(Variant& v) {
    if (v.type() == VarType::Long) return v.AsLong();
    if (v.type() == VarType::Integer) return v.AsInteger();
    return ToLong(v);
  }
};
template <> struct ArgTraits<double> {
  static double From(Variant& v) { return v.type() == VarType::Double ? v.AsDouble() : ToDouble(v); }
};
template <> struct ArgTraits<float> { static float From(Variant& v) { return ToSingle(v); } };
template <> struct ArgTraits<Currency> { static Currency From(Variant& v) { return ToCurrency(v); } };
template <> struct ArgTraits<Date> { static Date From(Variant& v) { return ToDate(v); } };
template <class T> struct ArgTraits<Ref<T>> {
  static Ref<T> From(Variant& v) {
    if (!v.IsObject()) Raise(err::kTypeMismatch);
    if (v.IsNothing()) return Ref<T>();
    Ref<T> typed = RefCast<T>(v.AsObjectRef());
    if (!typed) Raise(err::kTypeMismatch);
    return typed;
  }
};
template <class T> struct ArgTraits<const Ref<T>&> : ArgTraits<Ref<T>> {};

template <class R>
Variant ToVariant(R&& value) {
  using D = std::decay_t<R>;
  if constexpr (std::is_same_v<D, Variant>) return std::forward<R>(value);
  else if constexpr (std::is_same_v<D, int>) return Variant(static_cast<int32_t>(value));
  else return Variant(std::forward<R>(value));
}

template <class F>
struct MemberTraits;

template <class R>
struct ResultClassOf {
  static constexpr ResultClass kValue = nullptr;
};
template <class T>
  requires requires { { T::Class() } -> std::same_as<const ClassInfo&>; }
struct ResultClassOf<Ref<T>> {
  static constexpr ResultClass kValue = &T::Class;
};
template <class C, class R, class... A>
struct MemberTraits<R (C::*)(A...)> {
  using Class = C;
  using Result = R;
  using Args = std::tuple<A...>;
  static constexpr size_t kArity = sizeof...(A);
};
template <class C, class R, class... A>
struct MemberTraits<R (C::*)(A...) const> : MemberTraits<R (C::*)(A...)> {};

// A member whose C++ signature is (std::span<Variant>) receives the raw arguments.
template <class F>
constexpr bool kIsRawMember = std::is_same_v<typename MemberTraits<F>::Args, std::tuple<std::span<Variant>>>;

template <auto Fn>
struct Marshal {
  using Traits = MemberTraits<decltype(Fn)>;
  using C = typename Traits::Class;

  template <size_t... I>
  static Variant Call(Object& self, std::span<Variant> args, std::index_sequence<I...>) {
    auto& obj = static_cast<C&>(self);
    if constexpr (std::is_void_v<typename Traits::Result>) {
      (obj.*Fn)(ArgTraits<std::tuple_element_t<I, typename Traits::Args>>::From(args[I])...);
      return Variant();
    } else {
      return ToVariant((obj.*Fn)(ArgTraits<std::tuple_element_t<I, typename Traits::Args>>::From(args[I])...));
    }
  }

  static Variant Thunk(Object& self, std::span<Variant> args) {
    if constexpr (kIsRawMember<decltype(Fn)>) {
      return ToVariant((static_cast<C&>(self).*Fn)(args));
    } else {
      return Call(self, args, std::make_index_sequence<Traits::kArity>{});
    }
  }

  static Variant Fast(Object& self, std::span<Variant> args, const ClassInfo& info, int64_t idAndKind) {
    if constexpr (!kIsRawMember<decltype(Fn)>) {
      if (args.size() == Traits::kArity && NoneIsError(args, std::make_index_sequence<Traits::kArity>{}))
        return Call(self, args, std::make_index_sequence<Traits::kArity>{});
    }
    return info.InvokeSlow(self, idAndKind, args);  // a raw member checks its count there
  }

 private:
  template <size_t... I>
  static bool NoneIsError([[maybe_unused]] std::span<Variant> args, std::index_sequence<I...>) {
    return ((args[I].type() != VarType::Error) && ...);
  }
};

// Builds a ClassInfo in slot order.
template <class T>
class ClassBuilder {
 public:
  explicit ClassBuilder(String className) { info_.name = std::move(className); }

  // A method. `params` may give defaults for trailing optional parameters.
  template <auto Fn>
  ClassBuilder& Method(StringView name, std::vector<Param> params = {}) {
    Add(name, &MemberInfo::method, &MemberInfo::methodDefaults, Thunks<Fn>(), Arity<Fn>(), params, ResultOf<Fn>());
    return *this;
  }
  template <auto Fn>
  ClassBuilder& Get(StringView name, std::vector<Param> params = {}) {
    Add(name, &MemberInfo::get, &MemberInfo::getDefaults, Thunks<Fn>(), Arity<Fn>(), params, ResultOf<Fn>());
    return *this;
  }
  template <auto Fn>
  ClassBuilder& Let(StringView name) {
    Add(name, &MemberInfo::put, &MemberInfo::putDefaults, Thunks<Fn>(), Arity<Fn>(), {});
    return *this;
  }
  template <auto Fn>
  ClassBuilder& Set(StringView name) {
    Add(name, &MemberInfo::putRef, &MemberInfo::putDefaults, Thunks<Fn>(), Arity<Fn>(), {});
    return *this;
  }
  // get + let in one call.
  template <auto Getter, auto Setter>
  ClassBuilder& Property(StringView name) {
    Get<Getter>(name);
    return Let<Setter>(name);
  }
  // get + set (object reference) in one call.
  template <auto Getter, auto Setter>
  ClassBuilder& ObjectProperty(StringView name) {
    Get<Getter>(name);
    return Set<Setter>(name);
  }
  // Marks the most recently added member as the default member (id 0).
  ClassBuilder& Default() {
    info_.defaultMember = static_cast<DispId>(info_.members.size());
    return *this;
  }
  ClassBuilder& Event(StringView name, DispId id, std::vector<String> params) {
    info_.events.push_back(EventInfo{String(name), id, std::move(params)});
    return *this;
  }
  ClassInfo Build() {
    info_.Index();
    return std::move(info_);
  }

 private:
  template <auto Fn>
  static ResultClass ResultOf() {
    return ResultClassOf<std::decay_t<typename MemberTraits<decltype(Fn)>::Result>>::kValue;
  }

  template <auto Fn>
  static Accessor Thunks() {
    return Accessor{&Marshal<Fn>::Thunk, &Marshal<Fn>::Fast};
  }

  template <auto Fn>
  static int Arity() {
    if constexpr (kIsRawMember<decltype(Fn)>) return -1;
    else return static_cast<int>(MemberTraits<decltype(Fn)>::kArity);
  }

  void Add(StringView name, Accessor MemberInfo::*slot, std::vector<Variant> MemberInfo::*defaults,
           Accessor thunks, int arity, const std::vector<Param>& params, ResultClass resultClass = nullptr) {
    MemberInfo* member = nullptr;
    for (auto& m : info_.members)
      if (EqualsNoCase(m.name, name)) member = &m;
    if (!member) {
      info_.members.push_back(MemberInfo{});
      member = &info_.members.back();
      member->name = String(name);
      member->id = static_cast<DispId>(info_.members.size());
    }
    Accessor& accessor = member->*slot;
    accessor.thunk = thunks.thunk;
    accessor.fast = thunks.fast;
    accessor.resultClass = resultClass;
    if (arity < 0) {  // raw: any count
      accessor.minArgs = 0;
      accessor.maxArgs = INT16_MAX;
      return;
    }
    int optional = 0;
    std::vector<Variant>& defs = member->*defaults;
    defs.clear();
    for (const auto& p : params)
      if (p.defaultValue) { ++optional; defs.push_back(*p.defaultValue); }
    accessor.maxArgs = static_cast<int16_t>(arity);
    accessor.minArgs = static_cast<int16_t>(arity - optional);
  }

  ClassInfo info_;
};

}  // namespace brevalcore::automation
