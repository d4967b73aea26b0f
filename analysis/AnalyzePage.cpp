#include "analysis/AnalyzePage.h"

#include "analysis/GalleryPage.h"
#include "analysis/HtmlText.h"
#include "analysis/ImageScanner.h"
#include "analysis/SourceView.h"
#include "analysis/UrlHelpers.h"

namespace velmora {

namespace {

std::error_code RunScanner(std::string_view page, const ReferenceResolver& resolver,
                           const ScannerParams& params, int pair, ListPairs& lists,
                           const WorkFiles& files) {
  // The scratch file holds the tag lines, each with its CR LF, then the record's own CR LF.
  return files.WriteRecord(workfile::kCheckImagesClean, [&](TextSink& scratch) {
    ScanReferences(page, resolver, params, lists.Links[pair], lists.frmList[pair], scratch);
  });
}

}  // namespace

std::error_code ScanImageTags(std::string_view page, const ReferenceResolver& resolver,
                              ListPairs& lists, const WorkFiles& files) {
  return RunScanner(page, resolver, kImageTagScan, kShownImagesPair, lists, files);
}

std::error_code ScanImageLinks(std::string_view page, const ReferenceResolver& resolver,
                               ListPairs& lists, const WorkFiles& files) {
  return RunScanner(page, resolver, kImageLinkScan, kLinkedImagesPair, lists, files);
}

std::error_code WriteGalleryPage(const ListPairs& lists, const WorkFiles& files,
                                 const std::vector<CensusImage>& census) {
  return files.WriteRecord(
      workfile::kGallery,
      BuildGalleryPage(lists.Links[kShownImagesPair], lists.frmList[kShownImagesPair], census));
}

AnalysisResult AnalyzePage(const PageSnapshot& page, const WorkFiles& files, ListPairs& lists) {
  AnalysisResult result{
      files.PathOf(workfile::kSourceView), files.PathOf(workfile::kGallery), {}, {}};
  const auto note = [&](std::string_view fileName, std::error_code error) {
    if (error) result.failures.push_back({files.PathOf(fileName), error});
  };

  std::string repaired;
  std::string_view source = page.bodyHtml;
  if (!html::IsWellFormedUtf8(source)) {
    repaired = html::WellFormedUtf8(source);
    source = repaired;
  }
  note(workfile::kCheckImages, files.WriteRecord(workfile::kCheckImages, source));

  lists.Clear();
  const ReferenceResolver resolver(page.baseUrl.empty() ? page.locationUrl : page.baseUrl);
  note(workfile::kCheckImagesClean, ScanImageTags(source, resolver, lists, files));
  note(workfile::kCheckImagesClean, ScanImageLinks(source, resolver, lists, files));

  // One census of the live document: the markup adds what the live read could not see.
  result.census = TakeCensus(
      page.liveImages, page.hiddenMarkup ? std::string_view(*page.hiddenMarkup) : source, resolver);
  // The source view links the names the page's elements give; what only the engine names has no
  // place in the page's text.
  std::vector<CensusImage> elementCensus;
  if (!page.loadedPictures.empty()) {
    elementCensus = result.census;
    MergeLoadedPictures(result.census, page.loadedPictures);
  }

  note(workfile::kGallery, WriteGalleryPage(lists, files, result.census));
  note(workfile::kSourceView, files.WriteRecord(workfile::kSourceView, [&](TextSink& view) {
    WriteSourceView(source, lists, page.loadedPictures.empty() ? result.census : elementCensus,
                    view);
  }));
  if (std::error_code error = files.ResetWorkFiles(); error) {
    result.failures.push_back({files.Folder(), error});
  }
  return result;
}

}  // namespace velmora
