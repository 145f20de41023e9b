#pragma once
// Turns what an author asked for (build_project.h) into what the installer
// will hold, checking everything before a byte is written: every problem is
// collected, none stops the others from being found. File sizes come from
// the build's input source; of the files only their first bytes are read
// (the stub, the data file up to kCheckedDataFileMax and a data file built
// from parts are read whole). The steps are in plan_state.h.
//
// Roles the stub needs but the author left out are filled in:
//   entry 1  the impborl.dll that ssbuild carries (or finds beside itself);
//   entry 8  an empty data file NAME.ssd (zero settings, no chunks), which the
//            install unpacks to nothing and deletes afterwards;
//   7, 9, 10 an empty file named saver.dat, which lands in the screen saver's
//            folder and is replaced by the settings file at the end of the
//            install, so nothing of it remains.
// Entry 6, the screen saver program, has no stand-in: it is an error.
//
// Names (the screen saver's, entries', chunks') and the licence and read-me
// texts are converted from UTF-8 to the installer's code page (code_page.h);
// the licence gets CR LF line ends.
#include "build_plan.h"
#include "build_project.h"
#include "input_source.h"

namespace ssbuild {

// Fills `plan` and `findings`, reading the author's files from `inputs`; the
// plan is usable only without errors.
void PlanBuild(const BuildProject& project, const InputSource& inputs, BuildPlan& plan,
               Findings& findings);

}  // namespace ssbuild
