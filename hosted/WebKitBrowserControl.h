// The browser control on WebKitGTK: one WebKitWebView, owned for the life of the control, whose
// signals are wired in one place (ConnectSignals) and raised again as the events of
// BrowserControl. When a page finishes loading, its body is read in a script world of our own
// (a page script cannot change what we read), with the picture elements of the live document,
// and handed over with DownloadComplete (and kept: Page()). A control whose pages run their scripts
// keeps the engine's record of the page's pictures (LoadedPictures(), PictureRecord), and reads a
// page that is still loading after a few seconds anyway. A response the engine cannot show, and the
// context menu's "Save ... As" items, become downloads (DownloadJob) whose progress and outcome go
// to the status text.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hosted/BrowserControl.h"
#include "hosted/BrowserEngine.h"
#include "hosted/PictureRecord.h"

typedef struct _WebKitWebView WebKitWebView;
typedef struct _GCancellable GCancellable;
typedef struct _GSimpleAction GSimpleAction;
typedef struct _WebKitDownload WebKitDownload;
typedef struct _WebKitUserContentManager WebKitUserContentManager;
typedef struct _WebKitUserScript WebKitUserScript;

namespace velmora {

// Whether the pages a control shows may run their own scripts. The control's own page reads run
// either way.
enum class PageScripts { kOn, kOff };

class WebKitBrowserControl : public BrowserControl {
 public:
  // A view in the engine's web context. A control made `relatedTo` another shares that
  // control's web process (the panes that show generated pages cost no extra process); both
  // must come from the same engine. Throws std::invalid_argument otherwise. A control with page
  // scripts off has settings of its own (a related view would otherwise share its relative's).
  // The first control made after the engine warmed up with a first page takes the warmed-up
  // view itself, page and all.
  explicit WebKitBrowserControl(BrowserEngine& engine, WebKitBrowserControl* relatedTo = nullptr,
                                PageScripts scripts = PageScripts::kOn);
  // Takes the view out of its window; a read still running is abandoned.
  ~WebKitBrowserControl() override;
  WebKitBrowserControl(const WebKitBrowserControl&) = delete;
  WebKitBrowserControl& operator=(const WebKitBrowserControl&) = delete;

  void Navigate(const std::string& address) override;
  void Navigate2(const std::string& path) override;
  void GoBack() override;
  void GoForward() override;
  void GoHome() override;
  void Stop() override;
  void Refresh() override;

  std::string LocationURL() const override;
  std::string LocationName() const override;
  SharedSnapshot Page() const override { return page_; }
  std::vector<LoadedPicture> LoadedPictures() const override;
  // From the record of pictures (PictureRecord).
  void HeldBytes(const std::string& url,
                 std::function<void(const std::string* bytes)> done) override;
  bool PageStillLoading() const override { return stillLoading_; }

  void Find(const std::string& text, bool backwards) override;
  void EndFind() override;
  std::function<void()> SaveImage(const std::string& uri, const std::filesystem::path& folder,
                                  std::function<void(const SavedFile&)> done) override;
  void GetServedPage(std::function<void(const ServedPage&)> done) override;

  double ZoomLevel() const override;
  void SetZoomLevel(double level) override;
  bool Visible() const override;
  void SetVisible(bool visible) override;
  Gtk::Widget& Widget() override;

  // The engine's record of the page's pictures; null when the control keeps none.
  const PictureRecord* Pictures() const noexcept { return pictures_.get(); }
  // Keeps no record from now on (to measure what the record costs).
  void StopPictureRecord();

  // The WebKit view itself, for what the interface does not cover.
  WebKitWebView* View() const noexcept { return view_; }

 private:
  struct Handlers;
  friend struct Handlers;
  struct PageRead;
  // What a read brought back; `failure` says why it brought nothing.
  struct PageSnapshotText {
    std::string bodyHtml;
    std::string baseUrl;
    std::vector<ImageElement> imageElements;
    std::vector<std::string> generatedUrls;
    std::optional<std::string> hiddenMarkup;
    std::string failure;
  };

  void ConnectSignals();
  void LoadUri(const std::string& uri);
  // Starts reading the body and base URL of the page that just finished; a read started
  // earlier is cancelled, so only the newest one is kept.
  // `early`: the page is still loading (see kStillLoadingSeconds).
  void StartPageRead(bool early = false);
  void CancelPageRead();
  // The record of pictures: the frames' reports, and the page that keeps loading.
  void WatchPictures();
  void OnPictureMessage(const std::string& json);
  void StartStillLoadingWatch();
  void StopStillLoadingWatch();
  // Saves the bytes the record holds for a picture where a file chooser says.
  void AskAndSaveHeldPicture(const std::string& uri);
  // Keeps what a read brought back, unless a newer load or read has made it stale, and raises
  // DownloadComplete.
  void FinishPageRead(const PageRead& read, PageSnapshotText snapshot);
  // Starts a download that the caller follows (download-started leaves it alone).
  WebKitDownload* StartDownload(const std::string& uri);
  // Follows a download whose progress and outcome are the status text.
  void FollowWithStatus(WebKitDownload* download, bool askUser);

  BrowserEngine& engine_;
  WebKitWebView* view_ = nullptr;  // our own reference

  // Answers of a read that arrive after this control is gone find this token expired.
  std::shared_ptr<WebKitBrowserControl*> self_;
  GCancellable* pendingRead_ = nullptr;
  // Counts the loads started (and web processes lost): a read belongs to one load and is
  // dropped when another load has started since.
  std::uint64_t loadGeneration_ = 0;
  // Counts the reads started: only the newest read of a load is kept.
  std::uint64_t readSerial_ = 0;
  // Set when the load that is ending failed and WebKit is about to show its error page.
  bool errorPageComing_ = false;
  // Set when the load that is ending became a download.
  bool downloadedInstead_ = false;

  SharedSnapshot page_ = std::make_shared<const PageSnapshot>();
  bool stillLoading_ = false;
  // A control whose pages run no scripts shows the pages the program writes itself: they are
  // not read (Page() stays empty), their loads only end.
  bool readsPages_ = true;

  // The engine's record of the page's pictures; null for a control whose pages run no scripts
  // (the generated panes).
  std::unique_ptr<PictureRecord> pictures_;
  WebKitUserContentManager* contentManager_ = nullptr;  // ours to unregister from
  WebKitUserScript* originsScript_ = nullptr;
  bool pageParsed_ = false;       // the page's document has been parsed
  bool earlyReadWanted_ = false;  // read as soon as it is parsed: it keeps loading
  unsigned stillLoadingTimer_ = 0;

  // The page of the engine's warmed-up view, when this control took that view over; cleared by
  // the first load.
  std::string adoptedUri_;
  std::string findText_;
  // The next new search starts at the top of the page: none has started since EndFind.
  bool findFromTop_ = true;
  bool startingDownload_ = false;
  GSimpleAction* saveAsAction_ = nullptr;  // the context menu's "Save ... As" items
};

}  // namespace velmora
