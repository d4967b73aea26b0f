// The address box's fix-up: typed text and file-dialog paths to the URIs WebKit loads.
#include "hosted/AddressFixup.h"

#include <glib.h>

#include <memory>

namespace velmora {

namespace {

constexpr std::string_view kBlanks = " \t\r\n\f\v";
constexpr std::string_view kHttp = "http://";
constexpr std::string_view kBlankPage = "about:blank";

struct GFreeDeleter {
  void operator()(gchar* p) const { g_free(p); }
};
using GCharPtr = std::unique_ptr<gchar, GFreeDeleter>;

std::string_view Trim(std::string_view s) {
  const auto first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(kBlanks);
  return s.substr(first, last - first + 1);
}

// The file URI of an absolute path. Characters a URI cannot hold ("#", "?", blanks, non-ASCII
// bytes) are percent-encoded, so a file named "a#b.html" opens as itself.
std::string FileUri(const std::string& absolutePath) {
  GCharPtr uri(g_filename_to_uri(absolutePath.c_str(), nullptr, nullptr));
  if (uri) return uri.get();
  // g_filename_to_uri refuses only relative paths; encode the same way by hand as a last resort.
  GCharPtr escaped(g_uri_escape_string(absolutePath.c_str(), "/", FALSE));
  return "file://" + std::string(escaped.get());
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

bool StartsWithScheme(std::string_view text) noexcept {
  if (text.empty() || !g_ascii_isalpha(text.front())) return false;
  for (std::size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ':') return true;
    if (!g_ascii_isalpha(c) && !g_ascii_isdigit(c) && c != '+' && c != '-' && c != '.')
      return false;
  }
  return false;  // no ":" at all
}

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
  const std::string_view text = Trim(typed);
  if (text.empty()) return std::string(kBlankPage);
  if (text.front() == '/') return FileUri(std::string(text));
  if (IsHomePath(text)) return FileUri(HomePath(text));
  // Checked before the scheme: "localhost:8765" has the shape of a scheme too.
  if (IsHostAndPort(text)) return std::string(kHttp) + std::string(text);
  if (StartsWithScheme(text)) return std::string(text);
  return std::string(kHttp) + std::string(text);
}

std::string PathToUri(std::string_view path) {
  if (path.empty()) return std::string(kBlankPage);
  if (path.front() == '/') return FileUri(std::string(path));
  if (IsHomePath(path) || StartsWithScheme(path)) return AddressToUri(path);
  // A relative path is read from the current folder, with "." and ".." taken out.
  GCharPtr absolute(g_canonicalize_filename(std::string(path).c_str(), nullptr));
  return FileUri(absolute.get());
}

std::string CommandLineAddress(std::string_view argument) {
  const std::string text(argument);
  if (!StartsWithScheme(text) && g_file_test(text.c_str(), G_FILE_TEST_EXISTS)) {
    return PathToUri(text);
  }
  return AddressToUri(text);
}

}  // namespace velmora
