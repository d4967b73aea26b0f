// frmAbout: the product's name, version, owner and website, read from the program's version
// record each time the window loads.
#pragma once

#include <gtkmm/image.h>
#include <gtkmm/label.h>
#include <gtkmm/layout.h>
#include <gtkmm/window.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/VersionRecord.h"
#include "hosted/SkinLabel.h"

namespace velmora {

// "major.minor" in decimal, without leading zeros or spaces: 2.00 gives "2.0", 3.15 "3.15".
std::string VersionText(const VersionNumber& version);

class frmAbout : public Gtk::Window {
 public:
  // The window's client area in twips.
  static constexpr float kWidthTwips = 7455;
  static constexpr float kHeightTwips = 2925;

  // Where the version record comes from; by default the running program itself.
  using RecordSource = std::function<std::optional<VersionRecord>()>;
  static std::optional<VersionRecord> OwnVersionRecord();

  explicit frmAbout(const std::filesystem::path& assetsFolder,
                    RecordSource readRecord = &frmAbout::OwnVersionRecord);

  void Form_Load();

  Gtk::Image Picture1;  // the product banner
  SkinLabel Label1;     // product name
  Gtk::Label Label2{"Version:"};
  SkinLabel lblVersion;
  Gtk::Label Label3{"Owned By:"};
  SkinLabel lblCompany;
  Gtk::Label Label4{"Website:"};
  SkinLabel lblWebsite;
  Gtk::Label Label5;  // the rights paragraph, below the visible area
  // Skin labels laid over the plain labels; element 0 is the hidden template.
  std::vector<std::unique_ptr<SkinLabel>> SkinLabel1;

 private:
  int Pixels(float twips) const;
  void Place(Gtk::Widget& widget, float left, float top, float width, float height);

  RecordSource readRecord_;
  Gtk::Layout client_;
};

}  // namespace velmora
