// The two Tools-menu commands on real menu items: each writes or deletes for the running program
// and switches the items, whether or not its writes succeeded.
#include <gtest/gtest.h>
#include <gtkmm/main.h>

#include <array>
#include <filesystem>

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

constexpr const char* kKey =
    "Software\\Microsoft\\Internet Explorer\\Extensions\\{5D3A19C2-7B44-4E0F-A6D1-2C8E90F3B517}";
constexpr const char* kEntryFile = "example.tarnwick.Velmora.desktop";

class ToolsMenu : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadIdentity();
    for (Gtk::MenuItem& item : items_) item.set_sensitive(true);  // as the program starts
  }
  bool AddEnabled() const { return items_[0].get_sensitive(); }
  bool RemoveEnabled() const { return items_[1].get_sensitive(); }

  TempFolder temp_;
  ScopedEnvironment root_{kRegistryRootVariable, (temp_ / "registry").string()};
  ScopedEnvironment data_{"XDG_DATA_HOME", (temp_ / "data").string()};
  std::array<Gtk::MenuItem, 2> items_;
};

TEST_F(ToolsMenu, AddWritesForTheRunningProgramAndSwitchesTheItems) {
  const fs::path executable = fs::read_symlink("/proc/self/exe");
  const ietools::ProgramPlace place = CurrentProgramPlace();
  EXPECT_EQ(place.productName, strProductName);
  EXPECT_FALSE(place.productName.empty());
  EXPECT_EQ(place.programFolder, executable.parent_path());
  EXPECT_EQ(place.executableBaseName, executable.filename().string());
  EXPECT_EQ(place.applicationsFolder, temp_ / "data" / "applications");

  AddToIETools(items_);
  EXPECT_FALSE(AddEnabled());
  EXPECT_TRUE(RemoveEnabled());
  EXPECT_EQ(RegGetString(Hive::LocalMachine, kKey, "Exec"), executable.string());
  EXPECT_EQ(RegGetString(Hive::LocalMachine, kKey, "ButtonText"), strProductName);
  EXPECT_EQ(RegGetString(Hive::LocalMachine, kKey, "Icon"),
            (executable.parent_path() / "icon.ico").string());
  EXPECT_EQ(ReadFile(temp_ / "data" / "applications" / kEntryFile),
            desktop::DesktopEntryText(strProductName, executable,
                                      executable.parent_path() / "velmora.png"));

  RemoveFromIETools(items_);
  EXPECT_TRUE(AddEnabled());
  EXPECT_FALSE(RemoveEnabled());
  EXPECT_FALSE(RegKeyExists(Hive::LocalMachine, kKey));
  EXPECT_FALSE(fs::exists(temp_ / "data" / "applications" / kEntryFile));
}

TEST_F(ToolsMenu, TheItemsSwitchAlsoWhenNothingCouldBeDone) {
  // Nothing to remove: the items still switch.
  RemoveFromIETools(items_);
  EXPECT_TRUE(AddEnabled());
  EXPECT_FALSE(RemoveEnabled());

  // A store that cannot be written and an applications folder that cannot be made.
  WriteFile(temp_ / "registry", "not a folder");
  WriteFile(temp_ / "data", "not a folder");
  AddToIETools(items_);
  EXPECT_FALSE(AddEnabled());
  EXPECT_TRUE(RemoveEnabled());
  RemoveFromIETools(items_);
  EXPECT_TRUE(AddEnabled());
  EXPECT_FALSE(RemoveEnabled());
  EXPECT_EQ(ReadFile(temp_ / "registry"), "not a folder");
}

}  // namespace
}  // namespace velmora
