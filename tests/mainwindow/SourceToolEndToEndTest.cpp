// The Source Code tab's toolbar in the main window with real WebKit panes, against a page served
// on 127.0.0.1 whose script adds an element: As shown holds the element, As served holds the
// script and the server's text (decoded with the page's charset) without a second request, and
// Ctrl+U moves between the two. Each view is photographed for the record.
#include <gdkmm/pixbuf.h>
#include <glibmm/main.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <array>
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
#include "tests/support/PressKey.h"
#include "tests/support/RealPanes.h"
#include "tests/support/TempFolder.h"

namespace velmora {
namespace {

using testing::PressKey;

using testing::LoopbackServer;
using testing::Photograph;
using testing::ReadFile;
using testing::RunUntil;

// Latin-1: "café" is one byte 0xE9 on the wire. The script's class name is put together at run
// time, so the served text never holds it whole.
const std::string kScriptedPage =
    "<!DOCTYPE html><html><head><title>Scripted</title></head><body>\n"
    "<p>Caf\xe9 menu</p>\n"
    "<script>const p = document.createElement('p'); p.className = 'from' + 'script';"
    " p.textContent = 'Added later'; document.body.appendChild(p);</script>\n"
    "</body></html>\n";

class SourceToolEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::DisplayAvailable()) GTEST_SKIP() << "no display";
    LoadIdentity();
    server_.Serve("/scripted.html", "text/html; charset=iso-8859-1", kScriptedPage);

    Form1Parts parts;
    testing::AddRealPanes(parts, panes_, PageScripts::kOn);
    form_ = testing::ShowMainWindow(std::move(parts), panes_, finished_);
    ASSERT_TRUE(
        RunUntil([this] { return finished_[0] >= 1 && finished_[1] >= 1 && finished_[2] >= 1; },
                 "the start page and its gallery"));
  }

  void TearDown() override {
    if (form_) form_->hide();
    form_.reset();
  }

  std::filesystem::path Work(const char* name) const { return testing::SandboxFolder() / name; }

  // Waits until pane 1 has finished a page at `file`.
  bool WaitForSourcePane(const std::filesystem::path& file, int before) {
    return RunUntil(
        [&] {
          return finished_[1] > before && panes_[1]->LocationURL() == "file://" + file.string();
        },
        file.filename().string());
  }

  LoopbackServer server_;
  std::unique_ptr<Form1> form_;
  std::array<WebKitBrowserControl*, 3> panes_{};
  std::array<int, 3> finished_{};
};

TEST_F(SourceToolEndToEnd, AsShownAndAsServedShowTheirOwnTextsFromOneRequest) {
  form_->SelectTab(1);
  EXPECT_TRUE(form_->sourceTool.get_visible()) << "the toolbar shows with the Source Code tab";
  EXPECT_TRUE(form_->sourceTool.optShown.get_active());
  EXPECT_LT(panes_[1]->Widget().get_allocated_height() + 0, form_->get_height());

  form_->txtUrl.set_text(server_.Url("/scripted.html"));
  // The pane shows the new page's view once the page is analysed.
  const int pages = finished_[0];
  form_->cmdGo_Click();
  ASSERT_TRUE(RunUntil(
      [&] {
        return finished_[0] > pages && panes_[0]->LocationURL() == server_.Url("/scripted.html");
      },
      "the scripted page"));
  int before = finished_[1];
  ASSERT_TRUE(WaitForSourcePane(Work("source.htm"), before));
  const std::string shown = ReadFile(Work("source.htm"));
  EXPECT_NE(shown.find("fromscript"), std::string::npos) << "the element the script added";
  Photograph(*form_, "velmora-source-as-shown.png");

  // Ctrl+U: the page as the server sent it.
  before = finished_[1];
  PressKey(*form_, GDK_KEY_u, GDK_CONTROL_MASK);
  EXPECT_TRUE(form_->sourceTool.Choices().served);
  EXPECT_TRUE(form_->sourceTool.optServed.get_active());
  ASSERT_TRUE(WaitForSourcePane(Work("served.htm"), before));
  const std::string served = ReadFile(Work("served.htm"));
  EXPECT_NE(served.find("&lt;!DOCTYPE html&gt;"), std::string::npos) << served;
  EXPECT_NE(served.find("document.createElement('p')"), std::string::npos) << served;
  EXPECT_NE(served.find("Caf\xc3\xa9 menu"), std::string::npos) << "decoded as Latin-1";
  EXPECT_EQ(served.find("fromscript"), std::string::npos) << "not the element the script added";
  EXPECT_NE(panes_[1]->Page()->bodyHtml.find("createElement"), std::string::npos);
  Photograph(*form_, "velmora-source-as-served.png");
  EXPECT_EQ(server_.RequestCount("/scripted.html"), 1) << "no second request for the page";

  // File > Save Source As… keeps the exact bytes received, in Latin-1 as they came.
  const testing::TempFolder saved;
  std::string proposed;
  form_->sourceTool.askSaveFile = [&](const std::string& name) {
    proposed = name;
    return std::optional<std::filesystem::path>(saved.path() / "served.html");
  };
  form_->sourceTool.mnuSaveSource.activate();
  EXPECT_EQ(proposed, "scripted.html");
  EXPECT_EQ(ReadFile(saved.path() / "served.html"), kScriptedPage);
  EXPECT_EQ(server_.RequestCount("/scripted.html"), 1);

  // Back to As shown, numbered: a view beside source.htm, which stays as it was.
  before = finished_[1];
  PressKey(*form_, GDK_KEY_u, GDK_CONTROL_MASK);
  ASSERT_TRUE(WaitForSourcePane(Work("source.htm"), before));
  before = finished_[1];
  form_->sourceTool.chkLineNumbers.set_active(true);
  ASSERT_TRUE(WaitForSourcePane(Work("shown.htm"), before));
  EXPECT_NE(ReadFile(Work("shown.htm")).find("fromscript"), std::string::npos);
  EXPECT_EQ(ReadFile(Work("source.htm")), shown);
  Photograph(*form_, "velmora-source-as-shown-numbered.png");
  form_->sourceTool.askSaveFile = [&](const std::string&) {
    return std::optional<std::filesystem::path>(saved.path() / "shown.html");
  };
  form_->sourceTool.SaveSource();
  EXPECT_EQ(ReadFile(saved.path() / "shown.html"), panes_[0]->Page()->bodyHtml)
      << "the body as the script left it";

  // Numbered and coloured; then as served, coloured, not wrapped.
  before = finished_[1];
  form_->sourceTool.SetChoices({false, {true, true, true}});
  ASSERT_TRUE(WaitForSourcePane(Work("shown.htm"), before));
  Photograph(*form_, "velmora-source-as-shown-numbered-coloured.png");
  before = finished_[1];
  form_->sourceTool.SetChoices({true, {false, false, true}});
  ASSERT_TRUE(WaitForSourcePane(Work("served.htm"), before));
  Photograph(*form_, "velmora-source-as-served-coloured-unwrapped.png");
  form_->sourceTool.SetChoices({});

  // The Browser tab has no source toolbar.
  form_->SelectTab(0);
  EXPECT_FALSE(form_->sourceTool.get_visible());
}

// A line of 60,000 characters.
std::string LongLine() {
  std::string line;
  for (int i = 0; i < 5'000; ++i) line += "<b>bold</b> ";
  return line;
}

// A page of `bytes` in lines of markup, with a picture name now and then and a long line.
std::string LargePage(std::size_t bytes) {
  std::string page = "<!DOCTYPE html><html><body>\n";
  for (std::size_t line = 1; page.size() < bytes; ++line) {
    page += "<p class=\"row\">Line " + std::to_string(line) + " &amp; its   text</p>";
    if (line % 50 == 0) page += "<img src=\"pic" + std::to_string(line % 7) + ".gif\">";
    page += "\n";
    if (line == 100) page += LongLine() + "\n";
  }
  return page + "</body></html>\n";
}

TEST_F(SourceToolEndToEnd, ALargePageShowsInBlocksThatShowAndCopyWhatSourceHtmDoes) {
  server_.Serve("/large.html", "text/html; charset=utf-8", LargePage(300'000));
  server_.Serve("/huge.html", "text/html; charset=utf-8", LargePage(10'000'000));
  form_->SelectTab(1);
  constexpr const char* kCopyAll =
      "getSelection().selectAllChildren(document.body); getSelection().toString()";

  int before = finished_[1];
  form_->txtUrl.set_text(server_.Url("/large.html"));
  form_->cmdGo_Click();
  ASSERT_TRUE(WaitForSourcePane(Work("source-blocks.htm"), before));
  // source.htm is written as always; the pane shows it in blocks.
  const std::string source = ReadFile(Work("source.htm"));
  const std::string blocks = ReadFile(Work("source-blocks.htm"));
  EXPECT_NE(source.find("Line 5000 &amp; its"), std::string::npos);
  EXPECT_GT(blocks.size(), source.size());
  // The find bar finds text in blocks not laid out yet, and selects it.
  unsigned matches = 0;
  bool found = false;
  sigc::connection counting = panes_[1]->FindResult.connect([&](unsigned n) {
    matches = n;
    found = true;
  });
  panes_[1]->Find("Line 5000 & its", false);
  ASSERT_TRUE(RunUntil([&] { return found; }, "the find's answer"));
  counting.disconnect();
  EXPECT_EQ(matches, 1u);
  // (The engine scrolls to the match; a block laid out above it then may move it a little.)
  EXPECT_EQ(testing::EvaluateInPage(panes_[1]->View(), "getSelection().toString()"),
            "Line 5000 & its");
  panes_[1]->EndFind();
  const std::string copiedFromBlocks = testing::EvaluateInPage(panes_[1]->View(), kCopyAll);
  before = finished_[1];
  panes_[1]->Navigate(Work("source.htm").string());
  ASSERT_TRUE(WaitForSourcePane(Work("source.htm"), before));
  const std::string copiedFromSource = testing::EvaluateInPage(panes_[1]->View(), kCopyAll);
  EXPECT_GT(copiedFromSource.size(), 200'000u);
  EXPECT_NE(copiedFromSource.find("<p class=\"row\">Line 5000 & its text</p>"), std::string::npos);
  EXPECT_TRUE(copiedFromBlocks == copiedFromSource)
      << "the view in blocks copies other text than source.htm: " << copiedFromBlocks.size()
      << " against " << copiedFromSource.size() << " characters";

  // Not wrapped, the long line comes in pieces that copy as the line.
  before = finished_[1];
  form_->sourceTool.SetChoices({false, {false, true, true}});
  ASSERT_TRUE(WaitForSourcePane(Work("shown.htm"), before));
  EXPECT_NE(ReadFile(Work("shown.htm")).find("<span class=\"p\">"), std::string::npos);
  const std::string copiedUnwrapped = testing::EvaluateInPage(panes_[1]->View(), kCopyAll);
  EXPECT_NE(copiedUnwrapped.find("\n" + LongLine() + "\n"), std::string::npos);
  EXPECT_NE(copiedUnwrapped.find("<p class=\"row\">Line 5000 &amp; its   text</p>"),
            std::string::npos);
  // A jump to a line far down the view (the same page: no new load) finds it in its block and
  // shows it.
  webkit_web_view_load_uri(panes_[1]->View(),
                           ("file://" + Work("shown.htm").string() + "#5000").c_str());
  std::string inSight;
  for (int tries = 0; tries < 50 && inSight != "true"; ++tries) {
    bool waited = false;
    Glib::signal_timeout().connect_once([&waited] { waited = true; }, 100);
    RunUntil([&waited] { return waited; }, "a moment");
    inSight = testing::EvaluateInPage(
        panes_[1]->View(),
        "(() => { const y = document.getElementById('5000').getBoundingClientRect().top;"
        " return String(location.hash == '#5000' && scrollY > 0 && y >= 0 && y < innerHeight);"
        " })()");
  }
  EXPECT_EQ(inSight, "true");
  form_->sourceTool.SetChoices({});

  // A page of 10 MB shows, and scrolls.
  before = finished_[1];
  form_->txtUrl.set_text(server_.Url("/huge.html"));
  form_->cmdGo_Click();
  ASSERT_TRUE(WaitForSourcePane(Work("source-blocks.htm"), before));
  EXPECT_EQ(testing::EvaluateInPage(panes_[1]->View(), "scrollTo(0, 2000000); String(scrollY > 0)"),
            "true");
  EXPECT_EQ(testing::EvaluateInPage(panes_[1]->View(), "scrollTo(0, 0); String(scrollY)"), "0");
  Photograph(*form_, "velmora-source-10mb.png");
}

}  // namespace
}  // namespace velmora
