// The secondary windows: the website window (layout, commands, events, load and unload), the
// About window's texts, and the help window with its "Show at Startup" setting.
#include <glibmm/main.h>
#include <gtest/gtest.h>
#include <gtkmm/main.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "XWindowState.h"
#include "common/modIdentity.h"
#include "hosted/SkinControl.h"
#include "hosted/Twips.h"
#include "skin/modSkin.h"
#include "support/FakeBrowserControl.h"
#include "support/TempFolder.h"
#include "windows/ArrangeWebsiteControls.h"
#include "windows/Form8.h"
#include "windows/frmAbout.h"
#include "windows/frmWebsite.h"

namespace velmora {
namespace {

using testing::FakeBrowserControl;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

constexpr const char* kAssets = VELMORA_TEST_ASSETS;

void Settle() {
  for (int i = 0; i < 200 && Gtk::Main::events_pending(); ++i) Gtk::Main::iteration(false);
}

bool IsSkinned(Gtk::Window& window) {
  return window.get_style_context()->has_class(SkinControl::kSkinnedClass);
}

// Every window of these tests is skinned through a skin of its own, as the splash's would be.
class WindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadIdentity();
    sknShared = &skin;
  }
  void TearDown() override { sknShared = nullptr; }

  SkinControl skin{std::filesystem::path(kAssets) / "skin" / "web-deep-red.css"};
};

// ---- The website window's layout -----------------------------------------------------------

TEST(ArrangeWebsiteControls, TheArrangementForOuterSizes) {
  const struct {
    float W, H;
    float panel, frameW, frameH, textW, goLeft, browserW, browserH;
  } kCases[] = {
      // The design's size: client 10545 x 8580 with the border and caption around it.
      {10665, 9345, 5332.5f, 10365, 9030, 8730, 9370, 10145, 6775},
      // Just wide enough for the frame's fixed parts.
      {2000, 3000, 1000, 1700, 2685, 65, 705, 1480, 430},
      // Smaller than the controls: sizes mirror rather than go negative; Go follows the box.
      {200, 100, 100, 100, 215, 1535, 2175, 120, 2040},
      {0, 0, 0, 300, 315, 1335, 1975, 80, 1940},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(::testing::Message() << c.W << " x " << c.H);
    const WebsiteLayout l = ArrangeWebsiteControls(c.W, c.H, 315);
    EXPECT_FLOAT_EQ(l.panel1Width, c.panel);
    EXPECT_FLOAT_EQ(l.panel2Width, c.panel);
    EXPECT_FLOAT_EQ(l.frame.width, c.frameW);
    EXPECT_FLOAT_EQ(l.frame.height, c.frameH);
    EXPECT_FLOAT_EQ(l.text1.width, c.textW);
    EXPECT_FLOAT_EQ(l.text1.left, kWebsiteTextLeft);
    EXPECT_FLOAT_EQ(l.command3.left, c.goLeft);
    EXPECT_FLOAT_EQ(l.browser.width, c.browserW);
    EXPECT_FLOAT_EQ(l.browser.height, c.browserH);
    EXPECT_FLOAT_EQ(l.browser.left, kWebsiteBrowserLeft);
    EXPECT_FLOAT_EQ(l.browser.top, kWebsiteBrowserTop);
    for (float size :
         {l.frame.width, l.frame.height, l.text1.width, l.browser.width, l.browser.height}) {
      EXPECT_GE(size, 0);
    }
  }
}

// ---- The website window --------------------------------------------------------------------

class WebsiteTest : public WindowsTest {
 protected:
  void SetUp() override {
    WindowsTest::SetUp();
    auto browser = std::make_unique<FakeBrowserControl>();
    fake = browser.get();
    website = std::make_unique<frmWebsite>(
        std::move(browser), [this] { closedHidden.push_back(!website->get_visible()); });
  }
  void TearDown() override {
    website.reset();
    WindowsTest::TearDown();
  }

  FakeBrowserControl* fake = nullptr;
  std::vector<bool> closedHidden;  // one element per closing: was the window hidden by then?
  std::unique_ptr<frmWebsite> website;
};

TEST_F(WebsiteTest, LoadOpensTheWebsiteSkinnedWithTwoPanels) {
  EXPECT_EQ(website->StatusBar1.PanelCount(), 1);
  website->Form_Load();
  EXPECT_EQ(website->get_title(), strWebsite);
  EXPECT_EQ(website->StatusBar1.PanelCount(), 2);
  EXPECT_EQ(fake->navigations, std::vector<std::string>{strWebsite});
  EXPECT_TRUE(IsSkinned(*website));
  // The frame's "URL:" label gets a skin label; element 0 stays the hidden template.
  ASSERT_EQ(website->SkinLabel1.size(), 2u);
  EXPECT_EQ(website->SkinLabel1[1]->get_text(), "URL:");
  EXPECT_TRUE(website->SkinLabel1[1]->get_visible());
  EXPECT_FALSE(website->SkinLabel1[0]->get_visible());
  EXPECT_EQ(website->frmBrowser.get_label(), "Browser");
  EXPECT_EQ(website->Command3.get_tooltip_text(), "browse the entered url");
  EXPECT_EQ(website->Command4.get_tooltip_text(), "back");
  EXPECT_EQ(website->Command5.get_tooltip_text(), "forward");
  EXPECT_EQ(website->Command6.get_tooltip_text(), "stop");
  EXPECT_EQ(website->Command7.get_tooltip_text(), "refresh");
}

TEST_F(WebsiteTest, CommandsGoToTheBrowserAndEnterIsGo) {
  website->Form_Load();
  fake->calls.clear();
  fake->navigations.clear();
  website->Text1.set_text("  example.org/some page ");
  website->Command3_Click();
  website->Text1.activate();  // Enter in the address box
  website->Text1_KeyPress('a');
  EXPECT_EQ(fake->navigations,
            (std::vector<std::string>{"  example.org/some page ", "  example.org/some page "}))
      << "the text goes as typed, and only Enter navigates";
  fake->calls.clear();
  website->Command4.clicked();  // Back with no history: nothing but the request
  website->Command5.clicked();
  website->Command6.clicked();
  website->Command7.clicked();
  EXPECT_EQ(fake->calls, (std::vector<std::string>{"GoBack", "GoForward", "Stop", "Refresh"}));
  EXPECT_TRUE(fake->LocationURL().empty());
}

TEST_F(WebsiteTest, StatusTextGoesToPanelOneAndFinishedPagesToAddressAndCaption) {
  website->Form_Load();
  fake->StatusTextChange.emit("http://www.tarnwick.example/about");
  EXPECT_EQ(website->StatusBar1.PanelText(1), "http://www.tarnwick.example/about");
  EXPECT_EQ(website->StatusBar1.PanelText(2), "");
  fake->ProgressChange.emit(50, 100);  // nothing happens
  EXPECT_EQ(website->get_title(), strWebsite);
  fake->FinishLoad({"http://www.tarnwick.example/", "Tarnwick", "", ""});
  EXPECT_EQ(website->Text1.get_text(), "http://www.tarnwick.example/");
  EXPECT_EQ(website->get_title(), "Tarnwick");
  fake->FinishLoad({"http://www.tarnwick.example/untitled", "", "", ""});
  EXPECT_EQ(website->get_title(), "http://www.tarnwick.example/untitled");
}

TEST_F(WebsiteTest, ClosingHidesTheWindowThenSaysSo) {
  website->Form_Load();
  website->show();
  Settle();
  GdkEvent* close = gdk_event_new(GDK_DELETE);
  close->any.window = GDK_WINDOW(g_object_ref(website->get_window()->gobj()));
  gtk_main_do_event(close);
  gdk_event_free(close);
  EXPECT_FALSE(website->get_visible());
  EXPECT_EQ(closedHidden, std::vector<bool>{true});
  website->show();
  website->Form_Unload();
  EXPECT_EQ(closedHidden, (std::vector<bool>{true, true}));
}

TEST_F(WebsiteTest, TheLayoutFollowsTheWindowsSize) {
  website->Form_Load();
  website->unmaximize();
  website->resize(website->Pixels(10545), website->Pixels(8580 + 315));
  website->show();
  for (int i = 0; i < 50; ++i) {
    g_usleep(5000);
    Settle();
  }
  const int width = website->frmBrowser.get_allocated_width();
  const int client = website->get_allocated_width();
  EXPECT_NEAR(width, client - website->Pixels(180), 2)
      << "the frame is 300 twips narrower than the outer width";
  EXPECT_NEAR(website->StatusBar1.PanelWidth(1),
              website->Pixels((PixelsToTwips(*website, client) + 120) / 2), 2);
  EXPECT_EQ(website->StatusBar1.PanelWidth(1), website->StatusBar1.PanelWidth(2));
  int goLeft = 0;
  int goTop = 0;
  website->Command3.translate_coordinates(website->Text1, 0, 0, goLeft, goTop);
  EXPECT_NEAR(goLeft, website->Text1.get_allocated_width() + website->Pixels(100), 2)
      << "Go sits 100 twips right of the address box";
}

// ---- The About window ----------------------------------------------------------------------

TEST_F(WindowsTest, AboutShowsTheVersionRecordAsItIsWhenLoaded) {
  const struct {
    int major, minor;
    const char* shown;
  } kVersions[] = {{2, 0, "2.0"}, {3, 15, "3.15"}, {0, 0, "0.0"}, {10, 5, "10.5"}};
  for (const auto& v : kVersions) {
    SCOPED_TRACE(v.shown);
    VersionRecord record{
        "Velmora", "Tarnwick", "www.tarnwick.example", {v.major, v.minor}, {9, 99}};
    frmAbout about(kAssets, [&] { return std::optional<VersionRecord>(record); });
    about.Form_Load();
    EXPECT_EQ(about.get_title(), "About " + strProductName);
    EXPECT_EQ(about.Label1.get_text(), "Velmora");
    EXPECT_EQ(about.lblVersion.get_text(), v.shown) << "the file version, no revision";
    EXPECT_EQ(about.lblCompany.get_text(), "Tarnwick");
    EXPECT_EQ(about.lblWebsite.get_text(), "www.tarnwick.example") << "as stored, no scheme";
    EXPECT_TRUE(IsSkinned(about));
  }
  EXPECT_EQ(VersionText({2, 0}), "2.0");
  EXPECT_EQ(VersionText({3, 15}), "3.15");
}

TEST_F(WindowsTest, AboutCoversItsFourPlainLabelsWithSkinLabels) {
  frmAbout about(kAssets);  // this test program carries no record: the identity it runs with
  about.Form_Load();
  ASSERT_EQ(about.SkinLabel1.size(), 5u) << "three visible labels and the rights paragraph";
  const std::vector<std::string> texts{about.SkinLabel1[1]->get_text(),
                                       about.SkinLabel1[2]->get_text(),
                                       about.SkinLabel1[3]->get_text()};
  EXPECT_EQ(texts, (std::vector<std::string>{"Version:", "Owned By:", "Website:"}));
  EXPECT_EQ(about.SkinLabel1[4]->get_text(), about.Label5.get_text());
  EXPECT_NE(about.Label5.get_text().find("sold"), std::string::npos);
  for (std::size_t i = 1; i < about.SkinLabel1.size(); ++i) {
    EXPECT_TRUE(about.SkinLabel1[i]->get_visible()) << i;
  }
  EXPECT_EQ(about.lblWebsite.get_text(), strWebsite);
  EXPECT_FALSE(about.lblVersion.get_text().empty());
}

TEST_F(WindowsTest, AboutWithoutARecordShowsTheProgramsIdentity) {
  frmAbout about(kAssets, [] { return std::optional<VersionRecord>(); });
  about.Form_Load();
  EXPECT_EQ(about.Label1.get_text(), strProductName);
  EXPECT_EQ(about.lblCompany.get_text(), strCompanyName);
  EXPECT_EQ(about.lblVersion.get_text(), "unknown");
}

// ---- The help window -----------------------------------------------------------------------

constexpr const char* kHelpRtf =
    "{\\rtf1\\ansi{\\fonttbl{\\f0 Verdana;}}{\\b Using Velmora}\\par Type an address.\\par}";

std::string Text(Gtk::TextView& view) {
  return view.get_buffer()->get_text();
}

bool AskedToStayAbove(Gtk::Window& window) {
  return testing::AskedToStayAbove(window.get_window() ? window.get_window()->gobj() : nullptr);
}

class HelpTest : public WindowsTest {
 protected:
  std::string Stored() const {
    return SettingsStore(folder / "settings.ini").GetSetting("Settings", "showHelp", "absent");
  }
  TempFolder folder;
};

TEST_F(HelpTest, FirstRunShowsTheHelpCheckedAndOnTop) {
  WriteFile(folder / "Help.rtf", kHelpRtf);
  Form8 help(folder / "Help.rtf", SettingsStore(folder / "settings.ini"));
  EXPECT_EQ(help.get_title(), "Readme/Help");
  EXPECT_EQ(Text(help.rtf1), Form8::kPlaceholder);
  help.Form_Load();
  EXPECT_TRUE(help.HelpLoaded());
  EXPECT_TRUE(IsSkinned(help));
  EXPECT_EQ(Text(help.rtf1), "Using Velmora\nType an address.\n");
  EXPECT_TRUE(help.Check1.get_active());
  EXPECT_EQ(help.Check1.get_label(), "Show at Startup");
  EXPECT_TRUE(help.OnTop());
  help.show();
  Settle();
  EXPECT_TRUE(AskedToStayAbove(help)) << "the window system is asked to keep it above";
  EXPECT_TRUE(help.get_skip_taskbar_hint());
  EXPECT_FALSE(help.get_resizable());
}

TEST_F(HelpTest, TheBoxStoresItsStateAndShowsTheStoredOne) {
  WriteFile(folder / "Help.rtf", kHelpRtf);
  {
    Form8 help(folder / "Help.rtf", SettingsStore(folder / "settings.ini"));
    help.Form_Load();
    help.Check1.set_active(false);  // the user unchecks it
    EXPECT_EQ(Stored(), "0");
    help.Check1.set_active(true);
    EXPECT_EQ(Stored(), "1");
    help.Check1.set_active(false);
  }
  Form8 again(folder / "Help.rtf", SettingsStore(folder / "settings.ini"));
  again.Form_Load();
  EXPECT_FALSE(again.Check1.get_active()) << "the next load shows the stored state";
  EXPECT_EQ(Stored(), "0");
}

TEST_F(HelpTest, AStoredValueThatIsNotZeroOrOneLeavesTheBoxChecked) {
  WriteFile(folder / "Help.rtf", kHelpRtf);
  for (const char* value : {"abc", "2", "-1", " 0", "0x0", ""}) {
    SCOPED_TRACE(value);
    ASSERT_TRUE(SettingsStore(folder / "settings.ini").SaveSetting("Settings", "showHelp", value));
    Form8 help(folder / "Help.rtf", SettingsStore(folder / "settings.ini"));
    help.Form_Load();
    EXPECT_TRUE(help.Check1.get_active());
    EXPECT_EQ(Stored(), value) << "loading does not rewrite what it could not read";
  }
}

TEST_F(HelpTest, WithoutAHelpFileTheWindowStaysHiddenAndUnchanged) {
  ASSERT_TRUE(SettingsStore(folder / "settings.ini").SaveSetting("Settings", "showHelp", "0"));
  std::filesystem::create_directories(folder / "Help.rtf.d");
  for (const char* name : {"Help.rtf", "help.rtf", "Help.rtf.d"}) {
    SCOPED_TRACE(name);
    Form8 help(folder / name, SettingsStore(folder / "settings.ini"));
    help.Form_Load();
    EXPECT_FALSE(help.HelpLoaded());
    EXPECT_FALSE(help.get_visible());
    EXPECT_FALSE(help.OnTop());
    EXPECT_EQ(Text(help.rtf1), Form8::kPlaceholder);
    EXPECT_TRUE(help.Check1.get_active()) << "the design state";
  }
  EXPECT_EQ(Stored(), "0");
}

}  // namespace
}  // namespace velmora
