// The registry store's and the desktop entry's whole-file writer (common/AtomicFile.h): names
// that the registry store writes never start with its temporary prefix, so a temporary file left
// behind by a crash cannot be taken for a value or a key.
#pragma once

#include <sys/types.h>

#include <string_view>
#include <system_error>

#include "common/AtomicFile.h"

namespace velmora::desktop {

inline constexpr std::string_view kTemporaryPrefix = "%tmp.";

using velmora::FileDescriptor;

inline std::error_code ReplaceFileAt(int folder, std::string_view name, std::string_view content,
                                     mode_t mode = 0644) {
  return velmora::ReplaceFileAt(folder, name, content, mode, kTemporaryPrefix);
}

}  // namespace velmora::desktop
