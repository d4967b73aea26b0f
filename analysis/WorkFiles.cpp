#include "analysis/WorkFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace velmora {

namespace {

std::error_code LastError() {
  return {errno, std::generic_category()};
}

// Writes all of the buffers, resuming after short writes and interruptions.
std::error_code WriteAll(int fd, std::string_view first, std::string_view second) {
  iovec parts[2] = {{const_cast<char*>(first.data()), first.size()},
                    {const_cast<char*>(second.data()), second.size()}};
  iovec* part = parts;
  int count = 2;
  while (count > 0) {
    const ssize_t written = ::writev(fd, part, count);
    if (written < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    auto left = static_cast<std::size_t>(written);
    while (count > 0 && left >= part->iov_len) {
      left -= part->iov_len;
      ++part;
      --count;
    }
    if (count > 0) {
      part->iov_base = static_cast<char*>(part->iov_base) + left;
      part->iov_len -= left;
    }
  }
  return {};
}

}  // namespace

std::error_code WorkFiles::WriteRecord(std::string_view fileName, std::string_view record) const {
  const std::filesystem::path target = PathOf(fileName);
  std::string temp = (folder_ / ("." + std::string(fileName) + ".XXXXXX")).string();
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return LastError();
  std::error_code error = WriteAll(fd, record, "\r\n");
  if (!error && ::fchmod(fd, 0644) != 0) error = LastError();
  if (::close(fd) != 0 && !error) error = LastError();
  if (!error && ::rename(temp.c_str(), target.c_str()) != 0) error = LastError();
  if (error) ::unlink(temp.c_str());
  return error;
}

std::error_code WorkFiles::ResetWorkFiles() const {
  for (std::string_view name : workfile::kResetOrder) {
    if (std::error_code error = WriteRecord(name, ""); error) return error;
  }
  return {};
}

std::error_code WorkFiles::CreateMissingWorkFiles() const {
  std::error_code first;
  for (std::string_view name : workfile::kCreationOrder) {
    const std::filesystem::path path = PathOf(name);
    // O_EXCL: a file that exists (even one made a moment ago by another process) is left alone.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      if (errno != EEXIST && !first) first = LastError();
      continue;
    }
    std::error_code error = WriteAll(fd, "", "\r\n");
    if (::close(fd) != 0 && !error) error = LastError();
    if (error) {
      ::unlink(path.c_str());
      if (!first) first = error;
    }
  }
  return first;
}

}  // namespace velmora
