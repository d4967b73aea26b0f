// The main window's layout: the controls fill the window as its design places them, and below
// the smallest size the sizes mirror instead of going negative.
#include <gtest/gtest.h>

#include "mainwindow/ArrangeControls.h"

namespace velmora {
namespace {

float Right(const TwipRect& r) {
  return r.left + r.width;
}
float Bottom(const TwipRect& r) {
  return r.top + r.height;
}

// At any size from the smallest up: the address box and Go share the address row and end where
// the website button ends, the tab strip runs from the address row down to the status bar with
// equal margins, the panes lie inside it below its row of tabs, and the status bar's second
// panel with its progress bar starts where the first, three quarters of the width, ends.
TEST(ArrangeControls, TheControlsFillTheWindow) {
  for (const auto& [W, H] : {std::pair{kMinimumOuterWidth, kMinimumOuterHeight},
                             {12255.0f, 11900.0f},
                             {20000.0f, 15000.0f},
                             {9000.0f, 30000.0f}}) {
    SCOPED_TRACE(::testing::Message() << W << " x " << H);
    const MainWindowLayout l = ArrangeControls(W, H);
    EXPECT_EQ(l.address.top, l.go.top);
    EXPECT_EQ(l.address.height, l.go.height);
    EXPECT_LT(Right(l.address), l.go.left) << "a gap between the box and Go";
    EXPECT_FLOAT_EQ(Right(l.go), Right(l.website));
    EXPECT_LT(Right(l.go), W);
    EXPECT_LE(Bottom(l.website), l.address.top);

    EXPECT_GE(l.tabStrip.top, Bottom(l.address));
    EXPECT_FLOAT_EQ(l.tabStrip.left, W - Right(l.tabStrip)) << "equal margins";
    EXPECT_FLOAT_EQ(Bottom(l.tabStrip), H - kFrameReserve - kStatusBarHeight);

    EXPECT_GT(l.pane.top, l.tabStrip.top) << "below the row of tabs";
    EXPECT_GT(l.pane.left, l.tabStrip.left);
    EXPECT_LE(Right(l.pane), Right(l.tabStrip));
    EXPECT_LE(Bottom(l.pane), Bottom(l.tabStrip));

    EXPECT_FLOAT_EQ(l.panel1Width, 0.75f * W);
    EXPECT_GT(l.progress.left, l.panel1Width);
    EXPECT_LT(l.progress.width, l.panel2Width);
    EXPECT_LT(l.progress.height, kStatusBarHeight);
  }
}

// Growing the window by some twips grows the stretching controls by as much and moves Go along.
TEST(ArrangeControls, GrowingTheWindowStretchesTheControls) {
  const MainWindowLayout small = ArrangeControls(10000, 9000);
  const MainWindowLayout large = ArrangeControls(10700, 9400);
  for (const auto& [a, b, grown] : {std::tuple{small.address.width, large.address.width, 700.0f},
                                    {small.website.width, large.website.width, 700.0f},
                                    {small.go.left, large.go.left, 700.0f},
                                    {small.tabStrip.width, large.tabStrip.width, 700.0f},
                                    {small.pane.width, large.pane.width, 700.0f},
                                    {small.tabStrip.height, large.tabStrip.height, 400.0f},
                                    {small.pane.height, large.pane.height, 400.0f}}) {
    EXPECT_FLOAT_EQ(b - a, grown);
  }
  EXPECT_FLOAT_EQ(large.go.width, small.go.width) << "Go keeps its width";
  EXPECT_FLOAT_EQ(large.address.height, small.address.height);
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

// The smallest size is where the website button and the panes have just no room left: below it,
// they would mirror.
TEST(ArrangeControls, TheMinimumSizeIsWhereNothingMirrors) {
  const MainWindowLayout l = ArrangeControls(kMinimumOuterWidth, kMinimumOuterHeight);
  EXPECT_FLOAT_EQ(l.website.width, 0);
  EXPECT_FLOAT_EQ(l.pane.height, 0);
  const MainWindowLayout below = ArrangeControls(kMinimumOuterWidth - 10, kMinimumOuterHeight - 10);
  EXPECT_FLOAT_EQ(below.website.width, 10) << "mirrored";
  EXPECT_FLOAT_EQ(below.pane.height, 10) << "mirrored";
}

}  // namespace
}  // namespace velmora
