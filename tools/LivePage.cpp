#include "tools/LivePage.h"

#include <glib.h>
#include <gtk/gtk.h>
#include <libsoup/soup.h>
#include <sigc++/connection.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <cstdio>
#include <string>

#include "common/ProgramFolder.h"
#include "hosted/BrowserEngine.h"
#include "hosted/WebKitBrowserControl.h"

namespace velmora {

namespace {

// Starts Xvfb on a free display and points DISPLAY at it; 0 when it cannot be started.
pid_t StartVirtualDisplay(std::string& error) {
  int fds[2];
  if (pipe(fds) != 0) {
    error = "no pipe for the virtual display";
    return 0;
  }
  const std::string fd = std::to_string(fds[1]);
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten",
           "tcp", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string number;
  char c = 0;
  while (child > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number.push_back(c);
  close(fds[0]);
  if (child <= 0 || number.empty()) {
    if (child > 0) waitpid(child, nullptr, 0);
    error = "no display, and no virtual display could be started (is Xvfb installed?)";
    return 0;
  }
  g_setenv("DISPLAY", (":" + number).c_str(), TRUE);
  std::fprintf(stderr, "velmora-analyze: no display; the engine runs on a virtual display (:%s)\n",
               number.c_str());
  return child;
}

// Runs the main loop until `done` holds or `seconds` have passed; false on the latter.
template <typename Done>
bool RunUntil(Done done, double seconds) {
  const gint64 end = g_get_monotonic_time() + static_cast<gint64>(seconds * G_USEC_PER_SEC);
  while (!done()) {
    if (g_get_monotonic_time() >= end) return false;
    if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(2000);
  }
  return true;
}

}  // namespace

std::unique_ptr<LivePage> LivePage::Open(const std::string& address,
                                         const std::filesystem::path& workFolder,
                                         std::string& error) {
  std::unique_ptr<LivePage> page(new LivePage());
  if (!g_getenv("DISPLAY") && !g_getenv("WAYLAND_DISPLAY")) {
    page->xvfb_ = StartVirtualDisplay(error);
    if (page->xvfb_ == 0) return nullptr;
  }
  if (!gtk_init_check(nullptr, nullptr)) {
    error = "the display cannot be opened";
    return nullptr;
  }
  page->engine_ = std::make_unique<BrowserEngine>(workFolder, ProgramFolder() / "assets");
  page->control_ = std::make_unique<WebKitBrowserControl>(*page->engine_);
  GtkWidget* window = gtk_offscreen_window_new();
  gtk_window_set_default_size(GTK_WINDOW(window), 1280, 1024);
  gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(page->control_->View()));
  gtk_widget_show_all(window);
  page->window_ = window;

  bool read = false;
  bool finished = false;
  gint64 lastPicture = g_get_monotonic_time();
  WebKitBrowserControl& control = *page->control_;
  sigc::connection onRead = control.DownloadComplete.connect([&](const SharedSnapshot&) {
    read = true;
    finished = !control.PageStillLoading();
    lastPicture = g_get_monotonic_time();
  });
  sigc::connection onPicture =
      control.PicturesLoaded.connect([&] { lastPicture = g_get_monotonic_time(); });
  const gint64 start = g_get_monotonic_time();
  control.Navigate(address);
  // Read when finished, or read while still loading once the wait is over; then quiet.
  const bool quiet = RunUntil(
      [&] {
        const gint64 now = g_get_monotonic_time();
        const bool loaded = finished || (read && now - start > (kMostSeconds - 1) * G_USEC_PER_SEC);
        return loaded && now - lastPicture >= static_cast<gint64>(kQuietMs) * 1000;
      },
      kMostSeconds);
  if (!read) {
    onRead.disconnect();
    onPicture.disconnect();
    error =
        "the page at " + address + " gave no read within " + std::to_string(kMostSeconds) + " s";
    return nullptr;
  }
  if (!quiet) {
    std::fprintf(stderr, "velmora-analyze: the page was still %s after %u s; analysed as it was\n",
                 finished ? "loading pictures" : "loading", kMostSeconds);
  }
  onRead.disconnect();
  onPicture.disconnect();
  return page;
}

LivePage::~LivePage() {
  control_.reset();
  if (window_) gtk_widget_destroy(static_cast<GtkWidget*>(window_));
  engine_.reset();
  if (xvfb_ > 0) {
    kill(xvfb_, SIGTERM);
    waitpid(xvfb_, nullptr, 0);
  }
}

PageSnapshot LivePage::Snapshot() const {
  // The read, with every picture the engine has loaded since.
  PageSnapshot page = *control_->Page();
  page.loadedPictures = control_->LoadedPictures();
  return page;
}

std::optional<LivePage::Served> LivePage::ServedPage() {
  WebKitWebResource* main = webkit_web_view_get_main_resource(control_->View());
  if (!main) return std::nullopt;
  struct Answer {
    bool done = false;
    std::optional<Served> served;
  } answer;
  std::string charset;
  if (WebKitURIResponse* response = webkit_web_resource_get_response(main)) {
    if (SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response)) {
      GHashTable* params = nullptr;
      if (soup_message_headers_get_content_type(headers, &params) && params) {
        const auto* value = static_cast<const char*>(g_hash_table_lookup(params, "charset"));
        if (value) charset = value;
      }
      if (params) g_hash_table_destroy(params);
    }
  }
  webkit_web_resource_get_data(
      main, nullptr,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        auto* out = static_cast<Answer*>(data);
        gsize length = 0;
        guchar* bytes = webkit_web_resource_get_data_finish(WEBKIT_WEB_RESOURCE(source), result,
                                                            &length, nullptr);
        if (bytes) out->served = Served{std::string(reinterpret_cast<char*>(bytes), length), ""};
        g_free(bytes);
        out->done = true;
      },
      &answer);
  RunUntil([&] { return answer.done; }, kMostSeconds);
  if (answer.served) answer.served->charset = charset;
  return answer.served;
}

std::string LivePage::Title() const {
  return control_->LocationName();
}

std::optional<std::string> LivePage::Bytes(const std::string& url) {
  std::optional<std::string> bytes;
  bool answered = false;
  control_->HeldBytes(url, [&](const std::string* held) {
    if (held) bytes = *held;
    answered = true;
  });
  RunUntil([&] { return answered; }, kMostSeconds);
  return bytes;
}

}  // namespace velmora
