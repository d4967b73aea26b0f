// A page loaded in the browser's own engine for velmora-analyze --live: the same browser control
// and page read as the Browser tab (scripts on), in a window that is never shown. Without a
// display, a private virtual one (Xvfb) is started for the engine and ended with the session.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "analysis/AnalyzePage.h"

namespace velmora {

class BrowserEngine;
class WebKitBrowserControl;

class LivePage {
 public:
  // Longest wait for the page to load and its pictures to stop coming, in all.
  static constexpr unsigned kMostSeconds = 30;
  // The page is quiet when no new picture has come for this long.
  static constexpr unsigned kQuietMs = 1000;

  // Loads `address` and waits until the page has been read and is quiet. On failure (no display
  // can be had, the page never gave a read) returns null with `error` set.
  static std::unique_ptr<LivePage> Open(const std::string& address,
                                        const std::filesystem::path& workFolder,
                                        std::string& error);
  ~LivePage();
  LivePage(const LivePage&) = delete;
  LivePage& operator=(const LivePage&) = delete;

  // What the page read and the engine's record of pictures gave.
  PageSnapshot Snapshot() const;
  std::string Title() const;
  // The page's own bytes as the engine received them, and the charset its server named ("" when
  // none); nothing when the engine holds none.
  struct Served {
    std::string bytes;
    std::string charset;
  };
  std::optional<Served> ServedPage();
  // The bytes the engine holds for the picture at `url`; nothing when it holds none.
  std::optional<std::string> Bytes(const std::string& url);

 private:
  LivePage() = default;

  pid_t xvfb_ = 0;
  std::unique_ptr<BrowserEngine> engine_;
  std::unique_ptr<WebKitBrowserControl> control_;
  void* window_ = nullptr;  // the GtkOffscreenWindow
};

}  // namespace velmora
