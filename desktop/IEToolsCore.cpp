#include "desktop/IEToolsCore.h"

#include <optional>

#include "desktop/CRegister.h"
#include "desktop/DesktopEntry.h"
#include "desktop/IEToolsKeys.h"

namespace velmora::ietools {

std::string ProgramFile(const std::filesystem::path& programFolder, std::string_view fileName) {
  // operator/ adds a separator only when the folder does not already end in one.
  return (programFolder / fileName).string();
}

std::array<ExtensionValue, 8> ExtensionValues(std::string_view productName,
                                              const std::filesystem::path& programFolder,
                                              std::string_view executableBaseName) {
  const std::string product(productName);
  return {{
      {kButtonText, product},
      {kClsid, std::string(kRunExecutableClsid)},
      {kDefaultVisible, std::string(kVisible)},
      {kExec, ProgramFile(programFolder, executableBaseName)},
      {kHotIcon, ProgramFile(programFolder, kHotIconFile)},
      {kIcon, ProgramFile(programFolder, kIconFile)},
      {kMenuStatusBar, product},
      {kMenuText, std::string(kAcceleratorMark) + product},
  }};
}

bool AddProgramEntries(const ProgramPlace& place) {
  if (!place.programFolder.is_absolute()) return false;
  bool written = true;
  for (const ExtensionValue& value :
       ExtensionValues(place.productName, place.programFolder, place.executableBaseName)) {
    written = RegSetString(Hive::LocalMachine, kExtensionKey, value.name, value.data) && written;
  }
  const std::optional<std::string> entry = desktop::DesktopEntryText(
      place.productName, ProgramFile(place.programFolder, place.executableBaseName),
      ProgramFile(place.programFolder, kDesktopIconFile));
  return entry && desktop::InstallDesktopEntry(place.applicationsFolder, *entry) && written;
}

bool RemoveProgramEntries(const std::filesystem::path& applicationsFolder) {
  RegDeleteEntry(Hive::LocalMachine, kExtensionKey, "");
  desktop::RemoveDesktopEntry(applicationsFolder);
  std::error_code error;
  return !RegKeyExists(Hive::LocalMachine, kExtensionKey) &&
         !std::filesystem::exists(
             std::filesystem::symlink_status(applicationsFolder / kDesktopEntryFile, error));
}

}  // namespace velmora::ietools
