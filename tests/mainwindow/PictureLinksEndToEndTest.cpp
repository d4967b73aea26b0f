// The Source Code tab and the Images tab linked both ways, in the main window with real WebKit
// panes against a page of pictures served on 127.0.0.1: a Ctrl+click (or a middle click) on a
// picture name in the source selects that picture in the Images tab's grid while a plain click
// follows the link as before, and "Show in Source Code" on a picture goes to the first line that
// names it, marked, in the default view (the engine's find) and in the generated views (the
// line's anchor). Each outcome is photographed for the record.
#include <gdkmm/pixbuf.h>
#include <glibmm/main.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "common/modIdentity.h"
#include "hosted/WebKitBrowserControl.h"
#include "mainwindow/Form1.h"
#include "tests/hosted/WindowTest.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/Pictures.h"
#include "tests/support/RealPanes.h"
#include "tests/support/TempFolder.h"

namespace velmora {
namespace {

using testing::EvaluateInPage;
using testing::LoopbackServer;
using testing::Photograph;
using testing::RunUntil;

constexpr int kPictures = 40;

std::string PictureName(int n) {
  return std::string("p") + (n < 10 ? "0" : "") + std::to_string(n) + ".png";
}

// One picture a line, after a line of text: in the body's markup picture n is on line n + 3
// ("<body>", the paragraph, then the pictures); the served text has one line more before the
// body. The page's icon is named in its head only.
std::string PageOfPictures() {
  std::string page =
      "<!DOCTYPE html>\n<html><head><title>Harbour</title>"
      "<link rel=\"icon\" href=\"/pics/harbour-icon.png\"></head><body>\n"
      "<p>Pictures of the harbour; p20.png is the lighthouse.</p>\n";
  for (int n = 0; n < kPictures; ++n) {
    page += "<img src=\"/pics/" + PictureName(n) + "\" width=\"90\" height=\"60\">\n";
  }
  return page + "</body></html>\n";
}

// True when the middle of the widget (clear of frames and scroll bars) shows one colour only on
// the photograph of its window: nothing is drawn there.
bool Blank(const Glib::RefPtr<Gdk::Pixbuf>& photo, Gtk::Widget& widget) {
  int left = 0;
  int top = 0;
  widget.translate_coordinates(*widget.get_toplevel(), 0, 0, left, top);
  const int width = widget.get_allocated_width();
  const int height = widget.get_allocated_height();
  const guint8* pixels = photo->get_pixels();
  const int stride = photo->get_rowstride();
  const int channels = photo->get_n_channels();
  const guint8* first = pixels + (top + height / 4) * stride + (left + width / 4) * channels;
  for (int y = top + height / 4; y < std::min(top + height * 3 / 4, photo->get_height()); ++y) {
    for (int x = left + width / 4; x < std::min(left + width * 3 / 4, photo->get_width()); ++x) {
      if (std::memcmp(pixels + y * stride + x * channels, first, 3) != 0) return false;
    }
  }
  return true;
}

// Clicks `button` in the view at a point of its own, with `modifiers`, as GDK delivers a click
// from the X server.
void ClickAt(Gtk::Widget& view, int x, int y, guint button, guint modifiers) {
  GdkDevice* pointer =
      gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default()));
  // A view with a window of its own takes points of its own; else of its parent's window.
  const auto allocation = view.get_allocation();
  const int left = view.get_has_window() ? 0 : allocation.get_x();
  const int top = view.get_has_window() ? 0 : allocation.get_y();
  const guint held = button == GDK_BUTTON_MIDDLE ? GDK_BUTTON2_MASK : GDK_BUTTON1_MASK;
  for (GdkEventType type : {GDK_BUTTON_PRESS, GDK_BUTTON_RELEASE}) {
    GdkEvent* event = gdk_event_new(type);
    event->button.window = GDK_WINDOW(g_object_ref(view.get_window()->gobj()));
    event->button.send_event = FALSE;
    event->button.time = GDK_CURRENT_TIME;
    event->button.x = left + x;
    event->button.y = top + y;
    event->button.button = button;
    event->button.state = modifiers | (type == GDK_BUTTON_RELEASE ? held : 0);
    gdk_event_set_device(event, pointer);
    gtk_main_do_event(event);
    gdk_event_free(event);
  }
}

class PictureLinksEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::DisplayAvailable()) GTEST_SKIP() << "no display";
    LoadIdentity();
    for (int n = 0; n < kPictures; ++n) {
      server_.Serve("/pics/" + PictureName(n), "image/png",
                    testing::FilledPicture(90, 60, 0x204060ffu + (n << 16), "png"));
    }
    server_.Serve("/pics/harbour-icon.png", "image/png",
                  testing::FilledPicture(16, 16, 0xc03030ff, "png"));
    server_.Serve("/harbour.html", "text/html; charset=utf-8", PageOfPictures());

    Form1Parts parts;
    testing::AddRealPanes(parts, panes_, PageScripts::kOff);
    form_ = testing::ShowMainWindow(std::move(parts), panes_, finished_);
    ASSERT_TRUE(
        RunUntil([this] { return finished_[0] >= 1 && finished_[1] >= 1 && finished_[2] >= 1; },
                 "the start page and its views"));
    form_->txtUrl.set_text(server_.Url("/harbour.html"));
    const int sources = finished_[1];
    form_->cmdGo_Click();
    ASSERT_TRUE(RunUntil(
        [&] {
          return panes_[0]->LocationURL() == server_.Url("/harbour.html") &&
                 finished_[1] > sources && panes_[1]->LocationURL() == SourceUri("source.htm");
        },
        "the page of pictures and its source"));
  }

  void TearDown() override {
    if (form_) form_->hide();
    form_.reset();
  }

  static std::string SourceUri(const char* file) {
    return "file://" + (testing::SandboxFolder() / file).string();
  }

  // The entry of the Images tool whose picture has this name.
  std::optional<std::size_t> EntryNamed(const std::string& name) {
    const auto& entries = form_->imagesTool().Entries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (entries[i].picture.name == name) return i;
    }
    return std::nullopt;
  }

  static void Pause(unsigned milliseconds) {
    bool later = false;
    Glib::signal_timeout().connect_once([&later] { later = true; }, milliseconds);
    RunUntil([&later] { return later; }, "a pause");
  }

  // Asks the page in the source pane until its answer is `wanted` (a page cannot be asked from
  // inside a wait); the last answer.
  std::string AskUntil(const std::string& script, const std::string& wanted, const char* what) {
    std::string answer;
    for (int tries = 0; tries < 100; ++tries) {
      answer = EvaluateInPage(panes_[1]->View(), script);
      if (answer == wanted) return answer;
      Pause(100);
    }
    ADD_FAILURE() << "waited for " << what << ": " << answer;
    return answer;
  }

  // What the source pane's selection holds, which of the links with that text holds it (-1:
  // none), and " seen" when it is in view.
  static constexpr const char* kSelection =
      "(() => { const s = getSelection(); const a = s.anchorNode &&"
      " s.anchorNode.parentElement && s.anchorNode.parentElement.closest('a');"
      " const r = s.rangeCount ? s.getRangeAt(0).getBoundingClientRect() : null;"
      " const seen = r && r.top >= 0 && r.bottom <= innerHeight;"
      " return s.toString() + ' link ' + [...document.links].filter("
      "l => l.textContent == s.toString()).indexOf(a) + (seen ? ' seen' : '');"
      " })()";

  LoopbackServer server_;
  std::unique_ptr<Form1> form_;
  std::array<WebKitBrowserControl*, 3> panes_{};
  std::array<int, 3> finished_{};
};

TEST_F(PictureLinksEndToEnd, ACtrlClickOnAPictureNameSelectsItInTheImagesTab) {
  ImagesTool& images = form_->imagesTool();
  const struct {
    const char* name;
    guint button;
    guint modifiers;
    bool aside;  // to the Images tab; else the link is followed in the source pane
  } clicks[] = {
      {"p37.png", GDK_BUTTON_PRIMARY, GDK_CONTROL_MASK, true},
      {"p03.png", GDK_BUTTON_MIDDLE, 0, true},
      {"p12.png", GDK_BUTTON_PRIMARY, 0, false},
  };
  for (const auto& click : clicks) {
    SCOPED_TRACE(click.name);
    form_->SelectTab(1);
    const std::optional<std::size_t> entry = EntryNamed(click.name);
    ASSERT_TRUE(entry);
    // The pane placed below the tab's toolbar, its page laid out for that size.
    Pause(300);
    AskUntil("String(innerHeight)", std::to_string(panes_[1]->Widget().get_allocated_height()),
             "the source pane's final size");
    // The link's centre, scrolled into view: where the user clicks.
    const std::string at = EvaluateInPage(
        panes_[1]->View(),
        std::string("(() => { const a = [...document.links].find(l => l.textContent == '") +
            click.name +
            "'); a.scrollIntoView({block: 'center'}); const r = a.getBoundingClientRect();"
            " return Math.round(r.left + r.width / 2) + ' ' + Math.round(r.top + r.height / 2);"
            " })()");
    int x = 0;
    int y = 0;
    ASSERT_EQ(std::sscanf(at.c_str(), "%d %d", &x, &y), 2) << at;
    ClickAt(panes_[1]->Widget(), x, y, click.button, click.modifiers);

    if (!click.aside) {
      ASSERT_TRUE(
          RunUntil([&] { return panes_[1]->LocationURL() == server_.Url("/pics/") + click.name; },
                   "the plain click to follow the link"));
      EXPECT_EQ(form_->TabStrip1.get_current_page(), 1);
      continue;
    }
    ASSERT_TRUE(RunUntil(
        [&] {
          return form_->TabStrip1.get_current_page() == 2 &&
                 images.grid.Selected() == std::vector<std::size_t>{*entry};
        },
        "the picture selected in the Images tab"));
    EXPECT_EQ(images.CurrentView(), ImagesTool::View::Grid);
    // The grid shown, the picture in view with the cursor on it: the grid scrolls once it has
    // placed the pictures.
    ASSERT_TRUE(RunUntil(
        [&] {
          Gtk::TreeModel::Path first;
          Gtk::TreeModel::Path last;
          if (!images.grid.get_visible() || !images.grid.LaidOut() ||
              !images.grid.icons.get_visible_range(first, last)) {
            return false;
          }
          const int position = static_cast<int>(*images.grid.PositionOf(*entry));
          return first[0] <= position && position <= last[0] &&
                 images.grid.Cursor() == images.grid.PositionOf(*entry);
        },
        "the selected picture in view"));
    EXPECT_EQ(panes_[1]->LocationURL(), SourceUri("source.htm")) << "the source pane stays";
    const auto photo =
        Photograph(*form_, click.button == GDK_BUTTON_PRIMARY ? "velmora-ctrl-click-picture.png"
                                                              : "velmora-middle-click-picture.png");
    ASSERT_TRUE(photo);
    EXPECT_FALSE(Blank(photo, images.grid)) << "the grid draws its pictures";
  }

  // A link to something the Images tab does not hold changes nothing and says so.
  form_->SelectTab(1);
  const auto selected = images.grid.Selected();
  panes_[1]->LinkOpenedAside.emit(server_.Url("/pics/not-on-the-page.png"));
  EXPECT_EQ(form_->TabStrip1.get_current_page(), 1);
  EXPECT_EQ(images.grid.Selected(), selected);
  EXPECT_NE(form_->sb1.PanelText(1).find("not-on-the-page.png"), std::string::npos);
}

TEST_F(PictureLinksEndToEnd, ShowInSourceCodeGoesToTheFirstLineThatNamesThePicture) {
  ImagesTool& images = form_->imagesTool();
  const std::optional<std::size_t> lighthouse = EntryNamed("p20.png");
  ASSERT_TRUE(lighthouse);

  // The default view has no line anchors: the engine's find selects the first place that names
  // the picture (the paragraph's mention), the second time as the first.
  for (int time = 0; time < 2; ++time) {
    form_->SelectTab(2);
    images.ShowInSource(*lighthouse);
    EXPECT_EQ(form_->TabStrip1.get_current_page(), 1);
    EXPECT_EQ(AskUntil(kSelection, "p20.png link 0 seen", "the first p20.png selected"),
              "p20.png link 0 seen")
        << "time " << time;
  }
  Photograph(*form_, "velmora-show-in-source-default.png");

  // The generated views: the address names the line, whose style marks it.
  const struct {
    bool served;
    const char* file;
    const char* name;
    const char* anchor;  // "" when no line names it
  } cases[] = {
      {false, "shown.htm", "p20.png", "#2"},  // the paragraph names it first
      {false, "shown.htm", "p31.png", "#34"},
      {true, "served.htm", "p31.png", "#35"},
      {true, "served.htm", "harbour-icon.png", "#2"},
      {false, "shown.htm", "harbour-icon.png", ""},  // the body does not name it
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " " + c.name);
    SourceChoices choices;
    choices.served = c.served;
    choices.options.lineNumbers = true;
    if (form_->sourceTool.Choices().served != c.served ||
        !form_->sourceTool.Choices().options.lineNumbers) {
      const int before = finished_[1];
      form_->sourceTool.SetChoices(choices);
      ASSERT_TRUE(RunUntil(
          [&] { return finished_[1] > before && panes_[1]->LocationURL() == SourceUri(c.file); },
          c.file));
    }
    const std::optional<std::size_t> entry = EntryNamed(c.name);
    ASSERT_TRUE(entry);
    form_->SelectTab(2);
    const std::string before = panes_[1]->LocationURL();
    images.ShowInSource(*entry);
    if (std::string(c.anchor).empty()) {
      EXPECT_EQ(form_->TabStrip1.get_current_page(), 2);
      EXPECT_EQ(form_->sb1.PanelText(1), std::string("No line of the source names ") + c.name);
      EXPECT_EQ(panes_[1]->LocationURL(), before);
      continue;
    }
    EXPECT_EQ(form_->TabStrip1.get_current_page(), 1);
    ASSERT_TRUE(RunUntil([&] { return panes_[1]->LocationURL() == SourceUri(c.file) + c.anchor; },
                         c.anchor))
        << panes_[1]->LocationURL();
    const std::string marked = EvaluateInPage(
        panes_[1]->View(),
        "(() => { const t = document.querySelector(':target'); const r ="
        " t.getBoundingClientRect(); return t.id + ' ' + getComputedStyle(t).backgroundColor +"
        " (r.top >= 0 && r.bottom <= innerHeight ? ' seen' : ''); })()");
    EXPECT_EQ(marked, std::string(c.anchor + 1) + " rgb(255, 233, 122) seen");
    if (std::string(c.name) == "p31.png" && c.served) {
      Photograph(*form_, "velmora-show-in-source-served.png");
    }
  }
}

}  // namespace
}  // namespace velmora
