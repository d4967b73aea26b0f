// A skin label: a label drawn in the skin's style, laid over a plain label of a window.
#pragma once

#include <gtkmm/label.h>

namespace velmora {

class SkinLabel : public Gtk::Label {
 public:
  static constexpr const char* kStyleClass = "skin-label";

  SkinLabel() { get_style_context()->add_class(kStyleClass); }
};

}  // namespace velmora
