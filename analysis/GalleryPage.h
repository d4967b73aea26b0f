// The "Images" view: every image the page shows through an image tag, one below the other, each
// a link to itself and captioned with its URL; then, under a heading of their own, the further
// pictures the image census found.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/ImageCensus.h"

namespace velmora {

// One gallery entry: "<a href='U'><img src='U'></a><BR>C<BR><BR><BR>", where C is the stored URL
// and U is C with "http://" in front when C has no scheme at all. U and C are HTML-escaped; a URL
// that may not be linked (see IsLinkableUrl) gives its caption alone, as plain text.
std::string GalleryEntry(std::string_view storedUrl);

// The entry of a census image, in the same format; its caption is the URL (of an inline picture,
// the start of its data: URL and "…"), then in parentheses the kind and what else is known: the
// short type name (ShortTypeName), the pixel size ("640 × 480", or "1440 px wide" from a srcset
// descriptor) and the bytes (ReadableByteSize): "https://host/a.png (background, PNG, 640 × 480,
// 34 KB)". An entry that knows neither type nor bytes reads
// "https://host/a.jpg (lazy, 1600 × 900)".
std::string GalleryEntry(const CensusImage& image);

// A size in bytes as a caption shows it: below 1024 in bytes ("812 B"); above, in units of 1024
// (KB, MB, GB, TB, PB, EB) with one decimal below 10 units ("1.5 KB", "1.2 MB") and whole units
// from 10 on ("34 KB", "250 MB"), rounded to the nearest.
std::string ReadableByteSize(std::uint64_t bytes);

// The heading above the census entries.
inline constexpr std::string_view kFurtherImagesHeading = "<h3>Further images the page shows</h3>";

// The gallery text: one entry per name of the image pair, in list order; then, when the census
// holds pictures the pair does not show, the heading and one entry for each. All on one line.
std::string BuildGalleryPage(const std::vector<std::string>& links,
                             const std::vector<std::string>& names,
                             const std::vector<CensusImage>& census = {});

// The addresses of the pictures that gallery shows, in its order, each once.
std::vector<std::string> GalleryImageUrls(const std::vector<std::string>& links,
                                          const std::vector<std::string>& names,
                                          const std::vector<CensusImage>& census);

}  // namespace velmora
