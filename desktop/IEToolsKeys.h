// Every name the Tools-menu entry is written under: the browser's extension key, its eight value
// names, the files the values point at, and the desktop entry that stands for it on Linux.
#pragma once

#include <string_view>

namespace velmora::ietools {

// In HKEY_LOCAL_MACHINE. The GUID is the program's own extension identifier; it never changes.
inline constexpr std::string_view kExtensionKey =
    "Software\\Microsoft\\Internet Explorer\\Extensions\\"
    "{5D3A19C2-7B44-4E0F-A6D1-2C8E90F3B517}";

inline constexpr std::string_view kButtonText = "ButtonText";
inline constexpr std::string_view kClsid = "CLSID";
inline constexpr std::string_view kDefaultVisible = "Default Visible";
inline constexpr std::string_view kExec = "Exec";
inline constexpr std::string_view kHotIcon = "HotIcon";
inline constexpr std::string_view kIcon = "Icon";
inline constexpr std::string_view kMenuStatusBar = "MenuStatusBar";
inline constexpr std::string_view kMenuText = "MenuText";

// The browser's extension type that runs an executable.
inline constexpr std::string_view kRunExecutableClsid = "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}";
inline constexpr std::string_view kVisible = "Yes";
// Marks the menu accelerator in "MenuText".
inline constexpr std::string_view kAcceleratorMark = "&";

// Files beside the executable (assets/beside-program/).
inline constexpr std::string_view kHotIconFile = "hoticon.ico";
inline constexpr std::string_view kIconFile = "icon.ico";
inline constexpr std::string_view kDesktopIconFile = "velmora.png";

// The program's application id (startup/main.cpp registers the application under it), and the
// desktop entry in the user's applications folder, named after it.
inline constexpr std::string_view kApplicationId = "example.tarnwick.Velmora";
inline constexpr std::string_view kDesktopEntryFile = "example.tarnwick.Velmora.desktop";
static_assert(kDesktopEntryFile.substr(0, kApplicationId.size()) == kApplicationId &&
                  kDesktopEntryFile.substr(kApplicationId.size()) == ".desktop",
              "the desktop entry is named after the application id");

}  // namespace velmora::ietools
