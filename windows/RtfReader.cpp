// The rich-text reader: one pass over the bytes, a stack of group states, and text appended to
// the current run as it comes. Start reading at Reader::Read.
#include "windows/RtfReader.h"

#include <glib.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <map>
#include <memory>
#include <unordered_map>
#include <utility>

#include "analysis/Windows1252.h"

namespace velmora {

namespace {

// Real documents nest a few dozen groups; deeper groups are read with the state of the deepest
// one kept (see OpenGroup), so a file of a million "{" costs no memory.
constexpr std::size_t kMaxGroupDepth = 512;
// A control word's number saturates here, far beyond any meaningful value, so that a long run of
// digits neither overflows nor wraps into a small one.
constexpr long kMaxParameter = 1'000'000'000;
constexpr std::size_t kMaxFontNameBytes = 256;
constexpr int kMaxFallbackSkip = 64;
constexpr int kDefaultFontSize = 24;
constexpr int kDefaultCodePage = 1252;

constexpr char32_t kReplacementCharacter = 0xFFFD;

using CodePageTable = std::array<char32_t, 256>;

// The five bytes Windows-1252 leaves undefined read as U+FFFD.
CodePageTable Windows1252Table() {
  CodePageTable table{};
  for (std::size_t byte = 0; byte < table.size(); ++byte) table[byte] = static_cast<char32_t>(byte);
  for (std::size_t i = 0; i < kWindows1252High.size(); ++i) {
    table[0x80 + i] = kWindows1252High[i] != 0 ? kWindows1252High[i] : kReplacementCharacter;
  }
  return table;
}

// The other single-byte code pages a document may name, as the system's converter calls them.
// Any other \ansicpg keeps Windows-1252.
const char* ConverterName(int codePage) {
  switch (codePage) {
    case 437:
      return "CP437";
    case 850:
      return "CP850";
    case 852:
      return "CP852";
    case 866:
      return "CP866";
    case 874:
      return "CP874";
    case 1250:
      return "CP1250";
    case 1251:
      return "CP1251";
    case 1253:
      return "CP1253";
    case 1254:
      return "CP1254";
    case 1255:
      return "CP1255";
    case 1256:
      return "CP1256";
    case 1257:
      return "CP1257";
    case 1258:
      return "CP1258";
    case 10000:
      return "MACINTOSH";
    default:
      return nullptr;
  }
}

// The upper half of a code page through GLib's converter, byte by byte; a byte the converter
// cannot read becomes U+FFFD. Returns nothing when the system has no converter for it.
std::optional<CodePageTable> ConvertedTable(const char* name) {
  GIConv converter = g_iconv_open("UTF-8", name);
  if (converter == reinterpret_cast<GIConv>(-1)) return std::nullopt;
  CodePageTable table{};
  for (std::size_t byte = 0; byte < 0x80; ++byte) table[byte] = static_cast<char32_t>(byte);
  for (std::size_t byte = 0x80; byte < table.size(); ++byte) {
    const char in = static_cast<char>(byte);
    gsize written = 0;
    gchar* out = g_convert_with_iconv(&in, 1, converter, nullptr, &written, nullptr);
    char32_t cp = kReplacementCharacter;
    if (out != nullptr && written > 0 &&
        g_utf8_validate(out, static_cast<gssize>(written), nullptr))
      cp = g_utf8_get_char(out);
    g_free(out);
    table[byte] = cp;
  }
  g_iconv_close(converter);
  return table;
}

void AppendUtf8(std::string& out, char32_t cp) {
  char buffer[6];
  const gint length = g_unichar_to_utf8(static_cast<gunichar>(cp), buffer);
  out.append(buffer, static_cast<std::size_t>(length));
}

int Clamp(long value, long low, long high) {
  return static_cast<int>(std::clamp(value, low, high));
}

// Where the text of a group goes.
enum class Destination {
  kText,        // shown
  kFontTable,   // font names, by number
  kColorTable,  // colour entries, each ended by ";"
  kSkip,        // nothing: an ignored destination
};

// What a control word does.
enum class Action {
  kCharacter,  // puts `character` into the text
  kBold,
  kItalic,
  kUnderline,      // on, or off with parameter 0
  kUnderlineNone,  // off
  kFontSize,
  kFont,
  kColor,
  kPlain,
  kFallbackCount,  // \uc
  kUnicode,        // \u
  kBinary,         // \bin
  kCodePage,       // \ansi, \mac, \pc, \pca: `character` holds the code page
  kAnsiCodePage,   // \ansicpg
  kDefaultFont,    // \deff
  kFontTable,
  kColorTable,
  kDestination,  // skipped when it opens a group
  kRed,
  kGreen,
  kBlue,
};

struct WordMeaning {
  Action action;
  char32_t character = 0;
};

// Destinations whose content is never shown.
constexpr std::string_view kSkippedDestinations[] = {
    // Tables and document information.
    "stylesheet", "info", "filetbl", "listtable", "listoverridetable", "revtbl", "rsidtbl",
    "author", "operator", "title", "subject", "keywords", "comment", "doccomm", "creatim", "revtim",
    "printim", "buptim", "upr", "private", "template", "userprops", "docvar", "generator",
    "themedata", "colorschememapping", "latentstyles", "datastore", "xmlnstbl", "mmathPr",
    // Pictures, objects and drawing shapes.
    "pict", "shppict", "nonshppict", "object", "objdata", "objclass", "shpinst", "sp", "sn", "sv",
    // Headers, footers, footnotes, annotations and their separators.
    "header", "headerl", "headerr", "headerf", "footer", "footerl", "footerr", "footerf",
    "footnote", "annotation", "atnid", "atnauthor", "ftnsep", "ftnsepc", "ftncn", "aftnsep",
    "aftnsepc", "aftncn",
    // Field instructions (the field's result is shown), index and contents entries, bookmarks.
    "fldinst", "xe", "tc", "txe", "rxe", "bkmkstart", "bkmkend",
    // Old-style list numbering, whose text comes again in \pntext.
    "pn", "pntxta", "pntxtb"};

const std::unordered_map<std::string_view, WordMeaning>& ControlWords() {
  static const std::unordered_map<std::string_view, WordMeaning> words = [] {
    std::unordered_map<std::string_view, WordMeaning> table{
        // Breaks: paragraphs, lines, sections and pages all end a line in the view; table
        // cells are separated by tabs and rows end a line.
        {"par", {Action::kCharacter, U'\n'}},
        {"line", {Action::kCharacter, U'\n'}},
        {"sect", {Action::kCharacter, U'\n'}},
        {"page", {Action::kCharacter, U'\n'}},
        {"row", {Action::kCharacter, U'\n'}},
        {"tab", {Action::kCharacter, U'\t'}},
        {"cell", {Action::kCharacter, U'\t'}},
        // Named characters.
        {"bullet", {Action::kCharacter, 0x2022}},
        {"emdash", {Action::kCharacter, 0x2014}},
        {"endash", {Action::kCharacter, 0x2013}},
        {"lquote", {Action::kCharacter, 0x2018}},
        {"rquote", {Action::kCharacter, 0x2019}},
        {"ldblquote", {Action::kCharacter, 0x201C}},
        {"rdblquote", {Action::kCharacter, 0x201D}},
        {"emspace", {Action::kCharacter, 0x2003}},
        {"enspace", {Action::kCharacter, 0x2002}},
        {"qmspace", {Action::kCharacter, 0x2005}},
        {"zwj", {Action::kCharacter, 0x200D}},
        {"zwnj", {Action::kCharacter, 0x200C}},
        {"ltrmark", {Action::kCharacter, 0x200E}},
        {"rtlmark", {Action::kCharacter, 0x200F}},
        // Character formatting.
        {"b", {Action::kBold}},
        {"i", {Action::kItalic}},
        {"ul", {Action::kUnderline}},
        {"uld", {Action::kUnderline}},
        {"uldb", {Action::kUnderline}},
        {"uldash", {Action::kUnderline}},
        {"ulth", {Action::kUnderline}},
        {"ulw", {Action::kUnderline}},
        {"ulwave", {Action::kUnderline}},
        {"ulnone", {Action::kUnderlineNone}},
        {"fs", {Action::kFontSize}},
        {"f", {Action::kFont}},
        {"cf", {Action::kColor}},
        {"plain", {Action::kPlain}},
        // Characters and their encodings.
        {"uc", {Action::kFallbackCount}},
        {"u", {Action::kUnicode}},
        {"bin", {Action::kBinary}},
        {"ansi", {Action::kCodePage, 1252}},
        {"mac", {Action::kCodePage, 10000}},
        {"pc", {Action::kCodePage, 437}},
        {"pca", {Action::kCodePage, 850}},
        {"ansicpg", {Action::kAnsiCodePage}},
        {"deff", {Action::kDefaultFont}},
        // The tables read for the runs' styles.
        {"fonttbl", {Action::kFontTable}},
        {"colortbl", {Action::kColorTable}},
        {"red", {Action::kRed}},
        {"green", {Action::kGreen}},
        {"blue", {Action::kBlue}},
    };
    for (const std::string_view word : kSkippedDestinations) {
      table.emplace(word, WordMeaning{Action::kDestination});
    }
    return table;
  }();
  return words;
}

// The formatting state of one group.
struct GroupState {
  Destination destination = Destination::kText;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  int fontSizeHalfPoints = kDefaultFontSize;
  int font = -1;             // -1: the document's default font
  std::optional<int> color;  // an index into the colour table; none: the default colour
  int fallbackSkip = 1;      // \uc: characters after \u that stand in for it
};

class Reader {
 public:
  explicit Reader(std::string_view input) : in_(input) {
    codePage_ = &CodePage(kDefaultCodePage);
    stack_.emplace_back();
  }

  RtfDocument Read() {
    while (pos_ < in_.size()) {
      const char c = in_[pos_];
      switch (c) {
        case '{':
          ++pos_;
          OpenGroup();
          break;
        case '}':
          ++pos_;
          CloseGroup();
          break;
        case '\\':
          ReadControl();
          break;
        case '\r':
        case '\n':
          // Line ends in the file are not text.
          ++pos_;
          break;
        default:
          ++pos_;
          if (SkippedAsFallback()) break;
          // Spaces before a group's first word (as in "{ \info") do not hide the word.
          if (c != ' ') groupJustOpened_ = false;
          Byte(static_cast<unsigned char>(c));
          break;
      }
    }
    FlushHighSurrogate();
    return std::move(document_);
  }

 private:
  // ---- Groups --------------------------------------------------------------------------------

  // A new group starts with the state of the one around it. Beyond kMaxGroupDepth the groups
  // share one state; the state at the point where they began comes back when the last of them
  // closes.
  void OpenGroup() {
    EndFallback();
    FlushHighSurrogate();
    groupJustOpened_ = true;
    if (stack_.size() < kMaxGroupDepth) {
      stack_.push_back(stack_.back());
      return;
    }
    if (extraDepth_++ == 0) stateBeforeExtraDepth_ = stack_.back();
  }

  // A "}" without its "{" is ignored.
  void CloseGroup() {
    EndFallback();
    FlushHighSurrogate();
    groupJustOpened_ = false;
    if (State().destination == Destination::kFontTable) CommitFontName();
    if (extraDepth_ > 0) {
      if (--extraDepth_ == 0) stack_.back() = stateBeforeExtraDepth_;
    } else if (stack_.size() > 1) {
      stack_.pop_back();
    }
    styleChanged_ = true;
  }

  GroupState& State() { return stack_.back(); }

  // ---- Control words and symbols ----------------------------------------------------------

  void ReadControl() {
    ++pos_;  // the backslash
    if (pos_ >= in_.size()) return;
    const char c = in_[pos_];
    if (g_ascii_isalpha(c)) {
      ReadControlWord();
      return;
    }
    ++pos_;
    if (c == '\'') {
      ReadHexCharacter();
      return;
    }
    if (SkippedAsFallback()) return;
    if (c == '*') {
      // "{\*\word ...}": a destination this reader may not know; skipped whole. Elsewhere the
      // mark means nothing.
      if (groupJustOpened_ && stack_.size() > 1 && extraDepth_ == 0) {
        State().destination = Destination::kSkip;
      }
      return;
    }
    groupJustOpened_ = false;
    switch (c) {
      case '\\':
      case '{':
      case '}':
        Character(static_cast<unsigned char>(c));
        break;
      case '~':  // non-breaking space
        Character(0x00A0);
        break;
      case '-':  // optional hyphen
        Character(0x00AD);
        break;
      case '_':  // non-breaking hyphen
        Character(0x2011);
        break;
      case '\r':
      case '\n':  // a backslash before a line end is a paragraph end
        Character(U'\n');
        break;
      case '\t':
        Character(U'\t');
        break;
      default:  // other symbols (index marks, formulas) and stray bytes: nothing
        break;
    }
  }

  // "\'hh": one byte of the document's code page. With fewer than two hex digits the mark is
  // dropped and what follows it is read as usual.
  void ReadHexCharacter() {
    if (pos_ + 1 < in_.size()) {
      const int high = g_ascii_xdigit_value(in_[pos_]);
      const int low = g_ascii_xdigit_value(in_[pos_ + 1]);
      if (high >= 0 && low >= 0) {
        pos_ += 2;
        if (SkippedAsFallback()) return;
        groupJustOpened_ = false;
        Byte(static_cast<unsigned char>(high * 16 + low), /*escaped=*/true);
        return;
      }
    }
    SkippedAsFallback();
  }

  // A control word: letters, an optional signed number, and an optional space that belongs to
  // the word.
  void ReadControlWord() {
    const std::size_t start = pos_;
    while (pos_ < in_.size() && g_ascii_isalpha(in_[pos_])) ++pos_;
    const std::string_view word = in_.substr(start, pos_ - start);

    std::optional<long> parameter;
    bool negative = false;
    if (pos_ + 1 < in_.size() && in_[pos_] == '-' && g_ascii_isdigit(in_[pos_ + 1])) {
      negative = true;
      ++pos_;
    }
    if (pos_ < in_.size() && g_ascii_isdigit(in_[pos_])) {
      long value = 0;
      for (; pos_ < in_.size() && g_ascii_isdigit(in_[pos_]); ++pos_) {
        value = std::min(kMaxParameter, value * 10 + (in_[pos_] - '0'));
      }
      parameter = negative ? -value : value;
    }
    if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;

    const auto& words = ControlWords();
    const auto found = words.find(word);
    if (found != words.end() && found->second.action == Action::kBinary) {
      // The data of \bin is skipped in every case, also when the word itself stands in for a
      // \u character: it is bytes, not text.
      const std::size_t length = static_cast<std::size_t>(std::max(0L, parameter.value_or(0)));
      pos_ += std::min(length, in_.size() - pos_);
      if (!SkippedAsFallback()) groupJustOpened_ = false;
      return;
    }
    if (SkippedAsFallback()) return;
    const bool first = groupJustOpened_;
    groupJustOpened_ = false;
    if (found == words.end()) return;  // unknown words are ignored
    ControlWord(found->second, parameter, first);
  }

  void ControlWord(const WordMeaning& meaning, std::optional<long> parameter, bool firstInGroup) {
    GroupState& state = State();
    // What every destination understands.
    switch (meaning.action) {
      case Action::kUnicode:
        if (!parameter) return;
        Unicode(*parameter);
        return;
      case Action::kFallbackCount:
        state.fallbackSkip = Clamp(parameter.value_or(1), 0, kMaxFallbackSkip);
        return;
      case Action::kCharacter:
        Character(meaning.character);
        return;
      case Action::kFontTable:
      case Action::kColorTable:
      case Action::kDestination:
        // A destination word counts only where it opens a group: elsewhere it is taken for an
        // unknown word, so one misplaced word does not hide the rest of the document. Inside
        // a table or a skipped destination it means nothing.
        if (!firstInGroup || stack_.size() == 1 || extraDepth_ > 0) return;
        if (state.destination != Destination::kText) return;
        state.destination = meaning.action == Action::kFontTable    ? Destination::kFontTable
                            : meaning.action == Action::kColorTable ? Destination::kColorTable
                                                                    : Destination::kSkip;
        if (state.destination == Destination::kColorTable) colors_.clear();
        return;
      default:
        break;
    }

    switch (state.destination) {
      case Destination::kText:
        TextControlWord(meaning, parameter, state);
        return;
      case Destination::kFontTable:
        if (meaning.action == Action::kFont) {
          CommitFontName();
          fontEntry_ = Clamp(parameter.value_or(0), 0, kMaxParameter);
        }
        return;
      case Destination::kColorTable:
        if (meaning.action == Action::kRed) colorEntry_.red = Clamp(parameter.value_or(0), 0, 255);
        if (meaning.action == Action::kGreen)
          colorEntry_.green = Clamp(parameter.value_or(0), 0, 255);
        if (meaning.action == Action::kBlue)
          colorEntry_.blue = Clamp(parameter.value_or(0), 0, 255);
        if (meaning.action == Action::kRed || meaning.action == Action::kGreen ||
            meaning.action == Action::kBlue)
          colorEntry_.set = true;
        return;
      case Destination::kSkip:
        return;
    }
  }

  void TextControlWord(const WordMeaning& meaning, std::optional<long> parameter,
                       GroupState& state) {
    const bool on = parameter.value_or(1) != 0;
    switch (meaning.action) {
      case Action::kBold:
        state.bold = on;
        break;
      case Action::kItalic:
        state.italic = on;
        break;
      case Action::kUnderline:
        state.underline = on;
        break;
      case Action::kUnderlineNone:
        state.underline = false;
        break;
      case Action::kFontSize: {
        const long size = parameter.value_or(kDefaultFontSize);
        state.fontSizeHalfPoints =
            size <= 0 ? kDefaultFontSize
                      : Clamp(size, kRtfMinFontSizeHalfPoints, kRtfMaxFontSizeHalfPoints);
        break;
      }
      case Action::kFont:
        state.font = Clamp(parameter.value_or(0), 0, kMaxParameter);
        break;
      case Action::kColor:
        state.color = Clamp(parameter.value_or(0), 0, kMaxParameter);
        break;
      case Action::kPlain:
        state.bold = state.italic = state.underline = false;
        state.fontSizeHalfPoints = kDefaultFontSize;
        state.font = -1;
        state.color.reset();
        break;
      case Action::kCodePage:
        SetCodePage(static_cast<int>(meaning.character));
        return;
      case Action::kAnsiCodePage:
        SetCodePage(Clamp(parameter.value_or(kDefaultCodePage), 0, kMaxParameter));
        return;
      case Action::kDefaultFont:
        defaultFont_ = Clamp(parameter.value_or(0), 0, kMaxParameter);
        break;
      default:
        return;
    }
    styleChanged_ = true;
  }

  // ---- Characters -------------------------------------------------------------------------

  // "\uN": N is a signed 16-bit number (negative values stand for N + 65536). The next
  // \ucN characters are the fallback for readers without Unicode, and are skipped.
  void Unicode(long value) {
    if (value < 0) value += 65536;
    Character(value >= 0 && value <= 0xFFFF ? static_cast<char32_t>(value) : kReplacementCharacter);
    fallbackLeft_ = State().fallbackSkip;
  }

  // True when the thing just read is one of the fallback characters of a \u, which are dropped.
  bool SkippedAsFallback() {
    if (fallbackLeft_ == 0) return false;
    --fallbackLeft_;
    return true;
  }

  // A group's end also ends the fallback characters of a \u.
  void EndFallback() { fallbackLeft_ = 0; }

  // One byte of text in the document's code page. Control bytes in the file are not text, but
  // for a tab; an escaped one (\'09) is.
  void Byte(unsigned char byte, bool escaped = false) {
    if (byte < 0x20 && byte != '\t' && !escaped) return;
    if (State().destination == Destination::kColorTable) {
      if (byte == ';') CommitColor();
      return;
    }
    if (State().destination == Destination::kFontTable && byte == ';' && !escaped) {
      CommitFontName();
      return;
    }
    Character((*codePage_)[byte]);
  }

  // One character for the current destination.
  void Character(char32_t cp) {
    switch (State().destination) {
      case Destination::kText:
        TextCharacter(cp);
        return;
      case Destination::kFontTable:
        if (cp < 0x20 || cp == 0x7F || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return;
        if (fontName_.size() + 4 <= kMaxFontNameBytes) AppendUtf8(fontName_, cp);
        return;
      case Destination::kColorTable:
      case Destination::kSkip:
        return;
    }
  }

  // A character of the shown text. A UTF-16 surrogate pair written as two \u words becomes one
  // character; a lone surrogate becomes U+FFFD. NUL and control characters other than tab and
  // line end are dropped.
  void TextCharacter(char32_t cp) {
    if (cp >= 0xD800 && cp <= 0xDBFF) {
      FlushHighSurrogate();
      highSurrogate_ = cp;
      return;
    }
    if (cp >= 0xDC00 && cp <= 0xDFFF) {
      if (highSurrogate_ == 0) {
        Append(kReplacementCharacter);
        return;
      }
      const char32_t combined = 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (cp - 0xDC00);
      highSurrogate_ = 0;
      Append(combined);
      return;
    }
    FlushHighSurrogate();
    if (cp == 0 || (cp < 0x20 && cp != U'\t' && cp != U'\n') || cp == 0x7F) return;
    if (cp > 0x10FFFF) cp = kReplacementCharacter;
    Append(cp);
  }

  void FlushHighSurrogate() {
    if (highSurrogate_ == 0) return;
    highSurrogate_ = 0;
    Append(kReplacementCharacter);
  }

  // Appends to the last run, or starts a new one when the style has changed since.
  void Append(char32_t cp) {
    if (styleChanged_) {
      styleChanged_ = false;
      RtfStyle style = CurrentStyle();
      if (document_.runs.empty() || document_.runs.back().style != style) {
        document_.runs.push_back(RtfRun{{}, std::move(style)});
      }
    }
    AppendUtf8(document_.runs.back().text, cp);
  }

  RtfStyle CurrentStyle() const {
    const GroupState& state = stack_.back();
    RtfStyle style;
    style.bold = state.bold;
    style.italic = state.italic;
    style.underline = state.underline;
    style.fontSizeHalfPoints = state.fontSizeHalfPoints;
    const auto font = fonts_.find(state.font >= 0 ? state.font : defaultFont_);
    if (font != fonts_.end()) style.fontName = font->second;
    if (state.color && static_cast<std::size_t>(*state.color) < colors_.size()) {
      style.color = colors_[static_cast<std::size_t>(*state.color)];
    }
    return style;
  }

  // ---- Tables ------------------------------------------------------------------------------

  // A font entry ends with ";" or with its group; its name is the text without outer spaces.
  void CommitFontName() {
    const std::size_t first = fontName_.find_first_not_of(' ');
    if (first != std::string::npos) {
      const std::size_t last = fontName_.find_last_not_of(' ');
      fonts_.insert_or_assign(fontEntry_, fontName_.substr(first, last - first + 1));
      styleChanged_ = true;
    }
    fontName_.clear();
  }

  // A colour entry ends with ";"; one without any \red, \green or \blue is the default colour.
  void CommitColor() {
    std::optional<std::uint32_t> color;
    if (colorEntry_.set) {
      color = (static_cast<std::uint32_t>(colorEntry_.red) << 16) |
              (static_cast<std::uint32_t>(colorEntry_.green) << 8) |
              static_cast<std::uint32_t>(colorEntry_.blue);
    }
    colors_.push_back(color);
    colorEntry_ = {};
    styleChanged_ = true;
  }

  // ---- Code pages --------------------------------------------------------------------------

  void SetCodePage(int codePage) { codePage_ = &CodePage(codePage); }

  // Each table is made once per document.
  const CodePageTable& CodePage(int codePage) {
    const char* name = ConverterName(codePage);
    if (name == nullptr) codePage = kDefaultCodePage;
    auto& table = codePages_[codePage];
    if (!table) {
      std::optional<CodePageTable> converted;
      if (name != nullptr) converted = ConvertedTable(name);
      table = std::make_unique<CodePageTable>(converted ? *converted : Windows1252Table());
    }
    return *table;
  }

  // ---- State -------------------------------------------------------------------------------

  struct ColorEntry {
    int red = 0;
    int green = 0;
    int blue = 0;
    bool set = false;
  };

  std::string_view in_;
  std::size_t pos_ = 0;
  RtfDocument document_;

  std::vector<GroupState> stack_;  // never empty: the first entry is outside every group
  std::size_t extraDepth_ = 0;     // groups open beyond kMaxGroupDepth
  GroupState stateBeforeExtraDepth_;
  bool groupJustOpened_ = false;  // nothing read yet in the innermost group
  bool styleChanged_ = true;      // the next character may need a new run

  int fallbackLeft_ = 0;        // \u fallback characters still to skip
  char32_t highSurrogate_ = 0;  // the first half of a surrogate pair, waiting for its second

  std::map<int, std::string> fonts_;  // the font table, by number
  int defaultFont_ = 0;
  int fontEntry_ = 0;
  std::string fontName_;  // the name being read in the font table

  std::vector<std::optional<std::uint32_t>> colors_;  // the colour table
  ColorEntry colorEntry_;

  std::map<int, std::unique_ptr<CodePageTable>> codePages_;
  const CodePageTable* codePage_ = nullptr;
};

}  // namespace

std::string RtfDocument::Text() const {
  std::string text;
  for (const RtfRun& run : runs) text += run.text;
  return text;
}

RtfDocument ReadRtf(std::string_view rtf) {
  return Reader(rtf).Read();
}

}  // namespace velmora
