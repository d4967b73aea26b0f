#include "desktop/CRegister.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "common/ReplaceFile.h"
#include "common/XdgFolders.h"

namespace velmora {

namespace {

// An open folder of the store, closed when it goes out of scope.
class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Prefix of a value's file name: a key-path segment never starts with it on disk.
constexpr char kValuePrefix = '=';
// Prefix of a key's folder while it is being deleted.
constexpr std::string_view kGonePrefix = "%gone.";

// The value of an environment variable, or empty when it is unset.
std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

// Writes `c` as "%XX".
void AppendEscaped(std::string& out, unsigned char c) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += '%';
  out += kHex[c >> 4];
  out += kHex[c & 0x0F];
}

// The folder name of one key-path segment, or nothing when the segment is refused.
std::optional<std::string> SegmentFileName(std::string_view segment) {
  if (segment.empty() || segment == "." || segment == ".." ||
      segment.find_first_of(std::string_view("/\0", 2)) != std::string_view::npos) {
    return std::nullopt;
  }
  std::string name;
  name.reserve(segment.size());
  for (std::size_t i = 0; i < segment.size(); ++i) {
    const char c = segment[i];
    if (c == '%' || (i == 0 && c == kValuePrefix)) {
      AppendEscaped(name, static_cast<unsigned char>(c));
    } else {
      name += c;
    }
  }
  return name;
}

// The file name of a value, or nothing when the name holds a NUL.
std::optional<std::string> ValueFileName(std::string_view valueName) {
  if (valueName.find('\0') != std::string_view::npos) return std::nullopt;
  std::string name(1, kValuePrefix);
  if (valueName == kDefaultValueName) return name;
  for (const char c : valueName) {
    if (c == '%' || c == '/') {
      AppendEscaped(name, static_cast<unsigned char>(c));
    } else {
      name += c;
    }
  }
  return name;
}

// The folder names of the segments of a key path ("\" between segments; an empty path is the
// hive's root), or nothing when a segment is refused.
std::optional<std::vector<std::string>> KeyFolderNames(std::string_view key) {
  std::vector<std::string> names;
  if (key.empty()) return names;
  while (true) {
    const std::size_t slash = key.find('\\');
    const std::optional<std::string> name = SegmentFileName(key.substr(0, slash));
    if (!name) return std::nullopt;
    names.push_back(*name);
    if (slash == std::string_view::npos) return names;
    key.remove_prefix(slash + 1);
  }
}

// Opens the hive's folder, creating it first when `create`. The root itself is where the
// administrator (or a test) put it, so a symbolic link there is followed.
FileDescriptor OpenHive(Hive hive, bool create) {
  const std::filesystem::path root = RegistryRoot(hive);
  if (root.empty()) return {};
  if (create) {
    std::error_code ignored;  // the open below tells whether the folder is there
    std::filesystem::create_directories(root, ignored);
  }
  return FileDescriptor(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

// Opens one folder below `parent` without following a symbolic link, creating it first when
// `create` and it is missing.
FileDescriptor OpenFolderAt(int parent, const std::string& name, bool create) {
  constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
  FileDescriptor folder(::openat(parent, name.c_str(), kFlags));
  if (!folder.valid() && errno == ENOENT && create) {
    if (::mkdirat(parent, name.c_str(), 0755) != 0 && errno != EEXIST) return {};
    folder = FileDescriptor(::openat(parent, name.c_str(), kFlags));
  }
  return folder;
}

// Opens the key whose folder names are given, below the hive's folder.
FileDescriptor OpenKey(Hive hive, const std::vector<std::string>& names, std::size_t count,
                       bool create) {
  FileDescriptor folder = OpenHive(hive, create);
  for (std::size_t i = 0; i < count && folder.valid(); ++i) {
    folder = OpenFolderAt(folder.get(), names[i], create);
  }
  return folder;
}

// The names in a folder other than "." and "..", or nothing when it cannot be listed.
std::optional<std::vector<std::string>> ListFolder(int folder) {
  const int copy = ::dup(folder);
  if (copy < 0) return std::nullopt;
  DIR* listing = ::fdopendir(copy);
  if (listing == nullptr) {
    ::close(copy);
    return std::nullopt;
  }
  ::rewinddir(listing);
  std::vector<std::string> names;
  errno = 0;
  while (const dirent* entry = ::readdir(listing)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  const bool failed = errno != 0;
  ::closedir(listing);
  if (failed) return std::nullopt;
  return names;
}

// Moves the key's folder out of the way under a fresh "%gone." name; true when it moved.
bool MoveAside(int parent, const std::string& name, std::string& goneName) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    goneName =
        std::string(kGonePrefix) + std::to_string(::getpid()) + "." + std::to_string(attempt);
    if (::renameat2(parent, name.c_str(), parent, goneName.c_str(), RENAME_NOREPLACE) == 0) {
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

bool DeleteKey(Hive hive, std::string_view key) {
  const std::optional<std::vector<std::string>> names = KeyFolderNames(key);
  if (!names || names->empty()) return false;  // refused, or the hive's root
  const FileDescriptor parent = OpenKey(hive, *names, names->size() - 1, false);
  if (!parent.valid()) return false;
  const FileDescriptor target = OpenFolderAt(parent.get(), names->back(), false);
  if (!target.valid()) return false;

  const std::optional<std::vector<std::string>> entries = ListFolder(target.get());
  if (!entries) return false;
  for (const std::string& entry : *entries) {
    struct stat info {};
    if (::fstatat(target.get(), entry.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return false;
    if (S_ISDIR(info.st_mode)) return false;  // a subkey: the key is left whole
  }

  // The key disappears at once under its own name; its values go afterwards.
  std::string goneName;
  if (!MoveAside(parent.get(), names->back(), goneName)) return false;
  if (const auto left = ListFolder(target.get())) {
    for (const std::string& entry : *left) ::unlinkat(target.get(), entry.c_str(), 0);
  }
  ::unlinkat(parent.get(), goneName.c_str(), AT_REMOVEDIR);
  return true;
}

}  // namespace

std::string_view HiveName(Hive hive) {
  switch (hive) {
    case Hive::LocalMachine:
      return "HKEY_LOCAL_MACHINE";
    case Hive::CurrentUser:
      return "HKEY_CURRENT_USER";
  }
  return "HKEY_UNKNOWN";
}

std::filesystem::path RegistryRoot(Hive hive) {
  if (const std::string root = Environment(kRegistryRootVariable); !root.empty()) {
    return std::filesystem::path(root) / HiveName(hive);
  }
  if (hive == Hive::LocalMachine) {
    return std::filesystem::path("/var/lib/velmora/registry") / HiveName(hive);
  }
  return UserFolder(XdgFolder::kConfig) / "velmora" / "registry" / HiveName(hive);
}

std::string TrimKeySlashes(std::string_view key) {
  if (!key.empty() && key.front() == '\\') key.remove_prefix(1);
  if (!key.empty() && key.back() == '\\') key.remove_suffix(1);
  return std::string(key);
}

bool RegSetString(Hive hive, std::string_view key, std::string_view valueName,
                  std::string_view value) {
  const std::optional<std::vector<std::string>> names = KeyFolderNames(TrimKeySlashes(key));
  const std::optional<std::string> fileName =
      ValueFileName(valueName.empty() ? kDefaultValueName : valueName);
  if (!names || !fileName) return false;
  const FileDescriptor folder = OpenKey(hive, *names, names->size(), true);
  if (!folder.valid()) return false;
  return !ReplaceFileAt(folder.get(), *fileName, value, true);
}

bool RegDeleteEntry(Hive hive, std::string_view key, std::string_view valueName) {
  if (valueName.empty()) return DeleteKey(hive, key);
  const std::optional<std::vector<std::string>> names = KeyFolderNames(TrimKeySlashes(key));
  const std::optional<std::string> fileName = ValueFileName(valueName);
  if (!names || !fileName) return false;
  const FileDescriptor folder = OpenKey(hive, *names, names->size(), false);
  if (!folder.valid()) return false;
  struct stat info {};
  if (::fstatat(folder.get(), fileName->c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
      S_ISDIR(info.st_mode)) {
    return false;
  }
  return ::unlinkat(folder.get(), fileName->c_str(), 0) == 0;
}

bool RegKeyExists(Hive hive, std::string_view key) {
  const std::optional<std::vector<std::string>> names = KeyFolderNames(TrimKeySlashes(key));
  return names && OpenKey(hive, *names, names->size(), false).valid();
}

}  // namespace velmora
