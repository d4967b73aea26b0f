// The main window's keyboard shortcuts and zoom steps, as data: the command each key stands for,
// and the zoom level one step in or out from another.
#pragma once

#include <gdk/gdk.h>

#include <optional>

namespace velmora {

enum class Shortcut {
  kAddressBox,     // Ctrl+L, Alt+D, F6: the address box, its text selected
  kRefresh,        // F5, Ctrl+R
  kBack,           // Alt+Left
  kForward,        // Alt+Right
  kBackDirectory,  // Alt+Up
  kStop,           // Escape
  kOpen,           // Ctrl+O
  kFind,           // Ctrl+F
  kFindNext,       // F3
  kFindPrevious,   // Shift+F3
  kZoomIn,         // Ctrl and +, = or the keypad's +
  kZoomOut,        // Ctrl and - or the keypad's -
  kZoomReset,      // Ctrl+0
  kTab1,           // Ctrl+1, Ctrl+2, Ctrl+3: the three tabs
  kTab2,
  kTab3,
  kSourceServed,  // Ctrl+U: the Source Code tab's As shown <-> As served
};

// The shortcut a key with its modifiers stands for; nothing for any other key. Locks (Caps Lock,
// Num Lock) do not count, and letters count in either case.
std::optional<Shortcut> ShortcutFor(guint keyval, guint modifiers);

// The zoom level one step in (`step` > 0) or out (< 0) from `now` among a desktop browser's
// steps, staying at the first or last step; 1 (the page's own size) for step 0.
double ZoomStep(double now, int step);

// How far a scroll event moves down (> 0) or up (< 0): one for a wheel's click, the delta of a
// smooth scroll, 0 for a sideways scroll.
double ScrollDeltaY(const GdkEventScroll& event);

}  // namespace velmora
