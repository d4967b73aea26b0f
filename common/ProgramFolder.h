// Where the program lives and where it keeps its work files.
#pragma once

#include <filesystem>
#include <string_view>
#include <system_error>

namespace velmora {

// The folder that holds the running executable ("/proc/self/exe"), or an empty path when it
// cannot be read.
std::filesystem::path ProgramFolder();

// The folder for the work files: the program folder when this user may write there, otherwise
// "$XDG_CACHE_HOME/<productName>/" (created when missing). Returns an empty path and the error
// when neither can be used.
std::filesystem::path WorkFolder(std::string_view productName, std::error_code& error);

// The same rule for a given program folder and cache folder (for tests).
std::filesystem::path ChooseWorkFolder(const std::filesystem::path& programFolder,
                                       const std::filesystem::path& cacheFolder,
                                       std::string_view productName, std::error_code& error);

}  // namespace velmora
