// Small helpers over the POSIX file calls that the atomic file writers share.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <system_error>

namespace velmora {

// The error of the last failed system call.
inline std::error_code LastError() {
  return {errno, std::generic_category()};
}

// Writes all of the text, resuming after short writes and interruptions.
inline std::error_code WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return {};
}

}  // namespace velmora
