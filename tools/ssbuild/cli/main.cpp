// ssbuild: builds, lists, verifies and unpacks installers and data files.
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
// windows.h first
#include <shellapi.h>

#include "native_file.h"
#endif

#include "bundled_files.h"
#include "cli.h"
#include "console_stream.h"
#include "interrupt_cleanup.h"

namespace {

// What a double click on ssbuild.exe shows: there is no command line to
// read a usage from, so it says how to start.
constexpr const char* kExplorerHelp =
    "ssbuild builds screen saver installers.\n"
    "\n"
    "Drop a project file (project.ini) onto ssbuild.exe to build it, or run\n"
    "ssbuild from a command prompt:\n"
    "  ssbuild init FOLDER          writes an example project to start from\n"
    "  ssbuild build project.ini    builds its installer\n"
    "  ssbuild --help               everything else\n";

// The arguments as UTF-8: on Windows from the wide command line, so that
// names outside the ANSI code page arrive whole.
std::vector<std::string> Arguments(int argc, char** argv, std::string& program) {
  std::vector<std::string> args;
#ifdef _WIN32
  (void)argc, (void)argv;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide != nullptr) {
    if (count > 0) program = ssbuild::Utf8FromWide(wide[0]);
    for (int i = 1; i < count; ++i) args.push_back(ssbuild::Utf8FromWide(wide[i]));
    LocalFree(wide);
  }
#else
  if (argc > 0) program = argv[0];
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
#endif
  return args;
}

}  // namespace

int main(int argc, char** argv) {
  std::string program;
  const std::vector<std::string> args = Arguments(argc, argv, program);
  if (!program.empty()) ssbuild::SetProgramPath(program);
  ssbuild::InstallInterruptCleanup();
  ssbuild::ConsoleBuffer outBuffer(stdout);
  ssbuild::ConsoleBuffer errBuffer(stderr);
  std::streambuf* const oldOut = std::cout.rdbuf(&outBuffer);
  std::streambuf* const oldErr = std::cerr.rdbuf(&errBuffer);

  // Started from Explorer, the console closes with the program: keep it
  // open until the author has read what it says.
  const bool ownsConsole = ssbuild::OwnsConsole();
  int result = ssbuild::kExitOk;
  if (args.empty() && ownsConsole)
    std::cout << kExplorerHelp;
  else
    result = ssbuild::RunCli(args, std::cout, std::cerr);
  if (ownsConsole) {
    std::cout << "\nPress any key to close this window." << std::flush;
    ssbuild::WaitForKey();
    std::cout << "\n";
  }
  std::cout.flush();
  std::cerr.flush();
  std::cout.rdbuf(oldOut);
  std::cerr.rdbuf(oldErr);
  return result;
}
