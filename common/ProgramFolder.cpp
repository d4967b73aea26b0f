#include "common/ProgramFolder.h"

#include <glib.h>
#include <unistd.h>

#include "common/XdgFolders.h"

namespace velmora {

std::filesystem::path ProgramFolder() {
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return exe.parent_path();
}

std::filesystem::path ChooseWorkFolder(const std::filesystem::path& programFolder,
                                       const std::filesystem::path& cacheFolder,
                                       std::string_view productName, std::error_code& error) {
  error.clear();
  if (!programFolder.empty() && ::access(programFolder.c_str(), W_OK | X_OK) == 0) {
    return programFolder;
  }
  if (cacheFolder.empty()) {
    error = std::make_error_code(std::errc::no_such_file_or_directory);
    return {};
  }
  const std::filesystem::path folder = cacheFolder / productName;
  std::filesystem::create_directories(folder, error);
  if (error) return {};
  return folder;
}

std::filesystem::path WorkFolder(std::string_view productName, std::error_code& error) {
  return ChooseWorkFolder(ProgramFolder(), UserFolder(XdgFolder::kCache), productName, error);
}

}  // namespace velmora
