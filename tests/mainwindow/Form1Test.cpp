// The main window's commands, menus and pane events, with fake browser panes: which pane each
// command acts on, what reaches the address box, the caption and the status bar, and when the
// page analysis runs.
#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>
#include <gtkmm/main.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/modIdentity.h"
#include "mainwindow/Form1.h"
#include "support/FakeBrowserControl.h"
#include "support/TempFolder.h"

namespace velmora {
namespace {

using testing::FakeBrowserControl;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

// Records what the window asked of the parts beyond it.
class RecordingSeams : public Form1Seams {
 public:
  void SkinWindow(Gtk::Window&) override { calls.push_back("SkinWindow"); }
  std::string ShowHelpSetting() const override { return showHelp; }
  void ShowHelp() override { calls.push_back("ShowHelp"); }
  void UnloadHelp() override { calls.push_back("UnloadHelp"); }
  void ShowWebsite() override { calls.push_back("ShowWebsite"); }
  void ShowAbout() override { calls.push_back("ShowAbout"); }
  void UnloadSplash() override { calls.push_back("UnloadSplash"); }
  void MainWindowClosed() override { calls.push_back("MainWindowClosed"); }
  bool AddToIETools() override {
    calls.push_back("AddToIETools");
    return toolsDone;
  }
  bool RemoveFromIETools() override {
    calls.push_back("RemoveFromIETools");
    return toolsDone;
  }

  std::string GetSetting(std::string_view key, std::string_view defaultValue) const override {
    const auto found = settings.find(std::string(key));
    return found == settings.end() ? std::string(defaultValue) : found->second;
  }
  void SaveSetting(std::string_view key, std::string_view value) const override {
    settings[std::string(key)] = std::string(value);
  }

  std::string showHelp = "1";
  mutable std::map<std::string, std::string> settings;
  bool toolsDone = true;
  std::vector<std::string> calls;
};

// Answers the File > Open dialog from a script: a file name, or nothing for Cancel.
class ScriptedFileDialog : public OpenFileDialog {
 public:
  std::optional<std::string> ShowOpen(Gtk::Window&) override {
    ++shown;
    if (answers.empty() || !answers.front()) {
      if (!answers.empty()) answers.erase(answers.begin());
      return std::nullopt;
    }
    FileName = *answers.front();
    answers.erase(answers.begin());
    return FileName;
  }
  std::optional<std::filesystem::path> ShowSaveFolder(
      Gtk::Window&, const std::filesystem::path& proposed) override {
    proposedFolders.push_back(proposed);
    return folderAnswer;
  }
  std::optional<std::filesystem::path> ShowSaveFile(Gtk::Window&, const std::string&,
                                                    const std::filesystem::path&) override {
    return std::nullopt;
  }
  std::vector<std::optional<std::string>> answers;
  int shown = 0;
  std::optional<std::filesystem::path> folderAnswer;
  std::vector<std::filesystem::path> proposedFolders;
};

class Form1Test : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadIdentity();
    Make();
  }

  void Make(const std::string& firstAddress = "") {
    Form1Parts parts;
    parts.firstAddress = firstAddress;
    for (int i = 0; i < 3; ++i) {
      auto pane = std::make_unique<FakeBrowserControl>();
      fakes[i] = pane.get();
      parts.panes[static_cast<std::size_t>(i)] = std::move(pane);
    }
    auto dialog = std::make_unique<ScriptedFileDialog>();
    fileDialog = dialog.get();
    parts.fileDialog = std::move(dialog);
    parts.workFiles = WorkFiles(work.path());
    parts.downloadFolder = work.path() / "Downloads";
    parts.seams = &seams;
    form = std::make_unique<Form1>(std::move(parts));
  }

  void Load() { form->Form_Load(); }

  FakeBrowserControl& pane(int i) { return *fakes[i]; }
  std::vector<bool> Visible() { return {pane(0).Visible(), pane(1).Visible(), pane(2).Visible()}; }
  void ClearCalls() {
    for (auto* fake : fakes) fake->calls.clear();
  }
  long Count(int i, const std::string& call) {
    return std::count(pane(i).calls.begin(), pane(i).calls.end(), call);
  }

  TempFolder work;
  RecordingSeams seams;
  ScriptedFileDialog* fileDialog = nullptr;
  FakeBrowserControl* fakes[3] = {};
  std::unique_ptr<Form1> form;
};

// Save Images saves a few pictures at a time through pane 0, data: pictures directly, goes on as
// each one ends, and Cancel stops it with a summary of what it did.
TEST_F(Form1Test, SaveImagesSavesAFewAtATimeUntilCancelled) {
  Load();
  form->mnuFileItem_Click(2);
  EXPECT_EQ(form->saveImagesWindow(), nullptr) << "no page, no pictures, no dialog";
  EXPECT_EQ(form->sb1.PanelText(1), "The page shows no images to save");

  std::string html = "<img src=\"data:image/gif;base64,R0lGODlh\">";
  for (int i = 0; i < 10; ++i) html += "<img src=\"p" + std::to_string(i) + ".png\">";
  pane(0).FinishLoad({"https://pics.example/a/", "Pictures", "<body>" + html + "</body>", ""});
  const std::filesystem::path into = work.path() / "kept";
  fileDialog->folderAnswer = into;
  form->mnuFileItem_Click(2);
  EXPECT_EQ(fileDialog->proposedFolders.back(), work.path() / "Downloads" / "pics.example");
  SaveImagesWindow* window = form->saveImagesWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(ReadFile(into / "image.gif"), "GIF89a");
  ASSERT_EQ(pane(0).saves.size(), SaveImagesWindow::kAtOnce);
  EXPECT_EQ(pane(0).saves[0].uri, "https://pics.example/a/p0.png");
  EXPECT_EQ(pane(0).saves[0].folder, into);

  pane(0).FinishSave(0, {into / "p0.png", ""});
  pane(0).FinishSave(1, {{}, "the server answered 404 Not Found"});
  EXPECT_EQ(pane(0).saves.size(), SaveImagesWindow::kAtOnce + 2);
  EXPECT_TRUE(window->Running());

  window->cmdCancel.clicked();
  EXPECT_FALSE(window->Running());
  EXPECT_TRUE(std::all_of(pane(0).saves.begin() + 2, pane(0).saves.end(),
                          [](const auto& save) { return save.cancelled; }));
  pane(0).FinishSave(2, {{}, "cancelled"});
  EXPECT_EQ(pane(0).saves.size(), SaveImagesWindow::kAtOnce + 2) << "nothing starts after Cancel";
  EXPECT_EQ(window->Summary(),
            "Cancelled: saved 2 of 11 images in " + into.string() + "; 1 failed");
  EXPECT_EQ(
      window->Failures(),
      std::vector<std::string>{"https://pics.example/a/p1.png: the server answered 404 Not Found"});
  EXPECT_EQ(form->sb1.PanelText(1), window->Summary());
}

TEST_F(Form1Test, AnAddressFromTheCommandLineIsTheFirstPage) {
  Make("file:///tmp/opened.html");
  Load();
  EXPECT_EQ(pane(0).calls, std::vector<std::string>{"Navigate file:///tmp/opened.html"});
}

// Ctrl and +, -, 0 or the wheel zoom the pane the user is looking at, step by step, within the
// steps' range; the other panes keep their zoom.
TEST_F(Form1Test, ZoomActsOnTheVisiblePane) {
  Load();
  form->SelectTab(1);
  const struct {
    guint key;
    guint modifiers;
    double level;
  } steps[] = {
      {GDK_KEY_plus, GDK_CONTROL_MASK | GDK_SHIFT_MASK, 1.1},
      {GDK_KEY_equal, GDK_CONTROL_MASK, 1.25},
      {GDK_KEY_KP_Subtract, GDK_CONTROL_MASK, 1.1},
      {GDK_KEY_0, GDK_CONTROL_MASK, 1.0},
      {GDK_KEY_minus, GDK_CONTROL_MASK, 0.9},
  };
  for (const auto& s : steps) {
    EXPECT_TRUE(form->HandleShortcut(s.key, s.modifiers)) << s.key;
    EXPECT_DOUBLE_EQ(pane(1).ZoomLevel(), s.level) << s.key;
  }
  for (int i = 0; i < 20; ++i) form->ZoomActivePane(-1);
  EXPECT_DOUBLE_EQ(pane(1).ZoomLevel(), 0.3) << "the smallest step is the floor";
  EXPECT_FALSE(form->HandleZoomScroll(-1, 0)) << "the wheel alone scrolls";
  EXPECT_TRUE(form->HandleZoomScroll(-1, GDK_CONTROL_MASK));
  EXPECT_DOUBLE_EQ(pane(1).ZoomLevel(), 0.5);
  EXPECT_DOUBLE_EQ(pane(0).ZoomLevel(), 1.0);
  EXPECT_DOUBLE_EQ(pane(2).ZoomLevel(), 1.0);
}

TEST_F(Form1Test, LoadSetsUpTheWindow) {
  WriteFile(work / "source.htm", "kept");
  EXPECT_EQ(form->get_title(), "Form1");
  Load();
  EXPECT_EQ(form->get_title(), "Form1") << "until pane 0 reports a title";
  EXPECT_EQ(form->cmdWebsite.get_label(), "Visit " + strWebsite);
  EXPECT_EQ(form->mnuViewItem[3].get_label(), strWebsite);
  EXPECT_EQ(form->sb1.PanelCount(), 2);
  EXPECT_EQ(Visible(), (std::vector<bool>{true, false, false}));
  EXPECT_EQ(pane(0).calls, std::vector<std::string>{"GoHome"});
  EXPECT_EQ(seams.calls, (std::vector<std::string>{"SkinWindow", "ShowHelp"}));
  ASSERT_EQ(form->SkinLabel1.size(), 1u) << "the window has no plain labels to cover";
  EXPECT_FALSE(form->SkinLabel1[0]->get_visible()) << "the template stays hidden";
  for (std::string_view name : workfile::kCreationOrder) {
    EXPECT_EQ(ReadFile(work.path() / name), name == workfile::kSourceView ? "kept" : "\r\n")
        << name;
  }
}

TEST_F(Form1Test, HelpOpensAtLoadOnlyWhenTheSettingIsExactlyOne) {
  for (const auto& [setting, opens] :
       {std::pair{"1", true}, {"0", false}, {"", false}, {"1 ", false}, {"yes", false}}) {
    seams.calls.clear();
    seams.showHelp = setting;
    Make();
    Load();
    EXPECT_EQ(std::count(seams.calls.begin(), seams.calls.end(), "ShowHelp"), opens ? 1 : 0)
        << "setting \"" << setting << "\"";
  }
}

TEST_F(Form1Test, TabsShowOnePaneAndCommandsFindTheActiveOne) {
  Load();
  for (int tab = 0; tab < 3; ++tab) {
    form->TabStrip1.set_current_page(tab);  // a click on the tab
    std::vector<bool> expected(3, false);
    expected[static_cast<std::size_t>(tab)] = true;
    EXPECT_EQ(Visible(), expected) << "tab " << tab;

    ClearCalls();
    form->cmbBack_Click();
    form->cmdForward_Click();
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(Count(i, "Stop"), 2) << "every pane stops, tab " << tab;
      EXPECT_EQ(Count(i, "GoBack"), i == tab ? 1 : 0) << "tab " << tab;
      EXPECT_EQ(Count(i, "GoForward"), i == tab ? 1 : 0) << "tab " << tab;
    }
  }
  for (int tab = 0; tab < 3; ++tab) {
    form->SelectTab(tab);
    EXPECT_EQ(form->TabStrip1.get_current_page(), tab);
    EXPECT_TRUE(pane(tab).Visible());
  }
}

TEST_F(Form1Test, BackInTheImagesTabReturnsToTheGallery) {
  Load();
  pane(0).FinishLoad({"http://h.example/p.html", "Page", "<img src=\"a.gif\">", ""});
  const std::string gallery = pane(2).navigations.back();
  pane(2).FinishLoad({"file://" + gallery, "", "", ""});
  pane(2).FinishLoad({"http://h.example/a.gif", "", "", ""});  // an image link followed
  form->SelectTab(2);
  const std::string address = form->txtUrl.get_text();
  form->cmbBack_Click();
  EXPECT_EQ(pane(2).LocationURL(), "file://" + gallery);
  EXPECT_EQ(form->txtUrl.get_text(), address) << "only pane 0 updates the address box";
}

TEST_F(Form1Test, GoLoadsTheTypedTextInPaneZeroWhateverTabShows) {
  Load();
  form->SelectTab(1);
  form->txtUrl.set_text("example.org/page");
  ClearCalls();
  form->cmdGo_Click();
  EXPECT_EQ(pane(0).calls, std::vector<std::string>{"Navigate example.org/page"});
  EXPECT_TRUE(pane(1).calls.empty());
  EXPECT_EQ(Visible(), (std::vector<bool>{false, true, false})) << "no tab is selected";

  form->txtUrl.set_text("other.example");
  form->txtUrl_KeyPress(13);
  EXPECT_EQ(pane(0).navigations.back(), "other.example");
  form->txtUrl_KeyPress('a');
  EXPECT_EQ(pane(0).navigations.size(), 2u);
}

TEST_F(Form1Test, SendToBrowserCarriesTheActivePanesAddress) {
  Load();
  pane(0).FinishLoad({"http://h.example/page.html", "Page", "", ""});
  pane(2).FinishLoad({"http://h.example/img/a.gif", "", "", ""});
  for (const auto& [tab, address] :
       {std::pair{2, "http://h.example/img/a.gif"}, {0, "http://h.example/page.html"}}) {
    form->SelectTab(tab);
    ClearCalls();
    form->Command1_Click();
    EXPECT_EQ(form->txtUrl.get_text(), address);
    EXPECT_EQ(form->TabStrip1.get_current_page(), 0);
    EXPECT_EQ(Visible(), (std::vector<bool>{true, false, false}));
    EXPECT_EQ(pane(0).calls.back(), std::string("Navigate ") + address) << "tab " << tab;
  }
}

TEST_F(Form1Test, BackDirectoryWorksOnTheAddressBoxText) {
  Load();
  const struct {
    std::string typed;
    std::string expected;
    std::string navigated;
  } cases[] = {
      {"http://host/dir/page.html", "http://host/dir/", "http://host/dir/"},
      {"http://host/dir/", "http://host/", "http://host/"},
      // At the root the box shows the bare host; the page opened keeps its scheme.
      {"http://host/", "host/", "http://host/"},
      {"https://host/", "host/", "https://host/"},
      {"", "/", "/"},
      {"https://host/a/b/c.png", "https://host/a/b/", "https://host/a/b/"},
  };
  for (const auto& c : cases) {
    form->SelectTab(2);
    form->txtUrl.set_text(c.typed);
    form->cmdBackDir_Click();
    EXPECT_EQ(form->txtUrl.get_text(), c.expected) << c.typed;
    EXPECT_EQ(pane(0).navigations.back(), c.navigated) << c.typed;
    EXPECT_EQ(form->TabStrip1.get_current_page(), 0);
  }
}

TEST_F(Form1Test, EveryFinishedPageOfPaneZeroIsAnalysed) {
  Load();
  pane(0).FinishLoad({"https://h.example/a/page.html", "A page",
                      "<body><img src=\"pic.gif\"><a href=\"big.jpg\">x</a></body>",
                      "https://cdn.example/b/"});
  EXPECT_EQ(form->lists.Links[1], std::vector<std::string>{"https://cdn.example/b/pic.gif"})
      << "the document's base URL is used";
  EXPECT_EQ(form->lists.frmList[0], std::vector<std::string>{"big.jpg"});
  EXPECT_EQ(pane(1).navigations, std::vector<std::string>{(work / "source.htm").string()});
  EXPECT_EQ(pane(2).navigations, std::vector<std::string>{(work / "imagepage.html").string()});
  EXPECT_NE(ReadFile(work / "imagepage.html").find("https://cdn.example/b/pic.gif"),
            std::string::npos);

  // Panes 1 and 2 finishing their views start nothing.
  pane(1).FinishLoad({"file://" + (work / "source.htm").string(), "", "", ""});
  pane(2).FinishLoad({"file://" + (work / "imagepage.html").string(), "", "", ""});
  EXPECT_EQ(pane(1).navigations.size(), 1u);
  EXPECT_EQ(pane(2).navigations.size(), 1u);
}

TEST_F(Form1Test, RefreshAnalysesAtOnceAndAgainWhenTheReloadFinishes) {
  Load();
  pane(0).FinishLoad({"http://h.example/p.html", "P", "<img src=x.gif>", ""});
  form->SelectTab(2);
  ClearCalls();
  form->cmdRefresh_Click(0);
  EXPECT_EQ(form->TabStrip1.get_current_page(), 0);
  EXPECT_EQ(pane(0).calls, (std::vector<std::string>{"Stop", "Refresh"}));
  EXPECT_EQ(Count(1, "Navigate " + (work / "source.htm").string()), 1);
  pane(0).FinishLoad({"http://h.example/p.html", "P", "<img src=y.gif>", ""});
  EXPECT_EQ(Count(2, "Navigate " + (work / "imagepage.html").string()), 2);
  EXPECT_EQ(form->lists.frmList[1], std::vector<std::string>{"y.gif"});
}

TEST_F(Form1Test, CaptionAndAddressFollowPaneZerosTitlesOnly) {
  Load();
  pane(1).FinishLoad({"file:///tmp/source.htm", "Source", "", ""});
  EXPECT_EQ(form->get_title(), "Form1");
  pane(0).FinishLoad({"https://h.example/x", "Harbour photos", "", ""});
  EXPECT_EQ(form->get_title(), strProductName + " by " + strCompanyName + " - Harbour photos");
  EXPECT_EQ(form->txtUrl.get_text(), "https://h.example/x");
  pane(2).FinishLoad({"file:///tmp/imagepage.html", "Gallery", "", ""});
  EXPECT_EQ(form->get_title(), strProductName + " by " + strCompanyName + " - Harbour photos");
}

TEST_F(Form1Test, StatusTextOfEveryPaneGoesToPanelOne) {
  Load();
  for (int i = 0; i < 3; ++i) {
    const std::string text = "status of pane " + std::to_string(i);
    pane(i).StatusTextChange.emit(text);
    EXPECT_EQ(form->sb1.PanelText(1), text);
    EXPECT_EQ(form->sb1.PanelText(2), "");
  }
}

TEST_F(Form1Test, FileOpenLoadsTheChosenFileAndCancelOpensNothing) {
  Load();
  form->SelectTab(2);
  fileDialog->answers = {std::nullopt, std::string("/tmp/saved page.html"), std::nullopt};
  ClearCalls();
  form->mnuFileItem_Click(0);
  EXPECT_TRUE(pane(0).calls.empty()) << "a first cancel opens nothing";
  form->mnuFileItem_Click(0);
  EXPECT_EQ(pane(0).calls, std::vector<std::string>{"Navigate2 /tmp/saved page.html"});
  EXPECT_EQ(Visible(), (std::vector<bool>{false, false, true})) << "no tab is selected";
  form->mnuFileItem_Click(0);
  EXPECT_EQ(pane(0).calls.size(), 1u) << "cancel opens nothing";
  EXPECT_EQ(form->fileDialog().FileName, "/tmp/saved page.html") << "and keeps the name";
  EXPECT_EQ(fileDialog->shown, 3);
}

TEST_F(Form1Test, MenuItemsRunTheirCommands) {
  Load();
  seams.calls.clear();
  const struct {
    void (Form1::*handler)(int);
    int index;
    std::vector<std::string> seamCalls;
    int visibleTab;  // -1: not checked
  } items[] = {
      {&Form1::mnuViewItem_Click, 1, {}, 1},
      {&Form1::mnuViewItem_Click, 2, {}, 2},
      {&Form1::mnuViewItem_Click, 0, {}, 0},
      {&Form1::mnuViewItem_Click, 3, {"ShowWebsite"}, 0},
      {&Form1::mnuToolsItem_Click, 0, {"AddToIETools"}, -1},
      {&Form1::mnuToolsItem_Click, 1, {"RemoveFromIETools"}, -1},
      {&Form1::mnuToolsItem_Click, 2, {}, -1},
      {&Form1::mnuHelpItem_Click, 0, {"ShowHelp"}, -1},
      {&Form1::mnuAboutItem_Click, 0, {"ShowAbout"}, -1},
      {&Form1::mnuFileItem_Click, 2, {}, -1},
  };
  for (const auto& item : items) {
    seams.calls.clear();
    (form.get()->*item.handler)(item.index);
    EXPECT_EQ(seams.calls, item.seamCalls) << "item " << item.index;
    if (item.visibleTab >= 0) {
      EXPECT_EQ(form->TabStrip1.get_current_page(), item.visibleTab);
      EXPECT_TRUE(pane(item.visibleTab).Visible());
    }
  }

  ClearCalls();
  form->mnuGoItem_Click(2);  // Stop
  for (int i = 0; i < 3; ++i) EXPECT_EQ(pane(i).calls, std::vector<std::string>{"Stop"});
  form->txtUrl.set_text("http://h.example/a/b.html");
  form->mnuGoItem_Click(4);  // Back a Directory
  EXPECT_EQ(pane(0).navigations.back(), "http://h.example/a/");
  form->mnuGoItem_Click(3);  // Refresh
  EXPECT_EQ(Count(0, "Refresh"), 1);
}

TEST_F(Form1Test, ExitUnloadsTheWindowsStopsThePanesAndHandsTheEndOver) {
  Load();
  form->show();
  seams.calls.clear();
  form->mnuFileItem_Click(1);
  EXPECT_EQ(seams.calls,
            (std::vector<std::string>{"UnloadHelp", "UnloadSplash", "MainWindowClosed"}));
  EXPECT_FALSE(form->get_visible());
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Count(i, "Stop"), 1);
}

// Each Tools command is spent once given and the other one offered, whatever came of it; what
// could not be done is said in the status bar.
TEST_F(Form1Test, ToolsItemsSwitchAndSayWhatFailed) {
  Load();
  auto& items = form->mnuToolsItem;
  EXPECT_TRUE(items[0].get_sensitive());
  EXPECT_TRUE(items[1].get_sensitive());
  const struct {
    int item;
    bool done;
    bool addEnabled;
    std::string status;
  } steps[] = {
      {0, true, false, ""},
      {1, true, true, ""},
      {1, false, true, "Could not remove " + strProductName + " from the Tools menu"},
      {0, false, false, "Could not add " + strProductName + " to the Tools menu"},
  };
  for (const auto& step : steps) {
    form->sb1.SetPanelText(1, "");
    seams.toolsDone = step.done;
    form->mnuToolsItem_Click(step.item);
    EXPECT_EQ(items[0].get_sensitive(), step.addEnabled) << step.item << " " << step.done;
    EXPECT_EQ(items[1].get_sensitive(), !step.addEnabled) << step.item << " " << step.done;
    EXPECT_EQ(form->sb1.PanelText(1), step.status);
  }
}

TEST_F(Form1Test, KeyboardShortcuts) {
  Load();
  form->txtUrl.set_text("http://h.example/a/b.html");
  const struct {
    guint key;
    guint modifiers;
    std::string paneZeroCall;  // "" when the shortcut does not reach pane 0
    int tab;                   // -1: not checked
  } keys[] = {
      {GDK_KEY_F5, 0, "Refresh", 0},
      {GDK_KEY_r, GDK_CONTROL_MASK, "Refresh", 0},
      {GDK_KEY_Left, GDK_MOD1_MASK, "GoBack", -1},
      {GDK_KEY_Right, GDK_MOD1_MASK, "GoForward", -1},
      {GDK_KEY_Escape, 0, "Stop", -1},
      {GDK_KEY_Up, GDK_MOD1_MASK, "Navigate http://h.example/a/", 0},
      {GDK_KEY_2, GDK_CONTROL_MASK, "", 1},
      {GDK_KEY_3, GDK_CONTROL_MASK, "", 2},
      {GDK_KEY_1, GDK_CONTROL_MASK, "", 0},
  };
  for (const auto& k : keys) {
    form->SelectTab(0);
    ClearCalls();
    EXPECT_TRUE(form->HandleShortcut(k.key, k.modifiers)) << k.key;
    if (!k.paneZeroCall.empty()) {
      EXPECT_NE(std::find(pane(0).calls.begin(), pane(0).calls.end(), k.paneZeroCall),
                pane(0).calls.end())
          << k.key << ": " << k.paneZeroCall;
    }
    if (k.tab >= 0) {
      EXPECT_EQ(form->TabStrip1.get_current_page(), k.tab) << k.key;
    }
  }
  fileDialog->answers = {std::string("/tmp/x.html")};
  EXPECT_TRUE(form->HandleShortcut(GDK_KEY_o, GDK_CONTROL_MASK));
  EXPECT_EQ(pane(0).navigations.back(), "/tmp/x.html");
  EXPECT_FALSE(form->HandleShortcut(GDK_KEY_a, 0));
  EXPECT_FALSE(form->HandleShortcut(GDK_KEY_F5, GDK_SHIFT_MASK));
}

// The widgets take the layout's places and sizes, in the screen's pixels.
TEST_F(Form1Test, ResizingLaysTheControlsOut) {
  Load();
  for (const auto& [W, H] : {std::pair{12255.0f, 11900.0f}, {9000.0f, 7000.0f}}) {
    const MainWindowLayout layout = ArrangeControls(W, H);
    form->ApplyLayout(layout);
    EXPECT_EQ(form->sb1.PanelWidth(1), form->Pixels(layout.panel1Width));
    EXPECT_EQ(form->sb1.PanelWidth(2), form->Pixels(layout.panel2Width));
    for (const auto& [widget, place] :
         {std::pair<Gtk::Widget*, TwipRect>{&pane(1).Widget(), layout.pane},
          {&form->txtUrl, layout.address},
          {&form->cmdGo, layout.go},
          {&form->TabStrip1, layout.tabStrip}}) {
      int width = 0;
      int height = 0;
      widget->get_size_request(width, height);
      EXPECT_EQ(width, form->Pixels(place.width)) << W << " x " << H;
      EXPECT_EQ(height, form->Pixels(place.height)) << W << " x " << H;
    }
  }

  // The Images tab's toolbar takes the top of the pane area while that tab shows; the panes get
  // the rest, and all of it again with another tab.
  const MainWindowLayout layout = ArrangeControls(12255, 11900);
  form->ApplyLayout(layout);
  form->SelectTab(2);
  ASSERT_TRUE(form->imagesTool().toolbar.get_visible());
  int barWidth = 0;
  int barHeight = 0;
  form->imagesTool().toolbar.get_size_request(barWidth, barHeight);
  EXPECT_GT(barHeight, 0);
  EXPECT_EQ(barWidth, form->Pixels(layout.pane.width));
  int width = 0;
  int height = 0;
  pane(2).Widget().get_size_request(width, height);
  EXPECT_EQ(height, form->Pixels(layout.pane.height) - barHeight);
  form->SelectTab(0);
  EXPECT_FALSE(form->imagesTool().toolbar.get_visible());
  pane(2).Widget().get_size_request(width, height);
  EXPECT_EQ(height, form->Pixels(layout.pane.height));
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

// The Source Code tab opens with the choices kept in the settings, and keeps each new one.
TEST_F(Form1Test, TheSourceChoicesAreKeptInTheSettings) {
  seams.settings = {{"sourceServed", "1"}, {"sourceColours", "1"}};
  Make();
  Load();
  EXPECT_TRUE(form->sourceTool.optServed.get_active());
  EXPECT_TRUE(form->sourceTool.chkColours.get_active());
  FakeBrowserControl::Shown page{"http://h.example/p.html", "P", "<body><p>late</p></body>", ""};
  page.served = "<!DOCTYPE html><body><script>add()</script></body>";
  pane(0).FinishLoad(page);
  EXPECT_EQ(pane(1).navigations.back(), (work / "served.htm").string());
  const std::string served = ReadFile(work / "served.htm");
  EXPECT_NE(served.find("add()"), std::string::npos);
  EXPECT_EQ(served.find("late"), std::string::npos);

  // Ctrl+U: as shown, still coloured, so not source.htm; the choice is kept.
  EXPECT_TRUE(form->HandleShortcut(GDK_KEY_u, GDK_CONTROL_MASK));
  EXPECT_EQ(pane(1).navigations.back(), (work / "shown.htm").string());
  EXPECT_NE(ReadFile(work / "shown.htm").find("late"), std::string::npos);
  EXPECT_EQ(seams.settings["sourceServed"], "0");
  EXPECT_EQ(seams.settings["sourceColours"], "1");

  // Colours off: the default view, today's source.htm.
  form->sourceTool.chkColours.set_active(false);
  EXPECT_EQ(pane(1).navigations.back(), (work / "source.htm").string());
  EXPECT_EQ(seams.settings["sourceColours"], "0");
}

}  // namespace
}  // namespace velmora
