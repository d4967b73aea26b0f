// The "Images" view: every image the page shows through an image tag, one below the other, each
// a link to itself and captioned with its URL.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// One gallery entry: "<a href='U'><img src='U'></a><BR>C<BR><BR><BR>", where C is the stored URL
// and U is C with "http://" in front when C has no scheme at all. U and C are HTML-escaped; a URL
// that may not be linked (see IsLinkableUrl) gives its caption alone, as plain text.
std::string GalleryEntry(std::string_view storedUrl);

// The gallery text for the image pair: one entry per name, in list order, all on one line.
std::string BuildGalleryPage(const std::vector<std::string>& links,
                             const std::vector<std::string>& names);

}  // namespace velmora
