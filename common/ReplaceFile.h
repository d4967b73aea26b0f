// Whole-file replacement through GLib (g_file_set_contents_full): the new content is written
// beside the file and renamed over it, so a reader sees either the old file or the new one, and
// a failed write leaves the old one as it was. The work files, the registry store's values and
// the desktop entry are written this way (the settings through GLib's key file, which does the
// same).
#pragma once

#include <cerrno>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace velmora {

// Replaces the file at `path` with exactly `content` (a symbolic link at `path` is replaced
// itself, never its target). With `durable`, the new content is on disk before it takes the old
// one's place. Returns the failure, or no error.
std::error_code ReplaceFile(const std::filesystem::path& path, std::string_view content,
                            bool durable = false);

// The same for `name` (one path component) in the folder open as the descriptor `folder`: the
// folder is reached through its descriptor, not its path, so nothing moved or linked into the
// path meanwhile is written through.
std::error_code ReplaceFileAt(int folder, std::string_view name, std::string_view content,
                              bool durable = false);

// The error of the last failed system call.
inline std::error_code LastError() {
  return {errno, std::generic_category()};
}

}  // namespace velmora
