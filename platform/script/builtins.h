#pragma once
// The VBScript built-in function library and constants, kept apart from the engine so that
// the language core and the library can be tested on their own. The engine resolves a
// built-in name once, at compile time, to its entry and calls it through the function pointer.
//
// Functions that need the engine itself (Eval, Execute, ExecuteGlobal, GetRef, the Err object,
// IsObject of a script variable, TypeName of a script class) are the engine's own.
#include <span>

#include "platform/automation/factory.h"
#include "platform/automation/locale.h"
#include "platform/automation/variant.h"

namespace brevalcore::ui { class UserInterface; }

namespace brevalcore::script {

// What a built-in may ask of the running engine.
class BuiltinContext {
 public:
  virtual ~BuiltinContext() = default;
  virtual ui::UserInterface* Ui() = 0;                       // MsgBox, InputBox
  virtual automation::ObjectFactories& Factories() = 0;     // CreateObject
  virtual automation::Date Now() = 0;                        // Now, Date, Time, Timer
  // The regional settings this engine runs under (GetLocale, SetLocale).
  virtual const automation::Locale& EngineLocale() = 0;
  virtual void SetEngineLocale(const automation::Locale& locale) = 0;
};

// Arguments arrive in source order; a left-out optional argument is Variant::Missing().
using BuiltinFunction = automation::Variant (*)(BuiltinContext& context, std::span<automation::Variant> args);

struct Builtin {
  const char16_t* name;
  int16_t minArgs;
  int16_t maxArgs;
  BuiltinFunction function;
  // Called as a statement, with nowhere to put its result, the function fails with 458
  // after it has run (the numeric conversions CInt, CDbl, ... do).
  bool resultRequired = false;
};

struct BuiltinConstant {
  const char16_t* name;
  automation::Variant value;
};

// Looks a built-in function up by name, without regard to case; nullptr when there is none.
const Builtin* FindBuiltin(automation::StringView name);
// Looks a built-in constant (vbCrLf, vbTextCompare, ...) up by name; nullptr when none.
const BuiltinConstant* FindBuiltinConstant(automation::StringView name);
// Creates an object of a built-in class for "New" (RegExp); Nothing when there is none.
automation::Ref<automation::Object> NewBuiltinClass(automation::StringView className);
// Registers the built-in ProgIDs ("Scripting.Dictionary", "VBScript.RegExp") in `factories`.
void RegisterBuiltinFactories(automation::ObjectFactories& factories);

}  // namespace brevalcore::script
