// ToNumber, ToString, ToBoolean, ToPrimitive, typeof, instanceof and the
// loose comparisons.
#include <algorithm>
#include <cmath>
#include <limits>

#include "frame.h"
#include "interpreter.h"
#include "names.h"

namespace player::script {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace


Value Interpreter::to_primitive(const Value& v, bool prefer_string) {
  if (!v.is_object()) return v;
  Object* o = v.object;
  if (o->kind == ObjectKind::Clip) return Value::from(target_path(o->clip));
  const char* first = prefer_string || o->kind == ObjectKind::Date ? "toString" : "valueOf";
  const char* second = prefer_string || o->kind == ObjectKind::Date ? "valueOf" : "toString";
  for (const char* name : {first, second}) {
    Value fn = get_member(v, name);
    if (fn.is_object() && is_callable(fn.object)) {
      Value r = call(fn, v, {});
      if (!r.is_object() || stopped()) return r;
    }
  }
  return Value::from(o->kind == ObjectKind::Function ? "[type Function]" : "[object Object]");
}

double Interpreter::to_number(const Value& v) {
  switch (v.type) {
    case Type::Undefined: return version_ >= 7 ? kNaN : 0;
    case Type::Null: return version_ >= 7 ? kNaN : 0;
    case Type::Boolean: return v.boolean ? 1 : 0;
    case Type::Number: return v.number;
    case Type::String: return string_to_number(v.string, version_);
    case Type::Object: {
      if (v.object->kind == ObjectKind::Clip) return kNaN;
      const Value p = to_primitive(v);
      return p.is_object() ? kNaN : to_number(p);
    }
  }
  return kNaN;
}

std::string Interpreter::to_string(const Value& v) {
  switch (v.type) {
    case Type::Undefined: return version_ >= 7 ? "undefined" : "";
    case Type::Null: return "null";
    case Type::Boolean: return v.boolean ? "true" : "false";
    case Type::Number: return number_to_string(v.number);
    case Type::String: return v.string;
    case Type::Object: {
      const Value p = to_primitive(v, true);
      return p.is_object() ? "[object Object]" : to_string(p);
    }
  }
  return {};
}

bool Interpreter::to_boolean(const Value& v) {
  switch (v.type) {
    case Type::Undefined:
    case Type::Null: return false;
    case Type::Boolean: return v.boolean;
    case Type::Number: return v.number != 0 && !std::isnan(v.number);
    case Type::String: {
      if (version_ >= 7) return !v.string.empty();
      const double n = string_to_number(v.string, version_);
      return n != 0 && !std::isnan(n);
    }
    case Type::Object: return true;
  }
  return false;
}

std::string Interpreter::type_of(const Value& v) {
  switch (v.type) {
    case Type::Undefined: return "undefined";
    case Type::Null: return "null";
    case Type::Boolean: return "boolean";
    case Type::Number: return "number";
    case Type::String: return "string";
    case Type::Object:
      if (v.object->kind == ObjectKind::Clip) return host_.is_text_field(v.object->clip) ? "object" : "movieclip";
      return v.object->kind == ObjectKind::Function ? "function" : "object";
  }
  return "undefined";
}

bool Interpreter::instance_of(const Value& v, const Value& constructor) {
  if (!v.is_object() || !constructor.is_object()) return false;
  const Value proto = get_member(constructor, "prototype");
  if (!proto.is_object()) return false;
  int guard = 0;
  for (Object* p = v.object->proto; p && guard < 10000; p = p->proto, ++guard) {
    if (p == proto.object) return true;
    // ImplementsOp's interfaces hang off the prototype.
    if (const Property* list = p->find("__interfaces__"))
      if (list->value.is_object())
        for (const Value& i : list->value.object->elements)
          if (i.is_object() && i.object == constructor.object) return true;
  }
  return false;
}

bool Interpreter::equals2(const Value& a, const Value& b) {
  if (a.type == b.type) {
    switch (a.type) {
      case Type::Undefined:
      case Type::Null: return true;
      case Type::Boolean: return a.boolean == b.boolean;
      case Type::Number: return a.number == b.number;
      case Type::String: return a.string == b.string;
      case Type::Object: return a.object == b.object;
    }
  }
  if (a.is_nullish() && b.is_nullish()) return true;
  if (a.is_nullish() || b.is_nullish()) return false;
  if (a.type == Type::Number && b.type == Type::String) return a.number == to_number(b);
  if (a.type == Type::String && b.type == Type::Number) return to_number(a) == b.number;
  if (a.type == Type::Boolean) return equals2(Value::from(a.boolean ? 1.0 : 0.0), b);
  if (b.type == Type::Boolean) return equals2(a, Value::from(b.boolean ? 1.0 : 0.0));
  if (a.is_object() && !b.is_object()) {
    const Value p = to_primitive(a);
    return !p.is_object() && equals2(p, b);
  }
  if (b.is_object() && !a.is_object()) {
    const Value p = to_primitive(b);
    return !p.is_object() && equals2(a, p);
  }
  return false;
}

// a < b, or undefined when either side is NaN.
Value Interpreter::less2(const Value& a, const Value& b) {
  const Value pa = to_primitive(a), pb = to_primitive(b);
  if (pa.type == Type::String && pb.type == Type::String) return Value::from(pa.string < pb.string);
  const double x = to_number(pa), y = to_number(pb);
  if (std::isnan(x) || std::isnan(y)) return Value{};
  return Value::from(x < y);
}

}  // namespace player::script
