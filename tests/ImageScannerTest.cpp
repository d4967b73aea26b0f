// The scanner family: tag lines, value cuts, and what each scanner records for a page.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "analysis/ImageScanner.h"
#include "analysis/UrlHelpers.h"

namespace velmora {
namespace {

using Rows = std::vector<std::pair<std::string, std::string>>;  // (URL, name)

struct Scan {
  Rows rows;
  std::string scratch;
};

Scan RunScan(const std::string& page, const std::string& base, const ScannerParams& params) {
  std::vector<std::string> links;
  std::vector<std::string> names;
  const ReferenceResolver resolver(base);
  Scan scan;
  scan.scratch = ScanReferences(page, resolver, params, links, names);
  EXPECT_EQ(links.size(), names.size());
  for (std::size_t i = 0; i < links.size(); ++i) scan.rows.emplace_back(links[i], names[i]);
  return scan;
}

std::vector<std::string> TagLines(const std::string& page, const ScannerParams& params) {
  std::vector<std::string> lines;
  ForEachTagLine(page, params, [&](std::string_view line) { lines.emplace_back(line); });
  return lines;
}

TEST(ForEachTagLine, SplitsAtOpenersAndLineEnds) {
  struct Case {
    std::string page;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"", {}},
      {"no tags here", {}},
      {"x <img src=a> y <IMG src=b> z\r\nnext", {"<img src=a> y ", "<IMG src=b> z"}},
      {"<img src=a>\nafter\n<img src=b>", {"<img src=a>", "<img src=b>"}},
      {"<img src=a>\rafter", {"<img src=a>"}},
      // A tag whose ">" is on a later line continues there, line breaks read as spaces.
      {"<img\r\n  src=\"m.gif\"\r\n  alt=x> tail\r\nnot this",
       {"<img   src=\"m.gif\"   alt=x> tail"}},
      {"<img\nsrc=a.gif\n<img src=b>", {"<img src=a.gif ", "<img src=b>"}},
      // ... but never past the next opener, and to the end when nothing closes it.
      {"<img src=a <img src=b>", {"<img src=a ", "<img src=b>"}},
      {"<img src=a\nb", {"<img src=a b"}},
      {"<img<img<img", {"<img", "<img", "<img"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TagLines(c.page, kImageTagScan), c.expected) << "page: " << c.page;
  }
  EXPECT_EQ(TagLines("<a href=x><A HREF=y>\n<a\thref=z>", kImageLinkScan),
            (std::vector<std::string>{"<a href=x>", "<A HREF=y>"}));
}

TEST(CutAttributeValue, Table) {
  struct Case {
    std::string line;
    std::string key;
    std::string expected;
  };
  const Case cases[] = {
      {"<img src=\"http://cdn/x/p.gif\">", "src=", "http://cdn/x/p.gif"},
      {"<img src='../c/q.jpg'>", "src=", "../c/q.jpg"},
      {"<IMG SRC=\"/r.gif\" width=4>", "src=", "/r.gif"},
      // An unquoted value ends at the first blank or ">".
      {"<img src=u.gif width=5>", "src=", "u.gif"},
      {"<img src=v.gif>", "src=", "v.gif"},
      {"<img src=t\tab.gif>", "src=", "t"},
      {"<img src=e.gif", "src=", "e.gif"},
      // A quoted value ends at its own closing quote.
      {"<img src=\"it's.gif\">", "src=", "it's.gif"},
      {"<img src='say \"hi\".gif'>", "src=", "say hi.gif"},
      {"<img src=\"a b.gif\" alt=\"x\">", "src=", "a b.gif"},
      {"<img src=\"\" alt=\"x\">", "src=", ""},
      {"<img src=\"open.gif", "src=", "open.gif"},
      {"<img src=>", "src=", ""},
      // The first key counts, also inside a longer attribute name.
      {"<img data-src=\"lazy.webp\" src=\"ph.gif\">", "src=", "lazy.webp"},
      // A ">" before the key: the key is not this tag's.
      {"<img alt=x> <p src=\"a.gif\">", "src=", ""},
      {"<img alt=x>", "src=", ""},
      {"<a href=\"big/p1.jpg\"><img src=\"small/p1.gif\">", "href=", "big/p1.jpg"},
      {"<a HREF='/photos/x.GIF'>", "href=", "/photos/x.GIF"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CutAttributeValue(c.line, c.key), c.expected) << "line: " << c.line;
  }
}

TEST(HasImageExtension, KnowsEveryImageExtensionInAnyCase) {
  for (const char* line : {"a.bmp", "a.GIF", "a.jpeg", "a.Jpg", "a.png", "a.webp", "a.SVG",
                           "x.avif?y", "<a href=p.html><img src=b.gif>"}) {
    EXPECT_TRUE(HasImageExtension(line)) << line;
  }
  for (const char* line : {"", "a.html", "gif", "a.tiff", "a.jp", "a_png"}) {
    EXPECT_FALSE(HasImageExtension(line)) << line;
  }
}

TEST(ScanImageTags, RecordsEachShownImageOnce) {
  struct Case {
    std::string name;
    std::string page;
    std::string base;
    Rows expected;
  };
  const std::string base = "http://host/a/b/page.html";
  const Case cases[] = {
      {"examples",
       "<img src=\"http://cdn/x/p.gif\"><img src='../c/q.jpg'>\r\n<img src=\"/r.gif\">"
       "<img src=\"s/t.png\"><img src=u.gif width=5><img src=v.gif>",
       base,
       {{"http://cdn/x/p.gif", "p.gif"},
        {"http://host/a/c/q.jpg", "q.jpg"},
        {"http://host/r.gif", "r.gif"},
        {"http://host/a/b/s/t.png", "t.png"},
        {"http://host/a/b/u.gif", "u.gif"},
        {"http://host/a/b/v.gif", "v.gif"}}},
      {"no image tags", "<p>text</p><a href=x.gif>x</a>", base, {}},
      {"upper and mixed case",
       "<IMG SRC=\"A.GIF\"><iMg sRc='b.gif'>",
       base,
       {{"http://host/a/b/A.GIF", "A.GIF"}, {"http://host/a/b/b.gif", "b.gif"}}},
      {"same name under two folders: first wins",
       "<img src=\"one/x.gif\"><img src=\"two/x.gif\"><img src=\"one/x.gif\">",
       base,
       {{"http://host/a/b/one/x.gif", "x.gif"}}},
      {"names differing in case are different",
       "<img src=x.gif><img src=X.gif>",
       base,
       {{"http://host/a/b/x.gif", "x.gif"}, {"http://host/a/b/X.gif", "X.gif"}}},
      {"empty values record nothing", "<img src=\"\"><img src=><img src=' '>", base, {}},
      {"a line with > before src= is skipped and the scan goes on",
       "<img alt=\"a\">text<p src=\"no.gif\">\n<img src=\"yes.gif\">",
       base,
       {{"http://host/a/b/yes.gif", "yes.gif"}}},
      {"a tag without src= is skipped",
       "<img alt=1>\n<img src=k.gif>",
       base,
       {{"http://host/a/b/k.gif", "k.gif"}}},
      {"a tag split over lines",
       "<img\r\n   src=\"split.gif\"\r\n   alt=\"\">",
       base,
       {{"http://host/a/b/split.gif", "split.gif"}}},
      {"character references are decoded for the URL, not for the name",
       "<img src=\"pics&#47;a.gif?x=1&amp;y=2\">",
       base,
       {{"http://host/a/b/pics/a.gif?x=1&y=2", "pics&#47;a.gif?x=1&amp;y=2"}}},
      {"https, protocol-relative and root-relative on an https page",
       "<img src=\"https://cdn.example/a.png\"><img src=\"//img.example/b.png\">"
       "<img src=\"/c.png\">",
       "https://www.example/p/index.html",
       {{"https://cdn.example/a.png", "a.png"},
        {"https://img.example/b.png", "b.png"},
        {"https://www.example/c.png", "c.png"}}},
      {"a bare host keeps its host",
       "<img src=\"/r.gif\"><img src=\"s.gif\">",
       "http://host.com",
       {{"http://host.com/r.gif", "r.gif"}, {"http://host.com/s.gif", "s.gif"}}},
      {"a data: image is recorded as it stands",
       "<img src=\"data:image/gif;base64,R0lGOD/lh\">",
       base,
       {{"data:image/gif;base64,R0lGOD/lh", "lh"}}},
      {"nothing relative without a base",
       "<img src=\"x.gif\"><img src=\"http://h/y.gif\">",
       "about:blank",
       {{"http://h/y.gif", "y.gif"}}},
      {"the host rewrite applies to plain relative references only",
       "<img src=\"x.gif\"><img src=\"/y.gif\">",
       "http://members.tarnwick.example/u/p.html",
       {{"http://files.tarnwick.example/u/x.gif", "x.gif"},
        {"http://members.tarnwick.example/y.gif", "y.gif"}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RunScan(c.page, c.base, kImageTagScan).rows, c.expected) << c.name;
  }
}

TEST(ScanImageLinks, RecordsLinksThatLeadToImages) {
  struct Case {
    std::string name;
    std::string page;
    Rows expected;
  };
  const Case cases[] = {
      {"link wrapping a thumbnail",
       "<a href=\"big/p1.jpg\"><img src=\"small/p1.gif\"></a>",
       {{"http://host/a/big/p1.jpg", "p1.jpg"}}},
      {"single quotes, upper-case extension",
       "<a href='/photos/x.GIF'>x</a>",
       {{"http://host/photos/x.GIF", "x.GIF"}}},
      {"a page link wrapping an image is recorded too",
       "<a href=\"next.html\"><img src=\"btn.gif\"></a>",
       {{"http://host/a/next.html", "next.html"}}},
      {"text-only page links are not", "<a href=\"next.html\">next</a>", {}},
      {"cgi-bin/i/ is removed in any case",
       "<a href=\"/CGI-BIN/i/pic.jpg\">p</a>",
       {{"http://host/pic.jpg", "pic.jpg"}}},
      {"newer image formats",
       "<a href=\"a.png\">a</a><a href=\"b.webp\">b</a>"
       "<a href=\"c.svg\">c</a><a href=\"d.avif\">d</a>",
       {{"http://host/a/a.png", "a.png"},
        {"http://host/a/b.webp", "b.webp"},
        {"http://host/a/c.svg", "c.svg"},
        {"http://host/a/d.avif", "d.avif"}}},
      {"upper-case tags", "<A HREF=\"Z.JPG\">z</A>", {{"http://host/a/Z.JPG", "Z.JPG"}}},
      {"the opener needs its space", "<a\nhref=\"n.jpg\">n</a><a\thref=\"t.jpg\">t</a>", {}},
      {"linked twice, recorded once",
       "<a href=\"x/d.jpg\">1</a><a href=\"y/d.jpg\">2</a>",
       {{"http://host/a/x/d.jpg", "d.jpg"}}},
      {"a link line needs its >", "<a href=\"n.jpg\"", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RunScan(c.page, "http://host/a/page.html", kImageLinkScan).rows, c.expected)
        << c.name;
  }
}

TEST(ScanReferences, ScratchTextHoldsTheTagLines) {
  EXPECT_EQ(RunScan("", "http://h/", kImageTagScan).scratch, "\r\n");
  EXPECT_EQ(
      RunScan("<p>x <IMG SRC=a.gif> y <img src=b.gif>\r\n<b>", "http://h/", kImageTagScan).scratch,
      "<img SRC=a.gif> y \r\n<img src=b.gif>\r\n\r\n");
  EXPECT_EQ(RunScan("<A HREF=x.jpg>x</a>", "http://h/", kImageLinkScan).scratch,
            "<a HREF=x.jpg>x</a>\r\n\r\n");
}

TEST(ScanReferences, KeepsRowsAlreadyInThePairAndHasNoRowLimit) {
  std::vector<std::string> links{"http://h/old.gif"};
  std::vector<std::string> names{"old.gif"};
  std::string page = "<img src=old.gif>";
  constexpr int kImages = 40000;  // more than a 16-bit row counter holds
  for (int i = 0; i < kImages; ++i) page += "<img src=\"p" + std::to_string(i) + ".gif\">\n";
  const ReferenceResolver resolver("http://h/");
  ScanReferences(page, resolver, kImageTagScan, links, names);
  ASSERT_EQ(names.size(), static_cast<std::size_t>(kImages) + 1);
  EXPECT_EQ(names.front(), "old.gif");
  EXPECT_EQ(links.back(), "http://h/p39999.gif");
}

}  // namespace
}  // namespace velmora
