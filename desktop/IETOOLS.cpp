#include "desktop/IETOOLS.h"

#include "common/ProgramFolder.h"
#include "common/modIdentity.h"
#include "desktop/DesktopEntry.h"

namespace velmora {

ietools::ProgramPlace CurrentProgramPlace() {
  if (strProductName.empty()) LoadIdentity();
  std::error_code error;
  const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  return {strProductName, ProgramFolder(), error ? std::string() : executable.filename().string(),
          desktop::UserApplicationsFolder()};
}

bool AddToIETools() {
  return ietools::AddProgramEntries(CurrentProgramPlace());
}

bool RemoveFromIETools() {
  return ietools::RemoveProgramEntries(desktop::UserApplicationsFolder());
}

}  // namespace velmora
