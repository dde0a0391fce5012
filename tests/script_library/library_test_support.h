#pragma once
// Calls built-ins by name the way the engine does, and renders results as the conformance
// outputs show them (Booleans as -1/0, Null as "Null", errors as "err N").
#include <gtest/gtest.h>

#include <vector>

#include "platform/automation/calendar.h"
#include "platform/automation/convert.h"
#include "platform/automation/error.h"
#include "platform/automation/factory.h"
#include "platform/script/builtins.h"
#include "platform/ui/scripted_ui.h"

namespace brevalcore::script::testing {

using automation::Date;
using automation::String;
using automation::Variant;

class FakeContext : public BuiltinContext {
 public:
  ui::UserInterface* Ui() override { return ui; }
  automation::ObjectFactories& Factories() override { return factories; }
  Date Now() override { return now; }
  const automation::Locale& EngineLocale() override { return *locale; }
  void SetEngineLocale(const automation::Locale& l) override { locale = &l; }

  ui::UserInterface* ui = nullptr;
  const automation::Locale* locale = &automation::UserLocale();
  automation::ObjectFactories factories;
  Date now = automation::calendar::MakeDate({2026, 3, 5, 8, 7, 6});
};

inline String Render(const Variant& v) {
  switch (v.type()) {
    case automation::VarType::Null: return u"Null";
    case automation::VarType::Boolean: return v.AsBool() ? u"-1" : u"0";
    case automation::VarType::Array: return u"Array";
    case automation::VarType::Object: return v.IsNothing() ? u"Nothing" : u"Object:" + v.AsObject()->TypeName();
    default: return automation::ToString(v);
  }
}

inline Variant CallBuiltin(FakeContext& context, const char16_t* name, std::vector<Variant> args) {
  const Builtin* builtin = FindBuiltin(name);
  if (!builtin) ADD_FAILURE() << "no built-in " << automation::ToUtf8(name);
  if (static_cast<int>(args.size()) < builtin->minArgs || static_cast<int>(args.size()) > builtin->maxArgs)
    ADD_FAILURE() << "argument count for " << automation::ToUtf8(name);
  return builtin->function(context, args);
}

// The rendered result, or "err N" for a raised error.
inline String Outcome(FakeContext& context, const char16_t* name, std::vector<Variant> args) {
  try {
    return Render(CallBuiltin(context, name, std::move(args)));
  } catch (const automation::AutomationError& e) {
    return u"err " + automation::Ascii(std::to_string(e.number()));
  }
}

inline Variant V(const char16_t* s) { return Variant(s); }
inline Variant V(double d) { return Variant(d); }
inline Variant I(int v) { return Variant(static_cast<int16_t>(v)); }
inline Variant L(int v) { return Variant(static_cast<int32_t>(v)); }
inline Variant Day(int y, int m, int d, int h = 0, int n = 0, int s = 0) {
  return Variant(automation::calendar::MakeDate({y, m, d, h, n, s}));
}

}  // namespace brevalcore::script::testing
