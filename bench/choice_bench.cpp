// Benchmarks of choosing pictures, the work behind every filter or sort change of the Images
// tool: one entry per picture, then ChoosePictures with a filter and each order, and the names of
// a saved set. The window's goal for a page of 1,000 pictures is 100 ms from the change to the
// shown result; these pure steps should take a small part of it, also at 10,000 pictures.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "analysis/PictureChoice.h"

namespace {

// A page's census: pictures of a few sizes and types on two hosts, each tenth with the bytes of
// another, each fifth a thumbnail linking to a full-size picture the page does not show.
struct Page {
  std::vector<velmora::CensusImage> census;
  std::vector<velmora::ThumbnailLink> links;
};

Page MakePage(int count) {
  static const char* const kTypes[] = {"image/jpeg", "image/png", "image/webp", "image/gif", ""};
  Page page;
  for (int i = 0; i < count; ++i) {
    velmora::CensusImage image;
    const std::string host = i % 3 == 0 ? "https://cdn.example.net/" : "https://www.example.com/";
    image.url = host + "photos/" + std::to_string(i) + "/picture-" + std::to_string(i) + ".jpg";
    image.name = "picture-" + std::to_string(i) + ".jpg";
    image.width = 16 + (i * 37) % 1900;
    image.height = i % 7 == 0 ? 0 : 16 + (i * 53) % 1400;
    image.type = kTypes[i % 5];
    image.bytes = static_cast<std::uint64_t>(image.width) * 97;
    image.contentHash = std::to_string(i % 10 == 0 ? i - 1 : i);
    if (i % 4 == 0) image.alsoAt = {image.url + "?w=320", image.url + "?w=640"};
    if (i % 5 == 0) page.links.push_back({image.url, host + "full/" + std::to_string(i) + ".jpg"});
    page.census.push_back(std::move(image));
  }
  return page;
}

void OnePerPicture(benchmark::State& state) {
  const Page page = MakePage(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(velmora::OnePerPicture(page.census, page.links));
}

void Choose(benchmark::State& state) {
  const Page page = MakePage(static_cast<int>(state.range(0)));
  const std::vector<velmora::PictureEntry> entries =
      velmora::OnePerPicture(page.census, page.links);
  velmora::PictureFilter filter;
  filter.minWidth = filter.minHeight = 100;
  filter.contains = "example";
  filter.hideTracking = true;
  const auto order = static_cast<velmora::PictureOrder>(state.range(1));
  for (auto _ : state) benchmark::DoNotOptimize(velmora::ChoosePictures(entries, filter, order));
}

void NameSavedSet(benchmark::State& state) {
  const Page page = MakePage(static_cast<int>(state.range(0)));
  std::vector<const velmora::CensusImage*> pictures;
  for (const velmora::CensusImage& image : page.census) pictures.push_back(&image);
  std::string error;
  const velmora::NamePattern pattern = *velmora::NamePattern::Parse("{n}-{name}", error);
  for (auto _ : state) {
    benchmark::DoNotOptimize(velmora::NamesForSaving(pictures, pattern, "Harbour"));
  }
}

BENCHMARK(OnePerPicture)->Arg(1'000)->Arg(10'000)->Unit(benchmark::kMillisecond);
BENCHMARK(Choose)
    ->ArgsProduct({{1'000, 10'000}, {0, 1, 2, 3}})
    ->ArgNames({"pictures", "order"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(NameSavedSet)->Arg(1'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
