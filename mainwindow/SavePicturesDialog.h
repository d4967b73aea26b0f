// The Save Pictures window of the Images tool: where the chosen pictures go (a folder, and in it
// by default a folder for the page, "<host>/<page title>") and the pattern of their names, with
// the names they will get shown before anything is written. Save makes the folder and hands the
// pictures with their names to the caller, which saves them (SaveImagesWindow).
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/checkbutton.h>
#include <gtkmm/entry.h>
#include <gtkmm/grid.h>
#include <gtkmm/label.h>
#include <gtkmm/window.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "analysis/PictureChoice.h"
#include "mainwindow/OpenFileDialog.h"
#include "mainwindow/SaveImagesWindow.h"

namespace velmora {

class SavePicturesDialog : public Gtk::Window {
 public:
  // What the user chose; the tool remembers it for the next time.
  struct Choices {
    std::filesystem::path folder;  // where the page's folder is made, or the pictures go
    bool folderPerPage = true;     // in a folder of the page's own below `folder`
    std::string pattern{NamePattern::kDefault};
  };
  // Save: the folder (made already), the pictures with their names, in their order, and the
  // choices that gave them.
  using SaveFunction =
      std::function<void(const std::filesystem::path& folder,
                         std::vector<SaveImagesWindow::Picture> pictures, const Choices& choices)>;

  // For `pictures` (in the order they are saved) of the page at `pageUrl` titled `title`,
  // starting from `start`. `dialog` (Change…) must outlive the window.
  SavePicturesDialog(OpenFileDialog& dialog, std::vector<CensusImage> pictures, std::string pageUrl,
                     std::string title, const Choices& start, SaveFunction save);

  // The choices as the controls show them.
  Choices Chosen() const;
  // Where the pictures go with these choices.
  std::filesystem::path TargetFolder() const;
  // The names the pictures get, in their order; empty while the pattern is wrong.
  const std::vector<std::string>& Names() const noexcept { return names_; }

  // The Save button: makes the folder and hands the pictures over, or says in the window why it
  // cannot (a wrong pattern, a folder that cannot be made or written).
  void Save();

  Gtk::Label lblWhat, lblFolder, lblPattern, lblParts, lblPreview;
  Gtk::Entry txtFolder, txtPattern;
  Gtk::Button cmdChange, cmdCancel, cmdSave;
  Gtk::CheckButton chkFolderPerPage;

 private:
  // Shows the names the pattern gives and where they go, or what is wrong with the pattern.
  void Preview();

  OpenFileDialog& dialog_;
  std::vector<CensusImage> pictures_;
  std::string pageUrl_;
  std::string title_;
  SaveFunction save_;
  std::vector<std::string> names_;

  Gtk::Box box_{Gtk::ORIENTATION_VERTICAL, 8};
  Gtk::Grid grid_;
};

}  // namespace velmora
