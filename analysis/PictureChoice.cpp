#include "analysis/PictureChoice.h"

#include <glib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <numeric>
#include <unordered_map>
#include <unordered_set>

#include "analysis/HtmlTags.h"
#include "analysis/ImageScanner.h"
#include "analysis/TextSearch.h"
#include "analysis/UrlHelpers.h"
#include "common/KeptFiles.h"

namespace velmora {

namespace {

constexpr std::array<std::string_view, kPictureTypeCount> kTypeNames{"JPEG", "PNG", "GIF",  "WebP",
                                                                     "AVIF", "SVG", "other"};

struct NamedType {
  std::string_view name;
  PictureType type;
};

constexpr std::array<NamedType, 9> kMimeTypes{{
    {"image/jpeg", PictureType::Jpeg},
    {"image/pjpeg", PictureType::Jpeg},
    {"image/jpg", PictureType::Jpeg},
    {"image/png", PictureType::Png},
    {"image/apng", PictureType::Png},
    {"image/gif", PictureType::Gif},
    {"image/webp", PictureType::Webp},
    {"image/avif", PictureType::Avif},
    {"image/svg+xml", PictureType::Svg},
}};

// The extensions of picture files; those of the types the filter does not name are Other.
constexpr std::array<NamedType, 17> kExtensions{{
    {"jpg", PictureType::Jpeg},
    {"jpeg", PictureType::Jpeg},
    {"jpe", PictureType::Jpeg},
    {"jfif", PictureType::Jpeg},
    {"png", PictureType::Png},
    {"apng", PictureType::Png},
    {"gif", PictureType::Gif},
    {"webp", PictureType::Webp},
    {"avif", PictureType::Avif},
    {"svg", PictureType::Svg},
    {"svgz", PictureType::Svg},
    {"bmp", PictureType::Other},
    {"ico", PictureType::Other},
    {"cur", PictureType::Other},
    {"tif", PictureType::Other},
    {"tiff", PictureType::Other},
    {"heic", PictureType::Other},
}};

constexpr std::array<std::string_view, 9> kTrackerNames{
    "pixel", "1x1", "spacer", "blank", "clear", "transparent", "beacon", "track", "tracking"};
constexpr std::array<std::string_view, 5> kTrackerHostLabels{"pixel", "beacon", "track", "tracking",
                                                             "tracker"};
constexpr std::array<std::string_view, 9> kTrackerHosts{
    "doubleclick.net",       "google-analytics.com", "googletagmanager.com",
    "scorecardresearch.com", "quantserve.com",       "bat.bing.com",
    "analytics.twitter.com", "ct.pinterest.com",     "px.ads.linkedin.com"};

// A spacer or a tracking pixel is at most this wide and high.
constexpr int kTinySide = 2;
// An extension is a few letters and digits; anything longer is part of the name.
constexpr std::size_t kMaxExtension = 10;

bool EqualNoCase(std::string_view a, std::string_view b) noexcept {
  return a.size() == b.size() && text::StartsWithNoCase(a, b);
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = text::AsciiLower(c);
  return out;
}

template <std::size_t N>
std::optional<PictureType> Lookup(const std::array<NamedType, N>& table, std::string_view name) {
  for (const NamedType& known : table) {
    if (EqualNoCase(known.name, name)) return known.type;
  }
  return std::nullopt;
}

// The extension of a file name, without its dot: "" when it has none (a leading dot starts no
// extension) or when what follows the dot is no extension.
std::string_view FileExtension(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return {};
  const std::string_view extension = name.substr(dot + 1);
  if (extension.empty() || extension.size() > kMaxExtension ||
      !std::all_of(extension.begin(), extension.end(), [](char c) { return g_ascii_isalnum(c); })) {
    return {};
  }
  return extension;
}

// The MIME type of a picture's bytes in lower case, without parameters: what the engine or the
// bytes say, else what its data: address declares; "" when unknown.
std::string MimeOf(const CensusImage& picture) {
  std::string_view type = picture.type;
  if (type.empty() && text::StartsWithNoCase(picture.url, "data:")) {
    type = std::string_view(picture.url).substr(5);
    type = type.substr(0, type.find_first_of(";,"));
  }
  return Lower(text::TrimAsciiBlanks(type.substr(0, type.find(';'))));
}

// The usual extension of a MIME type; for another image/ type whose subtype is a plain word,
// that word ("image/jxl": "jxl").
std::string TypicalExtension(std::string_view mime) {
  if (const std::string_view known = ExtensionForContentType(mime); !known.empty()) {
    return std::string(known);
  }
  if (!mime.starts_with("image/")) return {};
  const std::string_view subtype = mime.substr(6);
  if (subtype.empty() || subtype.size() > kMaxExtension ||
      !std::all_of(subtype.begin(), subtype.end(), [](char c) { return g_ascii_isalnum(c); })) {
    return {};
  }
  return std::string(subtype);
}

std::string HostOf(std::string_view url) {
  GUri* uri =
      g_uri_parse(std::string(url).c_str(),
                  static_cast<GUriFlags>(G_URI_FLAGS_PARSE_RELAXED | G_URI_FLAGS_ENCODED), nullptr);
  if (uri == nullptr) return {};
  const char* host = g_uri_get_host(uri);
  std::string out = Lower(host != nullptr ? host : "");
  g_uri_unref(uri);
  return out;
}

std::uint64_t Area(const CensusImage& picture) {
  return static_cast<std::uint64_t>(std::max(picture.width, 0)) *
         static_cast<std::uint64_t>(std::max(picture.height, 0));
}

// Runs of blanks as one space, none at the ends.
std::string OneLine(std::string_view text) {
  std::string out;
  bool blank = false;
  for (const char c : text::TrimAsciiBlanks(text)) {
    if (text::IsAsciiBlank(c)) {
      blank = true;
      continue;
    }
    if (blank) out.push_back(' ');
    blank = false;
    out.push_back(c);
  }
  return out;
}

// `text` safe as one file name: its slashes made "_", then SafeFileName.
std::string SafeName(std::string text, std::string_view fallback) {
  std::replace(text.begin(), text.end(), '/', '_');
  std::replace(text.begin(), text.end(), '\\', '_');
  std::erase(text, '\0');
  return SafeFileName(text, fallback);
}

// The file name of a picture's address without a picture extension; "image" when none.
std::string NameStem(const CensusImage& picture, std::string_view extension) {
  std::string name = FileNameOfUri(picture.url);
  const std::string_view own = FileExtension(name);
  if (!own.empty() && (Lookup(kExtensions, own) || EqualNoCase(own, extension))) {
    name.resize(name.size() - own.size() - 1);
  }
  return name.empty() ? "image" : name;
}

}  // namespace

std::string_view PictureTypeName(PictureType type) noexcept {
  return kTypeNames[static_cast<std::size_t>(type)];
}

std::optional<PictureType> PictureTypeNamed(std::string_view name) noexcept {
  if (EqualNoCase(name, "jpg")) return PictureType::Jpeg;
  for (std::size_t i = 0; i < kTypeNames.size(); ++i) {
    if (EqualNoCase(name, kTypeNames[i])) return static_cast<PictureType>(i);
  }
  return std::nullopt;
}

PictureType PictureTypeOf(const CensusImage& picture) {
  const std::string mime = MimeOf(picture);
  const std::optional<PictureType> type =
      mime.empty() ? Lookup(kExtensions, FileExtension(FileNameOfUri(picture.url)))
                   : Lookup(kMimeTypes, mime);
  return type.value_or(PictureType::Other);
}

bool LooksLikeTrackingPixel(const CensusImage& picture) {
  if (picture.width > 0 && picture.height > 0 && picture.width <= kTinySide &&
      picture.height <= kTinySide) {
    return true;
  }
  const std::string name = FileNameOfUri(picture.url);
  const std::size_t dot = name.rfind('.');
  const std::string stem = Lower(dot == 0 ? name : name.substr(0, dot));
  if (std::find(kTrackerNames.begin(), kTrackerNames.end(), stem) != kTrackerNames.end()) {
    return true;
  }
  const std::string host = HostOf(picture.url);
  const std::string_view label = std::string_view(host).substr(0, host.find('.'));
  if (host.find('.') != std::string::npos &&
      std::find(kTrackerHostLabels.begin(), kTrackerHostLabels.end(), label) !=
          kTrackerHostLabels.end()) {
    return true;
  }
  return std::any_of(kTrackerHosts.begin(), kTrackerHosts.end(), [&](std::string_view tracker) {
    return host == tracker || (host.size() > tracker.size() && host.ends_with(tracker) &&
                               host[host.size() - tracker.size() - 1] == '.');
  });
}

std::vector<ThumbnailLink> ThumbnailLinks(std::string_view markup,
                                          const ReferenceResolver& resolver) {
  std::vector<ThumbnailLink> links;
  std::optional<std::string> link;
  const auto namesImageFile = [](std::string_view url) {
    url = url.substr(0, std::min(url.find('?'), url.find('#')));
    return std::any_of(kImageExtensions.begin(), kImageExtensions.end(),
                       [&](std::string_view e) { return text::EndsWithNoCase(url, e); });
  };
  html::ForEachTag(markup, [&](const html::Tag& tag) {
    if (tag.Name() == "a") {
      link.reset();
      if (tag.IsEnd()) return;
      if (const std::optional<std::string> href = tag.Value("href")) {
        link = resolver.Resolve(*href, false);
        if (link && (!IsLinkableUrl(*link) || !namesImageFile(*link))) link.reset();
      }
      return;
    }
    if (!link || tag.IsEnd() || (tag.Name() != "img" && tag.Name() != "image")) return;
    // The thumbnail's census URL: the element read by the census's own rules.
    ImageElement element;
    element.tag = "img";
    for (const html::RawAttribute& a : tag.Attributes()) {
      const std::string key = Lower(a.name);
      if (element.Attribute(key) == nullptr) element.attributes.emplace_back(key, *tag.Value(key));
    }
    ImageCensusBuilder census(resolver);
    census.Add(element);
    for (const CensusImage& image : census.Take()) {
      if (image.url != *link) links.push_back({image.url, *link});
    }
  });
  return links;
}

std::vector<PictureEntry> OnePerPicture(const std::vector<CensusImage>& census,
                                        const std::vector<ThumbnailLink>& links) {
  // The forms of the pictures: the census's entries, then linked pictures the census lacks.
  std::vector<const CensusImage*> forms;
  std::vector<CensusImage> linkedOnly;
  linkedOnly.reserve(links.size());  // `forms` points into it
  std::vector<std::size_t> place;    // where in the page a form stands
  std::vector<bool> linkTarget;
  std::vector<std::size_t> group;  // a form's group: the index of another form, or its own
  for (std::size_t i = 0; i < census.size(); ++i) {
    forms.push_back(&census[i]);
    place.push_back(i);
    group.push_back(i);
  }
  linkTarget.assign(forms.size(), false);
  // True when form a is known to be larger than form b, or is a linked picture of unknown size
  // (a link from a picture leads to its larger form) and b is not.
  const auto larger = [&](std::size_t a, std::size_t b) {
    const CensusImage& x = *forms[a];
    const CensusImage& y = *forms[b];
    if (x.width <= 0 || y.width <= 0) {
      return x.width <= 0 ? linkTarget[a] && !linkTarget[b] : !linkTarget[b];
    }
    return x.height > 0 && y.height > 0 ? Area(x) > Area(y) : x.width > y.width;
  };
  const auto root = [&](std::size_t i) {
    while (group[i] != i) i = group[i] = group[group[i]];
    return i;
  };
  const auto join = [&](std::size_t a, std::size_t b) { group[root(b)] = root(a); };

  std::unordered_map<std::string, std::size_t> byUrl;
  std::unordered_map<std::string, std::size_t> byHash;
  const auto addAddress = [&](const std::string& url, std::size_t i) {
    if (const auto [same, added] = byUrl.emplace(url, i); !added) join(same->second, i);
  };
  for (std::size_t i = 0; i < census.size(); ++i) {
    addAddress(census[i].url, i);
    for (const std::string& url : census[i].alsoAt) addAddress(url, i);
    if (census[i].contentHash.empty()) continue;
    if (const auto [same, added] = byHash.emplace(census[i].contentHash, i); !added) {
      join(same->second, i);
    }
  }
  for (const ThumbnailLink& link : links) {
    const auto thumbnail = byUrl.find(link.thumbnailUrl);
    if (thumbnail == byUrl.end()) continue;
    const std::size_t small = thumbnail->second;
    auto target = byUrl.find(link.targetUrl);
    if (target == byUrl.end()) {
      CensusImage image;
      image.url = link.targetUrl;
      image.name = ImageFileName(image.url);
      image.kind = forms[small]->kind;
      linkedOnly.push_back(std::move(image));
      forms.push_back(&linkedOnly.back());
      place.push_back(place[small]);
      linkTarget.push_back(false);
      group.push_back(forms.size() - 1);
      target = byUrl.emplace(link.targetUrl, forms.size() - 1).first;
    }
    const std::size_t large = target->second;
    if (root(large) == root(small) || (forms[large]->width > 0 && larger(small, large))) continue;
    linkTarget[large] = true;
    join(small, large);
  }

  // The members of each group in page order; the entries in the order of their first member.
  std::vector<std::size_t> order(forms.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return place[a] < place[b]; });
  std::unordered_map<std::size_t, std::size_t> entryOfGroup;
  std::vector<std::vector<std::size_t>> members;
  for (const std::size_t i : order) {
    const auto [at, added] = entryOfGroup.emplace(root(i), members.size());
    if (added) members.emplace_back();
    members[at->second].push_back(i);
  }

  std::vector<PictureEntry> entries;
  entries.reserve(members.size());
  for (const std::vector<std::size_t>& entryForms : members) {
    // The largest form shows the picture.
    std::size_t shown = entryForms.front();
    for (const std::size_t i : entryForms) {
      if (larger(i, shown)) shown = i;
    }
    PictureEntry entry{*forms[shown], {}};
    std::unordered_set<std::string_view> listed{entry.picture.url};
    const auto add = [&](const std::string& url, int width, int height) {
      if (listed.insert(url).second) entry.others.push_back({url, width, height});
    };
    for (const std::size_t i : entryForms) add(forms[i]->url, forms[i]->width, forms[i]->height);
    for (const std::size_t i : entryForms) {
      for (const std::string& url : forms[i]->alsoAt) add(url, 0, 0);
    }
    // Smallest first, unknown sizes last.
    std::stable_sort(entry.others.begin(), entry.others.end(),
                     [](const PictureVariant& a, const PictureVariant& b) {
                       return a.width > 0 && (b.width <= 0 || a.width < b.width);
                     });
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::string ComparableAddress(std::string_view url) {
  const ReferenceResolver absolute("");
  return absolute.Resolve(url, false).value_or(std::string(url));
}

std::optional<std::size_t> EntryWithAddress(const std::vector<PictureEntry>& entries,
                                            std::string_view url) {
  // The address as written first; then as a browser writes it.
  const auto find = [&entries](const auto& same) -> std::optional<std::size_t> {
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const PictureEntry& entry = entries[i];
      if (same(entry.picture.url) ||
          std::any_of(entry.others.begin(), entry.others.end(),
                      [&](const PictureVariant& other) { return same(other.url); })) {
        return i;
      }
    }
    return std::nullopt;
  };
  if (const auto exact = find([url](const std::string& address) { return address == url; })) {
    return exact;
  }
  const std::string wanted = ComparableAddress(url);
  return find(
      [&wanted](const std::string& address) { return ComparableAddress(address) == wanted; });
}

std::string AlsoText(const PictureEntry& entry) {
  std::vector<std::string> parts;
  for (const PictureVariant& other : entry.others) {
    std::string part = other.width > 0 && other.width != entry.picture.width
                           ? std::to_string(other.width) + " w"
                           : ImageFileName(other.url);
    if (part.empty()) part = text::StartsWithNoCase(other.url, "data:") ? "inline" : other.url;
    if (std::find(parts.begin(), parts.end(), part) == parts.end()) parts.push_back(part);
  }
  if (parts.empty()) return {};
  std::string out = "also ";
  for (std::size_t i = 0; i < parts.size(); ++i) out += (i > 0 ? ", " : "") + parts[i];
  return out;
}

bool PictureFilter::Passes(const PictureEntry& entry) const {
  const CensusImage& picture = entry.picture;
  if ((minWidth > 0 && picture.width < minWidth) || (minHeight > 0 && picture.height < minHeight)) {
    return false;
  }
  if (types.any() && !types.test(static_cast<std::size_t>(PictureTypeOf(picture)))) return false;
  if (!contains.empty() && !text::ContainsNoCase(picture.url, contains) &&
      std::none_of(entry.others.begin(), entry.others.end(), [&](const PictureVariant& other) {
        return text::ContainsNoCase(other.url, contains);
      })) {
    return false;
  }
  return !hideTracking || !LooksLikeTrackingPixel(picture);
}

namespace {

constexpr std::array<std::string_view, 4> kOrderNames{"page", "area", "bytes", "type"};

}  // namespace

std::string_view PictureOrderName(PictureOrder order) noexcept {
  return kOrderNames[static_cast<std::size_t>(order)];
}

std::optional<PictureOrder> PictureOrderNamed(std::string_view name) noexcept {
  for (std::size_t i = 0; i < kOrderNames.size(); ++i) {
    if (EqualNoCase(name, kOrderNames[i])) return static_cast<PictureOrder>(i);
  }
  return std::nullopt;
}

std::vector<std::size_t> ChoosePictures(const std::vector<PictureEntry>& entries,
                                        const PictureFilter& filter, PictureOrder order) {
  // Each chosen entry with its key: larger first for sizes, the type's place for types.
  std::vector<std::pair<std::uint64_t, std::size_t>> chosen;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!filter.Passes(entries[i])) continue;
    const CensusImage& picture = entries[i].picture;
    std::uint64_t key = 0;
    switch (order) {
      case PictureOrder::Page:
        break;
      case PictureOrder::Area:
        key = std::numeric_limits<std::uint64_t>::max() - Area(picture);
        break;
      case PictureOrder::Bytes:
        key = std::numeric_limits<std::uint64_t>::max() - picture.bytes;
        break;
      case PictureOrder::Type:
        key = static_cast<std::uint64_t>(PictureTypeOf(picture));
        break;
    }
    chosen.emplace_back(key, i);
  }
  std::stable_sort(chosen.begin(), chosen.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::size_t> out;
  out.reserve(chosen.size());
  for (const auto& [key, index] : chosen) out.push_back(index);
  return out;
}

std::string PictureExtension(const CensusImage& picture) {
  const std::string name = FileNameOfUri(picture.url);
  const std::string own(FileExtension(name));
  const std::string mime = MimeOf(picture);
  if (mime.empty()) return own;
  const std::string typical = TypicalExtension(mime);
  if (!own.empty()) {
    const std::optional<PictureType> ownType = Lookup(kExtensions, own);
    const std::optional<PictureType> bytesType = Lookup(kMimeTypes, mime);
    if (EqualNoCase(own, typical) ||
        (ownType && ownType == bytesType && *ownType != PictureType::Other)) {
      return own;
    }
  }
  // An extension of another picture type would name the bytes wrongly.
  if (typical.empty() && Lookup(kExtensions, own)) return {};
  return typical.empty() ? own : typical;
}

std::optional<NamePattern> NamePattern::Parse(std::string_view pattern, std::string& error) {
  struct NamedPart {
    std::string_view name;
    Part part;
  };
  static constexpr std::array<NamedPart, 7> kParts{{{"n", Part::Number},
                                                    {"name", Part::Name},
                                                    {"host", Part::Host},
                                                    {"title", Part::Title},
                                                    {"w", Part::Width},
                                                    {"h", Part::Height},
                                                    {"ext", Part::Extension}}};
  if (text::TrimAsciiBlanks(pattern).empty()) {
    error = "the name pattern is empty";
    return std::nullopt;
  }
  std::vector<Piece> pieces;
  const auto addText = [&](std::string_view text) {
    if (text.empty()) return;
    if (pieces.empty() || pieces.back().part != Part::Text) pieces.push_back({Part::Text, ""});
    pieces.back().text += text;
  };
  while (!pattern.empty()) {
    const std::size_t open = pattern.find('{');
    const std::size_t close = pattern.find('}', open);
    if (open == std::string_view::npos || close == std::string_view::npos) break;
    addText(pattern.substr(0, open));
    const std::string_view word = pattern.substr(open + 1, close - open - 1);
    pattern.remove_prefix(close + 1);
    const auto known = std::find_if(kParts.begin(), kParts.end(),
                                    [&](const NamedPart& p) { return p.name == word; });
    if (known != kParts.end()) {
      pieces.push_back({known->part, ""});
    } else if (!word.empty() && word.size() <= kMaxExtension &&
               std::all_of(word.begin(), word.end(), [](char c) { return g_ascii_isalpha(c); })) {
      error = "the name pattern has no part {" + std::string(word) +
              "} (it knows {n}, {name}, {host}, {title}, {w}, {h} and {ext})";
      return std::nullopt;
    } else {
      addText("{" + std::string(word) + "}");
    }
  }
  addText(pattern);
  return NamePattern(std::move(pieces));
}

std::string NamePattern::NameFor(const CensusImage& picture, int n, std::string_view title) const {
  const std::string extension = PictureExtension(picture);
  std::string name;
  for (const Piece& piece : pieces_) {
    switch (piece.part) {
      case Part::Text:
        name += piece.text;
        break;
      case Part::Number:
        name += std::to_string(n);
        break;
      case Part::Name:
        name += NameStem(picture, extension);
        break;
      case Part::Host:
        name += HostOf(picture.url);
        break;
      case Part::Title:
        name += OneLine(title);
        break;
      case Part::Width:
        name += std::to_string(std::max(picture.width, 0));
        break;
      case Part::Height:
        name += std::to_string(std::max(picture.height, 0));
        break;
      case Part::Extension:
        name += extension;
        break;
    }
  }
  name = SafeName(std::move(name), "image");
  if (!extension.empty() && !text::EndsWithNoCase(name, "." + extension)) {
    name += "." + extension;
  }
  return name;
}

std::vector<std::string> NamesForSaving(const std::vector<const CensusImage*>& pictures,
                                        const NamePattern& pattern, std::string_view title) {
  std::vector<std::string> names;
  std::unordered_set<std::string> taken;
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    const std::string name = pattern.NameFor(*pictures[i], static_cast<int>(i + 1), title);
    for (int k = 0;; ++k) {
      std::string candidate = NumberedName(name, k);
      if (taken.insert(Lower(candidate)).second) {
        names.push_back(std::move(candidate));
        break;
      }
    }
  }
  return names;
}

std::filesystem::path PageFolder(std::string_view pageUrl, std::string_view title) {
  return std::filesystem::path(SafeName(HostOf(pageUrl), "Images")) /
         SafeName(OneLine(title), "Untitled");
}

std::string ContentHash(std::string_view bytes) {
  gchar* hex = g_compute_checksum_for_data(
      G_CHECKSUM_SHA256, reinterpret_cast<const guchar*>(bytes.data()), bytes.size());
  std::string out = hex;
  g_free(hex);
  return out;
}

}  // namespace velmora
