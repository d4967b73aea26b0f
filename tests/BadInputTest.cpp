// Hostile and broken pages: each analysis ends, without a crash, with well-formed work files.
// (How fast is a benchmark's business; these only have to finish.)
#include <glib.h>
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "analysis/AnalyzePage.h"
#include "support/TempFolder.h"

namespace velmora {
namespace {

using testing::ReadFile;
using testing::TempFolder;

std::string Repeat(std::string_view piece, std::size_t times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) out.append(piece);
  return out;
}

std::string RandomLetters(std::size_t length, std::mt19937_64& random) {
  std::string out(length, 'a');
  for (char& c : out) c = static_cast<char>('a' + random() % 26);
  return out;
}

struct BadPage {
  std::string name;  // also the test's name
  std::function<std::string()> make;
  std::size_t minImages;  // images the analysis must still find
};

std::vector<BadPage> BadPages() {
  return {
      {"AMillionTags",
       [] {
         std::string page;
         for (int i = 0; i < 1000000; ++i)
           page += "<img src=p" + std::to_string(i % 5000) + ".gif>";
         return page;
       },
       5000},
      {"ImgOpenerAMillionTimesWithoutClosing", [] { return Repeat("<img src=\"x", 1000000); }, 1},
      {"LinkOpenerAMillionTimesWithoutClosing", [] { return Repeat("<a href=x.jpg ", 1000000); },
       0},
      {"NulBytesAndInvalidUtf8",
       [] { return Repeat(std::string("<img src=\"a\0b\xFF\xC3.gif\">\0\x80", 24), 10000); }, 1},
      {"MegabyteLongAttributeValues",
       [] {
         std::mt19937_64 random(7);
         std::string page;
         for (int i = 0; i < 8; ++i) page += "<img src=\"" + RandomLetters(1 << 20, random) + "\">";
         return page;
       },
       8},
      {"AMegabyteLongNameOverAPageOfTheSameLetter",
       [] { return "<img src=\"" + std::string(1 << 20, 'a') + "\">" + std::string(8 << 20, 'a'); },
       1},
      {"ATagThatNeverCloses", [] { return "<img src=\"" + std::string(16 << 20, '\n'); }, 0},
      {"OnlyLineBreaks", [] { return Repeat("\r\n\r\r\n\n", 1 << 20); }, 0},
  };
}

void PrintTo(const BadPage& page, std::ostream* out) {
  *out << page.name;
}

class BadInput : public ::testing::TestWithParam<BadPage> {};

TEST_P(BadInput, EndsWithWellFormedWorkFiles) {
  const BadPage& bad = GetParam();
  {
    TempFolder dir;
    ListPairs lists;
    const std::string body = bad.make();
    const AnalysisResult result = AnalyzePage(
        PageSnapshot{body, "https://host.example/a/page.html", ""}, WorkFiles(dir.path()), lists);
    EXPECT_TRUE(result.failures.empty()) << bad.name;
    EXPECT_GE(lists.frmList[kShownImagesPair].size(), bad.minImages) << bad.name;
    for (int pair : {0, 1}) {
      EXPECT_EQ(lists.Links[pair].size(), lists.frmList[pair].size()) << bad.name;
    }
    for (std::string_view name : workfile::kCreationOrder) {
      const std::string content = ReadFile(dir.path() / name);
      ASSERT_GE(content.size(), 2u) << bad.name << ": " << name;
      EXPECT_EQ(content.substr(content.size() - 2), "\r\n") << bad.name << ": " << name;
      EXPECT_TRUE(g_utf8_validate_len(content.data(), content.size(), nullptr))
          << bad.name << ": " << name << " is not UTF-8 without NULs";
    }
    EXPECT_EQ(ReadFile(dir.path() / "checkImages.txt"), "\r\n") << bad.name;
  }
}

INSTANTIATE_TEST_SUITE_P(Pages, BadInput, ::testing::ValuesIn(BadPages()),
                         [](const ::testing::TestParamInfo<BadPage>& param) {
                           return param.param.name;
                         });

}  // namespace
}  // namespace velmora
