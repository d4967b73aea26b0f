// The help window's rich-text reader: a subset of RTF read into runs of styled UTF-8 text, which
// windows/RtfTextView.h puts into a text view. No GTK here, so the reader is tested and fuzzed
// without a display.
//
// What is read: groups with their formatting state; paragraphs, line breaks and tabs; bold,
// italic, underline, font size, font (through the font table) and text colour (through the
// colour table); characters as \'hh in the document's ANSI code page, \uN with its \ucN
// fallback, and the named symbols (\bullet, \emdash, quotes, ...); list numbering text
// (\pntext, \listtext). Everything else (destinations such as the style sheet, document
// information, pictures, headers and footers, and unknown control words) is skipped, never shown.
//
// Any input is accepted: broken braces, a cut-off file, binary junk. The reader shows what it
// can, in time linear in the input, with memory in proportion to it, and its text is always
// valid UTF-8 without NUL characters.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// The character formatting of a run of text.
struct RtfStyle {
  bool bold = false;
  bool italic = false;
  bool underline = false;
  int fontSizeHalfPoints = 24;         // 12 pt unless the document says otherwise
  std::string fontName;                // empty: the reader's default font
  std::optional<std::uint32_t> color;  // 0xRRGGBB; none: the default text colour

  friend bool operator==(const RtfStyle&, const RtfStyle&) = default;
};

// The smallest and largest font sizes a run can have, in half-points (0.5 pt to 1638 pt). Sizes
// outside are brought to the nearest bound; \fs0 or a negative size means the default 12 pt.
inline constexpr int kRtfMinFontSizeHalfPoints = 1;
inline constexpr int kRtfMaxFontSizeHalfPoints = 3276;

// Text in one style. Paragraph ends are "\n", tabs "\t".
struct RtfRun {
  std::string text;  // UTF-8, never empty in a document
  RtfStyle style;

  friend bool operator==(const RtfRun&, const RtfRun&) = default;
};

// A read document: its runs in order; two neighbouring runs never have the same style.
struct RtfDocument {
  std::vector<RtfRun> runs;

  // All the runs' text, without styles.
  std::string Text() const;
};

// Reads RTF text (any bytes). Never throws on bad input.
RtfDocument ReadRtf(std::string_view rtf);

}  // namespace velmora
