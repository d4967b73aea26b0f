// The Images tool: a toolbar above the Images pane, shown while that tab is, that makes the
// page's pictures a working set. It counts them ("128 pictures · 14 shown · 3 selected"), narrows
// them (text of the address, least size, types, no tracking pixels), orders them, and switches
// between the designed gallery page (List, the pane itself) and a grid of thumbnails (Grid,
// PictureGrid). Its actions work on the selection, or on all shown when nothing is selected:
// Save… (names and folder in SavePicturesDialog, the saving in SaveImagesWindow), Copy
// Addresses, Export List… (JSON or CSV) and Open in Browser Tab; a picture's context menu offers
// them for that one picture, Copy Image, and Show in Source Code (the Source Code tab at the
// first line that names it).
//
// The choosing itself is analysis/PictureChoice.h, the same as velmora-analyze's.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/checkbutton.h>
#include <gtkmm/comboboxtext.h>
#include <gtkmm/entry.h>
#include <gtkmm/layout.h>
#include <gtkmm/menu.h>
#include <gtkmm/menubutton.h>
#include <gtkmm/menuitem.h>
#include <gtkmm/popover.h>
#include <gtkmm/radiobutton.h>
#include <gtkmm/searchentry.h>
#include <gtkmm/spinbutton.h>
#include <gtkmm/window.h>

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "analysis/PictureChoice.h"
#include "hosted/BrowserControl.h"
#include "mainwindow/Form1Seams.h"
#include "mainwindow/OpenFileDialog.h"
#include "mainwindow/PictureGrid.h"
#include "mainwindow/SaveImagesWindow.h"
#include "mainwindow/SavePicturesDialog.h"

namespace velmora {

// What the tool is given by the window it sits in.
struct ImagesToolParts {
  Gtk::Window* window = nullptr;      // the parent of its dialogs
  BrowserControl* page = nullptr;     // pane 0: the page, its pictures' bytes, the saving
  BrowserControl* gallery = nullptr;  // pane 2: the List view
  OpenFileDialog* dialog = nullptr;
  std::filesystem::path downloadFolder;
  // Where the last choices of saving are kept; none are kept without.
  const Form1Seams* settings = nullptr;
  // The status text.
  std::function<void(const std::string&)> report;
  // Shows an address in the Browser tab.
  std::function<void(const std::string& url)> open;
  // Makes a new window of the tool one of the program's (its owner, its skin).
  std::function<void(Gtk::Window&)> dress;
  // The window's Save Images window: one save at a time.
  std::unique_ptr<SaveImagesWindow>* saving = nullptr;
};

class ImagesTool {
 public:
  enum class View { List, Grid };
  enum class SizeChoice { All, Over100, Over400, AtLeast };

  explicit ImagesTool(ImagesToolParts parts);
  ~ImagesTool();
  ImagesTool(const ImagesTool&) = delete;
  ImagesTool& operator=(const ImagesTool&) = delete;

  // Puts the toolbar and the grid in `layout` (once).
  void AddTo(Gtk::Layout& layout);
  // Places the toolbar at the top of the pane area (left, top, width, height in pixels) when it
  // shows, and the grid in what is left; `top` and `height` become what is left for the panes.
  void Place(Gtk::Layout& layout, int left, int& top, int width, int& height);
  // The user now looks at the pane of tab `index`: the toolbar shows with the Images tab, and in
  // Grid view the grid stands in for the pane (shown once the window has changed its panes).
  void FollowTab(int index);

  // A new page was analysed: its census, the read of the page (kept, not copied) and its title.
  // The view is List again unless a filter or an order is in use.
  void ShowPage(const std::vector<CensusImage>& census, SharedSnapshot page, std::string title);
  // The same page with pictures that arrived since.
  void Update(const std::vector<CensusImage>& census);

  View CurrentView() const noexcept { return view_; }
  void SetView(View view);
  // The filter and order the toolbar shows.
  PictureFilter Filter() const;
  PictureOrder Order() const;
  const std::vector<PictureEntry>& Entries() const noexcept { return entries_; }
  // The entries shown, in order.
  const std::vector<std::size_t>& Shown() const noexcept { return shown_; }
  // What the actions work on: the selection, or all shown when nothing is selected.
  std::vector<std::size_t> Chosen() const;

  // The actions, on `which` (entries).
  void Save(const std::vector<std::size_t>& which);
  void CopyAddresses(const std::vector<std::size_t>& which);
  void ExportList(const std::vector<std::size_t>& which);
  void OpenInBrowser(const std::vector<std::size_t>& which);
  void CopyImage(std::size_t entry);
  // "Show in Source Code" for one picture: raises ShowInSourceAsked with its entry.
  void ShowInSource(std::size_t entry);
  sigc::signal<void(const PictureEntry&)> ShowInSourceAsked;
  // Shows the picture at `url` (the address of a link to it) selected alone in the Grid view,
  // scrolled into view; a filter that hides it is cleared first. When no picture of the page has
  // that address, says so in the status text, changes nothing and returns false.
  bool ShowPicture(const std::string& url);
  // The Save Pictures window of the last Save…; null before it.
  SavePicturesDialog* saveDialog() { return saveDialog_.get(); }

  // The toolbar, in two rows: choosing, then counting and acting.
  Gtk::Box toolbar{Gtk::ORIENTATION_VERTICAL, 2};
  Gtk::SearchEntry txtContains;
  Gtk::ComboBoxText cboSize, cboSort;
  Gtk::SpinButton spnSize;
  Gtk::MenuButton cmdTypes;
  std::array<Gtk::CheckButton, kPictureTypeCount> chkType;
  Gtk::CheckButton chkHideTracking;
  Gtk::Entry lblCount;  // read-only and borderless, as the find bar's count is
  Gtk::Button cmdSave, cmdCopyAddresses, cmdExport, cmdOpen;
  Gtk::RadioButton optList, optGrid;
  PictureGrid grid;

 private:
  void BuildToolbar();
  // Shows the grid or the Images pane, as the view and the tab ask.
  void ShowView(bool tabChanged);
  void ConnectEvents();
  // Chooses again with the toolbar's filter and order; `byUser`: the grid becomes the view.
  void Choose(bool byUser);
  void ShowCount();
  void ShowTypesLabel();
  // Every picture passes the toolbar's filter again; the order stays.
  void ClearFilter();
  void ShowContextMenu(std::size_t entry, GdkEventButton* click);
  std::vector<const CensusImage*> PicturesOf(const std::vector<std::size_t>& which) const;
  void Report(const std::string& text) const;

  ImagesToolParts parts_;
  std::vector<CensusImage> census_;
  SharedSnapshot page_ = std::make_shared<const PageSnapshot>();
  std::string title_;
  std::vector<PictureEntry> entries_;
  std::vector<std::size_t> shown_;
  View view_ = View::List;
  bool imagesTab_ = false;
  bool settingView_ = false;
  bool holdChoice_ = false;
  sigc::connection showGrid_;  // the grid shown once the tab has changed  // the toolbar is being
                               // set: one choice follows at the end

  Gtk::Box choose_{Gtk::ORIENTATION_HORIZONTAL, 4};
  Gtk::Box act_{Gtk::ORIENTATION_HORIZONTAL, 4};
  Gtk::Box views_{Gtk::ORIENTATION_HORIZONTAL, 0};
  Gtk::Popover typesPopover_;
  Gtk::Box typesBox_{Gtk::ORIENTATION_VERTICAL, 2};
  Gtk::Menu contextMenu_;
  std::array<Gtk::MenuItem, 6> contextItems_;
  std::size_t contextEntry_ = 0;
  std::unique_ptr<SavePicturesDialog> saveDialog_;
};

}  // namespace velmora
