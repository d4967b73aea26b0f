#include "hosted/StatusBar.h"

#include <algorithm>
#include <stdexcept>

namespace velmora {

StatusBar::StatusBar(int heightPixels) : height_(heightPixels) {
  set_size_request(-1, height_);
  get_style_context()->add_class("statusbar");
  AddPanel();
}

void StatusBar::AddPanel() {
  auto panel = std::make_unique<Panel>();
  panel->width = kDefaultPanelWidth;
  panel->frame.set_shadow_type(Gtk::SHADOW_IN);
  panel->label.set_xalign(0);
  panel->label.set_ellipsize(Pango::ELLIPSIZE_END);
  panel->label.set_margin_start(3);
  panel->frame.add(panel->label);
  put(panel->frame, 0, 0);
  panel->frame.show_all();
  panels_.push_back(std::move(panel));
  PlacePanels();
}

StatusBar::Panel& StatusBar::At(int panel) {
  if (panel < 1 || panel > PanelCount()) throw std::out_of_range("no such status bar panel");
  return *panels_[static_cast<std::size_t>(panel - 1)];
}

const StatusBar::Panel& StatusBar::At(int panel) const {
  return const_cast<StatusBar*>(this)->At(panel);
}

void StatusBar::SetPanelText(int panel, const std::string& text) {
  At(panel).label.set_text(text);
}

std::string StatusBar::PanelText(int panel) const {
  return At(panel).label.get_text();
}

void StatusBar::SetPanelWidth(int panel, int pixels) {
  At(panel).width = std::max(0, pixels);
  PlacePanels();
}

int StatusBar::PanelWidth(int panel) const {
  return At(panel).width;
}

int StatusBar::PanelLeft(int panel) const {
  int left = 0;
  for (int i = 1; i < panel; ++i) left += At(i).width;
  return left;
}

void StatusBar::PlacePanels() {
  int left = 0;
  for (auto& panel : panels_) {
    move(panel->frame, left, 0);
    panel->frame.set_size_request(panel->width, height_);
    left += panel->width;
  }
}

}  // namespace velmora
