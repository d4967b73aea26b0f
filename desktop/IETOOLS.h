// The two commands of the main window's Tools menu: item 0 puts the program into the system
// browser's Tools menu (and among the desktop's applications), item 1 takes it out again.
#pragma once

#include "desktop/IEToolsCore.h"

namespace velmora {

// The running program: strProductName (the identity is loaded first if it was not yet),
// ProgramFolder(), the executable's file name and the user's applications folder.
ietools::ProgramPlace CurrentProgramPlace();

// Writes the extension key and the desktop entry (ietools::AddProgramEntries). True when all
// of it was written.
bool AddToIETools();

// Deletes the extension key and the desktop entry (ietools::RemoveProgramEntries). True when
// neither is left.
bool RemoveFromIETools();

}  // namespace velmora
