// What velmora-analyze makes of an analysed page: the chosen pictures, the saved files, and the
// JSON object or the summary.
#include <glib.h>
#include <json-glib/json-glib.h>

#include <cerrno>
#include <iostream>
#include <string>
#include <vector>

#include "common/KeptFiles.h"
#include "tools/AnalyzeCommand.h"
#include "tools/PictureBytes.h"

namespace velmora::analyze {

namespace {

// A data: address is cut short in messages.
constexpr std::size_t kShownAddress = 100;

std::string Shown(const std::string& url) {
  return url.size() <= kShownAddress ? url : url.substr(0, kShownAddress) + "...";
}

// True for a failure that every further file in the folder would meet too.
bool FolderFails(std::error_code error) {
  const int e = error.value();
  return e == ENOSPC || e == EDQUOT || e == EROFS || e == EACCES || e == EPERM || e == ENOENT ||
         e == ENOTDIR;
}

// What saving gave: the file of each picture ("" when it was not saved), and the exit status.
struct Saved {
  std::vector<std::string> files;
  std::size_t count = 0;
  int status = kExitOk;
};

Saved SavePictures(const std::vector<const CensusImage*>& pictures, const Options& options,
                   const std::string& title, const BytesProvider& provider) {
  Saved saved;
  saved.files.assign(pictures.size(), "");
  std::error_code error;
  std::filesystem::create_directories(options.save, error);
  if (error) {
    IoError("create", options.save, error);
    saved.status = kExitIoError;
    return saved;
  }
  std::string ignored;
  const std::vector<std::string> names =
      NamesForSaving(pictures, *NamePattern::Parse(options.namePattern, ignored), title);
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    const CensusImage& picture = *pictures[i];
    FetchedBytes fetched = provider(picture);
    if (!fetched.bytes) {
      std::cerr << "velmora-analyze: not saved: " << Shown(picture.url) << ": " << fetched.whyNot
                << "\n";
      if (saved.status == kExitOk) saved.status = kExitNotSaved;
      continue;
    }
    const std::filesystem::path file = KeepBytes(*fetched.bytes, options.save, names[i], error);
    if (error) {
      IoError("save " + Shown(picture.url) + " as", options.save / names[i], error);
      saved.status = kExitIoError;
      if (FolderFails(error)) {
        std::cerr << "velmora-analyze: " << pictures.size() - i - 1 << " more pictures not saved\n";
        break;
      }
      continue;
    }
    saved.files[i] = file.string();
    ++saved.count;
  }
  return saved;
}

void AddString(JsonBuilder* json, const char* member, const std::string& value) {
  json_builder_set_member_name(json, member);
  json_builder_add_string_value(json, value.c_str());
}

void AddPair(JsonBuilder* json, const char* member, const ListPairs& lists, int pair) {
  json_builder_set_member_name(json, member);
  json_builder_begin_array(json);
  const auto& urls = lists.Links[pair];
  const auto& names = lists.frmList[pair];
  for (std::size_t i = 0; i < urls.size() && i < names.size(); ++i) {
    json_builder_begin_object(json);
    AddString(json, "url", urls[i]);
    AddString(json, "name", names[i]);
    json_builder_end_object(json);
  }
  json_builder_end_array(json);
}

// The analysis as one JSON object, for scripts; `files` is empty unless pictures were saved.
std::string AnalysisJson(const PageSnapshot& page, const ListPairs& lists,
                         const std::vector<const CensusImage*>& census,
                         const std::vector<std::string>& files) {
  JsonBuilder* json = json_builder_new();
  json_builder_begin_object(json);
  AddString(json, "url", page.locationUrl);
  AddString(json, "baseUrl", page.baseUrl.empty() ? page.locationUrl : page.baseUrl);
  AddPair(json, "linkedImages", lists, kLinkedImagesPair);
  AddPair(json, "shownImages", lists, kShownImagesPair);
  json_builder_set_member_name(json, "census");
  json_builder_begin_array(json);
  for (std::size_t i = 0; i < census.size(); ++i) {
    const CensusImage& image = *census[i];
    json_builder_begin_object(json);
    AddString(json, "url", image.url);
    AddString(json, "name", image.name);
    AddString(json, "kind", std::string(KindName(image.kind)));
    json_builder_set_member_name(json, "width");
    json_builder_add_int_value(json, image.width);
    json_builder_set_member_name(json, "height");
    json_builder_add_int_value(json, image.height);
    AddString(json, "type", image.type);
    json_builder_set_member_name(json, "bytes");
    json_builder_add_int_value(json, static_cast<gint64>(image.bytes));
    AddString(json, "frame", image.frame);
    if (!files.empty()) AddString(json, "file", files[i]);
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

int IoError(const std::string& what, const std::filesystem::path& path, std::error_code error) {
  std::cerr << "velmora-analyze: cannot " << what << " '" << path.string()
            << "': " << error.message() << "\n";
  return kExitIoError;
}

int Report(const Options& options, AnalysedPage& analysed, const BytesProvider& bytes) {
  int status = kExitOk;
  for (const WorkFileFailure& failure : analysed.result.failures) {
    IoError("write", failure.path, failure.error);
    status = kExitIoError;
  }

  std::vector<CensusImage>& census = analysed.result.census;
  const bool pictures = options.json || options.Chooses() || !options.save.empty();
  std::vector<PictureEntry> entries;
  std::vector<const CensusImage*> chosen;
  if (pictures) {
    for (CensusImage& image : census) {
      if (!image.type.empty()) continue;
      if (const FetchedBytes fetched = bytes(image); fetched.bytes) {
        DescribePicture(*fetched.bytes, image);
      }
    }
    entries = OnePerPicture(census);
    for (std::size_t i : ChoosePictures(entries, options.filter, options.order)) {
      chosen.push_back(&entries[i].picture);
    }
  }

  Saved saved;
  if (!options.save.empty()) {
    saved = SavePictures(chosen, options, analysed.title, bytes);
    if (status == kExitOk) status = saved.status;
  }

  const ListPairs& lists = analysed.lists;
  if (options.json) {
    std::cout << AnalysisJson(analysed.page, lists, chosen, saved.files);
    return status;
  }
  std::cout << lists.Links[kShownImagesPair].size() << " images found, "
            << lists.Links[kLinkedImagesPair].size() << " linked images found\n"
            << ImagesBeyond(lists.Links[kShownImagesPair], census).size()
            << " further pictures found by the image census\n"
            << "source view: " << analysed.result.sourceView.string() << "\n"
            << "gallery:     " << analysed.result.gallery.string() << "\n";
  if (options.Chooses()) {
    std::cout << chosen.size() << " of " << entries.size() << " pictures chosen\n";
  }
  if (!options.save.empty()) {
    for (const std::string& file : saved.files) {
      if (!file.empty()) std::cout << "saved: " << file << "\n";
    }
    std::cout << saved.count << " of " << chosen.size() << " pictures saved in "
              << options.save.string() << "\n";
  }
  return status;
}

}  // namespace velmora::analyze
