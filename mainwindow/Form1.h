// Form1: the main browser window. A row of command buttons, the address row, the tab strip with
// the three panes ("Browser", "Source Code", "Images"), the menus and a two-panel status bar.
// Pane 0 browses; each page it finishes is analysed, and panes 1 and 2 show the analysis.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/entry.h>
#include <gtkmm/layout.h>
#include <gtkmm/menu.h>
#include <gtkmm/menubar.h>
#include <gtkmm/menuitem.h>
#include <gtkmm/notebook.h>
#include <gtkmm/progressbar.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/AnalyzePage.h"
#include "analysis/WorkFiles.h"
#include "hosted/BrowserControl.h"
#include "hosted/DesignWindow.h"
#include "hosted/SkinLabel.h"
#include "hosted/StatusBar.h"
#include "mainwindow/ArrangeControls.h"
#include "mainwindow/FindBar.h"
#include "mainwindow/Form1Seams.h"
#include "mainwindow/ImagesTool.h"
#include "mainwindow/LatePictures.h"
#include "mainwindow/OpenFileDialog.h"
#include "mainwindow/SaveImagesWindow.h"
#include "mainwindow/SourceTool.h"

namespace velmora {

// What the window is made with.
struct Form1Parts {
  std::array<std::unique_ptr<BrowserControl>, 3> panes;  // wb(0), wb(1), wb(2)
  WorkFiles workFiles{std::filesystem::path()};
  std::unique_ptr<OpenFileDialog> fileDialog;
  Form1Seams* seams = nullptr;  // not owned; a default one when null
  // The address the program was started with ("velmora URL|FILE"): pane 0 opens it instead of
  // the home page. Empty: the home page.
  std::string firstAddress;
  // Where Save Images proposes its folder; DefaultDownloadFolder() when empty.
  std::filesystem::path downloadFolder;
};

class Form1 : public DesignWindow {
 public:
  explicit Form1(Form1Parts parts);

  BrowserControl& wb(int index) { return *panes_.at(static_cast<std::size_t>(index)); }

  // Window events.
  void Form_Load();
  void Form_Resize();
  void Form_Unload();

  // Tabs.
  void ShowActiveTab(int index);
  void SelectTab(int index);

  // Commands.
  void cmbBack_Click();
  void cmdForward_Click();
  void cmdStop_Click();
  void cmdRefresh_Click(int index);
  void cmdBackDir_Click();
  void Command1_Click();
  void cmdWebsite_Click();
  void cmdGo_Click();
  void txtUrl_KeyPress(int keyAscii);
  void TabStrip1_Click();

  // Menus: one handler per menu, given the item's index.
  void mnuFileItem_Click(int index);
  void mnuGoItem_Click(int index);
  void mnuViewItem_Click(int index);
  void mnuToolsItem_Click(int index);
  void mnuHelpItem_Click(int index);
  void mnuAboutItem_Click(int index);

  // Events of the pane array.
  void wb_StatusTextChange(int index, const std::string& text);
  void wb_ProgressChange(int index, long progress, long progressMax);
  void wb_DownloadComplete(int index, const SharedSnapshot& page);
  void wb_TitleChange(int index, const std::string& text);

  // Analyses the read of the page pane 0 shows and sends panes 1 and 2 to the two views.
  bool AnalyzePage(const SharedSnapshot& page);

  // The window's keyboard shortcuts (Shortcuts.h); true when the key was one of them.
  bool HandleShortcut(guint keyval, guint modifiers);

  // Zooms the pane the user is looking at one step in (+1) or out (-1), or back to the page's
  // own size (0).
  void ZoomActivePane(int step);
  // Ctrl and the wheel over a pane zoom it; true when the scroll was taken for that.
  bool HandleZoomScroll(double deltaY, guint modifiers);

  // File > Save Images…: asks for a folder and saves every picture of the gallery into it.
  void SaveImages();
  // The Save Images window of the last save; nullptr before the first.
  SaveImagesWindow* saveImagesWindow() { return saveImages_.get(); }
  // The toolbar and grid of the Images tab.
  ImagesTool& imagesTool() { return *imagesTool_; }

  // Places the controls for an outer window size in twips.
  void ApplyLayout(const MainWindowLayout& layout);

  // The controls, named as the window's design names them.
  Gtk::Button cmbBack, cmdForward, cmdStop, cmdRefresh, cmdBackDir, Command1, cmdWebsite, cmdGo;
  Gtk::Entry Text1;
  Gtk::Entry txtUrl;
  Gtk::Notebook TabStrip1;
  StatusBar sb1;
  Gtk::ProgressBar pb1;  // hidden: the design never shows it
  // Find in page, under the pane the user is looking at.
  FindBar findBar;
  // The Source Code tab's choices, above its pane while that tab is selected.
  SourceTool sourceTool;
  // Skin labels laid over the window's plain labels; element 0 is the hidden template.
  std::vector<std::unique_ptr<SkinLabel>> SkinLabel1;

  Gtk::MenuBar menuBar;
  Gtk::MenuItem mnuFile, mnuGo, mnuView, mnuTools, mnuHelp, mnuAbout;
  std::array<Gtk::MenuItem, 3> mnuFileItem;
  std::array<Gtk::MenuItem, 6> mnuGoItem;
  std::array<Gtk::MenuItem, 4> mnuViewItem;
  std::array<Gtk::MenuItem, 2> mnuToolsItem;
  std::array<Gtk::MenuItem, 1> mnuHelpItem;
  std::array<Gtk::MenuItem, 1> mnuAboutItem;

  // The two list pairs of the page analysis, and beside them its image census.
  ListPairs lists;
  std::vector<CensusImage> census;
  const WorkFiles& workFiles() const { return workFiles_; }
  OpenFileDialog& fileDialog() { return *fileDialog_; }

 private:
  void BuildControls();
  void BuildMenus();
  void ConnectEvents();
  void StopAllPanes();
  // Places the panes in the layout's pane area, the find bar below them when it shows.
  void PlacePanes();
  // The pane the user is looking at: the last visible of panes 0, 1, 2; -1 when none is.
  int ActivePane() const;
  BrowserControl* ActivePaneControl() { return ActivePane() < 0 ? nullptr : &wb(ActivePane()); }
  bool on_delete(GdkEventAny* event);

  std::array<std::unique_ptr<BrowserControl>, 3> panes_;
  WorkFiles workFiles_;
  std::unique_ptr<OpenFileDialog> fileDialog_;
  std::unique_ptr<Form1Seams> ownSeams_;
  Form1Seams* seams_;
  std::string firstAddress_;
  std::filesystem::path downloadFolder_;
  std::unique_ptr<SaveImagesWindow> saveImages_;
  // A window of ours beside this one: it stays above it and wears the skin.
  void Dress(Gtk::Window& window);
  std::unique_ptr<ImagesTool> imagesTool_;
  std::optional<TwipRect> paneArea_;
  LatePictures latePictures_;

  Gtk::Box vbox_{Gtk::ORIENTATION_VERTICAL};
  Gtk::Layout client_;
  std::array<Gtk::Menu, 6> menus_;
  std::array<Gtk::Box, 3> tabPages_;
};

}  // namespace velmora
