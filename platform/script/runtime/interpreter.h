#pragma once
// The interpreter: runs compiled code as bytecode (vm.cpp); eval.cpp reads and assigns names
// and makes objects, interpreter.cpp holds the host-level operations. It owns the global entries, the classes, the value stack that holds procedure windows, the Err
// object and the run limits (limits.h). All
// failures inside a run are AutomationErrors; ScriptAbort (time-out, stop, stack) cannot be
// caught by On Error Resume Next, so a runaway script always stops.
#include <chrono>
#include <map>
#include <memory>
#include <vector>

#include "platform/script/builtins.h"
#include "platform/script/limits.h"
#include "platform/script/runtime/bytecode.h"
#include "platform/script/runtime/program.h"
#include "platform/script/script_host.h"

namespace brevalcore::script::runtime {

// An error as the script sees it in the Err object and as the host receives it: an
// object's HRESULT mapped to the platform's number, and the standard text and the run-time
// source filled in where the error brought none.
automation::AutomationError ScriptVisibleError(const automation::AutomationError& e);

class ElementPins;  // the arrays a call holds elements of (vm.cpp)

struct Frame {
  Variant** slots = nullptr;
  ScriptObject* me = nullptr;
  const Procedure* proc = nullptr;
  bool resumeNext = false;
};

// A procedure's window on the value stack, given back when the call ends (also by an error).
class CallFrame {
 public:
  CallFrame(ValueStack& stack, RunLimits& limits, const Code& code)
      : stack_(stack), limits_(limits), live_(code.locals + code.temps) {
    limits_.EnterCall();
    try {
      mark_ = stack_.Push(code.window(), values, slots, live_);
    } catch (...) {
      limits_.LeaveCall();
      throw;
    }
  }
  ~CallFrame() {
    stack_.Pop(mark_, values, live_);
    limits_.LeaveCall();
  }
  CallFrame(const CallFrame&) = delete;
  CallFrame& operator=(const CallFrame&) = delete;

  Variant* values = nullptr;
  Variant** slots = nullptr;

 private:
  ValueStack& stack_;
  RunLimits& limits_;
  size_t live_;
  ValueStack::Mark mark_{};
};

// Built-ins and object members take time in proportion to the text they are given: counted,
// so a loop of calls on megabytes reads the clock in time.
inline void SpendOnText(std::span<Variant> args) {
  size_t units = 0;
  for (const Variant& a : args)
    if (a.IsString()) units += a.AsString().size();
  if (units) SpendInActiveRun(units);
}

class ErrObject;

class Interpreter : public BuiltinContext {
 public:
  explicit Interpreter(ScriptServices services);
  ~Interpreter() override;

  // ------------------------------------------------------------------ host operations
  void Reset();
  void AddObject(StringView name, Ref<Object> object, bool addMembers);
  // Compiles and runs a unit at script level (AddCode, ExecuteGlobal).
  void RunGlobalCode(StringView code);
  // Runs a statement (ExecuteStatement); the compiled form of each text is kept.
  void RunStatement(StringView code);
  Variant EvalText(StringView expression);
  void SetTimeout(std::chrono::milliseconds t) { services_.timeout = t; }
  void RequestStop() noexcept { limits_.RequestStop(); }

  // ------------------------------------------------------------------ used by the compiler
  GlobalEntry* FindGlobal(StringView name);
  GlobalEntry* DeclareGlobal(StringView name);
  GlobalEntry* NewHiddenGlobal();
  // A member of an object added with addMembers, as a global entry; null when none has it.
  GlobalEntry* FindObjectMember(StringView name);
  void AdoptClass(std::shared_ptr<ScriptClass> cls) { classes_.push_back(std::move(cls)); }

  // ------------------------------------------------------------------ used by objects
  Variant CallMember(ScriptObject& self, int member, automation::InvokeKind kind, std::span<Variant> args);
  Variant CallProcedureWithValues(const Procedure& proc, ScriptObject* me, std::span<Variant> args);
  void RunTerminate(ScriptObject& self) noexcept;
  ErrObject& Err() { return *err_; }

  // BuiltinContext
  ui::UserInterface* Ui() override { return services_.ui; }
  automation::ObjectFactories& Factories() override { return *services_.factories; }
  automation::Date Now() override;
  const automation::Locale& EngineLocale() override { return *locale_; }
  void SetEngineLocale(const automation::Locale& locale) override;

 private:
  friend class RunScope;
  struct Arg;

  // The bytecode machine (vm.cpp)
  const Code& CodeOf(const Procedure& proc) { return proc.code ? *proc.code : CompileProcedure(proc); }
  const Code& CompileProcedure(const Procedure& proc);
  const Code& CodeOf(ast::Program& program, const Procedure* scope);
  // Runs a unit's script-level code in a window of its own; text run by Execute inside a
  // procedure (`outer`) shares that procedure's locals.
  void RunUnit(ast::Program& program, Frame* outer);
  void RunCode(const Code& code, Frame& f);
  // Runs code made by GenerateExpressionCode in `outer`'s frame and gives its value.
  Variant RunExpression(const Code& code, Frame& outer);
  Variant& LoopVariable(const Instr& i, Variant** regs, Frame& f);
  uint32_t ResumeAfter(const Code& code, uint32_t pc, const automation::AutomationError& e, Frame& f);
  Variant CallAtSite(const Procedure& proc, ScriptObject* me, const CallSite& site, Variant** regs, Frame& caller) {
    // Only the rare call given an array's element pays for keeping its array.
    if (site.holdsElements) return CallHoldingElements(proc, me, site, regs, caller);
    return BindAndCall(proc, me, site, regs, caller, nullptr);
  }
  Variant CallHoldingElements(const Procedure& proc, ScriptObject* me, const CallSite& site, Variant** regs,
                              Frame& caller);
  Variant BindAndCall(const Procedure& proc, ScriptObject* me, const CallSite& site, Variant** regs, Frame& caller,
                      ElementPins* pins);
  // Calls a procedure from inside a run with argument values (by reference: into `args`).
  Variant CallWithValues(const Procedure& proc, ScriptObject* me, std::span<Variant> args);
  Variant IndexValues(const Variant& v, std::span<Variant> args);
  Variant GetMember(const CallSite& site, const Variant& target, Variant** regs, uint32_t first, uint32_t count,
                    Frame& f);
  void PutMember(const CallSite& site, const Variant& target, Variant value, bool isSet);
  Variant CallOwn(ScriptObject& so, int member, const CallSite& site, Variant** regs, uint32_t first, uint32_t count,
                  Frame& f);
  void CheckArguments(const CallSite& site, Frame& f);
  const Procedure* OwnGetRef(Object& obj) const;
  void CheckCallable(const Variant& v, const CallSite& site);
  Variant CallValue(const CallSite& site, const Variant& target, Variant** regs, uint32_t first, uint32_t count,
                    Frame& f);
  Variant General(ast::Op op, const Variant& a, const Variant& b);
  void SpendOnTexts(const Variant& a, const Variant& b);
  void StoreName(const ast::NameExpr& n, Variant value, bool isSet, Frame& f);
  Variant StartChain(const Variant& head, const Variant& tail);
  automation::DispId ResolveAtSite(Object* obj, const CallSite& site, ScriptObject*& own);

  // Declarations, arrays and indexed assignment (vm.cpp)
  Variant* VariableAt(const Instr& i, Variant** regs, Frame& f) { return VariableAt(i.x, i.a, i.p, regs, f); }
  Variant* VariableAt(uint16_t where, uint32_t reg, const void* place, Variant** regs, Frame& f);
  void ReadElement(const Instr& i, Variant** regs, Frame& f);
  void CheckGap(const Instr& i, Variant** regs, Frame& f);
  // Calls of names declared after their code was compiled (vm.cpp)
  static const ast::NameExpr& LateName(const CallSite& site);
  void CheckLate(const CallSite& site);
  Variant CallLate(const CallSite& site, Variant** regs, uint32_t first, uint32_t count, Frame& f);
  void NewArrayIn(Variant* slot, std::span<Variant> uppers, bool fixed);
  void ReDimVariable(Variant* slot, std::span<Variant> uppers, bool preserve);
  void EraseVariable(Variant* slot, std::span<Variant> subscripts);
  Variant& ElementOf(Variant* base, std::span<Variant> subscripts);
  void CopyObject(const Variant* v, const Instr& i, Variant& out);
  void ResolveTarget(const Variant& target, const CallSite* site);
  void PutIndexed(const Instr& i, Variant** regs, Frame& f);
  void CallVariable(const ast::NameExpr& n, Frame& f);

  // Names, New and the engine's own functions (eval.cpp)
  // The value of a name read without arguments (a procedure or a member called with none).
  Variant EvalName(const ast::NameExpr& n, Frame& f);
  Variant EvalNew(const ast::NewExpr& n);
  // The engine's own function `which` of `args` (counts already checked, none left out).
  Variant CallIntrinsic(ast::Intrinsic which, std::span<Variant> args, Frame& f);
  // The code that computes a class's array field bound (an expression of no frame).
  const Code& BoundCode(const ast::Expr& bound);
  // The storage a name lives in, for assignment and by-reference arguments; null when it
  // names no variable.
  Variant* NameAddress(const ast::NameExpr& n, Frame& f);
  // A name Option Explicit left undefined when its code was compiled may have been declared
  // since, by ExecuteGlobal or Execute: binds it to that global for good; false when there
  // is still none.
  bool BindLate(const ast::NameExpr& n);
  // The rare paths of EvalName and NameAddress, kept out of line.
  [[gnu::noinline]] Variant EvalLateBound(const ast::NameExpr& n, Frame& f);
  [[gnu::noinline]] Variant* LateBoundAddress(const ast::NameExpr& n, Frame& f);

  // Calls
  automation::DispId ResolveMember(Object* obj, const String& name, ast::MemberCache& cache);
  // Calls a member of an object that is not one of this engine's: it runs under the user's
  // regional settings, whatever SetLocale chose for the script.
  Variant CallHost(Object& obj, automation::DispId id, automation::InvokeKind kind, std::span<Variant> args) {
    if (locale_ == &automation::UserLocale()) return obj.Invoke(id, kind, args);
    automation::LocaleScope user(automation::UserLocale());
    struct Count {
      int& n;
      explicit Count(int& c) : n(++c) {}
      ~Count() { --n; }
    } inHost(hostCalls_);
    return obj.Invoke(id, kind, args);
  }
  // Assignment into a variable: Set requires an object, Let takes an object's default value.
  void Store(Variant& slot, Variant value, bool isSet) {
    if (isSet || value.IsObject()) return StoreObject(slot, std::move(value), isSet);
    slot = std::move(value);
  }
  void StoreObject(Variant& slot, Variant value, bool isSet);
  // Assignment to a name that is not a variable: a named object's member, a property of Me.
  void AssignTo(const ast::NameExpr& target, Variant value, bool isSet, Frame& f);

  void RecordError(const automation::AutomationError& e);
  [[noreturn]] void Rethrow(const automation::AutomationError& e, const ast::Stmt& s);

  // Intrinsics working on source text
  void ExecuteText(StringView code, Frame& f, bool global);
  Variant EvalInFrame(StringView expression, Frame& f);

  ScriptServices services_;
  std::deque<GlobalEntry> globals_;
  std::unordered_map<String, GlobalEntry*> globalsByName_;
  struct NamedObject {
    String name;
    Ref<Object> object;
    bool addMembers;
  };
  std::vector<NamedObject> namedObjects_;
  std::vector<std::shared_ptr<ast::Program>> programs_;
  std::vector<std::shared_ptr<ScriptClass>> classes_;
  std::vector<std::unique_ptr<Procedure>> procedures_;
  std::unordered_map<String, std::shared_ptr<ast::Program>> statementCache_;
  // Text given to Eval, per procedure it runs in: the expression and its code.
  struct EvalUnit {
    ast::ExprPtr expr;
    std::shared_ptr<Code> code;
  };
  std::map<std::pair<const void*, String>, EvalUnit> evalCache_;
  std::unordered_map<const ast::Expr*, std::shared_ptr<Code>> boundCode_;
  Ref<ErrObject> err_;

  RunLimits limits_;
  ValueStack stack_;
  Ref<automation::MemoryBudget> memory_;
  int runDepth_ = 0;
  const automation::Locale* locale_ = &automation::UserLocale();
  int hostCalls_ = 0;  // calls into objects that switched to the user's locale, still running

  friend class GetRefObject;
  friend void CompileUnit(Interpreter&, std::shared_ptr<ast::Program>, const Procedure*, ScriptClass*);
  friend Variant CallRef(Interpreter&, const Procedure&, std::span<Variant>);
 public:
  std::vector<std::unique_ptr<Procedure>>& Procedures() { return procedures_; }
  std::vector<std::shared_ptr<ast::Program>>& Programs() { return programs_; }
};

// Enters a run from the host: arms the deadline and the stack limit on the outermost entry,
// and makes the engine's limits and regional settings the thread's active ones while it
// runs. A call back from an object the script called (which runs under the user's
// settings) makes them current again; other nested entries leave the thread's settings
// alone, so a method call between script objects costs nothing here.
class RunScope {
 public:
  explicit RunScope(Interpreter& in);
  ~RunScope() {
    --in_.runDepth_;
    if (previousLocale_) automation::SetCurrentLocale(*previousLocale_);
  }

 private:
  Interpreter& in_;
  RunLimits::Activation limits_;
  automation::MemoryBudget::Activation memory_;
  const automation::Locale* previousLocale_ = nullptr;  // set when this scope changed it
};

}  // namespace brevalcore::script::runtime
