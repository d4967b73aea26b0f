// velmora-analyze's command line, read with GLib's option parser.
#include <glib.h>

#include <iostream>

#include "tools/AnalyzeCommand.h"

namespace velmora::analyze {

namespace {

constexpr const char* kSummary =
    "Analyses a saved web page as the Velmora browser analyses the page it shows:\n"
    "finds the images the page shows (image tags) and the image files it links to,\n"
    "and writes the work files checkImages.txt, checkImagesClean.txt, source.htm,\n"
    "imagepage.html, browser.txt and images.htm. source.htm is the page's HTML with\n"
    "every image file name linked; imagepage.html is the gallery of its images,\n"
    "then of the further pictures the image census finds (lazy-loaded images, the\n"
    "largest candidate of a srcset or <picture>, inline-style backgrounds, video\n"
    "posters, image buttons, SVG images).\n"
    "\n"
    "FILE is the saved page (a whole document or its body); - reads standard input.\n"
    "The body is taken from \"<body\" to \"</body>\" when the file has one.\n"
    "--live URL loads the page in the browser's own engine instead (scripts on, no\n"
    "window; a virtual display of its own when there is none), waits until it is\n"
    "analysed and no new picture has come for a second (at most 30 s), and knows\n"
    "every picture the engine loaded, in every frame, with its type, size and bytes;\n"
    "--save then writes the engine's bytes without asking the server again.\n"
    "\n"
    "--url: references are resolved against URL (or the page's <base href>).\n"
    "Default: the file's own file:// address, or the current folder for standard\n"
    "input. --out: the folder is created when missing. Default: the folder of this\n"
    "program when writable, else $XDG_CACHE_HOME/Velmora.";

constexpr const char* kDescription =
    "--json prints one object: {\"url\": the page URL, \"baseUrl\", \"linkedImages\"\n"
    "and \"shownImages\": the two lists in page order, each item {\"url\", \"name\"},\n"
    "\"census\": each picture once {\"url\", \"name\", \"kind\", \"width\", \"height\",\n"
    "\"type\", \"bytes\", \"frame\"}} (kind: img, srcset, picture, lazy, background,\n"
    "poster, input, svg, generated, frame, icon, object, loaded; type: the MIME type of\n"
    "the picture's bytes; frame: the frame that loaded it; \"\" or 0 when unknown).\n"
    "With --save each census item also has \"file\", where it was saved (\"\" if not).\n"
    "\n"
    "Choosing pictures: --min-size, --min-width, --min-height (the last two override\n"
    "the first for their side), --type (by the type of the bytes, else by the file\n"
    "name's extension; comma-separated or repeated), --contains, --hide-tracking and\n"
    "--sort (page: as the page shows them; area: largest first by pixel area; bytes:\n"
    "largest file first; type: by type; unknown sizes last) narrow and order the\n"
    "census that --json prints and --save saves, in that order, into DIR (created\n"
    "when missing); the gallery and the work files stay as they are. Pictures with\n"
    "the same bytes count once. The size, type and bytes of the page's own pictures\n"
    "(data: addresses, and files on this computer for a page saved with them) are\n"
    "read from their bytes; a picture of unknown size passes no minimum size, and\n"
    "only the page's own pictures can be saved.\n"
    "\n"
    "--name PATTERN names saved pictures with the parts {n} (the place in the saved\n"
    "set, from 1), {name} (the file name of the address, without extension), {host},\n"
    "{title} (the page's), {w}, {h} (pixels) and {ext} (from the type of the bytes).\n"
    "Default {name}. Every name ends in the extension of the picture's bytes, is made\n"
    "safe for a folder, and never replaces a file: a name that is taken is numbered\n"
    "(\"photo (1).jpg\"). Files are written whole or not at all.\n"
    "\n"
    "Exit status: 0 done, 1 a file could not be read or written, 2 bad usage,\n"
    "3 a picture to save could not be had (said on standard error).";

int UsageError(const std::string& message) {
  std::cerr << "velmora-analyze: " << message << "\n"
            << "Try 'velmora-analyze --help'.\n";
  return kExitUsage;
}

// A size option: not given (-1) leaves `value` as it is.
std::optional<int> ReadSize(const char* option, int given, int& value) {
  if (given == -1) return std::nullopt;
  if (given < 0) return UsageError(std::string(option) + " takes a number of pixels, 0 or more");
  value = given;
  return std::nullopt;
}

}  // namespace

std::optional<int> ParseOptions(int argc, char** argv, Options& options) {
  gboolean help = FALSE;
  gboolean json = FALSE;
  gboolean hideTracking = FALSE;
  gboolean served = FALSE;
  g_autofree gchar* url = nullptr;
  g_autofree gchar* live = nullptr;
  g_autofree gchar* out = nullptr;
  g_autofree gchar* contains = nullptr;
  g_autofree gchar* sort = nullptr;
  g_autofree gchar* save = nullptr;
  g_autofree gchar* name = nullptr;
  g_auto(GStrv) types = nullptr;
  g_auto(GStrv) pages = nullptr;
  gint minSize = -1;
  gint minWidth = -1;
  gint minHeight = -1;
  // Text options are taken as bytes (FILENAME), as the shell hands them over.
  const GOptionEntry entries[] = {
      {"url", 0, 0, G_OPTION_ARG_FILENAME, &url, "The address the page was saved from", "URL"},
      {"live", 0, 0, G_OPTION_ARG_FILENAME, &live,
       "Load URL in the browser's engine (scripts on, no window) and analyse it", "URL"},
      {"out", 0, 0, G_OPTION_ARG_FILENAME, &out, "The folder for the work files", "DIR"},
      {"served", 0, 0, G_OPTION_ARG_NONE, &served,
       "Also write served.htm: the page as it was served, as the Source Code tab shows it",
       nullptr},
      {"json", 0, 0, G_OPTION_ARG_NONE, &json, "Print one JSON object instead of the summary",
       nullptr},
      {"min-size", 0, 0, G_OPTION_ARG_INT, &minSize, "Pictures at least N pixels wide and high",
       "N"},
      {"min-width", 0, 0, G_OPTION_ARG_INT, &minWidth, "Pictures at least N pixels wide", "N"},
      {"min-height", 0, 0, G_OPTION_ARG_INT, &minHeight, "Pictures at least N pixels high", "N"},
      {"type", 0, 0, G_OPTION_ARG_FILENAME_ARRAY, &types, "Types: jpeg,png,gif,webp,avif,svg,other",
       "TYPE,..."},
      {"contains", 0, 0, G_OPTION_ARG_FILENAME, &contains,
       "Pictures whose address holds TEXT (any case)", "TEXT"},
      {"hide-tracking", 0, 0, G_OPTION_ARG_NONE, &hideTracking,
       "Leave out 1 x 1 pictures and tracking pixels", nullptr},
      {"sort", 0, 0, G_OPTION_ARG_FILENAME, &sort, "Order: page, area, bytes or type", "ORDER"},
      {"save", 0, 0, G_OPTION_ARG_FILENAME, &save, "Save the chosen pictures into DIR", "DIR"},
      {"name", 0, 0, G_OPTION_ARG_FILENAME, &name, "The names of saved pictures", "PATTERN"},
      {"help", 'h', 0, G_OPTION_ARG_NONE, &help, "Show this text", nullptr},
      {G_OPTION_REMAINING, 0, 0, G_OPTION_ARG_FILENAME_ARRAY, &pages, nullptr, nullptr},
      {},
  };
  GOptionContext* context = g_option_context_new("FILE|-");
  g_option_context_set_help_enabled(context, FALSE);
  g_option_context_set_summary(context, kSummary);
  g_option_context_set_description(context, kDescription);
  g_option_context_add_main_entries(context, entries, nullptr);
  GError* error = nullptr;
  const bool parsed = g_option_context_parse(context, &argc, &argv, &error);
  if (parsed && help) {
    gchar* text = g_option_context_get_help(context, TRUE, nullptr);
    std::cout << text;
    g_free(text);
  }
  g_option_context_free(context);
  if (!parsed) {
    const std::string message = error->message;
    g_error_free(error);
    return UsageError(message);
  }
  if (help) return kExitOk;

  const guint pageCount = pages != nullptr ? g_strv_length(pages) : 0;
  if (live != nullptr) {
    if (pageCount > 0) return UsageError("--live loads its page itself: give no FILE");
    if (url != nullptr) return UsageError("--live and --url cannot go together");
    options.live = live;
  } else {
    if (pageCount == 0) return UsageError("no page given");
    if (pageCount > 1) return UsageError("only one page can be analysed at a time");
    options.input = pages[0];
  }
  if (url != nullptr) options.url = url;
  if (out != nullptr) options.out = out;
  options.json = json;
  options.served = served;

  PictureFilter& filter = options.filter;
  if (auto status = ReadSize("--min-size", minSize, filter.minWidth)) return status;
  filter.minHeight = filter.minWidth;
  if (auto status = ReadSize("--min-width", minWidth, filter.minWidth)) return status;
  if (auto status = ReadSize("--min-height", minHeight, filter.minHeight)) return status;
  for (gchar** list = types; list != nullptr && *list != nullptr; ++list) {
    g_auto(GStrv) names = g_strsplit(*list, ",", -1);
    for (gchar** typeName = names; *typeName != nullptr; ++typeName) {
      const std::string_view trimmed = g_strstrip(*typeName);
      if (trimmed.empty()) continue;
      const std::optional<PictureType> type = PictureTypeNamed(trimmed);
      if (!type) {
        return UsageError("--type knows no type '" + std::string(trimmed) +
                          "' (jpeg, png, gif, webp, avif, svg, other)");
      }
      filter.types.set(static_cast<std::size_t>(*type));
    }
  }
  if (contains != nullptr) filter.contains = contains;
  filter.hideTracking = hideTracking;
  if (sort != nullptr) {
    const std::optional<PictureOrder> order = PictureOrderNamed(sort);
    if (!order)
      return UsageError("--sort takes page, area, bytes or type, not '" + std::string(sort) + "'");
    options.order = *order;
  }
  if (save != nullptr) {
    if (*save == '\0') return UsageError("--save needs a folder");
    options.save = save;
  }
  if (name != nullptr) {
    if (options.save.empty()) return UsageError("--name goes with --save");
    std::string problem;
    if (!NamePattern::Parse(name, problem)) return UsageError(problem);
    options.namePattern = name;
  }
  return std::nullopt;
}

}  // namespace velmora::analyze
