// The identity globals, filled from the version record the running program carries.
#include "common/modIdentity.h"

#include <cstdio>
#include <mutex>

namespace velmora {

std::string strProductName;
std::string strCompanyName;
std::string strWebsite;
bool blnUseSkin = false;

namespace {

// The note is in an object file that nothing calls into; referring to its anchor makes the
// linker bring it into every program that loads the identity.
[[gnu::used]] const char* const kVersionNoteKeeper = &kVersionNoteAnchor;

}  // namespace

bool ApplyIdentity(const std::optional<VersionRecord>& record, const VersionRecordError& why) {
  blnUseSkin = true;
  if (record) {
    strProductName = record->productName;
    strCompanyName = record->companyName;
    strWebsite = record->comments;
    return true;
  }
  strProductName = kFallbackProductName;
  strCompanyName = kFallbackCompanyName;
  strWebsite = kFallbackWebsite;
  std::fprintf(
      stderr,
      "velmora: cannot read the program's version record: %s; using the built-in %s, %s, %s\n",
      why.message.c_str(), strProductName.c_str(), strCompanyName.c_str(), strWebsite.c_str());
  return false;
}

void LoadIdentity() {
  static std::once_flag loaded;
  std::call_once(loaded, [] {
    VersionRecordError why;
    const std::optional<VersionRecord> record = ReadLoadedVersionRecord(&why);
    ApplyIdentity(record, why);
  });
}

}  // namespace velmora
