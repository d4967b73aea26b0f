// The generated views of the source: colours, lines and numbers, the text a reader copies, the
// links, the line that names a picture, and the work files they are written to.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "analysis/AnalyzePage.h"
#include "analysis/HtmlText.h"
#include "analysis/SourceView.h"
#include "analysis/SourceViews.h"
#include "fuzz/AnalysisInvariants.h"
#include "support/Printable.h"
#include "support/TempFolder.h"

namespace velmora {
namespace {

using testing::Printable;
using testing::ReadFile;
using testing::TempFolder;

constexpr SourceViewOptions kColours{false, false, true};
constexpr SourceViewOptions kPlain{false, false, false};

ListPairs ShownPictures(const std::vector<std::pair<std::string, std::string>>& urlAndName) {
  ListPairs lists;
  for (const auto& [url, name] : urlAndName) {
    lists.Links[kShownImagesPair].push_back(url);
    lists.frmList[kShownImagesPair].push_back(name);
  }
  return lists;
}

// What stands in the view's one block of lines.
std::string Body(const std::string& view) {
  constexpr std::string_view kBlock = "<div class=\"k\">";
  const std::size_t body = view.find("<body");
  const std::size_t start = view.find(kBlock, body) + kBlock.size();
  return view.substr(start, view.rfind("</div></body></html>") - start);
}

TEST(SourceViewPage, ColoursTagsAttributesCommentsAndTheDoctype) {
  const struct {
    std::string text;
    std::string body;
  } cases[] = {
      {"", "<div id=\"1\"></div>"},
      {"plain & 1<2", "<div id=\"1\">plain &amp; 1&lt;2</div>"},
      {"<!DOCTYPE html>", "<div id=\"1\"><span class=\"d\">&lt;!DOCTYPE html&gt;</span></div>"},
      {"<p class=\"x\" id=y hidden data-a = 'q r'>t</p>",
       "<div id=\"1\"><span class=\"t\">&lt;p</span> <span class=\"a\">class</span>=<span "
       "class=\"v\">\"x\"</span> <span class=\"a\">id</span>=<span class=\"v\">y</span> <span "
       "class=\"a\">hidden</span> <span class=\"a\">data-a</span> = <span class=\"v\">'q "
       "r'</span><span class=\"t\">&gt;</span>t<span class=\"t\">&lt;/p&gt;</span></div>"},
      {"<br/>",
       "<div id=\"1\"><span class=\"t\">&lt;br</span>/<span class=\"t\">&gt;</span></div>"},
      {"a<!-- <b> -->z", "<div id=\"1\">a<span class=\"c\">&lt;!-- &lt;b&gt; --&gt;</span>z</div>"},
      {"<!---->x<!-->y",
       "<div id=\"1\"><span class=\"c\">&lt;!----&gt;</span>x<span "
       "class=\"c\">&lt;!--&gt;</span>y</div>"},
      {"<?xml v?><![CDATA[a]]>",
       "<div id=\"1\"><span class=\"c\">&lt;?xml v?&gt;&lt;![CDATA[a]]&gt;</span></div>"},
      {"]]> </pre> a < b",
       "<div id=\"1\">]]&gt; <span class=\"t\">&lt;/pre&gt;</span> a &lt; "
       "b</div>"},
      // Script text is text up to the script's end tag, whatever it holds.
      {"<script>a<b&&'</p>'</script >",
       "<div id=\"1\"><span class=\"t\">&lt;script&gt;</span>a&lt;b&amp;&amp;'&lt;/p&gt;'<span "
       "class=\"t\">&lt;/script</span> <span class=\"t\">&gt;</span></div>"},
      {"<style>p<i{}</styles></style>",
       "<div id=\"1\"><span class=\"t\">&lt;style&gt;</span>p&lt;i{}&lt;/styles&gt;<span "
       "class=\"t\">&lt;/style&gt;</span></div>"},
      // What never ends runs to the end of the page.
      {"<a href=\"x",
       "<div id=\"1\"><span class=\"t\">&lt;a</span> <span "
       "class=\"a\">href</span>=<span class=\"v\">\"x</span></div>"},
      {"<!-- open", "<div id=\"1\"><span class=\"c\">&lt;!-- open</span></div>"},
      // A comment over two lines: each line closes its colour and opens it again.
      {"<!--a\r\nb-->",
       "<div id=\"1\"><span class=\"c\">&lt;!--a&#13;\n</span></div><div "
       "id=\"2\"><span class=\"c\">b--&gt;</span></div>"},
      {"<img\nsrc=x>",
       "<div id=\"1\"><span class=\"t\">&lt;img</span>\n</div><div id=\"2\"><span "
       "class=\"a\">src</span>=<span class=\"v\">x</span><span "
       "class=\"t\">&gt;</span></div>"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Body(BuildSourceViewPage(c.text, {}, {}, kColours)), c.body) << Printable(c.text);
  }
}

TEST(SourceViewPage, OneNumberedLineForEachLineOfThePage) {
  const struct {
    std::string text;
    std::string body;
  } cases[] = {
      {"a\nb", "<div id=\"1\">a\n</div><div id=\"2\">b</div>"},
      {"a\r\nb", "<div id=\"1\">a&#13;\n</div><div id=\"2\">b</div>"},
      {"a\rb", "<div id=\"1\">a&#13;</div><div id=\"2\">b</div>"},
      {"a\n\r\n", "<div id=\"1\">a\n</div><div id=\"2\">&#13;\n</div><div id=\"3\"></div>"},
      {"\r\r", "<div id=\"1\">&#13;</div><div id=\"2\">&#13;</div><div id=\"3\"></div>"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Body(BuildSourceViewPage(c.text, {}, {}, kPlain)), c.body) << Printable(c.text);
  }
}

TEST(SourceViewPage, TheOptionsChooseTheBodysClassesAndTheSpans) {
  const struct {
    SourceViewOptions options;
    std::string body;
  } cases[] = {
      {{false, false, false}, "<body><div class=\"k\"><div id=\"1\">&lt;b&gt;</div></div>"},
      {{true, false, true},
       "<body class=\"w\"><div class=\"k\"><div id=\"1\"><span "
       "class=\"t\">&lt;b&gt;</span></div></div>"},
      {{false, true, false},
       "<body class=\"n\"><div class=\"k\"><div id=\"1\">&lt;b&gt;</div></div>"},
      {{true, true, true},
       "<body class=\"w n\"><div class=\"k\"><div id=\"1\"><span "
       "class=\"t\">&lt;b&gt;</span></div></div>"},
  };
  for (const auto& c : cases) {
    const std::string view = BuildSourceViewPage("<b>", {}, {}, c.options);
    EXPECT_TRUE(view.ends_with(c.body + "</body></html>")) << view;
  }
}

// How many times `what` stands in `view`.
std::size_t Count(std::string_view view, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t at = view.find(what); at != std::string_view::npos;
       at = view.find(what, at + 1)) {
    ++n;
  }
  return n;
}

std::string Lines(std::size_t count, const std::string& line) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += (i ? "\n" : "") + line;
  return text;
}

TEST(SourceViewPage, LinesComeInBlocksAndLongUnwrappedLinesInPieces) {
  std::string accents;
  while (accents.size() < 6000) accents += "\xE2\x82\xAC";  // €, three bytes
  std::string tags;
  while (tags.size() < 9000) tags += "<td class=\"c\">pic.gif</td>";
  const struct {
    std::string name;
    std::string text;
    SourceViewOptions options;
    std::size_t blocks;
    std::size_t pieces;
  } cases[] = {
      {"one line", "x", kPlain, 1, 0},
      {"100 lines", Lines(100, "x"), kPlain, 1, 0},
      {"101 lines", Lines(101, "x"), kPlain, 2, 0},
      {"250 lines", Lines(250, "x"), {true, true, true}, 3, 0},
      {"a line of 4096 bytes", std::string(4096, 'x'), kPlain, 1, 0},
      {"a line of 4097 bytes", std::string(4097, 'x'), kPlain, 1, 5},
      {"a line of 10,000 bytes, wrapped", std::string(10'000, 'x'), {true, false, false}, 1, 0},
      {"two long lines", Lines(2, std::string(10'000, 'x')), kPlain, 1, 20},
      {"three-byte characters", accents, kPlain, 1, 6},
      {"coloured tags and links", tags, {false, true, true}, 1, 9},
  };
  const ListPairs lists = ShownPictures({{"http://h/pic.gif", "pic.gif"}});
  for (const auto& c : cases) {
    const std::string view = BuildSourceViewPage(c.text, lists, {}, c.options);
    EXPECT_EQ(Count(view, "<div class=\"k\">"), c.blocks) << c.name;
    EXPECT_EQ(Count(view, "<span class=\"p\">"), c.pieces) << c.name;
    // A block starts before lines 1, 101, 201...
    for (std::size_t block = 0; block < c.blocks; ++block) {
      EXPECT_NE(view.find("<div class=\"k\"><div id=\"" + LineAnchor(block * 100 + 1) + "\">"),
                std::string::npos)
          << c.name << " block " << block;
    }
    // Each piece holds whole characters; pieces change nothing of the text.
    for (std::size_t at = view.find("<span class=\"p\">"); at != std::string::npos;
         at = view.find("<span class=\"p\">", at + 1)) {
      const std::size_t from = at + 16;
      EXPECT_NE(static_cast<unsigned char>(view[from]) & 0xC0, 0x80) << c.name << " at " << at;
    }
    EXPECT_EQ(CopiedText(view), c.text) << c.name;
  }
}

TEST(SourceViewPage, CopyingAnyViewGivesThePagesTextAlone) {
  const std::string longLine(5'000'000, 'x');
  const std::string lineOfTags = [] {
    std::string page;
    while (page.size() < 5'000'000) page += "<td class=\"c\">&nbsp;</td>";
    return page;
  }();
  const struct {
    std::string name;
    std::string text;
    std::string copied;
  } cases[] = {
      {"markup", "<p a=\"1\">x</p>\r\n<!-- c -->\n", "<p a=\"1\">x</p>\r\n<!-- c -->\n"},
      {"references stay as written", "&amp; &lt; &#13; &#x41;", "&amp; &lt; &#13; &#x41;"},
      {"text that would end or start markup", "</pre></body><script>x()</script><!-- ]]> -->",
       "</pre></body><script>x()</script><!-- ]]> -->"},
      {"a NUL", std::string("a\0b", 3), "a\uFFFDb"},
      {"invalid UTF-8", "caf\xE9 \xFF\xFE", "caf\uFFFD \uFFFD\uFFFD"},
      {"a line of 5 MB", longLine, longLine},
      {"a line of 5 MB of tags", lineOfTags, lineOfTags},
  };
  const ListPairs lists = ShownPictures({{"http://h/pic.gif", "pic.gif"}});
  for (const auto& c : cases) {
    for (const bool wrap : {false, true}) {
      for (const bool numbers : {false, true}) {
        for (const bool colours : {false, true}) {
          const std::string view = BuildSourceViewPage(c.text, lists, {}, {wrap, numbers, colours});
          EXPECT_EQ(CopiedText(view), c.copied)
              << c.name << " wrap " << wrap << " numbers " << numbers << " colours " << colours;
        }
      }
    }
  }
}

TEST(SourceViewPage, LinksEachPictureNameOnceAndNeverInsideAReference) {
  const ListPairs lists = ShownPictures({{"http://h/img/pic.gif", "pic.gif"},
                                         {"http://h/039.gif?a=1&b='2'", "039.gif"},
                                         {"http://h/x27", "x27"}});
  const struct {
    std::string text;
    std::string body;
  } cases[] = {
      {"<img src=\"img/pic.gif\">",
       "<div id=\"1\"><span class=\"t\">&lt;img</span> <span class=\"a\">src</span>=<span "
       "class=\"v\">\"img/<a href='http://h/img/pic.gif'>pic.gif</a>\"</span><span "
       "class=\"t\">&gt;</span></div>"},
      {"pic.gifpic.gif",
       "<div id=\"1\"><a href='http://h/img/pic.gif'>pic.gif</a><a "
       "href='http://h/img/pic.gif'>pic.gif</a></div>"},
      {"&#039.gif &#x27; 039.gif",
       "<div id=\"1\">&amp;#039.gif &amp;#x27; <a "
       "href='http://h/039.gif?a=1&amp;b=&#39;2&#39;'>039.gif</a></div>"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Body(BuildSourceViewPage(c.text, lists, {}, kColours)), c.body) << c.text;
  }
}

TEST(ShownView, TheDefaultViewIsSourceHtm) {
  const ListPairs lists = ShownPictures({{"http://h/a.gif", "a.gif"}});
  for (const std::string body : {"<p>&amp; a.gif\r\n</p>", "bad \xFF byte", ""}) {
    StringSink shown;
    WriteShownView(body, lists, {}, SourceViewOptions{}, shown);
    EXPECT_EQ(shown.Take(), BuildSourceView(html::WellFormedUtf8(body), lists)) << body;
    EXPECT_EQ(ShownViewFile(SourceViewOptions{}), workfile::kSourceView);
    for (const SourceViewOptions options :
         {SourceViewOptions{false, false, false}, SourceViewOptions{true, true, false},
          SourceViewOptions{true, false, true}}) {
      StringSink other;
      WriteShownView(body, lists, {}, options, other);
      EXPECT_EQ(other.Take(), BuildSourceViewPage(body, lists, {}, options)) << body;
      EXPECT_EQ(ShownViewFile(options), workfile::kShownView);
    }
  }
}

TEST(SourceViewFiles, EachViewIsReplacedWholeAndEndsWithCrLf) {
  TempFolder dir;
  const WorkFiles files(dir.path());
  const ListPairs lists = ShownPictures({{"http://h/a.gif", "a.gif"}});
  const SourceViewOptions numbered{true, true, false};
  ASSERT_FALSE(WriteServedView("caf\xE9 a.gif", "", lists, {}, numbered, files));
  EXPECT_EQ(ReadFile(dir / "served.htm"),
            BuildSourceViewPage("caf\u00E9 a.gif", lists, {}, numbered) + "\r\n");
  ASSERT_FALSE(WriteServedView("<b>x</b>", "utf-8", {}, {}, numbered, files));
  EXPECT_EQ(ReadFile(dir / "served.htm"),
            BuildSourceViewPage("<b>x</b>", {}, {}, numbered) + "\r\n");

  ASSERT_FALSE(WriteShownView("<i>a.gif</i>", lists, {}, numbered, files));
  EXPECT_EQ(ReadFile(dir / "shown.htm"),
            BuildSourceViewPage("<i>a.gif</i>", lists, {}, numbered) + "\r\n");
  ASSERT_FALSE(WriteShownView("<i>a.gif</i>", lists, {}, SourceViewOptions{}, files));
  EXPECT_EQ(ReadFile(dir / "source.htm"), BuildSourceView("<i>a.gif</i>", lists) + "\r\n");

  const WorkFiles missing(dir / "no-such-folder");
  EXPECT_TRUE(WriteServedView("x", "", {}, {}, numbered, missing));
  EXPECT_FALSE(std::filesystem::exists(dir / "no-such-folder"));
}

TEST(FirstLineNaming, TheLineOfTheFirstPlaceAViewMayLinkTheName) {
  const struct {
    std::string text;
    std::string name;
    std::size_t line;
  } cases[] = {
      {"<img src=a.gif>", "a.gif", 1},
      {"x\ny\n<img src=a.gif>\na.gif", "a.gif", 3},
      {"x\r\ny\r\n<img src=a.gif>", "a.gif", 3},
      {"x\ry\r\r<img src=a.gif>", "a.gif", 4},
      {"<p>&#39.gif\n39.gif", "39.gif", 2},  // the first lies inside a reference
      {"nothing here", "a.gif", 0},
      {"a.gif", "", 0},
  };
  for (const auto& c : cases) {
    const std::size_t line = FirstLineNaming(c.text, c.name);
    EXPECT_EQ(line, c.line) << Printable(c.text);
    if (line == 0) continue;
    // The view's line of that number holds the name, linked.
    const ListPairs lists = ShownPictures({{"http://h/" + c.name, c.name}});
    const std::string view = BuildSourceViewPage(c.text, lists, {}, kPlain);
    const std::size_t div = view.find("<div id=\"" + LineAnchor(line) + "\">");
    ASSERT_NE(div, std::string::npos) << Printable(c.text);
    const std::string shownLine = view.substr(div, view.find("</div>", div) - div);
    EXPECT_NE(shownLine.find(">" + c.name + "</a>"), std::string::npos) << Printable(c.text);
  }
}

// "Show in Source Code" looks for a picture under every name a view may show it by: the file
// names of its addresses and what the list pairs recorded for them as the page writes them.
TEST(FirstLineNamingAny, TheFirstLineThatNamesThePictureByAnyOfItsNames) {
  CensusImage picture;
  picture.url = "http://h/img/my%20pic.gif";
  picture.name = "my%20pic.gif";
  picture.alsoAt = {"http://h/img/pic-2x.gif"};
  const PictureEntry entry = OnePerPicture({picture}).front();
  ListPairs lists = ShownPictures(
      {{"http://h/img/my pic.gif", "my pic.gif"}, {"http://h/other.gif", "other.gif"}});
  lists.Links[kLinkedImagesPair].push_back("HTTP://H/img/pic-2x.gif");
  lists.frmList[kLinkedImagesPair].push_back("pic-2x.gif?big");
  const std::vector<std::string> names = NamesOfPicture(entry, lists);
  for (const char* name : {"my%20pic.gif", "pic-2x.gif", "my pic.gif", "pic-2x.gif?big"}) {
    EXPECT_EQ(std::count(names.begin(), names.end(), name), 1) << name;
  }
  EXPECT_EQ(std::count(names.begin(), names.end(), "other.gif"), 0);

  const struct {
    std::string text;
    std::size_t line;
    std::string name;
  } cases[] = {
      {"<p>other.gif\n<img src=\"img/my pic.gif\">\n<a href=pic-2x.gif>", 2, "my pic.gif"},
      {"x\r\n<img srcset=\"pic-2x.gif 2x\">\r\n<img src=my%20pic.gif>", 2, "pic-2x.gif"},
      {"<img src=\"other.gif\">", 0, ""},
  };
  for (const auto& c : cases) {
    const NamingLine found = FirstLineNamingAny(c.text, names);
    EXPECT_EQ(found.line, c.line) << Printable(c.text);
    EXPECT_EQ(found.name, c.name) << Printable(c.text);
  }
}

}  // namespace
}  // namespace velmora
