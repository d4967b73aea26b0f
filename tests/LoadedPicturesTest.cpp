// The engine's record of pictures joining the image census, and the gallery captions that say
// what is known of each picture.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/AnalyzePage.h"
#include "analysis/GalleryPage.h"
#include "analysis/LoadedPictures.h"
#include "analysis/UrlHelpers.h"
#include "support/TempFolder.h"

namespace velmora {
namespace {

constexpr const char* kPage = "http://h.example/d/page.html";

LoadedPicture Loaded(std::string url, std::string type, std::uint64_t bytes, int width, int height,
                     ImageKind kind = ImageKind::Loaded, std::string requestUrl = "",
                     std::string frame = "") {
  LoadedPicture picture;
  picture.url = std::move(url);
  picture.requestUrl = std::move(requestUrl);
  picture.mimeType = std::move(type);
  picture.bytes = bytes;
  picture.width = width;
  picture.height = height;
  picture.frame = std::move(frame);
  picture.kind = kind;
  return picture;
}

// "kind url", then what the engine gave, the frame and the other URLs.
std::string Describe(const CensusImage& image) {
  std::string out = std::string(KindName(image.kind)) + " " + image.url;
  if (image.loaded) {
    out += " [" + image.type + " " + std::to_string(image.bytes) + " B]";
  }
  if (image.width > 0 || image.height > 0) {
    out += " " + std::to_string(image.width) + "x" + std::to_string(image.height);
  }
  if (!image.frame.empty()) out += " in " + image.frame;
  for (const std::string& url : image.alsoAt) out += " | " + url;
  return out;
}

std::vector<std::string> Describe(const std::vector<CensusImage>& census) {
  std::vector<std::string> out;
  for (const CensusImage& image : census) out.push_back(Describe(image));
  return out;
}

TEST(MergeLoadedPictures, OnePictureOneEntry) {
  const std::string d = "http://h.example/d/";
  const std::string inlinePicture = "data:image/png;base64," + std::string(300, 'A');
  const struct {
    const char* what;
    std::string markup;
    std::vector<LoadedPicture> loaded;
    std::vector<std::string> expected;
  } cases[] = {
      {"matched by its own URL: the engine's type, bytes and pixel size",
       "<img src=a.png>",
       {Loaded(d + "a.png", "image/png", 34816, 640, 480, ImageKind::Img)},
       {"img " + d + "a.png [image/png 34816 B] 640x480"}},
      {"matched by the URL first asked for: the final one joins the other URLs",
       "<img src=r.jpg>",
       {Loaded("http://cdn.example/r.jpg", "image/jpeg", 900, 10, 20, ImageKind::Img, d + "r.jpg")},
       {"img " + d + "r.jpg [image/jpeg 900 B] 10x20 | http://cdn.example/r.jpg"}},
      {"the engine's pixel size wins over a srcset's width",
       "<img srcset=\"w-800.jpg 800w, w-1600.jpg 1600w\">",
       {Loaded(d + "w-1600.jpg", "image/jpeg", 5000, 1600, 900)},
       {"srcset " + d + "w-1600.jpg [image/jpeg 5000 B] 1600x900 | " + d + "w-800.jpg"}},
      {"a smaller candidate loaded: no entry of its own, and not taken for the full size",
       "<img src=s.jpg srcset=\"s.jpg 1x, s2.jpg 2x\">",
       {Loaded(d + "s.jpg", "image/jpeg", 700, 320, 240, ImageKind::Img)},
       {"srcset " + d + "s2.jpg | " + d + "s.jpg"}},
      {"a smaller candidate reached through a redirect: its final URL is another of the entry's",
       "<img src=s.jpg srcset=\"s.jpg 1x, s2.jpg 2x\">",
       {Loaded("http://cdn.example/s.jpg", "image/jpeg", 700, 320, 240, ImageKind::Img,
               d + "s.jpg")},
       {"srcset " + d + "s2.jpg | " + d + "s.jpg | http://cdn.example/s.jpg"}},
      {"pictures only the engine names, in load order, each with its kind",
       "<img src=a.png>",
       {Loaded(d + "bg.png", "image/png", 10, 4, 4, ImageKind::Background),
        Loaded(d + "before.svg", "image/svg+xml", 300, 0, 0, ImageKind::Generated),
        Loaded("http://other.example/f.gif", "image/gif", 43, 1, 1, ImageKind::Frame,
               "http://other.example/old.gif", "http://other.example/frame.html")},
       {"img " + d + "a.png", "background " + d + "bg.png [image/png 10 B] 4x4",
        "generated " + d + "before.svg [image/svg+xml 300 B]",
        "frame http://other.example/f.gif [image/gif 43 B] 1x1 in http://other.example/frame.html"
        " | http://other.example/old.gif"}},
      {"an inline picture fills its entry but is never added; what cannot be shown is not added",
       "<img src=\"" + inlinePicture + "\">",
       {Loaded(inlinePicture, "image/png", 225, 8, 8, ImageKind::Img),
        Loaded("data:image/png;base64," + std::string(400, 'B'), "image/png", 300, 9, 9),
        Loaded("blob:http://h.example/5d1e", "image/png", 300, 9, 9), Loaded("", "", 1, 1, 1)},
       {"img " + inlinePicture + " [image/png 225 B] 8x8"}},
      {"each picture once by its final URL, the first record of it kept",
       "",
       {Loaded(d + "x.webp", "image/webp", 100, 5, 5, ImageKind::Loaded, d + "x.jpg"),
        Loaded(d + "x.webp", "image/webp", 999, 6, 6, ImageKind::Loaded, d + "y.jpg"),
        Loaded(d + "x.webp", "image/webp", 999, 6, 6)},
       {"loaded " + d + "x.webp [image/webp 100 B] 5x5 | " + d + "x.jpg"}},
      {"addresses compare without the fragment and with characters encoded as the engine does",
       "<img src=\"q.jpg?t='1'#top\"><svg><image href=\"i.svg#icon\"/></svg>",
       {Loaded(d + "q.jpg?t=%271%27", "image/jpeg", 50, 2, 2),
        Loaded(d + "i.svg", "image/svg+xml", 60, 0, 0)},
       {"img " + d + "q.jpg?t='1'#top [image/jpeg 50 B] 2x2 | " + d + "q.jpg?t=%271%27",
        "svg " + d + "i.svg#icon [image/svg+xml 60 B] | " + d + "i.svg"}},
  };
  const ReferenceResolver resolver(kPage);
  for (const auto& c : cases) {
    std::vector<CensusImage> census = CensusFromMarkup(c.markup, resolver);
    MergeLoadedPictures(census, c.loaded);
    EXPECT_EQ(Describe(census), c.expected) << c.what;
    // The record of a later moment holds the same pictures again.
    MergeLoadedPictures(census, c.loaded);
    EXPECT_EQ(Describe(census), c.expected) << c.what << ", merged twice";
  }
}

// A page whose lazy image still shows its small src: pair 1 shows that src, the census names the
// large one. What the engine loaded adds nothing to pair 1's part nor to the source view, and the
// placeholder it loaded is no picture of its own.
TEST(MergeLoadedPictures, WhatPairOneShowsIsNotShownAgain) {
  const std::string d = "http://h.example/d/";
  PageSnapshot page{"<img src=small.jpg data-src=big.jpg> <b>deco.png</b>", kPage, ""};
  testing::TempFolder plainDir;
  ListPairs lists;
  AnalyzePage(page, WorkFiles(plainDir.path()), lists);

  page.loadedPictures = {Loaded(d + "small.jpg", "image/jpeg", 2048, 48, 32, ImageKind::Img),
                         Loaded(d + "deco.png", "image/png", 512, 16, 16, ImageKind::Background)};
  testing::TempFolder loadedDir;
  const AnalysisResult result = AnalyzePage(page, WorkFiles(loadedDir.path()), lists);

  EXPECT_EQ(testing::ReadFile(loadedDir / "source.htm"),
            testing::ReadFile(plainDir / "source.htm"));
  EXPECT_EQ(testing::ReadFile(loadedDir / "imagepage.html"),
            GalleryEntry(d + "small.jpg") + std::string(kFurtherImagesHeading) +
                GalleryEntry(result.census[0]) + GalleryEntry(result.census[1]) + "\r\n");
  EXPECT_EQ(Describe(result.census),
            (std::vector<std::string>{"lazy " + d + "big.jpg",
                                      "background " + d + "deco.png [image/png 512 B] 16x16"}));
}

// The caption of a census entry: the text between the entry's link and its three line breaks.
std::string Caption(const CensusImage& image) {
  const std::string entry = GalleryEntry(image);
  const std::size_t start = entry.find("</a><BR>");
  const std::size_t from = start == std::string::npos ? 0 : start + 8;
  return entry.substr(from, entry.rfind("<BR><BR><BR>") - from);
}

TEST(GalleryEntry, TheCaptionSaysWhatIsKnown) {
  const auto image = [](std::string url, ImageKind kind, std::string type, int width, int height,
                        std::uint64_t bytes) {
    CensusImage out;
    out.url = std::move(url);
    out.kind = kind;
    out.type = std::move(type);
    out.width = width;
    out.height = height;
    out.bytes = bytes;
    return out;
  };
  const std::string inlineStart = "data:image/png;base64," + std::string(25, 'A');
  const struct {
    CensusImage image;
    std::string expected;
  } cases[] = {
      {image("http://h/a.png", ImageKind::Background, "image/png", 640, 480, 34816),
       "http://h/a.png (background, PNG, 640 \u00D7 480, 34 KB)"},
      {image("http://h/a.jpg", ImageKind::Lazy, "", 1600, 900, 0),
       "http://h/a.jpg (lazy, 1600 \u00D7 900)"},
      {image("http://h/w.jpg", ImageKind::Srcset, "", 1440, 0, 0),
       "http://h/w.jpg (srcset, 1440 px wide)"},
      {image("http://h/f.ico", ImageKind::Icon, "image/vnd.microsoft.icon", 0, 0, 0),
       "http://h/f.ico (icon, ICO)"},
      {image("http://h/j", ImageKind::Object, "IMAGE/JPEG; charset=binary", 0, 0, 0),
       "http://h/j (object, JPEG)"},
      {image("http://h/x", ImageKind::Object, "image/<b>", 0, 0, 0), "http://h/x (object)"},
      {image("http://h/b", ImageKind::Frame, "application/octet-stream", 0, 0, 812),
       "http://h/b (frame, 812 B)"},
      {image("http://h/p.ppm", ImageKind::Loaded, "image/x-portable-pixmap", 3, 2, 1258291),
       "http://h/p.ppm (loaded, X-PORTABLE-PIXMAP, 3 \u00D7 2, 1.2 MB)"},
      // An inline picture's caption is cut before a character it would split.
      {image(inlineStart + "\u00E9\u00E9" + std::string(300, 'B'), ImageKind::Generated,
             "image/png", 0, 0, 0),
       inlineStart + "\u2026 (generated, PNG)"},
  };
  for (const auto& c : cases) EXPECT_EQ(Caption(c.image), c.expected) << c.image.url;
}

TEST(ReadableByteSize, OneDecimalBelowTenUnitsWholeUnitsAbove) {
  const struct {
    std::uint64_t bytes;
    const char* expected;
  } cases[] = {
      {0, "0 B"},
      {1023, "1023 B"},
      {1024, "1.0 KB"},
      {1536, "1.5 KB"},
      {10189, "10 KB"},  // 9.95 KB rounds up to ten
      {1048000, "1023 KB"},
      {1048500, "1.0 MB"},  // 1023.9 KB is no "1024 KB"
      {5ull << 30, "5.0 GB"},
      {UINT64_MAX, "16 EB"},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadableByteSize(c.bytes), c.expected) << c.bytes;
}

}  // namespace
}  // namespace velmora
