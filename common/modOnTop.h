// Keeping a window above the others.
#pragma once

#include <gtkmm/window.h>

namespace velmora {

// Puts the window in the band of windows kept above the others when `onTop` is true, takes it
// out otherwise. Its position, size and order within the band do not change. Window managers
// that have no such band leave it an ordinary window.
void SetOnTop(Gtk::Window& window, bool onTop);

}  // namespace velmora
