#include "analysis/GalleryPage.h"

#include <algorithm>

#include "analysis/HtmlText.h"
#include "analysis/UrlHelpers.h"

namespace velmora {

std::string GalleryEntry(std::string_view storedUrl) {
  const std::string caption = html::EscapeText(storedUrl);
  std::string url =
      HasScheme(storedUrl) ? std::string(storedUrl) : "http://" + std::string(storedUrl);
  if (!IsLinkableUrl(url)) return caption + "<BR><BR><BR>";
  const std::string u = html::EscapeAttribute(url);
  std::string entry;
  entry.reserve(2 * u.size() + caption.size() + 48);
  entry.append("<a href='").append(u).append("'><img src='").append(u).append("'></a><BR>");
  entry.append(caption).append("<BR><BR><BR>");
  return entry;
}

std::string BuildGalleryPage(const std::vector<std::string>& links,
                             const std::vector<std::string>& names) {
  std::string page;
  const std::size_t count = std::min(names.size(), links.size());
  for (std::size_t i = 0; i < count; ++i) page.append(GalleryEntry(links[i]));
  return page;
}

}  // namespace velmora
