// The Images tool in a window of its own, above fake panes, as the tool's tests and benchmark
// show it: the toolbar on top, the grid (or the gallery pane) below, the Images tab selected.
#pragma once

#include <gtkmm/layout.h>
#include <gtkmm/window.h>

#include <functional>
#include <memory>

#include "mainwindow/ImagesTool.h"
#include "support/FakeBrowserControl.h"

namespace velmora::testing {

class ImagesToolWindow {
 public:
  // A window of `width` x `height` pixels; `configure` adds to the tool's parts what the caller
  // needs beyond the window, the two panes and the slot for saving.
  ImagesToolWindow(int width, int height,
                   const std::function<void(ImagesToolParts&)>& configure = {}) {
    ImagesToolParts parts;
    parts.window = &window;
    parts.page = &page;
    parts.gallery = &gallery;
    parts.saving = &saving;
    if (configure) configure(parts);
    tool = std::make_unique<ImagesTool>(std::move(parts));
    layout.put(gallery.Widget(), 0, 0);
    tool->AddTo(layout);
    window.add(layout);
    window.set_default_size(width, height);
    window.show_all();
    tool->FollowTab(2);
    int top = 0;
    int paneHeight = height;
    tool->Place(layout, 0, top, width, paneHeight);
  }

  Gtk::Window window;
  Gtk::Layout layout;
  FakeBrowserControl page;     // pane 0: the bytes it holds are the thumbnails' and savings'
  FakeBrowserControl gallery;  // pane 2: the List view
  std::unique_ptr<SaveImagesWindow> saving;
  std::unique_ptr<ImagesTool> tool;
};

}  // namespace velmora::testing
