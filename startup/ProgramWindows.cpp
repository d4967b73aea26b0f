#include "startup/ProgramWindows.h"

#include <gtkmm/main.h>

#include "common/modIdentity.h"
#include "desktop/IETOOLS.h"
#include "hosted/SkinCompanion.h"
#include "mainwindow/Form1.h"
#include "skin/modSkin.h"

namespace velmora {

ProgramWindows::ProgramWindows(ProgramWindowsParts parts) : parts_(std::move(parts)) {
  SetSplashReloader([this] { ReloadSplash(); });
}

ProgramWindows::~ProgramWindows() {
  SetSplashReloader({});
  unloadIdle_.disconnect();
}

void ProgramWindows::StartSplash() {
  splash_ = parts_.makeSplash();
  if (parts_.addWindow) parts_.addWindow(*splash_);
  splash_->Form_Load();
  splash_->show();
}

void ProgramWindows::UnloadWhenHidden(Gtk::Window& window) {
  window.signal_hide().connect([this] {
    if (!unloadIdle_.connected()) {
      unloadIdle_ = Glib::signal_idle().connect([this] {
        UnloadHiddenWindows();
        return false;
      });
    }
  });
}

void ProgramWindows::UnloadHiddenWindows() {
  // A window shown again before this ran stays.
  if (help_ && !help_->get_visible()) help_.reset();
  if (website_ && !website_->get_visible()) website_.reset();
  if (about_ && !about_->get_visible()) about_.reset();
}

// ---- Skin and splash -----------------------------------------------------------------------

void ProgramWindows::SkinWindow(Gtk::Window& window) {
  SkinForm(window);
}

void ProgramWindows::ReloadSplash() {
  if (splash_ != nullptr) {
    if (blnUseSkin) sknShared = &splash_->skn;
    return;
  }
  splash_ = parts_.makeSplash();
  if (parts_.addWindow) parts_.addWindow(*splash_);
  splash_->Form_Load();
  // The load starts the timer before it returns; pending events are handled while waiting, and
  // the wait never blocks.
  while (!splash_->TimerEnabled() && Gtk::Main::events_pending()) Gtk::Main::iteration(false);
  splash_->SetTimerEnabled(false);
  splash_->hide();
}

void ProgramWindows::UnloadSplash() {
  splash_.reset();
}

// ---- The end of the program ----------------------------------------------------------------

void ProgramWindows::MainWindowClosed() {
  // An open website window outlives the main window; the program ends when it closes.
  if (!WebsiteShowing()) EndProgram();
}

void ProgramWindows::EndProgram() {
  if (blnUseSkin && objSkinCompanion != nullptr) objSkinCompanion->End();
  if (parts_.endProgram) parts_.endProgram();
}

// ---- Help ----------------------------------------------------------------------------------

std::string ProgramWindows::ShowHelpSetting() const {
  return parts_.settings.GetSetting(setting_keys::kSettingsSection, setting_keys::kShowHelp,
                                    setting_keys::kShowHelpDefault);
}

std::string ProgramWindows::GetSetting(std::string_view key, std::string_view defaultValue) const {
  return parts_.settings.GetSetting(setting_keys::kSettingsSection, key, defaultValue);
}

void ProgramWindows::SaveSetting(std::string_view key, std::string_view value) const {
  parts_.settings.SaveSetting(setting_keys::kSettingsSection, key, value);
}

void ProgramWindows::ShowHelp() {
  if (!help_) {
    help_ = std::make_unique<Form8>(parts_.programFolder / "Help.rtf", parts_.settings);
    if (parts_.addWindow) parts_.addWindow(*help_);
    help_->Form_Load();
    if (!help_->HelpLoaded()) {
      // Without a help file the window is never shown; the next request looks again.
      help_.reset();
      return;
    }
    UnloadWhenHidden(*help_);
  }
  help_->present();
}

void ProgramWindows::UnloadHelp() {
  help_.reset();
}

// ---- Website and About ---------------------------------------------------------------------

void ProgramWindows::ShowWebsite() {
  if (!website_) {
    website_ = std::make_unique<frmWebsite>(parts_.makeWebsiteBrowser(), [this] {
      if (form_ == nullptr || !form_->get_visible()) EndProgram();
    });
    if (parts_.addWindow) parts_.addWindow(*website_);
    website_->Form_Load();
    UnloadWhenHidden(*website_);
  }
  website_->present();
}

bool ProgramWindows::WebsiteShowing() const {
  return website_ && website_->get_visible();
}

void ProgramWindows::ShowAbout() {
  if (!about_) {
    about_ = std::make_unique<frmAbout>(parts_.assetsFolder);
    if (parts_.addWindow) parts_.addWindow(*about_);
    about_->Form_Load();
    UnloadWhenHidden(*about_);
  }
  about_->present();
}

// ---- Tools menu ----------------------------------------------------------------------------

bool ProgramWindows::AddToIETools() {
  return velmora::AddToIETools();
}

bool ProgramWindows::RemoveFromIETools() {
  return velmora::RemoveFromIETools();
}

}  // namespace velmora
