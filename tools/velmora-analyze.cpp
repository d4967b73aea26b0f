// velmora-analyze: runs the browser's page analysis on a saved page and writes the same work
// files, so a page can be analysed (and the analysis tested) without a window.
#include <glib.h>
#include <json-glib/json-glib.h>
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
    "Usage: velmora-analyze [--url URL] [--out DIR] [--json] FILE|-\n"
    "\n"
    "Analyses a saved web page as the Velmora browser analyses the page it shows:\n"
    "finds the images the page shows (image tags) and the image files it links to,\n"
    "and writes the work files checkImages.txt, checkImagesClean.txt, source.htm,\n"
    "imagepage.html, browser.txt and images.htm. source.htm is the page's HTML with\n"
    "every image file name linked; imagepage.html is the gallery of its images,\n"
    "then of the further pictures the image census finds (lazy-loaded images, the\n"
    "largest candidate of a srcset or <picture>, inline-style backgrounds, video\n"
    "posters, image buttons, SVG images).\n"
    "\n"
    "  FILE       the saved page (a whole document or its body); - reads standard input.\n"
    "             The body is taken from \"<body\" to \"</body>\" when the file has one.\n"
    "  --url URL  the address the page was saved from; references are resolved against\n"
    "             it (or against the page's <base href>). Default: the file's own\n"
    "             file:// address, or the current folder for standard input.\n"
    "  --out DIR  the folder for the work files (created when missing). Default: the\n"
    "             folder of this program when writable, else $XDG_CACHE_HOME/Velmora.\n"
    "  --json     prints one JSON object instead of the summary: {\"url\": the page\n"
    "             URL, \"baseUrl\", \"linkedImages\" and \"shownImages\": the two\n"
    "             lists in page order, each item {\"url\", \"name\"}, \"census\": each\n"
    "             picture once {\"url\", \"name\", \"kind\", \"width\", \"height\"}}\n"
    "             (kind: img, srcset, picture, lazy, background, poster, input, svg;\n"
    "             width and height 0 when unknown). The work files are still written.\n"
    "  --help     shows this text.\n"
    "\n"
    "Exit status: 0 done, 1 a file could not be read or written, 2 bad usage.\n";

struct Options {
  std::string url;
  std::filesystem::path out;
  std::string input;
  bool json = false;
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
    if (arg == "--json") {
      options.json = true;
      continue;
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

void AddPair(JsonBuilder* json, const char* member, const velmora::ListPairs& lists, int pair) {
  json_builder_set_member_name(json, member);
  json_builder_begin_array(json);
  const auto& urls = lists.Links[pair];
  const auto& names = lists.frmList[pair];
  for (std::size_t i = 0; i < urls.size() && i < names.size(); ++i) {
    json_builder_begin_object(json);
    json_builder_set_member_name(json, "url");
    json_builder_add_string_value(json, urls[i].c_str());
    json_builder_set_member_name(json, "name");
    json_builder_add_string_value(json, names[i].c_str());
    json_builder_end_object(json);
  }
  json_builder_end_array(json);
}

// The analysis as one JSON object, for scripts.
std::string AnalysisJson(const velmora::PageSnapshot& page, const velmora::ListPairs& lists,
                         const std::vector<velmora::CensusImage>& census) {
  JsonBuilder* json = json_builder_new();
  json_builder_begin_object(json);
  json_builder_set_member_name(json, "url");
  json_builder_add_string_value(json, page.locationUrl.c_str());
  json_builder_set_member_name(json, "baseUrl");
  json_builder_add_string_value(json,
                                (page.baseUrl.empty() ? page.locationUrl : page.baseUrl).c_str());
  AddPair(json, "linkedImages", lists, velmora::kLinkedImagesPair);
  AddPair(json, "shownImages", lists, velmora::kShownImagesPair);
  json_builder_set_member_name(json, "census");
  json_builder_begin_array(json);
  for (const velmora::CensusImage& image : census) {
    json_builder_begin_object(json);
    json_builder_set_member_name(json, "url");
    json_builder_add_string_value(json, image.url.c_str());
    json_builder_set_member_name(json, "name");
    json_builder_add_string_value(json, image.name.c_str());
    json_builder_set_member_name(json, "kind");
    json_builder_add_string_value(json, std::string(velmora::KindName(image.kind)).c_str());
    json_builder_set_member_name(json, "width");
    json_builder_add_int_value(json, image.width);
    json_builder_set_member_name(json, "height");
    json_builder_add_int_value(json, image.height);
    json_builder_end_object(json);
  }
  json_builder_end_array(json);
  json_builder_end_object(json);

  JsonNode* root = json_builder_get_root(json);
  JsonGenerator* generator = json_generator_new();
  json_generator_set_pretty(generator, TRUE);
  json_generator_set_root(generator, root);
  gchar* text = json_generator_to_data(generator, nullptr);
  std::string out = text;
  g_free(text);
  g_object_unref(generator);
  json_node_unref(root);
  g_object_unref(json);
  return out + "\n";
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

  if (options.json) {
    std::cout << AnalysisJson(page, lists, result.census);
    return result.failures.empty() ? kExitOk : kExitIoError;
  }
  std::cout << lists.Links[velmora::kShownImagesPair].size() << " images found, "
            << lists.Links[velmora::kLinkedImagesPair].size() << " linked images found\n"
            << velmora::ImagesBeyond(lists.Links[velmora::kShownImagesPair], result.census).size()
            << " further pictures found by the image census\n"
            << "source view: " << result.sourceView.string() << "\n"
            << "gallery:     " << result.gallery.string() << "\n";
  return result.failures.empty() ? kExitOk : kExitIoError;
}
