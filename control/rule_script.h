#pragma once
// The rule script as the control loads it: its file name in the banner folder, how its bytes
// become text, the objects the control registers for it, and the procedures it runs by name.
// The control and the authors' tools read these from here, so both treat a script the same.
#include <span>
#include <string_view>

#include "platform/automation/dispatch.h"
#include "platform/automation/text.h"

namespace brevalcore::control {

using automation::String;

inline constexpr char kScriptFileName[] = "banner.script";

// The file-system text stream reads the script in the single-byte code page, byte by byte:
// a UTF-8 text (or its byte-order mark) reaches the engine as Windows-1252 characters.
String DecodeScriptText(std::string_view bytes);

// An object the control registers in the engine, its members also global names.
struct RuleObject {
  const char16_t* name;
  const automation::ClassInfo& (*members)();
};
std::span<const RuleObject> RuleObjects();

// A procedure the control runs by name (ExecuteStatement), and the control's own procedure
// that runs it, which a failure report names.
struct ScriptEntryPoint {
  const char16_t* statement;
  const char16_t* runner;
};
inline constexpr ScriptEntryPoint kBeforeInitialize{u"BeforeInitialize", u"Init"};
inline constexpr ScriptEntryPoint kStartPrescription{u"StartPrescription", u"OnStartPrescription"};
inline constexpr ScriptEntryPoint kBeforeSelect{u"BeforeSelect", u"OnBefore"};
inline constexpr ScriptEntryPoint kAfterSelect{u"AfterSelect", u"OnAfter"};
inline constexpr ScriptEntryPoint kScriptEntryPoints[] = {kBeforeInitialize, kStartPrescription, kBeforeSelect,
                                                          kAfterSelect};

}  // namespace brevalcore::control
