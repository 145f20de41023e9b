#pragma once
// What the planner's steps (planner.h) share while one plan is made, and the
// steps themselves, each a function of its own; PlanBuild runs them in order.
#include <array>
#include <string>

#include "build_plan.h"
#include "build_project.h"
#include "input_source.h"
#include "installer_text.h"
#include "payload_format.h"

namespace ssbuild {

struct PlanState {
  PlanState(const BuildProject& p, const InputSource& in, BuildPlan& out, Findings& found);

  // Errors that make the install fail become warnings with --allow-incomplete.
  void Incomplete(const std::string& problem);
  // The size of a regular file, or the problem with it in the system's words.
  bool StatFile(const std::string& path, uint64_t& size, std::string& problem) const {
    return inputs.Stat(path, size, problem);
  }
  PlannedEntry& Entry(int role) { return plan.entries[static_cast<size_t>(role)]; }
  bool Used(int role) const { return plan.entries[static_cast<size_t>(role)].used; }
  // Given, even when the file itself is at fault: that fault is reported
  // already, and the role should not be reported missing as well.
  bool Given(int role) const { return given[static_cast<size_t>(role)] || Used(role); }
  // Names and texts come in UTF-8 and go to the installer in its code page.
  bool ToCodePage(std::string& value, bool multiLine, const std::string& what,
                  const std::string& key = {}) {
    return text.Convert(value, multiLine, what, key);
  }
  // "project.ini:12: " for the setting `key` (installer_text.h), when a
  // project file gave it.
  std::string Origin(const std::string& key) const;

  const BuildProject& project;
  const InputSource& inputs;
  BuildPlan& plan;
  Findings& findings;
  std::array<bool, ssi::kPayloadEntryCount> given{};
  InstallerText text;
  bool dataFileFailed = false;
  std::string utf8Saver;  // the name as given, for the default entry names
  bool saverNameFailed = false;
};

// "entry 6 (screen-saver)"
std::string Describe(int role);
// "project.ini:12: " for a setting of a project file; options name themselves.
std::string At(const std::string& origin);

// The steps (plan_entries.cpp, plan_data_file.cpp, plan_checks.cpp).
void PlanHeader(PlanState& s);
void PlanStub(PlanState& s);
void CheckOutputFolder(PlanState& s);
void PlanAuthorFile(PlanState& s, int role);
void CheckEntryName(PlanState& s, int role);
void PlanDataFileFromParts(PlanState& s);
void PlanLibrary(PlanState& s);
void CheckCompleteness(PlanState& s);
void PlanStandIns(PlanState& s);
void PlanShowLayout(PlanState& s);
void CheckContents(PlanState& s);
void CheckSameDestination(PlanState& s);

}  // namespace ssbuild
