// One download of the engine, followed from its answer to its end: it is named (the server's
// suggestion or the URL, made safe, with an extension from its content type), written under a
// temporary name in its folder and moved to its own name, never over another file, only once it
// is complete. A failed, refused (an HTTP error) or cancelled download leaves nothing behind.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

typedef struct _WebKitDownload WebKitDownload;
typedef struct _GtkWindow GtkWindow;

namespace velmora {

struct DownloadPlan {
  std::filesystem::path folder;  // made when missing
  // "Save ... As": a file chooser over `parent` proposes the name in `folder`; the file the user
  // picks is replaced (the chooser asked first). Closing the chooser cancels the download.
  bool askUser = false;
  GtkWindow* parent = nullptr;
  std::string fallbackName = "download";  // when neither the server nor the URL names the file
  // A download that receives nothing for this long is given up; 0 waits as long as the server.
  unsigned stallSeconds = 0;
};

// What a download has come to. Reported as its bytes arrive (`fraction` from 0 to 1, or -1 when
// the size is unknown), and once at the end (`finished`): then `saved` is the file, or `error`
// says why there is none ("" with `cancelled` when the user cancelled).
struct DownloadReport {
  std::string name;  // the name it is saved under; "" before the answer came
  double fraction = 0;
  bool finished = false;
  bool cancelled = false;
  std::filesystem::path saved;
  std::string error;
};
using DownloadListener = std::function<void(const DownloadReport&)>;

// Follows `download`, taking over the caller's reference. Returns a function that cancels the
// download (harmless once it has ended, and after the listener's owner is gone).
std::function<void()> FollowDownload(WebKitDownload* download, DownloadPlan plan,
                                     DownloadListener listener);

// The status line of a download's report: "Downloading report.zip… 45%", "Saved report.zip in
// Downloads", "Could not save report.zip: …", "Download of report.zip cancelled".
std::string DownloadStatusText(const DownloadReport& report);

}  // namespace velmora
