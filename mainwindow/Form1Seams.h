// What the main window reaches beyond itself: the secondary windows, the skin, the desktop
// integration and the per-user settings. Each operation does nothing until the part of the
// program that owns it is built in; the main window calls them at the points its design gives.
#pragma once

#include <string>

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
  // The help window: load and show it (or bring it to the front); unload it.
  virtual void ShowHelp() {}
  virtual void UnloadHelp() {}
  // The website window: load and show it (or bring it to the front); is it showing?
  virtual void ShowWebsite() {}
  virtual bool WebsiteShowing() const { return false; }
  virtual void ShowAbout() {}
  // The splash, hidden for the whole run, unloaded by the main window's unload.
  virtual void UnloadSplash() {}
  // Ends the skin-support object before the program ends.
  virtual void EndSkinCompanion() {}
  // The Tools menu: the program's entry in the desktop's browser menus.
  virtual void AddToIETools() {}
  virtual void RemoveFromIETools() {}
};

}  // namespace velmora
