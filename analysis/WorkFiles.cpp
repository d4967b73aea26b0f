#include "analysis/WorkFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "common/AtomicFile.h"
#include "common/PosixIo.h"

namespace velmora {

namespace {

// The work file's new content, put in place on Commit (common/AtomicFile.h).
class ReplacementSink : public TextSink {
 public:
  // Small enough to stay in the cache and on the heap; large enough for few system calls.
  static constexpr std::size_t kChunk = 64 << 10;

  explicit ReplacementSink(const std::filesystem::path& target)
      : TextSink(kChunk), file_(AT_FDCWD, target.string()) {}

  std::error_code Commit() {
    Flush();
    return file_.Commit();
  }

 private:
  void Write(std::string_view text) override { file_.Write(text); }

  ReplacementFile file_;
};

}  // namespace

std::error_code WorkFiles::WriteRecord(std::string_view fileName,
                                       const std::function<void(TextSink&)>& write) const {
  ReplacementSink file(PathOf(fileName));
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
