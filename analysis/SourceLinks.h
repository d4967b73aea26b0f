// Where the source views link the recorded picture names: the one rule that "source.htm" and the
// generated views share. Names are matched in the page's own text, exactly and in any
// surroundings; at each position the longest name that starts there wins, and a linked name is
// never searched again (one pass, left to right). A name never starts or ends inside a character
// reference of the page ("&#039;" stays whole), and a name whose URL may not be linked (see
// IsLinkableUrl) stays plain text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/ImageCensus.h"

namespace velmora {

struct ListPairs;

// True when `pos` lies inside a character reference of the text ("&#039;", "&#x27;", "&amp;"),
// after its "&": a name that starts or ends there would split the reference.
bool InsideCharacterReference(std::string_view text, std::size_t pos);

// The names a page's views link, each once, with the URL it links to: pair 0's, pair 1's, then
// the names of the census's pictures (their own URLs' and their other URLs') that neither pair
// holds. Holds views of the lists and the census, which must outlive it.
class PictureNameLinks {
 public:
  struct Place {
    std::size_t begin;  // the name's first byte in the text
    std::size_t end;    // one past its last byte
    std::uint32_t id;   // which name: see Name and Href
  };

  PictureNameLinks(const ListPairs& lists, const std::vector<CensusImage>& census);
  ~PictureNameLinks();
  PictureNameLinks(const PictureNameLinks&) = delete;
  PictureNameLinks& operator=(const PictureNameLinks&) = delete;

  // Where the text links a name, left to right, never overlapping. Empty when there is no name
  // to link, and for a text of 4 GiB or more.
  std::vector<Place> Places(std::string_view text) const;

  std::string_view Name(std::uint32_t id) const { return links_[id].name; }
  // The name's URL escaped for an attribute value in either quotes; escaped once, when first
  // asked for.
  const std::string& Href(std::uint32_t id) const;

 private:
  struct Link {
    std::string_view name;
    std::string_view url;
  };
  class Matcher;

  std::vector<std::string> censusNames_;  // the names of the census's other URLs
  std::vector<Link> links_;
  std::unique_ptr<Matcher> matcher_;
  mutable std::vector<std::string> hrefs_;
};

}  // namespace velmora
