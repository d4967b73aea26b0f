#include "mainwindow/LatePictures.h"

#include <glibmm/main.h>

#include "analysis/GalleryPage.h"
#include "analysis/LoadedPictures.h"

namespace velmora {

LatePictures::LatePictures(BrowserControl& page, BrowserControl& gallery, const WorkFiles& files,
                           const ListPairs& lists, std::vector<CensusImage>& census)
    : page_(page), gallery_(gallery), files_(files), lists_(lists), census_(census) {
  connections_.push_back(page_.PicturesLoaded.connect([this] { PicturesLoaded(); }));
  // A new load: what arrives belongs to the next analysis, which takes it in.
  connections_.push_back(page_.DownloadBegin.connect([this] {
    analysed_ = false;
    timer_.disconnect();
  }));
}

LatePictures::~LatePictures() {
  timer_.disconnect();
  for (sigc::connection& c : connections_) c.disconnect();
}

void LatePictures::PageAnalysed() {
  // The analysis took in every picture so far.
  timer_.disconnect();
  analysed_ = true;
}

void LatePictures::PicturesLoaded() {
  if (!analysed_ || timer_.connected()) return;
  timer_ = Glib::signal_timeout().connect(
      [this] {
        Refresh();
        return false;
      },
      kIntervalMs);
}

void LatePictures::Refresh() {
  std::vector<CensusImage> merged = census_;
  MergeLoadedPictures(merged, page_.LoadedPictures());
  const auto& links = lists_.Links[kShownImagesPair];
  const auto& names = lists_.frmList[kShownImagesPair];
  const bool grew =
      BuildGalleryPage(links, names, merged) != BuildGalleryPage(links, names, census_);
  census_ = std::move(merged);
  CensusUpdated.emit();
  // The same file again: the pane keeps its scroll position when it reloads it.
  if (grew && !WriteGalleryPage(lists_, files_, census_)) gallery_.Refresh();
}

}  // namespace velmora
