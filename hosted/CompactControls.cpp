#include "hosted/CompactControls.h"

#include <gtkmm/cssprovider.h>
#include <gtkmm/image.h>

namespace velmora {

namespace {

constexpr const char* kCompactCss =
    "button.command { padding: 0 2px; min-height: 0; min-width: 0; }"
    "button.command label { font-size: 7pt; }"
    "entry.compact { min-height: 0; padding-top: 0; padding-bottom: 0; }";

// One style sheet for the screen, added with the first compact control made there.
void AddCompactStyle(const Glib::RefPtr<Gdk::Screen>& screen) {
  static Glib::RefPtr<Gtk::CssProvider> css;
  if (!css) {
    css = Gtk::CssProvider::create();
    css->load_from_data(kCompactCss);
  }
  Gtk::StyleContext::add_provider_for_screen(screen, css, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

}  // namespace

void MakePictureButton(Gtk::Button& button, const char* caption, const char* tooltip,
                       const char* iconName, int pixelSize, bool pictureAbove) {
  button.set_label(caption);
  if (tooltip != nullptr) button.set_tooltip_text(tooltip);
  if (iconName == nullptr) return;
  AddCompactStyle(button.get_screen());
  auto* image = Gtk::manage(new Gtk::Image());
  image->set_from_icon_name(iconName, Gtk::ICON_SIZE_LARGE_TOOLBAR);
  image->set_pixel_size(pixelSize);
  button.set_image(*image);
  button.set_image_position(pictureAbove ? Gtk::POS_TOP : Gtk::POS_LEFT);
  button.set_always_show_image(true);
  button.get_style_context()->add_class("command");
}

void MakeCompactEntry(Gtk::Entry& entry) {
  AddCompactStyle(entry.get_screen());
  entry.get_style_context()->add_class("compact");
}

}  // namespace velmora
