// The shared WebKit set-up: which folders the sandbox takes, and what the engine reports about
// them and about its start page.
#include <glib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "hosted/BrowserEngine.h"
#include "tests/hosted/WindowTest.h"
#include "tests/support/TempFolder.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

struct FolderCase {
  fs::path folder;
  bool refused;
};

bool Contains(const std::vector<fs::path>& list, const fs::path& path) {
  return std::find(list.begin(), list.end(), path) != list.end();
}

TEST(IsRefusedSandboxFolder, Table) {
  const fs::path home = "/home/ann";
  const FolderCase cases[] = {
      {"/", true},
      {"//", true},
      {"/proc", true},
      {"/proc/self", true},
      {"/sys/", true},
      {"/dev/shm", true},
      {"/home", true},
      {"/home/", true},
      {"/home/.", true},
      {"/home/ann", true},
      {"/home/ann/", true},
      {"/home/ann/x/..", true},
      {"", true},
      {"relative/folder", true},
      // Below home, /home and the system folders' neighbours is fine.
      {"/home/ann/velmora", false},
      {"/home/bob", false},
      {"/tmp/velmora-work", false},
      {"/opt/velmora/assets", false},
      {"/process", false},
      {"/devices", false},
      {"/usr/share/velmora", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsRefusedSandboxFolder(c.folder, home), c.refused) << "folder: " << c.folder;
  }
}

TEST(IsRefusedSandboxFolder, HomeOfTheRootAccount) {
  EXPECT_TRUE(IsRefusedSandboxFolder("/root", "/root"));
  EXPECT_TRUE(IsRefusedSandboxFolder("/root/", "/root/"));
  EXPECT_FALSE(IsRefusedSandboxFolder("/root/.cache/velmora", "/root"));
  // Without a home folder only the fixed rules apply.
  EXPECT_FALSE(IsRefusedSandboxFolder("/root", ""));
}

class BrowserEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::DisplayAvailable()) GTEST_SKIP() << "no display";
  }
};

TEST_F(BrowserEngineTest, MountsTheWorkAndAssetsFolders) {
  const BrowserEngine& engine = testing::SharedEngine();
  EXPECT_TRUE(engine.SkippedFolders().empty());
  EXPECT_TRUE(Contains(engine.SandboxFolders(), fs::canonical(testing::SandboxFolder())));
  EXPECT_TRUE(Contains(engine.SandboxFolders(), fs::canonical(testing::AssetsFolder())));
}

TEST_F(BrowserEngineTest, StartPageIsTheShippedPage) {
  const BrowserEngine& engine = testing::SharedEngine();
  const fs::path startPage = testing::AssetsFolder() / "start.html";
  ASSERT_TRUE(fs::exists(startPage)) << startPage;
  gchar* expected = g_filename_to_uri(startPage.c_str(), nullptr, nullptr);
  EXPECT_EQ(engine.StartPageUri(), expected);
  g_free(expected);
}

TEST_F(BrowserEngineTest, StartPageFromTheSettingsGoesThroughTheFixUp) {
  BrowserEngine& engine = testing::SharedEngine();
  const std::string shipped = engine.StartPageUri();
  EXPECT_TRUE(engine.SetStartPage("  localhost:8765/home "));
  EXPECT_EQ(engine.StartPageUri(), "http://localhost:8765/home");
  // What is no address leaves the start page as it was.
  for (const char* bad : {"", "   ", "http://[::1/x", "http://exa mple.org:99999/"}) {
    EXPECT_FALSE(engine.SetStartPage(bad)) << bad;
    EXPECT_EQ(engine.StartPageUri(), "http://localhost:8765/home") << bad;
  }
  EXPECT_TRUE(engine.SetStartPage(shipped));
  EXPECT_EQ(engine.StartPageUri(), shipped);
}

// A second web context can be set up while the shared one already runs pages (WebKit checks
// the sandbox set-up per context); made here only to see which folders it keeps out.
TEST_F(BrowserEngineTest, SkipsFoldersWebKitRefusesOrThatAreMissing) {
  testing::TempFolder work;
  const fs::path missing = work.path() / "not-made-yet";
  const BrowserEngine engine(missing, "/home");
  EXPECT_TRUE(engine.SandboxFolders().empty());
  EXPECT_EQ(engine.SkippedFolders(), (std::vector<fs::path>{missing, "/home"}));

  // A folder reached through a link is mounted under both names: pages use either.
  const fs::path real = work.path() / "real";
  const fs::path link = work.path() / "link";
  fs::create_directory(real);
  fs::create_directory_symlink(real, link);
  const BrowserEngine linked(link, real);
  EXPECT_TRUE(linked.SkippedFolders().empty());
  EXPECT_EQ(linked.SandboxFolders(), (std::vector<fs::path>{fs::canonical(real), link}));
}

}  // namespace
}  // namespace velmora
