// Thumbnails of pictures made from their bytes with gdk-pixbuf: a picture is decoded at the
// thumbnail's size where its format allows (JPEG at an eighth, SVG drawn at that size), and a
// format that must be decoded whole is decoded only when that stays small. A decompression bomb
// (20,000 x 20,000 pixels in a few kilobytes) therefore gets no thumbnail instead of taking the
// memory of its full size.
#pragma once

#include <gdkmm/pixbuf.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace velmora {

// The most pixels a picture is decoded into on its way to a thumbnail (64 MB at four bytes each).
inline constexpr std::int64_t kMaxDecodedPixels = 4096 * 4096;

// The picture `bytes` hold, fitted into `side` x `side` (never made larger than it is), with the
// orientation its EXIF data gives; null when gdk-pixbuf cannot read the bytes or the picture
// would decode into more than kMaxDecodedPixels. Usable on any thread.
Glib::RefPtr<Gdk::Pixbuf> MakeThumbnail(std::string_view bytes, int side);

// MakeThumbnail on a worker thread; `done` gets the thumbnail (or null) on the main context. The
// function returned cancels: `done` is not called after it.
std::function<void()> MakeThumbnailLater(std::shared_ptr<const std::string> bytes, int side,
                                         std::function<void(Glib::RefPtr<Gdk::Pixbuf>)> done);

}  // namespace velmora
