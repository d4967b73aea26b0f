// velmora-analyze in parts: its options, where the pictures' bytes come from, and what it makes
// of an analysed page (the JSON or the summary, the chosen pictures, the saved files).
// velmora-analyze.cpp wires them for a page saved to a file; another source of pages and bytes
// plugs into the same two seams, AnalysedPage and BytesProvider.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <system_error>

#include "analysis/AnalyzePage.h"
#include "analysis/PictureChoice.h"

namespace velmora::analyze {

inline constexpr int kExitOk = 0;
inline constexpr int kExitIoError = 1;  // a file could not be read or written
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNotSaved = 3;  // a picture to save could not be had

struct Options {
  std::string input;          // the saved page; "-" for standard input
  std::string url;            // the address it was saved from; "" for its own address
  std::string live;           // the address to load in the engine instead of a saved page
  std::filesystem::path out;  // the folder for the work files; "" for the work folder
  bool json = false;
  bool served = false;  // also write served.htm
  PictureFilter filter;
  PictureOrder order = PictureOrder::Page;
  std::filesystem::path save;  // where the chosen pictures are saved; "" for nowhere
  std::string namePattern{NamePattern::kDefault};

  // True when the census is narrowed or reordered.
  bool Chooses() const { return !filter.ChoosesAll() || order != PictureOrder::Page; }
};

// Says on standard error that `what` could not be done to `path`; returns kExitIoError.
int IoError(const std::string& what, const std::filesystem::path& path, std::error_code error);

// Reads the command line into `options`. Returns an exit status when the program should stop
// there: after --help (kExitOk), or after a usage error said on standard error (kExitUsage).
std::optional<int> ParseOptions(int argc, char** argv, Options& options);

// A picture's bytes, or why they cannot be had.
struct FetchedBytes {
  std::optional<std::string> bytes;
  std::string whyNot;
};
using BytesProvider = std::function<FetchedBytes(const CensusImage&)>;

// One page after AnalyzePage.
struct AnalysedPage {
  PageSnapshot page;
  std::string title;
  ListPairs lists;
  AnalysisResult result;
};

// What the command prints and saves for an analysed page: the work files that failed (standard
// error); the census's pictures whose type is unknown described from their bytes where
// `bytes` has them; one entry per picture, filtered and ordered as the options say; the chosen
// pictures saved under the pattern's names when asked; then the JSON object or the summary.
// Returns the exit status.
int Report(const Options& options, AnalysedPage& analysed, const BytesProvider& bytes);

}  // namespace velmora::analyze
