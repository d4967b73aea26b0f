// What the two Tools-menu commands write and delete, without the menu: the browser's extension
// key with its eight values (CRegister.h) and the program's desktop entry (DesktopEntry.h).
// IETOOLS.h runs these for the running program.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

namespace velmora::ietools {

struct ExtensionValue {
  std::string_view name;  // one of IEToolsKeys.h
  std::string data;
};

// Where the running program is and what it is called.
struct ProgramPlace {
  std::string productName;
  std::filesystem::path programFolder;
  std::string executableBaseName;            // the executable's file name ("velmora"; no extension)
  std::filesystem::path applicationsFolder;  // where the desktop entry goes
};

// `fileName` in `programFolder`, with one separator between them: a folder at the root of the
// file system gives "/velmora", not "//velmora".
std::string ProgramFile(const std::filesystem::path& programFolder, std::string_view fileName);

// The eight values of the extension key in the order they are written.
std::array<ExtensionValue, 8> ExtensionValues(std::string_view productName,
                                              const std::filesystem::path& programFolder,
                                              std::string_view executableBaseName);

// Writes the eight values with RegSetString in HKEY_LOCAL_MACHINE, one after the other whatever
// each one returns, then installs the desktop entry. When the program folder is not known (empty
// or not absolute) nothing is written: a relative path would start nothing. True when every
// value and the entry were written.
bool AddProgramEntries(const ProgramPlace& place);

// Deletes the extension key with RegDeleteEntry(LocalMachine, key, "") and the desktop entry
// from `applicationsFolder`; each may already be gone. True when neither is left.
bool RemoveProgramEntries(const std::filesystem::path& applicationsFolder);

}  // namespace velmora::ietools
