// The Source Code tab's toolbar in the main window with real WebKit panes, against a page served
// on 127.0.0.1 whose script adds an element: As shown holds the element, As served holds the
// script and the server's text (decoded with the page's charset) without a second request, and
// Ctrl+U moves between the two. Each view is photographed for the record.
#include <gdkmm/pixbuf.h>
#include <glibmm/main.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

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

  // The Browser tab has no source toolbar.
  form_->SelectTab(0);
  EXPECT_FALSE(form_->sourceTool.get_visible());
}

}  // namespace
}  // namespace velmora
