// The texts of the error boxes, and the box itself: one "&Abort" button.
#include <gtest/gtest.h>
#include <windows.h>

#include "box_watcher.h"
#include "error_box.h"
#include "message_box.h"
#include "recording_ui.h"
#include "system_text.h"

namespace ssi {
namespace {

using test::RecordingUi;
using test::SeenBox;
using test::WatchBox;

const std::string kTwoBreaks = "\r\n\r\n";

TEST(ErrorBoxText, InstallErrorByCode) {
  RecordingUi ui;
  ShowInstallError(ui, rc::kNoBuffer, "C:\\w\\a.scr");  // no system text for -7
  ShowInstallError(ui, rc::kOk + 5, "C:\\w\\b.dll");
  ShowInstallError(ui, rc::kHeaderShort, "");  // the silent install passes no name
  ShowInstallError(ui, rc::kSaverBusy, "ignored.scr");
  ShowInstallError(ui, rc::kFileBusy, "C:\\w\\c.dll");
  ShowInstallError(ui, rc::kUnspecified, "ignored");
  ASSERT_EQ(ui.errorBoxes.size(), 6U);
  EXPECT_EQ(ui.errorBoxes[0], "Installation Error: Problem using C:\\w\\a.scr. " + kTwoBreaks);
  ASSERT_FALSE(SystemErrorText(5).empty());
  EXPECT_EQ(ui.errorBoxes[1],
            "Installation Error: Problem using C:\\w\\b.dll. " + kTwoBreaks + SystemErrorText(5));
  EXPECT_EQ(ui.errorBoxes[2], "Installation Error: Problem using . " + kTwoBreaks);
  EXPECT_EQ(ui.errorBoxes[3], "Setup Error: Screen Saver file is busy." + kTwoBreaks +
                                  "Please close the screen saver control panel and try again.");
  EXPECT_EQ(ui.errorBoxes[4], "Installation Error: " + kTwoBreaks +
                                  "File C:\\w\\c.dll is busy and cannot be replaced. Please close "
                                  "any other application that may be using this file and try "
                                  "again.");
  EXPECT_EQ(ui.errorBoxes[5], "Installation Error: Unspecified error.");
}

TEST(ErrorBoxText, SystemTextAndLastError) {
  RecordingUi ui;
  ShowErrorWithSystemText(ui, 2, "Could not open x.");
  EXPECT_EQ(ui.errorBoxes.at(0), "Could not open x." + kTwoBreaks + SystemErrorText(2));

  SetLastError(5);
  EXPECT_EQ(ReportLastError(ui, false), 5U);
  EXPECT_EQ(ui.errorBoxes.size(), 1U);  // only returned, not shown
  SetLastError(5);
  EXPECT_EQ(ReportLastError(ui, true), 5U);
  EXPECT_EQ(ui.errorBoxes.at(1), "VL Error: 5" + kTwoBreaks + SystemErrorText(5));
}

TEST(AbortBox, ErrorAndInformationHaveOneAbortButton) {
  const SeenBox error =
      WatchBox([] { ShowAbortBox(nullptr, "Line one\r\nLine two", "Error", MB_ICONERROR); });
  ASSERT_TRUE(error.found);
  EXPECT_EQ(error.title, "Error");
  EXPECT_EQ(error.text, "Line one\r\nLine two");
  EXPECT_EQ(error.buttons, std::vector<std::string>{"&Abort"});
  EXPECT_TRUE(error.hasIcon);

  const SeenBox info =
      WatchBox([] { ShowAbortBox(nullptr, "Already in use.", "Information", MB_ICONINFORMATION); });
  ASSERT_TRUE(info.found);
  EXPECT_EQ(info.title, "Information");
  EXPECT_EQ(info.buttons, std::vector<std::string>{"&Abort"});
}

TEST(AbortBox, OwnerThatIsGoneIsDropped) {
  const HWND gone =
      CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(gone);
  DestroyWindow(gone);
  const SeenBox box = WatchBox([&] { ShowAbortBox(gone, "text", "Error", MB_ICONERROR); });
  ASSERT_TRUE(box.found);
  EXPECT_EQ(box.owner, nullptr);
  EXPECT_EQ(box.buttons, std::vector<std::string>{"&Abort"});
}

}  // namespace
}  // namespace ssi
