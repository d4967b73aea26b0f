// The per-user settings store and the file-existence check: values survive a round trip, other
// settings are kept, broken or unreadable files never lose what the user had.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/SettingsStore.h"
#include "common/xfileExists.h"
#include "support/ScopedEnvironment.h"
#include "support/TempFolder.h"

namespace velmora {
namespace {

using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;
namespace keys = setting_keys;

TEST(SettingsStore, RoundTripKeepsOtherSettingsAndReplacesTheFileWhole) {
  TempFolder folder;
  const SettingsStore store(folder / "Velmora/settings.ini");
  EXPECT_EQ(store.GetSetting(keys::kSettingsSection, keys::kShowHelp, "1"), "1")
      << "a missing file gives the default";
  EXPECT_FALSE(std::filesystem::exists(folder / "Velmora")) << "reading creates nothing";

  ASSERT_TRUE(store.SaveSetting(keys::kSettingsSection, keys::kShowHelp, "0"));
  ASSERT_TRUE(store.SaveSetting("Other", "name", "  spaced value; with = signs\nand a line"));
  EXPECT_EQ(store.GetSetting(keys::kSettingsSection, keys::kShowHelp, "1"), "0");
  EXPECT_EQ(store.GetSetting("Other", "name", ""), "  spaced value; with = signs\nand a line");
  EXPECT_EQ(store.GetSetting(keys::kSettingsSection, "absent", "dflt"), "dflt");
  EXPECT_EQ(store.GetSetting("Absent", keys::kShowHelp, "dflt"), "dflt");

  ASSERT_TRUE(store.SaveSetting(keys::kSettingsSection, keys::kShowHelp, "1"));
  EXPECT_EQ(store.GetSetting(keys::kSettingsSection, keys::kShowHelp, "0"), "1");
  EXPECT_EQ(store.GetSetting("Other", "name", ""), "  spaced value; with = signs\nand a line");
  const std::string text = ReadFile(folder / "Velmora/settings.ini");
  EXPECT_NE(text.find("[Settings]\nshowHelp=1\n"), std::string::npos) << text;
  // No temporary file is left beside it.
  int files = 0;
  for ([[maybe_unused]] const auto& entry :
       std::filesystem::directory_iterator(folder / "Velmora")) {
    ++files;
  }
  EXPECT_EQ(files, 1);
}

TEST(SettingsStore, ACommentAndUnknownGroupsWrittenByHandAreKept) {
  TempFolder folder;
  WriteFile(folder / "settings.ini", "# my note\n[Window]\nwidth=800\n\n[Settings]\nshowHelp=1\n");
  const SettingsStore store(folder / "settings.ini");
  ASSERT_TRUE(store.SaveSetting(keys::kSettingsSection, keys::kShowHelp, "0"));
  const std::string text = ReadFile(folder / "settings.ini");
  EXPECT_NE(text.find("# my note"), std::string::npos) << text;
  EXPECT_NE(text.find("width=800"), std::string::npos) << text;
  EXPECT_EQ(store.GetSetting(keys::kSettingsSection, keys::kShowHelp, "1"), "0");
}

TEST(SettingsStore, ABrokenFileGivesDefaultsAndIsKeptAsideOnSave) {
  const struct {
    const char* name;
    std::string content;
  } kBroken[] = {
      {"binary junk", std::string("\x00\x01\xff\xfe[[[", 8)},
      {"invalid UTF-8", "[Settings]\nshowHelp=\xff\xfe\n"},
      {"key before any group", "showHelp=0\n"},
      {"unclosed group", "[Settings\nshowHelp=0\n"},
  };
  for (const auto& broken : kBroken) {
    SCOPED_TRACE(broken.name);
    TempFolder folder;
    WriteFile(folder / "settings.ini", broken.content);
    const SettingsStore store(folder / "settings.ini");
    EXPECT_EQ(store.GetSetting(keys::kSettingsSection, keys::kShowHelp, "1"), "1");
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(store.SaveSetting(keys::kSettingsSection, keys::kShowHelp, "0"));
    const std::string message = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(message.find("settings.ini.unreadable"), std::string::npos) << message;
    EXPECT_EQ(ReadFile(folder / "settings.ini.unreadable"), broken.content) << "nothing is lost";
    EXPECT_EQ(store.GetSetting(keys::kSettingsSection, keys::kShowHelp, "1"), "0");
  }
}

TEST(SettingsStore, AFailedSaveSaysSoAndLeavesThePreviousFile) {
  // A file where the folder should be stops even root.
  TempFolder folder;
  WriteFile(folder / "not-a-folder", "x");
  const SettingsStore blocked(folder / "not-a-folder/settings.ini");
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(blocked.SaveSetting(keys::kSettingsSection, keys::kShowHelp, "0"));
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("cannot save"), std::string::npos);
  EXPECT_EQ(ReadFile(folder / "not-a-folder"), "x");

  // The settings file's name taken by a folder: nothing is replaced.
  std::filesystem::create_directories(folder / "dir/settings.ini");
  const SettingsStore folderInTheWay(folder / "dir/settings.ini");
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(folderInTheWay.SaveSetting(keys::kSettingsSection, keys::kShowHelp, "0"));
  ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(std::filesystem::is_directory(folder / "dir/settings.ini"));

  // Names and values a key file cannot hold are refused, not mangled.
  const SettingsStore store(folder / "settings.ini");
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(store.SaveSetting("", keys::kShowHelp, "0"));
  EXPECT_FALSE(store.SaveSetting(keys::kSettingsSection, "", "0"));
  EXPECT_FALSE(store.SaveSetting(keys::kSettingsSection, keys::kShowHelp, "\xff"));
  EXPECT_FALSE(store.SaveSetting(keys::kSettingsSection, keys::kShowHelp, std::string("a\0b", 3)));
  ::testing::internal::GetCapturedStderr();
  EXPECT_FALSE(std::filesystem::exists(folder / "settings.ini"));
}

TEST(SettingsStore, TheUsersStoreFollowsXdgConfigHome) {
  TempFolder folder;
  {
    testing::ScopedEnvironment config("XDG_CONFIG_HOME", folder.path().string());
    EXPECT_EQ(SettingsStore::ForApplication("Velmora").File(), folder / "Velmora/settings.ini");
    EXPECT_EQ(SettingsStore::ForApplication("a/../b").File().parent_path().parent_path(),
              folder.path())
        << "the application name is one folder";
  }
  testing::ScopedEnvironment relative("XDG_CONFIG_HOME", "relative/path");
  EXPECT_NE(UserConfigFolder(), std::filesystem::path("relative/path"))
      << "a relative XDG_CONFIG_HOME is ignored";
  EXPECT_EQ(UserConfigFolder().filename(), ".config");
}

TEST(FileExists, OrdinaryVisibleFilesOnly) {
  TempFolder folder;
  WriteFile(folder / "Help.rtf", "{\\rtf1}");
  WriteFile(folder / ".hidden.rtf", "x");
  std::filesystem::create_directories(folder / "folder.rtf");
  std::filesystem::create_symlink(folder / "Help.rtf", folder / "link.rtf");
  std::filesystem::create_symlink(folder / "gone.rtf", folder / "dangling.rtf");
  const struct {
    std::filesystem::path path;
    bool exists;
  } kCases[] = {
      {folder / "Help.rtf", true},
      {folder / "link.rtf", true},
      {folder / "help.rtf", false},
      {folder / ".hidden.rtf", false},
      {folder / "folder.rtf", false},
      {folder / "dangling.rtf", false},
      {folder / "missing.rtf", false},
      {folder / "Help.rtf/x", false},
      {"/dev/null", false},
      {"", false},
      {folder.path() / "", false},
  };
  for (const auto& c : kCases) EXPECT_EQ(FileExists(c.path), c.exists) << c.path;
}

TEST(FileNameOf, TheTextAfterTheLastSlash) {
  const struct {
    const char* path;
    const char* name;
  } kCases[] = {{"/opt/velmora/Help.rtf", "Help.rtf"},
                {"Help.rtf", "Help.rtf"},
                {"/", ""},
                {"", ""},
                {"a/b/", ""},
                {"a\\b.rtf", "a\\b.rtf"}};
  for (const auto& c : kCases) EXPECT_EQ(FileNameOf(c.path), c.name) << c.path;
}

}  // namespace
}  // namespace velmora
