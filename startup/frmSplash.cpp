#include "startup/frmSplash.h"

#include <glibmm/main.h>
#include <glibmm/markup.h>

#include <cstdio>
#include <exception>

#include "hosted/SkinCompanion.h"
#include "hosted/Twips.h"
#include "skin/modSkin.h"
#include "startup/modIdentity.h"

namespace velmora {

frmSplash::frmSplash(const std::filesystem::path& assetsFolder,
                     std::function<void()> openMainWindow)
    : skn(assetsFolder / "skin" / "web-deep-red.css"), openMainWindow_(std::move(openMainWindow)) {
  set_decorated(false);
  set_resizable(false);
  set_skip_taskbar_hint(true);
  set_type_hint(Gdk::WINDOW_TYPE_HINT_SPLASHSCREEN);
  set_position(Gtk::WIN_POS_CENTER);
  set_default_size(TwipsToPixels(*this, kWidthTwips), TwipsToPixels(*this, kHeightTwips));
  Image1.set(assetsFolder / "splash" / "splash.png");
  Label3.set_line_wrap(true);
  Label3.set_justify(Gtk::JUSTIFY_CENTER);
  box_.pack_start(Image1, Gtk::PACK_EXPAND_WIDGET);
  box_.pack_start(Label3, Gtk::PACK_EXPAND_WIDGET);
  add(box_);
  box_.show_all();
}

frmSplash::~frmSplash() {
  timer_.disconnect();
}

void frmSplash::Form_Load() {
  blnEndWithWebsiteWindow = false;
  LoadIdentity();
  Label3.set_markup("<span font_family=\"Verdana\" size=\"large\">Visit <b>" +
                    Glib::Markup::escape_text(strWebsite) +
                    "</b> for free software and free music</span>");
  if (blnUseSkin) {
    sknShared = &skn;
    try {
      SkinForm(*this, skn);
    } catch (const std::exception& error) {
      std::fprintf(stderr, "velmora: %s\n", error.what());
    }
    // The skin-support object, made on first use, skins the windows opened later.
    static SkinCompanion companion;
    objSkinCompanion = &companion;
    objSkinCompanion->Attach(*sknShared);
    objSkinCompanion->Start();
  }
  SetTimerEnabled(true);
}

void frmSplash::SetTimerEnabled(bool enabled) {
  if (!enabled) {
    timer_.disconnect();
    return;
  }
  if (timer_.connected()) return;
  timer_ = Glib::signal_timeout().connect(
      [this] {
        Timer2_Timer();
        return timer_.connected();
      },
      kTimerMilliseconds);
}

void frmSplash::Timer2_Timer() {
  intSplashTicks += 2;
  if (intSplashTicks != kTicksToMainWindow) return;
  SetTimerEnabled(false);
  if (openMainWindow_) openMainWindow_();
  hide();
}

}  // namespace velmora
