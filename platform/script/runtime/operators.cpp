#include "platform/script/runtime/operators.h"

#include <cmath>
#include <limits>

#include "platform/automation/convert.h"
#include "platform/automation/memory.h"
#include "platform/automation/error.h"

namespace brevalcore::script::runtime {
namespace {

using automation::Currency;
using automation::Raise;
using automation::VarType;
namespace err = automation::err;

// Numeric classes, ordered so that the wider of two operands decides the result type.
enum Rank { kByte, kInteger, kLong, kSingle, kDouble, kCurrency, kDate };

struct Num {
  Rank rank;
  int64_t i = 0;  // kByte..kLong; Currency scaled by 10 000
  double d = 0;   // kSingle, kDouble, kDate
};

// Reads an operand as a number; strings become Doubles, Empty and Booleans Integers.
Num ToNum(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty: return {kInteger, 0};
    case VarType::Boolean: return {kInteger, v.AsBool() ? -1 : 0};
    case VarType::Byte: return {kByte, v.AsByte()};
    case VarType::Integer: return {kInteger, v.AsInteger()};
    case VarType::Long: return {kLong, v.AsLong()};
    case VarType::Single: return {kSingle, 0, v.AsSingle()};
    case VarType::Double: return {kDouble, 0, v.AsDouble()};
    case VarType::Currency: return {kCurrency, v.AsCurrency().value};
    case VarType::Date: return {kDate, 0, v.AsDate().value};
    case VarType::String: return {kDouble, 0, automation::ToDouble(v)};
    case VarType::Object: return ToNum(automation::Dereference(v));
    default: Raise(err::kTypeMismatch);
  }
}

double AsDouble(const Num& n) {
  if (n.rank <= kLong) return static_cast<double>(n.i);
  if (n.rank == kCurrency) return static_cast<double>(n.i) / Currency::kScale;
  return n.d;
}

Variant FitInteger(int64_t r, Rank rank) {
  if (rank == kByte && r >= 0 && r <= 255) return Variant(static_cast<uint8_t>(r));
  if (rank <= kInteger && r >= -32768 && r <= 32767) return Variant(static_cast<int16_t>(r));
  if (r >= std::numeric_limits<int32_t>::min() && r <= std::numeric_limits<int32_t>::max())
    return Variant(static_cast<int32_t>(r));
  return Variant(static_cast<double>(r));
}

Variant CheckedDouble(double d) {
  if (!std::isfinite(d)) Raise(err::kOverflow);
  return Variant(d);
}

Variant FromDoubleRank(double d, Rank rank) {
  if (!std::isfinite(d)) Raise(err::kOverflow);
  if (rank == kSingle) {
    if (std::fabs(d) > std::numeric_limits<float>::max()) return Variant(d);
    return Variant(static_cast<float>(d));
  }
  if (rank == kDate) return Variant(automation::Date{d});
  return Variant(d);
}

Rank Wider(Rank a, Rank b) {
  if (a == kDate || b == kDate) return kDate;
  if (a == kCurrency || b == kCurrency) {
    const Rank other = a == kCurrency ? b : a;
    return (other == kSingle || other == kDouble) ? kDouble : kCurrency;
  }
  if ((a == kSingle && b == kLong) || (a == kLong && b == kSingle)) return kDouble;
  return a > b ? a : b;
}

enum class Arith { Add, Sub, Mul };

// Currency with Currency or a whole number, exactly: units in 128 bits, a product scaled
// back with half-to-even rounding; 6 when the result leaves the Currency range.
Variant CurrencyArithmetic(Arith op, const Num& x, const Num& y) {
  using Wide = __int128;
  const Wide cx = x.rank == kCurrency ? Wide{x.i} : Wide{x.i} * Currency::kScale;
  const Wide cy = y.rank == kCurrency ? Wide{y.i} : Wide{y.i} * Currency::kScale;
  Wide r;
  if (op == Arith::Mul) {
    const Wide product = cx * cy;
    r = product / Currency::kScale;
    Wide rest = product % Currency::kScale;
    if (rest < 0) { rest += Currency::kScale; --r; }
    if (2 * rest > Currency::kScale || (2 * rest == Currency::kScale && (r & 1))) ++r;
  } else {
    r = op == Arith::Add ? cx + cy : cx - cy;
  }
  if (r > INT64_MAX || r < INT64_MIN) Raise(err::kOverflow);
  return Variant(Currency{static_cast<int64_t>(r)});
}

Variant Arithmetic(Arith op, const Variant& a, const Variant& b) {
  // Fast paths: Integer and Long operands, Doubles.
  const VarType ta = a.type(), tb = b.type();
  if ((ta == VarType::Integer || ta == VarType::Long) && (tb == VarType::Integer || tb == VarType::Long)) {
    const int64_t x = ta == VarType::Integer ? a.AsInteger() : a.AsLong();
    const int64_t y = tb == VarType::Integer ? b.AsInteger() : b.AsLong();
    const int64_t r = op == Arith::Add ? x + y : op == Arith::Sub ? x - y : x * y;
    return FitInteger(r, (ta == VarType::Long || tb == VarType::Long) ? kLong : kInteger);
  }
  if (ta == VarType::Double && tb == VarType::Double) {
    const double x = a.AsDouble(), y = b.AsDouble();
    return CheckedDouble(op == Arith::Add ? x + y : op == Arith::Sub ? x - y : x * y);
  }
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  if (op == Arith::Add) {
    if (ta == VarType::String && tb == VarType::String) return Variant::Joined(a.AsString(), b.AsString());
    // With +, an Empty operand leaves the other one as it is: Empty + "x" is "x".
    if (ta == VarType::Empty) return tb == VarType::Empty ? Variant(int16_t{0}) : automation::Dereference(b);
    if (tb == VarType::Empty) return automation::Dereference(a);
  }
  const Num x = ToNum(a), y = ToNum(b);
  Rank rank = Wider(x.rank, y.rank);
  if (rank <= kLong) {
    const int64_t r = op == Arith::Add ? x.i + y.i : op == Arith::Sub ? x.i - y.i : x.i * y.i;
    return FitInteger(r, rank);
  }
  if (rank == kCurrency) return CurrencyArithmetic(op, x, y);
  const double dx = AsDouble(x), dy = AsDouble(y);
  if (rank == kDate) {
    if (op == Arith::Mul) rank = kDouble;
    if (op == Arith::Sub && x.rank == kDate && y.rank == kDate) rank = kDouble;
  }
  const double r = op == Arith::Add ? dx + dy : op == Arith::Sub ? dx - dy : dx * dy;
  return FromDoubleRank(r, rank);
}

// Operands of \, Mod and the bitwise operators: rounded to whole numbers.
struct Whole {
  Rank rank;
  int64_t value;
};

Whole ToWhole(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty: return {kInteger, 0};
    case VarType::Boolean: return {kInteger, v.AsBool() ? -1 : 0};
    case VarType::Byte: return {kByte, v.AsByte()};
    case VarType::Integer: return {kInteger, v.AsInteger()};
    case VarType::Long: return {kLong, v.AsLong()};
    case VarType::Object: return ToWhole(automation::Dereference(v));
    default: return {kLong, automation::ToLong(v)};
  }
}

Variant LogicalNull(ast::Op op, const Variant& other, bool nullIsLeft) {
  if (other.IsNull()) return Variant::Null();
  const Whole w = ToWhole(other);
  const bool isBool = other.type() == VarType::Boolean;
  switch (op) {
    case ast::Op::And:
      if (w.value == 0) return isBool ? Variant(false) : FitInteger(0, w.rank);
      return Variant::Null();
    case ast::Op::Or:
      if (w.value == -1) return isBool ? Variant(true) : FitInteger(-1, w.rank);
      return Variant::Null();
    case ast::Op::Imp:
      // Null Imp True is True; False Imp Null is True.
      if (nullIsLeft && w.value == -1) return isBool ? Variant(true) : FitInteger(-1, w.rank);
      if (!nullIsLeft && w.value == 0) return isBool ? Variant(true) : FitInteger(-1, w.rank);
      return Variant::Null();
    default:
      return Variant::Null();
  }
}

}  // namespace

Variant Add(const Variant& a, const Variant& b) { return Arithmetic(Arith::Add, a, b); }
Variant Subtract(const Variant& a, const Variant& b) { return Arithmetic(Arith::Sub, a, b); }
Variant Multiply(const Variant& a, const Variant& b) { return Arithmetic(Arith::Mul, a, b); }

Variant Divide(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  const Num x = ToNum(a), y = ToNum(b);
  const double dx = AsDouble(x), dy = AsDouble(y);
  if (dy == 0) Raise(dx == 0 ? err::kOverflow : err::kDivisionByZero);
  // A quotient is a Double (Currency ones too), or a Single when Singles meet no wider type.
  const Rank rank = Wider(x.rank, y.rank);
  if (rank == kSingle || (x.rank == kSingle && y.rank <= kInteger) || (y.rank == kSingle && x.rank <= kInteger))
    return FromDoubleRank(dx / dy, kSingle);
  return CheckedDouble(dx / dy);
}

Variant IntDivide(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  const Whole x = ToWhole(a), y = ToWhole(b);
  if (y.value == 0) Raise(err::kDivisionByZero);
  return FitInteger(x.value / y.value, x.rank > y.rank ? x.rank : y.rank);
}

Variant Modulo(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  const Whole x = ToWhole(a), y = ToWhole(b);
  if (y.value == 0) Raise(err::kDivisionByZero);
  return FitInteger(x.value % y.value, x.rank > y.rank ? x.rank : y.rank);
}

Variant Power(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  const double x = AsDouble(ToNum(a)), y = AsDouble(ToNum(b));
  if (x == 0 && y < 0) Raise(err::kInvalidProcedureCall);
  const double r = std::pow(x, y);
  if (std::isnan(r)) Raise(err::kInvalidProcedureCall);
  return CheckedDouble(r);
}

Variant ConcatValues(const Variant& a, const Variant& b, bool growing) {
  if (a.IsNull() && b.IsNull()) return Variant::Null();
  automation::TextRoom roomA, roomB;
  const automation::StringView head = automation::TextForJoin(a, roomA);
  return JoinTexts(head, automation::TextForJoin(b, roomB), growing);
}

Variant Negate(const Variant& a) {
  switch (a.type()) {
    case VarType::Null: return Variant::Null();
    case VarType::Empty: return Variant(int16_t{0});
    case VarType::Integer: return FitInteger(-static_cast<int64_t>(a.AsInteger()), kInteger);
    case VarType::Long: return FitInteger(-static_cast<int64_t>(a.AsLong()), kLong);
    case VarType::Double: return Variant(-a.AsDouble());
    default: break;
  }
  const Num x = ToNum(a);
  if (x.rank <= kLong) return FitInteger(-x.i, x.rank == kByte ? kInteger : x.rank);
  if (x.rank == kCurrency) {
    if (x.i == INT64_MIN) Raise(err::kOverflow);
    return Variant(Currency{-x.i});
  }
  return FromDoubleRank(-x.d, x.rank);
}

Variant Not(const Variant& a) {
  if (a.IsNull()) return Variant::Null();
  if (a.type() == VarType::Boolean) return Variant(!a.AsBool());
  const Whole w = ToWhole(a);
  if (w.rank == kByte) return Variant(static_cast<uint8_t>(~w.value & 0xFF));
  return FitInteger(~w.value, w.rank);
}

Variant Logical(ast::Op op, const Variant& a, const Variant& b) {
  if (a.IsNull()) return LogicalNull(op, b, true);
  if (b.IsNull()) return LogicalNull(op, a, false);
  const bool bools = a.type() == VarType::Boolean && b.type() == VarType::Boolean;
  const Whole x = ToWhole(a), y = ToWhole(b);
  int64_t r;
  switch (op) {
    case ast::Op::And: r = x.value & y.value; break;
    case ast::Op::Or: r = x.value | y.value; break;
    case ast::Op::Xor: r = x.value ^ y.value; break;
    case ast::Op::Eqv: r = ~(x.value ^ y.value); break;
    default: r = ~x.value | y.value; break;  // Imp
  }
  if (bools) return Variant(r != 0);
  const Rank rank = x.rank > y.rank ? x.rank : y.rank;
  if (rank == kByte) return Variant(static_cast<uint8_t>(r & 0xFF));
  if (rank == kInteger) return Variant(static_cast<int16_t>(r));
  return Variant(static_cast<int32_t>(r));
}

Variant Relational(ast::Op op, const Variant& a, const Variant& b) {
  using automation::Ordering;
  const Ordering o = automation::Compare(a, b);
  if (o == Ordering::Null) return Variant::Null();
  switch (op) {
    case ast::Op::Eq: return Variant(o == Ordering::Equal);
    case ast::Op::Ne: return Variant(o != Ordering::Equal);
    case ast::Op::Lt: return Variant(o == Ordering::Less);
    case ast::Op::Gt: return Variant(o == Ordering::Greater);
    case ast::Op::Le: return Variant(o != Ordering::Greater);
    default: return Variant(o != Ordering::Less);
  }
}

bool SameObject(const Variant& a, const Variant& b) {
  if (!a.IsObject() || !b.IsObject()) Raise(err::kObjectRequired);
  return a.AsObject() == b.AsObject();
}

Variant Binary(ast::Op op, const Variant& a, const Variant& b) {
  using ast::Op;
  switch (op) {
    case Op::Add: return Add(a, b);
    case Op::Sub: return Subtract(a, b);
    case Op::Mul: return Multiply(a, b);
    case Op::Div: return Divide(a, b);
    case Op::IntDiv: return IntDivide(a, b);
    case Op::Mod: return Modulo(a, b);
    case Op::Pow: return Power(a, b);
    case Op::Concat: return Concat(a, b);
    case Op::And: case Op::Or: case Op::Xor: case Op::Eqv: case Op::Imp: return Logical(op, a, b);
    case Op::Is: return Variant(SameObject(a, b));
    default: return Relational(op, a, b);
  }
}

bool Truth(const Variant& v) {
  switch (v.type()) {
    case VarType::Boolean: return v.AsBool();
    case VarType::Null: case VarType::Empty: return false;
    case VarType::Integer: return v.AsInteger() != 0;
    case VarType::Long: return v.AsLong() != 0;
    case VarType::Double: return v.AsDouble() != 0;
    default: return automation::ToBool(v);
  }
}

}  // namespace brevalcore::script::runtime
