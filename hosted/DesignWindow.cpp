#include "hosted/DesignWindow.h"

#include <glibmm/main.h>
#include <gtkmm/cssprovider.h>
#include <gtkmm/image.h>

#include "hosted/Twips.h"

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

DesignWindow::~DesignWindow() {
  resizeIdle_.disconnect();
}

int DesignWindow::Pixels(float twips) const {
  return TwipsToPixels(*this, twips);
}

float DesignWindow::Twips(int pixels) const {
  return PixelsToTwips(*this, pixels);
}

void DesignWindow::MakeButton(Gtk::Button& button, const char* caption, const char* tooltip,
                              const char* icon, bool pictureAbove) {
  button.set_label(caption);
  if (tooltip != nullptr) button.set_tooltip_text(tooltip);
  if (icon == nullptr) return;
  AddCompactStyle(button.get_screen());
  auto* image = Gtk::manage(new Gtk::Image());
  image->set_from_icon_name(icon, Gtk::ICON_SIZE_LARGE_TOOLBAR);
  image->set_pixel_size(pictureAbove ? 24 : 16);
  button.set_image(*image);
  button.set_image_position(pictureAbove ? Gtk::POS_TOP : Gtk::POS_LEFT);
  button.set_always_show_image(true);
  button.get_style_context()->add_class("command");
}

void DesignWindow::MakeCompactEntry(Gtk::Entry& entry) {
  AddCompactStyle(entry.get_screen());
  entry.get_style_context()->add_class("compact");
}

void DesignWindow::FollowResize(Gtk::Widget& area, std::function<void()> resize) {
  // Sizes are changed after the allocation that reported the new window size, not inside it.
  area.signal_size_allocate().connect([this, resize = std::move(resize)](Gtk::Allocation&) {
    if (!resizeIdle_.connected()) {
      resizeIdle_ = Glib::signal_idle().connect([resize] {
        resize();
        return false;
      });
    }
  });
}

bool DesignWindow::NewSize(int width, int height) {
  if (width == arrangedWidth_ && height == arrangedHeight_) return false;
  arrangedWidth_ = width;
  arrangedHeight_ = height;
  return true;
}

}  // namespace velmora
