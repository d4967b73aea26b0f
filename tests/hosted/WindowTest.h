// What the window tests of the browser control share: GTK set up once per test program, the one
// BrowserEngine of the process (WebKit takes its sandbox set-up only before the first web view),
// and waiting in the GTK main loop with a watchdog, since a lost web process means the awaited
// event never comes.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "hosted/BrowserEngine.h"

typedef struct _WebKitWebView WebKitWebView;

namespace velmora::testing {

inline constexpr unsigned kWatchdogSeconds = 30;

// False when GTK found no display: the window tests skip themselves.
bool DisplayAvailable();

// The engine of this test program. Its work folder is SandboxFolder(), its assets folder the
// program's assets as built.
BrowserEngine& SharedEngine();

// A fresh folder under /tmp, readable by the web process, removed when the program ends.
const std::filesystem::path& SandboxFolder();

// The program's assets folder as built (start page and pictures).
std::filesystem::path AssetsFolder();

// Runs the main loop (a new GMainLoop) until `done()` holds. After kWatchdogSeconds the test
// fails with a message naming `what`, and this returns false.
bool RunUntil(const std::function<bool()>& done, std::string_view what);

// Runs a script in the page's own world and returns its result as text ("(no answer)" after
// the watchdog).
std::string EvaluateInPage(WebKitWebView* view, const std::string& script);

}  // namespace velmora::testing
