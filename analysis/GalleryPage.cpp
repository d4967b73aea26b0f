#include "analysis/GalleryPage.h"

#include <algorithm>
#include <array>

#include "analysis/FlatSet.h"
#include "analysis/HtmlText.h"
#include "analysis/LoadedPictures.h"
#include "analysis/TextSearch.h"
#include "analysis/UrlHelpers.h"

namespace velmora {

namespace {

// An inline picture's caption shows the start of its data: URL only.
constexpr std::size_t kDataUrlCaptionLength = 48;

std::string Entry(const std::string& url, const std::string& caption) {
  if (!IsLinkableUrl(url)) return caption + "<BR><BR><BR>";
  const std::string u = html::EscapeAttribute(url);
  std::string entry;
  entry.reserve(2 * u.size() + caption.size() + 48);
  entry.append("<a href='").append(u).append("'><img src='").append(u).append("'></a><BR>");
  entry.append(caption).append("<BR><BR><BR>");
  return entry;
}

// The first `length` bytes of a UTF-8 text, less the start of a character they would cut.
std::string_view Utf8Prefix(std::string_view text, std::size_t length) {
  if (length >= text.size()) return text;
  // Bytes 10xxxxxx continue the character before them.
  while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
  return text.substr(0, length);
}

}  // namespace

std::string GalleryEntry(std::string_view storedUrl) {
  std::string url =
      HasScheme(storedUrl) ? std::string(storedUrl) : "http://" + std::string(storedUrl);
  return Entry(url, html::EscapeText(storedUrl));
}

std::string ReadableByteSize(std::uint64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " B";
  static constexpr std::array<std::string_view, 6> kUnits{"KB", "MB", "GB", "TB", "PB", "EB"};
  // Tenths of the unit, rounded; from 10 units on, whole units.
  long double value = static_cast<long double>(bytes) / 1024;
  std::size_t unit = 0;
  for (;;) {
    const auto tenths = static_cast<std::uint64_t>(value * 10 + 0.5L);
    const auto whole = static_cast<std::uint64_t>(value + 0.5L);
    if (tenths < 100) {
      return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " " +
             std::string(kUnits[unit]);
    }
    if (whole < 1024 || unit + 1 == kUnits.size()) {
      return std::to_string(whole) + " " + std::string(kUnits[unit]);
    }
    value /= 1024;
    ++unit;
  }
}

std::string GalleryEntry(const CensusImage& image) {
  std::string caption;
  if (text::StartsWithNoCase(image.url, "data:") && image.url.size() > kDataUrlCaptionLength) {
    caption = html::EscapeText(Utf8Prefix(image.url, kDataUrlCaptionLength)) + "\u2026";
  } else {
    caption = html::EscapeText(image.url);
  }
  caption.append(" (").append(KindName(image.kind));
  if (const std::string type = ShortTypeName(image.type); !type.empty()) {
    caption.append(", ").append(type);
  }
  if (image.width > 0 && image.height > 0) {
    caption.append(", ")
        .append(std::to_string(image.width))
        .append(" \u00D7 ")
        .append(std::to_string(image.height));
  } else if (image.width > 0) {
    caption.append(", ").append(std::to_string(image.width)).append(" px wide");
  }
  if (image.bytes > 0) caption.append(", ").append(ReadableByteSize(image.bytes));
  caption.append(")");
  return Entry(image.url, caption);
}

std::string BuildGalleryPage(const std::vector<std::string>& links,
                             const std::vector<std::string>& names,
                             const std::vector<CensusImage>& census) {
  std::string page;
  const std::size_t count = std::min(names.size(), links.size());
  for (std::size_t i = 0; i < count; ++i) page.append(GalleryEntry(links[i]));
  const std::vector<const CensusImage*> further = ImagesBeyond(links, census);
  if (further.empty()) return page;
  page.append(kFurtherImagesHeading);
  for (const CensusImage* image : further) page.append(GalleryEntry(*image));
  return page;
}

std::vector<std::string> GalleryImageUrls(const std::vector<std::string>& links,
                                          const std::vector<std::string>& names,
                                          const std::vector<CensusImage>& census) {
  std::vector<std::string> urls;
  StringViewSet seen;
  const auto add = [&](const std::string& url) {
    if (seen.Insert(url)) urls.push_back(url);
  };
  const std::size_t count = std::min(names.size(), links.size());
  for (std::size_t i = 0; i < count; ++i) add(links[i]);
  for (const CensusImage* image : ImagesBeyond(links, census)) add(image->url);
  return urls;
}

}  // namespace velmora
