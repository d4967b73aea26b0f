// Downloads with the real engine from a loopback server: a file the engine cannot show lands in
// the download folder with the server's bytes under a safe name that takes no other file's
// place, a transfer the server cuts off leaves nothing behind, and SaveImage names a picture
// from its address and content type or says why it could not.
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <gtkmm/window.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "hosted/WebKitBrowserControl.h"
#include "tests/hosted/WindowTest.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TempFolder.h"

namespace velmora {
namespace {

using testing::LoopbackServer;
using testing::ReadFile;
using testing::RunUntil;

std::vector<std::string> FilesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Bytes that no text or image decoder would take for its own.
std::string Payload(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7919) >> 3);
  return bytes;
}

// A server that answers every request with the head of a longer file and then hangs up. Each
// connection is served on a thread of its own (the engine may open one and send nothing yet).
class CutOffServer {
 public:
  CutOffServer() : service_(g_threaded_socket_service_new(4)) {
    GInetAddress* loopback = g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4);
    GSocketAddress* address = g_inet_socket_address_new(loopback, 0);
    GSocketAddress* bound = nullptr;
    g_socket_listener_add_address(G_SOCKET_LISTENER(service_), address, G_SOCKET_TYPE_STREAM,
                                  G_SOCKET_PROTOCOL_TCP, nullptr, &bound, nullptr);
    port_ = bound ? g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(bound)) : 0;
    g_clear_object(&bound);
    g_object_unref(address);
    g_object_unref(loopback);
    g_signal_connect(service_, "run", G_CALLBACK(OnRun), nullptr);
  }
  ~CutOffServer() {
    g_socket_service_stop(service_);
    g_object_unref(service_);
  }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  static gboolean OnRun(GThreadedSocketService*, GSocketConnection* connection, GObject*,
                        gpointer) {
    GInputStream* in = g_io_stream_get_input_stream(G_IO_STREAM(connection));
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
      const gssize got = g_input_stream_read(in, buffer, sizeof buffer, nullptr, nullptr);
      if (got <= 0) break;
      request.append(buffer, static_cast<std::size_t>(got));
    }
    const std::string answer =
        "HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\nContent-Length: 200000\r\n"
        "Connection: close\r\n\r\n" +
        Payload(5000);
    g_output_stream_write_all(g_io_stream_get_output_stream(G_IO_STREAM(connection)), answer.data(),
                              answer.size(), nullptr, nullptr, nullptr);
    g_io_stream_close(G_IO_STREAM(connection), nullptr, nullptr);
    return TRUE;
  }

  GSocketService* service_;
  int port_ = 0;
};

class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::DisplayAvailable()) GTEST_SKIP() << "no display";
    downloads_ = folder_.path() / "Downloads";  // made by the first download
    testing::SharedEngine().SetDownloadFolder(downloads_);
    control_ = std::make_unique<WebKitBrowserControl>(testing::SharedEngine());
    window_.add(control_->Widget());
    window_.set_default_size(400, 300);
    window_.show_all();
    control_->StatusTextChange.connect([this](const std::string& text) {
      if (text.rfind("Saved ", 0) == 0 || text.rfind("Could not", 0) == 0) outcome_ = text;
      status_ = text;
    });
  }

  // Opens `url` and waits for the download's last status text.
  std::string DownloadAndWait(const std::string& url) {
    outcome_.clear();
    control_->Navigate(url);
    RunUntil([this] { return !outcome_.empty(); }, "a download's outcome");
    return outcome_;
  }

  testing::TempFolder folder_;
  std::filesystem::path downloads_;
  Gtk::Window window_;
  std::unique_ptr<WebKitBrowserControl> control_;
  std::string status_;   // the last status text
  std::string outcome_;  // the last outcome of a download
  LoopbackServer server_;
};

TEST_F(DownloadTest, AFileTheEngineCannotShowLandsCompleteUnderAFreeSafeName) {
  const std::string bytes = Payload(300000);
  server_.Serve("/files/report.zip", "application/zip", bytes);
  EXPECT_EQ(DownloadAndWait(server_.Url("/files/report.zip")), "Saved report.zip in Downloads");
  EXPECT_EQ(DownloadAndWait(server_.Url("/files/report.zip")), "Saved report (1).zip in Downloads");
  EXPECT_EQ(ReadFile(downloads_ / "report (1).zip"), bytes);

  // An attachment is saved even when the engine could show it, and the name it asks for is
  // made safe.
  server_.Serve("/notes", "text/plain", "plain notes");
  server_.AddHeader("/notes", "Content-Disposition", "attachment; filename=\"../../.notes.txt\"");
  EXPECT_EQ(DownloadAndWait(server_.Url("/notes")), "Saved notes.txt in Downloads");
  EXPECT_EQ(ReadFile(downloads_ / "notes.txt"), "plain notes");
  EXPECT_EQ(FilesIn(downloads_),
            (std::vector<std::string>{"notes.txt", "report (1).zip", "report.zip"}));
}

TEST_F(DownloadTest, ATransferTheServerCutsOffLeavesNothing) {
  CutOffServer cut;
  const std::string outcome = DownloadAndWait(cut.Url("/big.zip"));
  EXPECT_EQ(outcome.rfind("Could not save big.zip: ", 0), 0u) << outcome;
  EXPECT_EQ(FilesIn(downloads_), std::vector<std::string>{});
}

TEST_F(DownloadTest, SaveImageNamesThePictureOrSaysWhyNot) {
  const std::string png = "\x89PNG\r\n\x1a\n" + Payload(2000);
  server_.Serve("/img/photo", "image/png", png);
  // The page's cookie goes with its pictures.
  server_.Serve("/page.html", "text/html", "<p>pictures</p>");
  server_.AddHeader("/page.html", "Set-Cookie", "session=42; Path=/");
  bool loaded = false;
  control_->DownloadComplete.connect([&](const SharedSnapshot&) { loaded = true; });
  control_->Navigate(server_.Url("/page.html"));
  ASSERT_TRUE(RunUntil([&] { return loaded; }, "the page"));
  std::vector<BrowserControl::SavedFile> outcomes;
  const auto save = [&](const std::string& path) {
    control_->SaveImage(server_.Url(path), folder_.path(),
                        [&](const BrowserControl::SavedFile& f) { outcomes.push_back(f); });
  };
  save("/img/photo");
  save("/img/missing.png");
  ASSERT_TRUE(RunUntil([&] { return outcomes.size() == 2; }, "two saves"));
  std::sort(outcomes.begin(), outcomes.end(),
            [](const auto& a, const auto& b) { return a.file > b.file; });
  EXPECT_EQ(outcomes[0].file, folder_.path() / "photo.png");
  EXPECT_EQ(ReadFile(folder_.path() / "photo.png"), png);
  EXPECT_EQ(server_.RequestHeader("/img/photo", "Cookie"), "session=42");
  EXPECT_TRUE(outcomes[1].file.empty());
  EXPECT_NE(outcomes[1].error.find("404"), std::string::npos) << outcomes[1].error;
  // The refused picture left no file, not even a temporary one.
  EXPECT_EQ(FilesIn(folder_.path()), std::vector<std::string>{"photo.png"});
}

}  // namespace
}  // namespace velmora
