#include "windows/ArrangeWebsiteControls.h"

#include <cmath>

namespace velmora {

WebsiteLayout ArrangeWebsiteControls(float W, float H, float statusBarHeight) {
  WebsiteLayout l;
  // The two status-bar panels share the width.
  l.panel1Width = std::fabs(W / 2);
  l.panel2Width = std::fabs(W / 2);
  // The frame fills the window above the status bar, 300 narrower than the window.
  l.frame = {0, 0, std::fabs(W - 300), std::fabs(H - statusBarHeight)};
  // The address box takes what the Go button leaves of the frame's width.
  l.text1 = {kWebsiteTextLeft, kWebsiteTextTop,
             std::fabs(l.frame.width - kWebsiteTextLeft - 300 - kWebsiteGoWidth),
             kWebsiteTextHeight};
  l.command3 = {l.text1.width + l.text1.left + 100, kWebsiteTextTop, kWebsiteGoWidth,
                kWebsiteTextHeight};
  // The browser fills the frame below the buttons.
  l.browser = {kWebsiteBrowserLeft, kWebsiteBrowserTop,
               std::fabs(l.frame.width - kWebsiteBrowserLeft - 100),
               std::fabs(l.frame.height - kWebsiteBrowserTop - 800 - statusBarHeight)};
  return l;
}

}  // namespace velmora
