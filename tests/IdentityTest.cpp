// The version record and the identity it fills, in two programs built from this file: one that
// carries the record (VELMORA_CARRIES_RECORD 1) and one built without it, which still runs with
// the project's identity and says so in one line. readelf lists the note where it is.
#include <glib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "common/VersionRecord.h"
#include "common/modIdentity.h"

namespace velmora {
namespace {

constexpr bool kCarriesRecord = VELMORA_CARRIES_RECORD;

// The project's fields, as CMake passes them (tests/CMakeLists.txt).
const VersionRecord kProject{VELMORA_EXPECT_PRODUCT_NAME,
                             VELMORA_EXPECT_COMPANY_NAME,
                             VELMORA_EXPECT_WEBSITE,
                             {VELMORA_EXPECT_VERSION_MAJOR, VELMORA_EXPECT_VERSION_MINOR},
                             {VELMORA_EXPECT_VERSION_MAJOR, VELMORA_EXPECT_VERSION_MINOR}};

// What `readelf -n PROGRAM` prints; "" when it cannot run.
std::string ReadelfNotes(const std::string& program) {
  g_autofree gchar* readelf = g_find_program_in_path("readelf");
  if (readelf == nullptr) return "";
  gchar* argv[] = {readelf, const_cast<gchar*>("-n"), const_cast<gchar*>(program.c_str()), nullptr};
  g_autofree gchar* out = nullptr;
  gint status = 0;
  if (!g_spawn_sync(nullptr, argv, nullptr, G_SPAWN_STDERR_TO_DEV_NULL, nullptr, nullptr, &out,
                    nullptr, &status, nullptr) ||
      !g_spawn_check_wait_status(status, nullptr)) {
    return "";
  }
  return out;
}

TEST(Identity, FromTheRecordOrBuiltInWithOneLine) {
  const std::optional<VersionRecord> record = ReadVersionRecord();
  ASSERT_EQ(record.has_value(), kCarriesRecord);
  EXPECT_EQ(record.value_or(kProject), kProject);

  ::testing::internal::CaptureStderr();
  LoadIdentity();
  const std::string messages = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(strProductName, kProject.productName);
  EXPECT_EQ(strCompanyName, kProject.companyName);
  EXPECT_EQ(strWebsite, kProject.comments);
  EXPECT_TRUE(blnUseSkin);
  EXPECT_EQ(std::count(messages.begin(), messages.end(), '\n'), kCarriesRecord ? 0 : 1) << messages;
  EXPECT_EQ(messages.find("no version record") != std::string::npos, !kCarriesRecord) << messages;

  // Only the first call loads: a second one changes nothing, not even globals changed since.
  strProductName = "-";
  blnUseSkin = false;
  LoadIdentity();
  EXPECT_EQ(strProductName, "-");
  EXPECT_FALSE(blnUseSkin);
}

// readelf lists the note, owner "Velmora", in the browser and in this program when it carries
// it, with the fields as the record's format gives them.
TEST(Identity, ReadelfListsTheNote) {
  g_autofree gchar* self = g_file_read_link("/proc/self/exe", nullptr);
  const std::string own = ReadelfNotes(self);
  if (own.empty()) GTEST_SKIP() << "readelf is not installed";
  const auto version = [](const VersionNumber& v) {
    return std::to_string(v.major) + (v.minor < 10 ? ".0" : ".") + std::to_string(v.minor);
  };
  const std::string fields =
      "ProductName=" + kProject.productName + '\0' + "CompanyName=" + kProject.companyName + '\0' +
      "Comments=" + kProject.comments + '\0' + "FileVersion=" + version(kProject.fileVersion) +
      '\0' + "ProductVersion=" + version(kProject.productVersion) + '\0';
  std::string hex;  // as readelf shows a note's description
  for (const char c : fields) {
    char byte[4];
    std::snprintf(byte, sizeof byte, "%02x ", static_cast<unsigned char>(c));
    hex += byte;
  }
  for (const auto& [notes, carries] :
       {std::pair{ReadelfNotes(VELMORA_EXE), true}, std::pair{own, kCarriesRecord}}) {
    EXPECT_EQ(notes.find("Velmora ") != std::string::npos, carries) << notes;
    EXPECT_EQ(notes.find(hex) != std::string::npos, carries) << hex << " in\n" << notes;
  }
}

}  // namespace
}  // namespace velmora
