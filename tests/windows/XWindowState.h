// What a window asks of the X window manager, read from its X window's properties. Kept apart
// from the tests: X11's headers define names that clash with GoogleTest's and gtkmm's.
#pragma once

#include <gdk/gdk.h>

namespace velmora::testing {

// Whether the window's _NET_WM_STATE holds _NET_WM_STATE_ABOVE (kept above the others).
bool AskedToStayAbove(GdkWindow* window);

}  // namespace velmora::testing
