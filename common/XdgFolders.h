// The user's XDG base folders, read from the environment at each call (GLib's
// g_get_user_*_dir keep the first answer of the run, and the program's tests change them).
#pragma once

#include <filesystem>

namespace velmora {

enum class XdgFolder { kConfig, kData, kCache };

// $XDG_CONFIG_HOME, $XDG_DATA_HOME or $XDG_CACHE_HOME when it holds an absolute path, else
// ~/.config, ~/.local/share or ~/.cache; the home folder is $HOME when it is absolute, else the
// user's entry in the system's user database.
std::filesystem::path UserFolder(XdgFolder which);

}  // namespace velmora
