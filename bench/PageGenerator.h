// Deterministic generator of large, realistic page bodies for the analysis benchmarks: text
// paragraphs, cards, image tags in every reference form a page uses, image links and ordinary
// links. The same shape and seed always give the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmora::bench {

struct PageShape {
  std::size_t targetBytes = 1'000'000;  // the body ends at the first paragraph past this size
  std::size_t imageCount = 1'000;       // image tags in the body
  std::size_t distinctNames = 250;      // image file names the tags draw from
  double linkedShare = 0.2;             // share of image tags wrapped in a link to an image file
  double splitShare = 0.02;             // share of image tags split over two lines
  double lazyShare = 0.1;           // share of lazy images: a placeholder src, the real data-src
  double srcsetShare = 0.1;         // share of image tags with a srcset of a larger picture
  std::string_view lineEnd = "\n";  // "\n" or "\r\n"
  std::uint64_t seed = 0x5EED0FBA9Eull;
};

// The body element's HTML for the shape. Two shapes that differ only in lineEnd give the same
// page with different line breaks.
std::string GeneratePage(const PageShape& shape);

// The whole document as a server sends it: doctype, a head with the charset, scripts, styles and
// comments, then GeneratePage's body.
std::string GenerateServedDocument(const PageShape& shape);

}  // namespace velmora::bench
