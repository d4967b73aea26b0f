// The Save Images window: it saves pictures (the gallery's, or those chosen in the Images tool)
// into one folder, a few at a time through the page's browser control (the engine's bytes where
// it holds them, else a request that carries the page's cookies) and data: pictures directly,
// shows how far it has come with a Cancel button, and ends with a summary and a list of what
// failed. A picture may come with the name it is to get; a name that is taken is numbered,
// never replaced.
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

  // A picture to save: its address, and its file name ("" for the one its address gives).
  struct Picture {
    std::string url;
    std::string name;
  };

  // Starts saving `pictures` into `folder` (which exists) at once; `finished` gets the summary
  // when every picture has ended or Cancel was pressed.
  SaveImagesWindow(BrowserControl& page, std::vector<Picture> pictures,
                   std::filesystem::path folder, std::function<void(const std::string&)> finished);
  // File > Save Images…: asks with `dialog` for the folder to save the gallery's pictures
  // `urls` of the page `page` shows into, proposing one named after the page's host in
  // `downloadFolder`, makes it and starts saving. `report` gets the summary at the end, or why
  // nothing started (no pictures, a folder that cannot be made). Nothing when nothing started.
  static std::unique_ptr<SaveImagesWindow> Ask(Gtk::Window& parent, OpenFileDialog& dialog,
                                               BrowserControl& page, std::vector<std::string> urls,
                                               const std::filesystem::path& downloadFolder,
                                               std::function<void(const std::string&)> report);

  // Shows the save that `start` makes (nothing when it makes none) in `slot`, `dress` giving the
  // window its owner and skin; while the save in `slot` is under way, that one comes to the front
  // instead and `start` is not called.
  static void ShowIn(std::unique_ptr<SaveImagesWindow>& slot,
                     const std::function<std::unique_ptr<SaveImagesWindow>()>& start,
                     const std::function<void(Gtk::Window&)>& dress);

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
  // Saves a picture that is to get a name of its own through the control: into a hidden folder
  // of ours beside the others first, then moved to its name.
  std::function<void()> SaveNamed(const Picture& picture);
  void Ended(const std::string& url, const BrowserControl::SavedFile& outcome);
  void DropStaging();
  void ShowProgress();
  void Finish();

  BrowserControl& page_;
  std::vector<Picture> pictures_;
  std::filesystem::path folder_;
  std::filesystem::path staging_;  // made on first use
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
