#include "analysis/ImageCensus.h"

#include <glib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <optional>

#include "analysis/HtmlTags.h"
#include "analysis/HtmlText.h"
#include "analysis/ImageScanner.h"
#include "analysis/TextSearch.h"
#include "analysis/UrlHelpers.h"

namespace velmora {

namespace {

using text::npos;

constexpr std::array<std::string_view, 13> kKindNames{
    "img", "srcset",    "picture", "lazy", "background", "poster", "input",
    "svg", "generated", "frame",   "icon", "object",     "loaded"};
static_assert(kKindNames.size() == static_cast<std::size_t>(ImageKind::Loaded) + 1);

// Lazy-loading attributes that hold one image URL, whatever it looks like. Any other data-*
// attribute counts when its value is the URL of an image file; one whose name holds "srcset"
// is a srcset.
constexpr std::array<std::string_view, 22> kLazyUrlAttributes{
    "data-src",        "data-lazy-src", "data-lazy",      "data-original",   "data-url",
    "data-echo",       "data-img",      "data-image",     "data-hi-res-src", "data-hires",
    "data-full-src",   "data-fullsrc",  "data-large-src", "data-src-retina", "data-retina",
    "data-zoom-image", "data-full",     "data-orig-file", "data-large-file", "data-large_image",
    "data-ll-src",     "data-lazyload"};

// Lazy-loading attributes of backgrounds, on any element: a URL or a CSS url().
constexpr std::array<std::string_view, 4> kLazyBackgroundAttributes{
    "data-bg", "data-background", "data-background-image", "data-bg-src"};

// The attributes the census reads, besides the data-* ones.
constexpr std::array<std::string_view, 9> kCensusAttributes{
    "src", "srcset", "poster", "type", "href", "xlink:href", "style", "rel", "data"};

// The link relations that name a picture of the page's own: "icon" (also in "shortcut icon") and
// the icons that phones and pinned tabs use.
constexpr std::array<std::string_view, 4> kIconRelations{
    "icon", "apple-touch-icon", "apple-touch-icon-precomposed", "mask-icon"};

// What a script leaves in a lazy loader's attribute when it has no address to give.
constexpr std::array<std::string_view, 5> kScriptEmptyValues{"null", "undefined", "false", "true",
                                                             "none"};

// A data: URL this short is a spacer or a blur, not a picture.
constexpr std::size_t kShortestInlinePicture = 256;

bool IsOneOf(std::string_view name, auto const& names) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

bool IsCssBlank(char c) {
  return text::IsAsciiBlank(c);
}

bool IsDataUrl(std::string_view url) {
  return text::StartsWithNoCase(url, "data:");
}

// A URL whose path ends with an image file's extension.
bool NamesImageFile(std::string_view url) {
  std::string_view path = url.substr(0, std::min(url.find('?'), url.find('#')));
  const std::size_t dot = path.rfind('.');
  if (dot == npos) return false;
  const std::string_view extension = path.substr(dot);
  return std::any_of(kImageExtensions.begin(), kImageExtensions.end(), [&](std::string_view e) {
    return extension.size() == e.size() && text::StartsWithNoCase(extension, e);
  });
}

// A lazy loader's attribute value that holds no address: blanks only; JSON, an array or markup
// (no address starts with "{", "[" or "<"); a template the page never filled ("{{src}}",
// "${src}"); a fragment ("#", the page itself); or a script's empty value ("null", "undefined").
bool HoldsNoAddress(std::string_view value) {
  value = text::TrimAsciiBlanks(value);
  if (value.empty()) return true;
  const char first = value.front();
  if (first == '{' || first == '[' || first == '<' || first == '#') return true;
  if (value.find("{{") != npos || value.find("}}") != npos || value.find("${") != npos) {
    return true;
  }
  return std::any_of(kScriptEmptyValues.begin(), kScriptEmptyValues.end(), [&](std::string_view w) {
    return value.size() == w.size() && text::StartsWithNoCase(value, w);
  });
}

// A rel attribute (a list of tokens in any letter case) that names the page's icon.
bool IsIconRelation(const std::string* rel) {
  if (rel == nullptr) return false;
  std::string_view rest = *rel;
  while (!rest.empty()) {
    const std::size_t start = std::min(rest.size(), rest.find_first_not_of(" \t\n\r\f"));
    rest.remove_prefix(start);
    const std::string_view token = rest.substr(0, rest.find_first_of(" \t\n\r\f"));
    rest.remove_prefix(token.size());
    if (token.empty()) break;
    if (std::any_of(kIconRelations.begin(), kIconRelations.end(), [&](std::string_view r) {
          return token.size() == r.size() && text::StartsWithNoCase(token, r);
        })) {
      return true;
    }
  }
  return false;
}

// An <object> or <embed> that shows a picture: its type attribute says an image type, or, without
// one, its address names an image file.
bool EmbedsPicture(const std::string* reference, const std::string* type) {
  if (reference == nullptr) return false;
  if (type != nullptr && !text::TrimAsciiBlanks(*type).empty()) {
    return text::StartsWithNoCase(text::TrimAsciiBlanks(*type), "image/");
  }
  return NamesImageFile(text::TrimAsciiBlanks(*reference));
}

}  // namespace

std::string ImageFileName(std::string_view url) {
  if (IsDataUrl(url)) return {};
  url = url.substr(0, std::min(url.find('?'), url.find('#')));
  const std::size_t slash = url.rfind('/');
  const std::string_view name = slash == npos ? url : url.substr(slash + 1);
  return name.find('.') == npos ? std::string() : std::string(name);
}

namespace {

std::optional<std::uint64_t> ParseDigits(std::string_view digits) {
  if (digits.empty() || digits.size() > 9) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : digits) {
    if (!g_ascii_isdigit(c)) return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return value;
}

// Reads one descriptor list ("800w", "2x", "800w 600h"); false when it cannot be read.
bool ReadDescriptors(const std::vector<std::string_view>& descriptors, SrcsetCandidate& out) {
  bool haveWidth = false, haveDensity = false, haveHeight = false;
  for (std::string_view d : descriptors) {
    const char unit = d.back();
    const std::string_view number = d.substr(0, d.size() - 1);
    if (unit == 'w' && !haveWidth && !haveDensity) {
      const auto width = ParseDigits(number);
      if (!width || *width == 0) return false;
      out.width = static_cast<int>(*width);
      haveWidth = true;
    } else if (unit == 'x' && !haveWidth && !haveDensity && !haveHeight) {
      const std::string copy(number);
      char* end = nullptr;
      const double density = g_ascii_strtod(copy.c_str(), &end);
      if (copy.empty() || end != copy.c_str() + copy.size() || !(density >= 0)) return false;
      out.density = density;
      haveDensity = true;
    } else if (unit == 'h' && !haveHeight && !haveDensity) {
      if (!ParseDigits(number)) return false;
      haveHeight = true;
    } else {
      return false;
    }
  }
  return !haveHeight || haveWidth;
}

// The largest candidate: by width when one has a width, else by density; the first of equals.
// `sizeOf` gives a candidate's SrcsetCandidate.
template <typename Candidate, typename SizeOf>
const Candidate* Largest(const std::vector<Candidate>& candidates, SizeOf sizeOf) {
  const Candidate* best = nullptr;
  for (const Candidate& c : candidates) {
    if (best == nullptr) {
      best = &c;
      continue;
    }
    const SrcsetCandidate& size = sizeOf(c);
    const SrcsetCandidate& bestSize = sizeOf(*best);
    if (size.width > 0 || bestSize.width > 0) {
      if (size.width > bestSize.width) best = &c;
    } else if (size.density > bestSize.density) {
      best = &c;
    }
  }
  return best;
}

// One url() after its "(": quoted or not, with CSS escapes read. Returns the position after ")".
std::size_t ReadCssUrl(std::string_view css, std::size_t i, std::string& url) {
  while (i < css.size() && IsCssBlank(css[i])) ++i;
  char quote = 0;
  if (i < css.size() && (css[i] == '"' || css[i] == '\'')) quote = css[i++];
  for (; i < css.size(); ++i) {
    const char c = css[i];
    if (quote ? c == quote : (c == ')' || IsCssBlank(c))) break;
    if (c == '\\' && i + 1 < css.size()) {
      // U+005C REVERSE SOLIDUS (\): a hex escape up to six digits and one blank, or the next
      // character as it is.
      std::size_t j = i + 1;
      gunichar cp = 0;
      while (j < css.size() && j < i + 7 && g_ascii_isxdigit(css[j])) {
        cp = cp * 16 + static_cast<gunichar>(g_ascii_xdigit_value(css[j]));
        ++j;
      }
      if (j > i + 1) {
        if (j < css.size() && IsCssBlank(css[j])) ++j;
        char buffer[6];
        if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
        url.append(buffer, static_cast<std::size_t>(g_unichar_to_utf8(cp, buffer)));
        i = j - 1;
      } else {
        url.push_back(css[++i]);
      }
      continue;
    }
    url.push_back(c);
  }
  const std::size_t close = css.find(')', i);
  return close == npos ? css.size() : close + 1;
}

// A declaration's property name: trimmed, in lower case.
std::string PropertyName(std::string_view declaration, std::size_t colon) {
  std::string_view name = text::TrimAsciiBlanks(declaration.substr(0, colon));
  std::string lower(name);
  for (char& c : lower) c = text::AsciiLower(c);
  return lower;
}

}  // namespace

std::string_view KindName(ImageKind kind) noexcept {
  // A value outside the enumeration (a cast from a number) reads as a picture only loaded.
  const auto index = static_cast<std::size_t>(kind);
  return index < kKindNames.size() ? kKindNames[index] : KindName(ImageKind::Loaded);
}

const std::string* ImageElement::Attribute(std::string_view name) const noexcept {
  for (const auto& [key, value] : attributes) {
    if (key == name) return &value;
  }
  return nullptr;
}

std::vector<SrcsetCandidate> ParseSrcset(std::string_view s) {
  std::vector<SrcsetCandidate> candidates;
  std::size_t i = 0;
  for (;;) {
    // Blanks and commas between candidates.
    while (i < s.size() && (text::IsAsciiBlank(s[i]) || s[i] == ',')) ++i;
    if (i >= s.size()) break;
    const std::size_t urlStart = i;
    while (i < s.size() && !text::IsAsciiBlank(s[i])) ++i;
    std::string_view url = s.substr(urlStart, i - urlStart);
    std::vector<std::string_view> descriptors;
    if (url.back() == ',') {
      // A URL that ends with "," has no descriptors.
      while (!url.empty() && url.back() == ',') url.remove_suffix(1);
    } else {
      // Descriptors up to the next "," that is not inside parentheses.
      std::size_t start = npos;
      bool inParens = false;
      for (; i < s.size(); ++i) {
        const char c = s[i];
        if (inParens) {
          if (c == ')') inParens = false;
          continue;
        }
        if (c == ',' || text::IsAsciiBlank(c)) {
          if (start != npos) descriptors.push_back(s.substr(start, i - start));
          start = npos;
          if (c == ',') {
            ++i;
            break;
          }
          continue;
        }
        if (c == '(') inParens = true;
        if (start == npos) start = i;
      }
      if (start != npos) descriptors.push_back(s.substr(start, std::min(i, s.size()) - start));
    }
    if (url.empty()) continue;
    SrcsetCandidate candidate{std::string(url), 0, 1};
    if (ReadDescriptors(descriptors, candidate)) candidates.push_back(std::move(candidate));
  }
  return candidates;
}

std::vector<std::string> CssUrls(std::string_view css) {
  std::vector<std::string> urls;
  for (std::size_t at = text::FindNoCase(css, "url("); at != npos;
       at = text::FindNoCase(css, "url(", at + 1)) {
    // "url(" must start a function name, not end a longer one.
    if (at > 0 && (g_ascii_isalnum(css[at - 1]) || css[at - 1] == '-' || css[at - 1] == '_')) {
      continue;
    }
    std::string url;
    const std::size_t next = ReadCssUrl(css, at + 4, url);
    if (!text::TrimAsciiBlanks(url).empty()) urls.push_back(std::move(url));
    at = next - 1;
  }
  return urls;
}

std::vector<std::string> StyleBackgroundUrls(std::string_view style) {
  std::vector<std::string> urls;
  std::size_t start = 0;
  char quote = 0;
  int parens = 0;
  for (std::size_t i = 0; i <= style.size(); ++i) {
    const char c = i < style.size() ? style[i] : ';';
    if (quote) {
      if (c == '\\') {
        ++i;
      } else if (c == quote) {
        quote = 0;
      }
      if (i < style.size()) continue;
    } else if (c == '"' || c == '\'') {
      quote = c;
      continue;
    } else if (c == '(') {
      ++parens;
    } else if (c == ')' && parens > 0) {
      --parens;
    }
    if ((c != ';' || parens > 0) && i < style.size()) continue;
    const std::string_view declaration = style.substr(start, std::min(i, style.size()) - start);
    start = i + 1;
    const std::size_t colon = declaration.find(':');
    if (colon == npos) continue;
    const std::string property = PropertyName(declaration, colon);
    if (property != "background" && property != "background-image") continue;
    for (std::string& url : CssUrls(declaration.substr(colon + 1))) urls.push_back(std::move(url));
  }
  return urls;
}

std::optional<std::string> ImageCensusBuilder::Resolve(std::string_view reference) const {
  std::optional<std::string> url = resolver_.Resolve(reference, false);
  if (url && !IsLinkableUrl(*url)) url.reset();
  return url;
}

void ImageCensusBuilder::Add(CensusImage image) {
  if (image.url.empty()) return;
  const auto index = static_cast<std::uint32_t>(images_.size());
  const std::size_t hash = FlatIndexSet::Hash(image.url);
  images_.push_back(std::move(image));
  const auto urlAt = [this](std::uint32_t i) { return std::string_view(images_[i].url); };
  if (urls_.Insert(index, hash, urlAt) != index) images_.pop_back();
}

void ImageCensusBuilder::Add(const ImageElement& element) {
  const std::string& tag = element.tag;
  if (tag == "img") {
    AddPicture(element);
  } else if (tag == "video") {
    AddSingle(element.Attribute("poster"), ImageKind::Poster, element);
  } else if (tag == "input") {
    const std::string* type = element.Attribute("type");
    if (type != nullptr && g_ascii_strcasecmp(type->c_str(), "image") == 0) {
      AddSingle(element.Attribute("src"), ImageKind::Input, element);
    }
  } else if (tag == "image") {
    const std::string* href = element.Attribute("href");
    AddSingle(href ? href : element.Attribute("xlink:href"), ImageKind::Svg, element);
  } else if (tag == "link") {
    if (IsIconRelation(element.Attribute("rel"))) {
      AddSingle(element.Attribute("href"), ImageKind::Icon, element);
    }
  } else if (tag == "object" || tag == "embed") {
    const std::string* reference = element.Attribute(tag == "object" ? "data" : "src");
    if (EmbedsPicture(reference, element.Attribute("type"))) {
      AddSingle(reference, ImageKind::Object, element);
    }
  }
  AddBackgrounds(element);
}

// An <img>: the picture it shows at its full size, and the other URLs that name it.
void ImageCensusBuilder::AddPicture(const ImageElement& element) {
  struct Candidate {
    std::string url;
    SrcsetCandidate size;
  };
  // A candidate that holds no address (a template, JSON) is no picture, lazy or not; <source>
  // elements bring their lazy loader's data-srcset here too.
  const auto addSrcset = [&](std::string_view srcset, std::vector<Candidate>& into) {
    for (SrcsetCandidate& c : ParseSrcset(srcset)) {
      if (HoldsNoAddress(c.url)) continue;
      if (std::optional<std::string> url = Resolve(c.url)) into.push_back({std::move(*url), c});
    }
  };
  const auto largest = [](const std::vector<Candidate>& candidates) {
    return Largest(candidates, [](const Candidate& c) -> const SrcsetCandidate& { return c.size; });
  };

  // What the lazy loader will put in place.
  std::vector<Candidate> lazy;
  for (const auto& [name, value] : element.attributes) {
    if (!name.starts_with("data-")) continue;
    if (name.find("srcset") != npos) {
      addSrcset(value, lazy);
    } else if (HoldsNoAddress(value)) {
      continue;  // the element's own src stays its address
    } else if (IsOneOf(name, kLazyUrlAttributes) || NamesImageFile(value)) {
      if (value.find_first_of(" \t\n\r\f") != npos && !IsOneOf(name, kLazyUrlAttributes)) continue;
      std::optional<std::string> url = Resolve(value);
      if (url && !IsDataUrl(*url)) lazy.push_back({std::move(*url), {}});
    }
  }
  // What the element and its <picture> offer the engine.
  std::vector<Candidate> offered;
  if (const std::string* srcset = element.Attribute("srcset")) addSrcset(*srcset, offered);
  const std::size_t ownSrcset = offered.size();
  for (const std::string& source : element.pictureSources) addSrcset(source, offered);
  std::optional<std::string> src;
  if (const std::string* value = element.Attribute("src")) src = Resolve(*value);

  const bool loaded = element.naturalWidth > 0 || element.naturalHeight > 0;
  const auto isPlaceholder = [&](const std::string& url) {
    if (url == element.currentUrl && loaded) {
      return element.naturalWidth <= 1 && element.naturalHeight <= 1;
    }
    return IsDataUrl(url) && url.size() < kShortestInlinePicture;
  };

  CensusImage image;
  const Candidate* best = nullptr;
  if (!lazy.empty()) {
    best = largest(lazy);
    image.kind = ImageKind::Lazy;
  } else if (!offered.empty()) {
    best = largest(offered);
    image.kind = offered.size() > ownSrcset ? ImageKind::Picture : ImageKind::Srcset;
  }
  if (best != nullptr) {
    image.url = best->url;
    image.width = best->size.width;
  } else if (!element.currentUrl.empty() && !isPlaceholder(element.currentUrl)) {
    image.url = element.currentUrl;
  } else if (src && !isPlaceholder(*src)) {
    image.url = *src;
  } else {
    return;  // a spacer, or nothing at all
  }
  if (image.url == element.currentUrl && loaded) {
    image.width = element.naturalWidth;
    image.height = element.naturalHeight;
  }
  image.name = ImageFileName(image.url);

  // The other names of the picture. A lazy element's src and current image are its placeholder
  // unless the loader has put one of its own URLs there.
  const auto also = [&](const std::string& url) {
    if (url.empty() || url == image.url || isPlaceholder(url)) return;
    if (std::find(image.alsoAt.begin(), image.alsoAt.end(), url) != image.alsoAt.end()) return;
    image.alsoAt.push_back(url);
  };
  const auto isLazyUrl = [&](const std::string& url) {
    return std::any_of(lazy.begin(), lazy.end(), [&](const Candidate& c) { return c.url == url; });
  };
  for (const Candidate& c : lazy) also(c.url);
  for (const Candidate& c : offered) {
    if (lazy.empty() || isLazyUrl(c.url)) also(c.url);
  }
  if (src && (lazy.empty() || isLazyUrl(*src))) also(*src);
  if (lazy.empty() || isLazyUrl(element.currentUrl)) also(element.currentUrl);
  // What the element shows until its loader runs.
  if (!lazy.empty()) {
    const std::string* shownBefore[] = {src ? &*src : nullptr, &element.currentUrl};
    for (const std::string* shown : shownBefore) {
      if (!shown || shown->empty() || isLazyUrl(*shown) || *shown == image.url) continue;
      if (std::find(image.placeholders.begin(), image.placeholders.end(), *shown) ==
          image.placeholders.end()) {
        image.placeholders.push_back(*shown);
      }
    }
  }
  Add(std::move(image));
}

void ImageCensusBuilder::AddSingle(const std::string* reference, ImageKind kind,
                                   const ImageElement& element) {
  std::optional<std::string> url;
  if (!element.currentUrl.empty()) {
    url = element.currentUrl;
  } else if (reference != nullptr) {
    url = Resolve(*reference);
  }
  if (!url || !IsLinkableUrl(*url) || (IsDataUrl(*url) && url->size() < kShortestInlinePicture)) {
    return;
  }
  CensusImage image;
  image.name = ImageFileName(*url);
  image.url = std::move(*url);
  image.kind = kind;
  Add(std::move(image));
}

// The element's backgrounds: computed by the engine, written in its style attribute, or waiting
// in a lazy loader's attribute.
void ImageCensusBuilder::AddBackgrounds(const ImageElement& element) {
  const auto add = [&](const std::string& reference, ImageKind kind) {
    const std::optional<std::string> url = Resolve(reference);
    if (!url || (IsDataUrl(*url) && url->size() < kShortestInlinePicture)) return;
    CensusImage image;
    image.name = ImageFileName(*url);
    image.url = *url;
    image.kind = kind;
    Add(std::move(image));
  };
  for (const std::string& url : CssUrls(element.computedBackground)) {
    add(url, ImageKind::Background);
  }
  if (const std::string* style = element.Attribute("style")) {
    for (const std::string& url : StyleBackgroundUrls(*style)) add(url, ImageKind::Background);
  }
  for (std::string_view name : kLazyBackgroundAttributes) {
    const std::string* value = element.Attribute(name);
    if (value == nullptr) continue;
    std::vector<std::string> urls = CssUrls(*value);
    if (urls.empty()) urls.push_back(*value);
    for (const std::string& url : urls) {
      if (!HoldsNoAddress(url)) add(url, ImageKind::Lazy);
    }
  }
}

std::vector<CensusImage> CensusFromMarkup(std::string_view markup,
                                          const ReferenceResolver& resolver) {
  ImageCensusBuilder census(resolver);
  std::vector<std::string> pictureSources;
  bool inPicture = false;
  int svgDepth = 0;
  ImageElement element;
  html::ForEachTag(markup, [&](const html::Tag& tag) {
    const std::string_view name = tag.Name();
    if (name == "picture") {
      inPicture = !tag.IsEnd();
      pictureSources.clear();
      return;
    }
    if (name == "svg" && !tag.IsSelfClosing()) {
      svgDepth = tag.IsEnd() ? std::max(0, svgDepth - 1) : svgDepth + 1;
      return;
    }
    if (tag.IsEnd()) return;
    if (name == "source") {
      if (!inPicture) return;
      std::optional<std::string> srcset = tag.Value("srcset");
      if (!srcset) srcset = tag.Value("data-srcset");
      if (srcset) pictureSources.push_back(std::move(*srcset));
      return;
    }
    // Outside SVG an <image> is read as an <img>, as the HTML parser reads it.
    const bool picture = name == "img" || (name == "image" && svgDepth == 0);
    const bool single = name == "video" || name == "input" || name == "image" || name == "link" ||
                        name == "object" || name == "embed";
    if (!picture && !single && !tag.Has("style") &&
        std::none_of(kLazyBackgroundAttributes.begin(), kLazyBackgroundAttributes.end(),
                     [&](std::string_view a) { return tag.Has(a); })) {
      return;
    }
    element.tag = picture ? "img" : std::string(name);
    element.attributes.clear();
    for (const html::RawAttribute& a : tag.Attributes()) {
      std::string key(a.name);
      for (char& c : key) c = text::AsciiLower(c);
      if (!IsOneOf(key, kCensusAttributes) && !key.starts_with("data-")) continue;
      if (element.Attribute(key) != nullptr) continue;  // the first of a name wins
      element.attributes.emplace_back(std::move(key), html::DecodeCharacterReferences(a.value));
    }
    element.pictureSources.clear();
    if (picture && inPicture) element.pictureSources = pictureSources;
    census.Add(element);
  });
  return census.Take();
}

std::vector<CensusImage> TakeCensus(const std::vector<ImageElement>& liveElements,
                                    std::string_view markup, const ReferenceResolver& resolver) {
  std::vector<CensusImage> fromMarkup = CensusFromMarkup(markup, resolver);
  if (liveElements.empty()) return fromMarkup;
  ImageCensusBuilder census(resolver);
  for (const ImageElement& element : liveElements) census.Add(element);
  for (CensusImage& image : fromMarkup) census.Add(std::move(image));
  return census.Take();
}

std::vector<const CensusImage*> ImagesBeyond(const std::vector<std::string>& shownUrls,
                                             const std::vector<CensusImage>& census) {
  StringViewSet shown;
  shown.Reserve(shownUrls.size());
  for (const std::string& url : shownUrls) shown.Insert(url);
  // The image pair resolves plain relative references with the host rewrite; the census
  // resolves them as the browser does. Either form of a URL counts as shown.
  const ReferenceResolver absolute("");
  const auto isShown = [&](const std::string& url) {
    if (shown.Contains(url)) return true;
    if (!text::ContainsNoCase(url, kRelativeHostRewrite.from)) return false;
    const std::optional<std::string> rewritten = absolute.Resolve(url, true);
    return rewritten && shown.Contains(*rewritten);
  };
  std::vector<const CensusImage*> beyond;
  for (const CensusImage& image : census) {
    if (isShown(image.url) || std::any_of(image.alsoAt.begin(), image.alsoAt.end(), isShown)) {
      continue;
    }
    beyond.push_back(&image);
  }
  return beyond;
}

}  // namespace velmora
