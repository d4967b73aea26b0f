// Benchmarks of the page analysis: the whole AnalyzePage on generated pages of 1, 10 and 50 MB,
// each with LF and with CR LF line ends, measured next to a plain copy of the same page's bytes
// to a file in the same folder; and the engine's record of 10,000 pictures joining the census.
// After the runs it prints the ratios measured in this run against their goals, the steps of the
// analysis timed alone on the 10 and 50 MB pages, and the views of the Source Code tab on the
// 10 MB pages beside today's source view. The table is a report: the program exits 0 whatever
// it shows, and 1 only when it cannot run at all.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "analysis/AnalyzePage.h"
#include "analysis/GalleryPage.h"
#include "analysis/HtmlText.h"
#include "analysis/LoadedPictures.h"
#include "analysis/ServedText.h"
#include "analysis/SourceView.h"
#include "analysis/SourceViews.h"
#include "analysis/UrlHelpers.h"
#include "analysis/WorkFiles.h"
#include "bench/PageGenerator.h"

namespace {

constexpr std::string_view kPageUrl = "https://www.example.com/blog/2023/harbour-walk.html";
constexpr double kCopyRatioGoal = 8.0;      // AnalyzePage against writing the page once
constexpr double kScalingGoal = 5.5;        // 50 MB against 10 MB (the sizes differ by 5)
constexpr double kTenMegabyteGoalMs = 100;  // absolute time of the 10 MB page
constexpr int kRepetitions = 5;             // the table uses the fastest repetition of each
constexpr double kViewGoalMs = 300;         // any view of the source of a 10 MB page
constexpr std::size_t kViewMegabytes = 10;  // the pages whose views are timed

struct SizeCase {
  std::size_t megabytes;
  std::size_t images;
  std::size_t distinctNames;
  benchmark::IterationCount iterations;  // per repetition; 0 lets the library choose
  bool timeSteps;                        // also time the analysis steps alone (LF page)
};

constexpr SizeCase kSizes[] = {
    {1, 1'000, 250, 0, false},
    {10, 20'000, 5'000, 4, true},
    {50, 100'000, 25'000, 1, true},
};

struct LineEnd {
  std::string_view name;
  std::string_view text;
};
constexpr LineEnd kLineEnds[] = {{"LF", "\n"}, {"CRLF", "\r\n"}};

// Pages of many distinct pictures, where the cost per picture shows: 100,000 image tags each in
// a link (about 5 MB), and a million image tags (about 45 MB).
struct ManyPictures {
  std::string_view label;
  std::size_t pictures;
  bool linked;
  double goalMs;
};
constexpr ManyPictures kManyPictures[] = {
    {"100kImages", 100'000, true, 500},
    {"1MTags", 1'000'000, false, 5000},
};
constexpr SizeCase kManyPicturesSize{0, 0, 0, 1, false};

std::string ManyPicturesPage(const ManyPictures& shape) {
  std::string page = "<body>\n";
  for (std::size_t i = 0; i < shape.pictures; ++i) {
    const std::string n = std::to_string(i);
    if (shape.linked) {
      page += "<a href=\"/p/" + n + ".html\"><img src=\"/img/a" + n + ".jpg\"></a>\n";
    } else {
      page += "<p><img src=\"/img/a" + n + ".jpg\" alt=\"x\"> t</p>\n";
      if (i % 100 == 0) page += "<a href=\"/big/a" + n + ".jpg\">larger</a>\n";
    }
  }
  return page + "</body>\n";
}

// The engine's record of a page of 10,000 pictures joining a census of 10,000: 4,000 pictures
// by their own URL, 2,000 after a redirect, 2,000 at a smaller size, 2,000 that only the engine
// names. Each merge is followed by the gallery text, as when late pictures arrive.
constexpr std::size_t kLoadedPictures = 10'000;
constexpr double kMergeGoalMs = 20;

struct LoadedRecord {
  std::vector<velmora::CensusImage> census;
  std::vector<velmora::LoadedPicture> loaded;
  std::vector<std::string> links;  // pair 1: the first tenth of the census
  std::vector<std::string> names;
};

LoadedRecord MakeLoadedRecord() {
  LoadedRecord record;
  const std::string site = "https://img.example.com/photos/";
  for (std::size_t i = 0; i < kLoadedPictures; ++i) {
    const std::string n = std::to_string(i);
    velmora::CensusImage image;
    image.url = site + "p" + n + "-1600.jpg";
    image.name = "p" + n + "-1600.jpg";
    image.kind = velmora::ImageKind::Srcset;
    image.alsoAt = {site + "p" + n + "-800.jpg"};
    if (i % 10 == 0) {
      record.links.push_back(image.url);
      record.names.push_back(image.name);
    }
    velmora::LoadedPicture picture;
    picture.mimeType = "image/jpeg";
    picture.bytes = 20'000 + i;
    picture.width = 1600;
    picture.height = 900;
    picture.kind = velmora::ImageKind::Img;
    switch (i % 5) {
      case 0:
      case 1:
        picture.url = image.url;
        break;
      case 2:
        picture.url = "https://cdn.example.net/c/" + n + ".jpg";
        picture.requestUrl = image.url;
        break;
      case 3:
        picture.url = image.alsoAt.front();
        break;
      default:
        picture.url = site + "bg/" + n + ".png";
        picture.kind = velmora::ImageKind::Background;
    }
    record.census.push_back(std::move(image));
    record.loaded.push_back(std::move(picture));
  }
  return record;
}

constexpr std::string_view kMergeName = "MergeLoadedPictures/10k";

void RunMerge(benchmark::State& state, const LoadedRecord& record) {
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<velmora::CensusImage> census = record.census;
    state.ResumeTiming();
    velmora::MergeLoadedPictures(census, record.loaded);
    benchmark::DoNotOptimize(velmora::BuildGalleryPage(record.links, record.names, census));
  }
}

// One generated page with its own work folder.
struct BenchPage {
  std::string label;  // "10MB/CRLF"
  const SizeCase* size;
  const LineEnd* lineEnd;
  velmora::PageSnapshot snapshot;
  std::filesystem::path folder;
  std::string served;  // the whole document as served, for the views of the 10 MB pages
};

// Temporary work folders under /tmp, removed when the program ends normally.
class TempFolders {
 public:
  TempFolders() = default;
  TempFolders(const TempFolders&) = delete;
  TempFolders& operator=(const TempFolders&) = delete;
  ~TempFolders() {
    for (const auto& folder : folders_) {
      std::error_code ignored;
      std::filesystem::remove_all(folder, ignored);
    }
  }

  std::optional<std::filesystem::path> Make() {
    std::string pattern = "/tmp/velmora-bench-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return std::nullopt;
    folders_.emplace_back(pattern);
    return folders_.back();
  }

 private:
  std::vector<std::filesystem::path> folders_;
};

std::string AnalyzeName(std::string_view label) {
  return "AnalyzePage/" + std::string(label);
}
std::string CopyName(std::string_view label) {
  return "CopyPage/" + std::string(label);
}

void RunAnalyze(benchmark::State& state, const BenchPage& page) {
  const velmora::WorkFiles files(page.folder);
  velmora::ListPairs lists;
  std::size_t failures = 0;
  for (auto _ : state) {
    const velmora::AnalysisResult result = velmora::AnalyzePage(page.snapshot, files, lists);
    failures += result.failures.size();
  }
  // A run whose files could not be written, or that found nothing, measured something else.
  if (failures != 0) {
    state.SkipWithError("a work file could not be written");
    return;
  }
  if (lists.Links[velmora::kShownImagesPair].empty() ||
      lists.Links[velmora::kLinkedImagesPair].empty()) {
    state.SkipWithError("the analysis found no images in the generated page");
    return;
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(page.snapshot.bodyHtml.size()));
  state.counters["shown"] = static_cast<double>(lists.Links[velmora::kShownImagesPair].size());
  state.counters["linked"] = static_cast<double>(lists.Links[velmora::kLinkedImagesPair].size());
}

// Writes the bytes to a new or emptied file: open, write (resuming short writes), close.
std::error_code CopyToFile(const std::filesystem::path& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return {errno, std::generic_category()};
  std::error_code error;
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      error = {errno, std::generic_category()};
      break;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  if (::close(fd) != 0 && !error) error = {errno, std::generic_category()};
  return error;
}

void RunCopy(benchmark::State& state, const BenchPage& page) {
  const std::filesystem::path target = page.folder / "copy.html";
  std::error_code error;
  for (auto _ : state) {
    if (std::error_code e = CopyToFile(target, page.snapshot.bodyHtml); e && !error) error = e;
  }
  if (error) {
    state.SkipWithError(("the copy failed: " + error.message()).c_str());
    return;
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(page.snapshot.bodyHtml.size()));
}

// The steps of one analysis on their own, to show where the time of a page goes and which step
// grows faster than the page. The first is no step of the analysis: it is what any buffer the
// size of the page costs (allocation and first touch), for comparison.
enum class Step {
  kCopyInMemory,
  kWellFormedUtf8,
  kScanImageTags,
  kScanImageLinks,
  kImageCensus,
  kBuildSourceView,
  kWriteSourceView
};

struct StepInfo {
  Step step;
  std::string_view name;
};
constexpr StepInfo kSteps[] = {
    {Step::kCopyInMemory, "CopyInMemory"},      {Step::kWellFormedUtf8, "WellFormedUtf8"},
    {Step::kScanImageTags, "ScanImageTags"},    {Step::kScanImageLinks, "ScanImageLinks"},
    {Step::kImageCensus, "ImageCensus"},        {Step::kBuildSourceView, "BuildSourceView"},
    {Step::kWriteSourceView, "WriteSourceView"}};

// The lists as the analysis has them after its two scanners.
velmora::ListPairs ScanPage(std::string_view source, const velmora::ReferenceResolver& resolver,
                            const velmora::WorkFiles& files, std::error_code& error) {
  velmora::ListPairs lists;
  error = velmora::ScanImageTags(source, resolver, lists, files);
  if (!error) error = velmora::ScanImageLinks(source, resolver, lists, files);
  return lists;
}

std::string StepName(std::string_view step, std::string_view label) {
  return "Step/" + std::string(step) + "/" + std::string(label);
}

void RunStep(benchmark::State& state, const BenchPage& page, Step step) {
  const velmora::WorkFiles files(page.folder);
  const velmora::ReferenceResolver resolver(page.snapshot.locationUrl);
  const std::string source = velmora::html::WellFormedUtf8(page.snapshot.bodyHtml);
  // The lists and the view as the analysis has them when it reaches each step.
  std::error_code error;
  velmora::ListPairs lists = ScanPage(source, resolver, files, error);
  const std::string view =
      step == Step::kWriteSourceView ? velmora::BuildSourceView(source, lists) : std::string();
  for (auto _ : state) {
    switch (step) {
      case Step::kCopyInMemory: {
        std::string copy = page.snapshot.bodyHtml;
        benchmark::DoNotOptimize(copy.data());
        break;
      }
      case Step::kWellFormedUtf8:
        benchmark::DoNotOptimize(velmora::html::WellFormedUtf8(page.snapshot.bodyHtml));
        break;
      case Step::kScanImageTags:
        lists.Links[velmora::kShownImagesPair].clear();
        lists.frmList[velmora::kShownImagesPair].clear();
        if (std::error_code e = velmora::ScanImageTags(source, resolver, lists, files)) error = e;
        break;
      case Step::kScanImageLinks:
        lists.Links[velmora::kLinkedImagesPair].clear();
        lists.frmList[velmora::kLinkedImagesPair].clear();
        if (std::error_code e = velmora::ScanImageLinks(source, resolver, lists, files)) error = e;
        break;
      case Step::kImageCensus:
        benchmark::DoNotOptimize(velmora::TakeCensus({}, source, resolver));
        break;
      case Step::kBuildSourceView:
        benchmark::DoNotOptimize(velmora::BuildSourceView(source, lists));
        break;
      case Step::kWriteSourceView:
        if (std::error_code e = files.WriteRecord(velmora::workfile::kSourceView, view)) {
          error = e;
        }
        break;
    }
  }
  if (error) state.SkipWithError(("a work file could not be written: " + error.message()).c_str());
}

// The views of the Source Code tab on their own, each next to today's source view of the same
// page: the body as shown with the choices of the tab, the document as served decoded and
// viewed, and the served view written as its work file.
enum class View {
  kSourceHtm,
  kShownPlain,
  kShownNumbered,
  kShownColoured,
  kShownAll,
  kServedDecode,
  kServedAll,
  kServedFile,
  kServedIconvFile
};

struct ViewInfo {
  View view;
  std::string_view name;
};
constexpr ViewInfo kViews[] = {{View::kSourceHtm, "SourceHtm"},
                               {View::kShownPlain, "ShownPlain"},
                               {View::kShownNumbered, "ShownNumbered"},
                               {View::kShownColoured, "ShownColoured"},
                               {View::kShownAll, "ShownAll"},
                               {View::kServedDecode, "ServedDecode"},
                               {View::kServedAll, "ServedAll"},
                               {View::kServedFile, "ServedFile"},
                               {View::kServedIconvFile, "ServedIconvFile"}};

std::string ViewName(std::string_view view, std::string_view label) {
  return "View/" + std::string(view) + "/" + std::string(label);
}

void RunView(benchmark::State& state, const BenchPage& page, View view) {
  const velmora::WorkFiles files(page.folder);
  const velmora::ReferenceResolver resolver(page.snapshot.locationUrl);
  const std::string source = velmora::html::WellFormedUtf8(page.snapshot.bodyHtml);
  // The lists and the census as the analysis leaves them.
  std::error_code error;
  const velmora::ListPairs lists = ScanPage(source, resolver, files, error);
  const std::vector<velmora::CensusImage> census = velmora::TakeCensus({}, source, resolver);
  constexpr velmora::SourceViewOptions kPlain{false, false, false};
  constexpr velmora::SourceViewOptions kNumbered{false, true, false};
  constexpr velmora::SourceViewOptions kColoured{false, false, true};
  constexpr velmora::SourceViewOptions kAll{true, true, true};
  std::size_t bytes = 0;
  for (auto _ : state) {
    switch (view) {
      case View::kSourceHtm:
        bytes = velmora::BuildSourceView(source, lists, census).size();
        break;
      case View::kShownPlain:
        bytes = velmora::BuildSourceViewPage(source, lists, census, kPlain).size();
        break;
      case View::kShownNumbered:
        bytes = velmora::BuildSourceViewPage(source, lists, census, kNumbered).size();
        break;
      case View::kShownColoured:
        bytes = velmora::BuildSourceViewPage(source, lists, census, kColoured).size();
        break;
      case View::kShownAll:
        bytes = velmora::BuildSourceViewPage(source, lists, census, kAll).size();
        break;
      case View::kServedDecode:
        bytes = velmora::DecodeServedPage(page.served, "").text.size();
        break;
      case View::kServedAll:
        bytes = velmora::BuildSourceViewPage(velmora::DecodeServedPage(page.served, "").text, lists,
                                             census, kAll)
                    .size();
        break;
      case View::kServedFile:
        if (std::error_code e =
                velmora::WriteServedView(page.served, "", lists, census, kAll, files)) {
          error = e;
        }
        break;
      case View::kServedIconvFile:
        // Read as ISO-8859-2: every byte through iconv.
        if (std::error_code e =
                velmora::WriteServedView(page.served, "iso-8859-2", lists, census, kAll, files)) {
          error = e;
        }
        break;
    }
    benchmark::DoNotOptimize(bytes);
  }
  if (error) state.SkipWithError(("a work file could not be written: " + error.message()).c_str());
  if (bytes != 0) state.counters["view MB"] = static_cast<double>(bytes) / 1e6;
}

double Fastest(const std::vector<double>& v) {
  return *std::min_element(v.begin(), v.end());
}

// The console output as usual, and the fastest repetition of every benchmark kept for the table.
class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  explicit CollectingReporter(bool color) : ConsoleReporter(color ? OO_ColorTabular : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "min") {
        fastestMs_[run.run_name.function_name] = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  std::optional<double> FastestMs(const std::string& name) const {
    const auto it = fastestMs_.find(name);
    if (it == fastestMs_.end()) return std::nullopt;
    return it->second;
  }

 private:
  std::map<std::string, double> fastestMs_;
};

const char* Verdict(std::optional<double> value, double goal) {
  if (!value) return "MISS (no result)";
  return *value <= goal ? "PASS" : "MISS";
}

std::string Format(std::optional<double> value, const char* format) {
  if (!value) return "n/a";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, *value);
  return buffer;
}

std::optional<double> Ratio(std::optional<double> a, std::optional<double> b) {
  if (!a || !b || *b <= 0) return std::nullopt;
  return *a / *b;
}

void PrintTable(const std::vector<BenchPage>& pages, const CollectingReporter& reporter) {
  std::printf("\nRatios of this run (fastest of %d repetitions, wall-clock time)\n", kRepetitions);
  std::printf("%-10s %7s %14s %10s %9s  %s\n", "page", "bytes", "AnalyzePage", "copy", "ratio",
              "analyze/copy <= 8x");
  for (const BenchPage& page : pages) {
    const std::optional<double> analyze = reporter.FastestMs(AnalyzeName(page.label));
    const std::optional<double> copy = reporter.FastestMs(CopyName(page.label));
    const std::optional<double> ratio = Ratio(analyze, copy);
    std::printf("%-10s %6.1fM %11s ms %7s ms %8sx  %s\n", page.label.c_str(),
                static_cast<double>(page.snapshot.bodyHtml.size()) / 1e6,
                Format(analyze, "%.2f").c_str(), Format(copy, "%.2f").c_str(),
                Format(ratio, "%.2f").c_str(), Verdict(ratio, kCopyRatioGoal));
  }

  std::printf("\n%-10s %14s %14s %9s  %s\n", "line ends", "50MB analyze", "10MB analyze", "ratio",
              "50MB/10MB <= 5.5x");
  for (const LineEnd& lineEnd : kLineEnds) {
    const std::string suffix = "MB/" + std::string(lineEnd.name);
    const std::optional<double> big = reporter.FastestMs(AnalyzeName("50" + suffix));
    const std::optional<double> ten = reporter.FastestMs(AnalyzeName("10" + suffix));
    const std::optional<double> ratio = Ratio(big, ten);
    std::printf("%-10s %11s ms %11s ms %8sx  %s\n", std::string(lineEnd.name).c_str(),
                Format(big, "%.2f").c_str(), Format(ten, "%.2f").c_str(),
                Format(ratio, "%.2f").c_str(), Verdict(ratio, kScalingGoal));
  }

  std::printf("\n%-10s %14s  %s\n", "line ends", "10MB analyze", "10MB <= 100 ms");
  for (const LineEnd& lineEnd : kLineEnds) {
    const std::optional<double> ten =
        reporter.FastestMs(AnalyzeName("10MB/" + std::string(lineEnd.name)));
    std::printf("%-10s %11s ms  %s\n", std::string(lineEnd.name).c_str(),
                Format(ten, "%.2f").c_str(), Verdict(ten, kTenMegabyteGoalMs));
  }

  std::printf("\n%-12s %7s %14s  %s\n", "pictures", "bytes", "AnalyzePage", "goal");
  for (const ManyPictures& shape : kManyPictures) {
    const auto page = std::find_if(pages.begin(), pages.end(),
                                   [&](const BenchPage& p) { return p.label == shape.label; });
    const std::optional<double> analyze = reporter.FastestMs(AnalyzeName(shape.label));
    std::printf(
        "%-12s %6.1fM %11s ms  <= %.0f ms %s\n", std::string(shape.label).c_str(),
        page == pages.end() ? 0.0 : static_cast<double>(page->snapshot.bodyHtml.size()) / 1e6,
        Format(analyze, "%.2f").c_str(), shape.goalMs, Verdict(analyze, shape.goalMs));
  }

  const std::optional<double> merge = reporter.FastestMs(std::string(kMergeName));
  std::printf("\n%-24s %11s ms  <= %.0f ms %s\n", std::string(kMergeName).c_str(),
              Format(merge, "%.2f").c_str(), kMergeGoalMs, Verdict(merge, kMergeGoalMs));

  std::printf(
      "\nSteps timed alone (LF pages; CopyInMemory is a plain copy of the page into a new"
      " string)\n");
  std::printf("  %-16s %12s %12s %8s\n", "step", "10MB", "50MB", "50/10");
  const auto print = [&](std::string_view name, const std::string& ten, const std::string& big) {
    const std::optional<double> tenMs = reporter.FastestMs(ten);
    const std::optional<double> bigMs = reporter.FastestMs(big);
    std::printf("  %-16s %9s ms %9s ms %7sx\n", std::string(name).c_str(),
                Format(tenMs, "%.2f").c_str(), Format(bigMs, "%.2f").c_str(),
                Format(Ratio(bigMs, tenMs), "%.1f").c_str());
  };
  for (const StepInfo& step : kSteps) {
    print(step.name, StepName(step.name, "10MB/LF"), StepName(step.name, "50MB/LF"));
  }
  print("AnalyzePage", AnalyzeName("10MB/LF"), AnalyzeName("50MB/LF"));

  std::printf(
      "\nViews of the Source Code tab on the 10 MB pages, beside today's source view (SourceHtm)"
      "\n  %-16s %-6s %10s %12s  %s\n",
      "view", "page", "time", "/SourceHtm", "<= 300 ms");
  for (const LineEnd& lineEnd : kLineEnds) {
    const std::string label = std::to_string(kViewMegabytes) + "MB/" + std::string(lineEnd.name);
    const std::optional<double> today = reporter.FastestMs(ViewName("SourceHtm", label));
    for (const ViewInfo& view : kViews) {
      const std::optional<double> ms = reporter.FastestMs(ViewName(view.name, label));
      std::printf("  %-16s %-6s %7s ms %11sx  %s\n", std::string(view.name).c_str(),
                  std::string(lineEnd.name).c_str(), Format(ms, "%.1f").c_str(),
                  Format(Ratio(ms, today), "%.2f").c_str(), Verdict(ms, kViewGoalMs));
    }
  }
  std::printf(
      "\nA report, not a test: timings on a shared machine vary, so the program always "
      "exits 0.\n");
}

void Configure(benchmark::internal::Benchmark* b, const SizeCase& size) {
  b->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->Repetitions(kRepetitions)
      ->DisplayAggregatesOnly(true)
      ->ComputeStatistics("min", Fastest);
  if (size.iterations > 0) {
    b->Iterations(size.iterations);
  } else {
    b->MinTime(0.05);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  TempFolders temp;
  std::vector<BenchPage> pages;
  pages.reserve(std::size(kSizes) * std::size(kLineEnds) + std::size(kManyPictures));
  for (const SizeCase& size : kSizes) {
    for (const LineEnd& lineEnd : kLineEnds) {
      velmora::bench::PageShape shape;
      shape.targetBytes = size.megabytes * 1'000'000;
      shape.imageCount = size.images;
      shape.distinctNames = size.distinctNames;
      shape.lineEnd = lineEnd.text;

      BenchPage page;
      page.label = std::to_string(size.megabytes) + "MB/" + std::string(lineEnd.name);
      page.size = &size;
      page.lineEnd = &lineEnd;
      page.snapshot.bodyHtml = velmora::bench::GeneratePage(shape);
      page.snapshot.locationUrl = std::string(kPageUrl);
      if (size.megabytes == kViewMegabytes) {
        page.served = velmora::bench::GenerateServedDocument(shape);
      }
      const std::optional<std::filesystem::path> folder = temp.Make();
      if (!folder) {
        std::fprintf(stderr, "velmora_analysis_bench: cannot create a folder in /tmp: %s\n",
                     std::strerror(errno));
        return 1;
      }
      page.folder = *folder;
      if (std::error_code error = velmora::WorkFiles(page.folder).CreateMissingWorkFiles()) {
        std::fprintf(stderr, "velmora_analysis_bench: cannot create the work files in %s: %s\n",
                     page.folder.c_str(), error.message().c_str());
        return 1;
      }
      pages.push_back(std::move(page));
    }
  }

  for (const ManyPictures& shape : kManyPictures) {
    BenchPage page;
    page.label = std::string(shape.label);
    page.size = &kManyPicturesSize;
    page.lineEnd = &kLineEnds[0];
    page.snapshot.bodyHtml = ManyPicturesPage(shape);
    page.snapshot.locationUrl = std::string(kPageUrl);
    const std::optional<std::filesystem::path> folder = temp.Make();
    if (!folder) return 1;
    page.folder = *folder;
    if (velmora::WorkFiles(page.folder).CreateMissingWorkFiles()) return 1;
    pages.push_back(std::move(page));
  }

  // The copy and the analysis of one page run back to back, so both see the same machine state.
  // The lambdas hold pointers: the pages are large and live until the end of main.
  for (const BenchPage& page : pages) {
    const BenchPage* p = &page;
    Configure(benchmark::RegisterBenchmark(CopyName(page.label).c_str(),
                                           [p](benchmark::State& s) { RunCopy(s, *p); }),
              *page.size);
    Configure(benchmark::RegisterBenchmark(AnalyzeName(page.label).c_str(),
                                           [p](benchmark::State& s) { RunAnalyze(s, *p); }),
              *page.size);
  }
  for (const BenchPage& page : pages) {
    if (!page.size->timeSteps || page.lineEnd != &kLineEnds[0]) continue;
    const BenchPage* p = &page;
    for (const StepInfo& step : kSteps) {
      const Step which = step.step;
      Configure(
          benchmark::RegisterBenchmark(StepName(step.name, page.label).c_str(),
                                       [p, which](benchmark::State& s) { RunStep(s, *p, which); }),
          *page.size);
    }
  }

  for (const BenchPage& page : pages) {
    if (page.served.empty()) continue;
    const BenchPage* p = &page;
    for (const ViewInfo& view : kViews) {
      const View which = view.view;
      Configure(
          benchmark::RegisterBenchmark(ViewName(view.name, page.label).c_str(),
                                       [p, which](benchmark::State& s) { RunView(s, *p, which); }),
          *page.size);
    }
  }

  const LoadedRecord loadedRecord = MakeLoadedRecord();
  Configure(benchmark::RegisterBenchmark(
                std::string(kMergeName).c_str(),
                [&loadedRecord](benchmark::State& s) { RunMerge(s, loadedRecord); }),
            kSizes[0]);

  CollectingReporter reporter(::isatty(STDOUT_FILENO) != 0);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  PrintTable(pages, reporter);
  return 0;
}
