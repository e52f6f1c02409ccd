// The math words: power, rounding, roots, logarithms, trigonometry, random numbers and pi.
// Computation runs in long double; domain errors and overflow raise the value model's
// floating-point errors instead of pushing NaN or infinity.
#include <cmath>
#include <cstdint>
#include <random>

#include "platform/clock.h"
#include "script/qelscript.h"
#include "script/registry.h"
#include "value/value.h"
#include "words/commonwords.h"

namespace tavlo {

namespace {

using Extended = long double;

// One generator per process, as a desktop runtime has one random seed.
std::mt19937_64& Generator() {
  static std::mt19937_64 generator;
  return generator;
}

void PushReal(TqelScript& s, Extended value) {
  s.Push(Variant(CheckedReal(static_cast<double>(value))));
}

// An integer result; values beyond 32 bits are an invalid operation, not a wrapped number.
void PushInteger(TqelScript& s, Extended value) {
  if (!(value >= -2147483648.0L && value <= 2147483647.0L)) throw EInvalidOp();
  s.Push(Variant(static_cast<std::int32_t>(value)));
}

void WordPower(TqelScript& s) {
  const Extended y = s.PopNumber();
  const Extended x = s.PopNumber();
  if (x < 0 && y != std::trunc(y)) throw EInvalidOp();
  if (x == 0 && y < 0) throw EZeroDivide();
  PushReal(s, std::pow(x, y));
}

void WordAbs(TqelScript& s) {
  PushReal(s, std::fabs(static_cast<Extended>(s.PopNumber())));
}
void WordInt(TqelScript& s) {
  PushReal(s, std::trunc(static_cast<Extended>(s.PopNumber())));
}

void WordFrac(TqelScript& s) {
  const Extended x = s.PopNumber();
  PushReal(s, x - std::trunc(x));
}

void WordRound(TqelScript& s) {
  const Extended x = s.PopNumber();
  // nearbyint rounds in the current mode, which is to nearest with halves to even.
  PushInteger(s, std::nearbyint(x));
}

void WordTrunc(TqelScript& s) {
  PushInteger(s, std::trunc(static_cast<Extended>(s.PopNumber())));
}

void WordSqr(TqelScript& s) {
  const Extended x = s.PopNumber();
  PushReal(s, x * x);
}

void WordSqrt(TqelScript& s) {
  const Extended x = s.PopNumber();
  if (x < 0) throw EInvalidOp();
  PushReal(s, std::sqrt(x));
}

void WordExp(TqelScript& s) {
  PushReal(s, std::exp(static_cast<Extended>(s.PopNumber())));
}

template <Extended (*kLog)(Extended)>
void WordLog(TqelScript& s) {
  const Extended x = s.PopNumber();
  if (x < 0) throw EInvalidOp();
  if (x == 0) throw EZeroDivide();
  PushReal(s, kLog(x));
}

Extended Ln(Extended x) {
  return std::log(x);
}
Extended Log10(Extended x) {
  return std::log10(x);
}
Extended Log2(Extended x) {
  return std::log2(x);
}

// The processor's sine and cosine give up at 2^63; the result is then 0.
constexpr Extended kTrigLimit = 9223372036854775808.0L;

void WordSin(TqelScript& s) {
  const Extended x = s.PopNumber();
  PushReal(s, std::fabs(x) >= kTrigLimit ? 0 : std::sin(x));
}

void WordCos(TqelScript& s) {
  const Extended x = s.PopNumber();
  PushReal(s, std::fabs(x) >= kTrigLimit ? 0 : std::cos(x));
}

void WordTan(TqelScript& s) {
  PushReal(s, std::tan(static_cast<Extended>(s.PopNumber())));
}

void WordArcSin(TqelScript& s) {
  const Extended x = s.PopNumber();
  if (std::fabs(x) > 1) throw EInvalidOp();
  PushReal(s, std::atan2(x, std::sqrt(1 - x * x)));
}

void WordArcCos(TqelScript& s) {
  const Extended x = s.PopNumber();
  if (std::fabs(x) > 1) throw EInvalidOp();
  PushReal(s, std::atan2(std::sqrt(1 - x * x), x));
}

void WordArcTan(TqelScript& s) {
  PushReal(s, std::atan(static_cast<Extended>(s.PopNumber())));
}

void WordArcTan2(TqelScript& s) {
  const Extended x = s.PopNumber();
  const Extended y = s.PopNumber();
  PushReal(s, std::atan2(y, x));
}

void WordPi(TqelScript& s) {
  s.Push(Variant(static_cast<double>(3.1415926535897932385L)));
}

// n > 0: 0 .. n-1; n < 0: n+1 .. 0 (the mirror image); n = 0: a real in [0, 1).
void WordRandom(TqelScript& s) {
  const std::int32_t n = s.PopInteger();
  if (n == 0) {
    s.Push(Variant(std::uniform_real_distribution<double>(0.0, 1.0)(Generator())));
  } else if (n > 0) {
    s.Push(Variant(std::uniform_int_distribution<std::int32_t>(0, n - 1)(Generator())));
  } else {
    s.Push(Variant(std::uniform_int_distribution<std::int32_t>(n + 1, 0)(Generator())));
  }
}

void WordRandomize(TqelScript&) {
  Generator().seed(TickCount() ^ std::random_device{}());
}

void WordRandG(TqelScript& s) {
  const double deviation = s.PopNumber();
  const double mean = s.PopNumber();
  // Box-Muller on two uniforms; 1 - u keeps the logarithm's argument above zero.
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  const double u1 = 1.0 - uniform(Generator());
  const double u2 = uniform(Generator());
  const double z = std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * 3.14159265358979323846 * u2);
  s.Push(Variant(CheckedReal(mean + deviation * z)));
}

const TqelWord kMathWords[] = {
    {"^", WordPower},          {"abs", WordAbs},
    {"int", WordInt},          {"frac", WordFrac},
    {"round", WordRound},      {"trunc", WordTrunc},
    {"sqr", WordSqr},          {"sqrt", WordSqrt},
    {"exp", WordExp},          {"ln", WordLog<Ln>},
    {"log10", WordLog<Log10>}, {"log2", WordLog<Log2>},
    {"sin", WordSin},          {"cos", WordCos},
    {"tan", WordTan},          {"arcsin", WordArcSin},
    {"arccos", WordArcCos},    {"arctan", WordArcTan},
    {"arctan2", WordArcTan2},  {"pi", WordPi},
    {"random", WordRandom},    {"randomize", WordRandomize},
    {"randg", WordRandG},
};

}  // namespace

void RegisterMathWords() {
  RegisterWords(kMathWords);
}

}  // namespace tavlo
