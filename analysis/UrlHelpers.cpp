#include "analysis/UrlHelpers.h"

#include <glib.h>

#include <array>

#include "analysis/TextSearch.h"

namespace velmora {

namespace {

using text::AsciiLower;
using text::FindNoCase;
using text::npos;

constexpr std::string_view kHttp = "http://";
constexpr std::string_view kHttps = "https://";

constexpr std::array<std::string_view, 4> kLinkableSchemes{"http", "https", "ftp", "file"};
// Schemes whose URLs have a host and a path that a browser normalises ("special" schemes).
constexpr std::array<std::string_view, 6> kSpecialSchemes{"http", "https", "ftp",
                                                          "file", "ws",    "wss"};

// Strict RFC 3986 parsing: GLib's relaxed mode reads ";" as the end of a host.
constexpr GUriFlags kUriFlags =
    static_cast<GUriFlags>(G_URI_FLAGS_ENCODED | G_URI_FLAGS_SCHEME_NORMALIZE);

std::string AsciiLowerCopy(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

template <std::size_t N>
bool IsOneOf(std::string_view lowerScheme, const std::array<std::string_view, N>& schemes) {
  for (std::string_view s : schemes) {
    if (s == lowerScheme) return true;
  }
  return false;
}

// The scheme of a URL in lower case, or empty when it has none.
std::string SchemeOf(std::string_view url) {
  if (!HasScheme(url)) return {};
  return AsciiLowerCopy(url.substr(0, url.find(':')));
}

// Removes every "https://" and then every "http://", in any letter case.
std::string RemoveSchemes(std::string_view s) {
  return text::ReplaceAllNoCase(text::ReplaceAllNoCase(s, kHttps, ""), kHttp, "");
}

// Prepares a reference for the URI parser as a browser's URL parser reads it.
std::string PrepareReference(std::string_view ref, bool special) {
  std::string out;
  out.reserve(ref.size() + 8);
  bool inQueryOrFragment = false;
  for (std::size_t i = 0; i < ref.size(); ++i) {
    const char c = ref[i];
    if (c == '\t' || c == '\n' || c == '\r') continue;  // dropped anywhere in a URL
    if (c == '%' &&
        !(i + 2 < ref.size() && g_ascii_isxdigit(ref[i + 1]) && g_ascii_isxdigit(ref[i + 2]))) {
      out.append("%25");  // a "%" that starts no escape stands for itself
      continue;
    }
    if (c == '?' || c == '#') inQueryOrFragment = true;
    switch (c) {
      case '\\':
        if (special && !inQueryOrFragment) {
          out.push_back('/');
        } else {
          out.append("%5C");
        }
        break;
      case '"':
        out.append("%22");
        break;
      case '<':
        out.append("%3C");
        break;
      case '>':
        out.append("%3E");
        break;
      case '`':
        out.append("%60");
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

// Leading and trailing C0 controls and spaces are not part of a URL.
std::string_view TrimControlsAndSpaces(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 0x20) s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 0x20) s.remove_suffix(1);
  return s;
}

// A reference that resolves against a base by plain joining: letters, digits and "-._~/" only,
// no "." or ".." segment, not starting with "//".
bool IsPlainPathReference(std::string_view ref) noexcept {
  if (ref.empty() || ref.starts_with("//")) return false;
  std::size_t segmentStart = 0;
  for (std::size_t i = 0; i <= ref.size(); ++i) {
    if (i == ref.size() || ref[i] == '/') {
      const std::string_view segment = ref.substr(segmentStart, i - segmentStart);
      if (segment == "." || segment == "..") return false;
      segmentStart = i + 1;
      continue;
    }
    const char c = ref[i];
    if (!g_ascii_isalnum(c) && c != '-' && c != '.' && c != '_' && c != '~') return false;
  }
  return true;
}

// An absolute http(s) URL, or a scheme-relative one ("//host/..."), that a browser keeps as it
// stands: scheme and host in lower case, no user, no port, a plain path (see above), no query.
bool IsPlainAbsoluteReference(std::string_view ref) noexcept {
  if (ref.starts_with("https://")) {
    ref.remove_prefix(8);
  } else if (ref.starts_with("http://")) {
    ref.remove_prefix(7);
  } else if (ref.starts_with("//")) {
    ref.remove_prefix(2);
  } else {
    return false;
  }
  const std::size_t slash = ref.find('/');
  if (slash == 0 || slash == npos) return false;
  for (const char c : ref.substr(0, slash)) {
    if (!(c >= 'a' && c <= 'z') && !g_ascii_isdigit(c) && c != '-' && c != '.') return false;
  }
  return IsPlainPathReference(ref.substr(slash));
}

std::string RewriteHost(std::string_view host) {
  return text::ReplaceAllNoCase(host, kRelativeHostRewrite.from, kRelativeHostRewrite.to);
}

int DefaultPort(std::string_view scheme) {
  if (scheme == "http" || scheme == "ws") return 80;
  if (scheme == "https" || scheme == "wss") return 443;
  if (scheme == "ftp") return 21;
  return -1;
}

// Serialises a parsed URI the way a browser shows it.
std::string Serialise(GUri* uri, bool rewriteHost) {
  const std::string scheme = AsciiLowerCopy(g_uri_get_scheme(uri));
  const char* host = g_uri_get_host(uri);
  std::string hostText;
  if (host != nullptr) {
    hostText = AsciiLowerCopy(host);
    if (rewriteHost) hostText = RewriteHost(hostText);
  }
  // GLib reports the scheme's default port even when the URL has none; a browser drops it.
  int port = g_uri_get_port(uri);
  if (port == DefaultPort(scheme)) port = -1;
  std::string path = g_uri_get_path(uri);
  if (host != nullptr) {
    // With a host, a path is empty or starts at "/"; http and the like always have one.
    if (path.empty() ? IsOneOf(scheme, kSpecialSchemes) : path.front() != '/') path.insert(0, "/");
  }
  gchar* joined = g_uri_join(G_URI_FLAGS_ENCODED, scheme.c_str(), g_uri_get_userinfo(uri),
                             host != nullptr ? hostText.c_str() : nullptr, port, path.c_str(),
                             g_uri_get_query(uri), g_uri_get_fragment(uri));
  std::string out = joined != nullptr ? joined : "";
  g_free(joined);
  return out;
}

}  // namespace

std::string UrlBaseDirectory(std::string_view url) {
  // The scheme that is put back is the first one the URL holds.
  const std::size_t http = FindNoCase(url, kHttp);
  const std::size_t https = FindNoCase(url, kHttps);
  std::string_view scheme;
  if (http != npos || https != npos) scheme = (https < http) ? kHttps : kHttp;

  std::string s = scheme.empty() ? std::string(url) : RemoveSchemes(url);
  if (!s.empty() && s.back() == '/') s.pop_back();
  const std::size_t lastSlash = s.rfind('/');
  std::string d = lastSlash == npos ? std::string() : s.substr(0, lastSlash + 1);
  if (!scheme.empty()) d.insert(0, scheme);
  if (!d.empty() && d != scheme) return d;
  return s + "/";
}

std::string CleanLinkValue(std::string_view value) {
  // Each step copies only when it has something to remove.
  std::string withoutSchemes;
  std::string_view s = value;
  if (FindNoCase(value, "://") != npos) {
    withoutSchemes = RemoveSchemes(value);
    s = withoutSchemes;
  }
  if (const std::size_t lastSlash = s.rfind('/'); lastSlash != npos) s.remove_prefix(lastSlash + 1);
  std::string name = text::ContainsNoCase(s, " border=") ? text::ReplaceAllNoCase(s, " border=", "")
                                                         : std::string(s);
  return name.find('"') == npos ? name : text::RemoveChar(name, '"');
}

bool HasScheme(std::string_view url) noexcept {
  if (url.empty() || !((url[0] >= 'a' && url[0] <= 'z') || (url[0] >= 'A' && url[0] <= 'Z'))) {
    return false;
  }
  for (std::size_t i = 1; i < url.size(); ++i) {
    const char c = url[i];
    if (c == ':') return true;
    const bool schemeChar = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                            (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
    if (!schemeChar) return false;
  }
  return false;
}

bool IsLinkableUrl(std::string_view url) noexcept {
  if (text::StartsWithNoCase(url, "data:image/")) return true;
  for (std::string_view scheme : kLinkableSchemes) {
    if (url.size() > scheme.size() && url[scheme.size()] == ':' &&
        text::StartsWithNoCase(url, scheme)) {
      return true;
    }
  }
  return false;
}

bool IsPlainRelativeReference(std::string_view reference) noexcept {
  reference = TrimControlsAndSpaces(reference);
  return !reference.empty() && !HasScheme(reference) && reference.find("../") == npos &&
         reference.front() != '/' && reference.front() != '\\';
}

void ReferenceResolver::UriUnref::operator()(GUri* uri) const noexcept {
  g_uri_unref(uri);
}

ReferenceResolver::ReferenceResolver(std::string_view baseUrl) {
  const std::string base(TrimControlsAndSpaces(baseUrl));
  GUri* parsed = base.empty() ? nullptr : g_uri_parse(base.c_str(), kUriFlags, nullptr);
  if (parsed == nullptr) return;
  if (g_uri_get_host(parsed) == nullptr) {  // about:blank, data: and the like
    g_uri_unref(parsed);
    return;
  }
  base_.reset(parsed);
  baseScheme_ = AsciiLowerCopy(g_uri_get_scheme(parsed));
  if (!IsOneOf(baseScheme_, kSpecialSchemes)) return;
  // Each prefix is what a one-letter reference resolves to, without that letter.
  for (const bool rewrite : {false, true}) {
    for (const auto& [probe, prefix] :
         {std::pair{"x", &folderPrefix_}, std::pair{"/x", &originPrefix_}}) {
      const std::optional<std::string> url = ResolveParsed(probe, rewrite);
      const std::string_view tail = std::string_view(probe).substr(probe[0] == '/' ? 1 : 0);
      if (url && url->ends_with(std::string_view(probe)) && url->size() > tail.size()) {
        (*prefix)[rewrite] = url->substr(0, url->size() - tail.size());
      }
    }
  }
}

ReferenceResolver::~ReferenceResolver() = default;

std::optional<std::string> ReferenceResolver::Resolve(std::string_view reference,
                                                      bool rewriteHost) const {
  const std::string_view ref = TrimControlsAndSpaces(reference);
  if (base_ != nullptr && IsPlainPathReference(ref)) {
    const std::string& prefix =
        ref.front() == '/' ? originPrefix_[rewriteHost] : folderPrefix_[rewriteHost];
    if (!prefix.empty()) {
      return prefix + std::string(ref.front() == '/' ? ref.substr(1) : ref);
    }
  }
  if (!rewriteHost && IsPlainAbsoluteReference(ref)) {
    if (!ref.starts_with("//")) return std::string(ref);
    if (baseScheme_ == "http" || baseScheme_ == "https")
      return baseScheme_ + ":" + std::string(ref);
  }
  return ResolveParsed(ref, rewriteHost);
}

std::optional<std::string> ReferenceResolver::ResolveParsed(std::string_view reference,
                                                            bool rewriteHost) const {
  std::string_view ref = reference;
  if (ref.empty()) return std::nullopt;

  const std::string scheme = SchemeOf(ref);
  bool absolute = !scheme.empty();
  if (absolute && !IsOneOf(scheme, kSpecialSchemes)) {
    // data:, javascript:, mailto: ... are absolute as they stand.
    return PrepareReference(ref, false);
  }
  if (absolute && scheme == baseScheme_ && base_ != nullptr) {
    // "http:pic.gif" on an http page is relative to the page, as in a browser.
    const std::string_view rest = ref.substr(scheme.size() + 1);
    if (rest.empty() || (rest.front() != '/' && rest.front() != '\\')) {
      ref = rest;
      absolute = false;
    }
  }
  if (!absolute && base_ == nullptr) return std::nullopt;

  const bool special = absolute || IsOneOf(baseScheme_, kSpecialSchemes);
  const std::string prepared = PrepareReference(ref, special);
  GUri* resolved = absolute
                       ? g_uri_parse(prepared.c_str(), kUriFlags, nullptr)
                       : g_uri_parse_relative(base_.get(), prepared.c_str(), kUriFlags, nullptr);
  if (resolved == nullptr) {
    // An absolute reference the parser refuses is still the address the page gives.
    if (absolute) return prepared;
    return std::nullopt;
  }
  std::string out = Serialise(resolved, rewriteHost);
  g_uri_unref(resolved);
  if (out.empty()) return absolute ? std::optional(prepared) : std::nullopt;
  return out;
}

}  // namespace velmora
