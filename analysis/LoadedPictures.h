// The pictures the engine loaded for the page shown, as the browser control's record describes
// them (every frame, every origin, pseudo-elements, pictures that arrive after the analysis),
// and how they join the image census: a picture the census names already gets the engine's
// type, sizes and bytes; any other becomes an entry of its own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/ImageCensus.h"

namespace velmora {

struct LoadedPicture {
  std::string url;         // final URL, after redirects
  std::string requestUrl;  // the URL first asked for; "" when the same as url
  std::string mimeType;    // the type of its bytes: the response's, or sniffed when that is wrong
  std::uint64_t bytes = 0;
  int width = 0;  // pixel size read from the bytes' header; 0 when unknown
  int height = 0;
  std::string frame;          // the URL of the frame that loaded it; "" for the page itself
  std::string contentHash{};  // SHA-256 of its bytes, lower-case hex (see CensusImage)
  // The best kind known: Generated, Frame, Icon, Object, Background, Img, or Loaded.
  ImageKind kind = ImageKind::Loaded;
};

// Merges `loaded` (in load order) into `census`: a picture whose url or requestUrl is a census
// entry's url gets the engine's type, bytes, frame and pixel size; one whose url or requestUrl
// is one of an entry's alsoAt is that picture at another size or in another format, and only
// keeps it from being added twice. Either way its URLs join the entry's alsoAt where the entry
// does not write them so already (unless another entry has them). Any other picture is appended
// as an entry of its own with its kind. Each picture once by final URL; a data: URL, or one the
// generated pages may not show, is never appended. Addresses compare as the engine writes them
// (fragment dropped, characters outside ASCII percent-encoded), so a census URL written with "é"
// matches the record's "%C3%A9". Merging the same record again changes nothing.
void MergeLoadedPictures(std::vector<CensusImage>& census,
                         const std::vector<LoadedPicture>& loaded);

// "PNG", "JPEG", "GIF", "WebP", "AVIF", "SVG", "ICO", "BMP"; for another image/* type its
// subtype in capitals ("HEIC"); "" for "", for a type that is not an image's, and for a subtype
// that is no plain token (letters, digits, ". + - _", at most 24 characters). Parameters
// ("; charset=...") and the letter case of the type do not count.
std::string ShortTypeName(std::string_view mimeType);

}  // namespace velmora
