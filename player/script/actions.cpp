// The action loop: one case per action code.
#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_set>

#include "action_reader.h"
#include "frame.h"
#include "interpreter.h"
#include "names.h"
#include "text.h"

namespace player::script {

namespace {

// Index (from 1) and count as StringExtract takes them, clamped to the text.
std::string extract(const std::string& s, double index, double count, bool multibyte) {
  const std::size_t length = multibyte ? utf8_length(s) : s.size();
  double start = std::isnan(index) ? 0 : std::floor(index) - 1;
  if (start < 0) start = 0;
  if (start >= static_cast<double>(length)) return {};
  double n = std::isnan(count) ? 0 : std::floor(count);
  if (n < 0 || start + n > static_cast<double>(length)) n = static_cast<double>(length) - start;
  const auto from = static_cast<std::size_t>(start), take = static_cast<std::size_t>(n);
  if (!multibyte) return s.substr(from, take);
  const std::size_t a = utf8_offset(s, from), b = utf8_offset(s, from + take);
  return s.substr(a, b - a);
}

}  // namespace

void Interpreter::push(Frame& f, Value v) {
  (void)f;
  if (stack_.size() >= limits_.stack_values) {
    abort("script stopped: more than " + std::to_string(limits_.stack_values) + " values on the stack (stack_values)");
    return;
  }
  if (v.type == Type::String && v.string.size() > 32) note_made(v.string.size());
  stack_.push_back(std::move(v));
}

// An empty stack (within this frame) gives undefined, as the format's players do.
Value Interpreter::pop(Frame& f) {
  if (stack_.size() <= f.stack_base) return {};
  Value v = std::move(stack_.back());
  stack_.pop_back();
  return v;
}

void Interpreter::goto_frame(ClipId clip, const Value& frame, bool play, int scene_bias) {
  if (clip == kNoClip) return;
  if (frame.type == Type::String) {
    // "label", "12" or "path:label".
    std::string text = frame.string;
    const std::size_t colon = text.rfind(':');
    if (colon != std::string::npos) {
      clip = resolve_target(std::string_view(text).substr(0, colon), clip);
      text = text.substr(colon + 1);
      if (clip == kNoClip) return;
    }
    const double n = string_to_number(text, version_);
    int target = 0;
    if (!std::isnan(n)) target = static_cast<int>(n) + scene_bias;
    else target = host_.frame_of_label(clip, text);
    if (target <= 0) return;
    host_.goto_frame(clip, target, play);
    return;
  }
  const double n = to_number(frame);
  if (std::isnan(n) || n < -1e9 || n > 1e9) return;
  host_.goto_frame(clip, static_cast<int>(n) + scene_bias, play);
}

// Call: a frame's action blocks run at once on the clip that frame belongs to.
void Interpreter::call_frame(Frame& f, const Value& frame) {
  ClipId clip = f.target;
  std::string text = to_string(frame);
  const std::size_t colon = text.rfind(':');
  if (colon != std::string::npos) {
    clip = resolve_target(std::string_view(text).substr(0, colon), clip);
    text = text.substr(colon + 1);
  }
  if (clip == kNoClip) return;
  const double n = string_to_number(text, version_);
  const int number = std::isnan(n) ? host_.frame_of_label(clip, text) : static_cast<int>(n);
  if (number <= 0) return;
  for (const ByteSpan& span : host_.frame_actions(clip, number)) {
    if (stopped()) return;
    if (depth_ >= limits_.recursion_depth) {
      abort("script stopped: calls nested deeper than " + std::to_string(limits_.recursion_depth) + " (recursion_depth)");
      return;
    }
    ++depth_;
    Frame g;
    g.code = span.data;
    g.size = span.data ? span.size : 0;
    g.target = g.original_target = clip;
    g.self = Value::from(clip_object(clip));
    g.version = version_;
    g.stack_base = stack_.size();
    frames_.push_back(&g);
    execute(g);
    frames_.pop_back();
    stack_.resize(std::min(stack_.size(), g.stack_base));
    --depth_;
  }
}

void Interpreter::execute(Frame& f) {
  while (!stopped() || status_ == Status::Thrown) {
    if (status_ == Status::Thrown) {
      // The innermost Try of this frame takes it, else it leaves the frame.
      while (!f.blocks.empty() && !f.blocks.back().is_try) f.blocks.pop_back();
      if (f.blocks.empty()) return;
      Block& b = f.blocks.back();
      Value e = thrown_;
      if (b.stage == 0 && b.has_catch) {
        status_ = Status::Running;
        thrown_ = Value{};
        b.stage = 1;
        f.pc = b.end;
        if (b.catch_in_register) {
          if (b.catch_register < f.registers.size()) f.registers[b.catch_register] = e;
        } else {
          set_variable(f, b.catch_name, e);
        }
      } else if (b.stage < 2 && b.has_finally) {
        status_ = Status::Running;
        thrown_ = Value{};
        b.stage = 2;
        b.rethrow = true;
        b.pending = e;
        f.pc = b.catch_end;
      } else {
        f.blocks.pop_back();
        continue;
      }
    }
    // Leave the blocks whose range the program counter has left.
    while (!f.blocks.empty()) {
      Block& b = f.blocks.back();
      if (!b.is_try) {
        if (f.pc >= b.start && f.pc < b.end) break;
        f.blocks.pop_back();
        continue;
      }
      const std::size_t lo = b.stage == 0 ? b.start : b.stage == 1 ? b.end : b.catch_end;
      const std::size_t hi = b.stage == 0 ? b.end : b.stage == 1 ? b.catch_end : b.finally_end;
      if (f.pc >= lo && f.pc < hi) break;
      if (f.pc == hi && b.stage < 2) {  // a stage ran to its end: on to finally
        b.stage = 2;
        f.pc = b.catch_end;
        if (b.has_finally && b.catch_end < b.finally_end) break;
      }
      const bool rethrow = b.rethrow && f.pc == b.finally_end;
      Value pending = b.pending;
      f.blocks.pop_back();
      if (rethrow) {  // the enclosing blocks see the throw, not the end of their body
        throw_value(pending);
        break;
      }
    }
    if (status_ == Status::Thrown) continue;
    if (f.pc >= f.size || f.returned) return;

    if (++instructions_ > limits_.instructions_per_entry) {
      abort("script stopped: more than " + std::to_string(limits_.instructions_per_entry) +
            " actions in one run (instructions_per_entry)");
      return;
    }
    const std::uint8_t code = f.code[f.pc];
    std::size_t length = 0;
    std::size_t at = f.pc + 1;
    if (code >= 0x80) {
      if (at + 2 > f.size) return;
      length = static_cast<std::size_t>(f.code[at] | f.code[at + 1] << 8);
      at += 2;
      if (at + length > f.size) return;  // an action cut short ends the block
    }
    if (code == 0) return;
    const std::size_t next = at + length;
    f.pc = next;
    if (!step(f, code, f.code + at, length, next)) return;
  }
}

// Runs one action; false ends the block.
bool Interpreter::step(Frame& f, std::uint8_t code, const std::uint8_t* data, std::size_t length, std::size_t next) {
  auto num = [&](const Value& v) { return to_number(v); };
  auto pop_num = [&] { return num(pop(f)); };
  auto pop_str = [&] { return to_string(pop(f)); };
  auto push_num = [&](double n) { push(f, Value::from(n)); };
  auto push_bool = [&](bool b) {
    if (version_ >= 5) push(f, Value::from(b));
    else push_num(b ? 1 : 0);
  };
  auto jump = [&](std::int16_t offset) {
    const auto target = static_cast<std::int64_t>(next) + offset;
    if (target < 0 || static_cast<std::size_t>(target) > f.size) {
      abort("script stopped: a branch leaves its block");
      return false;
    }
    f.pc = static_cast<std::size_t>(target);
    return true;
  };
  auto target_clip = [&](const Value& t) -> ClipId {
    if (const ClipId c = clip_of(t)) return c;
    return resolve_target(to_string(t), f.target);
  };
  auto pop_args = [&] {
    const double n = pop_num();
    std::vector<Value> args;
    const std::size_t available = stack_.size() - std::min(stack_.size(), f.stack_base);
    const std::size_t count = n > 0 ? std::min(static_cast<std::size_t>(std::min(n, 1e9)), available) : 0;
    args.reserve(count);
    for (std::size_t i = 0; i < count; ++i) args.push_back(pop(f));
    return args;
  };
  auto checked_string = [&](std::string s) {
    if (!fits_string(s.size())) s.clear();
    return Value::from(std::move(s));
  };

  switch (code) {
    // --- Timeline ---
    case 0x04: host_.goto_frame(f.target, static_cast<int>(host_.get_property(f.target, ClipProperty::CurrentFrame).number) + 1, false); break;
    case 0x05: host_.goto_frame(f.target, std::max(1, static_cast<int>(host_.get_property(f.target, ClipProperty::CurrentFrame).number) - 1), false); break;
    case 0x06: host_.play(f.target); break;
    case 0x07: host_.stop(f.target); break;
    case 0x08: case 0x09: case 0x27: case 0x28: {  // ToggleQuality, StopSounds, StartDrag, EndDrag
      if (code == 0x27) {
        pop(f);
        pop(f);
        if (to_boolean(pop(f)))
          for (int i = 0; i < 4; ++i) pop(f);
      }
      break;
    }
    case 0x81: {  // GotoFrame
      ActionReader r(data, length);
      host_.goto_frame(f.target, r.u16() + 1, false);
      break;
    }
    case 0x8C: {  // GoToLabel
      ActionReader r(data, length);
      const int frame = host_.frame_of_label(f.target, r.string());
      if (frame > 0) host_.goto_frame(f.target, frame, false);
      break;
    }
    case 0x9F: {  // GotoFrame2
      ActionReader r(data, length);
      const std::uint8_t flags = r.u8();
      const int bias = flags & 2 ? r.u16() : 0;
      goto_frame(f.target, pop(f), flags & 1, bias);
      break;
    }
    case 0x8A: break;  // WaitForFrame: every frame is loaded
    case 0x8D: pop(f); break;  // WaitForFrame2
    case 0x8B: {  // SetTarget
      ActionReader r(data, length);
      const std::string path = r.string();
      f.target = path.empty() ? f.original_target : resolve_target(path, f.original_target);
      break;
    }
    case 0x20: {  // SetTarget2
      const Value t = pop(f);
      const std::string path = t.is_object() ? std::string() : to_string(t);
      f.target = t.is_object() ? clip_of(t) : path.empty() ? f.original_target : resolve_target(path, f.original_target);
      break;
    }
    case 0x9E: call_frame(f, pop(f)); break;  // Call: the actions of a frame, run here and now

    // --- Arithmetic and comparison ---
    case 0x0A: { const double a = pop_num(); push_num(pop_num() + a); break; }
    case 0x0B: { const double a = pop_num(); push_num(pop_num() - a); break; }
    case 0x0C: { const double a = pop_num(); push_num(pop_num() * a); break; }
    case 0x0D: {
      const double a = pop_num(), b = pop_num();
      if (a == 0 && version_ < 5) push(f, Value::from("#ERROR#"));
      else push_num(b / a);
      break;
    }
    case 0x3F: { const double a = pop_num(); push_num(std::fmod(pop_num(), a)); break; }
    case 0x0E: { const double a = pop_num(); push_bool(pop_num() == a); break; }
    case 0x0F: { const double a = pop_num(); push_bool(pop_num() < a); break; }
    case 0x10: { const bool a = to_boolean(pop(f)); push_bool(to_boolean(pop(f)) && a); break; }
    case 0x11: { const bool a = to_boolean(pop(f)); push_bool(to_boolean(pop(f)) || a); break; }
    case 0x12: push_bool(!to_boolean(pop(f))); break;
    case 0x13: { const std::string a = pop_str(); push_bool(pop_str() == a); break; }
    case 0x29: { const std::string a = pop_str(); push_bool(pop_str() < a); break; }
    case 0x68: { const std::string a = pop_str(); push_bool(pop_str() > a); break; }
    case 0x14: push_num(static_cast<double>(pop_str().size())); break;
    case 0x31: push_num(static_cast<double>(utf8_length(pop_str()))); break;
    case 0x15: case 0x35: {
      const double count = pop_num(), index = pop_num();
      push(f, Value::from(extract(pop_str(), index, count, code == 0x35)));
      break;
    }
    case 0x21: { const std::string a = pop_str(); push(f, checked_string(pop_str() + a)); break; }
    case 0x18: { const double n = pop_num(); push_num(std::isnan(n) ? 0 : std::trunc(n)); break; }
    case 0x32: { const std::string s = pop_str(); push_num(s.empty() ? 0 : static_cast<unsigned char>(s[0])); break; }
    case 0x36: push_num(utf8_first(pop_str())); break;
    case 0x33: push(f, Value::from(std::string(1, static_cast<char>(to_uint32(pop_num()) & 0xFF)))); break;
    case 0x37: push(f, Value::from(utf8_encode(to_uint32(pop_num()) & 0xFFFF))); break;
    case 0x47: {  // Add2
      const Value a = to_primitive(pop(f)), b = to_primitive(pop(f));
      if (a.type == Type::String || b.type == Type::String) push(f, checked_string(to_string(b) + to_string(a)));
      else push_num(num(b) + num(a));
      break;
    }
    case 0x48: { const Value a = pop(f), b = pop(f); push(f, less2(b, a)); break; }
    case 0x67: { const Value a = pop(f), b = pop(f); push(f, less2(a, b)); break; }  // Greater
    case 0x49: { const Value a = pop(f), b = pop(f); push(f, Value::from(equals2(b, a))); break; }
    case 0x66: {  // StrictEquals
      const Value a = pop(f), b = pop(f);
      push(f, Value::from(a.type == b.type && equals2(a, b)));
      break;
    }
    case 0x4A: push_num(pop_num()); break;
    case 0x4B: push(f, Value::from(pop_str())); break;
    case 0x50: push_num(pop_num() + 1); break;
    case 0x51: push_num(pop_num() - 1); break;
    case 0x60: { const auto a = to_int32(pop_num()); push_num(to_int32(pop_num()) & a); break; }
    case 0x61: { const auto a = to_int32(pop_num()); push_num(to_int32(pop_num()) | a); break; }
    case 0x62: { const auto a = to_int32(pop_num()); push_num(to_int32(pop_num()) ^ a); break; }
    case 0x63: {
      const auto a = to_uint32(pop_num()) & 31;
      push_num(to_int32(static_cast<double>(to_uint32(pop_num()) << a)));
      break;
    }
    case 0x64: { const auto a = to_uint32(pop_num()) & 31; push_num(to_int32(pop_num()) >> a); break; }
    case 0x65: { const auto a = to_uint32(pop_num()) & 31; push_num(to_uint32(pop_num()) >> a); break; }

    // --- Stack and registers ---
    case 0x96: {  // Push
      ActionReader r(data, length);
      while (!r.at_end() && r.ok() && !stopped()) {
        const std::uint8_t type = r.u8();
        switch (type) {
          case 0: push(f, Value::from(r.string())); break;
          case 1: push_num(static_cast<double>(r.f32())); break;
          case 2: push(f, Value::null()); break;
          case 3: push(f, Value{}); break;
          case 4: {
            const std::uint8_t reg = r.u8();
            push(f, reg < f.registers.size() ? f.registers[reg] : Value{});
            break;
          }
          case 5: push(f, Value::from(r.u8() != 0)); break;
          case 6: push_num(r.f64()); break;
          case 7: push_num(static_cast<double>(static_cast<std::int32_t>(r.u32()))); break;
          case 8: case 9: {
            const std::size_t i = type == 8 ? r.u8() : r.u16();
            push(f, f.pool && i < f.pool->size() ? Value::from((*f.pool)[i]) : Value{});
            break;
          }
          default: return true;  // an unknown type ends the push
        }
      }
      break;
    }
    case 0x17: pop(f); break;
    case 0x4C: {
      Value v = stack_.size() > f.stack_base ? stack_.back() : Value{};
      push(f, std::move(v));
      break;
    }
    case 0x4D: {
      Value a = pop(f), b = pop(f);
      push(f, std::move(a));
      push(f, std::move(b));
      break;
    }
    case 0x87: {  // StoreRegister
      ActionReader r(data, length);
      const std::uint8_t reg = r.u8();
      if (r.ok() && reg < f.registers.size())
        f.registers[reg] = stack_.size() > f.stack_base ? stack_.back() : Value{};
      break;
    }
    case 0x88: {  // ConstantPool
      ActionReader r(data, length);
      auto pool = std::make_shared<std::vector<std::string>>();
      const std::uint16_t count = r.u16();
      for (std::uint16_t i = 0; i < count && r.ok(); ++i) pool->push_back(r.string());
      f.pool = std::move(pool);
      break;
    }

    // --- Control ---
    case 0x99: { ActionReader r(data, length); return jump(static_cast<std::int16_t>(r.u16())); }
    case 0x9D: {
      ActionReader r(data, length);
      const auto offset = static_cast<std::int16_t>(r.u16());
      if (to_boolean(pop(f))) return jump(offset);
      break;
    }
    case 0x3E:  // Return
      f.result = pop(f);
      f.returned = true;
      return false;
    case 0x2A: throw_value(pop(f)); break;
    case 0x94: {  // With
      ActionReader r(data, length);
      const std::uint16_t size = r.u16();
      const Value o = pop(f);
      if (next + size > f.size) return false;
      if (!o.is_object()) {
        f.pc = next + size;
        break;
      }
      if (f.blocks.size() >= 64) {
        abort("script stopped: With and Try nested deeper than 64");
        return false;
      }
      Block b;
      b.start = next;
      b.end = next + size;
      b.with = o.object;
      f.blocks.push_back(std::move(b));
      break;
    }
    case 0x8F: {  // Try
      ActionReader r(data, length);
      const std::uint8_t flags = r.u8();
      const std::size_t try_size = r.u16(), catch_size = r.u16(), finally_size = r.u16();
      Block b;
      b.is_try = true;
      b.catch_in_register = flags & 4;
      b.has_finally = flags & 2;
      b.has_catch = flags & 1;
      if (b.catch_in_register) b.catch_register = r.u8();
      else b.catch_name = r.string();
      b.start = next;
      b.end = next + try_size;
      b.catch_end = b.end + catch_size;
      b.finally_end = b.catch_end + finally_size;
      if (!r.ok() || b.finally_end > f.size) {
        abort("script stopped: a Try block reaches past its block");
        return false;
      }
      if (f.blocks.size() >= 64) {
        abort("script stopped: With and Try nested deeper than 64");
        return false;
      }
      f.blocks.push_back(std::move(b));
      break;
    }

    // --- Variables and members ---
    case 0x1C: { const std::string name = pop_str(); push(f, get_variable(f, name)); break; }
    case 0x1D: { Value v = pop(f); set_variable(f, pop_str(), std::move(v)); break; }
    case 0x3C: {  // DefineLocal
      Value v = pop(f);
      const std::string name = pop_str();
      Object* holder = f.locals ? f.locals : clip_object(f.target);
      if (holder) set_member(Value::from(holder), name, std::move(v));
      break;
    }
    case 0x41: {  // DefineLocal2
      const std::string name = pop_str();
      Object* holder = f.locals ? f.locals : clip_object(f.target);
      if (holder && !holder->find(name)) holder->put(name, Value{});
      break;
    }
    case 0x4E: { const std::string name = pop_str(); const Value o = pop(f); push(f, get_member(o, name)); break; }
    case 0x4F: {
      Value v = pop(f);
      const std::string name = pop_str();
      set_member(pop(f), name, std::move(v));
      break;
    }
    case 0x3A: {  // Delete
      const std::string name = pop_str();
      const Value o = pop(f);
      bool done = false;
      if (o.is_object()) {
        const Property* p = o.object->find(name);
        if (p && !(p->flags & kDontDelete)) done = o.object->erase(name);
      }
      push(f, Value::from(done));
      break;
    }
    case 0x3B: {  // Delete2
      const std::string name = pop_str();
      Object* holder = variable_holder(f, name);
      const Property* p = holder->find(name);
      push(f, Value::from(p && !(p->flags & kDontDelete) && holder->erase(name)));
      break;
    }
    case 0x22: {  // GetProperty
      const double index = pop_num();
      const ClipId c = target_clip(pop(f));
      if (c == kNoClip || std::isnan(index) || index < 0 || index >= kClipPropertyCount) {
        push(f, Value{});
        break;
      }
      const PropertyValue p = host_.get_property(c, static_cast<ClipProperty>(static_cast<int>(index)));
      push(f, p.is_text ? Value::from(p.text) : Value::from(p.number));
      break;
    }
    case 0x23: {  // SetProperty
      Value v = pop(f);
      const double index = pop_num();
      const ClipId c = target_clip(pop(f));
      if (c == kNoClip || std::isnan(index) || index < 0 || index >= kClipPropertyCount) break;
set_member(Value::from(clip_object(c)), kClipPropertyNames[static_cast<int>(index)], std::move(v));
      break;
    }
    case 0x24: {  // CloneSprite
      const double depth = pop_num();
      const std::string name = pop_str();
      const ClipId source = target_clip(pop(f));
      if (source && !std::isnan(depth)) host_.duplicate_movie_clip(source, name, static_cast<int>(std::clamp(depth, -1e9, 1e9)));
      break;
    }
    case 0x25: {  // RemoveSprite
      if (const ClipId c = target_clip(pop(f))) host_.remove_movie_clip(c);
      break;
    }
    case 0x45: {  // TargetPath
      const Value v = pop(f);
      const ClipId c = clip_of(v);
      push(f, c ? Value::from(target_path(c)) : Value{});
      break;
    }

    // --- Functions and objects ---
    case 0x9B: case 0x8E: {
      std::size_t after = next;
      define_function(f, data, length, code == 0x8E, after);
      f.pc = after;
      break;
    }
    case 0x3D: {  // CallFunction
      const std::string name = pop_str();
      std::vector<Value> args = pop_args();
      const Value fn = get_variable(f, name);
      Value self = Value::from(clip_object(f.target));
      push(f, call(fn, self, std::move(args)));
      break;
    }
    case 0x52: {  // CallMethod
      const Value name_v = pop(f);
      const Value o = pop(f);
      std::vector<Value> args = pop_args();
      const std::string name = name_v.is_undefined() ? std::string() : to_string(name_v);
      if (name.empty()) {
        if (o.is_object() && !is_callable(o.object) && o.object == f.super_proto) {
          // super(...): the superclass constructor on this object.
          const Value ctor = get_member(o, "constructor");
          if (ctor.is_object() && is_callable(ctor.object))
            push(f, call_function(ctor.object, f.self, args, o.object->proto));
          else
            push(f, Value{});
        } else {
          push(f, call(o, f.self, std::move(args)));
        }
        break;
      }
      const Value fn = get_member(o, name);
      if (o.is_object() && o.object == f.super_proto && fn.is_object() && is_callable(fn.object)) {
        push(f, call_function(fn.object, f.self, args, o.object->proto));
        break;
      }
      push(f, call(fn, o, std::move(args)));
      break;
    }
    case 0x40: {  // NewObject
      const std::string name = pop_str();
      std::vector<Value> args = pop_args();
      push(f, construct(get_variable(f, name), std::move(args)));
      break;
    }
    case 0x53: {  // NewMethod
      const Value name_v = pop(f);
      const Value o = pop(f);
      std::vector<Value> args = pop_args();
      const std::string name = name_v.is_undefined() ? std::string() : to_string(name_v);
      push(f, construct(name.empty() ? o : get_member(o, name), std::move(args)));
      break;
    }
    case 0x42: {  // InitArray
      std::vector<Value> elements = pop_args();
      push(f, Value::from(new_array(std::move(elements))));
      break;
    }
    case 0x43: {  // InitObject
      const double n = pop_num();
      Object* o = new_object(prototype_of("Object"));
      const std::size_t available = (stack_.size() - std::min(stack_.size(), f.stack_base)) / 2;
      const std::size_t count = n > 0 ? std::min(static_cast<std::size_t>(std::min(n, 1e9)), available) : 0;
      for (std::size_t i = 0; i < count; ++i) {
        Value v = pop(f);
        const std::string name = pop_str();
        if (!o->find(name)) o->put(name, std::move(v));
      }
      push(f, Value::from(o));
      break;
    }
    case 0x44: push(f, Value::from(type_of(pop(f)))); break;
    case 0x54: { const Value c = pop(f), o = pop(f); push(f, Value::from(instance_of(o, c))); break; }
    case 0x2B: {  // CastOp
      const Value o = pop(f), c = pop(f);
      push(f, instance_of(o, c) ? o : Value::null());
      break;
    }
    case 0x2C: {  // ImplementsOp
      const Value c = pop(f);
      std::vector<Value> interfaces = pop_args();
      const Value proto = get_member(c, "prototype");
      if (proto.is_object()) proto.object->put("__interfaces__", Value::from(new_array(std::move(interfaces))), kDontEnum);
      break;
    }
    case 0x69: {  // Extends
      const Value super_class = pop(f), sub_class = pop(f);
      if (!sub_class.is_object() || !super_class.is_object()) break;
      const Value super_proto = get_member(super_class, "prototype");
      Object* proto = new_object(super_proto.is_object() ? super_proto.object : nullptr);
      proto->put("__constructor__", super_class, kDontEnum);
      proto->put("constructor", super_class, kDontEnum);
      sub_class.object->put("prototype", Value::from(proto), kDontEnum);
      break;
    }
    case 0x46: case 0x55: {  // Enumerate, Enumerate2
      const Value o = code == 0x46 ? get_variable(f, pop_str()) : pop(f);
      push(f, Value::null());
      if (!o.is_object()) break;
      std::vector<std::string> names;
      std::unordered_set<std::string> seen;
      int guard = 0;
      for (Object* p = o.object; p && guard < 256 && !stopped(); p = p->proto, ++guard) {
        charge((p->elements.size() + p->property_count()) / 8);
        for (std::size_t i = 0; i < p->elements.size() && !stopped(); ++i) names.push_back(std::to_string(i));
        p->each([&](const Property& prop) {
          if (!(prop.flags & kDontEnum) && seen.insert(prop.name).second) names.push_back(prop.name);
        });
        if (p->kind == ObjectKind::Clip)
          for (std::string& child : host_.child_names(p->clip)) names.push_back(std::move(child));
      }
      // The loop pops them: the first to visit goes on top.
      for (auto n = names.rbegin(); n != names.rend(); ++n) push(f, Value::from(std::move(*n)));
      break;
    }

    // --- The world outside ---
    case 0x26: host_.trace(to_string(pop(f))); break;
    case 0x30: {  // RandomNumber
      const double max = pop_num();
      push_num(max > 0 && std::isfinite(max) ? std::floor(random() * std::floor(max)) : 0);
      break;
    }
    case 0x34: push_num(host_.now_ms() - start_ms_); break;  // GetTime
    case 0x83: {  // GetURL
      ActionReader r(data, length);
      const std::string url = r.string(), target = r.string();
      host_.get_url(url, target, 0);
      break;
    }
    case 0x9A: {  // GetURL2
      ActionReader r(data, length);
      const std::uint8_t flags = r.u8();
      const std::string target = pop_str(), url = pop_str();
      host_.get_url(url, target, flags & 3);
      break;
    }
    default: break;  // unknown actions are skipped by their length
  }
  return true;
}

}  // namespace player::script
