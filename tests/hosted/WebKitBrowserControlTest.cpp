// The browser control with real WebKit views in a window on the (virtual) display: loading
// pages from a loopback server and from local files, the page read behind Page() and
// DownloadComplete, the events of the page life cycle, failures, and a lost web process.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gdkmm/display.h>
#include <gdkmm/seat.h>
#include <gtest/gtest.h>
#include <gtkmm/fixed.h>
#include <gtkmm/window.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "analysis/AnalyzePage.h"
#include "analysis/GalleryPage.h"
#include "hosted/WebKitBrowserControl.h"
#include "tests/hosted/WindowTest.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TempFolder.h"

namespace velmora {
namespace {

using testing::EvaluateInPage;
using testing::LoopbackServer;
using testing::RunUntil;
using testing::SharedEngine;

constexpr int kPaneWidth = 480;
constexpr int kPaneHeight = 360;

// What a control raised, in order. The page read is taken at each DownloadComplete,
// as the main window reads them.
struct Events {
  explicit Events(BrowserControl& control) : control_(control) {
    connections_.push_back(control.DownloadBegin.connect([this] {
      ++begins;
      log.push_back("begin");
    }));
    connections_.push_back(control.DownloadComplete.connect([this](const SharedSnapshot&) {
      documents.push_back(control_.Page()->bodyHtml);
      baseUrls.push_back(control_.Page()->baseUrl);
      log.push_back("complete:" + control_.Page()->bodyHtml);
    }));
    connections_.push_back(control.StatusTextChange.connect(
        [this](const std::string& text) { statusTexts.push_back(text); }));
    connections_.push_back(
        control.TitleChange.connect([this](const std::string& title) { titles.push_back(title); }));
    connections_.push_back(control.ProgressChange.connect(
        [this](long value, long maximum) { progress.emplace_back(value, maximum); }));
  }
  ~Events() {
    for (auto& c : connections_) c.disconnect();
  }
  Events(const Events&) = delete;
  Events& operator=(const Events&) = delete;

  int completes() const { return static_cast<int>(documents.size()); }
  bool StatusSeen(const std::string& text) const {
    return std::find(statusTexts.begin(), statusTexts.end(), text) != statusTexts.end();
  }

  int begins = 0;
  std::vector<std::string> log;
  std::vector<std::string> documents;
  std::vector<std::string> baseUrls;
  std::vector<std::string> statusTexts;
  std::vector<std::string> titles;
  std::vector<std::pair<long, long>> progress;

 private:
  BrowserControl& control_;
  std::vector<sigc::connection> connections_;
};

std::string Page(const std::string& head, const std::string& body) {
  return "<!DOCTYPE html><html><head>" + head + "</head>" + body + "</html>";
}

constexpr const char* kHtml = "text/html; charset=utf-8";

// Each test gets a window with a Gtk::Fixed, as the main window places its panes.
class BrowserControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::DisplayAvailable()) GTEST_SKIP() << "no display";
    window_ = std::make_unique<Gtk::Window>();
    fixed_ = std::make_unique<Gtk::Fixed>();
    window_->add(*fixed_);
    window_->set_default_size(3 * kPaneWidth, kPaneHeight);
  }
  void TearDown() override {
    fixed_.reset();
    window_.reset();
  }

  void Place(BrowserControl& control, int x) {
    fixed_->put(control.Widget(), x, 0);
    control.Widget().set_size_request(kPaneWidth, kPaneHeight);
    window_->show_all();
  }

  // Loads and waits for the next DownloadComplete; false (and a failure) on the watchdog.
  static bool LoadAndWait(Events& events, const std::function<void()>& load, const char* what) {
    const int before = events.completes();
    load();
    return RunUntil([&] { return events.completes() > before; }, what);
  }

  std::unique_ptr<Gtk::Window> window_;
  std::unique_ptr<Gtk::Fixed> fixed_;
};

// Sets `*finalized` when the object is finalized: when its last reference is gone, not merely
// when it is destroyed (a weak reference would fire then already).
void WatchFinalize(gpointer object, bool* finalized) {
  g_object_set_data_full(G_OBJECT(object), "velmora-test-finalize-watch", finalized,
                         [](gpointer flag) { *static_cast<bool*>(flag) = true; });
}

TEST_F(BrowserControlTest, LoadsAPageAndKeepsItsBodyAndBaseUrl) {
  LoopbackServer server;
  const std::string body = "<body id=\"b\"><p>Hello <img src=\"pic.png\"></p></body>";
  server.Serve(
      "/page.html", kHtml,
      Page("<title>Loopback page</title><base href=\"" + server.Url("/sub/dir/") + "\">", body));
  WebKitBrowserControl control(SharedEngine());
  Place(control, 0);
  Events events(control);
  EXPECT_EQ(control.LocationURL(), "");
  EXPECT_EQ(control.Page()->bodyHtml, "");

  // Typed as into the address box: host and port, no scheme.
  const std::string typed = "127.0.0.1:" + std::to_string(server.Port()) + "/page.html";
  ASSERT_TRUE(LoadAndWait(
      events, [&] { control.Navigate(typed); }, "the loopback page"));

  EXPECT_EQ(events.begins, 1);
  ASSERT_EQ(events.completes(), 1);
  EXPECT_EQ(events.documents[0], body);
  EXPECT_EQ(events.baseUrls[0], server.Url("/sub/dir/"));
  EXPECT_EQ(control.LocationURL(), server.Url("/page.html"));
  EXPECT_TRUE(events.StatusSeen("Opening " + server.Url("/page.html") + "\u2026"));
  ASSERT_FALSE(events.statusTexts.empty());
  EXPECT_EQ(events.statusTexts.back(), "Done");

  // The title may arrive after the load has finished.
  ASSERT_TRUE(RunUntil([&] { return control.LocationName() == "Loopback page"; }, "the title"));
  EXPECT_NE(std::find(events.titles.begin(), events.titles.end(), "Loopback page"),
            events.titles.end());

  // A second page: exactly one more DownloadComplete, nothing left over from the first.
  const std::string body2 = "<body><p>Second</p></body>";
  server.Serve("/second.html", kHtml, Page("", body2));
  ASSERT_TRUE(LoadAndWait(
      events, [&] { control.Navigate(server.Url("/second.html")); }, "the second page"));
  EXPECT_EQ(events.documents, (std::vector<std::string>{body, body2}));
  // Without a <base>, the base URL is the page's own URL.
  EXPECT_EQ(control.Page()->baseUrl, server.Url("/second.html"));
  EXPECT_EQ(events.begins, 2);
}

TEST_F(BrowserControlTest, RaisesProgressAndTitleChanges) {
  LoopbackServer server;
  server.Serve("/titled.html", kHtml,
               Page("<title>First title</title>",
                    "<body><p>t</p><script>document.title = 'Set by script';</script></body>"));
  WebKitBrowserControl control(SharedEngine());
  Place(control, 0);
  Events events(control);
  ASSERT_TRUE(LoadAndWait(
      events, [&] { control.Navigate(server.Url("/titled.html")); }, "the titled page"));
  ASSERT_TRUE(
      RunUntil([&] { return !events.titles.empty() && events.titles.back() == "Set by script"; },
               "the title set by the page's script"));
  EXPECT_EQ(control.LocationName(), "Set by script");

  ASSERT_TRUE(RunUntil(
      [&] {
        return !events.progress.empty() &&
               events.progress.back() == std::pair<long, long>{100, 100};
      },
      "progress to reach 100"));
  for (const auto& [value, maximum] : events.progress) {
    EXPECT_EQ(maximum, 100);
    EXPECT_GE(value, 0);
    EXPECT_LE(value, 100);
  }
}

// A page without a title still raises TitleChange when it is committed, so the window's address
// box and caption follow it; a title-less page after another one is no exception.
TEST_F(BrowserControlTest, EveryCommittedPageRaisesTitleChangeTitledOrNot) {
  LoopbackServer server;
  server.Serve("/untitled-1.html", kHtml, Page("", "<body><p>1</p></body>"));
  server.Serve("/untitled-2.html", kHtml, Page("", "<body><p>2</p></body>"));
  WebKitBrowserControl control(SharedEngine());
  Place(control, 0);
  Events events(control);
  std::vector<std::string> urlsAtTitleChange;
  sigc::connection watch = control.TitleChange.connect(
      [&](const std::string&) { urlsAtTitleChange.push_back(control.LocationURL()); });
  for (const char* path : {"/untitled-1.html", "/untitled-2.html"}) {
    ASSERT_TRUE(LoadAndWait(
        events, [&] { control.Navigate(server.Url(path)); }, path));
    ASSERT_FALSE(urlsAtTitleChange.empty()) << path;
    EXPECT_EQ(urlsAtTitleChange.back(), server.Url(path));
    EXPECT_EQ(events.titles.back(), "");
  }
  watch.disconnect();
}

TEST_F(BrowserControlTest, PageScriptsCannotFakeTheSnapshot) {
  LoopbackServer server;
  // In the page's own world every getter the snapshot could use is redefined.
  const std::string fakes =
      "<script>"
      "Object.defineProperty(Element.prototype, 'outerHTML', {get() { return 'FAKE'; }});"
      "Object.defineProperty(Document.prototype, 'body', {get() { return null; }});"
      "Object.defineProperty(Node.prototype, 'baseURI', {get() { return 'http://fake.example/'; "
      "}});"
      "</script>";
  const std::string body = "<body><p id=\"real\">The real body</p></body>";
  server.Serve("/hostile.html", kHtml, Page(fakes, body));
  WebKitBrowserControl control(SharedEngine());
  Place(control, 0);
  Events events(control);
  ASSERT_TRUE(LoadAndWait(
      events, [&] { control.Navigate(server.Url("/hostile.html")); }, "the hostile page"));

  // The fakes are in force in the page's world...
  EXPECT_EQ(EvaluateInPage(control.View(), "String(document.body)"), "null");
  EXPECT_EQ(EvaluateInPage(control.View(), "document.documentElement.outerHTML"), "FAKE");
  // ...and change nothing in the snapshot.
  EXPECT_EQ(control.Page()->bodyHtml, body);
  EXPECT_EQ(control.Page()->baseUrl, server.Url("/hostile.html"));
}

// The panes that show generated pages: views related to pane 0, loading files that the
// analysis wrote into the (sandboxed) work folder.
TEST_F(BrowserControlTest, RelatedPanesLoadTheGeneratedFilesWithTheSandboxOn) {
  ASSERT_TRUE(webkit_web_context_get_sandbox_enabled(SharedEngine().Context()));
  LoopbackServer server;
  server.Serve("/gallery-source.html", kHtml,
               Page("",
                    "<body><p><img src=\"img/sea.png\"> <a href=\"big/sky.jpg\">sky</a></p>"
                    "</body>"));
  server.Serve("/img/sea.png", "image/png", "not really a picture");

  WebKitBrowserControl browser(SharedEngine());
  WebKitBrowserControl source(SharedEngine(), &browser);
  WebKitBrowserControl images(SharedEngine(), &browser);
  Place(browser, 0);
  Place(source, kPaneWidth);
  Place(images, 2 * kPaneWidth);
  Events browserEvents(browser);
  Events sourceEvents(source);
  Events imageEvents(images);

  ASSERT_TRUE(LoadAndWait(
      browserEvents, [&] { browser.Navigate(server.Url("/gallery-source.html")); },
      "the page to analyse"));
  ListPairs lists;
  const AnalysisResult result = AnalyzePage(
      PageSnapshot{browser.Page()->bodyHtml, browser.LocationURL(), browser.Page()->baseUrl},
      WorkFiles(testing::SandboxFolder()), lists);
  ASSERT_TRUE(result.failures.empty());
  ASSERT_EQ(lists.Links[kShownImagesPair], (std::vector<std::string>{server.Url("/img/sea.png")}));

  ASSERT_TRUE(LoadAndWait(
      sourceEvents, [&] { source.Navigate2(result.sourceView.string()); }, "the source view"));
  ASSERT_TRUE(LoadAndWait(
      imageEvents, [&] { images.Navigate2(result.gallery.string()); }, "the gallery"));
  EXPECT_NE(source.Page()->bodyHtml.find(server.Url("/big/sky.jpg")), std::string::npos)
      << source.Page()->bodyHtml;
  EXPECT_NE(images.Page()->bodyHtml.find("<img src=\"" + server.Url("/img/sea.png") + "\""),
            std::string::npos)
      << images.Page()->bodyHtml;
  EXPECT_EQ(images.LocationURL(), "file://" + result.gallery.string());
}

TEST_F(BrowserControlTest, LocalFilesWithoutACharsetAreReadAsUtf8) {
  const auto file = testing::SandboxFolder() / "accents.html";
  // No <meta charset>, no BOM: only the control's default charset decides.
  const std::string body =
      "<body><p>Caf\xC3\xA9 cr\xC3\xA8me, \xE6\x97\xA5\xE6\x9C\xAC, \xE2\x82\xAC</p></body>";
  testing::WriteFile(file, "<html><head><title>x</title></head>" + body + "</html>");
  WebKitBrowserControl control(SharedEngine());
  Place(control, 0);
  Events events(control);
  ASSERT_TRUE(LoadAndWait(
      events, [&] { control.Navigate2(file.string()); }, "the local file"));
  EXPECT_EQ(control.Page()->bodyHtml, body);
}

// The web processes started by this test program (below it in the process tree).
int OwnWebProcesses() {
  std::map<int, int> parents;
  std::map<int, std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string pid = entry.path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream in(entry.path() / "stat");
    std::string stat;
    std::getline(in, stat);
    const std::size_t open = stat.find('(');
    const std::size_t close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close + 4 >= stat.size()) {
      continue;
    }
    if (stat[close + 2] == 'Z') continue;  // a process that has ended
    names[std::stoi(pid)] = stat.substr(open + 1, close - open - 1);
    parents[std::stoi(pid)] = std::atoi(stat.c_str() + close + 4);
  }
  int count = 0;
  for (const auto& [pid, name] : names) {
    if (name.rfind("WebKitWebProces", 0) != 0) continue;
    for (int up = parents[pid]; up > 1; up = parents[up]) {
      if (up == ::getpid()) {
        ++count;
        break;
      }
    }
  }
  return count;
}

TEST_F(BrowserControlTest, TheFirstControlTakesOverTheWarmedUpWebProcess) {
  // The web processes of earlier tests' views end on their own time.
  ASSERT_TRUE(
      RunUntil([] { return OwnWebProcesses() == 0; }, "nothing running before the warm-up"));
  SharedEngine().WarmUp();
  ASSERT_TRUE(RunUntil([] { return OwnWebProcesses() == 1; }, "the warmed-up web process"));

  const auto file = testing::SandboxFolder() / "warm.html";
  testing::WriteFile(file, "<html><head><title>warm</title></head><body><p>w</p></body></html>");
  WebKitBrowserControl control(SharedEngine());
  EXPECT_EQ(SharedEngine().TakeWarmView(), nullptr) << "the warmed-up view is handed over once";
  SharedEngine().WarmUp();  // a second call starts nothing
  EXPECT_EQ(SharedEngine().TakeWarmView(), nullptr);
  Place(control, 0);
  Events events(control);
  ASSERT_TRUE(LoadAndWait(
      events, [&] { control.Navigate2(file.string()); }, "the first page"));
  EXPECT_EQ(control.Page()->bodyHtml, "<body><p>w</p></body>");
  EXPECT_EQ(OwnWebProcesses(), 1) << "the first page runs in the warmed-up process";
  EXPECT_FALSE(webkit_web_view_can_go_back(control.View()))
      << "the empty page of the warm-up is not in the control's history";
}

// A load that fails finishes twice (its own FINISHED and the error page's). WebKit starts the
// error page before our read of the first FINISHED can answer, so that read is dropped: one
// DownloadComplete, holding the engine's error page. The control goes on working.
TEST_F(BrowserControlTest, BadAddressesShowTheErrorPage) {
  int closedPort = 0;
  {
    LoopbackServer gone;  // a port that was free a moment ago and now refuses connections
    closedPort = gone.Port();
  }
  LoopbackServer server;
  const std::string goodBody = "<body><p>still working</p></body>";
  server.Serve("/good.html", kHtml, Page("", goodBody));
  const std::string badAddresses[] = {
      "http://127.0.0.1:" + std::to_string(closedPort) + "/nothing-here",
      "http://no-such-host.invalid/",
      "http://with blanks/",
  };
  WebKitBrowserControl control(SharedEngine());
  Place(control, 0);
  Events events(control);
  for (const std::string& address : badAddresses) {
    ASSERT_TRUE(LoadAndWait(
        events, [&] { control.Navigate(server.Url("/good.html")); }, "the good page"));
    ASSERT_EQ(control.Page()->bodyHtml, goodBody);
    const int before = events.completes();
    control.Navigate(address);
    ASSERT_TRUE(
        RunUntil([&] { return events.completes() > before && control.LocationURL() == address; },
                 "the error page"))
        << address;
    EXPECT_EQ(events.completes(), before + 1) << address;
    EXPECT_FALSE(control.Page()->bodyHtml.empty()) << address;
    EXPECT_NE(control.Page()->bodyHtml, goodBody) << address;
    EXPECT_EQ(events.statusTexts.back(), "Done") << address;
  }
  ASSERT_TRUE(LoadAndWait(
      events, [&] { control.Navigate(server.Url("/good.html")); },
      "the good page after the failures"));
  EXPECT_EQ(control.Page()->bodyHtml, goodBody);
}

// A certificate that no authority signed: the load fails and shows the engine's error page; the
// page itself is never asked for.
TEST_F(BrowserControlTest, ACertificateThatDoesNotCheckOutFailsTheLoad) {
  const std::filesystem::path data = VELMORA_HOSTED_TEST_DATA;
  LoopbackServer server(testing::TlsFiles{data / "loopback-cert.pem", data / "loopback-key.pem"});
  const std::string body = "<body><p>behind a bad certificate</p></body>";
  server.Serve("/secure.html", kHtml, Page("", body));
  ASSERT_EQ(server.Url("/secure.html").rfind("https://", 0), 0u);
  WebKitBrowserControl control(SharedEngine());
  Place(control, 0);
  Events events(control);
  GTlsCertificateFlags tlsErrors{};
  g_signal_connect(control.View(), "load-failed-with-tls-errors",
                   G_CALLBACK(+[](WebKitWebView*, gchar*, GTlsCertificate*,
                                  GTlsCertificateFlags errors, gpointer out) {
                     *static_cast<GTlsCertificateFlags*>(out) = errors;
                     return FALSE;
                   }),
                   &tlsErrors);

  control.Navigate(server.Url("/secure.html"));
  ASSERT_TRUE(RunUntil(
      [&] { return events.completes() > 0 && control.LocationURL() == server.Url("/secure.html"); },
      "the error page"));
  EXPECT_TRUE(tlsErrors & G_TLS_CERTIFICATE_UNKNOWN_CA);
  EXPECT_EQ(events.completes(), 1);
  EXPECT_FALSE(control.Page()->bodyHtml.empty());
  EXPECT_NE(control.Page()->bodyHtml, body);
  EXPECT_EQ(server.RequestCount("/secure.html"), 0);
}

// Stop in the middle of a load: no error page, the page still shown is read again and
// DownloadComplete comes with it.
TEST_F(BrowserControlTest, StopKeepsThePageShown) {
  LoopbackServer server;
  const std::string shownBody = "<body><p>shown</p></body>";
  server.Serve("/shown.html", kHtml, Page("", shownBody));
  server.Serve("/slow.html", kHtml, Page("", "<body><p>never seen</p></body>"));
  server.Hold("/slow.html");
  WebKitBrowserControl control(SharedEngine());
  Place(control, 0);
  Events events(control);
  ASSERT_TRUE(LoadAndWait(
      events, [&] { control.Navigate(server.Url("/shown.html")); }, "the page shown"));

  const int before = events.completes();
  control.Navigate(server.Url("/slow.html"));
  ASSERT_TRUE(RunUntil([&] { return server.RequestCount("/slow.html") > 0; },
                       "the slow page to be asked for"));
  control.Stop();
  ASSERT_TRUE(RunUntil([&] { return events.completes() > before; }, "the load to stop"));
  EXPECT_EQ(events.completes(), before + 1);
  EXPECT_EQ(control.Page()->bodyHtml, shownBody);
  EXPECT_EQ(control.LocationURL(), server.Url("/shown.html"));
  server.Release("/slow.html");
}

// A read still running when its page's web process ends belongs to a page that is gone: it
// must not raise DownloadComplete (with an empty or stale snapshot). The lost process is
// reported, and Refresh brings the page back with one DownloadComplete.
TEST_F(BrowserControlTest, AReadCutShortByALostWebProcessIsDropped) {
  LoopbackServer server;
  const std::string body = "<body><p>read me</p></body>";
  server.Serve("/read-me.html", kHtml, Page("", body));
  WebKitBrowserControl control(SharedEngine());
  Place(control, 0);
  Events events(control);

  // Connected after the control's own handler: when this runs, the control has just started
  // reading the page, and its web process ends before the answer can come.
  struct Hook {
    WebKitWebView* view;
    bool fired = false;
  } hook{control.View()};
  const gulong id =
      g_signal_connect(control.View(), "load-changed",
                       G_CALLBACK(+[](WebKitWebView* view, WebKitLoadEvent event, gpointer data) {
                         auto* h = static_cast<Hook*>(data);
                         if (event != WEBKIT_LOAD_FINISHED || h->fired) return;
                         h->fired = true;
                         webkit_web_view_terminate_web_process(view);
                       }),
                       &hook);
  control.Navigate(server.Url("/read-me.html"));
  ASSERT_TRUE(RunUntil(
      [&] {
        return !events.statusTexts.empty() &&
               events.statusTexts.back().find("Refresh") != std::string::npos;
      },
      "the lost web process to be reported"));
  g_signal_handler_disconnect(control.View(), id);
  events.log.push_back("refresh");
  ASSERT_TRUE(LoadAndWait(
      events, [&] { control.Refresh(); }, "the page after Refresh"));

  EXPECT_EQ(events.log,
            (std::vector<std::string>{"begin", "refresh", "begin", "complete:" + body}));
  EXPECT_EQ(control.Page()->bodyHtml, body);
}

TEST_F(BrowserControlTest, RefreshBringsThePageBackAfterItsWebProcessEnded) {
  LoopbackServer server;
  const std::string body = "<body><p>survivor</p></body>";
  server.Serve("/survivor.html", kHtml, Page("<title>Survivor</title>", body));
  WebKitBrowserControl control(SharedEngine());
  Place(control, 0);
  Events events(control);
  ASSERT_TRUE(LoadAndWait(
      events, [&] { control.Navigate(server.Url("/survivor.html")); }, "the page"));
  const int requests = server.RequestCount("/survivor.html");

  const std::size_t statusBefore = events.statusTexts.size();
  webkit_web_view_terminate_web_process(control.View());
  ASSERT_TRUE(RunUntil(
      [&] {
        return events.statusTexts.size() > statusBefore &&
               events.statusTexts.back().find("Refresh") != std::string::npos;
      },
      "the lost web process to be reported"));

  ASSERT_TRUE(LoadAndWait(
      events, [&] { control.Refresh(); }, "the page after Refresh"));
  EXPECT_EQ(control.Page()->bodyHtml, body);
  EXPECT_EQ(control.LocationURL(), server.Url("/survivor.html"));
  EXPECT_EQ(server.RequestCount("/survivor.html"), requests + 1);
}

TEST_F(BrowserControlTest, BackAndForwardFollowTheHistoryAndDoNothingWithout) {
  LoopbackServer server;
  const std::string bodies[] = {"<body><p>one</p></body>", "<body><p>two</p></body>",
                                "<body><p>three</p></body>"};
  server.Serve("/1.html", kHtml, Page("", bodies[0]));
  server.Serve("/2.html", kHtml, Page("", bodies[1]));
  server.Serve("/3.html", kHtml, Page("", bodies[2]));
  WebKitBrowserControl control(SharedEngine());
  Place(control, 0);
  Events events(control);

  // No history yet: nothing starts. The next load is then the first one seen.
  control.GoBack();
  control.GoForward();
  ASSERT_TRUE(LoadAndWait(
      events, [&] { control.Navigate(server.Url("/1.html")); }, "page 1"));
  EXPECT_EQ(events.begins, 1);
  EXPECT_EQ(events.documents, (std::vector<std::string>{bodies[0]}));

  ASSERT_TRUE(LoadAndWait(
      events, [&] { control.Navigate(server.Url("/2.html")); }, "page 2"));
  ASSERT_TRUE(LoadAndWait(
      events, [&] { control.GoBack(); }, "back to page 1"));
  EXPECT_EQ(control.Page()->bodyHtml, bodies[0]);
  EXPECT_EQ(control.LocationURL(), server.Url("/1.html"));
  ASSERT_TRUE(LoadAndWait(
      events, [&] { control.GoForward(); }, "forward to page 2"));
  EXPECT_EQ(control.Page()->bodyHtml, bodies[1]);

  // At the end of the history Forward does nothing: the next load seen is page 3's.
  const int beginsBefore = events.begins;
  control.GoForward();
  ASSERT_TRUE(LoadAndWait(
      events, [&] { control.Navigate(server.Url("/3.html")); }, "page 3"));
  EXPECT_EQ(events.begins, beginsBefore + 1);
  EXPECT_EQ(events.documents.back(), bodies[2]);
}

// The start page shipped with the program shows its pictures (all decoded, with the sandbox on)
// and gives the gallery something to show on a first run.
TEST_F(BrowserControlTest, GoHomeShowsTheStartPageAndItsPictures) {
  WebKitBrowserControl control(SharedEngine());
  Place(control, 0);
  Events events(control);
  ASSERT_TRUE(LoadAndWait(
      events, [&] { control.GoHome(); }, "the start page"));
  EXPECT_EQ(control.LocationURL(), SharedEngine().StartPageUri());
  for (const char* tab : {"Browser", "Source Code", "Images"}) {
    EXPECT_NE(control.Page()->bodyHtml.find(tab), std::string::npos) << tab;
  }
  EXPECT_EQ(EvaluateInPage(control.View(),
                           "String(document.images.length > 0 && Array.from(document.images)"
                           ".every(i => i.complete && i.naturalWidth > 0))"),
            "true");

  testing::TempFolder work;
  ListPairs lists;
  AnalyzePage(
      PageSnapshot{control.Page()->bodyHtml, control.LocationURL(), control.Page()->baseUrl},
      WorkFiles(work.path()), lists);
  const auto& shown = lists.Links[kShownImagesPair];
  EXPECT_GE(shown.size(), 3u);
  for (const std::string& url : shown) {
    gchar* path = g_filename_from_uri(url.c_str(), nullptr, nullptr);
    ASSERT_NE(path, nullptr) << url;
    EXPECT_TRUE(std::filesystem::is_regular_file(path)) << url;
    EXPECT_EQ(std::string(path).rfind(testing::AssetsFolder().string(), 0), 0u) << url;
    g_free(path);
  }
}

TEST_F(BrowserControlTest, VisibleFollowsTheWidget) {
  WebKitBrowserControl control(SharedEngine());
  Place(control, 0);
  EXPECT_TRUE(control.Visible());
  control.SetVisible(false);
  EXPECT_FALSE(control.Visible());
  EXPECT_FALSE(control.Widget().get_visible());
  control.SetVisible(true);
  EXPECT_TRUE(control.Visible());
  EXPECT_TRUE(control.Widget().get_visible());
}

// A window that is destroyed before the control destroys the view with it (GTK destroys a
// container's children); the control must still go away cleanly afterwards.
TEST_F(BrowserControlTest, AWindowDestroyedFirstLeavesTheControlSafeToDestroy) {
  LoopbackServer server;
  server.Serve("/page.html", kHtml, Page("", "<body><p>p</p></body>"));
  auto control = std::make_unique<WebKitBrowserControl>(SharedEngine());
  Place(*control, 0);
  Events events(*control);
  ASSERT_TRUE(LoadAndWait(
      events, [&] { control->Navigate(server.Url("/page.html")); }, "page"));
  bool viewFinalized = false;
  WatchFinalize(control->View(), &viewFinalized);

  fixed_.reset();
  window_.reset();
  EXPECT_FALSE(viewFinalized) << "the control still holds the view";
  EXPECT_FALSE(gtk_widget_get_parent(GTK_WIDGET(control->View())));
  EXPECT_EQ(control->Widget().gobj(), GTK_WIDGET(control->View()));
  control.reset();
  EXPECT_TRUE(RunUntil([&] { return viewFinalized; }, "the view to go"));
}

// The link under the pointer goes to the status bar, and "" when the pointer leaves it.
TEST_F(BrowserControlTest, TheLinkUnderThePointerIsReported) {
  LoopbackServer server;
  server.Serve("/links.html", kHtml,
               Page("<style>body{margin:0} a{display:block;height:120px;background:#ccd}</style>",
                    "<body><a href=\"/target.html\">a big link</a><p>plain text</p></body>"));
  WebKitBrowserControl control(SharedEngine());
  Place(control, 0);
  window_->move(0, 0);
  Events events(control);
  ASSERT_TRUE(LoadAndWait(
      events, [&] { control.Navigate(server.Url("/links.html")); }, "the page of links"));

  auto pointer = Gdk::Display::get_default()->get_default_seat()->get_pointer();
  int x = 0;
  int y = 0;
  control.Widget().get_window()->get_origin(x, y);
  const auto allocation = control.Widget().get_allocation();
  x += allocation.get_x();
  y += allocation.get_y();

  pointer->warp(window_->get_screen(), x + 40, y + 60);
  ASSERT_TRUE(RunUntil([&] { return events.StatusSeen(server.Url("/target.html")); },
                       "the link's address in the status text"));
  pointer->warp(window_->get_screen(), x + 40, y + 250);
  ASSERT_TRUE(
      RunUntil([&] { return !events.statusTexts.empty() && events.statusTexts.back().empty(); },
               "the status text to clear"));
}

// Sends the view a click of the first mouse button at (x, y) in its own coordinates, as GDK
// delivers one from the X server.
void ClickAt(Gtk::Widget& widget, double x, double y) {
  GdkWindow* window = widget.get_window()->gobj();
  GdkDevice* pointer =
      gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default()));
  const auto allocation = widget.get_allocation();
  for (GdkEventType type : {GDK_BUTTON_PRESS, GDK_BUTTON_RELEASE}) {
    GdkEvent* event = gdk_event_new(type);
    event->button.window = GDK_WINDOW(g_object_ref(window));
    event->button.send_event = FALSE;
    event->button.time = GDK_CURRENT_TIME;
    event->button.x = allocation.get_x() + x;
    event->button.y = allocation.get_y() + y;
    event->button.button = 1;
    event->button.state = type == GDK_BUTTON_RELEASE ? GDK_BUTTON1_MASK : 0;
    gdk_event_set_device(event, pointer);
    gtk_main_do_event(event);
    gdk_event_free(event);
  }
}

// A link that asks for a new window opens in the same pane when the user clicks it; a window a
// script opens on its own is not made, and the page stays.
TEST_F(BrowserControlTest, ALinkForANewWindowOpensInThePane) {
  LoopbackServer server;
  server.Serve("/opener.html", kHtml,
               Page("<style>body{margin:0} a{display:block;height:120px}</style>",
                    "<body><a href=\"/opened.html\" target=\"_blank\">new window</a>"
                    "<script>window.open('/popup.html');</script></body>"));
  const std::string openedBody = "<body><p>opened</p></body>";
  server.Serve("/opened.html", kHtml, Page("", openedBody));
  server.Serve("/popup.html", kHtml, Page("", "<body><p>popup</p></body>"));
  WebKitBrowserControl control(SharedEngine());
  Place(control, 0);
  Events events(control);
  ASSERT_TRUE(LoadAndWait(
      events, [&] { control.Navigate(server.Url("/opener.html")); }, "the page with the link"));
  EXPECT_EQ(control.LocationURL(), server.Url("/opener.html"));

  ASSERT_TRUE(LoadAndWait(
      events, [&] { ClickAt(control.Widget(), 40, 60); }, "the page the link opens"));
  EXPECT_EQ(control.Page()->bodyHtml, openedBody);
  EXPECT_EQ(control.LocationURL(), server.Url("/opened.html"));
  EXPECT_EQ(server.RequestCount("/popup.html"), 0);
}

// A control destroyed while WebKit is still reading its page: the answer comes later and must
// find nothing of the control (the sanitizer build checks this), and the view goes away.
TEST_F(BrowserControlTest, DestroyedWhileReadingThePage) {
  LoopbackServer server;
  server.Serve("/short-lived.html", kHtml, Page("", "<body><p>gone soon</p></body>"));
  auto control = std::make_unique<WebKitBrowserControl>(SharedEngine());
  Place(*control, 0);
  bool completed = false;
  control->DownloadComplete.connect([&](const SharedSnapshot&) { completed = true; });

  struct Watch {
    std::unique_ptr<WebKitBrowserControl>* control;
    bool destroyed = false;
    bool viewFinalized = false;
  } watch{&control};
  WatchFinalize(control->View(), &watch.viewFinalized);
  // On FINISHED, after the control started its read: destroy it before the answer can arrive
  // (a high-priority idle runs before the answer is taken from the web process's channel).
  g_signal_connect(control->View(), "load-changed",
                   G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer data) {
                     if (event != WEBKIT_LOAD_FINISHED) return;
                     g_idle_add_full(
                         G_PRIORITY_HIGH,
                         [](gpointer d) {
                           auto* w = static_cast<Watch*>(d);
                           w->control->reset();
                           w->destroyed = true;
                           return G_SOURCE_REMOVE;
                         },
                         data, nullptr);
                   }),
                   &watch);
  control->Navigate(server.Url("/short-lived.html"));
  ASSERT_TRUE(RunUntil([&] { return watch.destroyed && watch.viewFinalized; },
                       "the control and its view to go"));
  EXPECT_FALSE(completed);
}

// A PNG picture of the given size.
std::string Png(int width, int height) {
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height);
  gdk_pixbuf_fill(pixbuf, 0x3366CCFF);
  gchar* bytes = nullptr;
  gsize size = 0;
  gdk_pixbuf_save_to_buffer(pixbuf, &bytes, &size, "png", nullptr, nullptr);
  std::string out(bytes, size);
  g_free(bytes);
  g_object_unref(pixbuf);
  return out;
}

// The news page of the census tests, served with its style sheet and pictures: the live document
// adds what only the engine knows (style-sheet backgrounds, loaded sizes, the placeholder that
// loaded), and every picture is in the gallery once, after the image tags' entries.
TEST_F(BrowserControlTest, TheLiveCensusPutsEveryPictureInTheGalleryOnce) {
  LoopbackServer server;
  server.Serve("/world/today.html", kHtml,
               testing::ReadFile(std::string(VELMORA_TEST_DATA) + "/census-news.html"));
  server.Serve("/css/site.css", "text/css",
               "@media screen { .weather { background-image: url(../img/weather.png); } }");
  server.Serve("/img/spacer.gif", "image/png", Png(1, 1));
  const std::string picture = Png(3, 2);
  for (const char* path :
       {"/img/logo.svg", "/img/hero-2400.jpg", "/img/masthead.png", "/img/weather.png",
        "/img/search.png", "/img/chart.png", "/img/promo.jpg", "/world/photos/storm-1.jpg",
        "/world/photos/boats-800.jpg", "/world/photos/gulls.jpg", "/world/photos/crowd.jpg",
        "/world/photos/2025/map.png", "/world/photos/2026/map.png",
        "/world/media/briefing-poster.jpg"}) {
    server.Serve(path, "image/png", picture);
  }
  WebKitBrowserControl browser(SharedEngine());
  WebKitBrowserControl images(SharedEngine(), &browser, PageScripts::kOff);
  Place(browser, 0);
  Place(images, kPaneWidth);
  Events browserEvents(browser);
  Events imageEvents(images);
  ASSERT_TRUE(LoadAndWait(
      browserEvents, [&] { browser.Navigate(server.Url("/world/today.html")); }, "the news page"));

  ListPairs lists;
  const AnalysisResult result =
      AnalyzePage(*browser.Page(), WorkFiles(testing::SandboxFolder()), lists);
  ASSERT_TRUE(result.failures.empty());
  std::multiset<std::string> further;
  for (const CensusImage* image : ImagesBeyond(lists.Links[kShownImagesPair], result.census)) {
    further.insert(image->url);
  }
  const auto url = [&](const char* path) { return server.Url(path); };
  EXPECT_EQ(further,
            (std::multiset<std::string>{
                url("/img/hero-2400.jpg"), url("/img/masthead.png"), url("/img/weather.png"),
                url("/world/photos/storm-2-1440.jpg"), url("/world/photos/gulls@2x.jpg"),
                url("/world/photos/2026/map.png"), url("/world/media/briefing-poster.jpg"),
                url("/img/search.png"), url("/img/chart.png"), url("/img/promo.jpg")}));
  // The live census sees the <noscript>'s picture through the markup the read gave beside it.
  ASSERT_TRUE(browser.Page()->hiddenMarkup.has_value());
  EXPECT_TRUE(std::any_of(result.census.begin(), result.census.end(), [&](const CensusImage& i) {
    return i.url == url("/world/photos/storm-1.jpg");
  }));
  for (const CensusImage& image : result.census) {
    if (image.url != url("/world/photos/2026/map.png")) continue;
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 2);
  }

  // The gallery begins with the image tags' entries, unchanged, and its pictures load in a pane
  // that runs no page script.
  const std::string gallery = testing::ReadFile(result.gallery);
  const std::string pairOnly =
      BuildGalleryPage(lists.Links[kShownImagesPair], lists.frmList[kShownImagesPair]);
  EXPECT_EQ(gallery.substr(0, pairOnly.size() + kFurtherImagesHeading.size()),
            pairOnly + std::string(kFurtherImagesHeading));
  ASSERT_TRUE(LoadAndWait(
      imageEvents, [&] { images.Navigate2(result.gallery.string()); }, "the gallery"));
  const std::string loaded =
      EvaluateInPage(images.View(),
                     "String(Array.prototype.filter.call(document.images, function (i) {"
                     "  return i.naturalWidth === 3; }).length)");
  EXPECT_GE(std::stoi(loaded), 10) << loaded;
}

// Panes that show the generated pages run none of a page's own scripts and are not read (the
// program wrote their pages), yet their loads end as any; the pane beside them keeps its scripts.
TEST_F(BrowserControlTest, APaneWithPageScriptsOffRunsNoneAndIsNotRead) {
  const auto file = testing::SandboxFolder() / "scripted.html";
  testing::WriteFile(file,
                     "<html><head><title>quiet</title></head><body><p>text</p>"
                     "<script>document.title = 'ran';</script></body></html>");
  WebKitBrowserControl browser(SharedEngine());
  WebKitBrowserControl quiet(SharedEngine(), &browser, PageScripts::kOff);
  Place(browser, 0);
  Place(quiet, kPaneWidth);
  Events browserEvents(browser);
  Events quietEvents(quiet);
  ASSERT_TRUE(LoadAndWait(
      quietEvents, [&] { quiet.Navigate2(file.string()); }, "the page with scripts off"));
  ASSERT_TRUE(LoadAndWait(
      browserEvents, [&] { browser.Navigate2(file.string()); }, "the page with scripts on"));
  ASSERT_TRUE(RunUntil([&] { return browser.LocationName() == "ran"; }, "the page's script"));
  EXPECT_EQ(quiet.LocationName(), "quiet");
  EXPECT_EQ(quiet.Page()->bodyHtml, "");
  EXPECT_EQ(EvaluateInPage(quiet.View(), "document.body.innerHTML").find("<p>text</p>"), 0u);
  EXPECT_NE(browser.Page()->bodyHtml.find("<p>text</p>"), std::string::npos);
}

}  // namespace
}  // namespace velmora
