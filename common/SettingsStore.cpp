#include "common/SettingsStore.h"

#include <glib.h>

#include <cstdio>
#include <system_error>

#include "common/XdgFolders.h"

namespace velmora {

namespace {

enum class LoadResult { kLoaded, kMissing, kNotSettings, kUnreadable };

// Settings files are UTF-8 text; anything else (binary junk, a NUL) is not taken for one, so
// saving never silently drops what such a file held.
LoadResult Load(GKeyFile* keys, const std::filesystem::path& file, GError** reason) {
  g_autofree gchar* contents = nullptr;
  gsize length = 0;
  if (!g_file_get_contents(file.c_str(), &contents, &length, reason)) {
    return g_error_matches(*reason, G_FILE_ERROR, G_FILE_ERROR_NOENT) ? LoadResult::kMissing
                                                                      : LoadResult::kUnreadable;
  }
  if (!g_utf8_validate(contents, static_cast<gssize>(length), nullptr) ||
      !g_key_file_load_from_data(keys, contents, length, G_KEY_FILE_KEEP_COMMENTS, nullptr)) {
    return LoadResult::kNotSettings;
  }
  return LoadResult::kLoaded;
}

}  // namespace

std::filesystem::path UserConfigFolder() {
  return UserFolder(XdgFolder::kConfig);
}

SettingsStore SettingsStore::ForApplication(std::string_view application) {
  // The application name is one folder name.
  std::string folder(application);
  for (char& c : folder) {
    if (c == '/' || c == '\0') c = '_';
  }
  if (folder.empty() || folder == "." || folder == "..") folder = "_" + folder;
  return SettingsStore(UserConfigFolder() / folder / "settings.ini");
}

std::string SettingsStore::GetSetting(std::string_view section, std::string_view key,
                                      std::string_view defaultValue) const {
  g_autoptr(GKeyFile) keys = g_key_file_new();
  g_autoptr(GError) reason = nullptr;
  if (Load(keys, file_, &reason) != LoadResult::kLoaded) return std::string(defaultValue);
  const std::string group(section);
  const std::string name(key);
  g_autofree gchar* value = g_key_file_get_string(keys, group.c_str(), name.c_str(), nullptr);
  return value == nullptr ? std::string(defaultValue) : std::string(value);
}

bool SettingsStore::SaveSetting(std::string_view section, std::string_view key,
                                std::string_view value) const {
  const auto fail = [&](const std::string& why) {
    std::fprintf(stderr, "velmora: cannot save the setting %.*s/%.*s in %s: %s\n",
                 static_cast<int>(section.size()), section.data(), static_cast<int>(key.size()),
                 key.data(), file_.c_str(), why.c_str());
    return false;
  };
  const std::string group(section);
  const std::string name(key);
  const std::string text(value);
  if (group.empty() || name.empty() || text.find('\0') != std::string::npos ||
      !g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) {
    return fail("not a name and value a settings file can hold");
  }

  g_autoptr(GKeyFile) keys = g_key_file_new();
  g_autoptr(GError) reason = nullptr;
  switch (Load(keys, file_, &reason)) {
    case LoadResult::kLoaded:
    case LoadResult::kMissing:
      break;
    case LoadResult::kNotSettings: {
      // Keep what the user had; the new file starts empty.
      std::filesystem::path kept = file_;
      kept += ".unreadable";
      std::error_code error;
      std::filesystem::rename(file_, kept, error);
      if (error) return fail("it is not a settings file and cannot be moved aside");
      std::fprintf(stderr, "velmora: %s was not a settings file; it is kept as %s\n", file_.c_str(),
                   kept.c_str());
      g_key_file_unref(keys);
      keys = g_key_file_new();
      break;
    }
    case LoadResult::kUnreadable:
      return fail(reason->message);
  }

  std::error_code error;
  std::filesystem::create_directories(file_.parent_path(), error);
  if (error) return fail(error.message());
  g_key_file_set_string(keys, group.c_str(), name.c_str(), text.c_str());
  // The key file is written to a temporary file that then replaces the old one.
  g_clear_error(&reason);  // a missing file's
  if (!g_key_file_save_to_file(keys, file_.c_str(), &reason)) return fail(reason->message);
  return true;
}

}  // namespace velmora
