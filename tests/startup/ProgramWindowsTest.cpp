// The windows around the main window as the program wires them: the help window and its
// start-up rule, the website window outliving the main window, the About window loaded on
// demand, the Tools menu's entries, the main window's unload, and the splash brought back when a
// window finds no skin.
#include <glibmm/main.h>
#include <gtest/gtest.h>
#include <gtkmm/main.h>

#include <memory>
#include <string>
#include <vector>

#include "common/modIdentity.h"
#include "desktop/CRegister.h"
#include "hosted/SkinCompanion.h"
#include "mainwindow/Form1.h"
#include "skin/modSkin.h"
#include "startup/ProgramWindows.h"
#include "support/FakeBrowserControl.h"
#include "support/ScopedEnvironment.h"
#include "support/TempFolder.h"

namespace velmora {
namespace {

using testing::FakeBrowserControl;
using testing::TempFolder;
using testing::WriteFile;

constexpr const char* kAssets = VELMORA_TEST_ASSETS;

void Settle() {
  for (int i = 0; i < 5; ++i) {
    g_usleep(2000);
    while (Gtk::Main::events_pending()) Gtk::Main::iteration(false);
  }
}

class ProgramWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadIdentity();
    WriteFile(folder / "Help.rtf", "{\\rtf1\\ansi {\\b Velmora} help\\par}");
    ProgramWindowsParts parts;
    parts.programFolder = folder.path();
    parts.assetsFolder = kAssets;
    parts.settings = SettingsStore(folder / "settings.ini");
    parts.makeSplash = [this] {
      ++splashesMade;
      return std::make_unique<frmSplash>(splashAssets, [this] { ++mainWindowsOpened; });
    };
    parts.makeWebsiteBrowser = [this] {
      auto browser = std::make_unique<FakeBrowserControl>();
      websiteBrowsers.push_back(browser.get());
      return browser;
    };
    parts.endProgram = [this] { ++programEnded; };
    windows = std::make_unique<ProgramWindows>(std::move(parts));
    windows->StartSplash();
  }

  void TearDown() override {
    form.reset();
    windows.reset();
  }

  // The main window with fake panes, loaded as the splash's timer loads it.
  void LoadMainWindow() {
    Form1Parts parts;
    for (auto& pane : parts.panes) pane = std::make_unique<FakeBrowserControl>();
    parts.workFiles = WorkFiles(folder.path());
    parts.seams = windows.get();
    form = std::make_unique<Form1>(std::move(parts));
    windows->SetMainWindow(form.get());
    form->Form_Load();
    form->show();
  }

  void StoreShowHelp(const char* value) {
    ASSERT_TRUE(SettingsStore(folder / "settings.ini").SaveSetting("Settings", "showHelp", value));
  }

  TempFolder folder;
  // The Tools menu writes into this test's folder only.
  testing::ScopedEnvironment registryRoot{kRegistryRootVariable, (folder / "registry").string()};
  testing::ScopedEnvironment dataHome{"XDG_DATA_HOME", (folder / "data").string()};
  std::filesystem::path splashAssets = kAssets;
  int splashesMade = 0;
  int mainWindowsOpened = 0;
  int programEnded = 0;
  std::vector<FakeBrowserControl*> websiteBrowsers;
  std::unique_ptr<ProgramWindows> windows;
  std::unique_ptr<Form1> form;
};

TEST_F(ProgramWindowsTest, FirstStartOpensTheHelpChecked) {
  LoadMainWindow();
  ASSERT_NE(windows->Help(), nullptr);
  EXPECT_TRUE(windows->Help()->get_visible());
  EXPECT_TRUE(windows->Help()->Check1.get_active());
  EXPECT_TRUE(windows->Help()->OnTop());
}

TEST_F(ProgramWindowsTest, UncheckedHelpStaysClosedUntilViewHelp) {
  StoreShowHelp("0");
  LoadMainWindow();
  EXPECT_EQ(windows->Help(), nullptr);
  form->mnuHelpItem_Click(0);  // Help > View Help
  ASSERT_NE(windows->Help(), nullptr);
  EXPECT_TRUE(windows->Help()->get_visible());
  EXPECT_FALSE(windows->Help()->Check1.get_active());
  // Checking it again stores "1" for the next start.
  windows->Help()->Check1.set_active(true);
  EXPECT_EQ(windows->ShowHelpSetting(), "1");
  // Closing unloads it; the next request loads it again.
  windows->Help()->hide();
  Settle();
  EXPECT_EQ(windows->Help(), nullptr);
  form->mnuHelpItem_Click(0);
  ASSERT_NE(windows->Help(), nullptr);
  EXPECT_TRUE(windows->Help()->Check1.get_active());
}

TEST_F(ProgramWindowsTest, WithoutAHelpFileNeitherPathShowsTheHelp) {
  std::filesystem::remove(folder / "Help.rtf");
  LoadMainWindow();
  EXPECT_EQ(windows->Help(), nullptr);
  form->mnuHelpItem_Click(0);
  EXPECT_EQ(windows->Help(), nullptr);
  for (Gtk::Window* window : Gtk::Window::list_toplevels()) {
    if (window->get_visible()) {
      EXPECT_NE(window->get_title(), "Readme/Help");
    }
  }
}

TEST_F(ProgramWindowsTest, TheWebsiteWindowOutlivesTheMainWindow) {
  LoadMainWindow();
  form->cmdWebsite_Click();
  ASSERT_NE(windows->Website(), nullptr);
  ASSERT_EQ(websiteBrowsers.size(), 1u);
  EXPECT_EQ(websiteBrowsers[0]->navigations, std::vector<std::string>{strWebsite});
  EXPECT_TRUE(windows->WebsiteShowing());
  form->mnuViewItem_Click(3);  // the website's menu item brings the same window forward
  EXPECT_EQ(websiteBrowsers.size(), 1u);

  form->Form_Unload();  // the main window closes first
  EXPECT_EQ(programEnded, 0);
  EXPECT_EQ(windows->Splash(), nullptr) << "the main window unloads the splash";
  EXPECT_EQ(windows->Help(), nullptr) << "and the help window";
  EXPECT_TRUE(windows->WebsiteShowing());

  windows->Website()->Form_Unload();  // closing the website window now ends the program
  EXPECT_EQ(programEnded, 1);
}

TEST_F(ProgramWindowsTest, ClosingTheWebsiteWindowFirstKeepsTheProgramRunning) {
  LoadMainWindow();
  form->cmdWebsite_Click();
  windows->Website()->Form_Unload();
  EXPECT_EQ(programEnded, 0);
  Settle();
  EXPECT_EQ(windows->Website(), nullptr) << "closed windows are unloaded";
  form->cmdWebsite_Click();  // a new load, a new start page
  ASSERT_EQ(websiteBrowsers.size(), 2u);
  EXPECT_EQ(websiteBrowsers[1]->navigations, std::vector<std::string>{strWebsite});
  form->Form_Unload();
  EXPECT_EQ(programEnded, 0);
  windows->Website()->Form_Unload();
  EXPECT_EQ(programEnded, 1);
}

TEST_F(ProgramWindowsTest, MainWindowAloneEndsTheProgramAndTheSkinCompanion) {
  LoadMainWindow();
  ASSERT_NE(objSkinCompanion, nullptr);
  form->Form_Unload();
  EXPECT_EQ(programEnded, 1);
  EXPECT_FALSE(objSkinCompanion->Started());
  EXPECT_EQ(mainWindowsOpened, 0) << "the splash's timer did not run in this test";
}

TEST_F(ProgramWindowsTest, AboutLoadsOnDemandAndAgainAfterClosing) {
  LoadMainWindow();
  form->mnuAboutItem_Click(0);
  frmAbout* about = windows->About();
  ASSERT_NE(about, nullptr);
  EXPECT_TRUE(about->get_visible());
  EXPECT_EQ(about->get_title(), "About " + strProductName);
  form->mnuAboutItem_Click(0);
  EXPECT_EQ(windows->About(), about) << "a second request shows the same window";
  about->hide();
  Settle();
  EXPECT_EQ(windows->About(), nullptr);
  form->mnuAboutItem_Click(0);
  EXPECT_NE(windows->About(), nullptr);
}

TEST_F(ProgramWindowsTest, ToolsItemsWriteTheEntriesAndSwitch) {
  LoadMainWindow();
  auto& items = form->mnuToolsItem;
  EXPECT_TRUE(items[0].get_sensitive());
  EXPECT_TRUE(items[1].get_sensitive());
  form->mnuToolsItem_Click(0);
  EXPECT_FALSE(items[0].get_sensitive());
  EXPECT_TRUE(items[1].get_sensitive());
  const std::filesystem::path entry = folder / "data/applications/example.tarnwick.Velmora.desktop";
  EXPECT_TRUE(std::filesystem::exists(entry));
  EXPECT_TRUE(std::filesystem::exists(folder / "registry"));
  form->mnuToolsItem_Click(1);
  EXPECT_TRUE(items[0].get_sensitive());
  EXPECT_FALSE(items[1].get_sensitive());
  EXPECT_FALSE(std::filesystem::exists(entry));
}

// Runs the main loop for about `milliseconds`, long enough for a running splash timer to count
// far past its end.
void RunFor(int milliseconds) {
  bool done = false;
  auto stop = Glib::signal_timeout().connect(
      [&] {
        done = true;
        return false;
      },
      milliseconds);
  while (!done) Gtk::Main::iteration();
}

bool IsSkinned(Gtk::Window& window) {
  return window.get_style_context()->has_class(SkinControl::kSkinnedClass);
}

TEST_F(ProgramWindowsTest, SkinningWithTheSplashUnloadedBringsItBackHidden) {
  LoadMainWindow();
  form->mnuAboutItem_Click(0);
  windows->About()->hide();
  Settle();
  windows->UnloadSplash();
  ASSERT_EQ(sknShared, nullptr);
  form->mnuAboutItem_Click(0);  // the About window is skinned at its load
  ASSERT_NE(windows->Splash(), nullptr);
  EXPECT_EQ(splashesMade, 2);
  EXPECT_FALSE(windows->Splash()->get_visible());
  EXPECT_FALSE(windows->Splash()->TimerEnabled());
  EXPECT_EQ(sknShared, &windows->Splash()->skn);
  EXPECT_TRUE(IsSkinned(*windows->About()));
  RunFor(400);
  EXPECT_EQ(mainWindowsOpened, 0) << "the reloaded splash must not open a main window";
  EXPECT_EQ(windows->Splash()->Ticks(), 0);

  // The next window finds the skin at once.
  Gtk::Window next;
  EXPECT_TRUE(SkinForm(next));
  EXPECT_EQ(splashesMade, 2);
}

TEST_F(ProgramWindowsTest, ALoadedSplashPublishesItsSkinAgainAndKeepsCounting) {
  frmSplash* splash = windows->Splash();
  ASSERT_NE(splash, nullptr);
  sknShared = nullptr;  // the shared skin was lost while the splash still counts
  Gtk::Window window;
  EXPECT_TRUE(SkinForm(window));
  EXPECT_EQ(splashesMade, 1);
  EXPECT_EQ(sknShared, &splash->skn);
  EXPECT_TRUE(splash->TimerEnabled()) << "the start-up count goes on";
  RunFor(600);
  EXPECT_EQ(mainWindowsOpened, 1);
  EXPECT_FALSE(splash->get_visible());
}

TEST_F(ProgramWindowsTest, ASecondFailureLeavesTheWindowUnskinned) {
  // A splash whose skin cannot be read: its own load cannot skin it, and it must not reload
  // itself over and over.
  windows->UnloadSplash();
  TempFolder empty;
  splashAssets = empty.path();
  ::testing::internal::CaptureStderr();
  Gtk::Window window;
  EXPECT_FALSE(SkinForm(window));
  const std::string messages = ::testing::internal::GetCapturedStderr();
  EXPECT_FALSE(IsSkinned(window));
  EXPECT_EQ(splashesMade, 2);
  ASSERT_NE(windows->Splash(), nullptr);
  EXPECT_FALSE(IsSkinned(*windows->Splash()));
  EXPECT_FALSE(windows->Splash()->TimerEnabled());
  EXPECT_NE(messages.find("no skin is loaded"), std::string::npos) << messages;
  EXPECT_NE(messages.find("cannot read the skin"), std::string::npos) << messages;
  RunFor(400);
  EXPECT_EQ(mainWindowsOpened, 0);
}

}  // namespace
}  // namespace velmora
