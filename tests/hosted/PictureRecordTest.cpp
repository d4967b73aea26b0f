// The engine's record of pictures with real WebKit views: a two-origin site (127.0.0.1 and
// localhost are two origins of the one loopback server) whose pictures come through every road a
// page has — image tags, a pseudo-element, `content: url()`, list and border images, frames of
// both origins, a shadow root, an <object>, a picture a script adds later — each known once, by
// kind, type, size and bytes; saving them makes no second request.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>
#include <gtkmm/fixed.h>
#include <gtkmm/window.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "analysis/AnalyzePage.h"
#include "hosted/WebKitBrowserControl.h"
#include "tests/hosted/WindowTest.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TempFolder.h"

namespace velmora {
namespace {

using testing::LoopbackServer;
using testing::RunUntil;
using testing::SharedEngine;

constexpr const char* kHtml = "text/html; charset=utf-8";

// A picture of this size in this format ("png", "jpeg", "webp"), made by gdk-pixbuf.
std::string Picture(int width, int height, const char* format) {
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height);
  gdk_pixbuf_fill(pixbuf, 0x3366ccff);
  gchar* buffer = nullptr;
  gsize size = 0;
  const bool saved = gdk_pixbuf_save_to_buffer(pixbuf, &buffer, &size, format, nullptr, nullptr);
  g_object_unref(pixbuf);
  std::string bytes = saved ? std::string(buffer, size) : std::string();
  g_free(buffer);
  return bytes;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class PictureRecordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::DisplayAvailable()) GTEST_SKIP() << "no display";
    window_ = std::make_unique<Gtk::Window>();
    fixed_ = std::make_unique<Gtk::Fixed>();
    window_->add(*fixed_);
    window_->set_default_size(800, 600);
  }
  void Show(BrowserControl& control) {
    fixed_->put(control.Widget(), 0, 0);
    control.Widget().set_size_request(800, 600);
    window_->show_all();
  }
  static const LoadedPicture* Find(const std::vector<LoadedPicture>& pictures,
                                   const std::string& url) {
    const auto found = std::find_if(pictures.begin(), pictures.end(),
                                    [&](const LoadedPicture& p) { return p.url == url; });
    return found == pictures.end() ? nullptr : &*found;
  }

  std::unique_ptr<Gtk::Window> window_;
  std::unique_ptr<Gtk::Fixed> fixed_;
};

TEST_F(PictureRecordTest, KnowsEveryPictureOfATwoOriginSiteByKindTypeSizeAndBytes) {
  LoopbackServer server;
  const std::string other = "http://localhost:" + std::to_string(server.Port());
  // Each picture a size of its own, so a size can only come from its own bytes.
  struct Case {
    const char* path;
    int width;
    ImageKind kind;
    std::string frame;  // "" for the page itself
  };
  const std::vector<Case> cases = {
      {"/tag.png", 11, ImageKind::Img, ""},
      {"/before.png", 12, ImageKind::Generated, ""},
      {"/content.png", 13, ImageKind::Generated, ""},
      {"/bullet.png", 14, ImageKind::Background, ""},
      {"/border.png", 15, ImageKind::Background, ""},
      {"/background.png", 16, ImageKind::Background, ""},
      {"/shadow.png", 17, ImageKind::Img, ""},
      {"/object.png", 18, ImageKind::Object, ""},
      {"/inframe.png", 19, ImageKind::Frame, server.Url("/frame.html")},
      {"/late.png", 21, ImageKind::Img, ""},
  };
  for (const Case& c : cases) server.Serve(c.path, "image/png", Picture(c.width, 9, "png"));
  // Another origin's frame, with its own picture.
  server.Serve("/xframe.png", "image/png", Picture(20, 9, "png"));
  server.Serve("/xframe.html", kHtml, "<body><img src=\"/xframe.png\"></body>");
  server.Serve("/frame.html", kHtml, "<body><img src=\"/inframe.png\"></body>");
  // A WebP sent under a JPEG's name and type.
  const std::string webp = Picture(22, 9, "webp");
  ASSERT_FALSE(webp.empty()) << "gdk-pixbuf cannot write WebP (webp-pixbuf-loader)";
  server.Serve("/photo.jpg", "image/jpeg", webp);
  server.Serve("/icon.png", "image/png", Picture(16, 16, "png"));
  server.Serve("/site.html", kHtml,
               "<!DOCTYPE html><html><head><link rel=\"icon\" href=\"/icon.png\"><style>"
               ".gen::before { content: url(/before.png); }"
               ".cnt { content: url(/content.png); }"
               "ul { list-style-image: url(/bullet.png); }"
               ".bi { border: 9px solid; border-image: url(/border.png) 3 round; }"
               ".bg { background: url(/background.png); width: 20px; height: 20px; }"
               "</style></head><body>"
               "<img src=\"/tag.png\"><img src=\"/photo.jpg\">"
               "<p class=\"gen\">g</p><div class=\"cnt\"></div><ul><li>item</li></ul>"
               "<div class=\"bi\">b</div><div class=\"bg\"></div>"
               "<object data=\"/object.png\" type=\"image/png\"></object>"
               "<x-pic></x-pic>"
               "<iframe src=\"/frame.html\"></iframe><iframe src=\"" +
                   other +
                   "/xframe.html\"></iframe>"
                   "<script>"
                   "customElements.define('x-pic', class extends HTMLElement { constructor() {"
                   " super(); this.attachShadow({mode: 'open'}).innerHTML ="
                   " '<img src=\"/shadow.png\">'; } });"
                   "setTimeout(function () { var i = new Image(); i.src = '/late.png';"
                   " document.body.appendChild(i); }, 1500);"
                   "</script></body></html>");

  WebKitBrowserControl control(SharedEngine());
  Show(control);
  int completes = 0;
  control.DownloadComplete.connect([&](const SharedSnapshot&) { ++completes; });
  control.Navigate(server.Url("/site.html"));
  ASSERT_TRUE(RunUntil([&] { return completes > 0; }, "the site"));
  // The late picture joins, and its frame's report of what asked for it follows.
  ASSERT_TRUE(RunUntil(
      [&] {
        const std::vector<LoadedPicture> now = control.LoadedPictures();
        const LoadedPicture* late = Find(now, server.Url("/late.png"));
        return late && late->kind != ImageKind::Loaded;
      },
      "the picture a script adds later"));

  const std::vector<LoadedPicture> pictures = control.LoadedPictures();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const LoadedPicture* picture = Find(pictures, server.Url(c.path));
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->kind, c.kind);
    EXPECT_EQ(picture->mimeType, "image/png");
    EXPECT_EQ(picture->width, c.width);
    EXPECT_EQ(picture->height, 9);
    EXPECT_EQ(picture->frame, c.frame);
    EXPECT_GT(picture->bytes, 0u);
  }
  const LoadedPicture* xframe = Find(pictures, other + "/xframe.png");
  ASSERT_NE(xframe, nullptr);
  EXPECT_EQ(xframe->kind, ImageKind::Frame);
  EXPECT_EQ(xframe->frame, other + "/xframe.html");
  EXPECT_EQ(xframe->width, 20);
  const LoadedPicture* photo = Find(pictures, server.Url("/photo.jpg"));
  ASSERT_NE(photo, nullptr);
  EXPECT_EQ(photo->mimeType, "image/webp");
  EXPECT_EQ(photo->width, 22);
  EXPECT_EQ(photo->bytes, webp.size());
  // Each picture once.
  std::map<std::string, int> seen;
  for (const LoadedPicture& p : pictures) EXPECT_EQ(++seen[p.url], 1) << p.url;

  // The gallery shows every picture of the site exactly once.
  velmora::testing::TempFolder work;
  ListPairs lists;
  PageSnapshot page = *control.Page();
  page.loadedPictures = control.LoadedPictures();
  const AnalysisResult analysed = AnalyzePage(page, WorkFiles(work.path()), lists);
  const std::string gallery = velmora::testing::ReadFile(analysed.gallery);
  std::vector<std::string> everyPicture = {other + "/xframe.png", server.Url("/photo.jpg"),
                                           server.Url("/icon.png")};
  for (const Case& c : cases) everyPicture.push_back(server.Url(c.path));
  for (const std::string& url : everyPicture) {
    const std::string shown = "<img src='" + url + "'>";
    const std::size_t first = gallery.find(shown);
    EXPECT_NE(first, std::string::npos) << url << " is not in the gallery";
    EXPECT_EQ(gallery.find(shown, first + 1), std::string::npos) << url << " is there twice";
  }

  // Saving a picture on screen asks the server for nothing and names it by its bytes.
  const int requests = server.RequestCount("/photo.jpg");
  velmora::testing::TempFolder folder;
  BrowserControl::SavedFile saved;
  bool done = false;
  control.SaveImage(server.Url("/photo.jpg"), folder.path(), [&](const auto& outcome) {
    saved = outcome;
    done = true;
  });
  ASSERT_TRUE(RunUntil([&] { return done; }, "the picture to be saved"));
  EXPECT_EQ(saved.error, "");
  EXPECT_EQ(saved.file.filename(), "photo.webp");
  EXPECT_EQ(ReadFile(saved.file), webp);
  EXPECT_EQ(server.RequestCount("/photo.jpg"), requests);
}

TEST_F(PictureRecordTest, APictureThatNeedsThePageAsRefererIsSavedFromWhatTheEngineHolds) {
  LoopbackServer server;
  const std::string png = Picture(30, 20, "png");
  server.Serve("/guarded.png", "image/png", png);
  server.RequireHeader("/guarded.png", "Referer");
  server.Serve("/guarded.html", kHtml, "<body><img src=\"/guarded.png\"></body>");
  WebKitBrowserControl control(SharedEngine());
  Show(control);
  control.Navigate(server.Url("/guarded.html"));
  ASSERT_TRUE(RunUntil([&] { return Find(control.LoadedPictures(), server.Url("/guarded.png")); },
                       "the guarded picture"));
  velmora::testing::TempFolder folder;
  std::vector<BrowserControl::SavedFile> saved;
  for (int i = 0; i < 2; ++i) {
    control.SaveImage(server.Url("/guarded.png"), folder.path(),
                      [&](const auto& outcome) { saved.push_back(outcome); });
  }
  ASSERT_TRUE(RunUntil([&] { return saved.size() == 2; }, "both saves"));
  EXPECT_EQ(server.RequestCount("/guarded.png"), 1);
  // Never over a file that is there: the second gets a numbered name.
  EXPECT_EQ(saved[0].file.filename(), "guarded.png");
  EXPECT_EQ(saved[1].file.filename(), "guarded (1).png");
  for (const auto& s : saved) EXPECT_EQ(ReadFile(s.file), png);
}

TEST_F(PictureRecordTest, APageThatNeverFinishesIsAnalysedWhileItLoads) {
  LoopbackServer server;
  server.Serve("/stuck.png", "image/png", Picture(5, 5, "png"));
  server.Hold("/stuck.png");
  server.Serve("/stuck.html", kHtml, "<body><p>text</p><img src=\"/stuck.png\"></body>");
  WebKitBrowserControl control(SharedEngine());
  Show(control);
  std::vector<bool> stillLoading;
  std::string status;
  control.StatusTextChange.connect([&](const std::string& text) { status = text; });
  control.DownloadComplete.connect(
      [&](const SharedSnapshot&) { stillLoading.push_back(control.PageStillLoading()); });
  control.Navigate(server.Url("/stuck.html"));
  ASSERT_TRUE(RunUntil([&] { return !stillLoading.empty(); }, "the read of the stuck page"));
  EXPECT_TRUE(stillLoading[0]);
  EXPECT_NE(control.Page()->bodyHtml.find("<p>text</p>"), std::string::npos);
  EXPECT_NE(status.find("Still loading"), std::string::npos) << status;
  // When it does finish, it is read again as any page.
  server.Release("/stuck.png");
  ASSERT_TRUE(RunUntil([&] { return stillLoading.size() == 2; }, "the finished page's read"));
  EXPECT_FALSE(stillLoading[1]);
  EXPECT_EQ(status, "Done");
}

}  // namespace
}  // namespace velmora
