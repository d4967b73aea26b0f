// The bytes of a saved page's own pictures, and what bytes tell of a picture. A saved page holds
// some of its pictures itself: a data: address carries the bytes, a file:// address names them
// on disk. Any other picture was loaded by the engine that showed the page, and only that
// engine can give its bytes without asking the server again.
#pragma once

#include <string>
#include <string_view>

#include "analysis/ImageCensus.h"
#include "tools/AnalyzeCommand.h"

namespace velmora::analyze {

struct PictureFacts {
  std::string type;  // MIME type; "" when the bytes are no picture gdk-pixbuf can read
  int width = 0;     // 0 when unknown
  int height = 0;
};

// What a picture's bytes say of it, read from their header with gdk-pixbuf: a picture is never
// decoded at its full size for this, however large it claims to be.
PictureFacts ReadPictureFacts(std::string_view bytes);

// Fills the picture's type, pixel size, byte count and content hash from its bytes.
void DescribePicture(std::string_view bytes, CensusImage& picture);

// The bytes of a picture of a saved page: decoded from a data: address, or read from the
// regular file a file:// address names (at most kMaxPictureFile bytes). Bytes that are no
// picture are refused, so a page cannot have a private file copied for a picture.
FetchedBytes SavedPageBytes(const CensusImage& picture);

inline constexpr std::size_t kMaxPictureFile = 256u << 20;

}  // namespace velmora::analyze
