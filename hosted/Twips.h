// Twips (1/1440 inch), the unit the windows' designs are drawn in, and screen pixels.
#pragma once

#include <gtkmm/widget.h>

#include <cmath>

namespace velmora {

// Pixels for twips at the resolution of the widget's screen (96 dots per inch when the screen
// does not say).
inline double ScreenDpi(const Gtk::Widget& widget) {
  const double dpi = widget.get_screen() ? widget.get_screen()->get_resolution() : -1;
  return dpi > 0 ? dpi : 96;
}

inline int TwipsToPixels(const Gtk::Widget& widget, float twips) {
  return static_cast<int>(std::lround(twips * ScreenDpi(widget) / 1440.0));
}

inline float PixelsToTwips(const Gtk::Widget& widget, int pixels) {
  return static_cast<float>(pixels * 1440.0 / ScreenDpi(widget));
}

}  // namespace velmora
