// The engine's record of the pictures of the page shown. Every resource the view loads (the page
// and each of its frames, of any origin) is followed until it finishes; each response that is a
// picture (by its MIME type, or by its bytes' signature when the type is missing or wrong) is
// kept with its final URL, type, byte size and pixel size, and with the engine's resource itself,
// through which its bytes can be had again without a second request and without a copy of our
// own. A new page load starts a new record.
//
// What asked for a picture (an image tag, a style sheet, a frame, an <object>) is not in the
// resource; the frames of the page report it (NoteOrigin), and the record joins the two by URL.
#pragma once

#include <sigc++/signal.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "analysis/LoadedPictures.h"

typedef struct _WebKitWebResource WebKitWebResource;
typedef struct _GBytes GBytes;

namespace velmora {

class PictureRecord {
 public:
  // Pictures kept per page; those beyond are counted, not kept.
  static constexpr std::size_t kMaxPictures = 10000;

  PictureRecord();
  ~PictureRecord();
  PictureRecord(const PictureRecord&) = delete;
  PictureRecord& operator=(const PictureRecord&) = delete;

  // Forgets the page before: a new page is loading.
  void Clear();
  // Follows a resource the view started loading for the page until it finishes.
  void Follow(WebKitWebResource* resource);

  // What a frame of the page reports of a resource it asked for: what asked ("img", "css",
  // "link", "object", "embed", "other", as the engine's resource timing names it) and the frame's
  // URL ("" for the page itself).
  void NoteOrigin(const std::string& url, const std::string& initiator, const std::string& frame);
  // The URLs the page's style sheets draw with a CSS `content` (pseudo-elements).
  void NoteGenerated(const std::vector<std::string>& urls);

  // The pictures kept, in the order they finished loading.
  std::vector<LoadedPicture> Pictures() const;
  std::size_t Count() const noexcept { return entries_.size(); }
  // About how much memory the record itself takes (its entries, texts and indexes; not the
  // engine's resources it holds references to, nor their bytes, which stay the engine's).
  std::size_t OwnBytes() const;
  // The pictures of this page that were not kept: the record was full.
  std::size_t Dropped() const noexcept { return dropped_; }
  // Whether the record holds the picture at `url` (its final URL or the one first asked for).
  bool Holds(const std::string& url) const;

  // Asks the engine for the bytes of the picture at `url`. `done` is called once, later: with
  // the bytes and their type, or with nullptr and why there are none. Nothing is called when the
  // record is gone by then.
  using BytesDone =
      std::function<void(GBytes* bytes, const std::string& mimeType, const std::string& error)>;
  void Bytes(const std::string& url, BytesDone done);

  // A picture joined the record (raised for each one; the receiver decides how often to act).
  sigc::signal<void()> PictureAdded;
  // The record is full for this page: raised once, with the first picture dropped.
  sigc::signal<void()> LimitReached;

 private:
  struct Entry {
    WebKitWebResource* resource = nullptr;  // our reference
    LoadedPicture picture;
  };
  struct Origin {
    std::string initiator;
    std::string frame;
  };
  struct Followed;

  void Finished(WebKitWebResource* resource);
  void Examine(WebKitWebResource* resource, const std::string& requestUrl,
               const std::string& responseType);
  void Keep(WebKitWebResource* resource, LoadedPicture picture);
  void StartNextRead();
  ImageKind KindOf(const LoadedPicture& picture, std::string* frame) const;
  const Entry* Find(const std::string& url) const;

  std::vector<Entry> entries_;
  std::unordered_map<std::string, std::size_t> byUrl_;  // final and request URLs
  std::unordered_map<std::string, Origin> origins_;
  std::unordered_set<std::string> generated_;
  // Resources being followed, and those waiting for their bytes to be looked at.
  std::unordered_map<WebKitWebResource*, std::string> followed_;
  struct Waiting {
    WebKitWebResource* resource;
    std::string requestUrl;
    std::string responseType;
  };
  std::vector<Waiting> waiting_;
  std::size_t reading_ = 0;
  std::size_t dropped_ = 0;
  // Counts the pages: an answer of the engine for a page before is dropped.
  std::uint64_t page_ = 0;
  // Answers that arrive after the record is gone find this expired.
  std::shared_ptr<PictureRecord*> self_;
};

}  // namespace velmora
