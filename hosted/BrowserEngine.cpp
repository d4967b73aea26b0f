// The shared web context: sandbox, readable folders, TLS policy and the start page.
#include "hosted/BrowserEngine.h"

#include <glib.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <string_view>
#include <system_error>
#include <utility>

#include "common/KeptFiles.h"
#include "hosted/AddressFixup.h"

namespace velmora {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kStartPage = "start.html";

// Folders whose contents the web process may never mount: the kernel's and the devices'.
constexpr std::array<std::string_view, 3> kSystemFolders{"proc", "sys", "dev"};

// The path with "." and ".." taken out and without a trailing "/", so "/home/" is "/home".
fs::path Normalized(const fs::path& path) {
  fs::path p = path.lexically_normal();
  if (!p.has_filename() && p != p.root_path()) p = p.parent_path();
  return p;
}

}  // namespace

bool IsRefusedSandboxFolder(const fs::path& folder, const fs::path& home) {
  if (folder.empty() || !folder.is_absolute()) return true;
  const fs::path p = Normalized(folder);
  if (p == p.root_path()) return true;
  // The first part after the root decides for the system folders: "/proc/1" is refused too.
  const fs::path first = *std::next(p.begin());
  for (std::string_view system : kSystemFolders) {
    if (first == system) return true;
  }
  if (p == "/home") return true;
  return !home.empty() && home.is_absolute() && p == Normalized(home);
}

namespace {

constexpr unsigned kWebProcessMemoryLimitMiB = 400;

// The sites' data: kept in the folders given (a user who logs in stays logged in), or for this
// engine's life only.
WebKitWebsiteDataManager* NewWebsiteDataManager(const std::optional<WebDataFolders>& keep) {
  if (!keep) return webkit_website_data_manager_new_ephemeral();
  for (const fs::path& folder : {keep->data, keep->cache}) {
    if (g_mkdir_with_parents(folder.c_str(), 0700) != 0) {
      std::fprintf(stderr, "velmora: cannot create %s: %s\n", folder.c_str(), g_strerror(errno));
    }
  }
  return webkit_website_data_manager_new("base-data-directory", keep->data.c_str(),
                                         "base-cache-directory", keep->cache.c_str(), nullptr);
}

WebKitWebContext* NewWebContext(const std::optional<WebDataFolders>& keep) {
  WebKitWebsiteDataManager* manager = NewWebsiteDataManager(keep);
  // Checked every 2 s, the web process gives back what it can (caches, old documents, decoded
  // pictures) once it holds a third of this limit, and more at a half, rather than growing with
  // every page the three panes show.
  g_autoptr(WebKitMemoryPressureSettings) pressure = webkit_memory_pressure_settings_new();
  webkit_memory_pressure_settings_set_memory_limit(pressure, kWebProcessMemoryLimitMiB);
  webkit_memory_pressure_settings_set_poll_interval(pressure, 2);
  auto* context =
      WEBKIT_WEB_CONTEXT(g_object_new(WEBKIT_TYPE_WEB_CONTEXT, "website-data-manager", manager,
                                      "memory-pressure-settings", pressure, nullptr));
  if (keep) {
    // Cookies stay in memory unless the cookie manager is given a file.
    webkit_cookie_manager_set_persistent_storage(
        webkit_website_data_manager_get_cookie_manager(manager),
        (keep->data / "cookies.sqlite").c_str(), WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
  }
  g_object_unref(manager);
  return context;
}

}  // namespace

BrowserEngine::BrowserEngine(const fs::path& workFolder, const fs::path& assetsFolder,
                             const std::optional<WebDataFolders>& keep)
    : context_(NewWebContext(keep)),
      startPageUri_(PathToUri((assetsFolder / kStartPage).string())),
      downloadFolder_(DefaultDownloadFolder()) {
  // A web process, which runs the pages' code, sees only the system's libraries and the folders
  // added below: a page that breaks out of its script engine still cannot read the user's files.
  webkit_web_context_set_sandbox_enabled(context_, TRUE);
  AddSandboxFolder(workFolder);
  AddSandboxFolder(assetsFolder);

  // A certificate that does not check out stops the load and shows the engine's error page;
  // the program never accepts it on the user's behalf.
  webkit_website_data_manager_set_tls_errors_policy(
      webkit_web_context_get_website_data_manager(context_), WEBKIT_TLS_ERRORS_POLICY_FAIL);
  // A browser's memory cache and back-forward cache, but sized for a document browser: each of
  // the three panes keeps few old pages.
  webkit_web_context_set_cache_model(context_, WEBKIT_CACHE_MODEL_DOCUMENT_BROWSER);
}

BrowserEngine::~BrowserEngine() {
  if (WebKitWebView* warm = TakeWarmView()) {
    gtk_widget_destroy(GTK_WIDGET(warm));
    g_object_unref(warm);
  }
  g_object_unref(context_);
}

void BrowserEngine::WarmUp(std::string_view firstUri) {
  if (warmedUp_) return;
  warmedUp_ = true;
  warmUri_ = firstUri;
  warmView_ = WEBKIT_WEB_VIEW(g_object_ref_sink(webkit_web_view_new_with_context(context_)));
  webkit_web_view_load_uri(warmView_, warmUri_.empty() ? "about:blank" : warmUri_.c_str());
}

WebKitWebView* BrowserEngine::TakeWarmView() {
  return std::exchange(warmView_, nullptr);
}

bool BrowserEngine::SetStartPage(std::string_view address) {
  if (address.find_first_not_of(" \t\r\n") == std::string_view::npos) return false;
  std::string uri = AddressToUri(address);
  if (!g_uri_is_valid(uri.c_str(), G_URI_FLAGS_NONE, nullptr)) return false;
  startPageUri_ = std::move(uri);
  return true;
}

void BrowserEngine::AddSandboxFolder(const fs::path& folder) {
  const fs::path home = g_get_home_dir();
  std::error_code error;
  const fs::path given = folder.empty() ? fs::path() : Normalized(fs::absolute(folder, error));
  // The web process sees a folder under the name it was mounted with: mount the real folder,
  // and the name given as well when it reaches the folder through a link.
  const fs::path real = given.empty() ? fs::path() : fs::canonical(given, error);
  if (given.empty() || error || !fs::is_directory(real, error) ||
      IsRefusedSandboxFolder(given, home) || IsRefusedSandboxFolder(real, home)) {
    skippedFolders_.push_back(folder);
    return;
  }
  for (const fs::path& name : {real, given}) {
    if (std::find(sandboxFolders_.begin(), sandboxFolders_.end(), name) != sandboxFolders_.end()) {
      continue;
    }
    webkit_web_context_add_path_to_sandbox(context_, name.c_str(), TRUE);
    sandboxFolders_.push_back(name);
  }
}

}  // namespace velmora
