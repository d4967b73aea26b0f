// velmora-analyze: runs the browser's page analysis on a saved page and writes the same work
// files, so a page can be analysed (and the analysis tested) without a window; it lists, chooses
// and saves the page's pictures for scripts. The parts are in AnalyzeCommand.h.
#include <glib.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>

#include "analysis/AnalyzePage.h"
#include "analysis/SavedPage.h"
#include "analysis/SourceViews.h"
#include "analysis/UrlHelpers.h"
#include "common/ProgramFolder.h"
#include "tools/AnalyzeCommand.h"
#include "tools/LivePage.h"
#include "tools/PictureBytes.h"

namespace {

using velmora::analyze::IoError;

std::optional<std::string> ReadInput(const std::string& input, std::error_code& error) {
  std::ostringstream content;
  if (input == "-") {
    content << std::cin.rdbuf();
    if (std::cin.bad()) error = std::make_error_code(std::errc::io_error);
    return error ? std::nullopt : std::optional(content.str());
  }
  if (std::filesystem::is_directory(input, error)) {
    error = std::make_error_code(std::errc::is_a_directory);
    return std::nullopt;
  }
  std::ifstream file(input, std::ios::binary);
  if (!file) {
    error = std::error_code(errno != 0 ? errno : ENOENT, std::generic_category());
    return std::nullopt;
  }
  content << file.rdbuf();
  if (file.bad()) {
    error = std::make_error_code(std::errc::io_error);
    return std::nullopt;
  }
  error.clear();
  return content.str();
}

std::string FileUri(const std::filesystem::path& path) {
  g_autofree gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
  return uri != nullptr ? uri : "";
}

// The page at options.live, loaded in the engine: its snapshot, and the engine's bytes of its
// pictures (a saved page's own for data: addresses).
int AnalyseLive(const velmora::analyze::Options& options, const std::filesystem::path& folder) {
  std::string why;
  const std::unique_ptr<velmora::LivePage> live =
      velmora::LivePage::Open(options.live, folder, why);
  if (!live) {
    std::cerr << "velmora-analyze: " << why << "\n";
    return velmora::analyze::kExitIoError;
  }
  velmora::analyze::AnalysedPage analysed;
  analysed.page = live->Snapshot();
  analysed.title = live->Title();
  const velmora::WorkFiles files(folder);
  analysed.result = velmora::AnalyzePage(analysed.page, files, analysed.lists);
  if (options.served) {
    const std::optional<velmora::LivePage::Served> served = live->ServedPage();
    if (!served) {
      std::cerr << "velmora-analyze: the engine holds no bytes of the page for served.htm\n";
      return velmora::analyze::kExitIoError;
    }
    if (const std::error_code failed =
            velmora::WriteServedView(served->bytes, served->charset, analysed.lists,
                                     analysed.result.census, velmora::SourceViewOptions{}, files)) {
      return IoError("write", files.PathOf(velmora::workfile::kServedView), failed);
    }
  }
  return velmora::analyze::Report(
      options, analysed,
      [&](const velmora::CensusImage& picture) -> velmora::analyze::FetchedBytes {
        if (!picture.loaded) return velmora::analyze::SavedPageBytes(picture);
        if (std::optional<std::string> bytes = live->Bytes(picture.url)) return {bytes, ""};
        return {std::nullopt, "the engine no longer holds it"};
      });
}

}  // namespace

int main(int argc, char** argv) {
  // Past a file-size limit a write fails (EFBIG) and is reported, instead of the signal ending
  // the program in the middle of a file.
  std::signal(SIGXFSZ, SIG_IGN);
  velmora::analyze::Options options;
  if (const std::optional<int> status = velmora::analyze::ParseOptions(argc, argv, options)) {
    return *status;
  }

  std::error_code error;
  std::filesystem::path folder;
  if (!options.out.empty()) {
    std::filesystem::create_directories(options.out, error);
    if (error) return IoError("create", options.out, error);
    folder = options.out;
  } else {
    folder = velmora::WorkFolder(VELMORA_PRODUCT_NAME, error);
    if (error) return IoError("create the work folder for", VELMORA_PRODUCT_NAME, error);
  }
  if (!options.live.empty()) return AnalyseLive(options, folder);

  const std::optional<std::string> document = ReadInput(options.input, error);
  if (!document)
    return IoError("read", options.input == "-" ? "standard input" : options.input, error);

  velmora::analyze::AnalysedPage analysed;
  velmora::PageSnapshot& page = analysed.page;
  page.bodyHtml = std::string(velmora::ExtractBody(*document));
  if (!options.url.empty()) {
    page.locationUrl = options.url;
  } else if (options.input == "-") {
    page.locationUrl = FileUri(std::filesystem::current_path(error) / "");
  } else {
    page.locationUrl = FileUri(std::filesystem::absolute(options.input, error));
  }
  if (const std::string href = velmora::FindBaseHref(*document); !href.empty()) {
    const velmora::ReferenceResolver pageResolver(page.locationUrl);
    page.baseUrl = pageResolver.Resolve(href, false).value_or("");
  }
  analysed.title = velmora::FindTitle(*document);

  const velmora::WorkFiles files(folder);
  analysed.result = velmora::AnalyzePage(page, files, analysed.lists);
  // The served view of a saved page: the file's own bytes, from the doctype on.
  if (options.served) {
    if (const std::error_code failed =
            velmora::WriteServedView(*document, "", analysed.lists, analysed.result.census,
                                     velmora::SourceViewOptions{}, files)) {
      return IoError("write", files.PathOf(velmora::workfile::kServedView), failed);
    }
  }
  return velmora::analyze::Report(options, analysed, velmora::analyze::SavedPageBytes);
}
