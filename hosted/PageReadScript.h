// The script that reads a finished page (hosted/page-read.js, compiled in): it returns the
// body's outerHTML, the document's base URI and the image census as JSON.
#pragma once

namespace velmora {

extern const char* const kPageReadScript;

}  // namespace velmora
