// The identity globals: filled from the program's version record, the fallback with one message
// when there is none, and LoadIdentity doing its work once.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include "common/VersionRecord.h"
#include "common/modIdentity.h"

namespace velmora {
namespace {

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

TEST_F(IdentityTest, FromTheProgramsRecord) {
  Scramble();
  VersionRecordError why;
  const std::optional<VersionRecord> record = ReadLoadedVersionRecord(&why);
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(ApplyIdentity(record, why));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(strProductName, kProduct);
  EXPECT_EQ(strCompanyName, kCompany);
  EXPECT_EQ(strWebsite, kWebsite);
  EXPECT_TRUE(blnUseSkin);
}

TEST_F(IdentityTest, FallbackWithOneMessage) {
  for (const VersionRecordError& why :
       {VersionRecordError{VersionRecordError::Kind::kNoRecord, "the program has no version note"},
        VersionRecordError{VersionRecordError::Kind::kMalformedRecord,
                           "the version record has no CompanyName"}}) {
    SCOPED_TRACE(why.message);
    Scramble();
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(ApplyIdentity(std::nullopt, why));
    const std::string messages = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(strProductName, kFallbackProductName);
    EXPECT_EQ(strCompanyName, kFallbackCompanyName);
    EXPECT_EQ(strWebsite, kFallbackWebsite);
    EXPECT_TRUE(blnUseSkin);
    // One line that says what is wrong.
    EXPECT_EQ(std::count(messages.begin(), messages.end(), '\n'), 1) << messages;
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
