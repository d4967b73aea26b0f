#include "tools/PictureBytes.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <glib/gstdio.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "analysis/PictureChoice.h"
#include "common/KeptFiles.h"

namespace velmora::analyze {

namespace {

// The loader is fed this much at a time and stops once the header has given the size.
constexpr std::size_t kFeed = 64 * 1024;

struct HeaderSize {
  int width = 0;
  int height = 0;
};

void on_loader_size_prepared(GdkPixbufLoader* loader, int width, int height, gpointer data) {
  auto* size = static_cast<HeaderSize*>(data);
  size->width = width;
  size->height = height;
  // A size of 0 x 0 tells the loader to make no picture at all: only the header is read.
  gdk_pixbuf_loader_set_size(loader, 0, 0);
}

}  // namespace

PictureFacts ReadPictureFacts(std::string_view bytes) {
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
  HeaderSize size;
  g_signal_connect(loader, "size-prepared", G_CALLBACK(on_loader_size_prepared), &size);
  for (std::size_t at = 0; at < bytes.size() && size.width == 0;) {
    const std::size_t count = std::min(kFeed, bytes.size() - at);
    if (!gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(bytes.data() + at), count,
                                 nullptr)) {
      break;
    }
    at += count;
  }
  // Closing reads what the loader kept back; it fails for the picture it was told not to make.
  gdk_pixbuf_loader_close(loader, nullptr);
  PictureFacts facts;
  if (GdkPixbufFormat* format = gdk_pixbuf_loader_get_format(loader);
      format != nullptr && size.width > 0) {
    gchar** types = gdk_pixbuf_format_get_mime_types(format);
    if (types != nullptr && types[0] != nullptr) facts.type = types[0];
    g_strfreev(types);
    facts.width = size.width;
    facts.height = size.height;
  }
  g_object_unref(loader);
  return facts;
}

void DescribePicture(std::string_view bytes, CensusImage& picture) {
  const PictureFacts facts = ReadPictureFacts(bytes);
  if (!facts.type.empty()) picture.type = facts.type;
  if (facts.width > 0) {
    picture.width = facts.width;
    picture.height = facts.height;
  }
  picture.bytes = bytes.size();
  picture.contentHash = ContentHash(bytes);
}

FetchedBytes SavedPageBytes(const CensusImage& picture) {
  FetchedBytes out;
  const std::string& url = picture.url;
  if (g_ascii_strncasecmp(url.c_str(), "data:", 5) == 0) {
    std::optional<DataUri> data = DecodeDataUri(url);
    if (!data) {
      out.whyNot = "not a well-formed data: address";
      return out;
    }
    out.bytes = std::move(data->bytes);
  } else if (g_ascii_strncasecmp(url.c_str(), "file:", 5) == 0) {
    gchar* path = g_filename_from_uri(url.c_str(), nullptr, nullptr);
    if (path == nullptr) {
      out.whyNot = "not a file on this computer";
      return out;
    }
    GStatBuf info;
    gchar* contents = nullptr;
    gsize length = 0;
    GError* error = nullptr;
    if (g_stat(path, &info) != 0) {
      out.whyNot = std::string("cannot read '") + path + "': " + std::strerror(errno);
    } else if (!S_ISREG(info.st_mode)) {
      out.whyNot = std::string("'") + path + "' is not a file";
    } else if (static_cast<std::size_t>(info.st_size) > kMaxPictureFile) {
      out.whyNot = std::string("'") + path + "' is too large for a picture";
    } else if (!g_file_get_contents(path, &contents, &length, &error)) {
      out.whyNot = std::string("cannot read: ") + error->message;
      g_error_free(error);
    } else {
      out.bytes.emplace(contents, length);
      g_free(contents);
    }
    g_free(path);
    if (!out.bytes) return out;
  } else {
    out.whyNot = "not loaded: use --live";
    return out;
  }
  if (ReadPictureFacts(*out.bytes).type.empty()) {
    out.bytes.reset();
    out.whyNot = "not a picture this program can read";
  }
  return out;
}

}  // namespace velmora::analyze
