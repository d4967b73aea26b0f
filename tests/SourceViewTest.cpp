// The two generated views: the linked source text and the gallery.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/AnalyzePage.h"
#include "analysis/GalleryPage.h"
#include "analysis/SourceView.h"

namespace velmora {
namespace {

struct Row {
  std::string url;
  std::string name;
};

ListPairs Pairs(const std::vector<Row>& linked, const std::vector<Row>& shown) {
  ListPairs lists;
  for (const Row& r : linked) {
    lists.Links[0].push_back(r.url);
    lists.frmList[0].push_back(r.name);
  }
  for (const Row& r : shown) {
    lists.Links[1].push_back(r.url);
    lists.frmList[1].push_back(r.name);
  }
  return lists;
}

CensusImage Picture(std::string url, std::string name, ImageKind kind, int width, int height,
                    std::vector<std::string> alsoAt) {
  CensusImage image;
  image.url = std::move(url);
  image.name = std::move(name);
  image.kind = kind;
  image.width = width;
  image.height = height;
  image.alsoAt = std::move(alsoAt);
  return image;
}

TEST(EscapeSourceForView, EscapesOnlyLessThanAndLineBreaks) {
  const struct {
    std::string source;
    std::string expected;
  } cases[] = {
      {"", ""},           {"<p>a</p>", "&lt;p>a&lt;/p>"},
      {"a\nb", "a<BR>b"}, {"a\r\nb", "a<BR><BR>b"},
      {"a\rb", "a<BR>b"}, {"&lt; & \" '", "&lt; & \" '"},
  };
  for (const auto& c : cases) EXPECT_EQ(EscapeSourceForView(c.source), c.expected) << c.source;
}

TEST(SourceViewInBlocks, TheSourceViewCutAfterEveryFewLineBreaks) {
  ListPairs lists;
  lists.Links[kShownImagesPair] = {"http://h/a.gif"};
  lists.frmList[kShownImagesPair] = {"a.gif"};
  const struct {
    std::string source;
    std::size_t linesPerBlock;
    std::string blocks;  // after the style
  } cases[] = {
      {"", 2, "<div class=k></div>"},
      {"a\nb\nc", 2, "<div class=k>a<BR>b<BR></div><div class=k>c</div>"},
      // A view never ends with an empty block.
      {"a\nb\n", 2, "<div class=k>a<BR>b<BR></div>"},
      {"a\r\nb", 1, "<div class=k>a<BR></div><div class=k><BR></div><div class=k>b</div>"},
      {"<p>\n<img src=a.gif>", 1,
       "<div class=k>&lt;p><BR></div><div class=k>&lt;img src=<a href='http://h/a.gif'>a.gif</a>>"
       "</div>"},
      {"x\na.gif", 1,
       "<div class=k>x<BR></div><div class=k><a href='http://h/a.gif'>a.gif</a></div>"},
  };
  for (const auto& c : cases) {
    StringSink out;
    WriteSourceViewInBlocks(c.source, lists, {}, out, c.linesPerBlock);
    const std::string view = out.Take();
    const std::size_t style = view.find("</style>");
    ASSERT_TRUE(view.starts_with("<style>") && style != std::string::npos) << view;
    EXPECT_EQ(view.substr(style + 8), c.blocks) << c.source;
  }
  EXPECT_FALSE(IsLargeSource(std::string(kLargeSourceBytes, 'x')));
  EXPECT_TRUE(IsLargeSource(std::string(kLargeSourceBytes + 1, 'x')));
}

TEST(BuildSourceView, LinksRecordedNamesInOnePass) {
  const struct {
    std::string name;
    std::string source;
    ListPairs lists;
    std::string expected;
  } cases[] = {
      {"no names", "<img src=x>\r\n", Pairs({}, {}), "&lt;img src=x><BR><BR>"},
      {"the worked example", "<img src=\"img/pic.gif\">\r\n",
       Pairs({}, {{"http://host/img/pic.gif", "pic.gif"}}),
       "&lt;img src=\"img/<a href='http://host/img/pic.gif'>pic.gif</a>\"><BR><BR>"},
      {"every occurrence, also inside longer words", "pic.gif mypic.gif",
       Pairs({}, {{"http://h/pic.gif", "pic.gif"}}),
       "<a href='http://h/pic.gif'>pic.gif</a> my<a href='http://h/pic.gif'>pic.gif</a>"},
      {"the longest name starting at a position wins", "a.gif.gif b.gif",
       Pairs({}, {{"http://h/short", "a.gif"}, {"http://h/long", "a.gif.gif"}}),
       "<a href='http://h/long'>a.gif.gif</a> b.gif"},
      {"a name in both pairs links once, to pair 0's URL", "x.jpg",
       Pairs({{"http://h/big/x.jpg", "x.jpg"}}, {{"http://h/small/x.jpg", "x.jpg"}}),
       "<a href='http://h/big/x.jpg'>x.jpg</a>"},
      {"inserted anchors are never rewritten by later names", "a.gif a",
       Pairs({{"http://h/a.gif", "a.gif"}}, {{"http://h/href", "href"}, {"http://h/a", "a"}}),
       "<a href='http://h/a.gif'>a.gif</a> <a href='http://h/a'>a</a>"},
      {"escapes are never matched", "<BR>\n",
       Pairs({}, {{"http://h/BR", "BR"}, {"http://h/lt", "lt;"}}),
       "&lt;<a href='http://h/BR'>BR</a>><BR>"},
      {"URLs are escaped for their attribute", "a.gif",
       Pairs({}, {{"http://h/a.gif?x=1&y='2'", "a.gif"}}),
       "<a href='http://h/a.gif?x=1&amp;y=&#39;2&#39;'>a.gif</a>"},
      {"a name with < stays escaped inside its link", "<x<y.gif",
       Pairs({}, {{"http://h/x%3Cy.gif", "x<y.gif"}}),
       "&lt;<a href='http://h/x%3Cy.gif'>x&lt;y.gif</a>"},
      {"references that may not be linked stay text", "go.gif evil.gif",
       Pairs({{"javascript:alert(1)", "go.gif"}}, {{"data:text/html,<b>", "evil.gif"}}),
       "go.gif evil.gif"},
      {"pair 1's URL when pair 0's may not be linked", "go.gif",
       Pairs({{"javascript:x()", "go.gif"}}, {{"http://h/go.gif", "go.gif"}}),
       "<a href='http://h/go.gif'>go.gif</a>"},
      {"data images are linked", "d.png", Pairs({}, {{"data:image/png;base64,AA", "d.png"}}),
       "<a href='data:image/png;base64,AA'>d.png</a>"},
      {"empty names change nothing", "abc", Pairs({}, {{"http://h/", ""}}), "abc"},
      {"overlapping names: leftmost first", "ab.gif.gif",
       Pairs({}, {{"http://h/1", "ab.gif"}, {"http://h/2", "b.gif.gif"}}),
       "<a href='http://h/1'>ab.gif</a>.gif"},
      {"never inside a character reference of the page", "it&#039;s &#x27; &amp; #1 amp",
       Pairs({}, {{"http://h/1", "#"}, {"http://h/2", "x27"}, {"http://h/3", "amp"}}),
       "it&#039;s &#x27; &amp; <a href='http://h/1'>#</a>1 <a href='http://h/3'>amp</a>"},
      {"a name that holds a whole reference is linked", "a&amp;b.gif &amp",
       Pairs({}, {{"http://h/a&b.gif", "a&amp;b.gif"}, {"http://h/x", "amp"}}),
       "<a href='http://h/a&amp;b.gif'>a&amp;b.gif</a> &<a href='http://h/x'>amp</a>"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BuildSourceView(c.source, c.lists), c.expected) << c.name;
  }
}

TEST(BuildSourceView, LinksTheCensusNamesWhereNeitherPairHoldsThem) {
  const CensusImage lazy = Picture("http://h/big/pier.jpg", "pier.jpg", ImageKind::Lazy, 0, 0,
                                   {"http://h/small/pier-480.jpg"});
  const CensusImage shown = Picture("http://h/other/x.jpg", "x.jpg", ImageKind::Img, 0, 0, {});
  EXPECT_EQ(BuildSourceView("pier.jpg pier-480.jpg x.jpg", Pairs({}, {{"http://h/x.jpg", "x.jpg"}}),
                            {lazy, shown}),
            "<a href='http://h/big/pier.jpg'>pier.jpg</a> "
            "<a href='http://h/small/pier-480.jpg'>pier-480.jpg</a> "
            "<a href='http://h/x.jpg'>x.jpg</a>");
}

TEST(GalleryEntry, FormatAndEscaping) {
  const struct {
    std::string stored;
    std::string expected;
  } cases[] = {
      {"http://host/img/a.gif",
       "<a href='http://host/img/a.gif'><img src='http://host/img/a.gif'></a><BR>"
       "http://host/img/a.gif<BR><BR><BR>"},
      {"https://host/a.gif",
       "<a href='https://host/a.gif'><img src='https://host/a.gif'></a><BR>"
       "https://host/a.gif<BR><BR><BR>"},
      {"HTTP://HOST/A.GIF",
       "<a href='HTTP://HOST/A.GIF'><img src='HTTP://HOST/A.GIF'></a><BR>HTTP://HOST/A.GIF"
       "<BR><BR><BR>"},
      // Only a URL without any scheme gets "http://"; the caption stays as stored.
      {"host/img/a.gif",
       "<a href='http://host/img/a.gif'><img src='http://host/img/a.gif'></a><BR>"
       "host/img/a.gif<BR><BR><BR>"},
      {"http://h/a.gif?x=1&y='><script>",
       "<a href='http://h/a.gif?x=1&amp;y=&#39;&gt;&lt;script&gt;'><img "
       "src='http://h/a.gif?x=1&amp;y=&#39;&gt;&lt;script&gt;'></a><BR>"
       "http://h/a.gif?x=1&amp;y=&#39;&gt;&lt;script&gt;<BR><BR><BR>"},
      {"javascript:alert(1)", "javascript:alert(1)<BR><BR><BR>"},
      {"data:text/html,<script>x</script>",
       "data:text/html,&lt;script&gt;x&lt;/script&gt;<BR><BR><BR>"},
      {"data:image/gif;base64,R0",
       "<a href='data:image/gif;base64,R0'><img src='data:image/gif;base64,R0'></a><BR>"
       "data:image/gif;base64,R0<BR><BR><BR>"},
  };
  for (const auto& c : cases) EXPECT_EQ(GalleryEntry(c.stored), c.expected) << c.stored;
}

TEST(BuildGalleryPage, OneLineOfEntriesInListOrder) {
  EXPECT_EQ(BuildGalleryPage({}, {}), "");
  EXPECT_EQ(BuildGalleryPage({"http://h/1.gif", "http://h/2.gif"}, {"1.gif", "2.gif"}),
            GalleryEntry("http://h/1.gif") + GalleryEntry("http://h/2.gif"));
}

TEST(BuildGalleryPage, TheCensusAddsOnlyPicturesThePairDoesNotShow) {
  const std::vector<std::string> links{"http://h/a.gif", "http://files.tarnwick.example/b.gif"};
  const std::vector<std::string> names{"a.gif", "b.gif"};
  const std::string pairOnly = BuildGalleryPage(links, names);
  // Shown already: by its own URL, by another URL of the same picture, by the host-rewritten
  // form of a plain relative reference.
  const std::vector<CensusImage> nothingNew{
      Picture("http://h/a.gif", "a.gif", ImageKind::Img, 0, 0, {}),
      Picture("http://h/a-2x.gif", "a-2x.gif", ImageKind::Srcset, 0, 0, {"http://h/a.gif"}),
      Picture("http://members.tarnwick.example/b.gif", "b.gif", ImageKind::Img, 0, 0, {}),
  };
  EXPECT_EQ(BuildGalleryPage(links, names, nothingNew), pairOnly);

  std::vector<CensusImage> census = nothingNew;
  census.push_back(
      Picture("http://h/sea.jpg?w=1&h='2'", "sea.jpg", ImageKind::Lazy, 1600, 900, {}));
  census.push_back(Picture("http://h/hero.jpg", "hero.jpg", ImageKind::Background, 0, 0, {}));
  census.push_back(Picture("http://h/wide.jpg", "wide.jpg", ImageKind::Srcset, 1440, 0, {}));
  census.push_back(
      Picture("data:image/png;base64," + std::string(300, 'A'), "", ImageKind::Img, 0, 0, {}));
  const std::string page = BuildGalleryPage(links, names, census);
  const std::string data = "data:image/png;base64," + std::string(300, 'A');
  EXPECT_EQ(page, pairOnly + std::string(kFurtherImagesHeading) +
                      "<a href='http://h/sea.jpg?w=1&amp;h=&#39;2&#39;'><img "
                      "src='http://h/sea.jpg?w=1&amp;h=&#39;2&#39;'></a><BR>"
                      "http://h/sea.jpg?w=1&amp;h=&#39;2&#39; (lazy, 1600 \u00D7 900)<BR><BR><BR>"
                      "<a href='http://h/hero.jpg'><img src='http://h/hero.jpg'></a><BR>"
                      "http://h/hero.jpg (background)<BR><BR><BR>"
                      "<a href='http://h/wide.jpg'><img src='http://h/wide.jpg'></a><BR>"
                      "http://h/wide.jpg (srcset, 1440 px wide)<BR><BR><BR>"
                      "<a href='" +
                      data + "'><img src='" + data + "'></a><BR>" + data.substr(0, 48) +
                      "\u2026 (img)<BR><BR><BR>");
}

}  // namespace
}  // namespace velmora
