#include "mainwindow/SavePicturesDialog.h"

#include <gdk/gdkkeysyms.h>
#include <glib.h>
#include <glib/gstdio.h>
#include <gtkmm/buttonbox.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace velmora {

namespace {

// The names the preview lists before "and N more".
constexpr std::size_t kPreviewNames = 4;

std::string Plural(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

SavePicturesDialog::SavePicturesDialog(OpenFileDialog& dialog, std::vector<CensusImage> pictures,
                                       std::string pageUrl, std::string title, const Choices& start,
                                       SaveFunction save)
    : dialog_(dialog),
      pictures_(std::move(pictures)),
      pageUrl_(std::move(pageUrl)),
      title_(std::move(title)),
      save_(std::move(save)) {
  set_title("Save Pictures");
  set_default_size(560, -1);
  set_border_width(12);
  lblWhat.set_text("Save " + Plural(pictures_.size(), "picture", "pictures") + " in:");
  lblWhat.set_xalign(0);
  lblFolder.set_text("Folder:");
  lblFolder.set_xalign(0);
  txtFolder.set_text(start.folder.string());
  txtFolder.set_hexpand(true);
  cmdChange.set_label("Change\u2026");
  chkFolderPerPage.set_label("In a folder for the page: " + PageFolder(pageUrl_, title_).string());
  chkFolderPerPage.set_active(start.folderPerPage);
  lblPattern.set_text("Names:");
  lblPattern.set_xalign(0);
  txtPattern.set_text(start.pattern);
  lblParts.set_markup(
      "<small>{n} place from 1 \u00b7 {name} file name \u00b7 {host} \u00b7 {title} page title "
      "\u00b7 {w} {h} size \u00b7 {ext} type</small>");
  lblParts.set_xalign(0);
  lblPreview.set_xalign(0);
  lblPreview.set_line_wrap(true);
  lblPreview.set_selectable(true);
  cmdCancel.set_label("Cancel");
  cmdSave.set_label("Save");
  cmdSave.set_can_default(true);

  grid_.set_row_spacing(6);
  grid_.set_column_spacing(8);
  grid_.attach(lblFolder, 0, 0);
  grid_.attach(txtFolder, 1, 0);
  grid_.attach(cmdChange, 2, 0);
  grid_.attach(chkFolderPerPage, 1, 1, 2, 1);
  grid_.attach(lblPattern, 0, 2);
  grid_.attach(txtPattern, 1, 2, 2, 1);
  grid_.attach(lblParts, 1, 3, 2, 1);
  auto* buttons = Gtk::manage(new Gtk::ButtonBox());
  buttons->set_layout(Gtk::BUTTONBOX_END);
  buttons->set_spacing(6);
  buttons->pack_start(cmdCancel);
  buttons->pack_start(cmdSave);
  box_.pack_start(lblWhat, Gtk::PACK_SHRINK);
  box_.pack_start(grid_, Gtk::PACK_SHRINK);
  box_.pack_start(lblPreview, Gtk::PACK_EXPAND_WIDGET);
  box_.pack_start(*buttons, Gtk::PACK_SHRINK);
  add(box_);
  box_.show_all();
  set_default(cmdSave);
  txtPattern.set_activates_default(true);
  txtFolder.set_activates_default(true);

  txtFolder.signal_changed().connect([this] { Preview(); });
  txtPattern.signal_changed().connect([this] { Preview(); });
  chkFolderPerPage.signal_toggled().connect([this] { Preview(); });
  cmdChange.signal_clicked().connect([this] {
    if (const auto folder = dialog_.ShowSaveFolder(*this, TargetFolder())) {
      // The folder chosen is the one the pictures go into.
      chkFolderPerPage.set_active(false);
      txtFolder.set_text(folder->string());
    }
  });
  cmdCancel.signal_clicked().connect([this] { hide(); });
  cmdSave.signal_clicked().connect([this] { Save(); });
  signal_key_press_event().connect([this](GdkEventKey* event) {
    if (event->keyval != GDK_KEY_Escape) return false;
    hide();
    return true;
  });
  Preview();
}

SavePicturesDialog::Choices SavePicturesDialog::Chosen() const {
  return Choices{std::filesystem::path(std::string(txtFolder.get_text())),
                 chkFolderPerPage.get_active(), txtPattern.get_text()};
}

std::filesystem::path SavePicturesDialog::TargetFolder() const {
  const Choices choices = Chosen();
  return choices.folderPerPage ? choices.folder / PageFolder(pageUrl_, title_) : choices.folder;
}

void SavePicturesDialog::Preview() {
  names_.clear();
  std::string error;
  const std::optional<NamePattern> pattern =
      NamePattern::Parse(std::string(txtPattern.get_text()), error);
  const bool placed = TargetFolder().is_absolute();
  cmdSave.set_sensitive(pattern.has_value() && placed && !pictures_.empty());
  if (!pattern) {
    lblPreview.set_text("The names cannot be made: " + error);
    return;
  }
  if (!placed) {
    lblPreview.set_text("Name the folder from its root (\"/\")");
    return;
  }
  std::vector<const CensusImage*> pictures;
  for (const CensusImage& picture : pictures_) pictures.push_back(&picture);
  names_ = NamesForSaving(pictures, *pattern, title_);
  std::string shown;
  for (std::size_t i = 0; i < names_.size() && i < kPreviewNames; ++i) {
    shown += (i == 0 ? "" : ", ") + names_[i];
  }
  if (names_.size() > kPreviewNames)
    shown += " and " + std::to_string(names_.size() - kPreviewNames) + " more";
  lblPreview.set_text("As " + shown + "\nInto " + TargetFolder().string() +
                      "\nA name that is taken there gets a number; no file is replaced.");
}

void SavePicturesDialog::Save() {
  Preview();
  if (!cmdSave.get_sensitive()) return;
  const std::filesystem::path folder = TargetFolder();
  errno = 0;
  std::error_code ignored;
  if (g_mkdir_with_parents(folder.c_str(), 0755) != 0 ||
      !std::filesystem::is_directory(folder, ignored) ||
      ::access(folder.c_str(), W_OK | X_OK) != 0) {
    lblPreview.set_text("Could not use the folder " + folder.string() + ": " +
                        std::strerror(errno != 0 ? errno : ENOTDIR));
    return;
  }
  std::vector<SaveImagesWindow::Picture> pictures;
  for (std::size_t i = 0; i < pictures_.size(); ++i) {
    pictures.push_back(SaveImagesWindow::Picture{pictures_[i].url, names_[i]});
  }
  hide();
  save_(folder, std::move(pictures), Chosen());
}

}  // namespace velmora
