#include "saver_fixture.h"

#include <cstdlib>

#include "artifacts.h"
#include "file_checks.h"

namespace ssi::saver_test {
namespace {

constexpr DWORD kPollMs = 50;

std::string WithoutAmpersand(std::string text) {
  std::string out;
  for (char c : text)
    if (c != '&') out += c;
  return out;
}

void PutLe(std::string& s, size_t at, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s[at + static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
}

}  // namespace

SaverRun::~SaverRun() {
  if (started_ && !driver::HasExited(started_.process.get()))
    driver::Terminate(started_.process.get());
}

bool SaverRun::Start(const std::string& program, const std::string& arguments) {
  std::string error;
  started_ = driver::StartProgram(program, arguments, error);
  if (!started_) ADD_FAILURE() << "could not start " << program << ": " << error;
  return static_cast<bool>(started_);
}

bool SaverRun::StartCommandLine(std::string commandLine) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    ADD_FAILURE() << "could not start " << commandLine << ": error " << GetLastError();
    return false;
  }
  CloseHandle(info.hThread);
  started_.process.reset(info.hProcess);
  started_.pid = info.dwProcessId;
  return true;
}

bool SaverRun::AnswerBox(const std::string& answer) {
  for (HWND hwnd : driver::TopLevelWindows(started_.pid)) {
    if (!IsWindowVisible(hwnd) || driver::ClassOf(hwnd) != "#32770") continue;
    Sleep(kPollMs);  // the text may come a moment after the box
    const driver::MessageBoxContent box = driver::ReadMessageBox(hwnd);
    if (box.buttons.empty()) continue;  // a dialog of our own, not a box
    boxes.push_back(box);
    std::string caption = box.buttons[0];
    for (const std::string& b : box.buttons)
      if (WithoutAmpersand(b) == answer) caption = b;
    driver::PressMessageBoxButton(hwnd, caption);
    driver::WaitForWindowGone(hwnd, 5000);
    return true;
  }
  return false;
}

bool SaverRun::WaitForEnd(DWORD timeoutMs, const std::string& answer) {
  if (!started_) return false;
  const DWORD start = GetTickCount();
  for (;;) {
    if (driver::WaitForExit(started_.process.get(), kPollMs, &exitCode)) return true;
    AnswerBox(answer);
    if (GetTickCount() - start >= timeoutMs) return false;
  }
}

bool SaverRun::AnswerNextBox(const std::string& answer, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (started_ && GetTickCount() - start < timeoutMs) {
    if (AnswerBox(answer)) return true;
    if (driver::HasExited(started_.process.get())) return false;
    Sleep(kPollMs);
  }
  return false;
}

HWND SaverRun::WaitForWindow(const std::string& className, const std::string& title,
                             DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (started_ && GetTickCount() - start < timeoutMs) {
    for (HWND hwnd : driver::TopLevelWindows(started_.pid)) {
      if (!IsWindowVisible(hwnd)) continue;
      if ((!className.empty() && driver::ClassOf(hwnd) == className) ||
          (!title.empty() && driver::TextOf(hwnd) == title))
        return hwnd;
    }
    if (driver::HasExited(started_.process.get())) return nullptr;
    Sleep(kPollMs);
  }
  return nullptr;
}

std::string Describe(const std::vector<driver::MessageBoxContent>& boxes) {
  std::string out;
  for (const auto& box : boxes) out += "[" + box.title + "] " + box.text + "\n";
  return out;
}

void SaverTest::SetUp() {
  program_ = test::ReadWholeFile(test::ArtifactPath("SSI_SAMPLE_SAVER"));
  ASSERT_FALSE(program_.empty()) << "the screen saver program could not be read";
  windowsDir_ = test::WindowsDir();
}

void SaverTest::TearDown() {
  // The next test of this program starts without the user's settings.
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Screen Saver Installer\\meadow");
}

void SaverTest::PlaceSaver(const std::string& name, const std::map<std::string, std::string>& files,
                           const std::string& settings) {
  ASSERT_TRUE(test::WriteWholeFile(ProgramOf(name), program_));
  CreateDirectoryA(FolderOf(name).c_str(), nullptr);
  e2e::DeleteFilesIn(FolderOf(name));
  for (const auto& [file, bytes] : files)
    ASSERT_TRUE(test::WriteWholeFile(FolderOf(name) + file, bytes)) << file;
  if (!settings.empty()) {
    ASSERT_TRUE(test::WriteWholeFile(FolderOf(name) + "saver.dat", settings));
  }
}

COLORREF SaverTest::ColourAt(const RECT& area) {
  const HDC screen = GetDC(nullptr);
  const COLORREF colour =
      GetPixel(screen, (area.left + area.right) / 2, (area.top + area.bottom) / 2);
  ReleaseDC(nullptr, screen);
  return colour;
}

std::string SolidBitmap(COLORREF colour) {
  constexpr int kWidth = 64, kHeight = 48;
  const size_t row = kWidth * 3;
  std::string file(54 + row * kHeight, '\0');
  file[0] = 'B';
  file[1] = 'M';
  PutLe(file, 2, static_cast<uint32_t>(file.size()), 4);
  PutLe(file, 10, 54, 4);
  PutLe(file, 14, 40, 4);
  PutLe(file, 18, kWidth, 4);
  PutLe(file, 22, kHeight, 4);
  PutLe(file, 26, 1, 2);
  PutLe(file, 28, 24, 2);
  for (size_t i = 54; i + 2 < file.size(); i += 3) {
    file[i] = static_cast<char>(GetBValue(colour));
    file[i + 1] = static_cast<char>(GetGValue(colour));
    file[i + 2] = static_cast<char>(GetRValue(colour));
  }
  return file;
}

bool Near(COLORREF a, COLORREF b) {
  auto close = [](int x, int y) { return std::abs(x - y) <= 8; };
  return close(GetRValue(a), GetRValue(b)) && close(GetGValue(a), GetGValue(b)) &&
         close(GetBValue(a), GetBValue(b));
}

}  // namespace ssi::saver_test
