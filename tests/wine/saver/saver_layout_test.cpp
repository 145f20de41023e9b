// The show layout as `ssbuild data` writes it, read by the screen saver from
// saver.dat: the pictures it lists, in its order, with the folder's pictures
// as the fall-back whenever the layout cannot be trusted or used. What is
// shown is read back from the screen.
#include <gtest/gtest.h>

#include <sstream>

#include "artifacts.h"
#include "cli.h"
#include "flash_standin.h"
#include "flash_test_support.h"
#include "saver_fixture.h"

namespace ssi::saver_test {
namespace {

const COLORREF kBlue = RGB(30, 60, 200);
const COLORREF kGreen = RGB(40, 180, 60);
const COLORREF kRed = RGB(200, 40, 40);

// A 1 by 1 PNG of kGreen, made with Python's zlib (an encoder not ours).
const char kGreenPng[] =
    "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x01\x00\x00"
    "\x00\x01\x08\x02\x00\x00\x00\x90\x77\x53\xde\x00\x00\x00\x0c\x49\x44\x41\x54\x78\x9c\x63"
    "\xd0\xd8\x62\x03\x00\x02\x20\x01\x19\x35\x51\xd9\xfd\x00\x00\x00\x00\x49\x45\x4e\x44\xae"
    "\x42\x60\x82";

class SaverLayout : public SaverTest {
 protected:
  // The settings record of a data file that `ssbuild data` makes with
  // `options` (its chunks are the three pictures).
  std::string RecordFromBuilder(const std::vector<std::string>& options) {
    const std::string folder = test::MakeTempFolder("ssi-layout");
    for (const auto& [name, bytes] : Pictures()) test::WriteWholeFile(folder + name, bytes);
    std::vector<std::string> args = {"data", "-o", folder + "meadow.ssd"};
    for (const auto& [name, bytes] : Pictures()) {
      args.push_back("--chunk");
      args.push_back(folder + name);
    }
    args.insert(args.end(), options.begin(), options.end());
    std::ostringstream out, err;
    EXPECT_EQ(ssbuild::RunCli(args, out, err), 0) << err.str();
    return test::ReadWholeFile(folder + "meadow.ssd").substr(0, 1220);
  }

  static std::map<std::string, std::string> Pictures() {
    return {{"blue.bmp", SolidBitmap(kBlue)},
            {"green.png", std::string(kGreenPng, sizeof kGreenPng - 1)},
            {"red.bmp", SolidBitmap(kRed)}};
  }

  // Starts "/s" and returns the first colour shown; then, when `next` is
  // given, waits until it shows. Ends the run with a key.
  void ExpectShow(const std::string& what, COLORREF first, const COLORREF* next = nullptr) {
    SetCursorPos(300, 300);
    SaverRun run;
    ASSERT_TRUE(run.Start(ProgramOf("meadow"), "/s"));
    const HWND window = run.WaitForWindow(kSaverClass, {}, kStartMs);
    ASSERT_TRUE(window) << what << ": no window (exit code " << run.exitCode << ")";
    RECT area{};
    GetWindowRect(window, &area);
    Sleep(700);
    EXPECT_TRUE(Near(ColourAt(area), first))
        << what << ": shows " << std::hex << ColourAt(area) << " first";
    if (next) {
      const DWORD start = GetTickCount();
      while (!Near(ColourAt(area), *next) && GetTickCount() - start < 10000) Sleep(100);
      EXPECT_TRUE(Near(ColourAt(area), *next)) << what << ": never shows the next picture";
    }
    SetForegroundWindow(window);
    keybd_event(VK_SHIFT, 0, 0, 0);
    keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
    ASSERT_TRUE(run.WaitForEnd(15000)) << what;
    EXPECT_EQ(run.exitCode, 0u) << what << " (a crash ends with another code)";
  }
};

TEST_F(SaverLayout, ShowsTheListedPicturesInTheirOrder) {
  PlaceSaver("meadow", Pictures(),
             RecordFromBuilder({"--show", "picture", "green.png:1", "--show", "picture", "red.bmp",
                                "--seconds", "1", "--transition", "cut"}));
  ExpectShow("listed green then red", kGreen, &kRed);

  // The user's own duration from the settings dialog wins over the author's.
  PlaceSaver("meadow", Pictures(),
             RecordFromBuilder({"--show", "picture", "green.png:600", "--show", "picture",
                                "red.bmp", "--seconds", "600", "--transition", "cut"}));
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Screen Saver Installer\\meadow", 0,
                            nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const DWORD oneSecond = 1;
  RegSetValueExA(key, "PictureSeconds", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&oneSecond),
                 sizeof oneSecond);
  RegCloseKey(key);
  ExpectShow("the user's 1 s over the author's 600 s", kGreen, &kRed);
}

TEST_F(SaverLayout, MovieWithoutAFlashPlayerFallsBackToThePictures) {
  std::map<std::string, std::string> files = Pictures();
  files["intro.swf"] = "FWS placeholder";
  PlaceSaver("meadow", files,
             RecordFromBuilder({"--show", "movie", "intro.swf", "--show", "picture", "green.png",
                                "--transition", "fade"}));
  ExpectShow("movie without Flash", kGreen);
}

// The movie goes through the installer's own Flash hosting, here with the
// stand-in control of the Flash tests registered as the Flash player.
TEST_F(SaverLayout, MoviePlaysThroughTheFlashControlWhenThereIsOne) {
  test::ResetStandin();
  test::RegisterStandinControl();
  std::map<std::string, std::string> files = Pictures();
  files["intro.swf"] = "FWS placeholder";
  PlaceSaver("meadow", files,
             RecordFromBuilder({"--show", "movie", "intro.swf", "--show", "picture", "green.png"}));
  SaverRun run;
  ASSERT_TRUE(run.Start(ProgramOf("meadow"), "/s"));
  const HWND window = run.WaitForWindow(kSaverClass, {}, kStartMs);
  ASSERT_TRUE(window);
  EXPECT_TRUE(
      test::WaitForLogLine("dispatch put Movie " + FolderOf("meadow") + "intro.swf", 15000));
  HWND control = nullptr;
  for (int i = 0; i < 100 && !control; ++i, Sleep(100))
    control = FindWindowExA(window, nullptr, standin::kWindowClass, nullptr);
  ASSERT_TRUE(control) << "no Flash control inside the screen saver's window";
  RECT inner{}, outer{};
  GetWindowRect(control, &inner);
  GetWindowRect(window, &outer);
  EXPECT_TRUE(EqualRect(&inner, &outer)) << "the movie does not fill the screen";
  // The control's window has the focus; a key still ends the show.
  SetForegroundWindow(window);
  keybd_event(VK_SHIFT, 0, 0, 0);
  keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
  EXPECT_TRUE(run.WaitForEnd(15000));
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(test::WaitForLogLine("destroy", 5000));
  test::UnregisterStandinControl();
}

// Whatever the record holds, the screen saver shows the folder's pictures in
// name order (blue.bmp first) rather than nothing or a crash.
TEST_F(SaverLayout, UntrustworthyOrMissingLayoutShowsTheFoldersPictures) {
  const std::string good =
      RecordFromBuilder({"--show", "picture", "green.png", "--transition", "cut"});
  std::string damaged = good;
  damaged[217] ^= 0x20;
  std::string newer = good;
  newer[4] = newer[5] = 2;
  std::string foreign(1220, '\x5A');  // an author's own settings
  const std::string listsMissing = RecordFromBuilder({"--show", "picture", "gone.bmp"});
  struct Case {
    const char* what;
    std::string record;
  };
  const Case cases[] = {{"damaged", damaged},
                        {"for a newer reader", newer},
                        {"older: no layout", std::string(1220, '\0')},
                        {"foreign bytes", foreign},
                        {"cut short", good.substr(0, 300)},
                        {"lists a missing file", listsMissing}};
  for (const Case& c : cases) {
    PlaceSaver("meadow", Pictures(), c.record);
    ExpectShow(c.what, kBlue);
  }
  PlaceSaver("meadow", Pictures());  // no saver.dat at all
  ExpectShow("no saver.dat", kBlue);
  PlaceSaver("meadow", {}, good);  // nothing to show
  ExpectShow("an empty folder", RGB(0, 0, 0));
}

}  // namespace
}  // namespace ssi::saver_test
