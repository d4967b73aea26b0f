#include "common/ReplaceFile.h"

#include <glib.h>

#include <cerrno>
#include <string>
#include <utility>

namespace velmora {

namespace {

// GLib reports the system's error as a GFileError; the callers read it as errno.
constexpr std::pair<GFileError, int> kErrnos[] = {
    {G_FILE_ERROR_EXIST, EEXIST}, {G_FILE_ERROR_ISDIR, EISDIR},
    {G_FILE_ERROR_ACCES, EACCES}, {G_FILE_ERROR_NAMETOOLONG, ENAMETOOLONG},
    {G_FILE_ERROR_NOENT, ENOENT}, {G_FILE_ERROR_NOTDIR, ENOTDIR},
    {G_FILE_ERROR_NXIO, ENXIO},   {G_FILE_ERROR_NODEV, ENODEV},
    {G_FILE_ERROR_ROFS, EROFS},   {G_FILE_ERROR_TXTBSY, ETXTBSY},
    {G_FILE_ERROR_FAULT, EFAULT}, {G_FILE_ERROR_LOOP, ELOOP},
    {G_FILE_ERROR_NOSPC, ENOSPC}, {G_FILE_ERROR_NOMEM, ENOMEM},
    {G_FILE_ERROR_MFILE, EMFILE}, {G_FILE_ERROR_NFILE, ENFILE},
    {G_FILE_ERROR_BADF, EBADF},   {G_FILE_ERROR_INVAL, EINVAL},
    {G_FILE_ERROR_PIPE, EPIPE},   {G_FILE_ERROR_AGAIN, EAGAIN},
    {G_FILE_ERROR_INTR, EINTR},   {G_FILE_ERROR_IO, EIO},
    {G_FILE_ERROR_PERM, EPERM},   {G_FILE_ERROR_NOSYS, ENOSYS},
};

std::error_code ErrorOf(const GError* error) {
  for (const auto& [code, number] : kErrnos) {
    if (error->domain == G_FILE_ERROR && error->code == code)
      return {number, std::generic_category()};
  }
  return std::make_error_code(std::errc::io_error);
}

}  // namespace

std::error_code ReplaceFile(const std::filesystem::path& path, std::string_view content,
                            bool durable) {
  const auto flags = static_cast<GFileSetContentsFlags>(
      G_FILE_SET_CONTENTS_CONSISTENT | (durable ? G_FILE_SET_CONTENTS_DURABLE : 0));
  g_autoptr(GError) error = nullptr;
  if (g_file_set_contents_full(path.c_str(), content.data(), static_cast<gssize>(content.size()),
                               flags, 0644, &error)) {
    return {};
  }
  return ErrorOf(error);
}

std::error_code ReplaceFileAt(int folder, std::string_view name, std::string_view content,
                              bool durable) {
  if (name.empty() || name.find('/') != std::string_view::npos || name == "." || name == "..") {
    return std::make_error_code(std::errc::invalid_argument);
  }
  // The kernel's link to the open folder.
  return ReplaceFile("/proc/self/fd/" + std::to_string(folder) + "/" + std::string(name), content,
                     durable);
}

}  // namespace velmora
