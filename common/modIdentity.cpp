// The identity globals, filled from the version record the running program carries.
#include "common/modIdentity.h"

#include <cstdio>
#include <mutex>

namespace velmora {

std::string strProductName;
std::string strCompanyName;
std::string strWebsite;
bool blnUseSkin = false;

bool ApplyIdentity(const std::optional<VersionRecord>& record) {
  blnUseSkin = true;
  if (record) {
    strProductName = record->productName;
    strCompanyName = record->companyName;
    strWebsite = record->comments;
    return true;
  }
  // The same fields as the record's, from the project's definition (common/CMakeLists.txt).
  strProductName = VELMORA_PRODUCT_NAME;
  strCompanyName = VELMORA_COMPANY_NAME;
  strWebsite = VELMORA_WEBSITE;
  std::fprintf(stderr,
               "velmora: the program carries no version record; using the built-in %s, %s, %s\n",
               strProductName.c_str(), strCompanyName.c_str(), strWebsite.c_str());
  return false;
}

void LoadIdentity() {
  static std::once_flag loaded;
  std::call_once(loaded, [] { ApplyIdentity(ReadVersionRecord()); });
}

}  // namespace velmora
