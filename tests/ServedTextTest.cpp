// The served bytes as text: which encoding a browser would read them in, and what becomes of
// the bytes that are not text in it.
#include <gtest/gtest.h>

#include <string>

#include "analysis/ServedText.h"
#include "support/Printable.h"

namespace velmora {
namespace {

using testing::Printable;

TEST(EncodingForLabel, TheLabelsBrowsersKnow) {
  const struct {
    std::string label;
    std::string encoding;
  } cases[] = {
      {"utf8", "UTF-8"},
      {" UTF-8\t", "UTF-8"},
      {"LATIN1", "windows-1252"},
      {"iso-8859-1", "windows-1252"},
      {"us-ascii", "windows-1252"},
      {"ISO_8859-2:1987", "ISO-8859-2"},
      {"iso88592", "ISO-8859-2"},
      {"iso8859-15", "ISO-8859-15"},
      {"iso-8859-9", "windows-1254"},
      {"iso-8859-8-i", "ISO-8859-8-I"},
      {"iso-8859-12", ""},
      {"cp1251", "windows-1251"},
      {"x-cp1250", "windows-1250"},
      {"windows-1259", ""},
      {"sjis", "Shift_JIS"},
      {"gb2312", "GBK"},
      {"utf-16", "UTF-16LE"},
      {"text/html; charset=\"koi8-r\"", "KOI8-R"},
      {"text/html;charset=euc-kr;x=y", "EUC-KR"},
      {"text/html", ""},
      {"utf-7", ""},
      {"", ""},
      {"no such thing", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(EncodingForLabel(c.label), c.encoding) << c.label;
}

TEST(PrescanEncoding, AMetaInTheFirstBytes) {
  const struct {
    std::string bytes;
    std::string encoding;
  } cases[] = {
      {"<meta charset=\"iso-8859-2\">", "ISO-8859-2"},
      {"<!DOCTYPE html><HTML><HEAD><META CHARSET=KOI8-R>", "KOI8-R"},
      {"<meta http-equiv=Content-Type content='text/html;charset=euc-kr'>", "EUC-KR"},
      {"<meta content=\"text/html; charset=sjis\" http-equiv=\"content-type\">", "Shift_JIS"},
      // Without http-equiv a content attribute names nothing.
      {"<meta name=x content=\"text/html; charset=sjis\">", ""},
      {"<!-- <meta charset=sjis> --><meta charset=latin2>", "ISO-8859-2"},
      {"<p title=\"<meta charset=sjis>\"><meta charset=latin2>", "ISO-8859-2"},
      {"<meta charset=bogus><meta charset=latin2>", "ISO-8859-2"},
      {"<meta charset=utf-16le>", "UTF-8"},
      {"<meta charset=\"latin2", ""},
      {std::string(1024, ' ') + "<meta charset=latin2>", ""},
      {"<metal charset=latin2>", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(PrescanEncoding(c.bytes), c.encoding) << c.bytes;
}

TEST(DecodeServedPage, TheEncodingAndEveryByteAccountedFor) {
  using enum EncodingOrigin;
  const struct {
    std::string bytes;
    std::string transport;
    std::string text;
    std::string encoding;
    EncodingOrigin origin;
  } cases[] = {
      {"caf\xC3\xA9", "", "caf\u00E9", "UTF-8", Content},
      {"caf\xE9", "", "caf\u00E9", "windows-1252", Content},
      {"\x80 \x81", "", "\u20AC \uFFFD", "windows-1252", Content},
      // Mostly UTF-8 with a stray byte stays UTF-8.
      {"\xC3\xA9\xC3\xA9 \xFF", "", "\u00E9\u00E9 \uFFFD", "UTF-8", Content},
      {"\xEF\xBB\xBFhi", "latin1", "hi", "UTF-8", ByteOrderMark},
      {std::string("\xFF\xFEh\0i\0", 6), "", "hi", "UTF-16LE", ByteOrderMark},
      {std::string("\xFE\xFF\0h\0i", 6), "", "hi", "UTF-16BE", ByteOrderMark},
      {"<meta charset=koi8-r>\xC1", "latin1", "<meta charset=koi8-r>\u00C1", "windows-1252",
       Transport},
      {"<meta charset=koi8-r>\xC1", "", "<meta charset=koi8-r>\u0430", "KOI8-R", Document},
      {"x\xE9", "bogus", "x\u00E9", "windows-1252", Content},
      // Bytes that are not text in the encoding, one U+FFFD each, never dropped.
      {"a\xFF"
       "b",
       "utf-8", "a\uFFFDb", "UTF-8", Transport},
      {"\x82\xA0\x82", "shift_jis", "\u3042\uFFFD", "Shift_JIS", Transport},
      {"\x81 x", "shift_jis", "\uFFFD x", "Shift_JIS", Transport},
      {std::string("h\0i", 3), "utf-16le", "h\uFFFD", "UTF-16LE", Transport},
      {std::string("\0\xD8h\0", 4), "utf-16le", "\uFFFDh", "UTF-16LE", Transport},
      {"\xB0", "euc-kr", "\uFFFD", "EUC-KR", Transport},
      {"\x1B$B$\"\x1B(B", "iso-2022-jp", "\u3042", "ISO-2022-JP", Transport},
      // A NUL is no character of a page either.
      {std::string("a\0b", 3), "", "a\uFFFDb", "UTF-8", Content},
      {std::string("a\0\xE9", 3), "", "a\uFFFD\u00E9", "windows-1252", Content},
      {std::string("a\0\0\0", 4), "utf-16le", "a\uFFFD", "UTF-16LE", Transport},
      {"", "", "", "UTF-8", Content},
  };
  for (const auto& c : cases) {
    const ServedText served = DecodeServedPage(c.bytes, c.transport);
    EXPECT_EQ(Printable(served.text), Printable(c.text))
        << Printable(c.bytes) << " / " << c.transport;
    EXPECT_EQ(served.encoding, c.encoding) << Printable(c.bytes) << " / " << c.transport;
    EXPECT_EQ(served.origin, c.origin) << Printable(c.bytes) << " / " << c.transport;
  }
}

}  // namespace
}  // namespace velmora
