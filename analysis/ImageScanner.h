// The two image scanners: one routine that finds tags of one kind in a page's HTML, cuts the
// value of one attribute from each, resolves it and records it once per file name. The
// image-tag scanner reads "<img ... src=" (pair 1), the linked-image scanner "<a ... href="
// on links that mention an image file (pair 0).
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/TextSink.h"

namespace velmora {

class ReferenceResolver;

struct ScannerParams {
  std::string_view opener;       // the tag opener, in lower case as the scratch file writes it
  std::string_view key;          // the attribute key whose value is cut
  std::string_view removeFirst;  // removed from the page (any letter case) before the scan
  bool needsImageExtension;      // a tag line must hold ">" and an image extension
};

inline constexpr ScannerParams kImageTagScan{"<img", "src=", "", false};
inline constexpr ScannerParams kImageLinkScan{"<a ", "href=", "cgi-bin/i/", true};

// Extensions that mark a link line as leading to an image (any letter case, anywhere on it).
inline constexpr std::array<std::string_view, 8> kImageExtensions{
    ".bmp", ".gif", ".jpeg", ".jpg", ".png", ".webp", ".svg", ".avif"};

// Calls `visit` with every tag line of the page: the text from a tag opener (any letter case)
// to the next opener or the end of the source line, whichever comes first. A tag whose ">" is
// not on its own line continues over the following lines up to the line that holds its ">"
// (never past the next opener); its line breaks are read as single spaces.
void ForEachTagLine(std::string_view page, const ScannerParams& params,
                    const std::function<void(std::string_view)>& visit);

// True when the text holds one of kImageExtensions in any letter case.
bool HasImageExtension(std::string_view line) noexcept;

// The value of the first attribute key of a tag line, as it stands in the page (character
// references not decoded), or empty when the line has none: no key, or a ">" before the key.
// A quoted value ends at its closing quote, an unquoted one at the first blank or ">";
// double quotes are removed from the value.
std::string CutAttributeValue(std::string_view tagLine, std::string_view key);

// Runs one scanner over a page and appends each newly found reference to the pair: its absolute
// URL to `links`, its file name (CleanLinkValue) to `names`. A name already in `names` is not
// recorded again. Writes the scanner's scratch text into `scratch`: each tag line with the
// opener in lower case, followed by CR LF.
void ScanReferences(std::string_view page, const ReferenceResolver& resolver,
                    const ScannerParams& params, std::vector<std::string>& links,
                    std::vector<std::string>& names, TextSink& scratch);

// The same, returning the scratch text with one more CR LF at the end, as the scratch file
// holds it.
std::string ScanReferences(std::string_view page, const ReferenceResolver& resolver,
                           const ScannerParams& params, std::vector<std::string>& links,
                           std::vector<std::string>& names);

}  // namespace velmora
