// Searching in any letter case, replacing, and line breaks.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "analysis/TextSearch.h"

namespace velmora::text {
namespace {

// The plain definition: compare at every position.
std::size_t ReferenceFind(std::string_view haystack, std::string_view needle, std::size_t from) {
  if (needle.empty()) return from <= haystack.size() ? from : npos;
  for (std::size_t i = from; i + needle.size() <= haystack.size(); ++i) {
    bool equal = true;
    for (std::size_t j = 0; j < needle.size() && equal; ++j) {
      equal = AsciiLower(haystack[i + j]) == AsciiLower(needle[j]);
    }
    if (equal) return i;
  }
  return npos;
}

TEST(FindNoCase, AgreesWithThePlainDefinition) {
  std::mt19937 random(11);
  const std::string alphabet = "aAbB<=- \xC3\xA9";
  const char* needles[] = {"a", "ab", "<a", "a<", "a=b", "ab-", "aB a", "=", "", "\xC3\xA9"};
  for (int round = 0; round < 20000; ++round) {
    std::string haystack;
    const int length = static_cast<int>(random() % 24);
    for (int i = 0; i < length; ++i) haystack += alphabet[random() % alphabet.size()];
    for (const char* needle : needles) {
      const std::size_t from = random() % 26;
      ASSERT_EQ(FindNoCase(haystack, needle, from), ReferenceFind(haystack, needle, from))
          << "haystack: " << haystack << " needle: " << needle << " from: " << from;
    }
  }
}

TEST(ReplaceAllNoCase, OnePassWithoutOverlaps) {
  const struct {
    std::string s, needle, replacement, expected;
  } cases[] = {
      {"a CGI-BIN/i/b cgi-bin/I/c", "cgi-bin/i/", "", "a b c"},
      {"xcgi-bcgi-bin/i/in/i/", "cgi-bin/i/", "", "xcgi-bin/i/"},  // not searched again
      {"aaa", "aa", "b", "ba"},
      {"none", "x", "y", "none"},
      {"", "x", "y", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReplaceAllNoCase(c.s, c.needle, c.replacement), c.expected) << c.s;
  }
}

TEST(LineBreaks, CrLfLoneCrAndLoneLfEndALine) {
  EXPECT_EQ(FindLineBreak("abc", 0), 3u);
  EXPECT_EQ(FindLineBreak("a\r\nb", 0), 1u);
  EXPECT_EQ(LineBreakLength("a\r\nb", 1), 2u);
  EXPECT_EQ(LineBreakLength("a\rb", 1), 1u);
  EXPECT_EQ(LineBreakLength("a\nb", 1), 1u);
  EXPECT_EQ(LineBreakLength("a\n\rb", 1), 1u);
  EXPECT_EQ(LineBreakLength("ab", 1), 0u);
  EXPECT_EQ(TrimAsciiBlanks(" \t\r\nx y\f "), "x y");
}

}  // namespace
}  // namespace velmora::text
