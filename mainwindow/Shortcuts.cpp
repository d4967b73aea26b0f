#include "mainwindow/Shortcuts.h"

#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <array>
#include <initializer_list>

namespace velmora {

namespace {

struct Key {
  guint modifiers;
  guint keyval;  // in lower case
  Shortcut shortcut;
};

constexpr guint kNone = 0;
constexpr guint kCtrl = GDK_CONTROL_MASK;
constexpr guint kAlt = GDK_MOD1_MASK;
constexpr guint kShift = GDK_SHIFT_MASK;

constexpr Key kKeys[] = {
    {kCtrl, GDK_KEY_l, Shortcut::kAddressBox},
    {kAlt, GDK_KEY_d, Shortcut::kAddressBox},
    {kNone, GDK_KEY_F6, Shortcut::kAddressBox},
    {kNone, GDK_KEY_F5, Shortcut::kRefresh},
    {kCtrl, GDK_KEY_r, Shortcut::kRefresh},
    {kAlt, GDK_KEY_Left, Shortcut::kBack},
    {kAlt, GDK_KEY_Right, Shortcut::kForward},
    {kAlt, GDK_KEY_Up, Shortcut::kBackDirectory},
    {kNone, GDK_KEY_Escape, Shortcut::kStop},
    {kCtrl, GDK_KEY_o, Shortcut::kOpen},
    {kCtrl, GDK_KEY_f, Shortcut::kFind},
    {kNone, GDK_KEY_F3, Shortcut::kFindNext},
    {kShift, GDK_KEY_F3, Shortcut::kFindPrevious},
    // "+" is Shift and "=" on many keyboards.
    {kCtrl, GDK_KEY_plus, Shortcut::kZoomIn},
    {kCtrl | kShift, GDK_KEY_plus, Shortcut::kZoomIn},
    {kCtrl, GDK_KEY_equal, Shortcut::kZoomIn},
    {kCtrl | kShift, GDK_KEY_equal, Shortcut::kZoomIn},
    {kCtrl, GDK_KEY_KP_Add, Shortcut::kZoomIn},
    {kCtrl | kShift, GDK_KEY_KP_Add, Shortcut::kZoomIn},
    {kCtrl, GDK_KEY_minus, Shortcut::kZoomOut},
    {kCtrl, GDK_KEY_KP_Subtract, Shortcut::kZoomOut},
    {kCtrl, GDK_KEY_0, Shortcut::kZoomReset},
    {kCtrl, GDK_KEY_KP_0, Shortcut::kZoomReset},
    {kCtrl, GDK_KEY_1, Shortcut::kTab1},
    {kCtrl, GDK_KEY_2, Shortcut::kTab2},
    {kCtrl, GDK_KEY_3, Shortcut::kTab3},
    {kCtrl, GDK_KEY_u, Shortcut::kSourceServed},
};

// The zoom steps of a desktop browser.
constexpr std::array<double, 13> kZoomLevels{0.3,  0.5, 0.67, 0.8, 0.9, 1.0, 1.1,
                                             1.25, 1.5, 1.75, 2.0, 2.5, 3.0};

}  // namespace

std::optional<Shortcut> ShortcutFor(guint keyval, guint modifiers) {
  const guint mods = modifiers & gtk_accelerator_get_default_mod_mask();
  const guint key = gdk_keyval_to_lower(keyval);
  for (const Key& k : kKeys) {
    if (k.modifiers == mods && k.keyval == key) return k.shortcut;
  }
  return std::nullopt;
}

double ZoomStep(double now, int step) {
  if (step > 0) {
    const auto next = std::find_if(kZoomLevels.begin(), kZoomLevels.end(),
                                   [now](double level) { return level > now + 0.001; });
    return next != kZoomLevels.end() ? *next : kZoomLevels.back();
  }
  if (step < 0) {
    const auto previous = std::find_if(kZoomLevels.rbegin(), kZoomLevels.rend(),
                                       [now](double level) { return level < now - 0.001; });
    return previous != kZoomLevels.rend() ? *previous : kZoomLevels.front();
  }
  return 1.0;
}

double ScrollDeltaY(const GdkEventScroll& event) {
  switch (event.direction) {
    case GDK_SCROLL_UP:
      return -1;
    case GDK_SCROLL_DOWN:
      return 1;
    case GDK_SCROLL_SMOOTH:
      return event.delta_y;
    default:
      return 0;
  }
}

}  // namespace velmora
