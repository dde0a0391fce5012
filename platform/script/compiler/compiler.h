#pragma once
// Binds every name of a parsed unit to where it lives: a local slot, a field of Me, a global
// entry, a built-in function or constant, or one of the engine's intrinsics. Procedures and
// classes are registered with the interpreter before any name is bound, so a unit may call
// procedures declared further down, as the language allows.
#include <memory>

#include "platform/script/runtime/interpreter.h"

namespace brevalcore::script::compile {

// Compiles a whole unit. `scopeProc` and `scopeClass` are set for text run by Execute inside
// a procedure: its locals and its class's members are visible, new names become globals.
void CompileProgram(runtime::Interpreter& in, const std::shared_ptr<ast::Program>& program,
                    const runtime::Procedure* scopeProc, runtime::ScriptClass* scopeClass);

// Binds the names of a single expression (Eval).
void CompileExpression(runtime::Interpreter& in, ast::Expr& expr, const runtime::Procedure* scopeProc,
                       runtime::ScriptClass* scopeClass);

}  // namespace brevalcore::script::compile
