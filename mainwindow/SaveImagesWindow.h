// The Save Images window: it saves the pictures of the gallery into one folder, a few at a time
// through the page's browser control (the page's cookies go with each request) and data:
// pictures directly, shows how far it has come with a Cancel button, and ends with a summary
// and a list of what failed.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/label.h>
#include <gtkmm/progressbar.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/textview.h>
#include <gtkmm/window.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hosted/BrowserControl.h"
#include "mainwindow/OpenFileDialog.h"

namespace velmora {

class SaveImagesWindow : public Gtk::Window {
 public:
  // Pictures saved at the same time.
  static constexpr std::size_t kAtOnce = 4;

  // Starts saving `urls` into `folder` (which exists) at once; `finished` gets the summary when
  // every picture has ended or Cancel was pressed.
  SaveImagesWindow(BrowserControl& page, std::vector<std::string> urls,
                   std::filesystem::path folder, std::function<void(const std::string&)> finished);
  // File > Save Images…: asks with `dialog` for the folder to save the gallery's pictures
  // `urls` of the page `page` shows into, proposing one named after the page's host in
  // `downloadFolder`, makes it and starts saving. `report` gets the summary at the end, or why
  // nothing started (no pictures, a folder that cannot be made). Nothing when nothing started.
  static std::unique_ptr<SaveImagesWindow> Ask(Gtk::Window& parent, OpenFileDialog& dialog,
                                               BrowserControl& page, std::vector<std::string> urls,
                                               const std::filesystem::path& downloadFolder,
                                               std::function<void(const std::string&)> report);

  // Cancels what is still being saved.
  ~SaveImagesWindow() override;
  SaveImagesWindow(const SaveImagesWindow&) = delete;
  SaveImagesWindow& operator=(const SaveImagesWindow&) = delete;

  // The Cancel button: no further picture starts, those under way are stopped.
  void Cancel();
  bool Running() const noexcept { return !finished_; }
  // "Saved 48 of 50 images in /folder; 2 failed"; "" while running.
  const std::string& Summary() const noexcept { return summary_; }
  // One line per picture that was not saved: its address and why.
  const std::vector<std::string>& Failures() const noexcept { return failures_; }

  Gtk::Label lblStatus;
  Gtk::ProgressBar pbSaved;
  Gtk::TextView txtFailures;
  Gtk::Button cmdCancel;

 private:
  void StartMore();
  void Ended(const std::string& url, const BrowserControl::SavedFile& outcome);
  void ShowProgress();
  void Finish();

  BrowserControl& page_;
  std::vector<std::string> urls_;
  std::filesystem::path folder_;
  std::function<void(const std::string&)> onFinished_;
  std::vector<std::function<void()>> cancels_;
  std::size_t next_ = 0;
  std::size_t running_ = 0;
  std::size_t saved_ = 0;
  bool cancelled_ = false;
  bool finished_ = false;
  bool starting_ = false;
  std::string summary_;
  std::vector<std::string> failures_;
  // Answers that come after the window is gone find this expired.
  std::shared_ptr<SaveImagesWindow*> self_;

  Gtk::Box box_{Gtk::ORIENTATION_VERTICAL, 8};
  Gtk::ScrolledWindow failuresScroll_;
};

}  // namespace velmora
