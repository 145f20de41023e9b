// Math.
#include <cmath>
#include <limits>

#include "builtins.h"

namespace player::script {

namespace {

template <double (*F)(double)>
Value unary(Interpreter& in, const Value&, std::vector<Value>& args) {
  return Value::from(F(in.to_number(arg(args, 0))));
}

double round_half_up(double x) { return std::floor(x + 0.5); }

Value atan2_f(Interpreter& in, const Value&, std::vector<Value>& args) {
  return Value::from(std::atan2(in.to_number(arg(args, 0)), in.to_number(arg(args, 1))));
}

Value pow_f(Interpreter& in, const Value&, std::vector<Value>& args) {
  return Value::from(std::pow(in.to_number(arg(args, 0)), in.to_number(arg(args, 1))));
}

template <bool Max>
Value extreme(Interpreter& in, const Value&, std::vector<Value>& args) {
  double best = Max ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
  for (const Value& v : args) {
    const double n = in.to_number(v);
    if (std::isnan(n)) return Value::from(n);
    if (Max ? n > best : n < best) best = n;
  }
  return Value::from(best);
}

Value random_f(Interpreter& in, const Value&, std::vector<Value>&) { return Value::from(in.random()); }

double abs_f(double x) { return std::fabs(x); }
double acos_f(double x) { return std::acos(x); }
double asin_f(double x) { return std::asin(x); }
double atan_f(double x) { return std::atan(x); }
double ceil_f(double x) { return std::ceil(x); }
double cos_f(double x) { return std::cos(x); }
double exp_f(double x) { return std::exp(x); }
double floor_f(double x) { return std::floor(x); }
double log_f(double x) { return std::log(x); }
double sin_f(double x) { return std::sin(x); }
double sqrt_f(double x) { return std::sqrt(x); }
double tan_f(double x) { return std::tan(x); }

}  // namespace

void install_math_builtins(Interpreter& in) {
  Object* math = in.new_object(in.prototype_of("Object"));
  in.global()->put("Math", Value::from(math), kDontEnum);
  define(in, math, "abs", unary<abs_f>);
  define(in, math, "acos", unary<acos_f>);
  define(in, math, "asin", unary<asin_f>);
  define(in, math, "atan", unary<atan_f>);
  define(in, math, "ceil", unary<ceil_f>);
  define(in, math, "cos", unary<cos_f>);
  define(in, math, "exp", unary<exp_f>);
  define(in, math, "floor", unary<floor_f>);
  define(in, math, "log", unary<log_f>);
  define(in, math, "round", unary<round_half_up>);
  define(in, math, "sin", unary<sin_f>);
  define(in, math, "sqrt", unary<sqrt_f>);
  define(in, math, "tan", unary<tan_f>);
  define(in, math, "atan2", atan2_f);
  define(in, math, "pow", pow_f);
  define(in, math, "max", extreme<true>);
  define(in, math, "min", extreme<false>);
  define(in, math, "random", random_f);
  const std::pair<const char*, double> constants[] = {
      {"E", 2.718281828459045}, {"LN10", 2.302585092994046}, {"LN2", 0.6931471805599453},
      {"LOG10E", 0.4342944819032518}, {"LOG2E", 1.4426950408889634}, {"PI", 3.141592653589793},
      {"SQRT1_2", 0.7071067811865476}, {"SQRT2", 1.4142135623730951}};
  for (const auto& [name, value] : constants) math->put(name, Value::from(value), kDontEnum | kDontDelete | kReadOnly);
}

}  // namespace player::script
