#include "analysis/LoadedPictures.h"
namespace velmora {
void MergeLoadedPictures(std::vector<CensusImage>& census,
                         const std::vector<LoadedPicture>& loaded) {
  for (const LoadedPicture& p : loaded) {
    bool found = false;
    for (CensusImage& c : census)
      if (c.url == p.url) {
        found = true;
        c.type = p.mimeType;
        c.bytes = p.bytes;
        c.loaded = true;
      }
    if (!found) {
      CensusImage c;
      c.url = p.url;
      c.kind = p.kind;
      c.type = p.mimeType;
      c.bytes = p.bytes;
      c.width = p.width;
      c.height = p.height;
      c.loaded = true;
      census.push_back(c);
    }
  }
}
std::string ShortTypeName(std::string_view m) {
  return std::string(m);
}
}  // namespace velmora
