// A download from its answer to its end. Start at Job: one per download, alive from
// FollowDownload until WebKit's "finished", with one handler per WebKit signal.
#include "hosted/DownloadJob.h"

#include <glib/gstdio.h>
#include <gtk/gtk.h>
#include <libsoup/soup.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <utility>

#include "common/KeptFiles.h"

namespace velmora {

namespace {

std::string Text(const char* text) {
  return text ? text : "";
}

// The bytes a complete answer holds, as its server announced them; 0 when unknown (none given, or
// the body is encoded, so the announced size is not the size of the file).
guint64 AnnouncedSize(WebKitURIResponse* response) {
  if (response == nullptr) return 0;
  SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response);
  const char* encoding =
      headers ? soup_message_headers_get_one(headers, "Content-Encoding") : nullptr;
  if (encoding != nullptr && g_ascii_strcasecmp(encoding, "identity") != 0) return 0;
  return webkit_uri_response_get_content_length(response);
}

// The name the server gave in Content-Disposition, "" when none.
std::string DispositionName(WebKitURIResponse* response) {
  return response ? Text(webkit_uri_response_get_suggested_filename(response)) : "";
}

struct Job {
  WebKitDownload* download = nullptr;  // our reference
  DownloadPlan plan;
  DownloadListener listener;
  std::shared_ptr<Job> self;  // keeps the job until the download has finished

  std::filesystem::path folder;
  std::string name;
  bool replace = false;
  std::filesystem::path temporary;
  std::string error;
  bool cancelled = false;
  int reportedPercent = -2;
  gint64 lastActivity = 0;
  guint stallTimer = 0;
  GtkFileChooserNative* chooser = nullptr;

  ~Job() {
    if (stallTimer != 0) g_source_remove(stallTimer);
    CloseChooser();
    g_signal_handlers_disconnect_by_data(download, this);
    g_object_unref(download);
  }

  void Report(DownloadReport report) {
    report.name = name;
    if (listener) listener(report);
  }

  // Ends the download with `why` as its outcome.
  void Fail(std::string why) {
    if (error.empty()) error = std::move(why);
    webkit_download_cancel(download);
  }

  void CloseChooser() {
    if (chooser == nullptr) return;
    g_signal_handlers_disconnect_by_data(chooser, this);
    gtk_native_dialog_destroy(GTK_NATIVE_DIALOG(chooser));
    g_object_unref(chooser);
    chooser = nullptr;
  }

  // Writing starts: into a temporary file beside the final one.
  void Begin(std::filesystem::path into, std::string as, bool replaceTarget) {
    folder = std::move(into);
    name = std::move(as);
    replace = replaceTarget;
    if (g_mkdir_with_parents(folder.c_str(), 0755) != 0) {
      Fail("cannot make the folder " + folder.string() + ": " + std::strerror(errno));
      return;
    }
    std::error_code made;
    temporary = MakeTemporaryFile(folder, made);
    if (made) {
      Fail("cannot write in " + folder.string() + ": " + made.message());
      return;
    }
    gchar* uri = g_filename_to_uri(temporary.c_str(), nullptr, nullptr);
    webkit_download_set_allow_overwrite(download, TRUE);
    webkit_download_set_destination(download, uri);
    g_free(uri);
    Report({});
  }

  void Ask() {
    g_mkdir_with_parents(folder.c_str(), 0755);
    chooser = gtk_file_chooser_native_new("Save As", plan.parent, GTK_FILE_CHOOSER_ACTION_SAVE,
                                          "_Save", "_Cancel");
    GtkFileChooser* files = GTK_FILE_CHOOSER(chooser);
    gtk_file_chooser_set_do_overwrite_confirmation(files, TRUE);
    gtk_file_chooser_set_current_folder(files, folder.c_str());
    gtk_file_chooser_set_current_name(files, name.c_str());
    gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(chooser), TRUE);
    g_signal_connect(chooser, "response", G_CALLBACK(on_chooser_response), this);
    gtk_native_dialog_show(GTK_NATIVE_DIALOG(chooser));
  }

  static Job& Of(gpointer data) { return *static_cast<Job*>(data); }

  // The answer came: a refused one ends the download; otherwise it gets its name and file.
  static gboolean on_download_decide_destination(WebKitDownload* download, gchar*, gpointer data) {
    Job& job = Of(data);
    job.lastActivity = g_get_monotonic_time();
    WebKitURIResponse* response = webkit_download_get_response(download);
    const guint status = response ? webkit_uri_response_get_status_code(response) : 0;
    const std::string uri =
        response ? Text(webkit_uri_response_get_uri(response))
                 : Text(webkit_uri_request_get_uri(webkit_download_get_request(download)));
    std::string named = DispositionName(response);
    if (named.empty()) named = FileNameOfUri(uri);
    job.name = WithExtensionFor(SafeFileName(named, job.plan.fallbackName),
                                response ? Text(webkit_uri_response_get_mime_type(response)) : "");
    if (status >= 400) {
      job.Fail("the server answered " + std::to_string(status) + " " +
               Text(soup_status_get_phrase(status)));
    } else if (job.plan.askUser) {
      job.Ask();
    } else {
      job.Begin(job.folder, job.name, false);
    }
    return TRUE;  // the destination is set here or once the user has chosen
  }

  static void on_chooser_response(GtkNativeDialog* dialog, gint response, gpointer data) {
    Job& job = Of(data);
    gchar* file = response == GTK_RESPONSE_ACCEPT
                      ? gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog))
                      : nullptr;
    job.CloseChooser();
    if (file == nullptr) {
      job.cancelled = true;
      webkit_download_cancel(job.download);
      return;
    }
    const std::filesystem::path chosen = file;
    g_free(file);
    job.Begin(chosen.parent_path(), chosen.filename().string(), true);
  }

  static void on_download_received_data(WebKitDownload* download, guint64, gpointer data) {
    Job& job = Of(data);
    job.lastActivity = g_get_monotonic_time();
    WebKitURIResponse* response = webkit_download_get_response(download);
    const bool sized = response && webkit_uri_response_get_content_length(response) > 0;
    const double fraction = sized ? webkit_download_get_estimated_progress(download) : -1;
    const int percent = sized ? static_cast<int>(std::lround(fraction * 100)) : -1;
    if (percent == job.reportedPercent) return;
    job.reportedPercent = percent;
    DownloadReport report;
    report.fraction = fraction;
    job.Report(std::move(report));
  }

  static void on_download_failed(WebKitDownload*, GError* failure, gpointer data) {
    Job& job = Of(data);
    if (!job.error.empty()) return;  // our own reason comes first
    if (g_error_matches(failure, WEBKIT_DOWNLOAD_ERROR, WEBKIT_DOWNLOAD_ERROR_CANCELLED_BY_USER)) {
      job.cancelled = true;
    } else {
      job.error = failure ? failure->message : "the download failed";
    }
  }

  // The last signal of every download: the file is complete, or there is none.
  static void on_download_finished(WebKitDownload*, gpointer data) {
    Job& job = Of(data);
    DownloadReport end;
    end.fraction = 1;
    end.finished = true;
    if (job.error.empty() && !job.cancelled && job.temporary.empty()) {
      job.error = "nothing was received";
    }
    if (job.error.empty() && !job.cancelled) {
      // The engine takes a connection that ends early for the end of the file.
      std::error_code sized;
      const guint64 announced = AnnouncedSize(webkit_download_get_response(job.download));
      const std::uintmax_t size = std::filesystem::file_size(job.temporary, sized);
      if (!sized && announced > 0 && size < announced) {
        job.error = "the server sent " + std::to_string(size) + " of " + std::to_string(announced) +
                    " bytes";
      }
    }
    if (job.error.empty() && !job.cancelled) {
      std::error_code moved;
      end.saved = MoveIntoPlace(job.temporary, job.folder, job.name, job.replace, moved);
      if (moved) job.error = "cannot name it in " + job.folder.string() + ": " + moved.message();
    }
    if (end.saved.empty() && !job.temporary.empty()) ::unlink(job.temporary.c_str());
    end.error = job.error;
    end.cancelled = job.cancelled && job.error.empty();
    const std::shared_ptr<Job> keep = std::move(job.self);
    keep->Report(std::move(end));
  }

  static gboolean on_stall_tick(gpointer data) {
    Job& job = Of(data);
    const gint64 quiet = g_get_monotonic_time() - job.lastActivity;
    if (quiet < static_cast<gint64>(job.plan.stallSeconds) * G_USEC_PER_SEC)
      return G_SOURCE_CONTINUE;
    job.stallTimer = 0;
    job.Fail("no answer for " + std::to_string(job.plan.stallSeconds) + " seconds");
    return G_SOURCE_REMOVE;
  }
};

}  // namespace

std::function<void()> FollowDownload(WebKitDownload* download, DownloadPlan plan,
                                     DownloadListener listener) {
  auto job = std::make_shared<Job>();
  job->download = download;
  job->folder = plan.folder;
  job->plan = std::move(plan);
  job->listener = std::move(listener);
  job->self = job;
  job->lastActivity = g_get_monotonic_time();
  Job* raw = job.get();
  g_signal_connect(download, "decide-destination", G_CALLBACK(Job::on_download_decide_destination),
                   raw);
  g_signal_connect(download, "received-data", G_CALLBACK(Job::on_download_received_data), raw);
  g_signal_connect(download, "failed", G_CALLBACK(Job::on_download_failed), raw);
  g_signal_connect(download, "finished", G_CALLBACK(Job::on_download_finished), raw);
  if (job->plan.stallSeconds > 0)
    job->stallTimer = g_timeout_add_seconds(1, Job::on_stall_tick, raw);
  return [weak = std::weak_ptr<Job>(job)] {
    const std::shared_ptr<Job> running = weak.lock();
    if (!running || !running->self) return;
    running->cancelled = true;
    running->CloseChooser();
    webkit_download_cancel(running->download);
  };
}

std::string DownloadStatusText(const DownloadReport& report) {
  const std::string name = report.name.empty() ? std::string("the download") : report.name;
  if (!report.finished) {
    if (report.fraction < 0) return "Downloading " + name + "\u2026";
    return "Downloading " + name + "\u2026 " +
           std::to_string(static_cast<int>(std::lround(report.fraction * 100))) + "%";
  }
  if (!report.saved.empty()) {
    return "Saved " + report.saved.filename().string() + " in " +
           report.saved.parent_path().filename().string();
  }
  if (report.cancelled) return "Download of " + name + " cancelled";
  return "Could not save " + name + ": " + report.error;
}

}  // namespace velmora
