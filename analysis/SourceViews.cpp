#include "analysis/SourceViews.h"

#include <glib.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <utility>

#include "analysis/AnalyzePage.h"
#include "analysis/HtmlText.h"
#include "analysis/ServedText.h"
#include "analysis/SourceLinks.h"
#include "analysis/SourceView.h"
#include "analysis/TextSearch.h"
#include "analysis/WordScan.h"

namespace velmora {

// analysis/source-view.css, compiled in by CMake.
extern const char kSourceViewStyle[];

namespace {

// The lines come in blocks of kBlockLines, which the engine lays out and paints only when they
// come into sight (see source-view.css). A line of more than kLongLineBytes that is not wrapped
// comes in pieces of about kPieceBytes, for the same reason.
constexpr std::size_t kBlockLines = 100;
constexpr std::size_t kLongLineBytes = 4096;
constexpr std::size_t kPieceBytes = 1024;

constexpr std::string_view kHead =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
    // The views hold no script; should one ever slip in, it may not run.
    "<meta http-equiv=\"Content-Security-Policy\" "
    "content=\"default-src 'none'; style-src 'unsafe-inline'\"><style>";

// --- Colouring -----------------------------------------------------------------------------------

// What a run of the page's text is, for its colour. Text keeps the page's own colour.
enum class Paint : std::uint8_t { Text, Tag, AttributeName, AttributeValue, Comment, Doctype };

// The class of each paint's span (see source-view.css).
constexpr std::array<std::string_view, 6> kPaintClass{"", "t", "a", "v", "c", "d"};

// The elements whose content is text up to their end tag, whatever it looks like.
constexpr std::string_view kRawTextElements[] = {"script", "style",   "textarea", "title",   "xmp",
                                                 "iframe", "noembed", "noframes", "noscript"};

bool IsBlank(char c) {
  return text::IsAsciiBlank(c);
}

// Reads the text as a browser's tokenizer reads markup, closely enough to colour it: tags with
// their attributes, comments, the doctype and the text between them. Calls paint(begin, end,
// Paint) for consecutive runs that cover the whole text. Every step moves forward and every
// search starts where the last one ended, so a page is read in linear time.
template <typename PaintRun>
void PaintMarkup(std::string_view text, PaintRun&& paint) {
  const std::size_t n = text.size();
  const auto emit = [&](std::size_t begin, std::size_t end, Paint kind) {
    if (end > begin) paint(begin, end, kind);
  };
  const auto startsWith = [&](std::size_t p, std::string_view s) {
    return text::StartsWithNoCase(text.substr(p), s);
  };
  const auto isLetter = [&](std::size_t p) { return p < n && g_ascii_isalpha(text[p]); };
  // Up to and with the next ">" from `p`, or to the end.
  const auto pastGreaterThan = [&](std::size_t p) {
    const std::size_t close = text.find('>', p);
    return close == std::string_view::npos ? n : close + 1;
  };

  std::size_t p = 0;
  while (p < n) {
    const std::size_t lt = text.find('<', p);
    if (lt == std::string_view::npos) {
      emit(p, n, Paint::Text);
      return;
    }
    emit(p, lt, Paint::Text);
    p = lt;
    // U+003C LESS-THAN SIGN (<): what follows says what starts here.
    if (startsWith(p, "<!--")) {
      // A comment ends at "-->" or "--!>"; "<!-->" and "<!--->" are whole comments.
      std::size_t end = n;
      for (std::size_t from = p + 2;;) {
        const std::size_t dashes = text.find("--", from);
        if (dashes == std::string_view::npos) break;
        if (dashes + 2 < n && text[dashes + 2] == '>') {
          end = dashes + 3;
          break;
        }
        if (text.substr(dashes + 2, 2) == "!>") {
          end = dashes + 4;
          break;
        }
        from = dashes + 1;
      }
      emit(p, end, Paint::Comment);
      p = end;
      continue;
    }
    if (startsWith(p, "<!doctype")) {
      const std::size_t end = pastGreaterThan(p);
      emit(p, end, Paint::Doctype);
      p = end;
      continue;
    }
    const bool endTag = startsWith(p, "</");
    const std::size_t nameStart = p + (endTag ? 2 : 1);
    if (!isLetter(nameStart)) {
      if (startsWith(p, "<!") || startsWith(p, "<?") || (endTag && nameStart < n)) {
        // "<!...>", "<?...>", "</...>": a comment as the browser reads it ("</>" is dropped).
        const std::size_t end = pastGreaterThan(p + 1);
        emit(p, end, text.substr(p, 3) == "</>" ? Paint::Tag : Paint::Comment);
        p = end;
      } else {
        emit(p, p + 1, Paint::Text);  // a "<" that starts nothing
        ++p;
      }
      continue;
    }

    // A tag: "<" or "</", its name, its attributes, ">".
    std::size_t q = nameStart;
    while (q < n && !IsBlank(text[q]) && text[q] != '/' && text[q] != '>') ++q;
    std::string name(text.substr(nameStart, q - nameStart));
    for (char& c : name) c = g_ascii_tolower(c);
    emit(p, q, Paint::Tag);
    p = q;
    bool closed = false;
    while (p < n) {
      q = p;
      while (q < n && (IsBlank(text[q]) || text[q] == '/')) ++q;
      emit(p, q, Paint::Text);  // what stands between attributes keeps the text's colour
      p = q;
      if (p >= n) break;
      if (text[p] == '>') {
        emit(p, p + 1, Paint::Tag);
        ++p;
        closed = true;
        break;
      }
      // An attribute's name: its first character may be "=".
      q = p + 1;
      while (q < n && !IsBlank(text[q]) && text[q] != '/' && text[q] != '>' && text[q] != '=') ++q;
      emit(p, q, Paint::AttributeName);
      p = q;
      while (q < n && IsBlank(text[q])) ++q;
      if (q >= n || text[q] != '=') continue;  // no value: the blanks go with the tag
      ++q;
      while (q < n && IsBlank(text[q])) ++q;
      emit(p, q, Paint::Text);
      p = q;
      if (p >= n) break;
      if (text[p] == '"' || text[p] == '\'') {
        const std::size_t close = text.find(text[p], p + 1);
        q = close == std::string_view::npos ? n : close + 1;
      } else {
        while (q < n && !IsBlank(text[q]) && text[q] != '>') ++q;
      }
      emit(p, q, Paint::AttributeValue);
      p = q;
    }

    // After the start tag of a raw-text element, text up to its end tag.
    if (!closed || endTag) continue;
    bool raw = false;
    for (std::string_view element : kRawTextElements) raw = raw || name == element;
    if (!raw) continue;
    const std::string endTagText = "</" + name;
    std::size_t end = p;
    for (;;) {
      end = text::FindNoCase(text, endTagText, end);
      if (end == text::npos) {
        end = n;
        break;
      }
      const std::size_t after = end + endTagText.size();
      if (after >= n || IsBlank(text[after]) || text[after] == '/' || text[after] == '>') break;
      ++end;
    }
    emit(p, end, Paint::Text);
    p = end;
  }
}

// --- Writing the view -------------------------------------------------------------------------

// The characters written otherwise than as they are: the escaped ones and the line ends.
constexpr std::array<bool, 256> kSpecial = [] {
  std::array<bool, 256> table{};
  table['&'] = table['<'] = table['>'] = table['\r'] = table['\n'] = true;
  return table;
}();

constexpr bool HasSpecial(std::uint64_t word) noexcept {
  return HasByte(word, '&') || HasByte(word, '<') || HasByte(word, '>') || HasByte(word, '\r') ||
         HasByte(word, '\n');
}

// Writes the page's text into the view's lines, each run with its colour and its links.
class ViewWriter {
 public:
  ViewWriter(std::string_view text, const PictureNameLinks& links, TextSink& out)
      : text_(text), links_(links), places_(links.Places(text)), out_(out) {}

  void Begin(const SourceViewOptions& options) {
    out_.Append(kHead);
    out_.Append(kSourceViewStyle);
    out_.Append("</style></head><body");
    if (options.wrap && options.lineNumbers) {
      out_.Append(" class=\"w n\"");
    } else if (options.wrap) {
      out_.Append(" class=\"w\"");
    } else if (options.lineNumbers) {
      out_.Append(" class=\"n\"");
    }
    out_.Append(">");
    splitsLongLines_ = !options.wrap;
    OpenLine(0);
  }

  // Writes text_[begin, end) painted `paint`, in links where the names are, ending lines where the
  // page's lines end.
  void Write(std::size_t begin, std::size_t end, Paint paint) {
    std::size_t pos = begin;
    while (pos < end) {
      while (nextPlace_ < places_.size() && places_[nextPlace_].end <= pos) ++nextPlace_;
      std::size_t stop = end;
      std::size_t link = kNoLink;
      if (nextPlace_ < places_.size()) {
        const PictureNameLinks::Place& place = places_[nextPlace_];
        if (place.begin <= pos) {
          link = nextPlace_;
          stop = std::min(stop, place.end);
        } else {
          stop = std::min(stop, place.begin);
        }
      }
      if (inPiece_) {
        if (pieceBytes_ >= kPieceBytes && CanEndPieceAt(pos)) {
          Open(Paint::Text, kNoLink);
          out_.Append("</span>");
          out_.Append(kPieceOpen);
          pieceBytes_ = 0;
        }
        stop = std::min(stop, pos + (pieceBytes_ < kPieceBytes ? kPieceBytes - pieceBytes_ : 1));
      }
      Open(paint, link);
      bool lineEnded = false;
      const std::size_t from = pos;
      pos = WriteText(pos, stop, lineEnded);
      pieceBytes_ += pos - from;
      if (lineEnded) {
        CloseLine();
        OpenLine(pos);
      }
    }
  }

  void End() {
    CloseLine();
    out_.Append("</div></body></html>");
  }

 private:
  static constexpr std::size_t kNoLink = static_cast<std::size_t>(-1);
  static constexpr std::string_view kPieceOpen = "<span class=\"p\">";

  // A piece may end before a character, not inside one, nor before the LF of a line's end.
  bool CanEndPieceAt(std::size_t pos) const noexcept {
    const auto c = static_cast<unsigned char>(text_[pos]);
    return (c & 0xC0) != 0x80 && c != '\n';
  }

  // Opens the line that starts at `pos`: a new block every kBlockLines lines, and, when long
  // lines are split, the line's first piece if it is long.
  void OpenLine(std::size_t pos) {
    if (line_ % kBlockLines == 0) {
      if (line_ > 0) out_.Append("</div>");
      out_.Append("<div class=\"k\">");
    }
    ++line_;
    char number[24];
    const auto result = std::to_chars(number, number + sizeof number, line_);
    out_.Append("<div id=\"");
    out_.Append(std::string_view(number, static_cast<std::size_t>(result.ptr - number)));
    out_.Append("\">");
    const std::string_view ahead =
        text_.substr(0, std::min(text_.size(), pos + kLongLineBytes + 1));
    inPiece_ = splitsLongLines_ && text::FindLineBreak(ahead, pos) - pos > kLongLineBytes;
    if (inPiece_) {
      out_.Append(kPieceOpen);
      pieceBytes_ = 0;
    }
  }

  void CloseLine() {
    Open(Paint::Text, kNoLink);
    if (inPiece_) out_.Append("</span>");
    inPiece_ = false;
    out_.Append("</div>");
  }

  // Closes what is open unless it is what comes next, and opens what comes next: the span outside,
  // the link inside it.
  void Open(Paint paint, std::size_t link) {
    if (paint == open_ && link == openLink_) return;
    if (openLink_ != kNoLink) out_.Append("</a>");
    if (paint != open_) {
      if (open_ != Paint::Text) out_.Append("</span>");
      if (paint != Paint::Text) {
        out_.Append("<span class=\"");
        out_.Append(kPaintClass[static_cast<std::size_t>(paint)]);
        out_.Append("\">");
      }
      open_ = paint;
    }
    openLink_ = link;
    if (link != kNoLink) {
      out_.Append("<a href='");
      out_.Append(links_.Href(places_[link].id));
      out_.Append("'>");
    }
  }

  // Writes text_[pos, stop) escaped, or up to and with the first line end in it (a CR LF may be
  // cut by `stop`: its CR is then written here and its LF ends the line in the next call).
  // Returns where it stopped.
  std::size_t WriteText(std::size_t pos, std::size_t stop, bool& lineEnded) {
    std::size_t run = pos;
    for (std::size_t i = pos; i < stop; ++i) {
      // Words without a special character are passed over whole.
      while (i + 8 <= stop && !HasSpecial(LoadWord(text_.data() + i))) i += 8;
      if (i >= stop) break;
      const char c = text_[i];
      if (!kSpecial[static_cast<unsigned char>(c)]) continue;
      out_.Append(text_.substr(run, i - run));
      run = i + 1;
      switch (c) {
        case '&':
          out_.Append("&amp;");
          break;
        case '<':
          out_.Append("&lt;");
          break;
        case '>':
          out_.Append("&gt;");
          break;
        case '\r':
          // A CR would be read as a line break: it is written as a reference.
          out_.Append("&#13;");
          if (i + 1 < text_.size() && text_[i + 1] == '\n') break;
          lineEnded = true;
          return run;
        default:  // '\n'
          out_.Append('\n');
          lineEnded = true;
          return run;
      }
    }
    out_.Append(text_.substr(run, stop - run));
    return stop;
  }

  std::string_view text_;
  const PictureNameLinks& links_;
  const std::vector<PictureNameLinks::Place> places_;
  TextSink& out_;
  std::size_t nextPlace_ = 0;       // the first place that may lie at or after the text written
  Paint open_ = Paint::Text;        // the span open now (Text: none)
  std::size_t openLink_ = kNoLink;  // the place whose link is open now
  std::size_t line_ = 0;
  bool splitsLongLines_ = false;  // lines are not wrapped: long ones are written in pieces
  bool inPiece_ = false;          // the line is long and a piece of it is open
  std::size_t pieceBytes_ = 0;    // the page's bytes written in the open piece
};

}  // namespace

namespace {

// The view of a text that is valid UTF-8 without NUL.
void WriteWellFormedPage(std::string_view text, const ListPairs& lists,
                         const std::vector<CensusImage>& census, const SourceViewOptions& options,
                         TextSink& out) {
  const PictureNameLinks links(lists, census);
  ViewWriter writer(text, links, out);
  writer.Begin(options);
  if (options.colours) {
    PaintMarkup(text, [&](std::size_t begin, std::size_t end, Paint paint) {
      writer.Write(begin, end, paint);
    });
  } else {
    writer.Write(0, text.size(), Paint::Text);
  }
  writer.End();
}

}  // namespace

void WriteSourceViewPage(std::string_view text, const ListPairs& lists,
                         const std::vector<CensusImage>& census, const SourceViewOptions& options,
                         TextSink& out) {
  if (html::IsWellFormedUtf8(text)) {
    WriteWellFormedPage(text, lists, census, options, out);
  } else {
    WriteWellFormedPage(html::WellFormedUtf8(text), lists, census, options, out);
  }
}

std::string BuildSourceViewPage(std::string_view text, const ListPairs& lists,
                                const std::vector<CensusImage>& census,
                                const SourceViewOptions& options) {
  StringSink out;
  out.Reserve(text.size() + text.size() / 2 + 2048);
  WriteSourceViewPage(text, lists, census, options, out);
  return out.Take();
}

void WriteShownView(std::string_view body, const ListPairs& lists,
                    const std::vector<CensusImage>& census, const SourceViewOptions& options,
                    TextSink& out) {
  if (!options.IsSourceHtm()) {
    WriteSourceViewPage(body, lists, census, options, out);
    return;
  }
  // As the analysis writes "source.htm": from the body made well-formed.
  if (html::IsWellFormedUtf8(body)) {
    WriteSourceView(body, lists, census, out);
  } else {
    WriteSourceView(html::WellFormedUtf8(body), lists, census, out);
  }
}

std::string_view ShownViewFile(const SourceViewOptions& options) noexcept {
  return options.IsSourceHtm() ? workfile::kSourceView : workfile::kShownView;
}

std::error_code WriteShownView(std::string_view body, const ListPairs& lists,
                               const std::vector<CensusImage>& census,
                               const SourceViewOptions& options, const WorkFiles& files) {
  return files.WriteRecord(ShownViewFile(options), [&](TextSink& out) {
    WriteShownView(body, lists, census, options, out);
  });
}

std::error_code WriteServedView(std::string_view servedBytes, std::string_view charset,
                                const ListPairs& lists, const std::vector<CensusImage>& census,
                                const SourceViewOptions& options, const WorkFiles& files) {
  const ServedText served = DecodeServedPage(servedBytes, charset);
  return files.WriteRecord(workfile::kServedView, [&](TextSink& out) {
    WriteWellFormedPage(served.text, lists, census, options, out);
  });
}

std::size_t FirstLineNaming(std::string_view text, std::string_view fileName) {
  if (fileName.empty()) return 0;
  std::size_t at = 0;
  for (;; ++at) {
    at = text.find(fileName, at);
    if (at == std::string_view::npos) return 0;
    const std::size_t end = at + fileName.size();
    if (!InsideCharacterReference(text, at) &&
        (end >= text.size() || !InsideCharacterReference(text, end))) {
      break;
    }
  }
  std::size_t line = 1;
  for (std::size_t i = text::FindLineBreak(text, 0); i < at; i = text::FindLineBreak(text, i)) {
    i += text::LineBreakLength(text, i);
    if (i > at) break;  // the name starts inside this line break, on its line
    ++line;
  }
  return line;
}

std::vector<std::string> NamesOfPicture(const PictureEntry& entry, const ListPairs& lists) {
  std::vector<std::string> names;
  const auto add = [&names](std::string name) {
    if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) {
      names.push_back(std::move(name));
    }
  };
  std::vector<std::string> addresses{ComparableAddress(entry.picture.url)};
  add(ImageFileName(entry.picture.url));
  for (const PictureVariant& other : entry.others) {
    addresses.push_back(ComparableAddress(other.url));
    add(ImageFileName(other.url));
  }
  for (std::size_t k = 0; k < lists.Links.size(); ++k) {
    const std::size_t count = std::min(lists.Links[k].size(), lists.frmList[k].size());
    for (std::size_t i = 0; i < count; ++i) {
      const std::string address = ComparableAddress(lists.Links[k][i]);
      if (std::find(addresses.begin(), addresses.end(), address) != addresses.end()) {
        add(lists.frmList[k][i]);
      }
    }
  }
  return names;
}

NamingLine FirstLineNamingAny(std::string_view text, const std::vector<std::string>& names) {
  NamingLine first;
  for (const std::string& name : names) {
    const std::size_t line = FirstLineNaming(text, name);
    if (line != 0 && (first.line == 0 || line < first.line)) first = {line, name};
  }
  return first;
}

std::string LineAnchor(std::size_t line) {
  return std::to_string(line);
}

}  // namespace velmora
