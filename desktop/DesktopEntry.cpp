#include "desktop/DesktopEntry.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

#include "common/XdgFolders.h"
#include "desktop/AtomicFile.h"
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

std::string EscapeEntryValue(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out;
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
  std::string text = "[Desktop Entry]\n";
  text += "Type=Application\n";
  text += "Name=" + EscapeEntryValue(productName) + "\n";
  text += "GenericName=Web Browser\n";
  text += "Comment=Browse the web and see every page's source and images\n";
  // %u: the file or link the desktop opens with Velmora.
  text += "Exec=" + EscapeEntryValue(ExecCommand(executable)) + " %u\n";
  text += "TryExec=" + EscapeEntryValue(executable.native()) + "\n";
  text += "Icon=" + EscapeEntryValue(icon.native()) + "\n";
  text += "Terminal=false\n";
  text += "Categories=Network;WebBrowser;\n";
  text +=
      "MimeType=text/html;application/xhtml+xml;x-scheme-handler/http;x-scheme-handler/https;\n";
  text += "StartupNotify=true\n";
  return text;
}

bool InstallDesktopEntry(const std::filesystem::path& applicationsFolder, std::string_view text) {
  if (applicationsFolder.empty()) return false;
  std::error_code ignored;  // the open below tells whether the folder is there
  std::filesystem::create_directories(applicationsFolder, ignored);
  const FileDescriptor folder(
      ::open(applicationsFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return folder.valid() && !ReplaceFileAt(folder.get(), ietools::kDesktopEntryFile, text);
}

bool RemoveDesktopEntry(const std::filesystem::path& applicationsFolder) {
  if (applicationsFolder.empty()) return false;
  const std::filesystem::path entry = applicationsFolder / ietools::kDesktopEntryFile;
  return ::unlink(entry.c_str()) == 0;
}

}  // namespace velmora::desktop
