// A browser control for window tests: it records what it is asked to do, keeps a history of its
// own, and raises the control's events when a test says a page has loaded.
#pragma once

#include <gtkmm/eventbox.h>

#include <map>
#include <string>
#include <vector>

#include "hosted/BrowserControl.h"

namespace velmora::testing {

class FakeBrowserControl : public BrowserControl {
 public:
  struct Shown {
    std::string url;
    std::string title;
    std::string html;
    std::string base;
    std::vector<ImageElement> images = {};
    // The main resource as received; `html` when empty.
    std::string served = {};
    std::string contentType = {};
  };

  FakeBrowserControl() { widget_.show(); }

  void Navigate(const std::string& address) override {
    calls.push_back("Navigate " + address);
    navigations.push_back(address);
  }
  void Navigate2(const std::string& path) override {
    calls.push_back("Navigate2 " + path);
    navigations.push_back(path);
  }
  void GoBack() override {
    calls.push_back("GoBack");
    if (back_.empty()) return;
    forward_.push_back(current_);
    current_ = back_.back();
    back_.pop_back();
  }
  void GoForward() override {
    calls.push_back("GoForward");
    if (forward_.empty()) return;
    back_.push_back(current_);
    current_ = forward_.back();
    forward_.pop_back();
  }
  void GoHome() override { calls.push_back("GoHome"); }
  void Stop() override { calls.push_back("Stop"); }
  void Refresh() override { calls.push_back("Refresh"); }

  std::string LocationURL() const override { return current_.url; }
  std::string LocationName() const override {
    return current_.title.empty() ? current_.url : current_.title;
  }
  std::shared_ptr<const PageSnapshot> Page() const override {
    return std::make_shared<const PageSnapshot>(
        PageSnapshot{current_.html, current_.url, current_.base, current_.images});
  }

  // The bytes of `heldBytes`, at once.
  void HeldBytes(const std::string& url,
                 std::function<void(const std::string* bytes)> done) override {
    calls.push_back("HeldBytes " + url);
    const auto held = heldBytes.find(url);
    done(held == heldBytes.end() ? nullptr : &held->second);
  }

  void Find(const std::string& text, bool backwards) override {
    calls.push_back(std::string(backwards ? "FindBack " : "Find ") + text);
  }
  void EndFind() override { calls.push_back("EndFind"); }

  // Answers at once with the page shown.
  void GetServedPage(std::function<void(const ServedPage&)> done) override {
    calls.push_back("GetServedPage");
    ServedPage page{current_.url, current_.served.empty() ? current_.html : current_.served,
                    current_.contentType, ""};
    if (current_.url.empty()) page.error = "no page is shown";
    done(page);
  }

  // Saves wait until the test finishes them (FinishSave) or the caller cancels them.
  struct Save {
    std::string uri;
    std::filesystem::path folder;
    std::function<void(const SavedFile&)> done;
    bool cancelled = false;
  };
  std::function<void()> SaveImage(const std::string& uri, const std::filesystem::path& folder,
                                  std::function<void(const SavedFile&)> done) override {
    saves.push_back(Save{uri, folder, std::move(done)});
    const std::size_t index = saves.size() - 1;
    return [this, index] { saves[index].cancelled = true; };
  }
  // Ends save `index` with this outcome (once).
  void FinishSave(std::size_t index, const SavedFile& outcome) {
    auto done = std::move(saves.at(index).done);
    if (done) done(outcome);
  }

  double ZoomLevel() const override { return zoom_; }
  void SetZoomLevel(double level) override { zoom_ = level; }
  bool Visible() const override { return widget_.get_visible(); }
  void SetVisible(bool visible) override { widget_.set_visible(visible); }
  Gtk::Widget& Widget() override { return widget_; }

  // The user opened a link aside (Ctrl+click, middle click): raised as the real control raises
  // it while a receiver is connected, else the link is followed.
  void OpenLinkAside(const std::string& url) {
    if (LinkOpenedAside.empty()) {
      Navigate(url);
    } else {
      LinkOpenedAside.emit(url);
    }
  }

  // A page finished loading: it becomes the current one, and the events follow as the real
  // control raises them.
  void FinishLoad(const Shown& page) {
    if (!current_.url.empty()) back_.push_back(current_);
    forward_.clear();
    current_ = page;
    DownloadBegin.emit();
    TitleChange.emit(page.title);
    DownloadComplete.emit(Page());
  }

  std::vector<std::string> calls;        // every operation asked for, in order
  std::vector<std::string> navigations;  // the addresses of Navigate and Navigate2
  std::vector<Save> saves;
  std::map<std::string, std::string> heldBytes;  // the engine's bytes, by picture address

 private:
  Gtk::EventBox widget_;  // stands where the page would be drawn
  double zoom_ = 1;
  Shown current_;
  std::vector<Shown> back_;
  std::vector<Shown> forward_;
};

}  // namespace velmora::testing
