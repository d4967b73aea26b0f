// Names and places of the files a user keeps: hostile names become safe ones, a name in use gets
// a number, data: addresses decode, and a file reaches its name only complete and never over
// another.
#include <glib.h>
#include <gtest/gtest.h>

#include <string>

#include "common/KeptFiles.h"
#include "tests/support/TempFolder.h"

namespace velmora {
namespace {

TEST(KeptFiles, SafeFileNameKeepsNothingThatCouldEscapeOrHide) {
  const std::string longStem(1000, 'a');
  struct Case {
    std::string raw;
    std::string expected;
  };
  const Case cases[] = {
      {"report.zip", "report.zip"},
      {"../../etc/passwd", "passwd"},
      {"..", "download"},
      {"", "download"},
      {"dir\\evil.exe", "evil.exe"},
      {".hidden", "hidden"},
      {"  ..name.txt. ", "name.txt"},
      {"a\tb\nc\x7f\xc2\x85.txt", "abc.txt"},  // C0, DEL and C1 controls
      {"caf\xc3\xa9.png", "caf\xc3\xa9.png"},
      {"bad\xff.png", "bad\xef\xbf\xbd.png"},  // made valid UTF-8
      {longStem + ".jpeg", std::string(kMaxKeptNameBytes - 5, 'a') + ".jpeg"},
      {longStem, std::string(kMaxKeptNameBytes, 'a')},
  };
  for (const Case& c : cases) EXPECT_EQ(SafeFileName(c.raw, "download"), c.expected) << c.raw;

  // A cut never splits a character.
  std::string wide;
  for (int i = 0; i < 150; ++i) wide += "\xc3\xa9";
  const std::string cut = SafeFileName(wide, "x");
  EXPECT_LE(cut.size(), kMaxKeptNameBytes);
  EXPECT_TRUE(g_utf8_validate(cut.data(), static_cast<gssize>(cut.size()), nullptr));
}

TEST(KeptFiles, NamesFromAddressesAndContentTypes) {
  EXPECT_EQ(FileNameOfUri("http://h/pics/My%20Boat.png?x=1#top"), "My Boat.png");
  EXPECT_EQ(FileNameOfUri("http://h/"), "");
  EXPECT_EQ(FileNameOfUri("data:image/png;base64,AAAA"), "");
  EXPECT_EQ(FileNameOfUri("http://h/a%2Fb"), "a%2Fb");  // an escaped "/" stays escaped
  EXPECT_EQ(WithExtensionFor("photo", "image/jpeg; charset=x"), "photo.jpg");
  EXPECT_EQ(WithExtensionFor("photo.gif", "image/png"), "photo.gif");
  EXPECT_EQ(WithExtensionFor("photo", "application/x-unknown"), "photo");
  EXPECT_EQ(NumberedName("a.tar.gz", 2), "a.tar (2).gz");
  EXPECT_EQ(NumberedName(".profile", 1), ".profile (1)");
}

TEST(KeptFiles, DataAddressesDecode) {
  struct Case {
    const char* uri;
    bool ok;
    const char* type;
    std::string bytes;
  };
  const Case cases[] = {
      {"data:image/png;base64,iVBO Rw==", true, "image/png", "\x89PNG"},
      {"DATA:text/plain,a%20b", true, "text/plain", "a b"},
      {"data:,x", true, "text/plain", "x"},
      {"data:image/gif;base64,@@@", false, "", ""},
      {"data:image/gif;base64", false, "", ""},
      {"http://h/x.png", false, "", ""},
  };
  for (const Case& c : cases) {
    const auto decoded = DecodeDataUri(c.uri);
    ASSERT_EQ(decoded.has_value(), c.ok) << c.uri;
    if (!decoded) continue;
    EXPECT_EQ(decoded->contentType, c.type) << c.uri;
    EXPECT_EQ(decoded->bytes, c.bytes) << c.uri;
  }
}

TEST(KeptFiles, AFileArrivesCompleteAndNeverOverAnother) {
  testing::TempFolder folder;
  std::error_code error;
  const auto first = KeepBytes("one", folder.path(), "pic.png", error);
  ASSERT_FALSE(error) << error.message();
  const auto second = KeepBytes("two", folder.path(), "pic.png", error);
  ASSERT_FALSE(error) << error.message();
  EXPECT_EQ(first.filename(), "pic.png");
  EXPECT_EQ(second.filename(), "pic (1).png");
  EXPECT_EQ(testing::ReadFile(first), "one");

  // Replacing is for a file the user chose; the temporary file is gone either way.
  const auto temporary = MakeTemporaryFile(folder.path(), error);
  ASSERT_FALSE(error);
  EXPECT_EQ(MoveIntoPlace(temporary, folder.path(), "pic.png", true, error), first);
  EXPECT_FALSE(std::filesystem::exists(temporary));

  // A folder that is a file takes nothing, and nothing is left behind.
  const auto notFolder = folder.path() / "pic.png";
  EXPECT_TRUE(KeepBytes("x", notFolder, "y.png", error).empty());
  EXPECT_TRUE(error);
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.path())) {
    ++entries;
  }
  EXPECT_EQ(entries, 2);
}

}  // namespace
}  // namespace velmora
