#include "installer_session.h"

#include "artifacts.h"
#include "installer_form.h"

namespace ssi::e2e {
namespace {

constexpr DWORD kPollMs = 50;
constexpr const char* kDialogClass = "#32770";

}  // namespace

InstallerSession::~InstallerSession() {
  // A test that failed half-way must not leave the installer running into
  // the next test of the same prefix.
  driver::Terminate(started_.process.get());
}

bool InstallerSession::Launch(const std::string& image, const std::string& fileName,
                              const std::string& argument) {
  installerPath_ = test::MakeTempFolder("e2e") + fileName;
  if (!test::WriteWholeFile(installerPath_, image)) {
    launchError = "cannot write " + installerPath_;
    return false;
  }
  started_ = driver::StartProgram(installerPath_, argument, launchError);
  return static_cast<bool>(started_);
}

bool InstallerSession::LaunchIn(const std::string& folder, const std::string& workingFolder,
                                const std::string& image) {
  installerPath_ = folder + "setup.exe";
  if (!test::WriteWholeFile(installerPath_, image)) {
    launchError = "cannot write " + installerPath_;
    return false;
  }
  started_ = driver::StartProgram(installerPath_, {}, launchError, workingFolder);
  return static_cast<bool>(started_);
}

HWND InstallerSession::FindForm() const {
  for (HWND hwnd : driver::TopLevelWindows(started_.pid))
    if (IsWindowVisible(hwnd) && driver::ClassOf(hwnd) == kFormClassName) return hwnd;
  return nullptr;
}

HWND InstallerSession::FindMessageBox() const {
  for (HWND hwnd : driver::TopLevelWindows(started_.pid))
    if (IsWindowVisible(hwnd) && driver::ClassOf(hwnd) == kDialogClass) return hwnd;
  return nullptr;
}

bool InstallerSession::AnswerMessageBox() {
  HWND box = FindMessageBox();
  if (!box) return false;
  // The text control may be filled a moment after the box shows.
  Sleep(kPollMs);
  boxes.push_back(driver::ReadMessageBox(box));
  driver::PressMessageBoxButton(box);
  driver::WaitForWindowGone(box, 5000);
  return true;
}

HWND InstallerSession::WaitForForm(DWORD timeoutMs) {
  if (!started_) return nullptr;
  const DWORD start = GetTickCount();
  for (;;) {
    if (!AnswerMessageBox()) {
      if (HWND form = FindForm()) return form;
    }
    if (driver::HasExited(Process())) return nullptr;
    if (GetTickCount() - start >= timeoutMs) return nullptr;
    Sleep(kPollMs);
  }
}

bool InstallerSession::WaitForEnd(DWORD timeoutMs) {
  if (!started_) return false;
  const DWORD start = GetTickCount();
  for (;;) {
    if (driver::WaitForExit(Process(), kPollMs, &exitCode_)) return true;
    AnswerMessageBox();
    if (GetTickCount() - start >= timeoutMs) return false;
  }
}

std::string DescribeBoxes(const std::vector<driver::MessageBoxContent>& boxes) {
  std::string out;
  for (const auto& box : boxes) {
    out += "[" + box.title + "] " + box.text + " |";
    for (const auto& button : box.buttons) out += " " + button;
    out += "\n";
  }
  return out.empty() ? "(no message boxes)" : out;
}

}  // namespace ssi::e2e
