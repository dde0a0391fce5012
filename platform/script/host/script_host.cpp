// The ScriptHost the control and the tools use: language check, then everything else is
// handed to the interpreter. Every failure leaves here as a ScriptError.
#include "platform/script/script_host.h"

#include "platform/automation/error.h"
#include "platform/script/runtime/interpreter.h"

namespace brevalcore::script {
namespace {

using automation::AutomationError;

class VbScriptHost : public ScriptHost {
 public:
  explicit VbScriptHost(ScriptServices services) : interpreter_(services) {}

  void SetLanguage(StringView language) override {
    if (!automation::EqualsNoCase(language, u"VBScript")) {
      throw ScriptError(automation::err::kInvalidProcedureCall, {},
                        automation::FromUtf8(automation::ErrorText(automation::err::kInvalidProcedureCall)));
    }
    languageSet_ = true;
  }

  void Reset() override { interpreter_.Reset(); }

  void AddObject(StringView name, Ref<Object> object, bool addMembers) override {
    RequireLanguage();
    if (!object) throw ScriptError(automation::err::kObjectRequired, {}, Text(automation::err::kObjectRequired));
    interpreter_.AddObject(name, std::move(object), addMembers);
  }

  void AddCode(StringView code) override {
    RequireLanguage();
    Guard([&] { interpreter_.RunGlobalCode(code); });
  }

  void ExecuteStatement(StringView statement) override {
    RequireLanguage();
    Guard([&] { interpreter_.RunStatement(statement); });
  }

  Variant Eval(StringView expression) override {
    RequireLanguage();
    Variant result;
    Guard([&] { result = interpreter_.EvalText(expression); });
    return result;
  }

  void SetTimeout(std::chrono::milliseconds timeout) override { interpreter_.SetTimeout(timeout); }
  void RequestStop() noexcept override { interpreter_.RequestStop(); }

 private:
  static String Text(int32_t number) { return automation::FromUtf8(automation::ErrorText(number)); }

  // Without a language the engine accepts no code, as the platform's control.
  void RequireLanguage() {
    if (!languageSet_) throw ScriptError(automation::err::kCantPerformOperation, {}, Text(automation::err::kCantPerformOperation));
  }

  template <class F>
  void Guard(F&& run) {
    try {
      run();
    } catch (const ScriptError&) {
      throw;
    } catch (const AutomationError& e) {
      const AutomationError visible = runtime::ScriptVisibleError(e);
      throw ScriptError(visible.number(), visible.source(), visible.description());
    } catch (const std::bad_alloc&) {
      throw ScriptError(automation::err::kOutOfMemory, {}, Text(automation::err::kOutOfMemory));
    }
  }

  runtime::Interpreter interpreter_;
  bool languageSet_ = false;
};

}  // namespace

std::unique_ptr<ScriptHost> CreateScriptHost(ScriptServices services) {
  return std::make_unique<VbScriptHost>(services);
}

}  // namespace brevalcore::script
