#pragma once
// An InstallerUi for tests: records every status, box and progress step
// instead of showing it, and never waits.
#include <string>
#include <vector>

#include "installer_ui.h"

namespace ssi::test {

class RecordingUi : public InstallerUi {
 public:
  void ShowStatus(const std::string& text) override { statuses.push_back(text); }
  void StepProgress() override { ++progressSteps; }
  void Pause() override { ++pauses; }
  void SetProgressFull(bool full) override { progressFull = full; }
  void ShowErrorBox(const std::string& text) override { errorBoxes.push_back(text); }
  void ShowInformationBox(const std::string& text) override { informationBoxes.push_back(text); }
  void BringToFront() override { ++broughtToFront; }
  HWND ContentPanel() override { return contentPanel; }

  std::vector<std::string> statuses;
  std::vector<std::string> errorBoxes;
  std::vector<std::string> informationBoxes;
  int progressSteps = 0;
  int pauses = 0;
  int broughtToFront = 0;
  bool progressFull = false;
  HWND contentPanel = nullptr;
};

}  // namespace ssi::test
