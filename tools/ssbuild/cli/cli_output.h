#pragma once
// How the commands talk, on stderr so that stdout holds only what was asked
// for (a summary, JSON): errors always, warnings and notes unless -q, each
// step with -v, and a progress line on a terminal for work that takes longer
// than a second.
#include <chrono>
#include <iosfwd>
#include <string>

namespace ssbuild {

enum class Verbosity { kQuiet, kNormal, kVerbose };

class Reporter {
 public:
  Reporter(std::ostream& err, Verbosity verbosity) : err_(err), verbosity_(verbosity) {}
  void Error(const std::string& text);
  void Warning(const std::string& text, bool asError);
  void Note(const std::string& text);
  void Step(const std::string& text);

 private:
  std::ostream& err_;
  Verbosity verbosity_;
};

// One line on stderr, rewritten in place, shown only when stderr is a
// terminal and the work has run for a second.
class ProgressLine {
 public:
  ProgressLine(std::ostream& err, bool wanted);
  void SetLabel(std::string label) { label_ = std::move(label); }
  void Update(unsigned long long done, unsigned long long total);
  void Done();

 private:
  std::ostream& err_;
  bool enabled_;
  bool shown_ = false;
  std::string label_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_;
};

// This process's peak memory in KiB (Linux: VmHWM, which counts this
// program only, not what its parent had before starting it); -1 elsewhere.
long PeakMemoryKiB();

}  // namespace ssbuild
