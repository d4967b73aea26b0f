// Plain-text searching as the page analysis does it: byte strings, positions from 0,
// and "any letter case" meaning ASCII letters match their other case (nothing else).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora::text {

inline constexpr std::size_t npos = std::string_view::npos;

constexpr char AsciiLower(char c) noexcept {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// First position at or after `from` where `needle` occurs in any letter case.
std::size_t FindNoCase(std::string_view haystack, std::string_view needle,
                       std::size_t from = 0) noexcept;

inline bool ContainsNoCase(std::string_view haystack, std::string_view needle) noexcept {
  return FindNoCase(haystack, needle) != npos;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) noexcept;
bool EndsWithNoCase(std::string_view s, std::string_view suffix) noexcept;

// Every occurrence of `needle` in any letter case replaced by `replacement`, in one pass from
// left to right without overlaps; the result is not searched again.
std::string ReplaceAllNoCase(std::string_view s, std::string_view needle,
                             std::string_view replacement);

// Every occurrence of the single character `c` removed.
std::string RemoveChar(std::string_view s, char c);

// A line ends at CR LF, at a lone CR or at a lone LF. Returns the position of the first line
// break at or after `from` (s.size() when there is none).
std::size_t FindLineBreak(std::string_view s, std::size_t from) noexcept;

// The length of the line break that starts at `pos` (2 for CR LF, 1 for a lone CR or LF).
std::size_t LineBreakLength(std::string_view s, std::size_t pos) noexcept;

constexpr bool IsAsciiBlank(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::string_view TrimAsciiBlanks(std::string_view s) noexcept;

}  // namespace velmora::text
