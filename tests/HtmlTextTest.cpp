// Attribute text decoding, escaping for generated pages, and UTF-8 clean-up.
#include <gtest/gtest.h>

#include <string>

#include "analysis/HtmlText.h"

namespace velmora::html {
namespace {

struct TextCase {
  std::string input;
  std::string expected;
};

TEST(DecodeCharacterReferences, Table) {
  const TextCase cases[] = {
      {"a.gif?x=1&amp;y=2", "a.gif?x=1&y=2"},
      {"img&#47;a.gif", "img/a.gif"},
      {"img&#x2F;a.gif", "img/a.gif"},
      {"img&#X2f;a.gif", "img/a.gif"},
      {"&#47a.gif", "/a.gif"},  // numeric without ";"
      {"&lt;&gt;&quot;&apos;", "<>\"'"},
      {"a&nbsp;b",
       "a\xC2\xA0"
       "b"},
      {"&amp", "&"},
      {"?a=1&amp=2", "?a=1&amp=2"},  // no ";" and "=" follows: stays
      {"?x&ampy", "?x&ampy"},        // no ";" and a letter follows: stays
      {"&unknown;", "&unknown;"},
      {"&", "&"},
      {"&#", "&#"},
      {"&#x;", "&#x;"},
      {"&#0;", "\xEF\xBF\xBD"},
      {"&#xD800;", "\xEF\xBF\xBD"},
      {"&#x110000;", "\xEF\xBF\xBD"},
      {"&#99999999999999999999;", "\xEF\xBF\xBD"},
      {"&#128;", "\xE2\x82\xAC"},  // windows-1252 euro sign
      {"&#233;t&#xE9;", "\xC3\xA9t\xC3\xA9"},
      {"no references", "no references"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeCharacterReferences(c.input), c.expected) << "input: " << c.input;
  }
}

TEST(Escape, AttributeAndTextEscapeEveryMarkupCharacter) {
  EXPECT_EQ(EscapeAttribute("http://h/a.gif?x=1&y='2'\"<>"),
            "http://h/a.gif?x=1&amp;y=&#39;2&#39;&quot;&lt;&gt;");
  EXPECT_EQ(EscapeText("<script>alert('x')</script>"),
            "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;");
  EXPECT_EQ(EscapeText("plain"), "plain");
}

TEST(WellFormedUtf8, Table) {
  const std::string fffd = "\xEF\xBF\xBD";
  const TextCase cases[] = {
      {"plain ascii", "plain ascii"},
      {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},
      {std::string("a\0b", 3), "a" + fffd + "b"},
      {"a\xFF"
       "b",
       "a" + fffd + "b"},
      {"a\xC3", "a" + fffd},
      {"\x80\x80", fffd + fffd},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WellFormedUtf8(c.input), c.expected);
  }
}

}  // namespace
}  // namespace velmora::html
