// What the engine's record of pictures costs, in the real engine: the time from asking for a page
// of 1,000 pictures until its read (DownloadComplete), with the record and without, alternating
// in one run (medians and their ratio; goal: at most 1.02); and the record's own memory once it
// holds the 10,000 pictures of another page (goal: at most 10 MB). Needs a display:
// "bench/run-bench.sh record" runs it on a virtual one.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtk/gtk.h>
#include <gtkmm/main.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "hosted/BrowserEngine.h"
#include "hosted/WebKitBrowserControl.h"

namespace {

constexpr int kRounds = 7;
constexpr double kTimeGoal = 1.02;
constexpr double kMemoryGoalMb = 10;

// A page of `count` pictures, each a PNG file of its own (sizes vary, so no two are the same).
std::filesystem::path WritePage(const std::filesystem::path& folder, int count) {
  std::filesystem::create_directories(folder / "p");
  std::string page = "<!DOCTYPE html><html><body>";
  for (int i = 0; i < count; ++i) {
    const std::string name = "p/" + std::to_string(i) + ".png";
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 8 + i % 64, 8 + i / 64 % 64);
    gdk_pixbuf_fill(pixbuf, 0x204080ffu + static_cast<guint32>(i) * 256u);
    gdk_pixbuf_save(pixbuf, (folder / name).c_str(), "png", nullptr, nullptr);
    g_object_unref(pixbuf);
    page += "<img src=\"" + name + "\">";
  }
  page += "</body></html>";
  const std::filesystem::path file = folder / "page.html";
  std::ofstream(file) << page;
  return file;
}

bool Wait(const std::function<bool()>& done, int seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!done() && std::chrono::steady_clock::now() < deadline) {
    g_main_context_iteration(nullptr, TRUE);
  }
  return done();
}

// A browser control in a window that is never shown, as velmora-analyze --live has one.
struct Pane {
  explicit Pane(velmora::BrowserEngine& engine, bool record)
      : control(std::make_unique<velmora::WebKitBrowserControl>(engine)),
        window(gtk_offscreen_window_new()) {
    if (!record) control->StopPictureRecord();
    gtk_window_set_default_size(GTK_WINDOW(window), 1024, 768);
    gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(control->View()));
    gtk_widget_show_all(window);
  }
  ~Pane() {
    control.reset();
    gtk_widget_destroy(window);
  }
  // Seconds from asking for the page until its read; negative when it never came.
  double Load(const std::filesystem::path& file) {
    bool read = false;
    sigc::connection c = control->DownloadComplete.connect(
        [&](const velmora::SharedSnapshot&) { read = !control->PageStillLoading(); });
    const auto start = std::chrono::steady_clock::now();
    control->Navigate2(file.string());
    const bool ok = Wait([&] { return read; }, 60);
    c.disconnect();
    return ok ? std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()
              : -1;
  }
  std::unique_ptr<velmora::WebKitBrowserControl> control;
  GtkWidget* window;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "velmora_picture_record_bench: no display (run it under xvfb-run)\n");
    return 1;
  }
  Gtk::Main::init_gtkmm_internals();
  char pattern[] = "/tmp/velmora-record-bench-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) return 1;
  const std::filesystem::path folder = pattern;
  const std::filesystem::path thousand = WritePage(folder / "1000", 1000);
  const std::filesystem::path tenThousand = WritePage(folder / "10000", 10000);

  int status = 0;
  {
    velmora::BrowserEngine engine(folder, folder);
    Pane(engine, true).Load(thousand);  // the web process up, the files in the disk cache
    std::vector<double> with, without;
    for (int round = 0; round < kRounds; ++round) {
      // Alternating which goes first, so neither always meets a warmer engine.
      for (const bool record : {round % 2 == 0, round % 2 != 0}) {
        const double seconds = Pane(engine, record).Load(thousand);
        if (seconds < 0) {
          std::fprintf(stderr, "the page of 1,000 pictures gave no read\n");
          return 1;
        }
        (record ? with : without).push_back(seconds * 1000);
      }
    }
    const double ratio = Median(with) / Median(without);
    std::printf(
        "1,000 pictures, ask to read (median of %d): without the record %.1f ms, with %.1f ms;"
        " ratio %.3f (goal <= %.2f) %s\n",
        kRounds, Median(without), Median(with), ratio, kTimeGoal,
        ratio <= kTimeGoal ? "met" : "NOT MET");
    if (ratio > kTimeGoal) status = 2;

    Pane big(engine, true);
    if (big.Load(tenThousand) < 0) return 1;
    const velmora::PictureRecord& record = *big.control->Pictures();
    std::size_t seen = 0;
    Wait(
        [&] {
          const bool quiet = record.Count() == seen;
          seen = record.Count();
          if (record.Count() >= 10000) return true;
          g_usleep(quiet ? 200000 : 0);
          return false;
        },
        120);
    const double mb = static_cast<double>(record.OwnBytes()) / (1 << 20);
    std::printf(
        "10,000 pictures: the record holds %zu, its own memory %.2f MB (goal <= %.0f MB) %s\n",
        record.Count(), mb, kMemoryGoalMb, mb <= kMemoryGoalMb ? "met" : "NOT MET");
    if (mb > kMemoryGoalMb) status = 2;
  }
  std::filesystem::remove_all(folder);
  return status;
}
