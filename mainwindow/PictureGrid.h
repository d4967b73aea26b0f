// The grid of the Images tool: the pictures it shows as thumbnails in rows, each captioned with
// what is known of it ("640 × 480 · PNG · 34 KB"), its name and, for a picture the page also
// shows at other sizes, what they add ("also 320 w, 640 w"); hovering shows its address.
//
// The selection is a set the user builds one picture at a time: a click or Space toggles a
// picture, Shift-click adds the range from the last one toggled, Ctrl+A selects all shown, Ctrl+I
// inverts, Escape selects none; the arrows (and Home, End, Page Up, Page Down) move without
// changing it, with Shift they add the picture moved to. Enter or a double click opens one.
//
// Thumbnails come from the bytes the engine holds (no second request), for what is on screen
// first and the screen after it, a few at a time on a worker thread, each decoded at thumbnail
// size only (hosted/Thumbnail.h); at most kKeptThumbnails are kept.
#pragma once

#include <gdkmm/pixbuf.h>
#include <gtkmm/cellrendererpixbuf.h>
#include <gtkmm/cellrenderertext.h>
#include <gtkmm/iconview.h>
#include <gtkmm/liststore.h>
#include <gtkmm/scrolledwindow.h>

#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "analysis/PictureChoice.h"
#include "hosted/BrowserControl.h"

namespace velmora {

class PictureGrid : public Gtk::ScrolledWindow {
 public:
  static constexpr int kThumbnailSide = 128;
  static constexpr std::size_t kKeptThumbnails = 300;
  static constexpr std::size_t kMadeAtOnce = 2;
  static constexpr int kItemWidth = 150;

  // Thumbnails are made from the bytes `page` holds.
  explicit PictureGrid(BrowserControl& page);
  ~PictureGrid() override;
  PictureGrid(const PictureGrid&) = delete;
  PictureGrid& operator=(const PictureGrid&) = delete;

  // Shows the entries `shown` of `entries`, in that order (the grid keeps what it needs of them).
  // Pictures still shown stay selected, and the cursor stays on its picture.
  void Show(const std::vector<PictureEntry>& entries, const std::vector<std::size_t>& shown);
  // A new page: nothing shown, selected or kept.
  void Clear();

  std::size_t ShownCount() const noexcept { return items_.size(); }
  // The selected entries (indexes into the entries of the last Show), in shown order.
  std::vector<std::size_t> Selected() const;
  std::size_t SelectedCount() const noexcept { return selectedCount_; }
  // The position of the cursor among the shown pictures; nothing before the user moved it.
  std::optional<std::size_t> Cursor() const;
  // The entry shown at a position.
  std::size_t EntryAt(std::size_t position) const { return items_.at(position).entry; }

  // The selection, by shown position.
  void Toggle(std::size_t position);
  void SelectRange(std::size_t from, std::size_t to);
  void SelectAll();
  void Invert();
  void SelectNone();
  // The shown position of an entry; nothing when it is not shown.
  std::optional<std::size_t> PositionOf(std::size_t entry) const;
  // Selects the picture at a position alone, puts the cursor on it and scrolls it into view.
  void Reveal(std::size_t position);
  // A click of the first button on a picture, with the event's modifiers.
  void Click(std::size_t position, guint modifiers);
  // A key for the grid; true when it took it.
  bool HandleKey(guint keyval, guint modifiers);

  // Whether the view has placed what it shows (it does so when it is next idle).
  bool LaidOut() const;
  // Whether the picture at a position shows its thumbnail (not the placeholder).
  bool ShowsThumbnail(std::size_t position) const;
  // Thumbnails kept now.
  std::size_t KeptThumbnails() const noexcept { return recent_.size(); }
  // The caption and tooltip of a position, as shown.
  std::string CaptionAt(std::size_t position) const;
  std::string TooltipAt(std::size_t position) const;

  sigc::signal<void()> SelectionChanged;
  // Enter or a double click on a picture: its entry.
  sigc::signal<void(std::size_t entry)> Activated;
  // The context menu of a picture: its entry, and the click (null from the keyboard).
  sigc::signal<void(std::size_t entry, GdkEventButton* click)> MenuAsked;
  // Ctrl+F: the user wants to narrow what is shown.
  sigc::signal<void()> FilterAsked;

  Gtk::IconView icons;

 private:
  struct Columns : Gtk::TreeModelColumnRecord {
    Columns() {
      add(thumbnail);
      add(caption);
      add(name);
      add(also);
      add(hasAlso);
      add(tooltip);
    }
    Gtk::TreeModelColumn<Glib::RefPtr<Gdk::Pixbuf>> thumbnail;
    Gtk::TreeModelColumn<Glib::ustring> caption, name, also;
    Gtk::TreeModelColumn<bool> hasAlso;
    Gtk::TreeModelColumn<Glib::ustring> tooltip;  // markup
  };
  // What the grid keeps of a shown entry.
  struct Item {
    std::size_t entry;
    std::string url;
    // Where its bytes may be had: its own address first, then its other forms.
    std::vector<std::string> forms;
    Gtk::TreeModel::iterator row;
  };

  Gtk::TreeModel::Path PathOf(std::size_t position) const;
  // Selects an unselected picture, unselects a selected one.
  void Flip(std::size_t position);
  void SetCursor(std::size_t position, bool extend);
  // Where a key moves the cursor to; nothing for a key that does not move it.
  std::optional<std::size_t> MoveTarget(guint keyval) const;
  std::size_t ColumnCount() const;
  // The picture at a point of the view (its own coordinates).
  std::optional<std::size_t> PositionAt(int x, int y) const;
  void CountSelected();
  bool OnButtonPress(GdkEventButton* event);

  // Thumbnails.
  void ScheduleThumbnails();
  void WantThumbnails();
  void MakeMore();
  void Make(std::size_t position);
  void Made(const std::string& url, Glib::RefPtr<Gdk::Pixbuf> thumbnail);
  void ShowThumbnail(const std::string& url, const Glib::RefPtr<Gdk::Pixbuf>& thumbnail);

  BrowserControl& page_;
  Columns columns_;
  Glib::RefPtr<Gtk::ListStore> store_;
  Gtk::CellRendererPixbuf pictureCell_;
  Gtk::CellRendererText captionCell_, nameCell_, alsoCell_;
  Glib::RefPtr<Gdk::Pixbuf> placeholder_;
  std::vector<Item> items_;
  std::unordered_map<std::string, std::size_t> positionOf_;  // by url
  std::optional<std::size_t> anchor_;  // the last picture toggled: Shift-click's range starts there
  std::size_t selectedCount_ = 0;
  bool bulk_ = false;  // changing many at once: one SelectionChanged at the end

  // Thumbnails kept, by url (null: none can be made), the order they were last wanted in (most
  // recent first), the positions waiting, and those being made with their cancels.
  struct Kept {
    Glib::RefPtr<Gdk::Pixbuf> thumbnail;
    std::list<std::string>::iterator recent;
  };
  std::unordered_map<std::string, Kept> kept_;
  std::list<std::string> recent_;
  std::vector<std::size_t> wanted_;
  std::unordered_map<std::string, std::function<void()>> making_;
  bool starting_ = false;
  sigc::connection wantIdle_;
  sigc::connection revealMap_;  // Reveal of a view not on screen yet
  // Answers for a page before, or after the grid is gone, find this changed or expired.
  std::shared_ptr<PictureGrid*> self_;
  std::uint64_t generation_ = 0;
};

}  // namespace velmora
