// Members of objects and clips, target paths and variables in scope.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "frame.h"
#include "interpreter.h"
#include "names.h"
#include "text.h"

namespace player::script {

Value Interpreter::get_clip_member(Object* o, std::string_view name, bool& found) {
  found = true;
  const ClipId clip = o->clip;
  if (!host_.alive(clip)) {
    found = false;
    return {};
  }
  const int index = property_index(name);
  if (index >= 0) {
    const PropertyValue p = host_.get_property(clip, static_cast<ClipProperty>(index));
    return p.is_text ? Value::from(p.text) : Value::from(p.number);
  }
  if (const Property* own = o->find(name)) {
    if (own->getter) return call(Value::from(own->getter), Value::from(o), {});
    return own->value;
  }
  if (!name.empty() && name[0] == '_') {
    const std::string l = lower(name);
    if (l == "_parent") {
      Object* p = clip_object(host_.parent(clip));
      return p ? Value::from(p) : Value{};
    }
    if (l == "_root") return Value::from(clip_object(host_.level(0)));
    if (l == "_global") return Value::from(global_);
  }
  if (ClipId child = host_.child(clip, name)) return Value::from(clip_object(child));
  PropertyValue display;
  if (host_.get_display_property(clip, name, display))
    return display.is_text ? Value::from(display.text) : Value::from(display.number);
  found = false;
  return {};
}

bool Interpreter::set_clip_member(Object* o, std::string_view name, const Value& value) {
  const ClipId clip = o->clip;
  if (!host_.alive(clip)) return true;
  const int index = property_index(name);
  PropertyValue p;
  if (index >= 0) {
    if (is_text_property(index)) {
      p.is_text = true;
      p.text = to_string(value);
    } else {
      p.number = to_number(value);
    }
    host_.set_property(clip, static_cast<ClipProperty>(index), p);
    return true;
  }
  if (value.type == Type::String) {
    p.is_text = true;
    p.text = value.string;
  } else if (value.type == Type::Boolean) {
    p.number = value.boolean ? 1 : 0;
  } else if (value.type == Type::Number) {
    p.number = value.number;
  } else if (value.is_nullish()) {
    p.number = std::numeric_limits<double>::quiet_NaN();
  } else {
    return false;
  }
  // The host takes the display properties it knows; the script keeps a copy
  // so that it reads back what it wrote.
  host_.set_display_property(clip, name, p);
  return false;
}

Value Interpreter::get_member(const Value& object, std::string_view name) {
  Object* o = nullptr;
  switch (object.type) {
    case Type::Undefined:
    case Type::Null: return {};
    case Type::Boolean: o = prototype_of("Boolean"); break;
    case Type::Number: o = prototype_of("Number"); break;
    case Type::String:
      if (name == "length") return Value::from(static_cast<double>(Chars(object.string, version_ >= 6).size()));
      o = prototype_of("String");
      break;
    case Type::Object: o = object.object; break;
  }
  if (!o) return {};
  if (o->kind == ObjectKind::Array) {
    if (name == "length") return Value::from(static_cast<double>(o->elements.size()));
    if (!name.empty() && std::isdigit(static_cast<unsigned char>(name[0]))) {
      const double n = string_to_number(name, version_);
      if (n >= 0 && n < static_cast<double>(o->elements.size()) && n == std::floor(n))
        return o->elements[static_cast<std::size_t>(n)];
    }
  }
  if (o->kind == ObjectKind::String && name == "length")
    return Value::from(static_cast<double>(Chars(o->primitive.string, version_ >= 6).size()));
  if (name == "__proto__") return Value::from(o->proto);
  if (o->kind == ObjectKind::Clip) {
    bool found = false;
    Value v = get_clip_member(o, name, found);
    if (found) return v;
    o = o->proto;
  }
  int guard = 0;
  for (; o && guard < 256; o = o->proto, ++guard) {
    if (const Property* p = o->find(name)) {
      if (p->getter) return call(Value::from(p->getter), object, {});
      return p->value;
    }
  }
  return {};
}

void Interpreter::set_member(const Value& object, std::string_view name, Value value) {
  if (!object.is_object()) return;
  Object* o = object.object;
  if (name == "__proto__") {
    if (value.is_object()) o->proto = value.object;
    else if (value.type == Type::Null) o->proto = nullptr;
    return;
  }
  if (o->kind == ObjectKind::Array) {
    if (name == "length") {
      const double n = to_number(value);
      if (n >= 0 && n == std::floor(n) && fits_array(static_cast<std::size_t>(n)))
        o->elements.resize(static_cast<std::size_t>(n));
      return;
    }
    if (!name.empty() && std::isdigit(static_cast<unsigned char>(name[0]))) {
      const double n = string_to_number(name, version_);
      if (n >= 0 && n == std::floor(n) && n < 4294967295.0) {
        const auto i = static_cast<std::size_t>(n);
        if (i >= o->elements.size()) {
          if (!fits_array(i + 1)) return;
          o->elements.resize(i + 1);
        }
        if (value.type == Type::String) note_stored(value.string.size());
        o->elements[i] = std::move(value);
        return;
      }
    }
  }
  if (o->kind == ObjectKind::Clip && set_clip_member(o, name, value)) return;
  Property* own = o->find(name);
  if (!own) {
    // A setter up the prototype chain takes the write (addProperty on a prototype).
    int guard = 0;
    for (Object* p = o->proto; p && guard < 256; p = p->proto, ++guard)
      if (const Property* inherited = p->find(name)) {
        if (inherited->setter) {
          call(Value::from(inherited->setter), object, {value});
          return;
        }
        if (inherited->getter) return;  // read-only accessor
        break;
      }
  } else {
    if (own->setter) {
      call(Value::from(own->setter), object, {value});
      return;
    }
    if (own->getter || (own->flags & kReadOnly)) return;
    if (value.type == Type::String) note_stored(value.string.size());
    own->value = std::move(value);
    return;
  }
  if (value.type == Type::String) note_stored(value.string.size());
  o->put(name, std::move(value));
  if (o->property_count() % 64 == 0) note_stored(64 * sizeof(Property));
}

Value Interpreter::call_method(const Value& object, std::string_view name, std::vector<Value> args) {
  Value fn = get_member(object, name);
  return call(fn, object, std::move(args));
}

Value Interpreter::call(const Value& function, const Value& self, std::vector<Value> args) {
  if (!function.is_object() || !is_callable(function.object) || stopped()) return {};
  return call_function(function.object, self, args);
}

Value Interpreter::construct(const Value& constructor, std::vector<Value> args) {
  if (!constructor.is_object() || !is_callable(constructor.object)) return {};
  const Value proto = get_member(constructor, "prototype");
  Object* o = new_object(proto.is_object() ? proto.object : prototype_of("Object"));
  o->put("__constructor__", constructor, kDontEnum);
  if (version_ < 7) o->put("constructor", constructor, kDontEnum);
  const Value self = Value::from(o);
  const Value r = call_function(constructor.object, self, args);
  // Built-in constructors (Array, Date, String...) make their own object.
  if (constructor.object->native && r.is_object()) return r;
  return self;
}

// --- Paths ---------------------------------------------------------------------

std::string Interpreter::target_path(ClipId clip) {
  std::vector<std::string> names;
  int guard = 0;
  ClipId c = clip;
  for (; c != kNoClip && guard < 1000; ++guard) {
    const ClipId p = host_.parent(c);
    if (p == kNoClip) break;
    names.push_back(host_.get_property(c, ClipProperty::Name).text);
    c = p;
  }
  std::string level = "_level0";
  for (int n = 0; n < 100 && c != kNoClip; ++n)
    if (host_.level(n) == c) {
      level = "_level" + std::to_string(n);
      break;
    }
  std::string out = level;
  for (auto it = names.rbegin(); it != names.rend(); ++it) out += "." + *it;
  return out;
}

ClipId Interpreter::resolve_target(std::string_view path, ClipId base) {
  ClipId c = base;
  if (path.empty()) return c;
  std::size_t i = 0;
  if (path[0] == '/') {
    c = host_.level(0);
    i = 1;
  }
  int guard = 0;
  while (i < path.size() && c != kNoClip && guard++ < 1000) {
    std::size_t j = i;
    while (j < path.size() && path[j] != '/' && path[j] != '.' && path[j] != ':') ++j;
    std::string_view part = path.substr(i, j - i);
    // ".." is the parent in slash paths.
    if (part.empty() && j + 1 < path.size() && path[j] == '.' && path[j + 1] == '.') {
      c = host_.parent(c);
      i = j + 2;
      if (i < path.size() && path[i] == '/') ++i;
      continue;
    }
    i = j + 1;
    if (part.empty()) continue;
    const std::string l = lower(part);
    if (l == "_root") c = host_.level(0);
    else if (l == "_parent") c = host_.parent(c);
    else if (l == "this") continue;
    else if (l.size() > 6 && l.compare(0, 6, "_level") == 0 && std::isdigit(static_cast<unsigned char>(l[6])))
      c = host_.level(std::atoi(l.c_str() + 6));
    else if (ClipId child = host_.child(c, part)) c = child;
    else if (Object* o = clip_object(c)) {
      // A variable of the clip holding a clip reference.
      const Property* p = o->find(part);
      c = p ? clip_of(p->value) : kNoClip;
    } else {
      c = kNoClip;
    }
  }
  return c;
}

// --- Variables -------------------------------------------------------------------

// Splits "path:name", "/path/clip:name" and "a.b.c" into where and what.
static bool split_path(std::string_view name, std::string_view& path, std::string_view& var, bool& dotted) {
  const std::size_t colon = name.rfind(':');
  if (colon != std::string_view::npos) {
    path = name.substr(0, colon);
    var = name.substr(colon + 1);
    dotted = false;
    return true;
  }
  if (name.find('/') != std::string_view::npos) {
    path = name;
    var = {};
    dotted = false;
    return true;
  }
  const std::size_t dot = name.rfind('.');
  if (dot != std::string_view::npos && dot > 0 && dot + 1 < name.size()) {
    path = name.substr(0, dot);
    var = name.substr(dot + 1);
    dotted = true;
    return true;
  }
  return false;
}

Value Interpreter::get_variable(Frame& f, std::string_view name) {
  std::string_view path, var;
  bool dotted = false;
  if (split_path(name, path, var, dotted)) {
    if (dotted) {
      const Value holder = get_variable(f, path);
      return get_member(holder, var);
    }
    const ClipId c = resolve_target(path, f.target);
    if (var.empty()) return c ? Value::from(clip_object(c)) : Value{};
    return c ? get_member(Value::from(clip_object(c)), var) : Value{};
  }
  // Innermost first: With objects, then the function's scopes, then the
  // target timeline, then _global.
  for (auto b = f.blocks.rbegin(); b != f.blocks.rend(); ++b)
    if (b->with) {
      const Value w = Value::from(b->with);
      bool has = false;
      for (Object* o = b->with; o && !has; o = o->proto) has = o->find(name) != nullptr;
      if (has || (b->with->kind == ObjectKind::Clip && host_.child(b->with->clip, name)))
        return get_member(w, name);
    }
  if (name == "this") return f.self;
  if (!name.empty() && name[0] == '_') {
    const std::string l = lower(name);
    if (l == "_root") return Value::from(clip_object(host_.level(0)));
    if (l == "_global") return Value::from(global_);
    if (l == "_parent") {
      Object* p = clip_object(host_.parent(f.target));
      return p ? Value::from(p) : Value{};
    }
    if (l.size() > 6 && l.compare(0, 6, "_level") == 0 && std::isdigit(static_cast<unsigned char>(l[6]))) {
      Object* p = clip_object(host_.level(std::atoi(l.c_str() + 6)));
      return p ? Value::from(p) : Value{};
    }
  }
  for (auto s = f.scope.rbegin(); s != f.scope.rend(); ++s) {
    Object* o = *s;
    if (o->kind == ObjectKind::Clip) {
      bool found = false;
      Value v = get_clip_member(o, name, found);
      if (found) return v;
    } else if (const Property* p = o->find(name)) {
      return p->getter ? call(Value::from(p->getter), Value::from(o), {}) : p->value;
    }
  }
  if (Object* t = clip_object(f.target)) {
    bool found = false;
    Value v = get_clip_member(t, name, found);
    if (found) return v;
    // The timeline is a scope object like any other: its class's methods
    // (attachMovie called bare in a frame script) come through its prototypes.
    for (Object* p = t->proto; p; p = p->proto)
      if (const Property* prop = p->find(name))
        return prop->getter ? call(Value::from(prop->getter), Value::from(t), {}) : prop->value;
  }
  return get_member(Value::from(global_), name);
}

// The object a plain variable name writes to: the nearest scope that has it,
// else the locals of a function or the target timeline.
Object* Interpreter::variable_holder(Frame& f, std::string_view name) {
  for (auto b = f.blocks.rbegin(); b != f.blocks.rend(); ++b)
    if (b->with && b->with->find(name)) return b->with;
  for (auto s = f.scope.rbegin(); s != f.scope.rend(); ++s)
    if ((*s)->find(name)) return *s;
  if (Object* t = clip_object(f.target)) return t;
  return f.scope.empty() ? global_ : f.scope.back();
}

void Interpreter::set_variable(Frame& f, std::string_view name, Value v) {
  std::string_view path, var;
  bool dotted = false;
  if (split_path(name, path, var, dotted)) {
    if (dotted) {
      set_member(get_variable(f, path), var, std::move(v));
      return;
    }
    const ClipId c = resolve_target(path, f.target);
    if (c && !var.empty()) set_member(Value::from(clip_object(c)), var, std::move(v));
    return;
  }
  set_member(Value::from(variable_holder(f, name)), name, std::move(v));
}

std::string Interpreter::variable_text(ClipId clip, std::string_view path) {
  Frame f;
  f.target = f.original_target = clip;
  f.version = version_;
  const Value v = get_variable(f, path);
  if (stopped()) status_ = Status::Running;
  return v.is_undefined() ? std::string() : to_string(v);
}

}  // namespace player::script
