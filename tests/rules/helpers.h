#pragma once
// Small helpers for the rule-object tests: calls by member name, as the script makes them.
#include <gtest/gtest.h>

#include <vector>

#include "platform/automation/convert.h"
#include "platform/automation/error.h"
#include "platform/automation/object.h"
#include "platform/automation/variant.h"

namespace brevalcore::rules::testing {

using automation::InvokeKind;
using automation::Object;
using automation::Variant;
using automation::ToUtf8;

inline Variant Call(Object& o, automation::StringView name, std::vector<Variant> args = {}) {
  const auto id = o.GetIdOfName(name);
  EXPECT_NE(id, automation::kDispIdUnknown) << automation::ToUtf8(name);
  return o.Invoke(id, automation::kInvokeMethod, args);
}
inline Variant Get(Object& o, automation::StringView name) {
  const auto id = o.GetIdOfName(name);
  EXPECT_NE(id, automation::kDispIdUnknown) << automation::ToUtf8(name);
  return o.Invoke(id, automation::kInvokeGet, {});
}
inline void Let(Object& o, automation::StringView name, Variant value) {
  std::vector<Variant> args{std::move(value)};
  o.Invoke(o.GetIdOfName(name), automation::kInvokePut, args);
}
inline void SetRef(Object& o, automation::StringView name, Variant value) {
  std::vector<Variant> args{std::move(value)};
  o.Invoke(o.GetIdOfName(name), automation::kInvokePutRef, args);
}
inline std::string Text(const Variant& v) { return automation::ToUtf8(automation::ToString(v)); }

// The automation error number a call raises, or 0.
template <class F>
int32_t ErrorOf(F&& f) {
  try {
    f();
  } catch (const automation::AutomationError& e) {
    return e.number();
  }
  return 0;
}

}  // namespace brevalcore::rules::testing
