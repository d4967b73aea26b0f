// The WebKit set-up shared by every browser pane: one web context, made before the first web
// view, with the web process sandbox on, the program's folders readable inside it, and TLS
// errors failing the load. WebKitBrowserControl creates its views in this context.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

typedef struct _WebKitWebContext WebKitWebContext;
typedef struct _WebKitWebView WebKitWebView;

namespace velmora {

// True when WebKit would refuse to mount the folder in the web process sandbox: a relative or
// empty path, "/", anything in /proc, /sys or /dev, the home folder itself and /home itself.
// A folder below home or /home is fine. Compared after lexical normalisation, so "/home/" and
// "/home/." are /home.
bool IsRefusedSandboxFolder(const std::filesystem::path& folder, const std::filesystem::path& home);

// Where the engine keeps, between runs, what sites store (cookies, local storage, databases) and
// its cache of pages and pictures.
struct WebDataFolders {
  std::filesystem::path data;  // the cookies are "cookies.sqlite" in it
  std::filesystem::path cache;
};

class BrowserEngine {
 public:
  // Sets up the web context. `workFolder` (where the generated pages are written) and
  // `assetsFolder` (the start page and its pictures) are mounted read-only in the web process
  // sandbox, unless WebKit refuses them or they don't exist yet: those are listed in
  // SkippedFolders(). (The pages themselves are read for the web process by WebKit's network
  // process, which is not in the sandbox: a skipped folder's pages still open.)
  //
  // WebKit allows this set-up only before its first web process starts: make the engine before
  // any web view of the program, and keep it alive longer than every control made with it.
  //
  // With `keep`, cookies, site data and the cache live in those folders (made when missing) and
  // last from one run to the next; without, nothing outlives the engine (tests).
  BrowserEngine(const std::filesystem::path& workFolder, const std::filesystem::path& assetsFolder,
                const std::optional<WebDataFolders>& keep = std::nullopt);
  ~BrowserEngine();
  BrowserEngine(const BrowserEngine&) = delete;
  BrowserEngine& operator=(const BrowserEngine&) = delete;

  WebKitWebContext* Context() const noexcept { return context_; }

  // The page GoHome loads: the file URI of <assetsFolder>/start.html unless set otherwise (the
  // user's settings may name another address; it goes through the address fix-up).
  const std::string& StartPageUri() const noexcept { return startPageUri_; }
  // False, and the start page unchanged, when the address is blank or no URI comes of it.
  bool SetStartPage(std::string_view address);

  // Where downloads go unless the user picks a file: DefaultDownloadFolder() until set.
  const std::filesystem::path& DownloadFolder() const noexcept { return downloadFolder_; }
  void SetDownloadFolder(std::filesystem::path folder) { downloadFolder_ = std::move(folder); }

  // Starts a web process ahead of the first page, so that the first browser control need not
  // wait for one: a view that is not shown yet loads `firstUri` (the page the program opens
  // first), or an empty page. The program does this while its splash is on screen. Does nothing
  // the second time.
  void WarmUp(std::string_view firstUri = {});
  // The warmed-up view, handed over once: a new reference the caller drops, or nullptr; and the
  // page it was given ("" for the empty page).
  WebKitWebView* TakeWarmView();
  const std::string& WarmUri() const noexcept { return warmUri_; }

  // The folders mounted in the sandbox, and those that were not.
  const std::vector<std::filesystem::path>& SandboxFolders() const noexcept {
    return sandboxFolders_;
  }
  const std::vector<std::filesystem::path>& SkippedFolders() const noexcept {
    return skippedFolders_;
  }

 private:
  void AddSandboxFolder(const std::filesystem::path& folder);

  WebKitWebContext* context_ = nullptr;
  WebKitWebView* warmView_ = nullptr;
  bool warmedUp_ = false;
  std::string warmUri_;
  std::string startPageUri_;
  std::filesystem::path downloadFolder_;
  std::vector<std::filesystem::path> sandboxFolders_;
  std::vector<std::filesystem::path> skippedFolders_;
};

}  // namespace velmora
