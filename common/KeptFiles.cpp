#include "common/KeptFiles.h"

#include <fcntl.h>
#include <glib.h>
#include <glib/gstdio.h>
#include <stdio.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <utility>

#include "common/ReplaceFile.h"

namespace velmora {

namespace {

constexpr std::size_t kMaxExtensionBytes = 16;
constexpr int kMaxNumberedNames = 10000;

// The extension of a name, dot included ("" when none: a leading dot starts no extension).
std::size_t ExtensionStart(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos || dot == 0 ? name.size() : dot;
}

bool IsControl(gunichar c) {
  return c < 0x20 || (c >= 0x7f && c <= 0x9f);
}

// Cuts `text` to at most `bytes` bytes without splitting a character.
std::string_view CutUtf8(std::string_view text, std::size_t bytes) {
  if (text.size() <= bytes) return text;
  while (bytes > 0 && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80) --bytes;
  return text.substr(0, bytes);
}

std::string Trim(std::string_view text) {
  const auto outer = [](char c) { return c == '.' || c == ' '; };
  while (!text.empty() && outer(text.front())) text.remove_prefix(1);
  while (!text.empty() && outer(text.back())) text.remove_suffix(1);
  return std::string(text);
}

}  // namespace

std::filesystem::path DefaultDownloadFolder() {
  const std::filesystem::path home = g_get_home_dir();
  const char* special = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD);
  if (special != nullptr && *special != '\0') {
    const std::filesystem::path folder = std::filesystem::path(special).lexically_normal();
    if (folder.is_absolute() && folder != home.lexically_normal() &&
        folder != (home / "").lexically_normal()) {
      return folder;
    }
  }
  return home / "Downloads";
}

std::string SafeFileName(std::string_view raw, std::string_view fallback) {
  if (const std::size_t slash = raw.find_last_of("/\\"); slash != std::string_view::npos) {
    raw.remove_prefix(slash + 1);
  }
  gchar* valid = g_utf8_make_valid(raw.data(), static_cast<gssize>(raw.size()));
  std::string clean;
  for (const gchar* p = valid; *p != '\0';) {
    const gchar* next = g_utf8_next_char(p);
    if (!IsControl(g_utf8_get_char(p))) clean.append(p, static_cast<std::size_t>(next - p));
    p = next;
  }
  g_free(valid);
  clean = Trim(clean);
  if (clean.size() > kMaxKeptNameBytes) {
    std::string_view name = clean;
    std::string_view extension = name.substr(ExtensionStart(name));
    if (extension.size() > kMaxExtensionBytes) extension = {};
    const std::string_view stem = CutUtf8(name, kMaxKeptNameBytes - extension.size());
    clean = Trim(std::string(stem) + std::string(extension));
  }
  return clean.empty() ? std::string(fallback) : clean;
}

std::string FileNameOfUri(std::string_view uri) {
  GUri* parsed =
      g_uri_parse(std::string(uri).c_str(),
                  static_cast<GUriFlags>(G_URI_FLAGS_ENCODED | G_URI_FLAGS_PARSE_RELAXED), nullptr);
  if (parsed == nullptr) return "";
  std::string name;
  if (g_ascii_strcasecmp(g_uri_get_scheme(parsed), "data") != 0) {
    const std::string_view path = g_uri_get_path(parsed);
    const std::string_view segment = path.substr(path.rfind('/') + 1);
    // A segment whose escapes would make a "/" or a NUL keeps them escaped.
    gchar* decoded = g_uri_unescape_segment(segment.data(), segment.data() + segment.size(), "/");
    name = decoded != nullptr ? decoded : std::string(segment);
    g_free(decoded);
  }
  g_uri_unref(parsed);
  return name;
}

std::string_view ExtensionForContentType(std::string_view contentType) {
  contentType = contentType.substr(0, contentType.find(';'));
  while (!contentType.empty() && contentType.back() == ' ') contentType.remove_suffix(1);
  struct Known {
    std::string_view type;
    std::string_view extension;
  };
  static constexpr std::array<Known, 16> kKnown{{
      {"image/png", "png"},
      {"image/jpeg", "jpg"},
      {"image/pjpeg", "jpg"},
      {"image/gif", "gif"},
      {"image/webp", "webp"},
      {"image/avif", "avif"},
      {"image/svg+xml", "svg"},
      {"image/bmp", "bmp"},
      {"image/tiff", "tif"},
      {"image/x-icon", "ico"},
      {"image/vnd.microsoft.icon", "ico"},
      {"text/html", "html"},
      {"text/plain", "txt"},
      {"application/pdf", "pdf"},
      {"application/zip", "zip"},
      {"application/json", "json"},
  }};
  for (const Known& known : kKnown) {
    if (g_ascii_strncasecmp(known.type.data(), contentType.data(), contentType.size()) == 0 &&
        known.type.size() == contentType.size()) {
      return known.extension;
    }
  }
  return {};
}

std::string WithExtensionFor(std::string name, std::string_view contentType) {
  const std::string_view extension = ExtensionForContentType(contentType);
  if (ExtensionStart(name) == name.size() && !extension.empty()) {
    name.append(".").append(extension);
  }
  return name;
}

std::string WithExtensionOfType(std::string name, std::string_view contentType) {
  const std::string_view wanted = ExtensionForContentType(contentType);
  if (wanted.empty()) return name;
  const std::size_t split = ExtensionStart(name);
  if (split < name.size()) {
    g_autofree gchar* have = g_ascii_strdown(name.c_str() + split + 1, -1);
    // The other names of the usual extensions.
    constexpr std::array<std::pair<std::string_view, std::string_view>, 4> kAliases{
        {{"jpeg", "jpg"}, {"jpe", "jpg"}, {"jfif", "jpg"}, {"tiff", "tif"}}};
    std::string_view own = have;
    for (const auto& [alias, usual] : kAliases) {
      if (own == alias) own = usual;
    }
    if (own == wanted) return name;
    name.erase(split);
  }
  return name.append(".").append(wanted);
}

std::string NumberedName(std::string_view name, int n) {
  if (n == 0) return std::string(name);
  const std::size_t split = ExtensionStart(name);
  return std::string(name.substr(0, split)) + " (" + std::to_string(n) + ")" +
         std::string(name.substr(split));
}

std::optional<DataUri> DecodeDataUri(std::string_view uri) {
  constexpr std::string_view kScheme = "data:";
  if (uri.size() < kScheme.size() ||
      g_ascii_strncasecmp(uri.data(), kScheme.data(), kScheme.size()) != 0) {
    return std::nullopt;
  }
  uri.remove_prefix(kScheme.size());
  const std::size_t comma = uri.find(',');
  if (comma == std::string_view::npos) return std::nullopt;
  std::string_view header = uri.substr(0, comma);
  const std::string_view payload = uri.substr(comma + 1);

  constexpr std::string_view kBase64 = ";base64";
  bool base64 = false;
  if (header.size() >= kBase64.size() &&
      g_ascii_strncasecmp(header.data() + header.size() - kBase64.size(), kBase64.data(),
                          kBase64.size()) == 0) {
    base64 = true;
    header.remove_suffix(kBase64.size());
  }
  DataUri out;
  const std::string_view type = header.substr(0, header.find(';'));
  out.contentType = type.find('/') != std::string_view::npos ? std::string(type) : "text/plain";

  GBytes* bytes =
      g_uri_unescape_bytes(payload.data(), static_cast<gssize>(payload.size()), nullptr, nullptr);
  if (bytes == nullptr) return std::nullopt;
  gsize size = 0;
  const auto* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
  std::string text(data != nullptr ? data : "", size);
  g_bytes_unref(bytes);
  if (!base64) {
    out.bytes = std::move(text);
    return out;
  }
  std::erase_if(text, [](char c) { return g_ascii_isspace(c); });
  for (const char c : text) {
    if (!g_ascii_isalnum(c) && c != '+' && c != '/' && c != '=') return std::nullopt;
  }
  gsize decodedSize = 0;
  guchar* decoded = g_base64_decode(text.c_str(), &decodedSize);
  out.bytes.assign(reinterpret_cast<const char*>(decoded), decodedSize);
  g_free(decoded);
  return out;
}

std::filesystem::path MakeTemporaryFile(const std::filesystem::path& folder,
                                        std::error_code& error) {
  std::string name = (folder / ".velmora-XXXXXX.part").string();
  const int fd = g_mkstemp_full(name.data(), O_RDWR | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = LastError();
    return {};
  }
  ::close(fd);
  error.clear();
  return name;
}

std::filesystem::path MoveIntoPlace(const std::filesystem::path& temporary,
                                    const std::filesystem::path& folder, std::string_view name,
                                    bool replace, std::error_code& error) {
  error.clear();
  if (replace) {
    const std::filesystem::path target = folder / std::string(name);
    if (::rename(temporary.c_str(), target.c_str()) == 0) return target;
    error = LastError();
    return {};
  }
  for (int n = 0; n < kMaxNumberedNames; ++n) {
    const std::filesystem::path target = folder / NumberedName(name, n);
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
      return target;
    }
    if (errno == EEXIST) continue;
    if (errno != EINVAL && errno != ENOSYS) break;
    // A file system without the no-replace rename: a hard link fails the same way when the
    // name is taken.
    if (::link(temporary.c_str(), target.c_str()) == 0) {
      ::unlink(temporary.c_str());
      return target;
    }
    if (errno != EEXIST) break;
  }
  error = errno == EEXIST ? std::make_error_code(std::errc::file_exists) : LastError();
  return {};
}

std::filesystem::path KeepBytes(std::string_view bytes, const std::filesystem::path& folder,
                                std::string_view name, std::error_code& error) {
  const std::filesystem::path temporary = MakeTemporaryFile(folder, error);
  if (error) return {};
  error = ReplaceFile(temporary, bytes);
  std::filesystem::path kept;
  if (!error) kept = MoveIntoPlace(temporary, folder, name, false, error);
  if (error) ::unlink(temporary.c_str());
  return kept;
}

}  // namespace velmora
