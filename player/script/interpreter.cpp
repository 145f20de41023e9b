#include "interpreter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "action_reader.h"
#include "frame.h"

namespace player::script {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool is_clip(const Value& v) { return v.is_object() && v.object->kind == ObjectKind::Clip; }

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The indexed clip properties by name; case never matters for them.
int property_index(std::string_view name) {
  static const char* const names[kClipPropertyCount] = {
      "_x", "_y", "_xscale", "_yscale", "_currentframe", "_totalframes", "_alpha", "_visible",
      "_width", "_height", "_rotation", "_target", "_framesloaded", "_name", "_droptarget", "_url",
      "_highquality", "_focusrect", "_soundbuftime", "_quality", "_xmouse", "_ymouse"};
  if (name.empty() || name[0] != '_') return -1;
  const std::string l = lower(name);
  for (int i = 0; i < kClipPropertyCount; ++i)
    if (l == names[i]) return i;
  return -1;
}

bool is_text_property(int index) {
  const auto p = static_cast<ClipProperty>(index);
  return p == ClipProperty::Target || p == ClipProperty::Name || p == ClipProperty::DropTarget ||
         p == ClipProperty::Url || p == ClipProperty::Quality;
}

// The flags of DefineFunction2, as its 16-bit field reads little-endian.
enum : std::uint16_t {
  kPreloadThis = 0x0001, kSuppressThis = 0x0002, kPreloadArguments = 0x0004,
  kSuppressArguments = 0x0008, kPreloadSuper = 0x0010, kSuppressSuper = 0x0020,
  kPreloadRoot = 0x0040, kPreloadParent = 0x0080, kPreloadGlobal = 0x0100,
};

}  // namespace

Interpreter::Interpreter(ClipHost& host, Limits limits, std::uint32_t random_seed)
    : host_(host), limits_(limits), random_state_(random_seed | 0x9E3779B97F4A7C15ull) {
  version_ = host_.swf_version();
  start_ms_ = host_.now_ms();
  global_ = new_object();
  install_builtins();
}

Interpreter::~Interpreter() = default;

void Interpreter::install_builtins() {
  install_core_builtins(*this);
  install_string_builtins(*this);
  install_math_builtins(*this);
  install_date_builtins(*this);
  install_clip_builtins(*this);
  install_bitmap_builtins(*this);
}

// --- Objects -----------------------------------------------------------------

Object* Interpreter::new_object(Object* proto, ObjectKind kind) {
  if (heap_.size() >= limits_.object_count) {
    abort("script stopped: more than " + std::to_string(limits_.object_count) + " objects (object_count)");
    // The script stops at its next action; meanwhile it gets a scratch object
    // so that no caller has to handle a null.
    if (heap_.size() >= limits_.object_count + 64) return heap_.back().get();
  }
  auto o = std::make_unique<Object>();
  o->proto = proto;
  o->kind = kind;
  o->case_insensitive = version_ < 7;
  heap_.push_back(std::move(o));
  return heap_.back().get();
}

Object* Interpreter::new_array(std::vector<Value> elements) {
  Object* a = new_object(prototype_of("Array"), ObjectKind::Array);
  std::size_t bytes = elements.size() * sizeof(Value);
  for (const Value& v : elements) bytes += v.string.size();
  note_made(bytes);
  charge(elements.size() / 8);
  if (fits_array(elements.size())) a->elements = std::move(elements);
  return a;
}

Object* Interpreter::new_native(NativeFunction f, Object* with_prototype) {
  Object* fn = new_object(prototype_of("Function"), ObjectKind::Function);
  fn->native = f;
  if (with_prototype) {
    fn->put("prototype", Value::from(with_prototype), kDontEnum);
    with_prototype->put("constructor", Value::from(fn), kDontEnum);
  }
  return fn;
}

Object* Interpreter::prototype_of(std::string_view constructor_name) {
  if (!global_) return nullptr;
  const Property* c = global_->find(constructor_name);
  if (!c || !c->value.is_object()) return nullptr;
  const Property* p = c->value.object->find("prototype");
  return p && p->value.is_object() ? p->value.object : nullptr;
}

Object* Interpreter::clip_object(ClipId clip) {
  if (clip == kNoClip || !host_.alive(clip)) return nullptr;
  const auto it = clips_.find(clip);
  if (it != clips_.end()) return it->second;
  Object* o = new_object(prototype_of(host_.is_text_field(clip) ? "TextField" : "MovieClip"), ObjectKind::Clip);
  o->clip = clip;
  clips_[clip] = o;
  return o;
}

ClipId Interpreter::clip_of(const Value& v) {
  if (!is_clip(v)) return kNoClip;
  return host_.alive(v.object->clip) ? v.object->clip : kNoClip;
}

void Interpreter::clip_removed(ClipId clip) { clips_.erase(clip); }

void Interpreter::register_class(std::string linkage_id, Object* constructor) {
  if (constructor) registered_classes_[lower(linkage_id)] = constructor;
  else registered_classes_.erase(lower(linkage_id));
}

void Interpreter::check_memory() {
  const std::size_t estimate =
      stored_bytes_ + made_bytes_ + heap_.size() * sizeof(Object) + stack_.size() * sizeof(Value);
  if (estimate > limits_.memory_bytes)
    abort("script stopped: more than " + std::to_string(limits_.memory_bytes) + " bytes of script memory (memory_bytes)");
}

void Interpreter::note_stored(std::size_t bytes) {
  stored_bytes_ += bytes;
  check_memory();
}

void Interpreter::note_made(std::size_t bytes) {
  made_bytes_ += bytes;
  check_memory();
}

bool Interpreter::charge(std::size_t units) {
  instructions_ += units;
  if (instructions_ > limits_.instructions_per_entry)
    abort("script stopped: more than " + std::to_string(limits_.instructions_per_entry) +
          " actions in one run (instructions_per_entry)");
  return !stopped();
}

bool Interpreter::fits_string(std::size_t length) {
  charge(length / 64);
  if (length <= limits_.string_length) return true;
  abort("script stopped: a string longer than " + std::to_string(limits_.string_length) + " bytes (string_length)");
  return false;
}

bool Interpreter::fits_array(std::size_t length) {
  if (length <= limits_.array_length) return true;
  abort("script stopped: an array longer than " + std::to_string(limits_.array_length) + " elements (array_length)");
  return false;
}

double Interpreter::random() {
  // xorshift64*: the same sequence for the same seed, whatever the platform.
  random_state_ ^= random_state_ >> 12;
  random_state_ ^= random_state_ << 25;
  random_state_ ^= random_state_ >> 27;
  const std::uint64_t r = random_state_ * 0x2545F4914F6CDD1Dull;
  return static_cast<double>(r >> 11) / 9007199254740992.0;
}

void Interpreter::abort(std::string message) {
  if (status_ == Status::Aborted) return;
  status_ = Status::Aborted;
  error_ = std::move(message);
}

void Interpreter::throw_value(Value v) {
  if (status_ != Status::Running) return;
  status_ = Status::Thrown;
  thrown_ = std::move(v);
}

ClipId Interpreter::current_target() const {
  return frames_.empty() ? kNoClip : frames_.back()->target;
}

int Interpreter::add_timer(Timer t) {
  if (timers_.size() >= limits_.intervals) {
    abort("script stopped: more than " + std::to_string(limits_.intervals) + " timers (intervals)");
    return 0;
  }
  const int id = next_timer_++;
  timers_[id] = std::move(t);
  return id;
}

void Interpreter::remove_timer(int id) { timers_.erase(id); }

// --- Conversions ---------------------------------------------------------------

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

// --- Members -------------------------------------------------------------------

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
    p.number = kNaN;
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
      if (name == "length") return Value::from(static_cast<double>(object.string.size()));
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
    return Value::from(static_cast<double>(o->primitive.string.size()));
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

// --- Functions -------------------------------------------------------------------

Value Interpreter::call_function(Object* fn, const Value& self, std::vector<Value>& args, Object* callee_super) {
  if (stopped()) return {};
  if (depth_ >= limits_.recursion_depth) {
    abort("script stopped: calls nested deeper than " + std::to_string(limits_.recursion_depth) + " (recursion_depth)");
    return {};
  }
  ++depth_;
  struct Leave {
    std::size_t& d;
    ~Leave() { --d; }
  } leave{depth_};
  if (fn->native) return fn->native(*this, self, args);
  if (!fn->code) return {};
  const FunctionCode& code = *fn->code;

  Frame f;
  f.code = code.body.data();
  f.size = code.body.size();
  f.pool = code.pool;
  f.scope = fn->scope;
  f.self = self;
  f.callee = fn;
  f.version = code.swf_version;
  f.target = f.original_target = fn->target != kNoClip && host_.alive(fn->target) ? fn->target
                                                                                  : current_target();
  f.locals = new_object(nullptr);
  f.scope.push_back(f.locals);
  f.stack_base = stack_.size();

  Object* arguments = nullptr;
  auto make_arguments = [&] {
    if (!arguments) {
      arguments = new_array(args);
      arguments->put("callee", Value::from(fn), kDontEnum);
    }
    return Value::from(arguments);
  };
  Value super_value;
  if (self.is_object() && self.object->proto) {
    Object* sp = callee_super ? callee_super : self.object->proto->proto;
    super_value = Value::from(sp);
    f.super_proto = sp;
  }
  if (code.v2) {
    f.registers.assign(std::max<std::size_t>(code.register_count, 1), Value{});
    std::size_t r = 1;
    auto preload = [&](Value v) {
      if (r < f.registers.size()) f.registers[r] = std::move(v);
      ++r;
    };
    if (code.flags & kPreloadThis) preload(self);
    if (code.flags & kPreloadArguments) preload(make_arguments());
    if (code.flags & kPreloadSuper) preload(super_value);
    if (code.flags & kPreloadRoot) preload(Value::from(clip_object(host_.level(0))));
    if (code.flags & kPreloadParent) {
      Object* p = clip_object(host_.parent(f.target));
      preload(p ? Value::from(p) : Value{});
    }
    if (code.flags & kPreloadGlobal) preload(Value::from(global_));
    if (!(code.flags & kSuppressArguments) && !(code.flags & kPreloadArguments))
      f.locals->put("arguments", make_arguments());
    if (!(code.flags & kSuppressSuper) && !(code.flags & kPreloadSuper)) f.locals->put("super", super_value);
  } else {
    f.locals->put("arguments", make_arguments());
    f.locals->put("super", super_value);
  }
  for (std::size_t i = 0; i < code.params.size(); ++i) {
    Value a = i < args.size() ? args[i] : Value{};
    const auto& [reg, name] = code.params[i];
    if (code.v2 && reg != 0) {
      if (reg < f.registers.size()) f.registers[reg] = std::move(a);
    } else {
      f.locals->put(name, std::move(a));
    }
  }
  frames_.push_back(&f);
  execute(f);
  frames_.pop_back();
  stack_.resize(std::min(stack_.size(), f.stack_base));
  return f.returned ? f.result : Value{};
}

void Interpreter::define_function(Frame& f, const std::uint8_t* data, std::size_t length, bool v2, std::size_t& next) {
  ActionReader r(data, length);
  auto code = std::make_shared<FunctionCode>();
  code->v2 = v2;
  code->swf_version = version_;
  code->pool = f.pool;
  code->name = r.string();
  const std::uint16_t count = r.u16();
  if (v2) {
    code->register_count = r.u8();
    code->flags = r.u16();
  }
  for (std::uint16_t i = 0; i < count && r.ok(); ++i) {
    std::uint8_t reg = v2 ? r.u8() : 0;
    code->params.emplace_back(reg, r.string());
  }
  const std::uint16_t body = r.u16();
  if (!r.ok() || next + body > f.size) {
    abort("script stopped: a function's body reaches past its block");
    return;
  }
  code->body.assign(f.code + next, f.code + next + body);
  next += body;

  Object* fn = new_object(prototype_of("Function"), ObjectKind::Function);
  fn->code = code;
  fn->scope = f.scope;
  fn->target = f.target;
  Object* proto = new_object(prototype_of("Object"));
  proto->put("constructor", Value::from(fn), kDontEnum);
  fn->put("prototype", Value::from(proto), kDontEnum);
  if (code->name.empty()) {
    push(f, Value::from(fn));
  } else {
    Object* holder = f.locals ? f.locals : clip_object(f.target);
    set_member(Value::from(holder ? holder : global_), code->name, Value::from(fn));
  }
}

// --- Entry points ------------------------------------------------------------------

RunResult Interpreter::enter(ClipId clip, const std::function<void()>& body) {
  if (in_entry_) {  // a nested entry (a constructor run from attachMovie): shares the budget
    body();
    return {};
  }
  in_entry_ = true;
  instructions_ = 0;
  made_bytes_ = 0;
  depth_ = 0;
  status_ = Status::Running;
  error_.clear();
  (void)clip;
  body();
  RunResult result;
  if (status_ == Status::Thrown) {
    result.ok = false;
    result.error = "script stopped: an exception nobody caught: " + to_string(thrown_);
  } else if (status_ == Status::Aborted) {
    result.ok = false;
    result.error = error_;
  }
  status_ = Status::Running;
  thrown_ = Value{};
  stack_.clear();
  in_entry_ = false;
  if (heap_.size() >= collect_at_) collect_garbage();
  return result;
}

RunResult Interpreter::run_actions(ClipId clip, ByteSpan actions) {
  return enter(clip, [&] {
    Object* timeline = clip_object(clip);
    if (!timeline) return;
    Frame f;
    f.code = actions.data;
    f.size = actions.data ? actions.size : 0;
    f.target = f.original_target = clip;
    f.self = Value::from(timeline);
    f.version = version_;
    f.stack_base = stack_.size();
    frames_.push_back(&f);
    execute(f);
    frames_.pop_back();
    stack_.resize(std::min(stack_.size(), f.stack_base));
  });
}

bool Interpreter::has_clip_handler(ClipId clip, std::string_view name) {
  const auto it = clips_.find(clip);
  if (it == clips_.end()) {
    // Only a clip whose class defines the handler can have one before a
    // script touched it.
    return false;
  }
  Object* o = it->second;
  int guard = 0;
  for (Object* p = o; p && guard < 256; p = p->proto, ++guard)
    if (const Property* h = p->find(name)) return h->value.is_object() && is_callable(h->value.object);
  return false;
}

RunResult Interpreter::call_clip_handler(ClipId clip, std::string_view name) {
  if (!has_clip_handler(clip, name)) return {};
  return enter(clip, [&] {
    Object* o = clip_object(clip);
    if (!o) return;
    call_method(Value::from(o), name, {});
  });
}

RunResult Interpreter::clip_constructed(ClipId clip) {
  const auto it = registered_classes_.find(lower(host_.linkage_id(clip)));
  if (it == registered_classes_.end()) return {};
  Object* ctor = it->second;
  return enter(clip, [&] {
    Object* o = clip_object(clip);
    if (!o) return;
    const Value proto = get_member(Value::from(ctor), "prototype");
    if (proto.is_object()) o->proto = proto.object;
    std::vector<Value> none;
    call_function(ctor, Value::from(o), none);
  });
}

RunResult Interpreter::tick_intervals() {
  RunResult all;
  const double now = host_.now_ms();
  std::vector<int> due;
  for (const auto& [id, t] : timers_)
    if (t.due_ms <= now) due.push_back(id);
  std::sort(due.begin(), due.end());
  for (int id : due) {
    auto it = timers_.find(id);
    if (it == timers_.end()) continue;  // cleared by an earlier one
    Timer t = it->second;
    if (t.repeat) it->second.due_ms = now + std::max(t.interval_ms, 1.0);
    else timers_.erase(it);
    RunResult r = enter(kNoClip, [&] {
      if (t.method.empty()) call(t.function, t.self, t.args);
      else call_method(t.self, t.method, t.args);
    });
    if (!r.ok && all.ok) all = r;
  }
  return all;
}

// --- Garbage collection ---------------------------------------------------------------

void Interpreter::mark(Object* root) {
  std::vector<Object*> work{root};
  auto add = [&](Object* o) {
    if (o && !o->marked) work.push_back(o);
  };
  auto add_value = [&](const Value& v) {
    if (v.is_object()) add(v.object);
  };
  while (!work.empty()) {
    Object* o = work.back();
    work.pop_back();
    if (!o || o->marked) continue;
    o->marked = true;
    add(o->proto);
    for (const Value& v : o->elements) add_value(v);
    for (Object* s : o->scope) add(s);
    add_value(o->primitive);
    o->each([&](const Property& p) {
      add_value(p.value);
      add(p.getter);
      add(p.setter);
    });
  }
}

void Interpreter::collect_garbage() {
  if (in_entry_) return;
  for (auto& o : heap_) o->marked = false;
  mark(global_);
  for (auto it = clips_.begin(); it != clips_.end();) {
    if (!host_.alive(it->first)) {
      it = clips_.erase(it);
    } else {
      mark(it->second);
      ++it;
    }
  }
  for (auto& [name, ctor] : registered_classes_) mark(ctor);
  for (auto& [id, t] : timers_) {
    for (const Value* v : {&t.function, &t.self})
      if (v->is_object()) mark(v->object);
    for (const Value& v : t.args)
      if (v.is_object()) mark(v.object);
  }
  std::size_t stored = 0;
  std::vector<std::unique_ptr<Object>> live;
  live.reserve(heap_.size());
  for (auto& o : heap_) {
    if (!o->marked) continue;
    o->each([&](const Property& p) { stored += p.value.string.size() + sizeof(Property); });
    for (const Value& v : o->elements) stored += v.string.size() + sizeof(Value);
    if (o->bitmap) stored += o->bitmap->argb.size() * sizeof(std::uint32_t);
    live.push_back(std::move(o));
  }
  heap_ = std::move(live);
  stored_bytes_ = stored;
  collect_at_ = std::max<std::size_t>(1024, heap_.size() * 2);
}

}  // namespace player::script
