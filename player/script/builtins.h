// Helpers the built-in files share.
#pragma once

#include <string>
#include <vector>

#include "interpreter.h"

namespace player::script {

inline Value arg(const std::vector<Value>& args, std::size_t i) { return i < args.size() ? args[i] : Value{}; }

// A method or function on `holder`, hidden from for..in as built-ins are.
inline Object* define(Interpreter& in, Object* holder, const char* name, NativeFunction f) {
  Object* fn = in.new_native(f);
  holder->put(name, Value::from(fn), kDontEnum);
  return fn;
}

// A constructor on _global with its prototype object.
inline Object* define_class(Interpreter& in, const char* name, NativeFunction ctor, Object* proto) {
  Object* c = in.new_native(ctor, proto);
  in.global()->put(name, Value::from(c), kDontEnum);
  return c;
}

// The object a method runs on, or nullptr when `self` is no object.
inline Object* self_object(const Value& self) { return self.is_object() ? self.object : nullptr; }

}  // namespace player::script
