// Velmora's entry point: the identity, the work folder, the splash, and the main window the
// splash opens. The pieces are made in ProgramParts; the windows around the main window live in
// ProgramWindows.
#include <glibmm/main.h>
#include <gtkmm/application.h>

#include <memory>
#include <string>

#include "common/ProgramFolder.h"
#include "common/modIdentity.h"
#include "desktop/IEToolsKeys.h"
#include "hosted/AddressFixup.h"
#include "hosted/WebKitBrowserControl.h"
#include "startup/ProgramParts.h"
#include "startup/ProgramWindows.h"
#include "startup/frmSplash.h"

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
  const std::filesystem::path workFolder = velmora::WorkFolderForRun();
  velmora::SetDefaultWindowIcon(programFolder);

  std::unique_ptr<velmora::BrowserEngine> engine;  // made when the first browser needs it
  std::unique_ptr<velmora::Form1> form;
  std::unique_ptr<velmora::ProgramWindows> windows;
  const auto browserEngine = [&]() -> velmora::BrowserEngine& {
    if (!engine) engine = velmora::MakeBrowserEngine(workFolder, assetsFolder);
    return *engine;
  };
  // The main window, loaded and shown once by the splash's timer.
  const auto openMainWindow = [&] {
    velmora::Form1Parts parts =
        velmora::MakeMainWindowParts(browserEngine(), workFolder, firstAddress);
    parts.seams = windows.get();
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
    // The browser engine starts its web process and loads the main window's first page while
    // the splash is made and counts; pane 0 then shows that page as it is.
    velmora::BrowserEngine& warm = browserEngine();
    warm.WarmUp(firstAddress.empty() ? warm.StartPageUri() : velmora::AddressToUri(firstAddress));
    windows->StartSplash();
  });
  const int status = app->run();
  windows.reset();
  return status;
}
