// The main window's layout as a pure function of the window's outer size: where the tab strip,
// the three panes, the address row and the status-bar panels go. All values are twips
// (1/1440 inch) in single precision, as the window's scale unit.
#pragma once

#include "hosted/TwipRect.h"

namespace velmora {

// Fixed positions of the window's design.
inline constexpr float kTabStripTop = 960;
inline constexpr float kStatusBarHeight = 315;
inline constexpr float kFrameReserve = 800;  // frame, caption bar and menu bar
inline constexpr float kAddressLeft = 540;
inline constexpr float kAddressTop = 600;
inline constexpr float kAddressHeight = 315;
inline constexpr float kGoWidth = 1095;
inline constexpr float kWebsiteLeft = 7380;
inline constexpr float kWebsiteTop = 60;
inline constexpr float kWebsiteHeight = 495;

// The smallest outer size at which no computed size is mirrored (see ArrangeControls).
inline constexpr float kMinimumOuterWidth = kWebsiteLeft + 150;  // 7530
inline constexpr float kMinimumOuterHeight =
    kTabStripTop + kStatusBarHeight + kFrameReserve + 500;  // 2575

struct MainWindowLayout {
  TwipRect tabStrip;
  TwipRect pane;  // all three panes share it
  TwipRect address;
  TwipRect go;
  TwipRect website;
  float panel1Width = 0;
  float panel2Width = 0;
  TwipRect progress;  // inside panel 2; top is the status bar's top (0 within the bar)
};

// Every size computed from the outer width W and height H passes through an absolute value, so
// none is ever negative: below the minimum size the sizes mirror instead of clamping.
MainWindowLayout ArrangeControls(float outerWidth, float outerHeight);

}  // namespace velmora
