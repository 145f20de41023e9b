#include "cli_output.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>

#ifdef _WIN32
#include <io.h>
#define SSBUILD_ISATTY _isatty
#define SSBUILD_FILENO _fileno
#else
#include <unistd.h>
#define SSBUILD_ISATTY isatty
#define SSBUILD_FILENO fileno
#endif

namespace ssbuild {

void Reporter::Error(const std::string& text) { err_ << "ssbuild: " << text << "\n"; }

void Reporter::Warning(const std::string& text, bool asError) {
  if (asError)
    err_ << "ssbuild: error (--werror): " << text << "\n";
  else if (verbosity_ != Verbosity::kQuiet)
    err_ << "ssbuild: warning: " << text << "\n";
}

void Reporter::Note(const std::string& text) {
  if (verbosity_ != Verbosity::kQuiet) err_ << "ssbuild: note: " << text << "\n";
}

void Reporter::Step(const std::string& text) {
  if (verbosity_ == Verbosity::kVerbose) err_ << "ssbuild: " << text << "\n";
}

ProgressLine::ProgressLine(std::ostream& err, bool wanted)
    : err_(err),
      // Only the real stderr can be a terminal; a test's stream never is.
      enabled_(wanted && &err == &std::cerr && SSBUILD_ISATTY(SSBUILD_FILENO(stderr)) != 0),
      start_(std::chrono::steady_clock::now()),
      last_(start_) {}

void ProgressLine::Update(unsigned long long done, unsigned long long total) {
  if (!enabled_ || total == 0) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - start_ < std::chrono::seconds(1) || now - last_ < std::chrono::milliseconds(200))
    return;
  last_ = now;
  shown_ = true;
  char percent[16];
  std::snprintf(percent, sizeof percent, "%3llu%%", done * 100 / total);
  std::string line = "ssbuild: " + std::string(percent) + " " + label_;
  if (line.size() > 78) line.resize(78);
  err_ << "\r" << line << std::string(79 - line.size(), ' ') << std::flush;
}

long PeakMemoryKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

void ProgressLine::Done() {
  if (shown_) err_ << "\r" << std::string(79, ' ') << "\r" << std::flush;
  shown_ = false;
}

}  // namespace ssbuild
