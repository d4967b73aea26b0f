// The splash: it loads the identity and skins itself, and its timer opens the main window
// exactly once, on the tick where its counter reaches 150, then hides the splash.
#include <gdkmm/pixbuf.h>
#include <glibmm/main.h>
#include <gtest/gtest.h>
#include <gtkmm/main.h>

#include "common/modIdentity.h"
#include "hosted/SkinCompanion.h"
#include "hosted/SkinControl.h"
#include "hosted/Twips.h"
#include "skin/modSkin.h"
#include "startup/frmSplash.h"

namespace velmora {
namespace {

constexpr const char* kAssets = VELMORA_TEST_ASSETS;

TEST(frmSplash, LoadSetsUpTheRunAndStartsTheTimer) {
  frmSplash splash(kAssets, [] {});
  splash.Form_Load();
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

// Turns the main loop until the window is mapped and drawn.
void Draw(Gtk::Window& window) {
  for (int i = 0; i < 100 && !window.get_mapped(); ++i) Gtk::Main::iteration(false);
  for (int i = 0; i < 20; ++i) {
    g_usleep(10000);
    while (Gtk::Main::events_pending()) Gtk::Main::iteration(false);
  }
}

TEST(frmSplash, ShowsItsPictureAndInvitationOnTheSkin) {
  frmSplash splash(kAssets, [] {});
  splash.Form_Load();
  splash.SetTimerEnabled(false);  // stay on screen for the picture
  splash.show();
  Draw(splash);
  const int width = splash.get_width();
  const int height = splash.get_height();
  EXPECT_EQ(width, TwipsToPixels(splash, frmSplash::kWidthTwips));
  EXPECT_EQ(height, TwipsToPixels(splash, frmSplash::kHeightTwips));
  auto shot = Gdk::Pixbuf::create(splash.get_window(), 0, 0, width, height);
  ASSERT_TRUE(shot);
  const auto colourAt = [&](int x, int y) {
    const guint8* pixel =
        shot->get_pixels() + y * shot->get_rowstride() + x * shot->get_n_channels();
    return CssColor(static_cast<std::uint32_t>(pixel[0]) | pixel[1] << 8 | pixel[2] << 16);
  };
  // The label's corner shows the skin's back colour; the picture has colours of its own.
  EXPECT_EQ(colourAt(2, height - 2), CssColor(splash.skn.BackColor()));
  int pictureColours = 0;
  for (int y = height / 8; y < height / 2; y += 7) {
    if (colourAt(width / 2, y) != CssColor(splash.skn.BackColor())) ++pictureColours;
  }
  EXPECT_GT(pictureColours, 0) << "the picture is drawn";
}

bool IsSkinned(Gtk::Window& window) {
  return window.get_style_context()->has_class(SkinControl::kSkinnedClass);
}

TEST(frmSplash, AnUnloadedSplashLeavesNoSkinBehind) {
  auto splash = std::make_unique<frmSplash>(kAssets, [] {});
  splash->Form_Load();
  ASSERT_EQ(sknShared, &splash->skn);
  ASSERT_NE(objSkinCompanion, nullptr);
  ASSERT_TRUE(objSkinCompanion->AttachedTo(splash->skn));
  const SkinControl* gone = &splash->skn;
  splash.reset();
  EXPECT_EQ(sknShared, nullptr);
  EXPECT_FALSE(objSkinCompanion->AttachedTo(*gone));
  EXPECT_FALSE(objSkinCompanion->Started());
  // A window shown now is not skinned through the gone control (and nothing crashes).
  Gtk::Window later;
  later.show();
  while (Gtk::Main::events_pending()) Gtk::Main::iteration(false);
  EXPECT_FALSE(IsSkinned(later));
}

}  // namespace
}  // namespace velmora
