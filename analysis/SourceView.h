// The "Source Code" view: the page's HTML as readable text in which every recorded file name
// is a link to its image.
#pragma once

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

}  // namespace velmora
