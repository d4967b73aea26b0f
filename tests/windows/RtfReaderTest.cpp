// The rich-text reader: every feature it reads as {RTF, expected runs} tables, broken input,
// a random pass over mutated copies of the shipped help file, and the help file itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "fuzz/RtfInvariants.h"
#include "tests/support/TempFolder.h"
#include "windows/RtfReader.h"

// The expected styles are written with designated initializers, which name only the fields that
// differ from the default; GCC 12 still warns about the others.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace velmora {

// Failure messages show runs readably.
void PrintTo(const RtfRun& run, std::ostream* out) {
  const RtfStyle& s = run.style;
  *out << "{\"" << run.text << "\"" << (s.bold ? " b" : "") << (s.italic ? " i" : "")
       << (s.underline ? " ul" : "") << " fs" << s.fontSizeHalfPoints;
  if (!s.fontName.empty()) *out << " font=\"" << s.fontName << "\"";
  if (s.color) *out << " color=" << std::hex << *s.color << std::dec;
  *out << "}";
}

namespace {

constexpr const char* kHelpFile = VELMORA_HELP_RTF;

// A string literal with its NUL bytes.
template <std::size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

RtfRun RunOf(std::string text, RtfStyle style = {}) {
  return RtfRun{std::move(text), style};
}

struct Case {
  const char* name;
  std::string rtf;
  std::vector<RtfRun> expected;
};

void ExpectCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    EXPECT_EQ(ReadRtf(c.rtf).runs, c.expected) << c.name << ": " << c.rtf;
  }
}

const RtfStyle kBold{.bold = true};

TEST(RtfReader, TextBreaksAndGroups) {
  ExpectCases({
      {"plain text", R"({\rtf1 Hello})", {RunOf("Hello")}},
      {"paragraphs", R"({\rtf1 a\par b\par})", {RunOf("a\nb\n")}},
      {"line breaks and tabs", R"({\rtf1 a\line b\tab c})", {RunOf("a\nb\tc")}},
      {"sections, pages, cells and rows",
       R"({\rtf1 a\sect b\page c\cell d\row})",
       {RunOf("a\nb\nc\td\n")}},
      {"line ends in the file are not text",
       "{\\rtf1 Hel\r\nlo\n wor\rld}",
       {RunOf("Hello world")}},
      {"a backslash before a line end is a paragraph",
       "{\\rtf1 a\\\nb\\\r\nc}",
       {RunOf("a\nb\nc")}},
      {"the space after a control word belongs to it",
       R"({\rtf1 \b  two})",
       {RunOf(" two", kBold)}},
      {"a group's formatting ends with it",
       R"({\rtf1 a{\b b}c})",
       {RunOf("a"), RunOf("b", kBold), RunOf("c")}},
      {"nested groups restore each level",
       R"({\rtf1 {\b a{\i b{\ul c}d}e}f})",
       {RunOf("a", kBold), RunOf("b", {.bold = true, .italic = true}),
        RunOf("c", {.bold = true, .italic = true, .underline = true}),
        RunOf("d", {.bold = true, .italic = true}), RunOf("e", kBold), RunOf("f")}},
      {"runs of one style are merged", R"({\rtf1 a{\b0 b}{c}\i0 d})", {RunOf("abcd")}},
      {"text outside the document group is shown", R"(x{\rtf1 a}y)", {RunOf("xay")}},
      {"an empty document has no runs", R"({\rtf1 })", {}},
  });
}

TEST(RtfReader, CharacterFormatting) {
  ExpectCases({
      {"bold on and off", R"({\rtf1 a\b b\b0 c})", {RunOf("a"), RunOf("b", kBold), RunOf("c")}},
      {"any number but 0 turns a property on",
       R"({\rtf1 \b1 x\b2 y\b-1 z})",
       {RunOf("xyz", kBold)}},
      {"italic", R"({\rtf1 \i x\i0 y})", {RunOf("x", {.italic = true}), RunOf("y")}},
      {"underline: \\ul, \\ulnone, \\ul0 and the other underline kinds",
       R"({\rtf1 \ul a\ulnone b\ul c\ul0 d\uldb e\ulnone f\ulw g})",
       {RunOf("a", {.underline = true}), RunOf("b"), RunOf("c", {.underline = true}), RunOf("d"),
        RunOf("e", {.underline = true}), RunOf("f"), RunOf("g", {.underline = true})}},
      {"font size in half-points",
       R"({\rtf1 \fs32 big\fs small})",
       {RunOf("big", {.fontSizeHalfPoints = 32}), RunOf("small")}},
      {"\\fs0 and negative sizes mean the default",
       R"({\rtf1 \fs40 a\fs0 b\fs40 c\fs-8 d})",
       {RunOf("a", {.fontSizeHalfPoints = 40}), RunOf("b"), RunOf("c", {.fontSizeHalfPoints = 40}),
        RunOf("d")}},
      {"sizes are bounded",
       R"({\rtf1 \fs99999 a\fs1 b})",
       {RunOf("a", {.fontSizeHalfPoints = kRtfMaxFontSizeHalfPoints}),
        RunOf("b", {.fontSizeHalfPoints = kRtfMinFontSizeHalfPoints})}},
      {"\\plain resets the character formatting",
       R"({\rtf1 \b\i\ul\fs40 a\plain b})",
       {RunOf("a", {.bold = true, .italic = true, .underline = true, .fontSizeHalfPoints = 40}),
        RunOf("b")}},
      {"\\pard keeps the character formatting",
       R"({\rtf1 \b a\par\pard b})",
       {RunOf("a\nb", kBold)}},
  });
}

TEST(RtfReader, FontAndColourTables) {
  const std::string fonts = R"({\fonttbl{\f0\fswiss\fcharset0 Arial;}{\f1\fmodern Courier New;}})";
  const std::string colors = R"({\colortbl ;\red255\green0\blue0;\red0\green128\blue255;})";
  ExpectCases({
      {"fonts by number, the default font from \\deff",
       "{\\rtf1\\deff0" + fonts + R"(a\f1 b\f0 c})",
       {RunOf("a", {.fontName = "Arial"}), RunOf("b", {.fontName = "Courier New"}),
        RunOf("c", {.fontName = "Arial"})}},
      {"\\plain goes back to the default font",
       "{\\rtf1\\deff1" + fonts + R"(a\f0 b\plain c})",
       {RunOf("a", {.fontName = "Courier New"}), RunOf("b", {.fontName = "Arial"}),
        RunOf("c", {.fontName = "Courier New"})}},
      {"a font table without entry groups",
       R"({\rtf1{\fonttbl\f0 Arial;\f1 Times;}\f1 x})",
       {RunOf("x", {.fontName = "Times"})}},
      {"an entry ended by its group instead of ';'",
       R"({\rtf1{\fonttbl{\f3 Georgia}}\f3 x})",
       {RunOf("x", {.fontName = "Georgia"})}},
      {"optional parts of an entry are skipped",
       R"({\rtf1{\fonttbl{\f0\fnil{\*\panose 020b0604020202020204}Tahoma{\*\falt Verdana};}}\f0 x})",
       {RunOf("x", {.fontName = "Tahoma"})}},
      {"font names may hold escaped characters",
       R"({\rtf1{\fonttbl{\f0 Caf\'e9 Sans;}}\f0 x})",
       {RunOf("x", {.fontName = "Caf\u00e9 Sans"})}},
      {"an unknown font number names no font", "{\\rtf1" + fonts + R"(\f7 x})", {RunOf("x")}},
      {"two numbers with one name are one style",
       R"({\rtf1{\fonttbl{\f0 Same;}{\f1 Same;}}\f0 x\f1 y})",
       {RunOf("xy", {.fontName = "Same"})}},
      {"colours by number; 0 and unknown numbers are the default colour",
       "{\\rtf1" + colors + R"(a\cf1 b\cf2 c\cf0 d\cf9 e})",
       {RunOf("a"), RunOf("b", {.color = 0xFF0000}), RunOf("c", {.color = 0x0080FF}), RunOf("de")}},
      {"a group's colour ends with it",
       "{\\rtf1" + colors + R"({\cf1 a}b})",
       {RunOf("a", {.color = 0xFF0000}), RunOf("b")}},
      {"colour components are bounded",
       R"({\rtf1{\colortbl;\red999\green-4\blue65536;}\cf1 x})",
       {RunOf("x", {.color = 0xFF00FF})}},
      {"the tables' text is never shown",
       "{\\rtf1\\deff0" + fonts + colors + R"(\cf1\b Title\b0\cf0\par Body})",
       {RunOf("Title", {.bold = true, .fontName = "Arial", .color = 0xFF0000}),
        RunOf("\nBody", {.fontName = "Arial"})}},
  });
}

TEST(RtfReader, EscapedAndUnicodeCharacters) {
  ExpectCases({
      {"\\'hh in Windows-1252",
       R"({\rtf1\ansi\ansicpg1252 caf\'e9 \'80 \'93q\'94 \'97})",
       {RunOf("caf\u00e9 \u20ac \u201cq\u201d \u2014")}},
      {"Windows-1252 without \\ansicpg", R"({\rtf1 \'fc\'df})", {RunOf("\u00fc\u00df")}},
      {"bytes Windows-1252 leaves undefined", R"({\rtf1 \'81\'8d})", {RunOf("\ufffd\ufffd")}},
      {"another code page",
       R"({\rtf1\ansi\ansicpg1251 \'cf\'f0\'e8})",
       {RunOf("\u041f\u0440\u0438")}},
      {"the Macintosh character set", R"({\rtf1\mac \'8e})", {RunOf("\u00e9")}},
      {"an unknown code page reads as Windows-1252",
       R"({\rtf1\ansicpg932 \'e9})",
       {RunOf("\u00e9")}},
      {"8-bit bytes in the text read in the code page", "{\\rtf1 caf\xE9}", {RunOf("caf\u00e9")}},
      {"\\uN with its fallback character skipped", R"({\rtf1 a\u233?b})", {RunOf("a\u00e9b")}},
      {"negative \\uN counts from 65536", R"({\rtf1 \u-1279?})", {RunOf("\ufb01")}},
      {"\\uc0: no fallback", R"({\rtf1\uc0 \u8364 x})", {RunOf("\u20acx")}},
      {"\\uc2 skips two \\'hh", R"({\rtf1\uc2 \u8364\'80\'80x})", {RunOf("\u20acx")}},
      {"an escaped fallback counts as one", R"({\rtf1 \u233\'e9 x})", {RunOf("\u00e9 x")}},
      {"a control word counts as one fallback", R"({\rtf1 \u233\bullet x})", {RunOf("\u00e9x")}},
      {"\\uc belongs to its group",
       R"({\rtf1{\uc3 \u233 abcd}\u233 ef})",
       {RunOf("\u00e9d\u00e9f")}},
      {"a group's end ends the fallback", R"({\rtf1\uc2 {\u233 x}yz})", {RunOf("\u00e9yz")}},
      {"a surrogate pair is one character",
       R"({\rtf1 \u-10179?\u-8704?!})",
       {RunOf("\U0001F600!")}},
      {"lone surrogates", R"({\rtf1 \u-10179?x\u-8704?y})", {RunOf("\ufffdx\ufffdy")}},
      {"\\uN beyond 16 bits", R"({\rtf1 \u70000?x\u-70000?y})", {RunOf("\ufffdx\ufffdy")}},
      {"escaped braces and backslash", R"({\rtf1 \{a\} \\ b})", {RunOf("{a} \\ b")}},
      {"non-breaking space, optional and non-breaking hyphen",
       R"({\rtf1 a\~b\-c\_d})",
       {RunOf("a\u00a0b\u00adc\u2011d")}},
      {"named symbols",
       R"({\rtf1 \bullet\emdash\endash\lquote\rquote\ldblquote\rdblquote\emspace\enspace})",
       {RunOf("\u2022\u2014\u2013\u2018\u2019\u201c\u201d\u2003\u2002")}},
      {"control characters and NUL are not text, a tab is",
       Bytes("{\\rtf1 a\x01\0b\tc}"),
       {RunOf("ab\tc")}},
      {"an escaped NUL is dropped", R"({\rtf1 a\'00b})", {RunOf("ab")}},
  });
}

TEST(RtfReader, ListsDestinationsAndUnknownWords) {
  ExpectCases({
      {"list text shown, the old numbering definition skipped",
       R"({\rtf1{\*\pn\pnlvlblt\pnf1{\pntxtb\'b7}}{\pntext\'b7\tab}Item\par})",
       {RunOf("\u00b7\tItem\n")}},
      {"\\pn without \\* is skipped too",
       R"({\rtf1{\pntext\bullet\tab}{\pn\pnlvlblt{\pntxtb\'95}}One\par})",
       {RunOf("\u2022\tOne\n")}},
      {"\\listtext shown",
       R"({\rtf1{\listtext\pard\plain\b \bullet\tab}One\par})",
       {RunOf("\u2022\t", kBold), RunOf("One\n")}},
      {"destinations are skipped",
       R"({\rtf1{\stylesheet{\s0 Normal;}}{\info{\title T}{\author A}}{\*\generator G;})"
       R"({\header H}{\footer F}{\pict\pngblip 89504e47}{\object{\*\objdata 0102}{\result R}})"
       R"({\footnote N}Body})",
       {RunOf("Body")}},
      {"an unknown \\* destination is skipped whole",
       R"({\rtf1 a{\*\unknowndest hidden {nested} more}b})",
       {RunOf("ab")}},
      {"a field shows its result only",
       R"({\rtf1{\field{\*\fldinst HYPERLINK "https://x.example"}{\fldrslt link}}})",
       {RunOf("link")}},
      {"unknown control words are dropped, their text stays",
       R"({\rtf1 \foo a\barbaz12 b{\qux c}\q d})",
       {RunOf("abcd")}},
      {"\\* inside a group's text means nothing", R"({\rtf1 a\*b})", {RunOf("ab")}},
      {"a destination word inside text is taken for an unknown word",
       R"({\rtf1 a\info b})",
       {RunOf("ab")}},
      {"\\bin data is skipped byte for byte", R"({\rtf1 a\bin4 {}\\b})", {RunOf("ab")}},
      {"\\bin data may hold anything", Bytes("{\\rtf1 a\\bin3 \0\\}b}"), {RunOf("ab")}},
      {"\\bin standing in for a \\u character still skips its data",
       R"({\rtf1 \u233\bin2 xyz})",
       {RunOf("\u00e9z")}},
      {"\\bin without a number skips nothing", R"({\rtf1 a\bin b})", {RunOf("ab")}},
  });
}

// Broken input: what can be shown is shown, and the reader's promises hold.
TEST(RtfReader, MalformedInputShowsWhatItCan) {
  struct Broken {
    const char* name;
    std::string rtf;
    std::string text;
  };
  const std::string deep(1'000'000, '{');
  const std::string deepEnd(1'000'000, '}');
  const std::vector<Broken> cases{
      {"unclosed groups", R"({\rtf1 {\b abc)", "abc"},
      {"extra closing braces", R"({\rtf1 a}}}b})", "ab"},
      {"cut off after a control word", R"({\rtf1 a\b)", "a"},
      {"cut off after a backslash", "{\\rtf1 a\\", "a"},
      {"cut off inside \\'hh", R"({\rtf1 a\'e)", "ae"},
      {"\\' without hex digits", R"({\rtf1 a\'zzb})", "azzb"},
      {"cut off after \\u", R"({\rtf1 a\u)", "a"},
      {"\\u with a lone minus", R"({\rtf1 a\u-b})", "a-b"},
      {"cut off in the font table", R"({\rtf1{\fonttbl{\f0 Ari)", ""},
      {"cut off in a skipped destination", R"({\rtf1 a{\*\x b)", "a"},
      {"binary junk and NULs around the document", Bytes("\0\x01\xFF{\\rtf1 \0ok\xFF}"),
       "\u00ffok\u00ff"},
      {"huge \\bin", R"({\rtf1 a\bin2147483648 xyz})", "a"},
      {"negative \\bin", R"({\rtf1 a\bin-5 b})", "ab"},
      {"a number of 100000 digits", "{\\rtf1 \\fs" + std::string(100000, '9') + " x}", "x"},
      {"a word of 100000 letters", "{\\rtf1 \\" + std::string(100000, 'q') + " x}", "x"},
      {"a million nested groups", deep + "deep" + deepEnd + "after", "deepafter"},
      {"a million unclosed groups", deep + "x", "x"},
      {"a million stray closing braces", deepEnd + "x", "x"},
      {"not RTF at all", "just some text", "just some text"},
      {"empty", "", ""},
  };
  for (const Broken& c : cases) {
    EXPECT_EQ(ReadRtf(c.rtf).Text(), c.text) << c.name;
    EXPECT_EQ(CheckRtfInvariants(c.rtf), "") << c.name;
  }
}

// Beyond the depth the reader keeps, groups share one state, and the state before them comes
// back when they close.
TEST(RtfReader, FormattingBeyondTheDepthLimitEndsWithTheGroups) {
  const std::string rtf =
      "{\\rtf1 " + std::string(2000, '{') + "\\b x" + std::string(2000, '}') + "y}";
  EXPECT_EQ(ReadRtf(rtf).runs, (std::vector<RtfRun>{RunOf("x", kBold), RunOf("y")}));
  const std::string skipped =
      "{\\rtf1 " + std::string(2000, '{') + "{\\*\\x hidden}shown" + std::string(2000, '}') + "}";
  EXPECT_NE(ReadRtf(skipped).Text().find("shown"), std::string::npos);
}

std::string HelpFile() {
  return velmora::testing::ReadFile(kHelpFile);
}

// A few thousand inputs made from the real help file: bytes changed, inserted (mostly RTF's own
// characters), deleted, repeated and the file cut short; every one must keep the invariants.
TEST(RtfReader, MutatedHelpFilesKeepTheInvariants) {
  const std::string help = HelpFile();
  ASSERT_FALSE(help.empty());
  std::mt19937 random(20240611);
  const std::string special = Bytes("{}\\'*;-0123456789abcdefu \r\n\x00\xff");
  const auto pick = [&](std::size_t size) {
    return std::uniform_int_distribution<std::size_t>(0, size == 0 ? 0 : size - 1)(random);
  };
  for (int round = 0; round < 3000; ++round) {
    std::string input = help;
    const int edits = 1 + static_cast<int>(pick(8));
    for (int e = 0; e < edits && !input.empty(); ++e) {
      const std::size_t at = pick(input.size());
      switch (pick(6)) {
        case 0:  // one random byte
          input[at] = static_cast<char>(pick(256));
          break;
        case 1:  // one bit
          input[at] = static_cast<char>(input[at] ^ (1 << pick(8)));
          break;
        case 2:  // an RTF character
          input.insert(at, 1, special[pick(special.size())]);
          break;
        case 3:  // a piece deleted
          input.erase(at, 1 + pick(40));
          break;
        case 4:  // a piece repeated
          input.insert(at, input.substr(pick(input.size()), 1 + pick(200)));
          break;
        default:  // cut short
          input.resize(at);
          break;
      }
    }
    ASSERT_EQ(CheckRtfInvariants(input), "") << "round " << round;
  }
  // Random bytes drawn mostly from RTF's own characters.
  for (int round = 0; round < 1000; ++round) {
    std::string input;
    const std::size_t length = pick(400);
    for (std::size_t i = 0; i < length; ++i) {
      input += pick(4) == 0 ? static_cast<char>(pick(256)) : special[pick(special.size())];
    }
    ASSERT_EQ(CheckRtfInvariants(input), "") << "random round " << round;
  }
}

// The invariant checker itself catches what it is meant to catch.
TEST(RtfReader, BackslashEscapesAreRecognised) {
  const struct {
    const char* rtf;
    bool escapes;
  } cases[] = {
      {R"(a\\b)", true},  {R"(\'5c)", true},      {R"(\'5C)", true},
      {R"(\u92?)", true}, {R"(\u-65444?)", true}, {R"(\u93?)", false},
      {R"(\'5d)", false}, {R"(\ul92 x)", false},  {R"(\b x)", false},
  };
  for (const auto& c : cases) EXPECT_EQ(CanEscapeBackslash(c.rtf), c.escapes) << c.rtf;
  EXPECT_NE(ReadRtf(R"(\u92?)").Text().find('\\'), std::string::npos);
}

TEST(RtfReader, TheShippedHelpFileReadsAsHelpText) {
  const std::string help = HelpFile();
  ASSERT_EQ(CheckRtfInvariants(help), "");
  const RtfDocument document = ReadRtf(help);
  const std::string text = document.Text();
  for (const char* expected : {"Velmora",
                               "Browser",
                               "Source Code",
                               "Images",
                               "Back Directory",
                               "Send to Browser",
                               "Visit www.tarnwick.example",
                               "URL:",
                               "Add program to IE Tools Menu",
                               "Remove Program from IE Tools Menu",
                               "View Help",
                               "About this software",
                               "Show at Startup",
                               "~/.cache/Velmora",
                               "Ctrl+L",
                               "Alt+D",
                               "F6",
                               "F5",
                               "Ctrl+R",
                               "Alt+Left",
                               "Alt+Right",
                               "Escape",
                               "Alt+Up",
                               "Ctrl+O",
                               "Ctrl+1",
                               "\u2022\t",
                               "\u2014",
                               "\u2192"}) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected;
  }
  for (const char* leaked : {"\\", "fonttbl", "colortbl", "rtf1", "Monospace;", "generator",
                             "Tarnwick}", "panose", "pnlvlblt"}) {
    EXPECT_EQ(text.find(leaked), std::string::npos) << leaked;
  }
  const auto has = [&](auto predicate) {
    return std::any_of(document.runs.begin(), document.runs.end(), predicate);
  };
  EXPECT_TRUE(has([](const RtfRun& r) { return r.style.bold; }));
  EXPECT_TRUE(has([](const RtfRun& r) { return r.style.italic; }));
  EXPECT_TRUE(has([](const RtfRun& r) {
    return r.style.bold && r.style.color && r.style.fontSizeHalfPoints > 24 &&
           r.text.find("The three tabs") != std::string::npos;
  })) << "headings are bigger, bold and coloured";
  EXPECT_TRUE(has([](const RtfRun& r) { return r.style.fontName == "Monospace"; }));
  EXPECT_TRUE(has([](const RtfRun& r) { return r.style.fontName == "Sans"; }));
}

}  // namespace
}  // namespace velmora
