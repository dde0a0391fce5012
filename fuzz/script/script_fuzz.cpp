// Feeds arbitrary text to the parser and, when it parses, to the interpreter with a short
// time-out. Any outcome is fine except a crash, a hang or an escaped exception of another
// kind than ScriptError.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/automation/text.h"
#include "platform/script/builtins.h"
#include "platform/script/parser/parser.h"
#include "platform/script/script_host.h"

namespace {

// Longer inputs add nothing the fuzzer cannot reach with short ones, and keep each run brief.
constexpr size_t kMaxInput = 4096;
constexpr std::chrono::milliseconds kRunTime{50};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace brevalcore;
  if (size > kMaxInput) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const automation::String text = automation::FromUtf8(bytes);

  const script::parse::ParseResult parsed = script::parse::ParseProgram(text);
  script::ast::ExprPtr expr;
  (void)script::parse::ParseExpression(text, expr);

  // A private factory registry: only the library's own classes, never objects that touch
  // the desktop or the file system.
  static automation::ObjectFactories factories = [] {
    automation::ObjectFactories f;
    script::RegisterBuiltinFactories(f);
    return f;
  }();
  script::ScriptServices services;
  services.factories = &factories;
  services.timeout = kRunTime;
  auto host = script::CreateScriptHost(services);
  host->SetLanguage(u"VBScript");
  try {
    if (parsed.errors.empty()) host->AddCode(text);
  } catch (const script::ScriptError&) {
  }
  try {
    if (expr) host->Eval(text);
  } catch (const script::ScriptError&) {
  }
  return 0;
}
