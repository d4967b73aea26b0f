// The program's freedesktop desktop entry: the Linux counterpart of a button in the system
// browser's Tools menu. It puts Velmora among the desktop's applications and web browsers.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::desktop {

// The user's applications folder: "applications" in the XDG data folder (common/XdgFolders.h).
std::filesystem::path UserApplicationsFolder();

// The entry's text with its name, program and icon still to be filled in
// (assets/desktop/velmora.desktop.in); the install step fills it in for the installed program.
extern const char* const kDesktopEntryTemplate;

// The Exec command that runs `executable` with no arguments: the path, in double quotes with "\",
// """, "`" and "$" escaped when it holds a character the command line reserves, and every "%"
// doubled (it is not a field code). Not yet escaped as a string value (GKeyFile does that).
std::string ExecCommand(const std::filesystem::path& executable);

// The whole text of the entry: the template with its values set through GLib's key file, each
// line ending with "\n"; nothing when no entry can run the executable: its path is not absolute,
// or it holds "=", which an Exec program path may not.
std::optional<std::string> DesktopEntryText(std::string_view productName,
                                            const std::filesystem::path& executable,
                                            const std::filesystem::path& icon);

// Writes the entry as ietools::kDesktopEntryFile in `applicationsFolder` (created when missing),
// replacing an earlier one atomically. True when it was written.
bool InstallDesktopEntry(const std::filesystem::path& applicationsFolder, std::string_view text);

// Deletes ietools::kDesktopEntryFile from `applicationsFolder` and nothing else. True when it was
// there and is gone.
bool RemoveDesktopEntry(const std::filesystem::path& applicationsFolder);

}  // namespace velmora::desktop
