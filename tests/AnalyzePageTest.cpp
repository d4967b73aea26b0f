// One whole analysis: what lands in each work file, the lists, and failures on the way.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "analysis/AnalyzePage.h"
#include "support/TempFolder.h"

namespace velmora {
namespace {

using testing::ReadFile;
using testing::TempFolder;

TEST(AnalyzePage, WritesEveryWorkFileInItsFormat) {
  TempFolder dir;
  const WorkFiles files(dir.path());
  ListPairs lists;
  const PageSnapshot page{
      "<body>\r\n<a href=\"big/p.jpg\"><img src=\"small/p.gif\"></a>\r\n<img src=\"/q.png\">\r\n"
      "</body>",
      "https://host/a/page.html", ""};

  const AnalysisResult result = AnalyzePage(page, files, lists);

  EXPECT_TRUE(result.failures.empty());
  EXPECT_EQ(result.sourceView, dir / "source.htm");
  EXPECT_EQ(result.gallery, dir / "imagepage.html");
  EXPECT_EQ(lists.Links[1],
            (std::vector<std::string>{"https://host/a/small/p.gif", "https://host/q.png"}));
  EXPECT_EQ(lists.frmList[1], (std::vector<std::string>{"p.gif", "q.png"}));
  EXPECT_EQ(lists.Links[0], (std::vector<std::string>{"https://host/a/big/p.jpg"}));
  EXPECT_EQ(lists.frmList[0], (std::vector<std::string>{"p.jpg"}));

  EXPECT_EQ(ReadFile(dir / "source.htm"),
            "&lt;body><BR><BR>&lt;a href=\"big/<a href='https://host/a/big/p.jpg'>p.jpg</a>\">"
            "&lt;img src=\"small/<a href='https://host/a/small/p.gif'>p.gif</a>\">&lt;/a>"
            "<BR><BR>&lt;img src=\"/<a href='https://host/q.png'>q.png</a>\"><BR><BR>"
            "&lt;/body>\r\n");
  EXPECT_EQ(ReadFile(dir / "imagepage.html"),
            "<a href='https://host/a/small/p.gif'><img src='https://host/a/small/p.gif'></a><BR>"
            "https://host/a/small/p.gif<BR><BR><BR>"
            "<a href='https://host/q.png'><img src='https://host/q.png'></a><BR>"
            "https://host/q.png<BR><BR><BR>\r\n");
  for (const char* scratch :
       {"checkImages.txt", "checkImagesClean.txt", "browser.txt", "images.htm"}) {
    EXPECT_EQ(ReadFile(dir / scratch), "\r\n") << scratch;
  }
}

TEST(AnalyzePage, AnEmptyPageGivesEmptyViews) {
  TempFolder dir;
  ListPairs lists;
  lists.Links[1] = {"http://old/x.gif"};
  lists.frmList[1] = {"x.gif"};
  const AnalysisResult result =
      AnalyzePage(PageSnapshot{"", "about:blank", ""}, WorkFiles(dir.path()), lists);
  EXPECT_TRUE(result.failures.empty());
  EXPECT_TRUE(lists.Links[1].empty()) << "the lists are cleared for every analysis";
  EXPECT_TRUE(lists.frmList[1].empty());
  EXPECT_EQ(ReadFile(dir / "source.htm"), "\r\n");
  EXPECT_EQ(ReadFile(dir / "imagepage.html"), "\r\n");
}

TEST(AnalyzePage, LineBreaksInTheViewFollowThePage) {
  TempFolder dir;
  ListPairs lists;
  AnalyzePage(PageSnapshot{"a\nb\r\nc", "http://h/", ""}, WorkFiles(dir.path()), lists);
  EXPECT_EQ(ReadFile(dir / "source.htm"), "a<BR>b<BR><BR>c\r\n");
}

TEST(AnalyzePage, TheDocumentBaseUrlWinsOverTheLocation) {
  TempFolder dir;
  ListPairs lists;
  AnalyzePage(PageSnapshot{"<img src=\"x.gif\">", "http://h/a/p.html", "https://cdn.example/b/"},
              WorkFiles(dir.path()), lists);
  EXPECT_EQ(lists.Links[1], (std::vector<std::string>{"https://cdn.example/b/x.gif"}));
}

TEST(AnalyzePage, TextThatIsNotUtf8IsShownWithReplacementCharacters) {
  TempFolder dir;
  ListPairs lists;
  AnalyzePage(PageSnapshot{std::string("caf\xE9 \0!", 7), "http://h/", ""}, WorkFiles(dir.path()),
              lists);
  EXPECT_EQ(ReadFile(dir / "source.htm"), "caf\xEF\xBF\xBD \xEF\xBF\xBD!\r\n");
}

TEST(AnalyzePage, AFolderThatCannotBeWrittenIsReportedAndTheViewsAreStillNamed) {
  TempFolder dir;
  ListPairs lists;
  const WorkFiles files(dir / "missing");
  const AnalysisResult result =
      AnalyzePage(PageSnapshot{"<img src=x.gif>", "http://h/", ""}, files, lists);
  EXPECT_EQ(result.sourceView, dir / "missing" / "source.htm");
  EXPECT_EQ(result.gallery, dir / "missing" / "imagepage.html");
  EXPECT_EQ(result.failures.size(), 6u);  // page, two scratch writes, gallery, view, reset
  EXPECT_EQ(lists.frmList[1], (std::vector<std::string>{"x.gif"}))
      << "the scan does not depend on the scratch files";
}

TEST(AnalyzePage, AFailedGalleryWriteIsReportedAndTheAnalysisGoesOn) {
  TempFolder dir;
  const WorkFiles files(dir.path());
  ListPairs lists;
  // A folder in the gallery's place cannot be replaced by a file.
  std::filesystem::create_directories(dir / "imagepage.html" / "x");
  const AnalysisResult result =
      AnalyzePage(PageSnapshot{"<img src=two.gif>", "http://h/", ""}, files, lists);
  ASSERT_EQ(result.failures.size(), 1u);
  EXPECT_EQ(result.failures[0].path, dir / "imagepage.html");
  EXPECT_NE(ReadFile(dir / "source.htm").find("two.gif"), std::string::npos)
      << "the analysis goes on after the failed step";
  EXPECT_EQ(ReadFile(dir / "checkImages.txt"), "\r\n");
}

}  // namespace
}  // namespace velmora
