#include "analysis/GalleryPage.h"

#include <algorithm>

#include "analysis/FlatSet.h"
#include "analysis/HtmlText.h"
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

}  // namespace

std::string GalleryEntry(std::string_view storedUrl) {
  std::string url =
      HasScheme(storedUrl) ? std::string(storedUrl) : "http://" + std::string(storedUrl);
  return Entry(url, html::EscapeText(storedUrl));
}

std::string GalleryEntry(const CensusImage& image) {
  std::string caption;
  if (text::StartsWithNoCase(image.url, "data:") && image.url.size() > kDataUrlCaptionLength) {
    caption =
        html::EscapeText(std::string_view(image.url).substr(0, kDataUrlCaptionLength)) + "\u2026";
  } else {
    caption = html::EscapeText(image.url);
  }
  caption.append(" (").append(KindName(image.kind));
  if (image.width > 0 && image.height > 0) {
    caption.append(", ")
        .append(std::to_string(image.width))
        .append(" \u00D7 ")
        .append(std::to_string(image.height));
  } else if (image.width > 0) {
    caption.append(", ").append(std::to_string(image.width)).append(" px wide");
  }
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
