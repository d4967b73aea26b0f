// The main window with its three panes on the window tests' shared engine, for the tests that run
// it with real WebKit panes against a loopback server, and its photographs for the record.
#pragma once

#include <gdkmm/pixbuf.h>
#include <glibmm/main.h>
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

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

// Saves what the window shows on the screen as a PNG in the temporary folder and names it on the
// output.
inline Glib::RefPtr<Gdk::Pixbuf> Photograph(Gtk::Window& window, const std::string& name) {
  // The pointer out of the way: no tooltip over what is photographed.
  gdk_device_warp(gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default())),
                  gdk_screen_get_default(), 0, 0);
  bool painted = false;
  Glib::signal_timeout().connect_once([&painted] { painted = true; }, 700);
  RunUntil([&painted] { return painted; }, "the window to paint");
  // From the screen, as it shows the window and every window inside it.
  int x = 0;
  int y = 0;
  window.get_window()->get_origin(x, y);
  const auto pixbuf = Gdk::Pixbuf::create(Gdk::Window::get_default_root_window(), x, y,
                                          window.get_width(), window.get_height());
  EXPECT_TRUE(pixbuf);
  if (!pixbuf) return pixbuf;
  const std::filesystem::path file = std::filesystem::temp_directory_path() / name;
  pixbuf->save(file.string(), "png");
  std::cout << "screenshot: " << file.string() << "\n";
  return pixbuf;
}

}  // namespace velmora::testing
