#include "analysis/SourceView.h"

#include <array>
#include <cstdint>

#include "analysis/SourceLinks.h"
#include "analysis/WordScan.h"

namespace velmora {

namespace {

// The characters the view escapes: "<", CR and LF.
constexpr std::array<bool, 256> kEscaped = [] {
  std::array<bool, 256> table{};
  table['<'] = table['\r'] = table['\n'] = true;
  return table;
}();

// The position of the first character the view escapes at or after `i`, or text.size(). Eight
// bytes are looked at a time: most of a page is copied as it is.
std::size_t NextEscaped(std::string_view text, std::size_t i) noexcept {
  for (; i + 8 <= text.size(); i += 8) {
    const std::uint64_t word = LoadWord(text.data() + i);
    if (HasByte(word, '<') || HasByte(word, '\r') || HasByte(word, '\n')) break;
  }
  while (i < text.size() && !kEscaped[static_cast<unsigned char>(text[i])]) ++i;
  return i;
}

// Where the view in blocks ends a block: after every `every`-th "<BR>" of the page's text, once
// more of the view follows (a view never ends with an empty block).
struct BlockBreaks {
  std::size_t every = 0;
  std::size_t lineBreaks = 0;
  bool due = false;
};

constexpr std::string_view kBlockStyle =
    "<style>div.k{content-visibility:auto;contain-intrinsic-height:auto 100em}</style>";
constexpr std::string_view kBlockOpen = "<div class=k>";
constexpr std::string_view kBlockClose = "</div>";

void EndBlockIfDue(TextSink& out, BlockBreaks* blocks) {
  if (!blocks || !blocks->due) return;
  out.Append(kBlockClose);
  out.Append(kBlockOpen);
  blocks->due = false;
}

// `blocks`: the text's line breaks end blocks (none inside a link).
void AppendEscaped(TextSink& out, std::string_view text, BlockBreaks* blocks = nullptr) {
  if (text.empty()) return;
  EndBlockIfDue(out, blocks);
  std::size_t run = 0;  // start of the run of characters copied as they are
  for (std::size_t i = NextEscaped(text, 0); i < text.size(); i = NextEscaped(text, run)) {
    if (i > run) EndBlockIfDue(out, blocks);
    out.Append(text.substr(run, i - run));
    run = i + 1;
    EndBlockIfDue(out, blocks);
    if (text[i] == '<') {
      out.Append("&lt;");
      continue;
    }
    out.Append("<BR>");
    if (blocks && ++blocks->lineBreaks % blocks->every == 0) blocks->due = true;
  }
  if (run < text.size()) EndBlockIfDue(out, blocks);
  out.Append(text.substr(run));
}

void WriteLinkedSource(std::string_view source, const ListPairs& lists,
                       const std::vector<CensusImage>& census, TextSink& out, BlockBreaks* blocks) {
  const PictureNameLinks links(lists, census);
  std::size_t done = 0;
  for (const PictureNameLinks::Place& place : links.Places(source)) {
    AppendEscaped(out, source.substr(done, place.begin - done), blocks);
    EndBlockIfDue(out, blocks);
    out.Append("<a href='");
    out.Append(links.Href(place.id));
    out.Append("'>");
    AppendEscaped(out, links.Name(place.id));
    out.Append("</a>");
    done = place.end;
  }
  AppendEscaped(out, source.substr(done), blocks);
}

}  // namespace

std::string EscapeSourceForView(std::string_view source) {
  StringSink out;
  AppendEscaped(out, source);
  return out.Take();
}

void WriteSourceView(std::string_view source, const ListPairs& lists,
                     const std::vector<CensusImage>& census, TextSink& out) {
  WriteLinkedSource(source, lists, census, out, nullptr);
}

void WriteSourceViewInBlocks(std::string_view source, const ListPairs& lists,
                             const std::vector<CensusImage>& census, TextSink& out,
                             std::size_t linesPerBlock) {
  BlockBreaks blocks{linesPerBlock == 0 ? 1 : linesPerBlock, 0};
  out.Append(kBlockStyle);
  out.Append(kBlockOpen);
  WriteLinkedSource(source, lists, census, out, &blocks);
  out.Append(kBlockClose);
}

bool IsLargeSource(std::string_view source) noexcept {
  return source.size() > kLargeSourceBytes;
}

std::string BuildSourceView(std::string_view source, const ListPairs& lists,
                            const std::vector<CensusImage>& census) {
  StringSink out;
  out.Reserve(source.size() + source.size() / 8);
  WriteSourceView(source, lists, census, out);
  return out.Take();
}

}  // namespace velmora
