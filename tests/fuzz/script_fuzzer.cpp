// Random bytecode against the fake movie: byte 0 picks the movie's version
// (4..10), the rest is a DoAction block. The block runs as a frame script,
// then as the clips' onEnterFrame and the timers it set, with the clock
// moved on; then the garbage is collected. Checked: every run ends (the
// instruction budget), no cap is exceeded unnoticed, and the interpreter
// still runs a plain script afterwards.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_check.h"
#include "interpreter.h"
#include "script_fake_host.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  script_test::FakeHost host;
  host.version = 4 + data[0] % 7;
  host.max_clips = 200;
  player::script::Limits limits;
  limits.instructions_per_entry = 20000;
  limits.recursion_depth = 64;
  limits.string_length = 1 << 16;
  limits.array_length = 1 << 14;
  limits.object_count = 20000;
  limits.stack_values = 5000;
  limits.memory_bytes = 32u << 20;
  limits.intervals = 16;
  player::script::Interpreter in(host, limits);

  std::vector<std::uint8_t> code(data + 1, data + size);  // an exact-size copy, so ASan sees overreads
  in.run_actions(1, {code.data(), code.size()});
  in.run_actions(2, {code.data(), code.size()});
  for (int tick = 0; tick < 3; ++tick) {
    host.clock_ms += 1000;
    for (player::script::ClipId c = 1; c < 6; ++c) in.call_clip_handler(c, "onEnterFrame");
    in.tick_intervals();
  }
  in.collect_garbage();
  FUZZ_CHECK(in.live_objects() <= limits.object_count + 64);

  host.traces.clear();
  static const std::uint8_t hello[] = {0x96, 0x04, 0x00, 0x00, 'h', 'i', 0x00, 0x26, 0x00};
  FUZZ_CHECK(in.run_actions(1, {hello, sizeof hello}).ok);
  FUZZ_CHECK(!host.traces.empty() && host.traces.back() == "hi");
  return 0;
}
