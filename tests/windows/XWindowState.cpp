#include "XWindowState.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/gdkx.h>

namespace velmora::testing {

bool AskedToStayAbove(GdkWindow* window) {
  if (window == nullptr || !GDK_IS_X11_WINDOW(window)) return false;
  Display* display = GDK_WINDOW_XDISPLAY(window);
  const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
  const Atom above = XInternAtom(display, "_NET_WM_STATE_ABOVE", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  bool found = false;
  if (XGetWindowProperty(display, GDK_WINDOW_XID(window), state, 0, 64, False, XA_ATOM, &type,
                         &format, &count, &after, &data) == Success &&
      data != nullptr) {
    const auto* atoms = reinterpret_cast<const Atom*>(data);
    for (unsigned long i = 0; i < count; ++i) found = found || atoms[i] == above;
    XFree(data);
  }
  return found;
}

}  // namespace velmora::testing
