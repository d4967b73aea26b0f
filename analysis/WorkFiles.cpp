#include "analysis/WorkFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "common/PosixIo.h"

namespace velmora {

namespace {

// A new file written beside its target and renamed over it on Commit; without a successful
// Commit the target stays as it was and the new file is removed.
class ReplacementFile : public TextSink {
 public:
  // Small enough to stay in the cache and on the heap; large enough for few system calls.
  static constexpr std::size_t kChunk = 64 << 10;

  explicit ReplacementFile(std::filesystem::path target)
      : TextSink(kChunk), target_(std::move(target)) {
    temp_ = (target_.parent_path() / ("." + target_.filename().string() + ".XXXXXX")).string();
    fd_ = ::mkstemp(temp_.data());
    created_ = fd_ >= 0;
    if (!created_) error_ = LastError();
  }
  ~ReplacementFile() override {
    if (fd_ >= 0) ::close(fd_);
    if (created_ && !committed_) ::unlink(temp_.c_str());
  }
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  std::error_code Commit() {
    Flush();
    if (!created_) return error_;
    if (!error_ && ::fchmod(fd_, 0644) != 0) error_ = LastError();
    if (::close(fd_) != 0 && !error_) error_ = LastError();
    fd_ = -1;
    if (!error_ && ::rename(temp_.c_str(), target_.c_str()) != 0) error_ = LastError();
    committed_ = !error_;
    return error_;
  }

 private:
  void Write(std::string_view text) override {
    if (!error_) error_ = WriteAll(fd_, text);
  }

  std::filesystem::path target_;
  std::string temp_;
  int fd_ = -1;
  bool created_ = false;
  std::error_code error_;
  bool committed_ = false;
};

}  // namespace

std::error_code WorkFiles::WriteRecord(std::string_view fileName,
                                       const std::function<void(TextSink&)>& write) const {
  ReplacementFile file(PathOf(fileName));
  write(file);
  file.Append("\r\n");
  return file.Commit();
}

std::error_code WorkFiles::WriteRecord(std::string_view fileName, std::string_view record) const {
  return WriteRecord(fileName, [record](TextSink& out) { out.Append(record); });
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
    std::error_code error = WriteAll(fd, "\r\n");
    if (::close(fd) != 0 && !error) error = LastError();
    if (error) {
      ::unlink(path.c_str());
      if (!first) first = error;
    }
  }
  return first;
}

}  // namespace velmora
