// The reader of the page read's image census: what the script writes, and what it must survive.
#include <gtest/gtest.h>

#include "hosted/PageRead.h"

namespace velmora {
namespace {

TEST(ParseImageElements, ReadsTheRecordsAndSkipsWhatIsNotOne) {
  const std::vector<ImageElement> elements = ParseImageElements(
      R"json([{"t":"img","u":"http://h/a.jpg","w":640,"h":480,"a":["src","a.jpg","alt","A"],)json"
      R"json("s":["a.webp 2x"],"b":""}, 7, {"t":"div","w":"wide","h":-3,"a":{"x":1},)json"
      R"json("s":[1,"b.avif"],"b":"url(\"http://h/bg.png\")"}])json");
  ASSERT_EQ(elements.size(), 2u);
  EXPECT_EQ(elements[0].tag, "img");
  EXPECT_EQ(elements[0].currentUrl, "http://h/a.jpg");
  EXPECT_EQ(elements[0].naturalWidth, 640);
  EXPECT_EQ(elements[0].naturalHeight, 480);
  ASSERT_EQ(elements[0].attributes.size(), 2u);
  EXPECT_EQ(elements[0].attributes[1].second, "A");
  EXPECT_EQ(elements[0].pictureSources, std::vector<std::string>{"a.webp 2x"});
  // Wrong types read as nothing.
  EXPECT_EQ(elements[1].naturalWidth, 0);
  EXPECT_EQ(elements[1].naturalHeight, 0);
  EXPECT_TRUE(elements[1].attributes.empty());
  EXPECT_EQ(elements[1].pictureSources, (std::vector<std::string>{"", "b.avif"}));
  EXPECT_EQ(elements[1].computedBackground, "url(\"http://h/bg.png\")");

  for (const char* broken : {"", "[", "{\"t\":\"img\"}", "null", "[[\"img\"]]"}) {
    EXPECT_TRUE(ParseImageElements(broken).empty()) << broken;
  }
}

}  // namespace
}  // namespace velmora
