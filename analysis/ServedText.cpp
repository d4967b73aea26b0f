#include "analysis/ServedText.h"

#include <glib.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <optional>
#include <utility>
#include <vector>

#include "analysis/HtmlText.h"
#include "analysis/TextSearch.h"
#include "analysis/Windows1252.h"

namespace velmora {

namespace {

constexpr std::string_view kUtf8 = "UTF-8";
constexpr std::string_view kUtf16Le = "UTF-16LE";
constexpr std::string_view kUtf16Be = "UTF-16BE";
constexpr std::string_view kWindows1252 = "windows-1252";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
constexpr std::size_t kPrescanLength = 1024;

// The encodings a page may come in, by the name browsers give them, with the name iconv knows
// them by. UTF-8 and windows-1252 are decoded here; the others through iconv.
struct Encoding {
  std::string_view name;
  const char* iconvName;
  std::size_t unit;  // bytes of one code unit: a stray one is skipped whole
};

constexpr Encoding kEncodings[] = {
    {kUtf8, nullptr, 1},
    {kWindows1252, nullptr, 1},
    {kUtf16Le, "UTF-16LE", 2},
    {kUtf16Be, "UTF-16BE", 2},
    {"IBM866", "IBM866", 1},
    {"ISO-8859-2", "ISO-8859-2", 1},
    {"ISO-8859-3", "ISO-8859-3", 1},
    {"ISO-8859-4", "ISO-8859-4", 1},
    {"ISO-8859-5", "ISO-8859-5", 1},
    {"ISO-8859-6", "ISO-8859-6", 1},
    {"ISO-8859-7", "ISO-8859-7", 1},
    {"ISO-8859-8", "ISO-8859-8", 1},
    {"ISO-8859-8-I", "ISO-8859-8", 1},
    {"ISO-8859-10", "ISO-8859-10", 1},
    {"ISO-8859-13", "ISO-8859-13", 1},
    {"ISO-8859-14", "ISO-8859-14", 1},
    {"ISO-8859-15", "ISO-8859-15", 1},
    {"ISO-8859-16", "ISO-8859-16", 1},
    {"KOI8-R", "KOI8-R", 1},
    {"KOI8-U", "KOI8-U", 1},
    {"macintosh", "MACINTOSH", 1},
    {"windows-874", "CP874", 1},
    {"windows-1250", "CP1250", 1},
    {"windows-1251", "CP1251", 1},
    {"windows-1253", "CP1253", 1},
    {"windows-1254", "CP1254", 1},
    {"windows-1255", "CP1255", 1},
    {"windows-1256", "CP1256", 1},
    {"windows-1257", "CP1257", 1},
    {"windows-1258", "CP1258", 1},
    {"GBK", "GB18030", 1},
    {"gb18030", "GB18030", 1},
    {"Big5", "BIG5-HKSCS", 1},
    {"EUC-JP", "EUC-JP", 1},
    {"ISO-2022-JP", "ISO-2022-JP", 1},
    {"Shift_JIS", "CP932", 1},
    {"EUC-KR", "CP949", 1},
};

struct Label {
  std::string_view label;
  std::string_view encoding;
};

// The labels that follow no pattern; "iso-8859-N", "iso8859-N", "iso_8859-N", "iso8859N",
// "windows-125N", "cp125N" and "x-cp125N" are read in EncodingForLabel.
constexpr Label kLabels[] = {
    {"unicode-1-1-utf-8", kUtf8},
    {"unicode11utf8", kUtf8},
    {"unicode20utf8", kUtf8},
    {"utf-8", kUtf8},
    {"utf8", kUtf8},
    {"x-unicode20utf8", kUtf8},
    {"866", "IBM866"},
    {"cp866", "IBM866"},
    {"csibm866", "IBM866"},
    {"ibm866", "IBM866"},
    {"csisolatin2", "ISO-8859-2"},
    {"iso-ir-101", "ISO-8859-2"},
    {"l2", "ISO-8859-2"},
    {"latin2", "ISO-8859-2"},
    {"csisolatin3", "ISO-8859-3"},
    {"iso-ir-109", "ISO-8859-3"},
    {"l3", "ISO-8859-3"},
    {"latin3", "ISO-8859-3"},
    {"csisolatin4", "ISO-8859-4"},
    {"iso-ir-110", "ISO-8859-4"},
    {"l4", "ISO-8859-4"},
    {"latin4", "ISO-8859-4"},
    {"csisolatincyrillic", "ISO-8859-5"},
    {"cyrillic", "ISO-8859-5"},
    {"iso-ir-144", "ISO-8859-5"},
    {"arabic", "ISO-8859-6"},
    {"asmo-708", "ISO-8859-6"},
    {"csiso88596e", "ISO-8859-6"},
    {"csiso88596i", "ISO-8859-6"},
    {"csisolatinarabic", "ISO-8859-6"},
    {"ecma-114", "ISO-8859-6"},
    {"iso-ir-127", "ISO-8859-6"},
    {"csisolatingreek", "ISO-8859-7"},
    {"ecma-118", "ISO-8859-7"},
    {"elot_928", "ISO-8859-7"},
    {"greek", "ISO-8859-7"},
    {"greek8", "ISO-8859-7"},
    {"iso-ir-126", "ISO-8859-7"},
    {"sun_eu_greek", "ISO-8859-7"},
    {"csiso88598e", "ISO-8859-8"},
    {"csisolatinhebrew", "ISO-8859-8"},
    {"hebrew", "ISO-8859-8"},
    {"iso-ir-138", "ISO-8859-8"},
    {"visual", "ISO-8859-8"},
    {"csiso88598i", "ISO-8859-8-I"},
    {"logical", "ISO-8859-8-I"},
    {"csisolatin6", "ISO-8859-10"},
    {"iso-ir-157", "ISO-8859-10"},
    {"l6", "ISO-8859-10"},
    {"latin6", "ISO-8859-10"},
    {"csisolatin9", "ISO-8859-15"},
    {"l9", "ISO-8859-15"},
    {"cskoi8r", "KOI8-R"},
    {"koi", "KOI8-R"},
    {"koi8", "KOI8-R"},
    {"koi8-r", "KOI8-R"},
    {"koi8_r", "KOI8-R"},
    {"koi8-ru", "KOI8-U"},
    {"koi8-u", "KOI8-U"},
    {"csmacintosh", "macintosh"},
    {"mac", "macintosh"},
    {"macintosh", "macintosh"},
    {"x-mac-roman", "macintosh"},
    {"dos-874", "windows-874"},
    {"tis-620", "windows-874"},
    {"windows-874", "windows-874"},
    {"ansi_x3.4-1968", kWindows1252},
    {"ascii", kWindows1252},
    {"cp819", kWindows1252},
    {"csisolatin1", kWindows1252},
    {"ibm819", kWindows1252},
    {"iso-ir-100", kWindows1252},
    {"l1", kWindows1252},
    {"latin1", kWindows1252},
    {"us-ascii", kWindows1252},
    {"csisolatin5", "windows-1254"},
    {"iso-ir-148", "windows-1254"},
    {"l5", "windows-1254"},
    {"latin5", "windows-1254"},
    {"chinese", "GBK"},
    {"csgb2312", "GBK"},
    {"csiso58gb231280", "GBK"},
    {"gb2312", "GBK"},
    {"gb_2312", "GBK"},
    {"gb_2312-80", "GBK"},
    {"gbk", "GBK"},
    {"iso-ir-58", "GBK"},
    {"x-gbk", "GBK"},
    {"gb18030", "gb18030"},
    {"big5", "Big5"},
    {"big5-hkscs", "Big5"},
    {"cn-big5", "Big5"},
    {"csbig5", "Big5"},
    {"x-x-big5", "Big5"},
    {"cseucpkdfmtjapanese", "EUC-JP"},
    {"euc-jp", "EUC-JP"},
    {"x-euc-jp", "EUC-JP"},
    {"csiso2022jp", "ISO-2022-JP"},
    {"iso-2022-jp", "ISO-2022-JP"},
    {"csshiftjis", "Shift_JIS"},
    {"ms932", "Shift_JIS"},
    {"ms_kanji", "Shift_JIS"},
    {"shift-jis", "Shift_JIS"},
    {"shift_jis", "Shift_JIS"},
    {"sjis", "Shift_JIS"},
    {"windows-31j", "Shift_JIS"},
    {"x-sjis", "Shift_JIS"},
    {"cseuckr", "EUC-KR"},
    {"csksc56011987", "EUC-KR"},
    {"euc-kr", "EUC-KR"},
    {"iso-ir-149", "EUC-KR"},
    {"korean", "EUC-KR"},
    {"ks_c_5601-1987", "EUC-KR"},
    {"ks_c_5601-1989", "EUC-KR"},
    {"ksc5601", "EUC-KR"},
    {"ksc_5601", "EUC-KR"},
    {"windows-949", "EUC-KR"},
    {"unicodefffe", kUtf16Be},
    {"utf-16be", kUtf16Be},
    {"csunicode", kUtf16Le},
    {"iso-10646-ucs-2", kUtf16Le},
    {"ucs-2", kUtf16Le},
    {"unicode", kUtf16Le},
    {"unicodefeff", kUtf16Le},
    {"utf-16", kUtf16Le},
    {"utf-16le", kUtf16Le},
};

const Encoding* FindEncoding(std::string_view name) {
  if (name.empty()) return nullptr;
  for (const Encoding& encoding : kEncodings) {
    if (encoding.name == name) return &encoding;
  }
  return nullptr;
}

// Tab, LF, FF, CR and space: the blanks of a label and of the prescan.
bool IsBlank(char c) {
  return c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

// The number at the start of `s` and what follows it; nothing when it does not start with one.
std::optional<std::pair<int, std::string_view>> LeadingNumber(std::string_view s) {
  int number = 0;
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), number);
  if (error != std::errc() || end == s.data()) return std::nullopt;
  return std::pair{number, s.substr(static_cast<std::size_t>(end - s.data()))};
}

// "iso-8859-N" and its spellings; "" when `label` is none of them.
std::string_view IsoEncoding(std::string_view label) {
  static constexpr std::string_view kPrefixes[] = {"iso-8859-", "iso8859-", "iso_8859-", "iso8859"};
  for (const std::string_view prefix : kPrefixes) {
    if (!label.starts_with(prefix)) continue;
    const auto number = LeadingNumber(label.substr(prefix.size()));
    if (!number) return {};
    const auto [n, rest] = *number;
    // iso_8859-N:YEAR; -e and -i of the Arabic and Hebrew parts.
    const bool year =
        prefix == "iso_8859-" && rest.starts_with(':') && LeadingNumber(rest.substr(1));
    const bool direction = (n == 6 || n == 8) && (rest == "-e" || rest == "-i");
    if (!rest.empty() && !year && !direction) return {};
    if (n == 8 && rest == "-i") return "ISO-8859-8-I";
    switch (n) {
      case 1:
        return kWindows1252;
      case 9:
        return "windows-1254";
      case 11:
        return "windows-874";
      case 12:
        return {};
      default:
        break;
    }
    const Encoding* encoding = FindEncoding("ISO-8859-" + std::to_string(n));
    return encoding ? encoding->name : std::string_view();
  }
  return {};
}

// "windows-125N", "cp125N", "x-cp125N"; "" when `label` is none of them.
std::string_view WindowsEncoding(std::string_view label) {
  static constexpr std::string_view kPrefixes[] = {"windows-", "x-cp", "cp"};
  for (const std::string_view prefix : kPrefixes) {
    if (!label.starts_with(prefix)) continue;
    const std::string_view number = label.substr(prefix.size());
    if (number.size() != 4 || !number.starts_with("125") || number[3] < '0' || number[3] > '8') {
      return {};
    }
    const Encoding* encoding = FindEncoding("windows-" + std::string(number));
    return encoding ? encoding->name : std::string_view();
  }
  return {};
}

// The charset that a Content-Type value names ("text/html; charset=utf-8"), as a browser reads
// it from a <meta http-equiv> element's content: "charset", blanks, "=", blanks, then a quoted
// value or one up to a blank or ";". "" when there is none.
std::string_view CharsetOfContentType(std::string_view content) {
  std::size_t position = 0;
  for (;;) {
    const std::size_t found = text::FindNoCase(content, "charset", position);
    if (found == text::npos) return {};
    std::size_t i = found + 7;
    while (i < content.size() && IsBlank(content[i])) ++i;
    if (i >= content.size() || content[i] != '=') {
      position = i;
      continue;
    }
    ++i;
    while (i < content.size() && IsBlank(content[i])) ++i;
    if (i >= content.size()) return {};
    const char quote = content[i];
    if (quote == '"' || quote == '\'') {
      const std::size_t close = content.find(quote, i + 1);
      if (close == std::string_view::npos) return {};
      return content.substr(i + 1, close - i - 1);
    }
    std::size_t end = i;
    while (end < content.size() && !IsBlank(content[end]) && content[end] != ';') ++end;
    return content.substr(i, end - i);
  }
}

// --- The prescan of the first bytes for a <meta> that names the encoding --------------------

struct Attribute {
  std::string name;  // in lower case
  std::string value;
};

// The attribute that starts at `p` (blanks and "/" before it skipped), read the way the prescan
// reads it: names and unquoted or quoted values in lower case. Nothing when the tag ends there;
// `end` is set when the bytes run out first (the prescan then gives up).
std::optional<Attribute> NextAttribute(std::string_view bytes, std::size_t& p, bool& end) {
  const auto at = [&](std::size_t i) { return i < bytes.size() ? bytes[i] : '\0'; };
  while (p < bytes.size() && (IsBlank(bytes[p]) || bytes[p] == '/')) ++p;
  if (p >= bytes.size()) {
    end = true;
    return std::nullopt;
  }
  if (bytes[p] == '>') return std::nullopt;
  Attribute attribute;
  // The name: up to "=" (not as its first byte), a blank, "/" or ">".
  for (;; ++p) {
    if (p >= bytes.size()) {
      end = true;
      return std::nullopt;
    }
    const char c = bytes[p];
    if (c == '=' && !attribute.name.empty()) break;
    if (IsBlank(c)) {
      while (p < bytes.size() && IsBlank(bytes[p])) ++p;
      if (at(p) != '=') {
        if (p >= bytes.size()) end = true;
        return end ? std::nullopt : std::optional(attribute);
      }
      break;
    }
    if (c == '/' || c == '>') return attribute;
    attribute.name.push_back(g_ascii_tolower(c));
  }
  ++p;  // the "="
  while (p < bytes.size() && IsBlank(bytes[p])) ++p;
  if (p >= bytes.size()) {
    end = true;
    return std::nullopt;
  }
  const char quote = bytes[p];
  if (quote == '"' || quote == '\'') {
    const std::size_t close = bytes.find(quote, p + 1);
    if (close == std::string_view::npos) {
      end = true;
      return std::nullopt;
    }
    for (std::size_t i = p + 1; i < close; ++i)
      attribute.value.push_back(g_ascii_tolower(bytes[i]));
    p = close + 1;
    return attribute;
  }
  if (quote == '>') return attribute;
  for (; p < bytes.size() && !IsBlank(bytes[p]) && bytes[p] != '>'; ++p) {
    attribute.value.push_back(g_ascii_tolower(bytes[p]));
  }
  if (p >= bytes.size()) {
    end = true;
    return std::nullopt;
  }
  return attribute;
}

// The encoding that the <meta> element whose attributes start at `p` names; "" when it names
// none. `end` as in NextAttribute.
std::string_view MetaEncoding(std::string_view bytes, std::size_t& p, bool& end) {
  std::vector<std::string> seen;
  bool gotPragma = false;
  enum class NeedPragma { Unknown, Yes, No } needPragma = NeedPragma::Unknown;
  std::string_view encoding;
  while (const std::optional<Attribute> attribute = NextAttribute(bytes, p, end)) {
    if (std::find(seen.begin(), seen.end(), attribute->name) != seen.end()) continue;
    seen.push_back(attribute->name);
    if (attribute->name == "http-equiv") {
      gotPragma = gotPragma || attribute->value == "content-type";
    } else if (attribute->name == "content" && encoding.empty()) {
      const std::string_view charset = CharsetOfContentType(attribute->value);
      if (!charset.empty()) {
        encoding = EncodingForLabel(charset);
        needPragma = NeedPragma::Yes;
      }
    } else if (attribute->name == "charset") {
      encoding = EncodingForLabel(attribute->value);
      needPragma = NeedPragma::No;
    }
  }
  if (end || needPragma == NeedPragma::Unknown || encoding.empty()) return {};
  if (needPragma == NeedPragma::Yes && !gotPragma) return {};
  // A page that names UTF-16 in itself cannot be UTF-16: its markup was readable as ASCII.
  if (encoding == kUtf16Le || encoding == kUtf16Be) return kUtf8;
  return encoding;
}

// --- Decoders ---------------------------------------------------------------------------------

void AppendCodePoint(std::string& out, char32_t cp) {
  char buffer[6];
  out.append(buffer,
             static_cast<std::size_t>(g_unichar_to_utf8(static_cast<gunichar>(cp), buffer)));
}

std::string DecodeWindows1252(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 4);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == 0) {
      out.append(kReplacement);
    } else if (byte < 0x80) {
      out.push_back(c);
    } else if (byte < 0xA0) {
      const char32_t cp = kWindows1252High[byte - 0x80];
      if (cp == 0) {
        out.append(kReplacement);
      } else {
        AppendCodePoint(out, cp);
      }
    } else {
      AppendCodePoint(out, byte);
    }
  }
  return out;
}

// The bytes through iconv; each stray code unit and a cut-off sequence at the end become U+FFFD.
// Nothing when this system's iconv lacks the encoding.
std::optional<std::string> DecodeWithIconv(std::string_view bytes, const Encoding& encoding) {
  GIConv converter = g_iconv_open("UTF-8", encoding.iconvName);
  if (converter == reinterpret_cast<GIConv>(-1)) return std::nullopt;
  std::string out(bytes.size() * 2 + 16, '\0');
  gchar* in = const_cast<gchar*>(bytes.data());
  gsize inLeft = bytes.size();
  gsize used = 0;
  const auto convert = [&](gchar** from, gsize* fromLeft) {
    gchar* to = out.data() + used;
    gsize toLeft = out.size() - used;
    const gsize result = g_iconv(converter, from, fromLeft, &to, &toLeft);
    const int error = errno;
    used = static_cast<gsize>(to - out.data());
    return result == static_cast<gsize>(-1) ? error : 0;
  };
  for (;;) {
    const int error = convert(&in, &inLeft);
    if (error == 0) break;
    if (error == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    if (out.size() - used < kReplacement.size()) out.resize(out.size() * 2);
    out.replace(used, kReplacement.size(), kReplacement);
    used += kReplacement.size();
    if (error == EILSEQ) {
      const gsize skip = std::min<gsize>(encoding.unit, inLeft);
      in += skip;
      inLeft -= skip;
      if (inLeft == 0) break;
      continue;
    }
    break;  // EINVAL: the bytes end inside a character
  }
  // A stateful encoding (ISO-2022-JP) may have a last shift to write.
  while (convert(nullptr, nullptr) == E2BIG) out.resize(out.size() * 2);
  g_iconv_close(converter);
  out.resize(used);
  return html::WellFormedUtf8(out);  // a decoded NUL becomes U+FFFD too
}

// True when the bytes read better as UTF-8 than as windows-1252: valid (a NUL aside), or with
// more well-formed multi-byte characters than stray bytes.
bool ReadsAsUtf8(std::string_view bytes) {
  std::size_t characters = 0;
  std::size_t stray = 0;
  const char* p = bytes.data();
  const char* const end = p + bytes.size();
  while (p < end) {
    const auto byte = static_cast<unsigned char>(*p);
    if (byte < 0x80) {
      ++p;
      continue;
    }
    const gunichar c = g_utf8_get_char_validated(p, end - p);
    if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) {
      ++stray;
      ++p;
    } else {
      ++characters;
      p = g_utf8_next_char(p);
    }
  }
  return stray == 0 || characters > stray;
}

// The encoding the bytes are read in when nothing names one.
const Encoding& EncodingByContent(std::string_view bytes) {
  return *FindEncoding(ReadsAsUtf8(bytes) ? kUtf8 : kWindows1252);
}

ServedText Decode(std::string_view bytes, const Encoding& encoding, EncodingOrigin origin) {
  ServedText served;
  served.encoding = std::string(encoding.name);
  served.origin = origin;
  if (encoding.name == kUtf8) {
    served.text = html::WellFormedUtf8(bytes);
  } else if (encoding.name == kWindows1252) {
    served.text = DecodeWindows1252(bytes);
  } else if (std::optional<std::string> text = DecodeWithIconv(bytes, encoding)) {
    served.text = std::move(*text);
  } else {
    return Decode(bytes, EncodingByContent(bytes), EncodingOrigin::Content);
  }
  return served;
}

}  // namespace

std::string_view EncodingForLabel(std::string_view label) {
  if (label.find_first_of(";/") != std::string_view::npos) {
    label = CharsetOfContentType(label);
  }
  while (!label.empty() && IsBlank(label.front())) label.remove_prefix(1);
  while (!label.empty() && IsBlank(label.back())) label.remove_suffix(1);
  constexpr std::size_t kLongestLabel = 20;
  if (label.empty() || label.size() > kLongestLabel) return {};
  std::string lower(label);
  for (char& c : lower) c = g_ascii_tolower(c);
  for (const Label& known : kLabels) {
    if (known.label == lower) return known.encoding;
  }
  if (const std::string_view iso = IsoEncoding(lower); !iso.empty()) return iso;
  return WindowsEncoding(lower);
}

std::string_view PrescanEncoding(std::string_view bytes) {
  bytes = bytes.substr(0, kPrescanLength);
  const auto startsWith = [&](std::size_t p, std::string_view s) {
    return text::StartsWithNoCase(bytes.substr(p), s);
  };
  const auto isLetter = [&](std::size_t p) {
    return p < bytes.size() && g_ascii_isalpha(bytes[p]);
  };
  std::size_t p = 0;
  while (p < bytes.size()) {
    bool end = false;
    if (startsWith(p, "<!--")) {
      const std::size_t close = bytes.find("-->", p + 2);  // "<!-->" is a whole comment
      if (close == std::string_view::npos) return {};
      p = close + 3;
      continue;
    }
    if (startsWith(p, "<meta") && p + 5 < bytes.size() &&
        (IsBlank(bytes[p + 5]) || bytes[p + 5] == '/')) {
      p += 6;
      const std::string_view encoding = MetaEncoding(bytes, p, end);
      if (!encoding.empty()) return encoding;
      if (end) return {};
    } else if ((bytes[p] == '<' && isLetter(p + 1)) || (startsWith(p, "</") && isLetter(p + 2))) {
      // Any other tag: its name, then its attributes, which may hold a ">" in quotes.
      while (p < bytes.size() && !IsBlank(bytes[p]) && bytes[p] != '>') ++p;
      while (NextAttribute(bytes, p, end)) {
      }
      if (end) return {};
    } else if (startsWith(p, "<!") || startsWith(p, "</") || startsWith(p, "<?")) {
      p = bytes.find('>', p + 1);
      if (p == std::string_view::npos) return {};
    }
    ++p;
  }
  return {};
}

ServedText DecodeServedPage(std::string_view bytes, std::string_view transportCharset) {
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    return Decode(bytes.substr(3), *FindEncoding(kUtf8), EncodingOrigin::ByteOrderMark);
  }
  if (bytes.starts_with("\xFF\xFE")) {
    return Decode(bytes.substr(2), *FindEncoding(kUtf16Le), EncodingOrigin::ByteOrderMark);
  }
  if (bytes.starts_with("\xFE\xFF")) {
    return Decode(bytes.substr(2), *FindEncoding(kUtf16Be), EncodingOrigin::ByteOrderMark);
  }
  if (const Encoding* encoding = FindEncoding(EncodingForLabel(transportCharset))) {
    return Decode(bytes, *encoding, EncodingOrigin::Transport);
  }
  if (const Encoding* encoding = FindEncoding(PrescanEncoding(bytes))) {
    return Decode(bytes, *encoding, EncodingOrigin::Document);
  }
  return Decode(bytes, EncodingByContent(bytes), EncodingOrigin::Content);
}

}  // namespace velmora
