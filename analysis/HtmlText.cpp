#include "analysis/HtmlText.h"

#include <glib.h>

#include <array>
#include <cstdint>
#include <optional>

#include "analysis/Windows1252.h"

namespace velmora::html {

namespace {

struct NamedReference {
  std::string_view name;
  std::string_view text;
};

// The references a URL realistically contains; a browser's serialiser writes only "&amp;",
// "&quot;" and "&nbsp;" into attribute values.
constexpr std::array<NamedReference, 6> kNamedReferences{{
    {"amp", "&"},
    {"lt", "<"},
    {"gt", ">"},
    {"quot", "\""},
    {"apos", "'"},
    {"nbsp", "\xC2\xA0"},
}};

constexpr char32_t kReplacementCharacter = 0xFFFD;

void AppendUtf8(std::string& out, char32_t cp) {
  char buffer[6];
  const gint length = g_unichar_to_utf8(static_cast<gunichar>(cp), buffer);
  out.append(buffer, static_cast<std::size_t>(length));
}

char32_t SanitizeCodePoint(std::uint64_t cp) {
  if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return kReplacementCharacter;
  // Numeric references to C1 controls name the windows-1252 characters instead; the five that
  // windows-1252 leaves undefined stay as they are.
  if (cp >= 0x80 && cp <= 0x9F) {
    const char32_t named = kWindows1252High[cp - 0x80];
    return named != 0 ? named : static_cast<char32_t>(cp);
  }
  return static_cast<char32_t>(cp);
}

// A numeric reference starting at s[0] == '&', s[1] == '#'. Returns its length, or nothing.
std::optional<std::size_t> DecodeNumeric(std::string_view s, std::string& out) {
  std::size_t i = 2;
  const bool hex = i < s.size() && (s[i] == 'x' || s[i] == 'X');
  if (hex) ++i;
  const std::size_t digitsStart = i;
  std::uint64_t cp = 0;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (hex && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (hex && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      break;
    }
    if (cp <= 0x10FFFF) cp = cp * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
  }
  if (i == digitsStart) return std::nullopt;
  if (i < s.size() && s[i] == ';') ++i;
  AppendUtf8(out, SanitizeCodePoint(cp));
  return i;
}

std::optional<std::size_t> DecodeNamed(std::string_view s, std::string& out) {
  for (const NamedReference& ref : kNamedReferences) {
    const std::string_view body = s.substr(1);
    if (body.substr(0, ref.name.size()) != ref.name) continue;
    const std::size_t end = 1 + ref.name.size();
    if (end < s.size() && s[end] == ';') {
      out.append(ref.text);
      return end + 1;
    }
    // Without ";", an attribute keeps the text when a letter, digit or "=" follows.
    if (end < s.size() && (g_ascii_isalnum(s[end]) || s[end] == '=')) return std::nullopt;
    out.append(ref.text);
    return end;
  }
  return std::nullopt;
}

std::string Escape(std::string_view text) {
  // Most URLs hold nothing to escape.
  const std::size_t first = text.find_first_of("&<>\"'");
  if (first == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  out.append(text.substr(0, first));
  for (char c : text.substr(first)) {
    switch (c) {
      case '&':
        out.append("&amp;");
        break;
      case '<':
        out.append("&lt;");
        break;
      case '>':
        out.append("&gt;");
        break;
      case '"':
        out.append("&quot;");
        break;
      case '\'':
        out.append("&#39;");
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

}  // namespace

std::string DecodeCharacterReferences(std::string_view value) {
  if (value.find('&') == std::string_view::npos) return std::string(value);
  std::string out;
  out.reserve(value.size());
  std::size_t i = 0;
  while (i < value.size()) {
    const std::size_t amp = value.find('&', i);
    if (amp == std::string_view::npos) {
      out.append(value.substr(i));
      break;
    }
    out.append(value.substr(i, amp - i));
    const std::string_view rest = value.substr(amp);
    std::optional<std::size_t> used =
        (rest.size() > 1 && rest[1] == '#') ? DecodeNumeric(rest, out) : DecodeNamed(rest, out);
    if (used) {
      i = amp + *used;
    } else {
      out.push_back('&');
      i = amp + 1;
    }
  }
  return out;
}

std::string EscapeAttribute(std::string_view text) {
  return Escape(text);
}

std::string EscapeText(std::string_view text) {
  return Escape(text);
}

bool IsWellFormedUtf8(std::string_view text) noexcept {
  // g_utf8_validate_len treats a NUL as invalid, so one check covers both.
  return g_utf8_validate_len(text.data(), text.size(), nullptr);
}

std::string WellFormedUtf8(std::string_view text) {
  if (IsWellFormedUtf8(text)) return std::string(text);
  // Each invalid byte (and each NUL) becomes one U+FFFD; nothing else changes.
  gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
  std::string out(valid);
  g_free(valid);
  return out;
}

}  // namespace velmora::html
