// The Source Code tab's toolbar: which text the tab shows (the body as shown, or the document as
// served), and how (long lines wrapped, lines numbered, markup coloured). It writes the view of
// the current choices into the work folder and sends the source pane to it, after each page
// analysis and after each change of a choice; the choices are kept in the settings.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/layout.h>
#include <gtkmm/menu.h>
#include <gtkmm/menuitem.h>
#include <gtkmm/togglebutton.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/AnalyzePage.h"
#include "analysis/SourceViews.h"
#include "analysis/WorkFiles.h"
#include "hosted/BrowserControl.h"
#include "hosted/StatusBar.h"
#include "mainwindow/Form1Seams.h"
#include "mainwindow/ImagesTool.h"

namespace velmora {

struct SourceChoices {
  bool served = false;  // As served; As shown when false
  SourceViewOptions options;
};

class SourceTool : public Gtk::Box {
 public:
  // `page` is the browsing pane, `sourcePane` the pane of the Source Code tab.
  SourceTool(BrowserControl& page, BrowserControl& sourcePane, const WorkFiles& files);

  // Puts the bar in the window's client area (above the controls put there before it), reads the
  // choices kept in `settings`; a view that cannot be shown is reported in the status bar's first
  // panel, and `placePanes` is called when the bar shows or hides.
  void Attach(Form1Seams& settings, Gtk::Layout& client, StatusBar& status,
              std::function<void()> placePanes);
  // While the bar shows, places it at the top of the pane area and takes its height from it.
  void PlaceAbove(Gtk::Layout& client, int left, int& top, int width, int& height);
  const SourceChoices& Choices() const noexcept { return choices_; }
  // Sets the buttons, keeps the choices and shows the view they choose.
  void SetChoices(const SourceChoices& choices);
  // Ctrl+U: As shown <-> As served.
  void ToggleServed();

  // A page analysis has written `sourceView` (the default view) from the read `page` (kept, not
  // copied) with these lists and census: the pane shows the view of the current choices.
  void PageAnalysed(SharedSnapshot page, const ListPairs& lists,
                    const std::vector<CensusImage>& census,
                    const std::filesystem::path& sourceView);

  // Links the tab with the Images tool both ways: a picture name opened aside in the source pane
  // (Ctrl+click, middle click) shows that picture selected in the tool's grid, and "Show in
  // Source Code" on a picture of the tool shows where the source names it. `selectTab` brings a
  // tab of the window to the front.
  void LinkWith(ImagesTool& images, std::function<void(int tab)> selectTab);
  // Brings the tab to the front at the first line of the view shown that names the picture,
  // marked: a generated view goes to that line's anchor, which its style marks; in "source.htm",
  // which has no anchors, the engine's find selects the name there. When no line names it, says
  // so in the status text, changes nothing and returns false.
  bool ShowPicture(const PictureEntry& entry);

  // File > "Save Source As…": puts the item into `menu` at `position`; it saves the text the tab
  // shows where the user says: As served, the exact bytes received; As shown, the body as the
  // page's scripts left it.
  void AddSaveItem(Gtk::Menu& menu, int position);
  void SaveSource();
  // Asks where to save, proposing a name; none when the user cancels. A file chooser unless set.
  std::function<std::optional<std::filesystem::path>(const std::string& name)> askSaveFile;
  Gtk::MenuItem mnuSaveSource;

  // The file the pane shows (or is about to show); empty before the first analysis.
  const std::filesystem::path& ShownFile() const noexcept { return shownFile_; }
  // The served bytes of the analysed page, once read.
  const std::optional<BrowserControl::ServedPage>& Served() const noexcept { return served_; }

  // Buttons only: the window's skin lays a label of its own over every plain label.
  Gtk::ToggleButton optShown, optServed, chkWrap, chkLineNumbers, chkColours;

 private:
  void ShowButtons();
  void FromButtons();
  void ShowView();
  void ShowServedView();
  void WriteSource(const std::filesystem::path& file, std::string_view text);
  void SaveChoices() const;
  // Loads `file` in the pane: a new document, whatever the pane shows.
  void LoadInPane(const std::filesystem::path& file);
  // Does what waits for the pane's document, once it has loaded.
  void PaneLoaded();

  BrowserControl& page_;
  BrowserControl& sourcePane_;
  const WorkFiles& files_;
  Form1Seams* settings_ = nullptr;
  std::function<void(const std::string&)> report_;
  SourceChoices choices_;
  bool settingButtons_ = false;

  // What the last analysis read.
  bool analysed_ = false;
  SharedSnapshot read_;
  ListPairs lists_;
  std::vector<CensusImage> census_;
  std::filesystem::path defaultView_;
  std::optional<BrowserControl::ServedPage> served_;
  // Counts the analyses: a served read of an older one is dropped.
  std::shared_ptr<unsigned> generation_ = std::make_shared<unsigned>(0);
  std::filesystem::path shownFile_;

  std::function<void(int tab)> selectTab_;
  // Set from a load of the pane until it has finished.
  bool paneLoading_ = false;
  // What "Show in Source Code" does once the pane's document has loaded: go to an address, or
  // find a name.
  struct Pending {
    std::string address;
    std::string find;
    bool reloaded = false;  // the view was loaded again for the find
  };
  std::optional<Pending> pending_;
};

}  // namespace velmora
