// velmora-analyze: runs the browser's page analysis on a saved page and writes the same work
// files, so a page can be analysed (and the analysis tested) without a window.
#include <glib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>

#include "analysis/AnalyzePage.h"
#include "analysis/SavedPage.h"
#include "analysis/UrlHelpers.h"
#include "common/ProgramFolder.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitIoError = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "Usage: velmora-analyze [--url URL] [--out DIR] FILE|-\n"
    "\n"
    "Analyses a saved web page as the Velmora browser analyses the page it shows:\n"
    "finds the images the page shows (image tags) and the image files it links to,\n"
    "and writes the work files checkImages.txt, checkImagesClean.txt, source.htm,\n"
    "imagepage.html, browser.txt and images.htm. source.htm is the page's HTML with\n"
    "every image file name linked; imagepage.html is the gallery of its images.\n"
    "\n"
    "  FILE       the saved page (a whole document or its body); - reads standard input.\n"
    "             The body is taken from \"<body\" to \"</body>\" when the file has one.\n"
    "  --url URL  the address the page was saved from; references are resolved against\n"
    "             it (or against the page's <base href>). Default: the file's own\n"
    "             file:// address, or the current folder for standard input.\n"
    "  --out DIR  the folder for the work files (created when missing). Default: the\n"
    "             folder of this program when writable, else $XDG_CACHE_HOME/Velmora.\n"
    "  --help     shows this text.\n"
    "\n"
    "Exit status: 0 done, 1 a file could not be read or written, 2 bad usage.\n";

struct Options {
  std::string url;
  std::filesystem::path out;
  std::string input;
};

int UsageError(const std::string& message) {
  std::cerr << "velmora-analyze: " << message << "\n"
            << "Try 'velmora-analyze --help'.\n";
  return kExitUsage;
}

int IoError(const std::string& what, const std::filesystem::path& path, std::error_code error) {
  std::cerr << "velmora-analyze: cannot " << what << " '" << path.string()
            << "': " << error.message() << "\n";
  return kExitIoError;
}

// Parses the command line; returns an exit status when the program should stop.
std::optional<int> ParseOptions(int argc, char** argv, Options& options) {
  bool haveInput = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return kExitOk;
    }
    if (arg == "--url" || arg == "--out") {
      if (i + 1 >= argc) return UsageError(arg + " needs a value");
      if (arg == "--url") {
        options.url = argv[++i];
      } else {
        options.out = argv[++i];
      }
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-' && arg != "-") return UsageError("unknown option " + arg);
    if (haveInput) return UsageError("only one page can be analysed at a time");
    options.input = arg;
    haveInput = true;
  }
  if (!haveInput) return UsageError("no page given");
  return std::nullopt;
}

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
  gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
  if (uri == nullptr) return {};
  std::string out = uri;
  g_free(uri);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (const std::optional<int> status = ParseOptions(argc, argv, options)) return *status;

  std::error_code error;
  const std::optional<std::string> document = ReadInput(options.input, error);
  if (!document)
    return IoError("read", options.input == "-" ? "standard input" : options.input, error);

  std::filesystem::path folder;
  if (!options.out.empty()) {
    std::filesystem::create_directories(options.out, error);
    if (error) return IoError("create", options.out, error);
    folder = options.out;
  } else {
    folder = velmora::WorkFolder(VELMORA_PRODUCT_NAME, error);
    if (error) return IoError("create the work folder for", VELMORA_PRODUCT_NAME, error);
  }

  velmora::PageSnapshot page;
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

  const velmora::WorkFiles files(folder);
  velmora::ListPairs lists;
  const velmora::AnalysisResult result = velmora::AnalyzePage(page, files, lists);
  for (const velmora::WorkFileFailure& failure : result.failures) {
    IoError("write", failure.path, failure.error);
  }

  std::cout << lists.Links[velmora::kShownImagesPair].size() << " images found, "
            << lists.Links[velmora::kLinkedImagesPair].size() << " linked images found\n"
            << "source view: " << result.sourceView.string() << "\n"
            << "gallery:     " << result.gallery.string() << "\n";
  return result.failures.empty() ? kExitOk : kExitIoError;
}
