#include "common/xfileExists.h"

#include <system_error>

namespace velmora {

std::string FileNameOf(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool FileExists(const std::filesystem::path& path) {
  const std::string name = FileNameOf(path.native());
  if (name.empty() || name.front() == '.') return false;
  std::error_code error;
  return std::filesystem::is_regular_file(path, error) && !error;
}

}  // namespace velmora
