// The work files: record format, atomic replacement, creation at start and the reset.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "analysis/WorkFiles.h"
#include "common/ProgramFolder.h"
#include "support/TempFolder.h"

namespace velmora {
namespace {

using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

std::size_t EntriesIn(const std::filesystem::path& folder) {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
  return count;
}

TEST(WorkFiles, WriteRecordReplacesTheWholeFileWithOneRecord) {
  TempFolder dir;
  const WorkFiles files(dir.path());
  WriteFile(dir / "source.htm", "a much longer previous content\r\n");
  ASSERT_FALSE(files.WriteRecord(workfile::kSourceView, "new"));
  EXPECT_EQ(ReadFile(dir / "source.htm"), "new\r\n");
  ASSERT_FALSE(files.WriteRecord(workfile::kSourceView, ""));
  EXPECT_EQ(ReadFile(dir / "source.htm"), "\r\n");
  EXPECT_EQ(std::filesystem::status(dir / "source.htm").permissions() &
                std::filesystem::perms::owner_read,
            std::filesystem::perms::owner_read);
  EXPECT_EQ(EntriesIn(dir.path()), 1u) << "no temporary file is left behind";
}

TEST(WorkFiles, AFailedWriteLeavesThePreviousFileIntact) {
  TempFolder dir;
  const WorkFiles files(dir.path());
  ASSERT_FALSE(files.WriteRecord(workfile::kGallery, "previous gallery"));

  // A file-size limit makes the write fail part-way, as a full disk would.
  rlimit old{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::error_code error = files.WriteRecord(workfile::kGallery, std::string(100000, 'x'));
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_TRUE(error);
  EXPECT_EQ(ReadFile(dir / "imagepage.html"), "previous gallery\r\n");
  EXPECT_EQ(EntriesIn(dir.path()), 1u) << "the partial file is removed";
}

TEST(WorkFiles, WriteIntoAMissingFolderFails) {
  TempFolder dir;
  const WorkFiles files(dir / "missing");
  EXPECT_TRUE(files.WriteRecord(workfile::kSourceView, "x"));
}

TEST(WorkFiles, CreateMissingWorkFilesKeepsExistingOnes) {
  TempFolder dir;
  WriteFile(dir / "source.htm", "kept");
  const WorkFiles files(dir.path());
  EXPECT_FALSE(files.CreateMissingWorkFiles());
  for (std::string_view name : workfile::kCreationOrder) {
    const std::string content = ReadFile(files.PathOf(name));
    EXPECT_EQ(content, name == workfile::kSourceView ? "kept" : "\r\n") << name;
  }
  EXPECT_EQ(EntriesIn(dir.path()), 6u);
  EXPECT_TRUE(WorkFiles(dir / "missing").CreateMissingWorkFiles());
}

TEST(WorkFiles, ResetStopsAtTheFirstFileItCannotReplace) {
  TempFolder dir;
  const WorkFiles files(dir.path());
  for (std::string_view name : workfile::kCreationOrder) WriteFile(files.PathOf(name), "old");
  // A folder in the place of the second file to reset makes its replacement fail.
  std::filesystem::remove(dir / "checkImagesClean.txt");
  std::filesystem::create_directory(dir / "checkImagesClean.txt");
  std::filesystem::create_directory(dir / "checkImagesClean.txt" / "occupied");

  EXPECT_TRUE(files.ResetWorkFiles());
  EXPECT_EQ(ReadFile(dir / "checkImages.txt"), "\r\n");
  EXPECT_EQ(ReadFile(dir / "browser.txt"), "old");
  EXPECT_EQ(ReadFile(dir / "images.htm"), "old");

  std::filesystem::remove_all(dir / "checkImagesClean.txt");
  EXPECT_FALSE(files.ResetWorkFiles());
  for (std::string_view name : workfile::kResetOrder) {
    EXPECT_EQ(ReadFile(files.PathOf(name)), "\r\n") << name;
  }
  EXPECT_EQ(ReadFile(dir / "source.htm"), "old") << "the views are not reset";
}

TEST(WorkFolder, ProgramFolderWhenWritableElseTheCacheFolder) {
  TempFolder dir;
  std::error_code error;
  EXPECT_EQ(ChooseWorkFolder(dir.path(), dir / "cache", "Velmora", error), dir.path());
  EXPECT_FALSE(error);

  const auto fallback = ChooseWorkFolder(dir / "not-there", dir / "cache", "Velmora", error);
  EXPECT_FALSE(error);
  EXPECT_EQ(fallback, dir / "cache" / "Velmora");
  EXPECT_TRUE(std::filesystem::is_directory(fallback));

  WriteFile(dir / "file", "x");
  EXPECT_TRUE(ChooseWorkFolder("", dir / "file", "Velmora", error).empty());
  EXPECT_TRUE(error);

  EXPECT_FALSE(ProgramFolder().empty());
  EXPECT_TRUE(std::filesystem::exists(ProgramFolder() / "velmora_analysis_tests"));
}

}  // namespace
}  // namespace velmora
