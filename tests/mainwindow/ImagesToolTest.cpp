// The Images tool with a fake page: what the toolbar's choices show and which view shows it,
// how clicks and keys build the selection, what the actions write, and which thumbnails are
// made (those on screen, never a picture too large to decode).
#include <gdk/gdkkeysyms.h>
#include <glibmm/main.h>
#include <gtest/gtest.h>
#include <gtkmm/clipboard.h>
#include <gtkmm/main.h>
#include <json-glib/json-glib.h>

#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/SettingsStore.h"
#include "hosted/Thumbnail.h"
#include "mainwindow/ImagesTool.h"
#include "support/FakeBrowserControl.h"
#include "support/ImagesToolWindow.h"
#include "support/MemorySettings.h"
#include "support/Pictures.h"
#include "support/TempFolder.h"

namespace velmora {
namespace {

using testing::FakeBrowserControl;
using testing::ReadFile;
using testing::TempFolder;

// Runs the main loop until `done` holds, for at most ten seconds.
bool RunUntil(const std::function<bool()>& done) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  // Wakes the loop now and then to look at the condition.
  sigc::connection tick = Glib::signal_timeout().connect([] { return true; }, 20);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) {
      tick.disconnect();
      return false;
    }
    g_main_context_iteration(nullptr, TRUE);
  }
  tick.disconnect();
  return true;
}

// Runs the main loop for a while, so that what was going to happen has happened.
void Settle() {
  bool over = false;
  Glib::signal_timeout().connect_once([&] { over = true; }, 300);
  RunUntil([&] { return over; });
}

std::string Png(int width, int height) {
  return testing::FilledPicture(width, height, 0x336699ff, "png");
}

// A PNG that claims 20,000 x 20,000 pixels: its header and no picture data.
std::string PngBomb() {
  const auto crc = [](const std::string& data) {
    guint32 c = 0xffffffffu;
    for (unsigned char byte : data) {
      c ^= byte;
      for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xedb88320u & (0u - (c & 1u)));
    }
    return c ^ 0xffffffffu;
  };
  const auto big = [](guint32 n) {
    return std::string{static_cast<char>(n >> 24), static_cast<char>(n >> 16),
                       static_cast<char>(n >> 8), static_cast<char>(n)};
  };
  const std::string header =
      "IHDR" + big(20000) + big(20000) + std::string("\x08\x02\x00\x00\x00", 5);
  return std::string("\x89PNG\r\n\x1a\n", 8) + big(13) + header + big(crc(header));
}

// Answers Export List's question with a file of the test's.
class ExportDialog : public OpenFileDialog {
 public:
  std::optional<std::string> ShowOpen(Gtk::Window&) override { return std::nullopt; }
  std::optional<std::filesystem::path> ShowSaveFolder(Gtk::Window&,
                                                      const std::filesystem::path&) override {
    return std::nullopt;
  }
  std::optional<std::filesystem::path> ShowSaveFile(Gtk::Window&, const std::string&,
                                                    const std::filesystem::path&) override {
    return file;
  }
  std::optional<std::filesystem::path> file;
};

CensusImage Picture(const std::string& name, int width, int height, const std::string& type,
                    std::uint64_t bytes) {
  CensusImage picture;
  picture.url = "https://pics.example/" + name;
  picture.name = name;
  picture.width = width;
  picture.height = height;
  picture.type = type;
  picture.bytes = bytes;
  picture.loaded = bytes > 0;
  return picture;
}

// Six pictures, in page order.
const std::vector<CensusImage> kCensus = {
    Picture("photo.jpg", 1600, 900, "image/jpeg", 240000),
    Picture("icon.png", 32, 32, "image/png", 900),
    Picture("chart.svg", 600, 400, "image/svg+xml", 5000),
    Picture("pixel.gif", 1, 1, "image/gif", 43),
    Picture("=cmd.webp", 800, 800, "image/webp", 60000),
    Picture("banner.png", 728, 90, "image/png", 20000),
};

class ImagesToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    shown = std::make_unique<testing::ImagesToolWindow>(800, 600, [this](ImagesToolParts& parts) {
      parts.dialog = &dialog;
      parts.downloadFolder = folder.path();
      parts.settings = &settings;
      parts.report = [this](const std::string& text) { reports.push_back(text); };
      parts.open = [this](const std::string& url) { opened.push_back(url); };
    });
    tool = shown->tool.get();
    page = &shown->page;
    gallery = &shown->gallery;
    ShowPage(kCensus);
  }

  void ShowPage(const std::vector<CensusImage>& census) {
    tool->ShowPage(census,
                   std::make_shared<const PageSnapshot>(
                       PageSnapshot{"", "https://pics.example/page.html", ""}),
                   "Pictures");
  }

  // The names of the shown pictures, in order.
  std::vector<std::string> Shown() const {
    std::vector<std::string> names;
    for (std::size_t entry : tool->Shown()) names.push_back(tool->Entries()[entry].picture.name);
    return names;
  }

  std::set<std::size_t> SelectedPositions() const {
    std::set<std::size_t> positions;
    for (std::size_t entry : tool->grid.Selected()) {
      for (std::size_t i = 0; i < tool->grid.ShownCount(); ++i) {
        if (tool->grid.EntryAt(i) == entry) positions.insert(i);
      }
    }
    return positions;
  }

  TempFolder folder;
  ExportDialog dialog;
  testing::MemorySettings settings;
  std::unique_ptr<testing::ImagesToolWindow> shown;
  ImagesTool* tool = nullptr;
  FakeBrowserControl* page = nullptr;
  FakeBrowserControl* gallery = nullptr;
  std::vector<std::string> reports;
  std::vector<std::string> opened;
};

TEST_F(ImagesToolTest, ChoicesNarrowAndOrderAndANewPageShowsTheListAgain) {
  EXPECT_EQ(tool->CurrentView(), ImagesTool::View::List);
  EXPECT_TRUE(gallery->Visible());
  EXPECT_FALSE(tool->grid.get_visible());
  const std::size_t png = static_cast<std::size_t>(PictureType::Png);
  const std::size_t webp = static_cast<std::size_t>(PictureType::Webp);
  const struct {
    std::function<void(ImagesTool&)> change;
    std::vector<std::string> shown;
  } steps[] = {
      {[](ImagesTool& t) { t.cboSize.set_active(1); },  // at least 100 px
       {"photo.jpg", "chart.svg", "=cmd.webp"}},
      {[](ImagesTool& t) { t.cboSort.set_active(1); },  // largest area first
       {"photo.jpg", "=cmd.webp", "chart.svg"}},
      {[](ImagesTool& t) { t.cboSort.set_active(2); },  // largest file first
       {"photo.jpg", "=cmd.webp", "chart.svg"}},
      {[&](ImagesTool& t) { t.chkType[webp].set_active(true); }, {"=cmd.webp"}},
      {[&](ImagesTool& t) {
         t.chkType[webp].set_active(false);
         t.cboSize.set_active(static_cast<int>(ImagesTool::SizeChoice::AtLeast));
         t.spnSize.set_value(700);
       },
       {"photo.jpg", "=cmd.webp"}},
      {[&](ImagesTool& t) {
         t.cboSize.set_active(0);
         t.chkType[png].set_active(true);
         t.cboSort.set_active(0);
       },
       {"icon.png", "banner.png"}},
      {[](ImagesTool& t) {
         t.chkType[static_cast<std::size_t>(PictureType::Png)].set_active(false);
         t.txtContains.set_text("PHOTO");
       },
       {"photo.jpg"}},
      {[](ImagesTool& t) {
         t.txtContains.set_text("");
         t.chkHideTracking.set_active(true);
       },
       {"photo.jpg", "icon.png", "chart.svg", "=cmd.webp", "banner.png"}},
  };
  for (const auto& step : steps) {
    step.change(*tool);
    // The text box narrows once the user pauses typing.
    RunUntil([&] { return Shown() == step.shown; });
    EXPECT_EQ(Shown(), step.shown) << ::testing::PrintToString(step.shown);
    EXPECT_EQ(tool->grid.ShownCount(), step.shown.size());
  }
  EXPECT_EQ(tool->lblCount.get_text(), "6 pictures \u00b7 5 shown \u00b7 0 selected");
  EXPECT_EQ(tool->CurrentView(), ImagesTool::View::Grid) << "a choice in use shows the grid";
  EXPECT_FALSE(gallery->Visible()) << "the grid stands where the Images pane was";
  EXPECT_TRUE(tool->grid.get_visible());

  // Away from the Images tab, neither toolbar nor grid shows.
  tool->FollowTab(0);
  EXPECT_FALSE(tool->toolbar.get_visible());
  EXPECT_FALSE(tool->grid.get_visible());
  tool->FollowTab(2);

  // A new page with a choice in use opens in the grid; with none, in the list.
  ShowPage(kCensus);
  EXPECT_EQ(tool->CurrentView(), ImagesTool::View::Grid);
  tool->chkHideTracking.set_active(false);
  ShowPage(kCensus);
  EXPECT_EQ(tool->CurrentView(), ImagesTool::View::List);
  EXPECT_TRUE(gallery->Visible());
  EXPECT_EQ(tool->lblCount.get_text(), "6 pictures \u00b7 6 shown \u00b7 0 selected");
}

TEST_F(ImagesToolTest, ClicksAndKeysBuildTheSelection) {
  tool->SetView(ImagesTool::View::Grid);
  ASSERT_TRUE(RunUntil([&] { return tool->grid.LaidOut(); }));
  PictureGrid& grid = tool->grid;
  const std::string steps[][4] = {
      {"click 1"},
      {"click 1", "click 1"},
      {"click 1", "shift-click 4"},
      {"click 3", "shift-click 1"},
      {"ctrl+a"},
      {"click 0", "ctrl+i"},
      {"ctrl+a", "escape"},
      {"right", "right", "space"},
      {"end", "space", "home", "shift+right"},
      {"click 2", "left", "left", "left"},
  };
  const std::set<std::size_t> expected[] = {
      {1}, {}, {1, 2, 3, 4}, {1, 2, 3}, {0, 1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}, {}, {1}, {1, 5}, {2},
  };
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    grid.SelectNone();
    ShowPage(kCensus);  // the cursor starts nowhere
    tool->SetView(ImagesTool::View::Grid);
    ASSERT_TRUE(RunUntil([&] { return grid.LaidOut(); }));
    std::string said;
    for (const std::string& step : steps[i]) {
      if (step.empty()) continue;
      said += step + "; ";
      if (step.rfind("click ", 0) == 0) grid.Click(std::stoul(step.substr(6)), 0);
      if (step.rfind("shift-click ", 0) == 0)
        grid.Click(std::stoul(step.substr(12)), GDK_SHIFT_MASK);
      if (step == "ctrl+a") grid.HandleKey(GDK_KEY_a, GDK_CONTROL_MASK);
      if (step == "ctrl+i") grid.HandleKey(GDK_KEY_i, GDK_CONTROL_MASK);
      if (step == "escape") grid.HandleKey(GDK_KEY_Escape, 0);
      if (step == "space") grid.HandleKey(GDK_KEY_space, 0);
      if (step == "right") grid.HandleKey(GDK_KEY_Right, 0);
      if (step == "left") grid.HandleKey(GDK_KEY_Left, 0);
      if (step == "home") grid.HandleKey(GDK_KEY_Home, 0);
      if (step == "end") grid.HandleKey(GDK_KEY_End, 0);
      if (step == "shift+right") grid.HandleKey(GDK_KEY_Right, GDK_SHIFT_MASK);
    }
    EXPECT_EQ(SelectedPositions(), expected[i]) << said;
    EXPECT_EQ(grid.SelectedCount(), expected[i].size()) << said;
  }
  grid.SelectNone();
  EXPECT_FALSE(grid.HandleKey(GDK_KEY_Escape, 0)) << "with nothing selected Escape is the window's";

  // A filter keeps the selected pictures it still shows; Enter opens the one at the cursor.
  grid.Click(0, 0);
  grid.Click(1, 0);
  tool->cboSize.set_active(1);
  EXPECT_EQ(tool->lblCount.get_text(), "6 pictures \u00b7 3 shown \u00b7 1 selected");
  EXPECT_FALSE(grid.HandleKey(GDK_KEY_Return, 0)) << "the cursor's picture is no longer shown";
  grid.HandleKey(GDK_KEY_Right, 0);
  grid.HandleKey(GDK_KEY_Right, 0);
  EXPECT_TRUE(grid.HandleKey(GDK_KEY_Return, 0));
  EXPECT_EQ(opened, std::vector<std::string>{"https://pics.example/chart.svg"});
}

TEST_F(ImagesToolTest, ActionsWorkOnTheSelectionOrElseOnAllShown) {
  tool->cboSize.set_active(1);  // photo.jpg, chart.svg, =cmd.webp
  EXPECT_EQ(tool->Chosen().size(), 3u);
  tool->grid.Click(2, 0);
  tool->grid.Click(0, 0);
  EXPECT_EQ(tool->Chosen(), (std::vector<std::size_t>{0, 4})) << "in shown order";

  tool->cmdCopyAddresses.clicked();
  EXPECT_EQ(Gtk::Clipboard::get()->wait_for_text(),
            "https://pics.example/photo.jpg\nhttps://pics.example/=cmd.webp\n");
  tool->cmdOpen.clicked();
  EXPECT_EQ(opened, std::vector<std::string>{"https://pics.example/photo.jpg"});

  // Copy Image: the engine's bytes as they are, and as a picture.
  const std::string png = Png(40, 30);
  page->heldBytes["https://pics.example/icon.png"] = png;
  tool->CopyImage(1);
  const Gtk::SelectionData own = Gtk::Clipboard::get()->wait_for_contents("image/png");
  EXPECT_EQ(own.get_data_as_string(), png);
  const Glib::RefPtr<Gdk::Pixbuf> copied = Gtk::Clipboard::get()->wait_for_image();
  ASSERT_TRUE(copied);
  EXPECT_EQ(copied->get_width(), 40);

  // JSON with the command line's fields, or CSV for a .csv name; a folder that is not there
  // gets a message and no file.
  dialog.file = folder / "list.json";
  tool->cmdExport.clicked();
  JsonParser* parser = json_parser_new();
  ASSERT_TRUE(
      json_parser_load_from_data(parser, ReadFile(folder / "list.json").c_str(), -1, nullptr));
  JsonObject* root = json_node_get_object(json_parser_get_root(parser));
  EXPECT_STREQ(json_object_get_string_member(root, "url"), "https://pics.example/page.html");
  JsonArray* items = json_object_get_array_member(root, "census");
  ASSERT_EQ(json_array_get_length(items), 2u);
  JsonObject* second = json_array_get_object_element(items, 1);
  EXPECT_STREQ(json_object_get_string_member(second, "name"), "=cmd.webp");
  EXPECT_STREQ(json_object_get_string_member(second, "type"), "image/webp");
  EXPECT_EQ(json_object_get_int_member(second, "width"), 800);
  EXPECT_EQ(json_object_get_int_member(second, "bytes"), 60000);
  g_object_unref(parser);

  dialog.file = folder / "list.CSV";
  tool->cmdExport.clicked();
  EXPECT_EQ(ReadFile(folder / "list.CSV"),
            "url,name,kind,width,height,type,bytes,frame\r\n"
            "https://pics.example/photo.jpg,photo.jpg,img,1600,900,image/jpeg,240000,\r\n"
            "https://pics.example/=cmd.webp,'=cmd.webp,img,800,800,image/webp,60000,\r\n");

  dialog.file = folder / "missing" / "list.json";
  tool->cmdExport.clicked();
  EXPECT_FALSE(std::filesystem::exists(folder / "missing"));
  EXPECT_EQ(
      reports.back().rfind("Could not write " + (folder / "missing" / "list.json").string(), 0), 0u)
      << reports.back();

  // Save…: a folder that cannot be made is said in the window, and nothing starts.
  testing::WriteFile(folder / "plain", "x");
  tool->cmdSave.clicked();
  SavePicturesDialog* save = tool->saveDialog();
  ASSERT_NE(save, nullptr);
  save->chkFolderPerPage.set_active(false);
  save->txtFolder.set_text((folder / "plain" / "pictures").string());
  save->cmdSave.clicked();
  EXPECT_TRUE(save->get_visible());
  EXPECT_EQ(save->lblPreview.get_text().rfind("Could not use the folder", 0), 0u)
      << save->lblPreview.get_text();
  EXPECT_EQ(shown->saving, nullptr);

  // A folder for the page, names by the pattern; a picture fetched by the control lands in a
  // hidden folder first and is moved to its name, and that folder goes when the save ends.
  save->txtFolder.set_text(folder.path().string());
  save->chkFolderPerPage.set_active(true);
  save->txtPattern.set_text("{n}-{w}x{h}");
  EXPECT_EQ(save->Names(), (std::vector<std::string>{"1-1600x900.jpg", "2-800x800.webp"}));
  save->cmdSave.clicked();
  ASSERT_NE(shown->saving, nullptr);
  ASSERT_EQ(page->saves.size(), 2u);
  const std::filesystem::path staging = page->saves[0].folder;
  testing::WriteFile(staging / "photo.jpg", "JPEG");
  page->FinishSave(0, {staging / "photo.jpg", ""});
  page->FinishSave(1, {{}, "the server answered 404 Not Found"});
  const std::filesystem::path into = folder / "pics.example" / "Pictures";
  EXPECT_EQ(staging.parent_path(), into);
  EXPECT_EQ(ReadFile(into / "1-1600x900.jpg"), "JPEG");
  EXPECT_FALSE(std::filesystem::exists(staging));
  EXPECT_EQ(shown->saving->Summary(), "Saved 1 of 2 images in " + into.string() + "; 1 failed");
  EXPECT_EQ(settings.values[std::string(setting_keys::kImagesNamePattern)], "{n}-{w}x{h}");
  EXPECT_EQ(settings.values[std::string(setting_keys::kImagesFolderPerPage)], "1");
}

TEST_F(ImagesToolTest, ThumbnailsAreMadeForWhatIsOnScreenAndNeverFromABomb) {
  std::vector<CensusImage> census;
  const std::string bytes = Png(300, 200);
  for (int i = 0; i < 1000; ++i) {
    census.push_back(Picture("p" + std::to_string(i) + ".png", 300, 200, "image/png", 4000));
    page->heldBytes[census.back().url] = i == 1 ? PngBomb() : bytes;
  }
  ShowPage(census);
  tool->SetView(ImagesTool::View::Grid);
  PictureGrid& grid = tool->grid;
  ASSERT_TRUE(RunUntil([&] { return grid.ShowsThumbnail(0) && grid.ShowsThumbnail(2); }));
  Settle();
  EXPECT_FALSE(grid.ShowsThumbnail(1)) << "the bomb keeps its placeholder";
  EXPECT_FALSE(grid.ShowsThumbnail(999));
  const auto asked =
      std::count_if(page->calls.begin(), page->calls.end(),
                    [](const std::string& call) { return call.rfind("HeldBytes", 0) == 0; });
  EXPECT_LT(asked, 100) << "only what is on screen and the screen after it";
  EXPECT_GT(asked, 2);

  // Scrolled to the end, the last ones come; at most kKeptThumbnails are kept.
  const auto adjustment = grid.get_vadjustment();
  adjustment->set_value(adjustment->get_upper());
  ASSERT_TRUE(RunUntil([&] { return grid.ShowsThumbnail(999); }));
  EXPECT_LE(grid.KeptThumbnails(), PictureGrid::kKeptThumbnails);

  // What the decoder makes of bytes: fitted into the side, never enlarged, none for a bomb or
  // for what is no picture.
  const struct {
    std::string bytes;
    int width, height;  // 0: none
  } decoded[] = {{Png(1000, 800), 128, 102},
                 {Png(50, 20), 50, 20},
                 {PngBomb(), 0, 0},
                 {"GIF89a not really", 0, 0},
                 {"", 0, 0}};
  for (const auto& row : decoded) {
    const auto thumbnail = MakeThumbnail(row.bytes, PictureGrid::kThumbnailSide);
    EXPECT_EQ(thumbnail ? thumbnail->get_width() : 0, row.width);
    EXPECT_EQ(thumbnail ? thumbnail->get_height() : 0, row.height);
  }
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

// A link's address shows its picture selected alone in the grid, through a filter that hid it;
// an address of no picture changes nothing.
TEST_F(ImagesToolTest, ShowPictureSelectsThePictureAloneEvenThroughAFilter) {
  tool->txtContains.set_text("chart");
  tool->cboSize.set_active(static_cast<int>(ImagesTool::SizeChoice::Over100));
  ASSERT_TRUE(RunUntil([&] { return Shown() == std::vector<std::string>{"chart.svg"}; }));
  tool->grid.Toggle(0);
  const std::vector<std::string> all = {"photo.jpg", "icon.png",  "chart.svg",
                                        "pixel.gif", "=cmd.webp", "banner.png"};

  const struct {
    const char* link;
    bool found;
    std::vector<std::string> selected;
    std::vector<std::string> shown;  // what the grid shows after it
  } cases[] = {
      {"https://PICS.example:443/chart.svg", true, {"chart.svg"}, {"chart.svg"}},
      {"https://pics.example/nowhere.png", false, {"chart.svg"}, {"chart.svg"}},
      {"https://pics.example/photo.jpg", true, {"photo.jpg"}, all},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.link);
    reports.clear();
    EXPECT_EQ(tool->ShowPicture(c.link), c.found);
    Settle();  // the search entry reports its change late
    EXPECT_EQ(Shown(), c.shown);
    std::vector<std::string> selected;
    for (std::size_t entry : tool->grid.Selected()) {
      selected.push_back(tool->Entries()[entry].picture.name);
    }
    EXPECT_EQ(selected, c.selected);
    EXPECT_EQ(tool->CurrentView(), ImagesTool::View::Grid);
    if (!c.found) {
      ASSERT_EQ(reports.size(), 1u);
      EXPECT_NE(reports[0].find("nowhere.png"), std::string::npos) << reports[0];
    }
  }
  EXPECT_TRUE(tool->txtContains.get_text().empty());
  EXPECT_EQ(tool->cboSize.get_active_row_number(), 0);
}

}  // namespace
}  // namespace velmora
