// The two commands of the main window's Tools menu: item 0 puts the program into the system
// browser's Tools menu (and among the desktop's applications), item 1 takes it out again. Each
// switches the two items whether or not its writes succeeded; nothing is shown on a failure.
#pragma once

#include <gtkmm/menuitem.h>

#include <array>

#include "desktop/IEToolsCore.h"

namespace velmora {

// The running program: strProductName (the identity is loaded first if it was not yet),
// ProgramFolder(), the executable's file name and the user's applications folder.
ietools::ProgramPlace CurrentProgramPlace();

// Writes the extension key and the desktop entry (ietools::AddProgramEntries), then disables
// item 0 and enables item 1.
void AddToIETools(std::array<Gtk::MenuItem, 2>& toolsItems);

// Deletes the extension key and the desktop entry (ietools::RemoveProgramEntries), then disables
// item 1 and enables item 0.
void RemoveFromIETools(std::array<Gtk::MenuItem, 2>& toolsItems);

}  // namespace velmora
