// Choosing pictures: types, the filter, the orders, one entry per picture, and the names of
// saved pictures, through tables.
#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>
#include <vector>

#include "analysis/PictureChoice.h"
#include "analysis/UrlHelpers.h"

namespace velmora {
namespace {

CensusImage Pic(std::string url, int width = 0, int height = 0, std::string type = "",
                std::uint64_t bytes = 0) {
  CensusImage picture;
  picture.url = std::move(url);
  picture.name = ImageFileName(picture.url);
  picture.width = width;
  picture.height = height;
  picture.type = std::move(type);
  picture.bytes = bytes;
  return picture;
}

std::vector<PictureEntry> Entries(const std::vector<CensusImage>& pictures) {
  return OnePerPicture(pictures);
}

// The URLs of the chosen entries, in order.
std::vector<std::string> Chosen(const std::vector<PictureEntry>& entries,
                                const PictureFilter& filter, PictureOrder order) {
  std::vector<std::string> urls;
  for (std::size_t i : ChoosePictures(entries, filter, order)) {
    urls.push_back(entries[i].picture.url);
  }
  return urls;
}

TEST(PictureTypeOf, TheBytesTypeFirstThenTheAddress) {
  const struct {
    CensusImage picture;
    PictureType expected;
  } cases[] = {
      {Pic("http://h/photo.jpg", 0, 0, "image/webp"), PictureType::Webp},
      {Pic("http://h/a/photo.JPEG?x=1.png"), PictureType::Jpeg},
      {Pic("data:image/svg+xml;base64,PHN2Zz4="), PictureType::Svg},
      {Pic("http://h/x", 0, 0, "IMAGE/GIF; charset=binary"), PictureType::Gif},
      {Pic("http://h/x.avif", 0, 0, "image/bmp"), PictureType::Other},
      {Pic("http://h/picture"), PictureType::Other},
      {Pic("https://h/p.apng"), PictureType::Png},
  };
  for (const auto& c : cases) EXPECT_EQ(PictureTypeOf(c.picture), c.expected) << c.picture.url;

  for (std::size_t i = 0; i < kPictureTypeCount; ++i) {
    const auto type = static_cast<PictureType>(i);
    EXPECT_EQ(PictureTypeNamed(PictureTypeName(type)), type);
  }
  EXPECT_EQ(PictureTypeNamed("JPG"), PictureType::Jpeg);
  EXPECT_EQ(PictureTypeNamed("tiff"), std::nullopt);
}

TEST(LooksLikeTrackingPixel, SizesNamesAndHosts) {
  const struct {
    CensusImage picture;
    bool expected;
  } cases[] = {
      {Pic("http://h/a.gif", 1, 1), true},
      {Pic("http://h/line.gif", 1, 300), false},
      {Pic("http://h/img/Pixel.GIF?id=4"), true},
      {Pic("http://h/spacer.gif"), true},
      {Pic("http://h/pixelated-art.png"), false},
      {Pic("https://pixel.example.com/p.png"), true},
      {Pic("https://stats.g.doubleclick.net/r/collect?v=1"), true},
      {Pic("https://notdoubleclick.net/photo.jpg"), false},
      {Pic("https://trackers.example/photo.jpg"), false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LooksLikeTrackingPixel(c.picture), c.expected) << c.picture.url;
  }
}

TEST(PictureFilter, Table) {
  const std::vector<PictureEntry> entries = Entries({
      Pic("http://h/big.jpg", 1200, 800, "image/jpeg"),
      Pic("http://h/icon.png", 32, 32, "image/png"),
      Pic("http://h/unknown-size.webp"),
      Pic("http://cdn.example/Wide.GIF", 800, 200),
      Pic("http://h/t/pixel.gif", 1, 1),
  });
  const auto types = [](std::initializer_list<PictureType> list) {
    std::bitset<kPictureTypeCount> set;
    for (PictureType t : list) set.set(static_cast<std::size_t>(t));
    return set;
  };
  const struct {
    PictureFilter filter;
    std::vector<std::string> expected;
  } cases[] = {
      {{}, {"big.jpg", "icon.png", "unknown-size.webp", "Wide.GIF", "pixel.gif"}},
      {{100, 100, {}, "", false}, {"big.jpg", "Wide.GIF"}},
      {{400, 400, {}, "", false}, {"big.jpg"}},
      {{0, 1, {}, "", false}, {"big.jpg", "icon.png", "Wide.GIF", "pixel.gif"}},
      {{0, 0, types({PictureType::Gif, PictureType::Webp}), "", false},
       {"unknown-size.webp", "Wide.GIF", "pixel.gif"}},
      {{0, 0, types({PictureType::Other}), "", false}, {}},
      {{0, 0, {}, "CDN.EXAMPLE", false}, {"Wide.GIF"}},
      {{0, 0, {}, "", true}, {"big.jpg", "icon.png", "unknown-size.webp", "Wide.GIF"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> names;
    for (const std::string& url : Chosen(entries, c.filter, PictureOrder::Page)) {
      names.push_back(url.substr(url.rfind('/') + 1));
    }
    EXPECT_EQ(names, c.expected) << c.filter.minWidth << "x" << c.filter.minHeight << " "
                                 << c.filter.types << " '" << c.filter.contains << "'";
  }
  EXPECT_TRUE(PictureFilter{}.ChoosesAll());
}

TEST(ChoosePictures, OrdersAreStableAndPutUnknownSizesLast) {
  const std::vector<PictureEntry> entries = Entries({
      Pic("http://h/1.png", 10, 10, "image/png", 500),
      Pic("http://h/2.jpg", 0, 0, "image/jpeg", 0),
      Pic("http://h/3.gif", 20, 5, "image/gif", 900),
      Pic("http://h/4.jpg", 30, 30, "", 100),
      Pic("http://h/5.png", 5, 20, "image/png", 500),
  });
  const struct {
    PictureOrder order;
    std::vector<std::string> expected;
  } cases[] = {
      {PictureOrder::Page, {"1", "2", "3", "4", "5"}},
      {PictureOrder::Area, {"4", "1", "3", "5", "2"}},
      {PictureOrder::Bytes, {"3", "1", "5", "4", "2"}},
      {PictureOrder::Type, {"2", "4", "1", "5", "3"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> numbers;
    for (const std::string& url : Chosen(entries, {}, c.order)) numbers.push_back(url.substr(9, 1));
    EXPECT_EQ(numbers, c.expected) << PictureOrderName(c.order);
    EXPECT_EQ(PictureOrderNamed(PictureOrderName(c.order)), c.order);
  }
  EXPECT_EQ(PictureOrderNamed("size"), std::nullopt);
}

TEST(OnePerPicture, SameBytesSharedAddressesAndLinkedThumbnailsAreOneEntry) {
  std::vector<CensusImage> census = {
      Pic("http://h/thumbs/a.jpg", 150, 100),    // 0: links to full/a.jpg (in census)
      Pic("http://h/logo.png", 120, 40),         // 1: same bytes as 4
      Pic("http://h/thumbs/b.jpg", 150, 100),    // 2: links to full/b.jpg (not in census)
      Pic("http://h/full/a.jpg", 1500, 1000),    // 3
      Pic("http://cdn/logo.png", 120, 40),       // 4
      Pic("http://h/thumbs/c.jpg", 600, 400),    // 5: links to a smaller picture
      Pic("http://h/c-small.jpg", 60, 40),       // 6
      Pic("http://h/srcset-1600.jpg", 1600, 0),  // 7
      Pic("http://h/srcset-640.jpg", 640, 427),  // 8: one of 7's candidates
  };
  census[1].contentHash = census[4].contentHash = ContentHash("logo bytes");
  census[7].alsoAt = {"http://h/srcset-320.jpg", "http://h/srcset-640.jpg"};
  const std::vector<ThumbnailLink> links = {
      {"http://h/thumbs/a.jpg", "http://h/full/a.jpg"},
      {"http://h/thumbs/b.jpg", "http://h/full/b.jpg"},
      {"http://h/thumbs/c.jpg", "http://h/c-small.jpg"},
      {"http://h/not-on-page.jpg", "http://h/full/x.jpg"},
  };
  const std::vector<PictureEntry> entries = OnePerPicture(census, links);
  std::vector<std::string> described;
  for (const PictureEntry& entry : entries) {
    std::string line = entry.picture.url + " " + std::to_string(entry.picture.width);
    for (const PictureVariant& other : entry.others) line += " | " + other.url;
    described.push_back(line);
  }
  EXPECT_EQ(described, (std::vector<std::string>{
                           "http://h/full/a.jpg 1500 | http://h/thumbs/a.jpg",
                           "http://h/logo.png 120 | http://cdn/logo.png",
                           "http://h/full/b.jpg 0 | http://h/thumbs/b.jpg",
                           "http://h/thumbs/c.jpg 600",
                           "http://h/c-small.jpg 60",
                           "http://h/srcset-1600.jpg 1600 | http://h/srcset-640.jpg | "
                           "http://h/srcset-320.jpg",
                       }));
  EXPECT_EQ(entries[2].picture.kind, census[2].kind);
  EXPECT_EQ(AlsoText(entries[0]), "also 150 w");
  EXPECT_EQ(AlsoText(entries[1]), "also logo.png");
  EXPECT_EQ(AlsoText(entries[3]), "");
  EXPECT_EQ(AlsoText(entries[5]), "also 640 w, srcset-320.jpg");
}

TEST(EntryWithAddress, FindsThePictureByAnyOfItsAddressesAsABrowserWritesThem) {
  CensusImage large = Pic("http://h/img/large.jpg", 800, 600);
  large.alsoAt = {"http://h/img/small.jpg"};
  const std::vector<PictureEntry> entries =
      Entries({Pic("https://h/a%20b.png"), large, Pic("http://h:8080/x/c.gif")});
  const struct {
    const char* link;
    std::optional<std::size_t> entry;
  } cases[] = {
      {"https://h/a%20b.png", 0},
      {"https://H/a b.png", 0},        // host case, a blank the engine encodes
      {"HTTPS://h:443/a%20b.png", 0},  // the default port
      {"http://h/img/small.jpg", 1},   // another address of the picture
      {"http://h/img/large.jpg", 1},
      {"http://h:8080/x/c.gif", 2},
      {"http://h/x/c.gif", std::nullopt},  // another port is another server
      {"http://h/img/large.jpg?v=2", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(EntryWithAddress(entries, c.link), c.entry) << c.link;
}

TEST(ThumbnailLinks, PicturesInsideLinksToImageFiles) {
  const ReferenceResolver resolver("https://h.example/gallery/");
  const std::string markup =
      "<a href='full/a.JPG?size=big'><img src='thumbs/a.jpg' alt=A></a>"
      "<a href='story.html'><img src='b.jpg'></a>"
      "<a href=\"/full/c.png\"><span><IMG SRC=\"data:image/gif;base64,R0lGOD\" "
      "data-src=\"thumbs/c.jpg\"></span></a>"
      "<img src='after-the-link.jpg'>"
      "<a href='self.png'><img src='self.png'></a>";
  std::vector<std::string> pairs;
  for (const ThumbnailLink& link : ThumbnailLinks(markup, resolver)) {
    pairs.push_back(link.thumbnailUrl + " -> " + link.targetUrl);
  }
  EXPECT_EQ(pairs, (std::vector<std::string>{
                       "https://h.example/gallery/thumbs/a.jpg -> "
                       "https://h.example/gallery/full/a.JPG?size=big",
                       "https://h.example/gallery/thumbs/c.jpg -> https://h.example/full/c.png",
                   }));
}

TEST(PictureExtension, FromTheBytesSpelledAsTheAddressSpellsIt) {
  const struct {
    CensusImage picture;
    std::string expected;
  } cases[] = {
      {Pic("http://h/photo.jpg", 0, 0, "image/webp"), "webp"},
      {Pic("http://h/photo.JPG", 0, 0, "image/jpeg"), "JPG"},
      {Pic("http://h/photo.php?id=3", 0, 0, "image/png"), "png"},
      {Pic("http://h/photo.php?id=3"), "php"},
      {Pic("data:image/gif;base64,R0lG"), "gif"},
      {Pic("http://h/photo.jpg", 0, 0, "image/jxl"), "jxl"},
      {Pic("http://h/photo.jpg", 0, 0, "image/x-unheard-of"), ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PictureExtension(c.picture), c.expected) << c.picture.url << " " << c.picture.type;
  }
}

TEST(NamePattern, ParseErrors) {
  const struct {
    std::string pattern;
    bool valid;
  } cases[] = {
      {"{name}", true},    {"{n}-{w}x{h}.{ext}", true},
      {"{ {} }{1}", true}, {"{nmae}", false},
      {"", false},         {"  ", false},
      {"{Name}", false},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_EQ(NamePattern::Parse(c.pattern, error).has_value(), c.valid) << c.pattern;
    EXPECT_EQ(error.empty(), c.valid) << c.pattern << ": " << error;
  }
}

TEST(NamePattern, NamesAreSafeFileNamesWithTheExtensionOfTheBytes) {
  const std::string longName(1000, 'x');
  const struct {
    std::string pattern;
    CensusImage picture;
    std::string title;
    std::string expected;
  } cases[] = {
      {"{name}", Pic("http://h/a/photo.jpg", 0, 0, "image/webp"), "", "photo.webp"},
      {"{name}", Pic("http://h/a/Holiday%20photo.JPG"), "", "Holiday photo.JPG"},
      {"{name}", Pic("data:image/png;base64,iVBOR"), "", "image.png"},
      {"{n}-{name}", Pic("http://h/x.gif", 0, 0, "image/gif"), "", "7-x.gif"},
      {"{host}_{w}x{h}.{ext}", Pic("https://CDN.Example:8443/p?id=1", 640, 480, "image/png"), "",
       "cdn.example_640x480.png"},
      {"{title}", Pic("http://h/p.png"), "News / World\r\n\tToday", "News _ World Today.png"},
      {"{title}", Pic("http://h/p.png"), "../../etc/passwd", "_.._etc_passwd.png"},
      {"{title}", Pic("http://h/p.png"), "..", "image.png"},
      {"{title}-{name}", Pic("http://h/p.png"), std::string("a\x01\x7f") + '\0' + "b", "ab-p.png"},
      {"{name}", Pic("http://h/a%2Fb%00.png"), "", "a%2Fb%00.png"},
      {"../{name}", Pic("http://h/p.png"), "", "_p.png"},
      {"{n}", Pic("http://h/no-extension"), "", "7"},
  };
  for (const auto& c : cases) {
    std::string error;
    const std::optional<NamePattern> pattern = NamePattern::Parse(c.pattern, error);
    ASSERT_TRUE(pattern) << error;
    EXPECT_EQ(pattern->NameFor(c.picture, 7, c.title), c.expected) << c.pattern << " " << c.title;
  }

  std::string error;
  const std::string name = NamePattern::Parse("{title}-{name}", error)
                               ->NameFor(Pic("http://h/" + longName + ".png"), 1, longName);
  EXPECT_LE(name.size(), NAME_MAX);
  EXPECT_TRUE(name.ends_with("x.png")) << name;
}

TEST(NamesForSaving, APatternThatNamesTheSameFileTwiceGetsNumberedNames) {
  const std::vector<CensusImage> pictures = {
      Pic("http://h/a.png", 0, 0, "image/png"), Pic("http://h/b.png", 0, 0, "image/png"),
      Pic("http://h/A.PNG", 0, 0, "image/png"), Pic("http://h/c.jpg", 0, 0, "image/png")};
  std::vector<const CensusImage*> set;
  for (const CensusImage& p : pictures) set.push_back(&p);
  const struct {
    std::string pattern;
    std::vector<std::string> expected;
  } cases[] = {
      {"{host}", {"h.png", "h (1).png", "h (2).PNG", "h (3).png"}},
      {"{name}", {"a.png", "b.png", "A (1).PNG", "c.png"}},
      {"{n}-{name}", {"1-a.png", "2-b.png", "3-A.PNG", "4-c.png"}},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_EQ(NamesForSaving(set, *NamePattern::Parse(c.pattern, error), "t"), c.expected)
        << c.pattern;
  }
}

TEST(PageFolder, HostThenTitleEachMadeSafe) {
  const struct {
    std::string url;
    std::string title;
    std::string expected;
  } cases[] = {
      {"https://News.Example.com/world/today.html", "World  news\n today",
       "news.example.com/World news today"},
      {"file:///home/ann/page.html", "Saved", "Images/Saved"},
      {"https://h.example/", "../..", "h.example/_"},
      {"https://h.example/", "a/b\\c", "h.example/a_b_c"},
      {"about:blank", "\x01\x02", "Images/Untitled"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PageFolder(c.url, c.title).string(), c.expected) << c.url << " " << c.title;
  }
  const std::filesystem::path longTitle = PageFolder("https://h/", std::string(1000, 'T'));
  EXPECT_LE(longTitle.filename().string().size(), NAME_MAX);
}

TEST(ContentHash, IsSha256InHex) {
  EXPECT_EQ(ContentHash("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

}  // namespace
}  // namespace velmora
