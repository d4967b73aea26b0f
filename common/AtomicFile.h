// Whole-file replacement: the new content is written to a temporary file beside the target and
// renamed over it, so a reader sees either the old file or the new one, and a failed write
// leaves the old one as it was. The work files, the registry store and the desktop entry are
// written this way (the settings through GLib's key file, which does the same).
#pragma once

#include <fcntl.h>
#include <sys/types.h>

#include <string>
#include <string_view>
#include <system_error>

namespace velmora {

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

struct ReplacementOptions {
  mode_t mode = 0644;  // exactly, whatever the umask
  bool sync = false;   // fsync before the rename
  // The temporary file's name starts with this (a reader of the folder can tell it apart).
  std::string_view temporaryPrefix = ".velmora-";
};

// The new content of `name` in the folder open as `folder` (a directory descriptor, or AT_FDCWD
// with `name` a path), written piece by piece and put in place by Commit. Without a successful
// Commit the target stays as it was and the temporary file is removed. The temporary file is
// created with O_EXCL | O_NOFOLLOW, so nothing planted under a guessed name is written through;
// the rename replaces a symbolic link at `name` itself, never its target.
class ReplacementFile {
 public:
  ReplacementFile(int folder, std::string name, ReplacementOptions options = {});
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // Appends; the first failure is kept and later writes are skipped.
  void Write(std::string_view text);
  std::error_code Commit();

 private:
  int folder_;
  std::string name_;
  std::string temporary_;
  ReplacementOptions options_;
  FileDescriptor file_;
  std::error_code error_;
  bool committed_ = false;
};

// Replaces the file `name` (one path component) in the folder open as `folder` with exactly
// `content`, synced to disk. Returns the failure, or no error.
std::error_code ReplaceFileAt(int folder, std::string_view name, std::string_view content,
                              mode_t mode = 0644, std::string_view temporaryPrefix = ".velmora-");

}  // namespace velmora
