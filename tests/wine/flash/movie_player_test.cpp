// The movie player against the stand-in control: the calls the control gets
// and their order, the retry rules, and a release that always lets go.
#include <windows.h>

#include <gtest/gtest.h>

#include "flash_standin.h"
#include "flash_support.h"
#include "flash_test_support.h"

namespace ssi::test {
namespace {

using Lines = std::vector<std::string>;

const std::string kMovie = "C:\\windows\\meadow dir\\installer.scf";

class MoviePlayerTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetStandin();
    RegisterStandinControl();
    ClearStandinLog();
  }
  void TearDown() override {
    player.reset();
    ResetStandin();
  }
  HostWindow host;
  MoviePlayerRef player;
};

TEST_F(MoviePlayerTest, SetsUpTheControlInOrderInsideThePanelAndStopsItAtRelease) {
  SetStandinText(standin::kSAlign, "LT");
  EXPECT_EQ(CreateMoviePlayer(player, host.Panel(), kMovie), 0);
  ASSERT_TRUE(player);
  EXPECT_EQ(StandinLog(), (Lines{"create", "SetClientSite site", "InitNew",
                                 "dispatch put Movie " + kMovie, "DoVerb -5 rect=1,1,351,151",
                                 "SetVariable WMode=Opaque", "dispatch get SAlign LT",
                                 "SetVariable LT=alClient", "dispatch put Menu false"}));

  // One pixel inside every edge of the panel.
  const HWND control = host.ControlWindow();
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(GetParent(control), host.Panel());
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, host.Panel(), reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(r.left, 1);
  EXPECT_EQ(r.top, 1);
  EXPECT_EQ(r.right - r.left, 350);
  EXPECT_EQ(r.bottom - r.top, 150);
  EXPECT_TRUE(IsWindowVisible(control));

  ResetStandin();
  EXPECT_EQ(ReleaseMoviePlayer(player), 0);
  EXPECT_FALSE(player);
  EXPECT_EQ(StandinLog(),
            (Lines{"StopPlay", "InPlaceDeactivate", "Close", "SetClientSite null", "destroy"}));
  EXPECT_EQ(host.ControlWindow(), nullptr);
}

TEST_F(MoviePlayerTest, AnEmptySAlignIsPassedOnAsAnEmptyName) {
  EXPECT_EQ(CreateMoviePlayer(player, host.Panel(), kMovie), 0);
  const Lines log = StandinLog();
  ASSERT_EQ(log.size(), 9u);
  EXPECT_EQ(log[6], "dispatch get SAlign ");
  EXPECT_EQ(log[7], "SetVariable =alClient");
}

TEST_F(MoviePlayerTest, AFailedFirstCreationIsRetriedAndStillReported) {
  SetStandinNumber(standin::kFailCreations, 1);
  EXPECT_EQ(CreateMoviePlayer(player, host.Panel(), kMovie), -1);
  ASSERT_TRUE(player);
  const Lines log = StandinLog();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[0], "create refused");
  EXPECT_EQ(log[1], "create");
  EXPECT_EQ(log.back(), "dispatch put Menu false");
  EXPECT_NE(host.ControlWindow(), nullptr);  // the movie plays all the same
}

TEST_F(MoviePlayerTest, AFailureAfterCreationKeepsTheHalfSetUpControlAndEndsTheAttempts) {
  SetStandinText(standin::kFail, "Movie");
  EXPECT_EQ(CreateMoviePlayer(player, host.Panel(), kMovie), -1);
  EXPECT_TRUE(player);
  EXPECT_EQ(StandinLog(), (Lines{"create", "SetClientSite site", "InitNew",
                                 "dispatch put Movie " + kMovie + " failed"}));
  EXPECT_EQ(host.ControlWindow(), nullptr);  // never given its parent
}

TEST_F(MoviePlayerTest, AFailingSetVariableStopsBeforeTheRemainingSteps) {
  SetStandinText(standin::kFail, "SetVariable");
  EXPECT_EQ(CreateMoviePlayer(player, host.Panel(), kMovie), -1);
  ASSERT_TRUE(player);
  const Lines log = StandinLog();
  EXPECT_EQ(log.back(), "SetVariable WMode=Opaque failed");
  EXPECT_NE(host.ControlWindow(), nullptr);
}

TEST_F(MoviePlayerTest, APlayerThatHoldsAControlIsLeftAlone) {
  ASSERT_EQ(CreateMoviePlayer(player, host.Panel(), kMovie), 0);
  ResetStandin();
  SetStandinText(standin::kFail, "Movie,SetVariable,Menu");
  EXPECT_EQ(CreateMoviePlayer(player, host.Panel(), "C:\\other.scf"), 0);
  EXPECT_TRUE(StandinLog().empty());
}

TEST_F(MoviePlayerTest, ReleasingAnEmptyPlayerCallsNothing) {
  EXPECT_EQ(ReleaseMoviePlayer(player), 0);
  EXPECT_FALSE(player);
  EXPECT_TRUE(StandinLog().empty());
}

TEST_F(MoviePlayerTest, AControlThatFailsToStopOrCloseIsDestroyedAndTheWindowCloses) {
  ASSERT_EQ(CreateMoviePlayer(player, host.Panel(), kMovie), 0);
  ResetStandin();
  SetStandinText(standin::kFail, "StopPlay,Close");
  EXPECT_EQ(ReleaseMoviePlayer(player), 0);
  EXPECT_FALSE(player);
  EXPECT_EQ(StandinLog(), (Lines{"StopPlay failed", "InPlaceDeactivate", "Close failed",
                                 "SetClientSite null", "destroy"}));
  EXPECT_TRUE(host.Destroy());
}

TEST_F(MoviePlayerTest, AControlThatCannotBeCreatedLeavesThePlayerEmpty) {
  UnregisterStandinControl();
  const DWORD start = GetTickCount();
  EXPECT_EQ(CreateMoviePlayer(player, host.Panel(), kMovie), -1);
  RecordProperty("ten_thousand_failed_attempts_ms", static_cast<int>(GetTickCount() - start));
  EXPECT_FALSE(player);
  EXPECT_TRUE(StandinLog().empty());
}

}  // namespace
}  // namespace ssi::test
