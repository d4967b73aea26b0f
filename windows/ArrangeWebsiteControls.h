// The website window's layout as a pure function of the window's outer size: the status-bar
// panels, the frame, the address box, the Go button and the browser. All values are twips in
// single precision.
#pragma once

#include "hosted/TwipRect.h"

namespace velmora {

// The design's fixed places inside the frame.
inline constexpr float kWebsiteTextLeft = 540;
inline constexpr float kWebsiteTextTop = 240;
inline constexpr float kWebsiteTextHeight = 315;
inline constexpr float kWebsiteGoWidth = 795;
inline constexpr float kWebsiteBrowserLeft = 120;
inline constexpr float kWebsiteBrowserTop = 1140;
inline constexpr float kWebsiteStatusBarHeight = 315;
// The part of the outer size outside the client area: the border and the caption bar.
inline constexpr float kWebsiteFrameReserveWidth = 120;
inline constexpr float kWebsiteFrameReserveHeight = 450;

struct WebsiteLayout {
  float panel1Width = 0;
  float panel2Width = 0;
  TwipRect frame;     // frmBrowser
  TwipRect text1;     // the address box
  TwipRect command3;  // Go
  TwipRect browser;   // WebBrowser1
};

// Every size passes through an absolute value, so a window smaller than its controls gives
// positive sizes; the Go button's left edge is the one value that is not (it follows the
// address box).
WebsiteLayout ArrangeWebsiteControls(float outerWidth, float outerHeight,
                                     float statusBarHeight = kWebsiteStatusBarHeight);

}  // namespace velmora
