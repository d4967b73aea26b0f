// Pictures that pane 0 loads after its page was analysed (a timer, the page's lazy loader as the
// user scrolls, a slow server) join the gallery without a new analysis: at most once a second
// the census takes them in, and when that adds to the gallery, "imagepage.html" is written again
// (pair 1's part unchanged) and the Images pane shows it again where the user was.
#pragma once

#include <sigc++/connection.h>
#include <sigc++/signal.h>

#include <vector>

#include "analysis/AnalyzePage.h"
#include "hosted/BrowserControl.h"

namespace velmora {

class LatePictures {
 public:
  static constexpr unsigned kIntervalMs = 1000;

  // `census` and `lists` are the window's, kept up to date by the analysis; all outlive this.
  LatePictures(BrowserControl& page, BrowserControl& gallery, const WorkFiles& files,
               const ListPairs& lists, std::vector<CensusImage>& census);
  ~LatePictures();
  LatePictures(const LatePictures&) = delete;
  LatePictures& operator=(const LatePictures&) = delete;

  // The page shown was analysed: pictures it loads from now on join its gallery.
  void PageAnalysed();

  // The census took in what was loaded since (its types, sizes and bytes, new pictures).
  sigc::signal<void()> CensusUpdated;

 private:
  void PicturesLoaded();
  void Refresh();

  BrowserControl& page_;
  BrowserControl& gallery_;
  const WorkFiles& files_;
  const ListPairs& lists_;
  std::vector<CensusImage>& census_;
  bool analysed_ = false;
  sigc::connection timer_;
  std::vector<sigc::connection> connections_;
};

}  // namespace velmora
