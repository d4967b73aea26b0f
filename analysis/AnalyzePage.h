// The page analysis that runs each time the Browser pane finishes a page: it records the images
// the page shows (pair 1) and the image files it links to (pair 0), writes the work files, and
// names the two local pages that the "Source Code" and "Images" panes then load.
//
// Start here: AnalyzePage is the one call the browser window makes; velmora-analyze makes the
// same call for a saved page.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "analysis/ImageCensus.h"
#include "analysis/LoadedPictures.h"
#include "analysis/WorkFiles.h"

namespace velmora {

// The two list pairs of the analysis. Row i of Links[k] is an absolute URL, row i of frmList[k]
// its file name, the key that keeps a name from being recorded twice within a pair.
// Pair 0: image files the page links to. Pair 1: images the page shows through image tags.
struct ListPairs {
  std::array<std::vector<std::string>, 2> Links;
  std::array<std::vector<std::string>, 2> frmList;

  void Clear() {
    Links[0].clear();
    frmList[0].clear();
    Links[1].clear();
    frmList[1].clear();
  }
};

inline constexpr int kLinkedImagesPair = 0;
inline constexpr int kShownImagesPair = 1;

// What the browser knows of the page it shows.
struct PageSnapshot {
  std::string bodyHtml;     // the body element's outerHTML; empty when there is no HTML body
  std::string locationUrl;  // the URL of the page shown
  std::string baseUrl;      // the document's base URL; empty means the location URL
  // The picture elements of the live document, with what the engine knows of them; empty for a
  // saved page, whose census comes from its markup alone.
  std::vector<ImageElement> liveImages = {};
  // The live read's markup of what its picture elements cannot hold: the <noscript>s and
  // <template>s. With it, the census tokenises that markup and not the whole body; none for a
  // saved page (or a read whose census failed), whose census comes from all of its markup.
  std::optional<std::string> hiddenMarkup = std::nullopt;
  // The pictures the engine loaded for the page, in load order (the browser control's record);
  // empty for a saved page.
  std::vector<LoadedPicture> loadedPictures = {};
};

// A work file that could not be written; the analysis went on without it.
struct WorkFileFailure {
  std::filesystem::path path;
  std::error_code error;
};

// What the window needs after an analysis: the two files to show in the "Source Code" and
// "Images" panes, the image census beside the two list pairs, and what went wrong on the way
// (nothing is shown to the user for it).
struct AnalysisResult {
  std::filesystem::path sourceView;
  std::filesystem::path gallery;
  std::vector<CensusImage> census;
  std::vector<WorkFileFailure> failures;
};

// Scanners of one kind over the page, each writing its scratch file "checkImagesClean.txt".
class ReferenceResolver;
std::error_code ScanImageTags(std::string_view page, const ReferenceResolver& resolver,
                              ListPairs& lists, const WorkFiles& files);
std::error_code ScanImageLinks(std::string_view page, const ReferenceResolver& resolver,
                               ListPairs& lists, const WorkFiles& files);

// Writes "imagepage.html" from pair 1, then the census's pictures that pair 1 does not show.
std::error_code WriteGalleryPage(const ListPairs& lists, const WorkFiles& files,
                                 const std::vector<CensusImage>& census = {});

// One analysis, in order: the page source to "checkImages.txt"; both pairs cleared; the
// image-tag scanner, then the linked-image scanner; the image census (live elements, then the
// markup, then the pictures only the engine's record names); the gallery "imagepage.html"; the
// source view "source.htm", which links the names the page's elements give; the scratch files
// emptied.
// A failing file step is skipped and recorded, never fatal: the panes are always sent to the two
// view files.
AnalysisResult AnalyzePage(const PageSnapshot& page, const WorkFiles& files, ListPairs& lists);

}  // namespace velmora
