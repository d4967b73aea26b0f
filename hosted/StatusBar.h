// A status bar made of panels side by side, each a text with a width of its own. A panel may
// reach past the bar's right edge; it is cut off there and never widens the window.
#pragma once

#include <gtkmm/frame.h>
#include <gtkmm/label.h>
#include <gtkmm/layout.h>

#include <memory>
#include <string>
#include <vector>

namespace velmora {

class StatusBar : public Gtk::Layout {
 public:
  explicit StatusBar(int heightPixels);

  // Adds a panel with the default width at the right of the others.
  void AddPanel();
  int PanelCount() const { return static_cast<int>(panels_.size()); }

  // Panels are numbered from 1, as the status bar's users count them.
  void SetPanelText(int panel, const std::string& text);
  std::string PanelText(int panel) const;
  void SetPanelWidth(int panel, int pixels);
  int PanelWidth(int panel) const;
  // The left edge of a panel within the bar.
  int PanelLeft(int panel) const;

 private:
  struct Panel {
    Gtk::Frame frame;
    Gtk::Label label;
    int width = 0;
  };
  static constexpr int kDefaultPanelWidth = 96;

  Panel& At(int panel);
  const Panel& At(int panel) const;
  void PlacePanels();

  int height_;
  std::vector<std::unique_ptr<Panel>> panels_;
};

}  // namespace velmora
