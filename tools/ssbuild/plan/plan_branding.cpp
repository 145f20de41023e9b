#include "plan_branding.h"

#include "stub_resources.h"

namespace ssbuild {
namespace {

// An icon file holds a few sizes of one picture; anything larger is the wrong file.
constexpr uint64_t kIconFileMax = 4u << 20;

}  // namespace

void BrandPlannedStub(const BuildProject& project, const InputSource& inputs, BuildPlan& plan,
                      Findings& findings) {
  StubBranding branding;
  branding.version = project.installerVersion;
  const std::string where = project.iconOrigin.empty() ? "" : project.iconOrigin + ": ";
  if (!project.iconPath.empty()) {
    Status status = ReadInput(inputs, project.iconPath, branding.icon);
    if (status.ok() && branding.icon.size() > kIconFileMax)
      status = Status::Fail(project.iconPath + ": larger than 4 MiB; not an icon file");
    if (!status.ok()) {
      findings.errors.push_back(where + "icon: " + status.text());
      return;
    }
    if (branding.icon.empty()) {
      findings.errors.push_back(where + "icon: " + project.iconPath + ": the file is empty");
      return;
    }
  }
  if (!branding.Any() || plan.stub.empty()) return;
  const Status status = BrandStub(plan.stub, branding);
  if (status.ok()) return;
  const std::string text = status.text();
  findings.errors.push_back((text.rfind("icon: ", 0) == 0
                                 ? where + "icon: " + project.iconPath + ": " + text.substr(6)
                                 : plan.stubLabel + ": " + text));
}

}  // namespace ssbuild
