#include "windows/frmAbout.h"

#include <gtkmm/cssprovider.h>

#include "common/modIdentity.h"
#include "hosted/Twips.h"
#include "skin/modSkin.h"

namespace velmora {

namespace {

// The window's font: Verdana throughout, the product name larger.
constexpr const char* kAboutCss =
    "label { font-family: Verdana, sans-serif; font-size: 9pt; }\n"
    "label.about-product { font-size: 14pt; font-weight: bold; }\n";

constexpr const char* kRights =
    "Velmora is given away free of charge. You may copy it and pass it on to anyone, as long "
    "as it stays whole and free: it may not be sold, resold, rented out or bundled with "
    "anything that is sold without the written permission of its owner.";

}  // namespace

std::string VersionText(const VersionNumber& version) {
  return std::to_string(version.major) + "." + std::to_string(version.minor);
}

std::optional<VersionRecord> frmAbout::OwnVersionRecord() {
  return ReadVersionRecord();
}

frmAbout::frmAbout(const std::filesystem::path& assetsFolder, RecordSource readRecord)
    : readRecord_(std::move(readRecord)) {
  set_resizable(false);
  set_type_hint(Gdk::WINDOW_TYPE_HINT_DIALOG);
  set_position(Gtk::WIN_POS_CENTER);
  client_.set_size_request(Pixels(kWidthTwips), Pixels(kHeightTwips));
  add(client_);

  auto css = Gtk::CssProvider::create();
  css->load_from_data(kAboutCss);
  for (Gtk::Label* label :
       {static_cast<Gtk::Label*>(&Label1), &Label2, static_cast<Gtk::Label*>(&lblVersion), &Label3,
        static_cast<Gtk::Label*>(&lblCompany), &Label4, static_cast<Gtk::Label*>(&lblWebsite),
        &Label5}) {
    label->get_style_context()->add_provider(css, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    label->set_xalign(0);
  }
  Label1.get_style_context()->add_class("about-product");

  Picture1.set(assetsFolder / "about" / "banner.png");
  Place(Picture1, 0, 0, 7515, 1035);
  Label1.set_text("YourProgramName");
  Place(Label1, 120, 1200, 7095, 435);
  Place(Label2, 180, 1680, 2295, 315);
  lblVersion.set_text("Version");
  Place(lblVersion, 2580, 1680, 4635, 315);
  Place(Label3, 180, 2100, 2295, 315);
  lblCompany.set_text("Version");
  Place(lblCompany, 2580, 2100, 4635, 315);
  Place(Label4, 180, 2520, 2295, 315);
  lblWebsite.set_text("Version");
  Place(lblWebsite, 2580, 2520, 4635, 315);
  Label5.set_text(kRights);
  Label5.set_line_wrap(true);
  Place(Label5, 120, 3300, 7215, 1275);
  SkinLabel1.push_back(std::make_unique<SkinLabel>());
  SkinLabel1[0]->set_no_show_all(true);
  Place(*SkinLabel1[0], 480, 2940, 555, 195);
  client_.show_all();
}

int frmAbout::Pixels(float twips) const {
  return TwipsToPixels(*this, twips);
}

void frmAbout::Place(Gtk::Widget& widget, float left, float top, float width, float height) {
  client_.put(widget, Pixels(left), Pixels(top));
  widget.set_size_request(Pixels(width), Pixels(height));
}

void frmAbout::Form_Load() {
  set_title("About " + strProductName);
  const std::optional<VersionRecord> record = readRecord_();
  if (record) {
    Label1.set_text(record->productName);
    lblCompany.set_text(record->companyName);
    lblVersion.set_text(VersionText(record->fileVersion));
    lblWebsite.set_text(record->comments);
  } else {
    // No readable record: the identity the program runs with, and no version to show.
    Label1.set_text(strProductName);
    lblCompany.set_text(strCompanyName);
    lblVersion.set_text("unknown");
    lblWebsite.set_text(strWebsite);
  }
  if (blnUseSkin) {
    CopyLabelsToSkinLabels(*this, SkinLabel1, false);
    SkinForm(*this);
  }
}

}  // namespace velmora
