#include "hosted/SkinControl.h"

#include <gtkmm/stylecontext.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace velmora {

std::string CssColor(std::uint32_t bbggrr) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", bbggrr & 0xFF, (bbggrr >> 8) & 0xFF,
                (bbggrr >> 16) & 0xFF);
  return text;
}

SkinControl::SkinControl(std::filesystem::path styleSheet, SkinSettings settings)
    : styleSheet_(std::move(styleSheet)), settings_(std::move(settings)) {}

std::string SkinControl::StyleSheet() const {
  std::ifstream in(styleSheet_, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read the skin " + styleSheet_.string());
  const std::string rules{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return "@define-color skin_back " + CssColor(settings_.backColor) + ";\n" +
         "@define-color skin_fore " + CssColor(settings_.foreColor) + ";\n" +
         "@define-color skin_panel " + CssColor(settings_.panelColor) + ";\n" +
         "@define-color skin_panel_text " + CssColor(settings_.panelTextColor) + ";\n" + rules;
}

void SkinControl::ApplyTo(Gtk::Window& window) {
  if (!provider_) {
    auto provider = Gtk::CssProvider::create();
    try {
      provider->load_from_data(StyleSheet());
    } catch (const Glib::Error& error) {
      throw std::runtime_error("the skin " + styleSheet_.string() +
                               " is not valid: " + error.what());
    }
    // One sheet for the screen; its rules reach only windows with the skin's class.
    Gtk::StyleContext::add_provider_for_screen(window.get_screen(), provider,
                                               GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    provider_ = provider;
  }
  window.get_style_context()->add_class(kSkinnedClass);
}

}  // namespace velmora
