#include "planner.h"

#include "payload_roles.h"
#include "plan_branding.h"
#include "plan_pictures.h"
#include "plan_state.h"

namespace ssbuild {

PlanState::PlanState(const BuildProject& p, const InputSource& in, BuildPlan& out, Findings& found)
    : project(p),
      inputs(in),
      plan(out),
      findings(found),
      text(p.codePage.value_or(kDefaultCodePage), p.origins, found.errors) {}

void PlanState::Incomplete(const std::string& problem) {
  if (project.allowIncomplete)
    findings.warnings.push_back(problem);
  else
    findings.errors.push_back(problem + " (allow it with --allow-incomplete)");
}

std::string PlanState::Origin(const std::string& key) const {
  const auto found = project.origins.find(key);
  return found == project.origins.end() ? std::string() : At(found->second);
}

std::string Describe(int role) {
  return "entry " + std::to_string(role) + " (" + RoleWord(role) + ")";
}

std::string At(const std::string& origin) {
  return origin.empty() || origin.rfind("--", 0) == 0 ? std::string() : origin + ": ";
}

void PlanBuild(const BuildProject& project, const InputSource& inputs, BuildPlan& plan,
               Findings& findings) {
  plan = BuildPlan{};
  findings = Findings{};
  PlanState s(project, inputs, plan, findings);
  PlanHeader(s);
  const size_t errors = findings.errors.size();
  PlanStub(s);
  if (findings.errors.size() == errors) BrandPlannedStub(project, inputs, plan, findings);
  CheckOutputFolder(s);
  for (int role = kFirstRole; role <= kLastRole; ++role) PlanAuthorFile(s, role);
  ConvertPreview(project, inputs, plan, findings);
  CheckShowPictures(project, inputs, findings);
  PlanDataFileFromParts(s);
  PlanLibrary(s);
  CheckCompleteness(s);
  PlanStandIns(s);
  PlanShowLayout(s);
  CheckContents(s);
  CheckSameDestination(s);
  for (const std::string& text : project.repeated) findings.warnings.push_back(text);

  for (int role = kFirstRole; role <= kLastRole; ++role) {
    PlannedEntry& e = plan.entries[static_cast<size_t>(role)];
    e.kind = RoleKind(role);
    if (e.inMemory && e.size == 0) e.compression = CompressionChoice{};  // imploded: see Pack
    e.compression.level = project.level;
  }
}

}  // namespace ssbuild
