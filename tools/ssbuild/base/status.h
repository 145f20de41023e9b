#pragma once
// Outcome of a builder operation. The builder is a tool, not the stub, but it
// is also linked into in-process tests, so failures travel as values: an empty
// text is success, anything else names the file and the problem, ready to be
// printed after "ssbuild: ".
#include <string>
#include <utility>

namespace ssbuild {

class Status {
 public:
  Status() = default;
  static Status Fail(std::string text) { return Status(std::move(text)); }

  bool ok() const { return text_.empty(); }
  const std::string& text() const { return text_; }

 private:
  explicit Status(std::string text) : text_(std::move(text)) {
    if (text_.empty()) text_ = "unknown failure";
  }
  std::string text_;
};

}  // namespace ssbuild
