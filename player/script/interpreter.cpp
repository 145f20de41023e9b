#include "interpreter.h"

#include <algorithm>
#include <cmath>

#include "frame.h"
#include "names.h"

namespace player::script {

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

// --- Entry points ------------------------------------------------------------------

RunResult Interpreter::enter(const std::function<void()>& body) {
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
  return enter([&] {
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
  return enter([&] {
    Object* o = clip_object(clip);
    if (!o) return;
    call_method(Value::from(o), name, {});
  });
}

RunResult Interpreter::clip_constructed(ClipId clip) {
  const auto it = registered_classes_.find(lower(host_.linkage_id(clip)));
  if (it == registered_classes_.end()) return {};
  Object* ctor = it->second;
  return enter([&] {
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
    RunResult r = enter([&] {
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
