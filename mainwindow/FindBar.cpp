#include "mainwindow/FindBar.h"

#include <gdk/gdkkeysyms.h>
#include <gtkmm/accelgroup.h>

#include <string>

namespace velmora {

FindBar::FindBar() : Gtk::Box(Gtk::ORIENTATION_HORIZONTAL, 4) {
  const auto iconButton = [](Gtk::Button& button, const char* icon, const char* tooltip) {
    button.set_image_from_icon_name(icon, Gtk::ICON_SIZE_MENU);
    button.set_tooltip_text(tooltip);
    button.set_relief(Gtk::RELIEF_NONE);
    button.set_can_focus(false);
  };
  iconButton(cmdFindPrevious, "go-up", "Previous match (Shift+F3)");
  iconButton(cmdFindNext, "go-down", "Next match (F3)");
  iconButton(cmdFindClose, "window-close", "Close the find bar (Escape)");
  txtFind.set_placeholder_text("Find in page");
  txtFind.set_width_chars(30);
  lblFindCount.set_has_frame(false);
  lblFindCount.set_editable(false);
  lblFindCount.set_can_focus(false);
  lblFindCount.set_width_chars(22);
  lblFindCount.get_style_context()->add_class("address-label");
  set_border_width(2);
  pack_start(txtFind, Gtk::PACK_SHRINK);
  pack_start(cmdFindPrevious, Gtk::PACK_SHRINK);
  pack_start(cmdFindNext, Gtk::PACK_SHRINK);
  pack_start(lblFindCount, Gtk::PACK_SHRINK, 6);
  pack_end(cmdFindClose, Gtk::PACK_SHRINK);
  show_all();
  set_no_show_all(true);
  hide();

  txtFind.signal_search_changed().connect([this] {
    if (pane_ != nullptr) pane_->Find(txtFind.get_text(), false);
  });
  txtFind.signal_key_press_event().connect(
      [this](GdkEventKey* event) {
        const guint mods = event->state & gtk_accelerator_get_default_mod_mask();
        if ((event->keyval == GDK_KEY_Return || event->keyval == GDK_KEY_KP_Enter) &&
            pane_ != nullptr) {
          FindAgain(*pane_, mods == GDK_SHIFT_MASK);
          return true;
        }
        if (event->keyval == GDK_KEY_Escape && mods == 0) {
          Close();
          return true;
        }
        return false;
      },
      false);
  cmdFindPrevious.signal_clicked().connect([this] {
    if (pane_ != nullptr) FindAgain(*pane_, true);
  });
  cmdFindNext.signal_clicked().connect([this] {
    if (pane_ != nullptr) FindAgain(*pane_, false);
  });
  cmdFindClose.signal_clicked().connect([this] { Close(); });
}

void FindBar::Open(BrowserControl& pane) {
  pane_ = &pane;
  show();
  txtFind.grab_focus();
  txtFind.select_region(0, -1);
  // A new search from the top of the page.
  pane.EndFind();
  if (!txtFind.get_text().empty()) pane.Find(txtFind.get_text(), false);
}

void FindBar::FindAgain(BrowserControl& pane, bool backwards) {
  if (!get_visible() || pane_ == nullptr) {
    Open(pane);
    return;
  }
  pane_->Find(txtFind.get_text(), backwards);
}

void FindBar::Close() {
  if (!get_visible()) return;
  BrowserControl* pane = pane_;
  pane_ = nullptr;
  lblFindCount.set_text("");
  hide();
  if (pane != nullptr) {
    pane->EndFind();
    pane->Widget().grab_focus();
  }
}

void FindBar::Follow(BrowserControl* pane) {
  if (!get_visible() || pane == pane_) return;
  if (pane_ != nullptr) pane_->EndFind();
  pane_ = pane;
  lblFindCount.set_text("");
  if (pane_ != nullptr && !txtFind.get_text().empty()) pane_->Find(txtFind.get_text(), false);
}

void FindBar::ShowCount(const BrowserControl& pane, unsigned matches) {
  if (&pane != pane_) return;
  if (txtFind.get_text().empty()) {
    lblFindCount.set_text("");
  } else if (matches == BrowserControl::kManyMatches) {
    lblFindCount.set_text("More than " + std::to_string(BrowserControl::kMaxCountedMatches) +
                          " matches");
  } else if (matches == 0) {
    lblFindCount.set_text("No matches");
  } else {
    lblFindCount.set_text(std::to_string(matches) + (matches == 1 ? " match" : " matches"));
  }
}

}  // namespace velmora
