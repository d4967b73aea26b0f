#include "startup/frmSplash.h"

#include <glibmm/main.h>
#include <glibmm/markup.h>

#include "common/modIdentity.h"
#include "hosted/SkinCompanion.h"
#include "hosted/Twips.h"
#include "skin/modSkin.h"

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
  // The invitation wraps inside the picture's width rather than widening the window.
  Label3.set_line_wrap(true);
  Label3.set_max_width_chars(40);
  Label3.set_margin_start(12);
  Label3.set_margin_end(12);
  Label3.set_justify(Gtk::JUSTIFY_CENTER);
  box_.pack_start(Image1, Gtk::PACK_EXPAND_WIDGET);
  box_.pack_start(Label3, Gtk::PACK_EXPAND_WIDGET);
  add(box_);
  box_.show_all();
}

frmSplash::~frmSplash() {
  timer_.disconnect();
  // Nothing may go on using this skin control once the splash is gone.
  if (sknShared == &skn) sknShared = nullptr;
  if (objSkinCompanion != nullptr) objSkinCompanion->Detach(skn);
}

void frmSplash::Form_Load() {
  LoadIdentity();
  Label3.set_markup("<span font_family=\"Verdana\" size=\"large\">Visit <b>" +
                    Glib::Markup::escape_text(strWebsite) +
                    "</b> for free software and free music</span>");
  if (blnUseSkin) {
    sknShared = &skn;
    SkinForm(*this);
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
