// The pieces the entry point wires together: the run's work folder, the browser engine with the
// user's data folders and home page, the main window's parts, and the windows' icon.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "hosted/BrowserEngine.h"
#include "mainwindow/Form1.h"

namespace velmora {

// The folder for the work files (WorkFolder's rule). When neither the program folder nor the
// cache folder can be written, a private folder under the temporary folder keeps the Source Code
// and Images tabs working for this run; either way a message says so. Empty when none at all.
std::filesystem::path WorkFolderForRun();

// The engine for the run: cookies, site data and the cache kept in the user's XDG folders, and
// the "homePage" setting (a message when it is no address).
std::unique_ptr<BrowserEngine> MakeBrowserEngine(const std::filesystem::path& workFolder,
                                                 const std::filesystem::path& assetsFolder);

// The main window's panes (pane 0 browses; panes 1 and 2 show only the generated pages, without
// page scripts), work files and first address. With VELMORA_TRACE=1 in the environment each
// finished pane is reported on standard error.
Form1Parts MakeMainWindowParts(BrowserEngine& engine, const std::filesystem::path& workFolder,
                               std::string firstAddress);

// Every window shows the program's icon, the one its desktop entry names.
void SetDefaultWindowIcon(const std::filesystem::path& programFolder);

}  // namespace velmora
