#include "windows/Form8.h"

#include <charconv>
#include <cstdio>
#include <exception>
#include <string>

#include "common/modIdentity.h"
#include "common/modOnTop.h"
#include "common/xfileExists.h"
#include "hosted/Twips.h"
#include "skin/modSkin.h"
#include "windows/RtfTextView.h"

namespace velmora {

namespace {

// The whole text as a whole number, or nothing.
std::optional<int> WholeNumber(const std::string& text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [rest, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || rest != end || text.empty()) return std::nullopt;
  return value;
}

}  // namespace

Form8::Form8(std::filesystem::path helpFile, SettingsStore settings)
    : helpFile_(std::move(helpFile)), settings_(std::move(settings)) {
  set_title("Readme/Help");
  set_resizable(false);
  set_type_hint(Gdk::WINDOW_TYPE_HINT_DIALOG);
  set_skip_taskbar_hint(true);
  set_position(Gtk::WIN_POS_CENTER);
  client_.set_size_request(Pixels(kWidthTwips), Pixels(kHeightTwips));
  add(client_);

  rtf1.get_buffer()->set_text(kPlaceholder);
  rtf1.set_editable(false);
  rtf1.set_wrap_mode(Gtk::WRAP_WORD);
  scroller_.add(rtf1);
  scroller_.set_policy(Gtk::POLICY_AUTOMATIC, Gtk::POLICY_AUTOMATIC);
  scroller_.set_size_request(Pixels(10275), Pixels(7515));
  client_.put(scroller_, 0, 0);
  Check1.set_active(true);
  Check1.set_size_request(Pixels(1995), Pixels(255));
  client_.put(Check1, Pixels(60), Pixels(7620));
  client_.show_all();

  Check1.signal_toggled().connect(sigc::mem_fun(*this, &Form8::Check1_Click));
}

int Form8::Pixels(float twips) const {
  return TwipsToPixels(*this, twips);
}

void Form8::Form_Load() {
  if (blnUseSkin) SkinForm(*this);
  if (!FileExists(helpFile_)) return;  // no help file: the window stays hidden
  try {
    if (!LoadRtfFile(rtf1, helpFile_)) {
      std::fprintf(stderr, "velmora: cannot read the help file %s\n", helpFile_.c_str());
      return;
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "velmora: cannot show the help file %s: %s\n", helpFile_.c_str(),
                 error.what());
    return;
  }
  helpLoaded_ = true;
  SetOnTop(*this, true);
  onTop_ = true;
  // A stored value that is not 0 or 1 leaves the box as it is.
  const std::optional<int> state = WholeNumber(settings_.GetSetting(
      setting_keys::kSettingsSection, setting_keys::kShowHelp, setting_keys::kShowHelpDefault));
  if (state == 0 || state == 1) Check1.set_active(*state == 1);
}

void Form8::Check1_Click() {
  // A setting that cannot be written is reported by the store and otherwise ignored.
  settings_.SaveSetting(setting_keys::kSettingsSection, setting_keys::kShowHelp,
                        Check1.get_active() ? "1" : "0");
}

}  // namespace velmora
