// The registry store: key-path trimming, values kept byte for byte in the files its format names,
// the default value, keys created and deleted, and paths or planted links that would lead out of
// the store.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "desktop/CRegister.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempFolder.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::ScopedEnvironment;
using testing::TempFolder;
using testing::WriteFile;

// Every test gets a store of its own in a temporary folder.
class RegistryStore : public ::testing::Test {
 protected:
  fs::path Root() const { return temp_ / "registry"; }
  fs::path Hive() const { return Root() / "HKEY_LOCAL_MACHINE"; }
  // All the files and folders below `folder`, links included, not followed.
  static std::vector<fs::path> Everything(const fs::path& folder) {
    std::vector<fs::path> found;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
      found.push_back(it->path());
    }
    return found;
  }
  // A value as the store keeps it: the file `file` (named as on disk) in the key's folder;
  // nothing when there is no ordinary file.
  static std::optional<std::string> Stored(const fs::path& keyFolder, const std::string& file) {
    const fs::path path = keyFolder / file;
    if (fs::is_symlink(path) || !fs::is_regular_file(path)) return std::nullopt;
    return ReadFile(path);
  }

  TempFolder temp_;
  ScopedEnvironment root_{kRegistryRootVariable, Root().string()};
};

TEST(TrimKeySlashes, RemovesOneBackslashAtEachEndAndNothingElse) {
  const struct {
    std::string key;
    std::string expected;
  } cases[] = {
      {"", ""},
      {"\\", ""},
      {"\\\\", ""},
      {"\\\\\\", "\\"},
      {"a", "a"},
      {"\\a\\", "a"},
      {"\\a", "a"},
      {"a\\", "a"},
      {"\\\\a", "\\a"},
      {"a\\\\", "a\\"},
      {"\\\\a\\\\", "\\a\\"},
      {"Software\\Microsoft", "Software\\Microsoft"},
      {"\\Software\\Microsoft\\", "Software\\Microsoft"},
      {" \\a\\ ", " \\a\\ "},
      {"/a/", "/a/"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TrimKeySlashes(c.key), c.expected) << "key \"" << c.key << "\"";
  }
}

TEST_F(RegistryStore, RootFollowsTheEnvironmentPerHive) {
  EXPECT_EQ(RegistryRoot(Hive::LocalMachine), Root() / "HKEY_LOCAL_MACHINE");
  EXPECT_EQ(RegistryRoot(Hive::CurrentUser), Root() / "HKEY_CURRENT_USER");
  ScopedEnvironment unset(kRegistryRootVariable, std::nullopt);
  EXPECT_EQ(RegistryRoot(Hive::LocalMachine),
            fs::path("/var/lib/velmora/registry/HKEY_LOCAL_MACHINE"));
  ScopedEnvironment config("XDG_CONFIG_HOME", (temp_ / "config").string());
  EXPECT_EQ(RegistryRoot(Hive::CurrentUser),
            temp_ / "config" / "velmora" / "registry" / "HKEY_CURRENT_USER");
}

TEST_F(RegistryStore, ValuesComeBackByteForByte) {
  const std::string values[] = {
      "",
      "Velmora",
      "gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xE6\x97\xA5\xE6\x9C\xAC",
      "first line\nsecond line\r\nthird",
      "  spaces kept  ",
      std::string("inner\0nul", 9),
      std::string(100000, 'x'),
  };
  for (const std::string& value : values) {
    ASSERT_TRUE(RegSetString(Hive::LocalMachine, "Software\\Test", "Value", value))
        << "value of " << value.size() << " bytes";
    // Exactly the characters: no terminating NUL is stored.
    EXPECT_EQ(Stored(Hive() / "Software" / "Test", "=Value"), value);
  }
}

TEST_F(RegistryStore, HivesAreSeparate) {
  ASSERT_TRUE(RegSetString(Hive::LocalMachine, "K", "v", "machine"));
  ASSERT_TRUE(RegSetString(Hive::CurrentUser, "K", "v", "user"));
  EXPECT_EQ(Stored(Hive() / "K", "=v"), "machine");
  EXPECT_EQ(Stored(Root() / "HKEY_CURRENT_USER" / "K", "=v"), "user");
}

TEST_F(RegistryStore, StarIsTheDefaultValueAndNoNameCollides) {
  // Each name with its own data and the file the format gives it: no two names share a file,
  // and the default value is none of the named ones.
  const struct {
    std::string name;
    std::string file;
    std::string data;
  } values[] = {
      {"*", "=", "default"},
      {"=", "==", "equals"},
      {"%3D", "=%253D", "escaped equals"},
      {"%", "=%25", "percent"},
      {"%25", "=%2525", "escaped %"},
      {"a/b", "=a%2Fb", "slash"},
      {"a%2Fb", "=a%252Fb", "a%2Fb"},
      {".", "=.", "dot"},
      {"..", "=..", "dot dot"},
      {"x", "=x", "x"},
      {"X", "=X", "capital x"},
      {"with space", "=with space", "space"},
      {"\\", "=\\", "backslash"},
      {"\xC3\xA9t\xC3\xA9", "=\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},
  };
  for (const auto& v : values) {
    ASSERT_TRUE(RegSetString(Hive::LocalMachine, "Key", v.name, v.data)) << "name \"" << v.name;
  }
  for (const auto& v : values) {
    EXPECT_EQ(Stored(Hive() / "Key", v.file), v.data) << "name \"" << v.name << "\"";
  }
  EXPECT_EQ(Everything(Hive() / "Key").size(), std::size(values)) << "one file per value";
  ASSERT_TRUE(RegSetString(Hive::LocalMachine, "Key", "", "empty name"));
  EXPECT_EQ(Stored(Hive() / "Key", "="), "empty name") << "an empty name is the default value";

  ASSERT_TRUE(RegDeleteEntry(Hive::LocalMachine, "Key", "*"));
  EXPECT_EQ(Stored(Hive() / "Key", "="), std::nullopt);
  EXPECT_EQ(Stored(Hive() / "Key", "=="), "equals");
}

TEST_F(RegistryStore, SubkeysAndValuesWithTheSameNameLiveSideBySide) {
  ASSERT_TRUE(RegSetString(Hive::LocalMachine, "A", "B", "value B"));
  ASSERT_TRUE(RegSetString(Hive::LocalMachine, "A\\B", "C", "value C"));
  ASSERT_TRUE(RegSetString(Hive::LocalMachine, "A\\=B", "D", "value D"));
  ASSERT_TRUE(RegSetString(Hive::LocalMachine, "A\\%", "E", "value E"));
  EXPECT_EQ(Stored(Hive() / "A", "=B"), "value B");
  EXPECT_EQ(Stored(Hive() / "A" / "B", "=C"), "value C");
  EXPECT_EQ(Stored(Hive() / "A" / "%3DB", "=D"), "value D");
  EXPECT_EQ(Stored(Hive() / "A" / "%25", "=E"), "value E");
  EXPECT_EQ(Everything(Hive()).size(), 8u) << "four keys, four values";
}

TEST_F(RegistryStore, WritingTwiceOverwritesInTheSameKey) {
  ASSERT_TRUE(RegSetString(Hive::LocalMachine, "Software\\Ext", "Name", "first"));
  ASSERT_TRUE(RegSetString(Hive::LocalMachine, "\\Software\\Ext\\", "Name", "second"));
  ASSERT_TRUE(RegSetString(Hive::LocalMachine, "Software\\Ext\\", "Name", "third"));
  EXPECT_EQ(Stored(Hive() / "Software" / "Ext", "=Name"), "third");
  const std::vector<fs::path> all = Everything(Hive());
  const std::vector<fs::path> expected = {Hive() / "Software", Hive() / "Software" / "Ext",
                                          Hive() / "Software" / "Ext" / "=Name"};
  EXPECT_EQ(std::set<fs::path>(all.begin(), all.end()),
            std::set<fs::path>(expected.begin(), expected.end()))
      << "one key, one value, no temporary files left";
}

TEST_F(RegistryStore, AnEmptyKeyAfterTrimmingIsTheHivesRoot) {
  ASSERT_TRUE(RegSetString(Hive::LocalMachine, "\\", "v", "at the root"));
  EXPECT_EQ(Stored(Hive(), "=v"), "at the root");
  EXPECT_FALSE(RegDeleteEntry(Hive::LocalMachine, "", "")) << "the hive's root is never deleted";
  EXPECT_TRUE(fs::exists(Hive()));
  EXPECT_TRUE(RegDeleteEntry(Hive::LocalMachine, "\\", "v"));
}

TEST_F(RegistryStore, DeletingWhatIsNotThereFails) {
  ASSERT_TRUE(RegSetString(Hive::LocalMachine, "Present", "v", "1"));
  const struct {
    std::string key;
    std::string valueName;
  } cases[] = {
      {"Absent", ""},   {"Absent\\Deeper", ""}, {"Present\\Absent", ""},  {"Absent", "v"},
      {"Present", "w"}, {"Present", "*"},       {"Present\\Absent", "v"}, {"Present", "V"},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(RegDeleteEntry(Hive::LocalMachine, c.key, c.valueName))
        << "key \"" << c.key << "\" value \"" << c.valueName << "\"";
  }
  EXPECT_EQ(Stored(Hive() / "Present", "=v"), "1");
  EXPECT_FALSE(RegKeyExists(Hive::LocalMachine, "Absent"));

  // Nothing at all under the root yet.
  ScopedEnvironment elsewhere(kRegistryRootVariable, (temp_ / "empty").string());
  EXPECT_FALSE(RegDeleteEntry(Hive::LocalMachine, "Present", ""));
  EXPECT_FALSE(RegDeleteEntry(Hive::LocalMachine, "Present", "v"));
}

TEST_F(RegistryStore, DeletingAKeyTakesItsValuesAndLeavesTheRest) {
  for (const char* name : {"*", "one", "two", "three"}) {
    ASSERT_TRUE(RegSetString(Hive::LocalMachine, "Software\\Ext\\{GUID}", name, name));
  }
  ASSERT_TRUE(RegSetString(Hive::LocalMachine, "Software\\Ext\\Other", "keep", "kept"));
  ASSERT_TRUE(RegSetString(Hive::LocalMachine, "Software\\Ext", "keep", "kept too"));

  EXPECT_TRUE(RegDeleteEntry(Hive::LocalMachine, "Software\\Ext\\{GUID}", ""));
  EXPECT_FALSE(RegKeyExists(Hive::LocalMachine, "Software\\Ext\\{GUID}"));
  EXPECT_FALSE(fs::exists(Hive() / "Software" / "Ext" / "{GUID}"));
  EXPECT_EQ(Stored(Hive() / "Software" / "Ext" / "Other", "=keep"), "kept");
  EXPECT_EQ(Stored(Hive() / "Software" / "Ext", "=keep"), "kept too");
  const std::vector<fs::path> left = Everything(Hive() / "Software" / "Ext");
  EXPECT_EQ(left.size(), 3u) << "Other, its value and the value of Ext: nothing set aside";
  EXPECT_FALSE(RegDeleteEntry(Hive::LocalMachine, "Software\\Ext\\{GUID}", ""))
      << "a second delete finds nothing";

  // A key can be made again after it was deleted.
  EXPECT_TRUE(RegSetString(Hive::LocalMachine, "Software\\Ext\\{GUID}", "one", "again"));
  EXPECT_EQ(Stored(Hive() / "Software" / "Ext" / "{GUID}", "=one"), "again");
}

TEST_F(RegistryStore, AKeyWithSubkeysIsNotDeleted) {
  ASSERT_TRUE(RegSetString(Hive::LocalMachine, "Parent", "v", "parent's"));
  ASSERT_TRUE(RegSetString(Hive::LocalMachine, "Parent\\Child", "v", "child's"));
  EXPECT_FALSE(RegDeleteEntry(Hive::LocalMachine, "Parent", ""));
  EXPECT_EQ(Stored(Hive() / "Parent", "=v"), "parent's");
  EXPECT_EQ(Stored(Hive() / "Parent" / "Child", "=v"), "child's");
  // Deleted from the bottom up, it goes.
  EXPECT_TRUE(RegDeleteEntry(Hive::LocalMachine, "Parent\\Child", ""));
  EXPECT_TRUE(RegDeleteEntry(Hive::LocalMachine, "Parent", ""));
  EXPECT_TRUE(Everything(Hive()).empty());
}

TEST_F(RegistryStore, TheKeyBranchOfDeleteTakesTheKeyUnchanged) {
  ASSERT_TRUE(RegSetString(Hive::LocalMachine, "A\\B", "v", "1"));
  EXPECT_FALSE(RegDeleteEntry(Hive::LocalMachine, "\\A\\B", ""));
  EXPECT_FALSE(RegDeleteEntry(Hive::LocalMachine, "A\\B\\", ""));
  EXPECT_TRUE(RegKeyExists(Hive::LocalMachine, "A\\B"));
  // The value branch trims.
  EXPECT_TRUE(RegDeleteEntry(Hive::LocalMachine, "\\A\\B\\", "v"));
  EXPECT_TRUE(RegDeleteEntry(Hive::LocalMachine, "A\\B", ""));
}

TEST_F(RegistryStore, PathsThatWouldLeaveTheStoreAreRefused) {
  const std::string keys[] = {
      "..",
      "a\\..\\..\\b",
      "..\\x",
      "a\\..",
      ".",
      "a\\.\\b",
      "/etc",
      "a/b",
      "..\\..\\..\\..\\tmp",
      "\\\\x",
      "a\\\\b",
      std::string("a\0b", 3),
      std::string("\0", 1),
  };
  for (const std::string& key : keys) {
    EXPECT_FALSE(RegSetString(Hive::LocalMachine, key, "v", "escaped")) << "key \"" << key << "\"";
    EXPECT_FALSE(RegDeleteEntry(Hive::LocalMachine, key, "v")) << "key \"" << key << "\"";
    EXPECT_FALSE(RegDeleteEntry(Hive::LocalMachine, key, "")) << "key \"" << key << "\"";
  }
  EXPECT_FALSE(RegSetString(Hive::LocalMachine, "k", std::string("a\0b", 3), "x"))
      << "a value name with a NUL";
  EXPECT_TRUE(Everything(temp_.path()).empty()) << "nothing was written anywhere";
}

TEST_F(RegistryStore, AnUnwritableRootMakesWritesFail) {
  WriteFile(temp_ / "a-file", "not a folder");
  const std::string roots[] = {
      (temp_ / "a-file").string(),
      (temp_ / "a-file" / "below").string(),
      "/proc/velmora-registry-test",
  };
  for (const std::string& root : roots) {
    ScopedEnvironment unwritable(kRegistryRootVariable, root);
    EXPECT_FALSE(RegSetString(Hive::LocalMachine, "Software\\Ext", "v", "x")) << root;
    EXPECT_FALSE(RegDeleteEntry(Hive::LocalMachine, "Software\\Ext", "")) << root;
  }
  EXPECT_EQ(ReadFile(temp_ / "a-file"), "not a folder");
}

TEST_F(RegistryStore, AFolderWithoutWritePermissionMakesWritesFail) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop the superuser";
  fs::create_directories(Hive());
  fs::permissions(Hive(), fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_FALSE(RegSetString(Hive::LocalMachine, "Software", "v", "x"));
  fs::permissions(Hive(), fs::perms::owner_all);
}

// Lowers the largest file this process may write, and puts the limit back afterwards.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = ::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead
    rlimit lowered = old_;
    lowered.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &lowered);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    ::signal(SIGXFSZ, oldHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit old_{};
  sighandler_t oldHandler_ = SIG_DFL;
};

TEST_F(RegistryStore, AFailedWriteLeavesThePreviousValue) {
  ASSERT_TRUE(RegSetString(Hive::LocalMachine, "Key", "v", "previous"));
  bool written = true;
  {
    FileSizeLimit limit(16);
    written = RegSetString(Hive::LocalMachine, "Key", "v", std::string(4096, 'n'));
  }
  EXPECT_FALSE(written);
  EXPECT_EQ(Stored(Hive() / "Key", "=v"), "previous");
  EXPECT_EQ(Everything(Hive() / "Key"), std::vector<fs::path>{Hive() / "Key" / "=v"})
      << "no temporary file left behind";
}

TEST_F(RegistryStore, PlantedLinksAreNotFollowed) {
  const fs::path outside = temp_ / "outside";
  fs::create_directories(outside);
  WriteFile(outside / "target", "outside");
  ASSERT_TRUE(RegSetString(Hive::LocalMachine, "A", "v", "inside"));
  // A subkey that is a link to a folder outside the store, at the hive's top and deeper down.
  fs::create_directory_symlink(outside, Hive() / "A" / "B");
  fs::create_directory_symlink(outside, Hive() / "Software");
  // Value files that are links to a file outside.
  fs::create_symlink(outside / "target", Hive() / "A" / "=linked");
  fs::create_symlink(outside / "target", Hive() / "A" / "=v2");

  EXPECT_FALSE(RegSetString(Hive::LocalMachine, "A\\B", "v", "through the link"));
  EXPECT_FALSE(RegSetString(Hive::LocalMachine, "A\\B\\C", "v", "through the link"));
  EXPECT_FALSE(RegSetString(Hive::LocalMachine, "Software\\Ext", "v", "through the link"));
  EXPECT_FALSE(RegDeleteEntry(Hive::LocalMachine, "A\\B", ""));
  EXPECT_FALSE(RegDeleteEntry(Hive::LocalMachine, "A\\B", "target"));
  EXPECT_FALSE(RegDeleteEntry(Hive::LocalMachine, "Software", ""));
  EXPECT_FALSE(RegKeyExists(Hive::LocalMachine, "A\\B"));

  // Writing a value whose file is a link replaces the link, never the file it points at.
  EXPECT_TRUE(RegSetString(Hive::LocalMachine, "A", "v2", "new"));
  EXPECT_EQ(Stored(Hive() / "A", "=v2"), "new");
  EXPECT_FALSE(fs::is_symlink(Hive() / "A" / "=v2"));

  // Deleting the key removes the links themselves.
  ASSERT_TRUE(fs::remove(Hive() / "A" / "B"));
  EXPECT_TRUE(RegDeleteEntry(Hive::LocalMachine, "A", ""));

  EXPECT_EQ(ReadFile(outside / "target"), "outside");
  EXPECT_EQ(Everything(outside), std::vector<fs::path>{outside / "target"});
}

}  // namespace
}  // namespace velmora
