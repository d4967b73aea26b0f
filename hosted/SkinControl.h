// The skin control: the stored skin every window wears ("Web Deep Red"), its four colours, and
// applying it to a window. The skin is a GTK style sheet (assets/skin/web-deep-red.css) drawn
// in the skin's colours.
#pragma once

#include <gtkmm/cssprovider.h>
#include <gtkmm/window.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace velmora {

// Colours are 32-bit values in 0x00BBGGRR order.
struct SkinSettings {
  std::string description = "Web Deep Red";
  std::string application = "Standard Skin";
  int hue = 150;
  std::uint32_t backColor = 0x0005537C;
  std::uint32_t foreColor = 0x00FEFFF2;
  std::uint32_t panelColor = 0x0005537C;
  std::uint32_t panelTextColor = 0x00FEFFF2;
  bool applyColors = false;
  bool skinClientArea = true;
};

// "#RRGGBB" for a colour in 0x00BBGGRR order.
std::string CssColor(std::uint32_t bbggrr);

class SkinControl {
 public:
  // The style class a skinned window carries.
  static constexpr const char* kSkinnedClass = "velmora-skin";

  explicit SkinControl(std::filesystem::path styleSheet, SkinSettings settings = {});

  const SkinSettings& Settings() const noexcept { return settings_; }
  std::uint32_t BackColor() const noexcept { return settings_.backColor; }
  std::uint32_t ForeColor() const noexcept { return settings_.foreColor; }
  std::uint32_t PanelColor() const noexcept { return settings_.panelColor; }
  std::uint32_t PanelTextColor() const noexcept { return settings_.panelTextColor; }

  // The window, its frame area inside the window, buttons, entries, menus, tabs and status bar
  // are drawn in the skin from then on. Throws std::runtime_error when the style sheet cannot
  // be read or parsed.
  void ApplyTo(Gtk::Window& window);

  // The full style sheet: the colour definitions, then the skin's rules.
  std::string StyleSheet() const;

 private:
  std::filesystem::path styleSheet_;
  SkinSettings settings_;
  Glib::RefPtr<Gtk::CssProvider> provider_;  // loaded on the first ApplyTo
};

}  // namespace velmora
