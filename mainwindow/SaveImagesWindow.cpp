#include "mainwindow/SaveImagesWindow.h"

#include <gtkmm/buttonbox.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "common/KeptFiles.h"

namespace velmora {

namespace {

constexpr std::size_t kShownAddressLength = 100;

std::string ShownAddress(const std::string& url) {
  if (url.size() <= kShownAddressLength) return url;
  return url.substr(0, kShownAddressLength) + "\u2026";
}

}  // namespace

std::unique_ptr<SaveImagesWindow> SaveImagesWindow::Ask(
    Gtk::Window& parent, OpenFileDialog& dialog, BrowserControl& page,
    std::vector<std::string> urls, const std::filesystem::path& downloadFolder,
    std::function<void(const std::string&)> report) {
  if (urls.empty()) {
    report("The page shows no images to save");
    return nullptr;
  }
  std::string host;
  if (GUri* uri = g_uri_parse(page.LocationURL().c_str(), G_URI_FLAGS_NONE, nullptr)) {
    host = g_uri_get_host(uri) ? g_uri_get_host(uri) : "";
    g_uri_unref(uri);
  }
  // The chooser opens in the download folder, made when missing.
  g_mkdir_with_parents(downloadFolder.c_str(), 0755);
  const std::optional<std::filesystem::path> folder =
      dialog.ShowSaveFolder(parent, downloadFolder / SafeFileName(host, "Images"));
  if (!folder) return nullptr;
  std::error_code error;
  if (g_mkdir_with_parents(folder->c_str(), 0755) != 0 ||
      !std::filesystem::is_directory(*folder, error)) {
    report("Could not make the folder " + folder->string() + ": " +
           std::strerror(errno != 0 ? errno : ENOTDIR));
    return nullptr;
  }
  return std::make_unique<SaveImagesWindow>(page, std::move(urls), *folder, std::move(report));
}

SaveImagesWindow::SaveImagesWindow(BrowserControl& page, std::vector<std::string> urls,
                                   std::filesystem::path folder,
                                   std::function<void(const std::string&)> finished)
    : page_(page),
      urls_(std::move(urls)),
      folder_(std::move(folder)),
      onFinished_(std::move(finished)),
      self_(std::make_shared<SaveImagesWindow*>(this)) {
  set_title("Save Images");
  set_default_size(520, -1);
  set_border_width(12);
  lblStatus.set_xalign(0);
  lblStatus.set_line_wrap(true);
  pbSaved.set_show_text(true);
  txtFailures.set_editable(false);
  txtFailures.set_wrap_mode(Gtk::WRAP_CHAR);
  failuresScroll_.add(txtFailures);
  failuresScroll_.set_min_content_height(120);
  failuresScroll_.set_no_show_all(true);
  cmdCancel.set_label("Cancel");
  cmdCancel.signal_clicked().connect([this] {
    if (Running()) {
      Cancel();
    } else {
      hide();
    }
  });
  auto* buttons = Gtk::manage(new Gtk::ButtonBox());
  buttons->set_layout(Gtk::BUTTONBOX_END);
  buttons->pack_start(cmdCancel);
  box_.pack_start(lblStatus, Gtk::PACK_SHRINK);
  box_.pack_start(pbSaved, Gtk::PACK_SHRINK);
  box_.pack_start(failuresScroll_, Gtk::PACK_EXPAND_WIDGET);
  box_.pack_start(*buttons, Gtk::PACK_SHRINK);
  add(box_);
  box_.show_all();
  // Closing the window while it saves cancels the rest.
  signal_delete_event().connect([this](GdkEventAny*) {
    if (Running()) Cancel();
    return false;
  });
  ShowProgress();
  StartMore();
}

SaveImagesWindow::~SaveImagesWindow() {
  self_.reset();
  if (!finished_) {
    for (const auto& cancel : cancels_) cancel();
  }
}

void SaveImagesWindow::StartMore() {
  // A control may answer at once; the loop below starts the rest.
  if (starting_) return;
  starting_ = true;
  while (!cancelled_ && running_ < kAtOnce && next_ < urls_.size()) {
    const std::string url = urls_[next_++];
    if (const std::optional<DataUri> data = DecodeDataUri(url)) {
      std::error_code error;
      const std::filesystem::path kept =
          KeepBytes(data->bytes, folder_, WithExtensionFor("image", data->contentType), error);
      Ended(url, BrowserControl::SavedFile{kept, error ? error.message() : ""});
      continue;
    }
    if (url.rfind("data:", 0) == 0) {
      Ended(url, BrowserControl::SavedFile{{}, "not a well-formed data: address"});
      continue;
    }
    ++running_;
    cancels_.push_back(page_.SaveImage(url, folder_,
                                       [owner = std::weak_ptr<SaveImagesWindow*>(self_),
                                        url](const BrowserControl::SavedFile& outcome) {
                                         const auto window = owner.lock();
                                         if (!window) return;
                                         --(*window)->running_;
                                         (*window)->Ended(url, outcome);
                                         (*window)->StartMore();
                                       }));
  }
  starting_ = false;
  if (running_ == 0 && (cancelled_ || next_ == urls_.size())) Finish();
}

void SaveImagesWindow::Ended(const std::string& url, const BrowserControl::SavedFile& outcome) {
  if (finished_) return;
  if (!outcome.file.empty()) {
    ++saved_;
  } else if (!cancelled_) {
    failures_.push_back(ShownAddress(url) + ": " + outcome.error);
  }
  ShowProgress();
}

void SaveImagesWindow::ShowProgress() {
  const std::size_t ended = saved_ + failures_.size();
  pbSaved.set_fraction(
      urls_.empty() ? 1.0 : static_cast<double>(ended) / static_cast<double>(urls_.size()));
  pbSaved.set_text(std::to_string(ended) + " of " + std::to_string(urls_.size()));
  if (!finished_) {
    lblStatus.set_text("Saving " + std::to_string(urls_.size()) + " images in " + folder_.string() +
                       "\u2026");
  }
}

void SaveImagesWindow::Cancel() {
  if (finished_) return;
  cancelled_ = true;
  for (const auto& cancel : cancels_) cancel();
  Finish();
}

void SaveImagesWindow::Finish() {
  if (finished_) return;
  finished_ = true;
  summary_ = std::string(cancelled_ ? "Cancelled: saved " : "Saved ") + std::to_string(saved_) +
             " of " + std::to_string(urls_.size()) + " images in " + folder_.string();
  if (!failures_.empty()) summary_ += "; " + std::to_string(failures_.size()) + " failed";
  lblStatus.set_text(summary_);
  std::string lines;
  for (const std::string& failure : failures_) lines.append(failure).append("\n");
  txtFailures.get_buffer()->set_text(lines);
  failuresScroll_.set_visible(!failures_.empty());
  txtFailures.show();
  cmdCancel.set_label("Close");
  if (onFinished_) onFinished_(summary_);
}

}  // namespace velmora
