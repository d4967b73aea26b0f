// velmora-analyze --live end to end: the program loads a loopback page in the browser's engine
// (on a display of its own when the test has none), chooses its pictures by size, orders them by
// area and saves them under a pattern's names, byte for byte as served, without asking the server
// for them again.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <glib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/hosted/WindowTest.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TempFolder.h"

namespace velmora {
namespace {

using testing::LoopbackServer;
using testing::RunUntil;

std::string Png(int width, int height) {
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height);
  gdk_pixbuf_fill(pixbuf, 0x808020ffu);
  gchar* buffer = nullptr;
  gsize size = 0;
  gdk_pixbuf_save_to_buffer(pixbuf, &buffer, &size, "png", nullptr, nullptr);
  g_object_unref(pixbuf);
  std::string bytes(buffer, size);
  g_free(buffer);
  return bytes;
}

TEST(LiveAnalyze, SavesThePicturesItChoseFromTheEnginesBytes) {
  LoopbackServer server;
  struct Picture {
    const char* path;
    int width;
    int height;
  };
  // Three at least 400 × 400 (areas 640,000 > 250,000 > 160,000), two smaller, one of them
  // drawn by a style sheet and one inside a frame.
  const std::vector<Picture> pictures = {{"/a/small.png", 120, 90},   {"/a/wide.png", 800, 800},
                                         {"/a/square.png", 400, 400}, {"/a/tall.png", 500, 500},
                                         {"/a/thin.png", 1000, 300},  {"/a/framed.png", 450, 450}};
  std::map<std::string, std::string> served;
  for (const Picture& p : pictures) {
    served[p.path] = Png(p.width, p.height);
    server.Serve(p.path, "image/png", served[p.path]);
  }
  server.Serve("/frame.html", "text/html", "<body><img src=\"/a/framed.png\"></body>");
  server.Serve("/page.html", "text/html",
               "<!DOCTYPE html><html><head><style>.bg{background:url(/a/tall.png);"
               "width:10px;height:10px}</style></head><body><img src=\"/a/small.png\">"
               "<img src=\"/a/wide.png\"><img src=\"/a/square.png\"><div class=\"bg\"></div>"
               "<img src=\"/a/thin.png\"><iframe src=\"/frame.html\"></iframe><script>"
               "document.body.insertAdjacentHTML('beforeend', '<p class=added>added</p>');"
               "</script></body></html>");

  velmora::testing::TempFolder out;
  const std::filesystem::path saved = out / "saved";
  const std::string url = server.Url("/page.html");
  std::vector<std::string> argv = {VELMORA_ANALYZE, "--live", url,          "--out",   out.path(),
                                   "--min-size",    "400",    "--sort",     "area",    "--save",
                                   saved,           "--name", "{n}-{name}", "--served"};
  std::vector<char*> args;
  for (std::string& a : argv) args.push_back(a.data());
  args.push_back(nullptr);
  GPid pid = 0;
  GError* error = nullptr;
  ASSERT_TRUE(g_spawn_async(nullptr, args.data(), nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr,
                            nullptr, &pid, &error))
      << (error ? error->message : "");
  int status = -1;
  g_child_watch_add(
      pid, [](GPid, gint wait, gpointer data) { *static_cast<int*>(data) = wait; }, &status);
  // The server answers from this loop while the program runs.
  ASSERT_TRUE(RunUntil([&] { return status != -1; }, "velmora-analyze --live"));
  ASSERT_TRUE(g_spawn_check_wait_status(status, nullptr)) << "exit status " << status;

  // The Source Code tab's two readings: the document as the script left it, and as served.
  const std::string shown = testing::ReadFile(out / "source.htm");
  const std::string asServed = testing::ReadFile(out / "served.htm");
  EXPECT_NE(shown.find("class=\"added\""), std::string::npos);
  EXPECT_EQ(asServed.find("class=\"added\""), std::string::npos);
  EXPECT_NE(asServed.find("insertAdjacentHTML"), std::string::npos);
  EXPECT_NE(asServed.find("DOCTYPE"), std::string::npos);
  EXPECT_EQ(server.RequestCount("/page.html"), 1);

  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(saved)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names,
            (std::vector<std::string>{"1-wide.png", "2-tall.png", "3-framed.png", "4-square.png"}));
  for (const auto& [name, path] :
       std::vector<std::pair<std::string, std::string>>{{"1-wide.png", "/a/wide.png"},
                                                        {"2-tall.png", "/a/tall.png"},
                                                        {"3-framed.png", "/a/framed.png"},
                                                        {"4-square.png", "/a/square.png"}}) {
    EXPECT_EQ(testing::ReadFile(saved / name), served[path]) << name;
    EXPECT_EQ(server.RequestCount(path), 1) << path << " was asked for again";
  }
}

}  // namespace
}  // namespace velmora
