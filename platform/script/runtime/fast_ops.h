#pragma once
// The operators' common cases, inline: Integer, Long and Double operands and plain texts, as
// rule scripts use them. Each returns false, leaving `out` alone, when the language's general
// rules (operators.h) must decide: other types, Null, a division by zero, a result that does
// not fit. `out` may be one of the operands.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/automation/convert.h"
#include "platform/automation/variant.h"
#include "platform/script/syntax/ast.h"

namespace brevalcore::script::runtime::fast {

using automation::VarType;
using automation::Variant;

#define BREVALCORE_HOT [[gnu::always_inline]] inline

BREVALCORE_HOT bool IsWhole(VarType t) { return t == VarType::Integer || t == VarType::Long; }
BREVALCORE_HOT bool IsNumeric(VarType t) { return IsWhole(t) || t == VarType::Double; }
BREVALCORE_HOT int32_t WholeOf(const Variant& v) { return v.AsWhole(); }
BREVALCORE_HOT double DoubleOf(const Variant& v) { return v.type() == VarType::Double ? v.AsDouble() : WholeOf(v); }

// An Integer result that does not fit becomes a Long, a Long one a Double.
BREVALCORE_HOT void SetWhole(Variant& out, int64_t r, bool isLong) {
  if (!isLong && r == static_cast<int16_t>(r)) return out.SetInteger(static_cast<int16_t>(r));
  if (r == static_cast<int32_t>(r)) return out.SetLong(static_cast<int32_t>(r));
  out.SetDouble(static_cast<double>(r));
}

// Of two whole numbers (Integer 2, Long 3), whether either is a Long: the low bit of either.
BREVALCORE_HOT bool EitherLong(VarType a, VarType b) {
  return ((static_cast<unsigned>(a) | static_cast<unsigned>(b)) & 1u) != 0;
}

BREVALCORE_HOT bool Arithmetic(ast::Op op, const Variant& a, const Variant& b, Variant& out) {
  const VarType ta = a.type(), tb = b.type();
  if (IsWhole(ta) && IsWhole(tb)) {
    const int64_t x = WholeOf(a), y = WholeOf(b);
    const bool isLong = EitherLong(ta, tb);
    switch (op) {
      case ast::Op::Add: SetWhole(out, x + y, isLong); return true;
      case ast::Op::Sub: SetWhole(out, x - y, isLong); return true;
      case ast::Op::Mul: SetWhole(out, x * y, isLong); return true;
      case ast::Op::Mod: if (y == 0) return false; SetWhole(out, x % y, isLong); return true;
      case ast::Op::IntDiv: if (y == 0) return false; SetWhole(out, x / y, isLong); return true;
      case ast::Op::Div: if (y == 0) return false; out.SetDouble(static_cast<double>(x) / static_cast<double>(y)); return true;
      default: return false;
    }
  }
  if (!IsNumeric(ta) || !IsNumeric(tb)) return false;
  const double x = DoubleOf(a), y = DoubleOf(b);
  double r;
  switch (op) {
    case ast::Op::Add: r = x + y; break;
    case ast::Op::Sub: r = x - y; break;
    case ast::Op::Mul: r = x * y; break;
    case ast::Op::Div: if (y == 0) return false; r = x / y; break;
    default: return false;
  }
  if (!std::isfinite(r)) return false;
  out.SetDouble(r);
  return true;
}

// Two texts equal unit for unit: a length test and one byte comparison.
BREVALCORE_HOT bool SameText(automation::StringView a, automation::StringView b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(char16_t)) == 0);
}

// = and <> of two texts, which need no order: whether `op` holds in `holds`; false otherwise.
BREVALCORE_HOT bool TextEquality(ast::Op op, const Variant& a, const Variant& b, bool& holds) {
  if ((op != ast::Op::Eq && op != ast::Op::Ne) || a.type() != VarType::String || b.type() != VarType::String) return false;
  holds = SameText(a.AsString(), b.AsString()) == (op == ast::Op::Eq);
  return true;
}

// -1, 0 or 1 in `order`; false when the general comparison must decide.
BREVALCORE_HOT bool Order(const Variant& a, const Variant& b, int& order) {
  const VarType ta = a.type(), tb = b.type();
  if (IsWhole(ta) && IsWhole(tb)) {
    const int32_t x = WholeOf(a), y = WholeOf(b);
    order = x < y ? -1 : (x > y ? 1 : 0);
    return true;
  }
  if (IsNumeric(ta) && IsNumeric(tb)) {
    const double x = DoubleOf(a), y = DoubleOf(b);
    order = x < y ? -1 : (x > y ? 1 : 0);
    return true;
  }
  if (ta == VarType::String && tb == VarType::String) {
    const int c = a.AsString().compare(b.AsString());
    order = c < 0 ? -1 : (c > 0 ? 1 : 0);
    return true;
  }
  return false;
}

// Whether a relational operator holds for an ordering of -1, 0 or 1.
BREVALCORE_HOT bool Holds(ast::Op op, int o) {
  switch (op) {
    case ast::Op::Eq: return o == 0;
    case ast::Op::Ne: return o != 0;
    case ast::Op::Lt: return o < 0;
    case ast::Op::Gt: return o > 0;
    case ast::Op::Le: return o <= 0;
    default: return o >= 0;
  }
}

BREVALCORE_HOT bool Relation(ast::Op op, const Variant& a, const Variant& b, Variant& out) {
  bool holds;
  if (TextEquality(op, a, b, holds)) {
    out.SetBool(holds);
    return true;
  }
  int o;
  if (!Order(a, b, o)) return false;
  out.SetBool(Holds(op, o));
  return true;
}

// And, Or, Xor, Eqv, Imp on two Booleans (logical) or two whole numbers (bitwise).
BREVALCORE_HOT bool Logical(ast::Op op, const Variant& a, const Variant& b, Variant& out) {
  const VarType ta = a.type(), tb = b.type();
  const bool bools = ta == VarType::Boolean && tb == VarType::Boolean;
  if (!bools && !(IsWhole(ta) && IsWhole(tb))) return false;
  const int32_t x = bools ? -static_cast<int32_t>(a.AsBool()) : WholeOf(a);
  const int32_t y = bools ? -static_cast<int32_t>(b.AsBool()) : WholeOf(b);
  int32_t r;
  switch (op) {
    case ast::Op::And: r = x & y; break;
    case ast::Op::Or: r = x | y; break;
    case ast::Op::Xor: r = x ^ y; break;
    case ast::Op::Eqv: r = ~(x ^ y); break;
    default: r = ~x | y; break;  // Imp
  }
  if (bools) out.SetBool(r != 0);
  else if (EitherLong(ta, tb)) out.SetLong(r);
  else out.SetInteger(static_cast<int16_t>(r));
  return true;
}

// Select Case: Integer and Long values compared without the general rules.
BREVALCORE_HOT bool WholeEqual(const Variant& a, const Variant& b, bool& equal) {
  if (!IsWhole(a.type()) || !IsWhole(b.type())) return false;
  equal = WholeOf(a) == WholeOf(b);
  return true;
}

// The truth of Booleans and whole numbers; false in `known` for the general rules.
BREVALCORE_HOT bool Truth(const Variant& v, bool& known) {
  known = true;
  switch (v.type()) {
    case VarType::Boolean: return v.AsBool();
    case VarType::Integer: return v.AsInteger() != 0;
    case VarType::Long: return v.AsLong() != 0;
    default: known = false; return false;
  }
}

BREVALCORE_HOT int32_t Subscript(const Variant& v) {
  if (IsWhole(v.type())) return WholeOf(v);
  return automation::ToLong(v);
}

// For/Next on whole numbers: counter += step, and whether the loop goes on; false in `known`
// for the general rules.
BREVALCORE_HOT bool StepWhole(Variant& counter, const Variant& step, const Variant& limit, bool up, bool& known) {
  known = IsWhole(counter.type()) && IsWhole(step.type()) && IsWhole(limit.type());
  if (!known) return false;
  const int64_t next = static_cast<int64_t>(WholeOf(counter)) + WholeOf(step);
  SetWhole(counter, next, EitherLong(counter.type(), step.type()));
  return up ? next <= WholeOf(limit) : next >= WholeOf(limit);
}

#undef BREVALCORE_HOT

}  // namespace brevalcore::script::runtime::fast
