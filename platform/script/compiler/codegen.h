#pragma once
// Turns a bound block of statements (a procedure's body, or a unit's script-level code) into
// register bytecode. Names are already bound (compiler.h); what remains is to lay out
// temporaries and constants in the window and to choose instructions. Every statement and
// every expression becomes instructions.
#include <memory>

#include "platform/script/runtime/bytecode.h"

namespace brevalcore::script::compile {

// `locals` is the number of slots the code may name (a procedure's slotCount; for text run by
// Execute inside a procedure, that procedure's). With `countRuns` every statement counts its
// starts (coverage).
std::shared_ptr<runtime::Code> GenerateCode(const ast::Block& body, uint32_t locals, bool countRuns);

// Code that computes `e` into register `locals` (the first temporary) and returns: the text
// given to Eval, run in the frame that asked for it.
std::shared_ptr<runtime::Code> GenerateExpressionCode(const ast::Expr& e, uint32_t locals);

}  // namespace brevalcore::script::compile
