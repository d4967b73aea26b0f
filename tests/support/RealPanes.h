// The main window with its three panes on the window tests' shared engine, for the tests that run
// it with real WebKit panes against a loopback server.
#pragma once

#include <array>
#include <memory>

#include "hosted/WebKitBrowserControl.h"
#include "mainwindow/Form1.h"
#include "tests/hosted/WindowTest.h"

namespace velmora::testing {

// Puts into `parts` the panes as the program makes them, the Source Code and Images panes
// related to the browsing pane (`generated`: whether they run page scripts), and the work files
// in the sandbox folder; `panes` gets the three controls.
inline void AddRealPanes(Form1Parts& parts, std::array<WebKitBrowserControl*, 3>& panes,
                         PageScripts generated) {
  auto pane0 = std::make_unique<WebKitBrowserControl>(SharedEngine());
  auto pane1 = std::make_unique<WebKitBrowserControl>(SharedEngine(), pane0.get(), generated);
  auto pane2 = std::make_unique<WebKitBrowserControl>(SharedEngine(), pane0.get(), generated);
  panes = {pane0.get(), pane1.get(), pane2.get()};
  parts.panes = {std::move(pane0), std::move(pane1), std::move(pane2)};
  parts.workFiles = WorkFiles(SandboxFolder());
}

// Makes the window of `parts` (with the panes of AddRealPanes), counts in `finished` the loads
// each pane finishes, loads it and shows it.
inline std::unique_ptr<Form1> ShowMainWindow(Form1Parts parts,
                                             const std::array<WebKitBrowserControl*, 3>& panes,
                                             std::array<int, 3>& finished) {
  auto form = std::make_unique<Form1>(std::move(parts));
  for (std::size_t i = 0; i < panes.size(); ++i) {
    panes[i]->DownloadComplete.connect([&finished, i](const SharedSnapshot&) { ++finished[i]; });
  }
  form->Form_Load();
  form->show();
  return form;
}

}  // namespace velmora::testing
