#include "analysis/WorkFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "common/ReplaceFile.h"

namespace velmora {

std::error_code WorkFiles::WriteRecord(std::string_view fileName,
                                       const std::function<void(TextSink&)>& write) const {
  StringSink record;
  write(record);
  record.Append("\r\n");
  return ReplaceFile(PathOf(fileName), record.Take());
}

std::error_code WorkFiles::WriteRecord(std::string_view fileName, std::string_view record) const {
  std::string text;
  text.reserve(record.size() + 2);
  text.append(record).append("\r\n");
  return ReplaceFile(PathOf(fileName), text);
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
    ::close(fd);
    // The file made here is this process's own: its one empty line replaces it whole.
    if (const std::error_code error = ReplaceFile(path, "\r\n"); error) {
      ::unlink(path.c_str());
      if (!first) first = error;
    }
  }
  return first;
}

}  // namespace velmora
