// Reading a page saved to a file the way the browser hands it to the analysis.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// The body element of a saved document as a browser serialises it, closely enough: from "<body"
// (any letter case) to the end of the last "</body>", or to the end of the text when that is
// missing; the whole text when there is no "<body" at all.
std::string_view ExtractBody(std::string_view document) noexcept;

// The href of the document's first <base> element, character references decoded, or empty.
std::string FindBaseHref(std::string_view document);

// The text of the document's first <title> element, character references decoded and blanks
// as they are, or empty.
std::string FindTitle(std::string_view document);

}  // namespace velmora
