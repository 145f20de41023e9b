// The ActionScript 1/2 interpreter. The movie owns one per running movie and
// drives it through the entry points below; it reaches clips only through
// the ClipHost it is given, which must answer swf_version() and now_ms() as
// soon as the interpreter is made.
//
// A frame, as the movie runs it: the new frame's DoAction blocks and clip
// events through run_actions (a placed clip from a registered class first
// through clip_constructed), onEnterFrame of each clip that has_clip_handler,
// tick_intervals once; clip_removed for every clip that leaves. Entry points
// do not nest (a host call made from a script may call clip_constructed,
// which then shares the running script's budget); variable_text and
// collect_garbage are for between entries.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "clip_host.h"
#include "limits.h"
#include "value.h"

namespace player::script {

// What an entry point did: ok, or the message of the cap or fault that stopped
// the script (the movie itself carries on).
struct RunResult {
  bool ok = true;
  std::string error;
};

class Interpreter {
 public:
  explicit Interpreter(ClipHost& host, Limits limits = {}, std::uint32_t random_seed = 1);
  ~Interpreter();
  Interpreter(const Interpreter&) = delete;
  Interpreter& operator=(const Interpreter&) = delete;

  // --- Entry points the movie calls ---------------------------------------
  // A DoAction/DoInitAction block or a clip event's actions, run on `clip`.
  RunResult run_actions(ClipId clip, ByteSpan actions);
  // The clip's handler `name` (onEnterFrame, onLoad, onPress...) if it has one.
  RunResult call_clip_handler(ClipId clip, std::string_view name);
  bool has_clip_handler(ClipId clip, std::string_view name);
  // A clip just placed or attached: gives it the class Object.registerClass
  // named for its symbol and runs that constructor.
  RunResult clip_constructed(ClipId clip);
  // Runs the setInterval/setTimeout timers due at the host's clock.
  RunResult tick_intervals();
  // The clip left the display list: its variables go with it.
  void clip_removed(ClipId clip);
  // A variable as text, for a text field bound to it ("name", "a.b", "/clip:v").
  std::string variable_text(ClipId clip, std::string_view path);
  // Frees what no script can reach any more; the entry points call it.
  void collect_garbage();
  std::size_t live_objects() const { return heap_.size(); }

  // --- What the built-ins use ---------------------------------------------
  ClipHost& host() { return host_; }
  int version() const { return version_; }
  const Limits& limits() const { return limits_; }
  Object* global() { return global_; }

  Object* new_object(Object* proto = nullptr, ObjectKind kind = ObjectKind::Plain);
  Object* new_array(std::vector<Value> elements = {});
  Object* new_native(NativeFunction f, Object* with_prototype = nullptr);
  Object* clip_object(ClipId clip);  // nullptr for a dead clip
  ClipId clip_of(const Value& v);    // kNoClip unless a live clip
  Object* prototype_of(std::string_view constructor_name);

  Value get_member(const Value& object, std::string_view name);
  void set_member(const Value& object, std::string_view name, Value value);
  Value call(const Value& function, const Value& self, std::vector<Value> args);
  Value call_method(const Value& object, std::string_view name, std::vector<Value> args);
  Value construct(const Value& constructor, std::vector<Value> args);

  double to_number(const Value& v);
  std::string to_string(const Value& v);
  bool to_boolean(const Value& v);
  Value to_primitive(const Value& v, bool prefer_string = false);
  std::string type_of(const Value& v);
  bool instance_of(const Value& v, const Value& constructor);

  ClipId resolve_target(std::string_view path, ClipId base);
  std::string target_path(ClipId clip);  // "_level0.a.b"

  // Stops the running script with `message` (a cap, a fault).
  void abort(std::string message);
  bool stopped() const { return status_ != Status::Running; }
  void throw_value(Value v);
  // Checks a new string or array size against its cap (aborting when over).
  bool fits_string(std::size_t length);
  bool fits_array(std::size_t length);
  double random();  // [0, 1)
  ClipId current_target() const;

  struct Timer {
    Value function;
    Value self;
    std::string method;  // setInterval(object, "name", ms)
    std::vector<Value> args;
    double interval_ms = 0;
    double due_ms = 0;
    bool repeat = true;
  };
  int add_timer(Timer t);
  void remove_timer(int id);
  void register_class(std::string linkage_id, Object* constructor);
  void note_stored(std::size_t bytes);  // string bytes kept in properties
  // Bytes of strings and arrays made during this run: every copy counts, so
  // that copying a large string many times meets memory_bytes.
  void note_made(std::size_t bytes);
  // Work a built-in does on the script's behalf, in actions' worth: a sort
  // or a join of a long array counts against instructions_per_entry.
  bool charge(std::size_t units);

 private:
  enum class Status { Running, Thrown, Aborted };
  struct Frame;
  struct Block;

  // Runs `body` as one entry: a fresh budget, errors turned into the result.
  RunResult enter(const std::function<void()>& body);
  void execute(Frame& f);
  bool step(Frame& f, std::uint8_t code, const std::uint8_t* data, std::size_t length, std::size_t next);
  Value get_variable(Frame& f, std::string_view name);
  void set_variable(Frame& f, std::string_view name, Value v);
  Object* variable_holder(Frame& f, std::string_view name);
  Value call_function(Object* fn, const Value& self, std::vector<Value>& args, Object* callee_super = nullptr);
  void define_function(Frame& f, const std::uint8_t* data, std::size_t length, bool v2, std::size_t& next);
  Value get_clip_member(Object* clip_obj, std::string_view name, bool& found);
  bool set_clip_member(Object* clip_obj, std::string_view name, const Value& value);
  void push(Frame& f, Value v);
  Value pop(Frame& f);
  void install_builtins();
  void mark(Object* o);
  bool equals2(const Value& a, const Value& b);
  Value less2(const Value& a, const Value& b);
  void goto_frame(ClipId clip, const Value& frame, bool play, int scene_bias);
  void call_frame(Frame& f, const Value& frame);

  ClipHost& host_;
  Limits limits_;
  int version_ = 0;
  std::vector<std::unique_ptr<Object>> heap_;
  std::size_t collect_at_ = 1024;
  Object* global_ = nullptr;
  std::unordered_map<ClipId, Object*> clips_;
  std::unordered_map<std::string, Object*> registered_classes_;
  std::vector<Value> stack_;
  std::vector<Frame*> frames_;
  std::size_t instructions_ = 0;
  std::size_t depth_ = 0;
  std::size_t string_bytes_ = 0;
  Status status_ = Status::Running;
  Value thrown_;
  std::string error_;
  std::uint64_t random_state_;
  std::unordered_map<int, Timer> timers_;
  int next_timer_ = 1;
  bool in_entry_ = false;
  std::size_t stored_bytes_ = 0;
  std::size_t made_bytes_ = 0;
  void check_memory();
  double start_ms_ = 0;  // the clock when the movie started (GetTime counts from it)

};

// The built-ins, by file.
void install_core_builtins(Interpreter& in);     // Object, Function, Array, Boolean, Number, globals
void install_string_builtins(Interpreter& in);   // String
void install_math_builtins(Interpreter& in);     // Math
void install_date_builtins(Interpreter& in);     // Date
void install_clip_builtins(Interpreter& in);     // MovieClip, Color, Stage, Key, Mouse, timers
void install_bitmap_builtins(Interpreter& in);   // flash.display.BitmapData, flash.filters

}  // namespace player::script
