// The read of a finished page: the script (hosted/page-read.js, compiled in) that returns the
// body's outerHTML, the document's base URI and the image census as JSON, and the reader of that
// census.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "analysis/ImageCensus.h"

namespace velmora {

extern const char* const kPageReadScript;
// Runs at the start of every frame and reports what asked for each resource (picture-origins.js).
extern const char* const kPictureOriginsScript;

// The census records of a page read (see page-read.js). Text that is not JSON gives nothing; a
// record that is not what the script writes is skipped.
std::vector<ImageElement> ParseImageElements(std::string_view json);

// A JSON array of strings; what is not a string (or not JSON) gives nothing.
std::vector<std::string> ParseStringList(std::string_view json);

}  // namespace velmora
