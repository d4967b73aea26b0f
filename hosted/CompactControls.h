// Controls as compact as the windows' designs draw them: command buttons with a picture from
// the desktop icon theme and a small caption, and text boxes one line of text high.
#pragma once

#include <gtkmm/button.h>
#include <gtkmm/entry.h>

namespace velmora {

// Gives the button its caption, tool tip (none when nullptr) and picture: `pixelSize` square,
// above the caption or beside it.
void MakePictureButton(Gtk::Button& button, const char* caption, const char* tooltip,
                       const char* iconName, int pixelSize, bool pictureAbove);

// Lets the text box be as low as its design (a 315-twip address row) instead of the theme's
// taller minimum.
void MakeCompactEntry(Gtk::Entry& entry);

}  // namespace velmora
