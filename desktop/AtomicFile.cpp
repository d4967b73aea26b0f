#include "desktop/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <random>
#include <string>

#include "common/PosixIo.h"

namespace velmora::desktop {

namespace {

// A name for a temporary file that no other writer (in this process or another) is likely to
// pick; O_EXCL settles the rare collision.
std::string TemporaryName() {
  static std::atomic<unsigned> counter{0};
  static const unsigned seed = std::random_device{}();
  return std::string(kTemporaryPrefix) + std::to_string(::getpid()) + "." + std::to_string(seed) +
         "." + std::to_string(counter++);
}

}  // namespace

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) ::close(fd_);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.Release();
  }
  return *this;
}

std::error_code ReplaceFileAt(int folder, std::string_view name, std::string_view content,
                              mode_t mode) {
  const std::string target(name);
  if (target.empty() || target.find('/') != std::string::npos || target == "." || target == "..") {
    return std::make_error_code(std::errc::invalid_argument);
  }
  std::string temporary;
  FileDescriptor file;
  for (int attempt = 0; attempt < 100 && !file.valid(); ++attempt) {
    temporary = TemporaryName();
    file = FileDescriptor(::openat(folder, temporary.c_str(),
                                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (!file.valid() && errno != EEXIST) return LastError();
  }
  if (!file.valid()) return std::make_error_code(std::errc::file_exists);

  std::error_code error = WriteAll(file.get(), content);
  // The mode given to openat is narrowed by the umask; the file gets exactly `mode`.
  if (!error && ::fchmod(file.get(), mode) != 0) error = LastError();
  if (!error && ::fsync(file.get()) != 0) error = LastError();
  if (::close(file.Release()) != 0 && !error) error = LastError();
  if (!error && ::renameat(folder, temporary.c_str(), folder, target.c_str()) != 0) {
    error = LastError();
  }
  if (error) ::unlinkat(folder, temporary.c_str(), 0);
  return error;
}

}  // namespace velmora::desktop
