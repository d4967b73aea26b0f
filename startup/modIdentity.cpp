// The identity globals, filled from the version record in the executable's own file.
#include "startup/modIdentity.h"

#include <cstdio>
#include <mutex>
#include <optional>

#include "common/VersionRecord.h"

namespace velmora {

std::string strProductName;
std::string strCompanyName;
std::string strWebsite;
bool blnUseSkin = false;
bool blnEndWithWebsiteWindow = false;
SkinControl* sknShared = nullptr;
SkinCompanion* objSkinCompanion = nullptr;

namespace {

// The note is in an object file that nothing calls into; referring to its anchor makes the
// linker bring it into every program that loads the identity.
[[gnu::used]] const char* const kVersionNoteKeeper = &kVersionNoteAnchor;

// The file as messages name it: a link such as /proc/self/exe also by what it points to.
std::string DescribeFile(const std::filesystem::path& file) {
  std::error_code error;
  const std::filesystem::path target = std::filesystem::read_symlink(file, error);
  if (error) return file.string();
  return file.string() + " (" + target.string() + ")";
}

}  // namespace

bool LoadIdentityFrom(const std::filesystem::path& executable) {
  blnUseSkin = true;
  VersionRecordError error;
  const std::optional<VersionRecord> record = ReadVersionRecordOfFile(executable, &error);
  if (record) {
    strProductName = record->productName;
    strCompanyName = record->companyName;
    strWebsite = record->comments;
    return true;
  }
  strProductName = kFallbackProductName;
  strCompanyName = kFallbackCompanyName;
  strWebsite = kFallbackWebsite;
  std::fprintf(stderr,
               "velmora: cannot read the version record of %s: %s; using the built-in %s, %s, %s\n",
               DescribeFile(executable).c_str(), error.message.c_str(), strProductName.c_str(),
               strCompanyName.c_str(), strWebsite.c_str());
  return false;
}

void LoadIdentity() {
  static std::once_flag loaded;
  std::call_once(loaded, [] { LoadIdentityFrom("/proc/self/exe"); });
}

}  // namespace velmora
