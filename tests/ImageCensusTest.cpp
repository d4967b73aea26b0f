// The image census: markup read as a browser reads it, the rules that pick the picture an
// element shows, and the live document's elements merged with the markup's.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/FlatSet.h"
#include "analysis/ImageCensus.h"
#include "analysis/UrlHelpers.h"

namespace velmora {
namespace {

constexpr const char* kPage = "http://h.example/d/page.html";

// "kind URL" per census entry, in order.
std::vector<std::string> Entries(const std::vector<CensusImage>& census) {
  std::vector<std::string> out;
  for (const CensusImage& image : census) {
    out.push_back(std::string(KindName(image.kind)) + " " + image.url);
  }
  return out;
}

// A real news page's pictures: the loader's JSON in data-src, the loaded address in src.
std::string NewsPage() {
  std::string page;
  for (int i = 1; i <= 11; ++i) {
    page +=
        "<img data-src='{\"default\":\"//img.example/x.img?h=50\"}' "
        "src=\"https://img.example/news/" +
        std::to_string(i) + ".jpg?h=50\">";
  }
  return page;
}

std::vector<std::string> NewsPageEntries() {
  std::vector<std::string> entries;
  for (int i = 1; i <= 11; ++i) {
    entries.push_back("img https://img.example/news/" + std::to_string(i) + ".jpg?h=50");
  }
  return entries;
}

TEST(CensusFromMarkup, ReadsTagsAndPicksEachPictureOnce) {
  const std::string d = "http://h.example/d/";
  const std::string inlinePicture = "data:image/png;base64," + std::string(300, 'A');
  const struct {
    const char* what;
    std::string markup;
    std::vector<std::string> expected;
  } cases[] = {
      // Reading attributes.
      {"any letter case, unquoted", "<IMG SRC=a.jpg>", {"img " + d + "a.jpg"}},
      {"character references decoded",
       "<img src='a&amp;b.jpg'><img src=x&#46;png>",
       {"img " + d + "a&b.jpg", "img " + d + "x.png"}},
      {"the first of two attributes wins", "<img src=a.jpg SRC=b.jpg>", {"img " + d + "a.jpg"}},
      {"a > inside quotes is no tag end", "<img alt=\"a>b\" src=c.jpg>", {"img " + d + "c.jpg"}},
      {"blanks around =, a / between attributes",
       "<img/alt = \"x\"/src = \"e.jpg\" />",
       {"img " + d + "e.jpg"}},
      {"a tag the page leaves open is dropped",
       "<img src=ok.jpg><img src=\"cut.jpg",
       {"img " + d + "ok.jpg"}},
      // What is no tag at all.
      {"script, style, textarea and title hold text",
       "<script>s = '<img src=s.jpg>'</SCRIPT ><style>a{}</style><textarea><img src=u.jpg>"
       "</textarea><title><img src=v.jpg></title><img src=t.jpg>",
       {"img " + d + "t.jpg"}},
      {"a script's end tag needs a blank, / or >",
       "<script>x='</scriptx><img src=s.jpg>'</script><img src=t.jpg>",
       {"img " + d + "t.jpg"}},
      {"comments, also the abrupt ones",
       "<!-- <img src=c.jpg> --><!--><img src=e.jpg>",
       {"img " + d + "e.jpg"}},
      // Which picture an element shows.
      {"a lazy image's real address, never its placeholder",
       "<img src=\"data:image/gif;base64,R0lGODlhAQAB\" data-src=\"real.jpg\">",
       {"lazy " + d + "real.jpg"}},
      {"the largest candidate of a lazy srcset",
       "<img src=spacer.gif data-srcset=\"a.jpg 300w, b.jpg 900w,c.jpg 600w\">",
       {"lazy " + d + "b.jpg"}},
      {"any data- attribute that names an image file",
       "<img data-hero=big.webp src=s.gif>",
       {"lazy " + d + "big.webp"}},
      {"the densest candidate",
       "<img src=a.jpg srcset=\"a.jpg 1x, a2.jpg 2x, a15.jpg 1.5x\">",
       {"srcset " + d + "a2.jpg"}},
      {"commas inside a URL, unreadable descriptors dropped",
       "<img srcset=\"x,1.jpg 1x, y.jpg 2q, z.jpg 3x\">",
       {"srcset " + d + "z.jpg"}},
      {"a picture's sources; the image's own candidate wins a tie",
       "<picture><source type=image/avif srcset=\"p.avif 800w, p2.avif 1600w\">"
       "<img src=p.jpg srcset=\"p.jpg 800w, p2.jpg 1600w\"></picture><img src=q.jpg>",
       {"picture " + d + "p2.jpg", "img " + d + "q.jpg"}},
      {"a picture whose source is larger",
       "<picture><source srcset=\"big.webp 2x\"><img src=s.jpg>",
       {"picture " + d + "big.webp"}},
      {"backgrounds of the style attribute",
       "<div style=\"color:red; background: url(bg.png) no-repeat, url('bg2.png')\"></div>"
       "<p style='BACKGROUND-IMAGE:url( \"q u.png\" )'><p style=\"border-image: url(b.png)\">",
       {"background " + d + "bg.png", "background " + d + "bg2.png",
        "background " + d + "q%20u.png"}},
      {"a lazy background",
       "<div data-bg=\"url(lazy-bg.jpg)\"></div>",
       {"lazy " + d + "lazy-bg.jpg"}},
      {"poster, image button, SVG image",
       "<video poster=v.jpg></video><input type=IMAGE src=i.png><input type=text src=no.png>"
       "<svg><image xlink:href=\"s.png\"/></svg><image src=h.png>",
       {"poster " + d + "v.jpg", "input " + d + "i.png", "svg " + d + "s.png",
        "img " + d + "h.png"}},
      {"an inline picture, but not a spacer or a script",
       "<img src=\"" + inlinePicture +
           "\"><img src=\"data:image/gif;base64,R0\">"
           "<img src=\"javascript:alert(1)\">",
       {"img " + inlinePicture}},
      {"each URL once",
       "<img src=a.jpg><div style=\"background:url(a.jpg)\"></div>",
       {"img " + d + "a.jpg"}},
      // The page's icons, and pictures shown through <object> and <embed>.
      {"rel is a list of tokens in any letter case",
       "<link rel=\"shortcut icon\" href=/favicon.ico><link rel=Apple-Touch-Icon href=t.png>"
       "<link rel=stylesheet href=s.css><link rel=iconic href=no.png><link href=none.png>",
       {"icon http://h.example/favicon.ico", "icon " + d + "t.png"}},
      {"an image type, or without a type an image file",
       "<object data=map.svg></object><object data=doc.pdf type=application/pdf></object>"
       "<object data=\"pic?id=3\" type=\"Image/PNG\"></object><object data=x.png type=text/html>"
       "<embed src=e.gif><embed src=movie.swf><embed src=f.png type=image/png>",
       {"object " + d + "map.svg", "object " + d + "pic?id=3", "object " + d + "e.gif",
        "object " + d + "f.png"}},
      // Lazy-loading attributes that hold no address leave the element's src its address.
      {"a news page's JSON in data-src", NewsPage(), NewsPageEntries()},
      {"blanks, templates, arrays, markup, fragments, a script's empty values",
       "<img data-src=\"  \" src=1.jpg><img data-src=\"{{photo.url}}\" src=2.jpg>"
       "<img data-lazy-src=\"[&quot;a.jpg&quot;]\" src=3.jpg><img data-src=\"&lt;img&gt;\" "
       "src=4.jpg>"
       "<img data-src=\"/img/${id}.jpg\" src=5.jpg><img data-src=# src=6.jpg>"
       "<img data-src=undefined data-srcset='{\"1x\":\"a.jpg\"}' src=7.jpg>"
       "<div data-bg='{\"url\":\"x.jpg\"}'></div><img data-src=NULL src=8.jpg>"
       "<picture><source data-srcset=\"{{big}} 2x\"><img src=9.jpg></picture>",
       {"img " + d + "1.jpg", "img " + d + "2.jpg", "img " + d + "3.jpg", "img " + d + "4.jpg",
        "img " + d + "5.jpg", "img " + d + "6.jpg", "img " + d + "7.jpg", "img " + d + "8.jpg",
        "img " + d + "9.jpg"}},
  };
  const ReferenceResolver resolver(kPage);
  for (const auto& c : cases) {
    EXPECT_EQ(Entries(CensusFromMarkup(c.markup, resolver)), c.expected) << c.what;
  }
}

TEST(CensusFromMarkup, KeepsThePictureSOtherUrlsButNoPlaceholder) {
  const ReferenceResolver resolver(kPage);
  const std::vector<CensusImage> census = CensusFromMarkup(
      "<img src=ph.gif data-srcset=\"s-480.jpg 480w, s-1440.jpg 1440w\">"
      "<img src=c.jpg srcset=\"c.jpg 1x, c2.jpg 2x\">",
      resolver);
  ASSERT_EQ(census.size(), 2u);
  EXPECT_EQ(census[0].name, "s-1440.jpg");
  EXPECT_EQ(census[0].width, 1440);
  EXPECT_EQ(census[0].alsoAt, std::vector<std::string>{"http://h.example/d/s-480.jpg"});
  EXPECT_EQ(census[1].alsoAt, std::vector<std::string>{"http://h.example/d/c.jpg"});
}

TEST(ImageCensusBuilder, TheLiveDocumentsIconLink) {
  const ReferenceResolver resolver(kPage);
  ImageCensusBuilder census(resolver);
  ImageElement icon;
  icon.tag = "link";
  icon.attributes = {{"rel", "ICON"}, {"href", "/img/f.svg"}};
  census.Add(icon);
  icon.attributes = {{"rel", "preload"}, {"href", "/img/big.jpg"}};
  census.Add(icon);
  EXPECT_EQ(Entries(census.Take()), std::vector<std::string>{"icon http://h.example/img/f.svg"});
}

TEST(TakeCensus, TheLiveDocumentFirstThenWhatOnlyTheMarkupShows) {
  const ReferenceResolver resolver(kPage);
  ImageElement placeholder;  // a lazy image whose 1x1 placeholder has loaded
  placeholder.tag = "img";
  placeholder.attributes = {{"src", "spacer.gif"}, {"data-src", "real.jpg"}};
  placeholder.currentUrl = "http://h.example/d/spacer.gif";
  placeholder.naturalWidth = placeholder.naturalHeight = 1;
  ImageElement chosen;  // the engine chose the small candidate and loaded it
  chosen.tag = "img";
  chosen.attributes = {{"srcset", "w-800.jpg 800w, w-1600.jpg 1600w"}};
  chosen.currentUrl = "http://h.example/d/w-800.jpg";
  chosen.naturalWidth = 800;
  chosen.naturalHeight = 600;
  ImageElement plain;
  plain.tag = "img";
  plain.attributes = {{"src", "p.jpg"}};
  plain.currentUrl = "http://h.example/d/p.jpg";
  plain.naturalWidth = 64;
  plain.naturalHeight = 48;
  ImageElement spacer = plain;  // a spacer and nothing else
  spacer.attributes = {{"src", "dot.gif"}};
  spacer.currentUrl = "http://h.example/d/dot.gif";
  spacer.naturalWidth = spacer.naturalHeight = 1;
  ImageElement styled;  // a background from a style sheet
  styled.tag = "header";
  styled.computedBackground = "url(\"http://h.example/css/top.png\"), linear-gradient(red, blue)";

  // The markup of the same document: the same elements, and an image in <noscript> text.
  const std::string markup =
      "<img src=spacer.gif data-src=real.jpg><img srcset=\"w-800.jpg 800w, w-1600.jpg 1600w\">"
      "<img src=p.jpg><noscript><img src=only-markup.jpg></noscript>";
  const std::vector<CensusImage> census =
      TakeCensus({placeholder, chosen, plain, spacer, styled}, markup, resolver);
  EXPECT_EQ(Entries(census), (std::vector<std::string>{
                                 "lazy http://h.example/d/real.jpg",
                                 "srcset http://h.example/d/w-1600.jpg",
                                 "img http://h.example/d/p.jpg",
                                 "background http://h.example/css/top.png",
                                 "img http://h.example/d/only-markup.jpg",
                             }));
  EXPECT_TRUE(census[0].alsoAt.empty()) << "the placeholder is no other URL of the picture";
  EXPECT_EQ(census[1].width, 1600);
  EXPECT_EQ(census[1].alsoAt, std::vector<std::string>{"http://h.example/d/w-800.jpg"});
  EXPECT_EQ(census[2].width, 64);
  EXPECT_EQ(census[2].height, 48);
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

// The flat sets behind the census: keys that share a hash stay apart, equal keys are one member,
// and growing keeps every member.
TEST(FlatIndexSet, CollisionsEqualKeysAndGrowth) {
  std::vector<std::string> keys;
  for (int i = 0; i < 1000; ++i) keys.push_back("k" + std::to_string(i % 500));
  const auto keyAt = [&keys](std::uint32_t i) { return std::string_view(keys[i]); };
  FlatIndexSet set;
  for (std::uint32_t i = 0; i < keys.size(); ++i) {
    // Every key in one of four hash classes: long probe runs.
    const std::uint32_t member = set.Insert(i, i % 4, keyAt);
    EXPECT_EQ(member, i < 500 ? i : i - 500) << keys[i];
  }
  EXPECT_EQ(set.size(), 500u);
  EXPECT_TRUE(set.Contains("k499", 499 % 4, keyAt));
  EXPECT_FALSE(set.Contains("k500", 500 % 4, keyAt));

  StringViewSet views;
  EXPECT_TRUE(views.Insert("a"));
  EXPECT_FALSE(views.Insert(std::string("a")));
  EXPECT_TRUE(views.Insert(""));
  EXPECT_TRUE(views.Contains(""));
  EXPECT_FALSE(views.Contains("b"));
}

}  // namespace
}  // namespace velmora
