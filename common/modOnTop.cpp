#include "common/modOnTop.h"

namespace velmora {

void SetOnTop(Gtk::Window& window, bool onTop) {
  window.set_keep_above(onTop);
}

}  // namespace velmora
