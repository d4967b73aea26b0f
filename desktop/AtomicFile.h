// Whole-file replacement inside an open folder: the new content is written to a temporary file
// beside the target and renamed over it, so a reader sees either the old file or the new one,
// and a failed write leaves the old one as it was. Used by the registry store and the desktop
// entry.
#pragma once

#include <sys/types.h>

#include <string_view>
#include <system_error>

namespace velmora::desktop {

// Temporary files start with this; names that the registry store writes never do, so a
// temporary file left behind by a crash cannot be taken for a value or a key.
inline constexpr std::string_view kTemporaryPrefix = "%tmp.";

// Replaces the file `name` in the folder open as `folder` (a descriptor of a directory) with
// exactly the bytes of `content`, with permissions `mode`. `name` is one path component. The
// temporary file is created with O_EXCL | O_NOFOLLOW, so nothing planted under a guessed name is
// written through; the rename replaces a symbolic link at `name` itself, never its target.
// Returns the failure, or no error.
std::error_code ReplaceFileAt(int folder, std::string_view name, std::string_view content,
                              mode_t mode = 0644);

// An open descriptor that is closed when it goes out of scope.
class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor();
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.Release()) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_ = -1;
};

}  // namespace velmora::desktop
