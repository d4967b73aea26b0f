// The main window's layout arithmetic, including the mirrored sizes below the minimum.
#include <gtest/gtest.h>

#include "mainwindow/ArrangeControls.h"

namespace velmora {
namespace {

void ExpectRect(const TwipRect& actual, const TwipRect& expected, const char* what, float W,
                float H) {
  EXPECT_FLOAT_EQ(actual.left, expected.left) << what << " left at " << W << " x " << H;
  EXPECT_FLOAT_EQ(actual.top, expected.top) << what << " top at " << W << " x " << H;
  EXPECT_FLOAT_EQ(actual.width, expected.width) << what << " width at " << W << " x " << H;
  EXPECT_FLOAT_EQ(actual.height, expected.height) << what << " height at " << W << " x " << H;
}

TEST(ArrangeControls, TheArrangementForOrdinarySizes) {
  for (const auto& [W, H] :
       {std::pair{12255.0f, 11900.0f}, {7530.0f, 2575.0f}, {20000.0f, 15000.0f}}) {
    const MainWindowLayout l = ArrangeControls(W, H);
    ExpectRect(l.tabStrip, {25, 960, W - 50, H - 2075}, "tab strip", W, H);
    ExpectRect(l.pane, {125, 1360, W - 300, H - 2575}, "panes", W, H);
    ExpectRect(l.address, {540, 600, W - 1835, 315}, "address", W, H);
    ExpectRect(l.go, {W - 1245, 600, 1095, 315}, "go", W, H);
    ExpectRect(l.website, {7380, 60, W - 7530, 495}, "website", W, H);
    EXPECT_FLOAT_EQ(l.panel1Width, 0.75f * W);
    EXPECT_FLOAT_EQ(l.panel2Width, 0.75f * W - 300);
    ExpectRect(l.progress, {0.75f * W + 50, 0, 0.75f * W - 400, 295}, "progress", W, H);
  }
}

TEST(ArrangeControls, SizesMirrorBelowTheMinimum) {
  const struct {
    float W, H;
    float website, address, goLeft, tabHeight, paneHeight;
  } cases[] = {
      {7000, 5000, 530, 5165, 5755, 2925, 2425}, {7530, 5000, 0, 5695, 6285, 2925, 2425},
      {1000, 5000, 6530, 835, 1425, 2925, 2425}, {1835, 5000, 5695, 0, 590, 2925, 2425},
      {8000, 2000, 470, 6165, 6755, 75, 425},    {8000, 2075, 470, 6165, 6755, 0, 500},
      {8000, 2575, 470, 6165, 6755, 500, 0},
  };
  for (const auto& c : cases) {
    const MainWindowLayout l = ArrangeControls(c.W, c.H);
    EXPECT_FLOAT_EQ(l.website.width, c.website) << c.W << " x " << c.H;
    EXPECT_FLOAT_EQ(l.address.width, c.address) << c.W << " x " << c.H;
    EXPECT_FLOAT_EQ(l.go.left, c.goLeft) << c.W << " x " << c.H;
    EXPECT_FLOAT_EQ(l.tabStrip.height, c.tabHeight) << c.W << " x " << c.H;
    EXPECT_FLOAT_EQ(l.pane.height, c.paneHeight) << c.W << " x " << c.H;
    EXPECT_GE(l.tabStrip.width, 0);
    EXPECT_GE(l.pane.width, 0);
  }
}

TEST(ArrangeControls, TheMinimumSizeIsWhereNothingMirrors) {
  EXPECT_FLOAT_EQ(kMinimumOuterWidth, 7530);
  EXPECT_FLOAT_EQ(kMinimumOuterHeight, 2575);
  const MainWindowLayout l = ArrangeControls(kMinimumOuterWidth, kMinimumOuterHeight);
  EXPECT_FLOAT_EQ(l.website.width, 0);
  EXPECT_FLOAT_EQ(l.pane.height, 0);
}

}  // namespace
}  // namespace velmora
