// The invariant checker shared by the fuzz target and the tests: one page analysed twice into
// fresh folders, then every file and list checked against what the analysis promises.
#include "fuzz/AnalysisInvariants.h"

#include <glib.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <variant>
#include <vector>

#include "analysis/AnalyzePage.h"
#include "analysis/GalleryPage.h"
#include "analysis/HtmlText.h"
#include "analysis/LoadedPictures.h"
#include "analysis/UrlHelpers.h"
#include "analysis/WorkFiles.h"

namespace velmora {

namespace {

constexpr std::string_view kCrLf = "\r\n";

// What one analysis left behind.
struct AnalysisRun {
  ListPairs lists;
  std::vector<CensusImage> census;
  std::vector<std::string> failures;         // work files that could not be written
  std::map<std::string, std::string> files;  // every file of the folder, by name
  std::filesystem::path sourceView;          // as the result names them, made relative
  std::filesystem::path gallery;
};

// A fresh folder under the temporary folder, removed with everything in it when it goes.
class FreshFolder {
 public:
  FreshFolder() {
    std::error_code error;
    std::string pattern =
        (std::filesystem::temp_directory_path(error) / "velmora-invariants-XXXXXX").string();
    if (!error && ::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  FreshFolder(const FreshFolder&) = delete;
  FreshFolder& operator=(const FreshFolder&) = delete;
  ~FreshFolder() {
    if (path_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }

  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Analyses the page in a fresh folder. `startLikeBrowser` first creates the empty work files as
// the browser does when it starts; otherwise the folder is empty when the analysis begins.
std::optional<AnalysisRun> AnalyzeInFreshFolder(const PageSnapshot& page, bool startLikeBrowser,
                                                std::string& problem) {
  const FreshFolder folder;
  if (folder.Path().empty()) {
    problem = std::string("cannot create a temporary folder: ") + std::strerror(errno);
    return std::nullopt;
  }
  const WorkFiles files(folder.Path());
  if (startLikeBrowser) {
    if (std::error_code error = files.CreateMissingWorkFiles()) {
      problem = "cannot create the work files: " + error.message();
      return std::nullopt;
    }
  }
  AnalysisRun run;
  const AnalysisResult result = AnalyzePage(page, files, run.lists);
  for (const WorkFileFailure& failure : result.failures) {
    run.failures.push_back(failure.path.string() + ": " + failure.error.message());
  }
  run.census = result.census;
  run.sourceView = result.sourceView.lexically_relative(folder.Path());
  run.gallery = result.gallery.lexically_relative(folder.Path());
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder.Path(), error)) {
    run.files[entry.path().filename().string()] = ReadWholeFile(entry.path());
  }
  if (error) {
    problem = "cannot list the work folder: " + error.message();
    return std::nullopt;
  }
  return run;
}

std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text.substr(0, 200)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || c == '"' || c == '\\') {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  if (text.size() > 200) out += "...";
  return out + "\"";
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (g_ascii_tolower(s[i]) != g_ascii_tolower(prefix[i])) return false;
  }
  return true;
}

bool ContainsNoCase(std::string_view s, std::string_view needle) {
  for (std::size_t i = 0; i + needle.size() <= s.size(); ++i) {
    if (StartsWithNoCase(s.substr(i), needle)) return true;
  }
  return false;
}

// The page text as the source view must show it outside its links: "<" as "&lt;", every CR and
// every LF as "<BR>".
std::string EscapedForView(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '<') {
      out += "&lt;";
    } else if (c == '\r' || c == '\n') {
      out += "<BR>";
    } else {
      out += c;
    }
  }
  return out;
}

// A URL as a browser reads it from an attribute: leading controls and spaces dropped, tabs and
// line breaks dropped anywhere, in lower case.
std::string AsBrowserReadsIt(std::string_view url) {
  std::string out;
  for (const char c : url) {
    if (c == '\t' || c == '\n' || c == '\r') continue;
    if (out.empty() && static_cast<unsigned char>(c) <= 0x20) continue;
    out += g_ascii_tolower(c);
  }
  return out;
}

// An href or src value the generated pages may hold (references already decoded): a web or file
// address or an image data URL, never a script.
std::string CheckLinkTarget(std::string_view file, std::string_view url) {
  const std::string read = AsBrowserReadsIt(url);
  if (read.starts_with("javascript:") || read.starts_with("vbscript:")) {
    return std::string(file) + " links to a script: " + Quoted(url);
  }
  static constexpr std::array<std::string_view, 5> kSafe{
      "http:", "https:", "ftp:", "file:", "data:image/"};
  for (std::string_view prefix : kSafe) {
    if (read.starts_with(prefix)) return {};
  }
  return std::string(file) + " links to a URL that may not be linked: " + Quoted(url);
}

// An attribute value as written between single quotes: escaped, so it holds none of < > " '.
std::string CheckAttributeText(std::string_view file, std::string_view value) {
  if (value.find_first_of("<>\"") != std::string_view::npos) {
    return std::string(file) + " has an attribute value that is not escaped: " + Quoted(value);
  }
  return {};
}

struct ParsedAttribute {
  std::string raw;
  std::size_t end = 0;  // position after the closing quote
};

// The single-quoted value that starts at `from`, or nothing when the quote is never closed.
std::optional<ParsedAttribute> QuotedValueAt(std::string_view text, std::size_t from) {
  const std::size_t close = text.find('\'', from);
  if (close == std::string_view::npos) return std::nullopt;
  return ParsedAttribute{std::string(text.substr(from, close - from)), close + 1};
}

// The names the source view may link, each with the URLs it may link to: pair 0 first, then pair
// 1, then the census's pictures, skipping empty names and URLs that may not be linked. Keyed by
// the name as the view shows it (two names can look the same once escaped, hence a list).
std::unordered_map<std::string, std::vector<std::string>> LinkableNames(
    const ListPairs& lists, const std::vector<CensusImage>& census) {
  std::unordered_map<std::string, std::vector<std::string>> byShownName;
  std::unordered_set<std::string> taken;
  const auto add = [&](const std::string& name, const std::string& url) {
    if (name.empty() || !IsLinkableUrl(url) || !taken.insert(name).second) return;
    byShownName[EscapedForView(name)].push_back(url);
  };
  for (const int pair : {kLinkedImagesPair, kShownImagesPair}) {
    for (std::size_t i = 0; i < lists.frmList[pair].size(); ++i) {
      add(lists.frmList[pair][i], lists.Links[pair][i]);
    }
  }
  for (const CensusImage& image : census) {
    add(image.name, image.url);
    for (const std::string& url : image.alsoAt) add(ImageFileName(url), url);
  }
  return byShownName;
}

std::string CheckSourceView(std::string_view record, const std::string& source,
                            const ListPairs& lists, const std::vector<CensusImage>& census) {
  constexpr std::string_view kFile = "source.htm";
  constexpr std::string_view kOpen = "<a href='";
  const auto linkable = LinkableNames(lists, census);
  std::string plain;  // the view with its links taken out
  std::optional<std::string> openUrl;
  std::size_t textStart = 0;
  std::size_t i = 0;
  while (i < record.size()) {
    const std::size_t lt = record.find('<', i);
    plain.append(record.substr(i, lt == std::string_view::npos ? std::string_view::npos : lt - i));
    if (lt == std::string_view::npos) break;
    const std::string_view rest = record.substr(lt);
    if (rest.starts_with("<BR>")) {
      plain += "<BR>";
      i = lt + 4;
    } else if (rest.starts_with(kOpen)) {
      if (openUrl) return "source.htm has a link inside a link at offset " + std::to_string(lt);
      const std::optional<ParsedAttribute> href = QuotedValueAt(record, lt + kOpen.size());
      if (!href || record.substr(href->end, 1) != ">") {
        return "source.htm has a link tag that is not closed at offset " + std::to_string(lt);
      }
      if (std::string e = CheckAttributeText(kFile, href->raw); !e.empty()) return e;
      const std::string url = html::DecodeCharacterReferences(href->raw);
      if (std::string e = CheckLinkTarget(kFile, url); !e.empty()) return e;
      openUrl = url;
      textStart = plain.size();
      i = href->end + 1;
    } else if (rest.starts_with("</a>")) {
      if (!openUrl)
        return "source.htm closes a link it never opened at offset " + std::to_string(lt);
      const std::string shown = plain.substr(textStart);
      const auto it = linkable.find(shown);
      if (it == linkable.end()) {
        return "source.htm links text that is no linkable recorded name: " + Quoted(shown);
      }
      bool known = false;
      for (const std::string& url : it->second) known = known || url == *openUrl;
      if (!known) {
        return "source.htm links the name " + Quoted(shown) + " to " + Quoted(*openUrl) +
               ", which is not its recorded URL " + Quoted(it->second.front());
      }
      openUrl.reset();
      i = lt + 4;
    } else {
      return "source.htm holds markup that the view does not write, at offset " +
             std::to_string(lt) + ": " + Quoted(rest.substr(0, 40));
    }
  }
  if (openUrl) return "source.htm ends inside a link";
  const std::string expected = EscapedForView(source);
  if (plain != expected) {
    std::size_t at = 0;
    while (at < plain.size() && at < expected.size() && plain[at] == expected[at]) ++at;
    return "source.htm without its links is not the escaped page text; they differ at offset " +
           std::to_string(at) + ": view " + Quoted(std::string_view(plain).substr(at, 60)) +
           ", page " + Quoted(std::string_view(expected).substr(at, 60));
  }
  return {};
}

// A size as a caption gives it ("812 B", "1.5 KB", "34 KB") names `bytes`: a number below 1024
// in the largest unit it fits, one decimal below 10 units, off by no more than its rounding.
bool NamesByteSize(std::string_view text, std::uint64_t bytes) {
  static constexpr std::array<std::string_view, 7> kUnits{"B", "KB", "MB", "GB", "TB", "PB", "EB"};
  const std::size_t blank = text.find(' ');
  if (blank == std::string_view::npos) return false;
  const std::string number(text.substr(0, blank));
  const std::string_view unitName = text.substr(blank + 1);
  std::size_t unit = 0;
  while (unit < kUnits.size() && kUnits[unit] != unitName) ++unit;
  if (unit == kUnits.size() || number.empty()) return false;
  const std::size_t dot = number.find('.');
  if (dot != std::string::npos && (dot + 2 != number.size() || unit == 0)) return false;
  for (const char c : number) {
    if (c != '.' && !g_ascii_isdigit(c)) return false;
  }
  const long double value = g_ascii_strtod(number.c_str(), nullptr);
  if (dot != std::string::npos ? value >= 10 : (unit > 0 && value < 10)) return false;
  if (value >= 1024 && unit + 1 < kUnits.size()) return false;
  long double scale = 1;
  for (std::size_t i = 0; i < unit; ++i) scale *= 1024;
  const long double off = static_cast<long double>(bytes) / scale - value;
  return off <= (dot != std::string::npos ? 0.05L : 0.5L) + 1e-9L &&
         -off <= (dot != std::string::npos ? 0.05L : 0.5L) + 1e-9L;
}

// The parenthesis of a census picture's caption: its kind, then what is known of it, each once
// and in this order: the short name of its type, its pixel size, its size in bytes.
std::string CheckCaptionDetails(std::string_view details, const CensusImage& image) {
  if (!details.starts_with(" (") || !details.ends_with(")")) return "has no parenthesis";
  details = details.substr(2, details.size() - 3);
  std::vector<std::string_view> parts;
  for (std::size_t comma; (comma = details.find(", ")) != std::string_view::npos;) {
    parts.push_back(details.substr(0, comma));
    details.remove_prefix(comma + 2);
  }
  parts.push_back(details);
  std::size_t i = 0;
  const auto next = [&]() { return i < parts.size() ? parts[i++] : std::string_view("(none)"); };
  if (next() != KindName(image.kind)) return "does not start with its kind";
  if (const std::string type = ShortTypeName(image.type); !type.empty() && next() != type) {
    return "does not name its type " + Quoted(image.type);
  }
  const std::string pixels =
      image.width > 0 && image.height > 0
          ? std::to_string(image.width) + " \u00D7 " + std::to_string(image.height)
          : (image.width > 0 ? std::to_string(image.width) + " px wide" : "");
  if (!pixels.empty() && next() != pixels) return "does not give its pixel size " + pixels;
  if (image.bytes > 0 && !NamesByteSize(next(), image.bytes)) {
    return "does not give its " + std::to_string(image.bytes) + " bytes";
  }
  if (i != parts.size()) return "says more than it knows";
  return {};
}

// One gallery entry at `p`: a link and image of `linked` (when it may be linked), then a caption
// that is escaped and reads `caption`; for a census picture (`image` set), up to its last " ("
// (of an inline picture, the start of it), then what CheckCaptionDetails asks. Returns the
// position after the entry, or a problem.
std::variant<std::size_t, std::string> CheckGalleryEntry(std::string_view record, std::size_t p,
                                                         const std::string& entryName,
                                                         const std::string& linked,
                                                         const std::string& caption,
                                                         const CensusImage* image) {
  const bool captionPrefix = image != nullptr;
  constexpr std::string_view kFile = "imagepage.html";
  constexpr std::string_view kOpen = "<a href='";
  constexpr std::string_view kImage = "><img src='";
  constexpr std::string_view kClose = "></a><BR>";
  constexpr std::string_view kEnd = "<BR><BR><BR>";
  if (record.substr(p).starts_with(kOpen)) {
    const std::optional<ParsedAttribute> href = QuotedValueAt(record, p + kOpen.size());
    if (!href || !record.substr(href->end).starts_with(kImage)) {
      return entryName + " has a malformed link";
    }
    const std::optional<ParsedAttribute> src = QuotedValueAt(record, href->end + kImage.size());
    if (!src || !record.substr(src->end).starts_with(kClose)) {
      return entryName + " has a malformed image";
    }
    for (const std::string* raw : {&href->raw, &src->raw}) {
      if (std::string e = CheckAttributeText(kFile, *raw); !e.empty()) return e;
      const std::string url = html::DecodeCharacterReferences(*raw);
      if (std::string e = CheckLinkTarget(kFile, url); !e.empty()) return e;
      if (url != linked) {
        return entryName + " links or shows " + Quoted(url) + " instead of " + Quoted(linked);
      }
    }
    p = src->end + kClose.size();
  } else if (IsLinkableUrl(linked)) {
    return entryName + " is a linkable URL shown without its image";
  }
  const std::size_t end = record.find(kEnd, p);
  if (end == std::string_view::npos) return entryName + " does not end with three <BR>";
  const std::string_view shown = record.substr(p, end - p);
  if (shown.find_first_of("<>\"'") != std::string_view::npos) {
    return entryName + " has a caption that is not escaped: " + Quoted(shown);
  }
  std::string decoded = html::DecodeCharacterReferences(shown);
  if (captionPrefix) {
    const std::size_t open = decoded.rfind(" (");
    if (open == std::string::npos) return entryName + " has no parenthesis in its caption";
    if (std::string e = CheckCaptionDetails(std::string_view(decoded).substr(open), *image);
        !e.empty()) {
      return entryName + " has a caption that " + e + ": " + Quoted(shown);
    }
    decoded.resize(open);
  }
  const bool same = captionPrefix && caption.starts_with("data:")
                        ? caption.starts_with(decoded.substr(0, decoded.rfind("\u2026")))
                        : decoded == caption;
  if (!same) return entryName + " is captioned " + Quoted(shown);
  return end + kEnd.size();
}

std::string CheckGallery(std::string_view record, const ListPairs& lists,
                         const std::vector<CensusImage>& census) {
  const std::vector<std::string>& urls = lists.Links[kShownImagesPair];
  std::size_t p = 0;
  for (std::size_t n = 0; n < urls.size(); ++n) {
    const std::string& stored = urls[n];
    const std::string entryName =
        "imagepage.html entry " + std::to_string(n) + " (" + Quoted(stored) + ")";
    const std::string linked = HasScheme(stored) ? stored : "http://" + stored;
    auto next = CheckGalleryEntry(record, p, entryName, linked, stored, nullptr);
    if (std::holds_alternative<std::string>(next)) return std::get<std::string>(next);
    p = std::get<std::size_t>(next);
  }
  // The census's pictures that pair 1 does not show, under their heading, each once.
  // Pair 1 gives plain relative references the host rewrite: a census URL counts as shown in
  // either form.
  std::unordered_set<std::string> shown(urls.begin(), urls.end());
  const ReferenceResolver absolute("");
  const auto isShown = [&](const std::string& url) {
    return shown.contains(url) || shown.contains(absolute.Resolve(url, true).value_or(url));
  };
  std::vector<const CensusImage*> further;
  for (const CensusImage& image : census) {
    bool inPair = isShown(image.url);
    for (const std::string& url : image.alsoAt) inPair = inPair || isShown(url);
    if (!inPair) further.push_back(&image);
  }
  if (p == record.size()) {
    if (!further.empty()) return "imagepage.html leaves out the census's further pictures";
    return {};
  }
  if (!record.substr(p).starts_with(kFurtherImagesHeading)) {
    return "imagepage.html holds more than its " + std::to_string(urls.size()) +
           " entries: " + Quoted(record.substr(p, 60));
  }
  p += kFurtherImagesHeading.size();
  std::unordered_set<std::string_view> furtherUrls;
  for (const CensusImage* image : further) {
    if (shown.contains(image->url) || !furtherUrls.insert(image->url).second) {
      return "imagepage.html shows " + Quoted(image->url) + " twice";
    }
  }
  std::size_t n = 0;
  for (const CensusImage* image : further) {
    const std::string entryName =
        "imagepage.html census entry " + std::to_string(n++) + " (" + Quoted(image->url) + ")";
    auto next = CheckGalleryEntry(record, p, entryName, image->url, image->url, image);
    if (std::holds_alternative<std::string>(next)) return std::get<std::string>(next);
    p = std::get<std::size_t>(next);
  }
  if (p != record.size()) {
    return "imagepage.html holds more than its entries: " + Quoted(record.substr(p, 60));
  }
  return {};
}

// Every census picture once, by an absolute URL the gallery may show.
std::string CheckCensus(const std::vector<CensusImage>& census) {
  std::unordered_set<std::string_view> urls;
  for (const CensusImage& image : census) {
    if (!IsLinkableUrl(image.url)) return "the census holds a URL that may not be linked";
    if (!urls.insert(image.url).second) return "the census holds " + Quoted(image.url) + " twice";
    for (const std::string& url : image.alsoAt) {
      if (url == image.url) return "a census picture names its own URL among its others";
    }
  }
  return {};
}

std::string CheckLists(const ListPairs& lists) {
  for (const int pair : {kLinkedImagesPair, kShownImagesPair}) {
    const std::string which = "pair " + std::to_string(pair);
    if (lists.Links[pair].size() != lists.frmList[pair].size()) {
      return which + " has " + std::to_string(lists.Links[pair].size()) + " URLs but " +
             std::to_string(lists.frmList[pair].size()) + " names";
    }
    std::unordered_set<std::string_view> names;
    for (const std::string& name : lists.frmList[pair]) {
      if (!names.insert(name).second) return which + " records the name " + Quoted(name) + " twice";
    }
    for (const std::string& url : lists.Links[pair]) {
      if (!HasScheme(url)) return which + " records a URL without a scheme: " + Quoted(url);
    }
  }
  return {};
}

// `linkedCensus`: the census whose names the source view may link (the page's elements').
std::string CheckFiles(const AnalysisRun& run, const std::string& source,
                       const std::vector<CensusImage>& linkedCensus) {
  if (!run.failures.empty()) return "a work file failed: " + run.failures.front();
  if (run.sourceView != workfile::kSourceView || run.gallery != workfile::kGallery) {
    return "the result names " + run.sourceView.string() + " and " + run.gallery.string() +
           " instead of the work files in the folder";
  }
  for (const std::string_view name : workfile::kCreationOrder) {
    if (!run.files.contains(std::string(name))) {
      return "the work file " + std::string(name) + " is missing after the analysis";
    }
  }
  if (run.files.size() != workfile::kCreationOrder.size()) {
    for (const auto& [name, content] : run.files) {
      bool known = false;
      for (const std::string_view work : workfile::kCreationOrder) known = known || name == work;
      if (!known) return "the folder holds a file the analysis left behind: " + Quoted(name);
    }
  }
  for (const auto& [name, content] : run.files) {
    if (!std::string_view(content).ends_with(kCrLf)) return name + " does not end with CR LF";
    if (!g_utf8_validate(content.data(), static_cast<gssize>(content.size()), nullptr)) {
      return name + " is not valid UTF-8 (or holds a NUL byte)";
    }
    if (ContainsNoCase(content, "<script")) return name + " holds \"<script\"";
  }
  for (const std::string_view name : workfile::kResetOrder) {
    if (run.files.at(std::string(name)) != kCrLf) {
      return std::string(name) +
             " is not emptied after the analysis: " + Quoted(run.files.at(std::string(name)));
    }
  }
  const auto record = [&](std::string_view name) {
    const std::string& content = run.files.at(std::string(name));
    return std::string_view(content).substr(0, content.size() - kCrLf.size());
  };
  if (std::string e =
          CheckSourceView(record(workfile::kSourceView), source, run.lists, linkedCensus);
      !e.empty()) {
    return e;
  }
  if (std::string e = CheckCensus(run.census); !e.empty()) return e;
  return CheckGallery(record(workfile::kGallery), run.lists, run.census);
}

std::string CompareRuns(const AnalysisRun& a, const AnalysisRun& b) {
  for (const int pair : {kLinkedImagesPair, kShownImagesPair}) {
    if (a.lists.Links[pair] != b.lists.Links[pair] ||
        a.lists.frmList[pair] != b.lists.frmList[pair]) {
      return "two runs on the same page record different lists in pair " + std::to_string(pair);
    }
  }
  if (a.files.size() != b.files.size()) return "two runs on the same page leave different files";
  for (const auto& [name, content] : a.files) {
    const auto other = b.files.find(name);
    if (other == b.files.end() || other->second != content) {
      return "two runs on the same page write different " + name;
    }
  }
  return {};
}

// What the engine could have loaded for the page, made from a first analysis: the census's
// pictures (by their own URL, after a redirect, at another size, twice), pair 1's images, the
// linked images as pictures of every kind only the engine names, and an inline picture. Types
// and sizes come from a hash of the URL, so the captions meet odd types and every unit.
std::vector<LoadedPicture> PicturesTheEngineCouldLoad(const AnalysisRun& run) {
  static constexpr std::array<std::string_view, 8> kTypes{
      "image/png",     "IMAGE/JPEG; q=1",          "",
      "image/svg+xml", "application/octet-stream", "image/x-\xC3",
      "image/heic",    "image/vnd.microsoft.icon"};
  static constexpr std::array<ImageKind, 6> kOnlyTheEngine{
      ImageKind::Frame,  ImageKind::Generated,  ImageKind::Icon,
      ImageKind::Object, ImageKind::Background, ImageKind::Loaded};
  std::vector<LoadedPicture> loaded;
  const auto add = [&](const std::string& url, const std::string& requestUrl, ImageKind kind) {
    const std::size_t hash = std::hash<std::string>{}(url);
    LoadedPicture picture;
    picture.url = url;
    picture.requestUrl = requestUrl;
    picture.mimeType = kTypes[hash % kTypes.size()];
    picture.bytes = (hash >> 8) >> ((hash >> 3) % 64);
    picture.width = static_cast<int>((hash >> 16) % 3000);
    picture.height = static_cast<int>((hash >> 32) % 2000);
    if (kind == ImageKind::Frame) picture.frame = "http://frame.example/f.html";
    picture.kind = kind;
    loaded.push_back(std::move(picture));
  };
  for (std::size_t i = 0; i < run.census.size(); ++i) {
    const CensusImage& image = run.census[i];
    if (i % 4 == 1) {
      add(image.url + (image.url.find('?') == std::string::npos ? "?moved" : "&moved"), image.url,
          ImageKind::Img);
    } else if (i % 4 == 2) {
      if (!image.alsoAt.empty()) add(image.alsoAt.back(), "", ImageKind::Img);
    } else {
      add(image.url, "", ImageKind::Img);
      if (i % 4 == 3) add(image.url, "", ImageKind::Loaded);
    }
  }
  for (const std::string& url : run.lists.Links[kShownImagesPair]) add(url, "", ImageKind::Img);
  const std::vector<std::string>& linked = run.lists.Links[kLinkedImagesPair];
  for (std::size_t i = 0; i < linked.size(); ++i) {
    add(linked[i], "", kOnlyTheEngine[i % kOnlyTheEngine.size()]);
  }
  add("data:image/png;base64," + std::string(300, 'A'), "", ImageKind::Loaded);
  return loaded;
}

// The analysis of the same page with what the engine loaded (`withLoaded`) against the one
// without (`plain`): the lists, the source view and pair 1's part of the gallery are the same;
// the census keeps its entries and names every picture the gallery may show.
std::string CheckLoadedPictures(const AnalysisRun& plain, const AnalysisRun& withLoaded,
                                const std::vector<LoadedPicture>& loaded) {
  for (const int pair : {kLinkedImagesPair, kShownImagesPair}) {
    if (plain.lists.Links[pair] != withLoaded.lists.Links[pair] ||
        plain.lists.frmList[pair] != withLoaded.lists.frmList[pair]) {
      return "the engine's pictures change the lists of pair " + std::to_string(pair);
    }
  }
  const std::string sourceView(workfile::kSourceView);
  if (plain.files.at(sourceView) != withLoaded.files.at(sourceView)) {
    return "the engine's pictures change source.htm";
  }
  const std::string& plainGallery = plain.files.at(std::string(workfile::kGallery));
  const std::string pairPart = plainGallery.substr(
      0, std::min(plainGallery.find(kFurtherImagesHeading), plainGallery.size() - kCrLf.size()));
  if (!withLoaded.files.at(std::string(workfile::kGallery)).starts_with(pairPart)) {
    return "the engine's pictures change pair 1's part of imagepage.html";
  }
  if (withLoaded.census.size() < plain.census.size()) return "the merge loses census pictures";
  for (std::size_t i = 0; i < plain.census.size(); ++i) {
    if (withLoaded.census[i].url != plain.census[i].url) {
      return "the merge changes the census picture " + Quoted(plain.census[i].url);
    }
  }
  std::unordered_set<std::string_view> named;
  for (const CensusImage& image : withLoaded.census) {
    named.insert(image.url);
    named.insert(image.alsoAt.begin(), image.alsoAt.end());
    // A lazy picture's placeholder is loaded, but no picture of the page.
    named.insert(image.placeholders.begin(), image.placeholders.end());
  }
  for (const LoadedPicture& picture : loaded) {
    if (StartsWithNoCase(picture.url, "data:") || !IsLinkableUrl(picture.url)) continue;
    if (!named.contains(picture.url)) {
      return "the census does not name the loaded picture " + Quoted(picture.url);
    }
  }
  return {};
}

}  // namespace

std::string CheckAnalysisInvariants(const std::string& bodyHtml, const std::string& pageUrl) {
  PageSnapshot page;
  page.bodyHtml = bodyHtml;
  page.locationUrl = pageUrl;

  std::string problem;
  // The first folder is prepared as the browser prepares it at start; the second is empty.
  const std::optional<AnalysisRun> first = AnalyzeInFreshFolder(page, true, problem);
  if (!first) return problem;
  const std::optional<AnalysisRun> second = AnalyzeInFreshFolder(page, false, problem);
  if (!second) return problem;

  // The text every view is made from: the page as valid UTF-8, each bad byte (and each NUL) one
  // U+FFFD, so it never loses bytes and changes nothing in a page that is valid already.
  const std::string source = html::WellFormedUtf8(bodyHtml);
  if (!g_utf8_validate(source.data(), static_cast<gssize>(source.size()), nullptr) ||
      source.size() < bodyHtml.size()) {
    return "the page text made well-formed is not valid UTF-8 or lost bytes";
  }
  if (source != bodyHtml &&
      g_utf8_validate(bodyHtml.data(), static_cast<gssize>(bodyHtml.size()), nullptr)) {
    return "the page text was changed although it was valid UTF-8";
  }
  if (std::string e = CheckLists(first->lists); !e.empty()) return e;
  if (std::string e = CheckFiles(*first, source, first->census); !e.empty()) return e;
  if (std::string e = CompareRuns(*first, *second); !e.empty()) return e;

  // Once more with the pictures an engine could have loaded for the page.
  page.loadedPictures = PicturesTheEngineCouldLoad(*first);
  const std::optional<AnalysisRun> withLoaded = AnalyzeInFreshFolder(page, false, problem);
  if (!withLoaded) return problem;
  if (std::string e = CheckFiles(*withLoaded, source, first->census); !e.empty()) {
    return "with the engine's pictures: " + e;
  }
  return CheckLoadedPictures(*first, *withLoaded, page.loadedPictures);
}

}  // namespace velmora
