#pragma once
// The ssbuild command line (see README.md), callable in-process so that tests
// run it without spawning the binary.
#include <iosfwd>
#include <string>
#include <vector>

namespace ssbuild {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;
constexpr int kExitFailed = 2;  // a build, check or conversion failed

// `args` without the program name. Normal output goes to `out`, messages
// ("ssbuild: FILE: problem") to `err`. Returns the exit code.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace ssbuild
