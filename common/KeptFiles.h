// The files a user keeps from the web (downloads, saved pictures): where they go, the names they
// get, and how they arrive. A name comes from a server's suggestion or from the URL, made safe
// for a folder and never one that is taken already; a file is written under a temporary name
// and moved to its own name only once it is complete, so a failed or cancelled transfer leaves
// nothing under a name the user would take for the real file.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace velmora {

// The desktop's download folder when it names one other than the home folder itself, else
// ~/Downloads. Not created here.
std::filesystem::path DefaultDownloadFolder();

// The longest name SafeFileName gives, in bytes.
inline constexpr std::size_t kMaxKeptNameBytes = 200;

// `raw` (a server's suggested name, a URL's last segment) as a file name: only what follows
// its last "/" or "\", as valid UTF-8, without control characters, leading dots or blanks, or
// trailing dots or blanks, and at most kMaxKeptNameBytes long (a short extension is kept);
// `fallback` when nothing is left.
std::string SafeFileName(std::string_view raw, std::string_view fallback);

// The name a URL's path ends in, percent-decoded ("" for "http://host/", a data: URL, or a URL
// that does not parse).
std::string FileNameOfUri(std::string_view uri);

// The usual extension of a content type ("png" for "image/png", parameters ignored), "" when it
// is not one we know.
std::string_view ExtensionForContentType(std::string_view contentType);

// `name` with the content type's extension added when it has no extension of its own.
std::string WithExtensionFor(std::string name, std::string_view contentType);

// `name` with the extension its bytes' type calls for: a picture of type image/webp named
// "photo.jpg" is "photo.webp", one named "photo" is "photo.webp"; an extension that is one of the
// type's own ("jpeg" for image/jpeg) stays, and a type we do not know changes nothing.
std::string WithExtensionOfType(std::string name, std::string_view contentType);

// The n-th candidate for a name: the name itself for 0, then "name (1).ext", "name (2).ext".
std::string NumberedName(std::string_view name, int n);

// What a data: URL holds; nothing when it is not a well-formed data: URL.
struct DataUri {
  std::string contentType;  // "text/plain" when the URL names none
  std::string bytes;
};
std::optional<DataUri> DecodeDataUri(std::string_view uri);

// A new, empty, hidden file in `folder` for a transfer to write into. Empty path and `error`
// set when the folder cannot take one.
std::filesystem::path MakeTemporaryFile(const std::filesystem::path& folder,
                                        std::error_code& error);

// Moves the complete file `temporary` into `folder` under `name`, or under the first of its
// NumberedName candidates that is free: nothing there is ever overwritten. With `replace`, it
// goes under `name` whatever is there (the user chose that file). Returns the file's new path;
// on failure an empty path, `error` set, and `temporary` where it was.
std::filesystem::path MoveIntoPlace(const std::filesystem::path& temporary,
                                    const std::filesystem::path& folder, std::string_view name,
                                    bool replace, std::error_code& error);

// Writes `bytes` into `folder` as MoveIntoPlace names it, through a temporary file; on failure
// nothing is left behind.
std::filesystem::path KeepBytes(std::string_view bytes, const std::filesystem::path& folder,
                                std::string_view name, std::error_code& error);

}  // namespace velmora
