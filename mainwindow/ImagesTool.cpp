#include "mainwindow/ImagesTool.h"

#include <glibmm/main.h>
#include <gtk/gtk.h>
#include <gtkmm/clipboard.h>
#include <gtkmm/cssprovider.h>

#include <algorithm>
#include <climits>

#include "analysis/PictureList.h"
#include "analysis/UrlHelpers.h"
#include "common/KeptFiles.h"
#include "common/ReplaceFile.h"
#include "common/SettingsStore.h"
#include "hosted/Thumbnail.h"

namespace velmora {

namespace {

namespace keys = setting_keys;

// The size choices: the least width and height they ask for; AtLeast reads the number.
constexpr int kSizeOf[] = {0, 100, 400};
constexpr double kDefaultAtLeast = 200;

constexpr const char* kSaving =
    "Pictures are being saved; the next save can start when it has ended";

constexpr const char* kSortCaptions[] = {"Page order", "Largest first", "File size", "Type"};

// The toolbar's two rows fit above a pane of the window's first size.
constexpr const char* kToolbarCss =
    ".images-toolbar button { padding: 1px 6px; min-height: 0; }"
    ".images-toolbar entry { min-height: 0; padding-top: 1px; padding-bottom: 1px; }";
constexpr PictureOrder kOrders[] = {PictureOrder::Page, PictureOrder::Area, PictureOrder::Bytes,
                                    PictureOrder::Type};

std::string Count(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// A picture's bytes on the clipboard: as themselves under their type, and as any picture format
// GTK can write, decoded only when asked for.
struct ClipboardPicture {
  std::string bytes;
  std::string type;
};

constexpr guint kOwnBytes = 1;
constexpr guint kConverted = 2;

void GivePicture(GtkClipboard*, GtkSelectionData* selection, guint info, gpointer data) {
  const auto* picture = static_cast<const ClipboardPicture*>(data);
  if (info == kOwnBytes) {
    gtk_selection_data_set(selection, gtk_selection_data_get_target(selection), 8,
                           reinterpret_cast<const guchar*>(picture->bytes.data()),
                           static_cast<gint>(picture->bytes.size()));
    return;
  }
  // Whole, but never larger than kMaxDecodedPixels.
  if (const Glib::RefPtr<Gdk::Pixbuf> pixbuf = MakeThumbnail(picture->bytes, INT_MAX)) {
    gtk_selection_data_set_pixbuf(selection, pixbuf->gobj());
  }
}

void ForgetPicture(GtkClipboard*, gpointer data) {
  delete static_cast<ClipboardPicture*>(data);
}

}  // namespace

ImagesTool::ImagesTool(ImagesToolParts parts) : grid(*parts.page), parts_(std::move(parts)) {
  BuildToolbar();
  ConnectEvents();
}

ImagesTool::~ImagesTool() {
  showGrid_.disconnect();
}

void ImagesTool::BuildToolbar() {
  auto css = Gtk::CssProvider::create();
  css->load_from_data(kToolbarCss);
  Gtk::StyleContext::add_provider_for_screen(Gdk::Screen::get_default(), css,
                                             GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  txtContains.set_placeholder_text("Address contains\u2026");
  txtContains.set_width_chars(12);
  txtContains.set_tooltip_text("Show the pictures whose address holds this text");
  for (const char* size : {"All sizes", "\u2265 100 px", "\u2265 400 px", "At least\u2026"}) {
    cboSize.append(size);
  }
  cboSize.set_active(0);
  cboSize.set_tooltip_text("The least width and height of the pictures shown");
  spnSize.set_range(1, 100000);
  spnSize.set_increments(10, 100);
  spnSize.set_value(kDefaultAtLeast);
  spnSize.set_width_chars(5);
  spnSize.set_tooltip_text("Least width and height in pixels");
  for (std::size_t i = 0; i < kPictureTypeCount; ++i) {
    chkType[i].set_label(std::string(PictureTypeName(static_cast<PictureType>(i))));
    typesBox_.pack_start(chkType[i], Gtk::PACK_SHRINK);
  }
  typesBox_.set_border_width(6);
  typesBox_.show_all();
  typesPopover_.add(typesBox_);
  cmdTypes.set_popover(typesPopover_);
  cmdTypes.set_tooltip_text("The types of picture shown");
  ShowTypesLabel();
  chkHideTracking.set_label("hide 1 \u00d7 1 and tracking pixels");
  for (const char* caption : kSortCaptions) cboSort.append(caption);
  cboSort.set_active(0);
  cboSort.set_tooltip_text(
      "The order of the pictures: as the page shows them, largest first by "
      "pixel area, largest file first, or by type");

  lblCount.set_has_frame(false);
  lblCount.set_editable(false);
  lblCount.set_can_focus(false);
  lblCount.set_width_chars(27);
  lblCount.get_style_context()->add_class("address-label");
  cmdSave.set_label("Save\u2026");
  cmdSave.set_tooltip_text("Save the selected pictures (all shown when none is selected)");
  cmdCopyAddresses.set_label("Copy Addresses");
  cmdCopyAddresses.set_tooltip_text("Copy their addresses, one a line");
  cmdExport.set_label("Export List\u2026");
  cmdExport.set_tooltip_text("Write their list as JSON, or CSV for a file name ending in .csv");
  cmdOpen.set_label("Open in Browser Tab");
  optList.set_label("List");
  optGrid.set_label("Grid");
  optGrid.join_group(optList);
  for (Gtk::RadioButton* option : {&optList, &optGrid}) {
    option->set_mode(false);
    views_.pack_start(*option, Gtk::PACK_SHRINK);
  }
  views_.get_style_context()->add_class("linked");
  optList.set_tooltip_text("The page of the pictures, as the page shows them");
  optGrid.set_tooltip_text("The pictures as thumbnails, to choose from");

  choose_.pack_start(txtContains, Gtk::PACK_SHRINK);
  choose_.pack_start(cboSize, Gtk::PACK_SHRINK);
  choose_.pack_start(spnSize, Gtk::PACK_SHRINK);
  choose_.pack_start(cmdTypes, Gtk::PACK_SHRINK);
  choose_.pack_start(chkHideTracking, Gtk::PACK_SHRINK);
  choose_.pack_end(cboSort, Gtk::PACK_SHRINK);
  act_.pack_start(lblCount, Gtk::PACK_SHRINK);
  for (Gtk::Button* button : {&cmdSave, &cmdCopyAddresses, &cmdExport, &cmdOpen}) {
    act_.pack_start(*button, Gtk::PACK_SHRINK);
  }
  act_.pack_end(views_, Gtk::PACK_SHRINK);
  toolbar.pack_start(choose_, Gtk::PACK_SHRINK);
  toolbar.pack_start(act_, Gtk::PACK_SHRINK);
  toolbar.set_border_width(2);
  toolbar.get_style_context()->add_class("images-toolbar");
  toolbar.show_all();
  spnSize.hide();
  spnSize.set_no_show_all(true);
  toolbar.set_no_show_all(true);
  toolbar.hide();
  grid.set_no_show_all(true);
  grid.hide();

  const char* captions[] = {"Save\u2026",          "Copy Address", "Export List\u2026",
                            "Open in Browser Tab", "Copy Image",   "Show in Source Code"};
  for (std::size_t i = 0; i < contextItems_.size(); ++i) {
    contextItems_[i].set_label(captions[i]);
    contextMenu_.append(contextItems_[i]);
  }
  contextMenu_.show_all();
  contextMenu_.attach_to_widget(grid.icons);
  ShowCount();
}

void ImagesTool::ConnectEvents() {
  txtContains.signal_search_changed().connect([this] { Choose(true); });
  cboSize.signal_changed().connect([this] {
    spnSize.set_visible(cboSize.get_active_row_number() == static_cast<int>(SizeChoice::AtLeast));
    Choose(true);
  });
  spnSize.signal_value_changed().connect([this] { Choose(true); });
  for (Gtk::CheckButton& type : chkType) {
    type.signal_toggled().connect([this] {
      ShowTypesLabel();
      Choose(true);
    });
  }
  chkHideTracking.signal_toggled().connect([this] { Choose(true); });
  cboSort.signal_changed().connect([this] { Choose(true); });
  optGrid.signal_toggled().connect([this] {
    if (!settingView_) SetView(optGrid.get_active() ? View::Grid : View::List);
  });
  cmdSave.signal_clicked().connect([this] { Save(Chosen()); });
  cmdCopyAddresses.signal_clicked().connect([this] { CopyAddresses(Chosen()); });
  cmdExport.signal_clicked().connect([this] { ExportList(Chosen()); });
  cmdOpen.signal_clicked().connect([this] { OpenInBrowser(Chosen()); });

  grid.SelectionChanged.connect([this] { ShowCount(); });
  grid.Activated.connect([this](std::size_t entry) { OpenInBrowser({entry}); });
  grid.MenuAsked.connect(
      [this](std::size_t entry, GdkEventButton* click) { ShowContextMenu(entry, click); });
  grid.FilterAsked.connect([this] { txtContains.grab_focus(); });
  contextItems_[0].signal_activate().connect([this] { Save({contextEntry_}); });
  contextItems_[1].signal_activate().connect([this] { CopyAddresses({contextEntry_}); });
  contextItems_[2].signal_activate().connect([this] { ExportList({contextEntry_}); });
  contextItems_[3].signal_activate().connect([this] { OpenInBrowser({contextEntry_}); });
  contextItems_[4].signal_activate().connect([this] { CopyImage(contextEntry_); });
  contextItems_[5].signal_activate().connect([this] { ShowInSource(contextEntry_); });
  // The tool's window goes with the main window.
  if (parts_.window != nullptr) {
    parts_.window->signal_hide().connect([this] {
      if (saveDialog_) saveDialog_->hide();
    });
  }
}

// ---- Where it stands --------------------------------------------------------------------------

void ImagesTool::AddTo(Gtk::Layout& layout) {
  if (toolbar.get_parent() != nullptr) return;
  layout.put(toolbar, 0, 0);
  layout.put(grid, 0, 0);
}

void ImagesTool::Place(Gtk::Layout& layout, int left, int& top, int width, int& height) {
  if (toolbar.get_visible()) {
    int minimum = 0;
    int natural = 0;
    toolbar.get_preferred_height(minimum, natural);
    const int barHeight = std::min(natural, height);
    layout.move(toolbar, left, top);
    toolbar.set_size_request(width, barHeight);
    top += barHeight;
    height -= barHeight;
  }
  layout.move(grid, left, top);
  grid.set_size_request(width, std::max(height, 0));
}

void ImagesTool::FollowTab(int index) {
  imagesTab_ = index == 2;
  toolbar.set_visible(imagesTab_);
  ShowView(true);
}

void ImagesTool::SetView(View view) {
  view_ = view;
  settingView_ = true;
  (view == View::Grid ? optGrid : optList).set_active(true);
  settingView_ = false;
  if (imagesTab_) {
    ShowView(false);
    if (view == View::Grid) grid.icons.grab_focus();
  }
}

void ImagesTool::ShowView(bool tabChanged) {
  const bool showGrid = imagesTab_ && view_ == View::Grid;
  // In Grid view the grid stands where the Images pane would: no pane shows.
  if (imagesTab_) parts_.gallery->SetVisible(!showGrid);
  showGrid_.disconnect();
  if (!showGrid || !tabChanged || grid.get_visible()) {
    grid.set_visible(showGrid);
    return;
  }
  // Once the tab has changed: a grid shown in the same turn as the window changes its panes
  // was drawn blank.
  showGrid_ = Glib::signal_idle().connect([this] {
    grid.set_visible(imagesTab_ && view_ == View::Grid);
    return false;
  });
}

// ---- The page's pictures --------------------------------------------------------------------

void ImagesTool::ShowPage(const std::vector<CensusImage>& census, SharedSnapshot page,
                          std::string title) {
  page_ = std::move(page);
  title_ = std::move(title);
  grid.Clear();
  Update(census);
  const bool choosing = !Filter().ChoosesAll() || Order() != PictureOrder::Page;
  SetView(choosing ? View::Grid : View::List);
}

void ImagesTool::Update(const std::vector<CensusImage>& census) {
  census_ = census;
  const ReferenceResolver resolver(page_->baseUrl.empty() ? page_->locationUrl : page_->baseUrl);
  entries_ = OnePerPicture(census_, ThumbnailLinks(page_->bodyHtml, resolver));
  Choose(false);
}

PictureFilter ImagesTool::Filter() const {
  PictureFilter filter;
  const int size = cboSize.get_active_row_number();
  if (size == static_cast<int>(SizeChoice::AtLeast)) {
    filter.minWidth = filter.minHeight = spnSize.get_value_as_int();
  } else if (size > 0 && size < static_cast<int>(std::size(kSizeOf))) {
    filter.minWidth = filter.minHeight = kSizeOf[size];
  }
  for (std::size_t i = 0; i < kPictureTypeCount; ++i) filter.types[i] = chkType[i].get_active();
  filter.contains = txtContains.get_text();
  filter.hideTracking = chkHideTracking.get_active();
  return filter;
}

PictureOrder ImagesTool::Order() const {
  const int sort = cboSort.get_active_row_number();
  return sort > 0 && sort < static_cast<int>(std::size(kOrders)) ? kOrders[sort]
                                                                 : PictureOrder::Page;
}

void ImagesTool::Choose(bool byUser) {
  if (holdChoice_) return;
  shown_ = ChoosePictures(entries_, Filter(), Order());
  grid.Show(entries_, shown_);
  if (byUser && view_ != View::Grid) SetView(View::Grid);
  ShowCount();
}

std::vector<std::size_t> ImagesTool::Chosen() const {
  std::vector<std::size_t> selected = grid.Selected();
  return selected.empty() ? shown_ : selected;
}

void ImagesTool::ShowCount() {
  lblCount.set_text(Count(entries_.size(), "picture", "pictures") + " \u00b7 " +
                    std::to_string(shown_.size()) + " shown \u00b7 " +
                    std::to_string(grid.SelectedCount()) + " selected");
  const bool any = !shown_.empty();
  for (Gtk::Button* button : {&cmdSave, &cmdCopyAddresses, &cmdExport, &cmdOpen}) {
    button->set_sensitive(any);
  }
}

void ImagesTool::ShowTypesLabel() {
  std::string label;
  for (std::size_t i = 0; i < kPictureTypeCount; ++i) {
    if (!chkType[i].get_active()) continue;
    label +=
        (label.empty() ? "" : ", ") + std::string(PictureTypeName(static_cast<PictureType>(i)));
  }
  cmdTypes.set_label((label.empty() ? std::string("All types") : label) + " \u25be");
}

void ImagesTool::ClearFilter() {
  holdChoice_ = true;
  txtContains.set_text("");
  cboSize.set_active(0);
  for (Gtk::CheckButton& type : chkType) type.set_active(false);
  chkHideTracking.set_active(false);
  holdChoice_ = false;
  Choose(false);
}

void ImagesTool::ShowContextMenu(std::size_t entry, GdkEventButton* click) {
  if (entry >= entries_.size()) return;
  contextEntry_ = entry;
  const CensusImage& picture = entries_[entry].picture;
  // Only bytes at hand go on the clipboard: a picture the page did not load is not fetched.
  contextItems_[4].set_sensitive(picture.loaded || picture.url.rfind("data:", 0) == 0);
  contextMenu_.popup_at_pointer(reinterpret_cast<GdkEvent*>(click));
}

// ---- Actions ----------------------------------------------------------------------------------

std::vector<const CensusImage*> ImagesTool::PicturesOf(
    const std::vector<std::size_t>& which) const {
  std::vector<const CensusImage*> pictures;
  for (std::size_t entry : which) {
    if (entry < entries_.size()) pictures.push_back(&entries_[entry].picture);
  }
  return pictures;
}

void ImagesTool::Report(const std::string& text) const {
  if (parts_.report) parts_.report(text);
}

void ImagesTool::Save(const std::vector<std::size_t>& which) {
  const std::vector<const CensusImage*> pictures = PicturesOf(which);
  if (pictures.empty()) {
    Report("No pictures to save");
    return;
  }
  if (*parts_.saving && (*parts_.saving)->Running()) {
    (*parts_.saving)->present();
    Report(kSaving);
    return;
  }
  SavePicturesDialog::Choices start;
  if (parts_.settings != nullptr) {
    start.folder =
        parts_.settings->GetSetting(keys::kImagesSaveFolder, parts_.downloadFolder.string());
    start.folderPerPage = parts_.settings->GetSetting(keys::kImagesFolderPerPage, "1") == "1";
    start.pattern = parts_.settings->GetSetting(keys::kImagesNamePattern, NamePattern::kDefault);
  } else {
    start.folder = parts_.downloadFolder;
  }
  std::vector<CensusImage> copies;
  for (const CensusImage* picture : pictures) copies.push_back(*picture);
  saveDialog_ = std::make_unique<SavePicturesDialog>(
      *parts_.dialog, std::move(copies), page_->locationUrl, title_, start,
      [this](const std::filesystem::path& folder, std::vector<SaveImagesWindow::Picture> chosen,
             const SavePicturesDialog::Choices& choices) {
        if (parts_.settings != nullptr) {
          parts_.settings->SaveSetting(keys::kImagesSaveFolder, choices.folder.string());
          parts_.settings->SaveSetting(keys::kImagesFolderPerPage,
                                       choices.folderPerPage ? "1" : "0");
          parts_.settings->SaveSetting(keys::kImagesNamePattern, choices.pattern);
        }
        if (*parts_.saving && (*parts_.saving)->Running()) {
          Report(kSaving);
        }
        SaveImagesWindow::ShowIn(
            *parts_.saving,
            [&] {
              return std::make_unique<SaveImagesWindow>(
                  *parts_.page, std::move(chosen), folder,
                  [this](const std::string& summary) { Report(summary); });
            },
            parts_.dress);
      });
  if (parts_.dress) parts_.dress(*saveDialog_);
  saveDialog_->show();
}

void ImagesTool::CopyAddresses(const std::vector<std::size_t>& which) {
  std::string lines;
  const std::vector<const CensusImage*> pictures = PicturesOf(which);
  for (const CensusImage* picture : pictures) lines += picture->url + "\n";
  if (pictures.empty()) return;
  Gtk::Clipboard::get()->set_text(lines);
  Report("Copied " + Count(pictures.size(), "address", "addresses"));
}

void ImagesTool::ExportList(const std::vector<std::size_t>& which) {
  const std::vector<const CensusImage*> pictures = PicturesOf(which);
  if (pictures.empty()) return;
  const std::filesystem::path proposed =
      parts_.downloadFolder / (SafeFileName(title_, "Pictures") + " pictures.json");
  const std::optional<std::filesystem::path> file =
      parts_.dialog->ShowSaveFile(*parts_.window, "Export List", proposed);
  if (!file) return;
  std::string extension = file->extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(g_ascii_tolower(c)); });
  const std::string text = extension == ".csv" ? PictureListCsv(pictures)
                                               : PictureListJson(page_->locationUrl, pictures);
  if (const std::error_code error = ReplaceFile(*file, text, true)) {
    Report("Could not write " + file->string() + ": " + error.message());
    return;
  }
  Report("Listed " + Count(pictures.size(), "picture", "pictures") + " in " + file->string());
}

void ImagesTool::OpenInBrowser(const std::vector<std::size_t>& which) {
  const std::vector<const CensusImage*> pictures = PicturesOf(which);
  // One Browser tab: the first of them.
  if (!pictures.empty()) parts_.open(pictures.front()->url);
}

void ImagesTool::ShowInSource(std::size_t entry) {
  if (entry < entries_.size()) ShowInSourceAsked.emit(entries_[entry]);
}

bool ImagesTool::ShowPicture(const std::string& url) {
  const std::optional<std::size_t> entry = EntryWithAddress(entries_, url);
  if (!entry) {
    const std::string name = ImageFileName(url);
    Report("The Images tab has no picture at " + (name.empty() ? url : name));
    return false;
  }
  if (!grid.PositionOf(*entry)) {
    ClearFilter();
    const CensusImage& picture = entries_[*entry].picture;
    Report("The filter hid " + (picture.name.empty() ? picture.url : picture.name) +
           ": all pictures are shown again");
  }
  SetView(View::Grid);
  if (const std::optional<std::size_t> position = grid.PositionOf(*entry)) grid.Reveal(*position);
  return true;
}

void ImagesTool::CopyImage(std::size_t entry) {
  if (entry >= entries_.size()) return;
  const CensusImage& picture = entries_[entry].picture;
  const auto put = [this, type = picture.type](const std::string* bytes) {
    if (bytes == nullptr) {
      Report("The picture's bytes are no longer at hand; reload the page to copy it");
      return;
    }
    auto* held = new ClipboardPicture{*bytes, type.empty() ? "image/png" : type};
    GtkTargetList* list = gtk_target_list_new(nullptr, 0);
    gtk_target_list_add(list, gdk_atom_intern(held->type.c_str(), FALSE), 0, kOwnBytes);
    gtk_target_list_add_image_targets(list, kConverted, TRUE);
    gint count = 0;
    GtkTargetEntry* targets = gtk_target_table_new_from_list(list, &count);
    GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
    if (!gtk_clipboard_set_with_data(clipboard, targets, static_cast<guint>(count), GivePicture,
                                     ForgetPicture, held)) {
      delete held;
    }
    gtk_target_table_free(targets, count);
    gtk_target_list_unref(list);
    Report("Copied the picture");
  };
  if (const std::optional<DataUri> data = DecodeDataUri(picture.url)) {
    put(&data->bytes);
  } else {
    parts_.page->HeldBytes(picture.url, put);
  }
}

}  // namespace velmora
