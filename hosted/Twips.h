// Twips (1/1440 inch), the unit the windows' designs are drawn in, and screen pixels.
#pragma once

#include <gtkmm/widget.h>

#include <cmath>

namespace velmora {

// Pixels for twips at the resolution of the widget's screen (96 dots per inch when the screen
// does not say).
inline int TwipsToPixels(const Gtk::Widget& widget, float twips) {
  double dpi = widget.get_screen() ? widget.get_screen()->get_resolution() : -1;
  if (dpi <= 0) dpi = 96;
  return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

}  // namespace velmora
