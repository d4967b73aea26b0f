// The product identity the windows share. It comes from the version record the build writes into
// the executable (common/VersionRecord.h).
#pragma once

#include <optional>
#include <string>

#include "common/VersionRecord.h"

namespace velmora {

// Set by LoadIdentity.
extern std::string strProductName;  // "Velmora"
extern std::string strCompanyName;  // "Tarnwick"
extern std::string strWebsite;      // the maker's website, a bare host name
extern bool blnUseSkin;             // windows wear the skin

// Fills the identity globals from the running program's version record and sets blnUseSkin.
// Only the first call does this; calling it again changes nothing.
void LoadIdentity();

// Fills the identity globals from `record` and sets blnUseSkin, every time it is called. Without
// a record it uses the built-in identity (the project's, compiled in) and prints one line on
// standard error that says so. Returns whether the record was used.
bool ApplyIdentity(const std::optional<VersionRecord>& record);

}  // namespace velmora
