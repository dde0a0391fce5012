#pragma once
// Automation objects: reference counting, dispatch by member name and id, and events.
//
// Every object the script, the host or the tools can reach derives from Object. A name is
// resolved once to a DispId (GetIdOfName, case-insensitive), then invoked by id with a span
// of Variants (Invoke); the by-id path does no string work. Classes written in C++ describe
// their members once in a ClassInfo (see dispatch.h); script classes implement the two
// virtual functions themselves.
#include <cstdint>
#include <span>
#include <utility>

#include "platform/automation/text.h"

namespace brevalcore::automation {

class Variant;

using DispId = int32_t;
inline constexpr DispId kDispIdUnknown = -1;
inline constexpr DispId kDispIdValue = 0;     // the default member
inline constexpr DispId kDispIdNewEnum = -4;  // For Each enumeration

// How a member is being invoked. Property puts receive the assigned value as the last
// argument (after any index arguments), as Property Let(index, value) declares it.
enum InvokeKind : uint8_t {
  kInvokeMethod = 1,
  kInvokeGet = 2,
  kInvokePut = 4,     // Let
  kInvokePutRef = 8,  // Set
};

class Enumerator;

// An intrusive strong reference. Ref<T>() is Nothing.
template <class T>
class Ref {
 public:
  Ref() noexcept = default;
  Ref(std::nullptr_t) noexcept {}
  explicit Ref(T* p) noexcept : p_(p) { if (p_) p_->AddRef(); }
  Ref(const Ref& o) noexcept : p_(o.p_) { if (p_) p_->AddRef(); }
  Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Ref(const Ref<U>& o) noexcept : p_(o.get()) { if (p_) p_->AddRef(); }
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Ref(Ref<U>&& o) noexcept : p_(o.release()) {}
  ~Ref() { if (p_) p_->Release(); }

  Ref& operator=(Ref o) noexcept { std::swap(p_, o.p_); return *this; }

  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  T& operator*() const noexcept { return *p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  T* release() noexcept { return std::exchange(p_, nullptr); }
  void reset() noexcept { Ref().swap(*this); }
  void swap(Ref& o) noexcept { std::swap(p_, o.p_); }

  friend bool operator==(const Ref& a, const Ref& b) noexcept { return a.p_ == b.p_; }

 private:
  T* p_ = nullptr;
};

template <class T, class... Args>
Ref<T> MakeRef(Args&&... args) {
  return Ref<T>(new T(std::forward<Args>(args)...));
}

// Base of every automation object. Reference counts are not atomic: the control and
// everything it reaches run on the host's user-interface thread.
class Object {
 public:
  Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  virtual ~Object() = default;

  void AddRef() const noexcept { ++refs_; }
  void Release() const noexcept {
    if (--refs_ == 0) Reclaim(const_cast<Object*>(this));
  }
  int32_t RefCount() const noexcept { return refs_; }

  // The class name the script sees (TypeName).
  virtual String TypeName() const = 0;

  // Resolves a member name, case-insensitively; kDispIdUnknown when there is none.
  virtual DispId GetIdOfName(StringView name) const = 0;

  // Invokes a member. `args` are in source order; the callee may assign to an element to
  // pass a value back (by-reference arguments); the caller decides whether to copy it back
  // into its variable. Throws AutomationError on failure (438 for an unknown id, 450 for
  // a wrong argument count or an unsupported kind of access).
  virtual Variant Invoke(DispId id, InvokeKind kind, std::span<Variant> args) = 0;

  // For Each support; the default raises 438 ("Object doesn't support this property or method").
  virtual Ref<Enumerator> NewEnum();

 protected:
  // Called when the last reference goes. Deletes the object by default; script classes
  // override it to run Class_Terminate first.
  virtual void LastReleased() noexcept { delete this; }

 private:
  friend class ReleaseQueue;
  // Runs LastReleased now, or after the release in progress on this thread (release.h).
  static void Reclaim(Object* object) noexcept;

  mutable int32_t refs_ = 0;
};

// Downcast of an object reference; Nothing when the object is not a T.
template <class T, class U>
Ref<T> RefCast(const Ref<U>& r) {
  return Ref<T>(dynamic_cast<T*>(r.get()));
}

// For Each over an automation object: Next fills `out` and returns true until the end.
class Enumerator : public Object {
 public:
  virtual bool Next(Variant& out) = 0;
  String TypeName() const override { return u"Enumerator"; }
  DispId GetIdOfName(StringView) const override { return kDispIdUnknown; }
  Variant Invoke(DispId id, InvokeKind kind, std::span<Variant> args) override;
};

// Receives the events an object raises. `args` are in declaration order; by-reference
// arguments may be assigned by the sink, and the source reads them back after the call.
class EventSink {
 public:
  virtual ~EventSink() = default;
  virtual void OnEvent(DispId id, StringView name, std::span<Variant> args) = 0;
};

}  // namespace brevalcore::automation
