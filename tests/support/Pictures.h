// Pictures for tests and benchmarks, as files hold them: encoded by gdk-pixbuf.
#pragma once

#include <gdkmm/pixbuf.h>

#include <string>

namespace velmora::testing {

// The bytes of `pixbuf` in a format gdk-pixbuf writes ("png", "jpeg").
inline std::string Encoded(const Glib::RefPtr<Gdk::Pixbuf>& pixbuf, const char* type) {
  gchar* buffer = nullptr;
  gsize size = 0;
  pixbuf->save_to_buffer(buffer, size, type);
  std::string bytes(buffer, size);
  g_free(buffer);
  return bytes;
}

// A picture of one colour (0xRRGGBBAA).
inline std::string FilledPicture(int width, int height, guint32 rgba, const char* type) {
  const auto pixbuf = Gdk::Pixbuf::create(Gdk::COLORSPACE_RGB, false, 8, width, height);
  pixbuf->fill(rgba);
  return Encoded(pixbuf, type);
}

}  // namespace velmora::testing
