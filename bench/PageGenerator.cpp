// Builds the benchmark pages: a body that reads like a photo blog, with image tags spread evenly
// through paragraphs of text so the page reaches its target size with its image count.
#include "bench/PageGenerator.h"

#include <algorithm>
#include <array>
#include <random>
#include <string_view>
#include <vector>

namespace velmora::bench {

namespace {

constexpr std::array<std::string_view, 48> kWords{
    "the",     "light",  "over",    "harbour", "morning",  "we",       "walked", "along",
    "old",     "street", "market",  "and",     "took",     "pictures", "of",     "every",
    "corner",  "café",   "Zürich",  "naïve",   "window",   "stone",    "bridge", "river",
    "a",       "little", "later",   "rain",    "came",     "in",       "from",   "west",
    "colours", "were",   "softer",  "than",    "expected", "is",       "it",     "worth",
    "trip",    "yes",    "tickets", "&amp;",   "prices",   "changed",  "since",  "2019"};

constexpr std::array<std::string_view, 6> kNamePrefixes{"IMG_",   "photo-",  "DSC",
                                                        "thumb_", "banner-", "pic"};
constexpr std::array<std::string_view, 6> kExtensions{".jpg",  ".png",  ".gif",
                                                      ".webp", ".jpeg", ".JPG"};

// Bytes an image element adds beyond its text, on average; keeps the text budget honest.
constexpr std::size_t kImageMarkupBytes = 120;
// What a lazy loader puts in src until the picture is in view.
constexpr std::string_view kPlaceholder =
    "data:image/gif;base64,R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7";

class PageWriter {
 public:
  explicit PageWriter(const PageShape& shape) : shape_(shape), rng_(shape.seed) {
    names_.reserve(shape.distinctNames);
    for (std::size_t i = 0; i < shape.distinctNames; ++i) {
      // The running number keeps every name distinct; prefix and extension vary as on a site.
      std::string name(kNamePrefixes[Pick(kNamePrefixes.size())]);
      name += std::to_string(100000 + i);
      name += kExtensions[Pick(kExtensions.size())];
      names_.push_back(std::move(name));
    }
  }

  std::string Build() {
    out_.reserve(shape_.targetBytes + shape_.targetBytes / 8);
    Line("<body class=\"blog gallery\">");
    Line("<div id=\"page\">");
    Line(
        "<nav><a href=\"/\">Home</a> <a href=\"/archive.html\">Archive</a> "
        "<a href=\"about.html\">About</a></nav>");
    for (std::size_t i = 0; i < shape_.imageCount; ++i) {
      const std::size_t left =
          shape_.targetBytes > PlainSize() ? shape_.targetBytes - PlainSize() : 0;
      const std::size_t share = left / (shape_.imageCount - i);
      const std::size_t average = share > kImageMarkupBytes ? share - kImageMarkupBytes : 0;
      const bool card = Chance(0.5);
      if (card) Line("<div class=\"card\">");
      Text(average / 2 + Pick(average + 1));
      Image();
      if (card) Line("</div>");
    }
    while (PlainSize() < shape_.targetBytes) Paragraph(200 + Pick(400));
    Line("</div>");
    out_ += "</body>";
    return std::move(out_);
  }

 private:
  std::size_t Pick(std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(rng_() % n); }
  bool Chance(double p) { return static_cast<double>(rng_() >> 11) * 0x1p-53 < p; }

  // The page's size as if every line end were one byte, so that the random choices, which
  // depend on it, are the same for LF and CR LF pages.
  std::size_t PlainSize() const { return out_.size() - lineEndExtra_; }

  void LineEnd(std::string& to) {
    to += shape_.lineEnd;
    lineEndExtra_ += shape_.lineEnd.size() - 1;
  }

  void Line(std::string_view text) {
    out_ += text;
    LineEnd(out_);
  }

  void Words(std::size_t bytes) {
    const std::size_t end = out_.size() + bytes;
    bool first = true;
    while (out_.size() < end) {
      if (!first) out_ += Chance(0.08) ? ", " : " ";
      first = false;
      out_ += kWords[Pick(kWords.size())];
      if (Chance(0.06)) out_ += '.';
    }
  }

  // One paragraph of about `bytes` bytes on its own line, sometimes with an ordinary link.
  void Paragraph(std::size_t bytes) {
    out_ += "<p>";
    const bool link = Chance(0.3);
    Words(link ? bytes / 2 : bytes);
    if (link) {
      out_ += ' ';
      OrdinaryLink();
      out_ += ' ';
      Words(bytes / 2);
    }
    out_ += "</p>";
    LineEnd(out_);
  }

  void Text(std::size_t bytes) {
    while (bytes > 0) {
      const std::size_t part = std::min<std::size_t>(bytes, 200 + Pick(500));
      Paragraph(part);
      bytes -= part;
    }
  }

  void OrdinaryLink() {
    switch (Pick(4)) {
      case 0:
        out_ += "<a href=\"page" + std::to_string(Pick(500)) + ".html\">read more</a>";
        break;
      case 1:
        out_ += "<a class=\"more\" href=\"/blog/2023/post-" + std::to_string(Pick(900)) +
                ".html\">the full story</a>";
        break;
      case 2:
        out_ += "<a href=\"https://www.example.org/travel/notes?id=" + std::to_string(Pick(10000)) +
                "&amp;lang=en\">notes</a>";
        break;
      default:
        out_ += "<a href=\"#top\">top</a>";
        break;
    }
  }

  // The image source in one of the forms pages use.
  std::string ImageReference(const std::string& name) {
    switch (Pick(6)) {
      case 0:
        return name;
      case 1:
        return "images/" + name;
      case 2:
        return "gallery/2023/" + name;
      case 3:
        return "/static/img/" + name;
      case 4:
        return "//cdn.example.net/media/" + name;
      default:
        return "https://images.example.com/full/" + name;
    }
  }

  std::string LinkReference(const std::string& name) {
    switch (Pick(3)) {
      case 0:
        return "big/" + name;
      case 1:
        return "/originals/" + name;
      default:
        return "https://images.example.com/orig/" + name;
    }
  }

  void Image() {
    const std::string& name = names_[Pick(names_.size())];
    const std::string src = ImageReference(name);
    const bool split = Chance(shape_.splitShare);
    // Some attributes before src, some after; a split tag breaks its line before src.
    std::string_view before;
    std::string_view after;
    switch (Pick(4)) {
      case 0:
        after = " alt=\"view\"";
        break;
      case 1:
        before = " class=\"photo\" width=\"640\" height=\"480\"";
        after = " alt=\"the river\"";
        break;
      case 2:
        before = " loading=\"lazy\" decoding=\"async\"";
        break;
      default:
        before = " alt=\"market\"";
        after = " title=\"market\"";
        break;
    }
    std::string tag = "<img";
    tag += before;
    if (Chance(shape_.srcsetShare)) {
      const std::string folder = src.substr(0, src.rfind('/') + 1);
      tag += " srcset=\"" + src + " 800w, " + folder + "large/" + name + " 1600w\"";
    }
    const bool lazy = Chance(shape_.lazyShare);
    if (lazy) tag += " class=\"lazyload\" data-src=\"" + src + "\"";
    if (split) {
      LineEnd(tag);
    } else {
      tag += ' ';
    }
    tag += "src=\"" + (lazy ? std::string(kPlaceholder) : src) + "\"";
    tag += after;
    tag += '>';
    if (Chance(shape_.linkedShare)) {
      Line("<a href=\"" + LinkReference(name) + "\">" + tag + "</a>");
    } else {
      Line(tag);
    }
  }

  const PageShape& shape_;
  std::mt19937_64 rng_;
  std::vector<std::string> names_;
  std::string out_;
  std::size_t lineEndExtra_ = 0;  // bytes of line ends beyond one each, written so far
};

}  // namespace

std::string GeneratePage(const PageShape& shape) {
  return PageWriter(shape).Build();
}

std::string GenerateServedDocument(const PageShape& shape) {
  const std::string_view n = shape.lineEnd;
  std::string document;
  const std::string body = GeneratePage(shape);
  document.reserve(body.size() + 2048);
  for (const std::string_view line : {
           std::string_view("<!DOCTYPE html>"),
           std::string_view("<html lang=\"en\">"),
           std::string_view("<head>"),
           std::string_view("<meta charset=\"utf-8\">"),
           std::string_view(
               "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"),
           std::string_view("<title>Harbour walk &amp; market \u2014 a photo blog</title>"),
           std::string_view("<link rel=\"stylesheet\" href=\"/static/site.css?v=3\">"),
           std::string_view("<link rel=\"icon\" href=\"/favicon.png\">"),
           std::string_view("<meta property=\"og:image\" content=\"https://images.example.com/"
                            "full/banner-100001.jpg\">"),
           std::string_view("<!-- analytics: load after the page -->"),
           std::string_view("<script>window.dataLayer = window.dataLayer || []; if (a < b && "
                            "c > d) { document.write('<p>'); }</script>"),
           std::string_view("<style>.card > img { width: 100%; } a[href$=\".jpg\"] { color: red; }"
                            "</style>"),
           std::string_view("</head>"),
       }) {
    document.append(line).append(n);
  }
  document.append(body).append(n).append("</html>").append(n);
  return document;
}

}  // namespace velmora::bench
