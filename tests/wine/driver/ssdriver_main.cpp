// ssdriver: drives the installer's windows from a shell script under Wine.
//
//   ssdriver run INSTALLER [--arg TEXT]
//   ssdriver run-and-wait-window INSTALLER TITLE [--arg TEXT] [--timeout S]
//   ssdriver wait-window PID TITLE [--timeout S]
//   ssdriver dump PID
//   ssdriver click PID TITLE ID
//   ssdriver press-box PID [BUTTON-CAPTION] [--title T]
//   ssdriver close PID TITLE [--message]
//   ssdriver wait-exit PID [--timeout S] [--answer-boxes]
//   ssdriver kill PID
//
// Output is one "key value" pair per line (pid, hwnd, x11, rect, client,
// error-box, question, exit-code), easy to read from a shell. Exit status: 0 done,
// 1 usage, 2 timeout or not found, 3 an error box came first.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "process_driver.h"
#include "window_driver.h"

namespace {

using namespace ssi::driver;

constexpr int kOk = 0;
constexpr int kUsage = 1;
constexpr int kNotFound = 2;
constexpr int kErrorBox = 3;
constexpr const char* kErrorTitle = "Error";

struct Options {
  std::vector<std::string> positional;
  std::string argument;
  std::string title = kErrorTitle;
  DWORD timeoutMs = 20000;
  bool closeMessage = false;
  bool answerBoxes = false;
};

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 2; i < argc; ++i) {
    const std::string word = argv[i];
    const bool hasValue = i + 1 < argc;
    if (word == "--arg" && hasValue) {
      options.argument = argv[++i];
    } else if (word == "--timeout" && hasValue) {
      const double seconds = std::atof(argv[++i]);
      if (seconds <= 0) return false;
      options.timeoutMs = static_cast<DWORD>(seconds * 1000);
    } else if (word == "--title" && hasValue) {
      options.title = argv[++i];
    } else if (word == "--message") {
      options.closeMessage = true;
    } else if (word == "--answer-boxes") {
      options.answerBoxes = true;
    } else if (word.rfind("--", 0) == 0) {
      return false;
    } else {
      options.positional.push_back(word);
    }
  }
  return true;
}

int Usage() {
  std::fputs(
      "usage: ssdriver run INSTALLER [--arg TEXT]\n"
      "       ssdriver run-and-wait-window INSTALLER TITLE [--arg TEXT] [--timeout S]\n"
      "       ssdriver wait-window PID TITLE [--timeout S]\n"
      "       ssdriver dump PID\n"
      "       ssdriver click PID TITLE ID\n"
      "       ssdriver press-box PID [BUTTON-CAPTION] [--title T]\n"
      "       ssdriver close PID TITLE [--message]\n"
      "       ssdriver wait-exit PID [--timeout S] [--answer-boxes]\n"
      "       ssdriver kill PID\n",
      stderr);
  return kUsage;
}

std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\r')
      c = ' ';
    else if (c == '\n')
      c = '|';
  return text;
}

void PrintWindow(HWND hwnd) {
  const WindowState w = ReadWindow(hwnd);
  std::printf("hwnd 0x%lx\n", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(hwnd)));
  // Wine keeps the X11 window of a top-level window in this property, which
  // lets a script grab a screenshot of exactly this window.
  const HANDLE x11 = GetPropA(hwnd, "__wine_x11_whole_window");
  if (x11) std::printf("x11 0x%lx\n", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(x11)));
  std::printf("rect %d %d %d %d\n", w.window.left, w.window.top, w.window.width, w.window.height);
  std::printf("client %d %d\n", w.client.width, w.client.height);
  std::printf("caption %s\n", w.caption.c_str());
}

// Waits for `title`; an error box of the same process that shows up first
// is printed and ends the wait.
int WaitAndReport(DWORD pid, HANDLE process, const std::string& title, DWORD timeoutMs) {
  const FoundWindow found = WaitForAnyWindow(pid, {title, kErrorTitle}, timeoutMs, process);
  if (!found) {
    std::printf("timeout waiting for \"%s\"%s\n", title.c_str(),
                process && HasExited(process) ? " (the process ended)" : "");
    return kNotFound;
  }
  if (found.title != title) {
    std::printf("error-box %s\n", OneLine(ReadMessageBox(found.hwnd).text).c_str());
    return kErrorBox;
  }
  PrintWindow(found.hwnd);
  return kOk;
}

// Waits for the process to end; with `answerBoxes`, every message box it shows
// meanwhile is printed and answered with its first button.
int WaitForExitAnswering(DWORD pid, HANDLE process, DWORD timeoutMs, bool answerBoxes) {
  const DWORD start = GetTickCount();
  DWORD code = 0;
  while (!WaitForExit(process, 100, &code)) {
    if (GetTickCount() - start >= timeoutMs) return std::printf("timeout\n"), kNotFound;
    if (!answerBoxes) continue;
    for (HWND hwnd : TopLevelWindows(pid)) {
      if (!IsWindowVisible(hwnd) || ClassOf(hwnd) != "#32770") continue;
      Sleep(50);  // let the box fill in its text
      const MessageBoxContent box = ReadMessageBox(hwnd);
      std::printf("box [%s] %s\n", box.title.c_str(), OneLine(box.text).c_str());
      std::fflush(stdout);
      PressMessageBoxButton(hwnd);
      WaitForWindowGone(hwnd, 5000);
    }
  }
  std::printf("exit-code %lu\n", static_cast<unsigned long>(code));
  return kOk;
}

DWORD PidArgument(const Options& options) {
  return options.positional.empty()
             ? 0
             : static_cast<DWORD>(std::strtoul(options.positional[0].c_str(), nullptr, 0));
}

int Run(const std::string& command, const Options& options) {
  const auto& args = options.positional;
  if (command == "run" || command == "run-and-wait-window") {
    if (args.size() != (command == "run" ? 1u : 2u)) return Usage();
    std::string error;
    StartedProcess started = StartProgram(args[0], options.argument, error);
    if (!started) {
      std::printf("start-failed %s\n", error.c_str());
      return kNotFound;
    }
    std::printf("pid %lu\n", static_cast<unsigned long>(started.pid));
    std::fflush(stdout);
    if (command == "run") return kOk;
    return WaitAndReport(started.pid, started.process.get(), args[1], options.timeoutMs);
  }

  const DWORD pid = PidArgument(options);
  if (pid == 0) return Usage();
  ssi::KernelHandle process = OpenProcessById(pid);

  if (command == "wait-window") {
    if (args.size() != 2) return Usage();
    return WaitAndReport(pid, process.get(), args[1], options.timeoutMs);
  }
  if (command == "dump") {
    for (HWND hwnd : TopLevelWindows(pid)) {
      if (!IsWindowVisible(hwnd)) continue;
      std::fputs(DumpWindow(hwnd).c_str(), stdout);
      const MessageBoxContent box = ReadMessageBox(hwnd);
      if (ClassOf(hwnd) == "#32770") std::printf("  message %s\n", OneLine(box.text).c_str());
    }
    return kOk;
  }
  if (command == "click") {
    if (args.size() != 3) return Usage();
    HWND top = FindWindowOf(pid, args[1]);
    if (!top) return std::printf("no window \"%s\"\n", args[1].c_str()), kNotFound;
    const int id = std::atoi(args[2].c_str());
    HWND control = FindControl(top, id);
    if (!control) return std::printf("no control %d\n", id), kNotFound;
    if (!IsWindowEnabled(control)) return std::printf("control %d is disabled\n", id), kNotFound;
    return PressButton(control) ? kOk : kNotFound;
  }
  if (command == "press-box") {
    if (args.size() > 2) return Usage();
    HWND box = FindWindowOf(pid, options.title);
    if (!box) return std::printf("no box \"%s\"\n", options.title.c_str()), kNotFound;
    // The box pressed here is one the script expects, not an error: one with
    // a choice of buttons asks a question, one with a single button tells.
    const MessageBoxContent content = ReadMessageBox(box);
    std::printf("%s %s\n", content.buttons.size() > 1 ? "question" : "message",
                OneLine(content.text).c_str());
    return PressMessageBoxButton(box, args.size() == 2 ? args[1] : std::string()) ? kOk : kNotFound;
  }
  if (command == "close") {
    if (args.size() != 2) return Usage();
    HWND top = FindWindowOf(pid, args[1]);
    if (!top) return std::printf("no window \"%s\"\n", args[1].c_str()), kNotFound;
    return RequestClose(top, options.closeMessage ? CloseHow::kCloseMessage : CloseHow::kCloseBox)
               ? kOk
               : kNotFound;
  }
  if (command == "wait-exit") {
    if (!process) return std::printf("exit-code unknown (the process has ended already)\n"), kOk;
    return WaitForExitAnswering(pid, process.get(), options.timeoutMs, options.answerBoxes);
  }
  if (command == "kill") {
    Terminate(process.get());
    return kOk;
  }
  return Usage();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  Options options;
  if (!ParseOptions(argc, argv, options)) return Usage();
  const int status = Run(argv[1], options);
  std::fflush(stdout);
  return status;
}
