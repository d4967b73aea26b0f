// The browser control on WebKitGTK. Start at ConnectSignals: every WebKit signal the control
// listens to is wired there, and Handlers holds one function per signal.
#include "hosted/WebKitBrowserControl.h"

#include <glibmm/main.h>
#include <gtkmm/main.h>
#include <gtkmm/widget.h>
#include <json-glib/json-glib.h>
#include <libsoup/soup.h>
#include <webkit2/webkit2.h>

#include <cmath>
#include <stdexcept>
#include <utility>

#include "common/KeptFiles.h"
#include "hosted/AddressFixup.h"
#include "hosted/DownloadJob.h"
#include "hosted/PageRead.h"

namespace velmora {

namespace {

// Our own script world: the page's scripts run in another one, so they cannot redefine the
// getters this reads with (Element.prototype.outerHTML, document.body) nor see our script.
constexpr const char* kReadWorld = "velmora-page-reader";

constexpr const char* kDefaultCharset = "UTF-8";
constexpr const char* kDoneText = "Done";
constexpr const char* kStillLoadingText =
    "Still loading\u2026 The Source Code and Images tabs show what has arrived so far";

// A page whose document is parsed but whose load has not finished this long after it was shown
// (a picture that never answers, a stream that never ends) is read and analysed anyway; the
// read of the finished page follows when it finishes.
constexpr unsigned kStillLoadingSeconds = 3;

// The channel by which the frames of a page report what they load (picture-origins.js).
constexpr const char* kPictureChannel = "velmoraPictures";

std::string Text(const gchar* text) {
  return text ? text : "";
}

// Marks a download that its starter follows itself.
constexpr const char* kFollowedMark = "velmora-followed";

// A picture server that sends nothing for this long is given up by SaveImage.
constexpr unsigned kImageStallSeconds = 30;

constexpr auto kFindOptions =
    static_cast<guint32>(WEBKIT_FIND_OPTIONS_CASE_INSENSITIVE | WEBKIT_FIND_OPTIONS_WRAP_AROUND);

// The context menu items that save something, and the captions ours get.
struct SaveItem {
  WebKitContextMenuAction action;
  const char* caption;
};
constexpr SaveItem kSaveItems[] = {
    {WEBKIT_CONTEXT_MENU_ACTION_DOWNLOAD_LINK_TO_DISK, "Save Link As\u2026"},
    {WEBKIT_CONTEXT_MENU_ACTION_DOWNLOAD_IMAGE_TO_DISK, "Save Image As\u2026"},
    {WEBKIT_CONTEXT_MENU_ACTION_DOWNLOAD_VIDEO_TO_DISK, "Save Video As\u2026"},
    {WEBKIT_CONTEXT_MENU_ACTION_DOWNLOAD_AUDIO_TO_DISK, "Save Audio As\u2026"},
};

// What a "Save ... As" item of the menu over `hit` saves.
std::string SavedUri(WebKitContextMenuAction action, WebKitHitTestResult* hit) {
  switch (action) {
    case WEBKIT_CONTEXT_MENU_ACTION_DOWNLOAD_LINK_TO_DISK:
      return Text(webkit_hit_test_result_get_link_uri(hit));
    case WEBKIT_CONTEXT_MENU_ACTION_DOWNLOAD_IMAGE_TO_DISK:
      return Text(webkit_hit_test_result_get_image_uri(hit));
    default:
      return Text(webkit_hit_test_result_get_media_uri(hit));
  }
}

// A response that is an attachment ("Content-Disposition: attachment") is saved, not shown.
bool IsAttachment(WebKitURIResponse* response) {
  SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response);
  char* disposition = nullptr;
  if (!headers || !soup_message_headers_get_content_disposition(headers, &disposition, nullptr)) {
    return false;
  }
  const bool attachment = g_ascii_strcasecmp(disposition, "attachment") == 0;
  g_free(disposition);
  return attachment;
}

std::string TakeString(gchar* text) {
  std::string out = text ? text : "";
  g_free(text);
  return out;
}

// Element `index` of a JavaScript array as text ("" when missing or not a string).
std::string ArrayString(JSCValue* array, guint index) {
  JSCValue* item = jsc_value_object_get_property_at_index(array, index);
  std::string out = jsc_value_is_string(item) ? TakeString(jsc_value_to_string(item)) : "";
  g_object_unref(item);
  return out;
}

std::string TerminationText(WebKitWebProcessTerminationReason reason) {
  switch (reason) {
    case WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT:
      return "The page used too much memory and was stopped. Press Refresh to reload it.";
    case WEBKIT_WEB_PROCESS_TERMINATED_BY_API:
      return "The page was stopped. Press Refresh to reload it.";
    case WEBKIT_WEB_PROCESS_CRASHED:
    default:
      return "The page stopped working (its web process ended). Press Refresh to reload it.";
  }
}

// Writes the bytes the engine holds for the picture at `uri` into `folder`, under the URL's name
// with the extension of the bytes' type, never over a file that is there.
BrowserControl::SavedFile KeepHeldBytes(GBytes* bytes, const std::string& type,
                                        const std::string& uri,
                                        const std::filesystem::path& folder) {
  gsize length = 0;
  const auto* data = static_cast<const char*>(g_bytes_get_data(bytes, &length));
  const std::string name = WithExtensionOfType(SafeFileName(FileNameOfUri(uri), "image"), type);
  std::error_code error;
  std::filesystem::path kept = KeepBytes(std::string_view(data, length), folder, name, error);
  return BrowserControl::SavedFile{std::move(kept), error ? error.message() : std::string()};
}

}  // namespace

// One read of a finished page, as handed to WebKit's callback: it may answer after the control
// is gone, or after a newer load or read made it stale.
struct WebKitBrowserControl::PageRead {
  std::weak_ptr<WebKitBrowserControl*> owner;
  std::uint64_t generation;
  std::uint64_t serial;
  bool early;
};

// The handlers of the WebKit signals, named on_<object>_<signal>; `data` is the control.
struct WebKitBrowserControl::Handlers {
  static WebKitBrowserControl& Self(gpointer data) {
    return *static_cast<WebKitBrowserControl*>(data);
  }

  // The page life cycle. STARTED begins a load; FINISHED ends it, whether it succeeded or
  // not. A failed load finishes twice: once for itself and once for the engine's error page.
  static void on_view_load_changed(WebKitWebView* view, WebKitLoadEvent event, gpointer data) {
    WebKitBrowserControl& self = Self(data);
    switch (event) {
      case WEBKIT_LOAD_STARTED:
        // Whatever is still being read belongs to the page being left.
        ++self.loadGeneration_;
        self.errorPageComing_ = false;
        self.downloadedInstead_ = false;
        self.CancelPageRead();
        self.StopStillLoadingWatch();
        self.StatusTextChange.emit("Opening " + Text(webkit_web_view_get_uri(view)) + "\u2026");
        self.DownloadBegin.emit();
        break;
      case WEBKIT_LOAD_REDIRECTED:
        self.StatusTextChange.emit("Opening " + Text(webkit_web_view_get_uri(view)) + "\u2026");
        break;
      case WEBKIT_LOAD_COMMITTED:
        // The page is now the one shown: its address and title follow even when it has no title
        // (a title that stays empty raises no notify::title). Its pictures start a new record
        // (the page's own resource may be one: a picture shown on its own).
        if (self.pictures_) {
          self.pictures_->Clear();
          if (WebKitWebResource* main = webkit_web_view_get_main_resource(view)) {
            self.pictures_->Follow(main);
          }
          self.StartStillLoadingWatch();
        }
        self.TitleChange.emit(Text(webkit_web_view_get_title(view)));
        break;
      case WEBKIT_LOAD_FINISHED:
        self.StopStillLoadingWatch();
        // The failed load's own FINISHED: the page still shown is the one being left, and the
        // error page that replaces it finishes on its own. Read that one instead.
        if (self.errorPageComing_) {
          self.errorPageComing_ = false;
          break;
        }
        if (self.downloadedInstead_) {
          // The address and caption go back to the page still shown.
          self.downloadedInstead_ = false;
          self.TitleChange.emit(Text(webkit_web_view_get_title(view)));
          break;
        }
        if (!self.readsPages_) {
          self.page_ =
              std::make_shared<const PageSnapshot>(PageSnapshot{"", self.LocationURL(), ""});
          self.StatusTextChange.emit(kDoneText);
          const SharedSnapshot page = self.page_;
          self.DownloadComplete.emit(page);
          break;
        }
        self.StartPageRead();
        break;
    }
  }

  // Returning FALSE lets WebKit show its own error page for the failed address. WebKit's own
  // handler runs next and stops the emission when it shows the page; when it shows none (a
  // cancelled load: Stop, or a new address), the emission goes on to the handler below.
  static gboolean on_view_load_failed(WebKitWebView*, WebKitLoadEvent, gchar*, GError* error,
                                      gpointer data) {
    WebKitBrowserControl& self = Self(data);
    self.errorPageComing_ = true;
    // The address turned out to be a download: the page shown stays, and is not read again.
    self.downloadedInstead_ = g_error_matches(
        error, WEBKIT_POLICY_ERROR, WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE);
    return FALSE;
  }

  // Connected after WebKit's handler: reached only when WebKit showed no error page, so the
  // failed load's FINISHED is the last one and the page still shown is read then.
  static gboolean on_view_load_failed_no_error_page(WebKitWebView*, WebKitLoadEvent, gchar*,
                                                    GError*, gpointer data) {
    Self(data).errorPageComing_ = false;
    return FALSE;
  }

  // A certificate that does not check out: the load fails visibly (the context's policy is to
  // fail); the certificate is never allowed from here.
  static gboolean on_view_load_failed_with_tls_errors(WebKitWebView*, gchar*, GTlsCertificate*,
                                                      GTlsCertificateFlags, gpointer) {
    return FALSE;
  }

  static void on_view_notify_estimated_load_progress(GObject* view, GParamSpec*, gpointer data) {
    const double progress = webkit_web_view_get_estimated_load_progress(WEBKIT_WEB_VIEW(view));
    Self(data).ProgressChange.emit(std::lround(progress * 100.0), 100);
  }

  // The title may change after FINISHED (a script sets it), so it is reported on its own.
  static void on_view_notify_title(GObject* view, GParamSpec*, gpointer data) {
    Self(data).TitleChange.emit(Text(webkit_web_view_get_title(WEBKIT_WEB_VIEW(view))));
  }

  // The link under the pointer goes to the status bar; leaving it clears the text.
  static void on_view_mouse_target_changed(WebKitWebView*, WebKitHitTestResult* hit, guint,
                                           gpointer data) {
    const bool onLink = webkit_hit_test_result_context_is_link(hit);
    Self(data).StatusTextChange.emit(onLink ? Text(webkit_hit_test_result_get_link_uri(hit))
                                            : std::string());
  }

  // The page's web process ended (a crash, too much memory, or on request). No FINISHED will
  // come for what was loading: drop any read in progress and tell the user how to get the page
  // back. The view stays usable; Refresh starts a new web process.
  static void on_view_web_process_terminated(WebKitWebView*,
                                             WebKitWebProcessTerminationReason reason,
                                             gpointer data) {
    WebKitBrowserControl& self = Self(data);
    ++self.loadGeneration_;
    self.errorPageComing_ = false;
    self.CancelPageRead();
    self.StatusTextChange.emit(TerminationText(reason));
  }

  // A link that asks for a new window (target="_blank") opens in this view when the user
  // clicked it; windows that a script opens on its own are not created.
  static GtkWidget* on_view_create(WebKitWebView* view, WebKitNavigationAction* action, gpointer) {
    if (webkit_navigation_action_is_user_gesture(action)) {
      WebKitURIRequest* request = webkit_navigation_action_get_request(action);
      webkit_web_view_load_request(view, request);
    }
    return nullptr;
  }

  // A main page the engine cannot show, or one its server marks as an attachment, is saved
  // instead; a link opened aside is raised as LinkOpenedAside when someone takes it; every other
  // decision is WebKit's own.
  static gboolean on_view_decide_policy(WebKitWebView*, WebKitPolicyDecision* decision,
                                        WebKitPolicyDecisionType type, gpointer data) {
    if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION ||
        type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
      return TakeLinkOpenedAside(Self(data), WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    }
    if (type != WEBKIT_POLICY_DECISION_TYPE_RESPONSE) return FALSE;
    auto* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
    if (!webkit_response_policy_decision_is_main_frame_main_resource(response)) return FALSE;
    if (webkit_response_policy_decision_is_mime_type_supported(response) &&
        !IsAttachment(webkit_response_policy_decision_get_response(response))) {
      return FALSE;
    }
    webkit_policy_decision_download(decision);
    return TRUE;
  }

  // A Ctrl+click or a middle click on a link, when the control's owner takes such links: the
  // pane does not follow it.
  static gboolean TakeLinkOpenedAside(WebKitBrowserControl& self,
                                      WebKitNavigationPolicyDecision* decision) {
    if (self.LinkOpenedAside.empty()) return FALSE;
    WebKitNavigationAction* action =
        webkit_navigation_policy_decision_get_navigation_action(decision);
    if (webkit_navigation_action_get_navigation_type(action) !=
        WEBKIT_NAVIGATION_TYPE_LINK_CLICKED) {
      return FALSE;
    }
    const guint button = webkit_navigation_action_get_mouse_button(action);
    const guint modifiers = webkit_navigation_action_get_modifiers(action);
    const bool aside = button == GDK_BUTTON_MIDDLE ||
                       (button == GDK_BUTTON_PRIMARY && (modifiers & GDK_CONTROL_MASK) != 0);
    if (!aside) return FALSE;
    const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
    webkit_policy_decision_ignore(WEBKIT_POLICY_DECISION(decision));
    // Once the engine is done with the click: a receiver may hide this view (another tab).
    Glib::signal_idle().connect_once([owner = std::weak_ptr<WebKitBrowserControl*>(self.self_),
                                      url = std::string(uri != nullptr ? uri : "")] {
      if (const auto control = owner.lock()) (*control)->LinkOpenedAside.emit(url);
    });
    return TRUE;
  }

  // Every download of the web context is announced here (one of webkit_web_view_download_uri
  // during that call or after it); this control follows those of its own view that nobody
  // follows yet.
  static void on_context_download_started(WebKitWebContext*, WebKitDownload* download,
                                          gpointer data) {
    WebKitBrowserControl& self = Self(data);
    if (self.startingDownload_ || g_object_get_data(G_OBJECT(download), kFollowedMark) != nullptr ||
        webkit_download_get_web_view(download) != self.view_) {
      return;
    }
    self.FollowWithStatus(WEBKIT_DOWNLOAD(g_object_ref(download)), false);
  }

  // The menu's items that save something become ours: they ask where the file goes.
  static gboolean on_view_context_menu(WebKitWebView*, WebKitContextMenu* menu, GdkEvent*,
                                       WebKitHitTestResult* hit, gpointer data) {
    WebKitBrowserControl& self = Self(data);
    gint position = 0;
    for (GList* item = webkit_context_menu_get_items(menu); item != nullptr; ++position) {
      GList* next = item->next;
      auto* entry = static_cast<WebKitContextMenuItem*>(item->data);
      const WebKitContextMenuAction action = webkit_context_menu_item_get_stock_action(entry);
      for (const SaveItem& save : kSaveItems) {
        const std::string uri = save.action == action ? SavedUri(action, hit) : "";
        if (uri.empty()) continue;
        WebKitContextMenuItem* ours = webkit_context_menu_item_new_from_gaction(
            G_ACTION(self.saveAsAction_), save.caption, g_variant_new_string(uri.c_str()));
        webkit_context_menu_remove(menu, entry);
        webkit_context_menu_insert(menu, ours, position);
        break;
      }
      item = next;
    }
    return FALSE;
  }

  static void on_action_activate(GSimpleAction*, GVariant* variant, gpointer data) {
    WebKitBrowserControl& self = Self(data);
    const std::string uri = g_variant_get_string(variant, nullptr);
    if (self.pictures_ && self.pictures_->Holds(uri)) {
      self.AskAndSaveHeldPicture(uri);
      return;
    }
    self.FollowWithStatus(self.StartDownload(uri), true);
  }

  static void on_find_counted_matches(WebKitFindController*, guint count, gpointer data) {
    Self(data).FindResult.emit(count == G_MAXUINT ? kManyMatches : count);
  }

  static void on_find_failed_to_find_text(WebKitFindController*, gpointer data) {
    Self(data).FindResult.emit(0);
  }

  // Each resource of the page and its frames, the page's own among them, as it starts loading.
  static void on_view_resource_load_started(WebKitWebView*, WebKitWebResource* resource,
                                            WebKitURIRequest*, gpointer data) {
    WebKitBrowserControl& self = Self(data);
    if (self.pictures_) self.pictures_->Follow(resource);
  }

  // A frame's report of what it loads (picture-origins.js), as JSON text.
  static void on_manager_script_message(WebKitUserContentManager*, WebKitJavascriptResult* result,
                                        gpointer data) {
    JSCValue* value = webkit_javascript_result_get_js_value(result);
    if (jsc_value_is_string(value))
      Self(data).OnPictureMessage(TakeString(jsc_value_to_string(value)));
  }

  // The page is still loading a while after it was shown: read what is there once its document
  // is parsed.
  static gboolean on_still_loading_timeout(gpointer data) {
    WebKitBrowserControl& self = Self(data);
    self.stillLoadingTimer_ = 0;
    if (webkit_web_view_is_loading(self.view_)) {
      self.earlyReadWanted_ = true;
      if (self.pageParsed_) {
        self.earlyReadWanted_ = false;
        self.StartPageRead(true);
      }
    }
    return G_SOURCE_REMOVE;
  }

  // WebKit's answer to a read. The view outlives the call (WebKit holds it for the call), the
  // control may not.
  static void on_view_page_read(GObject* view, GAsyncResult* result, gpointer data) {
    std::unique_ptr<PageRead> read(static_cast<PageRead*>(data));
    GError* error = nullptr;
    JSCValue* value =
        webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, &error);
    PageSnapshotText snapshot;
    if (value && jsc_value_is_array(value)) {
      snapshot.bodyHtml = ArrayString(value, 0);
      snapshot.baseUrl = ArrayString(value, 1);
      snapshot.imageElements = ParseImageElements(ArrayString(value, 2));
      snapshot.generatedUrls = ParseStringList(ArrayString(value, 3));
      JSCValue* hidden = jsc_value_object_get_property_at_index(value, 4);
      if (jsc_value_is_string(hidden))
        snapshot.hiddenMarkup = TakeString(jsc_value_to_string(hidden));
      g_object_unref(hidden);
    } else {
      snapshot.failure = error ? error->message : "the page gave no answer";
    }
    const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
    if (value) g_object_unref(value);
    if (error) g_error_free(error);

    const std::shared_ptr<WebKitBrowserControl*> owner = read->owner.lock();
    if (!owner || cancelled) return;
    (*owner)->FinishPageRead(*read, std::move(snapshot));
  }
};

WebKitBrowserControl::WebKitBrowserControl(BrowserEngine& engine, WebKitBrowserControl* relatedTo,
                                           PageScripts scripts)
    : engine_(engine), self_(std::make_shared<WebKitBrowserControl*>(this)) {
  if (relatedTo && &relatedTo->engine_ != &engine) {
    throw std::invalid_argument("a related browser control must come from the same engine");
  }
  // gtkmm must know its widget types before it can wrap the view (a no-op after the first time,
  // and done already when the program runs a Gtk::Application).
  Gtk::Main::init_gtkmm_internals();

  GtkWidget* widget = nullptr;
  if (relatedTo && scripts == PageScripts::kOff) {
    // The process of its relative, and a content manager of its own: the scripts that watch a
    // page's pictures have nothing to watch in the program's own pages.
    g_autoptr(WebKitUserContentManager) own = webkit_user_content_manager_new();
    widget = GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "related-view", relatedTo->view_,
                                     "user-content-manager", own, nullptr));
  } else if (relatedTo) {
    widget = webkit_web_view_new_with_related_view(relatedTo->view_);
  } else if (WebKitWebView* warm = engine.TakeWarmView()) {
    if (!engine.WarmUri().empty() && scripts == PageScripts::kOn) {
      // The warmed-up view has loaded (or is loading) the first page: it becomes this control's
      // view, and the first load of that page shows it as it is.
      view_ = warm;
      adoptedUri_ = engine.WarmUri();
    } else {
      // The engine's warmed-up view has its web process running: this view takes it over.
      widget = webkit_web_view_new_with_related_view(warm);
      gtk_widget_destroy(GTK_WIDGET(warm));
      g_object_unref(warm);
    }
  } else {
    widget = webkit_web_view_new_with_context(engine.Context());
  }
  if (view_ == nullptr) view_ = WEBKIT_WEB_VIEW(g_object_ref_sink(widget));
  widget = GTK_WIDGET(view_);

  if (scripts == PageScripts::kOff) {
    WebKitSettings* own = webkit_settings_new();
    // The program's own pages are written again for every page: an old one kept for going back
    // would only hold its pictures in memory.
    webkit_settings_set_enable_page_cache(own, FALSE);
    webkit_web_view_set_settings(view_, own);
    g_object_unref(own);
  }
  WebKitSettings* settings = webkit_web_view_get_settings(view_);
  // Pages without a charset declaration (the generated panes among them) are read as UTF-8.
  webkit_settings_set_default_charset(settings, kDefaultCharset);
  // Our own page reads are scripts: with JavaScript off they would never answer. A page's own
  // scripts are its markup's; those can be turned off alone.
  webkit_settings_set_enable_javascript(settings, TRUE);
  webkit_settings_set_enable_javascript_markup(settings, scripts == PageScripts::kOn);

  saveAsAction_ = g_simple_action_new("save-as", G_VARIANT_TYPE_STRING);
  gtk_widget_show(widget);
  ConnectSignals();
  readsPages_ = scripts == PageScripts::kOn;
  if (readsPages_) WatchPictures();
}

WebKitBrowserControl::~WebKitBrowserControl() {
  self_.reset();
  CancelPageRead();
  StopStillLoadingWatch();
  StopPictureRecord();
  g_signal_handlers_disconnect_by_data(view_, this);
  g_signal_handlers_disconnect_by_data(webkit_web_view_get_find_controller(view_), this);
  g_signal_handlers_disconnect_by_data(engine_.Context(), this);
  g_signal_handlers_disconnect_by_data(saveAsAction_, this);
  g_object_unref(saveAsAction_);
  // Out of its window (a window may still show it) and then gone with our reference.
  gtk_widget_destroy(GTK_WIDGET(view_));
  g_object_unref(view_);
}

void WebKitBrowserControl::ConnectSignals() {
  g_signal_connect(view_, "load-changed", G_CALLBACK(Handlers::on_view_load_changed), this);
  g_signal_connect(view_, "load-failed", G_CALLBACK(Handlers::on_view_load_failed), this);
  g_signal_connect_after(view_, "load-failed",
                         G_CALLBACK(Handlers::on_view_load_failed_no_error_page), this);
  g_signal_connect(view_, "load-failed-with-tls-errors",
                   G_CALLBACK(Handlers::on_view_load_failed_with_tls_errors), this);
  g_signal_connect(view_, "notify::estimated-load-progress",
                   G_CALLBACK(Handlers::on_view_notify_estimated_load_progress), this);
  g_signal_connect(view_, "notify::title", G_CALLBACK(Handlers::on_view_notify_title), this);
  g_signal_connect(view_, "mouse-target-changed",
                   G_CALLBACK(Handlers::on_view_mouse_target_changed), this);
  g_signal_connect(view_, "web-process-terminated",
                   G_CALLBACK(Handlers::on_view_web_process_terminated), this);
  g_signal_connect(view_, "create", G_CALLBACK(Handlers::on_view_create), this);
  g_signal_connect(view_, "decide-policy", G_CALLBACK(Handlers::on_view_decide_policy), this);
  g_signal_connect(view_, "context-menu", G_CALLBACK(Handlers::on_view_context_menu), this);
  g_signal_connect(view_, "resource-load-started",
                   G_CALLBACK(Handlers::on_view_resource_load_started), this);
  g_signal_connect(engine_.Context(), "download-started",
                   G_CALLBACK(Handlers::on_context_download_started), this);
  g_signal_connect(saveAsAction_, "activate", G_CALLBACK(Handlers::on_action_activate), this);
  WebKitFindController* find = webkit_web_view_get_find_controller(view_);
  g_signal_connect(find, "counted-matches", G_CALLBACK(Handlers::on_find_counted_matches), this);
  g_signal_connect(find, "failed-to-find-text", G_CALLBACK(Handlers::on_find_failed_to_find_text),
                   this);
}

void WebKitBrowserControl::LoadUri(const std::string& uri) {
  // The first load of the page the warmed-up view was given: what it shows (that page, or where
  // the page sent it on) is the one shown. A load still under way finishes as any other; a
  // finished one is read now.
  if (!adoptedUri_.empty()) {
    const bool shown = uri == adoptedUri_;
    adoptedUri_.clear();
    if (shown) {
      TitleChange.emit(Text(webkit_web_view_get_title(view_)));
      if (!webkit_web_view_is_loading(view_)) StartPageRead();
      return;
    }
  }
  webkit_web_view_load_uri(view_, uri.c_str());
}

void WebKitBrowserControl::Navigate(const std::string& address) {
  LoadUri(AddressToUri(address));
}

void WebKitBrowserControl::Navigate2(const std::string& path) {
  LoadUri(PathToUri(path));
}

void WebKitBrowserControl::GoBack() {
  if (webkit_web_view_can_go_back(view_)) webkit_web_view_go_back(view_);
}

void WebKitBrowserControl::GoForward() {
  if (webkit_web_view_can_go_forward(view_)) webkit_web_view_go_forward(view_);
}

void WebKitBrowserControl::GoHome() {
  LoadUri(engine_.StartPageUri());
}

void WebKitBrowserControl::Stop() {
  webkit_web_view_stop_loading(view_);
}

void WebKitBrowserControl::Refresh() {
  webkit_web_view_reload(view_);
}

std::string WebKitBrowserControl::LocationURL() const {
  return Text(webkit_web_view_get_uri(view_));
}

std::string WebKitBrowserControl::LocationName() const {
  std::string title = Text(webkit_web_view_get_title(view_));
  return title.empty() ? LocationURL() : title;
}

// gtkmm's wrapper of the view, looked up each time: the view owns it, and a window that is
// destroyed before the control takes the wrapper with it (a new one is made then).
Gtk::Widget& WebKitBrowserControl::Widget() {
  return *Glib::wrap(GTK_WIDGET(view_));
}

void WebKitBrowserControl::Find(const std::string& text, bool backwards) {
  WebKitFindController* find = webkit_web_view_get_find_controller(view_);
  if (text.empty()) {
    EndFind();
    FindResult.emit(0);
    return;
  }
  if (text == findText_) {
    backwards ? webkit_find_controller_search_previous(find)
              : webkit_find_controller_search_next(find);
    return;
  }
  findText_ = text;
  if (findFromTop_) {
    // The engine searches on from the selection (the last match of a search ended, say).
    webkit_web_view_execute_editing_command(view_, "Unselect");
    findFromTop_ = false;
  }
  webkit_find_controller_search(find, text.c_str(), kFindOptions, kMaxCountedMatches);
  webkit_find_controller_count_matches(find, text.c_str(), kFindOptions, kMaxCountedMatches);
}

void WebKitBrowserControl::EndFind() {
  findText_.clear();
  findFromTop_ = true;
  webkit_find_controller_search_finish(webkit_web_view_get_find_controller(view_));
}

WebKitDownload* WebKitBrowserControl::StartDownload(const std::string& uri) {
  startingDownload_ = true;
  WebKitDownload* download = webkit_web_view_download_uri(view_, uri.c_str());
  startingDownload_ = false;
  g_object_set_data(G_OBJECT(download), kFollowedMark, GINT_TO_POINTER(1));
  return download;
}

void WebKitBrowserControl::FollowWithStatus(WebKitDownload* download, bool askUser) {
  DownloadPlan plan;
  plan.folder = engine_.DownloadFolder();
  plan.askUser = askUser;
  GtkWidget* top = gtk_widget_get_toplevel(GTK_WIDGET(view_));
  if (askUser && GTK_IS_WINDOW(top)) plan.parent = GTK_WINDOW(top);
  FollowDownload(download, std::move(plan),
                 [owner = std::weak_ptr<WebKitBrowserControl*>(self_)](const DownloadReport& r) {
                   if (const auto control = owner.lock()) {
                     (*control)->StatusTextChange.emit(DownloadStatusText(r));
                   }
                 });
}

std::function<void()> WebKitBrowserControl::SaveImage(const std::string& uri,
                                                      const std::filesystem::path& folder,
                                                      std::function<void(const SavedFile&)> done) {
  if (pictures_ && pictures_->Holds(uri)) {
    // The bytes on screen: no second request, and nothing to wait for but the web process.
    auto cancelled = std::make_shared<bool>(false);
    pictures_->Bytes(uri, [this, uri, folder, cancelled, done = std::move(done)](
                              GBytes* bytes, const std::string& type, const std::string&) {
      if (*cancelled) {
        done(SavedFile{{}, "cancelled"});
      } else if (!bytes) {
        // The engine let go of them: fetch the picture as any other.
        SaveImage(uri, folder, done);
      } else {
        done(KeepHeldBytes(bytes, type, uri, folder));
      }
    });
    return [cancelled] { *cancelled = true; };
  }
  DownloadPlan plan;
  plan.folder = folder;
  plan.fallbackName = "image";
  plan.stallSeconds = kImageStallSeconds;
  return FollowDownload(
      StartDownload(uri), std::move(plan), [done = std::move(done)](const DownloadReport& report) {
        if (!report.finished) return;
        done(SavedFile{report.saved, report.cancelled ? std::string("cancelled") : report.error});
      });
}

double WebKitBrowserControl::ZoomLevel() const {
  return webkit_web_view_get_zoom_level(view_);
}

void WebKitBrowserControl::SetZoomLevel(double level) {
  webkit_web_view_set_zoom_level(view_, level);
}

bool WebKitBrowserControl::Visible() const {
  return gtk_widget_get_visible(GTK_WIDGET(view_));
}

void WebKitBrowserControl::SetVisible(bool visible) {
  gtk_widget_set_visible(GTK_WIDGET(view_), visible);
}

void WebKitBrowserControl::StartPageRead(bool early) {
  CancelPageRead();
  pendingRead_ = g_cancellable_new();
  auto* read = new PageRead{self_, loadGeneration_, ++readSerial_, early};
  webkit_web_view_evaluate_javascript(view_, kPageReadScript, -1, kReadWorld, nullptr, pendingRead_,
                                      Handlers::on_view_page_read, read);
}

void WebKitBrowserControl::CancelPageRead() {
  if (!pendingRead_) return;
  g_cancellable_cancel(pendingRead_);
  g_object_unref(pendingRead_);
  pendingRead_ = nullptr;
}

void WebKitBrowserControl::FinishPageRead(const PageRead& read, PageSnapshotText snapshot) {
  // Stale: a newer load started, or this load finished again (its error page) since.
  if (read.generation != loadGeneration_ || read.serial != readSerial_) return;
  g_clear_object(&pendingRead_);
  // A read that failed leaves an empty snapshot: the page shown is not the one read before.
  if (!snapshot.failure.empty()) g_warning("Could not read the page: %s", snapshot.failure.c_str());
  stillLoading_ = read.early;
  if (pictures_) pictures_->NoteGenerated(snapshot.generatedUrls);
  page_ = std::make_shared<const PageSnapshot>(PageSnapshot{
      std::move(snapshot.bodyHtml), LocationURL(), std::move(snapshot.baseUrl),
      std::move(snapshot.imageElements), std::move(snapshot.hiddenMarkup), LoadedPictures()});
  StatusTextChange.emit(read.early ? kStillLoadingText : kDoneText);
  // Last: a handler may navigate again, or even close the window that owns this control (the
  // handlers share the read, which outlives it).
  const SharedSnapshot page = page_;
  DownloadComplete.emit(page);
}

std::vector<LoadedPicture> WebKitBrowserControl::LoadedPictures() const {
  return pictures_ ? pictures_->Pictures() : std::vector<LoadedPicture>();
}

void WebKitBrowserControl::HeldBytes(const std::string& url,
                                     std::function<void(const std::string* bytes)> done) {
  if (!pictures_) {
    done(nullptr);
    return;
  }
  pictures_->Bytes(url,
                   [done = std::move(done)](GBytes* bytes, const std::string&, const std::string&) {
                     if (!bytes) {
                       done(nullptr);
                       return;
                     }
                     gsize length = 0;
                     const auto* data = static_cast<const char*>(g_bytes_get_data(bytes, &length));
                     const std::string held(data, length);
                     done(&held);
                   });
}

void WebKitBrowserControl::StopPictureRecord() {
  if (contentManager_) {
    g_signal_handlers_disconnect_by_data(contentManager_, this);
    webkit_user_content_manager_unregister_script_message_handler_in_world(
        contentManager_, kPictureChannel, kReadWorld);
    webkit_user_content_manager_remove_script(contentManager_, originsScript_);
    webkit_user_script_unref(originsScript_);
    originsScript_ = nullptr;
    g_clear_object(&contentManager_);
  }
  pictures_.reset();
}

void WebKitBrowserControl::WatchPictures() {
  pictures_ = std::make_unique<PictureRecord>();
  pictures_->PictureAdded.connect([this] { PicturesLoaded.emit(); });
  pictures_->LimitReached.connect([this] {
    StatusTextChange.emit(
        "This page shows more than " + std::to_string(PictureRecord::kMaxPictures) +
        " pictures; the gallery lists the first " + std::to_string(PictureRecord::kMaxPictures));
  });
  // The frames' reports come in on the view's content manager, which views made related to this
  // one share: a report names its page, and only this view's page is taken.
  WebKitUserContentManager* manager = webkit_web_view_get_user_content_manager(view_);
  g_signal_connect(manager, (std::string("script-message-received::") + kPictureChannel).c_str(),
                   G_CALLBACK(Handlers::on_manager_script_message), this);
  if (!webkit_user_content_manager_register_script_message_handler_in_world(
          manager, kPictureChannel, kReadWorld)) {
    // Another control of this content manager listens already: its record is kept, not ours.
    g_signal_handlers_disconnect_by_data(manager, this);
    return;
  }
  contentManager_ = WEBKIT_USER_CONTENT_MANAGER(g_object_ref(manager));
  originsScript_ = webkit_user_script_new_for_world(
      kPictureOriginsScript, WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
      WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, kReadWorld, nullptr, nullptr);
  webkit_user_content_manager_add_script(manager, originsScript_);
}

void WebKitBrowserControl::OnPictureMessage(const std::string& json) {
  g_autoptr(JsonParser) parser = json_parser_new_immutable();
  if (!pictures_ ||
      !json_parser_load_from_data(parser, json.data(), static_cast<gssize>(json.size()), nullptr)) {
    return;
  }
  JsonNode* root = json_parser_get_root(parser);
  if (!root || !JSON_NODE_HOLDS_OBJECT(root)) return;
  JsonObject* message = json_node_get_object(root);
  const std::string page = Text(json_object_get_string_member_with_default(message, "t", ""));
  const std::string frame = Text(json_object_get_string_member_with_default(message, "f", ""));
  // A report from the page of another view (a generated pane) is not about this page; a frame
  // cannot name its page when that is of another origin, so a frame's report is taken.
  if (frame.empty() && page != LocationURL()) return;
  if (json_object_get_boolean_member_with_default(message, "parsed", FALSE)) {
    pageParsed_ = true;
    if (earlyReadWanted_ && webkit_web_view_is_loading(view_)) {
      earlyReadWanted_ = false;
      StartPageRead(true);
    }
    return;
  }
  JsonNode* member = json_object_get_member(message, "r");
  JsonArray* reports =
      member && JSON_NODE_HOLDS_ARRAY(member) ? json_node_get_array(member) : nullptr;
  const guint length = reports ? json_array_get_length(reports) : 0;
  for (guint i = 0; i + 1 < length; i += 2) {
    JsonNode* url = json_array_get_element(reports, i);
    JsonNode* initiator = json_array_get_element(reports, i + 1);
    if (!JSON_NODE_HOLDS_VALUE(url) || !JSON_NODE_HOLDS_VALUE(initiator)) continue;
    pictures_->NoteOrigin(Text(json_node_get_string(url)), Text(json_node_get_string(initiator)),
                          frame);
  }
}

void WebKitBrowserControl::StartStillLoadingWatch() {
  StopStillLoadingWatch();
  stillLoadingTimer_ =
      g_timeout_add_seconds(kStillLoadingSeconds, Handlers::on_still_loading_timeout, this);
}

void WebKitBrowserControl::StopStillLoadingWatch() {
  if (stillLoadingTimer_ != 0) g_source_remove(stillLoadingTimer_);
  stillLoadingTimer_ = 0;
  pageParsed_ = false;
  earlyReadWanted_ = false;
}

void WebKitBrowserControl::GetServedPage(std::function<void(const ServedPage&)> done) {
  struct Request {
    std::weak_ptr<WebKitBrowserControl*> owner;
    std::function<void(const ServedPage&)> done;
    ServedPage page;
  };
  auto request = std::make_unique<Request>(Request{self_, std::move(done), {}});
  WebKitWebResource* resource = webkit_web_view_get_main_resource(view_);
  if (resource == nullptr) {
    // Later, as promised, even when there is nothing to give.
    request->page.error = "no page is shown";
    Glib::signal_idle().connect_once([request = std::shared_ptr<Request>(std::move(request))] {
      if (!request->owner.expired()) request->done(request->page);
    });
    return;
  }
  if (const char* uri = webkit_web_resource_get_uri(resource)) request->page.url = uri;
  if (WebKitURIResponse* response = webkit_web_resource_get_response(resource)) {
    if (SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response)) {
      if (const char* type = soup_message_headers_get_one(headers, "Content-Type"))
        request->page.contentType = type;
    }
  }
  webkit_web_resource_get_data(
      resource, nullptr,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        std::unique_ptr<Request> answer(static_cast<Request*>(data));
        gsize length = 0;
        GError* error = nullptr;
        guchar* bytes = webkit_web_resource_get_data_finish(WEBKIT_WEB_RESOURCE(source), result,
                                                            &length, &error);
        if (bytes != nullptr) {
          answer->page.bytes.assign(reinterpret_cast<const char*>(bytes), length);
          g_free(bytes);
        } else {
          answer->page.error = error != nullptr ? error->message : "the engine holds no bytes";
        }
        g_clear_error(&error);
        if (!answer->owner.expired()) answer->done(answer->page);
      },
      request.release());
}

void WebKitBrowserControl::AskAndSaveHeldPicture(const std::string& uri) {
  const std::weak_ptr<WebKitBrowserControl*> owner = self_;
  const auto report = [owner](const std::string& text) {
    if (const auto control = owner.lock()) (*control)->StatusTextChange.emit(text);
  };
  pictures_->Bytes(uri, [this, owner, report, uri](GBytes* bytes, const std::string& type,
                                                   const std::string& error) {
    if (owner.expired()) return;
    if (!bytes) {
      report("Could not save the picture: " + error);
      return;
    }
    // The chooser proposes the URL's name with the extension of the bytes, in the download
    // folder; the file it returns was confirmed by the user when it exists.
    const std::string name = WithExtensionOfType(SafeFileName(FileNameOfUri(uri), "image"), type);
    GtkWidget* top = gtk_widget_get_toplevel(GTK_WIDGET(view_));
    GtkFileChooserNative* chooser =
        gtk_file_chooser_native_new("Save As", GTK_IS_WINDOW(top) ? GTK_WINDOW(top) : nullptr,
                                    GTK_FILE_CHOOSER_ACTION_SAVE, "_Save", "_Cancel");
    GtkFileChooser* files = GTK_FILE_CHOOSER(chooser);
    gtk_file_chooser_set_do_overwrite_confirmation(files, TRUE);
    g_mkdir_with_parents(engine_.DownloadFolder().c_str(), 0755);
    gtk_file_chooser_set_current_folder(files, engine_.DownloadFolder().c_str());
    gtk_file_chooser_set_current_name(files, name.c_str());
    const gint answer = gtk_native_dialog_run(GTK_NATIVE_DIALOG(chooser));
    g_autofree gchar* chosen =
        answer == GTK_RESPONSE_ACCEPT ? gtk_file_chooser_get_filename(files) : nullptr;
    g_object_unref(chooser);
    if (!chosen || owner.expired()) return;
    const std::filesystem::path file(chosen);
    gsize length = 0;
    const auto* data = static_cast<const char*>(g_bytes_get_data(bytes, &length));
    std::error_code failed;
    const std::filesystem::path temporary = MakeTemporaryFile(file.parent_path(), failed);
    if (!failed) {
      GError* written = nullptr;
      if (!g_file_set_contents(temporary.c_str(), data, static_cast<gssize>(length), &written)) {
        failed = std::make_error_code(std::errc::io_error);
        g_clear_error(&written);
      }
    }
    if (!failed) {
      MoveIntoPlace(temporary, file.parent_path(), file.filename().string(), true, failed);
      if (failed) std::filesystem::remove(temporary);
    } else if (!temporary.empty()) {
      std::filesystem::remove(temporary);
    }
    report(failed ? "Could not save " + file.filename().string() + ": " + failed.message()
                  : "Saved " + file.filename().string() + " in " +
                        file.parent_path().filename().string());
  });
}

}  // namespace velmora
