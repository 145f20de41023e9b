// Caps that keep a hostile movie's scripts from hanging or exhausting the
// player. Exceeding one stops the script that hit it (never the movie), with
// the cap's name and value in the message.
#pragma once

#include <cstddef>

namespace player::script {

struct Limits {
  // Actions run by one entry: a frame's script, an event handler, one
  // interval's call. A screen saver's frame script runs a few thousand.
  std::size_t instructions_per_entry = 2'000'000;
  std::size_t recursion_depth = 200;        // nested function calls
  std::size_t string_length = 8u << 20;     // bytes in one string
  std::size_t array_length = 1u << 20;      // elements in one array
  std::size_t object_count = 500'000;       // live objects
  std::size_t stack_values = 100'000;       // the operand stack
  std::size_t memory_bytes = 256u << 20;    // strings, arrays, objects, estimated
  std::size_t intervals = 1000;             // live setInterval/setTimeout timers
};

}  // namespace player::script
