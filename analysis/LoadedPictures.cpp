// How the engine's record of pictures joins the image census: matched by address, one entry per
// picture, in one pass over the record with a hash index of the census's addresses.
#include "analysis/LoadedPictures.h"

#include <glib.h>

#include <algorithm>
#include <array>
#include <cstdint>

#include "analysis/FlatSet.h"
#include "analysis/TextSearch.h"
#include "analysis/UrlHelpers.h"

namespace velmora {

namespace {

bool IsDataUrl(std::string_view url) {
  return text::StartsWithNoCase(url, "data:");
}

// The form in which two addresses of one picture compare equal. The record holds addresses as
// the engine writes them: without a fragment, with characters outside ASCII, blanks and some of
// " ' < > ` { } | ^ \ percent-encoded (which ones depends on the part of the address). The census
// holds them as the page's references resolve, which may keep such characters as they are. Here
// both sides have all of them encoded.
constexpr std::array<bool, 256> kEncodedBytes = [] {
  std::array<bool, 256> encoded{};
  for (std::size_t byte = 0; byte < encoded.size(); ++byte) {
    encoded[byte] = byte <= 0x20 || byte >= 0x7F;
  }
  for (const char c : std::string_view("\"'<>`{}|^\\")) {
    encoded[static_cast<unsigned char>(c)] = true;
  }
  return encoded;
}();

bool IsEncoded(char c) {
  return kEncodedBytes[static_cast<unsigned char>(c)];
}

std::string MatchKey(std::string_view url) {
  if (!IsDataUrl(url)) url = url.substr(0, url.find('#'));
  // Most addresses hold nothing to encode.
  const auto first = std::find_if(url.begin(), url.end(), IsEncoded);
  if (first == url.end()) return std::string(url);
  static constexpr std::string_view kHex = "0123456789ABCDEF";
  std::string key(url.begin(), first);
  key.reserve(url.size() + 16);
  for (auto it = first; it != url.end(); ++it) {
    const auto byte = static_cast<unsigned char>(*it);
    if (kEncodedBytes[byte]) {
      key.push_back('%');
      key.push_back(kHex[byte >> 4]);
      key.push_back(kHex[byte & 0xF]);
    } else {
      key.push_back(*it);
    }
  }
  return key;
}

// The census entry each address belongs to, by its MatchKey; the first entry to claim an address
// keeps it.
class AddressIndex {
 public:
  struct Owner {
    std::uint32_t entry = FlatIndexSet::kNone;
    bool own = false;  // the address is the entry's own url, not one of its alsoAt

    bool Found() const { return entry != FlatIndexSet::kNone; }
  };

  void Reserve(std::size_t count) {
    keys_.reserve(count);
    owners_.reserve(count);
    set_.Reserve(count);
  }

  Owner Find(const std::string& key) const {
    const std::uint32_t at = set_.Find(key, FlatIndexSet::Hash(key), KeyAt{&keys_});
    return at == FlatIndexSet::kNone ? Owner{} : owners_[at];
  }

  // False when the address belongs to an entry already.
  bool Add(std::string key, Owner owner) {
    const auto at = static_cast<std::uint32_t>(keys_.size());
    keys_.push_back(std::move(key));
    const std::size_t hash = FlatIndexSet::Hash(keys_.back());
    if (set_.Insert(at, hash, KeyAt{&keys_}) != at) {
      keys_.pop_back();
      return false;
    }
    owners_.push_back(owner);
    return true;
  }

 private:
  struct KeyAt {
    const std::vector<std::string>* keys;
    std::string_view operator()(std::uint32_t i) const { return (*keys)[i]; }
  };
  std::vector<std::string> keys_;
  std::vector<Owner> owners_;
  FlatIndexSet set_;
};

// What the engine knows of the picture at the entry's own address.
void TakeWhatTheEngineKnows(CensusImage& image, const LoadedPicture& picture) {
  if (!picture.mimeType.empty()) image.type = picture.mimeType;
  if (picture.bytes > 0) image.bytes = picture.bytes;
  if (picture.width > 0 && picture.height > 0) {
    image.width = picture.width;
    image.height = picture.height;
  }
  if (!picture.contentHash.empty()) image.contentHash = picture.contentHash;
  image.frame = picture.frame;
  image.loaded = true;
}

}  // namespace

void MergeLoadedPictures(std::vector<CensusImage>& census,
                         const std::vector<LoadedPicture>& loaded) {
  using Owner = AddressIndex::Owner;
  AddressIndex index;
  std::size_t addresses = loaded.size() * 2;
  for (const CensusImage& image : census) addresses += 1 + image.alsoAt.size();
  index.Reserve(addresses);
  // Own addresses first: an entry's own address is never taken for another's other address.
  for (std::size_t i = 0; i < census.size(); ++i) {
    index.Add(MatchKey(census[i].url), {static_cast<std::uint32_t>(i), true});
  }
  for (std::size_t i = 0; i < census.size(); ++i) {
    for (const std::string& url : census[i].alsoAt) {
      index.Add(MatchKey(url), {static_cast<std::uint32_t>(i), false});
    }
  }

  // An address of the picture joins the entry's other ones, also where it only writes one of them
  // otherwise (the engine's text is the one its record knows), unless another entry has it.
  const auto addOtherAddress = [&](std::uint32_t entry, const std::string& url,
                                   const std::string& key, Owner owner) {
    if (url.empty() || !IsLinkableUrl(url)) return;
    if (!owner.Found()) {
      index.Add(key, {entry, false});
    } else if (owner.entry != entry) {
      return;
    }
    std::vector<std::string>& alsoAt = census[entry].alsoAt;
    if (url == census[entry].url || std::find(alsoAt.begin(), alsoAt.end(), url) != alsoAt.end()) {
      return;
    }
    alsoAt.push_back(url);
  };

  // Placeholders of lazy pictures: loaded, shown for a moment, never pictures of the page.
  StringViewSet placeholders;
  for (const CensusImage& image : census) {
    for (const std::string& url : image.placeholders) placeholders.Insert(url);
  }

  StringViewSet seen;  // final addresses, pointing into `loaded`
  seen.Reserve(loaded.size());
  for (const LoadedPicture& picture : loaded) {
    if (picture.url.empty() || !seen.Insert(picture.url)) continue;
    const std::string urlKey = MatchKey(picture.url);
    const std::string requestKey = picture.requestUrl.empty() ? "" : MatchKey(picture.requestUrl);
    const Owner byUrl = index.Find(urlKey);
    const Owner byRequest = requestKey.empty() ? Owner{} : index.Find(requestKey);
    if (byUrl.Found() || byRequest.Found()) {
      const std::uint32_t entry = byUrl.Found() ? byUrl.entry : byRequest.entry;
      // Matched through another address of the entry, the picture is the same one at another
      // size or in another format (a srcset's smaller candidate): its type, size and bytes are
      // not those of the entry's own address.
      if ((byUrl.entry == entry && byUrl.own) || (byRequest.entry == entry && byRequest.own)) {
        TakeWhatTheEngineKnows(census[entry], picture);
      }
      addOtherAddress(entry, picture.url, urlKey, byUrl);
      addOtherAddress(entry, picture.requestUrl, requestKey,
                      requestKey == urlKey ? index.Find(requestKey) : byRequest);
      continue;
    }
    // A picture only the engine names: an entry of its own, unless it is inline (its data: URL
    // is the page's own text), cannot be shown, or is a placeholder.
    if (IsDataUrl(picture.url) || !IsLinkableUrl(picture.url) ||
        placeholders.Contains(picture.url) ||
        (!picture.requestUrl.empty() && placeholders.Contains(picture.requestUrl))) {
      continue;
    }
    const auto added = static_cast<std::uint32_t>(census.size());
    CensusImage image;
    image.url = picture.url;
    image.name = ImageFileName(picture.url);
    image.kind = picture.kind;
    TakeWhatTheEngineKnows(image, picture);
    census.push_back(std::move(image));
    index.Add(urlKey, {added, true});
    addOtherAddress(added, picture.requestUrl, requestKey, index.Find(requestKey));
  }
}

std::string ShortTypeName(std::string_view mimeType) {
  mimeType = text::TrimAsciiBlanks(mimeType.substr(0, mimeType.find(';')));
  if (!text::StartsWithNoCase(mimeType, "image/")) return {};
  std::string subtype(mimeType.substr(6));
  for (char& c : subtype) c = text::AsciiLower(c);
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 12> kNames{{
      {"png", "PNG"},
      {"jpeg", "JPEG"},
      {"jpg", "JPEG"},
      {"pjpeg", "JPEG"},
      {"gif", "GIF"},
      {"webp", "WebP"},
      {"avif", "AVIF"},
      {"svg+xml", "SVG"},
      {"x-icon", "ICO"},
      {"vnd.microsoft.icon", "ICO"},
      {"bmp", "BMP"},
      {"x-ms-bmp", "BMP"},
  }};
  for (const auto& [name, shortName] : kNames) {
    if (subtype == name) return std::string(shortName);
  }
  // Another type is named by its subtype, when that is a plain token a caption can show.
  constexpr std::size_t kLongestShown = 24;
  if (subtype.empty() || subtype.size() > kLongestShown) return {};
  for (char& c : subtype) {
    if (!g_ascii_isalnum(c) && c != '.' && c != '+' && c != '-' && c != '_') return {};
    c = g_ascii_toupper(c);
  }
  return subtype;
}

}  // namespace velmora
