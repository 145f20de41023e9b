#include <map>

#include "console_text.h"
#include "file_kinds.h"
#include "path_rules.h"
#include "payload_roles.h"
#include "plan_state.h"

namespace ssbuild {

void CheckCompleteness(PlanState& s) {
  if (!s.Given(ssi::entry::kSaverProgram))
    s.Incomplete(
        "entry 6 (screen-saver) is missing: an installer needs the screen saver program "
        "(--screen-saver FILE, or screen-saver = in [files])");
  if (s.plan.licenceFlag && !s.Given(ssi::entry::kLicence))
    s.Incomplete("the licence flag is set but entry 4 (licence) is missing");
  if (s.plan.readMeFlag && !s.Given(ssi::entry::kReadMe))
    s.Incomplete("the read-me flag is set but entry 5 (readme) is missing");
  const int mode = s.plan.displayMode;
  if (mode >= 1 && mode <= 3 && !s.Given(ssi::entry::kPreview))
    s.findings.errors.push_back(
        "display mode " + std::to_string(mode) +
        " shows a preview but entry 3 (preview) is missing: add preview = FILE to [files] (" +
        (mode == 1 ? "a BMP picture" : "a Flash movie") +
        ", 350 x 150 pixels fill its panel) or give --preview FILE; or set display = none");
  // The silent install runs the Flash check before anything else and stops
  // with "Unspecified error" when it finds no player and no installer.
  if (mode == 4 && !s.Given(ssi::entry::kFlashInstaller))
    s.Incomplete(
        "a silent install needs entry 2 (flash-installer): without a Flash player on the "
        "system it stops before writing anything");
  if ((mode == 2 || mode == 3) && !s.Given(ssi::entry::kFlashInstaller))
    s.findings.warnings.push_back(
        "a movie preview without entry 2 (flash-installer): where no Flash player is "
        "installed the installer cannot show the movie");
}

void CheckContents(PlanState& s) {
  const int mode = s.plan.displayMode;
  const PlannedEntry& preview = s.Entry(ssi::entry::kPreview);
  // An empty picture preview is an error already.
  if (preview.used && !preview.inMemory && !(mode == 1 && preview.size == 0)) {
    const Bytes head = ReadInputHead(s.inputs, preview.path, kSniffSize);
    std::string problem;
    if (mode == 1) problem = BitmapProblem(head, preview.size);
    if (mode == 2 || mode == 3) problem = FlashMovieProblem(head);
    if (!problem.empty())
      s.findings.warnings.push_back("entry 3 (preview): " + preview.path + ": " + problem +
                                    ", so the installer window cannot show it");
  }
  if (preview.used && (mode < 1 || mode > 3))
    s.findings.warnings.push_back("entry 3 (preview) is given, but display mode " +
                                  std::to_string(mode) +
                                  " shows no preview (use picture or movie)");
  if (s.Used(ssi::entry::kLicence) && !s.plan.licenceFlag)
    s.findings.warnings.push_back(
        "entry 4 (licence) is given without the licence flag, so the installer never shows it");
  if (s.Used(ssi::entry::kReadMe) && !s.plan.readMeFlag)
    s.findings.warnings.push_back(
        "entry 5 (readme) is given without the read-me flag, so the installer never writes it");
  if (mode == 4 && (s.plan.licenceFlag || s.Used(ssi::entry::kLicence)))
    s.findings.warnings.push_back(
        "a silent install shows no window, so nobody sees or accepts the licence");
  const PlannedEntry& saver = s.Entry(ssi::entry::kSaverProgram);
  if (saver.used && !saver.inMemory) {
    const std::string problem =
        Win32ProgramProblem(ReadInputHead(s.inputs, saver.path, kSniffSize));
    if (!problem.empty())
      s.findings.warnings.push_back("entry 6 (screen-saver): " + saver.path + ": " + problem +
                                    ", so Windows cannot run it");
  }
}

// Two entries landing on the same file: the later one replaces the earlier.
void CheckSameDestination(PlanState& s) {
  std::map<std::string, int> seen;
  for (int role = kFirstRole; role <= kLastRole; ++role) {
    const PlannedEntry& e = s.Entry(role);
    if (!e.used || e.standIn || e.name.empty()) continue;
    const auto where = ssi::EntryDestination(RoleKind(role), e.name, "W\\", "S\\");
    if (!where) continue;
    const std::string key = ssi::AsciiLower(*where);
    if (key == "s\\" + std::string(kStandInName))
      s.findings.warnings.push_back(
          Describe(role) + " lands as " + kStandInName +
          ", which the install replaces with the screen saver's settings");
    const auto [it, fresh] = seen.emplace(key, role);
    if (!fresh)
      s.findings.warnings.push_back(Describe(role) + " lands on the same file as " +
                                    Describe(it->second) + " (" + ShownName(e.name) +
                                    "), replacing it");
  }
}

}  // namespace ssbuild
