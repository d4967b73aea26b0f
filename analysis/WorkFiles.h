// The work files of the page analysis: six text files in one folder, and the other views of the
// source beside them; each replaced whole by one record followed by CR LF. A replacement is atomic:
// the record is written beside the file and renamed over it, so a failed write leaves the previous
// file as it was.
#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <string_view>
#include <system_error>

#include "analysis/TextSink.h"

namespace velmora {

namespace workfile {
inline constexpr std::string_view kBrowser = "browser.txt";
inline constexpr std::string_view kSourceView = "source.htm";
inline constexpr std::string_view kImages = "images.htm";
inline constexpr std::string_view kCheckImages = "checkImages.txt";
inline constexpr std::string_view kCheckImagesClean = "checkImagesClean.txt";
inline constexpr std::string_view kGallery = "imagepage.html";
// The other views of the source (analysis/SourceViews.h), written when the Source Code tab asks
// for them; neither created at start nor emptied after an analysis.
inline constexpr std::string_view kShownView = "shown.htm";
inline constexpr std::string_view kServedView = "served.htm";
// What the Source Code tab shows in place of "source.htm" for a large page: the same view in
// blocks (analysis/SourceView.h). "source.htm" is written as always.
inline constexpr std::string_view kSourceBlocks = "source-blocks.htm";

// The order in which a missing work file is created when the browser starts.
inline constexpr std::array<std::string_view, 6> kCreationOrder{
    kBrowser, kSourceView, kImages, kCheckImages, kCheckImagesClean, kGallery};
// The files emptied at the end of every analysis, in this order.
inline constexpr std::array<std::string_view, 4> kResetOrder{kCheckImages, kCheckImagesClean,
                                                             kBrowser, kImages};
}  // namespace workfile

class WorkFiles {
 public:
  explicit WorkFiles(std::filesystem::path folder) : folder_(std::move(folder)) {}

  const std::filesystem::path& Folder() const noexcept { return folder_; }
  std::filesystem::path PathOf(std::string_view fileName) const { return folder_ / fileName; }

  // Replaces the file with `record` followed by CR LF.
  std::error_code WriteRecord(std::string_view fileName, std::string_view record) const;

  // Replaces the file with the record that `write` produces into the sink, followed by CR LF.
  std::error_code WriteRecord(std::string_view fileName,
                              const std::function<void(TextSink&)>& write) const;

  // Empties the scratch files (one empty line each) in kResetOrder; stops at the first failure
  // and returns it, leaving the remaining files as they are.
  std::error_code ResetWorkFiles() const;

  // Creates each work file that does not exist yet, in kCreationOrder, holding one empty line.
  // Existing files are not touched. Returns the first failure; later files are still tried.
  std::error_code CreateMissingWorkFiles() const;

 private:
  std::filesystem::path folder_;
};

}  // namespace velmora
