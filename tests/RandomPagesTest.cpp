// A short random-input pass over the whole analysis: pages assembled from the pieces the
// scanners look for, plus stray bytes, must keep every invariant of the analysis.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <string_view>

#include "fuzz/AnalysisInvariants.h"
#include "fuzz/PictureChoiceInvariants.h"

namespace velmora {
namespace {

constexpr std::array<std::string_view, 46> kPieces{"<img",
                                                   "<IMG ",
                                                   "<a ",
                                                   "<A HREF=",
                                                   "src=",
                                                   "SRC=",
                                                   "href=",
                                                   " data-src=",
                                                   "\"",
                                                   "'",
                                                   ">",
                                                   " ",
                                                   "\t",
                                                   "\r\n",
                                                   "\n",
                                                   "\r",
                                                   ".gif",
                                                   ".JPG",
                                                   ".png",
                                                   ".webp",
                                                   "../",
                                                   "/",
                                                   "//",
                                                   "http://",
                                                   "HTTPS://",
                                                   "&amp;",
                                                   "&#47;",
                                                   "&#x",
                                                   "cgi-bin/i/",
                                                   "data:image/png,AA",
                                                   "javascript:x()",
                                                   " border=",
                                                   "members.tarnwick.",
                                                   "pic",
                                                   "?q=http://o/",
                                                   "<BR>",
                                                   "<!--",
                                                   "-->",
                                                   "<script>",
                                                   "</script>",
                                                   "]]>",
                                                   "<meta charset=koi8-r>",
                                                   "<!DOCTYPE html>",
                                                   "\xE9",
                                                   "<title>",
                                                   "</title>"};

constexpr std::array<std::string_view, 6> kPageUrls{"https://host.example/a/b/page.html",
                                                    "http://host.com",
                                                    "file:///srv/pages/p.html",
                                                    "about:blank",
                                                    "",
                                                    "http://[::1]:8765/x/"};

std::string RandomPage(std::mt19937_64& random) {
  std::string page;
  const int pieces = std::uniform_int_distribution<int>(0, 120)(random);
  for (int i = 0; i < pieces; ++i) {
    if (std::uniform_int_distribution<int>(0, 9)(random) == 0) {
      page.push_back(static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random)));
    } else {
      page.append(
          kPieces[std::uniform_int_distribution<std::size_t>(0, kPieces.size() - 1)(random)]);
    }
  }
  return page;
}

// The charset the transport names for the page's bytes served.
constexpr std::array<std::string_view, 5> kServedCharsets{"", "shift_jis", "utf-16le",
                                                          "windows-1252", "bogus"};

TEST(RandomPages, EveryInvariantHolds) {
  std::mt19937_64 random(20261208);
  for (int i = 0; i < 400; ++i) {
    const std::string page = RandomPage(random);
    const std::string_view url = kPageUrls[static_cast<std::size_t>(i) % kPageUrls.size()];
    const std::string_view charset =
        kServedCharsets[static_cast<std::size_t>(i) / kPageUrls.size() % kServedCharsets.size()];
    std::string failure = CheckAnalysisInvariants(page, std::string(url), charset);
    if (failure.empty()) failure = CheckPictureChoiceInvariants(page, std::string(url));
    ASSERT_TRUE(failure.empty()) << failure << "\npage #" << i << ": " << page << "\nurl: " << url
                                 << "\nserved as: " << charset;
  }
}

// Pages on which the fuzzer once broke an invariant, each with its page URL.
TEST(RandomPages, WhatTheFuzzerFoundStaysMended) {
  const struct {
    const char* what;
    std::string page;
    std::string url;
  } cases[] = {
      {"an inline background whose caption was cut inside a character",
       "<div style=\"background:url(data:image/png;base64," + std::string(25, 'A') +
           "\u00E9\u00E9\u00E9" + std::string(300, 'B') + ")\"></div>",
       "https://host.example/a/page.html"},
      {"an inline picture whose scheme is written in capitals",
       "<img src=\"daTa:image/png;base64,iVBORw0KGgo=\">", "https://host.example/a/page.html"},
  };
  for (const auto& c : cases) {
    const std::string failure = CheckAnalysisInvariants(c.page, c.url);
    EXPECT_TRUE(failure.empty()) << c.what << ": " << failure;
  }
}

}  // namespace
}  // namespace velmora
