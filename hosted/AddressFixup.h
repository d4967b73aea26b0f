// What the address box does with the text a person types before the browser control loads it.
// WebKit takes only complete URIs ("localhost:8765/" reads as the scheme "localhost", "host/"
// fails), so the control turns typed text into a URI here, as a desktop browser's address box
// does. No GTK here: these are pure text functions, tested without a display.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// The URI to load for text typed into an address box:
//   blanks around it dropped; nothing at all is "about:blank";
//   "/path" is a local file and "~" or "~/path" a file in the home folder (file URIs);
//   "host:port", "host:port/path" (digits after the first ":") is a host, not a scheme;
//   a text that starts with a scheme and ":" ("https:", "about:", "data:") stays as typed;
//   everything else is a web address and gets "http://".
std::string AddressToUri(std::string_view typed);

// The URI to load for a local file chosen in a file dialog: a file URI of the path (a relative
// path is taken from the current folder); a text that is already a URI, or a "~" path, goes
// through AddressToUri.
std::string PathToUri(std::string_view path);

// The URI to open for the argument of "velmora ARG" (a desktop's "Open With", a default
// browser's link): the file URI of an existing local file or folder it names (a relative path
// from the current folder), otherwise what the address box makes of it as typed.
std::string CommandLineAddress(std::string_view argument);

// True when the text reads as "host:port" with an optional path, query or fragment: no "/"
// before the first ":", and one or more digits after it up to "/", "?", "#" or the end.
bool IsHostAndPort(std::string_view text) noexcept;

}  // namespace velmora
