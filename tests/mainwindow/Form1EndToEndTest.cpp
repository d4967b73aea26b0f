// The main window with the real WebKit panes against pages served on 127.0.0.1: a page goes
// through the whole road (pane 0 loads it, the analysis writes the views, panes 1 and 2 show
// them), the commands that move between the panes work on real pages, Save Images keeps the
// gallery's pictures, the find bar moves through the Source Code pane, and a key reaches the
// page before the window's shortcuts. Every wait has a watchdog: a lost web process means the
// awaited page never finishes.
#include <glibmm/main.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/modIdentity.h"
#include "hosted/SkinControl.h"
#include "hosted/WebKitBrowserControl.h"
#include "mainwindow/Form1.h"
#include "skin/modSkin.h"
#include "tests/hosted/WindowTest.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/MemorySettings.h"
#include "tests/support/Pictures.h"
#include "tests/support/PressKey.h"
#include "tests/support/TempFolder.h"

namespace velmora {
namespace {

using testing::PressKey;

using testing::EvaluateInPage;
using testing::LoopbackServer;
using testing::ReadFile;
using testing::RunUntil;

// A 1 x 1 PNG.
const std::string kPng(
    "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x01\0\0\0\x01\x08\x06\0\0\0\x1f\x15\xc4\x89\0\0\0\r"
    "IDATx\x9c"
    "c\xf8\xcf\xc0\xf0\x1f\0\x05\0\x01\xff\x89\x99=\x1d\0\0\0\0IEND\xae"
    "B`\x82",
    70);

constexpr const char* kPage =
    "<!DOCTYPE html><html><head><title>Harbour</title></head><body>\n"
    "<p>Boats <img src=\"pics/boat.png\" alt=\"boat\"></p>\n"
    "<a href=\"pics/big.png\"><img src=\"pics/thumb.png\"></a>\n"
    // The gallery shows the lazy image, which only the Images pane ever asks for.
    "<img data-src=\"/pics/lazy.png\" src=\"pics/placeholder.png\">\n"
    "<img src=\"pics/gone.png\">\n"
    "<img src=\"data:image/png;base64,iVBORw0KGgo=\">\n"
    "</body></html>\n";

// Save Images' folder dialog answers with a folder of the test's.
class FolderDialog : public OpenFileDialog {
 public:
  std::optional<std::string> ShowOpen(Gtk::Window&) override { return std::nullopt; }
  std::optional<std::filesystem::path> ShowSaveFolder(
      Gtk::Window&, const std::filesystem::path& folder) override {
    proposed = folder;
    return answer;
  }
  std::optional<std::filesystem::path> ShowSaveFile(Gtk::Window&, const std::string&,
                                                    const std::filesystem::path&) override {
    return fileAnswer;
  }
  std::filesystem::path proposed;
  std::filesystem::path answer;
  std::optional<std::filesystem::path> fileAnswer;
};

std::vector<std::string> FilesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Where the find bar's match is: the length of the pane's text before the selection.
constexpr const char* kSelectionOffset =
    "(() => { const s = getSelection(); if (!s.rangeCount) return -1;"
    " const r = s.getRangeAt(0); const before = document.createRange();"
    " before.selectNodeContents(document.body); before.setEnd(r.startContainer, r.startOffset);"
    " return before.toString().length; })()";

class Form1EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::DisplayAvailable()) GTEST_SKIP() << "no display";
    LoadIdentity();
    server_.Serve("/page.html", "text/html; charset=utf-8", kPage);
    for (const char* picture : {"/pics/boat.png", "/pics/big.png", "/pics/thumb.png",
                                "/pics/lazy.png", "/pics/placeholder.png"}) {
      server_.Serve(picture, "image/png", kPng);
    }

    Form1Parts parts;
    auto pane0 = std::make_unique<WebKitBrowserControl>(testing::SharedEngine());
    auto pane1 = std::make_unique<WebKitBrowserControl>(testing::SharedEngine(), pane0.get());
    auto pane2 = std::make_unique<WebKitBrowserControl>(testing::SharedEngine(), pane0.get());
    panes_ = {pane0.get(), pane1.get(), pane2.get()};
    parts.panes = {std::move(pane0), std::move(pane1), std::move(pane2)};
    parts.workFiles = WorkFiles(testing::SandboxFolder());
    auto dialog = std::make_unique<FolderDialog>();
    dialog_ = dialog.get();
    parts.fileDialog = std::move(dialog);
    parts.downloadFolder = downloads_.path();
    parts.seams = &settings_;
    form_ = std::make_unique<Form1>(std::move(parts));
    for (int i = 0; i < 3; ++i) {
      panes_[i]->DownloadComplete.connect([this, i](const SharedSnapshot&) { ++finished_[i]; });
    }
    form_->Form_Load();
    form_->show();
    // The start page, then its two views.
    ASSERT_TRUE(RunUntil([this] { return finished_[0] >= 1 && finished_[2] >= 1; },
                         "the start page and its gallery"));
  }

  void TearDown() override {
    if (form_) form_->hide();
    form_.reset();
  }

  // Waits until pane `i` has finished `count` more pages.
  bool WaitForPane(int i, int more, std::string_view what) {
    const int target = finished_[i] + more;
    return RunUntil([this, i, target] { return finished_[i] >= target; }, what);
  }

  std::string Folder() const { return testing::SandboxFolder().string(); }

  // Opens the sample page and waits for its two views.
  void OpenPage() {
    form_->txtUrl.set_text(server_.Url("/page.html"));
    const int sources = finished_[1];
    const int galleries = finished_[2];
    form_->cmdGo_Click();
    ASSERT_TRUE(RunUntil(
        [&] {
          return panes_[0]->LocationURL() == server_.Url("/page.html") && finished_[1] > sources &&
                 finished_[2] > galleries;
        },
        "the page and its views"));
  }

  LoopbackServer server_;
  testing::TempFolder downloads_;
  testing::MemorySettings settings_;  // the window's choices, kept for the run
  FolderDialog* dialog_ = nullptr;
  std::unique_ptr<Form1> form_;
  std::array<WebKitBrowserControl*, 3> panes_{};
  std::array<int, 3> finished_{};
};

TEST_F(Form1EndToEnd, APageGoesTheWholeRoad) {
  const std::string gallery = Folder() + "/imagepage.html";
  form_->txtUrl.set_text(server_.Url("/page.html"));
  const int galleries = finished_[2];
  form_->cmdGo_Click();
  ASSERT_TRUE(RunUntil(
      [&] {
        return panes_[0]->LocationURL() == server_.Url("/page.html") && finished_[2] > galleries &&
               finished_[1] > 0;
      },
      "the page and its views"));

  // The views on disk and in their panes.
  const std::string galleryText = ReadFile(gallery);
  EXPECT_NE(galleryText.find(server_.Url("/pics/lazy.png")), std::string::npos) << galleryText;
  EXPECT_NE(galleryText.find(server_.Url("/pics/boat.png")), std::string::npos);
  EXPECT_NE(ReadFile(Folder() + "/source.htm").find(">big.png</a>"), std::string::npos);
  EXPECT_EQ(panes_[2]->LocationURL(), "file://" + gallery);
  EXPECT_NE(panes_[2]->Page()->bodyHtml.find(server_.Url("/pics/lazy.png")), std::string::npos)
      << "pane 2 shows the gallery (the web process may read the work folder)";
  EXPECT_NE(panes_[1]->Page()->bodyHtml.find("&lt;img"), std::string::npos)
      << "pane 1 shows the escaped source";
  EXPECT_EQ(form_->get_title(), strProductName + " by " + strCompanyName + " - Harbour");
  EXPECT_TRUE(RunUntil([&] { return server_.RequestCount("/pics/lazy.png") > 0; },
                       "the gallery's picture to load"));

  // Follow the gallery's link to the lazy image inside pane 2, then Back returns to the gallery.
  form_->SelectTab(2);
  int clicked = finished_[2];
  webkit_web_view_evaluate_javascript(panes_[2]->View(),
                                      "document.querySelector('a[href$=\"lazy.png\"]').click()", -1,
                                      nullptr, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(RunUntil(
      [&] {
        return finished_[2] > clicked && panes_[2]->LocationURL() == server_.Url("/pics/lazy.png");
      },
      "the followed image link"));
  const std::string addressBefore = form_->txtUrl.get_text();
  int before = finished_[2];
  form_->cmbBack_Click();
  ASSERT_TRUE(RunUntil(
      [&] { return finished_[2] > before && panes_[2]->LocationURL() == "file://" + gallery; },
      "Back to the gallery"));
  EXPECT_EQ(form_->txtUrl.get_text(), addressBefore) << "only pane 0 sets the address box";

  // Forward again, and Send to Browser carries the image to pane 0.
  before = finished_[2];
  form_->cmdForward_Click();
  ASSERT_TRUE(RunUntil(
      [&] {
        return finished_[2] > before && panes_[2]->LocationURL() == server_.Url("/pics/lazy.png");
      },
      "Forward to the image"));
  form_->Command1_Click();
  EXPECT_EQ(form_->txtUrl.get_text(), server_.Url("/pics/lazy.png"));
  EXPECT_EQ(form_->TabStrip1.get_current_page(), 0);
  ASSERT_TRUE(RunUntil([&] { return panes_[0]->LocationURL() == server_.Url("/pics/lazy.png"); },
                       "the image in pane 0"));
}

TEST_F(Form1EndToEnd, ABadAddressShowsTheEnginesErrorPage) {
  form_->txtUrl.set_text("http://127.0.0.1:1/nothing-listens-here");
  form_->cmdGo_Click();
  ASSERT_TRUE(WaitForPane(0, 1, "the failed load"));
  ASSERT_TRUE(WaitForPane(2, 1, "the views of the error page"));
  EXPECT_TRUE(form_->get_visible());
  // The window still works afterwards.
  form_->txtUrl.set_text(server_.Url("/page.html"));
  form_->cmdGo_Click();
  ASSERT_TRUE(RunUntil([&] { return panes_[0]->LocationURL() == server_.Url("/page.html"); },
                       "a good page after the bad one"));
}

TEST_F(Form1EndToEnd, SaveImagesKeepsTheGallerysPicturesAndReportsFailures) {
  OpenPage();
  const std::filesystem::path into = downloads_.path() / "harbour";
  dialog_->answer = into;
  form_->mnuFileItem_Click(2);
  EXPECT_EQ(dialog_->proposed, downloads_.path() / "127.0.0.1");
  SaveImagesWindow* window = form_->saveImagesWindow();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(RunUntil([&] { return !window->Running(); }, "Save Images"));

  // The gallery's pictures: pair 1 and the census (the lazy picture instead of its
  // placeholder), not the linked big.png.
  EXPECT_EQ(FilesIn(into),
            (std::vector<std::string>{"boat.png", "image.png", "lazy.png", "thumb.png"}));
  EXPECT_EQ(ReadFile(into / "lazy.png"), kPng);
  EXPECT_EQ(ReadFile(into / "image.png"), "\x89PNG\r\n\x1a\n");
  ASSERT_EQ(window->Failures().size(), 1u);
  EXPECT_NE(window->Failures()[0].find("gone.png: the server answered 404"), std::string::npos)
      << window->Failures()[0];
  EXPECT_EQ(window->Summary(), "Saved 4 of 5 images in " + into.string() + "; 1 failed");
  EXPECT_EQ(form_->sb1.PanelText(1), window->Summary());
}

TEST_F(Form1EndToEnd, TheFindBarMovesThroughTheSourceCodePane) {
  OpenPage();
  form_->SelectTab(1);
  ASSERT_TRUE(form_->HandleShortcut(GDK_KEY_f, GDK_CONTROL_MASK));
  ASSERT_TRUE(form_->findBar.get_visible());
  form_->findBar.txtFind.set_text("PNG");  // found in any case
  const std::string matches = EvaluateInPage(
      panes_[1]->View(), "document.body.innerText.toLowerCase().split('png').length - 1");
  ASSERT_GT(std::stoi(matches), 2);
  ASSERT_TRUE(
      RunUntil([&] { return form_->findBar.lblFindCount.get_text() == matches + " matches"; },
               "the match count"))
      << form_->findBar.lblFindCount.get_text();

  const auto offset = [&] { return EvaluateInPage(panes_[1]->View(), kSelectionOffset); };
  const auto moveAndWait = [&](guint modifiers) {
    const std::string before = offset();
    form_->HandleShortcut(GDK_KEY_F3, modifiers);
    RunUntil([&] { return offset() != before; }, "the next match");
    return std::stoi(offset());
  };
  ASSERT_TRUE(RunUntil([&] { return offset() != "-1"; }, "the first match"));
  const int first = std::stoi(offset());
  const int second = moveAndWait(0);
  EXPECT_GT(second, first);
  EXPECT_EQ(moveAndWait(GDK_SHIFT_MASK), first);
  // Backwards from the first match wraps to the last.
  EXPECT_GT(moveAndWait(GDK_SHIFT_MASK), second);

  // Escape in the find bar closes it and clears the marks.
  PressKey(*form_, GDK_KEY_Escape, 0);
  EXPECT_TRUE(RunUntil([&] { return !form_->findBar.get_visible(); }, "the find bar to close"));
}

TEST_F(Form1EndToEnd, AKeyReachesThePageBeforeTheWindowsShortcuts) {
  server_.Serve("/keys.html", "text/html; charset=utf-8",
                "<!DOCTYPE html><title>keys</title><input id=i autofocus><script>"
                "document.addEventListener('keydown', e => {"
                "  if (e.ctrlKey && e.key === '2') { e.preventDefault(); document.title = 'took'; }"
                "});</script>");
  form_->txtUrl.set_text(server_.Url("/keys.html"));
  form_->cmdGo_Click();
  ASSERT_TRUE(RunUntil([&] { return panes_[0]->LocationName() == "keys"; }, "the page"));
  panes_[0]->Widget().grab_focus();

  PressKey(*form_, GDK_KEY_2, GDK_CONTROL_MASK);
  ASSERT_TRUE(RunUntil([&] { return panes_[0]->LocationName() == "took"; }, "the page's key"));
  EXPECT_EQ(form_->TabStrip1.get_current_page(), 0) << "the page took Ctrl+2";
  // A key the page leaves alone is the window's shortcut, also from the page's text field.
  PressKey(*form_, GDK_KEY_3, GDK_CONTROL_MASK);
  EXPECT_TRUE(RunUntil([&] { return form_->TabStrip1.get_current_page() == 2; }, "Ctrl+3"));
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

// A picture a script adds after the load joins the gallery without a reload of the page, and
// the Images pane keeps its place when it shows the gallery again.
TEST_F(Form1EndToEnd, APictureThatComesLaterJoinsTheGalleryWhereTheUserIs) {
  std::string page = "<!DOCTYPE html><html><body>";
  // A gallery taller than the pane: forty pictures of their own names.
  for (int i = 0; i < 40; ++i) {
    const std::string name = "/pics/boat" + std::to_string(i) + ".png";
    server_.Serve(name, "image/png", kPng);
    page += "<p><img src=\"" + name + "\"></p>";
  }
  page +=
      "<script>setTimeout(function () { var i = new Image(); i.src = '/pics/late.png';"
      " document.body.appendChild(i); }, 1500);</script></body></html>";
  server_.Serve("/later.html", "text/html; charset=utf-8", page);
  server_.Serve("/pics/late.png", "image/png", kPng);
  form_->txtUrl.set_text(server_.Url("/later.html"));
  const int galleries = finished_[2];
  form_->cmdGo_Click();
  ASSERT_TRUE(WaitForPane(2, 1, "the first gallery of the page"));
  const std::filesystem::path gallery = testing::SandboxFolder() / "imagepage.html";
  EXPECT_EQ(ReadFile(gallery).find("late.png"), std::string::npos);
  WebKitBrowserControl* pane2 = panes_[2];
  form_->SelectTab(2);
  ASSERT_EQ(testing::EvaluateInPage(pane2->View(), "window.scrollTo(0, 200); window.scrollY"),
            "200");
  ASSERT_TRUE(RunUntil([&] { return ReadFile(gallery).find("late.png") != std::string::npos; },
                       "the late picture in the gallery"));
  ASSERT_TRUE(RunUntil([&] { return finished_[2] > galleries + 1; }, "the gallery shown again"));
  EXPECT_EQ(testing::EvaluateInPage(pane2->View(), "window.scrollY"), "200");
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

// A page of pictures of known sizes and types, in page order.
struct ServedPicture {
  const char* path;
  int width, height;
  guint32 rgba;
  const char* type;
};
constexpr ServedPicture kPictures[] = {
    {"/pics/a.png", 640, 480, 0x2f6f9fff, "png"},  {"/pics/b.png", 120, 90, 0x9f2f2fff, "png"},
    {"/pics/c.png", 500, 500, 0x3f9f3fff, "png"},  {"/pics/pixel.png", 1, 1, 0xffffffff, "png"},
    {"/pics/e.jpg", 800, 600, 0xcf9f2fff, "jpeg"}, {"/pics/f.png", 50, 50, 0x7f3f9fff, "png"},
    {"/pics/g.jpg", 400, 300, 0x2f9f9fff, "jpeg"},
};

// Clicks the first button in `view` at a point of the widget, as GDK delivers a click.
void ClickAt(Gtk::Widget& view, int x, int y, guint modifiers) {
  GdkDevice* pointer =
      gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default()));
  for (GdkEventType type : {GDK_BUTTON_PRESS, GDK_BUTTON_RELEASE}) {
    GdkEvent* event = gdk_event_new(type);
    event->button.window = GDK_WINDOW(g_object_ref(view.get_window()->gobj()));
    event->button.time = GDK_CURRENT_TIME;
    event->button.x = x;
    event->button.y = y;
    event->button.state = modifiers;
    event->button.button = 1;
    gdk_event_set_device(event, pointer);
    gtk_main_do_event(event);
    gdk_event_free(event);
  }
}

class ImagesToolEndToEnd : public Form1EndToEnd {
 protected:
  void OpenPictures() {
    std::string page = "<!DOCTYPE html><html><head><title>Harbour pictures</title></head><body>";
    for (const ServedPicture& picture : kPictures) {
      bytes_[picture.path] =
          testing::FilledPicture(picture.width, picture.height, picture.rgba, picture.type);
      server_.Serve(picture.path, std::string("image/") + picture.type, bytes_[picture.path]);
      page += std::string("<img src=\"") + picture.path + "\">";
    }
    server_.Serve("/pictures.html", "text/html; charset=utf-8", page + "</body></html>");
    form_->txtUrl.set_text(server_.Url("/pictures.html"));
    const int galleries = finished_[2];
    form_->cmdGo_Click();
    ASSERT_TRUE(RunUntil(
        [&] {
          return panes_[0]->LocationURL() == server_.Url("/pictures.html") &&
                 finished_[2] > galleries;
        },
        "the page of pictures"));
    form_->SelectTab(2);
  }

  // The names of the pictures the grid shows, in order.
  std::vector<std::string> GridNames() {
    ImagesTool& tool = form_->imagesTool();
    std::vector<std::string> names;
    for (std::size_t i = 0; i < tool.grid.ShownCount(); ++i) {
      names.push_back(tool.Entries()[tool.grid.EntryAt(i)].picture.name);
    }
    return names;
  }

  // Clicks the picture at a shown position of the grid.
  void ClickPicture(std::size_t position, guint modifiers) {
    Gtk::IconView& icons = form_->imagesTool().grid.icons;
    Gtk::TreeModel::Path path;
    path.push_back(static_cast<int>(position));
    ASSERT_TRUE(RunUntil([&] { return form_->imagesTool().grid.LaidOut(); }, "the grid's layout"));
    Gdk::Rectangle cell;
    ASSERT_TRUE(icons.get_cell_rect(path, cell));
    ClickAt(icons, cell.get_x() + cell.get_width() / 2, cell.get_y() + cell.get_height() / 2,
            modifiers);
  }

  std::map<std::string, std::string> bytes_;
};

TEST_F(ImagesToolEndToEnd, FilterAndSortChangeWhatTheGridShows) {
  OpenPictures();
  ImagesTool& tool = form_->imagesTool();
  EXPECT_TRUE(tool.toolbar.get_visible());
  EXPECT_EQ(tool.CurrentView(), ImagesTool::View::List) << "a new page shows the designed list";
  EXPECT_TRUE(panes_[2]->Visible());
  EXPECT_EQ(tool.lblCount.get_text(), "7 pictures \u00b7 7 shown \u00b7 0 selected");

  tool.cboSize.set_active(static_cast<int>(ImagesTool::SizeChoice::Over400));
  EXPECT_EQ(tool.CurrentView(), ImagesTool::View::Grid) << "a filter in use shows the grid";
  EXPECT_TRUE(tool.grid.get_visible());
  EXPECT_FALSE(panes_[2]->Visible());
  EXPECT_EQ(GridNames(), (std::vector<std::string>{"a.png", "c.png", "e.jpg"}));
  tool.cboSort.set_active(1);  // largest first
  EXPECT_EQ(GridNames(), (std::vector<std::string>{"e.jpg", "a.png", "c.png"}));
  // The bytes' count comes with the engine's record, once it has looked at them.
  EXPECT_TRUE(RunUntil([&] { return tool.grid.CaptionAt(0).find(" KB") != std::string::npos; },
                       "the bytes of e.jpg"));
  EXPECT_EQ(tool.grid.CaptionAt(0).rfind("800 \u00d7 600 \u00b7 JPEG \u00b7 ", 0), 0u)
      << tool.grid.CaptionAt(0);
  EXPECT_EQ(tool.grid.TooltipAt(0), server_.Url("/pics/e.jpg"));
  tool.chkType[static_cast<std::size_t>(PictureType::Png)].set_active(true);
  EXPECT_EQ(GridNames(), (std::vector<std::string>{"a.png", "c.png"}));
  EXPECT_EQ(tool.lblCount.get_text(), "7 pictures \u00b7 2 shown \u00b7 0 selected");
  tool.cboSize.set_active(0);
  tool.chkHideTracking.set_active(true);
  EXPECT_EQ(GridNames(), (std::vector<std::string>{"a.png", "c.png", "b.png", "f.png"}));

  // The thumbnails come from the engine's bytes; then a look at the grid.
  ASSERT_TRUE(RunUntil(
      [&] {
        for (std::size_t i = 0; i < tool.grid.ShownCount(); ++i) {
          if (!tool.grid.ShowsThumbnail(i)) return false;
        }
        return true;
      },
      "the thumbnails"));
  tool.chkType[static_cast<std::size_t>(PictureType::Png)].set_active(false);
  tool.txtContains.set_text("");
  if (const char* shot = std::getenv("VELMORA_SCREENSHOT")) {
    // The window as the program shows it: in its skin.
    SkinControl skin(testing::AssetsFolder() / "skin" / "web-deep-red.css");
    ApplySkin(*form_, skin);
    ASSERT_TRUE(RunUntil([&] { return tool.grid.ShownCount() == 6 && tool.grid.ShowsThumbnail(5); },
                         "all thumbnails"));
    ClickPicture(0, 0);
    ClickPicture(2, 0);
    // A moment to draw.
    bool drawn = false;
    Glib::signal_timeout().connect_once([&] { drawn = true; }, 500);
    RunUntil([&] { return drawn; }, "a moment");
    const auto window = form_->get_window();
    Gdk::Pixbuf::create(window, 0, 0, window->get_width(), window->get_height())->save(shot, "png");
  }
}

TEST_F(ImagesToolEndToEnd, ThreeSelectedPicturesAreSavedUnderThePatternFromTheEnginesBytes) {
  OpenPictures();
  ImagesTool& tool = form_->imagesTool();
  tool.SetView(ImagesTool::View::Grid);
  // A click toggles a.png; the arrows move to c.png without selecting b.png; Space toggles it;
  // a click on e.jpg adds it. (The tracking pixel, known only to the engine's record, comes
  // last.)
  ASSERT_EQ(GridNames(), (std::vector<std::string>{"a.png", "b.png", "c.png", "e.jpg", "f.png",
                                                   "g.jpg", "pixel.png"}));
  ClickPicture(0, 0);
  PressKey(*form_, GDK_KEY_Right, 0);
  PressKey(*form_, GDK_KEY_Right, 0);
  PressKey(*form_, GDK_KEY_space, 0);
  ClickPicture(3, 0);
  EXPECT_EQ(tool.lblCount.get_text(), "7 pictures \u00b7 7 shown \u00b7 3 selected");
  std::map<std::string, int> requests;
  for (const ServedPicture& picture : kPictures) {
    requests[picture.path] = server_.RequestCount(picture.path);
  }

  tool.cmdSave.clicked();
  SavePicturesDialog* dialog = tool.saveDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->chkFolderPerPage.get_active());
  EXPECT_EQ(dialog->TargetFolder(), downloads_.path() / "127.0.0.1" / "Harbour pictures");
  dialog->txtPattern.set_text("{n}-{name}");
  EXPECT_EQ(dialog->Names(), (std::vector<std::string>{"1-a.png", "2-c.png", "3-e.jpg"}));
  dialog->cmdSave.clicked();
  SaveImagesWindow* window = form_->saveImagesWindow();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(RunUntil([&] { return !window->Running(); }, "the save"));
  const std::filesystem::path folder = downloads_.path() / "127.0.0.1" / "Harbour pictures";
  EXPECT_EQ(FilesIn(folder), (std::vector<std::string>{"1-a.png", "2-c.png", "3-e.jpg"}))
      << window->Summary();
  EXPECT_EQ(ReadFile(folder / "1-a.png"), bytes_["/pics/a.png"]);
  EXPECT_EQ(ReadFile(folder / "2-c.png"), bytes_["/pics/c.png"]);
  EXPECT_EQ(ReadFile(folder / "3-e.jpg"), bytes_["/pics/e.jpg"]);
  for (const ServedPicture& picture : kPictures) {
    EXPECT_EQ(server_.RequestCount(picture.path), requests[picture.path])
        << picture.path << " was asked for again";
  }

  // Saved again: the names are taken, so the new files are numbered; the choices were kept.
  tool.cmdSave.clicked();
  EXPECT_EQ(tool.saveDialog()->txtPattern.get_text(), "{n}-{name}");
  tool.saveDialog()->cmdSave.clicked();
  ASSERT_TRUE(RunUntil([&] { return !form_->saveImagesWindow()->Running(); }, "the second save"));
  EXPECT_EQ(FilesIn(folder), (std::vector<std::string>{"1-a (1).png", "1-a.png", "2-c (1).png",
                                                       "2-c.png", "3-e (1).jpg", "3-e.jpg"}));

  // Enter opens the picture at the cursor (e.jpg, clicked last) in the Browser tab.
  tool.grid.icons.grab_focus();
  PressKey(*form_, GDK_KEY_Return, 0);
  EXPECT_EQ(form_->TabStrip1.get_current_page(), 0);
  EXPECT_TRUE(RunUntil([&] { return panes_[0]->LocationURL() == server_.Url("/pics/e.jpg"); },
                       "the picture in pane 0"));
}

}  // namespace
}  // namespace velmora
