// Form8: the help window. It shows Help.rtf from the program folder and carries "Show at
// Startup", which decides whether the main window opens it when the program starts. Without a
// help file it stays hidden.
#pragma once

#include <gtkmm/checkbutton.h>
#include <gtkmm/layout.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/textview.h>
#include <gtkmm/window.h>

#include <filesystem>

#include "common/SettingsStore.h"

namespace velmora {

class Form8 : public Gtk::Window {
 public:
  // The window's client area in twips.
  static constexpr float kWidthTwips = 10290;
  static constexpr float kHeightTwips = 7920;
  static constexpr const char* kPlaceholder = "The help text is not loaded.";

  // `helpFile` is the program folder's Help.rtf; `settings` the store of "Show at Startup".
  Form8(std::filesystem::path helpFile, SettingsStore settings);

  void Form_Load();
  void Check1_Click();

  // Whether the load found and read the help file; only then may the window be shown.
  bool HelpLoaded() const noexcept { return helpLoaded_; }
  // Whether the window was put in the band of windows kept above the others.
  bool OnTop() const noexcept { return onTop_; }

  Gtk::TextView rtf1;
  Gtk::CheckButton Check1{"Show at Startup"};

 private:
  int Pixels(float twips) const;

  std::filesystem::path helpFile_;
  SettingsStore settings_;
  bool helpLoaded_ = false;
  bool onTop_ = false;
  Gtk::Layout client_;
  Gtk::ScrolledWindow scroller_;
};

}  // namespace velmora
