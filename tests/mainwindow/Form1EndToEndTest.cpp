// The main window with the real WebKit panes against pages served on 127.0.0.1: a page goes
// through the whole road (pane 0 loads it, the analysis writes the views, panes 1 and 2 show
// them), and the commands that move between the panes work on real pages. Every wait has a
// watchdog: a lost web process means the awaited page never finishes.
#include <gtest/gtest.h>
#include <webkit2/webkit2.h>

#include <array>
#include <memory>
#include <string>

#include "hosted/WebKitBrowserControl.h"
#include "mainwindow/Form1.h"
#include "startup/modIdentity.h"
#include "tests/hosted/WindowTest.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TempFolder.h"

namespace velmora {
namespace {

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
    "</body></html>\n";

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
    form_ = std::make_unique<Form1>(std::move(parts));
    for (int i = 0; i < 3; ++i) {
      panes_[i]->DownloadComplete.connect([this, i] { ++finished_[i]; });
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

  LoopbackServer server_;
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
  EXPECT_NE(panes_[2]->Document().find(server_.Url("/pics/lazy.png")), std::string::npos)
      << "pane 2 shows the gallery (the web process may read the work folder)";
  EXPECT_NE(panes_[1]->Document().find("&lt;img"), std::string::npos)
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

}  // namespace
}  // namespace velmora
