#pragma once
// The language's operators over Variants: Null propagation, Empty as zero or "", strings
// read as numbers, and the result type rules (Byte -> Integer -> Long -> Double when a result
// does not fit). Numbers never allocate: only string results touch the heap.
#include <algorithm>

#include "platform/automation/memory.h"
#include "platform/automation/variant.h"
#include "platform/script/syntax/ast.h"

namespace brevalcore::script::runtime {

using automation::Variant;

Variant Add(const Variant& a, const Variant& b);
Variant Subtract(const Variant& a, const Variant& b);
Variant Multiply(const Variant& a, const Variant& b);
Variant Divide(const Variant& a, const Variant& b);
Variant IntDivide(const Variant& a, const Variant& b);
Variant Modulo(const Variant& a, const Variant& b);
Variant Power(const Variant& a, const Variant& b);
// a & b. `growing`: the result starts a chain whose later links append to it in place, so a
// short text gets room to double. Two texts, the common case, are joined inline.
Variant ConcatValues(const Variant& a, const Variant& b, bool growing);
inline Variant JoinTexts(automation::StringView head, automation::StringView tail, bool growing) {
  const size_t size = head.size() + tail.size();
  constexpr size_t kShort = 1024;
  return Variant::Joined(head, tail, growing && size <= kShort ? 2 * size : size);
}
inline Variant Concat(const Variant& a, const Variant& b, bool growing = false) {
  if (a.IsString() && b.IsString()) return JoinTexts(a.AsString(), b.AsString(), growing);
  return ConcatValues(a, b, growing);
}
Variant Negate(const Variant& a);
// And, Or, Xor, Eqv, Imp: logical on Booleans, bitwise on numbers.
Variant Logical(ast::Op op, const Variant& a, const Variant& b);
Variant Not(const Variant& a);
// =, <>, <, >, <=, >=: a Boolean, or Null when either side is Null.
Variant Relational(ast::Op op, const Variant& a, const Variant& b);
// Object identity (Is); 424 when either side is not an object.
bool SameObject(const Variant& a, const Variant& b);

// Applies a binary operator.
Variant Binary(ast::Op op, const Variant& a, const Variant& b);

// The truth of a condition (If, While, Until): Null counts as False; text must read as a
// Boolean or a number (13 otherwise).
bool Truth(const Variant& v);

}  // namespace brevalcore::script::runtime
