// The program's windows beyond the main window: the splash, the help, website and About
// windows, loaded on demand and unloaded when closed, and what the main window reaches through
// them (the skin, the "Show at Startup" setting, the Tools menu's desktop entry). The program
// ends here: when its last window, the main window or the website window, closes.
#pragma once

#include <glibmm/main.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "common/SettingsStore.h"
#include "hosted/BrowserControl.h"
#include "mainwindow/Form1Seams.h"
#include "startup/frmSplash.h"
#include "windows/Form8.h"
#include "windows/frmAbout.h"
#include "windows/frmWebsite.h"

namespace velmora {

class Form1;

struct ProgramWindowsParts {
  std::filesystem::path programFolder;  // Help.rtf and the icons are there
  std::filesystem::path assetsFolder;
  SettingsStore settings{std::filesystem::path()};
  // Makes the splash (not yet loaded); its timer opens the main window.
  std::function<std::unique_ptr<frmSplash>()> makeSplash;
  // Makes the website window's browser control.
  std::function<std::unique_ptr<BrowserControl>()> makeWebsiteBrowser;
  // Ends the program at once.
  std::function<void()> endProgram;
  // Called with every window made, before it is loaded (the application keeps track of them).
  std::function<void(Gtk::Window&)> addWindow;
};

class ProgramWindows : public Form1Seams {
 public:
  explicit ProgramWindows(ProgramWindowsParts parts);
  ~ProgramWindows() override;
  ProgramWindows(const ProgramWindows&) = delete;
  ProgramWindows& operator=(const ProgramWindows&) = delete;

  // Loads and shows the splash the program starts with. SkinForm reloads it through this
  // object when a window is skinned while the splash is not loaded.
  void StartSplash();
  // The main window, once it is loaded.
  void SetMainWindow(Form1* form) { form_ = form; }
  // Whether the website window is loaded and showing.
  bool WebsiteShowing() const;

  frmSplash* Splash() const { return splash_.get(); }
  Form8* Help() const { return help_.get(); }
  frmWebsite* Website() const { return website_.get(); }
  frmAbout* About() const { return about_.get(); }

  // Form1Seams
  void SkinWindow(Gtk::Window& window) override;
  std::string ShowHelpSetting() const override;
  std::string GetSetting(std::string_view key, std::string_view defaultValue) const override;
  void SaveSetting(std::string_view key, std::string_view value) const override;
  void ShowHelp() override;
  void UnloadHelp() override;
  void ShowWebsite() override;
  void ShowAbout() override;
  void UnloadSplash() override;
  void MainWindowClosed() override;
  bool AddToIETools() override;
  bool RemoveFromIETools() override;

 private:
  // Brings back the splash for SkinForm: a splash that is still loaded publishes its skin again;
  // otherwise a new one is loaded (which publishes its skin), and its timer is stopped once it
  // runs, so that it stays hidden and never opens a second main window.
  void ReloadSplash();
  // Ends the skin-support object, then the program.
  void EndProgram();
  // A closed window is unloaded once the handlers of its closing have returned.
  void UnloadWhenHidden(Gtk::Window& window);
  void UnloadHiddenWindows();

  ProgramWindowsParts parts_;
  Form1* form_ = nullptr;
  std::unique_ptr<frmSplash> splash_;
  std::unique_ptr<Form8> help_;
  std::unique_ptr<frmWebsite> website_;
  std::unique_ptr<frmAbout> about_;
  sigc::connection unloadIdle_;
};

}  // namespace velmora
