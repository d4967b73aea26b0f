// The URL helpers of the page analysis: the directory part of a URL ("Back Directory" and the
// scanners), the file name of a reference (the scanners' de-duplication key and the text the
// source view links), and the resolution of a page's references to the absolute URLs a
// browser loads for them.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

typedef struct _GUri GUri;

namespace velmora {

// The host rewrite of relative references: images of pages on the maker's members' host are
// served from its files host. Fragments are matched in any letter case, inside the host only.
struct HostRewrite {
  std::string_view from;
  std::string_view to;
};
inline constexpr HostRewrite kRelativeHostRewrite{"members.tarnwick.", "files.tarnwick."};

// The directory of a URL as text: the part up to its last "/", with the scheme ("http://" or
// "https://", found anywhere in any letter case) taken out first and put back in lower case.
// A URL that ends with "/" gives its parent; a URL with no "/" after its host gives the bare
// host and "/" without the scheme, which is what "Back Directory" shows at a site's root.
std::string UrlBaseDirectory(std::string_view url);

// The file name of an attribute value: the text after its last "/", with every "http://",
// "https://" and " border=" (any letter case) and every double quote removed.
std::string CleanLinkValue(std::string_view value);

// True when the text starts with a URL scheme and ":" ("https:", "data:", "javascript:").
bool HasScheme(std::string_view url) noexcept;

// True for the URLs the generated pages may link to or show: http, https, ftp and file URLs,
// and data URLs of images. Everything else stays plain text.
bool IsLinkableUrl(std::string_view url) noexcept;

// True when a reference is plain relative: no scheme, no "../", not rooted at "/".
bool IsPlainRelativeReference(std::string_view reference) noexcept;

// Resolves references against one base URL by RFC 3986, as a browser does: scheme and host in
// lower case, "\" read as "/" in http(s), ftp and file URLs, blanks and characters that a URL
// cannot hold percent-encoded, default ports dropped, an empty http path made "/".
class ReferenceResolver {
 public:
  // A base that cannot be parsed or has no host part (about:blank, data:) resolves nothing
  // relative; absolute references still resolve.
  explicit ReferenceResolver(std::string_view baseUrl);
  ~ReferenceResolver();
  ReferenceResolver(const ReferenceResolver&) = delete;
  ReferenceResolver& operator=(const ReferenceResolver&) = delete;

  bool HasBase() const noexcept { return base_ != nullptr; }

  // The absolute URL for an attribute value whose character references are already decoded,
  // or nothing when the value is empty or cannot be resolved. `rewriteHost` applies
  // kRelativeHostRewrite to the result's host.
  std::optional<std::string> Resolve(std::string_view reference, bool rewriteHost) const;

 private:
  struct UriUnref {
    void operator()(GUri* uri) const noexcept;
  };
  std::optional<std::string> ResolveParsed(std::string_view reference, bool rewriteHost) const;

  std::unique_ptr<GUri, UriUnref> base_;
  std::string baseScheme_;
  // What a plain reference ("img/a.jpg") and a rooted one ("/img/a.jpg") resolve to is this
  // text followed by the reference: the base's folder and the base's origin, without and with
  // the host rewrite. Empty when the base gives no such form. Pages hold thousands of such
  // references, and parsing each is most of the time of a scan.
  std::array<std::string, 2> folderPrefix_;
  std::array<std::string, 2> originPrefix_;
};

}  // namespace velmora
