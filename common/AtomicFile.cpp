#include "common/AtomicFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <random>

#include "common/PosixIo.h"

namespace velmora {

namespace {

// A name for a temporary file that no other writer (in this process or another) is likely to
// pick; O_EXCL settles the rare collision.
std::string TemporaryName(std::string_view prefix) {
  static std::atomic<unsigned> counter{0};
  static const unsigned seed = std::random_device{}();
  return std::string(prefix) + std::to_string(::getpid()) + "." + std::to_string(seed) + "." +
         std::to_string(counter++);
}

// The temporary file goes into the target's own folder.
std::string Beside(const std::string& name, const std::string& temporary) {
  const std::size_t slash = name.rfind('/');
  return slash == std::string::npos ? temporary : name.substr(0, slash + 1) + temporary;
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

ReplacementFile::ReplacementFile(int folder, std::string name, ReplacementOptions options)
    : folder_(folder), name_(std::move(name)), options_(options) {
  for (int attempt = 0; attempt < 100 && !file_.valid(); ++attempt) {
    temporary_ = Beside(name_, TemporaryName(options_.temporaryPrefix));
    file_ = FileDescriptor(::openat(folder_, temporary_.c_str(),
                                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                    options_.mode));
    if (!file_.valid() && errno != EEXIST) break;
  }
  if (!file_.valid()) {
    error_ = errno == EEXIST ? std::make_error_code(std::errc::file_exists) : LastError();
    temporary_.clear();
  }
}

ReplacementFile::~ReplacementFile() {
  if (!committed_ && !temporary_.empty()) ::unlinkat(folder_, temporary_.c_str(), 0);
}

void ReplacementFile::Write(std::string_view text) {
  if (!error_) error_ = WriteAll(file_.get(), text);
}

std::error_code ReplacementFile::Commit() {
  if (!file_.valid()) return error_;
  if (!error_ && ::fchmod(file_.get(), options_.mode) != 0) error_ = LastError();
  if (!error_ && options_.sync && ::fsync(file_.get()) != 0) error_ = LastError();
  if (::close(file_.Release()) != 0 && !error_) error_ = LastError();
  if (!error_ && ::renameat(folder_, temporary_.c_str(), folder_, name_.c_str()) != 0) {
    error_ = LastError();
  }
  committed_ = !error_;
  return error_;
}

std::error_code ReplaceFileAt(int folder, std::string_view name, std::string_view content,
                              mode_t mode, std::string_view temporaryPrefix) {
  if (name.empty() || name.find('/') != std::string_view::npos || name == "." || name == "..") {
    return std::make_error_code(std::errc::invalid_argument);
  }
  ReplacementFile file(folder, std::string(name), {mode, true, temporaryPrefix});
  file.Write(content);
  return file.Commit();
}

}  // namespace velmora
