#include "hosted/PictureRecord.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gio/gio.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <string_view>

namespace velmora {

namespace {

// Resources whose bytes are looked at together; the others wait their turn, so a page of a
// thousand pictures does not ask the web process for all their bytes at once.
constexpr std::size_t kReadsAtOnce = 4;
// The signature of a type is in the first bytes.
constexpr gsize kSniffBytes = 4096;
// The header of a picture is fed to the size reader in pieces this big until it tells the size.
constexpr gsize kHeaderPiece = 4096;

std::string Text(const gchar* text) {
  return text ? text : "";
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// A type that says nothing about the bytes: they may well be a picture.
bool IsVagueType(std::string_view type) {
  return type.empty() || type == "application/octet-stream" || type == "binary/octet-stream" ||
         type == "text/plain" || type == "application/unknown";
}

// The type of a response's bytes when they are a picture, else "". The bytes' signature wins
// over what the server said; an SVG (text, no signature) is taken at the server's word.
std::string PictureType(const guchar* data, gsize length, const std::string& responseType) {
  if (length == 0) return "";
  gboolean uncertain = FALSE;
  g_autofree gchar* guessed =
      g_content_type_guess(nullptr, data, std::min(length, kSniffBytes), &uncertain);
  g_autofree gchar* mime = guessed ? g_content_type_get_mime_type(guessed) : nullptr;
  const std::string sniffed = Text(mime);
  if (StartsWith(sniffed, "image/")) return sniffed;
  if (StartsWith(responseType, "image/svg") &&
      (sniffed == "application/xml" || sniffed == "text/xml" || sniffed == "text/plain" ||
       sniffed == "text/html")) {
    return "image/svg+xml";
  }
  if (StartsWith(responseType, "image/") && (uncertain || IsVagueType(sniffed))) {
    return responseType;
  }
  return "";
}

struct PixelSize {
  int width = 0;
  int height = 0;
};

void on_loader_size_prepared(GdkPixbufLoader* loader, gint width, gint height, gpointer data) {
  auto* size = static_cast<PixelSize*>(data);
  size->width = std::max(width, 0);
  size->height = std::max(height, 0);
  // Nothing is decoded: the size is all we want (a huge picture is never allocated).
  gdk_pixbuf_loader_set_size(loader, 0, 0);
}

// The pixel size a picture's header gives; 0 × 0 when no reader knows the type.
PixelSize PixelSizeOf(const guchar* data, gsize length, const std::string& mimeType) {
  PixelSize size;
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_mime_type(mimeType.c_str(), nullptr);
  if (!loader) loader = gdk_pixbuf_loader_new();
  g_signal_connect(loader, "size-prepared", G_CALLBACK(on_loader_size_prepared), &size);
  for (gsize at = 0; at < length && size.width == 0; at += kHeaderPiece) {
    if (!gdk_pixbuf_loader_write(loader, data + at, std::min(kHeaderPiece, length - at), nullptr)) {
      break;
    }
  }
  gdk_pixbuf_loader_close(loader, nullptr);
  g_signal_handlers_disconnect_by_data(loader, &size);
  g_object_unref(loader);
  return size;
}

// What an answer of the engine belongs to.
struct DataRead {
  std::weak_ptr<PictureRecord*> owner;
  std::uint64_t page;
  std::string requestUrl;
  std::string responseType;
};

}  // namespace

struct PictureRecord::Followed {
  static void on_resource_finished(WebKitWebResource* resource, gpointer data) {
    static_cast<PictureRecord*>(data)->Finished(resource);
  }
  static void on_resource_failed(WebKitWebResource* resource, GError*, gpointer data) {
    auto* record = static_cast<PictureRecord*>(data);
    g_signal_handlers_disconnect_by_data(resource, record);
    if (record->followed_.erase(resource) != 0) g_object_unref(resource);
  }
  static void on_resource_data(GObject* source, GAsyncResult* result, gpointer data) {
    std::unique_ptr<DataRead> read(static_cast<DataRead*>(data));
    auto* resource = WEBKIT_WEB_RESOURCE(source);
    gsize length = 0;
    g_autofree guchar* bytes =
        webkit_web_resource_get_data_finish(resource, result, &length, nullptr);
    const std::shared_ptr<PictureRecord*> owner = read->owner.lock();
    if (!owner || (*owner)->page_ != read->page) {
      g_object_unref(resource);
      return;
    }
    PictureRecord& record = **owner;
    --record.reading_;
    const std::string type = bytes ? PictureType(bytes, length, read->responseType) : "";
    if (type.empty()) {
      g_object_unref(resource);
    } else {
      LoadedPicture picture;
      picture.url = Text(webkit_web_resource_get_uri(resource));
      if (read->requestUrl != picture.url) picture.requestUrl = read->requestUrl;
      picture.mimeType = type;
      picture.bytes = length;
      g_autofree gchar* hash = g_compute_checksum_for_data(G_CHECKSUM_SHA256, bytes, length);
      picture.contentHash = hash ? hash : "";
      const PixelSize size = PixelSizeOf(bytes, length, type);
      picture.width = size.width;
      picture.height = size.height;
      record.Keep(resource, std::move(picture));
    }
    record.StartNextRead();
  }
};

PictureRecord::PictureRecord() : self_(std::make_shared<PictureRecord*>(this)) {}

PictureRecord::~PictureRecord() {
  self_.reset();
  Clear();
}

void PictureRecord::Clear() {
  ++page_;
  for (auto& [resource, url] : followed_) {
    g_signal_handlers_disconnect_by_data(resource, this);
    g_object_unref(resource);
  }
  followed_.clear();
  for (Waiting& waiting : waiting_) g_object_unref(waiting.resource);
  waiting_.clear();
  for (Entry& entry : entries_) g_object_unref(entry.resource);
  entries_.clear();
  byUrl_.clear();
  origins_.clear();
  generated_.clear();
  reading_ = 0;
  dropped_ = 0;
}

void PictureRecord::Follow(WebKitWebResource* resource) {
  if (followed_.count(resource) != 0) return;
  followed_.emplace(WEBKIT_WEB_RESOURCE(g_object_ref(resource)),
                    Text(webkit_web_resource_get_uri(resource)));
  g_signal_connect(resource, "finished", G_CALLBACK(Followed::on_resource_finished), this);
  g_signal_connect(resource, "failed", G_CALLBACK(Followed::on_resource_failed), this);
}

void PictureRecord::Finished(WebKitWebResource* resource) {
  g_signal_handlers_disconnect_by_data(resource, this);
  const auto found = followed_.find(resource);
  if (found == followed_.end()) return;
  const std::string requestUrl = std::move(found->second);
  followed_.erase(found);

  WebKitURIResponse* response = webkit_web_resource_get_response(resource);
  const guint status = response ? webkit_uri_response_get_status_code(response) : 0;
  const std::string type = response ? Text(webkit_uri_response_get_mime_type(response)) : "";
  // An error page (a picture that is gone) is no picture; a type that is something else
  // (a script, a style sheet, a document) is not looked at.
  if (status >= 400 || (!StartsWith(type, "image/") && !IsVagueType(type))) {
    g_object_unref(resource);
    return;
  }
  Examine(resource, requestUrl, type);
}

void PictureRecord::Examine(WebKitWebResource* resource, const std::string& requestUrl,
                            const std::string& responseType) {
  if (Holds(requestUrl) || Holds(Text(webkit_web_resource_get_uri(resource)))) {
    g_object_unref(resource);
    return;
  }
  waiting_.push_back({resource, requestUrl, responseType});
  StartNextRead();
}

void PictureRecord::StartNextRead() {
  while (reading_ < kReadsAtOnce && !waiting_.empty()) {
    Waiting next = std::move(waiting_.front());
    waiting_.erase(waiting_.begin());
    ++reading_;
    webkit_web_resource_get_data(
        next.resource, nullptr, Followed::on_resource_data,
        new DataRead{self_, page_, std::move(next.requestUrl), std::move(next.responseType)});
  }
}

void PictureRecord::Keep(WebKitWebResource* resource, LoadedPicture picture) {
  if (Holds(picture.url) || (!picture.requestUrl.empty() && Holds(picture.requestUrl))) {
    g_object_unref(resource);
    return;
  }
  if (entries_.size() >= kMaxPictures) {
    g_object_unref(resource);
    if (++dropped_ == 1) LimitReached.emit();
    return;
  }
  const std::size_t index = entries_.size();
  byUrl_.emplace(picture.url, index);
  if (!picture.requestUrl.empty()) byUrl_.emplace(picture.requestUrl, index);
  entries_.push_back({resource, std::move(picture)});
  PictureAdded.emit();
}

void PictureRecord::NoteOrigin(const std::string& url, const std::string& initiator,
                               const std::string& frame) {
  // The first report of a URL wins: a picture is asked for once, by whoever came first.
  origins_.emplace(url, Origin{initiator, frame});
}

void PictureRecord::NoteGenerated(const std::vector<std::string>& urls) {
  generated_.insert(urls.begin(), urls.end());
}

ImageKind PictureRecord::KindOf(const LoadedPicture& picture, std::string* frame) const {
  auto origin = origins_.find(picture.requestUrl.empty() ? picture.url : picture.requestUrl);
  if (origin == origins_.end()) origin = origins_.find(picture.url);
  const bool generated =
      generated_.count(picture.url) != 0 || generated_.count(picture.requestUrl) != 0;
  if (origin == origins_.end()) return generated ? ImageKind::Generated : ImageKind::Loaded;
  const Origin& o = origin->second;
  *frame = o.frame;
  if (!o.frame.empty()) return ImageKind::Frame;
  if (o.initiator == "link") return ImageKind::Icon;
  if (o.initiator == "object" || o.initiator == "embed") return ImageKind::Object;
  if (o.initiator == "css") return generated ? ImageKind::Generated : ImageKind::Background;
  if (o.initiator == "img" || o.initiator == "image" || o.initiator == "input") {
    return ImageKind::Img;
  }
  return generated ? ImageKind::Generated : ImageKind::Loaded;
}

std::vector<LoadedPicture> PictureRecord::Pictures() const {
  std::vector<LoadedPicture> pictures;
  pictures.reserve(entries_.size());
  for (const Entry& entry : entries_) {
    LoadedPicture picture = entry.picture;
    picture.kind = KindOf(picture, &picture.frame);
    pictures.push_back(std::move(picture));
  }
  return pictures;
}

std::size_t PictureRecord::OwnBytes() const {
  // A node of a hash map: its value, the next pointer and the cached hash; a bucket pointer each.
  constexpr std::size_t kNodeOverhead = 2 * sizeof(void*);
  std::size_t bytes = sizeof(*this) + entries_.capacity() * sizeof(Entry);
  for (const Entry& entry : entries_) {
    const LoadedPicture& p = entry.picture;
    for (const std::string* text : {&p.url, &p.requestUrl, &p.mimeType, &p.frame, &p.contentHash}) {
      if (text->capacity() > 15) bytes += text->capacity() + 1;  // beyond the string's own buffer
    }
  }
  for (const auto& [url, index] : byUrl_) {
    bytes += sizeof(std::pair<const std::string, std::size_t>) + kNodeOverhead +
             (url.capacity() > 15 ? url.capacity() + 1 : 0);
  }
  for (const auto& [url, origin] : origins_) {
    bytes += sizeof(std::pair<const std::string, Origin>) + kNodeOverhead + url.size() +
             origin.initiator.size() + origin.frame.size();
  }
  bytes += (byUrl_.bucket_count() + origins_.bucket_count()) * sizeof(void*);
  return bytes;
}

const PictureRecord::Entry* PictureRecord::Find(const std::string& url) const {
  const auto found = byUrl_.find(url);
  return found == byUrl_.end() ? nullptr : &entries_[found->second];
}

bool PictureRecord::Holds(const std::string& url) const {
  return Find(url) != nullptr;
}

void PictureRecord::Bytes(const std::string& url, BytesDone done) {
  const Entry* entry = Find(url);
  if (!entry) {
    done(nullptr, "", "the page has not loaded it");
    return;
  }
  struct Asked {
    std::weak_ptr<PictureRecord*> owner;
    std::string mimeType;
    BytesDone done;
  };
  webkit_web_resource_get_data(
      entry->resource, nullptr,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        std::unique_ptr<Asked> asked(static_cast<Asked*>(data));
        gsize length = 0;
        GError* error = nullptr;
        guchar* bytes = webkit_web_resource_get_data_finish(WEBKIT_WEB_RESOURCE(source), result,
                                                            &length, &error);
        if (asked->owner.expired()) {
          g_free(bytes);
          g_clear_error(&error);
          return;
        }
        if (!bytes) {
          const std::string why = error ? error->message : "the engine no longer holds it";
          g_clear_error(&error);
          asked->done(nullptr, asked->mimeType, why);
          return;
        }
        GBytes* held = g_bytes_new_take(bytes, length);
        asked->done(held, asked->mimeType, "");
        g_bytes_unref(held);
      },
      new Asked{self_, entry->picture.mimeType, std::move(done)});
}

}  // namespace velmora
