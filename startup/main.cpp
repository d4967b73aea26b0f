// Velmora's entry point: the identity, the work folder, the splash, and the main window the
// splash opens. The windows around the main window live in ProgramWindows.
#include <glib.h>
#include <gtkmm/application.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "common/ProgramFolder.h"
#include "desktop/IEToolsKeys.h"
#include "hosted/AddressFixup.h"
#include "hosted/BrowserEngine.h"
#include "hosted/WebKitBrowserControl.h"
#include "mainwindow/Form1.h"
#include "startup/ProgramWindows.h"
#include "startup/frmSplash.h"
#include "startup/modIdentity.h"

namespace {

// The folder for the work files. When neither the program folder nor the cache folder can be
// written, a private folder under the temporary folder keeps the Source Code and Images tabs
// working for this run.
std::filesystem::path ChooseWorkFolderForRun() {
  std::error_code error;
  std::filesystem::path workFolder = velmora::WorkFolder(velmora::strProductName, error);
  if (!error) return workFolder;
  std::string temp = (std::filesystem::temp_directory_path() / "velmora-XXXXXX").string();
  workFolder = ::mkdtemp(temp.data()) != nullptr ? std::filesystem::path(temp) : "";
  std::fprintf(stderr,
               "velmora: cannot use the program or cache folder for work files (%s); using %s\n",
               error.message().c_str(), workFolder.empty() ? "none" : workFolder.c_str());
  return workFolder;
}

}  // namespace

int main(int argc, char** argv) {
  // "velmora [URL|FILE]": pane 0 opens that address instead of the home page. Nothing else is
  // read from the command line.
  const std::string firstAddress =
      argc > 1 && argv[1][0] != '-' ? velmora::CommandLineAddress(argv[1]) : std::string();
  int gtkArgc = argc > 0 ? 1 : 0;
  auto app = Gtk::Application::create(gtkArgc, argv, std::string(velmora::ietools::kApplicationId),
                                      Gio::APPLICATION_NON_UNIQUE);
  velmora::LoadIdentity();
  const std::filesystem::path programFolder = velmora::ProgramFolder();
  const std::filesystem::path assetsFolder = programFolder / "assets";
  const std::filesystem::path workFolder = ChooseWorkFolderForRun();
  // Every window shows the program's icon (the one its desktop entry names).
  try {
    Gtk::Window::set_default_icon_from_file(
        (programFolder / std::string(velmora::ietools::kDesktopIconFile)).string());
  } catch (const Glib::Error& error) {
    std::fprintf(stderr, "velmora: no window icon: %s\n", error.what().c_str());
  }

  std::unique_ptr<velmora::BrowserEngine> engine;
  std::unique_ptr<velmora::Form1> form;
  std::unique_ptr<velmora::ProgramWindows> windows;
  // The browser engine is made when the first browser control needs it.
  const auto browserEngine = [&]() -> velmora::BrowserEngine& {
    if (!engine) {
      // Cookies, site data and the cache last between runs, in the user's XDG folders.
      const velmora::WebDataFolders keep{
          std::filesystem::path(g_get_user_data_dir()) / velmora::strProductName / "web",
          std::filesystem::path(g_get_user_cache_dir()) / velmora::strProductName / "web"};
      engine = std::make_unique<velmora::BrowserEngine>(workFolder, assetsFolder, keep);
      const std::string home = velmora::SettingsStore::ForApplication(velmora::strProductName)
                                   .GetSetting(velmora::setting_keys::kSettingsSection,
                                               velmora::setting_keys::kHomePage, "");
      if (!home.empty() && !engine->SetStartPage(home)) {
        std::fprintf(stderr,
                     "velmora: the homePage setting \"%s\" is no address; Home opens the "
                     "start page\n",
                     home.c_str());
      }
    }
    return *engine;
  };

  // The main window, loaded and shown once by the splash's timer.
  const auto openMainWindow = [&] {
    velmora::Form1Parts parts;
    auto pane0 = std::make_unique<velmora::WebKitBrowserControl>(browserEngine());
    // Panes 1 and 2 show only the pages the analysis writes: no page script runs there.
    auto pane1 = std::make_unique<velmora::WebKitBrowserControl>(*engine, pane0.get(),
                                                                 velmora::PageScripts::kOff);
    auto pane2 = std::make_unique<velmora::WebKitBrowserControl>(*engine, pane0.get(),
                                                                 velmora::PageScripts::kOff);
    parts.panes = {std::move(pane0), std::move(pane1), std::move(pane2)};
    parts.workFiles = velmora::WorkFiles(workFolder);
    parts.endProgram = [&app] { app->quit(); };
    parts.seams = windows.get();
    parts.firstAddress = firstAddress;
    // VELMORA_TRACE=1 reports each finished pane on standard error (used by scripts/run.sh).
    if (const char* trace = std::getenv("VELMORA_TRACE"); trace != nullptr && *trace == '1') {
      for (int i = 0; i < 3; ++i) {
        velmora::BrowserControl* pane = parts.panes[static_cast<std::size_t>(i)].get();
        pane->DownloadComplete.connect([i, pane] {
          std::fprintf(stderr, "velmora: pane %d finished %s\n", i, pane->LocationURL().c_str());
        });
      }
    }
    form = std::make_unique<velmora::Form1>(std::move(parts));
    windows->SetMainWindow(form.get());
    app->add_window(*form);
    form->Form_Load();
    form->show();
  };

  velmora::ProgramWindowsParts parts;
  parts.programFolder = programFolder;
  parts.assetsFolder = assetsFolder;
  parts.settings = velmora::SettingsStore::ForApplication(velmora::strProductName);
  parts.makeSplash = [&] {
    return std::make_unique<velmora::frmSplash>(assetsFolder, openMainWindow);
  };
  parts.makeWebsiteBrowser = [&]() -> std::unique_ptr<velmora::BrowserControl> {
    return std::make_unique<velmora::WebKitBrowserControl>(browserEngine());
  };
  parts.endProgram = [&app] { app->quit(); };
  parts.addWindow = [&app](Gtk::Window& window) { app->add_window(window); };
  windows = std::make_unique<velmora::ProgramWindows>(std::move(parts));

  app->signal_activate().connect([&] {
    windows->StartSplash();
    // While the splash counts, the browser engine starts its web process, so that the main
    // window's first page does not wait for one.
    Glib::signal_idle().connect_once([&] { browserEngine().WarmUp(); });
  });
  const int status = app->run();
  windows.reset();
  return status;
}
