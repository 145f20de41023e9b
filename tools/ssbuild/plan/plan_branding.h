#pragma once
// The planner's step that gives the stub the author's icon and version
// record (stub_resources.h), reading the icon file.
#include "build_plan.h"
#include "build_project.h"
#include "input_source.h"

namespace ssbuild {

// Rewrites `plan.stub` when the project gives an icon or version texts;
// leaves it byte for byte as it was otherwise. Problems are errors naming
// the project line.
void BrandPlannedStub(const BuildProject& project, const InputSource& inputs, BuildPlan& plan,
                      Findings& findings);

}  // namespace ssbuild
