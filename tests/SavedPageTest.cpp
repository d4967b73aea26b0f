// Reading saved pages: the body a browser would hand over, and the document's base.
#include <gtest/gtest.h>

#include <string>

#include "analysis/SavedPage.h"

namespace velmora {
namespace {

TEST(ExtractBody, Table) {
  const struct {
    std::string document;
    std::string expected;
  } cases[] = {
      {"<html><head><title>t</title></head><BODY class=x>hi</BODY></html>",
       "<BODY class=x>hi</BODY>"},
      {"<body>a</body>b</body>c", "<body>a</body>b</body>"},
      {"<body>\nno end", "<body>\nno end"},
      {"<p>only a fragment <img src=x></p>", "<p>only a fragment <img src=x></p>"},
      {"<bodyguard>not a body</bodyguard>", "<bodyguard>not a body</bodyguard>"},
      {"<head></head><body\n>x</body >", "<body\n>x</body >"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ExtractBody(c.document), c.expected) << c.document;
}

TEST(FindBaseHref, Table) {
  const struct {
    std::string document;
    std::string expected;
  } cases[] = {
      {"<head><base href=\"https://cdn.example/a/\"></head>", "https://cdn.example/a/"},
      {"<BASE target=_top HREF='/static/'>", "/static/"},
      {"<base href=\"https://h/?a=1&amp;b=2\">", "https://h/?a=1&b=2"},
      {"<basefont href=\"x\"><base href=y>", "y"},
      {"<base target=_blank><base href=\"z/\">", "z/"},
      {"<p>no base</p>", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FindBaseHref(c.document), c.expected) << c.document;
}

TEST(FindTitle, Table) {
  const struct {
    std::string document;
    std::string expected;
  } cases[] = {
      {"<head><TITLE lang=en>Tides &amp; Times</TITLE></head>", "Tides & Times"},
      {"<title>\n  Two\n lines </title>", "\n  Two\n lines "},
      {"<titles>no</titles><title>yes</title><title>second</title>", "yes"},
      {"<title>never closed", "never closed"},
      {"<p>no title</p>", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FindTitle(c.document), c.expected) << c.document;
}

}  // namespace
}  // namespace velmora
