// Calling functions and defining them from DefineFunction and DefineFunction2.
#include <algorithm>
#include <cmath>
#include <limits>

#include "action_reader.h"
#include "frame.h"
#include "interpreter.h"
#include "names.h"

namespace player::script {

namespace {

// The flags of DefineFunction2, as its 16-bit field reads little-endian.
enum : std::uint16_t {
  kPreloadThis = 0x0001, kSuppressThis = 0x0002, kPreloadArguments = 0x0004,
  kSuppressArguments = 0x0008, kPreloadSuper = 0x0010, kSuppressSuper = 0x0020,
  kPreloadRoot = 0x0040, kPreloadParent = 0x0080, kPreloadGlobal = 0x0100,
};

}  // namespace


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
  // A method called on a clip acts on that clip: its property setters with
  // an empty target ("" as setProperty's target) reach it, not the timeline
  // that defined the function.
  const ClipId on = clip_of(self);
  f.target = f.original_target = on != kNoClip                                  ? on
                                 : fn->target != kNoClip && host_.alive(fn->target) ? fn->target
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

}  // namespace player::script
