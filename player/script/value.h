// ActionScript values and objects.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "clip_host.h"

namespace player::script {

class Object;
class Interpreter;

enum class Type : std::uint8_t { Undefined, Null, Boolean, Number, String, Object };

struct Value {
  Type type = Type::Undefined;
  bool boolean = false;
  double number = 0;
  std::string string;
  Object* object = nullptr;

  static Value null() { Value v; v.type = Type::Null; return v; }
  static Value from(bool b) { Value v; v.type = Type::Boolean; v.boolean = b; return v; }
  static Value from(double n) { Value v; v.type = Type::Number; v.number = n; return v; }
  static Value from(int n) { return from(static_cast<double>(n)); }
  static Value from(std::string s) { Value v; v.type = Type::String; v.string = std::move(s); return v; }
  static Value from(const char* s) { return from(std::string(s)); }
  static Value from(Object* o);  // null for nullptr

  bool is_undefined() const { return type == Type::Undefined; }
  bool is_nullish() const { return type == Type::Undefined || type == Type::Null; }
  bool is_object() const { return type == Type::Object; }
};

// The format's number to text: up to 15 significant digits, exponent form
// from 1e15 up and below 1e-5 ("1e+15", "1e-6"), "NaN", "Infinity".
std::string number_to_string(double n);
// Text to number as ToNumber sees it: surrounding white space, decimal with
// exponent, 0x hex; anything else is NaN. Empty text is NaN from version 5 on.
double string_to_number(std::string_view text, int swf_version);
// Same conversions on integers the bit operations use (ECMA ToInt32).
std::int32_t to_int32(double n);
std::uint32_t to_uint32(double n);

enum PropertyFlag : std::uint8_t { kDontEnum = 1, kDontDelete = 2, kReadOnly = 4 };

struct Property {
  std::string name;
  Value value;
  Object* getter = nullptr;  // addProperty's accessors
  Object* setter = nullptr;
  std::uint8_t flags = 0;
};

using NativeFunction = Value (*)(Interpreter& in, const Value& self, std::vector<Value>& args);

// A function defined in bytecode: its body copied out of the movie (the
// host's bytes live only for one call) with the constant pool of its time.
struct FunctionCode {
  std::vector<std::uint8_t> body;
  std::shared_ptr<const std::vector<std::string>> pool;
  std::string name;
  std::vector<std::pair<std::uint8_t, std::string>> params;  // register (0: none), name
  std::uint8_t register_count = 0;
  std::uint16_t flags = 0;  // DefineFunction2's preload and suppress flags
  bool v2 = false;
  int swf_version = 0;
};

enum class ObjectKind : std::uint8_t { Plain, Array, Function, Clip, Boolean, Number, String, Date, Color, BitmapData };

class Object {
 public:
  ObjectKind kind = ObjectKind::Plain;
  Object* proto = nullptr;  // __proto__
  std::vector<Value> elements;  // an array's elements

  NativeFunction native = nullptr;
  std::shared_ptr<const FunctionCode> code;
  std::vector<Object*> scope;  // a defined function's scope chain
  ClipId target = kNoClip;     // the timeline a function was defined on
  ClipId clip = kNoClip;       // a movie clip's own object
  Value primitive;             // wrapped Boolean/Number/String, Date's time, Color's target
  std::shared_ptr<BitmapPixels> bitmap;  // a BitmapData's pixels

  const Property* find(std::string_view key) const;
  Property* find(std::string_view key);
  // Adds or replaces the own property (no flags checked).
  Property& put(std::string_view name, Value value, std::uint8_t flags = 0);
  bool erase(std::string_view key);
  // Own properties in enumeration order (the latest first, as the format has it).
  template <typename F> void each(F f) const {
    for (std::size_t i = props_.size(); i-- > 0;)
      if (!props_[i].name.empty()) f(props_[i]);
  }
  std::size_t property_count() const { return index_.size(); }

  bool case_insensitive = false;
  bool marked = false;

 private:
  std::string key_of(std::string_view name) const;
  std::vector<Property> props_;  // erased ones have an empty name
  std::unordered_map<std::string, std::size_t> index_;
};

inline Value Value::from(Object* o) {
  if (!o) return null();
  Value v;
  v.type = Type::Object;
  v.object = o;
  return v;
}

bool is_callable(const Object* o);

}  // namespace player::script
