// The command line as Windows passes it: "/s" full screen until the user
// moves, clicks or types; "/p HWND" inside a window until that window goes;
// "/c" and no argument the settings dialog; "/a" and unknown switches end
// quietly.
#include <gtest/gtest.h>

#include "saver_fixture.h"
#include "win_handles.h"

namespace ssi::saver_test {
namespace {

class SaverSwitches : public SaverTest {
 protected:
  void SetUp() override {
    SaverTest::SetUp();
    PlaceSaver("meadow", {{"only.bmp", SolidBitmap(RGB(200, 40, 40))}});
  }
};

// A window of the test's own for "/p" to draw into, as Display Properties
// gives its little monitor.
class PreviewParent {
 public:
  PreviewParent() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "SsiPreviewParent";
    RegisterClassA(&wc);
    hwnd_ = CreateWindowExA(0, wc.lpszClassName, "Preview parent", WS_POPUP | WS_VISIBLE, 100, 100,
                            152, 112, nullptr, nullptr, wc.hInstance, nullptr);
  }
  ~PreviewParent() {
    if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
  }
  HWND get() const { return hwnd_; }
  // Handles this thread's messages for a while; the child of another
  // process needs its parent's thread to answer.
  static void Pump(DWORD ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
      Sleep(20);
    }
  }
  HWND WaitForChild(DWORD ms) const {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
      if (HWND child = FindWindowExA(hwnd_, nullptr, kSaverClass, nullptr)) return child;
      Pump(50);
    }
    return nullptr;
  }

 private:
  HWND hwnd_ = nullptr;
};

void Key(HWND) { keybd_event(VK_SHIFT, 0, 0, 0), keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0); }
void Click(HWND) {
  mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
  mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
}
void Move(HWND) {
  POINT p{};
  GetCursorPos(&p);
  SetCursorPos(p.x + 60, p.y + 40);
}

TEST_F(SaverSwitches, FullScreenShowsThePictureAndEndsOnAKeyAClickOrAMove) {
  struct Case {
    const char* arguments;
    void (*input)(HWND);
  };
  const Case cases[] = {{"/s", Key}, {"-S", Click}, {"/S", Move}};
  for (const Case& c : cases) {
    SetCursorPos(300, 300);
    SaverRun run;
    ASSERT_TRUE(run.Start(ProgramOf("meadow"), c.arguments));
    const HWND window = run.WaitForWindow(kSaverClass, {}, kStartMs);
    ASSERT_TRUE(window) << c.arguments;
    RECT area{};
    GetWindowRect(window, &area);
    EXPECT_EQ(area.right - area.left, GetSystemMetrics(SM_CXVIRTUALSCREEN)) << c.arguments;
    EXPECT_EQ(area.bottom - area.top, GetSystemMetrics(SM_CYVIRTUALSCREEN)) << c.arguments;
    Sleep(1500);  // painted
    EXPECT_TRUE(Near(ColourAt(area), RGB(200, 40, 40)))
        << c.arguments << " shows " << std::hex << ColourAt(area);
    // A jitter of a pixel or two is not the user.
    POINT p{};
    GetCursorPos(&p);
    SetCursorPos(p.x + 1, p.y + 1);
    EXPECT_FALSE(driver::WaitForExit(run.Process(), 700)) << c.arguments << ": ended on a jitter";
    SetForegroundWindow(window);
    c.input(window);
    ASSERT_TRUE(run.WaitForEnd(15000)) << c.arguments << ": still running after the input";
    EXPECT_EQ(run.exitCode, 0u);
  }
}

TEST_F(SaverSwitches, PreviewFillsItsParentAndEndsWhenTheParentCloses) {
  for (const char* form : {"/p", "/P"}) {
    PreviewParent parent;
    ASSERT_TRUE(parent.get());
    SaverRun run;
    ASSERT_TRUE(run.Start(
        ProgramOf("meadow"),
        std::string(form) + " " + std::to_string(reinterpret_cast<uintptr_t>(parent.get()))));
    const HWND child = parent.WaitForChild(kStartMs);
    ASSERT_TRUE(child) << form << ": no preview window inside the parent";
    RECT inner{}, outer{};
    GetClientRect(child, &inner);
    GetClientRect(parent.get(), &outer);
    EXPECT_EQ(inner.right, outer.right);
    EXPECT_EQ(inner.bottom, outer.bottom);
    // What the preview draws is not checked on the screen: Wine 8 does not
    // show the drawing of a child window that another process owns.
    PreviewParent::Pump(1000);
    EXPECT_FALSE(driver::HasExited(run.Process())) << form;

    DestroyWindow(parent.get());
    const DWORD start = GetTickCount();
    while (!driver::HasExited(run.Process()) && GetTickCount() - start < 15000)
      PreviewParent::Pump(100);
    ASSERT_TRUE(run.WaitForEnd(1000)) << form << ": the preview outlived its parent";
    EXPECT_EQ(run.exitCode, 0u);
  }
}

TEST_F(SaverSwitches, SettingsDialogSavesTheUsersChoicesPerUser) {
  // No argument is what a double click on the file gives.
  for (const char* arguments : {"/c", "", "/C:77777"}) {
    SaverRun run;
    ASSERT_TRUE(run.Start(ProgramOf("meadow"), arguments));
    const HWND dialog = run.WaitForWindow({}, "meadow Screen Saver", kStartMs);
    ASSERT_TRUE(dialog) << "\"" << arguments << "\": no settings dialog";
    SetDlgItemTextA(dialog, 101, "9");
    SendMessageA(GetDlgItem(dialog, 102), BM_SETCHECK, BST_CHECKED, 0);
    driver::PressButton(GetDlgItem(dialog, IDOK));
    ASSERT_TRUE(run.WaitForEnd(15000));
    EXPECT_EQ(run.exitCode, 0u);
    RegKey key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Screen Saver Installer\\meadow", 0,
                            KEY_READ, key.put()),
              ERROR_SUCCESS);
    DWORD seconds = 0, shuffle = 0, size = sizeof(DWORD);
    RegQueryValueExA(key.get(), "PictureSeconds", nullptr, nullptr,
                     reinterpret_cast<BYTE*>(&seconds), &size);
    size = sizeof(DWORD);
    RegQueryValueExA(key.get(), "Shuffle", nullptr, nullptr, reinterpret_cast<BYTE*>(&shuffle),
                     &size);
    EXPECT_EQ(seconds, 9u);
    EXPECT_EQ(shuffle, 1u);
    key.reset();
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Screen Saver Installer\\meadow");
  }
}

TEST_F(SaverSwitches, PasswordAndUnknownSwitchesEndQuietly) {
  for (const char* arguments : {"/a", "/A 1234", "/z", "/p", "/p notawindow"}) {
    SaverRun run;
    ASSERT_TRUE(run.Start(ProgramOf("meadow"), arguments));
    ASSERT_TRUE(run.WaitForEnd(15000)) << arguments;
    EXPECT_EQ(run.exitCode, 0u) << arguments;
    EXPECT_TRUE(run.boxes.empty()) << arguments << ": " << Describe(run.boxes);
  }
}

}  // namespace
}  // namespace ssi::saver_test
