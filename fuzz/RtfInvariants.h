// The invariants of the rich-text reader, checked on any input: the fuzz target calls this after
// every input, and the reader's tests call it on mutated copies of the shipped help file.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Reads the input twice with ReadRtf and checks what the reader must always guarantee:
//  - both reads give the same document;
//  - every run has text, valid UTF-8 without NUL or control characters other than tab and
//    line end;
//  - two neighbouring runs never have the same style;
//  - every font size is within the reader's bounds, every colour within 0xFFFFFF, every font
//    name valid UTF-8 without control characters;
//  - the text is at most three bytes per input byte (nothing grows out of proportion);
//  - no control word leaks into the text: unless the input escapes a backslash (\\, \'5c or
//    \u92), the text holds no backslash at all.
// Returns an empty string when all hold, else a message naming the first one broken.
std::string CheckRtfInvariants(std::string_view rtf);

// True when the input has an escape that may put a backslash into the text: "\\", "\'5c" or a
// \u whose number stands for U+005C.
bool CanEscapeBackslash(std::string_view rtf);

}  // namespace velmora
