// Velmora's entry point: the identity, the browser engine, the three panes and the main window.
#include <gtkmm/application.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>

#include "common/ProgramFolder.h"
#include "hosted/BrowserEngine.h"
#include "hosted/SkinCompanion.h"
#include "hosted/SkinControl.h"
#include "hosted/WebKitBrowserControl.h"
#include "mainwindow/Form1.h"
#include "skin/modSkin.h"
#include "startup/frmSplash.h"
#include "startup/modIdentity.h"

namespace {

// What the main window reaches beyond itself that exists so far: the skin and the splash.
class ProgramSeams : public velmora::Form1Seams {
 public:
  explicit ProgramSeams(std::unique_ptr<velmora::frmSplash>& splash) : splash_(splash) {}

  void EndSkinCompanion() override {
    if (velmora::objSkinCompanion != nullptr) velmora::objSkinCompanion->End();
  }

  // The splash, loaded (hidden) since start-up, goes with the main window.
  void UnloadSplash() override { splash_.reset(); }

  void SkinWindow(Gtk::Window& window) override { velmora::SkinForm(window); }

 private:
  std::unique_ptr<velmora::frmSplash>& splash_;
};

}  // namespace

int main(int argc, char** argv) {
  // The program takes no arguments of its own; GTK still reads its display options.
  int gtkArgc = argc > 0 ? 1 : 0;
  auto app = Gtk::Application::create(gtkArgc, argv, "example.tarnwick.Velmora",
                                      Gio::APPLICATION_NON_UNIQUE);
  velmora::LoadIdentity();

  std::error_code error;
  std::filesystem::path workFolder = velmora::WorkFolder(velmora::strProductName, error);
  if (error) {
    // Neither the program folder nor the cache folder can be written: a private folder under
    // the temporary folder keeps the Source Code and Images tabs working for this run.
    std::string temp = (std::filesystem::temp_directory_path() / "velmora-XXXXXX").string();
    workFolder = ::mkdtemp(temp.data()) != nullptr ? std::filesystem::path(temp) : "";
    std::fprintf(stderr,
                 "velmora: cannot use the program or cache folder for work files (%s); using %s\n",
                 error.message().c_str(), workFolder.empty() ? "none" : workFolder.c_str());
  }

  std::unique_ptr<velmora::frmSplash> splash;
  std::unique_ptr<ProgramSeams> seams;
  std::unique_ptr<velmora::BrowserEngine> engine;
  std::unique_ptr<velmora::Form1> form;

  // The main window, loaded and shown once by the splash's timer.
  const auto openMainWindow = [&] {
    engine =
        std::make_unique<velmora::BrowserEngine>(workFolder, velmora::ProgramFolder() / "assets");
    velmora::Form1Parts parts;
    auto pane0 = std::make_unique<velmora::WebKitBrowserControl>(*engine);
    auto pane1 = std::make_unique<velmora::WebKitBrowserControl>(*engine, pane0.get());
    auto pane2 = std::make_unique<velmora::WebKitBrowserControl>(*engine, pane0.get());
    parts.panes = {std::move(pane0), std::move(pane1), std::move(pane2)};
    parts.workFiles = velmora::WorkFiles(workFolder);
    parts.endProgram = [&app] { app->quit(); };
    parts.seams = seams.get();
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
    app->add_window(*form);
    form->Form_Load();
    form->show();
  };

  const auto makeSplash = [&] {
    auto made =
        std::make_unique<velmora::frmSplash>(velmora::ProgramFolder() / "assets", openMainWindow);
    app->add_window(*made);
    return made;
  };
  // Every window is skinned through the splash's skin control; a window skinned while the
  // splash is not loaded brings it back, hidden, without a second main window.
  velmora::SetSplashReloader([&] { velmora::ReloadSplash(splash, makeSplash); });

  app->signal_activate().connect([&] {
    seams = std::make_unique<ProgramSeams>(splash);
    splash = makeSplash();
    splash->Form_Load();
    splash->show();
  });
  const int status = app->run();
  velmora::SetSplashReloader({});
  return status;
}
