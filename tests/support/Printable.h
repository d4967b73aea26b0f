// Bytes made readable in a failure message: controls and non-ASCII bytes as \xNN.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace velmora::testing {

inline std::string Printable(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace velmora::testing
