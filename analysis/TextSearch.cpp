#include "analysis/TextSearch.h"

#include <cstring>

namespace velmora::text {

namespace {

bool EqualNoCase(const char* a, std::string_view b) noexcept {
  for (std::size_t i = 0; i < b.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

bool IsAsciiLetter(char c) noexcept {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

std::size_t FindNoCase(std::string_view haystack, std::string_view needle,
                       std::size_t from) noexcept {
  if (needle.empty()) return from <= haystack.size() ? from : npos;
  if (from >= haystack.size() || haystack.size() - from < needle.size()) return npos;
  const char* const begin = haystack.data();
  const char* const last = begin + (haystack.size() - needle.size());  // last possible start

  // A character without case ("<" of "<img", "=" of "src=") is found with memchr; the rest of
  // the needle is then compared around it.
  std::size_t anchor = 0;
  while (anchor < needle.size() && IsAsciiLetter(needle[anchor])) ++anchor;
  if (anchor < needle.size()) {
    const char key = needle[anchor];
    const char* p = begin + from + anchor;
    const char* const lastKey = last + anchor;
    while (p <= lastKey) {
      const void* hit = std::memchr(p, key, static_cast<std::size_t>(lastKey - p) + 1);
      if (hit == nullptr) return npos;
      const char* start = static_cast<const char*>(hit) - anchor;
      if (EqualNoCase(start, needle)) return static_cast<std::size_t>(start - begin);
      p = static_cast<const char*>(hit) + 1;
    }
    return npos;
  }
  const char lowerFirst = AsciiLower(needle.front());
  for (const char* p = begin + from; p <= last; ++p) {
    if (AsciiLower(*p) == lowerFirst && EqualNoCase(p, needle)) {
      return static_cast<std::size_t>(p - begin);
    }
  }
  return npos;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) noexcept {
  return s.size() >= prefix.size() && EqualNoCase(s.data(), prefix);
}

bool EndsWithNoCase(std::string_view s, std::string_view suffix) noexcept {
  return s.size() >= suffix.size() && EqualNoCase(s.data() + (s.size() - suffix.size()), suffix);
}

std::string ReplaceAllNoCase(std::string_view s, std::string_view needle,
                             std::string_view replacement) {
  std::string out;
  std::size_t pos = needle.empty() ? npos : FindNoCase(s, needle);
  if (pos == npos) return std::string(s);
  out.reserve(s.size());
  std::size_t done = 0;
  while (pos != npos) {
    out.append(s.substr(done, pos - done));
    out.append(replacement);
    done = pos + needle.size();
    pos = FindNoCase(s, needle, done);
  }
  out.append(s.substr(done));
  return out;
}

std::string RemoveChar(std::string_view s, char c) {
  std::string out;
  out.reserve(s.size());
  for (char ch : s) {
    if (ch != c) out.push_back(ch);
  }
  return out;
}

std::size_t FindLineBreak(std::string_view s, std::size_t from) noexcept {
  for (std::size_t i = from; i < s.size(); ++i) {
    if (s[i] == '\r' || s[i] == '\n') return i;
  }
  return s.size();
}

std::size_t LineBreakLength(std::string_view s, std::size_t pos) noexcept {
  if (pos >= s.size()) return 0;
  if (s[pos] == '\r' && pos + 1 < s.size() && s[pos + 1] == '\n') return 2;
  return (s[pos] == '\r' || s[pos] == '\n') ? 1 : 0;
}

std::string_view TrimAsciiBlanks(std::string_view s) noexcept {
  while (!s.empty() && IsAsciiBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsAsciiBlank(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace velmora::text
