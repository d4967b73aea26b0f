// frmSplash: the window the program starts with. It loads the identity, skins itself with the
// skin every window wears, and after 75 ticks of its 2 ms timer opens the main window once and
// hides itself. It stays loaded, hidden, until the main window unloads it.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/image.h>
#include <gtkmm/label.h>
#include <gtkmm/window.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "hosted/SkinControl.h"

namespace velmora {

class frmSplash : public Gtk::Window {
 public:
  // The window's client area in twips.
  static constexpr float kWidthTwips = 7170;
  static constexpr float kHeightTwips = 4770;
  static constexpr int kTimerMilliseconds = 2;
  static constexpr int kTicksToMainWindow = 150;  // the counter goes up by 2 on each tick

  // `openMainWindow` loads and shows the main window; it is called once.
  frmSplash(const std::filesystem::path& assetsFolder, std::function<void()> openMainWindow);
  ~frmSplash() override;

  void Form_Load();
  void Timer2_Timer();

  bool TimerEnabled() const { return timer_.connected(); }
  void SetTimerEnabled(bool enabled);
  int Ticks() const { return intSplashTicks; }

  SkinControl skn;  // the skin control every window is skinned through
  Gtk::Image Image1;
  Gtk::Label Label3;

 private:
  std::function<void()> openMainWindow_;
  int intSplashTicks = 0;
  sigc::connection timer_;
  Gtk::Box box_{Gtk::ORIENTATION_VERTICAL};
};

}  // namespace velmora
