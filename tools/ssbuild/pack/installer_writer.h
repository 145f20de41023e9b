#pragma once
// Writes a planned installer (build_plan.h) to a file, streaming: each entry
// is read in pieces and imploded straight into the output (entry_stream.h),
// so memory stays small whatever the files' sizes. With several threads,
// helpers implode the entries side by side, each into a file of its own
// beside the output (OUT.part-N), which are appended in entry order. The layout is that of
// installer_builder.h (the stub, the 3148-byte header, the used entries in index order without
// gaps, empty entries pointing at the next used one), and so is the choice
// to keep an entry stored when imploding does not make it smaller.
//
// The output is written under a temporary name beside OUT and renamed at the
// end, so a failed build leaves neither a half installer nor an older one
// changed.
#include <cstdint>
#include <functional>
#include <string>

#include "build_plan.h"
#include "input_source.h"
#include "payload_format.h"
#include "status.h"

namespace ssbuild {

struct WrittenInstaller {
  ssi::PayloadHeader header;
  uint64_t fileSize = 0;
};

// Called now and then with the input bytes done so far and their total.
using ProgressFn = std::function<void(uint64_t done, uint64_t total)>;
// Called before each entry is packed (or waited for), with the entry's
// index, in entry order; both callbacks are called on the calling thread.
using StepFn = std::function<void(int index)>;

// Implodes up to `threads` entries side by side (0: one per processor); the
// output is the same for every count. The author's files are read from
// `inputs`, the build's own (PlannedEntry::madeHere) from the disk.
Status WriteInstaller(const BuildPlan& plan, const InputSource& inputs, const std::string& outPath,
                      unsigned threads, WrittenInstaller& out, const ProgressFn& progress = {},
                      const StepFn& step = {});

}  // namespace ssbuild
