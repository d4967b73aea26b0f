// Whether a file the program ships or writes is there: an ordinary file, not hidden, not a
// folder.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace velmora {

// The name after the last "/" of the path; all of it when it has none.
std::string FileNameOf(std::string_view path);

// True when the path names an ordinary file (a link to one counts) whose name does not start
// with "." (hidden). Folders, devices, sockets and missing files give false, as does a path
// that cannot be examined. Names are compared exactly: Linux file names are case-sensitive.
bool FileExists(const std::filesystem::path& path);

}  // namespace velmora
