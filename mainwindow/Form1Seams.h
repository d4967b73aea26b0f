// What the main window reaches beyond itself: the secondary windows, the skin, the desktop
// integration and the per-user settings. Each operation does nothing until the part of the
// program that owns it is built in; the main window calls them at the points its design gives.
#pragma once

#include <string>
#include <string_view>

namespace Gtk {
class Window;
}

namespace velmora {

class Form1Seams {
 public:
  virtual ~Form1Seams() = default;

  // The skin: label pass and skinning of a window.
  virtual void SkinWindow(Gtk::Window& /*window*/) {}
  // The per-user setting "Settings" / "showHelp"; "1" when it was never written.
  virtual std::string ShowHelpSetting() const { return "1"; }
  // A per-user setting of the "Settings" section (common/SettingsStore.h's keys); the default
  // when it was never written. Saving does nothing until the settings are built in.
  virtual std::string GetSetting(std::string_view /*key*/, std::string_view defaultValue) const {
    return std::string(defaultValue);
  }
  virtual void SaveSetting(std::string_view /*key*/, std::string_view /*value*/) const {}
  // The help window: load and show it (or bring it to the front); unload it.
  virtual void ShowHelp() {}
  virtual void UnloadHelp() {}
  // The website window: load and show it (or bring it to the front).
  virtual void ShowWebsite() {}
  virtual void ShowAbout() {}
  // The splash, hidden for the whole run, unloaded by the main window's unload.
  virtual void UnloadSplash() {}
  // The main window has closed: the program ends, unless a window that outlives it is open.
  virtual void MainWindowClosed() {}
  // The Tools menu: the program's entries in the desktop's browser menus. True when they were
  // all written (or all removed).
  virtual bool AddToIETools() { return false; }
  virtual bool RemoveFromIETools() { return false; }
};

}  // namespace velmora
