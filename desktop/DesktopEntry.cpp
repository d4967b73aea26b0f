#include "desktop/DesktopEntry.h"

#include <glib.h>
#include <unistd.h>

#include "common/ReplaceFile.h"
#include "common/XdgFolders.h"
#include "desktop/IEToolsKeys.h"

namespace velmora::desktop {

namespace {

// Characters that make an Exec argument need quotes.
constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
// Characters escaped with "\" inside a quoted Exec argument.
constexpr std::string_view kEscapedInQuotes = "\"`$\\";

}  // namespace

std::filesystem::path UserApplicationsFolder() {
  return UserFolder(XdgFolder::kData) / "applications";
}

std::string ExecCommand(const std::filesystem::path& executable) {
  const std::string& path = executable.native();
  const bool quoted = path.find_first_of(kReserved) != std::string::npos;
  std::string command;
  if (quoted) command += '"';
  for (const char c : path) {
    if (quoted && kEscapedInQuotes.find(c) != std::string_view::npos) command += '\\';
    command += c;
    if (c == '%') command += '%';
  }
  if (quoted) command += '"';
  return command;
}

std::optional<std::string> DesktopEntryText(std::string_view productName,
                                            const std::filesystem::path& executable,
                                            const std::filesystem::path& icon) {
  if (!executable.is_absolute() || executable.native().find('=') != std::string::npos) {
    return std::nullopt;
  }
  g_autoptr(GKeyFile) entry = g_key_file_new();
  if (!g_key_file_load_from_data(entry, kDesktopEntryTemplate, -1, G_KEY_FILE_KEEP_COMMENTS,
                                 nullptr)) {
    return std::nullopt;
  }
  constexpr const char* kGroup = G_KEY_FILE_DESKTOP_GROUP;
  g_key_file_set_string(entry, kGroup, G_KEY_FILE_DESKTOP_KEY_NAME,
                        std::string(productName).c_str());
  // %u: the file or link the desktop opens with Velmora.
  g_key_file_set_string(entry, kGroup, G_KEY_FILE_DESKTOP_KEY_EXEC,
                        (ExecCommand(executable) + " %u").c_str());
  g_key_file_set_string(entry, kGroup, G_KEY_FILE_DESKTOP_KEY_TRY_EXEC, executable.c_str());
  g_key_file_set_string(entry, kGroup, G_KEY_FILE_DESKTOP_KEY_ICON, icon.c_str());
  g_autofree gchar* data = g_key_file_to_data(entry, nullptr, nullptr);
  // A string value holds no control character: the key file writes a tab inside a value as it
  // is, the entry as its escape (read back the same).
  std::string text;
  for (const char* c = data; *c != '\0'; ++c) {
    if (*c == '\t') {
      text += "\\t";
    } else {
      text += *c;
    }
  }
  return text;
}

bool InstallDesktopEntry(const std::filesystem::path& applicationsFolder, std::string_view text) {
  if (applicationsFolder.empty()) return false;
  std::error_code ignored;  // the write below tells whether the folder is there
  std::filesystem::create_directories(applicationsFolder, ignored);
  return !ReplaceFile(applicationsFolder / ietools::kDesktopEntryFile, text, true);
}

bool RemoveDesktopEntry(const std::filesystem::path& applicationsFolder) {
  if (applicationsFolder.empty()) return false;
  const std::filesystem::path entry = applicationsFolder / ietools::kDesktopEntryFile;
  return ::unlink(entry.c_str()) == 0;
}

}  // namespace velmora::desktop
