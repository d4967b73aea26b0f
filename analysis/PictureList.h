// Lists of a page's pictures for scripts and spreadsheets: the census items as velmora-analyze
// --json writes them, and the same fields as CSV. The window's Export List and the command-line
// tool write them through these functions, so a script reads both alike.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "analysis/ImageCensus.h"

typedef struct _JsonBuilder JsonBuilder;

namespace velmora {

// Adds one census item to the array `json` is building: an object with url, name, kind, width,
// height, type, bytes and frame, and file when there is `file` (the file it was saved as; "" for
// one that could not be saved).
void AddCensusItem(JsonBuilder* json, const CensusImage& image, const std::string* file = nullptr);

// What `json` has built, as indented JSON text ending in a line break.
std::string JsonText(JsonBuilder* json);

// {"url": pageUrl, "census": [the items]}, as JsonText writes it.
std::string PictureListJson(std::string_view pageUrl,
                            const std::vector<const CensusImage*>& pictures);

// A header line "url,name,kind,width,height,type,bytes,frame" and one line per picture, lines
// ending in CR LF, a field quoted when it holds a comma, a quote or a line break (RFC 4180). A
// text field that a spreadsheet would take for a formula (it starts with "=", "+", "-", "@", a
// tab or a carriage return) gets a "'" in front.
std::string PictureListCsv(const std::vector<const CensusImage*>& pictures);

}  // namespace velmora
