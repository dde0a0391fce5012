// The interpreter's host-level operations and error mapping. Expressions and calls are in
// eval.cpp, the machine in vm.cpp.
#include "platform/script/runtime/interpreter.h"

#include <cstdint>

#include "platform/automation/convert.h"
#include "platform/automation/error.h"
#include "platform/script/compiler/codegen.h"
#include "platform/script/compiler/compiler.h"
#include "platform/script/parser/parser.h"
#include "platform/script/runtime/objects.h"
#include "platform/script/runtime/operators.h"
#include "platform/shell/clock.h"

namespace brevalcore::script::runtime {

using automation::AutomationError;
using automation::Raise;
namespace err = automation::err;
using namespace ast;

namespace {

String LineOf(StringView source, int line) {
  int current = 1;
  size_t start = 0;
  for (size_t i = 0; i < source.size() && current < line; ++i) {
    if (source[i] == u'\n') { ++current; start = i + 1; }
  }
  size_t end = start;
  while (end < source.size() && source[end] != u'\n' && source[end] != u'\r') ++end;
  return String(source.substr(start, end - start));
}

[[noreturn]] void ThrowSyntax(const parse::SyntaxError& e, StringView source) {
  throw ScriptError(e.number, kCompileSource, automation::FromUtf8(automation::ErrorText(e.number)), e.line,
                    e.column, LineOf(source, e.line));
}

}  // namespace

RunScope::RunScope(Interpreter& in) : in_(in), limits_(in.limits_), memory_(*in.memory_) {
  if (in_.runDepth_ == 0 || in_.hostCalls_ > 0) previousLocale_ = &automation::SetCurrentLocale(*in_.locale_);
  if (in_.runDepth_++ == 0) in_.limits_.Arm(in_.services_.timeout);
}

Interpreter::Interpreter(ScriptServices services)
    : services_(services),
      err_(automation::MakeRef<ErrObject>()),
      memory_(automation::MakeRef<automation::MemoryBudget>(services.memoryCap)) {}

Interpreter::~Interpreter() {
  Reset();
}

void Interpreter::Reset() {
  // Releasing the globals may run Class_Terminate, which still needs the engine.
  for (auto& g : globals_) {
    Variant dead = std::move(g.value);
    g.object.reset();
  }
  for (auto& c : classes_) c->engine = nullptr;
  globals_.clear();
  globalsByName_.clear();
  namedObjects_.clear();
  classes_.clear();
  procedures_.clear();
  programs_.clear();
  statementCache_.clear();
  evalCache_.clear();
  boundCode_.clear();
  err_->Clear();
  locale_ = &automation::UserLocale();
}

automation::Date Interpreter::Now() { return shell::SystemClock::Instance().Now(); }

void Interpreter::SetEngineLocale(const automation::Locale& locale) {
  locale_ = &locale;
  automation::SetCurrentLocale(locale);  // in force for the rest of this run already
}

GlobalEntry* Interpreter::FindGlobal(StringView name) {
  auto it = globalsByName_.find(Key(name));
  return it == globalsByName_.end() ? nullptr : it->second;
}

GlobalEntry* Interpreter::DeclareGlobal(StringView name) {
  const String key = Key(name);
  auto it = globalsByName_.find(key);
  if (it != globalsByName_.end()) return it->second;
  globals_.emplace_back();
  globals_.back().name = String(name);
  globalsByName_.emplace(key, &globals_.back());
  return &globals_.back();
}

GlobalEntry* Interpreter::NewHiddenGlobal() {
  globals_.emplace_back();
  return &globals_.back();
}

GlobalEntry* Interpreter::FindObjectMember(StringView name) {
  for (const auto& o : namedObjects_) {
    if (!o.addMembers) continue;
    const DispId id = o.object->GetIdOfName(name);
    if (id == automation::kDispIdUnknown) continue;
    GlobalEntry* g = DeclareGlobal(name);
    g->kind = GlobalKind::ObjectMember;
    g->object = o.object;
    g->member = id;
    return g;
  }
  return nullptr;
}

void Interpreter::AddObject(StringView name, Ref<Object> object, bool addMembers) {
  GlobalEntry* g = DeclareGlobal(name);
  g->kind = GlobalKind::NamedObject;
  g->value = Variant(object);
  namedObjects_.push_back({String(name), std::move(object), addMembers});
}

void Interpreter::RunGlobalCode(StringView code) {
  parse::ParseResult parsed = parse::ParseProgram(code);
  if (!parsed.errors.empty()) ThrowSyntax(parsed.errors.front(), code);
  std::shared_ptr<Program> program(std::move(parsed.program));
  compile::CompileProgram(*this, program, nullptr, nullptr);
  programs_.push_back(program);
  RunScope scope(*this);
  RunUnit(*program, nullptr);
}

void Interpreter::RunStatement(StringView code) {
  // The control runs the same few statements again and again: compile each text once.
  auto it = statementCache_.find(String(code));
  std::shared_ptr<Program> program;
  if (it != statementCache_.end()) {
    program = it->second;
  } else {
    parse::ParseResult parsed = parse::ParseProgram(code);
    if (!parsed.errors.empty()) ThrowSyntax(parsed.errors.front(), code);
    program = std::shared_ptr<Program>(std::move(parsed.program));
    compile::CompileProgram(*this, program, nullptr, nullptr);
    if (program->procs.empty() && program->classes.empty()) statementCache_.emplace(String(code), program);
    else programs_.push_back(program);
  }
  RunScope scope(*this);
  RunUnit(*program, nullptr);
}

Variant Interpreter::EvalText(StringView expression) {
  RunScope scope(*this);
  Frame f;
  return EvalInFrame(expression, f);
}

Variant Interpreter::EvalInFrame(StringView expression, Frame& f) {
  limits_.CheckStack();  // Eval of text that evaluates text recurses without a call
  const void* scope = f.proc;
  auto& cached = evalCache_[{scope, String(expression)}];
  if (!cached.code) {
    ExprPtr expr;
    parse::ParseResult parsed = parse::ParseExpression(expression, expr);
    if (!parsed.errors.empty() || !expr) {
      evalCache_.erase({scope, String(expression)});
      if (parsed.errors.empty()) Raise(1002);
      ThrowSyntax(parsed.errors.front(), expression);
    }
    compile::CompileExpression(*this, *expr, f.proc, f.me ? &f.me->cls() : nullptr);
    cached.code = compile::GenerateExpressionCode(*expr, f.proc ? static_cast<uint32_t>(f.proc->slotCount) : 0);
    cached.expr = std::move(expr);
  }
  const std::shared_ptr<Code> code = cached.code;  // a nested Reset may drop the cache
  return RunExpression(*code, f);
}

const Code& Interpreter::BoundCode(const Expr& bound) {
  auto& code = boundCode_[&bound];
  if (!code) code = compile::GenerateExpressionCode(bound, 0);
  return *code;
}

void Interpreter::ExecuteText(StringView code, Frame& f, bool global) {
  limits_.CheckStack();  // Execute of text that executes text recurses without a call
  parse::ParseResult parsed = parse::ParseProgram(code);
  if (!parsed.errors.empty()) {
    const auto& e = parsed.errors.front();
    throw AutomationError(e.number, kCompileSource, automation::FromUtf8(automation::ErrorText(e.number)));
  }
  std::shared_ptr<Program> program(std::move(parsed.program));
  if (global) {
    compile::CompileProgram(*this, program, nullptr, nullptr);
    programs_.push_back(program);
    RunUnit(*program, nullptr);
  } else {
    compile::CompileProgram(*this, program, f.proc, f.me ? &f.me->cls() : nullptr);
    programs_.push_back(program);
    RunUnit(*program, &f);
  }
}

// ------------------------------------------------------------------------------ errors

AutomationError ScriptVisibleError(const AutomationError& e) {
  const int32_t number = automation::ErrorNumberFromHResult(e.number());
  String description = e.description();
  if (description.empty() || (number != e.number() && description == automation::FromUtf8(automation::ErrorText(e.number()))))
    description = automation::FromUtf8(automation::ErrorText(number));
  AutomationError visible(number, e.source().empty() ? String(kRuntimeSource) : e.source(), std::move(description));
  visible.SetHelp(e.helpFile(), e.helpContext());
  return visible;
}

void Interpreter::RecordError(const AutomationError& e) {
  const AutomationError visible = ScriptVisibleError(e);
  err_->Set(visible.number(), visible.source(), visible.description());
  err_->SetHelp(visible.helpFile(), visible.helpContext());
}

void Interpreter::Rethrow(const AutomationError& e, const Stmt& s) {
  if (auto* se = dynamic_cast<const ScriptError*>(&e); se && se->line() > 0) throw;
  const AutomationError visible = ScriptVisibleError(e);
  ScriptError located(visible.number(), visible.source(), visible.description(), s.line, s.column);
  located.SetHelp(visible.helpFile(), visible.helpContext());
  throw located;
}

}  // namespace brevalcore::script::runtime
