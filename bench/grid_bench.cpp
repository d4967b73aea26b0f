// Benchmarks of the Images tool on a page of 1,000 pictures, in a real window: a change of the
// filter or of the order, from the toolbar to the grid laid out again (goal: 100 ms), and the
// memory the grid takes once the user has scrolled through every picture, each thumbnail made
// from 1600 x 1200 JPEG bytes (goal: 150 MB). The page's bytes are held by a fake browser
// control, as the engine holds them. Needs a display: "bench/run-bench.sh grid" runs it on a
// virtual one.
#include <benchmark/benchmark.h>
#include <gtk/gtk.h>
#include <gtkmm/main.h>
#include <gtkmm/window.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "support/ImagesToolWindow.h"
#include "support/Pictures.h"

namespace {

constexpr int kPictures = 1000;
constexpr double kGoalMs = 100;
constexpr double kGoalMb = 150;

// The resident memory of this process, in MB.
double ResidentMb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024;
  }
  return 0;
}

std::string Jpeg(int width, int height) {
  const auto pixbuf = Gdk::Pixbuf::create(Gdk::COLORSPACE_RGB, false, 8, width, height);
  // A gradient, so the bytes are those of a photograph's size rather than of one colour.
  guint8* pixels = pixbuf->get_pixels();
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width * 3; ++x) {
      pixels[y * pixbuf->get_rowstride() + x] = static_cast<guint8>((x * 7 + y * 13) & 0xff);
    }
  }
  return velmora::testing::Encoded(pixbuf, "jpeg");
}

// Runs the main loop until the grid has laid out what it shows and nothing else is pending.
void Settle(velmora::ImagesTool& tool) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    while (g_main_context_pending(nullptr)) g_main_context_iteration(nullptr, FALSE);
    if (tool.grid.ShownCount() == 0 || tool.grid.LaidOut()) return;
    g_main_context_iteration(nullptr, TRUE);
  }
}

class Page {
 public:
  Page() {
    const std::string bytes = Jpeg(1600, 1200);
    for (int i = 0; i < kPictures; ++i) {
      velmora::CensusImage picture;
      picture.url = "https://www.example.com/photos/" + std::to_string(i) + ".jpg";
      picture.name = std::to_string(i) + ".jpg";
      picture.width = 16 + (i * 37) % 1900;
      picture.height = 16 + (i * 53) % 1400;
      picture.type = "image/jpeg";
      picture.bytes = bytes.size();
      picture.loaded = true;
      census_.push_back(picture);
      held_[picture.url] = bytes;
    }
    baseMb_ = ResidentMb();
    shown_ = std::make_unique<velmora::testing::ImagesToolWindow>(800, 700);
    tool_ = shown_->tool.get();
    shown_->page.heldBytes = std::move(held_);
    tool_->ShowPage(census_,
                    std::make_shared<const velmora::PageSnapshot>(
                        velmora::PageSnapshot{"", "https://www.example.com/", ""}),
                    "Photographs");
    tool_->SetView(velmora::ImagesTool::View::Grid);
    Settle(*tool_);
  }

  velmora::ImagesTool& Tool() { return *tool_; }

  // Scrolls through the whole grid a screen at a time, waiting for each screen's thumbnails;
  // returns the memory the grid has taken, in MB.
  double ScrollThrough() {
    velmora::PictureGrid& grid = tool_->grid;
    const auto adjustment = grid.get_vadjustment();
    for (double at = 0; at <= adjustment->get_upper(); at += adjustment->get_page_size()) {
      adjustment->set_value(at);
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      Gtk::TreeModel::Path first;
      Gtk::TreeModel::Path last;
      while (std::chrono::steady_clock::now() < deadline) {
        g_main_context_iteration(nullptr, FALSE);
        if (!grid.icons.get_visible_range(first, last)) continue;
        if (grid.ShowsThumbnail(static_cast<std::size_t>(last[0]))) break;
      }
    }
    return ResidentMb() - baseMb_;
  }

 private:
  std::vector<velmora::CensusImage> census_;
  std::map<std::string, std::string> held_;
  std::unique_ptr<velmora::testing::ImagesToolWindow> shown_;
  velmora::ImagesTool* tool_ = nullptr;
  double baseMb_ = 0;
};

// Each iteration switches between two choices and times until the grid is laid out again.
void Change(benchmark::State& state, Page& page, void (*choose)(velmora::ImagesTool&, bool)) {
  bool second = false;
  for (auto _ : state) {
    second = !second;
    const auto start = std::chrono::steady_clock::now();
    choose(page.Tool(), second);
    Settle(page.Tool());
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  state.counters["shown"] = static_cast<double>(page.Tool().grid.ShownCount());
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "velmora_grid_bench: no display (run it under xvfb-run)\n");
    return 1;
  }
  Gtk::Main::init_gtkmm_internals();
  Page page;
  benchmark::RegisterBenchmark("Grid/1000/least-size",
                               [&page](benchmark::State& s) {
                                 Change(s, page, [](velmora::ImagesTool& tool, bool on) {
                                   tool.cboSize.set_active(on ? 2 : 0);
                                 });
                               })
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond)
      ->Iterations(20);
  benchmark::RegisterBenchmark("Grid/1000/order-by-area",
                               [&page](benchmark::State& s) {
                                 Change(s, page, [](velmora::ImagesTool& tool, bool on) {
                                   tool.cboSort.set_active(on ? 1 : 0);
                                 });
                               })
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond)
      ->Iterations(20);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  page.Tool().cboSize.set_active(0);
  page.Tool().cboSort.set_active(0);
  Settle(page.Tool());
  const double mb = page.ScrollThrough();
  std::printf(
      "\ngrid memory after scrolling through %d pictures: %.1f MB (goal %.0f MB), %zu "
      "thumbnails kept\nfilter and order changes: goal %.0f ms (the times above)\n",
      kPictures, mb, kGoalMb, page.Tool().grid.KeptThumbnails(), kGoalMs);
  return mb <= kGoalMb ? 0 : 1;
}
