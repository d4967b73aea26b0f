#include "analysis/SavedPage.h"

#include "analysis/HtmlText.h"
#include "analysis/ImageScanner.h"
#include "analysis/TextSearch.h"

namespace velmora {

namespace {

using text::npos;

// True when the tag name that starts at `at` ends right after `nameLength` characters.
bool TagNameEndsAt(std::string_view s, std::size_t end) noexcept {
  return end >= s.size() || text::IsAsciiBlank(s[end]) || s[end] == '>' || s[end] == '/';
}

std::size_t FindTag(std::string_view s, std::string_view opener, std::size_t from = 0) {
  for (std::size_t at = text::FindNoCase(s, opener, from); at != npos;
       at = text::FindNoCase(s, opener, at + 1)) {
    if (TagNameEndsAt(s, at + opener.size())) return at;
  }
  return npos;
}

}  // namespace

std::string_view ExtractBody(std::string_view document) noexcept {
  const std::size_t open = FindTag(document, "<body");
  if (open == npos) return document;
  std::size_t close = npos;
  for (std::size_t at = FindTag(document, "</body", open); at != npos;
       at = FindTag(document, "</body", at + 1)) {
    close = at;
  }
  if (close == npos) return document.substr(open);
  const std::size_t gt = document.find('>', close);
  return document.substr(open, gt == npos ? npos : gt + 1 - open);
}

std::string FindBaseHref(std::string_view document) {
  constexpr ScannerParams kBaseTag{"<base", "href=", "", false};
  std::string href;
  ForEachTagLine(document, kBaseTag, [&](std::string_view line) {
    if (!href.empty() || !TagNameEndsAt(line, kBaseTag.opener.size())) return;
    href = html::DecodeCharacterReferences(CutAttributeValue(line, kBaseTag.key));
  });
  return href;
}

std::string FindTitle(std::string_view document) {
  const std::size_t open = FindTag(document, "<title");
  if (open == npos) return {};
  const std::size_t start = document.find('>', open);
  if (start == npos) return {};
  const std::size_t close = FindTag(document, "</title", start);
  return html::DecodeCharacterReferences(
      document.substr(start + 1, close == npos ? npos : close - start - 1));
}

}  // namespace velmora
