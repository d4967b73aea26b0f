// The product identity the windows share. It comes from the version record the build writes into
// the executable (common/VersionRecord.h).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/VersionRecord.h"

namespace velmora {

// Set by LoadIdentity.
extern std::string strProductName;  // "Velmora"
extern std::string strCompanyName;  // "Tarnwick"
extern std::string strWebsite;      // the maker's website, a bare host name
extern bool blnUseSkin;             // windows wear the skin

// The identity used when the executable's version record cannot be read. The build writes the
// real one from the project's definition; these are only the fallback.
inline constexpr std::string_view kFallbackProductName = "Velmora";
inline constexpr std::string_view kFallbackCompanyName = "Tarnwick";
inline constexpr std::string_view kFallbackWebsite = "www.tarnwick.example";

// Fills the identity globals from the running program's version record and sets blnUseSkin.
// Only the first call does this; calling it again changes nothing.
void LoadIdentity();

// Fills the identity globals from `record` and sets blnUseSkin, every time it is called. Without
// a record it prints one message on standard error that says `why`, and uses the fallback
// identity. Returns whether the record was used.
bool ApplyIdentity(const std::optional<VersionRecord>& record, const VersionRecordError& why);

}  // namespace velmora
