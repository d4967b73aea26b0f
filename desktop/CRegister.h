// The registry the Tools-menu entry is written to. Linux has none, so this is a store of our own
// with the same operations, key paths, value names and results: every hive is a folder, every key
// a folder below it, every string value a file in its key's folder holding exactly the bytes of
// the text (no terminating NUL).
//
// Where the hives live:
//   $VELMORA_REGISTRY_ROOT/<hive name>, when that variable is set and not empty (tests);
//   otherwise LocalMachine: /var/lib/velmora/registry/HKEY_LOCAL_MACHINE (machine-wide: writing
//   there needs administrative rights, and without them the writes fail and return false), and
//   CurrentUser: ${XDG_CONFIG_HOME:-$HOME/.config}/velmora/registry/HKEY_CURRENT_USER.
//
// On disk, inside a key's folder:
//   - a subkey is a folder named after its key-path segment;
//   - a value is a file named "=" followed by its name; the unnamed default value is the file "=";
//   - in both, a "%" is written "%25" and a leading "=" of a segment "%3D", and in value names
//     also "/" is written "%2F", so every name maps to one file name and back, a value can never
//     be taken for a subkey, and the default value never for a named one;
//   - a value's file name followed by "." and six characters is a value on its way in (the
//     writer's temporary file), and a folder named "%gone." and more a key on its way out.
// Key names compare with exact letter case (the store is case-sensitive).
//
// Key paths use "\" between segments. A path never leaves its hive's folder: a segment that is
// empty, "." or "..", or holds "/" or a NUL, is refused (false). Every folder on the way is
// opened without following symbolic links, so a link planted inside the store leads nowhere.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

enum class Hive {
  LocalMachine,  // HKEY_LOCAL_MACHINE
  CurrentUser,   // HKEY_CURRENT_USER
};

// The environment variable that moves every hive of the store (for tests).
inline constexpr const char* kRegistryRootVariable = "VELMORA_REGISTRY_ROOT";

// The value name that stands for the key's unnamed default value.
inline constexpr std::string_view kDefaultValueName = "*";

// "HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER".
std::string_view HiveName(Hive hive);

// The folder of the hive, read from the environment at each call.
std::filesystem::path RegistryRoot(Hive hive);

// Removes one leading "\" if the key starts with one, then one trailing "\" if it ends with one;
// nothing else.
std::string TrimKeySlashes(std::string_view key);

// Creates the key (and the keys above it) unless it exists, then writes `value` as the string
// value `valueName` ("*" or "": the default value), replacing any earlier one atomically: a
// failed write leaves the previous value. The key goes through TrimKeySlashes; a key that is
// empty after it is the hive's root key. True when the value was written; false when the key
// path or value name is refused, the key cannot be created or the write fails.
bool RegSetString(Hive hive, std::string_view key, std::string_view valueName,
                  std::string_view value);

// With a value name (not empty): deletes that value ("*": the default value) from the key
// (through TrimKeySlashes); false when the key or the value does not exist.
// With an empty value name: deletes the key named by `key` unchanged, with all its values; false
// when it does not exist, when the path is refused (so a leading or trailing "\" gives false, as
// does an empty key: the hive's root is never deleted), or when the key has subkeys (a key with
// subkeys is left whole; delete them first).
bool RegDeleteEntry(Hive hive, std::string_view key, std::string_view valueName);

// Whether the key (through TrimKeySlashes) exists.
bool RegKeyExists(Hive hive, std::string_view key);

}  // namespace velmora
