// The product identity and the other run-wide globals that the windows share.
#pragma once

#include <string>

namespace velmora {

// Set by LoadIdentity.
extern std::string strProductName;  // "Velmora"
extern std::string strCompanyName;  // "Tarnwick"
extern std::string strWebsite;      // the maker's website, a bare host name
extern bool blnUseSkin;             // windows wear the skin

// Set false at start; set by the main window's unload when the website window is still open,
// so that closing the website window ends the program.
extern bool blnEndWithWebsiteWindow;

// Fills the identity globals and sets blnUseSkin. Calling it again changes nothing.
void LoadIdentity();

}  // namespace velmora
