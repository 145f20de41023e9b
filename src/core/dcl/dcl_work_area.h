#pragma once
// Placing the codec's state in the caller's work area. The caller's buffer
// has no promised alignment, so the state starts at the first suitably
// aligned byte and the size check allows for the bytes skipped.
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace ssi::dcl {

template <typename State>
constexpr bool FitsWorkArea(size_t workSize) {
  static_assert(std::is_trivially_destructible_v<State>, "work area state is never destroyed");
  return sizeof(State) + alignof(State) - 1 <= workSize;
}

template <typename State>
void* AlignedIn(char* work) {
  const uintptr_t address = reinterpret_cast<uintptr_t>(work);
  const uintptr_t aligned = (address + alignof(State) - 1) & ~uintptr_t{alignof(State) - 1};
  return work + (aligned - address);
}

}  // namespace ssi::dcl
