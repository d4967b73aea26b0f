// The invariants of choosing and naming a page's pictures, checked on any page text: the fuzz
// target calls this after the analysis' own checks, and the random-page test does too.
#pragma once

#include <string>

namespace velmora {

// Takes the markup census of the page (with its page URL) and its title, and checks:
//  - one entry per picture: every census URL is in exactly one entry, as its picture or one of
//    its other addresses, and no entry lists its picture's own URL among its others;
//  - every order chooses each entry once, and "area" never puts a smaller known area first;
//  - for every name pattern, the names of the whole set are safe file names (valid UTF-8, not
//    empty, no "/", NUL or control character, not "." or "..", at most NAME_MAX bytes) and no
//    two are the same in any letter case;
//  - the page folder is two such names.
// Returns an empty string when all hold, else a message naming the first one broken.
std::string CheckPictureChoiceInvariants(const std::string& markup, const std::string& pageUrl);

}  // namespace velmora
