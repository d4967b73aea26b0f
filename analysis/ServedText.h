// The text of a page as the server sent it: its bytes decoded with the page's character encoding,
// found as a browser finds it. Nothing is dropped: every byte that is not text in that encoding
// becomes U+FFFD, and so does every NUL, so the text is always valid UTF-8 without NUL.
//
// Which encoding, first found first taken:
//  1. a byte order mark (UTF-8, UTF-16LE, UTF-16BE), which is not part of the text;
//  2. the charset the transport gave (the Content-Type header), when it names a known encoding;
//  3. a <meta charset> or <meta http-equiv="Content-Type" content="...charset=..."> in the first
//     1024 bytes, read as a browser's prescan reads them (UTF-16 named there means UTF-8);
//  4. otherwise UTF-8 when the bytes read as UTF-8: when they are valid, or when they hold more
//     well-formed multi-byte characters than stray bytes (a UTF-8 page with a few broken bytes);
//     else windows-1252, the encoding of the old pages that declare none, in which every byte is a
//     character.
// In windows-1252 the five bytes that it leaves undefined (0x81 0x8D 0x8F 0x90 0x9D) are no
// characters: they become U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

enum class EncodingOrigin { ByteOrderMark, Transport, Document, Content };

struct ServedText {
  std::string text;      // valid UTF-8 without NUL
  std::string encoding;  // the encoding's name: "UTF-8", "windows-1252", "Shift_JIS", ...
  EncodingOrigin origin = EncodingOrigin::Content;
};

// The encoding that a label names ("latin1", " UTF8 ", "sjis", "iso-8859-2"), by the labels
// browsers know, in any letter case; "" when the label names none. A whole Content-Type value
// ("text/html; charset=utf-8") is read for its charset parameter.
std::string_view EncodingForLabel(std::string_view label);

// The encoding that the first 1024 bytes declare in a <meta> element; "" when they declare none.
std::string_view PrescanEncoding(std::string_view bytes);

// The served bytes as text; `transportCharset` is the charset of the Content-Type header (or the
// whole header value), "" when there was none.
ServedText DecodeServedPage(std::string_view bytes, std::string_view transportCharset);

}  // namespace velmora
