#include "mainwindow/PictureGrid.h"

#include <gdk/gdkkeysyms.h>
#include <glibmm/main.h>
#include <glibmm/markup.h>
#include <gtkmm/accelgroup.h>
#include <gtkmm/icontheme.h>

#include <algorithm>
#include <set>

#include "analysis/GalleryPage.h"
#include "common/KeptFiles.h"
#include "hosted/Thumbnail.h"

namespace velmora {

namespace {

constexpr int kPlaceholderSide = 48;

// "640 × 480 · PNG · 34 KB": what is known of the picture's size, type and bytes.
std::string Caption(const CensusImage& picture) {
  std::vector<std::string> parts;
  if (picture.width > 0 && picture.height > 0) {
    parts.push_back(std::to_string(picture.width) + " \u00d7 " + std::to_string(picture.height));
  } else if (picture.width > 0) {
    parts.push_back(std::to_string(picture.width) + " px wide");
  }
  std::string type = ShortTypeName(picture.type);
  if (type.empty() && PictureTypeOf(picture) != PictureType::Other) {
    type = PictureTypeName(PictureTypeOf(picture));
  }
  if (!type.empty()) parts.push_back(type);
  if (picture.bytes > 0) parts.push_back(ReadableByteSize(picture.bytes));
  if (parts.empty()) return "size unknown";
  std::string caption = parts.front();
  for (std::size_t i = 1; i < parts.size(); ++i) caption += " \u00b7 " + parts[i];
  return caption;
}

std::string ShownName(const CensusImage& picture) {
  if (!picture.name.empty()) return picture.name;
  if (picture.url.rfind("data:", 0) == 0) return "inline picture";
  const std::string name = FileNameOfUri(picture.url);
  return name.empty() ? picture.url : name;
}

// A data: address is long and says nothing: its start is enough.
std::string ShownAddress(const std::string& url) {
  constexpr std::size_t kLongest = 300;
  return url.size() <= kLongest ? url : url.substr(0, kLongest) + "\u2026";
}

Glib::RefPtr<Gdk::Pixbuf> MakePlaceholder() {
  try {
    return Gtk::IconTheme::get_default()->load_icon("image-x-generic", kPlaceholderSide,
                                                    Gtk::ICON_LOOKUP_FORCE_SIZE);
  } catch (const Glib::Error&) {
    auto square =
        Gdk::Pixbuf::create(Gdk::COLORSPACE_RGB, true, 8, kPlaceholderSide, kPlaceholderSide);
    square->fill(0x80808060);
    return square;
  }
}

// Asks the engine for the bytes of each form of a picture in turn, until it holds one's.
struct HeldFormSearch : std::enable_shared_from_this<HeldFormSearch> {
  HeldFormSearch(BrowserControl& control, std::vector<std::string> addresses,
                 std::shared_ptr<bool> stop)
      : page(control), forms(std::move(addresses)), cancelled(std::move(stop)) {}

  void Try() {
    if (*cancelled) return;
    if (next >= forms.size()) {
      found(nullptr);
      return;
    }
    page.HeldBytes(forms[next++], [self = shared_from_this()](const std::string* bytes) {
      if (bytes != nullptr) {
        self->found(bytes);
      } else {
        self->Try();
      }
    });
  }

  BrowserControl& page;
  std::vector<std::string> forms;
  std::shared_ptr<bool> cancelled;
  std::size_t next = 0;
  std::function<void(const std::string* bytes)> found;  // null: none held
};

bool IsKey(guint keyval, std::initializer_list<guint> keys) {
  return std::find(keys.begin(), keys.end(), keyval) != keys.end();
}

}  // namespace

PictureGrid::PictureGrid(BrowserControl& page)
    : page_(page), placeholder_(MakePlaceholder()), self_(std::make_shared<PictureGrid*>(this)) {
  store_ = Gtk::ListStore::create(columns_);
  icons.set_model(store_);
  icons.set_selection_mode(Gtk::SELECTION_MULTIPLE);
  icons.set_item_width(kItemWidth);
  icons.set_row_spacing(4);
  icons.set_column_spacing(4);
  icons.set_margin(6);
  icons.set_tooltip_column(columns_.tooltip.index());
  icons.set_can_focus(true);
  icons.get_style_context()->add_class("picture-grid");
  captionCell_.property_scale() = 0.85;
  alsoCell_.property_scale() = 0.85;
  alsoCell_.property_style() = Pango::STYLE_ITALIC;
  for (Gtk::CellRendererText* cell : {&captionCell_, &nameCell_, &alsoCell_}) {
    cell->property_xalign() = 0.5;
    cell->property_alignment() = Pango::ALIGN_CENTER;
    cell->property_ellipsize() = Pango::ELLIPSIZE_MIDDLE;
  }
  // Every cell has a fixed size: the view measures each of its items on every change (a
  // thumbnail that arrives), which for a thousand pictures of measured text takes a third of a
  // second and for fixed sizes nothing.
  int lineWidth = 0;
  int lineHeight = 0;
  icons.create_pango_layout("Ag")->get_pixel_size(lineWidth, lineHeight);
  pictureCell_.set_fixed_size(kThumbnailSide, kThumbnailSide);
  for (Gtk::CellRendererText* cell : {&captionCell_, &nameCell_, &alsoCell_}) {
    cell->set_fixed_size(kItemWidth, lineHeight + 2 * static_cast<int>(cell->property_ypad()));
  }
  icons.pack_start(pictureCell_, false);
  icons.add_attribute(pictureCell_.property_pixbuf(), columns_.thumbnail);
  icons.pack_start(captionCell_, false);
  icons.add_attribute(captionCell_.property_text(), columns_.caption);
  icons.pack_start(nameCell_, false);
  icons.add_attribute(nameCell_.property_text(), columns_.name);
  icons.pack_start(alsoCell_, false);
  icons.add_attribute(alsoCell_.property_text(), columns_.also);
  icons.add_attribute(alsoCell_.property_visible(), columns_.hasAlso);
  set_policy(Gtk::POLICY_NEVER, Gtk::POLICY_AUTOMATIC);
  set_shadow_type(Gtk::SHADOW_IN);
  add(icons);
  icons.show();

  icons.signal_selection_changed().connect([this] {
    if (!bulk_) CountSelected();
  });
  icons.signal_button_press_event().connect(sigc::mem_fun(*this, &PictureGrid::OnButtonPress),
                                            false);
  icons.signal_key_press_event().connect(
      [this](GdkEventKey* event) { return HandleKey(event->keyval, event->state); }, false);
  icons.signal_popup_menu().connect([this] {
    if (const auto cursor = Cursor()) MenuAsked.emit(EntryAt(*cursor), nullptr);
    return true;
  });
  get_vadjustment()->signal_value_changed().connect([this] { ScheduleThumbnails(); });
  icons.signal_size_allocate().connect([this](Gtk::Allocation&) { ScheduleThumbnails(); });
}

PictureGrid::~PictureGrid() {
  self_.reset();
  wantIdle_.disconnect();
  for (auto& [url, cancel] : making_) cancel();
}

// ---- What is shown --------------------------------------------------------------------------

void PictureGrid::Show(const std::vector<PictureEntry>& entries,
                       const std::vector<std::size_t>& shown) {
  std::set<std::string> selected;
  for (std::size_t entry : Selected()) {
    for (const Item& item : items_) {
      if (item.entry == entry) selected.insert(item.url);
    }
  }
  const auto cursor = Cursor();
  const std::string cursorUrl = cursor ? items_[*cursor].url : "";
  const std::string anchorUrl = anchor_ && *anchor_ < items_.size() ? items_[*anchor_].url : "";

  // A picture that had no thumbnail may have one now (the engine loaded it since).
  for (auto it = kept_.begin(); it != kept_.end();) {
    it = it->second.thumbnail ? std::next(it) : kept_.erase(it);
  }
  wanted_.clear();
  items_.clear();
  positionOf_.clear();
  anchor_.reset();
  // Filled while detached: the view lays itself out once, not once a row.
  icons.unset_model();
  store_ = Gtk::ListStore::create(columns_);
  for (std::size_t entryIndex : shown) {
    const PictureEntry& entry = entries.at(entryIndex);
    const CensusImage& picture = entry.picture;
    Item item{entryIndex, picture.url, {picture.url}, store_->append()};
    for (const PictureVariant& other : entry.others) item.forms.push_back(other.url);
    Gtk::TreeModel::Row row = *item.row;
    const auto kept = kept_.find(picture.url);
    row[columns_.thumbnail] = kept != kept_.end() ? kept->second.thumbnail : placeholder_;
    row[columns_.caption] = Caption(picture);
    row[columns_.name] = ShownName(picture);
    const std::string also = AlsoText(entry);
    row[columns_.also] = also;
    row[columns_.hasAlso] = !also.empty();
    std::string tooltip = Glib::Markup::escape_text(ShownAddress(picture.url));
    for (const PictureVariant& other : entry.others) {
      tooltip += "\n<small>" + Glib::Markup::escape_text(ShownAddress(other.url)) + "</small>";
    }
    row[columns_.tooltip] = tooltip;
    positionOf_.emplace(picture.url, items_.size());
    items_.push_back(std::move(item));
  }
  icons.set_model(store_);

  bulk_ = true;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (selected.count(items_[i].url) != 0) icons.select_path(PathOf(i));
  }
  bulk_ = false;
  if (const auto at = positionOf_.find(cursorUrl); at != positionOf_.end()) {
    icons.set_cursor(PathOf(at->second), false);
  }
  if (const auto at = positionOf_.find(anchorUrl); at != positionOf_.end()) anchor_ = at->second;
  CountSelected();
  ScheduleThumbnails();
}

void PictureGrid::Clear() {
  ++generation_;
  for (auto& [url, cancel] : making_) cancel();
  making_.clear();
  kept_.clear();
  recent_.clear();
  Show({}, {});
}

Gtk::TreeModel::Path PictureGrid::PathOf(std::size_t position) const {
  Gtk::TreeModel::Path path;
  path.push_back(static_cast<int>(position));
  return path;
}

std::string PictureGrid::CaptionAt(std::size_t position) const {
  const Gtk::TreeModel::Row row = *items_.at(position).row;
  return Glib::ustring(row[columns_.caption]);
}

std::string PictureGrid::TooltipAt(std::size_t position) const {
  const Gtk::TreeModel::Row row = *items_.at(position).row;
  return Glib::ustring(row[columns_.tooltip]);
}

// ---- Selection ------------------------------------------------------------------------------

std::vector<std::size_t> PictureGrid::Selected() const {
  std::vector<std::size_t> positions;
  for (const Gtk::TreeModel::Path& path : icons.get_selected_items()) {
    if (!path.empty() && static_cast<std::size_t>(path[0]) < items_.size()) {
      positions.push_back(static_cast<std::size_t>(path[0]));
    }
  }
  std::sort(positions.begin(), positions.end());
  std::vector<std::size_t> entries;
  for (std::size_t position : positions) entries.push_back(items_[position].entry);
  return entries;
}

void PictureGrid::CountSelected() {
  selectedCount_ = items_.empty() ? 0 : icons.get_selected_items().size();
  SelectionChanged.emit();
}

std::optional<std::size_t> PictureGrid::Cursor() const {
  Gtk::TreeModel::Path path;
  Gtk::CellRenderer* cell = nullptr;
  if (!icons.get_cursor(path, cell) || path.empty()) return std::nullopt;
  const auto position = static_cast<std::size_t>(path[0]);
  if (position >= items_.size()) return std::nullopt;
  return position;
}

void PictureGrid::Flip(std::size_t position) {
  const Gtk::TreeModel::Path path = PathOf(position);
  if (icons.path_is_selected(path)) {
    icons.unselect_path(path);
  } else {
    icons.select_path(path);
  }
}

void PictureGrid::Toggle(std::size_t position) {
  if (position >= items_.size()) return;
  Flip(position);
  anchor_ = position;
}

void PictureGrid::SelectRange(std::size_t from, std::size_t to) {
  if (items_.empty()) return;
  if (from > to) std::swap(from, to);
  bulk_ = true;
  for (std::size_t i = from; i <= to && i < items_.size(); ++i) icons.select_path(PathOf(i));
  bulk_ = false;
  CountSelected();
}

void PictureGrid::SelectAll() {
  icons.select_all();
}

void PictureGrid::Invert() {
  bulk_ = true;
  for (std::size_t i = 0; i < items_.size(); ++i) Flip(i);
  bulk_ = false;
  CountSelected();
}

void PictureGrid::SelectNone() {
  icons.unselect_all();
}

std::optional<std::size_t> PictureGrid::PositionOf(std::size_t entry) const {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].entry == entry) return i;
  }
  return std::nullopt;
}

void PictureGrid::Reveal(std::size_t position) {
  if (position >= items_.size()) return;
  bulk_ = true;
  icons.unselect_all();
  icons.select_path(PathOf(position));
  bulk_ = false;
  anchor_ = position;
  CountSelected();
  revealMap_.disconnect();
  if (icons.get_mapped()) {
    SetCursor(position, false);
    return;
  }
  // A view that is not on screen scrolls to nothing it can draw: the cursor and the scroll wait
  // until it shows, and has laid out what it shows.
  revealMap_ = icons.signal_map().connect([this, position] {
    revealMap_.disconnect();
    Glib::signal_idle().connect_once([self = std::weak_ptr<PictureGrid*>(self_), position] {
      if (const auto grid = self.lock(); grid && position < (*grid)->items_.size()) {
        (*grid)->SetCursor(position, false);
      }
    });
  });
}

void PictureGrid::Click(std::size_t position, guint modifiers) {
  if (position >= items_.size()) return;
  const guint extend = icons.get_modifier_mask(Gdk::MODIFIER_INTENT_EXTEND_SELECTION);
  if ((modifiers & extend) != 0 && anchor_) {
    const std::size_t anchor = *anchor_;
    SelectRange(anchor, position);
  } else {
    Toggle(position);
  }
  icons.set_cursor(PathOf(position), false);
}

bool PictureGrid::OnButtonPress(GdkEventButton* event) {
  icons.grab_focus();
  int x = static_cast<int>(event->x);
  int y = static_cast<int>(event->y);
  // Presses on the pictures come in the view's inner window; one on the view's own window has
  // the view's coordinates already.
  if (event->window != icons.get_window()->gobj()) {
    int originX = 0;
    int originY = 0;
    icons.convert_widget_to_bin_window_coords(0, 0, originX, originY);
    x -= originX;
    y -= originY;
  }
  const std::optional<std::size_t> at = PositionAt(x, y);
  if (!at) return event->button == 1 || event->button == 3;  // no rubber band, no reset
  const std::size_t position = *at;
  const Gtk::TreeModel::Path path = PathOf(position);
  if (event->button == 1 && event->type == GDK_BUTTON_PRESS) {
    Click(position, event->state);
  } else if (event->button == 1 && event->type == GDK_2BUTTON_PRESS) {
    Activated.emit(items_[position].entry);
  } else if (event->button == 3 && event->type == GDK_BUTTON_PRESS) {
    icons.set_cursor(path, false);
    MenuAsked.emit(items_[position].entry, event);
  }
  return true;
}

bool PictureGrid::HandleKey(guint keyval, guint modifiers) {
  const guint mods = modifiers & gtk_accelerator_get_default_mod_mask();
  const auto cursor = Cursor();
  if (mods == GDK_CONTROL_MASK) {
    switch (gdk_keyval_to_lower(keyval)) {
      case GDK_KEY_a:
        SelectAll();
        return true;
      case GDK_KEY_i:
        Invert();
        return true;
      case GDK_KEY_f:
        FilterAsked.emit();
        return true;
      default:
        break;
    }
  }
  if (IsKey(keyval, {GDK_KEY_space, GDK_KEY_KP_Space}) && (mods == 0 || mods == GDK_CONTROL_MASK)) {
    if (cursor) {
      Toggle(*cursor);
    } else if (!items_.empty()) {
      SetCursor(0, false);
    }
    return true;
  }
  if (IsKey(keyval, {GDK_KEY_Return, GDK_KEY_KP_Enter, GDK_KEY_ISO_Enter}) && mods == 0) {
    if (cursor) Activated.emit(items_[*cursor].entry);
    return cursor.has_value();
  }
  if (keyval == GDK_KEY_Escape && mods == 0) {
    // With nothing selected, Escape is the window's (Stop).
    if (selectedCount_ == 0) return false;
    SelectNone();
    return true;
  }
  if ((keyval == GDK_KEY_F10 && mods == GDK_SHIFT_MASK) || (keyval == GDK_KEY_Menu && mods == 0)) {
    if (cursor) MenuAsked.emit(items_[*cursor].entry, nullptr);
    return true;
  }
  if (mods != 0 && mods != GDK_SHIFT_MASK) return false;
  const std::optional<std::size_t> target = MoveTarget(keyval);
  if (!target) return false;
  SetCursor(*target, mods == GDK_SHIFT_MASK);
  return true;
}

bool PictureGrid::LaidOut() const {
  // An item the view has not placed yet has no size of its own.
  Gdk::Rectangle first;
  return !items_.empty() && icons.get_cell_rect(PathOf(0), first) &&
         first.get_width() >= kItemWidth;
}

std::optional<std::size_t> PictureGrid::PositionAt(int x, int y) const {
  // The view's own hit test reads the rows of its layout, which a press that comes before the
  // layout does not find: the pictures on screen are looked at one by one instead.
  Gtk::TreeModel::Path first;
  Gtk::TreeModel::Path last;
  if (!LaidOut() || !icons.get_visible_range(first, last) || first.empty() || last.empty()) {
    return std::nullopt;
  }
  for (auto i = static_cast<std::size_t>(first[0]);
       i <= static_cast<std::size_t>(last[0]) && i < items_.size(); ++i) {
    Gdk::Rectangle cell;
    if (icons.get_cell_rect(PathOf(i), cell) && x >= cell.get_x() &&
        x < cell.get_x() + cell.get_width() && y >= cell.get_y() &&
        y < cell.get_y() + cell.get_height()) {
      return i;
    }
  }
  return std::nullopt;
}

std::size_t PictureGrid::ColumnCount() const {
  // Before the view has laid its rows out, every picture is in the first.
  if (!LaidOut()) return 1;
  std::size_t columns = 0;
  while (columns < items_.size() && icons.get_item_row(PathOf(columns)) == 0) ++columns;
  return std::max<std::size_t>(columns, 1);
}

std::optional<std::size_t> PictureGrid::MoveTarget(guint keyval) const {
  if (items_.empty()) return std::nullopt;
  const std::size_t last = items_.size() - 1;
  const auto cursor = Cursor();
  const bool moves =
      IsKey(keyval, {GDK_KEY_Left, GDK_KEY_KP_Left, GDK_KEY_Right, GDK_KEY_KP_Right, GDK_KEY_Up,
                     GDK_KEY_KP_Up, GDK_KEY_Down, GDK_KEY_KP_Down, GDK_KEY_Home, GDK_KEY_KP_Home,
                     GDK_KEY_End, GDK_KEY_KP_End, GDK_KEY_Page_Up, GDK_KEY_KP_Page_Up,
                     GDK_KEY_Page_Down, GDK_KEY_KP_Page_Down});
  if (!moves) return std::nullopt;
  if (IsKey(keyval, {GDK_KEY_Home, GDK_KEY_KP_Home})) return std::size_t{0};
  if (IsKey(keyval, {GDK_KEY_End, GDK_KEY_KP_End})) return last;
  // The first move goes to the first picture.
  if (!cursor) return std::size_t{0};
  const std::size_t at = *cursor;
  const std::size_t columns = ColumnCount();
  std::size_t page = columns;
  Gdk::Rectangle cell;
  if (icons.get_cell_rect(PathOf(at), cell) && cell.get_height() > 0) {
    const auto rows = static_cast<std::size_t>(get_vadjustment()->get_page_size()) /
                      static_cast<std::size_t>(cell.get_height() + icons.get_row_spacing());
    page = std::max<std::size_t>(rows, 1) * columns;
  }
  if (IsKey(keyval, {GDK_KEY_Left, GDK_KEY_KP_Left})) return at == 0 ? 0 : at - 1;
  if (IsKey(keyval, {GDK_KEY_Right, GDK_KEY_KP_Right})) return std::min(at + 1, last);
  if (IsKey(keyval, {GDK_KEY_Up, GDK_KEY_KP_Up})) return at >= columns ? at - columns : at;
  if (IsKey(keyval, {GDK_KEY_Down, GDK_KEY_KP_Down})) {
    // From the row above the last, a row down ends on the last picture.
    const bool lastRow = at / columns == last / columns;
    return lastRow ? at : std::min(at + columns, last);
  }
  if (IsKey(keyval, {GDK_KEY_Page_Up, GDK_KEY_KP_Page_Up}))
    return at >= page ? at - page : at % columns;
  return std::min(at + page, last);
}

void PictureGrid::SetCursor(std::size_t position, bool extend) {
  const Gtk::TreeModel::Path path = PathOf(position);
  icons.set_cursor(path, false);
  icons.scroll_to_path(path, false, 0, 0);
  if (extend) icons.select_path(path);
}

// ---- Thumbnails -----------------------------------------------------------------------------

bool PictureGrid::ShowsThumbnail(std::size_t position) const {
  const Gtk::TreeModel::Row row = *items_.at(position).row;
  const Glib::RefPtr<Gdk::Pixbuf> shown = row[columns_.thumbnail];
  return shown && shown != placeholder_;
}

void PictureGrid::ScheduleThumbnails() {
  if (wantIdle_.connected()) return;
  wantIdle_ = Glib::signal_idle().connect([this] {
    WantThumbnails();
    return false;
  });
}

void PictureGrid::WantThumbnails() {
  wanted_.clear();
  Gtk::TreeModel::Path first;
  Gtk::TreeModel::Path last;
  if (items_.empty() || !icons.get_visible_range(first, last) || first.empty() || last.empty()) {
    return;
  }
  const auto from = static_cast<std::size_t>(first[0]);
  const auto to = std::min(static_cast<std::size_t>(last[0]), items_.size() - 1);
  // What is on screen, then the screen below it.
  const std::size_t after = std::min(to + (to - from) + 1, items_.size() - 1);
  for (std::size_t i = from; i <= after; ++i) {
    const auto kept = kept_.find(items_[i].url);
    if (kept == kept_.end()) {
      wanted_.push_back(i);
    } else if (kept->second.thumbnail && i <= to) {
      recent_.splice(recent_.begin(), recent_, kept->second.recent);
    }
  }
  // Wanted from the back: the last to be made first goes last.
  std::reverse(wanted_.begin(), wanted_.end());
  MakeMore();
}

void PictureGrid::MakeMore() {
  if (starting_) return;
  starting_ = true;
  while (making_.size() < kMadeAtOnce && !wanted_.empty()) {
    const std::size_t position = wanted_.back();
    wanted_.pop_back();
    if (position >= items_.size()) continue;
    const std::string& url = items_[position].url;
    if (kept_.count(url) != 0 || making_.count(url) != 0) continue;
    Make(position);
  }
  starting_ = false;
}

void PictureGrid::Make(std::size_t position) {
  const std::string url = items_[position].url;
  const std::uint64_t generation = generation_;
  auto cancelled = std::make_shared<bool>(false);
  auto cancelDecode = std::make_shared<std::function<void()>>();
  making_[url] = [cancelled, cancelDecode] {
    *cancelled = true;
    if (*cancelDecode) (*cancelDecode)();
  };
  const auto finish = [owner = std::weak_ptr<PictureGrid*>(self_), url, generation,
                       cancelled](Glib::RefPtr<Gdk::Pixbuf> thumbnail) {
    const auto grid = owner.lock();
    if (!grid || *cancelled || (*grid)->generation_ != generation) return;
    (*grid)->Made(url, std::move(thumbnail));
  };
  const auto decode = [finish, cancelDecode](std::shared_ptr<const std::string> bytes) {
    *cancelDecode = MakeThumbnailLater(std::move(bytes), kThumbnailSide, finish);
  };
  if (std::optional<DataUri> data = DecodeDataUri(url)) {
    decode(std::make_shared<const std::string>(std::move(data->bytes)));
    return;
  }
  // The first of its forms whose bytes the engine holds.
  auto search = std::make_shared<HeldFormSearch>(page_, items_[position].forms, cancelled);
  search->found = [decode, finish](const std::string* bytes) {
    if (bytes != nullptr) {
      decode(std::make_shared<const std::string>(*bytes));
    } else {
      finish(Glib::RefPtr<Gdk::Pixbuf>());
    }
  };
  search->Try();
}

void PictureGrid::Made(const std::string& url, Glib::RefPtr<Gdk::Pixbuf> thumbnail) {
  making_.erase(url);
  Kept kept{thumbnail, recent_.end()};
  if (thumbnail) {
    recent_.push_front(url);
    kept.recent = recent_.begin();
  }
  kept_[url] = kept;
  ShowThumbnail(url, thumbnail ? thumbnail : placeholder_);
  // The least recently wanted goes back to its placeholder.
  while (recent_.size() > kKeptThumbnails) {
    const std::string oldest = recent_.back();
    recent_.pop_back();
    kept_.erase(oldest);
    ShowThumbnail(oldest, placeholder_);
  }
  MakeMore();
}

void PictureGrid::ShowThumbnail(const std::string& url,
                                const Glib::RefPtr<Gdk::Pixbuf>& thumbnail) {
  const auto at = positionOf_.find(url);
  if (at == positionOf_.end()) return;
  Gtk::TreeModel::Row row = *items_[at->second].row;
  row[columns_.thumbnail] = thumbnail;
}

}  // namespace velmora
