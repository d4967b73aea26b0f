// The image census: every picture a page shows or is about to show, each once, by absolute URL,
// with the kind of element or attribute that names it. It sees what the image-tag scanner cannot:
// the real address of a lazy-loaded image, the largest candidate of a srcset or a <picture>,
// CSS backgrounds, video posters, image buttons and SVG images.
//
// The census is made from descriptions of the page's picture elements (ImageElement): the live
// document gives them with what the engine knows (the URL it chose, the size it loaded, computed
// backgrounds); CensusFromMarkup reads them from the markup of a saved page. Both go through the
// same rules, so a live picture and its markup give the same entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/FlatSet.h"

namespace velmora {

class ReferenceResolver;

// The last five are pictures that only the engine's record names (analysis/LoadedPictures.h):
// drawn by a CSS `content` (a pseudo-element), loaded inside a frame, the page's icon, shown
// through <object>/<embed>, or loaded for a reason nobody reported.
enum class ImageKind {
  Img,
  Srcset,
  Picture,
  Lazy,
  Background,
  Poster,
  Input,
  Svg,
  Generated,
  Frame,
  Icon,
  Object,
  Loaded
};

// "img", "srcset", "picture", "lazy", "background", "poster", "input", "svg", "generated",
// "frame", "icon", "object", "loaded".
std::string_view KindName(ImageKind kind) noexcept;

struct CensusImage {
  std::string url;   // absolute URL of the picture at its full size
  std::string name;  // its file name, the last segment of the URL's path ("" when it has none)
  ImageKind kind = ImageKind::Img;
  int width = 0;  // in pixels where known: the loaded size, or a srcset's width descriptor
  int height = 0;
  // Other URLs of the same picture: its src, the candidate the engine chose, the smaller
  // candidates. Never a placeholder.
  std::vector<std::string> alsoAt;
  // What the element showed while its picture was still to come (a lazy loader's placeholder):
  // the engine loads it, but it is no picture of the page.
  std::vector<std::string> placeholders{};
  // What the engine's record adds once it has loaded the picture (empty or 0 when unknown):
  std::string type{};  // MIME type of its bytes ("image/webp"), sniffed when the server's is wrong
  std::uint64_t bytes = 0;  // its size in bytes as loaded
  std::string frame{};      // the URL of the frame that loaded it; "" for the page itself
  bool loaded = false;      // the engine holds its bytes (saving needs no second request)
  // SHA-256 of its bytes in lower-case hex, once they are known: the same picture under two
  // addresses (analysis/PictureChoice.h).
  std::string contentHash{};
};

// What one element of the page says about the picture it shows.
struct ImageElement {
  // The element's name in lower case: "img", "video", "input", "image" (SVG), "link" (its rel
  // names an icon: "icon", "shortcut icon", "apple-touch-icon", "mask-icon"), "object" and
  // "embed" (their type is an image type or, without one, their address names an image file),
  // or any element that has a background.
  std::string tag;
  // Names in lower case, values with character references decoded, in the order written.
  std::vector<std::pair<std::string, std::string>> attributes;
  // For an <img> inside a <picture>: the srcset of each of the picture's <source> elements.
  std::vector<std::string> pictureSources;
  // What the live document knows; empty or 0 when it does not.
  std::string currentUrl;  // absolute: the image the engine chose (currentSrc, poster)
  int naturalWidth = 0;    // the size of currentUrl as loaded
  int naturalHeight = 0;
  std::string computedBackground;  // the computed background-image ("url(...)", "none")

  const std::string* Attribute(std::string_view name) const noexcept;
};

// One candidate of a srcset: the URL as written and its descriptor (width or density).
struct SrcsetCandidate {
  std::string url;
  int width = 0;       // "800w"; 0 when the candidate has a density
  double density = 1;  // "2x"; 1 when it has no descriptor
};

// The candidates of a srcset attribute, read as a browser reads them; a candidate with a
// descriptor that cannot be read is dropped.
std::vector<SrcsetCandidate> ParseSrcset(std::string_view srcset);

// The file name of an image URL: the last segment of its path, without query and fragment; ""
// unless it looks like a file name (it has a "."), so that the source view never links a word.
std::string ImageFileName(std::string_view url);

// The URL of every url() in a CSS value, unescaped, in order.
std::vector<std::string> CssUrls(std::string_view css);

// The URLs of the background and background-image declarations of a style attribute.
std::vector<std::string> StyleBackgroundUrls(std::string_view style);

// Builds a census entry by entry; an entry whose URL is recorded already adds nothing.
class ImageCensusBuilder {
 public:
  // `resolver` resolves the page's references (page or base URL); it must outlive the builder.
  explicit ImageCensusBuilder(const ReferenceResolver& resolver) : resolver_(resolver) {}
  ImageCensusBuilder(const ImageCensusBuilder&) = delete;
  ImageCensusBuilder& operator=(const ImageCensusBuilder&) = delete;

  // The pictures an element shows. A lazy loader's attribute that holds no address (blanks, JSON,
  // markup, a template the page never filled) is passed over: the element's src stays its address.
  void Add(const ImageElement& element);
  // Adds an entry made elsewhere (another census), unless its URL is recorded already.
  void Add(CensusImage image);
  std::vector<CensusImage> Take() {
    urls_.clear();
    return std::move(images_);
  }

 private:
  // The absolute URL of a reference of the page, when it may be shown.
  std::optional<std::string> Resolve(std::string_view reference) const;
  void AddPicture(const ImageElement& element);
  void AddSingle(const std::string* reference, ImageKind kind, const ImageElement& element);
  void AddBackgrounds(const ImageElement& element);

  const ReferenceResolver& resolver_;
  std::vector<CensusImage> images_;
  // The URLs recorded, as indexes into images_ (which owns the text).
  FlatIndexSet urls_;
};

// The census of a page's markup (a saved page, or the body as the browser serialised it).
std::vector<CensusImage> CensusFromMarkup(std::string_view markup,
                                          const ReferenceResolver& resolver);

// The census of the live document's elements, then what only the markup shows (the markup's
// entries whose URL the live document did not report), in that order.
std::vector<CensusImage> TakeCensus(const std::vector<ImageElement>& liveElements,
                                    std::string_view markup, const ReferenceResolver& resolver);

// The census entries that `shownUrls` (the image pair's URLs) does not show already: neither the
// entry's URL nor any of its other URLs is among them.
std::vector<const CensusImage*> ImagesBeyond(const std::vector<std::string>& shownUrls,
                                             const std::vector<CensusImage>& census);

}  // namespace velmora
