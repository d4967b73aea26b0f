// The address box's fix-up: typed text and file-dialog paths to the URIs WebKit loads.
#include "hosted/AddressFixup.h"

#include <glib.h>

#include <cstring>

namespace velmora {

namespace {

constexpr std::string_view kHttp = "http://";
constexpr std::string_view kBlankPage = "about:blank";

// True when the text starts with an RFC 3986 scheme and ":".
bool StartsWithScheme(const std::string& text) {
  return g_uri_peek_scheme(text.c_str()) != nullptr;
}

// The file URI of an absolute path. Characters a URI cannot hold ("#", "?", blanks, non-ASCII
// bytes) are percent-encoded, so a file named "a#b.html" opens as itself.
std::string FileUri(const std::string& absolutePath) {
  if (g_autofree gchar* uri = g_filename_to_uri(absolutePath.c_str(), nullptr, nullptr)) {
    return uri;
  }
  // g_filename_to_uri refuses only relative paths; encode the same way by hand as a last resort.
  g_autofree gchar* escaped = g_uri_escape_string(absolutePath.c_str(), "/", FALSE);
  return "file://" + std::string(escaped);
}

// "~" or "~/rest" with the home folder put in for "~".
std::string HomePath(std::string_view tildePath) {
  std::string home = g_get_home_dir();
  while (home.size() > 1 && home.back() == '/') home.pop_back();
  std::string_view rest = tildePath.substr(1);  // "" or "/..."
  if (home == "/") return rest.empty() ? home : std::string(rest);
  return home + std::string(rest);
}

bool IsHomePath(std::string_view text) {
  return text == "~" || text.starts_with("~/");
}

}  // namespace

bool IsHostAndPort(std::string_view text) noexcept {
  const auto colon = text.find(':');
  if (colon == 0 || colon == std::string_view::npos) return false;
  if (text.substr(0, colon).find('/') != std::string_view::npos) return false;
  std::size_t i = colon + 1;
  const std::size_t digitsStart = i;
  while (i < text.size() && g_ascii_isdigit(text[i])) ++i;
  if (i == digitsStart) return false;
  // The port ends the text or is followed by the path, the query or the fragment.
  return i == text.size() || text[i] == '/' || text[i] == '?' || text[i] == '#';
}

std::string AddressToUri(std::string_view typed) {
  std::string text(typed);
  text.resize(std::strlen(g_strstrip(text.data())));
  if (text.empty()) return std::string(kBlankPage);
  if (text.front() == '/') return FileUri(text);
  if (IsHomePath(text)) return FileUri(HomePath(text));
  // Checked before the scheme: "localhost:8765" has the shape of a scheme too.
  if (IsHostAndPort(text)) return std::string(kHttp) + text;
  if (StartsWithScheme(text)) return text;
  return std::string(kHttp) + text;
}

std::string PathToUri(std::string_view path) {
  if (path.empty()) return std::string(kBlankPage);
  if (path.front() == '/') return FileUri(std::string(path));
  if (IsHomePath(path) || StartsWithScheme(std::string(path))) return AddressToUri(path);
  // A relative path is read from the current folder, with "." and ".." taken out.
  g_autofree gchar* absolute = g_canonicalize_filename(std::string(path).c_str(), nullptr);
  return FileUri(absolute);
}

std::string CommandLineAddress(std::string_view argument) {
  const std::string text(argument);
  if (!StartsWithScheme(text) && g_file_test(text.c_str(), G_FILE_TEST_EXISTS)) {
    return PathToUri(text);
  }
  return AddressToUri(text);
}

}  // namespace velmora
