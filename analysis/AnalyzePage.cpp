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
  const std::string scratch =
      ScanReferences(page, resolver, params, lists.Links[pair], lists.frmList[pair]);
  // The scratch file holds the tag lines followed by one more CR LF; the record is written with
  // its own CR LF, so the text here drops its last one.
  return files.WriteRecord(workfile::kCheckImagesClean,
                           std::string_view(scratch).substr(0, scratch.size() - 2));
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

std::error_code WriteGalleryPage(const ListPairs& lists, const WorkFiles& files) {
  return files.WriteRecord(workfile::kGallery, BuildGalleryPage(lists.Links[kShownImagesPair],
                                                                lists.frmList[kShownImagesPair]));
}

AnalysisResult AnalyzePage(const PageSnapshot& page, const WorkFiles& files, ListPairs& lists) {
  AnalysisResult result{files.PathOf(workfile::kSourceView), files.PathOf(workfile::kGallery), {}};
  const auto note = [&](std::string_view fileName, std::error_code error) {
    if (error) result.failures.push_back({files.PathOf(fileName), error});
  };

  const std::string source = html::WellFormedUtf8(page.bodyHtml);
  note(workfile::kCheckImages, files.WriteRecord(workfile::kCheckImages, source));

  lists.Clear();
  const ReferenceResolver resolver(page.baseUrl.empty() ? page.locationUrl : page.baseUrl);
  note(workfile::kCheckImagesClean, ScanImageTags(source, resolver, lists, files));
  note(workfile::kCheckImagesClean, ScanImageLinks(source, resolver, lists, files));

  const std::string view = BuildSourceView(source, lists);
  note(workfile::kGallery, WriteGalleryPage(lists, files));
  note(workfile::kSourceView, files.WriteRecord(workfile::kSourceView, view));
  if (std::error_code error = files.ResetWorkFiles(); error) {
    result.failures.push_back({files.Folder(), error});
  }
  return result;
}

}  // namespace velmora
