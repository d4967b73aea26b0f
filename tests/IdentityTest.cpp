// The identity globals: filled from the executable's version record, the fallback with one
// message when the record cannot be read, and LoadIdentity doing its work once.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <string>

#include "common/VersionRecord.h"
#include "startup/modIdentity.h"
#include "support/TempFolder.h"

namespace velmora {
namespace {

using testing::TempFolder;

// The project's fields, as CMake passes them (tests/CMakeLists.txt).
constexpr std::string_view kProduct = VELMORA_EXPECT_PRODUCT_NAME;
constexpr std::string_view kCompany = VELMORA_EXPECT_COMPANY_NAME;
constexpr std::string_view kWebsite = VELMORA_EXPECT_WEBSITE;

// Each test leaves the globals as it found them.
class IdentityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = {strProductName, strCompanyName, strWebsite};
    savedSkin_ = blnUseSkin;
  }
  void TearDown() override {
    strProductName = saved_[0];
    strCompanyName = saved_[1];
    strWebsite = saved_[2];
    blnUseSkin = savedSkin_;
  }

  // Globals that no loading would produce, so that a load that does nothing shows.
  static void Scramble() {
    strProductName = "-";
    strCompanyName = "-";
    strWebsite = "-";
    blnUseSkin = false;
  }

 private:
  std::array<std::string, 3> saved_;
  bool savedSkin_ = false;
};

TEST_F(IdentityTest, FromExecutablesWithTheRecord) {
  for (const char* program : {VELMORA_EXE, "/proc/self/exe"}) {
    SCOPED_TRACE(program);
    Scramble();
    ::testing::internal::CaptureStderr();
    const bool read = LoadIdentityFrom(program);
    const std::string messages = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(read);
    EXPECT_EQ(messages, "");
    EXPECT_EQ(strProductName, kProduct);
    EXPECT_EQ(strCompanyName, kCompany);
    EXPECT_EQ(strWebsite, kWebsite);
    EXPECT_TRUE(blnUseSkin);
  }
}

TEST_F(IdentityTest, FallbackWithOneMessage) {
  TempFolder folder;
  testing::WriteFile(folder / "empty", "");
  testing::WriteFile(folder / "script", "#!/bin/sh\nexit 0\n");
  const std::string velmora = testing::ReadFile(VELMORA_EXE);
  testing::WriteFile(folder / "cut", velmora.substr(0, velmora.size() / 2));
  std::string noRecord = velmora;
  const std::size_t owner = noRecord.find(std::string(kVersionNoteOwner) + '\0' + "ProductName");
  ASSERT_NE(owner, std::string::npos);
  noRecord[owner] = 'v';  // another owner's note
  testing::WriteFile(folder / "no-record", noRecord);

  for (const std::filesystem::path& file :
       {std::filesystem::path("/bin/true"), folder / "missing", folder.path(), folder / "empty",
        folder / "script", folder / "cut", folder / "no-record"}) {
    SCOPED_TRACE(file.string());
    VersionRecordError why;
    ASSERT_FALSE(ReadVersionRecordOfFile(file, &why));
    Scramble();
    ::testing::internal::CaptureStderr();
    const bool read = LoadIdentityFrom(file);
    const std::string messages = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(read);
    EXPECT_EQ(strProductName, kFallbackProductName);
    EXPECT_EQ(strCompanyName, kFallbackCompanyName);
    EXPECT_EQ(strWebsite, kFallbackWebsite);
    EXPECT_TRUE(blnUseSkin);
    // One line that names the file and says what is wrong with it.
    EXPECT_EQ(std::count(messages.begin(), messages.end(), '\n'), 1) << messages;
    EXPECT_NE(messages.find(file.string()), std::string::npos) << messages;
    EXPECT_NE(messages.find(why.message), std::string::npos) << messages;
  }
}

// The fallback is the identity the project defines, so a program without its record still
// calls itself by its name.
TEST(IdentityFallbackTest, MatchesTheProject) {
  EXPECT_EQ(kFallbackProductName, kProduct);
  EXPECT_EQ(kFallbackCompanyName, kCompany);
  EXPECT_EQ(kFallbackWebsite, kWebsite);
}

TEST_F(IdentityTest, LoadIdentityWorksOnce) {
  ::testing::internal::CaptureStderr();
  LoadIdentity();
  // This test program carries the record (it links the identity module).
  EXPECT_EQ(strProductName, kProduct);
  EXPECT_EQ(strCompanyName, kCompany);
  EXPECT_EQ(strWebsite, kWebsite);
  EXPECT_TRUE(blnUseSkin);

  // A second call changes nothing, not even globals changed since.
  Scramble();
  LoadIdentity();
  EXPECT_EQ(strProductName, "-");
  EXPECT_EQ(strCompanyName, "-");
  EXPECT_EQ(strWebsite, "-");
  EXPECT_FALSE(blnUseSkin);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

}  // namespace
}  // namespace velmora
