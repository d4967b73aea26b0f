// The "Source Code" view: the page's HTML as readable text in which every recorded file name
// is a link to its image.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/ImageCensus.h"
#include "analysis/TextSink.h"

namespace velmora {

struct ListPairs;

// The page text escaped for display: "<" becomes "&lt;", and every CR and every LF becomes
// "<BR>" (so CR LF gives two). Nothing else is escaped.
std::string EscapeSourceForView(std::string_view source);

// The source view of a page: the escaped text in which, from left to right, the longest
// recorded file name that starts at each position becomes "<a href='URL'>name</a>" (the URL of
// pair 0 where both pairs hold the name). Names are matched in the page's own text, exactly and
// in any surroundings, never inside inserted anchors or escapes, and never inside a character
// reference of the page ("&#039;" stays whole). A name whose URL may not be linked (see
// IsLinkableUrl) stays plain text. The file names of the census's pictures (their own and their
// other URLs') are linked too, where neither pair holds the name.
void WriteSourceView(std::string_view source, const ListPairs& lists,
                     const std::vector<CensusImage>& census, TextSink& out);
std::string BuildSourceView(std::string_view source, const ListPairs& lists,
                            const std::vector<CensusImage>& census = {});

// The source view of a large page, for the pane to show in its place: the same markup, with a
// style first and the markup cut into blocks ("<div class=k>" ... "</div>") after every
// `linesPerBlock`-th "<BR>" outside a link. The engine lays out and paints a block only when it
// comes into sight, so a page of many megabytes shows at once; a block break falls where a line
// break is, so the view shows and copies the same text as the source view. Removing the style and
// the block markup gives the source view's bytes.
inline constexpr std::size_t kSourceBlockLines = 64;
void WriteSourceViewInBlocks(std::string_view source, const ListPairs& lists,
                             const std::vector<CensusImage>& census, TextSink& out,
                             std::size_t linesPerBlock = kSourceBlockLines);

// Pages larger than this show in the source view in blocks.
inline constexpr std::size_t kLargeSourceBytes = 256 * 1024;
bool IsLargeSource(std::string_view source) noexcept;

}  // namespace velmora
