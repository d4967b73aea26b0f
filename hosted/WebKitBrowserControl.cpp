// The browser control on WebKitGTK. Start at ConnectSignals: every WebKit signal the control
// listens to is wired there, and Handlers holds one function per signal.
#include "hosted/WebKitBrowserControl.h"

#include <gtkmm/main.h>
#include <gtkmm/widget.h>
#include <webkit2/webkit2.h>

#include <cmath>
#include <stdexcept>
#include <utility>

#include "hosted/AddressFixup.h"
#include "hosted/PageRead.h"

namespace velmora {

namespace {

// Our own script world: the page's scripts run in another one, so they cannot redefine the
// getters this reads with (Element.prototype.outerHTML, document.body) nor see our script.
constexpr const char* kReadWorld = "velmora-page-reader";

constexpr const char* kDefaultCharset = "UTF-8";
constexpr const char* kDoneText = "Done";

std::string TakeString(gchar* text) {
  std::string out = text ? text : "";
  g_free(text);
  return out;
}

std::string Text(const gchar* text) {
  return text ? text : "";
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

}  // namespace

// One read of a finished page, as handed to WebKit's callback: it may answer after the control
// is gone, or after a newer load or read made it stale.
struct WebKitBrowserControl::PageRead {
  std::weak_ptr<WebKitBrowserControl*> owner;
  std::uint64_t generation;
  std::uint64_t serial;
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
        self.CancelPageRead();
        self.StatusTextChange.emit("Opening " + Text(webkit_web_view_get_uri(view)) + "\u2026");
        self.DownloadBegin.emit();
        break;
      case WEBKIT_LOAD_REDIRECTED:
        self.StatusTextChange.emit("Opening " + Text(webkit_web_view_get_uri(view)) + "\u2026");
        break;
      case WEBKIT_LOAD_COMMITTED:
        // The page is now the one shown: its address and title follow even when it has no title
        // (a title that stays empty raises no notify::title).
        self.TitleChange.emit(Text(webkit_web_view_get_title(view)));
        break;
      case WEBKIT_LOAD_FINISHED:
        // The failed load's own FINISHED: the page still shown is the one being left, and the
        // error page that replaces it finishes on its own. Read that one instead.
        if (self.errorPageComing_) {
          self.errorPageComing_ = false;
          break;
        }
        self.StartPageRead();
        break;
    }
  }

  // Returning FALSE lets WebKit show its own error page for the failed address. WebKit's own
  // handler runs next and stops the emission when it shows the page; when it shows none (a
  // cancelled load: Stop, or a new address), the emission goes on to the handler below.
  static gboolean on_view_load_failed(WebKitWebView*, WebKitLoadEvent, gchar*, GError*,
                                      gpointer data) {
    Self(data).errorPageComing_ = true;
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
  if (relatedTo) {
    widget = webkit_web_view_new_with_related_view(relatedTo->view_);
  } else if (WebKitWebView* warm = engine.TakeWarmView()) {
    // The engine's warmed-up view has its web process running: this view takes it over.
    widget = webkit_web_view_new_with_related_view(warm);
    gtk_widget_destroy(GTK_WIDGET(warm));
    g_object_unref(warm);
  } else {
    widget = webkit_web_view_new_with_context(engine.Context());
  }
  view_ = WEBKIT_WEB_VIEW(g_object_ref_sink(widget));

  if (scripts == PageScripts::kOff) {
    WebKitSettings* own = webkit_settings_new();
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

  gtk_widget_show(widget);
  ConnectSignals();
}

WebKitBrowserControl::~WebKitBrowserControl() {
  self_.reset();
  CancelPageRead();
  g_signal_handlers_disconnect_by_data(view_, this);
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
}

void WebKitBrowserControl::LoadUri(const std::string& uri) {
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

void WebKitBrowserControl::StartPageRead() {
  CancelPageRead();
  pendingRead_ = g_cancellable_new();
  auto* read = new PageRead{self_, loadGeneration_, ++readSerial_};
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
  document_ = std::move(snapshot.bodyHtml);
  baseUrl_ = std::move(snapshot.baseUrl);
  imageElements_ = std::move(snapshot.imageElements);
  StatusTextChange.emit(kDoneText);
  // Last: a handler may navigate again, or even close the window that owns this control.
  DownloadComplete.emit();
}

}  // namespace velmora
