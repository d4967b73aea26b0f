#include "hosted/Thumbnail.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gio/gio.h>

#include <algorithm>
#include <cmath>

namespace velmora {

namespace {

// The bytes go to the loader in pieces, so that a picture refused on its size is not read on.
constexpr std::size_t kPiece = 64 * 1024;

struct Decoding {
  int side;
  bool refused = false;
};

// The pixels a format decodes a `width` x `height` picture into on its way to `fitted`: libjpeg
// decodes at a scale of 1/2, 1/4 or 1/8 that is still at least the size asked for, librsvg draws
// at the size asked for, every other loader decodes the whole picture and scales it afterwards.
std::int64_t DecodedPixels(GdkPixbufLoader* loader, int width, int height, int fittedWidth,
                           int fittedHeight) {
  GdkPixbufFormat* format = gdk_pixbuf_loader_get_format(loader);
  gchar* name = format != nullptr ? gdk_pixbuf_format_get_name(format) : nullptr;
  const std::string_view kind = name != nullptr ? name : "";
  std::int64_t decoded = static_cast<std::int64_t>(width) * height;
  if (kind == "svg") decoded = static_cast<std::int64_t>(fittedWidth) * fittedHeight;
  if (kind == "jpeg") {
    int scale = 1;
    while (scale < 8 && width / (scale * 2) >= fittedWidth &&
           height / (scale * 2) >= fittedHeight) {
      scale *= 2;
    }
    decoded /= static_cast<std::int64_t>(scale) * scale;
  }
  g_free(name);
  return decoded;
}

void OnSizePrepared(GdkPixbufLoader* loader, int width, int height, gpointer data) {
  auto* decoding = static_cast<Decoding*>(data);
  const int side = decoding->side;
  int fittedWidth = width;
  int fittedHeight = height;
  if (width > side || height > side) {
    const double scale =
        std::min(static_cast<double>(side) / width, static_cast<double>(side) / height);
    fittedWidth = std::max(1, static_cast<int>(std::lround(width * scale)));
    fittedHeight = std::max(1, static_cast<int>(std::lround(height * scale)));
  }
  if (width <= 0 || height <= 0 ||
      DecodedPixels(loader, width, height, fittedWidth, fittedHeight) > kMaxDecodedPixels) {
    decoding->refused = true;
    // A size of 0 tells the loader to stop before it allocates the picture.
    gdk_pixbuf_loader_set_size(loader, 0, 0);
    return;
  }
  if (fittedWidth != width || fittedHeight != height) {
    gdk_pixbuf_loader_set_size(loader, fittedWidth, fittedHeight);
  }
}

// MakeThumbnail in GdkPixbuf terms: a full reference, or null.
GdkPixbuf* Decode(std::string_view bytes, int side) {
  if (bytes.empty() || side <= 0) return nullptr;
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
  Decoding decoding{side};
  g_signal_connect(loader, "size-prepared", G_CALLBACK(OnSizePrepared), &decoding);
  bool failed = false;
  for (std::size_t at = 0; at < bytes.size() && !decoding.refused && !failed; at += kPiece) {
    const std::size_t length = std::min(kPiece, bytes.size() - at);
    failed = !gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(bytes.data() + at),
                                      length, nullptr);
  }
  // A truncated picture still shows what arrived of it, as a browser shows it.
  gdk_pixbuf_loader_close(loader, nullptr);
  GdkPixbuf* thumbnail = nullptr;
  if (!decoding.refused) {
    if (GdkPixbuf* decoded = gdk_pixbuf_loader_get_pixbuf(loader)) {
      thumbnail = gdk_pixbuf_apply_embedded_orientation(decoded);
    }
  }
  g_object_unref(loader);
  return thumbnail;
}

struct Later {
  std::shared_ptr<const std::string> bytes;
  int side;
  std::function<void(Glib::RefPtr<Gdk::Pixbuf>)> done;
  std::shared_ptr<bool> cancelled;
};

void DecodeInThread(GTask* task, gpointer, gpointer data, GCancellable*) {
  const auto* later = static_cast<const Later*>(data);
  g_task_return_pointer(task, Decode(*later->bytes, later->side), g_object_unref);
}

void Decoded(GObject*, GAsyncResult* result, gpointer) {
  GTask* task = G_TASK(result);
  auto* later = static_cast<Later*>(g_task_get_task_data(task));
  auto* pixbuf = static_cast<GdkPixbuf*>(g_task_propagate_pointer(task, nullptr));
  // Glib::wrap takes over the reference.
  Glib::RefPtr<Gdk::Pixbuf> thumbnail =
      pixbuf != nullptr ? Glib::wrap(pixbuf) : Glib::RefPtr<Gdk::Pixbuf>();
  // The task may end on the worker thread: nothing of the receiver's is left in it for that.
  const auto done = std::move(later->done);
  if (!*later->cancelled) done(std::move(thumbnail));
}

}  // namespace

Glib::RefPtr<Gdk::Pixbuf> MakeThumbnail(std::string_view bytes, int side) {
  GdkPixbuf* pixbuf = Decode(bytes, side);
  return pixbuf != nullptr ? Glib::wrap(pixbuf) : Glib::RefPtr<Gdk::Pixbuf>();
}

std::function<void()> MakeThumbnailLater(std::shared_ptr<const std::string> bytes, int side,
                                         std::function<void(Glib::RefPtr<Gdk::Pixbuf>)> done) {
  auto cancelled = std::make_shared<bool>(false);
  GTask* task = g_task_new(nullptr, nullptr, Decoded, nullptr);
  g_task_set_task_data(task, new Later{std::move(bytes), side, std::move(done), cancelled},
                       [](gpointer data) { delete static_cast<Later*>(data); });
  g_task_run_in_thread(task, DecodeInThread);
  g_object_unref(task);
  return [cancelled] { *cancelled = true; };
}

}  // namespace velmora
