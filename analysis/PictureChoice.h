// Choosing among a page's pictures: one entry per picture however many addresses it has, which
// entries a filter lets through, in which order, and the names they get when they are saved.
// The Images tool of the window and velmora-analyze make their choices through these functions,
// so both give the same pictures, in the same order, under the same names.
//
// Start at ChoosePictures: census (ImageCensus.h) -> OnePerPicture -> ChoosePictures ->
// NamesForSaving.
#pragma once

#include <bitset>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/ImageCensus.h"

namespace velmora {

class ReferenceResolver;

// The picture types a user can pick.
enum class PictureType { Jpeg, Png, Gif, Webp, Avif, Svg, Other };
inline constexpr std::size_t kPictureTypeCount = 7;

// "JPEG", "PNG", "GIF", "WebP", "AVIF", "SVG", "other".
std::string_view PictureTypeName(PictureType type) noexcept;

// The type a user names, in any letter case: "jpeg" (or "jpg"), "png", "gif", "webp", "avif",
// "svg", "other".
std::optional<PictureType> PictureTypeNamed(std::string_view name) noexcept;

// A picture's type: by the MIME type of its bytes (or the one its data: address declares), else
// by the extension of its address's file name; Other when neither names one of the five.
PictureType PictureTypeOf(const CensusImage& picture);

// True for what no reader sees as a picture: one known to be at most 2 x 2 pixels (a spacer or a
// tracking pixel), one whose file name, without extension, is a tracker's ("pixel", "1x1",
// "spacer", "blank", "clear", "transparent", "beacon", "track", "tracking"), or one served by a
// tracker: a host whose first label is "pixel", "beacon", "track", "tracking" or "tracker", or
// one of a few hosts that serve nothing else (ad and analytics counters) or a host below them.
bool LooksLikeTrackingPixel(const CensusImage& picture);

// Another address of a picture, with its size where known (0 when not).
struct PictureVariant {
  std::string url;
  int width = 0;
  int height = 0;
};

// One picture as the Images tool lists it: the largest form known (the one shown and saved) and
// every other address it has on the page.
struct PictureEntry {
  CensusImage picture;
  std::vector<PictureVariant> others;
};

// A picture of the page that is the content of a link to an image file: the picture's census
// URL and the link's absolute URL.
struct ThumbnailLink {
  std::string thumbnailUrl;
  std::string targetUrl;
};

// Each <img> of the markup inside an <a href> whose address's path ends in an image file's
// extension (the links of the linked-image pair), in page order.
std::vector<ThumbnailLink> ThumbnailLinks(std::string_view markup,
                                          const ReferenceResolver& resolver);

// One entry per picture, in page order (an entry stands where the first of its forms stood):
//  - census entries that share an address (one's URL is among another's alsoAt) or have the
//    same content hash are one entry with all their addresses;
//  - a thumbnail (by its URL or one of its other URLs) that links to another picture becomes
//    one entry with that picture, which is shown, unless both sizes are known and the linked
//    one is the smaller. A linked picture the census does not hold gets an entry of its own
//    kind (the thumbnail's) with its size unknown.
// The others of an entry are its other forms and every alsoAt (srcset candidates, src), each
// address once, smallest known width first and unknown sizes last. "Larger" compares areas
// where both heights are known, else widths.
std::vector<PictureEntry> OnePerPicture(const std::vector<CensusImage>& census,
                                        const std::vector<ThumbnailLink>& links = {});

// An address as a browser loads it, for comparing addresses: resolved as ReferenceResolver
// resolves an absolute reference (scheme and host in lower case, default ports dropped, what a
// URL cannot hold percent-encoded); the text itself when it does not resolve.
std::string ComparableAddress(std::string_view url);

// The first entry that has the picture at `url`, as its own address or one of its others, the
// addresses compared as ComparableAddress makes them: the address of a link to a picture, as the
// engine reports it, finds the picture's entry. Nothing when no entry has it.
std::optional<std::size_t> EntryWithAddress(const std::vector<PictureEntry>& entries,
                                            std::string_view url);

// What an entry's others add, for a caption: "also 320 w, 640 w" (a width where it is known and
// differs from the picture's, else the file name); "" when it has none.
std::string AlsoText(const PictureEntry& entry);

struct PictureFilter {
  // At least this many pixels wide and high. A picture whose size is unknown passes only a
  // minimum of 0: "at least 400 px" never brings in what may be an icon.
  int minWidth = 0;
  int minHeight = 0;
  // The types let through; every type when none is set.
  std::bitset<kPictureTypeCount> types;
  // Text that the picture's address or one of its others must hold, in any letter case.
  std::string contains;
  // Leaves out what LooksLikeTrackingPixel says.
  bool hideTracking = false;

  bool Passes(const PictureEntry& entry) const;
  bool ChoosesAll() const noexcept {
    return minWidth <= 0 && minHeight <= 0 && types.none() && contains.empty() && !hideTracking;
  }
};

enum class PictureOrder {
  Page,   // as the page shows them
  Area,   // largest first by pixel area; unknown sizes last
  Bytes,  // largest file first; unknown sizes last
  Type,   // by type, in the order of PictureType
};

// "page", "area", "bytes", "type".
std::string_view PictureOrderName(PictureOrder order) noexcept;
std::optional<PictureOrder> PictureOrderNamed(std::string_view name) noexcept;

// The entries that pass the filter, as indexes into `entries`, in the order asked for; entries
// that compare equal keep page order.
std::vector<std::size_t> ChoosePictures(const std::vector<PictureEntry>& entries,
                                        const PictureFilter& filter, PictureOrder order);

// The extension a saved picture gets, from the type of its bytes: as its address writes it when
// that is an extension of the same type ("JPG", "jpeg"), else the type's usual one; the
// address's own when the type is unknown; "" when neither gives one.
std::string PictureExtension(const CensusImage& picture);

// How saved pictures are named: text with the parts
//   {n}      the picture's place in the saved set, from 1
//   {name}   its address's file name without a picture extension ("image" when there is none)
//   {host}   its address's host ("" for data: and file: pictures)
//   {title}  the page's title
//   {w} {h}  its size in pixels (0 when unknown)
//   {ext}    PictureExtension
// Every name ends in the picture's extension: it is added when the pattern does not give it.
class NamePattern {
 public:
  static constexpr std::string_view kDefault = "{name}";

  // The pattern, or nothing with `error` saying what is wrong: it is empty, or it names a part
  // that does not exist. A brace that starts no part is plain text.
  static std::optional<NamePattern> Parse(std::string_view pattern, std::string& error);

  // The name of one picture, safe as a file name (SafeFileName): no "/" (every "/" and "\" of
  // the parts and the pattern becomes "_"), no control character, never "." or "..", never
  // empty, at most about 200 bytes.
  std::string NameFor(const CensusImage& picture, int n, std::string_view title) const;

 private:
  enum class Part { Text, Number, Name, Host, Title, Width, Height, Extension };
  struct Piece {
    Part part;
    std::string text;
  };
  explicit NamePattern(std::vector<Piece> pieces) : pieces_(std::move(pieces)) {}
  std::vector<Piece> pieces_;
};

// The names of pictures saved together into one folder, in their order: NameFor with n from 1;
// a name an earlier picture of the set has (in any letter case) is numbered ("a (1).png"), so
// no two are the same.
std::vector<std::string> NamesForSaving(const std::vector<const CensusImage*>& pictures,
                                        const NamePattern& pattern, std::string_view title);

// The folder a page's pictures are offered in, below the download folder: "<host>/<title>",
// each made safe as a file name; "Images" for a page without a host, "Untitled" for one
// without a title. Blanks and line breaks in the title count as one space.
std::filesystem::path PageFolder(std::string_view pageUrl, std::string_view title);

// The hash CensusImage::contentHash holds: SHA-256 of the bytes, in lower-case hex.
std::string ContentHash(std::string_view bytes);

}  // namespace velmora
