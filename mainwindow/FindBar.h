// The find bar: a strip under the pane the user is looking at, with the text to find, previous
// and next, the number of matches and a close button. It searches one pane at a time, and an open
// bar follows the user to another pane.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/entry.h>
#include <gtkmm/searchentry.h>

#include "hosted/BrowserControl.h"

namespace velmora {

class FindBar : public Gtk::Box {
 public:
  FindBar();

  // Shows the bar for `pane`, selects its text for typing over, and searches from the top of
  // the page again.
  void Open(BrowserControl& pane);
  // Moves to the next match (the previous with `backwards`); a closed bar is opened for `pane`
  // instead.
  void FindAgain(BrowserControl& pane, bool backwards);
  // Hides the bar, clears the marks and gives the pane the focus back.
  void Close();
  // The user now looks at `pane` (nullptr: at none): an open bar searches there.
  void Follow(BrowserControl* pane);
  // Shows the number of matches that `pane` reported, when it is the pane searched.
  void ShowCount(const BrowserControl& pane, unsigned matches);

  Gtk::SearchEntry txtFind;
  Gtk::Button cmdFindPrevious, cmdFindNext, cmdFindClose;
  Gtk::Entry lblFindCount;  // read-only and borderless, as the main window's "URL:" is

 private:
  BrowserControl* pane_ = nullptr;  // the pane searched while the bar shows
};

}  // namespace velmora
