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

void AppendEscaped(TextSink& out, std::string_view text) {
  std::size_t run = 0;  // start of the run of characters copied as they are
  for (std::size_t i = NextEscaped(text, 0); i < text.size(); i = NextEscaped(text, run)) {
    out.Append(text.substr(run, i - run));
    out.Append(text[i] == '<' ? std::string_view("&lt;") : std::string_view("<BR>"));
    run = i + 1;
  }
  out.Append(text.substr(run));
}

}  // namespace

std::string EscapeSourceForView(std::string_view source) {
  StringSink out;
  AppendEscaped(out, source);
  return out.Take();
}

void WriteSourceView(std::string_view source, const ListPairs& lists,
                     const std::vector<CensusImage>& census, TextSink& out) {
  const PictureNameLinks links(lists, census);
  std::size_t done = 0;
  for (const PictureNameLinks::Place& place : links.Places(source)) {
    AppendEscaped(out, source.substr(done, place.begin - done));
    out.Append("<a href='");
    out.Append(links.Href(place.id));
    out.Append("'>");
    AppendEscaped(out, links.Name(place.id));
    out.Append("</a>");
    done = place.end;
  }
  AppendEscaped(out, source.substr(done));
}

std::string BuildSourceView(std::string_view source, const ListPairs& lists,
                            const std::vector<CensusImage>& census) {
  StringSink out;
  out.Reserve(source.size() + source.size() / 8);
  WriteSourceView(source, lists, census, out);
  return out.Take();
}

}  // namespace velmora
