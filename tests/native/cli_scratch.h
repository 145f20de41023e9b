#pragma once
// A scratch folder named after the running test and the builder's command
// line run in-process, with what it printed kept for the checks.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "byte_file.h"
#include "cli.h"

namespace ssbuild {

class CliScratch : public ::testing::Test {
 protected:
  explicit CliScratch(std::string prefix) : prefix_(std::move(prefix)) {}

  // Unique per run, so that two runs at once never share a folder.
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() /
         (prefix_ + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".XXXXXX"))
            .string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr) << pattern;
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  void Write(const std::string& name, const Bytes& bytes) const {
    ASSERT_TRUE(WriteWholeFile(Path(name), bytes).ok());
  }
  Bytes Read(const std::string& name) const {
    Bytes bytes;
    EXPECT_TRUE(ReadWholeFile(Path(name), bytes).ok()) << name;
    return bytes;
  }
  int Run(std::vector<std::string> args) {
    out_.str("");
    err_.str("");
    return RunCli(args, out_, err_);
  }

  std::filesystem::path dir_;
  std::ostringstream out_;
  std::ostringstream err_;

 private:
  std::string prefix_;
};

}  // namespace ssbuild
