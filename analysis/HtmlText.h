// HTML text helpers of the page analysis: reading attribute text the way a browser reads it,
// and escaping what the analysis writes into its generated pages.
#pragma once

#include <string>
#include <string_view>

namespace velmora::html {

// Decodes the character references of an attribute value: numeric ones (&#47; &#x2F;, with or
// without the closing ";") and the named ones that occur in URLs (&amp; &lt; &gt; &quot; &apos;
// &nbsp;). As in a browser, a named reference without ";" that is followed by a letter, a digit
// or "=" stays as it is (so "?a=1&amp=2" keeps its "&amp="); unknown references stay as text.
std::string DecodeCharacterReferences(std::string_view value);

// Escaped for use inside a quoted attribute value (either quote): & < > " ' become references.
std::string EscapeAttribute(std::string_view text);

// Escaped for use as element text: & < > " ' become references.
std::string EscapeText(std::string_view text);

// True when the text is valid UTF-8 without NUL characters.
bool IsWellFormedUtf8(std::string_view text) noexcept;

// The text as valid UTF-8 without NUL characters: every invalid byte and every NUL becomes
// U+FFFD, as a browser shows them.
std::string WellFormedUtf8(std::string_view text);

}  // namespace velmora::html
