#include "startup/ProgramParts.h"

#include <glib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "common/ProgramFolder.h"
#include "common/SettingsStore.h"
#include "common/modIdentity.h"
#include "desktop/IEToolsKeys.h"
#include "hosted/WebKitBrowserControl.h"

namespace velmora {

std::filesystem::path WorkFolderForRun() {
  std::error_code error;
  std::filesystem::path workFolder = WorkFolder(strProductName, error);
  if (!error) return workFolder;
  std::string temp = (std::filesystem::temp_directory_path() / "velmora-XXXXXX").string();
  workFolder = ::mkdtemp(temp.data()) != nullptr ? std::filesystem::path(temp) : "";
  std::fprintf(stderr,
               "velmora: cannot use the program or cache folder for work files (%s); using %s\n",
               error.message().c_str(), workFolder.empty() ? "none" : workFolder.c_str());
  return workFolder;
}

std::unique_ptr<BrowserEngine> MakeBrowserEngine(const std::filesystem::path& workFolder,
                                                 const std::filesystem::path& assetsFolder) {
  const WebDataFolders keep{std::filesystem::path(g_get_user_data_dir()) / strProductName / "web",
                            std::filesystem::path(g_get_user_cache_dir()) / strProductName / "web"};
  auto engine = std::make_unique<BrowserEngine>(workFolder, assetsFolder, keep);
  const std::string home =
      SettingsStore::ForApplication(strProductName)
          .GetSetting(setting_keys::kSettingsSection, setting_keys::kHomePage, "");
  if (!home.empty() && !engine->SetStartPage(home)) {
    std::fprintf(stderr,
                 "velmora: the homePage setting \"%s\" is no address; Home opens the start page\n",
                 home.c_str());
  }
  return engine;
}

Form1Parts MakeMainWindowParts(BrowserEngine& engine, const std::filesystem::path& workFolder,
                               std::string firstAddress) {
  Form1Parts parts;
  auto pane0 = std::make_unique<WebKitBrowserControl>(engine);
  auto pane1 = std::make_unique<WebKitBrowserControl>(engine, pane0.get(), PageScripts::kOff);
  auto pane2 = std::make_unique<WebKitBrowserControl>(engine, pane0.get(), PageScripts::kOff);
  parts.panes = {std::move(pane0), std::move(pane1), std::move(pane2)};
  parts.workFiles = WorkFiles(workFolder);
  parts.firstAddress = std::move(firstAddress);
  if (const char* trace = std::getenv("VELMORA_TRACE"); trace != nullptr && *trace == '1') {
    for (int i = 0; i < 3; ++i) {
      BrowserControl* pane = parts.panes[static_cast<std::size_t>(i)].get();
      pane->DownloadComplete.connect([i, pane](const SharedSnapshot&) {
        std::fprintf(stderr, "velmora: pane %d finished %s\n", i, pane->LocationURL().c_str());
      });
    }
  }
  return parts;
}

void SetDefaultWindowIcon(const std::filesystem::path& programFolder) {
  try {
    Gtk::Window::set_default_icon_from_file(
        (programFolder / std::string(ietools::kDesktopIconFile)).string());
  } catch (const Glib::Error& error) {
    std::fprintf(stderr, "velmora: no window icon: %s\n", error.what().c_str());
  }
}

}  // namespace velmora
