// What the two browser windows share: a window whose controls are placed in twips, as their
// designs draw them. It converts twips to the screen's pixels, makes the design's picture buttons
// and compact text boxes, and lays the window out again once each change of its size settles.
#pragma once

#include <gtkmm/button.h>
#include <gtkmm/entry.h>
#include <gtkmm/window.h>

#include <functional>
#include <span>

#include "hosted/TwipRect.h"

namespace velmora {

// One command button of a window's design: its caption, tool tip (none when nullptr), picture
// from the desktop icon theme (none when nullptr) and place in twips (width 0: its own size).
// The picture is 24 x 24 above the caption, or 16 x 16 beside it in a low row.
template <typename Window>
struct ButtonDesign {
  Gtk::Button Window::*button;
  const char* caption;
  const char* tooltip;
  const char* icon;
  TwipRect place;
  bool pictureAbove = false;
};

class DesignWindow : public Gtk::Window {
 public:
  ~DesignWindow() override;

  // Pixels for twips, and twips for pixels, at the screen's resolution.
  int Pixels(float twips) const;
  float Twips(int pixels) const;

 protected:
  // Makes each designed button of `window` and hands it to `place` with its design place.
  template <typename Window>
  static void MakeButtons(Window& window, std::span<const ButtonDesign<Window>> designs,
                          const std::function<void(Gtk::Widget&, const TwipRect&)>& place) {
    for (const ButtonDesign<Window>& design : designs) {
      MakeButton(window.*design.button, design.caption, design.tooltip, design.icon,
                 design.pictureAbove);
      place(window.*design.button, design.place);
    }
  }
  // Lets the text box be as low as its design (a 315-twip address row) instead of the theme's
  // taller minimum.
  static void MakeCompactEntry(Gtk::Entry& entry);

  // Calls `resize` after each allocation of `area` (a new window size), outside the allocation.
  void FollowResize(Gtk::Widget& area, std::function<void()> resize);
  // Whether the window's controls were last laid out for another size; remembers this one.
  bool NewSize(int width, int height);

 private:
  static void MakeButton(Gtk::Button& button, const char* caption, const char* tooltip,
                         const char* icon, bool pictureAbove);

  sigc::connection resizeIdle_;
  int arrangedWidth_ = -1;
  int arrangedHeight_ = -1;
};

}  // namespace velmora
