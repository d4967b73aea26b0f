// frmWebsite: a small second browser window that opens on the maker's website. It has its own
// address box, Go, Back, Forward, Stop and Refresh, a browser control and a two-panel status
// bar, and it may stay open after the main window has closed.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/entry.h>
#include <gtkmm/frame.h>
#include <gtkmm/label.h>
#include <gtkmm/layout.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hosted/BrowserControl.h"
#include "hosted/DesignWindow.h"
#include "hosted/SkinLabel.h"
#include "hosted/StatusBar.h"
#include "windows/ArrangeWebsiteControls.h"

namespace velmora {

class frmWebsite : public DesignWindow {
 public:
  // The window's client area in twips.
  static constexpr float kWidthTwips = 10545;
  static constexpr float kHeightTwips = 8580;

  // `closed` is called each time the user closes the window (it is hidden by then).
  frmWebsite(std::unique_ptr<BrowserControl> browser, std::function<void()> closed);

  // Handlers, named after their control and event.
  void Form_Load();
  void Form_Resize();
  void Form_Unload();
  void Command3_Click();
  void Text1_KeyPress(int keyAscii);
  void Command4_Click();
  void Command5_Click();
  void Command6_Click();
  void Command7_Click();
  void WebBrowser1_StatusTextChange(const std::string& text);
  void WebBrowser1_DownloadComplete();

  // Places the controls for an outer window size in twips.
  void ApplyLayout(const WebsiteLayout& layout);

  BrowserControl& WebBrowser1() { return *browser_; }

  // The controls, named as the window's design names them. All but the status bar sit in the
  // frame.
  Gtk::Frame frmBrowser{"Browser"};
  Gtk::Label Label5{"URL:"};
  Gtk::Entry Text1;
  Gtk::Button Command3, Command4, Command5, Command6, Command7;
  StatusBar StatusBar1;
  // Skin labels laid over the frame's plain labels; element 0 is the hidden template.
  std::vector<std::unique_ptr<SkinLabel>> SkinLabel1;

 private:
  bool on_delete(GdkEventAny* event);
  // Puts a control of the frame at its design place (twips within the frame).
  void PlaceInFrame(Gtk::Widget& widget, float left, float top, float width, float height);

  std::unique_ptr<BrowserControl> browser_;
  std::function<void()> closed_;
  Gtk::Box vbox_{Gtk::ORIENTATION_VERTICAL};
  Gtk::Layout client_;     // the window's area above the status bar
  Gtk::Layout frameArea_;  // inside the frame, below its caption
};

}  // namespace velmora
