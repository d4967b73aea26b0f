// The embedded browser control as the windows use it: navigation, the page shown, and the events
// of its page life cycle. WebKitBrowserControl puts WebKitGTK behind it; tests use a fake.
#pragma once

#include <sigc++/signal.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "analysis/AnalyzePage.h"
#include "analysis/ImageCensus.h"
#include "analysis/LoadedPictures.h"

namespace Gtk {
class Widget;
}

namespace velmora {

// A read of a page, shared by all who keep it (it can hold a large body).
using SharedSnapshot = std::shared_ptr<const PageSnapshot>;

class BrowserControl {
 public:
  virtual ~BrowserControl() = default;

  // Starts loading what a person typed in an address box ("host/", "localhost:8765/x",
  // "/home/u/page.html", "~/page.html", "https://..."); returns at once.
  virtual void Navigate(const std::string& address) = 0;
  // Starts loading a local file chosen in a file dialog.
  virtual void Navigate2(const std::string& path) = 0;
  // Move in the control's own history; do nothing when there is none.
  virtual void GoBack() = 0;
  virtual void GoForward() = 0;
  // Loads the start page shipped with the program.
  virtual void GoHome() = 0;
  virtual void Stop() = 0;
  virtual void Refresh() = 0;

  // The URL and the title of the page shown ("" before the first page).
  virtual std::string LocationURL() const = 0;
  virtual std::string LocationName() const = 0;
  // The page shown as read when its load finished, the object DownloadComplete handed over: the
  // body element's outerHTML ("" when the page has no HTML body), its address and base URL, the
  // picture elements of the live document (the URLs the engine chose, loaded sizes, computed
  // backgrounds) and the pictures the engine had loaded by then. Never null; empty before the
  // first read, and for a control that does not read its pages.
  virtual SharedSnapshot Page() const = 0;
  // The pictures the engine has loaded for the page shown so far, in every frame, with their
  // types, sizes and bytes (see hosted/PictureRecord.h); none for a control that keeps no record.
  virtual std::vector<LoadedPicture> LoadedPictures() const { return {}; }
  // The bytes the engine holds for a picture of the page shown (one of LoadedPictures()), without
  // a second request: `done` gets them once, later or at once, or nullptr when it holds none.
  virtual void HeldBytes(const std::string& /*url*/,
                         std::function<void(const std::string* bytes)> done) {
    done(nullptr);
  }
  // True when Page() was read from a page that had not finished loading after a while (a
  // picture that never answers); the read of the finished page follows when it finishes.
  virtual bool PageStillLoading() const { return false; }

  // Find in page, ignoring case and wrapping around at the end: a new text marks its matches and
  // moves to the first, searching from the top of the page when it is the first text since
  // EndFind (or ever), else on from the match shown (a text typed letter by letter); the same
  // text again moves to the next match (the previous one with `backwards`). FindResult follows
  // with the number of matches. "" or EndFind clears the marks.
  virtual void Find(const std::string& text, bool backwards) = 0;
  virtual void EndFind() = 0;

  // Saves the picture at `uri` into `folder` under a safe name that is not taken yet: the bytes
  // the engine holds for it when the page loaded it (no second request; the name's extension
  // follows the bytes' type), else fetched as the page's own requests are (its cookies), a
  // server that stops answering given up. `done` is called once, later, with the file or why there
  // is none. The function returned cancels the transfer (`done` still comes).
  struct SavedFile {
    std::filesystem::path file;
    std::string error;
  };
  virtual std::function<void()> SaveImage(const std::string& uri,
                                          const std::filesystem::path& folder,
                                          std::function<void(const SavedFile&)> done) = 0;

  // The main resource of the page shown as the engine received it (no second request): its
  // bytes, and the Content-Type header's value ("" when there was none, as for a file). `done`
  // is called once, later, on the user-interface thread; `error` says why there are no bytes.
  struct ServedPage {
    std::string url;
    std::string bytes;
    std::string contentType;
    std::string error;
  };
  virtual void GetServedPage(std::function<void(const ServedPage&)> done) = 0;

  // The page's zoom: 1 is its own size.
  virtual double ZoomLevel() const = 0;
  virtual void SetZoomLevel(double level) = 0;

  virtual bool Visible() const = 0;
  virtual void SetVisible(bool visible) = 0;
  // The widget to place in a window.
  virtual Gtk::Widget& Widget() = 0;

  // Events, raised on the user-interface thread.
  sigc::signal<void(const std::string&)> StatusTextChange;
  sigc::signal<void(long progress, long progressMax)> ProgressChange;
  sigc::signal<void()> DownloadBegin;
  // Raised when a load has finished, with the read of its page (and once before, when the page
  // is still loading after a while: see PageStillLoading).
  sigc::signal<void(const SharedSnapshot&)> DownloadComplete;
  // Raised when the engine has loaded further pictures for the page shown (often; a receiver
  // that does real work for it waits a little).
  sigc::signal<void()> PicturesLoaded;
  // Raised when a page is committed (it is now the page shown, titled or not) and each time its
  // title changes.
  sigc::signal<void(const std::string&)> TitleChange;
  // A link the user opened aside instead of following it: a Ctrl+click or a middle click on it.
  // While a receiver is connected, the control raises this with the link's address and stays on
  // its page; without one, such a click is handled as the engine handles it.
  sigc::signal<void(const std::string& url)> LinkOpenedAside;
  // The number of matches of the text being found; kManyMatches when there are more than
  // kMaxCountedMatches.
  sigc::signal<void(unsigned matches)> FindResult;
  static constexpr unsigned kMaxCountedMatches = 1000;
  static constexpr unsigned kManyMatches = static_cast<unsigned>(-1);
};

}  // namespace velmora
