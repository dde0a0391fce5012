// The ScriptHost the control and the tools use: language check, then everything else is
// handed to the interpreter. Every failure leaves here as a ScriptError.
#include "platform/script/script_host.h"

#include <algorithm>
#include <map>

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

  void Reset() override {
    interpreter_.Reset();
    codeUnits_.clear();
  }

  void AddObject(StringView name, Ref<Object> object, bool addMembers) override {
    RequireLanguage();
    if (!object) throw ScriptError(automation::err::kObjectRequired, {}, Text(automation::err::kObjectRequired));
    interpreter_.AddObject(name, std::move(object), addMembers);
  }

  void AddCode(StringView code) override {
    RequireLanguage();
    const size_t before = interpreter_.Programs().size();
    try {
      Guard([&] { interpreter_.RunGlobalCode(code); });
    } catch (...) {
      KeepCodeUnits(before);  // a unit that failed while running has still been compiled
      throw;
    }
    KeepCodeUnits(before);
  }

  std::vector<LineRuns> LineCoverage() const override {
    std::map<int, uint32_t> lines;
    for (const auto& unit : codeUnits_) {
      const ast::Program& program = *unit;
      CountBlock(program.body, lines);
      for (const auto& p : program.procs) CountBlock(p->body, lines);
      for (const auto& c : program.classes)
        for (const auto& p : c->procs) CountBlock(p->body, lines);
    }
    std::vector<LineRuns> out;
    for (const auto& [line, runs] : lines) out.push_back({line, runs});
    return out;
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

  void KeepCodeUnits(size_t from) {
    const auto& programs = interpreter_.Programs();
    for (size_t i = from; i < programs.size(); ++i) codeUnits_.push_back(programs[i]);
  }

  // A line ran when any statement on it started.
  static void CountBlock(const ast::Block& block, std::map<int, uint32_t>& lines) {
    for (const auto& s : block) {
      uint32_t& runs = lines[s->line];
      runs = std::max(runs, s->runs);
      switch (s->kind) {
        case ast::StmtKind::If:
          for (const auto& b : static_cast<const ast::IfStmt&>(*s).branches) CountBlock(b.body, lines);
          break;
        case ast::StmtKind::Select:
          for (const auto& c : static_cast<const ast::SelectStmt&>(*s).cases) CountBlock(c.body, lines);
          break;
        case ast::StmtKind::For: CountBlock(static_cast<const ast::ForStmt&>(*s).body, lines); break;
        case ast::StmtKind::ForEach: CountBlock(static_cast<const ast::ForEachStmt&>(*s).body, lines); break;
        case ast::StmtKind::Do: CountBlock(static_cast<const ast::DoStmt&>(*s).body, lines); break;
        case ast::StmtKind::With: CountBlock(static_cast<const ast::WithStmt&>(*s).body, lines); break;
        default: break;
      }
    }
  }

  runtime::Interpreter interpreter_;
  bool languageSet_ = false;
  std::vector<std::shared_ptr<ast::Program>> codeUnits_;  // what AddCode compiled since Reset
};

}  // namespace

std::unique_ptr<ScriptHost> CreateScriptHost(ScriptServices services) {
  return std::make_unique<VbScriptHost>(services);
}

}  // namespace brevalcore::script
