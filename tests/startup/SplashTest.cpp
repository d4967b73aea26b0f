// The splash: it loads the identity and skins itself, and its timer opens the main window
// exactly once, on the tick where its counter reaches 150, then hides the splash.
#include <glibmm/main.h>
#include <gtest/gtest.h>
#include <gtkmm/main.h>

#include "hosted/SkinCompanion.h"
#include "hosted/SkinControl.h"
#include "startup/frmSplash.h"
#include "startup/modIdentity.h"

namespace velmora {
namespace {

constexpr const char* kAssets = VELMORA_TEST_ASSETS;

TEST(frmSplash, LoadSetsUpTheRunAndStartsTheTimer) {
  blnEndWithWebsiteWindow = true;
  frmSplash splash(kAssets, [] {});
  splash.Form_Load();
  EXPECT_FALSE(blnEndWithWebsiteWindow);
  EXPECT_TRUE(blnUseSkin);
  EXPECT_FALSE(strProductName.empty());
  EXPECT_TRUE(splash.TimerEnabled());
  EXPECT_TRUE(splash.get_style_context()->has_class(SkinControl::kSkinnedClass));
  EXPECT_EQ(sknShared, &splash.skn) << "every window is skinned through the splash's control";
  ASSERT_NE(objSkinCompanion, nullptr);
  EXPECT_TRUE(objSkinCompanion->Started());
  EXPECT_NE(splash.Label3.get_text().find(strWebsite), std::string::npos);
  EXPECT_FALSE(splash.get_decorated());
  EXPECT_TRUE(splash.get_skip_taskbar_hint());
}

TEST(frmSplash, TheMainWindowOpensOnTheSeventyFifthTickOnly) {
  int opened = 0;
  frmSplash splash(kAssets, [&] { ++opened; });
  splash.Form_Load();
  splash.show();
  for (int tick = 1; tick <= 74; ++tick) {
    splash.Timer2_Timer();
    ASSERT_EQ(opened, 0) << "tick " << tick;
  }
  EXPECT_EQ(splash.Ticks(), 148);
  splash.Timer2_Timer();
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(splash.Ticks(), 150);
  EXPECT_FALSE(splash.TimerEnabled());
  EXPECT_FALSE(splash.get_visible()) << "hidden, not destroyed";
  splash.Timer2_Timer();  // a stray tick after the count opens nothing more
  EXPECT_EQ(opened, 1);
}

TEST(frmSplash, TheRealTimerOpensTheMainWindowOnce) {
  int opened = 0;
  frmSplash splash(kAssets, [&] { ++opened; });
  splash.Form_Load();
  splash.show();
  // Watchdog: the 75 ticks of 2 ms take far less than this even on a busy machine.
  bool timedOut = false;
  auto watchdog = Glib::signal_timeout().connect_seconds(
      [&] {
        timedOut = true;
        return false;
      },
      30);
  while (opened == 0 && !timedOut) Gtk::Main::iteration();
  // A few more turns: no second opening comes.
  for (int i = 0; i < 20 && Gtk::Main::events_pending(); ++i) Gtk::Main::iteration(false);
  watchdog.disconnect();
  ASSERT_FALSE(timedOut) << "the splash timer never reached 150";
  EXPECT_EQ(opened, 1);
  EXPECT_FALSE(splash.TimerEnabled());
  EXPECT_EQ(splash.Ticks(), 150);
  EXPECT_FALSE(splash.get_visible());
}

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  Gtk::Main kit(argc, argv);
  return RUN_ALL_TESTS();
}
