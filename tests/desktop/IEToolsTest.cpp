// What the Tools-menu commands write: the eight values of the extension key, in order and with
// their exact data, and the desktop entry, byte for byte; and that removing takes exactly these.
#include <glib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/modIdentity.h"
#include "desktop/CRegister.h"
#include "desktop/DesktopEntry.h"
#include "desktop/IETOOLS.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempFolder.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::ScopedEnvironment;
using testing::TempFolder;
using testing::WriteFile;

// Written out here rather than taken from the constants, so a slip there shows.
constexpr const char* kGuid = "{5D3A19C2-7B44-4E0F-A6D1-2C8E90F3B517}";
const std::string kKey =
    std::string("Software\\Microsoft\\Internet Explorer\\Extensions\\") + kGuid;
constexpr const char* kEntryFile = "example.tarnwick.Velmora.desktop";

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs AsPairs(const std::array<ietools::ExtensionValue, 8>& values) {
  Pairs pairs;
  for (const auto& value : values) pairs.emplace_back(value.name, value.data);
  return pairs;
}

TEST(ExtensionValues, EightValuesInOrderWithTheirData) {
  const struct {
    std::string product, folder, executable;
    std::string exec, hotIcon, icon;
  } cases[] = {
      {"Velmora", "/opt/velmora", "velmora", "/opt/velmora/velmora", "/opt/velmora/hoticon.ico",
       "/opt/velmora/icon.ico"},
      // The root of the file system: one separator, not two.
      {"Velmora", "/", "velmora", "/velmora", "/hoticon.ico", "/icon.ico"},
      // A folder given with a separator at its end, names with spaces.
      {"Other Name", "/home/ann/my programs/", "velmora browser",
       "/home/ann/my programs/velmora browser", "/home/ann/my programs/hoticon.ico",
       "/home/ann/my programs/icon.ico"},
  };
  for (const auto& c : cases) {
    const Pairs expected{
        {"ButtonText", c.product},    {"CLSID", "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}"},
        {"Default Visible", "Yes"},   {"Exec", c.exec},
        {"HotIcon", c.hotIcon},       {"Icon", c.icon},
        {"MenuStatusBar", c.product}, {"MenuText", "&" + c.product}};
    EXPECT_EQ(AsPairs(ietools::ExtensionValues(c.product, c.folder, c.executable)), expected)
        << "program folder \"" << c.folder << "\"";
  }
}

// The entry is one the desktop takes for a web browser that opens pages and links, and the
// desktop's own validator finds nothing wrong with it.
TEST(DesktopEntry, ADesktopTakesItForABrowserOfPagesAndLinks) {
  const std::optional<std::string> text =
      desktop::DesktopEntryText("Velmora", "/opt/velmora/velmora", "/opt/velmora/velmora.png");
  ASSERT_TRUE(text);
  GKeyFile* file = g_key_file_new();
  ASSERT_TRUE(
      g_key_file_load_from_data(file, text->data(), text->size(), G_KEY_FILE_NONE, nullptr));
  const auto list = [file](const char* key) {
    gsize count = 0;
    gchar** values = g_key_file_get_string_list(file, "Desktop Entry", key, &count, nullptr);
    std::set<std::string> out(values, values + count);
    g_strfreev(values);
    return out;
  };
  EXPECT_TRUE(list("Categories").contains("WebBrowser"));
  EXPECT_EQ(list("MimeType"),
            (std::set<std::string>{"text/html", "application/xhtml+xml", "x-scheme-handler/http",
                                   "x-scheme-handler/https"}));
  EXPECT_FALSE(g_key_file_get_boolean(file, "Desktop Entry", "Terminal", nullptr));
  g_key_file_free(file);

  gchar* validator = g_find_program_in_path("desktop-file-validate");
  if (validator == nullptr) GTEST_SKIP() << "desktop-file-validate is not installed";
  TempFolder folder;
  WriteFile(folder / "example.tarnwick.Velmora.desktop", *text);
  const std::string entry = (folder / "example.tarnwick.Velmora.desktop").string();
  gchar* argv[] = {validator, const_cast<gchar*>(entry.c_str()), nullptr};
  gchar* out = nullptr;
  gint status = 0;
  ASSERT_TRUE(g_spawn_sync(nullptr, argv, nullptr, G_SPAWN_STDERR_TO_DEV_NULL, nullptr, nullptr,
                           &out, nullptr, &status, nullptr));
  EXPECT_TRUE(g_spawn_check_wait_status(status, nullptr)) << out;
  g_free(out);
  g_free(validator);
}

TEST(DesktopEntry, PathsAreQuotedAndEscapedForTheirKeys) {
  const struct {
    std::string executable;
    std::string execLine;
    std::string tryExecLine;
  } cases[] = {
      {"/velmora", "Exec=/velmora", "TryExec=/velmora"},
      {"/opt/my programs/velmora", "Exec=\"/opt/my programs/velmora\"",
       "TryExec=/opt/my programs/velmora"},
      {"/opt/50%/velmora", "Exec=/opt/50%%/velmora", "TryExec=/opt/50%/velmora"},
      {"/opt/a b%/velmora", "Exec=\"/opt/a b%%/velmora\"", "TryExec=/opt/a b%/velmora"},
      {"/opt/$HOME/velmora", "Exec=\"/opt/\\\\$HOME/velmora\"", "TryExec=/opt/$HOME/velmora"},
      {"/opt/\"q\"/velmora", "Exec=\"/opt/\\\\\"q\\\\\"/velmora\"", "TryExec=/opt/\"q\"/velmora"},
      {"/opt/`x`/velmora", "Exec=\"/opt/\\\\`x\\\\`/velmora\"", "TryExec=/opt/`x`/velmora"},
      // The quoting's escapes are escaped again as a string value: "\\$" stands for "$", and
      // four backslashes for one.
      {"/opt/a\\b/velmora", "Exec=\"/opt/a\\\\\\\\b/velmora\"", "TryExec=/opt/a\\\\b/velmora"},
      {"/opt/it's/velmora", "Exec=\"/opt/it's/velmora\"", "TryExec=/opt/it's/velmora"},
      {"/opt/new\nline/velmora", "Exec=\"/opt/new\\nline/velmora\"",
       "TryExec=/opt/new\\nline/velmora"},
      {"/opt/tab\there/velmora", "Exec=\"/opt/tab\\there/velmora\"",
       "TryExec=/opt/tab\\there/velmora"},
      {"/opt/a;b&c|d/velmora", "Exec=\"/opt/a;b&c|d/velmora\"", "TryExec=/opt/a;b&c|d/velmora"},
  };
  for (const auto& c : cases) {
    const std::optional<std::string> text =
        desktop::DesktopEntryText("Velmora", c.executable, "/i.png");
    ASSERT_TRUE(text) << c.executable;
    EXPECT_NE(text->find("\n" + c.execLine + " %u\n"), std::string::npos)
        << c.executable << " gave\n"
        << *text;
    EXPECT_NE(text->find("\n" + c.tryExecLine + "\n"), std::string::npos)
        << c.executable << " gave\n"
        << *text;
    // Every line is a key, "=" and a value: nothing in a path breaks a line.
    EXPECT_EQ(std::count(text->begin(), text->end(), '\n'), 12) << c.executable;
  }
}

// GLib's key-file reader and shell-style splitting, as a desktop reads an entry: every path
// comes back whole as the one word of the command, and as TryExec, Icon and Name.
TEST(DesktopEntry, AKeyFileReaderGetsEveryPathBack) {
  const std::string paths[] = {
      "/opt/velmora/velmora", "/my programs/velmora", "/a\\b/c\\\\d",
      "/$HOME/`id`/x",        "/\"quoted\"/x",        "/it's/x",
      "/100%/%f %u/x",        "/new\nline/tab\t/x",   "/;&|<>~*?#()/x",
      "/\xC3\xA9t\xC3\xA9/x", "/trailing\\",
  };
  for (const std::string& path : paths) {
    const std::optional<std::string> text =
        desktop::DesktopEntryText("Vel\\mora\nX", path, path + ".png");
    ASSERT_TRUE(text) << path;
    GKeyFile* file = g_key_file_new();
    ASSERT_TRUE(
        g_key_file_load_from_data(file, text->data(), text->size(), G_KEY_FILE_NONE, nullptr))
        << *text;
    const auto get = [file](const char* key) {
      gchar* value = g_key_file_get_string(file, "Desktop Entry", key, nullptr);
      std::string copy = value == nullptr ? "(missing)" : value;
      g_free(value);
      return copy;
    };
    EXPECT_EQ(get("TryExec"), path);
    EXPECT_EQ(get("Icon"), path + ".png");
    EXPECT_EQ(get("Name"), "Vel\\mora\nX");
    // Field codes first, as a desktop opening a link expands them ("%%" is a "%", "%u" the
    // link), then the words.
    const std::string raw = get("Exec");
    std::string exec;
    for (std::size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] == '%' && i + 1 < raw.size()) {
        exec += raw[i + 1] == 'u' ? std::string("'https://example.org/a b'") : raw.substr(i + 1, 1);
        ++i;
      } else {
        exec += raw[i];
      }
    }
    gint argc = 0;
    gchar** argv = nullptr;
    ASSERT_TRUE(g_shell_parse_argv(exec.c_str(), &argc, &argv, nullptr)) << exec;
    ASSERT_EQ(argc, 2) << exec;
    EXPECT_EQ(std::string(argv[0]), path) << exec;
    EXPECT_EQ(std::string(argv[1]), "https://example.org/a b") << exec;
    g_strfreev(argv);
    g_key_file_free(file);
  }
}

TEST(DesktopEntry, NamesAndIconsAreEscapedToo) {
  const std::optional<std::string> text =
      desktop::DesktopEntryText("Vel\nmora\\", "/v", "/icons dir/a\\b.png");
  ASSERT_TRUE(text);
  EXPECT_NE(text->find("\nName=Vel\\nmora\\\\\n"), std::string::npos) << *text;
  EXPECT_NE(text->find("\nIcon=/icons dir/a\\\\b.png\n"), std::string::npos) << *text;
}

TEST(DesktopEntry, NoEntryForAnExecutableItCannotRun) {
  for (const char* executable : {"velmora", "bin/velmora", "", "/opt/a=b/velmora"}) {
    EXPECT_EQ(desktop::DesktopEntryText("Velmora", executable, "/i.png"), std::nullopt)
        << "\"" << executable << "\"";
  }
}

TEST(DesktopEntry, TheApplicationsFolderFollowsXdgDataHome) {
  const struct {
    std::optional<std::string> dataHome;
    std::string expected;
  } cases[] = {
      {"/data/home", "/data/home/applications"},
      {"/data/home/", "/data/home/applications"},
      {std::nullopt, "/home/ann/.local/share/applications"},
      {"", "/home/ann/.local/share/applications"},
      {"relative/data", "/home/ann/.local/share/applications"},
  };
  ScopedEnvironment home("HOME", "/home/ann");
  for (const auto& c : cases) {
    ScopedEnvironment data("XDG_DATA_HOME", c.dataHome);
    EXPECT_EQ(desktop::UserApplicationsFolder().lexically_normal(), fs::path(c.expected))
        << "XDG_DATA_HOME \"" << c.dataHome.value_or("(unset)") << "\"";
  }
}

TEST(DesktopEntry, InstallAndRemoveTouchOnlyTheOneFile) {
  TempFolder temp;
  const fs::path applications = temp / "applications";
  fs::create_directories(applications);
  WriteFile(applications / "other.desktop", "[Desktop Entry]\nName=Other\n");
  WriteFile(applications / (std::string(kEntryFile) + ".bak"), "backup");
  WriteFile(applications / "example.tarnwick.Velmora", "no extension");

  ASSERT_TRUE(desktop::InstallDesktopEntry(applications, "first\n"));
  ASSERT_TRUE(desktop::InstallDesktopEntry(applications, "second\n"));
  EXPECT_EQ(ReadFile(applications / kEntryFile), "second\n");

  EXPECT_TRUE(desktop::RemoveDesktopEntry(applications));
  EXPECT_FALSE(fs::exists(applications / kEntryFile));
  EXPECT_FALSE(desktop::RemoveDesktopEntry(applications)) << "already gone";
  std::set<fs::path> left;
  for (const auto& entry : fs::directory_iterator(applications)) left.insert(entry.path());
  EXPECT_EQ(left, (std::set<fs::path>{applications / "other.desktop",
                                      applications / (std::string(kEntryFile) + ".bak"),
                                      applications / "example.tarnwick.Velmora"}));
  EXPECT_EQ(ReadFile(applications / "other.desktop"), "[Desktop Entry]\nName=Other\n");
}

TEST(DesktopEntry, InstallMakesAMissingFolderAndFailsWhereItCannot) {
  TempFolder temp;
  EXPECT_TRUE(desktop::InstallDesktopEntry(temp / "new" / "applications", "x\n"));
  EXPECT_EQ(ReadFile(temp / "new" / "applications" / kEntryFile), "x\n");
  WriteFile(temp / "a-file", "a file");
  EXPECT_FALSE(desktop::InstallDesktopEntry(temp / "a-file", "x\n"));
  EXPECT_FALSE(desktop::InstallDesktopEntry("", "x\n"));
  EXPECT_EQ(ReadFile(temp / "a-file"), "a file");
}

// The files the values and the entry point at are shipped beside the program: two real icon
// files with 16, 32 and 48 pixel images, the hot one different, and a PNG for the entry.
TEST(ShippedIcons, TheNamedFilesAreThere) {
  const fs::path beside = VELMORA_BESIDE_PROGRAM;
  const auto u16 = [](const std::string& bytes, std::size_t at) {
    return static_cast<unsigned>(static_cast<unsigned char>(bytes[at])) |
           static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << 8;
  };
  for (const char* name : {"icon.ico", "hoticon.ico"}) {
    const std::string icon = ReadFile(beside / name);
    ASSERT_GE(icon.size(), 6u + 3 * 16) << name;
    EXPECT_EQ(u16(icon, 0), 0u) << name;
    EXPECT_EQ(u16(icon, 2), 1u) << name << ": an icon, not a cursor";
    ASSERT_EQ(u16(icon, 4), 3u) << name;
    for (std::size_t i = 0; i < 3; ++i) {
      const std::size_t entry = 6 + 16 * i;
      const unsigned size = static_cast<unsigned char>(icon[entry]);
      EXPECT_EQ(size, 16u * (i + 1)) << name << " image " << i;
      EXPECT_EQ(static_cast<unsigned char>(icon[entry + 1]), size) << name << " image " << i;
    }
  }
  EXPECT_NE(ReadFile(beside / "icon.ico"), ReadFile(beside / "hoticon.ico"));
  EXPECT_EQ(ReadFile(beside / "velmora.png").substr(0, 8), "\x89PNG\r\n\x1A\n");
}

// The commands' writes, in a store and an applications folder of the test's own.
class ProgramEntries : public ::testing::Test {
 protected:
  ietools::ProgramPlace Place(const fs::path& programFolder) const {
    return {"Velmora", programFolder, "velmora", temp_ / "applications"};
  }
  fs::path Extensions() const {
    return temp_ / "registry" / "HKEY_LOCAL_MACHINE" / "Software" / "Microsoft" /
           "Internet Explorer" / "Extensions";
  }
  // The values of the program's key as the store keeps them: a file "=name" each.
  std::map<std::string, std::string> StoredValues() const {
    std::map<std::string, std::string> values;
    std::error_code error;
    for (fs::directory_iterator it(Extensions() / kGuid, error), end; !error && it != end;
         it.increment(error)) {
      values[it->path().filename().string().substr(1)] = ReadFile(it->path());
    }
    return values;
  }
  static std::map<std::string, std::string> Written(const fs::path& programFolder) {
    std::map<std::string, std::string> values;
    for (const auto& value : ietools::ExtensionValues("Velmora", programFolder, "velmora")) {
      values[std::string(value.name)] = value.data;
    }
    return values;
  }
  static std::size_t Count(const fs::path& folder) {
    std::error_code error;
    std::size_t count = 0;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
      ++count;
    }
    return count;
  }

  TempFolder temp_;
  ScopedEnvironment root_{kRegistryRootVariable, (temp_ / "registry").string()};
};

TEST_F(ProgramEntries, AddWritesTheEightValuesAndTheEntryAndAddingTwiceChangesNothing) {
  for (int round = 1; round <= 2; ++round) {
    ietools::AddProgramEntries(Place("/opt/velmora"));
    EXPECT_EQ(StoredValues(), Written("/opt/velmora")) << "eight values, round " << round;
    EXPECT_EQ(Count(Extensions()), 1u) << "one key, round " << round;
    EXPECT_EQ(
        ReadFile(temp_ / "applications" / kEntryFile),
        desktop::DesktopEntryText("Velmora", "/opt/velmora/velmora", "/opt/velmora/velmora.png"));
  }
}

TEST_F(ProgramEntries, RemoveDeletesTheKeyAndTheEntryAndNothingElse) {
  ASSERT_TRUE(RegSetString(Hive::LocalMachine,
                           "Software\\Microsoft\\Internet Explorer\\Extensions"
                           "\\{OTHER}",
                           "Exec", "/usr/bin/other"));
  fs::create_directories(temp_ / "applications");
  WriteFile(temp_ / "applications" / "other.desktop", "other");
  ietools::AddProgramEntries(Place("/opt/velmora"));
  ASSERT_EQ(StoredValues().size(), 8u);

  ietools::RemoveProgramEntries(temp_ / "applications");
  EXPECT_FALSE(RegKeyExists(Hive::LocalMachine, kKey));
  EXPECT_TRUE(StoredValues().empty());
  EXPECT_FALSE(fs::exists(temp_ / "applications" / kEntryFile));
  EXPECT_EQ(ReadFile(Extensions() / "{OTHER}" / "=Exec"), "/usr/bin/other");
  EXPECT_EQ(ReadFile(temp_ / "applications" / "other.desktop"), "other");

  // Removing again finds nothing to remove and fails quietly.
  ietools::RemoveProgramEntries(temp_ / "applications");
  EXPECT_EQ(Count(Extensions()), 1u);
}

TEST_F(ProgramEntries, AFailingRegistryDoesNotStopTheDesktopEntry) {
  WriteFile(temp_ / "registry", "a file where the store should be");
  ietools::AddProgramEntries(Place("/opt/velmora"));
  EXPECT_TRUE(StoredValues().empty());
  EXPECT_TRUE(fs::exists(temp_ / "applications" / kEntryFile));
  ietools::RemoveProgramEntries(temp_ / "applications");
  EXPECT_FALSE(fs::exists(temp_ / "applications" / kEntryFile));
  EXPECT_EQ(ReadFile(temp_ / "registry"), "a file where the store should be");
}

TEST_F(ProgramEntries, AnUnknownProgramFolderWritesNothing) {
  for (const char* folder : {"", "relative/folder"}) {
    ietools::AddProgramEntries(Place(folder));
    EXPECT_TRUE(StoredValues().empty()) << "\"" << folder << "\"";
    EXPECT_FALSE(fs::exists(temp_ / "applications")) << "\"" << folder << "\"";
  }
}

// The two commands for the running program, as the Tools menu gives them.
TEST_F(ProgramEntries, TheCommandsWriteForTheRunningProgramAndSayWhetherTheyCould) {
  ScopedEnvironment data("XDG_DATA_HOME", (temp_ / "data").string());
  LoadIdentity();
  const fs::path executable = fs::read_symlink("/proc/self/exe");
  const ietools::ProgramPlace place = CurrentProgramPlace();
  EXPECT_EQ(place.productName, strProductName);
  EXPECT_FALSE(place.productName.empty());
  EXPECT_EQ(place.programFolder, executable.parent_path());
  EXPECT_EQ(place.executableBaseName, executable.filename().string());
  EXPECT_EQ(place.applicationsFolder, temp_ / "data" / "applications");

  EXPECT_TRUE(AddToIETools());
  EXPECT_EQ(StoredValues()["Exec"], executable.string());
  EXPECT_EQ(ReadFile(temp_ / "data" / "applications" / kEntryFile),
            desktop::DesktopEntryText(strProductName, executable,
                                      executable.parent_path() / "velmora.png"));
  EXPECT_TRUE(RemoveFromIETools());
  EXPECT_FALSE(RegKeyExists(Hive::LocalMachine, kKey));
  EXPECT_FALSE(fs::exists(temp_ / "data" / "applications" / kEntryFile));
  EXPECT_TRUE(RemoveFromIETools()) << "nothing is left: that is what removing asks";

  // A store that cannot be written and an applications folder that cannot be made.
  fs::remove_all(temp_ / "registry");
  fs::remove_all(temp_ / "data");
  WriteFile(temp_ / "registry", "not a folder");
  WriteFile(temp_ / "data", "not a folder");
  EXPECT_FALSE(AddToIETools());
  EXPECT_TRUE(RemoveFromIETools());
  EXPECT_EQ(ReadFile(temp_ / "registry"), "not a folder");
}

TEST_F(ProgramEntries, AnEntryThatStaysIsAFailedRemoval) {
  // Where the entry would be, a folder with a file in it: removing the entry cannot take it.
  fs::create_directories(temp_ / "applications" / kEntryFile);
  WriteFile(temp_ / "applications" / kEntryFile / "kept", "kept");
  EXPECT_FALSE(ietools::RemoveProgramEntries(temp_ / "applications"));
  EXPECT_EQ(ReadFile(temp_ / "applications" / kEntryFile / "kept"), "kept");
}

}  // namespace
}  // namespace velmora
