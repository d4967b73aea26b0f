#include "startup/modIdentity.h"

namespace velmora {

std::string strProductName;
std::string strCompanyName;
std::string strWebsite;
bool blnUseSkin = false;
bool blnEndWithWebsiteWindow = false;

void LoadIdentity() {
  // The identity is defined once, by the build (the project's name, company and homepage).
  strProductName = VELMORA_PRODUCT_NAME;
  strCompanyName = VELMORA_COMPANY_NAME;
  strWebsite = VELMORA_WEBSITE;
  blnUseSkin = true;
}

}  // namespace velmora
