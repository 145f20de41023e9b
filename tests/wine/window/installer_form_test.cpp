// The installer window with its set-up skipped (this program runs with an
// argument): layout, status line, progress, the boxes' owner, and what the
// buttons do when there is nothing to install.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include "box_watcher.h"
#include "installer_form.h"

namespace ssi {
namespace {

struct Bounds {
  int left, top, width, height;
  bool operator==(const Bounds& o) const {
    return left == o.left && top == o.top && width == o.width && height == o.height;
  }
};
std::ostream& operator<<(std::ostream& os, const Bounds& b) {
  return os << b.left << "," << b.top << " " << b.width << "x" << b.height;
}

Bounds BoundsIn(HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

std::string TextOf(HWND hwnd) {
  char text[512] = {};
  GetWindowTextA(hwnd, text, sizeof text);
  return text;
}

class InstallerFormTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
  }
  void SetUp() override {
    ASSERT_TRUE(CommandLineHasArgument(GetCommandLineW()))
        << "run with an argument, or the set-up would install from this program";
    form_ = std::make_unique<TInstallerForm>(GetModuleHandleA(nullptr), "Install");
    ASSERT_NE(form_->Handle(), nullptr);
    top_ = form_->Handle();
  }
  void TearDown() override {
    form_.reset();
    // Closing the window asks the (absent) main loop to quit; later boxes
    // on this thread must not see that request.
    MSG quit;
    while (PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
  }
  HWND Control(int id) const {
    for (HWND panel : {top_, GetDlgItem(top_, control_id::kContentPanel),
                       GetDlgItem(top_, control_id::kButtonPanel)}) {
      if (HWND found = GetDlgItem(panel, id)) return found;
    }
    return nullptr;
  }
  void Click(int id) {
    SendMessageA(GetParent(Control(id)), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Control(id)));
  }

  std::unique_ptr<TInstallerForm> form_;
  HWND top_ = nullptr;
};

TEST_F(InstallerFormTest, SkippedSetUpLeavesDesignLayoutArranged) {
  using namespace control_id;
  EXPECT_EQ(TextOf(top_), "Vellora Installer");
  EXPECT_EQ(form_->DisplayMode(), 0);
  const LONG style = GetWindowLongA(top_, GWL_STYLE);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  EXPECT_TRUE(style & WS_SYSMENU);

  RECT window{}, client{};
  GetWindowRect(top_, &window);
  GetClientRect(top_, &client);
  const int frameHeight = (window.bottom - window.top) - client.bottom;
  EXPECT_EQ(window.right - window.left, 359);
  EXPECT_EQ(client.bottom, 152 + 63) << "frame " << frameHeight;
  const int w = client.right;

  EXPECT_EQ(BoundsIn(Control(kContentPanel)), (Bounds{0, 0, 352, 152}));
  EXPECT_EQ(BoundsIn(Control(kBmpPanel)), (Bounds{1, 1, 350, 150}));
  EXPECT_EQ(BoundsIn(Control(kButtonPanel)), (Bounds{0, 152, w, 63}));
  EXPECT_EQ(BoundsIn(Control(kLabFile)), (Bounds{-1, 2, 190, 18}));
  EXPECT_EQ(BoundsIn(Control(kLabCopying)), (Bounds{1, 3, 419, 13}));
  EXPECT_EQ(BoundsIn(Control(kProgressBar)), (Bounds{1, 20, w - 3, 11}));
  EXPECT_EQ(BoundsIn(Control(kDeclineBtn)), (Bounds{2, 35, 78, 25}));
  EXPECT_EQ(BoundsIn(Control(kInstallBtn)), (Bounds{w - 2 - 107, 34, 107, 25}));

  EXPECT_FALSE(GetWindowLongA(Control(kLabFile), GWL_STYLE) & WS_VISIBLE);
  EXPECT_FALSE(GetWindowLongA(Control(kLabCopying), GWL_STYLE) & WS_VISIBLE);
  EXPECT_FALSE(GetWindowLongA(Control(kDeclineBtn), GWL_STYLE) & WS_VISIBLE);
  EXPECT_EQ(TextOf(Control(kInstallBtn)), "&Install");
  EXPECT_EQ(TextOf(Control(kDeclineBtn)), "&Decline");
  EXPECT_TRUE(IsWindowEnabled(Control(kInstallBtn)));
  // The set-up never got to the progress bar's run-time maximum.
  EXPECT_EQ(SendMessageA(Control(kProgressBar), PBM_GETRANGE, FALSE, 0), 100);

  const auto font = reinterpret_cast<HFONT>(SendMessageA(Control(kInstallBtn), WM_GETFONT, 0, 0));
  LOGFONTA logFont{};
  ASSERT_TRUE(GetObjectA(font, sizeof logFont, &logFont));
  EXPECT_EQ(logFont.lfHeight, -11);
  EXPECT_STREQ(logFont.lfFaceName, "MS Sans Serif");
}

TEST_F(InstallerFormTest, StatusLineAndProgressStep) {
  const HWND status = Control(control_id::kLabCopying);
  const HWND bar = Control(control_id::kProgressBar);
  form_->ShowStatus("Expanding files...");
  EXPECT_TRUE(GetWindowLongA(status, GWL_STYLE) & WS_VISIBLE);
  EXPECT_EQ(TextOf(status), "Expanding files...");

  const DWORD start = GetTickCount();
  form_->StepProgress();  // one step, then one (shortened) pause
  const DWORD took = GetTickCount() - start;
  EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 1);
  EXPECT_LT(took, 900U) << "SSI_PAUSE_MS should shorten the pause under test";

  form_->SetProgressFull(true);
  EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 100);
  form_->SetProgressFull(false);
  EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 0);
}

TEST_F(InstallerFormTest, BoxesBelongToTheWindow) {
  const test::SeenBox box = test::WatchBox([&] { form_->ShowErrorBox("Something failed."); });
  ASSERT_TRUE(box.found);
  EXPECT_EQ(box.owner, top_);
  EXPECT_EQ(box.title, "Error");
  EXPECT_EQ(box.text, "Something failed.");
  EXPECT_EQ(box.buttons, std::vector<std::string>{"&Abort"});
  EXPECT_TRUE(IsWindow(top_));
}

TEST_F(InstallerFormTest, InstallWithoutWorkLocationsOnlyCloses) {
  form_->Show();
  Click(control_id::kInstallBtn);
  EXPECT_FALSE(IsWindow(top_));
  EXPECT_EQ(form_->Handle(), nullptr);
  form_->ShowStatus("after the close");  // no window: nothing happens, no crash
  form_->Pause();
}

TEST_F(InstallerFormTest, DisabledButtonsIgnoreClicks) {
  EnableWindow(Control(control_id::kInstallBtn), FALSE);
  Click(control_id::kInstallBtn);
  EXPECT_TRUE(IsWindow(top_));
  EnableWindow(Control(control_id::kDeclineBtn), FALSE);
  Click(control_id::kDeclineBtn);
  EXPECT_TRUE(IsWindow(top_));
}

TEST_F(InstallerFormTest, DeclineCloses) {
  Click(control_id::kDeclineBtn);
  EXPECT_FALSE(IsWindow(top_));
}

TEST_F(InstallerFormTest, CloseBoxCloses) {
  SendMessageA(top_, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(top_));
}

TEST(CommandLine, AnythingAfterTheProgramCounts) {
  EXPECT_FALSE(CommandLineHasArgument(L"install.exe"));
  EXPECT_FALSE(CommandLineHasArgument(L"install.exe   \t "));
  EXPECT_FALSE(CommandLineHasArgument(L"\"C:\\Dl\\my setup.exe\""));
  EXPECT_FALSE(CommandLineHasArgument(L"\"C:\\Dl\\my setup.exe\" "));
  EXPECT_FALSE(CommandLineHasArgument(L""));
  EXPECT_FALSE(CommandLineHasArgument(nullptr));
  EXPECT_TRUE(CommandLineHasArgument(L"install.exe /s"));
  EXPECT_TRUE(CommandLineHasArgument(L"\"C:\\Dl\\my setup.exe\" x"));
  // Quotes only group blanks: the name runs on to the first blank outside them.
  EXPECT_FALSE(CommandLineHasArgument(L"\"C:\\Dl\\my setup.exe\"x"));
  EXPECT_FALSE(CommandLineHasArgument(L"\"unterminated x"));
  EXPECT_TRUE(CommandLineHasArgument(L"C:\\Dl\\\"my setup\".exe -"));
  // Names the code page lacks: an ideographic space and a fullwidth quote
  // are not a blank and a quote.
  EXPECT_FALSE(CommandLineHasArgument(L"C:\\Dl\\my\u3000setup.exe"));
  EXPECT_FALSE(CommandLineHasArgument(L"\"C:\\Dl\\\uff02my setup\uff02.exe\""));
  EXPECT_TRUE(CommandLineHasArgument(L"setup.exe \u03a9"));
}

TEST(LicenceText, EveryLineEndBecomesCrLf) {
  EXPECT_EQ(LicenceTextForEdit("a\nb\r\nc\rd\n\ne"), "a\r\nb\r\nc\r\nd\r\n\r\ne");
  EXPECT_EQ(LicenceTextForEdit(std::string("x\0y\r", 4)), "x y\r\n");
  EXPECT_EQ(LicenceTextForEdit(""), "");
}

}  // namespace
}  // namespace ssi
