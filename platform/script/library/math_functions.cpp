// The math functions, Rnd/Randomize with the platform's generator, and Round.
#include <cmath>
#include <algorithm>
#include <cstring>

#include "platform/script/library/library.h"

namespace brevalcore::script::library {
namespace {

using namespace automation;

// A Double function of one number: Null answers Null, results that leave the Double range 6.
Variant Real(Args a, double (*f)(double), bool (*valid)(double) = nullptr) {
  const Variant v = Value(a, 0);
  if (v.IsNull()) return Variant::Null();
  const double x = ToDouble(v);
  if (valid && !valid(x)) InvalidArgument();
  const double r = f(x);
  if (std::isinf(r)) Raise(err::kOverflow);
  return Variant(r);
}

Variant Atn(BuiltinContext&, Args a) { return Real(a, [](double x) { return std::atan(x); }); }
Variant Cos(BuiltinContext&, Args a) { return Real(a, [](double x) { return std::cos(x); }); }
Variant Sin(BuiltinContext&, Args a) { return Real(a, [](double x) { return std::sin(x); }); }
Variant Tan(BuiltinContext&, Args a) { return Real(a, [](double x) { return std::tan(x); }); }
Variant Exp(BuiltinContext&, Args a) { return Real(a, [](double x) { return std::exp(x); }); }
Variant Log(BuiltinContext&, Args a) {
  return Real(a, [](double x) { return std::log(x); }, [](double x) { return x > 0; });
}
Variant Sqr(BuiltinContext&, Args a) {
  return Real(a, [](double x) { return std::sqrt(x); }, [](double x) { return x >= 0; });
}

// The platform's generator: a 24-bit linear congruence, seeded with 327680 at start.
struct Generator {
  static constexpr uint32_t kMultiplier = 1140671485u;
  static constexpr uint32_t kIncrement = 12820163u;
  static constexpr uint32_t kMask = 0xFFFFFFu;
  uint32_t seed = 327680u;
  float Current() const { return static_cast<float>(seed) / 16777216.0f; }
  float Next() {
    seed = (seed * kMultiplier + kIncrement) & kMask;
    return Current();
  }
};

Generator& TheGenerator() {
  static Generator generator;  // the control runs on one thread
  return generator;
}

Variant Rnd(BuiltinContext&, Args a) {
  Generator& g = TheGenerator();
  if (!Given(a, 0)) return Variant(g.Next());
  const float n = ToSingle(a[0]);
  if (n == 0) return Variant(g.Current());
  if (n < 0) {
    // A negative argument reseeds from its Single bits, so the same number repeats.
    uint32_t bits;
    std::memcpy(&bits, &n, sizeof bits);
    g.seed = (bits + (bits >> 24)) & Generator::kMask;
  }
  return Variant(g.Next());
}

Variant Randomize(BuiltinContext& context, Args a) {
  Generator& g = TheGenerator();
  double n;
  if (Given(a, 0)) {
    n = ToDouble(a[0]);
  } else {
    const double day = context.Now().value;
    n = (day - std::floor(day)) * 86400.0;  // Timer
  }
  uint64_t bits;
  std::memcpy(&bits, &n, sizeof bits);
  uint32_t high = static_cast<uint32_t>(bits >> 32);
  high = ((high & 0xFFFF) ^ (high >> 16)) << 8;
  g.seed = (g.seed & 0xFF) | (high & Generator::kMask);
  return Variant();
}

double RoundHalfEven(double x) {
  const double floor = std::floor(x);
  const double diff = x - floor;
  if (diff > 0.5) return floor + 1;
  if (diff < 0.5) return floor;
  return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

// Round(number[, decimals]): half to even; integers and Currency keep their type.
Variant Round(BuiltinContext&, Args a) {
  const Variant v = Value(a, 0);
  if (v.IsNull()) return Variant::Null();
  const int32_t decimals = LongArg(a, 1, 0);
  if (decimals < 0) InvalidArgument();
  switch (v.type()) {
    case VarType::Empty: return Variant(int16_t{0});
    case VarType::Boolean:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Byte: return v;
    case VarType::Currency: {
      if (decimals >= 4) return v;
      int64_t step = 1;
      for (int i = decimals; i < 4; ++i) step *= 10;
      const int64_t units = v.AsCurrency().value;
      int64_t q = units / step, r = units % step;
      if (r < 0) { r += step; --q; }
      if (2 * r > step || (2 * r == step && (q & 1))) ++q;
      int64_t rounded;
      // Rounding up the largest amounts leaves the Currency range.
      if (__builtin_mul_overflow(q, step, &rounded)) Raise(err::kOverflow);
      return Variant(Currency{rounded});
    }
    default: break;
  }
  const double x = ToDouble(v);
  if (decimals > 15) return v.type() == VarType::Single ? Variant(static_cast<float>(x)) : Variant(x);
  const double scale = std::pow(10.0, decimals);
  double scaled = x * scale;
  // A value within binary noise of a half counts as the half, so 2.675 * 100 is 267.5.
  const double half = std::round(scaled * 2) / 2;
  if (std::fabs(scaled - half) <= 1e-9 * std::max(1.0, std::fabs(scaled))) scaled = half;
  const double result = RoundHalfEven(scaled) / scale;
  if (v.type() == VarType::Single) return Variant(static_cast<float>(result));
  if (v.type() == VarType::Date) return Variant(Date{result});
  return Variant(result);
}

const Builtin kBuiltins[] = {
    {u"Atn", 1, 1, Atn}, {u"Cos", 1, 1, Cos}, {u"Sin", 1, 1, Sin},           {u"Tan", 1, 1, Tan},
    {u"Exp", 1, 1, Exp}, {u"Log", 1, 1, Log}, {u"Sqr", 1, 1, Sqr},           {u"Rnd", 0, 1, Rnd},
    {u"Randomize", 0, 1, Randomize},          {u"Round", 1, 2, Round},
};

}  // namespace

std::span<const Builtin> MathBuiltins() { return kBuiltins; }

}  // namespace brevalcore::script::library
