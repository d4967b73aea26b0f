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

void AddToIETools(std::array<Gtk::MenuItem, 2>& toolsItems) {
  ietools::AddProgramEntries(CurrentProgramPlace());
  toolsItems[0].set_sensitive(false);
  toolsItems[1].set_sensitive(true);
}

void RemoveFromIETools(std::array<Gtk::MenuItem, 2>& toolsItems) {
  ietools::RemoveProgramEntries(desktop::UserApplicationsFolder());
  toolsItems[1].set_sensitive(false);
  toolsItems[0].set_sensitive(true);
}

}  // namespace velmora
