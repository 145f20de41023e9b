#pragma once
// An install of its own for every test: a fresh SaverDir with its manifest
// (key "0" already taken, as the set-up leaves it), a recording UI, and
// helpers that look at what the chunks left behind.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "artifacts.h"
#include "data_file_builder.h"
#include "data_file_reader.h"
#include "installer.h"
#include "recording_ui.h"
#include "settings_file.h"

namespace ssi::test {

class DataFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    in.paths.windowsDir = WindowsDir();
    in.paths.saverDir = MakeTempFolder("datafile");
    in.paths.saverIniPath = in.paths.saverDir + "saver.ini";
    in.paths.dataFilePath = in.paths.saverDir + "meadow.ssd";
    in.saverIni.emplace(in.paths.saverIniPath);
    WritePrivateProfileStringA("Files", "0", in.paths.saverIniPath.c_str(),
                               in.paths.saverIniPath.c_str());
    in.fileCounter = 1;
  }

  // Writes the data file, then runs the install's two reading steps.
  ResultCode Expand(DataFileBuilder& builder) {
    EXPECT_TRUE(WriteWholeFile(in.paths.dataFilePath, builder.Build()));
    const ResultCode read = ReadSettingsRecord(in);
    EXPECT_EQ(read, 0);
    return ExpandDataFile(in);
  }

  // The manifest value under `key`, or "<none>" when there is no such key.
  std::string Manifest(int key) const {
    char value[1024] = {};
    GetPrivateProfileStringA("Files", std::to_string(key).c_str(), "<none>", value, sizeof value,
                             in.paths.saverIniPath.c_str());
    return value;
  }

  std::string InSaverDir(const std::string& name) const { return in.paths.saverDir + name; }
  static bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  RecordingUi ui;
  Installer in{ui};
};

}  // namespace ssi::test
