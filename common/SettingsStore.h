// The per-user settings: string values addressed by application, section and key, kept in
// "$XDG_CONFIG_HOME/<application>/settings.ini" (~/.config when XDG_CONFIG_HOME is not set),
// one key-file group per section.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The names of the settings, each written once.
namespace setting_keys {
inline constexpr std::string_view kSettingsSection = "Settings";
// "1": the help window opens when the program starts; "0": it does not.
inline constexpr std::string_view kShowHelp = "showHelp";
inline constexpr std::string_view kShowHelpDefault = "1";
// The page Home opens (an address as typed in the address box); the shipped start page when
// missing or no address.
inline constexpr std::string_view kHomePage = "homePage";
// The Source Code tab's choices, each "1" or "0": the page as served (else as shown), long
// lines wrapped, lines numbered, markup coloured.
inline constexpr std::string_view kSourceServed = "sourceServed";
inline constexpr std::string_view kSourceWrap = "sourceWrap";
inline constexpr std::string_view kSourceLineNumbers = "sourceLineNumbers";
inline constexpr std::string_view kSourceColours = "sourceColours";
// How the Images tool saves pictures: the folder last chosen, "1" when each page's pictures go
// into a folder of the page's own below it ("0" when not), and the last pattern of their names.
inline constexpr std::string_view kImagesSaveFolder = "imagesSaveFolder";
inline constexpr std::string_view kImagesFolderPerPage = "imagesFolderPerPage";
inline constexpr std::string_view kImagesNamePattern = "imagesNamePattern";
}  // namespace setting_keys

class SettingsStore {
 public:
  // The store of one application in the user's configuration folder.
  static SettingsStore ForApplication(std::string_view application);

  // A store kept in the given file (its folder is created on the first save).
  explicit SettingsStore(std::filesystem::path file) : file_(std::move(file)) {}

  const std::filesystem::path& File() const noexcept { return file_; }

  // The stored value, or `defaultValue` when the file, the section or the key is missing, or
  // the file cannot be read or is not a settings file.
  std::string GetSetting(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const;

  // Stores the value, keeping every other setting of the file. The file is replaced whole in
  // one step: a failed save leaves the previous file. A file that is not a settings file is
  // kept beside the new one as "settings.ini.unreadable" rather than overwritten. Returns
  // false, with the reason on standard error, when the value could not be stored.
  bool SaveSetting(std::string_view section, std::string_view key, std::string_view value) const;

 private:
  std::filesystem::path file_;
};

// The user's configuration folder: $XDG_CONFIG_HOME when it is an absolute path, otherwise
// $HOME/.config.
std::filesystem::path UserConfigFolder();

}  // namespace velmora
