#include "common/XdgFolders.h"

#include <glib.h>

#include <cstdlib>

namespace velmora {

std::filesystem::path UserFolder(XdgFolder which) {
  struct Rule {
    const char* variable;
    const char* underHome;
  };
  static constexpr Rule kRules[] = {{"XDG_CONFIG_HOME", ".config"},
                                    {"XDG_DATA_HOME", ".local/share"},
                                    {"XDG_CACHE_HOME", ".cache"}};
  const Rule& rule = kRules[static_cast<int>(which)];
  if (const char* set = std::getenv(rule.variable); set != nullptr && *set == '/') return set;
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home != nullptr && *home == '/' ? home : g_get_home_dir()) /
         rule.underHome;
}

}  // namespace velmora
