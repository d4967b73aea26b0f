// The URL helpers: directory of a URL, file name of a value, and resolution of references.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "analysis/UrlHelpers.h"

namespace velmora {
namespace {

struct TextCase {
  std::string input;
  std::string expected;
};

TEST(UrlBaseDirectory, Table) {
  const TextCase cases[] = {
      {"http://host/dir/page.html", "http://host/dir/"},
      {"http://host/dir/", "http://host/"},
      {"http://host/", "host/"},
      {"http://host", "host/"},
      {"host/a/b.gif", "host/a/"},
      {"b.gif", "b.gif/"},
      {"", "/"},
      {"HTTP://HOST/A/B.GIF", "http://HOST/A/"},
      {"http://host/cgi?u=http://other/x.gif", "http://host/cgi?u=other/"},
      {"http://host/dir//x.gif", "http://host/dir//"},
      // https is a scheme like http.
      {"https://host/dir/page.html", "https://host/dir/"},
      {"HTTPS://HOST/A/", "https://HOST/"},
      {"https://host/", "host/"},
      {"https://host/cgi?u=http://other/x.gif", "https://host/cgi?u=other/"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UrlBaseDirectory(c.input), c.expected) << "url: " << c.input;
  }
}

TEST(CleanLinkValue, Table) {
  const TextCase cases[] = {
      {"http://host/img/pic.gif", "pic.gif"},
      {"img/pic.gif\"", "pic.gif"},
      {"pic.gif\" border=0", "pic.gif0"},
      {"a/b/c.jpg border=1", "c.jpg1"},
      {"HTTP://HOST/X.GIF", "X.GIF"},
      {"dir/", ""},
      {"https://host/x/y.png", "y.png"},
      {"pic.gif", "pic.gif"},
      {"a.gif?x=1&amp;y=2", "a.gif?x=1&amp;y=2"},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CleanLinkValue(c.input), c.expected) << "value: " << c.input;
  }
}

TEST(UrlClassification, SchemesLinkabilityAndRelativeness) {
  struct Case {
    std::string url;
    bool scheme;
    bool linkable;
    bool plainRelative;
  };
  const Case cases[] = {
      {"http://h/x.gif", true, true, false},
      {"HTTPS://h/x.gif", true, true, false},
      {"ftp://h/x.gif", true, true, false},
      {"file:///x.gif", true, true, false},
      {"data:image/png;base64,AA", true, true, false},
      {"DATA:IMAGE/gif,xx", true, true, false},
      {"data:text/html,<script>", true, false, false},
      {"javascript:alert(1)", true, false, false},
      {"mailto:a@b", true, false, false},
      {"x.gif", false, false, true},
      {"dir/x.gif", false, false, true},
      {"../x.gif", false, false, false},
      {"/x.gif", false, false, false},
      {"//h/x.gif", false, false, false},
      {"1http://x", false, false, true},
      {"x.gif?u=http://other/", false, false, true},
      {"", false, false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HasScheme(c.url), c.scheme) << c.url;
    EXPECT_EQ(IsLinkableUrl(c.url), c.linkable) << c.url;
    EXPECT_EQ(IsPlainRelativeReference(c.url), c.plainRelative) << c.url;
  }
}

struct ResolveCase {
  std::string base;
  std::string reference;
  std::optional<std::string> expected;
  bool rewriteHost = false;
};

TEST(ReferenceResolver, ResolvesAsABrowserDoes) {
  const ResolveCase cases[] = {
      // The image-tag examples for http://host/a/b/page.html.
      {"http://host/a/b/page.html", "http://cdn/x/p.gif", "http://cdn/x/p.gif"},
      {"http://host/a/b/page.html", "../c/q.jpg", "http://host/a/c/q.jpg"},
      {"http://host/a/b/page.html", "/r.gif", "http://host/r.gif"},
      {"http://host/a/b/page.html", "s/t.png", "http://host/a/b/s/t.png"},
      {"http://host/a/b/page.html", "../../x.gif", "http://host/x.gif"},
      {"http://host/a/b/page.html", "../../../../x.gif", "http://host/x.gif"},
      // A bare host keeps its host for root-relative and relative values.
      {"http://host.com", "/x.png", "http://host.com/x.png"},
      {"http://host.com", "x.png", "http://host.com/x.png"},
      // https pages, protocol-relative references.
      {"https://host/a/page", "//cdn.example/x.png", "https://cdn.example/x.png"},
      {"https://host/a/page", "/r.gif", "https://host/r.gif"},
      {"http://host/a/page", "//cdn.example/x.png", "http://cdn.example/x.png"},
      // "http://" inside a query does not make a reference absolute.
      {"http://host/a/page", "x.gif?u=http://other/y.gif",
       "http://host/a/x.gif?u=http://other/y.gif"},
      // Other schemes stand as they are.
      {"http://host/a/", "data:image/png;base64,AAA/BB", "data:image/png;base64,AAA/BB"},
      {"http://host/a/", "javascript:alert(1)", "javascript:alert(1)"},
      // Normalisation: scheme and host case, default port, dot segments, empty path.
      {"http://host/a/", "HTTP://HOST.Example:80/A/../B.GIF", "http://host.example/B.GIF"},
      {"http://host/a/", "https://h.example:443", "https://h.example/"},
      {"http://host/a/", "http://h.example:8080/x", "http://h.example:8080/x"},
      // Characters a URL cannot hold are percent-encoded; tabs and line breaks are dropped.
      {"http://host/a/", "my pic.gif", "http://host/a/my%20pic.gif"},
      {"http://host/a/", "\xC3\xA9t\xC3\xA9.gif", "http://host/a/%C3%A9t%C3%A9.gif"},
      {"http://host/a/", "x\n.g\tif", "http://host/a/x.gif"},
      {"http://host/a/", "  x.gif  ", "http://host/a/x.gif"},
      {"http://host/a/", "a<b>.gif", "http://host/a/a%3Cb%3E.gif"},
      {"http://host/a/", "img\\x.gif", "http://host/a/img/x.gif"},
      {"http://host/a/", "http:x.gif", "http://host/a/x.gif"},
      {"http://host/a/", "?q=1", "http://host/a/?q=1"},
      {"http://host/a/", "100%.gif", "http://host/a/100%25.gif"},
      {"http://host/a/", "a%2Fb%zz.gif", "http://host/a/a%2Fb%25zz.gif"},
      // ";" is part of a host.
      {"https://h/a/b", "//gDDDDD;.jpg", "https://gddddd;.jpg/"},
      {"http://host/a/", "//h:99999/x", std::nullopt},
      {"http://host/a/", "http://h:99999/x", "http://h:99999/x"},
      // Local pages.
      {"file:///home/u/page.html", "img/x.gif", "file:///home/u/img/x.gif"},
      {"file:///home/u/page.html", "/x.gif", "file:///x.gif"},
      // IPv6 hosts keep their brackets.
      {"http://[::1]:8765/a/", "x.gif", "http://[::1]:8765/a/x.gif"},
      // Nothing to resolve, or nothing to resolve against.
      {"http://host/a/", "", std::nullopt},
      {"http://host/a/", "   ", std::nullopt},
      {"about:blank", "x.gif", std::nullopt},
      {"", "x.gif", std::nullopt},
      {"", "https://h/x.gif", "https://h/x.gif"},
      {"about:blank", "//h/x.gif", std::nullopt},
      // The host rewrite of relative references, in any letter case, in the host only.
      {"http://Members.Tarnwick.example/u/page.html", "x.gif",
       "http://files.tarnwick.example/u/x.gif", true},
      {"http://members.tarnwick.example/u/page.html", "x.gif",
       "http://members.tarnwick.example/u/x.gif", false},
      {"http://host/members.tarnwick./page.html", "x.gif", "http://host/members.tarnwick./x.gif",
       true},
  };
  for (const auto& c : cases) {
    const ReferenceResolver resolver(c.base);
    EXPECT_EQ(resolver.Resolve(c.reference, c.rewriteHost), c.expected)
        << "base: " << c.base << " reference: " << c.reference;
  }
}

// Plain references are resolved by joining them to the base; a "." segment sends the same
// reference through the parser, which must agree.
TEST(ReferenceResolver, PlainReferencesResolveAsTheParserResolvesThem) {
  const char* bases[] = {"https://Shop.Example:443/a/b/page.html?q=1#top",
                         "http://members.tarnwick.example/~u/", "http://h.example",
                         "file:///srv/site/index.html", "http://h.example/a/../b/c"};
  const char* references[] = {"pic.jpg",
                              "img/a-b_c~d.png",
                              "a//b.gif",
                              "/static/x.jpg",
                              "/",
                              "dir/",
                              "x.y.z",
                              "//cdn.example.net/m/a.png",
                              "https://images.example.com/full/b.jpg",
                              "http://h2.example/"};
  for (const char* base : bases) {
    const ReferenceResolver resolver(base);
    for (const char* reference : references) {
      const std::string ref = reference;
      std::string viaParser = ref[0] == '/' ? "/." + ref : "./" + ref;
      if (ref.starts_with("//") || ref.starts_with("http")) {
        const std::size_t path = ref.find('/', ref.find("//") + 2);
        viaParser = ref.substr(0, path) + "/." + ref.substr(path);
      }
      for (const bool rewrite : {false, true}) {
        EXPECT_EQ(resolver.Resolve(ref, rewrite), resolver.Resolve(viaParser, rewrite))
            << base << " + " << ref << (rewrite ? " (host rewrite)" : "");
      }
    }
  }
}

TEST(ReferenceResolver, BaseUsability) {
  EXPECT_TRUE(ReferenceResolver("https://h/x").HasBase());
  EXPECT_TRUE(ReferenceResolver("file:///tmp/x.html").HasBase());
  EXPECT_FALSE(ReferenceResolver("about:blank").HasBase());
  EXPECT_FALSE(ReferenceResolver("data:text/html,x").HasBase());
  EXPECT_FALSE(ReferenceResolver("not a url").HasBase());
  EXPECT_FALSE(ReferenceResolver("").HasBase());
}

}  // namespace
}  // namespace velmora
