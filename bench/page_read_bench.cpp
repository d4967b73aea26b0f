// Benchmark of the page read in the real engine: the read the browser control makes when a page
// has finished (body, base URI and the image census, then the census parsed) against a read of
// the body and base URI alone, on pages of 100,000 elements. Each read is one round trip to the
// web process, timed by the wall clock. After the runs it prints what the census adds, against
// its goal. Needs a display: "bench/run-bench.sh page-read" runs it under xvfb-run.
#include <benchmark/benchmark.h>
#include <gtk/gtk.h>
#include <gtkmm/main.h>
#include <webkit2/webkit2.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "hosted/BrowserEngine.h"
#include "hosted/PageRead.h"

namespace {

constexpr double kGoalMs = 50;  // what the census may add to the page read
constexpr const char* kWorld = "velmora-page-reader";
constexpr const char* kBaselineScript =
    "(function () { var b = document.body;"
    "  return [b ? b.outerHTML : '', document.baseURI || '', '[]']; })()";

struct BenchPage {
  std::string name;
  std::filesystem::path file;
  std::size_t images = 0;
};

// 100,000 elements: text, 500 images (a fifth lazy, a fifth with a srcset), elements that a
// style sheet gives a background. `foreignSheet` adds a style sheet the page may not read (a
// data: URL has an origin of its own), so the census walks the computed styles within its budget.
std::string GeneratePage(bool foreignSheet) {
  std::string page =
      "<!DOCTYPE html><html><head><meta charset=utf-8><title>big</title><style>"
      ".hero { background-image: url(img/hero.jpg); }"
      "@media screen { .card { background: #eee url('img/card.png') no-repeat; } }"
      "p { color: #333; }</style>";
  if (foreignSheet) {
    page += "<link rel=stylesheet href=\"data:text/css,.x%7Bbackground:url(img/x.png)%7D\">";
  }
  page += "</head><body>";
  for (int i = 0; i < 100'000; ++i) {
    const std::string n = std::to_string(i);
    if (i % 200 == 0) {
      if (i % 1000 == 0) {
        page +=
            "<img class=lazyload src=\"data:image/gif;base64,R0lGODlhAQABAAAAACw=\" data-src=\"p/" +
            n + ".jpg\">";
      } else if (i % 1000 == 200) {
        page += "<img src=\"p/" + n + "-800.jpg\" srcset=\"p/" + n + "-800.jpg 800w, p/" + n +
                "-1600.jpg 1600w\">";
      } else {
        page += "<img src=\"p/" + n + ".png\" alt=\"picture " + n + "\">";
      }
    } else if (i % 500 == 1) {
      page += "<div class=" + std::string(i % 1000 == 1 ? "hero" : "card") + ">h</div>";
    } else if (i % 10 == 0) {
      page += "<p>paragraph " + n + "</p>";
    } else {
      page += "<span>w</span>";
    }
  }
  return page + "</body></html>";
}

class PageReads {
 public:
  explicit PageReads(const std::filesystem::path& folder)
      : engine_(folder, folder), window_(gtk_offscreen_window_new()) {
    view_ = WEBKIT_WEB_VIEW(webkit_web_view_new_with_context(engine_.Context()));
    gtk_widget_set_size_request(GTK_WIDGET(view_), 1024, 768);
    gtk_container_add(GTK_CONTAINER(window_), GTK_WIDGET(view_));
    gtk_widget_show_all(window_);
  }
  ~PageReads() { gtk_widget_destroy(window_); }

  bool Load(const std::filesystem::path& file) {
    bool finished = false;
    const gulong handler =
        g_signal_connect(view_, "load-changed",
                         G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer done) {
                           if (event == WEBKIT_LOAD_FINISHED) *static_cast<bool*>(done) = true;
                         }),
                         &finished);
    webkit_web_view_load_uri(view_, ("file://" + file.string()).c_str());
    const bool ok = Wait(finished);
    g_signal_handler_disconnect(view_, handler);
    return ok;
  }

  // One read: the wall time of the round trip, and for the census read its parse; the number of
  // census records through `records`. A negative time is a read that failed.
  double Read(const char* script, bool parse, std::size_t& records) {
    struct Answer {
      bool done = false;
      std::string census;
      bool failed = false;
    } answer;
    const auto start = std::chrono::steady_clock::now();
    webkit_web_view_evaluate_javascript(
        view_, script, -1, kWorld, nullptr, nullptr,
        [](GObject* view, GAsyncResult* result, gpointer data) {
          auto* out = static_cast<Answer*>(data);
          GError* error = nullptr;
          JSCValue* value =
              webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, &error);
          if (value && jsc_value_is_array(value)) {
            JSCValue* census = jsc_value_object_get_property_at_index(value, 2);
            gchar* text = jsc_value_to_string(census);
            out->census = text;
            g_free(text);
            g_object_unref(census);
          } else {
            out->failed = true;
          }
          if (value) g_object_unref(value);
          g_clear_error(&error);
          out->done = true;
        },
        &answer);
    if (!Wait(answer.done) || answer.failed) return -1;
    records = parse ? velmora::ParseImageElements(answer.census).size() : 0;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }

 private:
  static bool Wait(const bool& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done && std::chrono::steady_clock::now() < deadline)
      g_main_context_iteration(nullptr, TRUE);
    return done;
  }

  velmora::BrowserEngine engine_;
  GtkWidget* window_;
  WebKitWebView* view_;
};

void RunRead(benchmark::State& state, PageReads& reads, const BenchPage& page, bool census) {
  if (!reads.Load(page.file)) {
    state.SkipWithError("the page did not load");
    return;
  }
  std::size_t records = 0;
  for (auto _ : state) {
    const double seconds =
        reads.Read(census ? velmora::kPageReadScript : kBaselineScript, census, records);
    if (seconds < 0) {
      state.SkipWithError("the read brought nothing back");
      return;
    }
    state.SetIterationTime(seconds);
  }
  if (census) state.counters["records"] = static_cast<double>(records);
}

class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (!run.error_occurred && run.run_type == Run::RT_Aggregate &&
          run.aggregate_name == "median") {
        medianMs_[run.run_name.function_name] = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  const std::map<std::string, double>& Medians() const { return medianMs_; }

 private:
  std::map<std::string, double> medianMs_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "velmora_page_read_bench: no display (run it under xvfb-run)\n");
    return 1;
  }
  Gtk::Main::init_gtkmm_internals();
  char pattern[] = "/tmp/velmora-read-bench-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) return 1;
  const std::filesystem::path folder = pattern;

  std::vector<BenchPage> pages;
  for (const bool foreign : {false, true}) {
    BenchPage page;
    page.name = foreign ? "100k-elements/unreadable-sheet" : "100k-elements";
    page.file = folder / (foreign ? "foreign.html" : "readable.html");
    std::ofstream(page.file) << GeneratePage(foreign);
    pages.push_back(page);
  }
  {
    PageReads reads(folder);
    for (const BenchPage& page : pages) {
      for (const bool census : {false, true}) {
        const BenchPage* p = &page;
        benchmark::RegisterBenchmark(
            ("PageRead/" + page.name + (census ? "/census" : "/baseline")).c_str(),
            [&reads, p, census](benchmark::State& s) { RunRead(s, reads, *p, census); })
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(5)
            ->Repetitions(5)
            ->DisplayAggregatesOnly(true);
      }
    }
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\nWhat the census adds to the page read (median of 5 repetitions)\n");
    std::printf("%-32s %10s %10s %9s %8s  %s\n", "page", "baseline", "census", "added", "ratio",
                "added <= 50 ms");
    for (const BenchPage& page : pages) {
      const auto& m = reporter.Medians();
      const auto base = m.find("PageRead/" + page.name + "/baseline");
      const auto full = m.find("PageRead/" + page.name + "/census");
      if (base == m.end() || full == m.end()) {
        std::printf("%-32s no result\n", page.name.c_str());
        continue;
      }
      const double added = full->second - base->second;
      std::printf("%-32s %7.1f ms %7.1f ms %6.1f ms %7.2fx  %s\n", page.name.c_str(), base->second,
                  full->second, added, full->second / base->second,
                  added <= kGoalMs ? "PASS" : "MISS");
    }
    std::printf("\nA report, not a test: the program exits 0 whatever it shows.\n");
  }
  std::filesystem::remove_all(folder);
  return 0;
}
