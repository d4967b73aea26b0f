#include "mainwindow/ArrangeControls.h"

#include <cmath>

namespace velmora {

MainWindowLayout ArrangeControls(float W, float H) {
  MainWindowLayout l;
  // The tab strip fills the window below the address row, above the status bar.
  l.tabStrip.left = 25;
  l.tabStrip.top = kTabStripTop;
  l.tabStrip.height = std::fabs(H - kTabStripTop - kStatusBarHeight - kFrameReserve);
  l.tabStrip.width = std::fabs(W - 2 * l.tabStrip.left);

  // The panes cover the tab strip's client area: 400 for the row of tabs, margins 100 and 150.
  l.pane.top = std::fabs(kTabStripTop + 400);
  l.pane.left = std::fabs(l.tabStrip.left + 100);
  l.pane.width = std::fabs(l.tabStrip.width - 250);
  l.pane.height = std::fabs(l.tabStrip.height - 500);

  // Status bar: panel 1 takes three quarters of the width; panel 2 starts after it and runs
  // past the window's edge, where it is cut off.
  l.panel1Width = W * 0.75f;
  l.panel2Width = std::fabs(l.panel1Width - 300);
  l.progress.left = l.panel1Width + 50;
  l.progress.top = 0;
  l.progress.height = kStatusBarHeight - 20;
  l.progress.width = l.panel2Width - 100;

  l.address = {kAddressLeft, kAddressTop, std::fabs(W - kAddressLeft - kGoWidth - 200),
               kAddressHeight};
  l.website = {kWebsiteLeft, kWebsiteTop, std::fabs(W - kWebsiteLeft - 150), kWebsiteHeight};
  l.go = {l.address.left + l.address.width + 50, kAddressTop, kGoWidth, kAddressHeight};
  return l;
}

}  // namespace velmora
