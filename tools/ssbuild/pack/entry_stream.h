#pragma once
// Packs one planned entry (build_plan.h) into an open file, streaming: the
// entry is read in pieces from its file (through the build's InputSource,
// or from memory) and imploded or
// copied straight into the output, so memory stays small whatever its size.
// The installer writer runs several of these side by side, each into its own
// file, so nothing here is shared but what PackWatch points at.
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>

#include "build_plan.h"
#include "input_source.h"
#include "status.h"

namespace ssbuild {

// Where a run writes (at the file's current position) and what came of it.
struct PackTarget {
  std::FILE* file = nullptr;
  uint64_t room = 0;  // bytes the output may grow by
  uint64_t written = 0;
  bool overLimit = false;  // the output would have grown past `room`
  bool writeFailed = false;
  bool cancelled = false;  // stopped because PackWatch::stop was set
};

// What a run shares with whoever watches it; every member may be null.
struct PackWatch {
  std::atomic<uint64_t>* read = nullptr;        // input bytes read, the most of any try
  const std::atomic<bool>* stop = nullptr;      // set: give up at the next piece
  const std::function<void()>* tick = nullptr;  // after each piece, on the packing thread
};

// Implodes `e` as long as the result stays smaller than the entry, and sets
// `kept` when it did; otherwise what was written is to be dropped and the
// entry copied as it is. An empty entry is always imploded: stored it would
// have the length 0 that the stub refuses.
Status TryImplodeEntry(const PlannedEntry& e, const InputSource& inputs, PackTarget& out,
                       const PackWatch& watch, bool& kept);

// Copies `e` as it is.
Status CopyEntry(const PlannedEntry& e, const InputSource& inputs, PackTarget& out,
                 const PackWatch& watch);

}  // namespace ssbuild
